// A folder named on the command line, and what a later start hands to the running window: the
// window comes back to the front and selects the folder, as a click in the tree would.

#include <gtest/gtest.h>

#include <QDialog>

#include "browser/unitApplication.h"
#include "support/main_window_fixture.h"
#include "support/socket_fixture.h"
#include "util/unitInstanceSocket.h"

namespace {

cProgramFiles FilesOf(const cProgramFolder& folder) {
    return {folder.Path(), folder.Path()};
}

TEST(LaterStart, TheFolderOfTheCommandLineIsSelectedAndScannedInsteadOfTheStoredOne) {
    cRecordingDesktop desktop;
    cProgramFolder folder;
    folder.AddMp3s("stored/", {"Old"});
    folder.AddMp3s("named/", {"One", "Two"});
    folder.WriteFile("Options.ini", SettingsOpening(folder.Below("stored/")));
    const std::string named = folder.Below("named/");
    {
        auto window = StartWindow(FilesOf(folder), desktop, named);
        EXPECT_EQ(window->SelectedFolderPath(), named);
        EXPECT_EQ(ColumnTexts(*window, 0), (QStringList{"One", "Two"}));
        window->close();
    }
    // The stored folder was never scanned; the named one is the folder of the next start.
    EXPECT_EQ(folder.ReadFile("DB.txt").find("stored/Old.mp3"), std::string::npos);
    EXPECT_NE(folder.ReadFile("Options.ini").find("FoldersListPath=" + named + "\r\n"),
              std::string::npos);
    auto again = StartWindow(FilesOf(folder), desktop);
    EXPECT_EQ(again->SelectedFolderPath(), named);
    EXPECT_TRUE(desktop.Messages.isEmpty()) << desktop.Messages.join("|").toStdString();
    again->close();
}

TEST(LaterStart, TheRunningWindowComesToTheFrontAndSelectsTheHandedFolder) {
    cRecordingDesktop desktop;
    cProgramFolder folder;
    folder.AddMp3s("music/Rock/", {"Song"});
    const std::string rock = folder.Below("music/Rock/");
    auto window = StartWindow(FilesOf(folder), desktop);
    const std::string first = window->SelectedFolderPath();
    int handOvers = 0;
    TInstanceServer server(folder.Path(), [&](const std::string& handed) {
        ++handOvers;
        window->BringToFront(handed);
    });

    // A later start without a folder: the window only comes back.
    window->showMinimized();
    ASSERT_TRUE(HandToRunningInstance(folder.Path(), ""));
    QTRY_COMPARE(handOvers, 1);
    EXPECT_FALSE(window->isMinimized());
    EXPECT_EQ(window->SelectedFolderPath(), first);

    window->showMinimized();
    ASSERT_TRUE(HandToRunningInstance(folder.Path(), rock));
    QTRY_COMPARE(handOvers, 2);
    EXPECT_EQ(window->SelectedFolderPath(), rock);
    EXPECT_FALSE(window->isMinimized());
    EXPECT_EQ(ColumnTexts(*window, 0), QStringList{"Song"});

    // An open dialog keeps the list as it is and comes to the front itself.
    QDialog dialog(window.get());
    dialog.setModal(true);
    dialog.show();
    ASSERT_TRUE(HandToRunningInstance(folder.Path(), folder.Below("music/")));
    QTRY_COMPARE(handOvers, 3);
    EXPECT_EQ(window->SelectedFolderPath(), rock);
    dialog.close();

    // Once the window has closed, a late hand-over changes nothing.
    window->close();
    ASSERT_TRUE(HandToRunningInstance(folder.Path(), folder.Below("music/")));
    QTRY_COMPARE(handOvers, 4);
    EXPECT_EQ(window->SelectedFolderPath(), rock);
    EXPECT_TRUE(desktop.Messages.isEmpty()) << desktop.Messages.join("|").toStdString();
}

TEST(LaterStart, AConnectionThatNeverEndsIsDroppedAndOthersStillGetThrough) {
    cRecordingDesktop desktop;
    cProgramFolder folder;
    folder.MakeFolder("music");
    std::vector<std::string> handed;
    TInstanceServer server(folder.Path(),
                           [&handed](const std::string& folderPath) { handed.push_back(folderPath); });
    // A connection that sends half a message and waits.
    const cFileHandle stuck = ConnectToSocketFile(folder.File(kInstanceSocketName));
    ASSERT_TRUE(stuck.IsOpen());
    ASSERT_EQ(::write(stuck.Get(), "tunaria", 7), 7);
    ASSERT_TRUE(HandToRunningInstance(folder.Path(), folder.Below("music/")));
    QTRY_COMPARE(handed.size(), size_t{1});
    EXPECT_EQ(handed[0], folder.Below("music/"));
    // Dropped after its time: the other end sees the connection closed.
    char byte = 0;
    QTRY_VERIFY_WITH_TIMEOUT(::recv(stuck.Get(), &byte, 1, MSG_DONTWAIT) == 0, 5000);
    EXPECT_EQ(handed.size(), size_t{1});
}

} // namespace
