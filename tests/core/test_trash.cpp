// The program's own trash on real folders: the home trash, top-folder trashes on a file system
// of their own (a tmpfs mounted by the test where it may), names that collide or are no text,
// and trash folders that refuse (unwritable as another user, links, a full disk).
#include "util/unitTrash.h"

#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "support/song_fixtures.h"
#include "support/temp_folder.h"

namespace {

using song_fixtures::cUnprivileged;
using song_fixtures::OpenToEveryone;

/// The bytes a percent-encoded Path= value stands for.
std::string PercentDecoded(const std::string& text) {
    std::string bytes;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            bytes += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            bytes += text[i];
        }
    }
    return bytes;
}

/// The value of the key's line in an info file.
std::string InfoValue(const std::string& info, const std::string& key) {
    const size_t at = info.find("\n" + key + "=");
    if (at == std::string::npos) {
        return "(none)";
    }
    const size_t from = at + key.size() + 2;
    return info.substr(from, info.find('\n', from) - from);
}

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    ::lstat(path.c_str(), &info);
    return info.st_mode & 07777;
}

class TrashTest : public ::testing::Test {
protected:
    cTrashResult Trash(const std::string& path) { return MoveFileToTrash(path, User()); }
    cTrashUser User() const { return {TrashFolder(), ::geteuid()}; }
    std::string TrashFolder() const { return m_Home / "data/Trash"; }
    std::string HomeTrash(const std::string& part) const { return m_Home / ("data/Trash/" + part); }

    cTempFolder m_Home;
    cTempFolder m_Music;
};

TEST_F(TrashTest, AFileGoesIntoTheHomeTrashWithItsInfoAndTheMissingFoldersAreMade) {
    const std::string song = m_Music / "Artist - Song.mp3";
    WriteBytes(song, "bytes");
    const time_t before = std::time(nullptr);
    const cTrashResult result = Trash(song);
    ASSERT_EQ(result.Outcome, eTrashOutcome::kTrashed) << result.Reason;
    EXPECT_FALSE(PathExists(song));
    EXPECT_EQ(ReadBytes(HomeTrash("files/Artist - Song.mp3")), "bytes");
    const std::string info = ReadBytes(HomeTrash("info/Artist - Song.mp3.trashinfo"));
    EXPECT_TRUE(info.starts_with("[Trash Info]\n"));
    EXPECT_EQ(InfoValue(info, "Path"), PercentEncodedPath(song));
    EXPECT_EQ(PercentDecoded(InfoValue(info, "Path")), song) << "absolute in the home trash";
    const std::string date = InfoValue(info, "DeletionDate");
    ASSERT_TRUE(std::regex_match(date, std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d)"))) << date;
    std::tm local{};
    ::strptime(date.c_str(), "%Y-%m-%dT%H:%M:%S", &local);
    local.tm_isdst = -1;
    EXPECT_LE(std::abs(std::mktime(&local) - before), 2) << "local time";
    for (const char* folder : {"", "files", "info"}) {
        EXPECT_EQ(ModeOf(HomeTrash(folder)), 0700u) << folder;
    }
    EXPECT_EQ(Trash(song).Outcome, eTrashOutcome::kGone);
}

TEST_F(TrashTest, PathsAreEncodedByteForByteWhateverTheName) {
    const struct {
        std::string Path;
        std::string Encoded;
    } cases[] = {
        {"/m/Plain-name_1.2~x.mp3", "/m/Plain-name_1.2~x.mp3"},
        {"/m/a b%c#d?e.mp3", "/m/a%20b%25c%23d%3Fe.mp3"},
        {"/m/\xc3\xa9t\xc3\xa9.mp3", "/m/%C3%A9t%C3%A9.mp3"},
        {"/m/\xff\xfe.mp3", "/m/%FF%FE.mp3"},
        {"/m/new\nline=\x01.mp3", "/m/new%0Aline%3D%01.mp3"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PercentEncodedPath(c.Path), c.Encoded);
        EXPECT_EQ(PercentDecoded(c.Encoded), c.Path);
    }
    // Names that are no valid UTF-8 go to the trash and name themselves exactly.
    for (const std::string name : {"\xff\xfe.mp3", "caf\xe9 \x80.mp3", "line\nbreak.mp3"}) {
        const std::string song = m_Music / name;
        WriteBytes(song, name);
        const cTrashResult result = Trash(song);
        ASSERT_EQ(result.Outcome, eTrashOutcome::kTrashed) << result.Reason;
        EXPECT_EQ(ReadBytes(HomeTrash("files/" + name)), name);
        const std::string info = ReadBytes(HomeTrash("info/" + name + ".trashinfo"));
        EXPECT_EQ(PercentDecoded(InfoValue(info, "Path")), song);
        EXPECT_EQ(std::count(info.begin(), info.end(), '\n'), 3) << "one line per key";
    }
}

TEST_F(TrashTest, NamesThatAreTakenGetAnotherAndNothingInTheTrashIsReplaced) {
    std::vector<std::string> trashed;
    for (int i = 0; i < 30; ++i) { // past the counted names
        const std::string folder = m_Music / std::to_string(i);
        const std::string song = folder + "/01 - Intro.mp3";
        Touch(song);
        WriteBytes(song, std::to_string(i));
        ASSERT_EQ(Trash(song).Outcome, eTrashOutcome::kTrashed) << i;
    }
    EXPECT_EQ(ReadBytes(HomeTrash("files/01 - Intro.mp3")), "0");
    EXPECT_EQ(ReadBytes(HomeTrash("files/01 - Intro.2.mp3")), "1");
    EXPECT_EQ(ReadBytes(HomeTrash("files/01 - Intro.3.mp3")), "2");
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(HomeTrash("files"))) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(PathExists(HomeTrash("info/" + name + ".trashinfo"))) << name;
        ++files;
    }
    EXPECT_EQ(files, 30u);

    // A file in files/ without its info (left by another program) keeps its name and content.
    Touch(HomeTrash("files/b.mp3"));
    WriteBytes(m_Music / "b.mp3", "new");
    ASSERT_EQ(Trash(m_Music / "b.mp3").Outcome, eTrashOutcome::kTrashed);
    EXPECT_EQ(ReadBytes(HomeTrash("files/b.mp3")), "");
    EXPECT_FALSE(PathExists(HomeTrash("info/b.mp3.trashinfo"))) << "no info for a file not ours";
    EXPECT_EQ(ReadBytes(HomeTrash("files/b.2.mp3")), "new");

    // A name as long as a folder entry may be: its info file's name still fits.
    const std::string longName = std::string(251, 'x') + ".mp3";
    Touch(m_Music / longName);
    ASSERT_EQ(Trash(m_Music / longName).Outcome, eTrashOutcome::kTrashed);
    const std::string cut = std::string(255 - 10 - 4, 'x') + ".mp3";
    EXPECT_TRUE(PathExists(HomeTrash("files/" + cut)));
    EXPECT_EQ(PercentDecoded(InfoValue(ReadBytes(HomeTrash("info/" + cut + ".trashinfo")), "Path")),
              m_Music / longName);
}

TEST_F(TrashTest, ATrashThatRefusesEndsAtOnceWithItsReasonAndTheFileStays) {
    if (!cUnprivileged::Possible()) {
        GTEST_SKIP() << "file permissions cannot be met as this user";
    }
    // The trash made by another user (a file manager run as root): its info/ or files/ folder
    // cannot be written; links and a full disk refuse as well.
    const struct {
        const char* Case;
        std::string Locked; ///< made read-only, or a link in place of the folder
        bool Link;
        std::string Reason;
    } cases[] = {
        {"info not writable", "info", false, "info\" cannot be written: Permission denied"},
        {"files not writable", "files", false, "files\" cannot take it: Permission denied"},
        {"info is a link", "info", true, "info\" is not a folder but a link or a file"},
        {"trash is a link", "", true, "Trash\" is not a folder but a link or a file"},
    };
    OpenToEveryone(m_Home.Path());
    OpenToEveryone(m_Music.Path());
    ::chmod(m_Music.Path().c_str(), 0777);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Case);
        std::filesystem::remove_all(TrashFolder());
        for (const char* folder : {"", "files", "info"}) {
            std::filesystem::create_directories(HomeTrash(folder));
            ::chmod(HomeTrash(folder).c_str(), 0777);
        }
        const std::string locked = c.Locked.empty() ? TrashFolder() : HomeTrash(c.Locked);
        if (c.Link) {
            std::filesystem::rename(locked, m_Home / "elsewhere");
            std::filesystem::create_directory_symlink(m_Home / "elsewhere", locked);
        } else {
            ::chmod(locked.c_str(), 0755);
        }
        const std::string song = m_Music / "a.mp3";
        Touch(song);
        cTrashResult result;
        {
            const cUnprivileged asUser;
            result = MoveFileToTrash(song, {TrashFolder(), cUnprivileged::kNobody});
        }
        EXPECT_EQ(result.Outcome, eTrashOutcome::kNoTrash);
        EXPECT_NE(result.Reason.find(c.Reason), std::string::npos) << result.Reason;
        EXPECT_TRUE(PathExists(song));
        EXPECT_TRUE(std::filesystem::is_empty(m_Home / "data/Trash/info")) << "no info left";
        std::filesystem::remove_all(m_Home / "elsewhere");
    }

    // A disk that takes no more bytes: the info file cannot be written.
    std::filesystem::remove_all(TrashFolder());
    cTrashResult full;
    {
        const cFileSizeLimit noRoom(0);
        full = Trash(m_Music / "a.mp3");
    }
    EXPECT_EQ(full.Outcome, eTrashOutcome::kNoTrash);
    EXPECT_NE(full.Reason.find("info\" cannot be written: File too large"), std::string::npos)
        << full.Reason;
    EXPECT_TRUE(PathExists(m_Music / "a.mp3"));
    EXPECT_TRUE(std::filesystem::is_empty(HomeTrash("info")));

    // A file whose folder the user cannot write cannot leave it, trash or no trash.
    ::chmod(m_Music.Path().c_str(), 0755);
    cTrashResult stays;
    {
        const cUnprivileged asUser;
        stays = MoveFileToTrash(m_Music / "a.mp3", {TrashFolder(), cUnprivileged::kNobody});
    }
    EXPECT_EQ(stays.Outcome, eTrashOutcome::kFileStays);
    EXPECT_EQ(stays.Reason, "Permission denied");
}

// ---- top-folder trashes ---------------------------------------------------------------------

/// A tmpfs mounted at a fresh folder, in a mount namespace of this test process's own (so that
/// nothing of it reaches the rest of the machine, even when the test dies). Unavailable unless
/// the test may mount (root, or a container that lets it).
class cScratchFileSystem {
public:
    cScratchFileSystem() {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", m_Top.Path().c_str(), "tmpfs", 0, "size=4m,mode=0755") != 0) {
            m_Why = std::string("cannot mount a tmpfs here: ") + std::strerror(errno);
        }
    }
    ~cScratchFileSystem() {
        if (m_Why.empty()) {
            ::umount2(m_Top.Path().c_str(), MNT_DETACH);
        }
    }
    cScratchFileSystem(const cScratchFileSystem&) = delete;
    cScratchFileSystem& operator=(const cScratchFileSystem&) = delete;

    /// Empty when the file system is mounted, else why not.
    const std::string& Unavailable() const { return m_Why; }
    const std::string& Top() const { return m_Top.Path(); }
    std::string operator/(std::string_view name) const { return m_Top / name; }

private:
    cTempFolder m_Top;
    std::string m_Why;
};

TEST_F(TrashTest, AFileOnAnotherFileSystemGoesIntoItsTopFoldersTrash) {
    const cScratchFileSystem drive;
    if (!drive.Unavailable().empty()) {
        GTEST_SKIP() << drive.Unavailable();
    }
    const std::string uid = std::to_string(::geteuid());
    const std::string own = drive / (".Trash-" + uid);
    const std::string shared = drive / (".Trash/" + uid);
    // What $topdir/.Trash is decides between the shared trash and the user's own.
    const struct {
        const char* Case;
        mode_t SharedMode; ///< 0: no .Trash; else made with this mode
        bool SharedIsLink;
        std::string Expected;
    } cases[] = {
        {"no .Trash", 0, false, own},
        {"sticky .Trash", 01777, false, shared},
        {".Trash without the sticky bit", 0777, false, own},
        {".Trash a link to a sticky folder", 01777, true, own},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Case);
        for (const std::string& old : {own, drive / ".Trash", drive / ".sticky"}) {
            std::filesystem::remove_all(old);
        }
        if (c.SharedMode != 0) {
            const std::string made = c.SharedIsLink ? drive / ".sticky" : drive / ".Trash";
            ::mkdir(made.c_str(), 0700);
            ::chmod(made.c_str(), c.SharedMode);
            if (c.SharedIsLink) {
                std::filesystem::create_directory_symlink(made, drive / ".Trash");
            }
        }
        const std::string song = drive / "music/sub/\xff a.mp3";
        Touch(song);
        const cTrashResult result = Trash(song);
        ASSERT_EQ(result.Outcome, eTrashOutcome::kTrashed) << result.Reason;
        EXPECT_TRUE(PathExists(c.Expected + "/files/\xff a.mp3"));
        const std::string info = ReadBytes(c.Expected + "/info/\xff a.mp3.trashinfo");
        EXPECT_EQ(InfoValue(info, "Path"), "music/sub/%FF%20a.mp3") << "relative to the top folder";
        EXPECT_EQ(ModeOf(c.Expected), 0700u);
        EXPECT_FALSE(PathExists(TrashFolder())) << "the home trash is not used";
    }

    // A trash of the user's name that belongs to someone else is not taken.
    std::filesystem::remove_all(drive / ".Trash");
    ASSERT_EQ(::chown(own.c_str(), cUnprivileged::kNobody, cUnprivileged::kNobody), 0);
    Touch(drive / "music/x.mp3");
    const cTrashResult refused = Trash(drive / "music/x.mp3");
    EXPECT_EQ(refused.Outcome, eTrashOutcome::kNoTrash);
    EXPECT_NE(refused.Reason.find("belongs to another user"), std::string::npos) << refused.Reason;
    EXPECT_TRUE(PathExists(drive / "music/x.mp3"));

    // A top folder the user may not write, without a shared trash: no trash at all.
    if (cUnprivileged::Possible()) {
        std::filesystem::remove_all(own);
        ::chmod((drive / "music").c_str(), 0777);
        cTrashResult none;
        {
            const cUnprivileged asUser;
            none = MoveFileToTrash(drive / "music/x.mp3", {TrashFolder(), cUnprivileged::kNobody});
        }
        EXPECT_EQ(none.Outcome, eTrashOutcome::kNoTrash);
        EXPECT_NE(none.Reason.find(".Trash-65534\" cannot be made: Permission denied"),
                  std::string::npos)
            << none.Reason;
        EXPECT_TRUE(PathExists(drive / "music/x.mp3"));
    }
}

// ---- the desktop's own trash program as a witness -------------------------------------------

/// Runs "gio trash <path>" with the data folder given; answers its exit status (127: no gio).
int GioTrash(const std::string& path, const std::string& dataHome) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
        ::execlp("gio", "gio", "trash", path.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(TrashTest, TheInfoNamesTheFileAsTheDesktopsOwnTrashProgramDoes) {
    const std::string name = "\xff caf\xc3\xa9 (live) [1]+&'.mp3";
    Touch(m_Music / ("gio/" + name));
    if (GioTrash(m_Music / ("gio/" + name), m_Home / "gio-data") == 127) {
        GTEST_SKIP() << "gio (Debian libglib2.0-bin) is not installed";
    }
    const std::string theirs = ReadBytes(m_Home / ("gio-data/Trash/info/" + name + ".trashinfo"));
    Touch(m_Music / ("ours/" + name));
    ASSERT_EQ(Trash(m_Music / ("ours/" + name)).Outcome, eTrashOutcome::kTrashed);
    const std::string ours = ReadBytes(HomeTrash("info/" + name + ".trashinfo"));
    const auto inItsFolder = [](std::string path, const std::string& folder) {
        return path.replace(path.find(folder), folder.size(), "*");
    };
    EXPECT_EQ(inItsFolder(InfoValue(ours, "Path"), "/ours/"),
              inItsFolder(InfoValue(theirs, "Path"), "/gio/"));
    EXPECT_EQ(ours.substr(0, ours.find('\n')), theirs.substr(0, theirs.find('\n')));
}

} // namespace
