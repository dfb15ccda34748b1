#include "util/unitDesktop.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDesktopServices>
#include <QDialog>
#include <QDrag>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QSysInfo>
#include <QUrl>
#include <limits>

#include "util/unitGuiText.h"

namespace {

const QString kUriList = QStringLiteral("text/uri-list");

/// A file copy's reports shown in a desktop progress window, its questions asked by the
/// desktop.
class cDesktopCopyProgress final : public cCopyObserver {
public:
    explicit cDesktopCopyProgress(cDesktop& desktop)
        : m_Desktop(desktop), m_Window(desktop.ShowProgress(QObject::tr("Copying"))) {}

    bool CopyProgress(const cCopyStep& step) override {
        // The text is made once per file: a large file reports many times.
        if (step.File != m_ShownFile || step.FileNumber != m_ShownNumber) {
            m_ShownFile = step.File;
            m_ShownNumber = step.FileNumber;
            const QString file = PathToQString(step.File);
            m_Text = step.FileNumber == 0 ? QObject::tr("Looking at \"%1\"").arg(file)
                                          : QObject::tr("Copying \"%1\"\n(file %2 of %3)")
                                                .arg(file)
                                                .arg(step.FileNumber)
                                                .arg(step.FileCount);
        }
        return m_Window->Report(m_Text);
    }

    eReplaceAnswer AskReplace(const std::string& target) override {
        return m_Desktop.AskReplaceFile(PathToQString(target));
    }

private:
    cDesktop& m_Desktop;
    std::unique_ptr<cProgressWindow> m_Window;
    std::string m_ShownFile;
    size_t m_ShownNumber = 0;
    QString m_Text;
};

} // namespace

void cSystemDesktop::OpenDocument(const QString& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void cSystemDesktop::ShowMessage(const QString& text) {
    // Every such message tells of something that failed or cannot be done.
    QMessageBox box(QMessageBox::Warning, QGuiApplication::applicationDisplayName(), text,
                    QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

void cSystemDesktop::ShowInformationBox(const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok,
                    QApplication::activeWindow());
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

void cSystemDesktop::DragFiles(QWidget& source, const std::vector<std::string>& paths) {
    // No picture: the pointer alone shows the drag. Once started, the drag belongs to Qt: on
    // X11 the program that took the drop asks for the files after exec() has returned, and Qt
    // answers from this drag until that exchange is over, then deletes it. Deleting it here
    // would hand that program an empty list; the source, its parent, bounds its life.
    auto* drag = new QDrag(&source);
    drag->setMimeData(DraggedFilesData(paths));
    drag->exec(Qt::CopyAction, Qt::CopyAction);
}

QMimeData* DraggedFilesData(const std::vector<std::string>& paths) {
    // The URLs are made of the paths' own bytes: a name that is no valid UTF-8 reaches the
    // file manager as it lies on the disk.
    QByteArray uris;
    QStringList texts;
    for (const std::string& path : paths) {
        uris += "file://";
        uris += QByteArray::fromRawData(path.data(), static_cast<qsizetype>(path.size()))
                    .toPercentEncoding("/");
        uris += "\r\n";
        texts << PathToQString(path);
    }
    auto* data = new QMimeData;
    data->setData(kUriList, uris);
    data->setText(texts.join(QLatin1Char('\n')));
    return data;
}

std::vector<std::string> DroppedFilePaths(const QMimeData* data) {
    std::vector<std::string> paths;
    if (data == nullptr || !data->hasFormat(kUriList)) {
        return paths;
    }
    // Read as bytes rather than as URLs, which would turn a name that is no valid UTF-8 into
    // another name.
    for (const QByteArray& entry : data->data(kUriList).split('\n')) {
        const QByteArray line = entry.trimmed();
        if (line.size() < 5 || line.startsWith('#') || line.left(5).toLower() != "file:") {
            continue;
        }
        QByteArray path = line.mid(5);
        if (path.startsWith("//")) {
            const qsizetype slash = path.indexOf('/', 2);
            const QByteArray host = path.mid(2, slash - 2).toLower();
            if (slash < 0 || !(host.isEmpty() || host == "localhost" ||
                               host == QSysInfo::machineHostName().toUtf8().toLower())) {
                continue; // a file of another machine
            }
            path = path.mid(slash);
        }
        if (path.startsWith('/')) {
            paths.push_back(QByteArray::fromPercentEncoding(path).toStdString());
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

std::vector<cTrashResult> cSystemDesktop::MoveToTrash(const std::vector<std::string>& paths) {
    return MoveFilesToTrash(paths, TrashUserOfThisProcess());
}

bool cSystemDesktop::AskWarningQuestion(const QString& text) {
    QMessageBox question(QMessageBox::Warning, QGuiApplication::applicationDisplayName(), text,
                         QMessageBox::Yes | QMessageBox::No, QApplication::activeWindow());
    question.setDefaultButton(QMessageBox::No);
    question.setEscapeButton(QMessageBox::No);
    return question.exec() == QMessageBox::Yes;
}

namespace {
/// A progress dialog over the active window: it shows itself when the task has lasted a moment
/// and takes a new text a few times a second, so that reporting costs the task next to nothing.
class cSystemProgressWindow final : public cProgressWindow {
public:
    explicit cSystemProgressWindow(const QString& title)
        : m_Dialog(QString(), QObject::tr("Cancel"), 0, 0, QApplication::activeWindow()),
          m_Label(new QLabel(&m_Dialog)) {
        m_Label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        m_Dialog.setLabel(m_Label);
        m_Dialog.setWindowTitle(title);
        m_Dialog.setWindowModality(Qt::ApplicationModal);
        m_Dialog.setAutoClose(false);
        m_Dialog.setAutoReset(false);
        // Report alone shows the window: the dialog's own timer would bring it up while the
        // task waits on a question, and the later modal window would block the question.
        // (Its timer runs from the value at the minimum; the bar shows a busy indicator.)
        m_Dialog.setValue(0);
        m_Dialog.setMinimumDuration(std::numeric_limits<int>::max());
        m_Dialog.setFixedWidth(kWidth);
        m_Clock.start();
    }

    bool Report(const QString& text) override {
        const qint64 now = m_Clock.elapsed();
        if (now - m_LastRefresh >= kRefreshMs) {
            m_LastRefresh = now;
            m_Label->setText(ElidedLines(text));
            // A cancelled dialog hid itself and stays hidden.
            if (now >= kShowAfterMs && !m_Dialog.isVisible() && !m_Dialog.wasCanceled()) {
                m_Dialog.show();
            }
            QCoreApplication::processEvents();
        }
        return !m_Dialog.wasCanceled();
    }

private:
    static constexpr int kShowAfterMs = 400;
    static constexpr qint64 kRefreshMs = 50;
    static constexpr int kWidth = 460;

    /// Each line cut in the middle to the window's width: a deep folder's path must not make
    /// the window grow past the screen.
    QString ElidedLines(const QString& text) const {
        QStringList lines = text.split(QLatin1Char('\n'));
        const QFontMetrics metrics(m_Label->font());
        for (QString& line : lines) {
            line = metrics.elidedText(line, Qt::ElideMiddle, kWidth - 40);
        }
        return lines.join(QLatin1Char('\n'));
    }

    QProgressDialog m_Dialog;
    QLabel* m_Label; // owned by the dialog
    QElapsedTimer m_Clock;
    qint64 m_LastRefresh = -kRefreshMs;
};
} // namespace

std::unique_ptr<cProgressWindow> cSystemDesktop::ShowProgress(const QString& title) {
    return std::make_unique<cSystemProgressWindow>(title);
}

eReplaceAnswer cSystemDesktop::AskReplaceFile(const QString& path) {
    QMessageBox question(QMessageBox::Question, QGuiApplication::applicationDisplayName(),
                         QObject::tr("\"%1\" exists already.\nReplace it with the file being "
                                     "copied?")
                             .arg(path),
                         QMessageBox::NoButton, QApplication::activeWindow());
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

std::unique_ptr<cCopyObserver> OpenCopyProgress(cDesktop& desktop) {
    return std::make_unique<cDesktopCopyProgress>(desktop);
}

cDesktopMessageRoute::cDesktopMessageRoute(cDesktop& desktop)
    : m_Previous(SetMessageSink(
          [&desktop](const std::string& text) { desktop.ShowMessage(TextToQString(text)); })) {}

cDesktopMessageRoute::~cDesktopMessageRoute() {
    SetMessageSink(std::move(m_Previous));
}

void cSystemDesktop::CopyText(const QString& text) {
    QGuiApplication::clipboard()->setText(text);
}
