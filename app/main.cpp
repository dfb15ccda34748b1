// Program entry: the command line, the folder of the program's files, the application object,
// the main window, the event loop.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "browser/unitApplication.h"
#include "browser/unitCommandLine.h"
#include "browser/unitMain.h"
#include "util/unitDataFolder.h"
#include "util/unitDesktop.h"
#include "util/unitGuiText.h"

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
    // The application object has taken the window system's own options out of the arguments.
    std::vector<std::string> left;
    for (const QString& argument : TApplication::arguments().mid(1)) {
        left.push_back(QStringToPath(argument));
    }
    if (const cCommandLine rest = ReadCommandLine(left); !rest.Unknown.empty()) {
        std::fputs(UnknownArgumentsText(rest.Unknown).c_str(), stderr);
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
    TfrmMain window(files, desktop);
    if (window.StartupFailed()) {
        // The catalogue could not be opened; its message has been shown.
        return 1;
    }
    const cCloseOnTermination closeOnTermination(window);
    window.show();
    return TApplication::exec();
}
