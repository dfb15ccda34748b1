#pragma once
// The desktop as the windows reach it: opening a document with the program the desktop
// associates with it, message boxes and modal dialogs, the save dialog, the progress and the
// questions of a file copy, and dragging files out to other programs. Every window and dialog gets
// one cDesktop by reference and never calls the desktop itself, so tests hand in a recording
// desktop and never start a program or wait on a modal window.
//
// A new kind of desktop service is one more virtual function here, its real form in
// cSystemDesktop, and its recording form in the tests' fake.

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <string>
#include <vector>

#include "util/unitFileCopy.h"
#include "util/unitMessages.h"

class QDialog;
class QDropEvent;
class QMimeData;
class QWidget;

/// What a save dialog asks for.
struct cSaveFileRequest {
    /// One kind of file the dialog offers: its filter as shown ("Playlists (*.pls)") and the
    /// suffix a name typed without one gets while it is chosen ("pls").
    struct cFileType {
        QString Filter;
        QString DefaultSuffix;
    };
    /// The first is chosen when the dialog opens.
    QList<cFileType> Types;
    /// The file name the dialog proposes (without folder).
    QString ProposedName;
};

/// The file chosen in a save dialog.
struct cSaveFileAnswer {
    /// Empty when the user cancelled.
    QString Path;
    /// The index in cSaveFileRequest::Types of the kind chosen last.
    int Type = 0;
};

class cDesktop {
public:
    virtual ~cDesktop() = default;

    /// Opens a file with its associated program, or a folder in the file manager. The result
    /// is not examined: a failure is not reported.
    virtual void OpenDocument(const QString& path) = 0;
    /// A modal message box with the application's title and an OK button, over the active
    /// window.
    virtual void ShowMessage(const QString& text) = 0;
    /// Runs the dialog modally: the rest of the program waits until it closes. Answers the
    /// dialog's result (QDialog::Accepted or QDialog::Rejected).
    virtual int RunDialog(QDialog& dialog) = 0;
    /// A modal save dialog over the active window with the system's title and start folder.
    /// The folder must exist; choosing an existing file asks nothing (the caller decides what
    /// happens to it).
    virtual cSaveFileAnswer ChooseSaveFile(const cSaveFileRequest& request) = 0;
    /// The progress of one copy of files: a modal progress box that names the file being
    /// copied and can cancel the copy, and the question before a file is replaced. It is shown
    /// while the answered object lives.
    virtual std::unique_ptr<cCopyObserver> OpenCopyProgress() = 0;
    /// Drags the files (full paths) out of the source control to another program: offered as
    /// a list of file URLs and as plain text, one path per line, for copying only, without a
    /// picture. Returns when the drag ends, dropped or not.
    virtual void DragFiles(QWidget& source, const QStringList& paths) = 0;
};

/// The desktop of the running session.
class cSystemDesktop final : public cDesktop {
public:
    void OpenDocument(const QString& path) override;
    void ShowMessage(const QString& text) override;
    int RunDialog(QDialog& dialog) override;
    cSaveFileAnswer ChooseSaveFile(const cSaveFileRequest& request) override;
    std::unique_ptr<cCopyObserver> OpenCopyProgress() override;
    void DragFiles(QWidget& source, const QStringList& paths) override;
};

/// The local files of dragged data (its file URLs) as paths, in order; empty when it holds
/// none.
std::vector<std::string> DroppedFilePaths(const QMimeData* data);

/// Takes a drag over a drop target that copies files: accepted, as a copy, when the data holds
/// files and acceptable is true, else ignored. A drag offered for moving is taken as a copy
/// too (the source then keeps its files); one that allows neither copy nor link is ignored,
/// as a move would let the source delete what was only copied.
void AcceptFileDrop(QDropEvent& event, bool acceptable);

/// While it lives, the core's user messages (ShowMessage of util/unitMessages, also the
/// application's report of unhandled errors) are shown through the desktop; the sink that was
/// installed before comes back afterwards.
class cDesktopMessageRoute {
public:
    explicit cDesktopMessageRoute(cDesktop& desktop);
    ~cDesktopMessageRoute();
    cDesktopMessageRoute(const cDesktopMessageRoute&) = delete;
    cDesktopMessageRoute& operator=(const cDesktopMessageRoute&) = delete;

private:
    cMessageSink m_Previous;
};
