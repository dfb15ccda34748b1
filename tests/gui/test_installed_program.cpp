// An installed program: its folder cannot be written, so the catalogue, the settings and the
// groups live in the user's data folder, which the first start creates and later starts find.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

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
