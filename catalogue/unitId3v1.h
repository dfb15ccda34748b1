#pragma once
// The ID3v1 tag at the end of an MP3 file: its layout, reading its texts, writing and removing
// it. What a tag change does to the song record and the catalogue is catalogue/unitSongActions.
//
/// Tag layout: the last 128 bytes of the file, a tag when they begin with "TAG" (upper case).
///
///   offset  width  field
///        0      3  marker "TAG"
///        3     30  title
///       33     30  artist
///       63     30  album
///       93      4  year
///       97     30  comment
///      127      1  genre (not read)
///
/// ID3v1.1 keeps a track number in the comment field: byte 125 zero, byte 126 the track.
///
/// A field's text ends at its first zero byte. Texts are the file's bytes as they stand (no
/// code page conversion here). This program writes a tag as a block of spaces with the marker
/// and the five texts copied in, so every field is padded with spaces; what the editor does not
/// show (the genre, an ID3v1.1 track number) is kept from the tag it replaces.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "util/unitTextUtils.h"
#include "util/unitUtils.h"

inline constexpr size_t kId3v1Size = 128;
inline constexpr std::string_view kId3v1Marker = "TAG";

/// Where one text field lies inside the 128-byte block.
struct cId3v1Field {
    size_t Offset;
    size_t Width;
};

inline constexpr cId3v1Field kId3v1Title{3, 30};
inline constexpr cId3v1Field kId3v1Artist{33, 30};
inline constexpr cId3v1Field kId3v1Album{63, 30};
inline constexpr cId3v1Field kId3v1Year{93, 4};
inline constexpr cId3v1Field kId3v1Comment{97, 30};
inline constexpr size_t kId3v1GenreOffset = 127;
inline constexpr size_t kId3v1TrackOffset = 126;
/// The genre byte of a tag that names none.
inline constexpr char kId3v1NoGenre = '\xFF';

using cId3v1Block = std::array<char, kId3v1Size>;

/// The five texts of a tag, as bytes.
struct cId3v1Texts {
    std::string Title;
    std::string Artist;
    std::string Album;
    std::string Year;
    std::string Comment;

    bool operator==(const cId3v1Texts&) const = default;
};

/// True when the text is exactly 128 bytes long and begins with "TAG".
bool IsId3v1Tag(std::string_view tail);

/// The bytes of one field of a tag block, up to its first zero byte.
std::string_view Id3v1FieldText(std::string_view tail, cId3v1Field field);

/// How the texts of a tag are cleaned when read.
enum class eId3v1Reading {
    /// New songs found by a folder scan: title, artist and album trimmed at both ends; year
    /// and comment exactly as stored (up to a zero byte).
    kSongRecord,
    /// The tag editor's edit boxes: every text loses its trailing characters 0 to 32.
    kEditor,
};

/// The five texts of a tag block. The tail must satisfy IsId3v1Tag.
cId3v1Texts ReadId3v1Texts(std::string_view tail, eId3v1Reading reading);

/// The 128-byte block this program writes: spaces, "TAG", the five texts each cut to its
/// field's width. Written over an old tag, the block keeps the old genre byte, and the old
/// ID3v1.1 track number when the comment fits into 28 bytes (a longer comment takes the whole
/// field); a new tag gets genre 255, "none" to every player (0x20 would be "Classical").
cId3v1Block BuildId3v1Block(const cId3v1Texts& texts, const cId3v1Block* old = nullptr);

/// Reads the last 128 bytes of the open file of the given size into tail. False (tail
/// untouched) when the file is shorter than 128 bytes. Throws std::system_error naming the
/// path when reading fails.
bool ReadId3v1Tail(int fd, int64_t fileSize, const std::string& path, cId3v1Block& tail);

/// Writes the texts as the file's tag (BuildId3v1Block): over the old tag when the file ends in
/// one at this moment, else appended (the file grows by 128 bytes). The block goes to the file
/// in one write and is flushed to the disk; an append that fails is cut back, so the file never
/// keeps half a tag. Throws std::system_error naming the file when it cannot be opened or
/// written.
void WriteId3v1Tag(const std::string& path, const cId3v1Texts& texts);

/// Writes the block into the open file of the given size: over its last 128 bytes (overwrite),
/// else appended; one write, then flushed. An append that fails is cut back. Throws EFileError
/// naming the path.
void WriteId3v1Block(int fd, int64_t fileSize, bool overwrite, const cId3v1Block& block,
                     const std::string& path);

/// Cuts the tag off the file (128 bytes shorter), only when the file ends in a tag at this
/// moment, so that audio is never cut. Answers whether a tag was removed. Throws
/// std::system_error naming the file when it cannot be opened, read or cut.
bool RemoveId3v1Tag(const std::string& path);
