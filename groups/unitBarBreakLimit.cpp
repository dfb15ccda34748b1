#include "groups/unitBarBreakLimit.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "util/unitDialogs.h"

namespace {
constexpr int kDefaultLimit = 24;
}

std::optional<int> BarBreakLimitOfText(const QString& text) {
    bool converted = false;
    const int value = text.toInt(&converted, 10);
    return converted ? std::optional<int>(value) : std::nullopt;
}

TfrmBarBreak::TfrmBarBreak(int barBreakLimit, QWidget* parent)
    : QDialog(parent), edtBarBreak(new QLineEdit(this)), btnOK(new QPushButton(tr("&OK"), this)),
      btnCancel(new QPushButton(tr("&Cancel"), this)) {
    MakeFixedDialog(*this, QStringLiteral("frmBarBreak"), tr("Bar break"), QSize(230, 85));
    auto* label = new QLabel(tr("Maximum items in menu per column:"), this);
    label->setObjectName(QStringLiteral("lblBarBreak"));
    label->setGeometry(8, 6, 214, 18);
    FitLabelText(*label);
    label->setBuddy(edtBarBreak);
    edtBarBreak->setObjectName(QStringLiteral("edtBarBreak"));
    edtBarBreak->setGeometry(8, 26, 214, 22);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setGeometry(66, 54, 75, 25);
    btnOK->setDefault(true);
    btnOK->setEnabled(false);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setGeometry(147, 54, 75, 25);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(edtBarBreak, &QLineEdit::textChanged, this, &TfrmBarBreak::edtBarBreakChange);
    edtBarBreak->setText(QString::number(barBreakLimit));
    edtBarBreakChange();
    edtBarBreak->selectAll();
    edtBarBreak->setFocus();
}

void TfrmBarBreak::edtBarBreakChange() {
    const std::optional<int> value = BarBreakLimitOfText(edtBarBreak->text());
    btnOK->setEnabled(value && *value > 0);
}

int TfrmBarBreak::BarBreakLimit() const {
    return BarBreakLimitOfText(edtBarBreak->text()).value_or(kDefaultLimit);
}
