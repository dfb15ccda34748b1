#pragma once
// The ID3v2 tag at the start of an MP3 file (versions 2.2, 2.3 and 2.4): its header, the walk
// over its frames, the texts of its frames, and the five texts the song list shows. Pure
// functions over bytes: whoever reads the file hands the tag's bytes over, in one piece or in
// the pieces the reader asks for, so the file access stays with the caller.
//
/// Tag layout (numbers big-endian; "syncsafe" = 7 bits per byte, the top bit clear):
///
///   header    "ID3" version revision flags size       10 bytes, size syncsafe
///             size counts what follows the header (extended header, frames, padding), not
///             the 2.4 footer. Flags: 0x80 unsynchronised (2.2 and 2.3: every byte after the
///             header; 2.4: each frame, flagged in the frame too), 0x40 extended header (2.3,
///             2.4; in 2.2 compression, whose tags are not read), 0x10 footer (2.4).
///   extended  2.3: size (4, not counting itself) then that many bytes;
///             2.4: size (syncsafe, counting itself) then the rest
///   frame     2.2: id (3) size (3)                       a 6-byte header, then the body
///             2.3: id (4) size (4) flags (2)             a 10-byte header, then the body
///             2.4: id (4) size (syncsafe 4) flags (2)    a 10-byte header, then the body
///   padding   zero bytes up to the stated size
///
/// A text frame's body is an encoding byte (0 ISO-8859-1, 1 UTF-16 with a byte order mark,
/// 2 UTF-16BE, 3 UTF-8) and the text; a comment frame's body is the encoding byte, a 3-letter
/// language, a description ending in a terminator (a zero byte, two in UTF-16), and the text.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "catalogue/unitId3v1.h"

inline constexpr size_t kId3v2HeaderSize = 10;
/// No more of a tag than this is ever read, whatever size it states.
inline constexpr int64_t kId3v2LargestTag = 16 * 1024 * 1024;
/// The longest text a song takes from a frame (cut at a character boundary): a title or a
/// comment longer than this says nothing more in a list row and only swells the catalogue.
inline constexpr size_t kId3v2LongestText = 1024;

/// The header of a tag.
struct cId3v2Header {
    uint8_t Version = 0; ///< the major version: 2, 3 or 4
    uint8_t Revision = 0;
    uint8_t Flags = 0;
    uint32_t Size = 0; ///< the bytes after the header, the footer not counted

    bool Unsynchronised() const { return (Flags & 0x80) != 0; }
    bool HasExtendedHeader() const { return Version >= 3 && (Flags & 0x40) != 0; }
    bool HasFooter() const { return Version == 4 && (Flags & 0x10) != 0; }
    /// The tag's place in the file: header, Size bytes and footer.
    int64_t TotalSize() const {
        return static_cast<int64_t>(kId3v2HeaderSize) + Size + (HasFooter() ? 10 : 0);
    }
    /// The size of a frame header: 6 in 2.2, else 10.
    size_t FrameHeaderSize() const { return Version == 2 ? 6 : 10; }
};

/// The header at the start of the bytes, or nothing when they do not begin with a tag this
/// reader knows: "ID3", version 2, 3 or 4 (a later version is to be ignored whole), a revision
/// below 0xFF, a syncsafe size; a 2.2 tag flagged compressed is not read either (no compression
/// scheme was ever defined for it).
std::optional<cId3v2Header> ParseId3v2Header(std::string_view bytes);

/// The five fields a song takes from a tag.
enum class eTagField { kTitle, kArtist, kAlbum, kYear, kComment };
inline constexpr eTagField kTagFields[] = {eTagField::kTitle, eTagField::kArtist, eTagField::kAlbum,
                                           eTagField::kYear, eTagField::kComment};

/// The text of one field of the five.
std::string& FieldText(cId3v1Texts& texts, eTagField field);
const std::string& FieldText(const cId3v1Texts& texts, eTagField field);

/// One frame as the walk met it.
struct cId3v2Frame {
    char Id[5] = {};    ///< 3 letters in 2.2, else 4; a 2.3 frame named like a 2.2 one ("TT2" and a
                        ///< zero byte, as some players wrote them) has the 3 letters
    int64_t Offset = 0; ///< where its header starts, in the walk's bytes (see cId3v2Walk)
    size_t HeaderSize = 0; ///< 6 or 10
    int64_t BodySize = 0;
    uint16_t Flags = 0; ///< the two flag bytes, first one high; 0 in 2.2

    std::string_view IdText() const { return Id; }
    int64_t End() const { return Offset + static_cast<int64_t>(HeaderSize) + BodySize; }
};

/// The field a frame holds by its id, if any, and whether it is the version's own year frame
/// (TYE, TYER, TDRC in 2.4) rather than the other one (TDRC in 2.3, TYER in 2.4).
std::optional<eTagField> FieldOfFrame(const cId3v2Header& header, const cId3v2Frame& frame,
                                      bool* mainYearFrame = nullptr);

/// Walks the frames of one tag, in order. The walk reads the tag's bytes as the file stores
/// them, handed over by Give; it says through Wanted which bytes it needs next, so that large
/// frames (pictures) are skipped without being read. A tag unsynchronised as a whole (2.2, 2.3)
/// is wanted whole and undone first: its offsets are then those of the undone bytes, with the
/// header in front. Never more than the tag's stated size, nor more than kId3v2LargestTag, is
/// wanted; each frame takes at least one byte beyond its header, so every walk ends.
class cId3v2Walk {
public:
    /// fileSize: the bytes of the file from the tag's first byte on; no more is ever wanted.
    cId3v2Walk(const cId3v2Header& header, int64_t fileSize);

    enum class eStep {
        kFrame,     ///< the next frame
        kNeedBytes, ///< Wanted bytes first, then ask again
        kEnd,       ///< no more frames: padding, the tag's end, or the bytes ran out
        kDamaged,   ///< what follows is no frame (a bad id, a size past the tag's end)
    };
    eStep Next(cId3v2Frame& frame);

    struct cRange {
        int64_t Offset = 0;
        int64_t Count = 0;
    };
    /// The bytes (offsets in the file from the tag's first byte) the last kNeedBytes waits for.
    cRange Wanted() const { return m_Wanted; }
    /// Bytes of the file from offset on; they replace those given before and must stay until
    /// the next Give (the walk keeps a view). Fewer than wanted means the file ends there.
    void Give(int64_t offset, std::string_view bytes);

    /// Whether the walk's bytes hold [offset, offset + count), a range inside a frame the walk
    /// returned; if not, that range becomes Wanted.
    bool Holds(int64_t offset, int64_t count);
    /// The walk's bytes [offset, offset + count); Holds must have answered true.
    std::string_view View(int64_t offset, int64_t count) const;

    const cId3v2Header& Header() const { return m_Header; }

private:
    eStep Start();
    std::optional<int64_t> FrameSize(int64_t at, std::string_view header);
    /// Whether a frame id stands at the offset; nothing while its bytes are wanted.
    std::optional<bool> FrameIdAt(int64_t at);

    /// What is known of the frame at m_At while bytes elsewhere are wanted: its header, and
    /// whether frame ids stand where its size could lead.
    struct cFrameAhead {
        int64_t At = -1;
        std::array<char, 10> Header{};
        int64_t CheckedAt[2] = {-1, -1};
        bool IsId[2] = {};
    };

    cId3v2Header m_Header;
    cFrameAhead m_Ahead;
    std::string m_Undone; ///< a tag unsynchronised as a whole, undone
    bool m_Undoing = false;
    std::string_view m_Bytes;
    int64_t m_BytesAt = 0;
    int64_t m_FramesStart = -1; ///< after the extended header; -1 before the first step
    int64_t m_FramesEnd = 0;    ///< the stated size's end, the cap, or the file's end
    int64_t m_At = 0;
    cRange m_Wanted;
};

/// The content of a frame's body: what follows the extra bytes its flags announce (group id,
/// encryption method, data length), with a 2.4 frame's unsynchronisation undone. Nothing for a
/// compressed or encrypted frame, whose text cannot be read here. body is the frame's body.
std::optional<std::string> Id3v2FrameContent(const cId3v2Header& header, const cId3v2Frame& frame,
                                             std::string_view body);

/// The text of a text frame's content as UTF-8, up to its first terminator; invalid UTF-16 or
/// UTF-8 becomes U+FFFD, an unknown encoding gives an empty text.
std::string Id3v2FrameText(std::string_view content);

/// A comment frame's content.
struct cId3v2Comment {
    std::string Language; ///< 3 bytes as stored
    std::string Description;
    std::string Text;
};
/// The comment of a comment frame's content, texts as UTF-8; nothing when it is too short.
std::optional<cId3v2Comment> Id3v2FrameComment(std::string_view content);

/// ISO-8859-1 bytes as UTF-8.
std::string Latin1ToUtf8(std::string_view bytes);
/// Valid UTF-8 as ISO-8859-1 bytes; nothing when a character lies beyond U+00FF (or the text
/// is no valid UTF-8).
std::optional<std::string> Utf8ToLatin1(std::string_view utf8);

/// How a song stores a text from a frame: CR and LF made blanks (a list row and a group name
/// stay one line), at most kId3v2LongestText bytes, characters 0 to 32 trimmed at both ends;
/// a year keeps at most its first 4 characters.
std::string CleanId3v2Text(std::string_view text, eTagField field);

/// Whether a comment of this description holds a player's machine data (volume and gapless
/// numbers: "iTunNORM", "iTunSMPB", ...) rather than words for the user.
bool IsMachineComment(std::string_view description);

/// Reads the five texts of one tag, cleaned by CleanId3v2Text: the title (TIT2, TT2), artist
/// (TPE1, TP1), album (TALB, TAL), year (TYER, TYE; the year of TDRC in 2.4; the other year
/// frame where the version's own is missing) and comment (the text of the first comment frame
/// without a description, else of the first one that is no machine data). The first frame with
/// a text counts; frames whose text cannot be read (compressed, encrypted) are skipped. It stops
/// as soon as all five are found.
class cId3v2TextReader {
public:
    cId3v2TextReader(const cId3v2Header& header, int64_t fileSize);
    /// The bytes of the file to Give next; Count 0 once the texts are read.
    cId3v2Walk::cRange Wanted() const;
    void Give(int64_t offset, std::string_view bytes);
    const cId3v1Texts& Texts() const { return m_Texts; }

private:
    struct cPending {
        cId3v2Frame Frame;
        eTagField Field;
        bool MainYear;
    };
    void Walk();
    bool Wants(eTagField field, bool mainYear) const;
    void TakeFrame(const cPending& pending, std::string_view body);
    void Finish();

    cId3v2Walk m_Walk;
    cId3v1Texts m_Texts;
    unsigned m_Found = 0;       ///< a bit per eTagField; the year's only from the main year frame,
                                ///< the comment's only from a comment without a description
    std::string m_OtherYear;    ///< from the other year frame
    std::string m_OtherComment; ///< from the first comment with a description
    std::optional<cPending> m_Pending; ///< a frame whose body is wanted
    bool m_Done = false;
};

/// The five texts of the tag at the start of the bytes (the file's head, as much of it as is at
/// hand); empty texts when the bytes begin with no tag.
cId3v1Texts ReadId3v2Texts(std::string_view head);
