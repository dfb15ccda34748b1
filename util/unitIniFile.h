#pragma once
// INI files (Options.ini, .pls playlists).
//
// Rules kept: section and key names match without regard to letter case; lines end with CR LF;
// "key=value" without spaces around "="; integers in decimal, "0x"/"0X"/"$" prefixes read as
// hexadecimal; booleans written "1"/"0", any other integer reads as true; a value that does not
// convert gives the default; an existing key is updated in place; a missing key is appended
// after the last entry of its section; a missing section is appended at the end of the file,
// right after its last line (no blank line between sections), with its header spelled as in that
// first write; every other line of the file stays byte for byte. Files written by other programs or
// by hand are read leniently (LF line ends, blanks around "=", a UTF-8 byte order mark, ";"
// comments); the details are in util/unitIniDocument.h.
//
// A value with blanks or quotes at either end is written in double quotes, and reading removes
// one pair of enclosing quotes, so every value reads back exactly as written.
//
// Nothing is cached between calls that could go stale: every read sees the file as it is (unless
// a snapshot is held, see cSnapshot), and every write reaches the disk at once, through a temporary
// file in the same folder that is flushed and then renamed over the old file, so a crash leaves the
// old or the new file. A write that would leave the file as it is does not touch it.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "util/unitFileHandle.h"

class cIniDocument;

class cIniFile {
public:
    explicit cIniFile(std::string path);
    ~cIniFile();
    cIniFile(const cIniFile&) = delete;
    cIniFile& operator=(const cIniFile&) = delete;
    /// Not while a batch is open on the moved object.
    cIniFile(cIniFile&&) noexcept;
    cIniFile& operator=(cIniFile&&) noexcept;

    const std::string& FileName() const { return m_Path; }

    /// Reads give their default when the file, the section or the key is missing, and also
    /// when the file cannot be read at all (a settings file we cannot read is no reason not
    /// to start).
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;
    int32_t ReadInteger(std::string_view section, std::string_view key, int32_t defaultValue) const;
    bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;
    /// The key names of the section in file order, a repeated key as often as it occurs; none
    /// for a missing section.
    std::vector<std::string> ReadSectionKeys(std::string_view section) const;
    bool SectionExists(std::string_view section) const;

    /// These throw EFileError (util/unitFileHandle.h) naming the file when it cannot be
    /// written, when it exists but cannot be read (writing then would throw its other lines
    /// away), and when the texts cannot be stored in an INI file (a line break in a value).
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int32_t value);
    void WriteBool(std::string_view section, std::string_view key, bool value);
    /// Removes the header and entries of every section of that name.
    void EraseSection(std::string_view section);

    /// Many writes as one: while a batch is open, reads and writes of this object work on the
    /// file's content held in memory, and Commit writes the result to the disk in one
    /// replacement. A batch destroyed without Commit (an exception on the way) leaves the file
    /// as it was. Playlists of many songs are written this way: one write per key would
    /// rewrite the whole file once per song.
    class cBatch {
    public:
        /// Reads the file; throws EFileError when it exists but cannot be read, and
        /// std::logic_error when the file object has a batch open already.
        explicit cBatch(cIniFile& file);
        ~cBatch();
        cBatch(const cBatch&) = delete;
        cBatch& operator=(const cBatch&) = delete;
        /// Writes the content (when it changed) and ends the batch; throws EFileError when
        /// the write is refused, and the batch ends then too.
        void Commit();

    private:
        cIniFile* m_File;
    };

    /// Many reads as one: while a snapshot lives, reads of this object work on the content the
    /// file had when the snapshot was taken, read and parsed once (start-up reads every setting
    /// of the program; reading a large file once per key would take minutes). Writes still
    /// reach the file at once, and the snapshot then holds what was written.
    class cSnapshot {
    public:
        explicit cSnapshot(const cIniFile& file);
        ~cSnapshot();
        cSnapshot(const cSnapshot&) = delete;
        cSnapshot& operator=(const cSnapshot&) = delete;

    private:
        const cIniFile* m_File;
    };

private:
    template <typename Reader> auto Read(Reader&& reader) const;
    /// The content for reads: the file's, or nothing when it is missing or cannot be read.
    std::optional<std::string> BytesForReading() const;
    template <typename Change> void Modify(Change&& change);

    std::string m_Path;
    /// The content being changed by the open batch, if any.
    std::unique_ptr<cIniDocument> m_Batch;
    std::string m_BatchOldBytes;
    bool m_BatchFileExisted = false;
    /// The content held by the live snapshot, if any.
    mutable std::unique_ptr<cIniDocument> m_Snapshot;
};
