#pragma once
// The groups menu popGroups of the window header's selector: the two filter entries "All file
// groups" and "Only ungrouped", a separator, one radio entry per group (in columns of at most
// the bar-break limit, each new column behind a vertical bar), a separator, and the four
// commands. All filter entries form one radio group: one check mark among them. The window
// connects the filter group and the commands to its handlers.
//
// The group entries are the menu's run of entries (TColumnMenu::SetEntryRun), kept from one
// build to the next and only relabelled, so that a rebuild over 100,000 groups takes a
// fraction of a second. A group entry joins the radio group when it is checked or chosen (a
// radio group takes its members one at a time, each in time proportional to all it holds):
// group entries are chosen through the menu (a click or a key), not by triggering them.

#include <QActionGroup>
#include <memory>
#include <string>
#include <vector>

#include "groups/unitColumnMenu.h"
#include "groups/unitViewModes.h"

class cGroupList;

class TGroupsMenu : public TColumnMenu {
    Q_OBJECT
public:
    explicit TGroupsMenu(QWidget* parent = nullptr);

    /// Checks "All file groups" exactly in AllGroups and "Only ungrouped" exactly in Ungrouped,
    /// and replaces the group entries: one per group in the list's order, captioned with the
    /// name as it is ("&" is no accelerator; a tab shows as a blank), checked when one group is
    /// shown and its name equals selectedGroup letter case included, a new column at every
    /// barBreakLimit-th entry; with no group the one disabled entry "No groups configured".
    void BuildGroupsMenu(const cGroupList& groups, eGroupViewMode groupViewMode,
                         const std::string& selectedGroup, int barBreakLimit);

    /// The filter a filter entry stands for; a group entry gives OneGroup and the group's name
    /// exactly as the group list holds it. False for any other entry.
    bool FilterOfEntry(const QAction* entry, eGroupViewMode& groupViewMode,
                       std::string& group) const;

    /// The radio group of the filter entries: its triggered signal reports a chosen filter.
    QActionGroup* Filters() const { return m_Filters; }
    /// What stands between the two separators: the group entries, or the one disabled entry
    /// "No groups configured".
    QList<QAction*> GroupEntries() const;
    QAction* CreateGroupsPerAlbum() const { return popGroups_CreateGroupsPerAlbum; }
    QAction* CreateGroupsPerArtist() const { return popGroups_CreateGroupsPerArtist; }
    QAction* BarLimit() const { return popGroups_BarLimit; }
    QAction* Manage() const { return popGroups_Manage; }

protected:
    void EntryChosen(QAction* entry) override;

private:
    QAction* AddCommand(const QString& caption, const char* name);
    bool IsGroupEntry(const QAction* entry) const;
    void LeaveOnlyFixedFilters();
    void ShowGroupEntries(std::vector<cRunEntry> run, size_t used);

    QActionGroup* m_Filters;
    /// The group entries of the last build first, then spare ones; none is a child of the menu.
    std::vector<std::unique_ptr<QAction>> m_GroupEntries;
    size_t m_GroupEntriesShown = 0;
    std::unique_ptr<QAction> m_NoGroups;
    QAction* popGroups_AllFiles = nullptr;
    QAction* popGroups_FilesWithoutGroups = nullptr;
    QAction* popGroups_N1 = nullptr;
    QAction* popGroups_N2 = nullptr;
    QAction* popGroups_CreateGroupsPerAlbum = nullptr;
    QAction* popGroups_CreateGroupsPerArtist = nullptr;
    QAction* popGroups_BarLimit = nullptr;
    QAction* popGroups_Manage = nullptr;
};

/// A group name as a menu caption: every "&" doubled (shown as itself, no accelerator) and
/// every tab a blank (a tab would start the shortcut text).
QString GroupCaption(const std::string& name);
