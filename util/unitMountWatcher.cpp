#include "util/unitMountWatcher.h"

#include <QSocketNotifier>
#include <fcntl.h>
#include <unistd.h>

namespace {
/// How long a burst of mount changes may go on before it is reported.
constexpr int kSettleMilliseconds = 200;
/// How often a change waits for the program to be free again.
constexpr int kBusyRetryMilliseconds = 1000;
} // namespace

TMountWatcher::TMountWatcher(std::function<bool()> mayReport, QObject* parent)
    : QObject(parent), m_MayReport(std::move(mayReport)),
      m_Table(::open(MountTablePath.c_str(), O_RDONLY | O_CLOEXEC)) {
    setObjectName(QStringLiteral("MountWatcher"));
    m_Known = ParseMountTable(ReadWholeFile(MountTablePath));
    m_Settle.setSingleShot(true);
    connect(&m_Settle, &QTimer::timeout, this, &TMountWatcher::CheckNow);
    if (m_Table.IsOpen()) {
        // The table always reads as readable; a change shows as an exceptional condition
        // (POLLPRI), which is what an exception notifier waits for.
        m_Notifier = new QSocketNotifier(m_Table.Get(), QSocketNotifier::Exception, this);
        connect(m_Notifier, &QSocketNotifier::activated, this, &TMountWatcher::TableMarked);
    }
}

TMountWatcher::~TMountWatcher() {
    delete m_Notifier; // before the descriptor it watches is closed
}

void TMountWatcher::TableMarked() {
    // The kernel's poll clears the mark as it reports it: nothing to read here.
    if (!m_Settle.isActive()) {
        m_Settle.start(kSettleMilliseconds);
    }
}

void TMountWatcher::CheckNow() {
    if (m_MayReport && !m_MayReport()) {
        m_Settle.start(kBusyRetryMilliseconds);
        return;
    }
    const std::string text = ReadWholeFile(MountTablePath);
    if (text.empty()) {
        return;
    }
    std::vector<cMountEntry> now = ParseMountTable(text);
    const std::vector<std::string> changed = ChangedMountPoints(m_Known, now);
    m_Known = std::move(now);
    if (!changed.empty()) {
        emit MountsChanged(changed);
    }
}
