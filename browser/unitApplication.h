#pragma once
// The application object: every exception that reaches the event loop is shown to the user,
// and the program goes on with the next event.

#include <QApplication>
#include <string_view>

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

/// The program folder: the executable's folder with a trailing separator.
std::string ProgramFolderOfExecutable();
