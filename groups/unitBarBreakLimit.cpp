#include "groups/unitBarBreakLimit.h"

#include <QLineEdit>
#include <QPushButton>

#include "util/unitDialogs.h"
#include "util/unitTextUtils.h"

namespace {
constexpr int kDefaultLimit = 24;
}

std::optional<int> BarBreakLimitOfText(const QString& text) {
    return TextToInt32(text.toStdString());
}

TfrmBarBreak::TfrmBarBreak(int barBreakLimit, QWidget* parent) : QDialog(parent) {
    MakeFixedDialog(*this, QStringLiteral("frmBarBreak"), tr("Bar break"), QSize(230, 85));
    const cLineInput input =
        AddLineInput(*this, tr("Maximum items in menu per column:"), QStringLiteral("lblBarBreak"),
                     QStringLiteral("edtBarBreak"));
    edtBarBreak = input.Edit;
    btnOK = input.OK;
    connect(edtBarBreak, &QLineEdit::textChanged, this, &TfrmBarBreak::edtBarBreakChange);
    edtBarBreak->setText(QString::number(barBreakLimit));
    edtBarBreakChange();
    edtBarBreak->selectAll();
}

void TfrmBarBreak::edtBarBreakChange() {
    const std::optional<int> value = BarBreakLimitOfText(edtBarBreak->text());
    btnOK->setEnabled(value && *value > 0);
}

int TfrmBarBreak::BarBreakLimit() const {
    return BarBreakLimitOfText(edtBarBreak->text()).value_or(kDefaultLimit);
}
