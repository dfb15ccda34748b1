#include "search/unitFraCriteria.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QToolButton>

#include "util/unitArt.h"

namespace {

constexpr int kFontPixels = 11;
constexpr int kMethodItemsShown = 12;

QComboBox* Chooser(QWidget* parent, const char* name, const auto& itemNames, int shown) {
    auto* chooser = new QComboBox(parent);
    chooser->setObjectName(QLatin1String(name));
    chooser->setEditable(false);
    for (std::string_view item : itemNames) {
        // The items keep their leading blank, as the methods are written.
        chooser->addItem(QString::fromLatin1(item.data(), static_cast<qsizetype>(item.size())));
    }
    chooser->setCurrentIndex(shown);
    chooser->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    return chooser;
}

} // namespace

TfraCriteria::TfraCriteria(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("fraCriteria"));
    QFont small = font();
    small.setPixelSize(kFontPixels);
    setFont(small);

    btnCloseFrame = new QToolButton(this);
    btnCloseFrame->setObjectName(QStringLiteral("btnCloseFrame"));
    btnCloseFrame->setAutoRaise(true);
    btnCloseFrame->setIcon(CloseRowGlyph());
    btnCloseFrame->setIconSize(QSize(10, 10));
    btnCloseFrame->setFixedSize(20, 18);
    // A flat button of the row, clicked with the mouse only, as the keyboard moves between the
    // choosers and the texts.
    btnCloseFrame->setFocusPolicy(Qt::NoFocus);
    btnCloseFrame->setToolTip(tr("Remove this condition"));
    connect(btnCloseFrame, &QToolButton::clicked, this, [this] { emit btnCloseFrameClick(this); });

    cboFields = Chooser(this, "cboFields", kSongFieldNames, kFieldTitle);
    cboSearchMethod = Chooser(this, "cboSearchMethod", kSongOperatorNames, kOpContains);
    cboSearchMethod->setMaxVisibleItems(kMethodItemsShown);

    edtCondition = new QLineEdit(this);
    edtCondition->setObjectName(QStringLiteral("edtCondition"));
    edtCondition->setMinimumWidth(60);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 2, 4, 2);
    layout->setSpacing(4);
    layout->addWidget(btnCloseFrame);
    layout->addWidget(cboFields);
    layout->addWidget(cboSearchMethod);
    layout->addWidget(edtCondition, 1);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

cCriteriaRow TfraCriteria::Row() const {
    return {cboFields->currentIndex(), cboSearchMethod->currentIndex(),
            edtCondition->text().toStdString()};
}
