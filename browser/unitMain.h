#pragma once
// The song browser window: start-up, the header, the folder pane, the song list with its view
// modes and view styles, the status bar, and the settings written at close.

#include <QMainWindow>
#include <memory>
#include <string>
#include <vector>

#include "browser/unitSongSorting.h"
#include "catalogue/unitSongsDatabaseClass.h"
#include "util/unitDesktop.h"

class QAbstractItemView;
class QAction;
class QActionGroup;
class QLabel;
class QListView;
class QMenu;
class QSplitter;
class QStackedWidget;
class QToolButton;
class QTreeView;
class QWidget;
class TFolderTree;
class TSongListModel;
class TfraCategoriesList;
class cDesktop;
class cGroupList;
class cIniFile;

class TfrmMain : public QMainWindow {
    Q_OBJECT
public:
    /// Creates the window with its files in the program folder (DB.txt, Options.ini,
    /// Groups.txt): FormCreate, then LoadSettings. When the catalogue cannot be opened the
    /// message has been shown, StartupFailed() is true and the window must not be shown.
    /// The desktop serves this window and everything it opens; it must outlive the window.
    /// While the window lives, the core's messages are shown through it.
    TfrmMain(const std::string& programFolder, cDesktop& desktop, QWidget* parent = nullptr);
    ~TfrmMain() override;

    bool StartupFailed() const { return m_StartupFailed; }

    // State the window keeps for the other windows of the program.
    const std::string& ProgramFolder() const { return m_ProgramFolder; }
    const std::string& GroupFilePath() const { return m_GroupFilePath; }
    cIniFile& Settings() { return *m_Settings; }
    cGroupList& GroupList() { return *m_GroupList; }
    std::vector<std::string>& VisibleColumns() { return m_VisibleColumns; }
    cSongPointersList& DisplayedSongs() { return m_DisplayedSongs; }
    int ViewMode() const { return m_ViewMode; }
    int GroupViewMode() const { return m_GroupViewMode; }
    void SetGroupFilter(int groupViewMode, const std::string& selectedGroup);
    const std::string& SelectedGroup() const { return m_SelectedGroup; }
    int BarBreakLimit() const { return m_BarBreakLimit; }
    /// Index of the sort column among the shown columns (as stored at close), its caption,
    /// and the direction.
    int SortColumn() const { return SortColumnPosition(m_VisibleColumns, m_SortOrder); }
    const std::string& SortColumnCaption() const { return m_SortOrder.Column; }
    bool SortReversed() const { return m_SortOrder.Reversed; }
    cSongInfo* MostPopularSong() const { return m_MostPopularSong; }
    bool SearchResultShown() const { return m_SearchResultShown; }
    bool LargeIconsShown() const;
    bool FoldersListShown() const;
    /// The folder pane's width (also while the pane is hidden).
    int FileBrowserPaneWidth() const;

    TSongListModel* SongListModel() const { return m_Model; }
    QTreeView* SongList() const { return lstSongs; }
    QListView* SongIcons() const { return lstSongsIcons; }
    TFolderTree* FolderTree() const { return lstFolders; }

    /// The selected folder with a trailing separator ("/" for the root); empty when the tree
    /// has no selection.
    std::string SelectedFolderPath() const;

    /// Recomputes the displayed song list from the master song list and fills the list.
    void PopulateSongList();
    /// Rebuilds every row from the displayed song list, selects the first row and rewrites
    /// the most popular song, the status bar and the header.
    void FillSongList();
    /// Adds one row for the song, at its place in the sort order.
    void AddSongItem(cSongInfo* song);
    /// The row's song changed: its texts are shown anew and the row moves to its place in the
    /// sort order (selection and focus move with it).
    void FillListItem(int row);
    /// Recreates the columns from the visible column list, widths from the settings file.
    void BuildColumns();
    /// Stores the current column widths in the settings file.
    void SaveColumnWidths();
    /// Stores the view mode, checks its menu item and refreshes the filter captions.
    void SetViewMode(int mode);
    /// Writes the selector caption and the band above the list from the group filter and the
    /// view mode.
    void UpdateFilterCaptions();

    /// The most popular song label (rewritten after every fill).
    void ShowMostPopular();
    /// The song becomes the most popular song when it qualifies; the label is rewritten only
    /// when the most popular song changed.
    void OfferMostPopular(cSongInfo* song);
    /// The status bar text (rewritten after every fill and selection change). A failure is
    /// reported and leaves the previous text.
    void UpdateStatusBar();
    /// The header labels naming the folder and counting songs and groups.
    void UpdateHeader();
    /// The list's selection (or focus) changed.
    void lstSongsChange();

    /// Changes of many rows: between these two calls FillListItem only shows a row's new texts,
    /// and the list is sorted once when the outermost EndSongListUpdate ends the batch.
    void BeginSongListUpdate();
    void EndSongListUpdate();

    /// The list's order: negative when song a belongs before song b by the sort column and
    /// direction, positive when after, 0 when they have no order.
    int lstSongsCompare(const cSongInfo& a, const cSongInfo& b) const;
    /// A click on the header of the column: the sort column again reverses the order, another
    /// column becomes the sort column, ascending. The list is sorted anew.
    void lstSongsColumnClick(int column);
    /// Sorts every row by the sort column; selection and focus stay on the same songs.
    void SortSongList();
    /// Opens the most popular song, counts the opening and stores it.
    void lblMostPopularFileClick();
    /// Shows the selected folder in the file manager.
    void lblSelPathClick();

    // Handlers of the controls, also what keys and menus run.
    void lstFoldersChange();
    void popViewModes_EntireCollectionClick(QAction* item);
    void fraViewModeimgViewModesClick();
    void tbViewFoldersListClick();
    void tbToggleFindWindowClick();
    void popSongsList_ViewDetailsClick(QAction* item);
    /// Shows the About box (header logo, F1).
    void ShowAbout();

protected:
    /// The status bar line for the current rows and selection.
    virtual std::string ComposeStatusBarText();

    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void LoadSettings();
    void FormActivate();
    void FormClose();
    void SaveSettings();
    void ReleaseSharedState();

    void CreateControls();
    QWidget* CreateHeader();
    QWidget* CreateFolderPane();
    QWidget* CreateListPanel();
    void CreateMenus();
    void CreateKeys();
    void PlaceHeaderControls();
    void ShareAutoSizedColumnWidths();
    int NewColumnWidth(int column) const;
    /// The view now shown: the details view or the large-icon view.
    QAbstractItemView* ShownSongView() const;
    void ShowFolderPane(bool shown);
    void ApplyStoredFrameSize();
    int GroupCount() const;
    bool GroupListHolds(const std::string& name) const;

    cDesktop& m_Desktop;
    cDesktopMessageRoute m_MessageRoute;

    // Shared state.
    std::string m_ProgramFolder;
    std::string m_GroupFilePath;
    std::unique_ptr<cIniFile> m_Settings;
    std::unique_ptr<cGroupList> m_GroupList;
    std::vector<std::string> m_VisibleColumns;
    cSongPointersList m_DisplayedSongs;

    // View state.
    cSongSortOrder m_SortOrder;
    int m_SongListUpdates = 0;  ///< open batches of row changes
    bool m_SortPending = false; ///< a row changed inside the batch
    int m_ViewMode = 0;
    int m_GroupViewMode = 2;
    std::string m_SelectedGroup;
    cSongInfo* m_MostPopularSong = nullptr;
    int64_t m_DisplayedBytes = 0;       ///< size of the displayed songs, summed at each fill
    bool m_DisplayedBytesStale = false; ///< a song changed since: sum again when next needed
    bool m_SearchResultShown = false;
    int m_BarBreakLimit = 24;

    bool m_StartupFailed = false;
    bool m_FolderTreeArmed = false;
    bool m_Activated = false;
    bool m_Closed = false;
    bool m_SharingWidths = false;
    bool m_CatalogueOpen = false;
    int m_PaneWidth = 153;
    QSize m_StoredFrameSize;

    // Controls, named as the program refers to them.
    QWidget* TopPanel = nullptr;
    QLabel* imgLogo = nullptr;
    QLabel* lblSelPath = nullptr;
    QLabel* lblFolderContents = nullptr;
    QLabel* imgMostPopular = nullptr;
    QLabel* lblMostPopularCaption = nullptr;
    QLabel* lblMostPopularFile = nullptr;
    QToolButton* tbToggleFindWindow = nullptr;
    QToolButton* tbViewFoldersList = nullptr;
    QLabel* lblViewMode = nullptr;
    TfraCategoriesList* fraViewMode = nullptr;
    QWidget* imgSeparator = nullptr;
    QSplitter* Splitter = nullptr;
    QWidget* FileBrowserPanel = nullptr;
    TFolderTree* lstFolders = nullptr;
    QWidget* ListPanel = nullptr;
    QLabel* pnlActiveGroup = nullptr;
    QStackedWidget* SongViews = nullptr;
    QTreeView* lstSongs = nullptr;
    QListView* lstSongsIcons = nullptr;
    QLabel* StatusBarPanel = nullptr;
    TSongListModel* m_Model = nullptr;

    QMenu* popSongsList = nullptr;
    QAction* popSongsList_ViewLargeIcons = nullptr;
    QAction* popSongsList_ViewDetails = nullptr;
    QMenu* popViewModes = nullptr;
    QAction* popViewModesItems[3] = {};
};
