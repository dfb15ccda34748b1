// The list's last commands: the "Columns" window and the column change it makes, and the
// export of the shown or selected songs as a playlist.
#include <QAction>
#include <QHeaderView>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTreeView>
#include <gtest/gtest.h>

#include "browser/unitVisibleColumns.h"
#include "catalogue/unitSongUtils.h"
#include "support/main_window_fixture.h"
#include "util/unitIniFile.h"

namespace {

QStringList HeaderCaptions(TfrmMain& window) {
    QStringList captions;
    for (const std::string& name : SongModel(window)->ColumnNames()) {
        captions << QString::fromStdString(name);
    }
    return captions;
}

QStringList CheckedEntries(QDialog& dialog) {
    QStringList checked;
    auto* list = dialog.findChild<QListWidget*>("lstColumns");
    for (int row = 0; row < list->count(); ++row) {
        if (list->item(row)->checkState() == Qt::Checked) {
            checked << list->item(row)->text();
        }
    }
    return checked;
}

/// The user toggles the entry as with the keyboard: it becomes current, Space flips its box.
void ToggleEntry(QDialog& dialog, const QString& name) {
    auto* list = dialog.findChild<QListWidget*>("lstColumns");
    list->setCurrentItem(list->findItems(name, Qt::MatchExactly).value(0));
    QTest::keyClick(list, Qt::Key_Space);
}

/// Answers the "Columns" window: toggles the entries, then OK (or Esc when cancel is set).
std::function<int(QDialog&)> AnswerColumns(QStringList toggled, bool cancel = false) {
    return [toggled, cancel](QDialog& dialog) {
        dialog.show();
        for (const QString& name : toggled) {
            ToggleEntry(dialog, name);
        }
        if (cancel) {
            QTest::keyClick(&dialog, Qt::Key_Escape);
        } else {
            dialog.findChild<QPushButton*>("btnOK")->click();
        }
        return dialog.result();
    };
}

} // namespace

TEST(VisibleColumns, TheWindowChecksTheShownColumnsAndOKWantsOne) {
    TfrmVisibleColumns window({"Views", "filename", "Bogus"});
    EXPECT_EQ(window.objectName(), "frmVisibleColumns");
    EXPECT_EQ(window.windowTitle(), "Columns");
    EXPECT_EQ(window.size(), QSize(176, 229));
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    auto* list = window.findChild<QListWidget*>("lstColumns");
    EXPECT_EQ(list->geometry(), QRect(8, 28, 161, 162));
    QStringList entries;
    for (int row = 0; row < list->count(); ++row) {
        entries << list->item(row)->text();
    }
    EXPECT_EQ(entries, QStringList({"Path", "FileName", "Title", "Author", "Album", "Date", "Size",
                                    "Views", "Groups"}));
    EXPECT_EQ(CheckedEntries(window), QStringList({"FileName", "Views"}));
    auto* ok = window.findChild<QPushButton*>("btnOK");
    EXPECT_TRUE(ok->isDefault());

    window.show();
    EXPECT_TRUE(ok->isEnabled());
    ToggleEntry(window, "FileName");
    ToggleEntry(window, "Views");
    EXPECT_FALSE(ok->isEnabled()) << "nothing checked";
    ToggleEntry(window, "Album");
    EXPECT_TRUE(ok->isEnabled());
    EXPECT_EQ(window.CheckedColumns(), std::vector<std::string>({"Album"}));
}

TEST(VisibleColumns, ChosenColumnsComeInTableOrderWithTheirWidthsAndTheSortColumnRule) {
    cRecordingDesktop desktop;
    cProgramFolder folder;
    folder.AddMp3s("m/", {"a", "b", "c"});
    // Stored in another order, with another case and a name of no column; sorted by Views,
    // descending; Author hidden but with a stored width.
    folder.WriteFile("Options.ini",
                     SettingsOpening(folder.Below("m/"), "SortColumn=0\r\nSortReversed=1\r\n") +
                         "[MainWindow.VisibleColumns]\r\nViews=1\r\nfilename=1\r\nBogus=1\r\n"
                         "[MainWindow.SongsList]\r\nViews=41\r\nAuthor=66\r\n");
    auto window = StartWindow(folder, desktop);
    ASSERT_EQ(HeaderCaptions(*window), QStringList({"Views", "filename", "Bogus"}));
    QHeaderView* header = SongList(*window)->header();

    // The list shows a result of its own (as after a search): the change does not query anew.
    cSongInfo* a = SongNamed(*window, "a");
    a->Views = 3;
    window->BrowserState().DisplayedSongs.Clear();
    window->BrowserState().DisplayedSongs.Add(a);
    window->BrowserState().DisplayedSongs.Add(SongNamed(*window, "c"));
    header->resizeSection(0, 45); // the user widens Views

    desktop.OnDialog = AnswerColumns({"Author"});
    Control<QAction>(*window, "popSongsList_ViewColumns")->trigger();
    ASSERT_EQ(desktop.Dialogs, QStringList({"frmVisibleColumns"}));
    EXPECT_EQ(HeaderCaptions(*window), QStringList({"FileName", "Author", "Views"}));
    EXPECT_EQ(header->sectionSize(1), 66) << "a hidden column's stored width";
    EXPECT_EQ(header->sectionSize(2), 45) << "a shown column's width kept";
    EXPECT_EQ(window->BrowserState().SortOrder.Column, "Views");
    EXPECT_TRUE(window->BrowserState().SortOrder.Reversed) << "the sort column stayed";
    EXPECT_EQ(ColumnTexts(*window, 2), QStringList({"3", "0"})) << "the same two songs, sorted";
    const cIniFile settings(folder.File("Options.ini"));
    EXPECT_EQ(settings.ReadInteger("MainWindow.SongsList", "Views", 0), 45);

    // Esc changes nothing; hiding the sort column makes the first column the sort column.
    desktop.OnDialog = AnswerColumns({"Views"}, true);
    Control<QAction>(*window, "popSongsList_ViewColumns")->trigger();
    EXPECT_EQ(HeaderCaptions(*window), QStringList({"FileName", "Author", "Views"}));
    desktop.OnDialog = AnswerColumns({"Views"});
    Control<QAction>(*window, "popSongsList_ViewColumns")->trigger();
    EXPECT_EQ(HeaderCaptions(*window), QStringList({"FileName", "Author"}));
    EXPECT_EQ(window->BrowserState().SortOrder.Column, "FileName");
    EXPECT_FALSE(window->BrowserState().SortOrder.Reversed);
    EXPECT_EQ(ColumnTexts(*window, 0), QStringList({"a", "c"}));
    window->close();
    EXPECT_EQ(cIniFile(folder.File("Options.ini")).ReadSectionKeys("MainWindow.VisibleColumns"),
              std::vector<std::string>({"FileName", "Author"}));
}

TEST(PlaylistExport, TheShownOrSelectedSongsInTheShownOrderInTheChosenFile) {
    cRecordingDesktop desktop;
    cProgramFolder folder;
    folder.AddMp3s("Rock/", {"a", "b", "c", "d", "e"}, " song.mp3");
    folder.WriteFile("Options.ini", SettingsOpening(folder.Below("Rock/")));
    auto window = StartWindow(folder, desktop);
    ClickHeader(*window, 0); // the sort column again: descending, e, d, c, b, a
    const std::string playlist = folder.Below("list.pls");
    const auto song = [&](const char* name) {
        return folder.Below("Rock/" + std::string(name) + " song.mp3");
    };

    // Cancelled: nothing is written.
    Control<QAction>(*window, "popSongsList_ExportAsPlaylist")->trigger();
    ASSERT_EQ(desktop.SaveRequests.size(), 1);
    const cSaveFileRequest& request = desktop.SaveRequests[0];
    ASSERT_EQ(request.Types.size(), 3);
    EXPECT_EQ(request.Types[0].Filter, "Playlists (*.pls)");
    EXPECT_EQ(request.Types[0].DefaultSuffix, "pls");
    EXPECT_EQ(request.Types[1].Filter, "M3U playlists (*.m3u8)");
    EXPECT_EQ(request.Types[1].DefaultSuffix, "m3u8");
    EXPECT_EQ(request.Types[2].Filter, "All files (*.*)");
    EXPECT_EQ(request.ProposedName, "Rock");
    EXPECT_FALSE(PathExists(playlist));

    // No song selected: all of them, as shown.
    desktop.SaveAnswer = {QString::fromStdString(playlist), 0};
    SongList(*window)->selectionModel()->clearSelection();
    Control<QAction>(*window, "popSongsList_ExportAsPlaylist")->trigger();
    EXPECT_EQ(ReadBytes(playlist), "[playlist]\r\nFile1=" + song("e") + "\r\nFile2=" + song("d") +
                                       "\r\nFile3=" + song("c") + "\r\nFile4=" + song("b") +
                                       "\r\nFile5=" + song("a") +
                                       "\r\nNumberOfEntries=5\r\nVersion=2\r\n");

    // Two selected (the lower one first): in the shown order, into the five-entry playlist.
    SelectRows(*window, {3, 1});
    Control<QAction>(*window, "popSongsList_ExportAsPlaylist")->trigger();
    EXPECT_EQ(ReadBytes(playlist), "[playlist]\r\nFile1=" + song("d") + "\r\nFile2=" + song("b") +
                                       "\r\nFile3=" + song("c") + "\r\nFile4=" + song("b") +
                                       "\r\nFile5=" + song("a") +
                                       "\r\nNumberOfEntries=2\r\nVersion=2\r\n");

    // The M3U8 kind; the proposal of a shown group.
    desktop.SaveAnswer = {QString::fromStdString(folder.Below("list.txt")), 1};
    window->SetGroupFilter(eGroupViewMode::OneGroup, "Best");
    Control<QAction>(*window, "popSongsList_ExportAsPlaylist")->trigger();
    EXPECT_EQ(desktop.SaveRequests.last().ProposedName, "Best");
    EXPECT_EQ(ReadBytes(folder.Below("list.txt")), "#EXTM3U\nRock/d song.mp3\nRock/b song.mp3\n");

    // A refused write names the file; the message is the one of an error nobody handled.
    const std::string nowhere = folder.Below("missing/list.pls");
    desktop.SaveAnswer = {QString::fromStdString(nowhere), 0};
    Control<QAction>(*window, "popSongsList_ExportAsPlaylist")->trigger();
    EXPECT_EQ(desktop.Messages,
              QStringList({QString::fromStdString("Unhandled exception: 'Could not write \"" +
                                                  nowhere + "\": No such file or directory'")}));
    window->close();
}
