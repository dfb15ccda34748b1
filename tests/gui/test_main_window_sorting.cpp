// The order of the song list in the window: header clicks, reversing, the comparison of text
// and number columns on real songs, selection and focus kept across a sort, the stored sort
// column, and rows that move when their song changes.
#include <QHeaderView>
#include <QTreeView>
#include <gtest/gtest.h>

#include "browser/unitSongColumns.h"
#include "browser/unitSongListModel.h"
#include "browser/unitSongListPane.h"
#include "catalogue/unitSongUtils.h"
#include "support/main_window_fixture.h"

namespace {

cSongInfo* CurrentSong(TfrmMain& window) {
    return window.SongListPane().Model()->Song(
        window.SongListPane().SongList()->currentIndex().row());
}

/// Every pair of neighbouring rows is in the window's order.
void ExpectRowsInOrder(TfrmMain& window) {
    const std::vector<cSongInfo*>& rows = window.SongListPane().Model()->Songs();
    for (size_t row = 1; row < rows.size(); ++row) {
        EXPECT_LE(window.SongListPane().lstSongsCompare(*rows[row - 1], *rows[row]), 0)
            << "rows " << row;
    }
}

int RowOf(TfrmMain& window, const cSongInfo* song) {
    return window.SongListPane().Model()->RowOfSong(song);
}

} // namespace

TEST(MainWindowSorting, TitlesSortByFoldedBytesAndHeaderClicksReverseKeepingSelectionAndFocus) {
    cRecordingDesktop desktop;
    cProgramFolder folder;
    int n = 0;
    for (const char* title :
         {"Zebra", "_intro", "abc", "10 songs", "", "ABC", "\xC3\x89t\xC3\xA9"}) {
        folder.AddTaggedMp3("m/" + std::to_string(n++) + ".mp3", title);
    }
    folder.WriteFile("Options.ini",
                     SettingsOpening(folder.Below("m/"), "[MainWindow.VisibleColumns]\r\n"
                                                         "Title=1\r\nFileName=1\r\nViews=1\r\n"));
    auto window = StartWindow(folder, desktop);
    ASSERT_EQ(window->BrowserState().SortOrder.Column, "Title");
    // A tag without a title gave the song its file name as title; a tag edit may empty it.
    for (cSongInfo* song : window->SongListPane().Model()->Songs()) {
        if (song->Title() == "4") {
            song->SetTitle("");
        }
    }
    window->SongListPane().FillSongList();
    QStringList titles = ColumnTexts(*window, 0);
    ASSERT_EQ(titles.size(), 7);
    // Empty first, digits before letters, abc and ABC equal, underscore after the letters and
    // a letter from beyond ASCII after everything.
    EXPECT_EQ(titles[0], "");
    EXPECT_EQ(titles[1], "10 songs");
    EXPECT_EQ(titles[2].toUpper(), "ABC");
    EXPECT_EQ(titles[3].toUpper(), "ABC");
    EXPECT_EQ(titles.mid(4),
              QStringList({"Zebra", "_intro", QString::fromUtf8("\xC3\x89t\xC3\xA9")}));
    ExpectRowsInOrder(*window);
    const QStringList ascending = titles;

    // Zebra and 10 songs selected, the focus on Zebra.
    cSongInfo* zebra = window->SongListPane().Model()->Song(4);
    cSongInfo* tenSongs = window->SongListPane().Model()->Song(1);
    window->SongListPane().SongList()->setCurrentIndex(window->SongListPane().Model()->index(4, 0));
    window->SongListPane().SongList()->selectionModel()->select(
        window->SongListPane().Model()->index(1, 0),
        QItemSelectionModel::Select | QItemSelectionModel::Rows);

    ClickHeader(*window, 0);
    EXPECT_TRUE(window->BrowserState().SortOrder.Reversed);
    titles = ColumnTexts(*window, 0);
    EXPECT_EQ(titles.first(), QString::fromUtf8("\xC3\x89t\xC3\xA9"));
    EXPECT_EQ(titles[1], "_intro");
    EXPECT_EQ(titles.last(), "") << "the empty title ends a descending list";
    ExpectRowsInOrder(*window);
    EXPECT_EQ(CurrentSong(*window), zebra);
    std::vector<cSongInfo*> selected = window->SongListPane().SelectedSongs();
    std::sort(selected.begin(), selected.end());
    std::vector<cSongInfo*> expected = {zebra, tenSongs};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(selected, expected);

    // Twice: ascending again, in the very same order.
    ClickHeader(*window, 0);
    EXPECT_FALSE(window->BrowserState().SortOrder.Reversed);
    EXPECT_EQ(ColumnTexts(*window, 0), ascending);
    EXPECT_EQ(CurrentSong(*window), zebra);
    EXPECT_EQ(window->SongListPane().SelectedSongs().size(), 2u);

    // Another column starts ascending, also after a reversed one.
    ClickHeader(*window, 0);
    ClickHeader(*window, 1);
    EXPECT_EQ(window->BrowserState().SortOrder.Column, "FileName");
    EXPECT_FALSE(window->BrowserState().SortOrder.Reversed);
    EXPECT_EQ(ColumnTexts(*window, 1), QStringList({"0", "1", "2", "3", "4", "5", "6"}));
    EXPECT_EQ(CurrentSong(*window), zebra);
    window->close();
}

TEST(MainWindowSorting, FileNameIgnoresTheFolderWhilePathDoesNot) {
    cRecordingDesktop desktop;
    cProgramFolder folder;
    folder.AddMp3("m/A/b.mp3");
    folder.AddMp3("m/B/a.mp3");
    folder.WriteFile("Options.ini",
                     SettingsOpening(folder.Below("m/A/"), "[MainWindow.VisibleColumns]\r\n"
                                                           "FileName=1\r\nPath=1\r\n"));
    auto window = StartWindow(folder, desktop);
    SelectFolder(*window, folder.Below("m/B"));
    ChooseViewMode(*window, "popViewModes_EntireCollection");
    EXPECT_EQ(ColumnTexts(*window, 0), QStringList({"a", "b"}));
    ClickHeader(*window, 1);
    EXPECT_EQ(window->BrowserState().SortOrder.Column, "Path");
    EXPECT_EQ(ColumnTexts(*window, 0), QStringList({"b", "a"})) << "m/A/b before m/B/a";
    window->close();
}

TEST(MainWindowSorting, NumbersSortByValueAndTheSortColumnSurvivesARestart) {
    cRecordingDesktop desktop;
    cProgramFolder folder;
    folder.AddTaggedMp3("m/small.mp3", "", "", 100);
    folder.AddTaggedMp3("m/large.mp3", "", "", 5000);
    folder.AddTaggedMp3("m/medium.mp3", "", "", 1200);
    folder.WriteFile("Options.ini", SettingsOpening(folder.Below("m/")));
    {
        auto window = StartWindow(folder, desktop);
        // Default columns: FileName, Date, Size, Views, Groups.
        ClickHeader(*window, 2);
        EXPECT_EQ(ColumnTexts(*window, 0), QStringList({"small", "medium", "large"}));
        ClickHeader(*window, 2);
        EXPECT_EQ(ColumnTexts(*window, 0), QStringList({"large", "medium", "small"}));
        // Views: never opened first when ascending, the most opened first when descending.
        window->SongListPane().Model()->Song(1)->Views = 4;
        window->SongListPane().Model()->Song(2)->Views = 1;
        ClickHeader(*window, 3);
        EXPECT_EQ(ColumnTexts(*window, 3), QStringList({"0", "1", "4"}));
        ClickHeader(*window, 3);
        EXPECT_EQ(ColumnTexts(*window, 3), QStringList({"4", "1", "0"}));
        ClickHeader(*window, 2);
        ClickHeader(*window, 2);
        window->close();
    }
    const std::string settings = folder.ReadFile("Options.ini");
    EXPECT_NE(settings.find("SortColumn=2\r\nSortReversed=1\r\n"), std::string::npos) << settings;
    auto window = StartWindow(folder, desktop);
    EXPECT_EQ(window->BrowserState().SortOrder.Column, "Size");
    EXPECT_EQ(window->BrowserState().SortColumn(), 2);
    EXPECT_TRUE(window->BrowserState().SortOrder.Reversed);
    EXPECT_EQ(ColumnTexts(*window, 0), QStringList({"large", "medium", "small"}))
        << "the first fill is sorted by the stored column";
    EXPECT_EQ(window->SongListPane().SongList()->currentIndex().row(), 0)
        << "the top row is focused";

    // When the sort column is no longer shown, the first column takes over, ascending.
    window->SongListPane().ShowColumns({"Views", "FileName"});
    EXPECT_EQ(window->BrowserState().SortOrder.Column, "Views");
    EXPECT_FALSE(window->BrowserState().SortOrder.Reversed);
    ExpectRowsInOrder(*window);
    window->close();
}

TEST(MainWindowSorting, AChangedSongMovesToItsPlaceWithSelectionAndFocus) {
    cRecordingDesktop desktop;
    cProgramFolder folder;
    folder.AddMp3s("m/", {"b", "d", "f", "h"});
    folder.WriteFile("Options.ini", SettingsOpening(folder.Below("m/")));
    auto window = StartWindow(folder, desktop);
    ASSERT_EQ(ColumnTexts(*window, 0), QStringList({"b", "d", "f", "h"}));
    cSongInfo* song = window->SongListPane().Model()->Song(0);
    window->SongListPane().SongList()->setCurrentIndex(window->SongListPane().Model()->index(0, 0));

    // The record got a new name (as a rename leaves it): its row follows at once.
    song->SetFileName(folder.Below("m/g.mp3"));
    window->SongListPane().FillListItem(0);
    EXPECT_EQ(ColumnTexts(*window, 0), QStringList({"d", "f", "g", "h"}));
    EXPECT_EQ(CurrentSong(*window), song);
    EXPECT_EQ(window->SongListPane().SelectedSongs(), std::vector<cSongInfo*>({song}));

    // Descending, moving towards the top.
    ClickHeader(*window, 0);
    song->SetFileName(folder.Below("m/z.mp3"));
    window->SongListPane().FillListItem(RowOf(*window, song));
    EXPECT_EQ(ColumnTexts(*window, 0), QStringList({"z", "h", "f", "d"}));
    EXPECT_EQ(CurrentSong(*window), song);

    // A song added to the list lands in its place too.
    cSongInfo extra;
    extra.SetFileName(folder.Below("m/e.mp3"));
    window->SongListPane().AddSongItem(&extra);
    EXPECT_EQ(ColumnTexts(*window, 0), QStringList({"z", "h", "f", "e", "d"}));
    EXPECT_EQ(CurrentSong(*window), song);
    window->SongListPane().Model()->RemoveRow(RowOf(*window, &extra));

    // Selected rows stay selected wherever the moving row passes them, as whole rows.
    auto* marks = window->SongListPane().SongList()->selectionModel();
    cSongInfo* h = window->SongListPane().Model()->Song(1);
    cSongInfo* d = window->SongListPane().Model()->Song(3);
    marks->clearSelection();
    for (cSongInfo* marked : {h, d}) {
        marks->select(window->SongListPane().Model()->index(RowOf(*window, marked), 0),
                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    song->SetFileName(folder.Below("m/a.mp3"));
    window->SongListPane().FillListItem(RowOf(*window, song));
    EXPECT_EQ(ColumnTexts(*window, 0), QStringList({"h", "f", "d", "a"}));
    EXPECT_EQ(window->SongListPane().SelectedSongs(), std::vector<cSongInfo*>({h, d}));
    EXPECT_TRUE(marks->isRowSelected(0, {}));
    EXPECT_EQ(CurrentSong(*window), song);

    // Changes in a batch are sorted once, when the batch ends.
    window->SongListPane().BeginSongListUpdate();
    window->SongListPane().BeginSongListUpdate();
    h->SetFileName(folder.Below("m/b.mp3"));
    window->SongListPane().FillListItem(0);
    song->SetFileName(folder.Below("m/y.mp3"));
    window->SongListPane().FillListItem(3);
    window->SongListPane().EndSongListUpdate();
    EXPECT_EQ(ColumnTexts(*window, 0), QStringList({"b", "f", "d", "y"})) << "still in the batch";
    window->SongListPane().EndSongListUpdate();
    EXPECT_EQ(ColumnTexts(*window, 0), QStringList({"y", "f", "d", "b"}));
    EXPECT_EQ(window->SongListPane().SelectedSongs(), std::vector<cSongInfo*>({d, h}));
    EXPECT_EQ(CurrentSong(*window), song);
    window->close();
}

TEST(MainWindowSorting, OnlyAChangedCaptionMovesARowAtOnce) {
    cRecordingDesktop desktop;
    cProgramFolder folder;
    folder.AddMp3s("m/", {"a", "b", "c"});
    // Views first, FileName second, sorted by FileName.
    folder.WriteFile("Options.ini",
                     SettingsOpening(folder.Below("m/"), "SortColumn=1\r\n"
                                                         "[MainWindow.VisibleColumns]\r\n"
                                                         "Views=1\r\nFileName=1\r\n"));
    auto window = StartWindow(folder, desktop);
    TSongListPane& pane = window->SongListPane();
    ASSERT_EQ(window->BrowserState().SortOrder.Column, "FileName");
    ASSERT_EQ(ColumnTexts(*window, 1), QStringList({"a", "b", "c"}));

    // Sorted by FileName, a new count changes the caption (the Views column is first): the
    // row moves at once, also past the end.
    ClickHeader(*window, 0);
    ASSERT_EQ(window->BrowserState().SortOrder.Column, "Views");
    cSongInfo* a = pane.Model()->Song(0);
    a->Views = 5;
    pane.FillListItem(0);
    EXPECT_EQ(ColumnTexts(*window, 1), QStringList({"b", "c", "a"}));

    // With FileName first, sorted by Views, a new count leaves the row until the next sort.
    pane.Model()->Song(1)->Views = 1; // c
    pane.ShowColumns({"FileName", "Views"});
    ASSERT_EQ(window->BrowserState().SortOrder.Column, "Views");
    ASSERT_EQ(ColumnTexts(*window, 0), QStringList({"b", "c", "a"}));
    cSongInfo* b = pane.Model()->Song(0);
    b->Views = 9;
    pane.FillListItem(0);
    EXPECT_EQ(ColumnTexts(*window, 0), QStringList({"b", "c", "a"}));
    EXPECT_EQ(ColumnTexts(*window, 1), QStringList({"9", "1", "5"}));
    pane.SortSongList();
    EXPECT_EQ(ColumnTexts(*window, 0), QStringList({"c", "a", "b"}));
    window->close();
}
