#include "browser/unitApplication.h"

#include <QDir>
#include <QStandardPaths>
#include <exception>
#include <malloc.h>
#include <stdexcept>
#include <string>

#include "util/unitArt.h"
#include "util/unitGuiText.h"
#include "util/unitMessages.h"
#include "util/unitUtils.h"
#include "util/unitVersion.h"

namespace {
constexpr int kLargeBlockInHeap = 32 * 1024 * 1024;
constexpr int kFreeHeapKept = 512 * 1024 * 1024;
} // namespace

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    // Filling the list with a large collection makes blocks of tens of megabytes each time
    // (sort keys, row orders, row captions for a million rows). Mapped afresh and handed back
    // to the system at every fill, they cost a page fault per page every time, more than the
    // sorting itself; kept in the heap, the next fill reuses them.
    mallopt(M_MMAP_THRESHOLD, kLargeBlockInHeap);
    mallopt(M_TRIM_THRESHOLD, kFreeHeapKept);
    // Only the name: a display name set on its own would be appended to every window's
    // caption by the X11 platform ("Find songs — Tunaria"), and the captions are exact.
    // Message boxes still read "Tunaria" from applicationDisplayName(), which falls back to it.
    setApplicationName(QStringLiteral("Tunaria"));
    setApplicationVersion(QLatin1String(kProgramVersion));
    // Desktops find the program's icon and name through its desktop entry of this name.
    setDesktopFileName(QStringLiteral("org.tunaria.Tunaria"));
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

cProgramFiles LocateProgramFiles(const cDataFolderChoice& choice) {
    if (choice.Folder.empty()) {
        throw std::runtime_error(choice.Problem);
    }
    if (choice.BesideProgram) {
        return {choice.Folder, choice.Folder};
    }
    CreateDataFolder(choice.Folder);
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    return {choice.Folder,
            DefaultMusicFolder(QStringToPath(music), QStringToPath(QDir::homePath()))};
}
