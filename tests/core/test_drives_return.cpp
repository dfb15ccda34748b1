// Drives that come back while the program runs, and the mount point a drive leaves behind:
// reading the mount table, songs kept aside returning when a file system is mounted or their
// folder (or one above it) is looked at, and missing songs of an unmounted mount point kept
// aside instead of deleted.

#include <sys/mount.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>

#include "catalogue/unitFileExistence.h"
#include "catalogue/unitFolderScan.h"
#include "catalogue/unitOfflineSongs.h"
#include "catalogue/unitSongUtils.h"
#include "support/mount_table_fake.h"
#include "support/private_mounts.h"
#include "support/song_fixtures.h"
#include "util/unitMountTable.h"

using namespace song_fixtures;

namespace {

// ---- the mount table ---------------------------------------------------------------------

TEST(MountTable, ReadsMountPointsWithTheirEscapesAndPassesOverBrokenLines) {
    const std::string table = "22 1 8:1 / / rw shared:1 - ext4 /dev/sda1 rw\n"
                              "\n"
                              "23\n"
                              "40 22 8:17 / /media/u/My\\040Disk rw - vfat /dev/sdb1 rw\n"
                              "41 22 0:50 / /mnt/back\\134slash\\9 rw - nfs nas:/ rw";
    EXPECT_EQ(ParseMountTable(table),
              (std::vector<cMountEntry>{
                  {"22", "/"}, {"40", "/media/u/My Disk"}, {"41", "/mnt/back\\slash\\9"}}));
    const std::string fstab = "# /etc/fstab\n"
                              "UUID=1 / ext4 defaults 0 1\n"
                              "  # indented comment\n"
                              "UUID=2 none swap sw 0 0\n"
                              "/swapfile swap swap defaults 0 0\n"
                              "nas:/music /mnt/My\\040NAS/ nfs noauto 0 0\n"
                              "tmpfs\t/tmp\ttmpfs\tdefaults\t0\t0\n";
    EXPECT_EQ(ParseDeclaredMounts(fstab), (std::vector<std::string>{"/", "/mnt/My NAS", "/tmp"}));
}

TEST(MountTable, ChangesAreTheMountPointsThatCameOrWent) {
    const std::vector<cMountEntry> before = {{"22", "/"}, {"40", "/media/u/A"}, {"41", "/mnt/nas"}};
    struct cCase {
        const char* what;
        std::vector<cMountEntry> after;
        std::vector<std::string> changed;
    } cases[] = {
        {"nothing", before, {}},
        {"mounted",
         {{"22", "/"}, {"40", "/media/u/A"}, {"41", "/mnt/nas"}, {"50", "/media/u/B"}},
         {"/media/u/B"}},
        {"unmounted", {{"22", "/"}, {"41", "/mnt/nas"}}, {"/media/u/A"}},
        {"mounted again", {{"22", "/"}, {"40", "/media/u/A"}, {"60", "/mnt/nas"}}, {"/mnt/nas"}},
        {"reordered", {{"41", "/mnt/nas"}, {"22", "/"}, {"40", "/media/u/A"}}, {}},
    };
    for (const cCase& c : cases) {
        EXPECT_EQ(ChangedMountPoints(before, c.after), c.changed) << c.what;
    }
}

TEST(MountTable, TenThousandEntriesAreReadAndComparedQuickly) {
    std::string table;
    for (int i = 0; i < 10000; ++i) {
        table += std::to_string(100 + i) + " 1 0:" + std::to_string(i) + " / /srv/share" +
                 std::to_string(i) + " rw - tmpfs tmpfs rw\n";
    }
    const auto start = std::chrono::steady_clock::now();
    const std::vector<cMountEntry> before = ParseMountTable(table);
    std::vector<cMountEntry> after = before;
    after[5000].Id = "99999";
    const std::vector<std::string> changed = ChangedMountPoints(before, after);
    const auto took = std::chrono::steady_clock::now() - start;
    ASSERT_EQ(before.size(), 10000u);
    EXPECT_EQ(changed, std::vector<std::string>{"/srv/share5000"});
    EXPECT_LT(took, std::chrono::milliseconds(500)); // a few milliseconds on a loaded machine
}

// ---- songs kept aside and their drives ------------------------------------------------------

class DrivesReturnTest : public ::testing::Test {
protected:
    ~DrivesReturnTest() override { FreeAllSongs(); }

    std::string DbPath() const { return m_Folder / "DB.txt"; }
    std::string Real(const std::string& path) const {
        return std::filesystem::canonical(path).string();
    }

    /// A record of a song file (created) with views and groups.
    static std::string SongRecord(const std::string& path, int views, const std::string& groups) {
        Touch(path);
        cRecordFields f = Fields(path, std::string(FileNamePart(path)));
        f.views = views;
        f.groupsText = groups;
        return Record(f);
    }

    /// "name views groups" of each song of the master list, in its order.
    static std::vector<std::string> MasterSongs() {
        std::vector<std::string> songs;
        for (const cSongInfo* song : *MasterSongList) {
            if (song != nullptr) {
                std::string text = std::string(song->Title()) + " " + std::to_string(song->Views);
                for (const std::string& group : song->Groups) {
                    text += " " + group;
                }
                songs.push_back(text);
            }
        }
        return songs;
    }

    static void Rename(const std::string& from, const std::string& to) {
        ASSERT_EQ(std::rename(from.c_str(), to.c_str()), 0) << from;
    }

    cTempFolder m_Folder;
    cFakeMountTable m_Mounts;
};

TEST_F(DrivesReturnTest, SongsComeBackWithTheirCountsWhenTheirDriveIsMountedOrAFolderAboveIsSeen) {
    const std::string drive = m_Folder / "media/Disk";
    const std::string link = m_Folder / "music"; // the user's way to the drive, through a link
    struct cCase {
        const char* how;
        std::string songFolder;
        std::function<std::vector<cSongInfo*>()> bringBack;
    } cases[] = {
        {"its mount point is mounted", drive + "/Music/Album",
         [&] { return ReviveOfflineSongsAfterMounts({Real(drive)}); }},
        {"a file system is mounted above the drive's folder", drive + "/Music/Album",
         [&] { return ReviveOfflineSongsAfterMounts({Real(m_Folder / "media")}); }},
        {"mounted where a link leads", link + "/Album",
         [&] { return ReviveOfflineSongsAfterMounts({Real(drive)}); }},
        {"the folder above is selected", drive + "/Music/Album",
         [&] { return ReviveOfflineSongsUnder(m_Folder / "media/"); }},
        {"the drive's folder is selected", drive + "/Music/Album",
         [&] { return ReviveOfflineSongsUnder(drive); }},
    };
    for (const cCase& c : cases) {
        SCOPED_TRACE(c.how);
        std::filesystem::remove_all(m_Folder / "media");
        std::filesystem::remove(link);
        std::filesystem::create_directories(drive + "/Music");
        std::filesystem::create_directory_symlink(drive + "/Music", link);
        const std::string a = SongRecord(c.songFolder + "/a.mp3", 3, "Rock\r\nLive");
        const std::string b = SongRecord(c.songFolder + "/b.mp3", 7, "Jazz");
        const std::string other = SongRecord(m_Folder / "Other/c.mp3", 1, "");
        const std::string file = a + other + b;
        WriteBytes(DbPath(), file);
        Rename(drive, m_Folder / "Away"); // unplugged
        ASSERT_TRUE(OpenSongsDatabase(DbPath()));
        ASSERT_EQ(OfflineSongs.Count(), 2);
        EXPECT_TRUE(ReviveOfflineSongsAfterMounts({Real(m_Folder / "Other")}).empty());

        Rename(m_Folder / "Away", drive); // plugged in again
        EXPECT_EQ(c.bringBack().size(), 2u);
        EXPECT_EQ(OfflineSongs.Count(), 0);
        EXPECT_EQ(MasterSongs(),
                  (std::vector<std::string>{"c.mp3 1", "a.mp3 3 Rock Live", "b.mp3 7 Jazz"}));
        EXPECT_EQ(MasterSongList->Get(2)->MasterIndex, 2);
        // The records that were kept are the ones back: the file holds each song once.
        ScanFolder(c.songFolder + "/");
        EXPECT_EQ(MasterSongList->Count(), 3);
        EXPECT_EQ(ReadBytes(DbPath()), file);
        FreeAllSongs();
    }
}

TEST_F(DrivesReturnTest, SongsStayKeptWhileTheirDriveIsStillAway) {
    const std::string drive = m_Folder / "media/Disk";
    const std::string file =
        SongRecord(drive + "/Album/a.mp3", 3, "Rock") + SongRecord(drive + "/b.mp3", 1, "");
    WriteBytes(DbPath(), file);
    std::filesystem::remove_all(drive);
    ASSERT_TRUE(OpenSongsDatabase(DbPath()));
    ASSERT_EQ(OfflineSongs.Count(), 2);
    // Another drive mounted beside it, one above it, the folder above looked at: still away.
    std::filesystem::create_directories(m_Folder / "media/Other");
    EXPECT_TRUE(ReviveOfflineSongsAfterMounts({Real(m_Folder / "media/Other")}).empty());
    EXPECT_TRUE(ReviveOfflineSongsAfterMounts({Real(m_Folder / "media")}).empty());
    EXPECT_TRUE(ReviveOfflineSongsUnder(m_Folder / "media").empty());
    EXPECT_EQ(OfflineSongs.Count(), 2);
    EXPECT_EQ(ReadBytes(DbPath()), file);
}

TEST_F(DrivesReturnTest, ADriveThatComesBackWithoutSomeSongsDropsOnlyThose) {
    const std::string drive = m_Folder / "Disk";
    const std::string a = SongRecord(drive + "/Album/a.mp3", 3, "");
    const std::string b = SongRecord(drive + "/Album/b.mp3", 7, "");
    WriteBytes(DbPath(), a + b);
    Rename(drive, m_Folder / "Away");
    ASSERT_TRUE(OpenSongsDatabase(DbPath()));
    Rename(m_Folder / "Away", drive);
    ASSERT_EQ(std::remove((drive + "/Album/b.mp3").c_str()), 0); // deleted on another computer
    EXPECT_EQ(ReviveOfflineSongsAfterMounts({Real(drive)}).size(), 1u);
    EXPECT_EQ(MasterSongs(), std::vector<std::string>{"a.mp3 3"});
    EXPECT_EQ(OfflineSongs.Count(), 0);
    std::string flagged = a + b;
    flagged[a.size()] = '\x01';
    EXPECT_EQ(ReadBytes(DbPath()), flagged);
}

// ---- the mount point a drive leaves behind --------------------------------------------------

TEST_F(DrivesReturnTest, SongsMissingFromAnUnmountedMountPointAreKeptAsideNotDeleted) {
    // Eight songs, so the check lists the folder (and ExamineFile stats each path): both ways
    // must agree.
    constexpr int kSongs = 8;
    struct cCase {
        const char* what;
        bool declared;  // the fstab names the folder as a mount point
        bool mounted;   // the mount table names it
        int filesLeft;  // of the folder's songs still there
        bool otherFile; // a file that is no song lies in the folder
        bool keptAside;
    } cases[] = {
        {"empty folder a drive left behind", false, false, 0, false, true},
        {"declared mount point with other files under it", true, false, 0, true, true},
        {"one song deleted, the others still there", false, false, kSongs - 1, false, false},
        {"every song deleted, another file left", false, false, 0, true, false},
        {"empty drive mounted on the folder", false, true, 0, false, false},
        {"declared and mounted, every song deleted", true, true, 0, false, false},
    };
    for (const cCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string nas = m_Folder / "mnt/nas";
        std::filesystem::remove_all(m_Folder / "mnt");
        std::string file;
        std::vector<std::string> paths;
        for (int i = 0; i < kSongs; ++i) {
            paths.push_back(nas + "/song" + std::to_string(i) + ".mp3");
            file += SongRecord(paths.back(), i, "Live");
        }
        for (int i = c.filesLeft; i < kSongs; ++i) {
            std::filesystem::remove(paths[static_cast<size_t>(i)]);
        }
        if (c.otherFile) {
            Touch(nas + "/.directory");
        }
        m_Mounts.Declare(c.declared ? std::vector<std::string>{Real(nas)}
                                    : std::vector<std::string>{});
        m_Mounts.Mount(c.mounted ? std::vector<std::string>{"/", Real(nas)}
                                 : std::vector<std::string>{"/"});
        const eFileState missing = c.keptAside ? kFileOffline : kFileMissing;
        const std::vector<uint8_t> listed =
            FilesExist(std::vector<std::string_view>(paths.begin(), paths.end()));
        for (int i = c.filesLeft; i < kSongs; ++i) {
            EXPECT_EQ(listed[static_cast<size_t>(i)], missing) << i;
            EXPECT_EQ(ExamineFile(paths[static_cast<size_t>(i)]), missing) << i;
        }

        WriteBytes(DbPath(), file);
        ASSERT_TRUE(OpenSongsDatabase(DbPath()));
        EXPECT_EQ(OfflineSongs.Count(), c.keptAside ? kSongs - c.filesLeft : 0);
        EXPECT_EQ(MasterSongList->Count(), c.filesLeft);
        const std::string stored = ReadBytes(DbPath());
        if (c.keptAside) {
            EXPECT_EQ(stored, file) << "no record flagged";
        } else {
            EXPECT_NE(stored, file) << "the missing songs' records are flagged or compacted away";
        }
        FreeAllSongs();
    }
}

TEST_F(DrivesReturnTest, SongsOfAnUnmountedMountPointComeBackWhenTheDriveIsMounted) {
    const std::string nas = m_Folder / "nas";
    const std::string file =
        SongRecord(nas + "/top.mp3", 4, "Rock") + SongRecord(nas + "/Album/a.mp3", 2, "");
    WriteBytes(DbPath(), file);
    Rename(nas, m_Folder / "share");
    std::filesystem::create_directory(nas); // the mount point, left behind empty
    ASSERT_TRUE(OpenSongsDatabase(DbPath()));
    ASSERT_EQ(OfflineSongs.Count(), 2);
    EXPECT_EQ(ReadBytes(DbPath()), file);

    std::filesystem::remove(nas);
    Rename(m_Folder / "share", nas); // what a mount shows there
    m_Mounts.Mount({"/", Real(nas)});
    EXPECT_EQ(ReviveOfflineSongsAfterMounts({Real(nas)}).size(), 2u);
    EXPECT_EQ(MasterSongs(), (std::vector<std::string>{"top.mp3 4 Rock", "a.mp3 2"}));
    EXPECT_EQ(ReadBytes(DbPath()), file);
}

TEST_F(DrivesReturnTest, RealMountAndUnmountOfATmpfs) {
    const std::string point = m_Folder / "usb";
    std::filesystem::create_directory(point);
    const std::string dbPath = DbPath();
    const int code = RunWithPrivateMounts([&] {
        MountTablePath = "/proc/self/mountinfo"; // the real table, not the fake
        DeclaredMountsPath = "/etc/fstab";
        const auto mountStick = [&] {
            if (::mount("tunaria-test", point.c_str(), "tmpfs", 0, "size=1m") != 0) {
                return false;
            }
            Touch(point + "/top.mp3");
            Touch(point + "/Album/a.mp3");
            return true;
        };
        if (!mountStick()) {
            return 95;
        }
        WriteBytes(dbPath, SongRecord(point + "/top.mp3", 4, "Rock") +
                               SongRecord(point + "/Album/a.mp3", 2, ""));
        const std::string file = ReadBytes(dbPath);
        if (::umount(point.c_str()) != 0) {
            return 94;
        }
        const std::vector<cMountEntry> before = ParseMountTable(ReadWholeFile(MountTablePath));
        if (!OpenSongsDatabase(dbPath) || OfflineSongs.Count() != 2 || ReadBytes(dbPath) != file) {
            return 1; // both kept aside: the empty mount point and the folder below it
        }
        if (!mountStick()) {
            return 95;
        }
        const std::vector<std::string> changed =
            ChangedMountPoints(before, ParseMountTable(ReadWholeFile(MountTablePath)));
        if (changed != std::vector<std::string>{std::filesystem::canonical(point).string()}) {
            return 2;
        }
        if (ReviveOfflineSongsAfterMounts(changed).size() != 2 || OfflineSongs.Count() != 0 ||
            ReadBytes(dbPath) != file) {
            return 3;
        }
        FreeAllSongs();
        return 0;
    });
    if (code == kNoPrivateMounts || code == 95) {
        GTEST_SKIP() << "no right to mount here";
    }
    EXPECT_EQ(code, 0);
}

} // namespace
