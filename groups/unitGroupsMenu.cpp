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

bool TGroupsMenu::IsGroupEntry(const QAction* entry) const {
    // The entries know no owner of their own: their data holds the group's name.
    return entry != nullptr && entry != m_NoGroups.get() && entry->parent() == nullptr &&
           entry->data().typeId() == QMetaType::QByteArray;
}

QList<QAction*> TGroupsMenu::GroupEntries() const {
    if (m_GroupEntriesShown == 0) {
        return {m_NoGroups.get()};
    }
    QList<QAction*> entries;
    entries.reserve(static_cast<qsizetype>(m_GroupEntriesShown));
    for (size_t i = 0; i < m_GroupEntriesShown; ++i) {
        entries.push_back(m_GroupEntries[i].get());
    }
    return entries;
}

void TGroupsMenu::LeaveOnlyFixedFilters() {
    for (QAction* entry : m_Filters->actions()) {
        if (entry != popGroups_AllFiles && entry != popGroups_FilesWithoutGroups) {
            m_Filters->removeAction(entry);
        }
    }
}

void TGroupsMenu::ShowGroupEntries(std::vector<cRunEntry> run, size_t used) {
    SetEntryRun(popGroups_N2, std::move(run), true);
    m_GroupEntriesShown = used;
    // Spare entries beyond a tenth more than now shown are given back.
    const size_t kept = used + used / 10;
    if (m_GroupEntries.size() > kept) {
        m_GroupEntries.resize(kept);
    }
}

void TGroupsMenu::BuildGroupsMenu(const cGroupList& groups, eGroupViewMode groupViewMode,
                                  const std::string& selectedGroup, int barBreakLimit) {
    popGroups_AllFiles->setChecked(groupViewMode == eGroupViewMode::AllGroups);
    popGroups_FilesWithoutGroups->setChecked(groupViewMode == eGroupViewMode::Ungrouped);
    LeaveOnlyFixedFilters();
    if (groups.Empty()) {
        if (!m_NoGroups) {
            m_NoGroups = std::make_unique<QAction>(tr("No groups configured"));
            m_NoGroups->setObjectName(QStringLiteral("popGroups_NoGroups"));
            m_NoGroups->setEnabled(false);
        }
        ShowGroupEntries({{m_NoGroups.get(), false}}, 0);
        return;
    }
    const std::vector<cGroupMenuEntry> entries = GroupMenuEntries(
        groups, groupViewMode == eGroupViewMode::OneGroup, selectedGroup, barBreakLimit);
    while (m_GroupEntries.size() < entries.size()) {
        auto entry = std::make_unique<QAction>();
        entry->setCheckable(true);
        m_GroupEntries.push_back(std::move(entry));
    }
    std::vector<cRunEntry> run;
    run.reserve(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        const std::string& name = groups[entries[i].GroupIndex];
        QAction* item = m_GroupEntries[i].get();
        item->setText(GroupCaption(name));
        item->setData(QByteArray(name.data(), static_cast<qsizetype>(name.size())));
        item->setChecked(false);
        if (entries[i].Checked) {
            // In the radio group before it is checked, so the group clears the others.
            m_Filters->addAction(item);
            item->setChecked(true);
        }
        run.push_back({item, entries[i].StartsColumn});
    }
    ShowGroupEntries(std::move(run), entries.size());
}

void TGroupsMenu::EntryChosen(QAction* entry) {
    // A chosen group entry becomes a member of the radio group before it is triggered: the
    // group then moves the check mark to it and reports it.
    if (IsGroupEntry(entry) && entry->actionGroup() != m_Filters) {
        m_Filters->addAction(entry);
    }
}

bool TGroupsMenu::FilterOfEntry(const QAction* entry, eGroupViewMode& groupViewMode,
                                std::string& group) const {
    if (entry == popGroups_AllFiles) {
        groupViewMode = eGroupViewMode::AllGroups;
    } else if (entry == popGroups_FilesWithoutGroups) {
        groupViewMode = eGroupViewMode::Ungrouped;
    } else if (IsGroupEntry(entry)) {
        groupViewMode = eGroupViewMode::OneGroup;
        group = entry->data().toByteArray().toStdString();
    } else {
        return false;
    }
    return true;
}
