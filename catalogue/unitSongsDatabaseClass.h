#pragma once
// The song record, lists of song references, and the catalogue file DB.txt.
//
/// Catalogue file layout (all integers little-endian; a text is a uint32 byte count followed
/// by that many bytes, no terminator; no file header; a zero-byte file is an empty catalogue):
///
///   record  := Deleted:u8  RecordLength:u32  payload[RecordLength]
///   payload := FileName Title Author Album Comment Year   (six texts)
///              Views:i32  Size:i32  Date:f64  CR LF
///              GroupsText  CR LF
///
/// GroupsText is the group names joined by CR LF (no CR LF after the last), count 0 when the
/// song has no group. RecordLength = 48 + the six text lengths + the groups text length, and a
/// whole record takes RecordLength + 5 bytes. Deleted is 0 for a live record; the program
/// writes 1 to flag a copy deleted. Texts are stored as the bytes they were read from.
///
/// No song has a text longer than kLongestSongText (the longest path the system accepts; the
/// other texts come from file names and tags) or a record longer than kLargestRecordLength: a
/// longer count is damage to the reader, and the writer refuses to store one.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "util/unitFileHandle.h"
#include "util/unitUtils.h"

/// The longest text of a song record: PATH_MAX less its terminator.
inline constexpr uint32_t kLongestSongText = 4095;
/// The longest payload of a song record (RecordLength).
inline constexpr uint32_t kLargestRecordLength = 1024 * 1024;

class cSongStorage;

/// One song. Allocated with NewSongInfo and freed with DisposeSongInfo; every list but the
/// master song list holds borrowed pointers to it.
///
/// The six texts live together in one block (a million loaded songs must stay well within a
/// few hundred megabytes), so they are read through accessors named after the fields and
/// changed through the setters. A string_view from an accessor is valid until the next change
/// of any text of the same record.
///
/// The block is the record's own, or, for songs read at start-up, lies in the loader's
/// cSongStorage (see SetTextsIn): a change of any text then gives the record a block of its
/// own. A copy always gets a block of its own; a move hands over the block as it is.
class cSongInfo {
public:
    cSongInfo() = default;
    cSongInfo(const cSongInfo& other);
    cSongInfo& operator=(const cSongInfo& other);
    cSongInfo(cSongInfo&& other) noexcept;
    cSongInfo& operator=(cSongInfo&& other) noexcept;
    ~cSongInfo() { ReleaseTexts(); }

    std::string_view FileName() const { return Text(kFileName); }
    std::string_view Title() const { return Text(kTitle); }
    std::string_view Author() const { return Text(kAuthor); }
    std::string_view Album() const { return Text(kAlbum); }
    std::string_view Comment() const { return Text(kComment); }
    std::string_view Year() const { return Text(kYear); }

    void SetFileName(std::string_view value) { SetText(kFileName, value); }
    void SetTitle(std::string_view value) { SetText(kTitle, value); }
    void SetAuthor(std::string_view value) { SetText(kAuthor, value); }
    void SetAlbum(std::string_view value) { SetText(kAlbum, value); }
    void SetComment(std::string_view value) { SetText(kComment, value); }
    void SetYear(std::string_view value) { SetText(kYear, value); }

    /// Replaces all six texts at once with one allocation.
    void SetTexts(std::string_view fileName, std::string_view title, std::string_view author,
                  std::string_view album, std::string_view comment, std::string_view year);
    /// SetTexts with the block placed in the storage instead of a heap block of its own (the
    /// loader's path). The record borrows it: the storage must outlive the record or the
    /// record's next change of a text.
    void SetTextsIn(cSongStorage& storage, std::string_view fileName, std::string_view title,
                    std::string_view author, std::string_view album, std::string_view comment,
                    std::string_view year);

    int32_t Views = 0;                ///< times the user opened the song from the program
    int32_t Size = 0;                 ///< file size in bytes when the record was created
    TDateTime Date = 0;               ///< the file's date, local time
    std::vector<std::string> Groups;  ///< names of the song's groups, in stored order
    uint8_t Deleted = 0;              ///< 0 live; non-zero: the file copy is flagged deleted

private:
    friend class cSongStorage;
    friend void DisposeSongInfo(cSongInfo* song);

    // Kept in the padding behind Deleted, so a record is no larger for them.
    bool m_OwnsTexts = false; ///< m_Texts is a heap block of this record's own
    bool m_InStorage = false; ///< this record itself lies in a cSongStorage

public:
    uint32_t RecordLength = 0;        ///< payload bytes as last read or written
    int32_t MasterIndex = 0;          ///< slot in the master song list (set by queries over it)
    int64_t Position = 0;             ///< offset of this record's Deleted byte in the file

private:
    enum eText { kFileName, kTitle, kAuthor, kAlbum, kComment, kYear, kTextCount };

    std::string_view Text(eText which) const;
    void SetText(eText which, std::string_view value);
    void Assign(const std::string_view (&texts)[kTextCount]);
    void ReleaseTexts();

    /// kTextCount uint32 end offsets, then the bytes of the six texts; null when all are
    /// empty. Owned when m_OwnsTexts holds, else in a cSongStorage.
    const char* m_Texts = nullptr;
};

/// A fresh record: empty texts and groups, every number 0.
cSongInfo* NewSongInfo();
/// Frees the record with its group list. Accepts null. A record that lies in a cSongStorage
/// is ended there; its room goes with the storage.
void DisposeSongInfo(cSongInfo* song);

/// The records read at start-up and their texts, in a few large blocks instead of two heap
/// blocks a song: a million songs then cost no million allocations, and the blocks lie on
/// 2 MB pages where the system gives them (far fewer page faults). Owned by the master song
/// list, whose records they hold; freed with it, after every record in it has been disposed
/// (DisposeSongInfo). Throws std::bad_alloc when no block can be had.
class cSongStorage {
public:
    /// Sizes the first blocks for a catalogue file of that many bytes (never more than a few
    /// hundred megabytes, whatever the file claims).
    explicit cSongStorage(int64_t catalogueBytes);
    ~cSongStorage();
    cSongStorage(const cSongStorage&) = delete;
    cSongStorage& operator=(const cSongStorage&) = delete;

    /// A record in the storage, moved from `song`; freed with DisposeSongInfo.
    cSongInfo* NewSong(cSongInfo&& song);
    /// Room for one record's text block, aligned for its uint32 offsets.
    char* TextBlock(size_t bytes);

private:
    struct cBlock {
        char* start = nullptr;
        size_t size = 0;
    };
    /// Room of that many bytes from the blocks of the kind (records or texts).
    char* Take(std::vector<cBlock>& blocks, size_t& used, size_t& nextSize, size_t bytes);

    std::vector<cBlock> m_RecordBlocks;
    std::vector<cBlock> m_TextBlocks;
    size_t m_RecordsUsed = 0; ///< bytes taken from the last record block
    size_t m_TextsUsed = 0;   ///< bytes taken from the last text block
    size_t m_NextRecordBlock;
    size_t m_NextTextBlock;
};

/// A growable array of song pointers. It never frees the records it points to: only the
/// master song list owns its records, and FreeAllSongs frees them. A slot may be null.
/// The master song list also owns the cSongStorage its loaded records lie in; a copy of any
/// list takes the pointers only.
class cSongPointersList {
public:
    cSongPointersList();
    ~cSongPointersList();
    cSongPointersList(const cSongPointersList& other);
    cSongPointersList& operator=(const cSongPointersList& other);
    cSongPointersList(cSongPointersList&&) noexcept;
    cSongPointersList& operator=(cSongPointersList&&) noexcept;

    int Count() const { return static_cast<int>(m_Items.size()); }
    cSongInfo* Get(int index) const { return m_Items[static_cast<size_t>(index)]; }
    void Put(int index, cSongInfo* song) { m_Items[static_cast<size_t>(index)] = song; }
    void Add(cSongInfo* song) { m_Items.push_back(song); }
    /// Removes the entry at the index (for lists that are not the master list).
    void Delete(int index) { m_Items.erase(m_Items.begin() + index); }
    /// Index of the first entry holding the pointer, or -1.
    int IndexOf(const cSongInfo* song) const;
    void Clear() { m_Items.clear(); }
    void Reserve(int count) { m_Items.reserve(static_cast<size_t>(count)); }
    /// Takes the storage of the records this list owns (the master list's role).
    void AdoptStorage(std::unique_ptr<cSongStorage> storage);

    std::vector<cSongInfo*>& Items() { return m_Items; }
    const std::vector<cSongInfo*>& Items() const { return m_Items; }
    auto begin() const { return m_Items.begin(); }
    auto end() const { return m_Items.end(); }

private:
    std::vector<cSongInfo*> m_Items;
    std::unique_ptr<cSongStorage> m_Storage;
};

/// What reading the record at the position found (cSongsDatabase::ReadNextRecord).
enum class eRecordRead {
    kSong,    ///< a record, live or deleted
    kEnd,     ///< the end of the file
    kTorn,    ///< a record cut short by the end of the file (a torn append); MendTail cuts it
    kDamaged, ///< a record that breaks the file's rules; the position stays at its start
};

/// Test seam: when set, Open calls it between opening the file and locking it, so that a test
/// can hold a second copy of the program there while the first one replaces the file.
extern void (*CatalogueOpenedBeforeLock)(const std::string& path);

/// The open catalogue file. Open takes the file exclusively (flock LOCK_EX|LOCK_NB on an
/// O_RDWR descriptor), so a second copy of the program fails there. All operations work at the
/// current position unless said otherwise; reads go through a buffer, writes straight to the
/// file. ReadNextSong, WriteSongEntry and AddSongEntry report their own failures through
/// ShowErrorMessage with their fixed prefixes and answer false. Failures of the file itself
/// are EFileError naming the operation and the file ("Could not lock "/t/DB.txt": Resource
/// temporarily unavailable").
class cSongsDatabase {
public:
    cSongsDatabase();
    ~cSongsDatabase();  ///< closes the file
    cSongsDatabase(const cSongsDatabase&) = delete;
    cSongsDatabase& operator=(const cSongsDatabase&) = delete;

    /// Creates an empty file when none exists, opens it exclusively, position 0.
    /// Throws EFileError when that fails; a file that is not a regular file is refused, and so
    /// is a link to a file that does not exist (its target is never created).
    /// The lock holds the file that the path names once it is locked: a file replaced at the
    /// path between the open and the lock (a compaction of another copy) is opened anew.
    void Open(const std::string& path);
    /// Opens a new, empty file at the path exclusively, for a catalogue written from scratch
    /// beside the file `like` (its permission bits, and owner where that may be set). Whatever
    /// lies at the path (a leftover of an interrupted run, or a planted link) is removed first,
    /// and the new file is created with O_EXCL|O_NOFOLLOW, so no link is ever followed. Throws
    /// EFileError when that fails.
    void CreateNew(const std::string& path, const struct stat& like);
    bool IsOpen() const { return m_File.IsOpen(); }
    /// The open file's descriptor (-1 when none is open), for copying the file as it is.
    int Descriptor() const { return m_File.Get(); }
    const std::string& Path() const { return m_Path; }

    int64_t GetPosition() const { return m_Position; }
    void SetPosition(int64_t position);
    int64_t GetSize() const;

    /// Reads the record at the position into the song. False at the end of the file and on a
    /// failure; LastReadFailed tells the two apart.
    bool ReadNextSong(cSongInfo& song);
    /// ReadNextSong without its message, for the loader, which reports damage its own way:
    /// kDamaged leaves the reason in `why`. A failure of the file itself (it cannot be read)
    /// and a lack of memory are thrown. With a storage, a live song's texts are placed there
    /// (cSongInfo::SetTextsIn).
    eRecordRead ReadNextRecord(cSongInfo& song, std::string& why, cSongStorage* storage = nullptr);
    /// The start of the first record at or after `from` that is whole and consistent (see
    /// IsWholeRecordAt), or the file size when none follows: where reading goes on after
    /// damage. Holes of a sparse file are skipped without reading them. Throws like
    /// ReadNextRecord.
    int64_t FindNextWholeRecord(int64_t from);
    /// The last ReadNextSong met a damaged record (and showed its message).
    bool LastReadFailed() const { return m_LastReadFailed; }
    /// The last ReadNextSong met a record cut short by the end of the file (a torn append).
    /// It starts at GetPosition(); MendTail cuts it off.
    bool LastReadTorn() const { return m_TornAt >= 0; }
    /// Makes the file end in whole records again after a load: cuts off the torn last record,
    /// or adds the closing CR LF the last record lacked, so that records appended afterwards
    /// stay readable. Does nothing when the load ended cleanly.
    void MendTail();

    /// Writes header and payload at the position; sets RecordLength.
    bool WriteSongEntry(cSongInfo& song);
    /// Deleted := 0, Position := end of file, written there. A write that fails half way is
    /// cut off again, so the file never ends in a partial record.
    bool AddSongEntry(cSongInfo& song);
    /// AddSongEntry for each song in order, written in large blocks (compaction). On a failure
    /// the file is cut back to its former end and the songs' Position and RecordLength may
    /// already name the unwritten copies; the failure is shown, or put into `failure` instead
    /// when that is given.
    bool AddSongEntries(const std::vector<cSongInfo*>& songs, std::string* failure = nullptr);
    /// UpdateSongEntry for many songs as one batch: the new copies are appended in large blocks
    /// and flushed to the disk, and only then are the old copies flagged deleted, in file
    /// order. A crash or a full disk at any moment leaves every song with its old copy or its
    /// new one live, never none (a load keeps the later of two live copies). Each song at most
    /// once. False when the new copies could not be written: the failure has been shown once,
    /// the appended bytes are cut off again and every song keeps its Position and RecordLength.
    /// A failure while flagging is shown once as well, but the new copies stand: they are the
    /// later ones, so the answer is true.
    bool UpdateSongEntries(const std::vector<cSongInfo*>& songs);
    /// Overwrites the Deleted byte of the song's copy at its Position with 1; the position is
    /// left just behind that byte. Throws when Position lies outside the file.
    void DeleteSongEntry(const cSongInfo& song);
    /// Appends the song anew, then flags its old copy deleted: a crash in between leaves two
    /// live copies (the loader keeps the later), never none. The position ends at the end of
    /// the file. When the append fails (reported, false), the song keeps the old copy's Position
    /// and RecordLength.
    bool UpdateSongEntry(cSongInfo& song);
    /// Writes the song over its copy at its Position (changes that keep the length, such as
    /// Views + 1). When the new payload's length differs from RecordLength, an overwrite would
    /// spill into the next record: the song is moved with UpdateSongEntry instead.
    bool RewriteSongEntry(cSongInfo& song);

    /// Cuts the file to the given size.
    void Truncate(int64_t size);
    /// Flushes the file's data to the disk. Throws EFileError on failure.
    void Sync();
    /// Moves this file over the file at targetPath with one atomic rename and flushes the
    /// folder entry. The file stays open and locked; Path() becomes targetPath. Throws
    /// EFileError on failure (nothing is replaced then).
    void ReplaceFile(const std::string& targetPath);

private:
    void Close();
    const char* Fetch(int64_t offset, size_t count);
    const char* Refill(int64_t offset, size_t count);
    void ReleaseBuffer();
    void ReadRecord(cSongInfo& song, cSongStorage* storage);
    bool IsWholeRecordAt(int64_t position);
    void Adopt(cRegularFile file, const std::string& path);
    void WriteAt(int64_t offset, const char* data, size_t count);
    void PatchBuffer(int64_t offset, const char* data, size_t count);
    void FlagDeleted(int64_t position);
    void CutBackTo(int64_t size);
    int OpenFileDescriptor() const;

    std::string m_Path;
    cFileHandle m_File;
    int64_t m_Position = 0;
    int64_t m_Size = 0; // the file is ours alone while open, so its size is kept here
    bool m_LastReadFailed = false;
    int64_t m_TornAt = -1;           // start of a torn last record met by ReadNextSong
    int m_MissingClosing = 0;        // closing CR LF bytes the last record read lacked
    int64_t m_UnclosedFileSize = -1; // file size when that record was read
    // Read buffer: m_BufferLength file bytes from m_BufferStart on.
    std::unique_ptr<char[]> m_Buffer;
    size_t m_BufferCapacity = 0;
    size_t m_BufferLength = 0;
    int64_t m_BufferStart = 0;
};
