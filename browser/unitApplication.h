#pragma once
// The application object: every exception that reaches the event loop is shown to the user,
// and the program goes on with the next event.

#include <QApplication>
#include <string_view>

#include "util/unitDataFolder.h"

class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);

    /// Delivers the event; a std::exception escaping the receiver goes to
    /// ApplicationEventsException and the event counts as not handled.
    bool notify(QObject* receiver, QEvent* event) override;
};

/// An error nobody handled: "EXCEPTION: " + text to the trace, then the message
/// "Unhandled exception: " + the text in single quotes (single quotes inside doubled).
void ApplicationEventsException(std::string_view errorText);

/// The folders the main window starts with, for the data folder chosen by ChooseDataFolder:
/// beside the program its files and the program folder as the first folder of the tree (as a
/// program in a folder of its own works); otherwise the user's data folder, created here when
/// missing, and the user's music folder (else the home folder). Throws (EFileError or
/// std::runtime_error) with a text for the user when no data folder can be had.
cProgramFiles LocateProgramFiles(const cDataFolderChoice& choice);
