#pragma once
// INI files (Options.ini, .pls playlists).
//
// Rules kept: section and key names match without regard to letter case; lines end with CR LF;
// "key=value" without spaces around "="; integers in decimal, "0x"/"0X"/"$" prefixes read as
// hexadecimal; booleans written "1"/"0", any other integer reads as true; a value that does not
// convert gives the default; an existing key is updated in place; a missing key is appended at
// the end of its section; a missing section is appended at the end of the file with its header
// spelled as in that first write; every other line of the file stays byte for byte.
//
// Nothing is cached between calls that could go stale: every read sees the file as it is, and
// every write reaches the disk at once, through a temporary file in the same folder that is
// flushed and then renamed over the old file, so a crash leaves the old or the new file.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

/// A write that the file system refused. The message names the file.
class EIniFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class cIniFile {
public:
    explicit cIniFile(std::string path);

    const std::string& FileName() const { return m_Path; }

    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;
    int32_t ReadInteger(std::string_view section, std::string_view key,
                        int32_t defaultValue) const;
    bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;
    /// The key names of the section in file order; none for a missing section.
    std::vector<std::string> ReadSectionKeys(std::string_view section) const;
    bool SectionExists(std::string_view section) const;

    /// These throw EIniFileError when the file cannot be written.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int32_t value);
    void WriteBool(std::string_view section, std::string_view key, bool value);
    /// Removes the section's header and entries.
    void EraseSection(std::string_view section);

private:
    std::string m_Path;
};
