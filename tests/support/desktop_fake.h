#pragma once
// The desktop of the GUI tests: records what the program asks of the desktop instead of doing
// it, so no test starts a program or waits on a modal window.

#include <QDialog>
#include <QStringList>
#include <functional>

#include "support/copy_observer.h"
#include "util/unitDesktop.h"

class cRecordingDesktop : public cDesktop {
public:
    QStringList Messages;
    QStringList Opened;
    /// The object name of every dialog the program ran, in order.
    QStringList Dialogs;
    /// What the test does with a dialog the program runs: look at it, fill it in, and answer.
    /// Without one the dialog is answered as cancelled, never shown.
    std::function<int(QDialog&)> OnDialog;
    /// Every save dialog asked for, and the answer each gets (cancelled unless set).
    QList<cSaveFileRequest> SaveRequests;
    cSaveFileAnswer SaveAnswer;
    /// The copies' progress: every copy reports here, and its questions are answered here.
    cScriptedCopyObserver Copy;
    int CopiesStarted = 0;
    /// The paths of every drag out, one list per drag.
    QList<QStringList> Drags;

    void OpenDocument(const QString& path) override { Opened << path; }
    void ShowMessage(const QString& text) override { Messages << text; }
    int RunDialog(QDialog& dialog) override {
        Dialogs << dialog.objectName();
        return OnDialog ? OnDialog(dialog) : QDialog::Rejected;
    }
    cSaveFileAnswer ChooseSaveFile(const cSaveFileRequest& request) override {
        SaveRequests << request;
        return SaveAnswer;
    }
    std::unique_ptr<cCopyObserver> OpenCopyProgress() override {
        ++CopiesStarted;
        return std::make_unique<cForwardingCopyObserver>(Copy);
    }
    void DragFiles(QWidget&, const QStringList& paths) override { Drags << paths; }
};
