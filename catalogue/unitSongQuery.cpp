#include "catalogue/unitSongQuery.h"

#include <algorithm>
#include <optional>

#include "catalogue/unitId3v2.h"
#include "catalogue/unitSongUtils.h"
#include "util/unitAsciiCase.h"
#include "util/unitTextUtils.h"
#include "util/unitUtils.h"

namespace {
constexpr std::string_view kGroupSeparator = "\r\n";

// Compares count bytes of text, folded, with the same count of an already lower-cased text.
bool EqualsLowered(const char* text, const char* lowered, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (FoldLower(text[i]) != lowered[i]) {
            return false;
        }
    }
    return true;
}

bool EqualsLowered(std::string_view text, std::string_view lowered) {
    return text.size() == lowered.size() && EqualsLowered(text.data(), lowered.data(), text.size());
}

bool StartsWithLowered(std::string_view value, std::string_view lowered) {
    return value.size() >= lowered.size() &&
           EqualsLowered(value.data(), lowered.data(), lowered.size());
}

// Position of the first occurrence of a non-empty, lower-cased needle in the text, comparing
// the text folded; npos when there is none.
size_t FindLowered(std::string_view text, std::string_view needle) {
    if (needle.size() > text.size()) {
        return std::string_view::npos;
    }
    const char first = needle.front();
    const char firstUpper = FoldUpper(first);
    const size_t last = text.size() - needle.size();
    if (first == firstUpper) {
        // Not a letter: the candidates are found by the library's fast byte search.
        for (size_t i = text.find(first); i <= last; i = text.find(first, i + 1)) {
            if (EqualsLowered(text.data() + i + 1, needle.data() + 1, needle.size() - 1)) {
                return i;
            }
        }
        return std::string_view::npos;
    }
    for (size_t i = 0; i <= last; ++i) {
        const char c = text[i];
        if ((c == first || c == firstUpper) &&
            EqualsLowered(text.data() + i + 1, needle.data() + 1, needle.size() - 1)) {
            return i;
        }
    }
    return std::string_view::npos;
}

/// Whether the code names a field at all (a search row may hand in any code).
bool IsField(uint8_t code) {
    return code < kSongFieldNames.size();
}

/// The fields compared as texts; every other field is a number.
bool IsTextField(eSongField field) {
    switch (field) {
    case kFieldFilename:
    case kFieldFolder:
    case kFieldTitle:
    case kFieldArtist:
    case kFieldAlbum:
    case kFieldGroups:
        return true;
    case kFieldSize:
    case kFieldViewsCount:
        break;
    }
    return false;
}

/// Whether the operator compares texts, and whether it compares numbers (" is" and " is not"
/// do both); a code that names no operator does neither.
bool ComparesTexts(uint8_t code) {
    if (code >= kSongOperatorNames.size()) {
        return false;
    }
    switch (static_cast<eSongOperator>(code)) {
    case kOpIs:
    case kOpIsNot:
    case kOpContains:
    case kOpDoesntContain:
    case kOpBeginsWith:
    case kOpEndsWith:
        return true;
    case kOpGreater:
    case kOpGreaterOrEqual:
    case kOpLess:
    case kOpLessOrEqual:
        break;
    }
    return false;
}
bool ComparesNumbers(uint8_t code) {
    if (code >= kSongOperatorNames.size()) {
        return false;
    }
    switch (static_cast<eSongOperator>(code)) {
    case kOpIs:
    case kOpIsNot:
    case kOpGreater:
    case kOpGreaterOrEqual:
    case kOpLess:
    case kOpLessOrEqual:
        return true;
    case kOpContains:
    case kOpDoesntContain:
    case kOpBeginsWith:
    case kOpEndsWith:
        break;
    }
    return false;
}

bool IsTextField(uint8_t code) {
    return IsField(code) && IsTextField(static_cast<eSongField>(code));
}
bool IsNumberField(uint8_t code) {
    return IsField(code) && !IsTextField(static_cast<eSongField>(code));
}

// The conversion error's message names the text; a pasted text of thousands of characters is
// cut, so the message stays readable.
constexpr size_t kQuotedNumberTextLimit = 60;

std::string NotAnIntegerMessage(std::string_view text) {
    const std::string_view shown = CutToFieldWidth(text, kQuotedNumberTextLimit);
    return "'" + std::string(shown) + (shown.size() < text.size() ? "..." : "") +
           "' is not a valid integer value";
}

/// The fields whose texts the list shows as UTF-8 when they are valid UTF-8, else as Latin-1:
/// tag texts and group names. Paths are shown, and compared, as the file system's bytes.
bool IsShownAsTagText(uint8_t field) {
    return field == kFieldTitle || field == kFieldArtist || field == kFieldAlbum ||
           field == kFieldGroups;
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

/// A stored tag text as the list shows it, in UTF-8.
std::string ShownAsUtf8(std::string_view stored) {
    return IsValidUtf8(stored) ? std::string(stored) : Latin1ToUtf8(stored);
}

// One condition made ready for testing many songs: its text lower-cased once, its number read
// once, and the error it raises when it is tested, if any.
struct cPreparedCriterion {
    uint8_t Field = 0;
    uint8_t Operator = 0;
    std::string Lowered;
    /// The song's texts must be turned into the text the list shows before they compare. Not
    /// needed for a text of ASCII only: a Latin-1 text holds it exactly where its UTF-8 form
    /// does (bytes from 0x80 on become bytes from 0x80 on), first, last or whole.
    bool ComparesShownText = false;
    int32_t Number = 0;
    std::string Error;
};

cPreparedCriterion Prepare(const SongCriterion& criterion) {
    cPreparedCriterion prepared;
    prepared.Field = criterion.Field;
    prepared.Operator = criterion.Operator;
    if (IsTextField(criterion.Field)) {
        if (IsShownAsTagText(criterion.Field)) {
            // The condition's own text compares as shown too: a group filter hands in a
            // group's stored name, which may be Latin-1.
            prepared.Lowered = LowerCaseAscii(ShownAsUtf8(criterion.Text));
            prepared.ComparesShownText = !IsAscii(prepared.Lowered);
        } else {
            prepared.Lowered = LowerCaseAscii(criterion.Text);
        }
        if (!ComparesTexts(criterion.Operator)) {
            prepared.Error = kInvalidStringCondition;
        }
    } else if (IsNumberField(criterion.Field)) {
        // The text is read before the operator is checked: a non-number with a text operator
        // reports the number.
        const std::optional<int32_t> number = TextToInt32(criterion.Text);
        if (!number) {
            prepared.Error = NotAnIntegerMessage(criterion.Text);
        } else if (!ComparesNumbers(criterion.Operator)) {
            prepared.Error = kInvalidNumericCondition;
        } else {
            prepared.Number = *number;
        }
    } else {
        prepared.Error = "Invalid search field code " + std::to_string(criterion.Field);
    }
    return prepared;
}

bool MatchesText(std::string_view value, const cPreparedCriterion& criterion) {
    const std::string_view text = criterion.Lowered;
    switch (static_cast<eSongOperator>(criterion.Operator)) {
    case kOpIs:
        return EqualsLowered(value, text);
    case kOpIsNot:
        return !EqualsLowered(value, text);
    case kOpContains:
        return !text.empty() && FindLowered(value, text) != std::string_view::npos;
    case kOpDoesntContain:
        return text.empty() || FindLowered(value, text) == std::string_view::npos;
    case kOpBeginsWith:
        // The first occurrence lies at the start exactly when the value starts with the text.
        return !text.empty() && StartsWithLowered(value, text);
    case kOpEndsWith:
        return !text.empty() && value.size() >= text.size() &&
               FindLowered(value, text) == value.size() - text.size();
    case kOpGreater:
    case kOpGreaterOrEqual:
    case kOpLess:
    case kOpLessOrEqual:
        break; // refused for texts when the condition was prepared
    }
    return false;
}

bool MatchesFolder(std::string_view fileName, const cPreparedCriterion& criterion) {
    // The folder is a beginning of the path, so a path that does not begin with the text has
    // a folder that neither is nor begins with it; most songs fail here, without the search
    // for the last separator.
    const uint8_t op = criterion.Operator;
    if ((op == kOpIs || op == kOpIsNot || op == kOpBeginsWith) &&
        !StartsWithLowered(fileName, criterion.Lowered)) {
        return op == kOpIsNot;
    }
    return MatchesText(FolderPart(fileName), criterion);
}

bool MatchesNumber(int32_t value, const cPreparedCriterion& criterion) {
    const int32_t number = criterion.Number;
    switch (static_cast<eSongOperator>(criterion.Operator)) {
    case kOpIs:
        return value == number;
    case kOpIsNot:
        return value != number;
    case kOpGreater:
        return value > number;
    case kOpGreaterOrEqual:
        return value >= number;
    case kOpLess:
        return value < number;
    case kOpLessOrEqual:
        return value <= number;
    case kOpContains:
    case kOpDoesntContain:
    case kOpBeginsWith:
    case kOpEndsWith:
        break; // refused for numbers when the condition was prepared
    }
    return false;
}


// Tests one song against the conditions; groupsText is scratch space reused across songs.
class cSongMatcher {
public:
    explicit cSongMatcher(const std::vector<SongCriterion>& criteria) {
        m_Criteria.reserve(criteria.size());
        for (const auto& criterion : criteria) {
            m_Criteria.push_back(Prepare(criterion));
        }
        // With no condition able to raise, the result is the same whatever the order, so the
        // number tests, which do not touch a song's texts, go first.
        const bool anyError = std::any_of(m_Criteria.begin(), m_Criteria.end(),
                                          [](const auto& c) { return !c.Error.empty(); });
        if (!anyError) {
            std::stable_partition(m_Criteria.begin(), m_Criteria.end(),
                                  [](const auto& c) { return IsNumberField(c.Field); });
        }
    }

    bool Matches(const cSongInfo& song) {
        for (const auto& criterion : m_Criteria) {
            if (!Matches(song, criterion)) {
                return false;
            }
        }
        return true;
    }

private:
    bool Matches(const cSongInfo& song, const cPreparedCriterion& criterion) {
        if (!criterion.Error.empty()) {
            throw EInvalidSearchCombination(criterion.Error);
        }
        // A condition that names no field raised its error above.
        switch (static_cast<eSongField>(criterion.Field)) {
        case kFieldFilename:
            return MatchesText(song.FileName(), criterion);
        case kFieldFolder:
            return MatchesFolder(song.FileName(), criterion);
        case kFieldTitle:
            return MatchesText(Shown(song.Title(), criterion), criterion);
        case kFieldArtist:
            return MatchesText(Shown(song.Author(), criterion), criterion);
        case kFieldAlbum:
            return MatchesText(Shown(song.Album(), criterion), criterion);
        case kFieldGroups:
            return MatchesGroups(song, criterion);
        case kFieldSize:
            return MatchesNumber(song.Size, criterion);
        case kFieldViewsCount:
            break;
        }
        return MatchesNumber(song.Views, criterion);
    }

    /// The text as the list shows it where the condition needs that; else the stored bytes.
    /// A converted text lives in scratch space until the next call.
    std::string_view Shown(std::string_view stored, const cPreparedCriterion& criterion) {
        if (!criterion.ComparesShownText || IsValidUtf8(stored)) {
            return stored;
        }
        m_ShownText = Latin1ToUtf8(stored);
        return m_ShownText;
    }

    bool HasGroupNamed(const cSongInfo& song, const cPreparedCriterion& criterion) {
        return std::any_of(song.Groups.begin(), song.Groups.end(), [&](const std::string& group) {
            return EqualsLowered(Shown(group, criterion), criterion.Lowered);
        });
    }

    bool MatchesGroups(const cSongInfo& song, const cPreparedCriterion& criterion) {
        if (criterion.Operator == kOpContains) {
            return !criterion.Lowered.empty() && HasGroupNamed(song, criterion);
        }
        if (criterion.Operator == kOpDoesntContain) {
            return criterion.Lowered.empty() || !HasGroupNamed(song, criterion);
        }
        // Each name as shown: one Latin-1 name does not turn the others into Latin-1.
        m_GroupsText.clear();
        for (const auto& group : song.Groups) {
            if (&group != &song.Groups.front()) {
                m_GroupsText += kGroupSeparator;
            }
            m_GroupsText += Shown(group, criterion);
        }
        return MatchesText(m_GroupsText, criterion);
    }

    std::vector<cPreparedCriterion> m_Criteria;
    std::string m_GroupsText;
    std::string m_ShownText;
};
} // namespace

SongCriterion MakeCriterion(uint8_t field, uint8_t op, std::string text) {
    return SongCriterion{field, op, std::move(text)};
}

void CheckCriteria(const std::vector<SongCriterion>& criteria) {
    for (const SongCriterion& criterion : criteria) {
        if (const cPreparedCriterion prepared = Prepare(criterion); !prepared.Error.empty()) {
            throw EInvalidSearchCombination(prepared.Error);
        }
    }
}

cSongPointersList QuerySongs(const std::vector<SongCriterion>& criteria,
                             const cSongPointersList* source) {
    const cSongPointersList* songs = source != nullptr ? source : MasterSongList;
    cSongPointersList result;
    if (songs == nullptr) {
        return result;
    }
    const bool overMaster = songs == MasterSongList;
    cSongMatcher matcher(criteria);
    const int count = songs->Count();
    for (int slot = 0; slot < count; ++slot) {
        cSongInfo* song = songs->Get(slot);
        if (song == nullptr || !matcher.Matches(*song)) {
            continue;
        }
        if (overMaster) {
            song->MasterIndex = slot;
        }
        result.Add(song);
    }
    return result;
}
