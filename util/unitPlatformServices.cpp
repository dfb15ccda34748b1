#include "util/unitPlatformServices.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>

#include "util/unitGuiText.h"
#include "util/unitMessages.h"

namespace {

cOpenWithHook& OpenWithHook() {
    static cOpenWithHook hook;
    return hook;
}

cMessageBoxHook& MessageBoxHook() {
    static cMessageBoxHook hook;
    return hook;
}

void ShowRealMessageBox(const QString& text) {
    QMessageBox box(QMessageBox::Information, QGuiApplication::applicationDisplayName(), text,
                    QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

} // namespace

void OpenWithAssociatedProgram(const QString& path) {
    if (OpenWithHook()) {
        OpenWithHook()(path);
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

cOpenWithHook SetOpenWithHook(cOpenWithHook hook) {
    return std::exchange(OpenWithHook(), std::move(hook));
}

void ShowMessageBox(const QString& text) {
    if (MessageBoxHook()) {
        MessageBoxHook()(text);
        return;
    }
    ShowRealMessageBox(text);
}

cMessageBoxHook SetMessageBoxHook(cMessageBoxHook hook) {
    return std::exchange(MessageBoxHook(), std::move(hook));
}

void InstallGuiMessageSink() {
    SetMessageSink([](const std::string& text) { ShowMessageBox(TextToQString(text)); });
}
