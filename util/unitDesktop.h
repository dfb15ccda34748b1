#pragma once
// The desktop as the windows reach it: opening a document with the program the desktop
// associates with it, message boxes, modal dialogs and the trash. Every window and dialog gets one
// cDesktop by reference and never calls the desktop itself, so tests hand in a recording
// desktop and never start a program or wait on a modal window.
//
// A new kind of desktop service is one more virtual function here, its real form in
// cSystemDesktop, and its recording form in the tests' fake.

#include <QString>
#include <memory>

#include "util/unitMessages.h"

class QDialog;

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
    /// A modal message box with the application's title and an OK button, over the active
    /// window.
    virtual void ShowMessage(const QString& text) = 0;
    /// Runs the dialog modally: the rest of the program waits until it closes. Answers the
    /// dialog's result (QDialog::Accepted or QDialog::Rejected).
    virtual int RunDialog(QDialog& dialog) = 0;
    /// Moves the file to the desktop's trash (the freedesktop.org trash of its file system).
    /// Answers whether it did; false also where the file system has no trash.
    virtual bool MoveToTrash(const QString& path) = 0;
    /// Opens a progress window with the title and a Cancel button. It appears only when the
    /// task lasts, and while it is open the rest of the program takes no input.
    virtual std::unique_ptr<cProgressWindow> ShowProgress(const QString& title) = 0;
};

/// The desktop of the running session.
class cSystemDesktop final : public cDesktop {
public:
    void OpenDocument(const QString& path) override;
    void ShowMessage(const QString& text) override;
    int RunDialog(QDialog& dialog) override;
    bool MoveToTrash(const QString& path) override;
    std::unique_ptr<cProgressWindow> ShowProgress(const QString& title) override;
};

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
