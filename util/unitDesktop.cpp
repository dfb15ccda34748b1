#include "util/unitDesktop.h"

#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QDialog>
#include <QDrag>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QUrl>

#include "util/unitGuiText.h"

namespace {

/// The copy's progress box, shown once the copy takes longer than a moment, and its question
/// before a file is replaced.
class cCopyProgressBox final : public cCopyObserver {
public:
    cCopyProgressBox() { m_Clock.start(); }

    bool CopyProgress(const cCopyStep& step) override {
        // Made only when the copy lasts: a short one shows nothing, and no box of its own
        // accord comes up over a question.
        if (!m_Box && m_Clock.elapsed() >= kShowAfterMilliseconds) {
            MakeBox();
        }
        if (!m_Box) {
            return true;
        }
        if (step.File != m_ShownFile) {
            m_ShownFile = step.File;
            const QString file = PathToQString(step.File);
            m_Box->setLabelText(step.FileNumber == 0
                                    ? QObject::tr("Looking at \"%1\"").arg(file)
                                    : QObject::tr("Copying \"%1\"\n(file %2 of %3)")
                                          .arg(file)
                                          .arg(step.FileNumber)
                                          .arg(step.FileCount));
        }
        const double share = step.BytesTotal == 0 ? 0.0
                                                  : static_cast<double>(step.BytesDone) /
                                                        static_cast<double>(step.BytesTotal);
        m_Box->setValue(static_cast<int>(share * kSteps));
        QCoreApplication::processEvents(); // the label, and a click on Cancel
        return !m_Box->wasCanceled();
    }

    eReplaceAnswer AskReplace(const std::string& target) override {
        QWidget* over = m_Box ? m_Box.get() : QApplication::activeWindow();
        QMessageBox question(QMessageBox::Question, QGuiApplication::applicationDisplayName(),
                             QObject::tr("\"%1\" exists already.\nReplace it with the file being "
                                         "copied?")
                                 .arg(PathToQString(target)),
                             QMessageBox::NoButton, over);
        question.setObjectName(QStringLiteral("frmReplaceFile"));
        QPushButton* replace = question.addButton(QObject::tr("&Replace"), QMessageBox::YesRole);
        QPushButton* skip = question.addButton(QObject::tr("&Skip"), QMessageBox::NoRole);
        question.addButton(QMessageBox::Cancel);
        question.setDefaultButton(skip);
        auto* forAll = new QCheckBox(QObject::tr("Do the same for &all files"), &question);
        question.setCheckBox(forAll);
        question.exec();
        if (question.clickedButton() == replace) {
            return forAll->isChecked() ? eReplaceAnswer::ReplaceAll : eReplaceAnswer::Replace;
        }
        if (question.clickedButton() == skip) {
            return forAll->isChecked() ? eReplaceAnswer::SkipAll : eReplaceAnswer::Skip;
        }
        return eReplaceAnswer::Cancel;
    }

private:
    static constexpr int kSteps = 1000;
    static constexpr qint64 kShowAfterMilliseconds = 400;

    void MakeBox() {
        m_Box = std::make_unique<QProgressDialog>(QApplication::activeWindow());
        m_Box->setObjectName(QStringLiteral("frmCopyProgress"));
        m_Box->setWindowTitle(QObject::tr("Copying"));
        m_Box->setWindowModality(Qt::ApplicationModal);
        m_Box->setCancelButtonText(QObject::tr("Cancel"));
        m_Box->setAutoReset(false);
        m_Box->setAutoClose(false);
        m_Box->setRange(0, kSteps);
        m_Box->setMinimumWidth(420);
        m_Box->setMinimumDuration(0);
        m_Box->show();
    }

    QElapsedTimer m_Clock;
    std::unique_ptr<QProgressDialog> m_Box;
    std::string m_ShownFile;
};

} // namespace

void cSystemDesktop::OpenDocument(const QString& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void cSystemDesktop::ShowMessage(const QString& text) {
    QMessageBox box(QMessageBox::Information, QGuiApplication::applicationDisplayName(), text,
                    QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

int cSystemDesktop::RunDialog(QDialog& dialog) {
    return dialog.exec();
}

cSaveFileAnswer cSystemDesktop::ChooseSaveFile(const cSaveFileRequest& request) {
    QFileDialog dialog(QApplication::activeWindow());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setSizeGripEnabled(true);
    QStringList filters;
    for (const cSaveFileRequest::cFileType& type : request.Types) {
        filters << type.Filter;
    }
    dialog.setNameFilters(filters);
    if (!request.Types.isEmpty()) {
        dialog.selectNameFilter(filters.first());
        dialog.setDefaultSuffix(request.Types.first().DefaultSuffix);
    }
    // A name typed without a suffix gets the one of the kind chosen.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString& filter) {
        const qsizetype type = filters.indexOf(filter);
        if (type >= 0) {
            dialog.setDefaultSuffix(request.Types[type].DefaultSuffix);
        }
    });
    dialog.selectFile(request.ProposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return {dialog.selectedFiles().constFirst(),
            static_cast<int>(std::max<qsizetype>(0, filters.indexOf(dialog.selectedNameFilter())))};
}

std::unique_ptr<cCopyObserver> cSystemDesktop::OpenCopyProgress() {
    return std::make_unique<cCopyProgressBox>();
}

void cSystemDesktop::DragFiles(QWidget& source, const QStringList& paths) {
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (const QString& path : paths) {
        urls << QUrl::fromLocalFile(path);
    }
    data->setUrls(urls);
    data->setText(paths.join(QLatin1Char('\n')));
    // No picture: the pointer alone shows the drag.
    auto* drag = new QDrag(&source);
    drag->setMimeData(data);
    drag->exec(Qt::CopyAction, Qt::CopyAction);
    drag->deleteLater();
}

std::vector<std::string> DroppedFilePaths(const QMimeData* data) {
    std::vector<std::string> paths;
    if (data == nullptr || !data->hasUrls()) {
        return paths;
    }
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile() && !url.toLocalFile().isEmpty()) {
            paths.push_back(QStringToPath(url.toLocalFile()));
        }
    }
    return paths;
}

void AcceptFileDrop(QDropEvent& event, bool acceptable) {
    const Qt::DropActions offered = event.possibleActions();
    if (!acceptable || DroppedFilePaths(event.mimeData()).empty() ||
        !(offered & (Qt::CopyAction | Qt::LinkAction))) {
        event.ignore();
        return;
    }
    event.setDropAction(offered & Qt::CopyAction ? Qt::CopyAction : Qt::LinkAction);
    event.accept();
}

cDesktopMessageRoute::cDesktopMessageRoute(cDesktop& desktop)
    : m_Previous(SetMessageSink(
          [&desktop](const std::string& text) { desktop.ShowMessage(TextToQString(text)); })) {}

cDesktopMessageRoute::~cDesktopMessageRoute() {
    SetMessageSink(std::move(m_Previous));
}
