#include "search/unitSongSearch.h"

#include <climits>

#include "catalogue/unitSongUtils.h"
#include "util/unitIniFile.h"
#include "util/unitUtils.h"

namespace {

constexpr char kFindWindowSection[] = "FindWindow";
/// Stands for a key that is missing or holds no integer: no stored size is this small.
constexpr int32_t kNoStoredValue = INT32_MIN;

uint8_t CodeOfIndex(int index) {
    // An index beyond the tables (none is chosen: -1) becomes a code no field or operator has.
    return index >= 0 && index <= UINT8_MAX ? static_cast<uint8_t>(index) : UINT8_MAX;
}

std::optional<int> StoredInteger(const cIniFile& settings, const char* key) {
    const int32_t value = settings.ReadInteger(kFindWindowSection, key, kNoStoredValue);
    return value == kNoStoredValue ? std::nullopt : std::optional<int>(value);
}

} // namespace

std::optional<eSearchScope> SearchScopeFromTag(int tag) {
    if (tag < 0 || tag >= static_cast<int>(kSearchScopeCaptions.size())) {
        return std::nullopt;
    }
    return static_cast<eSearchScope>(tag);
}

eSearchSource SearchSourceFor(eSearchScope scope, eViewMode viewMode) {
    switch (scope) {
    case eSearchScope::EntireCollection:
        return eSearchSource::MasterList;
    case eSearchScope::DisplayedSongs:
        return eSearchSource::ShownSongs;
    case eSearchScope::SelectedFolder:
        return viewMode == eViewMode::SelectedFolder ? eSearchSource::ShownSongs
                                                     : eSearchSource::FolderOnly;
    case eSearchScope::SelectedFolderRecursively:
        break;
    }
    return viewMode == eViewMode::SelectedFolderRecursively ? eSearchSource::ShownSongs
                                                            : eSearchSource::FolderRecursively;
}

std::vector<SongCriterion> CriteriaOfRows(const std::vector<cCriteriaRow>& rows) {
    std::vector<SongCriterion> criteria;
    criteria.reserve(rows.size());
    for (const cCriteriaRow& row : rows) {
        criteria.push_back(MakeCriterion(CodeOfIndex(row.FieldIndex), CodeOfIndex(row.MethodIndex),
                                         row.Condition));
    }
    return criteria;
}

cSongPointersList SearchSongs(const std::vector<SongCriterion>& criteria, eSearchScope scope,
                              eViewMode viewMode, std::string_view selectedFolder,
                              const cSongPointersList& displayedSongs) {
    // A condition the query rejects is reported even when no song would reach it.
    CheckCriteria(criteria);
    const eSearchSource source = SearchSourceFor(scope, viewMode);
    if (source == eSearchSource::MasterList) {
        return QuerySongs(criteria, MasterSongList);
    }
    if (source == eSearchSource::ShownSongs) {
        return QuerySongs(criteria, &displayedSongs);
    }
    // The folder's songs first, then the conditions over them; the temporary list goes with
    // this scope.
    const uint8_t folderOperator = source == eSearchSource::FolderOnly ? kOpIs : kOpBeginsWith;
    const cSongPointersList folderSongs = QuerySongs(
        {MakeCriterion(kFieldFolder, folderOperator, StripTrailingBackslash(selectedFolder))},
        MasterSongList);
    return QuerySongs(criteria, &folderSongs);
}

void cFindWindowSettings::Load(const cIniFile& settings) {
    Height = StoredInteger(settings, "Height");
    Width = StoredInteger(settings, "Width");
    LastSelectedRadio = SearchScopeFromTag(StoredInteger(settings, "LastSelectedRadio").value_or(0))
                            .value_or(eSearchScope::EntireCollection);
}

void cFindWindowSettings::Save(cIniFile& settings) const {
    cIniFile::cBatch batch(settings);
    settings.WriteInteger(kFindWindowSection, "LastSelectedRadio",
                          static_cast<int>(LastSelectedRadio));
    if (Height) {
        settings.WriteInteger(kFindWindowSection, "Height", *Height);
    }
    if (Width) {
        settings.WriteInteger(kFindWindowSection, "Width", *Width);
    }
    batch.Commit();
}
