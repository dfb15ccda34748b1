// The existence check of the load: listing folders must answer exactly as stat per path.

#include <sys/stat.h>
#include <unistd.h>

#include "catalogue/unitFileExistence.h"
#include "support/song_fixtures.h"

using namespace song_fixtures;

namespace {

TEST(FileExistence, ListingAnswersExactlyAsStatPerPath) {
    cTempFolder folder;
    const std::string m = folder / "music";
    for (const char* name : {"a.mp3", "b.mp3", "c.mp3", "Mixed.MP3", "file"}) {
        Touch(m + "/" + name);
    }
    ASSERT_EQ(::mkdir((m + "/sub").c_str(), 0755), 0);
    Touch(m + "/sub/deep.mp3");
    ASSERT_EQ(::symlink((m + "/a.mp3").c_str(), (m + "/link.mp3").c_str()), 0);
    ASSERT_EQ(::symlink((m + "/sub").c_str(), (m + "/folderlink").c_str()), 0);
    ASSERT_EQ(::symlink((m + "/nothing").c_str(), (m + "/dangling.mp3").c_str()), 0);
    ASSERT_EQ(::mkfifo((m + "/pipe").c_str(), 0644), 0);

    // What stat per path tells, and what the load makes of it: a file, gone, or offline (its
    // folder is not there either, so it may come back).
    struct cCase {
        std::string path;
        eFileState state;
    };
    const cCase cases[] = {
        {m + "/a.mp3", kFileExists},
        {m + "/b.mp3", kFileExists},
        {m + "/c.mp3", kFileExists},
        {m + "/Mixed.MP3", kFileExists},
        {m + "/mixed.mp3", kFileMissing}, // the file system tells case apart
        {m + "/absent.mp3", kFileMissing},
        {m + "/a.mp3", kFileExists},    // the same path twice
        {m + "/sub", kFileMissing},     // a folder is not a file
        {m + "/link.mp3", kFileExists}, // a link to a file
        {m + "/folderlink", kFileMissing},
        {m + "/dangling.mp3", kFileMissing},
        {m + "/pipe", kFileMissing},
        {m + "/.", kFileMissing},
        {m + "/..", kFileMissing},
        {m + "/", kFileMissing},
        {m + "//b.mp3", kFileExists},
        {m + "/folderlink/deep.mp3", kFileExists},
        {m + "/sub/deep.mp3", kFileExists},
        {m + "/sub/gone.mp3", kFileMissing},
        {m + "/file/x.mp3", kFileOffline}, // a file where its folder was
        {folder / "nowhere/a.mp3", kFileOffline},
        {folder / "nowhere/b.mp3", kFileOffline},
        {folder / "nowhere/deeper/c.mp3", kFileOffline},
        {m + std::string("/a.mp3\0tail", 11), kFileMissing},
        {"relative-that-does-not-exist.mp3", kFileMissing},
        {"", kFileMissing},
    };
    // Also as many paths of one folder as make it worth listing, of a folder that is there and
    // of one that is not.
    std::vector<cCase> all(std::begin(cases), std::end(cases));
    for (int i = 0; i < 10; ++i) {
        all.push_back({m + "/absent" + std::to_string(i) + ".mp3", kFileMissing});
        all.push_back({folder / ("unplugged/" + std::to_string(i) + ".mp3"), kFileOffline});
    }
    std::vector<std::string_view> paths;
    for (const cCase& c : all) {
        paths.push_back(c.path);
    }
    const std::vector<uint8_t> listed = FilesExist(paths);
    ASSERT_EQ(listed.size(), paths.size());
    for (size_t i = 0; i < paths.size(); ++i) {
        EXPECT_EQ(FileExists(paths[i]), all[i].state == kFileExists) << all[i].path;
        EXPECT_EQ(ExamineFile(paths[i]), all[i].state) << all[i].path;
        EXPECT_EQ(listed[i], all[i].state) << all[i].path;
    }
}

/// A folder that may be listed but not searched: its listing names the files, yet stat of a
/// path inside it fails, so they cannot be examined: they are offline, not gone. Checked as an
/// ordinary user (in a child process when the tests run as the superuser, whom permissions do
/// not bind).
TEST(FileExistence, FolderThatCannotBeSearchedFallsBackToStat) {
    cTempFolder folder;
    const std::string m = folder / "locked";
    for (const char* name : {"a.mp3", "b.mp3", "c.mp3"}) {
        Touch(m + "/" + name);
    }
    const std::vector<std::string> texts = {m + "/a.mp3", m + "/b.mp3", m + "/c.mp3"};
    ASSERT_EQ(::chmod(folder.Path().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(m.c_str(), 0600), 0); // may be listed, may not be searched
    const bool superuser = ::geteuid() == 0;
    if (superuser) {
        constexpr uid_t kNobody = 65534;
        ASSERT_EQ(::chown(m.c_str(), kNobody, kNobody), 0);
    }
    const int code = RunInChild([&] {
        if (superuser && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            return 10;
        }
        std::vector<std::string_view> paths(texts.begin(), texts.end());
        const std::vector<uint8_t> listed = FilesExist(paths);
        for (size_t i = 0; i < paths.size(); ++i) {
            if (listed[i] != kFileOffline || ExamineFile(paths[i]) != kFileOffline ||
                FileExists(paths[i])) {
                return 11;
            }
        }
        return 0;
    });
    EXPECT_EQ(code, 0);
    ::chmod(m.c_str(), 0755);
}

/// Folders with enough songs to be listed, and enough folders for the check to list them on two
/// threads: each answer as stat per path gives it, whatever the folder holds and whether it is
/// there at all.
TEST(FileExistence, ManyListedFoldersAnswerAsStatPerPath) {
    cTempFolder folder;
    std::vector<std::string> texts;
    constexpr int kFolders = 70; // of each kind 14
    constexpr int kSongs = 9;
    for (int f = 0; f < kFolders; ++f) {
        const std::string album = folder / ("artist/album " + std::to_string(f));
        const int kind = f % 5; // 0, 1: all there; 2: some gone; 3: not there; 4: a file
        if (kind == 4) {
            Touch(album);
        }
        for (int s = 0; s < kSongs; ++s) {
            const std::string path = album + "/" + std::to_string(s) + " song.mp3";
            texts.push_back(path);
            if (kind < 2 || (kind == 2 && s % 3 != 0)) {
                Touch(path);
            }
        }
        if (kind == 1) { // a link among the songs, and a name met twice
            ASSERT_EQ(::unlink(texts.back().c_str()), 0);
            ASSERT_EQ(::symlink((album + "/0 song.mp3").c_str(), texts.back().c_str()), 0);
            texts.push_back(album + "/1 song.mp3");
        }
    }
    const std::vector<std::string_view> paths(texts.begin(), texts.end());
    const std::vector<uint8_t> listed = FilesExist(paths);
    ASSERT_EQ(listed.size(), paths.size());
    size_t there = 0;
    for (size_t i = 0; i < paths.size(); ++i) {
        EXPECT_EQ(listed[i], ExamineFile(paths[i])) << paths[i];
        there += listed[i] == kFileExists;
    }
    EXPECT_EQ(there, 14u * kSongs + 14u * (kSongs + 1) + 14u * (kSongs - 3)) << "as laid out";
}

/// Folders of more songs than are worth a stat each, which the user may list but not search,
/// or search but not list: listing must answer as stat does (offline where stat cannot look,
/// there where it can). Checked as an ordinary user.
TEST(FileExistence, ListedFoldersWithoutTheRightToSearchOrReadAnswerAsStat) {
    if (!cUnprivileged::Possible()) {
        GTEST_SKIP() << "file permissions cannot be met as this user";
    }
    cTempFolder folder;
    OpenToEveryone(folder.Path());
    struct cCase {
        const char* name;
        mode_t mode;
        eFileState expected;
    };
    const cCase cases[] = {
        {"listed only", 0744 & ~0111, kFileOffline},  // r--: names listed, stat refused
        {"searched only", 0711 & ~0444, kFileExists}, // --x: no listing, stat works
        {"both", 0755, kFileExists},
    };
    for (const cCase& c : cases) {
        const std::string album = folder / c.name;
        std::vector<std::string> texts;
        for (int s = 0; s < 12; ++s) {
            texts.push_back(album + "/" + std::to_string(s) + ".mp3");
            Touch(texts.back());
        }
        ASSERT_EQ(::chmod(album.c_str(), c.mode), 0);
        const std::vector<std::string_view> paths(texts.begin(), texts.end());
        std::vector<uint8_t> listed;
        std::vector<eFileState> examined;
        {
            const cUnprivileged nobody;
            listed = FilesExist(paths);
            for (const std::string_view path : paths) {
                examined.push_back(ExamineFile(path));
            }
        }
        ::chmod(album.c_str(), 0755);
        for (size_t i = 0; i < paths.size(); ++i) {
            EXPECT_EQ(examined[i], c.expected) << c.name << ": " << paths[i];
            EXPECT_EQ(listed[i], c.expected) << c.name << ": " << paths[i];
        }
    }
}

} // namespace
