#include "browser/unitApplication.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTimer>
#include <cerrno>
#include <exception>
#include <malloc.h>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>

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
    // XDG_MUSIC_DIR of the user's user-dirs.dirs, else ~/Music.
    const std::string music =
        QStringToPath(QStandardPaths::writableLocation(QStandardPaths::MusicLocation));
    if (choice.BesideProgram) {
        return {choice.Folder, DefaultMusicFolder(music, choice.Folder)};
    }
    CreateDataFolder(choice.Folder);
    return {choice.Folder, DefaultMusicFolder(music, QStringToPath(QDir::homePath()))};
}

namespace {
constexpr int kTerminationSignals[2] = {SIGTERM, SIGHUP};
/// The pipe's write end for the signal handler; -1 while no cCloseOnTermination lives.
volatile std::sig_atomic_t g_TerminationPipe = -1;

void TerminationSignalArrived(int) {
    const int savedErrno = errno; // only async-signal-safe calls here
    const char byte = 1;
    (void)!::write(g_TerminationPipe, &byte, 1);
    errno = savedErrno;
}
} // namespace

cCloseOnTermination::cCloseOnTermination(QWidget& window) : m_Window(&window) {
    if (::pipe2(m_Pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return; // the signals keep their default: the program ends unsaved, as before
    }
    g_TerminationPipe = m_Pipe[1];
    m_Notifier = new QSocketNotifier(m_Pipe[0], QSocketNotifier::Read, this);
    connect(m_Notifier, &QSocketNotifier::activated, this, &cCloseOnTermination::SignalArrived);
    struct sigaction action {};
    action.sa_handler = TerminationSignalArrived;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < 2; ++i) {
        ::sigaction(kTerminationSignals[i], &action, &m_Former[i]);
    }
}

cCloseOnTermination::~cCloseOnTermination() {
    if (m_Notifier == nullptr) {
        return;
    }
    for (size_t i = 0; i < 2; ++i) {
        ::sigaction(kTerminationSignals[i], &m_Former[i], nullptr);
    }
    g_TerminationPipe = -1;
    delete m_Notifier; // before its descriptor closes
    ::close(m_Pipe[0]);
    ::close(m_Pipe[1]);
}

void cCloseOnTermination::SignalArrived() {
    char bytes[16];
    while (::read(m_Pipe[0], bytes, sizeof bytes) > 0) {
    }
    CloseWindow(50);
}

void cCloseOnTermination::CloseWindow(int attemptsLeft) {
    if (!m_Window) {
        return;
    }
    // A menu or a modal dialog runs an event loop of its own: the window closes once that has
    // returned, so that the code waiting on it finishes before the songs are released. One
    // that refuses to close does not keep the program from ending.
    QWidget* open = QApplication::activePopupWidget();
    if (open == nullptr) {
        open = QApplication::activeModalWidget();
    }
    if (open != nullptr && open != m_Window && attemptsLeft > 0) {
        open->close();
        QTimer::singleShot(0, this, [this, attemptsLeft] { CloseWindow(attemptsLeft - 1); });
        return;
    }
    m_Window->close();
}

// ---- Later starts ------------------------------------------------------------------------

namespace {
constexpr int kMessageTimeMs = 2000;
} // namespace

/// One connection of a later start: its bytes are read as they come, and at its end the
/// folder goes to the server's hand-over. It deletes itself when done or out of time.
class TInstanceServer::TIncoming : public QObject {
public:
    TIncoming(cFileHandle connection, const cHandOver& handOver, QObject* parent)
        : QObject(parent), m_Connection(std::move(connection)), m_HandOver(handOver) {
        m_Notifier = new QSocketNotifier(m_Connection.Get(), QSocketNotifier::Read, this);
        connect(m_Notifier, &QSocketNotifier::activated, this, &TIncoming::Readable);
        QTimer::singleShot(kMessageTimeMs, this, [this] { Finish(); });
    }
    ~TIncoming() override {
        delete m_Notifier; // before its descriptor closes
    }

private:
    void Readable() {
        char buffer[4096];
        for (;;) {
            const ssize_t got = ::read(m_Connection.Get(), buffer, sizeof buffer);
            if (got > 0) {
                m_Bytes.append(buffer, static_cast<size_t>(got));
                if (m_Bytes.size() > LongestActivationMessage()) {
                    return Finish();
                }
            } else if (got == 0) {
                return Deliver();
            } else if (errno != EINTR) {
                if (errno != EAGAIN) {
                    Finish();
                }
                return;
            }
        }
    }
    void Deliver() {
        const std::optional<std::string> folder = FolderOfActivationMessage(m_Bytes);
        Finish();
        if (folder) {
            m_HandOver(*folder);
        }
    }
    void Finish() {
        m_Notifier->setEnabled(false);
        deleteLater();
    }

    cFileHandle m_Connection;
    const cHandOver& m_HandOver;
    QSocketNotifier* m_Notifier = nullptr;
    std::string m_Bytes;
};

TInstanceServer::TInstanceServer(const std::string& dataFolder, cHandOver handOver)
    : m_Listener(dataFolder), m_HandOver(std::move(handOver)) {
    m_Notifier = new QSocketNotifier(m_Listener.Descriptor(), QSocketNotifier::Read, this);
    connect(m_Notifier, &QSocketNotifier::activated, this, &TInstanceServer::ConnectionsWaiting);
}

TInstanceServer::~TInstanceServer() {
    delete m_Notifier; // before the listener closes its descriptor
    // Connections still being read go before the hand-over they refer to.
    qDeleteAll(findChildren<TIncoming*>(Qt::FindDirectChildrenOnly));
}

void TInstanceServer::ConnectionsWaiting() {
    for (cFileHandle connection = m_Listener.Accept(); connection.IsOpen();
         connection = m_Listener.Accept()) {
        new TIncoming(std::move(connection), m_HandOver, this);
    }
}

// ---- Settings at an abrupt end -------------------------------------------------------------

namespace {
/// The save of the living cSettingsAtExit; null while there is none.
std::function<void()>* g_SaveAtExit = nullptr;
std::thread::id g_MainThread;

void SaveSettingsAtExit() {
    // Another thread's exit() finds the windows busy on the main thread: nothing is touched.
    if (g_SaveAtExit == nullptr || std::this_thread::get_id() != g_MainThread) {
        return;
    }
    const std::function<void()> save = std::exchange(*g_SaveAtExit, nullptr);
    g_SaveAtExit = nullptr;
    SetMessageSink(nullptr); // to stderr: no message box can be shown now
    try {
        save();
    } catch (const std::exception& error) {
        TraceLog("EXCEPTION: " + std::string(error.what()));
    }
}
} // namespace

cSettingsAtExit::cSettingsAtExit(std::function<void()> save) : m_Save(std::move(save)) {
    // Registered as late as possible: exit() runs the latest registration first, before the
    // objects of the libraries made earlier are destroyed.
    static const bool registered = std::atexit(SaveSettingsAtExit) == 0;
    if (registered) {
        g_MainThread = std::this_thread::get_id();
        g_SaveAtExit = &m_Save;
    }
}

cSettingsAtExit::~cSettingsAtExit() {
    if (g_SaveAtExit == &m_Save) {
        g_SaveAtExit = nullptr;
    }
}
