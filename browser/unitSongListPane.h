#pragma once
// The song list panel of the main window: the grey edge, the band naming the filter, the list
// in its two view styles (details and large icons, over one model and one selection), its
// context menu popSongsList with the list's commands, the keys of the list, the double click,
// dragging songs out as files and copying files dropped on the list into the selected folder.
// The rows are TSongRows, the columns cSongColumnLayout.
//
// The pane works on the browser state and the settings file it is given; the window that holds
// it hears about the pane's changes through its signals and those of its rows.

#include <QWidget>
#include <memory>
#include <span>
#include <string>
#include <vector>

class QAbstractItemView;
class QAction;
class QModelIndex;
class QKeyEvent;
class QLabel;
class QListView;
class QMenu;
class QStackedWidget;
class QString;
class TFolderWatcher;
class QTreeView;
class TSongListPane;
class TSongRows;
class cBrowserState;
class cDesktop;
class cGroupList;
class cIniFile;
class cSongColumnLayout;
class cSongInfo;

/// When a command of the list may run.
enum class eSongCommandEnabled {
    AnySongSelected, ///< at least one song selected
    OneSongSelected, ///< exactly one song selected
    Always,
};

/// What a row of the command table puts into popSongsList.
enum class eSongCommandItem {
    Command,   ///< an item that runs the command
    Default,   ///< the same, as the menu's default item (shown in bold)
    ViewStyle, ///< one of the radio items of the view style
    Separator, ///< a line between items (Name is its object name)
    KeysOnly,  ///< no item: the command runs by its keys alone
};

/// One command of the song list: its item in popSongsList, the shortcut the item shows, the
/// keys that run it while the list has the focus, when it may run, and its handler. The keys
/// run the command through its item, so a disabled command does nothing; with no song selected
/// every key of the table is taken and does nothing.
struct cSongCommand {
    const char* Name;              ///< the item's object name
    const char* Caption = "";      ///< the item's text (untranslated)
    const char* ShortcutText = ""; ///< the shortcut the item shows ("" for none)
    std::vector<int> Keys = {};    ///< Qt::Key values that run the command
    bool NeedsCtrl = false;        ///< the keys count only with Ctrl held
    eSongCommandEnabled Enabled = eSongCommandEnabled::Always;
    void (TSongListPane::*Handler)() = nullptr;
    eSongCommandItem Item = eSongCommandItem::Command;
};

class TSongListPane : public QWidget {
    Q_OBJECT
public:
    /// The state, the settings file and the desktop must outlive the pane.
    TSongListPane(cBrowserState& state, cIniFile& settings, cDesktop& desktop,
                  QWidget* parent = nullptr);
    ~TSongListPane() override;

    /// The commands of the list, in the order of popSongsList.
    static std::span<const cSongCommand> SongCommands();

    /// The group list the group window offers; it must outlive the pane.
    void UseGroupList(const cGroupList& groups) { m_GroupList = &groups; }
    TSongRows& Rows() const { return *m_Rows; }
    cSongColumnLayout& Columns() const { return *m_Columns; }
    /// The view now shown: the details view lstSongs or the large-icon view lstSongsIcons.
    QAbstractItemView* ShownSongView() const;
    /// "&Large icons" (true) or "&Details" (false): that view style is shown and its item
    /// checked; rows, columns and selection stay.
    void SetLargeIcons(bool largeIcons);

    /// Writes the band above the list from the group filter and the view mode.
    void UpdateActiveGroupCaption();
    /// The commands of popSongsList follow the selection, by the command table.
    void UpdateSongCommands();
    /// The status bar line for the current rows and selection.
    std::string StatusBarText();

    /// Files dropped on the list or on a folder: copied into the folder (CopyFilesIntoFolder,
    /// through the desktop's progress and questions); when the folder is the selected one, it
    /// is scanned and the list populated anew, also when nothing had to be copied.
    void CopyFilesIntoFolderAndList(const std::vector<std::string>& paths,
                                    const std::string& folder);
    /// While refused, files dropped on the list or a folder are not taken (a task that holds
    /// the catalogue runs). A copy refuses further drops by itself until it ends.
    void RefuseDrops(bool refused) { m_DropsRefused = refused; }

    /// The folder shown (empty: none) is watched from now on, instead of the one before: new
    /// MP3 files in it join the catalogue and, when the view shows them, the rows; a known
    /// song whose file another program changed is read again. Selection, focus and scroll
    /// position stay. While a dialog or a task has the catalogue, the changes wait for it.
    void WatchFolder(const std::string& folder);

signals:
    /// The most popular song may have changed or been renamed: its label is due.
    void MostPopularChanged();
    /// Songs left the list: the header and the status bar are due.
    void SongsDeleted();
    /// Songs were read again or joined the list: the header, the status bar and the most
    /// popular label are due.
    void SongsChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    void CreateSongViews();
    void CreateMenu();
    /// The item of the command table's row with the name; null for none.
    QAction* CommandItem(std::string_view name) const;

    /// A key pressed while the list has the focus (either view style). Answers true when the
    /// key was used up (the view must not act on it too): the keys of the command table, and
    /// with no song selected those keys do nothing.
    bool lstSongsKeyDown(const QKeyEvent& key);
    /// Whether the key reached the view itself, not an open in-place editor inside it.
    bool IsKeyForView(const QObject* watched) const;
    /// The focused row stays in sight in the view shown.
    void ScrollToCurrentSong();

    // The commands of the table (the keys and the double click trigger the menu items).
    /// Every selected song, top to bottom: Views + 1 stored in place, the most popular song
    /// offered it, its file opened through the desktop; the rows shown anew and sorted once;
    /// then the most popular label.
    void popSongsList_OpenClick();
    /// Opens the in-place editor on the first selected song's caption; only with the Path or
    /// FileName column first (a message otherwise).
    void popSongsList_RenameClick();
    /// The tag editor for the first selected song; its row follows a saved tag. Errors are
    /// shown as errors nobody handled.
    void popSongsList_EditTagClick();
    /// Deletes every selected song (DeleteSongs, the files to the desktop's trash); a song
    /// whose file stays keeps its row, selected. The most popular song is found anew when it
    /// went.
    void popSongsList_DeleteClick();
    /// "Re-read &tags": every selected song read again from its file (ReReadSongs); the rows
    /// of those that changed are shown anew, sorted once; one message names the files that
    /// could not be read.
    void popSongsList_ReReadTagsClick();
    /// "&Groups...": the group window for the selected songs; the rows of the songs it changed
    /// are shown anew (sorted once at the end). The list is not filtered anew.
    void popSongsList_GroupsClick();
    /// "&Large icons" and "&Details".
    void popSongsList_ViewLargeIconsClick() { SetLargeIcons(true); }
    void popSongsList_ViewDetailsClick() { SetLargeIcons(false); }
    /// "&Visible columns...": the "Columns" window; on OK the columns are built anew (widths
    /// kept per name), the sort column found again by its caption (else the first column,
    /// ascending) and the rows refilled from the displayed songs without a new query.
    void popSongsList_ViewColumnsClick();
    /// "&Export as playlist...": the selected songs, or all when none is selected, in the
    /// order of the rows, written to the file chosen in a save dialog as a .pls playlist (or
    /// M3U8). A refused write is shown, naming the file; the old file stays whole.
    void popSongsList_ExportAsPlaylistClick();
    /// Ctrl+A: every song of the list selected.
    void SelectAllSongs();
    /// The in-place edit of the row's caption was committed with the text (RenameSong). A
    /// text left as it was changes nothing.
    void lstSongsEdited(const QModelIndex& index, const QString& text);
    /// A double click in the list opens the selected songs.
    void lstSongsDblClick();

    // The drag out of the list: armed by a left press while songs are selected, started by
    // the fourth mouse move, dropped by any button release.
    void lstSongsMouseDown();
    void lstSongsMouseMove();
    /// Answers whether the release ended a drag (the view must not take it as a click then).
    bool lstSongsMouseUp();
    /// The selected songs' files dragged out to another program.
    void StartSongDrag();
    /// The mouse and drop events of a song view's viewport; true when they were used up.
    bool SongViewMouseEvent(QEvent* event);
    bool SongViewDropEvent(QEvent* event);
    /// Files dropped on the list: copied into the selected folder, which is scanned and listed.
    void DropFileTargetDrop(const std::vector<std::string>& paths);
    /// Whether files dropped now can be copied: a folder is selected, and no copy or other
    /// task is running (its progress lets the window take events before it shows).
    bool DropsWelcome() const;

    /// The watched folder reported changes: they are taken into the catalogue and the rows,
    /// or left for later while the catalogue is busy.
    void WatchedFilesChanged();
    /// A dialog, a question, a progress window or a task is at work on songs.
    bool CatalogueBusy() const;
    void FolderWatchRefused(const QString& reason);

    cBrowserState& m_State;
    cIniFile& m_Settings;
    cDesktop& m_Desktop;
    const cGroupList* m_GroupList = nullptr;

    bool m_DragPending = false; ///< a left press with songs selected; a drag may start
    int m_DragMoveCount = 0;    ///< mouse moves since the drag was armed
    bool m_Dragged = false;     ///< a drag ran since the press: the rest is the drag's
    Qt::MouseButton m_PressedButton = Qt::NoButton;
    bool m_DropsRefused = false; ///< see RefuseDrops
    bool m_CopyRunning = false;  ///< dropped files are being copied
    bool m_FolderWatchRefusalShown = false;

    TSongRows* m_Rows = nullptr;
    TFolderWatcher* m_FolderWatcher = nullptr;
    // Controls, named as the program refers to them.
    QLabel* pnlActiveGroup = nullptr;
    QStackedWidget* SongViews = nullptr;
    QTreeView* lstSongs = nullptr;
    QListView* lstSongsIcons = nullptr;
    std::unique_ptr<cSongColumnLayout> m_Columns;
    QMenu* popSongsList = nullptr;
    /// The items of the command table, by its rows (null for keys only).
    std::vector<QAction*> m_CommandItems;
};
