#pragma once
// The state of the song browser without its window: what the list shows (view mode, group
// filter, selected folder, the displayed song list and its order), the most popular song, the
// search-result flag, the visible columns, the frame and folder pane as stored, and every key of
// section "MainWindow" of Options.ini with its default, read by one Load and written by one
// Save. Standard library only: the window and the dialogs read and change it, tests use it
// without a window.

#include <string>
#include <string_view>
#include <vector>

#include "browser/unitSongSorting.h"
#include "catalogue/unitSongsDatabaseClass.h"
#include "groups/unitViewModes.h"

class cGroupList;
class cIniFile;
struct SongCriterion;

/// Captions of the three view-mode menu items, by mode.
inline constexpr std::string_view kViewModeCaptions[3] = {
    "Files in selected folder only", "Selected folder and subfolders", "Entire collection"};
/// The band's text for each view mode.
inline constexpr std::string_view kViewModeBandTexts[3] = {
    "(in this folder only)", "(in this folder, recursively)", "(in the entire collection)"};

/// The main window's frame and folder pane as stored in Options.ini.
struct cWindowLayout {
    int Left = 54;
    int Top = 36;
    int Height = 509;
    int Width = 674;
    int FileBrowserPaneWidth = 153;
    bool ViewAsLargeIcons = false;
    bool FoldersListVisible = true;

    bool operator==(const cWindowLayout&) const = default;
    /// Keeps the frame's size within the desktop's (a window larger than the desktop cannot be
    /// drawn in reasonable time: Width=99999999 would make one of 32,767 pixels). The position
    /// stays as stored, off the screen if it was left there.
    void LimitSize(int desktopWidth, int desktopHeight);
};

/// One column's width under its caption, as section "MainWindow.SongsList" keeps it.
struct cColumnWidth {
    std::string Caption;
    int Width = 0;
};

class cBrowserState {
public:
    eViewMode ViewMode = eViewMode::SelectedFolder;
    eGroupViewMode GroupViewMode = eGroupViewMode::AllGroups;
    std::string SelectedGroup;
    /// The folder selected in the folder tree, with a trailing separator ("/" for the root);
    /// empty when the tree has no selection. Stored as "FoldersListPath".
    std::string SelectedFolder;
    /// The songs now shown, in master-list order; borrowed from the master song list.
    cSongPointersList DisplayedSongs;
    cSongSortOrder SortOrder;
    /// The most opened song of the displayed songs, or null (see unitStatusTexts).
    cSongInfo* MostPopularSong = nullptr;
    /// Group menu items per menu column; at least 1 (a stored value below 1 is read as 1).
    int BarBreakLimit = 24;
    /// Names of the shown columns in display order; never empty after Load.
    std::vector<std::string> VisibleColumns;
    cWindowLayout Layout;

    /// Reads every key of "MainWindow" and the visible columns, each with its default: a
    /// missing file gives a first start's state. Stored modes outside 0..2 give the key's
    /// default; a stored sort position that names no column gives the first column. The
    /// selected folder defaults to defaultFolder (the program folder, or for an installed
    /// program the user's music folder) and always gets a trailing separator.
    void Load(const cIniFile& settings, const std::string& defaultFolder);
    /// A remembered group that the group list no longer holds (compared without regard to
    /// case) lets the filter fall back to all file groups; the name itself is kept.
    void KeepGroupFilterValid(const cGroupList& groups);

    /// Writes every key at close, in this order: "FileBrowserPaneWidth", "FoldersListPath",
    /// "ViewAsLargeIcons", the column widths (section "MainWindow.SongsList"), "SortColumn",
    /// "SortReversed", "FoldersListVisible", section "MainWindow.VisibleColumns" erased and
    /// written anew, "BarBreakLimit", "ViewMode", "LastGroupViewMode", "LastSelGroup", "Left",
    /// "Top", "Height", "Width". All reach the file in one replacement. A value the file cannot
    /// store (a line break in a folder name) is left out, its old value staying, and the rest is
    /// written: the answer lists why each such value was refused (empty when all were written).
    /// Throws EFileError when the file itself cannot be read or replaced; it is then as
    /// before.
    std::vector<std::string> Save(cIniFile& settings,
                                  const std::vector<cColumnWidth>& columnWidths) const;

    /// The conditions that cut the shown songs out of the master song list, group condition
    /// first: OneGroup -> (Groups contains SelectedGroup), Ungrouped -> (Groups is ""); then
    /// SelectedFolder -> (Folder is F), SelectedFolderRecursively -> (Folder begins with F),
    /// where F is the selected folder without its trailing separator ("/" stays "/").
    /// False when the view can show no song at all: a folder mode without a selected folder.
    bool ViewCriteria(std::vector<SongCriterion>& criteria) const;
    /// The query half of populating the list: the displayed songs become the songs of the
    /// master list that meet ViewCriteria (none without a master list). Whether they count as
    /// a search result stays as it was: a new view mode or group filter does not end a search.
    void QueryDisplayedSongs(const cSongPointersList* masterSongList);

    /// Songs joined the master list from slot firstNew on (a folder tree was added): true when
    /// some did and the view shows the selected folder only, which holds none of them, so that
    /// they stay out of sight until the view takes in the subfolders.
    bool NewSongsOutsideSelectedFolder(const cSongPointersList& masterSongList,
                                       int firstNew) const;

    /// Songs that joined the master song list (their drive came back, or they appeared in the
    /// watched folder): those the view shows are appended to the displayed songs, in their
    /// order, and answered. A search result stays as it is.
    std::vector<cSongInfo*> ShowJoinedSongs(const std::vector<cSongInfo*>& joined);

    /// The found songs become the displayed songs, which count as a search result from now on.
    void ShowSearchResult(cSongPointersList found);
    /// A folder was selected: the displayed songs are the view again (QueryDisplayedSongs) and
    /// no longer a search result.
    void ReturnToView(const cSongPointersList* masterSongList);
    /// The displayed songs are a search result rather than the view: set by ShowSearchResult,
    /// cleared by ReturnToView only.
    bool SearchResultShown() const { return m_SearchResultShown; }

    /// The label of the group filter: the group, "Only ungrouped" or "All file groups".
    std::string FilterLabel() const;
    /// The band above the list: " " + filter label + " " + the view mode's band text.
    std::string ActiveGroupCaption() const;
    /// Index of the sort column among the visible columns, as stored at close.
    int SortColumn() const { return SortColumnPosition(VisibleColumns, SortOrder); }

private:
    bool m_SearchResultShown = false;
};
