#include "util/unitDialogs.h"

#include <QDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
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

cLineInput AddLineInput(QDialog& dialog, const QString& labelText, const QString& labelName,
                        const QString& editName) {
    cLineInput input;
    input.Label = new QLabel(labelText, &dialog);
    input.Label->setObjectName(labelName);
    input.Label->setGeometry(8, 6, 214, 18);
    FitLabelText(*input.Label);
    input.Edit = new QLineEdit(&dialog);
    input.Edit->setObjectName(editName);
    input.Edit->setGeometry(8, 26, 214, 22);
    input.Label->setBuddy(input.Edit);
    input.OK = new QPushButton(QDialog::tr("&OK"), &dialog);
    input.OK->setObjectName(QStringLiteral("btnOK"));
    input.OK->setGeometry(66, 54, 75, 25);
    input.OK->setDefault(true);
    input.OK->setEnabled(false);
    input.Cancel = new QPushButton(QDialog::tr("&Cancel"), &dialog);
    input.Cancel->setObjectName(QStringLiteral("btnCancel"));
    input.Cancel->setGeometry(147, 54, 75, 25);
    QObject::connect(input.OK, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(input.Cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
    input.Edit->setFocus();
    return input;
}
