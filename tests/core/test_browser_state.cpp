// The browser's state without a window: the conditions of the view mode and the group filter,
// their captions, and every "MainWindow" key read and written through Options.ini.
#include <gtest/gtest.h>

#include "browser/unitBrowserState.h"
#include "catalogue/unitSongQuery.h"
#include "groups/unitGroupList.h"
#include "support/temp_folder.h"
#include "util/unitIniFile.h"

namespace {

using cConditions = std::vector<std::tuple<int, int, std::string>>;

/// The view's conditions as (field, operator, text); empty when the view shows nothing.
cConditions Conditions(eGroupViewMode groups, const std::string& group, eViewMode mode,
                       const std::string& folder, bool* showsSomething = nullptr) {
    cBrowserState state;
    state.GroupViewMode = groups;
    state.SelectedGroup = group;
    state.ViewMode = mode;
    state.SelectedFolder = folder;
    std::vector<SongCriterion> criteria;
    const bool shows = state.ViewCriteria(criteria);
    if (showsSomething) {
        *showsSomething = shows;
    }
    cConditions result;
    for (const SongCriterion& criterion : criteria) {
        result.emplace_back(criterion.Field, criterion.Operator, criterion.Text);
    }
    return result;
}

} // namespace

TEST(ViewCriteria, GroupConditionComesFirstThenTheFolder) {
    EXPECT_EQ(Conditions(eGroupViewMode::OneGroup, "Rock", eViewMode::SelectedFolder, "/music/"),
              cConditions({{kFieldGroups, kOpContains, "Rock"}, {kFieldFolder, kOpIs, "/music"}}));
    EXPECT_EQ(Conditions(eGroupViewMode::Ungrouped, "Rock", eViewMode::SelectedFolderRecursively,
                         "/music/"),
              cConditions({{kFieldGroups, kOpIs, ""}, {kFieldFolder, kOpBeginsWith, "/music"}}));
    EXPECT_TRUE(
        Conditions(eGroupViewMode::AllGroups, "Rock", eViewMode::EntireCollection, "/music/")
            .empty());
}

TEST(ViewCriteria, TheRootStaysWholeAndNoFolderShowsNothing) {
    bool shows = false;
    EXPECT_EQ(Conditions(eGroupViewMode::AllGroups, "", eViewMode::SelectedFolder, "/", &shows),
              cConditions({{kFieldFolder, kOpIs, "/"}}));
    EXPECT_TRUE(shows);
    Conditions(eGroupViewMode::AllGroups, "", eViewMode::SelectedFolder, "", &shows);
    EXPECT_FALSE(shows);
    Conditions(eGroupViewMode::OneGroup, "x", eViewMode::SelectedFolderRecursively, "", &shows);
    EXPECT_FALSE(shows);
    Conditions(eGroupViewMode::AllGroups, "", eViewMode::EntireCollection, "", &shows);
    EXPECT_TRUE(shows);
}

TEST(ViewCriteria, TheQueryFillsTheDisplayedSongsFromTheMasterList) {
    // The root in mode 0 keeps only songs directly in it, in mode 1 every song.
    cSongPointersList songs;
    cSongInfo inRoot;
    inRoot.SetFileName("/a.mp3");
    cSongInfo deeper;
    deeper.SetFileName("/music/b.mp3");
    songs.Add(&inRoot);
    songs.Add(&deeper);
    cBrowserState state;
    state.SelectedFolder = "/";
    state.QueryDisplayedSongs(&songs);
    ASSERT_EQ(state.DisplayedSongs.Count(), 1);
    EXPECT_EQ(state.DisplayedSongs.Get(0), &inRoot);
    state.ViewMode = eViewMode::SelectedFolderRecursively;
    state.QueryDisplayedSongs(&songs);
    EXPECT_EQ(state.DisplayedSongs.Count(), 2);
    state.QueryDisplayedSongs(nullptr);
    EXPECT_EQ(state.DisplayedSongs.Count(), 0) << "no catalogue, no songs";
}

TEST(ViewCriteria, ASearchResultLastsUntilTheViewComesBackByAFolderChange) {
    cSongPointersList songs;
    cSongInfo first;
    first.SetFileName("/music/a.mp3");
    cSongInfo second;
    second.SetFileName("/music/b.mp3");
    songs.Add(&first);
    songs.Add(&second);
    cBrowserState state;
    state.SelectedFolder = "/music/";
    cSongPointersList found;
    found.Add(&second);
    state.ShowSearchResult(std::move(found));
    EXPECT_TRUE(state.SearchResultShown());
    EXPECT_EQ(state.DisplayedSongs.Items(), std::vector<cSongInfo*>{&second});
    // A new view mode or group filter queries again but does not end the search.
    state.QueryDisplayedSongs(&songs);
    EXPECT_EQ(state.DisplayedSongs.Count(), 2);
    EXPECT_TRUE(state.SearchResultShown());
    state.ReturnToView(&songs);
    EXPECT_FALSE(state.SearchResultShown());
    EXPECT_EQ(state.DisplayedSongs.Items(), (std::vector<cSongInfo*>{&first, &second}));
}

TEST(FilterCaptions, LabelAndBandNameFilterAndMode) {
    cBrowserState state;
    state.SelectedGroup = "Rock";
    state.GroupViewMode = eGroupViewMode::OneGroup;
    EXPECT_EQ(state.FilterLabel(), "Rock");
    state.GroupViewMode = eGroupViewMode::Ungrouped;
    EXPECT_EQ(state.FilterLabel(), "Only ungrouped");
    EXPECT_EQ(state.ActiveGroupCaption(), " Only ungrouped (in this folder only)");
    state.GroupViewMode = eGroupViewMode::AllGroups;
    state.ViewMode = eViewMode::EntireCollection;
    EXPECT_EQ(state.ActiveGroupCaption(), " All file groups (in the entire collection)");
    state.GroupViewMode = eGroupViewMode::OneGroup;
    state.SelectedGroup = "Jazz";
    state.ViewMode = eViewMode::SelectedFolderRecursively;
    EXPECT_EQ(state.ActiveGroupCaption(), " Jazz (in this folder, recursively)");
}

TEST(BrowserStateSettings, AMissingFileGivesEveryDefault) {
    cTempFolder folder;
    const cIniFile settings(folder / "Options.ini");
    cBrowserState state;
    state.Load(settings, "/program/");
    // Left, top, height, width, pane width, large icons, folder pane shown.
    EXPECT_TRUE(state.Layout == cWindowLayout({54, 36, 509, 674, 153, false, true}));
    EXPECT_EQ(state.VisibleColumns,
              std::vector<std::string>({"FileName", "Date", "Size", "Views", "Groups"}));
    EXPECT_EQ(state.SortOrder.Column, "FileName");
    EXPECT_FALSE(state.SortOrder.Reversed);
    EXPECT_EQ(state.BarBreakLimit, 24);
    EXPECT_EQ(state.GroupViewMode, eGroupViewMode::AllGroups);
    EXPECT_EQ(state.SelectedGroup, "");
    EXPECT_EQ(state.ViewMode, eViewMode::SelectedFolder);
    EXPECT_EQ(state.SelectedFolder, "/program/");
    EXPECT_TRUE(folder.Entries().empty()) << "reading creates nothing";
}

TEST(BrowserStateSettings, WhatSaveWritesLoadReadsBackInTheOrderOfClose) {
    cTempFolder folder;
    cIniFile settings(folder / "Options.ini");
    cBrowserState saved;
    saved.Layout = {10, 20, 600, 800, 99, true, false};
    saved.VisibleColumns = {"Title", "Path", "Views"};
    saved.SortOrder = {"Views", true};
    saved.BarBreakLimit = 7;
    saved.GroupViewMode = eGroupViewMode::OneGroup;
    saved.SelectedGroup = "Jazz";
    saved.ViewMode = eViewMode::EntireCollection;
    saved.SelectedFolder = "/music/rock/";
    EXPECT_TRUE(saved.Save(settings, {{"Title", 120}, {"Path", 5}, {"Views", 41}}).empty());
    EXPECT_EQ(ReadBytes(folder / "Options.ini"),
              "[MainWindow]\r\nFileBrowserPaneWidth=99\r\nFoldersListPath=/music/rock/\r\n"
              "ViewAsLargeIcons=1\r\nSortColumn=2\r\nSortReversed=1\r\nFoldersListVisible=0\r\n"
              "BarBreakLimit=7\r\nViewMode=2\r\nLastGroupViewMode=0\r\nLastSelGroup=Jazz\r\n"
              "Left=10\r\nTop=20\r\nHeight=600\r\nWidth=800\r\n"
              "[MainWindow.SongsList]\r\nTitle=120\r\nPath=5\r\nViews=41\r\n"
              "[MainWindow.VisibleColumns]\r\nTitle=1\r\nPath=1\r\nViews=1\r\n");

    cBrowserState loaded;
    loaded.Load(settings, "/program/");
    EXPECT_TRUE(loaded.Layout == saved.Layout);
    EXPECT_EQ(loaded.VisibleColumns, saved.VisibleColumns);
    EXPECT_EQ(loaded.SortOrder.Column, "Views");
    EXPECT_TRUE(loaded.SortOrder.Reversed);
    EXPECT_EQ(loaded.BarBreakLimit, 7);
    EXPECT_EQ(loaded.GroupViewMode, eGroupViewMode::OneGroup);
    EXPECT_EQ(loaded.SelectedGroup, "Jazz");
    EXPECT_EQ(loaded.ViewMode, eViewMode::EntireCollection);
    EXPECT_EQ(loaded.SelectedFolder, "/music/rock/");

    // A column hidden since keeps its stored width; the shown columns are written anew.
    loaded.VisibleColumns = {"Views"};
    loaded.Save(settings, {{"Views", 44}});
    EXPECT_EQ(cIniFile(folder / "Options.ini").ReadInteger("MainWindow.SongsList", "Title", 0),
              120);
    EXPECT_EQ(cIniFile(folder / "Options.ini").ReadSectionKeys("MainWindow.VisibleColumns"),
              std::vector<std::string>{"Views"});
}

TEST(BrowserStateSettings, StoredValuesOutOfRangeAndALostGroupFallBack) {
    cTempFolder folder;
    WriteBytes(folder / "Options.ini",
               "[MainWindow]\r\nViewMode=7\r\nLastGroupViewMode=-1\r\nSortColumn=12\r\n"
               "SortReversed=1\r\nFoldersListPath=/no/separator\r\nBarBreakLimit=-3\r\n"
               "[MainWindow.VisibleColumns]\r\nSize=0\r\nBogus=1\r\n");
    cBrowserState state;
    state.Load(cIniFile(folder / "Options.ini"), "/program/");
    EXPECT_EQ(state.ViewMode, eViewMode::SelectedFolder);
    EXPECT_EQ(state.GroupViewMode, eGroupViewMode::AllGroups);
    EXPECT_EQ(state.SortOrder.Column, "Size") << "a position naming no column gives the first";
    EXPECT_TRUE(state.SortOrder.Reversed);
    EXPECT_EQ(state.VisibleColumns, std::vector<std::string>({"Size", "Bogus"}))
        << "only the key names count";
    EXPECT_EQ(state.SelectedFolder, "/no/separator/");
    EXPECT_EQ(state.BarBreakLimit, 1) << "the menu needs one entry per column at least";
    EXPECT_EQ(ViewModeFromStored(256), eViewMode::SelectedFolder) << "no wrap into a byte";
    EXPECT_EQ(GroupViewModeFromStored(1), eGroupViewMode::Ungrouped);

    // The remembered group, whatever its letter case, stays while the group list holds it.
    WriteBytes(folder / "Options.ini",
               "[MainWindow]\r\nLastGroupViewMode=0\r\nLastSelGroup=jazz\r\n");
    state.Load(cIniFile(folder / "Options.ini"), "/program/");
    state.KeepGroupFilterValid(cGroupList({"Rock", "Jazz"}));
    EXPECT_EQ(state.GroupViewMode, eGroupViewMode::OneGroup);
    state.KeepGroupFilterValid(cGroupList({"Rock"}));
    EXPECT_EQ(state.GroupViewMode, eGroupViewMode::AllGroups);
    EXPECT_EQ(state.SelectedGroup, "jazz") << "the name is kept";
}

TEST(BrowserStateSettings, ARefusedValueKeepsItsOldValueAndEveryOtherKeyIsWritten) {
    cTempFolder folder;
    cIniFile settings(folder / "Options.ini");
    WriteBytes(folder / "Options.ini", "[MainWindow]\r\nFoldersListPath=/old/\r\nViewMode=0\r\n");
    cBrowserState state;
    state.Load(settings, "/program/");
    state.SelectedFolder = "/music/line\nbreak/";
    state.ViewMode = eViewMode::EntireCollection;
    state.Layout.Width = 700;
    const std::vector<std::string> refused = state.Save(settings, {{"FileName", 80}});
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_NE(refused[0].find("FoldersListPath"), std::string::npos) << refused[0];
    EXPECT_EQ(settings.ReadString("MainWindow", "FoldersListPath", ""), "/old/");
    EXPECT_EQ(settings.ReadInteger("MainWindow", "ViewMode", 0), 2);
    EXPECT_EQ(settings.ReadInteger("MainWindow", "Width", 0), 700);
    EXPECT_EQ(settings.ReadInteger("MainWindow.SongsList", "FileName", 0), 80);
    EXPECT_TRUE(settings.SectionExists("MainWindow.VisibleColumns"));
}

TEST(BrowserStateSettings, AFileThatCannotBeReplacedThrowsAndStaysAsItWas) {
    cTempFolder folder;
    // A folder where the file should be: it reads as missing and cannot be replaced.
    std::filesystem::create_directory(folder / "Options.ini");
    cIniFile settings(folder / "Options.ini");
    cBrowserState state;
    state.Load(settings, "/program/");
    EXPECT_THROW(state.Save(settings, {}), EFileError);
    EXPECT_TRUE(std::filesystem::is_directory(folder / "Options.ini"));
}
