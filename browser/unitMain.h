#pragma once
// The song browser window, a shell around its parts: the header with the folder and
// most-popular labels and the view-mode selector, the folder pane, the song list pane, the
// status bar, the window's keys, and the order of start-up and close. What the list shows is
// the browser state (browser/unitBrowserState); the list itself is TSongListPane.

#include <QMainWindow>
#include <QPointer>
#include <memory>
#include <string>
#include <vector>

#include "browser/unitBrowserState.h"
#include "groups/unitGroupList.h"
#include "util/unitDataFolder.h"
#include "util/unitDesktop.h"

class QAction;
class QKeyEvent;
class QLabel;
class QMenu;
class QSplitter;
class QToolButton;
class QWidget;
class TFolderTree;
class TGroupsMenu;
class TMountWatcher;
class TSongListPane;
class TfraCategoriesList;
class TfrmFindSong;
class cIniFile;
class cSongInfo;

class TfrmMain : public QMainWindow {
    Q_OBJECT
public:
    /// Creates the window with its files in the program folder (DB.txt, Options.ini,
    /// Groups.txt): FormCreate, then LoadSettings. When the catalogue cannot be opened the
    /// message has been shown, StartupFailed() is true and the window must not be shown.
    /// The desktop serves this window and everything it opens; it must outlive the window.
    /// While the window lives, the core's messages are shown through it.
    TfrmMain(const std::string& programFolder, cDesktop& desktop, QWidget* parent = nullptr);
    /// The same with the files in files.DataFolder; the folder tree opens files.DefaultFolder
    /// when the settings name no folder. A start folder (the command line's), when given, is
    /// selected instead of the folder of the settings.
    TfrmMain(const cProgramFiles& files, cDesktop& desktop, const std::string& startFolder = {},
             QWidget* parent = nullptr);
    ~TfrmMain() override;

    bool StartupFailed() const { return m_StartupFailed; }

    /// A later start of the program handed over the folder it was started with (empty:
    /// none): the window comes back from the task bar to the front, and selects the folder,
    /// which is scanned as a click would. While a dialog of the window is open, that dialog
    /// comes to the front and the folder is not taken. Nothing once the window has closed.
    void BringToFront(const std::string& folder);
    /// Writes the settings kept in memory (this window's and the search window's) for a
    /// program that ends without this window closing, as when the display is lost; nothing
    /// once the window has closed. No window is opened or closed; a failure goes to the core's
    /// message sink (which cSettingsAtExit points at stderr, as the display may be gone).
    void WriteSettingsWithoutClosing();

    // What the other windows of the program work on.
    const std::string& ProgramFolder() const { return m_ProgramFolder; }
    const std::string& GroupFilePath() const { return m_GroupFilePath; }
    const cBrowserState& BrowserState() const { return m_State; }
    /// For the windows that change what the list shows (the search puts its result here).
    cBrowserState& BrowserState() { return m_State; }
    /// The group list; empty before the catalogue is open and after close.
    const cGroupList& GroupList() const { return m_GroupList; }
    TSongListPane& SongListPane() const { return *m_Pane; }
    /// The groups menu popGroups.
    TGroupsMenu& GroupsMenu() const { return *popGroups; }
    TFolderTree* FolderTree() const { return lstFolders; }
    /// The search window while it is open, else null.
    TfrmFindSong* FindWindow() const;

    /// The selected folder with a trailing separator ("/" for the root); empty when the tree
    /// has no selection.
    std::string SelectedFolderPath() const;

    /// The group filter changes; the list is not populated anew.
    void SetGroupFilter(eGroupViewMode groupViewMode, const std::string& selectedGroup);
    /// Stores the view mode, checks its menu item and refreshes the filter captions.
    void SetViewMode(eViewMode mode);
    /// Writes the selector caption and the band above the list from the group filter and the
    /// view mode.
    void UpdateFilterCaptions();
    /// Rebuilds the group entries of the groups menu from the group list and marks the filter
    /// in force.
    void BuildGroupsMenu();

    /// The most popular song label (rewritten after every fill).
    void ShowMostPopular();
    /// The status bar text (rewritten after every fill and selection change). A failure is
    /// reported and leaves the previous text. Beside it, only while there are any, how many
    /// songs are offline (kept aside while their folder is out of reach).
    void UpdateStatusBar();
    /// The header labels naming the folder and counting songs and groups.
    void UpdateHeader();

    // Handlers of the controls, also what keys and menus run.
    /// The list's selection (or focus) changed: the status bar and the song commands follow.
    void lstSongsChange();
    /// Opens the most popular song, counts the opening and stores it.
    void lblMostPopularFileClick();
    /// Shows the selected folder in the file manager.
    void lblSelPathClick();
    void lstFoldersChange();
    /// File systems were mounted or unmounted there: songs kept aside whose folder can be
    /// reached again come back, into the list where the view shows them, and the status bar
    /// follows.
    void MountsChanged(const std::vector<std::string>& mountPoints);
    /// Files dropped on a folder of the tree: copied into it, and listed when it is the
    /// selected folder.
    void lstFoldersDrop(const std::vector<std::string>& paths, const QString& folder);
    /// "Add folder and subfolders to the collection": the folder and every folder below it are
    /// scanned with a progress window; what could not be read is told in one message at the
    /// end; then the list is populated anew.
    void popFolders_AddTreeClick(const QString& folder);
    void popViewModes_EntireCollectionClick(QAction* item);
    /// The selector's caption or arrow: the caption turns black, the groups menu opens at the
    /// mouse pointer.
    void fraViewModePanelClick();
    void fraViewModeimgViewModesClick();
    /// A filter entry of the groups menu: the group filter follows it and the list is populated.
    void popGroups_FilesWithoutGroupsClick(QAction* item);
    /// "Create groups per artist" and "Create groups per album" over the rows shown.
    void popGroups_CreateGroupsPerArtistClick(QAction* item);
    /// "Groups per column...": the bar-break window; on OK the menu is rebuilt.
    void popGroups_BarLimitClick();
    /// "&Manage groups...": the management window, then the list and the menu anew.
    void popGroups_ManageClick();
    void tbViewFoldersListClick();
    /// The search toggle: down opens the search window (made when there is none), up closes
    /// it. The button is down exactly while the window exists.
    void tbToggleFindWindowClick();
    /// Shows the About box (header logo, F1).
    void ShowAbout();
    /// Every key pressed anywhere in this window, seen before the focused control; the key is
    /// not consumed, so the control still gets it. Ctrl+F the search toggle, Ctrl+M the
    /// management of groups, F1 About, F4 the folder pane, F5 the groups menu, F6 the view-mode
    /// menu (the function keys only without Shift, Ctrl and Alt).
    void FormKeyDown(const QKeyEvent& key);

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void LoadSettings();
    void FormActivate();
    void FormClose();
    void FormResize();
    void SaveSettings();
    void ReleaseSharedState();

    void CreateControls();
    QWidget* CreateHeader();
    QWidget* CreateFolderPane();
    void CreateMenus();
    void PlaceHeaderControls();
    void ShowFolderPane(bool shown);
    void PlaceSplitter();
    void ApplyStoredFrameSize();
    /// The search window closed: the toggle goes up, and a search result gives way to the view.
    void FindWindowClosed();
    /// Songs that came back from offline join the rows the view shows.
    void ShowRevivedSongs(const std::vector<cSongInfo*>& revived);

    cDesktop& m_Desktop;
    cDesktopMessageRoute m_MessageRoute;

    std::string m_ProgramFolder;
    std::string m_DefaultFolder;
    std::string m_StartFolder;
    std::string m_GroupFilePath;
    std::unique_ptr<cIniFile> m_Settings;
    cGroupList m_GroupList;
    cBrowserState m_State;

    bool m_StartupFailed = false;
    bool m_FolderTreeArmed = false;
    bool m_Activated = false;
    bool m_Closed = false;
    bool m_CatalogueOpen = false;
    /// A folder tree is being added: the window scans nothing of its own meanwhile, and a
    /// close stops the walk and is carried out once the walk has returned.
    bool m_ImportRunning = false;
    bool m_CloseAfterImport = false;

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
    TSongListPane* m_Pane = nullptr;
    QLabel* StatusBarPanel = nullptr;
    QLabel* StatusBarOffline = nullptr;
    QPointer<TfrmFindSong> m_FindWindow;
    TMountWatcher* m_MountWatcher = nullptr;

    QMenu* popViewModes = nullptr;
    TGroupsMenu* popGroups = nullptr;
    QAction* popViewModesItems[3] = {};
};
