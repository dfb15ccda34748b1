#pragma once
// The desktop of the GUI tests: records what the program asks of the desktop instead of doing
// it, so no test starts a program or waits on a modal window.

#include <unistd.h>

#include <QDialog>
#include <QStringList>
#include <deque>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

#include "util/unitDesktop.h"
#include "util/unitGuiText.h"

class cRecordingDesktop : public cDesktop {
public:
    QStringList Messages;
    /// Each information box as its title, a line break and its text.
    QStringList InformationBoxes;
    QStringList Opened;
    /// The object name of every dialog the program ran, in order.
    QStringList Dialogs;
    /// What the test does with a dialog the program runs: look at it, fill it in, and answer.
    /// Without one the dialog is answered as cancelled, never shown.
    std::function<int(QDialog&)> OnDialog;
    /// Every save dialog asked for, and the answer each gets (cancelled unless set).
    QList<cSaveFileRequest> SaveRequests;
    cSaveFileAnswer SaveAnswer;
    /// The paths of every drag out, one list per drag.
    QList<QStringList> Drags;
    /// Every file the program moved to the trash (the path's bytes). The recording trash takes
    /// a file away (removes it, as a real trash takes it out of its folder) unless RefuseTrash
    /// is set, as where no trash can take it (TrashRefusal says why); a file that cannot be
    /// removed stays (kFileStays), one that is not there is gone (kGone).
    std::vector<std::string> Trashed;
    bool RefuseTrash = false;
    std::string TrashRefusal = "no trash on its file system";
    /// Every warning question asked, and the answer each gets (No unless set).
    QStringList WarningQuestions;
    bool AnswerYes = false;

    /// The title of every progress window the program opened, and every text it reported.
    QStringList ProgressTitles;
    QStringList ProgressTexts;
    /// The user presses Cancel once this many texts have been reported (never when negative).
    int CancelProgressAfter = -1;
    /// What else happens while the task reports (the window is closed meanwhile, ...).
    std::function<void()> OnProgress;
    /// The path of every "replace the file?" question, and the answers given in turn (Skip
    /// once they are used up).
    QStringList ReplaceQuestions;
    std::deque<eReplaceAnswer> ReplaceAnswers;
    /// Every text put on the clipboard.
    QStringList Copied;

    void OpenDocument(const QString& path) override { Opened << path; }
    void ShowMessage(const QString& text) override { Messages << text; }
    void ShowInformationBox(const QString& title, const QString& text) override {
        InformationBoxes << title + "\n" + text;
    }
    int RunDialog(QDialog& dialog) override {
        Dialogs << dialog.objectName();
        return OnDialog ? OnDialog(dialog) : QDialog::Rejected;
    }
    cSaveFileAnswer ChooseSaveFile(const cSaveFileRequest& request) override {
        SaveRequests << request;
        return SaveAnswer;
    }
    void DragFiles(QWidget&, const std::vector<std::string>& paths) override {
        QStringList shown;
        for (const std::string& path : paths) {
            shown << PathToQString(path);
        }
        Drags << shown;
    }
    std::vector<cTrashResult> MoveToTrash(const std::vector<std::string>& paths) override {
        std::vector<cTrashResult> results;
        for (const std::string& path : paths) {
            results.push_back(MoveOneToTrash(path));
        }
        return results;
    }
    bool AskWarningQuestion(const QString& text) override {
        WarningQuestions << text;
        return AnswerYes;
    }
    std::unique_ptr<cProgressWindow> ShowProgress(const QString& title) override {
        ProgressTitles << title;
        return std::make_unique<cRecordedProgress>(*this);
    }
    eReplaceAnswer AskReplaceFile(const QString& path) override {
        ReplaceQuestions << path;
        if (ReplaceAnswers.empty()) {
            return eReplaceAnswer::Skip;
        }
        const eReplaceAnswer answer = ReplaceAnswers.front();
        ReplaceAnswers.pop_front();
        return answer;
    }
    void CopyText(const QString& text) override { Copied << text; }

private:
    cTrashResult MoveOneToTrash(const std::string& path) {
        if (RefuseTrash) {
            return {eTrashOutcome::kNoTrash, TrashRefusal};
        }
        if (::unlink(path.c_str()) != 0) {
            const int error = errno;
            return error == ENOENT ? cTrashResult{eTrashOutcome::kGone, {}}
                                   : cTrashResult{eTrashOutcome::kFileStays,
                                                  std::generic_category().message(error)};
        }
        Trashed.push_back(path);
        return {};
    }

    class cRecordedProgress : public cProgressWindow {
    public:
        explicit cRecordedProgress(cRecordingDesktop& desktop) : m_Desktop(desktop) {}
        bool Report(const QString& text) override {
            m_Desktop.ProgressTexts << text;
            if (m_Desktop.OnProgress) {
                m_Desktop.OnProgress();
            }
            return m_Desktop.CancelProgressAfter < 0 ||
                   m_Desktop.ProgressTexts.size() < m_Desktop.CancelProgressAfter;
        }

    private:
        cRecordingDesktop& m_Desktop;
    };
};
