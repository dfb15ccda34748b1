#include "util/unitDialogs.h"

#include <QDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

void MakeFixedDialog(QDialog& dialog, const QString& objectName, const QString& caption,
                     QSize clientSize) {
    dialog.setObjectName(objectName);
    dialog.setWindowTitle(caption);
    dialog.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint);
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setFixedSize(clientSize);
    const QWidget* parent = dialog.parentWidget();
    if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        dialog.move(area.center() - QPoint(clientSize.width() / 2, clientSize.height() / 2));
    }
}

void FitLabelText(QLabel& label) {
    QFont font = label.font();
    while (font.pointSizeF() > 6 &&
           QFontMetrics(font).horizontalAdvance(label.text()) > label.contentsRect().width()) {
        font.setPointSizeF(font.pointSizeF() - 0.5);
    }
    label.setFont(font);
}
