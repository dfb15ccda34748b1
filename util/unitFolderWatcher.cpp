#include "util/unitFolderWatcher.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "util/unitAsciiCase.h"
#include "util/unitUtils.h"

namespace {

/// What makes a file of the folder worth a look: written and closed, moved in (a copy, the
/// trash, a tagger's rename over it), created (a link), or given other times or rights. The
/// folder's own end is watched too.
constexpr uint32_t kWatchedEvents = IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_ATTRIB |
                                    IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_EXCL_UNLINK;
/// The folder itself is gone from where it was watched.
constexpr uint32_t kFolderGone = IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT | IN_IGNORED;

bool IsMp3Name(std::string_view name) {
    constexpr std::string_view kExtension = ".mp3";
    return name.size() >= kExtension.size() &&
           SameTextIgnoringAsciiCase(name.substr(name.size() - kExtension.size()), kExtension);
}

/// Whether the system refused for want of its resources, which the user can raise, rather
/// than because of the folder.
bool IsResourceRefusal(int error) {
    return error == ENOSPC || error == EMFILE || error == ENFILE || error == ENOMEM;
}

} // namespace

TFolderWatcher::TFolderWatcher(QObject* parent) : QObject(parent) {
    m_Delay.setSingleShot(true);
    connect(&m_Delay, &QTimer::timeout, this, &TFolderWatcher::Report);
}

TFolderWatcher::~TFolderWatcher() {
    Release();
}

void TFolderWatcher::Watch(const std::string& folderPath) {
    const std::string folder =
        folderPath.empty() ? std::string() : AddTrailingBackslash(folderPath);
    if (folder == m_Folder && (folder.empty() || m_Watch >= 0)) {
        return;
    }
    Release();
    if (folder.empty()) {
        return;
    }
    m_Inotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_Inotify < 0) {
        const int error = errno;
        emit WatchRefused(QString::fromLocal8Bit(std::strerror(error)));
        return;
    }
    m_Watch = ::inotify_add_watch(m_Inotify, folder.c_str(), kWatchedEvents);
    if (m_Watch < 0) {
        const int error = errno;
        Release();
        if (IsResourceRefusal(error)) {
            emit WatchRefused(QString::fromLocal8Bit(std::strerror(error)));
        }
        return;
    }
    m_Folder = folder;
    m_Notifier = new QSocketNotifier(m_Inotify, QSocketNotifier::Read, this);
    connect(m_Notifier, &QSocketNotifier::activated, this, &TFolderWatcher::ReadNotices);
}

void TFolderWatcher::Release() {
    if (m_Notifier) {
        // Released from its own signal too (the folder went): deleted once that has returned.
        m_Notifier->setEnabled(false);
        m_Notifier->deleteLater();
        m_Notifier = nullptr;
    }
    if (m_Inotify >= 0) {
        ::close(m_Inotify); // removes the watch with it
    }
    m_Inotify = -1;
    m_Watch = -1;
    m_Folder.clear();
    m_Delay.stop();
    m_Names.clear();
    m_AllFiles = false;
}

cWatchedChanges TFolderWatcher::TakeChanges() {
    cWatchedChanges changes;
    changes.AllFiles = m_AllFiles;
    if (!m_AllFiles) {
        changes.Names.assign(m_Names.begin(), m_Names.end());
    }
    m_Names.clear();
    m_AllFiles = false;
    m_Delay.stop();
    return changes;
}

void TFolderWatcher::Postpone() {
    if (m_AllFiles || !m_Names.empty()) {
        m_Delay.start(kBusyDelayMs);
    }
}

void TFolderWatcher::ReadNotices() {
    alignas(inotify_event) char buffer[64 * 1024];
    // Everything the system holds now, so that the notifier does not fire again at once.
    while (m_Inotify >= 0) {
        const ssize_t length = ::read(m_Inotify, buffer, sizeof buffer);
        if (length <= 0) {
            if (length < 0 && errno == EINTR) {
                continue;
            }
            return; // EAGAIN: all read
        }
        for (ssize_t at = 0; at < length && m_Inotify >= 0;) {
            const auto* notice = reinterpret_cast<const inotify_event*>(buffer + at);
            TakeNotice(notice->mask, notice->len > 0 ? notice->name : "");
            at += static_cast<ssize_t>(sizeof(inotify_event) + notice->len);
        }
    }
}

void TFolderWatcher::TakeNotice(uint32_t mask, const char* name) {
    if ((mask & IN_Q_OVERFLOW) != 0) {
        m_AllFiles = true;
        NoteChange();
        return;
    }
    if ((mask & kFolderGone) != 0) {
        // Also a move: the watch would follow the folder to a name the list does not show.
        Release();
        emit FolderGone();
        return;
    }
    const std::string_view fileName(name);
    if (!IsMp3Name(fileName)) {
        return; // the catalogue, a tagger's temporary file, the folder's own rights
    }
    if (!m_AllFiles) {
        m_Names.emplace(fileName);
        if (m_Names.size() > kMostNamesKept) {
            m_Names.clear();
            m_AllFiles = true;
        }
    }
    NoteChange();
}

void TFolderWatcher::NoteChange() {
    if (m_Delay.isActive()) {
        return; // the report already due takes this change too
    }
    const bool busy = m_SinceReport.isValid() && m_SinceReport.elapsed() < kBusyDelayMs;
    m_Delay.start(busy ? kBusyDelayMs : kQuietDelayMs);
}

void TFolderWatcher::Report() {
    if (!m_AllFiles && m_Names.empty()) {
        return;
    }
    m_SinceReport.start();
    emit FilesChanged();
}
