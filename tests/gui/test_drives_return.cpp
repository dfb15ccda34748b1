// The window while drives come and go: songs kept aside come back into the list and the status
// bar when their drive is mounted or a folder above them is selected, and the mount watcher
// hears the kernel's own mount table.

#include <QLabel>
#include <QSignalSpy>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>

#include "catalogue/unitSongUtils.h"
#include "support/main_window_fixture.h"
#include "support/mount_table_fake.h"
#include "util/unitMountWatcher.h"

using namespace song_fixtures;

namespace {

TEST(DrivesReturn, SongsOfADriveComeBackIntoTheListWhenItIsMountedOrAFolderAboveIsSelected) {
    enum class eWay { Mounted, FolderAboveSelected };
    for (const eWay way : {eWay::Mounted, eWay::FolderAboveSelected}) {
        SCOPED_TRACE(way == eWay::Mounted ? "mounted" : "folder above selected");
        cFakeMountTable mounts;
        cRecordingDesktop desktop;
        cProgramFolder folder;
        const std::string a = folder.AddMp3("media/Disk/Music/Album/a.mp3");
        const std::string b = folder.AddMp3("media/Disk/Music/Album/b.mp3");
        const std::string c = folder.AddMp3("media/c.mp3");
        cRecordFields played = Fields(a, "A");
        played.views = 5;
        played.groupsText = "Rock";
        folder.WriteFile("DB.txt",
                         Record(played) + Record(Fields(b, "B")) + Record(Fields(c, "C")));
        const std::string media = folder.Below("media");
        // The whole tree below the temporary root is shown; media lies between it and the drive.
        folder.WriteFile("Options.ini", SettingsOpening(folder.Below(""), "ViewMode=1\r\n"));
        const std::string disk = media + "/Disk";
        ASSERT_EQ(std::rename(disk.c_str(), folder.Below("away").c_str()), 0);

        auto window = StartWindow(folder, desktop);
        auto* offline = Control<QLabel>(*window, "StatusBarOffline");
        EXPECT_EQ(ShownSongs(*window), std::vector<std::string>{"c.mp3 0"});
        EXPECT_EQ(offline->text(), "2 songs offline");
        const cSongInfo* focused =
            SongModel(*window)->Song(SongRows(*window).Selection()->currentIndex().row());

        ASSERT_EQ(std::rename(folder.Below("away").c_str(), disk.c_str()), 0);
        if (way == eWay::Mounted) {
            mounts.Mount({"/", std::filesystem::canonical(disk).string()});
            window->findChild<TMountWatcher*>("MountWatcher")->CheckNow();
            EXPECT_EQ(SongModel(*window)->Song(SongRows(*window).Selection()->currentIndex().row()),
                      focused)
                << "the rows join without moving the focus";
        } else {
            SelectFolder(*window, media);
        }
        EXPECT_EQ(ShownSongs(*window),
                  (std::vector<std::string>{"a.mp3 5 Rock", "b.mp3 0", "c.mp3 0"}));
        EXPECT_FALSE(offline->isVisible());
        EXPECT_EQ(window->BrowserState().MostPopularSong->Views, 5);
        EXPECT_TRUE(desktop.Messages.isEmpty()) << desktop.Messages.join("|").toStdString();
        window->close();
    }
}

TEST(DrivesReturn, ChangesWaitWhileTheProgramIsBusyAndAnUnreadableTableIsNoChange) {
    cFakeMountTable mounts;
    bool busy = true;
    TMountWatcher watcher([&busy] { return !busy; });
    QSignalSpy reports(&watcher, &TMountWatcher::MountsChanged);
    mounts.Mount({"/", "/media/u/A"});
    watcher.CheckNow();
    mounts.Mount({"/", "/media/u/A", "/media/u/B"});
    watcher.CheckNow();
    EXPECT_EQ(reports.count(), 0);
    busy = false;
    watcher.CheckNow();
    ASSERT_EQ(reports.count(), 1);
    EXPECT_EQ(reports[0][0].value<std::vector<std::string>>(),
              (std::vector<std::string>{"/media/u/A", "/media/u/B"}));
    std::filesystem::remove(MountTablePath);
    watcher.CheckNow();
    EXPECT_EQ(reports.count(), 1) << "a table that cannot be read unmounts nothing";
}

TEST(DrivesReturn, TheWatcherHearsTheKernelMountAndUnmount) {
    // A mount namespace of this test's own (each test runs in its own process), so the tmpfs
    // is seen by nobody else.
    if (::unshare(CLONE_NEWNS) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        GTEST_SKIP() << "no right to mount here";
    }
    const QTemporaryDir temp;
    const std::string point = std::filesystem::canonical(temp.path().toStdString()).string();
    TMountWatcher watcher(nullptr);
    ASSERT_TRUE(watcher.Watching());
    QSignalSpy reports(&watcher, &TMountWatcher::MountsChanged);
    ASSERT_EQ(::mount("tunaria-test", point.c_str(), "tmpfs", 0, "size=1m"), 0);
    ASSERT_TRUE(reports.wait(3000));
    EXPECT_EQ(reports[0][0].value<std::vector<std::string>>(), std::vector<std::string>{point});
    ASSERT_EQ(::umount(point.c_str()), 0);
    ASSERT_TRUE(reports.wait(3000));
    EXPECT_EQ(reports[1][0].value<std::vector<std::string>>(), std::vector<std::string>{point});
    // Quiet again: no report without a change (the watch is no busy loop).
    EXPECT_FALSE(reports.wait(500));
}

} // namespace
