// The order of the song list in the window: a click on a column header sorts and a second one
// reverses, and the sort column and direction survive a restart. The order itself is tested in
// core/test_song_sorting.cpp, the rows' mechanics (selection, focus, moving rows, batches) in
// gui/test_song_rows.cpp.
#include <QTreeView>
#include <gtest/gtest.h>

#include "support/main_window_fixture.h"

TEST(MainWindowSorting, HeaderClicksSortAndTheSortColumnSurvivesARestart) {
    cRecordingDesktop desktop;
    cProgramFolder folder;
    folder.AddTaggedMp3("m/small.mp3", "", "", 100);
    folder.AddTaggedMp3("m/large.mp3", "", "", 5000);
    folder.AddTaggedMp3("m/medium.mp3", "", "", 1200);
    folder.WriteFile("Options.ini", SettingsOpening(folder.Below("m/")));
    {
        auto window = StartWindow(folder, desktop);
        // Default columns: FileName, Date, Size, Views, Groups.
        ASSERT_EQ(ColumnTexts(*window, 0), QStringList({"large", "medium", "small"}));
        ClickHeader(*window, 2);
        EXPECT_EQ(ColumnTexts(*window, 0), QStringList({"small", "medium", "large"}));
        EXPECT_EQ(window->BrowserState().SortOrder.Column, "Size");
        ClickHeader(*window, 2);
        EXPECT_EQ(ColumnTexts(*window, 0), QStringList({"large", "medium", "small"}));
        EXPECT_TRUE(window->BrowserState().SortOrder.Reversed);
        window->close();
    }
    const std::string settings = folder.ReadFile("Options.ini");
    EXPECT_NE(settings.find("SortColumn=2\r\nSortReversed=1\r\n"), std::string::npos) << settings;
    auto window = StartWindow(folder, desktop);
    EXPECT_EQ(window->BrowserState().SortOrder.Column, "Size");
    EXPECT_TRUE(window->BrowserState().SortOrder.Reversed);
    EXPECT_EQ(ColumnTexts(*window, 0), QStringList({"large", "medium", "small"}))
        << "the first fill is sorted by the stored column";
    EXPECT_EQ(SongList(*window)->currentIndex().row(), 0) << "the top row is focused";
    window->close();
}
