#pragma once
// The rows of the song list without its views: the model over the displayed songs and the one
// selection both view styles share, kept in the sort order. Fills from the displayed song list,
// a song's row shown anew (moving to its sorted place at once when its caption changed), rows
// added and removed, batches of changes sorted once at their end, header clicks, the selected
// rows and songs, and the sums the status bar needs. The selection is carried across every new
// order of the rows.
//
// The rows work on the browser state they are given (displayed songs, sort order, most popular
// song); the views show Model() with Selection().

#include <QObject>
#include <cstdint>
#include <vector>

#include "browser/unitStatusTexts.h"

class QItemSelectionModel;
class TSongListModel;
class cBrowserState;
class cSongInfo;

class TSongRows : public QObject {
    Q_OBJECT
public:
    /// The state must outlive the rows.
    explicit TSongRows(cBrowserState& state, QObject* parent = nullptr);

    TSongListModel* Model() const { return m_Model; }
    /// The selection of both view styles.
    QItemSelectionModel* Selection() const { return m_Selection; }
    /// The songs of the rows, top to bottom.
    const std::vector<cSongInfo*>& Songs() const;

    /// Recomputes the displayed song list from the master song list and fills the rows.
    void Populate();
    /// Rebuilds every row from the displayed song list, sorted; finds the most popular song
    /// (in master-list order) and selects the first row. Reports Filled, and SelectionChanged
    /// once when no row is left to select.
    void Fill();
    /// Removes every row.
    void Clear();

    /// Rows for songs that joined the displayed song list (the caller added them there), each
    /// at its place in the sort order; selection and focus stay on their songs, and nothing is
    /// scrolled. Inside a batch they wait for its end.
    void AddSongs(const std::vector<cSongInfo*>& songs);
    /// The songs changed: their rows show them anew. Outside a batch a row whose caption (the
    /// first column's text) changed moves to its place in the sort order at once, selection
    /// and focus with it; other changes wait for the next sort. Inside a batch every change is
    /// sorted at its end. Songs without a row are passed over. One walk over the rows, whatever
    /// the number of songs.
    void RefreshSongs(const std::vector<cSongInfo*>& songs);
    void RefreshSong(cSongInfo* song) { RefreshSongs({song}); }
    /// What the watch of the shown folder found: rows for the songs that joined the displayed
    /// song list (the caller added them there) and the changed songs shown anew, all sorted
    /// once. Selection and focus stay on their songs, and nothing is scrolled. Inside a batch
    /// the sort waits for its end.
    void ShowFolderChanges(const std::vector<cSongInfo*>& added,
                           const std::vector<cSongInfo*>& changed);
    /// The songs left the displayed song list (the caller took them out there): their rows go,
    /// and their sizes leave the displayed total.
    void RemoveSongs(const std::vector<cSongInfo*>& songs);

    /// Changes of many rows: between these two calls no row moves, and the rows are sorted once
    /// when the outermost EndUpdate ends the batch (when anything changed inside it).
    void BeginUpdate();
    void EndUpdate();
    /// Sorts every row by the sort column; selection and focus stay on the same songs.
    void Sort();
    /// A click on the header of the column: the sort column again reverses the order, another
    /// column becomes the sort column, ascending. The rows are sorted anew.
    void HeaderClicked(int column);

    /// The selected rows, top to bottom (each once).
    std::vector<int> SelectedRows() const;
    /// The selected songs in the order of the rows.
    std::vector<cSongInfo*> SelectedSongs() const;
    /// The songs the rows show, in the order given.
    std::vector<cSongInfo*> SongsOfRows(const std::vector<int>& rows) const;
    /// Selects the rows of the songs besides those selected (one walk over the rows); when no
    /// row has the focus, the row at focusRow gets it. Reports SelectionChanged once, also when
    /// nothing was selected.
    void SelectSongs(const std::vector<cSongInfo*>& songs, int focusRow);

    /// The size of every displayed song, summed at each fill and kept up by the changes since.
    int64_t DisplayedBytes();
    /// The number and size of the selected songs; costs what the selected rows cost.
    cSongsTotal SelectedTotal() const;

signals:
    /// The rows were rebuilt from the displayed songs: the texts about them are due.
    void Filled();
    /// The selection changed.
    void SelectionChanged();
    /// The focused row moved to another place (a sort, a changed song, a selection made anew):
    /// a view showing the rows keeps it in sight.
    void CurrentRowMoved();

private:
    /// Moves the row to its place in the sort order, selection and focus with it.
    void MoveRowToItsPlace(int row);
    /// Sort, the focused row kept in sight or left where the view shows it.
    void SortRows(bool keepCurrentInSight);
    /// A row changed or came: it is sorted at once outside a batch, else at the batch's end.
    bool SortLater();

    cBrowserState& m_State;
    TSongListModel* m_Model;
    QItemSelectionModel* m_Selection;
    int m_Updates = 0;                  ///< open batches of row changes
    bool m_SortPending = false;         ///< a row changed inside the batch
    int64_t m_DisplayedBytes = 0;       ///< see DisplayedBytes
    bool m_DisplayedBytesStale = false; ///< a song changed since: sum again when next needed
};

/// A batch of row changes for the length of a scope: the rows are sorted once at its end, also
/// when a command stops half way.
class cSongRowsBatch {
public:
    explicit cSongRowsBatch(TSongRows& rows) : m_Rows(rows) { m_Rows.BeginUpdate(); }
    ~cSongRowsBatch() { m_Rows.EndUpdate(); }
    cSongRowsBatch(const cSongRowsBatch&) = delete;
    cSongRowsBatch& operator=(const cSongRowsBatch&) = delete;

private:
    TSongRows& m_Rows;
};
