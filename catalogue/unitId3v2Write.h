#pragma once
// Changing texts in an ID3v2 tag: the tag's frames rebuilt with new texts for some of the five
// fields, every other frame kept byte for byte, and the complete tag with its padding. Pure
// functions over bytes; the new frames are rendered by TagLib. Putting the tag into the file is
// catalogue/unitSongTags.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "catalogue/unitId3v2.h"

/// New texts (UTF-8) for some of the five fields, indexed by eTagField: a field with a text
/// gets it, an empty text removes the field's frame, a field without one keeps its frames.
using cId3v2Edits = std::array<std::optional<std::string>, std::size(kTagFields)>;

/// The padding a tag gets when it has to be written anew, so that the next edits fit in it.
inline constexpr size_t kId3v2NewPadding = 2048;

/// The frames of the tag (its whole bytes as stored, from its header on) with the edits made,
/// in order, without header and padding:
/// - every frame of another field is kept byte for byte and in its place, except frames
///   flagged to be discarded when the tag is altered (as the format asks);
/// - an edited title, artist or album replaces the field's first frame and drops its others;
///   an edited year replaces every year frame (TYER, TDRC) with the version's own one;
/// - an edited comment replaces the text of the comment the song shows (see cId3v2TextReader),
///   keeping its language and description, or is added as a comment without a description;
/// - a field that had no frame gets one at the end.
/// A tag unsynchronised as a whole (2.2, 2.3) is undone, and the new tag is not
/// unsynchronised. Nothing when the tag cannot be rebuilt without losing what it holds: frames
/// that cannot be walked to the end (damage), a tag larger than kId3v2LargestTag, or fewer
/// bytes than the tag states.
std::optional<std::string> EditedId3v2Frames(const cId3v2Header& header, std::string_view tag,
                                             const cId3v2Edits& edits);

/// A whole tag of totalSize bytes: the header of the old one (same version and revision, the
/// extended header and footer left out, unsynchronisation only where 2.4 frames carry it), the
/// frames, then zero padding. totalSize must hold the header and the frames.
std::string Id3v2TagBytes(const cId3v2Header& old, std::string_view frames, int64_t totalSize);
