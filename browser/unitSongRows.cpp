#include "browser/unitSongRows.h"

#include <QItemSelectionModel>
#include <QSignalBlocker>
#include <algorithm>
#include <unordered_set>
#include <utility>

#include "browser/unitBrowserState.h"
#include "browser/unitSongListModel.h"
#include "browser/unitSongSorting.h"
#include "catalogue/unitSongUtils.h"
#include "util/unitListViewUtils.h"

namespace {

/// The selected rows, carried across a new order of the rows.
///
/// Qt carries a selection across a layout change with one persistent index per selected row
/// (per selected cell for a row move), and every persistent index is then updated one by one:
/// a sort with 100,000 selected rows took a fifth of a second, a single row move half a second.
/// Instead the selection is taken as one mark per row and cleared before the rows move, the
/// marks are moved as the rows are, and the marked rows are selected again in one change.
/// The current (focused) row is one persistent index and moves with the model by itself.
class cSelectedRows {
public:
    explicit cSelectedRows(QItemSelectionModel* selection) : m_Selection(selection) {
        const QItemSelection ranges = selection->selection();
        if (ranges.isEmpty()) {
            return;
        }
        m_Marks.assign(static_cast<size_t>(selection->model()->rowCount()), 0);
        for (const QItemSelectionRange& range : ranges) {
            std::fill(m_Marks.begin() + range.top(), m_Marks.begin() + range.bottom() + 1, 1);
        }
        // Silently: the views paint every row anew after the new order anyway, and the one
        // change that selects the rows again reports the selection.
        const QSignalBlocker quiet(selection);
        selection->clearSelection();
    }

    /// The rows were put in the order newOrder (newOrder[i] is the old row now at row i).
    void Reorder(const std::vector<int>& newOrder) {
        if (m_Marks.empty() || newOrder.size() != m_Marks.size()) {
            return;
        }
        std::vector<char> reordered(m_Marks.size());
        for (size_t row = 0; row < newOrder.size(); ++row) {
            reordered[row] = m_Marks[static_cast<size_t>(newOrder[row])];
        }
        m_Marks.swap(reordered);
    }

    /// The row at `from` became row `to`, the rows between shifted by one.
    void MoveRow(int from, int to) {
        if (!m_Marks.empty()) {
            MoveItem(m_Marks, from, to);
        }
    }

    /// Selects the marked rows again, whole rows, in one change of the selection.
    void SelectAgain() {
        if (m_Marks.empty()) {
            return;
        }
        const QAbstractItemModel* model = m_Selection->model();
        const int lastColumn = std::max(0, model->columnCount() - 1);
        QItemSelection rows;
        const int count = static_cast<int>(m_Marks.size());
        for (int row = 0; row < count;) {
            if (!m_Marks[static_cast<size_t>(row)]) {
                ++row;
                continue;
            }
            const int top = row;
            while (row < count && m_Marks[static_cast<size_t>(row)]) {
                ++row;
            }
            rows.append(
                QItemSelectionRange(model->index(top, 0), model->index(row - 1, lastColumn)));
        }
        m_Selection->select(rows, QItemSelectionModel::Select);
        m_Marks.clear();
    }

private:
    QItemSelectionModel* m_Selection;
    std::vector<char> m_Marks; ///< per row: 1 selected; empty when nothing was selected
};

/// Up to this many songs are looked for one by one: a plain search of the row pointers is many
/// times quicker than a look-up of every row in a hash set.
constexpr size_t kSongsSearchedOneByOne = 4;

/// The rows, top to bottom, whose songs are among the songs.
std::vector<int> RowsOfSongs(const std::vector<cSongInfo*>& rows,
                             const std::vector<cSongInfo*>& songs) {
    std::vector<int> found;
    if (songs.size() <= kSongsSearchedOneByOne) {
        for (const cSongInfo* song : songs) {
            for (auto row = std::find(rows.begin(), rows.end(), song); row != rows.end();
                 row = std::find(row + 1, rows.end(), song)) {
                found.push_back(static_cast<int>(row - rows.begin()));
            }
        }
        std::sort(found.begin(), found.end());
        found.erase(std::unique(found.begin(), found.end()), found.end());
        return found;
    }
    const std::unordered_set<const cSongInfo*> wanted(songs.begin(), songs.end());
    for (size_t row = 0; row < rows.size(); ++row) {
        if (wanted.contains(rows[row])) {
            found.push_back(static_cast<int>(row));
        }
    }
    return found;
}

} // namespace

TSongRows::TSongRows(cBrowserState& state, QObject* parent)
    : QObject(parent), m_State(state), m_Model(new TSongListModel(this)),
      m_Selection(new QItemSelectionModel(m_Model, this)) {
    connect(m_Selection, &QItemSelectionModel::selectionChanged, this,
            &TSongRows::SelectionChanged);
}

const std::vector<cSongInfo*>& TSongRows::Songs() const {
    return m_Model->Songs();
}

// ---- Fill --------------------------------------------------------------------------------

void TSongRows::Populate() {
    m_State.QueryDisplayedSongs(MasterSongList);
    Fill();
}

void TSongRows::Fill() {
    // In the displayed song list's order (master-list order), whatever the rows' order.
    const std::vector<cSongInfo*>& songs = m_State.DisplayedSongs.Items();
    m_State.MostPopularSong = FindMostPopular(songs);
    m_DisplayedBytes = TotalOfSongs(songs).Bytes;
    m_DisplayedBytesStale = false;
    // The rows arrive sorted: the views lay them out once, in their final order.
    m_Model->SetSongs(songs,
                      SortedRowOrder(songs, m_State.SortOrder.Kind(), m_State.SortOrder.Reversed));
    SelectListItem(m_Selection, 0, [this] { emit SelectionChanged(); });
    emit Filled();
}

void TSongRows::Clear() {
    m_Model->Clear();
    m_DisplayedBytes = 0;
    m_DisplayedBytesStale = false;
}

// ---- Single rows -------------------------------------------------------------------------

bool TSongRows::SortLater() {
    if (m_Updates == 0) {
        return false;
    }
    m_SortPending = true;
    return true;
}

void TSongRows::AddSongs(const std::vector<cSongInfo*>& songs) {
    if (songs.empty()) {
        return;
    }
    m_DisplayedBytesStale = true;
    for (cSongInfo* song : songs) {
        m_Model->AppendSong(song);
    }
    if (SortLater()) {
        return;
    }
    // Behind the rows equal to it, as a stable sort of the rows with the new ones last puts
    // them; one sort for more than one new row.
    if (songs.size() == 1) {
        MoveRowToItsPlace(m_Model->rowCount() - 1);
    } else {
        SortRows(false);
    }
}

void TSongRows::RefreshSongs(const std::vector<cSongInfo*>& songs) {
    // The focused song is the one a command on a single song changed, most of the time.
    const int current = m_Selection->currentIndex().row();
    const bool focused = songs.size() == 1 && current >= 0 && m_Model->Song(current) == songs[0];
    const std::vector<int> rows =
        focused ? std::vector<int>{current} : RowsOfSongs(m_Model->Songs(), songs);
    if (rows.empty()) {
        return;
    }
    // The songs' sizes may have changed with them.
    m_DisplayedBytesStale = true;
    std::vector<int> moved;
    for (const int row : rows) {
        if (m_Model->RefreshRow(row)) {
            moved.push_back(row);
        }
    }
    // In a batch any change is sorted at its end, whichever column the rows are sorted by.
    if (SortLater() || moved.empty()) {
        return;
    }
    // The other rows are in order: only these may have to move. Each move shifts the rows
    // between, so more than one moving row takes one sort.
    if (moved.size() == 1) {
        MoveRowToItsPlace(moved.front());
    } else {
        Sort();
    }
}

void TSongRows::ShowFolderChanges(const std::vector<cSongInfo*>& added,
                                  const std::vector<cSongInfo*>& changed) {
    if (added.empty() && changed.empty()) {
        return;
    }
    m_DisplayedBytesStale = true;
    for (const int row : RowsOfSongs(m_Model->Songs(), changed)) {
        m_Model->RefreshRow(row);
    }
    for (cSongInfo* song : added) {
        m_Model->AppendSong(song);
    }
    if (!SortLater()) {
        SortRows(false); // the user is looking elsewhere: the list is not moved to the focus
    }
}

void TSongRows::RemoveSongs(const std::vector<cSongInfo*>& songs) {
    m_Model->RemoveRows(RowsOfSongs(m_Model->Songs(), songs));
    for (const cSongInfo* song : songs) {
        m_DisplayedBytes -= song->Size; // rather than a walk over every song left
    }
}

void TSongRows::MoveRowToItsPlace(int row) {
    const int place = SortedPositionOfRow(m_Model->Songs(), row, m_State.SortOrder.Kind(),
                                          m_State.SortOrder.Reversed);
    if (place == row) {
        return;
    }
    cSelectedRows marks(m_Selection);
    m_Model->MoveRow(row, place);
    marks.MoveRow(row, place);
    marks.SelectAgain();
    // The focused song moved: it stays in sight at its new place (a rename, a tag edit).
    if (m_Selection->currentIndex().row() == place) {
        emit CurrentRowMoved();
    }
}

// ---- Order -------------------------------------------------------------------------------

void TSongRows::BeginUpdate() {
    ++m_Updates;
}

void TSongRows::EndUpdate() {
    if (m_Updates == 0 || --m_Updates > 0) {
        return;
    }
    if (std::exchange(m_SortPending, false)) {
        Sort();
    }
}

void TSongRows::Sort() {
    SortRows(true);
}

void TSongRows::SortRows(bool keepCurrentInSight) {
    const std::vector<int> order =
        SortedRowOrder(m_Model->Songs(), m_State.SortOrder.Kind(), m_State.SortOrder.Reversed);
    cSelectedRows marks(m_Selection);
    m_Model->SetRowOrder(order);
    marks.Reorder(order);
    marks.SelectAgain();
    // The focused song stays in sight at its new place.
    if (keepCurrentInSight && m_Selection->currentIndex().isValid()) {
        emit CurrentRowMoved();
    }
}

void TSongRows::HeaderClicked(int column) {
    const std::vector<std::string>& captions = m_Model->ColumnNames();
    if (column < 0 || column >= static_cast<int>(captions.size())) {
        return;
    }
    ClickSortColumn(m_State.SortOrder, captions[static_cast<size_t>(column)]);
    Sort();
}

// ---- Selection ---------------------------------------------------------------------------

std::vector<int> TSongRows::SelectedRows() const {
    std::vector<std::pair<int, int>> ranges;
    for (const QItemSelectionRange& range : m_Selection->selection()) {
        ranges.emplace_back(range.top(), range.bottom());
    }
    std::sort(ranges.begin(), ranges.end());
    std::vector<int> rows;
    int next = 0; // ranges may overlap: each row once
    for (const auto& [top, bottom] : ranges) {
        for (int row = std::max(top, next); row <= bottom; ++row) {
            rows.push_back(row);
        }
        next = std::max(next, bottom + 1);
    }
    return rows;
}

std::vector<cSongInfo*> TSongRows::SelectedSongs() const {
    return SongsOfRows(SelectedRows());
}

std::vector<cSongInfo*> TSongRows::SongsOfRows(const std::vector<int>& rows) const {
    std::vector<cSongInfo*> songs;
    songs.reserve(rows.size());
    for (const int row : rows) {
        songs.push_back(m_Model->Song(row));
    }
    return songs;
}

void TSongRows::SelectSongs(const std::vector<cSongInfo*>& songs, int focusRow) {
    QItemSelection rows;
    const int lastColumn = std::max(0, m_Model->columnCount() - 1);
    for (const int row : RowsOfSongs(m_Model->Songs(), songs)) {
        rows.select(m_Model->index(row, 0), m_Model->index(row, lastColumn));
    }
    if (rows.isEmpty()) {
        // Nothing to select reports no change by itself.
        emit SelectionChanged();
    } else {
        m_Selection->select(rows, QItemSelectionModel::Select);
    }
    if (!m_Selection->currentIndex().isValid() && focusRow >= 0) {
        m_Selection->setCurrentIndex(m_Model->index(focusRow, 0), QItemSelectionModel::NoUpdate);
    }
    if (m_Selection->currentIndex().isValid()) {
        emit CurrentRowMoved();
    }
}

// ---- Sums --------------------------------------------------------------------------------

int64_t TSongRows::DisplayedBytes() {
    if (m_DisplayedBytesStale) {
        m_DisplayedBytes = TotalOfSongs(m_State.DisplayedSongs.Items()).Bytes;
        m_DisplayedBytesStale = false;
    }
    return m_DisplayedBytes;
}

cSongsTotal TSongRows::SelectedTotal() const {
    // The selection as ranges of rows: a change of the selection costs what the selected rows
    // cost, never a walk over every row of the list.
    std::vector<cRowRange> ranges;
    const QItemSelection selection = m_Selection->selection();
    ranges.reserve(static_cast<size_t>(selection.size()));
    for (const QItemSelectionRange& range : selection) {
        ranges.push_back({range.top(), range.bottom()});
    }
    return TotalOfRowRanges(m_Model->Songs(), std::move(ranges));
}
