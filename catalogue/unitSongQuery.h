#pragma once
// The query engine: every list of songs the program shows or works on is cut out of a source
// list (normally the master song list) by QuerySongs and a list of conditions.

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/unitSongsDatabaseClass.h"

/// Field codes of a condition: which value of a song is tested.
enum eSongField : uint8_t {
    kFieldFilename = 0,   ///< FileName, the full path
    kFieldFolder = 1,     ///< FolderPart of FileName: up to its last separator, root kept
    kFieldTitle = 2,      ///< Title
    kFieldArtist = 3,     ///< Author
    kFieldAlbum = 4,      ///< Album
    kFieldGroups = 5,     ///< the group names joined by CR LF
    kFieldSize = 6,       ///< Size, a number
    kFieldViewsCount = 7, ///< Views, a number
};

/// Operator codes of a condition.
enum eSongOperator : uint8_t {
    kOpIs = 0,
    kOpIsNot = 1,
    kOpContains = 2,
    kOpDoesntContain = 3,
    kOpBeginsWith = 4,
    kOpEndsWith = 5,
    kOpGreater = 6,
    kOpGreaterOrEqual = 7,
    kOpLess = 8,
    kOpLessOrEqual = 9,
};

/// Names of the field codes, indexed by code: the items of the search window's field chooser.
/// A code from kSongFieldNames.size() on names no field.
inline constexpr std::array<std::string_view, 8> kSongFieldNames = {
    "Filename", "Folder", "Title", "Artist", "Album", "Groups", "Size", "Views count"};
static_assert(kSongFieldNames.size() == kFieldViewsCount + 1, "one name per field code");

/// Names of the operator codes, indexed by code, each with its leading space: the items of the
/// search window's method chooser.
inline constexpr std::array<std::string_view, 10> kSongOperatorNames = {
    " is", " is not", " contains", " doesn't contain", " begins with", " ends with", " >",
    " >=", " <",      " <="};
static_assert(kSongOperatorNames.size() == kOpLessOrEqual + 1, "one name per operator code");

/// The message for a text field with a number operator.
inline constexpr std::string_view kInvalidStringCondition =
    "Invalid search conditions for string fields";
/// The message for a number field with a text operator.
inline constexpr std::string_view kInvalidNumericCondition =
    "Invalid search conditions for numeric fields";

/// One condition: a field code, an operator code and the text to test against, as typed.
struct SongCriterion {
    uint8_t Field = kFieldFilename;
    uint8_t Operator = kOpIs;
    std::string Text;
};

SongCriterion MakeCriterion(uint8_t field, uint8_t op, std::string text);

/// A field and operator that do not go together, or a number field's text that is not a
/// signed 32-bit integer.
class EInvalidSearchCombination : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// Raises EInvalidSearchCombination for the first condition, in their order, that QuerySongs
/// rejects when it tests it (with the same message); nothing when every condition is valid.
/// A search checks its conditions first, so a condition the user got wrong is reported even
/// when no song reaches it.
void CheckCriteria(const std::vector<SongCriterion>& criteria);

/// The songs of the source (null: the master song list) that meet every condition, in source
/// order; empty slots are skipped. The records stay owned by the master list.
///
/// Texts are compared with the letters A to Z folded to lower case and every other byte as it
/// is. Tag texts and group names ("Title", "Artist", "Album", "Groups"), of the songs and of the
/// conditions alike, compare as the list shows them: as they are when valid UTF-8, else each
/// byte a Latin-1 character, in UTF-8; paths compare as their bytes. " begins with" / " ends with" ask where the FIRST occurrence of the text lies (so "la"
/// does not end "la la la"); an empty text occurs nowhere. For "Groups", " contains" and
/// " doesn't contain" test whole group names. A number field reads its text with TextToInt32
/// (util/unitTextUtils): leading spaces, a sign, decimal or "$"/"0x" hexadecimal, nothing after.
///
/// Conditions are tested per song in their given order, stopping at the first false one, and
/// an invalid condition raises EInvalidSearchCombination when it is first tested (so a source
/// that reaches no such test raises nothing). When the source is the master list, every
/// matching record gets its slot number in MasterIndex; other sources leave MasterIndex alone.
cSongPointersList QuerySongs(const std::vector<SongCriterion>& criteria,
                             const cSongPointersList* source = nullptr);
