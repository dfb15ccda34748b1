#pragma once
// The song list panel of the main window: the grey edge, the band naming the filter, the list
// in its two view styles (details and large icons, one model and one selection), its context
// menu popSongsList, and the list's controller: filling it from the displayed songs, one row
// at a time, batches of row changes, sorting and header clicks, the columns and their widths,
// the column chooser and the playlist export, dragging songs out as files and copying files
// dropped on the list into the selected folder.
//
// The pane works on the browser state and the settings file it is given; the window that holds
// it hears about the pane's changes through its signals.

#include <QWidget>
#include <map>
#include <string>
#include <vector>

#include "browser/unitBrowserState.h"

class QAbstractItemView;
class QAction;
class QModelIndex;
class QKeyEvent;
class QKeySequence;
class QLabel;
class QListView;
class QMenu;
class QStackedWidget;
class QTreeView;
class TSongListModel;
class cDesktop;
class cGroupList;
class cIniFile;

class TSongListPane : public QWidget {
    Q_OBJECT
public:
    /// The state, the settings file and the desktop must outlive the pane.
    TSongListPane(cBrowserState& state, cIniFile& settings, cDesktop& desktop,
                  QWidget* parent = nullptr);
    ~TSongListPane() override;

    /// The group list the group window offers; it must outlive the pane.
    void UseGroupList(const cGroupList& groups) { m_GroupList = &groups; }

    TSongListModel* Model() const { return m_Model; }
    QTreeView* SongList() const { return lstSongs; }
    QListView* SongIcons() const { return lstSongsIcons; }
    /// The view now shown: the details view or the large-icon view.
    QAbstractItemView* ShownSongView() const;
    bool LargeIconsShown() const;

    /// Recomputes the displayed song list from the master song list and fills the list.
    void PopulateSongList();
    /// Rebuilds every row from the displayed song list, sorted, finds the most popular song
    /// and selects the first row; then reports ListFilled.
    void FillSongList();
    /// Adds one row for the song, at its place in the sort order (outside a batch).
    void AddSongItem(cSongInfo* song);
    /// The row's song changed: its texts are shown anew. Outside a batch the row moves to its
    /// place in the sort order (selection and focus move with it) when its caption, the first
    /// column's text, changed; other changes wait for the next sort.
    void FillListItem(int row);
    /// Removes every row (with the views' updates suspended).
    void Clear();

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

    /// Recreates the columns from the visible column list, widths from the settings file
    /// (used as stored, however narrow).
    void BuildColumns();
    /// The visible columns become the names (never empty): the widths of the old columns are
    /// stored, the columns built anew and the list filled again.
    void ShowColumns(std::vector<std::string> names);
    /// Stores the current column widths in the settings file (in one write) and remembers
    /// them by name, so a column shown again gets its width back even when the file refused
    /// them (which is reported).
    void SaveColumnWidths();
    /// Every column's caption and current width, in column order.
    std::vector<cColumnWidth> ColumnWidths() const;

    /// Writes the band above the list from the group filter and the view mode.
    void UpdateActiveGroupCaption();
    /// "&Large icons" and "&Details": the clicked view style is shown and checked.
    void popSongsList_ViewDetailsClick(QAction* item);
    /// "&Groups...": the group window for the selected songs; the rows of the songs it changed
    /// are shown anew (sorted once at the end). The list is not filtered anew.
    void popSongsList_GroupsClick();
    /// "&Visible columns...": the "Columns" window; on OK the columns are built anew (widths
    /// kept per name), the sort column found again by its caption (else the first column,
    /// ascending) and the rows refilled from the displayed songs without a new query.
    void popSongsList_ViewColumnsClick();
    /// "&Export as playlist...": the selected songs, or all when none is selected, in the
    /// order of the rows, written to the file chosen in a save dialog as a .pls playlist (or
    /// M3U8). A refused write is shown, naming the file; the old file stays whole.
    void popSongsList_ExportAsPlaylistClick();

    /// The selected songs in the order of the rows.
    std::vector<cSongInfo*> SelectedSongs() const;

    /// Files dropped on the list or on a folder: copied into the folder (CopyFilesIntoFolder,
    /// through the desktop's progress and questions); when the folder is the selected one, it
    /// is scanned and the list populated anew, also when nothing had to be copied.
    void CopyFilesIntoFolderAndList(const std::vector<std::string>& paths,
                                    const std::string& folder);
    /// While refused, files dropped on the list or a folder are not taken (a task that holds
    /// the catalogue runs). A copy refuses further drops by itself until it ends.
    void RefuseDrops(bool refused) { m_DropsRefused = refused; }

    /// The status bar line for the current rows and selection.
    std::string StatusBarText();

    /// A key pressed while the list has the focus (either view style), after the window saw
    /// it. With no song selected every command key is ignored. Answers true when the key was
    /// used up (the view must not act on it too): Enter opens, F2 renames, F3 edits the tag,
    /// Ctrl+Del (Shift and Alt may be held too) deletes, Ctrl+G opens the group window, each
    /// through its menu item, so a disabled command does nothing; Ctrl+A selects every song.
    bool lstSongsKeyDown(const QKeyEvent& key);

    /// The commands of popSongsList follow the selection: "&Open" and "&Delete" are enabled
    /// with at least one song selected, "&Rename file" and "&Edit IDv3 tag" with exactly one.
    void UpdateSongCommands();
    /// The selected rows, top to bottom.
    std::vector<int> SelectedRows() const;
    /// The songs the rows show, in the order of the rows.
    std::vector<cSongInfo*> SongsOfRows(const std::vector<int>& rows) const;

    // The song commands, as their menu items run them (the keys and the double click trigger
    // the menu items).
    /// Every selected song, top to bottom: Views + 1 stored in place, the most popular song
    /// offered it, its row refreshed, its file opened through the desktop; then one sort and
    /// the most popular label.
    void popSongsList_OpenClick();
    /// Opens the in-place editor on the first selected song's caption; only with the Path or
    /// FileName column first (a message otherwise).
    void popSongsList_RenameClick();
    /// The in-place edit of the row's caption was committed with the text (RenameSong). A
    /// text left as it was changes nothing.
    void lstSongsEdited(const QModelIndex& index, const QString& text);
    /// Deletes every selected song (DeleteSongs, the files to the desktop's trash); a song
    /// whose file stays keeps its row, selected. The most popular song is found anew when it
    /// went.
    void popSongsList_DeleteClick();
    /// The tag editor for the first selected song; its row follows a saved tag. Errors are
    /// shown as errors nobody handled.
    void popSongsList_EditTagClick();
    /// A double click in the list opens the selected songs.
    void lstSongsDblClick();

signals:
    /// The selection (or the focus) of the list changed; also once after an empty fill.
    void SelectionChanged();
    /// The rows were rebuilt from the displayed songs: the texts about them are due.
    void ListFilled();
    /// The most popular song may have changed or been renamed: its label is due.
    void MostPopularChanged();
    /// Songs left the list: the header and the status bar are due.
    void SongsDeleted();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
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

    void CreateControls();
    void CreateMenu();
    QAction* AddSongCommand(const char* name, const QString& caption, const QKeySequence& keys,
                            void (TSongListPane::*command)());
    /// Whether the key reached the view itself, not an open in-place editor inside it.
    bool IsKeyForView(const QObject* watched) const;
    /// Selects the rows of the songs (one walk over the rows) and keeps the focus row in sight.
    void SelectSongs(const std::vector<cSongInfo*>& songs, int focusRow);
    int NewColumnWidth(int column) const;
    void ShareAutoSizedColumnWidths();
    /// Moves the row to its place in the sort order, selection and focus with it.
    void MoveRowToItsPlace(int row);

    cBrowserState& m_State;
    cIniFile& m_Settings;
    cDesktop& m_Desktop;
    const cGroupList* m_GroupList = nullptr;

    int m_SongListUpdates = 0;          ///< open batches of row changes
    bool m_SortPending = false;         ///< a row changed inside the batch
    int64_t m_DisplayedBytes = 0;       ///< size of the displayed songs, summed at each fill
    bool m_DisplayedBytesStale = false; ///< a song changed since: sum again when next needed
    bool m_SharingWidths = false;
    /// Column widths by name, as last saved (see SaveColumnWidths).
    std::map<std::string, int> m_SavedWidths;

    bool m_DragPending = false; ///< a left press with songs selected; a drag may start
    int m_DragMoveCount = 0;    ///< mouse moves since the drag was armed
    bool m_Dragged = false;     ///< a drag ran since the press: the rest is the drag's
    Qt::MouseButton m_PressedButton = Qt::NoButton;
    bool m_DropsRefused = false; ///< see RefuseDrops
    bool m_CopyRunning = false;  ///< dropped files are being copied

    // Controls, named as the program refers to them.
    QLabel* pnlActiveGroup = nullptr;
    QStackedWidget* SongViews = nullptr;
    QTreeView* lstSongs = nullptr;
    QListView* lstSongsIcons = nullptr;
    TSongListModel* m_Model = nullptr;
    QMenu* popSongsList = nullptr;
    QAction* popSongsList_Open = nullptr;
    QAction* popSongsList_Rename = nullptr;
    QAction* popSongsList_EditTag = nullptr;
    QAction* popSongsList_Delete = nullptr;
    QAction* popSongsList_Groups = nullptr;
    QAction* popSongsList_ViewLargeIcons = nullptr;
    QAction* popSongsList_ViewDetails = nullptr;
    QAction* popSongsList_ViewColumns = nullptr;
    QAction* popSongsList_ExportAsPlaylist = nullptr;
};
