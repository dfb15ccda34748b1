#pragma once
// A song's tags in its file: reading the ID3v1 tag at its end and the ID3v2 tag at its start
// (for the folder scan and the tag editor), the rule that makes the five texts of a song of the
// two, and the tag editor's write of both tags. What a tag change does to the song record and
// the catalogue is catalogue/unitSongActions.
//
// Precedence: the ID3v1 tag comes first. A field it fills keeps its text, except that a text
// cut at its field's width is completed from the ID3v2 text that begins with it; a field it
// lacks (no tag, or a blank field) takes the ID3v2 text. Title and artist that both tags lack
// come from the file name (the folder scan does that).

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "catalogue/unitId3v1.h"
#include "catalogue/unitId3v2.h"

/// What the tags of one file hold.
struct cFileTags {
    std::optional<cId3v1Block> Id3v1;  ///< the last 128 bytes, when they are a tag
    std::optional<cId3v2Header> Id3v2; ///< the header of the tag at the start, if any
    cId3v1Texts Id3v2Texts;            ///< its five texts (UTF-8, cleaned); empty without
};

/// The bytes read at the start of a file: the 10 of a tag header would do, but a page costs
/// little more and holds the whole of most tags.
inline constexpr size_t kHeadReadSize = 4096;
/// A file up to this size is read in one go: one read costs less than two.
inline constexpr size_t kJoinedReadSize = 8192;

/// Reads both tags of the open file of the given size. A file without an ID3v2 tag costs one
/// read of its first bytes and one of its last 128, or a single read when it is small; a tag's
/// frames are read as far as the texts need them, large frames skipped (cId3v2TextReader).
/// Throws EFileError naming the path when a read fails.
cFileTags ReadFileTags(int fd, int64_t fileSize, const std::string& path);

/// The width of the comment field: 28 in an ID3v1.1 tag, whose byte 125 is zero and byte 126,
/// the track number, is not; else 30.
size_t Id3v1CommentWidth(const cId3v1Block& tail);

/// The width of a field of the ID3v1 tag; the comment's as Id3v1CommentWidth gives it for the
/// tag, 30 without one.
size_t Id3v1FieldWidth(eTagField field, const cId3v1Block* tail = nullptr);

/// The ID3v1 text, or the ID3v2 text when the ID3v1 one is that text cut at the field's width
/// (as this program or another writer cuts it, Latin-1 or UTF-8; blanks at either end aside).
std::string_view CompletedText(std::string_view id3v1Text, std::string_view id3v2Text,
                               size_t width);

/// The five texts of a song from its tags by the precedence rule, ID3v1 texts read for the song
/// record (eId3v1Reading::kSongRecord); title and artist may be left empty.
cId3v1Texts SongTextsFromTags(const cFileTags& tags);

/// The five texts the tag editor shows, as the bytes its fields store: each ID3v1 field with
/// its trailing blanks removed, and where that is empty the ID3v2 text as StoredTagText gives
/// it for the field's width.
cId3v1Texts EditorTextsFromTags(const cFileTags& tags);

/// What the tag editor needs of a file before it opens: whether the file ends in an ID3v1 tag
/// (which Remove ID3 would cut off), the texts it shows (EditorTextsFromTags), and the file's
/// last-modified time exactly as the file system holds it, to restore afterwards.
struct cSongTag {
    bool HasTag = false; ///< an ID3v1 tag
    bool HasId3v2 = false;
    cId3v1Texts Texts;
    std::timespec FileTime{};
};

/// How ReadSongTag opens the file.
enum class eTagAccess {
    kRead,      ///< reading only
    kReadWrite, ///< also proves now that the tag can be written (the editor's first step)
};

/// Reads the file's tags for the editor. Throws std::system_error naming the file when it
/// cannot be opened with the access or read.
cSongTag ReadSongTag(const std::string& path, eTagAccess access = eTagAccess::kRead);

/// What WriteSongTags did.
struct cSongTagWrite {
    int64_t FileSize = 0;        ///< the file's size afterwards
    std::timespec FileTime{};    ///< its last-modified time afterwards
    cId3v1Block Id3v1{};         ///< the ID3v1 block written
    cId3v1Texts Id3v2Texts;      ///< the texts of its ID3v2 tag afterwards (empty without one)
    bool Id3v2LeftAlone = false; ///< an ID3v2 tag had edits but could not be rebuilt safely
                                 ///< (damaged, or larger than kId3v2LargestTag): unchanged
};

/// The tag editor's write. The ID3v1 block is written as WriteId3v1Tag does. When the file
/// begins with an ID3v2 tag, every typed text that differs from what the editor shows for the
/// file (EditorTextsFromTags, read again now) goes into its frame as well (EditedId3v2Frames);
/// fields left as shown keep their frames, so a long ID3v2 title shown cut to 30 bytes stays
/// whole. The new tag is written in place when it fits the old one with its padding (one write
/// of the tag's bytes); else a complete new file is written beside the file (new tag, the audio,
/// the ID3v1 block), given the file's mode, owner, group and extended attributes, flushed and
/// renamed over it, so that a crash, a kill or a full disk at any moment leaves the old file or
/// the new one (a symbolic link stays and its file is replaced; other hard links of the file
/// keep the old content). With keepTime the file's last-modified time afterwards is *keepTime
/// (its access time kept too); without, it is the time of the write. A file that cannot be
/// opened for writing (read-only) or read, or a write that fails, throws EFileError naming the
/// file: the file keeps its old content (an ID3v2 tag written in place is put back, an appended
/// ID3v1 block cut off) and no copy is left behind.
cSongTagWrite WriteSongTags(const std::string& path, const cId3v1Texts& typed,
                            const std::timespec* keepTime);
