#pragma once
// The desktop as the windows reach it: opening a document with the program the desktop
// associates with it, message boxes and modal dialogs, the save dialog, progress windows, the
// question before a copied file replaces another, dragging files out to other programs, the
// trash, and the clipboard. Every window and dialog gets one cDesktop by reference and never calls the desktop
// itself, so tests hand in a recording desktop and never start a program or wait on a modal
// window.
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
#include "util/unitTrash.h"

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

/// The progress window of a long task that the user may cancel; it closes when destroyed.
class cProgressWindow {
public:
    virtual ~cProgressWindow() = default;
    /// Shows where the task stands and lets the window react to the user. Answers false once
    /// the user has asked to cancel.
    virtual bool Report(const QString& text) = 0;
};

class cDesktop {
public:
    virtual ~cDesktop() = default;

    /// Opens a file with its associated program, or a folder in the file manager. The result
    /// is not examined: a failure is not reported.
    virtual void OpenDocument(const QString& path) = 0;
    /// A modal message box with the application's title, a warning icon and an OK button,
    /// over the active window: the message of something that failed or cannot be done (every
    /// core message comes here).
    virtual void ShowMessage(const QString& text) = 0;
    /// A modal message box with the given title, an information icon and an OK button, over
    /// the active window: only for news of a success, never for a failure.
    virtual void ShowInformationBox(const QString& title, const QString& text) = 0;
    /// Runs the dialog modally: the rest of the program waits until it closes. Answers the
    /// dialog's result (QDialog::Accepted or QDialog::Rejected).
    virtual int RunDialog(QDialog& dialog) = 0;
    /// A modal save dialog over the active window with the system's title and start folder.
    /// The folder must exist; choosing an existing file asks nothing (the caller decides what
    /// happens to it).
    virtual cSaveFileAnswer ChooseSaveFile(const cSaveFileRequest& request) = 0;
    /// Drags the files (full paths) out of the source control to another program: offered as
    /// a list of file URLs and as plain text, one path per line, for copying only, without a
    /// picture. Returns when the drag ends, dropped or not.
    virtual void DragFiles(QWidget& source, const std::vector<std::string>& paths) = 0;
    /// Moves the files (their paths' own bytes) to the trash of their file systems as the
    /// freedesktop.org trash rules lay it out (MoveFilesToTrash of util/unitTrash), in order;
    /// answers what became of each. Never waits.
    virtual std::vector<cTrashResult> MoveToTrash(const std::vector<std::string>& paths) = 0;
    /// A modal question over the active window with the application's title, a warning icon
    /// and the buttons Yes and No; No is the default and what Esc answers. Answers true only
    /// for Yes.
    virtual bool AskWarningQuestion(const QString& text) = 0;
    /// Opens a progress window with the title and a Cancel button. It appears only when the
    /// task lasts, and while it is open the rest of the program takes no input.
    virtual std::unique_ptr<cProgressWindow> ShowProgress(const QString& title) = 0;
    /// Asks, during a copy, whether the file being copied replaces the file at the path
    /// (Replace, Skip, either for all files, or Cancel the copy).
    virtual eReplaceAnswer AskReplaceFile(const QString& path) = 0;
    /// Puts the text on the desktop's clipboard, for pasting into other programs.
    virtual void CopyText(const QString& text) = 0;
};

/// The desktop of the running session.
class cSystemDesktop final : public cDesktop {
public:
    void OpenDocument(const QString& path) override;
    void ShowMessage(const QString& text) override;
    void ShowInformationBox(const QString& title, const QString& text) override;
    int RunDialog(QDialog& dialog) override;
    cSaveFileAnswer ChooseSaveFile(const cSaveFileRequest& request) override;
    void DragFiles(QWidget& source, const std::vector<std::string>& paths) override;
    std::vector<cTrashResult> MoveToTrash(const std::vector<std::string>& paths) override;
    bool AskWarningQuestion(const QString& text) override;
    std::unique_ptr<cProgressWindow> ShowProgress(const QString& title) override;
    eReplaceAnswer AskReplaceFile(const QString& path) override;
    void CopyText(const QString& text) override;
};

/// The progress of a file copy as the desktop shows it: a progress window "Copying" naming the
/// file being copied, which can cancel the copy, and the desktop's question before a file is
/// replaced. The window is open while the answered object lives.
std::unique_ptr<cCopyObserver> OpenCopyProgress(cDesktop& desktop);

/// The data of files dragged out (full paths), as file managers take it: "text/uri-list" with a
/// file URL per path, made of the path's bytes, and the paths as plain text, one per line. The
/// caller owns it.
QMimeData* DraggedFilesData(const std::vector<std::string>& paths);

/// The local files of dragged data (the file URLs of its "text/uri-list", on this machine) as
/// paths of the bytes the URLs spell, in order; empty when it holds none.
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
