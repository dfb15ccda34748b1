#include "browser/unitAbout.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "util/unitArt.h"
#include "util/unitVersion.h"

namespace {
constexpr int kClientWidth = 263;
constexpr int kClientHeight = 117;
} // namespace

TfrmAbout::TfrmAbout(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(tr("About Tunaria"));
    // A fixed-size box with only the close button in its frame: no minimize, maximize or
    // context help.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setWindowModality(Qt::ApplicationModal);
    setFixedSize(kClientWidth, kClientHeight);
    // Centred on the screen.
    if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(kClientWidth / 2, kClientHeight / 2));
    }

    auto* logo = new QLabel(this);
    logo->setObjectName(QStringLiteral("imgLogo"));
    logo->setPixmap(AboutLogoPixmap());
    logo->setGeometry(8, 8, 83, 55);

    auto* name = new QLabel(tr("Tunaria v%1").arg(QLatin1String(kProgramVersion)), this);
    name->setObjectName(QStringLiteral("lblName"));
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);
    name->setGeometry(100, 8, kClientWidth - 108, 22);

    auto* text =
        new QLabel(tr("This program browses MP3s and brings world peace free of charge."), this);
    text->setObjectName(QStringLiteral("lblText"));
    text->setWordWrap(true);
    text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    text->setGeometry(100, 30, kClientWidth - 108, 48);

    auto* close = new QPushButton(tr("Close"), this);
    close->setObjectName(QStringLiteral("btnClose"));
    close->setDefault(true);
    close->setAutoDefault(true);
    const int buttonWidth = std::max(75, close->sizeHint().width());
    close->setGeometry((kClientWidth - buttonWidth) / 2, kClientHeight - 34, buttonWidth, 26);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
}
