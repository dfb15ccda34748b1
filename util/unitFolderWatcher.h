#pragma once
// The watch of the shown folder: the system's change notices (inotify) about the MP3 files in
// one folder, gathered for a moment so that a copy of a thousand files gives a few reports, not
// a thousand. One folder at a time; selecting another releases the old watch. No file is
// polled: nothing costs anything while nothing changes.

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <string>
#include <unordered_set>
#include <vector>

class QSocketNotifier;

/// The MP3 files of the watched folder that changed since the last report.
struct cWatchedChanges {
    std::vector<std::string> Names; ///< file names without the folder, each once
    bool AllFiles = false;          ///< too many notices to keep: any file may have changed
};

class TFolderWatcher : public QObject {
    Q_OBJECT
public:
    /// A report comes this long after the first notice of a quiet folder ...
    static constexpr int kQuietDelayMs = 250;
    /// ... and this long after the first notice that follows a recent report (a copy that
    /// goes on), so a long burst gives a report a second.
    static constexpr int kBusyDelayMs = 1000;
    /// More names than this are not kept one by one: the report says AllFiles instead.
    static constexpr size_t kMostNamesKept = 10'000;

    explicit TFolderWatcher(QObject* parent = nullptr);
    ~TFolderWatcher() override;

    /// Watches the folder (with or without its trailing separator) instead of the one watched
    /// so far, whose notices are dropped; the same folder again changes nothing. Empty: no
    /// folder is watched. A folder that cannot be watched (gone, unreadable) is simply not
    /// watched; a watch the system refuses for want of resources is reported (WatchRefused).
    void Watch(const std::string& folder);
    /// The folder watched (with its trailing separator), or empty.
    const std::string& Folder() const { return m_Folder; }
    /// The changes gathered since the last call, handed over and forgotten.
    cWatchedChanges TakeChanges();
    /// The receiver of FilesChanged cannot take the changes now: they are kept, and reported
    /// again a little later.
    void Postpone();

signals:
    /// MP3 files of the watched folder changed: TakeChanges tells which.
    void FilesChanged();
    /// The watched folder was deleted, moved away or unmounted: its watch is released.
    void FolderGone();
    /// The system refused the watch (too many watches or open files): the reason.
    void WatchRefused(const QString& reason);

private:
    void Release();
    void ReadNotices();
    /// One notice: its name is kept, the watch released when the folder itself went.
    void TakeNotice(uint32_t mask, const char* name);
    void NoteChange();
    void Report();

    std::string m_Folder;
    int m_Inotify = -1;
    int m_Watch = -1;
    QSocketNotifier* m_Notifier = nullptr; ///< a child, deleted later when released
    QTimer m_Delay;
    QElapsedTimer m_SinceReport;
    std::unordered_set<std::string> m_Names;
    bool m_AllFiles = false;
};
