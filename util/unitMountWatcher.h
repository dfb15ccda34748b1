#pragma once
// Watches the system's mount table: the kernel marks /proc/self/mountinfo with POLLPRI and
// POLLERR whenever a file system is mounted or unmounted, so the watch costs nothing while
// nothing changes. A burst of changes (a whole desktop of drives mounted at log-in) is reported
// once it settles, as one list of the mount points that came or went.

#include <QObject>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "util/unitFileHandle.h"
#include "util/unitMountTable.h"

class QSocketNotifier;

class TMountWatcher : public QObject {
    Q_OBJECT
public:
    /// Watches MountTablePath from now on. While mayReport answers false (the program is busy
    /// with the catalogue), changes wait and are reported together once it answers true.
    explicit TMountWatcher(std::function<bool()> mayReport, QObject* parent = nullptr);
    ~TMountWatcher() override;

    /// The kernel tells this watcher of changes (else only CheckNow finds them).
    bool Watching() const { return m_Notifier != nullptr; }
    /// Reads the table now and reports what changed since the last report. A table that
    /// cannot be read is no change.
    void CheckNow();

signals:
    /// File systems were mounted on these folders or unmounted from them (sorted, each once).
    void MountsChanged(const std::vector<std::string>& mountPoints);

private:
    void TableMarked();

    std::function<bool()> m_MayReport;
    cFileHandle m_Table;
    QSocketNotifier* m_Notifier = nullptr;
    QTimer m_Settle;
    std::vector<cMountEntry> m_Known;
};
