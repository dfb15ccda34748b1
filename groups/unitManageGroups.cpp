#include "groups/unitManageGroups.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

#include "groups/unitAddGroup.h"
#include "groups/unitGroupList.h"
#include "groups/unitGroupOperations.h"
#include "util/unitArt.h"
#include "util/unitDesktop.h"
#include "util/unitDialogs.h"
#include "util/unitGuiText.h"
#include "util/unitListViewUtils.h"

namespace {
/// The group name a row stands for, as the group list holds it.
constexpr int kNameRole = Qt::UserRole;

std::string NameOfRow(const QTreeWidgetItem* row) {
    return row->data(0, kNameRole).toByteArray().toStdString();
}
} // namespace

TfrmManageGroups::TfrmManageGroups(cGroupList& groups, cDesktop& desktop, QWidget* parent)
    : QDialog(parent), m_Groups(groups), m_Desktop(desktop) {
    MakeFixedDialog(*this, QStringLiteral("frmManageGroups"), tr("Manage song groups"),
                    QSize(299, 280));
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("imgGroups"));
    picture->setPixmap(SongGroupsPixmap());
    picture->setGeometry(8, 8, 32, 32);
    auto* label = new QLabel(tr("Use this window to configure music groups"), this);
    label->setObjectName(QStringLiteral("lblIntro"));
    label->setWordWrap(true);
    label->setGeometry(48, 8, 243, 32);

    lstGroups = new QTreeWidget(this);
    lstGroups->setObjectName(QStringLiteral("lstGroups"));
    lstGroups->setGeometry(8, 48, 200, 224);
    lstGroups->setColumnCount(1);
    lstGroups->setHeaderHidden(true);
    lstGroups->header()->setStretchLastSection(true);
    lstGroups->setRootIsDecorated(false);
    lstGroups->setItemsExpandable(false);
    lstGroups->setUniformRowHeights(true);
    lstGroups->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lstGroups->setSelectionBehavior(QAbstractItemView::SelectRows);
    // Names cannot be changed, here or anywhere: no row is ever edited in place.
    lstGroups->setEditTriggers(QAbstractItemView::NoEditTriggers);
    KeepSelectionVisible(lstGroups);

    btnAdd = new QPushButton(tr("Add"), this);
    btnAdd->setObjectName(QStringLiteral("btnAdd"));
    btnAdd->setGeometry(216, 48, 75, 25);
    btnAdd->setDefault(true);
    btnDelete = new QPushButton(tr("&Delete"), this);
    btnDelete->setObjectName(QStringLiteral("btnDelete"));
    btnDelete->setGeometry(216, 79, 75, 25);
    btnDelete->setEnabled(false);
    btnClose = new QPushButton(tr("&Close"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setGeometry(216, 247, 75, 25);
    connect(btnAdd, &QPushButton::clicked, this, &TfrmManageGroups::btnAddClick);
    connect(btnDelete, &QPushButton::clicked, this, &TfrmManageGroups::btnDeleteClick);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(lstGroups->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TfrmManageGroups::lstGroupsChange);
    FormCreate();
}

void TfrmManageGroups::FormCreate() {
    m_Deleted = false;
    for (const std::string& name : m_Groups.Names()) {
        AddRow(name);
    }
    SelectListItem(lstGroups, 0, [this] { lstGroupsChange(); });
    lstGroups->setFocus();
}

void TfrmManageGroups::AddRow(const std::string& name) {
    auto* row = new QTreeWidgetItem(lstGroups, {TextToQString(name)});
    row->setData(0, kNameRole, QByteArray(name.data(), static_cast<qsizetype>(name.size())));
    row->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
}

void TfrmManageGroups::lstGroupsChange() {
    btnDelete->setEnabled(lstGroups->selectionModel()->hasSelection());
}

void TfrmManageGroups::btnAddClick() {
    std::string name;
    if (ShowAddGroup(m_Groups, m_Desktop, this, name)) {
        AddRow(name);
    }
}

void TfrmManageGroups::btnDeleteClick() {
    m_Deleted = true;
    int topmost = -1;
    for (int index = lstGroups->topLevelItemCount() - 1; index >= 0; --index) {
        QTreeWidgetItem* row = lstGroups->topLevelItem(index);
        if (!row->isSelected()) {
            continue;
        }
        m_Groups.Delete(NameOfRow(row));
        delete row;
        topmost = index;
    }
    if (topmost < 0) {
        return; // nothing was selected
    }
    const int left = lstGroups->topLevelItemCount();
    SelectListItem(lstGroups, std::min(topmost, left - 1), [this] { lstGroupsChange(); });
    lstGroups->setFocus();
}

void TfrmManageGroups::reject() {
    btnClose->click();
}

void ShowManageGroups(cGroupList& groups, const std::string& groupFilePath,
                      const cSongPointersList& masterSongList, cDesktop& desktop, QWidget* parent) {
    bool deleted = false;
    {
        TfrmManageGroups window(groups, desktop, parent);
        desktop.RunDialog(window);
        deleted = window.GroupsDeleted();
    }
    if (deleted) {
        // A failure has been shown; every song keeps its names, as the catalogue does.
        PurgeDeletedGroups(groups, masterSongList);
    }
    StoreGroupList(groups, groupFilePath);
}
