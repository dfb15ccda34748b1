#include "browser/unitBrowserState.h"

#include <algorithm>
#include <functional>

#include "catalogue/unitSongQuery.h"
#include "groups/unitGroupList.h"
#include "util/unitIniFile.h"
#include "util/unitUtils.h"

namespace {

constexpr char kMainSection[] = "MainWindow";
constexpr char kColumnsSection[] = "MainWindow.VisibleColumns";
constexpr char kWidthsSection[] = "MainWindow.SongsList";

const std::vector<std::string> kDefaultColumns = {"FileName", "Date", "Size", "Views", "Groups"};

} // namespace

void cWindowLayout::LimitSize(int desktopWidth, int desktopHeight) {
    Width = std::min(Width, desktopWidth);
    Height = std::min(Height, desktopHeight);
}

void cBrowserState::Load(const cIniFile& settings, const std::string& defaultFolder) {
    const cWindowLayout defaults;
    Layout.Left = settings.ReadInteger(kMainSection, "Left", defaults.Left);
    Layout.Top = settings.ReadInteger(kMainSection, "Top", defaults.Top);
    Layout.Height = settings.ReadInteger(kMainSection, "Height", defaults.Height);
    Layout.Width = settings.ReadInteger(kMainSection, "Width", defaults.Width);
    Layout.FileBrowserPaneWidth =
        settings.ReadInteger(kMainSection, "FileBrowserPaneWidth", defaults.FileBrowserPaneWidth);
    Layout.ViewAsLargeIcons =
        settings.ReadBool(kMainSection, "ViewAsLargeIcons", defaults.ViewAsLargeIcons);
    Layout.FoldersListVisible =
        settings.ReadBool(kMainSection, "FoldersListVisible", defaults.FoldersListVisible);

    VisibleColumns = settings.ReadSectionKeys(kColumnsSection);
    if (VisibleColumns.empty()) {
        VisibleColumns = kDefaultColumns;
    }
    SortOrder =
        SortOrderFromSettings(VisibleColumns, settings.ReadInteger(kMainSection, "SortColumn", 0),
                              settings.ReadBool(kMainSection, "SortReversed", false));
    // Only a hand-edited file holds a limit below 1; the menu needs at least one entry per column.
    BarBreakLimit = std::max(1, settings.ReadInteger(kMainSection, "BarBreakLimit", 24));
    GroupViewMode = GroupViewModeFromStored(settings.ReadInteger(
        kMainSection, "LastGroupViewMode", static_cast<int>(eGroupViewMode::AllGroups)));
    SelectedGroup = settings.ReadString(kMainSection, "LastSelGroup", "");
    ViewMode = ViewModeFromStored(settings.ReadInteger(kMainSection, "ViewMode", 0));
    SelectedFolder =
        AddTrailingBackslash(settings.ReadString(kMainSection, "FoldersListPath", defaultFolder));
}

void cBrowserState::KeepGroupFilterValid(const cGroupList& groups) {
    if (GroupViewMode == eGroupViewMode::OneGroup && !groups.Contains(SelectedGroup)) {
        GroupViewMode = eGroupViewMode::AllGroups;
    }
}

std::vector<std::string> cBrowserState::Save(cIniFile& settings,
                                             const std::vector<cColumnWidth>& columnWidths) const {
    std::vector<std::string> refused;
    // One value the file refuses must not cost every other setting: it is left out.
    const auto write = [&refused](const std::function<void()>& change) {
        try {
            change();
        } catch (const EFileError& error) {
            refused.emplace_back(error.what());
        }
    };
    const auto writeInteger = [&](const char* key, int value) {
        write([&] { settings.WriteInteger(kMainSection, key, value); });
    };
    const auto writeBool = [&](const char* key, bool value) {
        write([&] { settings.WriteBool(kMainSection, key, value); });
    };

    // All keys reach the file in one replacement: a failure or a crash on the way leaves the
    // settings of the last run whole, never half of each.
    cIniFile::cBatch batch(settings);
    writeInteger("FileBrowserPaneWidth", Layout.FileBrowserPaneWidth);
    write([&] { settings.WriteString(kMainSection, "FoldersListPath", SelectedFolder); });
    writeBool("ViewAsLargeIcons", Layout.ViewAsLargeIcons);
    for (const cColumnWidth& column : columnWidths) {
        write([&] { settings.WriteInteger(kWidthsSection, column.Caption, column.Width); });
    }
    writeInteger("SortColumn", SortColumn());
    writeBool("SortReversed", SortOrder.Reversed);
    writeBool("FoldersListVisible", Layout.FoldersListVisible);
    settings.EraseSection(kColumnsSection);
    for (const std::string& name : VisibleColumns) {
        write([&] { settings.WriteBool(kColumnsSection, name, true); });
    }
    writeInteger("BarBreakLimit", BarBreakLimit);
    writeInteger("ViewMode", static_cast<int>(ViewMode));
    writeInteger("LastGroupViewMode", static_cast<int>(GroupViewMode));
    write([&] { settings.WriteString(kMainSection, "LastSelGroup", SelectedGroup); });
    writeInteger("Left", Layout.Left);
    writeInteger("Top", Layout.Top);
    writeInteger("Height", Layout.Height);
    writeInteger("Width", Layout.Width);
    batch.Commit();
    return refused;
}

bool cBrowserState::ViewCriteria(std::vector<SongCriterion>& criteria) const {
    criteria.clear();
    if (GroupViewMode == eGroupViewMode::OneGroup) {
        criteria.push_back(MakeCriterion(kFieldGroups, kOpContains, SelectedGroup));
    } else if (GroupViewMode == eGroupViewMode::Ungrouped) {
        criteria.push_back(MakeCriterion(kFieldGroups, kOpIs, ""));
    }
    if (ViewMode == eViewMode::EntireCollection) {
        return true;
    }
    if (SelectedFolder.empty()) {
        // No folder: an empty folder text would match nothing sensible ("begins with" an
        // empty text matches nothing, "is" empty only songs without a folder).
        return false;
    }
    criteria.push_back(MakeCriterion(
        kFieldFolder, ViewMode == eViewMode::SelectedFolderRecursively ? kOpBeginsWith : kOpIs,
        StripTrailingBackslash(SelectedFolder)));
    return true;
}

void cBrowserState::QueryDisplayedSongs(const cSongPointersList* masterSongList) {
    std::vector<SongCriterion> criteria;
    cSongPointersList result;
    if (masterSongList != nullptr && ViewCriteria(criteria)) {
        result = QuerySongs(criteria, masterSongList);
    }
    DisplayedSongs.Items() = std::move(result.Items());
}

bool cBrowserState::NewSongsOutsideSelectedFolder(const cSongPointersList& masterSongList,
                                                  int firstNew) const {
    if (ViewMode != eViewMode::SelectedFolder || firstNew >= masterSongList.Count()) {
        return false;
    }
    if (SelectedFolder.empty()) {
        return true;
    }
    // The folder by the view's own rule, group filter aside: the hint is about the folder.
    const cSongPointersList inFolder = QuerySongs(
        {MakeCriterion(kFieldFolder, kOpIs, StripTrailingBackslash(SelectedFolder))},
        &masterSongList);
    return std::none_of(inFolder.Items().begin(), inFolder.Items().end(),
                        [firstNew](const cSongInfo* song) { return song->MasterIndex >= firstNew; });
}

std::vector<cSongInfo*> cBrowserState::ShowJoinedSongs(const std::vector<cSongInfo*>& joined) {
    std::vector<SongCriterion> criteria;
    if (m_SearchResultShown || joined.empty() || !ViewCriteria(criteria)) {
        return {};
    }
    cSongPointersList candidates;
    candidates.Items() = joined;
    cSongPointersList shown = QuerySongs(criteria, &candidates);
    for (cSongInfo* song : shown) {
        DisplayedSongs.Add(song);
    }
    return std::move(shown.Items());
}

void cBrowserState::ShowSearchResult(cSongPointersList found) {
    DisplayedSongs.Items() = std::move(found.Items());
    m_SearchResultShown = true;
}

void cBrowserState::ReturnToView(const cSongPointersList* masterSongList) {
    QueryDisplayedSongs(masterSongList);
    m_SearchResultShown = false;
}

std::string cBrowserState::FilterLabel() const {
    switch (GroupViewMode) {
    case eGroupViewMode::OneGroup:
        return SelectedGroup;
    case eGroupViewMode::Ungrouped:
        return std::string(kOnlyUngroupedCaption);
    case eGroupViewMode::AllGroups:
        break;
    }
    return std::string(kAllFileGroupsCaption);
}

std::string cBrowserState::ActiveGroupCaption() const {
    return " " + FilterLabel() + " " +
           std::string(kViewModeBandTexts[static_cast<size_t>(ViewMode)]);
}
