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

    const std::pair<std::string, bool> cases[] = {
        {m + "/a.mp3", true},
        {m + "/b.mp3", true},
        {m + "/c.mp3", true},
        {m + "/Mixed.MP3", true},
        {m + "/mixed.mp3", false}, // the file system tells case apart
        {m + "/absent.mp3", false},
        {m + "/a.mp3", true},    // the same path twice
        {m + "/sub", false},     // a folder is not a file
        {m + "/link.mp3", true}, // a link to a file
        {m + "/folderlink", false},
        {m + "/dangling.mp3", false},
        {m + "/pipe", false},
        {m + "/.", false},
        {m + "/..", false},
        {m + "/", false},
        {m + "//b.mp3", true},
        {m + "/folderlink/deep.mp3", true},
        {m + "/sub/deep.mp3", true},
        {m + "/file/x.mp3", false}, // a file used as a folder
        {folder / "nowhere/a.mp3", false},
        {folder / "nowhere/b.mp3", false},
        {folder / "nowhere/c.mp3", false},
        {m + std::string("/a.mp3\0tail", 11), false},
        {"relative-that-does-not-exist.mp3", false},
        {"", false},
    };
    std::vector<std::string> texts;
    for (const auto& c : cases) {
        texts.push_back(c.first);
    }
    std::vector<std::string_view> paths(texts.begin(), texts.end());
    const std::vector<uint8_t> listed = FilesExist(paths);
    ASSERT_EQ(listed.size(), paths.size());
    for (size_t i = 0; i < paths.size(); ++i) {
        EXPECT_EQ(FileExists(paths[i]), cases[i].second) << texts[i];
        EXPECT_EQ(listed[i] != 0, cases[i].second) << texts[i];
    }
}

/// A folder that may be listed but not searched: its listing names the files, yet stat of a
/// path inside it fails, so they do not exist for the program. Checked as an ordinary user
/// (in a child process when the tests run as the superuser, whom permissions do not bind).
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
            if (listed[i] != 0 || FileExists(paths[i])) {
                return 11;
            }
        }
        return 0;
    });
    EXPECT_EQ(code, 0);
    ::chmod(m.c_str(), 0755);
}

} // namespace
