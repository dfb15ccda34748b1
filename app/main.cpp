// Program entry: the application object, the main window, the event loop.
#include "browser/unitApplication.h"
#include "browser/unitMain.h"
#include "util/unitDesktop.h"

int main(int argc, char* argv[]) {
    TApplication app(argc, argv);
    cSystemDesktop desktop;
    TfrmMain window(ProgramFolderOfExecutable(), desktop);
    if (window.StartupFailed()) {
        // The catalogue could not be opened; its message has been shown.
        return 1;
    }
    const cCloseOnTermination closeOnTermination(window);
    window.show();
    return TApplication::exec();
}
