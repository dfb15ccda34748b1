#include "groups/unitGroupFiles.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "groups/unitGroupList.h"
#include "groups/unitGroupOperations.h"
#include "util/unitDesktop.h"
#include "util/unitDialogs.h"
#include "util/unitGuiText.h"

namespace {
/// The group name a box stands for, as the group list holds it.
constexpr int kNameRole = Qt::UserRole;
} // namespace

TfrmGroupFiles::TfrmGroupFiles(const cGroupList& groups, const std::vector<cSongInfo*>& songs,
                               QWidget* parent)
    : QDialog(parent) {
    MakeFixedDialog(*this, QStringLiteral("frmGroupFiles"), tr("Group several music files"),
                    QSize(300, 257));
    lblTitle = new QLabel(this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    lblTitle->setGeometry(8, 6, 284, 18);
    lblTitle->setText(
        tr("Affiliate %1 songs with the following groups:").arg(qulonglong(songs.size())));
    FitLabelText(*lblTitle);

    lstGroups = new QListWidget(this);
    lstGroups->setObjectName(QStringLiteral("lstGroups"));
    lstGroups->setGeometry(8, 28, 200, 221);
    lstGroups->setUniformItemSizes(true);
    const cGroupList carried = GroupsOfSongs(songs);
    for (const std::string& name : groups.Names()) {
        auto* box = new QListWidgetItem(TextToQString(name), lstGroups);
        box->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        box->setData(kNameRole, QByteArray(name.data(), static_cast<qsizetype>(name.size())));
        box->setCheckState(carried.Contains(name) ? Qt::Checked : Qt::Unchecked);
    }
    if (lstGroups->count() > 0) {
        lstGroups->setCurrentRow(0);
    }

    const auto button = [this](const QString& caption, const char* name, int top) {
        auto* made = new QPushButton(caption, this);
        made->setObjectName(QString::fromLatin1(name));
        made->setGeometry(216, top, 76, 25);
        return made;
    };
    btnOK = button(tr("&OK"), "btnOK", 28);
    btnCancel = button(tr("&Cancel"), "btnCancel", 59);
    btnSelectAll = button(tr("&Select all"), "btnSelectAll", 162);
    btnUnselectAll = button(tr("&Unselect all"), "btnUnselectAll", 193);
    btnInvertSelection = button(tr("&Invert sel."), "btnInvertSelection", 224);
    btnOK->setDefault(true);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnSelectAll, &QPushButton::clicked, this, [this] { btnSelectAllClick(true); });
    connect(btnUnselectAll, &QPushButton::clicked, this, [this] { btnSelectAllClick(false); });
    connect(btnInvertSelection, &QPushButton::clicked, this,
            &TfrmGroupFiles::btnInvertSelectionClick);
    lstGroups->setFocus();
}

std::vector<std::string> TfrmGroupFiles::CheckedGroups() const {
    std::vector<std::string> names;
    for (int row = 0; row < lstGroups->count(); ++row) {
        const QListWidgetItem* box = lstGroups->item(row);
        if (box->checkState() == Qt::Checked) {
            names.push_back(box->data(kNameRole).toByteArray().toStdString());
        }
    }
    return names;
}

void TfrmGroupFiles::btnSelectAllClick(bool check) {
    for (int row = 0; row < lstGroups->count(); ++row) {
        lstGroups->item(row)->setCheckState(check ? Qt::Checked : Qt::Unchecked);
    }
}

void TfrmGroupFiles::btnInvertSelectionClick() {
    for (int row = 0; row < lstGroups->count(); ++row) {
        QListWidgetItem* box = lstGroups->item(row);
        box->setCheckState(box->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    }
}

bool ShowGroupFiles(const cGroupList& groups, const std::vector<cSongInfo*>& songs,
                    cDesktop& desktop, QWidget* parent) {
    TfrmGroupFiles window(groups, songs, parent);
    if (desktop.RunDialog(window) != QDialog::Accepted) {
        return false;
    }
    return !songs.empty() && AssignGroups(songs, window.CheckedGroups());
}
