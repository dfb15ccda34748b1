#pragma once
// What the benchmarks of windows share: a desktop that waits on nobody (and whose trash keeps
// nothing), and the program's own application object on the offscreen platform around the
// benchmark run.

#include <QDialog>
#include <QFile>
#include <benchmark/benchmark.h>
#include <memory>

#include "browser/unitApplication.h"
#include "util/unitDesktop.h"

/// Messages would wait for a click and dialogs for the user: a benchmark prints the messages,
/// opens nothing and cancels every dialog.
class cPrintingDesktop : public cDesktop {
public:
    void OpenDocument(const QString&) override {}
    void ShowMessage(const QString& text) override { qWarning("%s", qPrintable(text)); }
    void ShowInformationBox(const QString&, const QString&) override {}
    int RunDialog(QDialog&) override { return 0; }
    /// The save dialog answers with this file at once (cancelled while it is empty).
    QString SavePath;
    cSaveFileAnswer ChooseSaveFile(const cSaveFileRequest&) override { return {SavePath, 0}; }
    void DragFiles(QWidget&, const std::vector<std::string>&) override {}
    /// How the bench's trash takes a file: removed (keeping nothing), through Qt's trash, or
    /// through the program's own trash (both into the user's trash folder: a benchmark points
    /// XDG_DATA_HOME at a folder of its own).
    enum class eTrash { kRemove, kQtTrash, kOwnTrash };
    eTrash Trash = eTrash::kRemove;
    std::vector<cTrashResult> MoveToTrash(const std::vector<std::string>& paths) override {
        if (Trash == eTrash::kOwnTrash) {
            return MoveFilesToTrash(paths, TrashUserOfThisProcess());
        }
        std::vector<cTrashResult> results;
        for (const std::string& path : paths) {
            const QString name = QFile::decodeName(QByteArray::fromStdString(path));
            const bool gone =
                Trash == eTrash::kRemove ? QFile::remove(name) : QFile::moveToTrash(name);
            results.push_back(gone ? cTrashResult{} : cTrashResult{eTrashOutcome::kFileStays, "?"});
        }
        return results;
    }
    bool AskWarningQuestion(const QString& text) override {
        qWarning("%s", qPrintable(text));
        return false;
    }
    /// Progress is shown nowhere and never cancelled; a copy replaces nothing.
    std::unique_ptr<cProgressWindow> ShowProgress(const QString&) override {
        return std::make_unique<cUnseenProgress>();
    }
    eReplaceAnswer AskReplaceFile(const QString&) override { return eReplaceAnswer::Skip; }
    void CopyText(const QString&) override {}

private:
    class cUnseenProgress final : public cProgressWindow {
    public:
        bool Report(const QString&) override { return true; }
    };
};

/// The body of main(): the benchmarks run inside the application object.
inline int RunGuiBenchmarks(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
