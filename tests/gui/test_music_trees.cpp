// Whole music trees and drives that come and go, as the main window shows them: the folder
// tree's "Add folder and subfolders to the collection" with its progress window, and the songs
// of an unplugged folder counted offline until their folder is back.

#include <QFileSystemModel>
#include <QLabel>
#include <QMenu>
#include <algorithm>
#include <cstdio>
#include <gtest/gtest.h>

#include "catalogue/unitSongUtils.h"
#include "support/main_window_fixture.h"

using namespace song_fixtures;

namespace {

/// Opens the folder tree's context menu on the folder, as a right click does.
QMenu* ContextMenuOn(TfrmMain& window, const std::string& folder) {
    TFolderTree* tree = window.FolderTree();
    const QModelIndex index = tree->FileSystemModel()->index(QString::fromStdString(folder));
    tree->scrollTo(index);
    emit tree->customContextMenuRequested(tree->visualRect(index).center());
    return tree->ContextMenu();
}

TEST(MusicTrees, AddingAFolderAndItsSubfoldersShowsProgressThenTheSongs) {
    cRecordingDesktop desktop;
    cProgramFolder folder;
    folder.AddMp3("music/a.mp3");
    folder.AddMp3("music/Sub/b.mp3");
    folder.AddMp3("music/Sub/Deeper/c.mp3");
    folder.AddMp3("music/.hidden/d.mp3");
    const std::string music = folder.Below("music");
    folder.WriteFile("Options.ini", SettingsOpening(music, "ViewMode=1\r\n"));
    auto window = StartWindow(folder, desktop);
    EXPECT_EQ(ShownSongs(*window), std::vector<std::string>{"a.mp3 0"}) << "one folder scanned";

    QMenu* menu = ContextMenuOn(*window, music);
    auto* addTree = Control<QAction>(*window, "popFolders_AddTree");
    ASSERT_TRUE(menu->actions().contains(addTree));
    EXPECT_EQ(addTree->text(), "Add folder and subfolders to the collection");
    addTree->trigger();
    menu->close();

    EXPECT_EQ(desktop.ProgressTitles, QStringList{"Adding folders to the collection"});
    ASSERT_EQ(desktop.ProgressTexts.size(), 3);
    EXPECT_EQ(desktop.ProgressTexts[2],
              QString::fromStdString("Folders done: 2\nSongs found: 1\n" + music + "/Sub/Deeper"));
    EXPECT_EQ(ShownSongs(*window), (std::vector<std::string>{"a.mp3 0", "b.mp3 0", "c.mp3 0"}));
    EXPECT_TRUE(desktop.Messages.isEmpty()) << desktop.Messages.join("|").toStdString();

    // A cancel after the first folder keeps the songs and tells nothing more.
    folder.AddMp3("music/e.mp3");
    desktop.CancelProgressAfter = desktop.ProgressTexts.size() + 2;
    ContextMenuOn(*window, music);
    addTree->trigger();
    menu->close();
    EXPECT_EQ(SongModel(*window)->rowCount(), 4);
    EXPECT_TRUE(desktop.Messages.isEmpty());

    // A close while the tree is walked (the session ends) stops the walk, then closes.
    folder.AddMp3("music/f.mp3");
    desktop.CancelProgressAfter = -1;
    int reports = 0;
    desktop.OnProgress = [&] {
        if (++reports == 2) { // once the top folder is done
            window->close();
        }
    };
    ContextMenuOn(*window, music);
    addTree->trigger();
    EXPECT_EQ(MasterSongList, nullptr) << "closed, the catalogue released";
    EXPECT_NE(folder.ReadFile("DB.txt").find("f.mp3"), std::string::npos);
    EXPECT_TRUE(folder.Exists("Options.ini"));
}

TEST(MusicTrees, TheStatusBarTellsWhatAFolderTreeAddedAndHowToSeeIt) {
    const struct {
        const char* ViewMode;
        std::vector<const char*> Songs;
        const char* Told;
    } cases[] = {
        // The selected folder holds no song itself: its list would stay empty.
        {"0", {"Sub/a.mp3", "Sub/Deeper/b.mp3"},
         " 2 songs added from 3 folders (F6: show the subfolders too)"},
        {"1", {"Sub/a.mp3", "Sub/Deeper/b.mp3"}, " 2 songs added from 3 folders"},
        {"2", {"Sub/a.mp3"}, " 1 song added from 2 folders"},
        // One of the new songs is in the folder shown.
        {"0", {"a.mp3", "Sub/b.mp3"}, " 2 songs added from 2 folders"},
        {"0", {}, " 0 songs added from 1 folder"},
    };
    for (const auto& test : cases) {
        cRecordingDesktop desktop;
        cProgramFolder folder;
        folder.MakeFolder("music");
        const std::string music = folder.Below("music");
        folder.WriteFile("Options.ini",
                         SettingsOpening(music, std::string("ViewMode=") + test.ViewMode + "\r\n"));
        auto window = StartWindow(folder, desktop);
        for (const char* song : test.Songs) {
            folder.AddMp3(std::string("music/") + song);
        }
        QMenu* menu = ContextMenuOn(*window, music);
        Control<QAction>(*window, "popFolders_AddTree")->trigger();
        menu->close();
        QTest::qWait(20); // nothing queued overwrites it
        EXPECT_EQ(Control<QLabel>(*window, "StatusBarPanel")->text(), test.Told)
            << "view mode " << test.ViewMode;
        EXPECT_TRUE(desktop.Messages.isEmpty()) << "no box";
        window->close();
    }
}

TEST(MusicTrees, SongsOfAnUnpluggedFolderAreOfflineUntilTheFolderIsBack) {
    cRecordingDesktop desktop;
    cProgramFolder folder;
    const std::string a = folder.AddMp3("music/Album/a.mp3");
    const std::string b = folder.AddMp3("music/Album/b.mp3");
    folder.AddMp3("music/c.mp3");
    cRecordFields played = Fields(a, "A");
    played.views = 5;
    played.groupsText = "Rock";
    folder.WriteFile("DB.txt", Record(played) + Record(Fields(b, "B")) +
                                   Record(Fields(folder.Below("music/c.mp3"), "C")));
    const std::string music = folder.Below("music");
    folder.WriteFile("Options.ini", SettingsOpening(music, "ViewMode=2\r\n"));
    ASSERT_EQ(std::rename((music + "/Album").c_str(), (music + "/Away").c_str()), 0);

    auto window = StartWindow(folder, desktop);
    auto* offline = Control<QLabel>(*window, "StatusBarOffline");
    EXPECT_EQ(ShownSongs(*window), std::vector<std::string>{"c.mp3 0"});
    EXPECT_TRUE(offline->isVisible());
    EXPECT_EQ(offline->text(), "2 songs offline");

    // The drive is back: looking at the folder brings its songs back as they were.
    ASSERT_EQ(std::rename((music + "/Away").c_str(), (music + "/Album").c_str()), 0);
    SelectFolder(*window, music + "/Album");
    EXPECT_EQ(ShownSongs(*window),
              (std::vector<std::string>{"a.mp3 5 Rock", "b.mp3 0", "c.mp3 0"}));
    EXPECT_FALSE(offline->isVisible());
    EXPECT_TRUE(desktop.Messages.isEmpty()) << desktop.Messages.join("|").toStdString();
    window->close();
}

} // namespace
