#include "groups/unitAddGroup.h"

#include <QLineEdit>
#include <QPushButton>

#include "groups/unitGroupList.h"
#include "util/unitDesktop.h"
#include "util/unitDialogs.h"
#include "util/unitGuiText.h"

namespace {
/// Not empty (blanks count) and without a line break, which no group name can hold.
bool CanBeGroupName(const QString& name) {
    return !name.isEmpty() && !name.contains(QLatin1Char('\n')) &&
           !name.contains(QLatin1Char('\r'));
}
} // namespace

TfrmAddGroup::TfrmAddGroup(QWidget* parent) : QDialog(parent) {
    MakeFixedDialog(*this, QStringLiteral("frmAddGroup"), tr("Add group"), QSize(230, 85));
    const cLineInput input = AddLineInput(*this, tr("Name of the new group"),
                                          QStringLiteral("lblName"), QStringLiteral("edtName"));
    edtName = input.Edit;
    btnOK = input.OK;
    connect(edtName, &QLineEdit::textChanged, this, &TfrmAddGroup::edtNameChange);
}

QString TfrmAddGroup::Name() const {
    return edtName->text();
}

void TfrmAddGroup::edtNameChange() {
    btnOK->setEnabled(CanBeGroupName(edtName->text()));
}

bool ShowAddGroup(cGroupList& groups, cDesktop& desktop, QWidget* parent, std::string& name) {
    TfrmAddGroup window(parent);
    const bool chosen =
        desktop.RunDialog(window) == QDialog::Accepted && CanBeGroupName(window.Name());
    name = QStringToGroupName(window.Name());
    if (chosen) {
        groups.Add(name);
        groups.Sort();
    }
    return chosen;
}
