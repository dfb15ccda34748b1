#pragma once
// The order of the song list: the comparison of two songs by the sort column, the sort of a
// whole row order, moving one changed row to its place, and the sort column state (header
// clicks, the position stored in Options.ini, following a change of the visible columns).
//
// Text columns (Path, FileName, Title, Author, Album, Groups) compare their texts byte by byte
// as unsigned bytes, with only the letters a to z taken as A to Z: digits sort before letters,
// "[\]^_`" after them, bytes from 0x80 on after every ASCII character, and a text before every
// longer text it begins. Date, Size and Views compare as numbers (Size and Views as signed
// 32-bit values). Equal texts and equal numbers have no order between them: every sort here is
// stable, so such rows keep the relative order they had before the sort, in either direction.
// A column that is none of the nine imposes no order at all.

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "browser/unitSongColumns.h"

class cSongInfo;

/// Negative when a belongs before b, 0 when they are equal, positive when a belongs after b,
/// comparing byte by byte as unsigned bytes with only a-z folded to upper case.
int CompareSongTexts(std::string_view a, std::string_view b);

/// Date-times in ascending order; equal values (0.0 and -0.0 too) answer 0. A date that is not
/// a number (a damaged catalogue record) sorts before every real date and equals another such.
int CompareSongDates(double a, double b);

/// The song list's comparison: negative when song a belongs before song b in the order of the
/// column (descending when reversed), positive when after, 0 when the two have no order (equal
/// keys, or a column that is none of the nine). Reversing negates the answer, so 0 stays 0.
/// The compared values are those of the cells: FileName is the file name without folder and
/// extension, Groups the group names joined by ",".
int CompareSongs(const cSongInfo& a, const cSongInfo& b, eSongColumn column, bool reversed);

/// The stable sort of a row order by the column: the result holds at position i the index (in
/// rows) of the row that belongs at i. Rows that compare equal keep their relative order; an
/// Unknown column gives the order unchanged (0, 1, 2, ...). Exactly the order a stable sort
/// with CompareSongs gives, computed on per-row keys (one pass over the songs, a radix sort,
/// and the text beyond the first bytes only where rows share those bytes).
/// Every pointer in rows must be non-null; rows must hold fewer than 2^31 entries.
std::vector<int> SortedRowOrder(const std::vector<cSongInfo*>& rows, eSongColumn column,
                                bool reversed);

/// Sorts the rows in place by the column, stably; see SortedRowOrder.
void SortSongRows(std::vector<cSongInfo*>& rows, eSongColumn column, bool reversed);

/// Where the row at index belongs once every other row is in sorted order (a song whose texts
/// changed, such as after a rename): the index it takes after the move, the same place a full
/// stable sort would give it. Among rows equal to it the row stays as close to its old place
/// as the order allows. The other rows need to be sorted by the same column and direction;
/// if they are not, the answer is still a valid index but not a meaningful place.
int SortedPositionOfRow(const std::vector<cSongInfo*>& rows, int index, eSongColumn column,
                        bool reversed);

/// Moves the item at `from` so that it becomes item `to`; the items between shift by one
/// towards `from`. Both indices must lie inside the items.
template <typename T> void MoveItem(std::vector<T>& items, int from, int to) {
    const auto first = items.begin();
    if (to < from) {
        std::rotate(first + to, first + from, first + from + 1);
    } else if (to > from) {
        std::rotate(first + from, first + from + 1, first + to + 1);
    }
}

/// Moves the row at index to SortedPositionOfRow and returns that new index. The rows between
/// the old and the new index shift by one towards the old index.
int MoveRowToSortedPosition(std::vector<cSongInfo*>& rows, int index, eSongColumn column,
                            bool reversed);

/// The sort column and direction of the song list. Column is the caption of the sort column
/// (one of the visible column names); Reversed is true for descending order.
struct cSongSortOrder {
    std::string Column;
    bool Reversed = false;

    eSongColumn Kind() const { return ColumnFromName(Column); }
};

/// A click on the header of the column with the caption: the same column again reverses the
/// direction; another column becomes the sort column, ascending.
void ClickSortColumn(cSongSortOrder& order, std::string_view clickedCaption);

/// The sort order restored at start from the stored position among the visible columns and
/// the stored direction. A position that names no column selects the first column (and keeps
/// the stored direction). An empty column list gives an empty caption.
cSongSortOrder SortOrderFromSettings(const std::vector<std::string>& visibleColumns,
                                     int storedPosition, bool storedReversed);

/// The position of the sort column among the visible columns, as stored at close; 0 when the
/// caption is not among them.
int SortColumnPosition(const std::vector<std::string>& visibleColumns, const cSongSortOrder& order);

/// After the visible columns changed: the sort column stays when it is still shown; otherwise
/// the first column becomes the sort column, ascending. Answers true when the order changed
/// (the list must then be sorted again).
bool FollowVisibleColumns(cSongSortOrder& order, const std::vector<std::string>& visibleColumns);
