#include "catalogue/unitSongsDatabaseClass.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "util/unitAtomicFile.h"
#include "util/unitMessages.h"

namespace {
constexpr const char* kReadPrefix = "In cSongsDatabase.ReadNextSong (): ";
constexpr const char* kWritePrefix = "In cSongsDatabase.WriteSongEntry (): ";
constexpr const char* kAddPrefix = "IncSongsDatabase.AddSongEntry (): ";

constexpr size_t kHeaderBytes = 5;  // Deleted, RecordLength
constexpr size_t kNumberBytes = 16; // Views, Size, Date
constexpr size_t kTextCount = 6;    // FileName .. Year
constexpr size_t kReadWindow = 256 * 1024;
constexpr size_t kWriteBlock = 1024 * 1024;
/// The smallest payload: six empty texts, the numbers, an empty groups text, two CR LF.
constexpr uint32_t kSmallestPayload = 48;

/// A record that breaks the file's rules. Failures of the file itself (it cannot be read) are
/// EFileError instead, so that the loader can tell damaged bytes from a failing disk.
class EDamagedRecord : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

uint32_t ReadU32(const char* bytes) {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes);
    return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
           static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
}

uint64_t ReadU64(const char* bytes) {
    return static_cast<uint64_t>(ReadU32(bytes)) | static_cast<uint64_t>(ReadU32(bytes + 4)) << 32;
}

void AppendU32(std::string& out, uint32_t value) {
    const char bytes[4] = {static_cast<char>(value), static_cast<char>(value >> 8),
                           static_cast<char>(value >> 16), static_cast<char>(value >> 24)};
    out.append(bytes, 4);
}

void PutU32(char* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<char>(value >> (8 * i));
    }
}

void AppendText(std::string& out, std::string_view text) {
    // What is written must read back: the reader takes a longer text for damage.
    if (text.size() > kLongestSongText) {
        throw std::length_error("a text of the song is longer than " +
                                std::to_string(kLongestSongText) + " bytes");
    }
    AppendU32(out, static_cast<uint32_t>(text.size()));
    out.append(text);
}

/// Appends the whole record (header and payload) of the song and sets its RecordLength.
/// Groups text: every name followed by CR LF, then the final CR LF dropped.
void AppendRecord(std::string& out, cSongInfo& song) {
    const size_t headerAt = out.size();
    out.append(kHeaderBytes, '\0');
    AppendText(out, song.FileName());
    AppendText(out, song.Title());
    AppendText(out, song.Author());
    AppendText(out, song.Album());
    AppendText(out, song.Comment());
    AppendText(out, song.Year());
    AppendU32(out, static_cast<uint32_t>(song.Views));
    AppendU32(out, static_cast<uint32_t>(song.Size));
    uint64_t dateBits;
    std::memcpy(&dateBits, &song.Date, sizeof dateBits);
    AppendU32(out, static_cast<uint32_t>(dateBits));
    AppendU32(out, static_cast<uint32_t>(dateBits >> 32));
    out += "\r\n";
    size_t groupsBytes = 0;
    for (const auto& name : song.Groups) {
        groupsBytes += name.size() + 2;
    }
    if (groupsBytes > kLargestRecordLength) {
        throw std::length_error("the groups of the song are longer than " +
                                std::to_string(kLargestRecordLength) + " bytes");
    }
    AppendU32(out, static_cast<uint32_t>(groupsBytes == 0 ? 0 : groupsBytes - 2));
    for (size_t i = 0; i < song.Groups.size(); ++i) {
        out += song.Groups[i];
        if (i + 1 < song.Groups.size()) {
            out += "\r\n";
        }
    }
    out += "\r\n";
    const size_t payload = out.size() - headerAt - kHeaderBytes;
    if (payload > kLargestRecordLength) {
        throw std::length_error("the song's record is longer than " +
                                std::to_string(kLargestRecordLength) + " bytes");
    }
    song.RecordLength = static_cast<uint32_t>(payload);
    out[headerAt] = static_cast<char>(song.Deleted);
    PutU32(&out[headerAt + 1], song.RecordLength);
}

/// Splits a groups text into names: a CR LF, a lone CR or a lone LF ends a name; a break at
/// the very end starts no further name; an empty text gives no name.
void SplitGroups(std::string_view text, std::vector<std::string>& names) {
    names.clear();
    if (text.empty()) {
        return;
    }
    // One allocation for the list: a name per line break, and one more.
    names.reserve(1 + static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
                      return c == '\r' || c == '\n';
                  })));
    size_t at = 0;
    while (at < text.size()) {
        const size_t start = at;
        while (at < text.size() && text[at] != '\r' && text[at] != '\n') {
            ++at;
        }
        names.emplace_back(text.substr(start, at - start));
        if (at < text.size() && text[at] == '\r') {
            ++at;
        }
        if (at < text.size() && text[at] == '\n') {
            ++at;
        }
    }
}

/// Where the fields of one payload lie, as absolute file offsets.
struct cPayloadLayout {
    int64_t textAt[kTextCount] = {};
    uint32_t textLength[kTextCount] = {};
    int64_t numbersAt = 0;
    int64_t groupsAt = 0;
    uint32_t groupsLength = 0;
    int64_t end = 0; ///< just behind the groups text, where the closing CR LF belongs
};

enum class eScan {
    kWhole,       ///< every field up to the groups text lies within the data
    kRunsOut,     ///< the data ends inside a field, and nothing before it is inconsistent
    kInconsistent ///< a field reaches beyond the record's own RecordLength, or a CR LF is wrong
};

/// Walks the fields of the payload starting at `start`, reading only the counts (and the CR LF
/// bytes when checkSeparators holds) through `read(offset, count)`. Every field must end by
/// budgetEnd (the end the header's RecordLength gives); the data ends at dataEnd. A count is
/// compared against both, and against the longest text a song can have, before anything else
/// is done with it, so no absurd length is ever acted upon.
template <class tReader>
eScan ScanPayload(int64_t start, int64_t budgetEnd, int64_t dataEnd, bool checkSeparators,
                  tReader&& read, cPayloadLayout& layout) {
    int64_t at = start;
    // Whether `count` more bytes fit the record and the data; uint64 keeps huge counts sane.
    auto fits = [&](uint64_t count, eScan& verdict) {
        const uint64_t stop = static_cast<uint64_t>(at) + count;
        if (stop > static_cast<uint64_t>(budgetEnd)) {
            verdict = eScan::kInconsistent;
            return false;
        }
        if (stop > static_cast<uint64_t>(dataEnd)) {
            verdict = eScan::kRunsOut;
            return false;
        }
        return true;
    };
    auto text = [&](int64_t& textAt, uint32_t& length, uint32_t longest, eScan& verdict) {
        if (!fits(4, verdict)) {
            return false;
        }
        length = ReadU32(read(at, 4));
        at += 4;
        textAt = at;
        if (length > longest) {
            verdict = eScan::kInconsistent; // no song has such a text
            return false;
        }
        if (!fits(length, verdict)) {
            return false;
        }
        at += length;
        return true;
    };
    eScan verdict = eScan::kWhole;
    for (size_t i = 0; i < kTextCount; ++i) {
        if (!text(layout.textAt[i], layout.textLength[i], kLongestSongText, verdict)) {
            return verdict;
        }
    }
    layout.numbersAt = at;
    if (!fits(kNumberBytes, verdict)) {
        return verdict;
    }
    at += kNumberBytes;
    if (at + 2 > budgetEnd) {
        return eScan::kInconsistent;
    }
    const auto present = static_cast<size_t>(std::min<int64_t>(2, dataEnd - at));
    if (checkSeparators && present > 0 && std::memcmp(read(at, present), "\r\n", present) != 0) {
        return eScan::kInconsistent;
    }
    if (present < 2) {
        return eScan::kRunsOut;
    }
    at += 2;
    if (!text(layout.groupsAt, layout.groupsLength, kLargestRecordLength, verdict)) {
        return verdict;
    }
    layout.end = at;
    return eScan::kWhole;
}

[[noreturn]] void ThrowDamaged(int64_t position, const char* why) {
    throw EDamagedRecord("Damaged record at offset " + std::to_string(position) +
                         " of the songs database: " + why);
}

/// For a record whose RecordLength runs past the end of the file (at fileEnd): true when it
/// is a torn append, to be cut off; false when it is a whole live record that lacks only (part
/// of) its closing CR LF, with `layout` filled; throws when it is damage. Cutting the file
/// must never cost a whole record, so the rule is conservative:
///
///  - the fields are walked within the bytes that exist, each count checked against the
///    record's RecordLength first and the end of the file second, the CR LF bytes checked too;
///  - torn: RecordLength is plausible (kLargestRecordLength at most) and the walk runs out at
///    the end of the file with nothing inconsistent before it; or the record is deleted and its
///    fields end where the file ends, so nothing else lies behind it and cutting it off loses
///    nothing;
///  - whole: a live record whose fields are all there, lacking at most its closing CR LF, with
///    a RecordLength that matches its fields;
///  - anything else is damage: a count beyond the record's RecordLength, a wrong CR LF, or
///    more bytes behind the fields (other records, perhaps) than RecordLength allows.
template <class tReader>
bool IsTornTail(int64_t position, uint8_t deleted, uint32_t recordLength, int64_t fileEnd,
                tReader&& read, cPayloadLayout& layout) {
    const int64_t start = position + static_cast<int64_t>(kHeaderBytes);
    const int64_t budgetEnd = start + recordLength;
    const eScan scan = ScanPayload(start, budgetEnd, fileEnd, true, read, layout);
    if (scan == eScan::kInconsistent) {
        ThrowDamaged(position, "a length does not fit the record");
    }
    const int64_t behind = scan == eScan::kWhole ? fileEnd - layout.end : 0;
    const auto closing = static_cast<size_t>(std::min<int64_t>(behind, 2));
    if (closing > 0 && std::memcmp(read(layout.end, closing), "\r\n", closing) != 0) {
        ThrowDamaged(position, "the record does not end in CR LF");
    }
    if (scan == eScan::kRunsOut || (deleted != 0 && behind <= 2)) {
        if (recordLength > kLargestRecordLength) {
            ThrowDamaged(position, "its length runs past the end of the file");
        }
        return true;
    }
    if (deleted != 0 || behind >= 2 || budgetEnd != layout.end + 2) {
        ThrowDamaged(position, "its length runs past the end of the file");
    }
    return false;
}

/// Fills the song's fields from the payload bytes at `base` (the file bytes from `start` on);
/// its texts go into the storage when one is given.
void FillSong(cSongInfo& song, const char* base, int64_t start, const cPayloadLayout& layout,
              cSongStorage* storage) {
    auto text = [&](size_t i) {
        return std::string_view(base + (layout.textAt[i] - start), layout.textLength[i]);
    };
    if (storage != nullptr) {
        song.SetTextsIn(*storage, text(0), text(1), text(2), text(3), text(4), text(5));
    } else {
        song.SetTexts(text(0), text(1), text(2), text(3), text(4), text(5));
    }
    const char* numbers = base + (layout.numbersAt - start);
    song.Views = static_cast<int32_t>(ReadU32(numbers));
    song.Size = static_cast<int32_t>(ReadU32(numbers + 4));
    const uint64_t dateBits = ReadU64(numbers + 8);
    std::memcpy(&song.Date, &dateBits, sizeof song.Date);
    SplitGroups(std::string_view(base + (layout.groupsAt - start), layout.groupsLength),
                song.Groups);
}
} // namespace

cSongsDatabase::cSongsDatabase() = default;

cSongsDatabase::~cSongsDatabase() {
    Close();
}

void cSongsDatabase::Close() {
    m_File = cFileHandle(); // closing also releases the lock
    ReleaseBuffer();
}

/// The descriptor of the open file. Working on a catalogue that is not open is a fault of the
/// caller, not of a file: std::logic_error.
int cSongsDatabase::OpenFileDescriptor() const {
    if (!m_File.IsOpen()) {
        throw std::logic_error("The songs database is not open");
    }
    return m_File.Get();
}

void (*CatalogueOpenedBeforeLock)(const std::string& path) = nullptr;

namespace {
/// Whether the locked descriptor still is the file at the path. Another copy of the program
/// that compacts renames its new file over the path: a descriptor opened before that holds the
/// old file, whose lock guards nothing any more.
bool StillNamedByPath(const cRegularFile& file, const std::string& path) {
    struct stat now {};
    struct stat named {};
    return ::fstat(file.Handle.Get(), &now) == 0 && now.st_nlink > 0 &&
           ::stat(path.c_str(), &named) == 0 && named.st_dev == now.st_dev &&
           named.st_ino == now.st_ino;
}

/// The catalogue at the path, opened for reading and writing; an empty one is created when
/// nothing lies there. A link is followed to the file it names, but the file a dangling link
/// names is never created: the link is refused instead (the catalogue would otherwise begin
/// empty somewhere the user never chose, for example on a drive that is not plugged in).
cRegularFile OpenOrCreateCatalogue(const std::string& path) {
    // Each round that meets EEXIST has seen another copy of the program create the file.
    for (int attempt = 0; attempt < 10; ++attempt) {
        try {
            return OpenRegularFile(path, O_RDWR, "Could not open");
        } catch (const EFileError& error) {
            if (error.code().value() != ENOENT) {
                throw;
            }
        }
        try {
            // O_EXCL refuses any link, dangling ones included.
            return OpenRegularFile(path, O_RDWR | O_CREAT | O_EXCL, "Could not open");
        } catch (const EFileError& error) {
            if (error.code().value() != EEXIST) {
                throw;
            }
        }
        struct stat entry {};
        struct stat target {};
        if (::lstat(path.c_str(), &entry) == 0 && S_ISLNK(entry.st_mode) &&
            ::stat(path.c_str(), &target) != 0 && (errno == ENOENT || errno == ENOTDIR)) {
            throw EFileError(ENOENT, "Could not open", path,
                             "it is a link to a file that does not exist");
        }
    }
    throw EFileError(EAGAIN, "Could not open", path, "the file keeps appearing and vanishing");
}
} // namespace

void cSongsDatabase::Open(const std::string& path) {
    Close();
    // Each round that finds the file replaced has seen another copy finish a compaction;
    // the bound only keeps a pathological loop from hanging the start.
    for (int attempt = 0; attempt < 100; ++attempt) {
        cRegularFile file = OpenOrCreateCatalogue(path);
        if (CatalogueOpenedBeforeLock != nullptr) {
            CatalogueOpenedBeforeLock(path);
        }
        if (::flock(file.Handle.Get(), LOCK_EX | LOCK_NB) != 0) {
            throw EFileError(errno, "Could not lock", path);
        }
        if (StillNamedByPath(file, path)) {
            ::fstat(file.Handle.Get(), &file.Info); // the size may have changed before the lock
            Adopt(std::move(file), path);
            return;
        }
    }
    throw EFileError(EAGAIN, "Could not lock", path, "the file keeps being replaced");
}

void cSongsDatabase::CreateNew(const std::string& path, const struct stat& like) {
    Close();
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        throw EFileError(errno, "Could not remove", path);
    }
    cRegularFile file =
        OpenRegularFile(path, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW, "Could not create");
    if (::flock(file.Handle.Get(), LOCK_EX | LOCK_NB) != 0) {
        throw EFileError(errno, "Could not lock", path);
    }
    // Through the descriptor: a path could be swapped for a link in between.
    (void)!::fchown(file.Handle.Get(), like.st_uid, like.st_gid); // kept ours when not permitted
    if (::fchmod(file.Handle.Get(), like.st_mode & 07777) != 0) {
        throw EFileError(errno, "Could not create", path);
    }
    Adopt(std::move(file), path);
}

void cSongsDatabase::Adopt(cRegularFile file, const std::string& path) {
    m_File = std::move(file.Handle);
    m_Path = path;
    m_Position = 0;
    m_Size = file.Size();
    m_LastReadFailed = false;
    m_TornAt = -1;
    m_MissingClosing = 0;
    m_UnclosedFileSize = -1;
}

void cSongsDatabase::SetPosition(int64_t position) {
    m_Position = position;
}

int64_t cSongsDatabase::GetSize() const {
    return m_Size;
}

// ---- reading ------------------------------------------------------------------------------

const char* cSongsDatabase::Fetch(int64_t offset, size_t count) {
    if (offset >= m_BufferStart &&
        static_cast<uint64_t>(offset - m_BufferStart) + count <= m_BufferLength) {
        return m_Buffer.get() + (offset - m_BufferStart);
    }
    return Refill(offset, count);
}

/// Loads a window of the file starting at offset, large enough for count bytes. The caller has
/// made sure those bytes lie within the file.
const char* cSongsDatabase::Refill(int64_t offset, size_t count) {
    const size_t capacity = std::max(kReadWindow, count);
    if (m_BufferCapacity < capacity || (m_BufferCapacity > kReadWindow && count <= kReadWindow)) {
        m_Buffer = std::make_unique_for_overwrite<char[]>(capacity);
        m_BufferCapacity = capacity;
    }
    m_BufferLength = 0;
    m_BufferStart = offset;
    const auto wanted = static_cast<size_t>(
        std::min<int64_t>(static_cast<int64_t>(m_BufferCapacity), m_Size - offset));
    const cTransfer got = ReadFullyAt(OpenFileDescriptor(), m_Buffer.get(), wanted, offset);
    m_BufferLength = got.Done;
    if (got.Error != 0) {
        throw EFileError(got.Error, kCouldNotRead, m_Path);
    }
    if (m_BufferLength < count) {
        throw std::runtime_error("The songs database ended unexpectedly at offset " +
                                 std::to_string(offset + static_cast<int64_t>(m_BufferLength)));
    }
    return m_Buffer.get();
}

void cSongsDatabase::ReleaseBuffer() {
    m_Buffer.reset();
    m_BufferCapacity = 0;
    m_BufferLength = 0;
    m_BufferStart = 0;
}

void cSongsDatabase::PatchBuffer(int64_t offset, const char* data, size_t count) {
    const int64_t bufferEnd = m_BufferStart + static_cast<int64_t>(m_BufferLength);
    const int64_t from = std::max(offset, m_BufferStart);
    const int64_t to = std::min(offset + static_cast<int64_t>(count), bufferEnd);
    if (from < to) {
        std::memcpy(m_Buffer.get() + (from - m_BufferStart), data + (from - offset),
                    static_cast<size_t>(to - from));
    }
}

bool cSongsDatabase::ReadNextSong(cSongInfo& song) {
    std::string why;
    eRecordRead read = eRecordRead::kDamaged;
    try {
        read = ReadNextRecord(song, why);
    } catch (const std::exception& error) {
        why = error.what();
    }
    m_LastReadFailed = read == eRecordRead::kDamaged;
    if (m_LastReadFailed) {
        ShowErrorMessage(kReadPrefix, why);
    }
    return read == eRecordRead::kSong;
}

eRecordRead cSongsDatabase::ReadNextRecord(cSongInfo& song, std::string& why,
                                           cSongStorage* storage) {
    m_LastReadFailed = false;
    m_TornAt = -1;
    if (m_Position >= m_Size) {
        ReleaseBuffer(); // the catalogue is read once; the window is of no further use
        return eRecordRead::kEnd;
    }
    m_MissingClosing = 0;
    m_UnclosedFileSize = -1;
    if (TraceEnabled()) {
        TraceLog("[ReadNextSong] Pos before reading starts: " + std::to_string(m_Position));
    }
    const int64_t position = m_Position;
    try {
        ReadRecord(song, storage);
    } catch (const EDamagedRecord& damage) {
        m_Position = position;
        why = damage.what();
        return eRecordRead::kDamaged;
    }
    if (m_TornAt >= 0) {
        if (TraceEnabled()) {
            TraceLog("[ReadNextSong] Record cut short by the end of the file at pos " +
                     std::to_string(m_TornAt));
        }
        return eRecordRead::kTorn;
    }
    if (TraceEnabled()) {
        if (song.Deleted != 0) {
            TraceLog("[ReadNextSong] After skipping deleted record, stream pos " +
                     std::to_string(m_Position));
        } else {
            TraceLog("[ReadNextSong] Finished reading " + std::string(song.Title()) +
                     ", stream pos " + std::to_string(m_Position));
        }
    }
    return eRecordRead::kSong;
}

/// Reads the record at m_Position into the song. A torn last record sets m_TornAt; damage
/// throws. A live record that lies within the file is parsed field by field, and its fields
/// with the closing CR LF must fill exactly its RecordLength: a deleted record is skipped by
/// that length, so a record whose length and fields disagree would, once flagged, swallow or
/// misplace the records behind it. Such a record is damage too.
void cSongsDatabase::ReadRecord(cSongInfo& song, cSongStorage* storage) {
    const int64_t position = m_Position;
    song.Position = position;
    if (m_Size - position < static_cast<int64_t>(kHeaderBytes)) {
        m_TornAt = position; // an incomplete header
        return;
    }
    const char* header = Fetch(position, kHeaderBytes);
    const auto deleted = static_cast<uint8_t>(header[0]);
    const uint32_t recordLength = ReadU32(header + 1);
    const int64_t start = position + static_cast<int64_t>(kHeaderBytes);
    const int64_t budgetEnd = start + recordLength;
    if (recordLength > kLargestRecordLength && budgetEnd <= m_Size) {
        ThrowDamaged(position, "its length is larger than any song's record");
    }
    auto fetch = [this](int64_t offset, size_t count) { return Fetch(offset, count); };

    cPayloadLayout layout;
    if (budgetEnd > m_Size) {
        if (IsTornTail(position, deleted, recordLength, m_Size, fetch, layout)) {
            m_TornAt = position;
            return;
        }
    } else if (deleted != 0) {
        song.Deleted = deleted;
        song.RecordLength = recordLength;
        m_Position = budgetEnd;
        return;
    } else if (ScanPayload(start, budgetEnd, m_Size, false, fetch, layout) != eScan::kWhole) {
        ThrowDamaged(position, "a length does not fit the record");
    } else if (layout.end + 2 != budgetEnd) {
        ThrowDamaged(position, "its fields do not fill its length");
    }

    // Every field lies within the file: take them from one contiguous window.
    FillSong(song, Fetch(start, static_cast<size_t>(layout.end - start)), start, layout, storage);
    song.Deleted = 0;
    song.RecordLength = recordLength;
    // The closing CR LF is skipped unless the file ends right behind the groups text.
    m_Position = layout.end < m_Size ? layout.end + 2 : layout.end;
    m_MissingClosing = static_cast<int>(std::max<int64_t>(0, layout.end + 2 - m_Size));
    m_UnclosedFileSize = m_MissingClosing > 0 ? m_Size : -1;
}

void cSongsDatabase::MendTail() {
    if (m_TornAt >= 0) {
        Truncate(m_TornAt);
        m_Position = m_TornAt;
        m_TornAt = -1;
        return;
    }
    if (m_MissingClosing > 0 && m_UnclosedFileSize == m_Size) {
        const char* closing = m_MissingClosing == 2 ? "\r\n" : "\n";
        WriteAt(m_Size, closing, static_cast<size_t>(m_MissingClosing));
        m_Position = m_Size;
    }
    m_MissingClosing = 0;
    m_UnclosedFileSize = -1;
}

/// A record that the writer could have written, found where no reading led: the Deleted byte
/// the program writes (0 or 1), a plausible RecordLength within the file, fields that fill it
/// exactly within the limits of a song, and both CR LF in place. Deleted records are checked
/// as strictly: flagging changes only their first byte.
bool cSongsDatabase::IsWholeRecordAt(int64_t position) {
    const char* header = Fetch(position, kHeaderBytes);
    const auto deleted = static_cast<uint8_t>(header[0]);
    const uint32_t recordLength = ReadU32(header + 1);
    const int64_t start = position + static_cast<int64_t>(kHeaderBytes);
    const int64_t budgetEnd = start + recordLength;
    if (deleted > 1 || recordLength < kSmallestPayload || recordLength > kLargestRecordLength ||
        budgetEnd > m_Size) {
        return false;
    }
    auto fetch = [this](int64_t offset, size_t count) { return Fetch(offset, count); };
    cPayloadLayout layout;
    return ScanPayload(start, budgetEnd, m_Size, true, fetch, layout) == eScan::kWhole &&
           layout.end + 2 == budgetEnd && std::memcmp(Fetch(layout.end, 2), "\r\n", 2) == 0;
}

int64_t cSongsDatabase::FindNextWholeRecord(int64_t from) {
    const int fd = OpenFileDescriptor();
    constexpr int64_t kSmallestRecord = kHeaderBytes + kSmallestPayload;
    int64_t dataEnd = -1; // where the stretch of data that `at` lies in ends
    for (int64_t at = from; at + kSmallestRecord <= m_Size; ++at) {
        if (at >= dataEnd) {
            // A hole reads as zeros, and a record starting there would have a RecordLength of
            // 0: only the last bytes of a hole can begin a record that goes on into data.
            const off_t data = ::lseek(fd, at, SEEK_DATA);
            if (data < 0 && errno == ENXIO) {
                return m_Size; // nothing but a hole up to the end
            }
            if (data < 0) {
                dataEnd = m_Size; // holes cannot be told here: read everything
            } else {
                at = std::max<int64_t>(at, data - static_cast<int64_t>(kHeaderBytes - 1));
                const off_t hole = ::lseek(fd, data, SEEK_HOLE);
                dataEnd = hole < 0 ? m_Size : hole;
            }
            if (at + kSmallestRecord > m_Size) {
                break;
            }
        }
        if (IsWholeRecordAt(at)) {
            return at;
        }
    }
    return m_Size;
}

// ---- writing ------------------------------------------------------------------------------

/// Writes all bytes at the offset. The file size and the read window follow what reached the
/// file, also when the write fails half way.
void cSongsDatabase::WriteAt(int64_t offset, const char* data, size_t count) {
    const int fd = OpenFileDescriptor();
    m_MissingClosing = 0;
    m_UnclosedFileSize = -1;
    const cTransfer written = WriteFullyAt(fd, std::string_view(data, count), offset);
    PatchBuffer(offset, data, written.Done);
    m_Size = std::max(m_Size, offset + static_cast<int64_t>(written.Done));
    if (written.Error != 0) {
        throw EFileError(written.Error, kCouldNotWrite, m_Path);
    }
}

bool cSongsDatabase::WriteSongEntry(cSongInfo& song) {
    try {
        std::string record;
        AppendRecord(record, song);
        WriteAt(m_Position, record.data(), record.size());
        m_Position += static_cast<int64_t>(record.size());
        return true;
    } catch (const std::exception& error) {
        ShowErrorMessage(kWritePrefix, error.what());
        return false;
    }
}

/// Cuts off what a failed append left behind, so the file never ends in a partial record.
void cSongsDatabase::CutBackTo(int64_t size) {
    if (m_Size > size) {
        Truncate(size);
    }
    m_Position = size;
}

bool cSongsDatabase::AddSongEntry(cSongInfo& song) {
    try {
        OpenFileDescriptor(); // no append to a catalogue that is not open
        const int64_t end = m_Size;
        song.Deleted = 0;
        song.Position = end;
        m_Position = end;
        if (!WriteSongEntry(song)) {
            CutBackTo(end);
            return false;
        }
        return true;
    } catch (const std::exception& error) {
        ShowErrorMessage(kAddPrefix, error.what());
        return false;
    }
}

bool cSongsDatabase::AddSongEntries(const std::vector<cSongInfo*>& songs, std::string* failure) {
    const auto report = [failure](const char* prefix, const std::exception& error) {
        if (failure != nullptr) {
            *failure = error.what();
        } else {
            ShowErrorMessage(prefix, error.what());
        }
    };
    const int64_t end = m_Size;
    std::string block;
    try {
        block.reserve(kWriteBlock + kWriteBlock / 4);
        int64_t blockAt = end;
        for (cSongInfo* song : songs) {
            song->Deleted = 0;
            song->Position = blockAt + static_cast<int64_t>(block.size());
            AppendRecord(block, *song);
            if (block.size() >= kWriteBlock) {
                WriteAt(blockAt, block.data(), block.size());
                blockAt += static_cast<int64_t>(block.size());
                block.clear();
            }
        }
        WriteAt(blockAt, block.data(), block.size());
        m_Position = m_Size;
        return true;
    } catch (const std::exception& error) {
        report(kWritePrefix, error);
    }
    try {
        CutBackTo(end);
    } catch (const std::exception& error) {
        report(kAddPrefix, error);
    }
    return false;
}

bool cSongsDatabase::UpdateSongEntries(const std::vector<cSongInfo*>& songs) {
    if (songs.empty()) {
        return true;
    }
    std::vector<std::pair<int64_t, uint32_t>> oldCopies;
    oldCopies.reserve(songs.size());
    for (const cSongInfo* song : songs) {
        oldCopies.emplace_back(song->Position, song->RecordLength);
    }
    const auto putBack = [&] {
        for (size_t i = 0; i < songs.size(); ++i) {
            songs[i]->Position = oldCopies[i].first;
            songs[i]->RecordLength = oldCopies[i].second;
        }
    };
    const int64_t end = m_Size;
    if (!AddSongEntries(songs)) {
        putBack(); // AddSongEntries has shown the failure and cut the file back
        return false;
    }
    try {
        // The new copies reach the disk before any old copy loses its flag.
        Sync();
    } catch (const std::exception& error) {
        ShowErrorMessage(kWritePrefix, error.what());
        try {
            CutBackTo(end);
        } catch (const std::exception&) {
            // The new copies stay in the file as whole records and a load will keep them as
            // the later ones: the songs keep them too. No old copy is flagged.
            m_Position = m_Size;
            return true;
        }
        putBack();
        return false;
    }
    std::vector<int64_t> flags;
    flags.reserve(oldCopies.size());
    for (const auto& copy : oldCopies) {
        flags.push_back(copy.first);
    }
    std::sort(flags.begin(), flags.end());
    try {
        for (const int64_t position : flags) {
            FlagDeleted(position);
        }
    } catch (const std::exception& error) {
        ShowErrorMessage(kWritePrefix, error.what());
    }
    m_Position = m_Size;
    return true;
}

void cSongsDatabase::FlagDeleted(int64_t position) {
    if (position < 0 || position >= m_Size) {
        throw std::out_of_range("Record offset " + std::to_string(position) +
                                " lies outside the songs database");
    }
    const char flag = 1;
    WriteAt(position, &flag, 1);
    m_Position = position + 1;
}

void cSongsDatabase::DeleteSongEntry(const cSongInfo& song) {
    FlagDeleted(song.Position);
}

bool cSongsDatabase::UpdateSongEntry(cSongInfo& song) {
    const int64_t oldPosition = song.Position;
    const uint32_t oldLength = song.RecordLength;
    if (!AddSongEntry(song)) {
        // The old copy stays live, and the record goes on naming it: an overwrite in place
        // later must see that copy's position and length.
        song.Position = oldPosition;
        song.RecordLength = oldLength;
        return false;
    }
    const int64_t end = m_Position;
    FlagDeleted(oldPosition);
    m_Position = end;
    return true;
}

bool cSongsDatabase::RewriteSongEntry(cSongInfo& song) {
    const uint32_t storedLength = song.RecordLength;
    std::string record;
    try {
        AppendRecord(record, song);
    } catch (const std::exception& error) {
        ShowErrorMessage(kWritePrefix, error.what());
        return false;
    }
    // AppendRecord has set the new length; an overwrite is safe only when it is the old one.
    if (song.RecordLength != storedLength) {
        song.RecordLength = storedLength;
        return UpdateSongEntry(song);
    }
    m_Position = song.Position;
    return WriteSongEntry(song);
}

void cSongsDatabase::Truncate(int64_t size) {
    if (::ftruncate(OpenFileDescriptor(), size) != 0) {
        throw EFileError(errno, "Could not cut", m_Path);
    }
    m_Size = size;
    if (m_BufferStart + static_cast<int64_t>(m_BufferLength) > size) {
        m_BufferLength = static_cast<size_t>(std::max<int64_t>(0, size - m_BufferStart));
    }
}

void cSongsDatabase::Sync() {
    if (::fsync(OpenFileDescriptor()) != 0) {
        throw EFileError(errno, "Could not flush", m_Path);
    }
}

void cSongsDatabase::ReplaceFile(const std::string& targetPath) {
    OpenFileDescriptor(); // only the open catalogue moves
    if (::rename(m_Path.c_str(), targetPath.c_str()) != 0) {
        throw EFileError(errno, "Could not replace", targetPath);
    }
    m_Path = targetPath;
    // The rename reaches the disk only with the folder's own entry.
    FlushFolderOf(targetPath);
}
