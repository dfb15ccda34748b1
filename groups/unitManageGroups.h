#pragma once
// The "Manage song groups" window: lists the group list, adds names through the add window and
// deletes names. Songs are not touched while it is open; ShowManageGroups purges the deleted
// groups from the songs after it has closed.

#include <QDialog>
#include <string>

class QPushButton;
class QTreeWidget;
class cDesktop;
class cGroupList;
class cSongPointersList;

/// A fixed box, centred on the screen, with only the close button in its frame; made for one
/// use and run through the desktop. Every addition and deletion changes the group list at
/// once and stands however the window is closed.
class TfrmManageGroups : public QDialog {
    Q_OBJECT
public:
    TfrmManageGroups(cGroupList& groups, cDesktop& desktop, QWidget* parent = nullptr);

    /// A deletion was made in this window.
    bool GroupsDeleted() const { return m_Deleted; }

    /// Runs the add window; a name added there gets a row at the end of the list (the rows are
    /// not sorted anew, the group list is).
    void btnAddClick();
    /// Deletes every selected row's group (the first name equal to it apart from letter case),
    /// from the last row to the first, then selects the row where the topmost deleted one was
    /// (or the last row) and gives the list the focus.
    void btnDeleteClick();

protected:
    /// Esc and the frame's close button close the window as "&Close" does.
    void reject() override;

private:
    void FormCreate();
    /// "&Delete" is enabled exactly while a row is selected.
    void lstGroupsChange();
    void AddRow(const std::string& name);

    cGroupList& m_Groups;
    cDesktop& m_Desktop;
    bool m_Deleted = false;

    QTreeWidget* lstGroups;
    QPushButton* btnAdd;
    QPushButton* btnDelete;
    QPushButton* btnClose;
};

/// Runs the management window; when a group was deleted in it, purges the deleted groups from
/// every song of the master song list (PurgeDeletedGroups); then writes the group list to the
/// group file (a failure is shown, the list in memory is kept). The window's caller then fills
/// the song list and rebuilds the groups menu.
void ShowManageGroups(cGroupList& groups, const std::string& groupFilePath,
                      const cSongPointersList& masterSongList, cDesktop& desktop, QWidget* parent);
