// An installed program: its folder cannot be written, so the catalogue, the settings and the
// groups live in the user's data folder, which the first start creates and later starts find.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "browser/unitApplication.h"
#include "catalogue/unitSongUtils.h"
#include "groups/unitGroupList.h"
#include "support/main_window_fixture.h"
#include "util/unitDataFolder.h"

using namespace song_fixtures;

namespace {

/// Sets an environment variable while it lives.
class cEnvironmentValue {
public:
    cEnvironmentValue(const char* name, const std::string& value)
        : m_Name(name), m_Previous(qgetenv(name)), m_WasSet(qEnvironmentVariableIsSet(name)) {
        qputenv(name, QByteArray::fromStdString(value));
    }
    ~cEnvironmentValue() { m_WasSet ? qputenv(m_Name, m_Previous) : qunsetenv(m_Name); }

private:
    const char* m_Name;
    QByteArray m_Previous;
    bool m_WasSet;
};

TEST(InstalledProgram, FilesLiveInTheUserDataFolderAndASecondStartFindsThem) {
    if (!cUnprivileged::Possible()) {
        GTEST_SKIP() << "permissions cannot be met here";
    }
    cProgramFolder folder;
    OpenToEveryone(folder.Below(""));
    ASSERT_EQ(::chmod(folder.Path().c_str(), 0555), 0);
    folder.MakeFolder("home");
    const std::string home = folder.Below("home");
    const std::string song = folder.AddMp3("home/Songs/Artist - Song.mp3");
    // The music folder is a link that leads nowhere: the first folder is then home.
    ASSERT_EQ(::symlink(folder.Below("unplugged/Music").c_str(), (home + "/Music").c_str()), 0);
    const cEnvironmentValue homeValue("HOME", home);
    const cEnvironmentValue configValue("XDG_CONFIG_HOME", home + "/.config");
    const std::string dataHome = folder.Below("data");

    const auto choose = [&] {
        const cUnprivileged nobody; // so that the program folder is as closed as for a user
        return ChooseDataFolder(folder.Path(), dataHome, home);
    };
    const std::string dataFolder = dataHome + "/tunaria/";
    cRecordingDesktop desktop;
    {
        const cProgramFiles files = LocateProgramFiles(choose());
        EXPECT_EQ(files.DataFolder, dataFolder);
        EXPECT_EQ(files.DefaultFolder, home + "/");
        auto window = StartWindow(files, desktop);
        ASSERT_FALSE(window->StartupFailed());
        EXPECT_EQ(window->SelectedFolderPath(), home + "/");
        // One copy of the program at a time, also here: the catalogue there is held.
        const int other = ::open((dataFolder + "DB.txt").c_str(), O_RDWR | O_CLOEXEC);
        EXPECT_NE(::flock(other, LOCK_EX | LOCK_NB), 0);
        ::close(other);

        SelectFolder(*window, home + "/Songs");
        ASSERT_EQ(SongModel(*window)->rowCount(), 1);
        cGroupList groups = window->GroupList();
        groups.Add("Rock");
        SaveGroupList(groups, window->GroupFilePath());
        window->close();
    }
    for (const char* name : {"DB.txt", "Options.ini", "Groups.txt"}) {
        EXPECT_TRUE(PathExists(dataFolder + name)) << name;
        EXPECT_FALSE(folder.Exists(name)) << name;
    }

    const cProgramFiles again = LocateProgramFiles(choose());
    auto window = StartWindow(again, desktop);
    EXPECT_EQ(window->SelectedFolderPath(), home + "/Songs/");
    ASSERT_EQ(SongModel(*window)->rowCount(), 1);
    EXPECT_EQ(SongModel(*window)->Songs()[0]->FileName(), song);
    EXPECT_EQ(window->GroupList().Names(), std::vector<std::string>{"Rock"});
    EXPECT_TRUE(desktop.Messages.isEmpty()) << desktop.Messages.join("|").toStdString();
    window->close();
    ::chmod(folder.Path().c_str(), 0755);
}

} // namespace

namespace {

// A program in a folder of its own, started for the first time: the tree opens the user's music
// folder (XDG_MUSIC_DIR of user-dirs.dirs, else ~/Music) when there is one, else the program
// folder.
TEST(ProgramInItsOwnFolder, FirstStartOpensTheMusicFolderWhenThereIsOne) {
    cProgramFolder folder;
    folder.MakeFolder("home/.config");
    const std::string home = folder.Below("home");
    const cEnvironmentValue homeValue("HOME", home);
    const cEnvironmentValue configValue("XDG_CONFIG_HOME", home + "/.config");
    struct cMusicCase {
        const char* userDirs;   ///< user-dirs.dirs, or none
        const char* makeFolder; ///< below home, or none
        std::string opened;
    };
    const cMusicCase cases[] = {
        {nullptr, nullptr, folder.Path()},                              // no music folder
        {nullptr, "Music", home + "/Music/"},                           // ~/Music
        {"XDG_MUSIC_DIR=\"$HOME/Tunes\"\n", "Tunes", home + "/Tunes/"}, // the user's choice
        {"XDG_MUSIC_DIR=\"$HOME/Gone\"\n", nullptr, folder.Path()},     // named, not there
    };
    cRecordingDesktop desktop;
    for (const cMusicCase& music : cases) {
        std::filesystem::remove_all(home + "/Music");
        std::filesystem::remove(home + "/.config/user-dirs.dirs");
        if (music.userDirs != nullptr) {
            std::ofstream(home + "/.config/user-dirs.dirs") << music.userDirs;
        }
        if (music.makeFolder != nullptr) {
            folder.MakeFolder(std::string("home/") + music.makeFolder);
        }
        const cProgramFiles files = LocateProgramFiles(ChooseDataFolder(folder.Path(), "", home));
        EXPECT_EQ(files.DataFolder, folder.Path());
        EXPECT_EQ(files.DefaultFolder, music.opened) << (music.userDirs ? music.userDirs : "");
    }
    // The window opens it when Options.ini names no folder yet.
    std::ofstream(home + "/.config/user-dirs.dirs") << cases[2].userDirs;
    const cProgramFiles files = LocateProgramFiles(ChooseDataFolder(folder.Path(), "", home));
    auto window = StartWindow(files, desktop);
    EXPECT_EQ(window->SelectedFolderPath(), home + "/Tunes/");
    window->close();
    EXPECT_TRUE(desktop.Messages.isEmpty()) << desktop.Messages.join("|").toStdString();
}

} // namespace
