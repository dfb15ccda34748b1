#include "catalogue/unitId3v2.h"

#include <algorithm>
#include <array>
#include <span>

#include "util/unitTextUtils.h"

namespace {

constexpr char32_t kReplacementCharacter = 0xFFFD;

uint8_t Byte(std::string_view bytes, size_t at) {
    return static_cast<uint8_t>(bytes[at]);
}

uint32_t BigEndian(std::string_view bytes) {
    uint32_t value = 0;
    for (const char c : bytes) {
        value = (value << 8) | static_cast<uint8_t>(c);
    }
    return value;
}

/// The syncsafe number of 4 bytes, or nothing when a byte has its top bit set.
std::optional<uint32_t> Syncsafe(std::string_view bytes) {
    uint32_t value = 0;
    for (const char c : bytes) {
        const auto b = static_cast<uint8_t>(c);
        if (b & 0x80) {
            return std::nullopt;
        }
        value = (value << 7) | b;
    }
    return value;
}

bool IsFrameIdChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool IsFrameId(std::string_view id) {
    return std::all_of(id.begin(), id.end(), IsFrameIdChar);
}

/// The bytes with every zero byte that follows a 0xFF byte taken out.
std::string UndoUnsynchronisation(std::string_view bytes) {
    std::string undone;
    undone.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        undone += bytes[i];
        if (Byte(bytes, i) == 0xFF && i + 1 < bytes.size() && bytes[i + 1] == '\0') {
            ++i;
        }
    }
    return undone;
}

// ---- texts --------------------------------------------------------------------------------

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

/// The length of the well-formed UTF-8 character at the start of the bytes, 0 when none is.
size_t Utf8CharacterLength(std::string_view bytes) {
    const uint8_t lead = Byte(bytes, 0);
    size_t length = 0;
    char32_t smallest = 0;
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        smallest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        smallest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        smallest = 0x10000;
    } else {
        return 0;
    }
    if (bytes.size() < length) {
        return 0;
    }
    char32_t c = lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        const uint8_t next = Byte(bytes, i);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        c = (c << 6) | (next & 0x3F);
    }
    const bool surrogate = c >= 0xD800 && c <= 0xDFFF;
    return c < smallest || c > 0x10FFFF || surrogate ? 0 : length;
}

/// The bytes as well-formed UTF-8: each byte that begins no character becomes U+FFFD.
std::string RepairedUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    while (!bytes.empty()) {
        const size_t length = Utf8CharacterLength(bytes);
        if (length == 0) {
            AppendUtf8(out, kReplacementCharacter);
            bytes.remove_prefix(1);
        } else {
            out.append(bytes.substr(0, length));
            bytes.remove_prefix(length);
        }
    }
    return out;
}

/// UTF-16 code units (an odd last byte is dropped) as UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    std::string out;
    out.reserve(bytes.size());
    const auto unitAt = [&](size_t i) -> char32_t {
        const uint8_t a = Byte(bytes, i);
        const uint8_t b = Byte(bytes, i + 1);
        return bigEndian ? (a << 8) | b : (b << 8) | a;
    };
    const size_t units = bytes.size() / 2;
    for (size_t i = 0; i < units; ++i) {
        const char32_t unit = unitAt(2 * i);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units) {
            const char32_t low = unitAt(2 * i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        const bool surrogate = unit >= 0xD800 && unit <= 0xDFFF;
        AppendUtf8(out, surrogate ? kReplacementCharacter : unit);
    }
    return out;
}

bool IsUtf16(uint8_t encoding) {
    return encoding == 1 || encoding == 2;
}

/// Where the first terminator of a string in the encoding starts (a zero byte; in UTF-16 two
/// zero bytes at an even offset), or the size when there is none.
size_t TerminatorAt(uint8_t encoding, std::string_view bytes) {
    if (!IsUtf16(encoding)) {
        return std::min(bytes.find('\0'), bytes.size());
    }
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        if (bytes[i] == '\0' && bytes[i + 1] == '\0') {
            return i;
        }
    }
    return bytes.size();
}

/// The byte order of UTF-16 text without a byte order mark: mostly Latin letters, whose zero
/// high byte comes second in little-endian order, which is also what such writers used most.
bool LooksBigEndian(std::string_view bytes) {
    size_t zeroFirst = 0;
    size_t zeroSecond = 0;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        zeroFirst += bytes[i] == '\0' ? 1 : 0;
        zeroSecond += bytes[i + 1] == '\0' ? 1 : 0;
    }
    return zeroFirst > zeroSecond;
}

/// One string in the encoding, without its terminator, as UTF-8. byteOrder carries the byte
/// order of UTF-16 from string to string: a byte order mark sets it, a string without one
/// keeps the last (or, first of all, guesses it; encoding 2 is big-endian).
std::string DecodeString(uint8_t encoding, std::string_view bytes, std::optional<bool>& bigEndian) {
    switch (encoding) {
    case 0:
        return Latin1ToUtf8(bytes);
    case 3:
        if (bytes.starts_with("\xEF\xBB\xBF")) {
            bytes.remove_prefix(3);
        }
        return RepairedUtf8(bytes);
    case 1:
    case 2:
        if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
            bigEndian = bytes[0] == '\xFE';
            bytes.remove_prefix(2);
        } else if (!bigEndian) {
            bigEndian = encoding == 2 || LooksBigEndian(bytes);
        }
        return Utf16ToUtf8(bytes, *bigEndian);
    default:
        return {};
    }
}

// ---- frame ids ----------------------------------------------------------------------------

struct cFrameName {
    std::string_view Id;
    eTagField Field;
};

constexpr cFrameName kFramesOf22[] = {{"TT2", eTagField::kTitle},
                                      {"TP1", eTagField::kArtist},
                                      {"TAL", eTagField::kAlbum},
                                      {"TYE", eTagField::kYear},
                                      {"COM", eTagField::kComment}};
constexpr cFrameName kFramesOf23[] = {{"TIT2", eTagField::kTitle}, {"TPE1", eTagField::kArtist},
                                      {"TALB", eTagField::kAlbum}, {"TYER", eTagField::kYear},
                                      {"TDRC", eTagField::kYear},  {"COMM", eTagField::kComment}};

} // namespace

std::optional<cId3v2Header> ParseId3v2Header(std::string_view bytes) {
    if (bytes.size() < kId3v2HeaderSize || !bytes.starts_with("ID3")) {
        return std::nullopt;
    }
    cId3v2Header header;
    header.Version = Byte(bytes, 3);
    header.Revision = Byte(bytes, 4);
    header.Flags = Byte(bytes, 5);
    const std::optional<uint32_t> size = Syncsafe(bytes.substr(6, 4));
    const bool knownVersion = header.Version >= 2 && header.Version <= 4;
    const bool compressed22 = header.Version == 2 && (header.Flags & 0x40) != 0;
    if (!knownVersion || header.Revision == 0xFF || !size || compressed22) {
        return std::nullopt;
    }
    header.Size = *size;
    return header;
}

std::string& FieldText(cId3v1Texts& texts, eTagField field) {
    switch (field) {
    case eTagField::kTitle:
        return texts.Title;
    case eTagField::kArtist:
        return texts.Artist;
    case eTagField::kAlbum:
        return texts.Album;
    case eTagField::kYear:
        return texts.Year;
    case eTagField::kComment:
        break;
    }
    return texts.Comment;
}

const std::string& FieldText(const cId3v1Texts& texts, eTagField field) {
    return FieldText(const_cast<cId3v1Texts&>(texts), field);
}

std::optional<eTagField> FieldOfFrame(const cId3v2Header& header, const cId3v2Frame& frame,
                                      bool* mainYearFrame) {
    const std::string_view id = frame.IdText();
    const bool threeLetters = id.size() == 3;
    const std::span<const cFrameName> names = threeLetters
                                                  ? std::span<const cFrameName>(kFramesOf22)
                                                  : std::span<const cFrameName>(kFramesOf23);
    for (const cFrameName& name : names) {
        if (name.Id != id) {
            continue;
        }
        if (mainYearFrame != nullptr) {
            // TYE and TYER, except in 2.4, where TDRC holds the year.
            const bool yearOfOldVersions = threeLetters || id == "TYER";
            *mainYearFrame = name.Field == eTagField::kYear &&
                             (header.Version == 4 ? !yearOfOldVersions : yearOfOldVersions);
        }
        return name.Field;
    }
    return std::nullopt;
}

// ---- the walk -----------------------------------------------------------------------------

cId3v2Walk::cId3v2Walk(const cId3v2Header& header, int64_t fileSize)
    : m_Header(header), m_FramesEnd(std::min({static_cast<int64_t>(kId3v2HeaderSize) + header.Size,
                                              kId3v2LargestTag, fileSize})),
      m_At(static_cast<int64_t>(kId3v2HeaderSize)), m_Wanted{0, static_cast<int64_t>(
                                                                    kId3v2HeaderSize)} {}

void cId3v2Walk::Give(int64_t offset, std::string_view bytes) {
    if (m_Undoing) {
        return; // every byte is at hand already
    }
    if (offset == m_Wanted.Offset && static_cast<int64_t>(bytes.size()) < m_Wanted.Count) {
        // The file ends (or was cut while it was read) here.
        m_FramesEnd = std::min(m_FramesEnd, offset + static_cast<int64_t>(bytes.size()));
    }
    m_Bytes = bytes;
    m_BytesAt = offset;
}

bool cId3v2Walk::Holds(int64_t offset, int64_t count) {
    if (offset >= m_BytesAt && offset + count <= m_BytesAt + static_cast<int64_t>(m_Bytes.size())) {
        return true;
    }
    m_Wanted = {offset, count};
    return false;
}

std::string_view cId3v2Walk::View(int64_t offset, int64_t count) const {
    return m_Bytes.substr(static_cast<size_t>(offset - m_BytesAt), static_cast<size_t>(count));
}

cId3v2Walk::eStep cId3v2Walk::Start() {
    if (m_Header.Version <= 3 && m_Header.Unsynchronised()) {
        // Sizes and offsets count the bytes as they are once undone: the whole tag comes first.
        if (!Holds(0, m_FramesEnd)) {
            return eStep::kNeedBytes;
        }
        const std::string_view stored = View(0, m_FramesEnd);
        m_Undone = std::string(stored.substr(0, kId3v2HeaderSize)) +
                   UndoUnsynchronisation(stored.substr(kId3v2HeaderSize));
        m_Bytes = m_Undone;
        m_BytesAt = 0;
        m_FramesEnd = static_cast<int64_t>(m_Undone.size());
        m_Undoing = true;
    }
    int64_t start = static_cast<int64_t>(kId3v2HeaderSize);
    if (m_Header.HasExtendedHeader()) {
        if (start + 4 > m_FramesEnd) {
            return eStep::kEnd;
        }
        if (!Holds(start, 4)) {
            return eStep::kNeedBytes;
        }
        const std::string_view sizeBytes = View(start, 4);
        if (m_Header.Version == 3) {
            start += 4 + static_cast<int64_t>(BigEndian(sizeBytes)); // the size leaves itself out
        } else {
            const std::optional<uint32_t> size = Syncsafe(sizeBytes);
            if (!size || *size < 6) {
                return eStep::kDamaged;
            }
            start += *size;
        }
        if (start > m_FramesEnd) {
            return eStep::kDamaged;
        }
    }
    m_FramesStart = m_At = start;
    return eStep::kFrame;
}

std::optional<bool> cId3v2Walk::FrameIdAt(int64_t at) {
    if (at + 4 > m_FramesEnd) {
        return false;
    }
    for (int i = 0; i < 2; ++i) {
        if (m_Ahead.CheckedAt[i] == at) {
            return m_Ahead.IsId[i];
        }
    }
    if (!Holds(at, 4)) {
        return std::nullopt;
    }
    // Remembered, so that the bytes wanted next need not hold these again.
    const int slot = m_Ahead.CheckedAt[0] < 0 ? 0 : 1;
    m_Ahead.CheckedAt[slot] = at;
    m_Ahead.IsId[slot] = IsFrameId(View(at, 4));
    return m_Ahead.IsId[slot];
}

/// The body size the header states. A 2.4 size should be syncsafe; some writers put plain
/// numbers there: a size that is no syncsafe number is read plain, and a larger one is read
/// plain too when only the plain reading leads to the next frame. Nothing while bytes are
/// wanted for that test.
std::optional<int64_t> cId3v2Walk::FrameSize(int64_t at, std::string_view header) {
    if (m_Header.Version == 2) {
        return BigEndian(header.substr(3, 3));
    }
    const std::string_view sizeBytes = header.substr(4, 4);
    const uint32_t plain = BigEndian(sizeBytes);
    if (m_Header.Version == 3) {
        return plain;
    }
    const std::optional<uint32_t> syncsafe = Syncsafe(sizeBytes);
    if (!syncsafe) {
        return plain;
    }
    if (*syncsafe <= 127) {
        return *syncsafe;
    }
    const int64_t bodyAt = at + static_cast<int64_t>(header.size());
    const std::optional<bool> nextBySyncsafe = FrameIdAt(bodyAt + *syncsafe);
    if (!nextBySyncsafe) {
        return std::nullopt;
    }
    if (*nextBySyncsafe) {
        return *syncsafe;
    }
    const std::optional<bool> nextByPlain = FrameIdAt(bodyAt + plain);
    if (!nextByPlain) {
        return std::nullopt;
    }
    return *nextByPlain ? plain : *syncsafe;
}

cId3v2Walk::eStep cId3v2Walk::Next(cId3v2Frame& frame) {
    if (m_FramesStart < 0) {
        if (const eStep step = Start(); step != eStep::kFrame) {
            return step;
        }
    }
    const auto headerSize = static_cast<int64_t>(m_Header.FrameHeaderSize());
    if (m_At + headerSize > m_FramesEnd) {
        return eStep::kEnd;
    }
    if (m_Ahead.At != m_At) {
        if (!Holds(m_At, headerSize)) {
            return eStep::kNeedBytes;
        }
        m_Ahead = cFrameAhead{};
        m_Ahead.At = m_At;
        const std::string_view bytes = View(m_At, headerSize);
        std::copy(bytes.begin(), bytes.end(), m_Ahead.Header.begin());
    }
    const std::string_view header(m_Ahead.Header.data(), static_cast<size_t>(headerSize));
    if (header[0] == '\0') {
        return eStep::kEnd; // padding
    }
    std::string_view id = header.substr(0, m_Header.Version == 2 ? 3 : 4);
    if (m_Header.Version == 3 && id[3] == '\0') {
        id = id.substr(0, 3); // a 2.2 frame in a 2.3 tag
    }
    if (!IsFrameId(id)) {
        return eStep::kDamaged;
    }
    const std::optional<int64_t> size = FrameSize(m_At, header);
    if (!size) {
        return eStep::kNeedBytes;
    }
    const uint16_t flags =
        m_Header.Version == 2 ? 0 : static_cast<uint16_t>(BigEndian(header.substr(8, 2)));
    const bool hasDataLength = m_Header.Version == 4 && (flags & 0x0001) != 0;
    if (*size <= (hasDataLength ? 4 : 0) || m_At + headerSize + *size > m_FramesEnd) {
        return eStep::kDamaged; // an empty frame, or one that runs past the tag
    }
    frame = cId3v2Frame{};
    std::copy(id.begin(), id.end(), frame.Id);
    frame.Offset = m_At;
    frame.HeaderSize = static_cast<size_t>(headerSize);
    frame.BodySize = *size;
    frame.Flags = flags;
    m_At = frame.End();
    return eStep::kFrame;
}

// ---- frame contents -----------------------------------------------------------------------

std::optional<std::string> Id3v2FrameContent(const cId3v2Header& header, const cId3v2Frame& frame,
                                             std::string_view body) {
    const auto format = static_cast<uint8_t>(frame.Flags & 0xFF);
    size_t skip = 0;
    bool unsynchronised = false;
    if (header.Version == 3) {
        if (format & 0xC0) {
            return std::nullopt; // compressed or encrypted
        }
        skip = (format & 0x20) ? 1 : 0; // group id
    } else if (header.Version == 4) {
        if (format & 0x0C) {
            return std::nullopt; // compressed or encrypted
        }
        skip = ((format & 0x40) ? 1 : 0) + ((format & 0x01) ? 4 : 0); // group id, data length
        unsynchronised = (format & 0x02) != 0 || header.Unsynchronised();
    }
    if (skip > body.size()) {
        return std::nullopt;
    }
    body.remove_prefix(skip);
    return unsynchronised ? UndoUnsynchronisation(body) : std::string(body);
}

std::string Id3v2FrameText(std::string_view content) {
    if (content.empty()) {
        return {};
    }
    const uint8_t encoding = Byte(content, 0);
    const std::string_view text = content.substr(1);
    std::optional<bool> bigEndian;
    return DecodeString(encoding, text.substr(0, TerminatorAt(encoding, text)), bigEndian);
}

std::optional<cId3v2Comment> Id3v2FrameComment(std::string_view content) {
    if (content.size() < 5) {
        return std::nullopt;
    }
    const uint8_t encoding = Byte(content, 0);
    cId3v2Comment comment;
    comment.Language = std::string(content.substr(1, 3));
    std::string_view rest = content.substr(4);
    const size_t descriptionEnd = TerminatorAt(encoding, rest);
    std::optional<bool> bigEndian;
    comment.Description = DecodeString(encoding, rest.substr(0, descriptionEnd), bigEndian);
    if (descriptionEnd == rest.size()) {
        return comment; // no terminator, so no text
    }
    rest.remove_prefix(descriptionEnd + (IsUtf16(encoding) ? 2 : 1));
    comment.Text = DecodeString(encoding, rest.substr(0, TerminatorAt(encoding, rest)), bigEndian);
    return comment;
}

std::string Latin1ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        AppendUtf8(out, static_cast<uint8_t>(c));
    }
    return out;
}

std::optional<std::string> Utf8ToLatin1(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    while (!utf8.empty()) {
        const size_t length = Utf8CharacterLength(utf8);
        const uint8_t lead = Byte(utf8, 0);
        if (length == 1) {
            out += utf8[0];
        } else if (length == 2 && lead <= 0xC3) {
            out += static_cast<char>(((lead & 0x03) << 6) | (Byte(utf8, 1) & 0x3F));
        } else {
            return std::nullopt;
        }
        utf8.remove_prefix(length);
    }
    return out;
}

std::string CleanId3v2Text(std::string_view text, eTagField field) {
    std::string oneLine(text);
    std::replace_if(
        oneLine.begin(), oneLine.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    std::string_view clean = TrimControlChars(oneLine);
    clean = TrimTrailingControlChars(CutToFieldWidth(clean, kId3v2LongestText));
    if (field == eTagField::kYear) {
        size_t end = 0;
        for (int characters = 0; characters < 4 && end < clean.size(); ++characters) {
            end += std::max<size_t>(1, Utf8CharacterLength(clean.substr(end)));
        }
        clean = TrimTrailingControlChars(clean.substr(0, end));
    }
    return std::string(clean);
}

bool IsMachineComment(std::string_view description) {
    return description.starts_with("iTun");
}

// ---- the five texts -----------------------------------------------------------------------

namespace {
constexpr unsigned Bit(eTagField field) {
    return 1u << static_cast<unsigned>(field);
}
constexpr unsigned kAllFields = Bit(eTagField::kTitle) | Bit(eTagField::kArtist) |
                                Bit(eTagField::kAlbum) | Bit(eTagField::kYear) |
                                Bit(eTagField::kComment);
} // namespace

cId3v2TextReader::cId3v2TextReader(const cId3v2Header& header, int64_t fileSize)
    : m_Walk(header, fileSize) {}

cId3v2Walk::cRange cId3v2TextReader::Wanted() const {
    return m_Done ? cId3v2Walk::cRange{} : m_Walk.Wanted();
}

void cId3v2TextReader::Give(int64_t offset, std::string_view bytes) {
    m_Walk.Give(offset, bytes);
    Walk();
}

bool cId3v2TextReader::Wants(eTagField field, bool mainYear) const {
    if (m_Found & Bit(field)) {
        return false;
    }
    if (field == eTagField::kYear && !mainYear) {
        return m_OtherYear.empty();
    }
    return true;
}

void cId3v2TextReader::TakeFrame(const cPending& pending, std::string_view body) {
    const std::optional<std::string> content =
        Id3v2FrameContent(m_Walk.Header(), pending.Frame, body);
    if (!content) {
        return;
    }
    if (pending.Field == eTagField::kComment) {
        const std::optional<cId3v2Comment> comment = Id3v2FrameComment(*content);
        if (!comment || IsMachineComment(comment->Description)) {
            return;
        }
        std::string text = CleanId3v2Text(comment->Text, eTagField::kComment);
        if (text.empty()) {
            return;
        }
        if (comment->Description.empty()) {
            m_Texts.Comment = std::move(text);
            m_Found |= Bit(eTagField::kComment);
        } else if (m_OtherComment.empty()) {
            m_OtherComment = std::move(text);
        }
        return;
    }
    std::string text = CleanId3v2Text(Id3v2FrameText(*content), pending.Field);
    if (text.empty()) {
        return;
    }
    if (pending.Field == eTagField::kYear && !pending.MainYear) {
        m_OtherYear = std::move(text);
        return;
    }
    FieldText(m_Texts, pending.Field) = std::move(text);
    m_Found |= Bit(pending.Field);
}

void cId3v2TextReader::Finish() {
    m_Done = true;
    if (!(m_Found & Bit(eTagField::kYear))) {
        m_Texts.Year = std::move(m_OtherYear);
    }
    if (!(m_Found & Bit(eTagField::kComment))) {
        m_Texts.Comment = std::move(m_OtherComment);
    }
}

void cId3v2TextReader::Walk() {
    while (!m_Done) {
        if (m_Pending) {
            const cId3v2Frame& frame = m_Pending->Frame;
            const int64_t bodyAt = frame.Offset + static_cast<int64_t>(frame.HeaderSize);
            if (!m_Walk.Holds(bodyAt, frame.BodySize)) {
                return;
            }
            TakeFrame(*m_Pending, m_Walk.View(bodyAt, frame.BodySize));
            m_Pending.reset();
            if (m_Found == kAllFields) {
                Finish();
            }
            continue;
        }
        cId3v2Frame frame;
        const cId3v2Walk::eStep step = m_Walk.Next(frame);
        if (step == cId3v2Walk::eStep::kNeedBytes) {
            return;
        }
        if (step != cId3v2Walk::eStep::kFrame) {
            Finish();
            return;
        }
        bool mainYear = false;
        const std::optional<eTagField> field = FieldOfFrame(m_Walk.Header(), frame, &mainYear);
        if (field && Wants(*field, mainYear)) {
            m_Pending = cPending{frame, *field, mainYear};
        }
    }
}

cId3v1Texts ReadId3v2Texts(std::string_view head) {
    const std::optional<cId3v2Header> header = ParseId3v2Header(head);
    if (!header) {
        return {};
    }
    cId3v2TextReader reader(*header, static_cast<int64_t>(head.size()));
    reader.Give(0, head);
    return reader.Texts();
}
