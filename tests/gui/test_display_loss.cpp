// The program, started for real on a display of its own that is then taken away: it ends, and
// the settings it kept in memory are written first. Needs Xvfb; skipped where there is none.

#include <gtest/gtest.h>

#include <QProcess>
#include <QRadioButton>
#include <QToolButton>
#include <QStandardPaths>
#include <QTest>
#include <filesystem>

#include "catalogue/unitSongUtils.h"
#include "search/unitFindSong.h"
#include "support/main_window_fixture.h"
#include "util/unitInstanceSocket.h"

namespace {

/// The built program put into the program folder (linked, else copied): its files live beside
/// it.
bool PlaceProgram(const std::string& programFolder) {
    const std::string placed = programFolder + "tunaria";
    std::error_code error;
    std::filesystem::create_hard_link(TUNARIA_PROGRAM, placed, error);
    if (error) {
        std::filesystem::copy_file(TUNARIA_PROGRAM, placed, error);
    }
    return !error;
}

/// A private X display for one test: Xvfb on the first free display number.
class cPrivateDisplay {
public:
    cPrivateDisplay() {
        // -displayfd 1: the display's number comes on standard output once it takes clients.
        m_Server.start(QStringLiteral("Xvfb"), {"-displayfd", "1", "-nolisten", "tcp", "-screen",
                                                 "0", "1024x768x24"});
        if (!m_Server.waitForStarted(10000)) {
            return;
        }
        while (!m_Server.canReadLine() && m_Server.waitForReadyRead(20000)) {
        }
        m_Name = ":" + QString::fromLatin1(m_Server.readLine()).trimmed();
    }
    ~cPrivateDisplay() { TakeAway(); }

    /// ":<number>"; ":" when the server did not start.
    const QString& Name() const { return m_Name; }
    /// The display server ends, and every connection to it breaks.
    void TakeAway() {
        m_Server.kill();
        m_Server.waitForFinished(10000);
    }

private:
    QProcess m_Server;
    QString m_Name = QStringLiteral(":");
};

TEST(DisplayLoss, TheSettingsInMemoryAreWrittenWhenTheDisplayGoesAway) {
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty()) {
        GTEST_SKIP() << "Xvfb is not installed (Debian package xvfb)";
    }
    cProgramFolder folder;
    ASSERT_TRUE(PlaceProgram(folder.Path()));
    folder.AddMp3s("music/", {"Song"});
    folder.MakeFolder("home");
    cPrivateDisplay display;
    ASSERT_NE(display.Name(), ":") << "Xvfb did not start";

    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DISPLAY", display.Name());
    environment.insert("QT_QPA_PLATFORM", "xcb");
    environment.insert("HOME", QString::fromStdString(folder.Below("home")));
    environment.insert("XDG_CONFIG_HOME", QString::fromStdString(folder.Below("home/.config")));
    // What exit() leaves behind is no leak of the program's.
    environment.insert("ASAN_OPTIONS", "detect_leaks=0:abort_on_error=1");
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // The folder of the command line becomes the selected folder, kept in memory till the end.
    program.start(QString::fromStdString(folder.File("tunaria")),
                  {QString::fromStdString(folder.Below("music"))});
    ASSERT_TRUE(program.waitForStarted(10000));
    // The socket for later starts is made once the window is built; then it is shown.
    QTRY_VERIFY_WITH_TIMEOUT(folder.Exists(kInstanceSocketName), 30000);
    QTest::qWait(1000);
    ASSERT_FALSE(folder.Exists("Options.ini")) << "nothing is written before the end";

    display.TakeAway();
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << "the program crashed";
    EXPECT_NE(program.exitCode(), 0);
    ASSERT_TRUE(folder.Exists("Options.ini"));
    EXPECT_NE(folder.ReadFile("Options.ini")
                  .find("\r\nFoldersListPath=" + folder.Below("music/") + "\r\n"),
              std::string::npos)
        << folder.ReadFile("Options.ini");
}

TEST(DisplayLoss, WritingWithoutClosingWritesTheWindowsAndTheSearchWindowsKeys) {
    cRecordingDesktop desktop;
    cProgramFolder folder;
    folder.MakeFolder("music");
    auto window = StartWindow({folder.Path(), folder.Path()}, desktop, folder.Below("music"));
    Control<QToolButton>(*window, "tbToggleFindWindow")->click();
    ASSERT_NE(window->FindWindow(), nullptr);
    window->FindWindow()->findChild<QRadioButton*>("RadInDisplay")->setChecked(true);

    window->WriteSettingsWithoutClosing();
    const std::string written = folder.ReadFile("Options.ini");
    EXPECT_NE(written.find("FoldersListPath=" + folder.Below("music/") + "\r\n"),
              std::string::npos)
        << written;
    EXPECT_NE(written.find("[FindWindow]\r\n"), std::string::npos) << written;
    EXPECT_NE(written.find("LastSelectedRadio=3\r\n"), std::string::npos) << written;

    // Should the program still go on, its close writes them anew and releases the catalogue.
    window->close();
    EXPECT_EQ(MasterSongList, nullptr);
    EXPECT_NE(folder.ReadFile("Options.ini").find("LastSelectedRadio=3\r\n"), std::string::npos);
    EXPECT_TRUE(desktop.Messages.isEmpty()) << desktop.Messages.join("|").toStdString();
}

} // namespace
