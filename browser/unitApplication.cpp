#include "browser/unitApplication.h"

#include <exception>
#include <string>

#include "util/unitArt.h"
#include "util/unitGuiText.h"
#include "util/unitMessages.h"
#include "util/unitUtils.h"
#include "util/unitVersion.h"

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Tunaria"));
    setApplicationDisplayName(QStringLiteral("Tunaria"));
    setApplicationVersion(QLatin1String(kProgramVersion));
    setWindowIcon(ProgramIcon());
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        ApplicationEventsException(error.what());
    } catch (...) {
        ApplicationEventsException("unknown error");
    }
    return false;
}

void ApplicationEventsException(std::string_view errorText) {
    TraceLog("EXCEPTION: " + std::string(errorText));
    ShowErrorMessage("Unhandled exception: ", errorText);
}

std::string ProgramFolderOfExecutable() {
    return AddTrailingBackslash(QStringToPath(QCoreApplication::applicationDirPath()));
}
