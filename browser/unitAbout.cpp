#include "browser/unitAbout.h"

#include <QLabel>
#include <QPushButton>
#include <algorithm>

#include "util/unitArt.h"
#include "util/unitDialogs.h"
#include "util/unitVersion.h"

namespace {
constexpr int kClientWidth = 263;
constexpr int kClientHeight = 117;
constexpr int kMargin = 8;
constexpr QSize kLogoSize(83, 55);
constexpr int kMinimumButtonWidth = 75;
constexpr int kButtonHeight = 26;
} // namespace

TfrmAbout::TfrmAbout(QWidget* parent) : QDialog(parent) {
    auto* logo = new QLabel(this);
    logo->setObjectName(QStringLiteral("imgLogo"));
    logo->setPixmap(AboutLogoPixmap());
    logo->setGeometry(QRect(QPoint(kMargin, kMargin), kLogoSize));

    // The bold line stands beside the logo, level with its middle.
    auto* name = new QLabel(tr("Tunaria v%1").arg(QLatin1String(kProgramVersion)), this);
    name->setObjectName(QStringLiteral("lblName"));
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);
    const int nameLeft = logo->geometry().right() + 1 + kMargin;
    const int nameHeight = name->sizeHint().height();
    name->setGeometry(nameLeft, kMargin + (kLogoSize.height() - nameHeight) / 2,
                      kClientWidth - kMargin - nameLeft, nameHeight);

    // Below both, the text wraps over the width the Close button at the bottom right leaves.
    auto* close = new QPushButton(tr("Close"), this);
    close->setObjectName(QStringLiteral("btnClose"));
    close->setDefault(true);
    close->setAutoDefault(true);
    const int buttonWidth = std::max(kMinimumButtonWidth, close->sizeHint().width());

    auto* text =
        new QLabel(tr("This program browses MP3s and brings world peace free of charge."), this);
    text->setObjectName(QStringLiteral("lblText"));
    text->setWordWrap(true);
    text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    const int textTop = std::max(logo->geometry().bottom(), name->geometry().bottom()) + 1 + 6;
    const int textWidth = kClientWidth - 3 * kMargin - buttonWidth;
    const int textHeight = text->heightForWidth(textWidth);
    text->setGeometry(kMargin, textTop, textWidth, textHeight);

    // A font larger than the box was drawn for makes it taller, never cuts the text.
    const int clientHeight =
        std::max({kClientHeight, textTop + textHeight + kMargin,
                  textTop + kButtonHeight + kMargin});
    close->setGeometry(kClientWidth - kMargin - buttonWidth, clientHeight - kMargin - kButtonHeight,
                       buttonWidth, kButtonHeight);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    MakeFixedDialog(*this, QStringLiteral("frmAbout"), tr("About Tunaria"),
                    QSize(kClientWidth, clientHeight));
}
