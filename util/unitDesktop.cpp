#include "util/unitDesktop.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QMessageBox>
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

cDesktopMessageRoute::cDesktopMessageRoute(cDesktop& desktop)
    : m_Previous(SetMessageSink(
          [&desktop](const std::string& text) { desktop.ShowMessage(TextToQString(text)); })) {}

cDesktopMessageRoute::~cDesktopMessageRoute() {
    SetMessageSink(std::move(m_Previous));
}
