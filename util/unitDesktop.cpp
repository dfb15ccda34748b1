#include "util/unitDesktop.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QUrl>

#include "util/unitGuiText.h"

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

bool cSystemDesktop::MoveToTrash(const QString& path) {
    // The user's trash lives in the data folder; where that folder is still missing, Qt would
    // build the trash in the current folder instead.
    QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    return QFile::moveToTrash(path);
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
        m_Dialog.setMinimumDuration(kShowAfterMs);
        m_Dialog.setFixedWidth(kWidth);
        m_Clock.start();
    }

    bool Report(const QString& text) override {
        const qint64 now = m_Clock.elapsed();
        if (now - m_LastRefresh >= kRefreshMs) {
            m_LastRefresh = now;
            m_Label->setText(ElidedLines(text));
            if (now >= kShowAfterMs && !m_Dialog.isVisible()) {
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

cDesktopMessageRoute::cDesktopMessageRoute(cDesktop& desktop)
    : m_Previous(SetMessageSink(
          [&desktop](const std::string& text) { desktop.ShowMessage(TextToQString(text)); })) {}

cDesktopMessageRoute::~cDesktopMessageRoute() {
    SetMessageSink(std::move(m_Previous));
}
