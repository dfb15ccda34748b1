#include "browser/unitAbout.h"

#include <QLabel>
#include <QPushButton>

#include "util/unitArt.h"
#include "util/unitDialogs.h"
#include "util/unitVersion.h"

namespace {
constexpr int kClientWidth = 263;
constexpr int kClientHeight = 117;
} // namespace

TfrmAbout::TfrmAbout(QWidget* parent) : QDialog(parent) {
    MakeFixedDialog(*this, QStringLiteral("frmAbout"), tr("About Tunaria"),
                    QSize(kClientWidth, kClientHeight));

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
