#include "groups/unitAddGroup.h"

#include <QLabel>
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

TfrmAddGroup::TfrmAddGroup(QWidget* parent)
    : QDialog(parent), edtName(new QLineEdit(this)), btnOK(new QPushButton(tr("&OK"), this)),
      btnCancel(new QPushButton(tr("&Cancel"), this)) {
    MakeFixedDialog(*this, QStringLiteral("frmAddGroup"), tr("Add group"), QSize(230, 85));
    auto* label = new QLabel(tr("Name of the new group"), this);
    label->setObjectName(QStringLiteral("lblName"));
    label->setGeometry(8, 8, 214, 16);
    label->setBuddy(edtName);
    edtName->setObjectName(QStringLiteral("edtName"));
    edtName->setGeometry(8, 26, 214, 22);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setGeometry(66, 54, 75, 25);
    btnOK->setDefault(true);
    btnOK->setEnabled(false);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setGeometry(147, 54, 75, 25);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(edtName, &QLineEdit::textChanged, this, &TfrmAddGroup::edtNameChange);
    edtName->setFocus();
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
    name = QStringToText(window.Name());
    if (chosen) {
        groups.Add(name);
        groups.Sort();
    }
    return chosen;
}
