#include "groups/unitGroupsMenu.h"

#include <QAction>

#include "groups/unitGroupList.h"
#include "groups/unitGroupOperations.h"
#include "util/unitGuiText.h"

QString GroupCaption(const std::string& name) {
    QString caption = TextToQString(name);
    caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
    caption.replace(QLatin1Char('\t'), QLatin1Char(' '));
    return caption;
}

TGroupsMenu::TGroupsMenu(QWidget* parent) : TColumnMenu(parent), m_Filters(new QActionGroup(this)) {
    setObjectName(QStringLiteral("popGroups"));
    m_Filters->setExclusive(true);
    const auto addFilter = [this](const QString& caption, const char* name) {
        QAction* entry = AddCommand(caption, name);
        entry->setCheckable(true);
        m_Filters->addAction(entry);
        return entry;
    };
    popGroups_AllFiles = addFilter(TextToQString(kAllFileGroupsCaption), "popGroups_AllFiles");
    popGroups_FilesWithoutGroups =
        addFilter(TextToQString(kOnlyUngroupedCaption), "popGroups_FilesWithoutGroups");
    popGroups_AllFiles->setChecked(true);
    popGroups_N1 = AddSeparator();
    popGroups_N1->setObjectName(QStringLiteral("popGroups_N1"));
    popGroups_N2 = AddSeparator();
    popGroups_N2->setObjectName(QStringLiteral("popGroups_N2"));
    popGroups_CreateGroupsPerAlbum =
        AddCommand(tr("Create groups per album"), "popGroups_CreateGroupsPerAlbum");
    popGroups_CreateGroupsPerArtist =
        AddCommand(tr("Create groups per artist"), "popGroups_CreateGroupsPerArtist");
    popGroups_BarLimit = AddCommand(tr("Groups per column..."), "popGroups_BarLimit");
    popGroups_Manage = AddCommand(tr("&Manage groups..."), "popGroups_Manage");
    // Shown in the menu; the window's key handler carries Ctrl+M out.
    popGroups_Manage->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    popGroups_Manage->setShortcutContext(Qt::WidgetShortcut);
}

QAction* TGroupsMenu::AddCommand(const QString& caption, const char* name) {
    auto* entry = new QAction(caption, this);
    entry->setObjectName(QString::fromLatin1(name));
    addAction(entry);
    return entry;
}

void TGroupsMenu::RemoveGroupEntries() {
    const QList<QAction*> entries = actions();
    const qsizetype first = entries.indexOf(popGroups_N1) + 1;
    const qsizetype end = entries.indexOf(popGroups_N2);
    // From the last one: each removal then finds its entry at the end of the list.
    for (qsizetype i = end - 1; i >= first; --i) {
        delete entries[i];
    }
}

void TGroupsMenu::BuildGroupsMenu(const cGroupList& groups, eGroupViewMode groupViewMode,
                                  const std::string& selectedGroup, int barBreakLimit) {
    popGroups_AllFiles->setChecked(groupViewMode == eGroupViewMode::AllGroups);
    popGroups_FilesWithoutGroups->setChecked(groupViewMode == eGroupViewMode::Ungrouped);
    RemoveGroupEntries();
    if (groups.Empty()) {
        auto* none = new QAction(tr("No groups configured"), this);
        none->setObjectName(QStringLiteral("popGroups_NoGroups"));
        none->setEnabled(false);
        insertAction(popGroups_N2, none);
        return;
    }
    const std::vector<cGroupMenuEntry> entries = GroupMenuEntries(
        groups, groupViewMode == eGroupViewMode::OneGroup, selectedGroup, barBreakLimit);
    QList<QAction*> made;
    made.reserve(static_cast<qsizetype>(entries.size()));
    for (const cGroupMenuEntry& entry : entries) {
        const std::string& name = groups[entry.GroupIndex];
        auto* item = new QAction(GroupCaption(name), this);
        item->setCheckable(true);
        item->setData(QByteArray(name.data(), static_cast<qsizetype>(name.size())));
        m_Filters->addAction(item);
        item->setChecked(entry.Checked);
        SetStartsColumn(item, entry.StartsColumn);
        made.push_back(item);
    }
    insertActions(popGroups_N2, made);
}

bool TGroupsMenu::FilterOfEntry(const QAction* entry, eGroupViewMode& groupViewMode,
                                std::string& group) const {
    if (entry == popGroups_AllFiles) {
        groupViewMode = eGroupViewMode::AllGroups;
    } else if (entry == popGroups_FilesWithoutGroups) {
        groupViewMode = eGroupViewMode::Ungrouped;
    } else if (entry && entry->actionGroup() == m_Filters) {
        groupViewMode = eGroupViewMode::OneGroup;
        group = entry->data().toByteArray().toStdString();
    } else {
        return false;
    }
    return true;
}
