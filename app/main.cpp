// Program entry: the command line, the folder of the program's files, the application object,
// the main window, the hand-over between a later start and the running copy, the event loop.
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "browser/unitApplication.h"
#include "browser/unitCommandLine.h"
#include "browser/unitMain.h"
#include "util/unitDataFolder.h"
#include "util/unitDesktop.h"
#include "util/unitGuiText.h"
#include "util/unitInstanceSocket.h"

namespace {

/// Later starts over the same data folder bring the window to the front. Where the folder
/// takes no socket they cannot; the program works on without, and says so on stderr.
std::unique_ptr<TInstanceServer> ListenForLaterStarts(const std::string& dataFolder,
                                                      TfrmMain& window) {
    try {
        return std::make_unique<TInstanceServer>(
            dataFolder, [&window](const std::string& folder) { window.BringToFront(folder); });
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tunaria: later starts cannot bring this window to the front: %s\n",
                     error.what());
        return nullptr;
    }
}

} // namespace

int main(int argc, char* argv[]) {
    // Help and version are answered before the window system is asked for anything, so they
    // work without a display.
    const cCommandLine command = ReadCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    const std::string programFolder = ExecutableFolder();
    if (command.Help) {
        std::fputs(HelpText(ChooseDataFolder(programFolder)).c_str(), stdout);
        return 0;
    }
    if (command.Version) {
        std::fputs(VersionText().c_str(), stdout);
        return 0;
    }

    TApplication app(argc, argv);
    // The application object has taken the window system's own options out of argv; what is
    // left keeps its bytes (a folder's name need not be valid UTF-8).
    const cCommandLine rest =
        ReadCommandLine(std::vector<std::string>(argv + 1, argv + argc), CurrentFolder());
    if (!rest.Unknown.empty()) {
        std::fputs(UnknownArgumentsText(rest.Unknown).c_str(), stderr);
        return 2;
    }
    if (const std::string problem = rest.Folder.empty() ? "" : FolderArgumentProblem(rest.Folder);
        !problem.empty()) {
        std::fputs(problem.c_str(), stderr);
        return 2;
    }

    cSystemDesktop desktop;
    cProgramFiles files;
    try {
        files = LocateProgramFiles(ChooseDataFolder(programFolder));
    } catch (const std::exception& error) {
        desktop.ShowMessage(TextToQString(
            std::string("Tunaria cannot keep its catalogue and settings. ") + error.what()));
        return 1;
    }
    TfrmMain window(files, desktop, rest.Folder);
    if (window.StartupFailed()) {
        // The catalogue could not be opened, and its message has been shown. Most often a
        // running copy holds it: that one comes to the front, with the folder named here.
        HandToRunningInstance(files.DataFolder, rest.Folder);
        return 1;
    }
    const std::unique_ptr<TInstanceServer> laterStarts =
        ListenForLaterStarts(files.DataFolder, window);
    const cCloseOnTermination closeOnTermination(window);
    const cSettingsAtExit settingsAtExit([&window] { window.WriteSettingsWithoutClosing(); });
    window.show();
    return TApplication::exec();
}
