#pragma once
// The application object: every exception that reaches the event loop is shown to the user,
// and the program goes on with the next event. The desktop's requests to end the program close
// the main window the normal way.

#include <QApplication>
#include <QPointer>
#include <QWidget>
#include <csignal>
#include <functional>
#include <string>
#include <string_view>

#include "util/unitDataFolder.h"
#include "util/unitInstanceSocket.h"

class QSocketNotifier;

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
/// beside the program its files; otherwise the user's data folder, created here when missing.
/// The tree opens first (when the settings name no folder yet) the user's music folder when it
/// exists, else the program folder beside the program and the home folder otherwise. Throws
/// (EFileError or std::runtime_error) with a text for the user when no data folder can be had.
cProgramFiles LocateProgramFiles(const cDataFolderChoice& choice);

/// While it lives, SIGTERM (logout, shutdown) and SIGHUP (a closed terminal) close the window
/// the way the user does, so its settings are saved and the catalogue is closed. A menu or
/// modal dialog that is open is closed first, so that no dialog outlives the songs it works on.
/// The signal only writes to a pipe; the closing happens in the event loop. One at a time; the
/// former handling of both signals comes back at its end.
class cCloseOnTermination : public QObject {
public:
    explicit cCloseOnTermination(QWidget& window);
    ~cCloseOnTermination() override;
    cCloseOnTermination(const cCloseOnTermination&) = delete;
    cCloseOnTermination& operator=(const cCloseOnTermination&) = delete;

private:
    void SignalArrived();
    void CloseWindow(int attemptsLeft);

    QPointer<QWidget> m_Window;
    int m_Pipe[2] = {-1, -1};
    QSocketNotifier* m_Notifier = nullptr;
    struct sigaction m_Former[2]{};
};

/// While it lives, later starts of the program over the same data folder reach this one
/// (util/unitInstanceSocket): each hands over the folder it was started with, empty for none,
/// and handOver receives it in the event loop. A connection that brings no complete message
/// within two seconds is dropped unread.
class TInstanceServer : public QObject {
public:
    using cHandOver = std::function<void(const std::string& folder)>;
    /// Listens at once. Call only while this process holds the data folder's catalogue.
    /// Throws EFileError when the data folder takes no socket.
    TInstanceServer(const std::string& dataFolder, cHandOver handOver);
    ~TInstanceServer() override;
    TInstanceServer(const TInstanceServer&) = delete;
    TInstanceServer& operator=(const TInstanceServer&) = delete;

private:
    class TIncoming;
    void ConnectionsWaiting();

    cInstanceListener m_Listener;
    cHandOver m_HandOver;
    QSocketNotifier* m_Notifier = nullptr;
};

/// While it lives, a program that ends without its window closing still writes the settings:
/// the window system's connection ends the program with exit() when the display is lost, and
/// from there save runs, on the main thread only, with the core's messages going to stderr,
/// as no window can be shown any more. One at a time.
class cSettingsAtExit {
public:
    explicit cSettingsAtExit(std::function<void()> save);
    ~cSettingsAtExit();
    cSettingsAtExit(const cSettingsAtExit&) = delete;
    cSettingsAtExit& operator=(const cSettingsAtExit&) = delete;

private:
    std::function<void()> m_Save;
};
