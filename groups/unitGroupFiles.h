#pragma once
// The "Group several music files" window: sets the groups of the songs selected in the song
// list. One check box per group; a group that any selected song carries starts checked. On OK
// every selected song gets exactly the checked groups.

#include <QDialog>
#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QPushButton;
class cDesktop;
class cGroupList;
class cSongInfo;

/// A fixed box, centred on the screen, with only the close button in its frame; made for one
/// use and run through the desktop. It only shows and collects the choice; ShowGroupFiles
/// applies it.
class TfrmGroupFiles : public QDialog {
    Q_OBJECT
public:
    /// The title counts the songs; a box per group of the list, checked when one of the songs
    /// carries the group in some letter case.
    TfrmGroupFiles(const cGroupList& groups, const std::vector<cSongInfo*>& songs,
                   QWidget* parent = nullptr);

    /// The names of the checked boxes, in the group list's order.
    std::vector<std::string> CheckedGroups() const;

    /// "&Select all" checks every box, "&Unselect all" unchecks every box.
    void btnSelectAllClick(bool check);
    /// Flips every box.
    void btnInvertSelectionClick();

private:
    QLabel* lblTitle;
    QListWidget* lstGroups;
    QPushButton* btnOK;
    QPushButton* btnCancel;
    QPushButton* btnSelectAll;
    QPushButton* btnUnselectAll;
    QPushButton* btnInvertSelection;
};

/// Runs the window for the selected songs (in list order); on OK every song gets exactly the
/// checked groups, in ascending order, and every one of them is written to the catalogue in one
/// batch, changed or not. Answers whether the songs changed (OK chosen and written); after a
/// failed write (shown once) every song keeps its groups.
bool ShowGroupFiles(const cGroupList& groups, const std::vector<cSongInfo*>& songs,
                    cDesktop& desktop, QWidget* parent);
