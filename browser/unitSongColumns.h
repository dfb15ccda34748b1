#pragma once
// The nine columns of the song list: their names (also their captions and their keys in
// Options.ini), the texts of a song's cells that need no window to compute, and how the
// auto-sized columns share the list's width.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class cSongInfo;

enum class eSongColumn { Path, FileName, Title, Author, Album, Date, Size, Views, Groups, Unknown };

/// "Path", "FileName", "Title", "Author", "Album", "Date", "Size", "Views", "Groups".
inline constexpr std::array<std::string_view, 9> kColumnNames = {
    "Path", "FileName", "Title", "Author", "Album", "Date", "Size", "Views", "Groups"};

/// The column a caption names, compared exactly (case-sensitive); Unknown for any other text.
eSongColumn ColumnFromName(std::string_view name);

/// Path and FileName share the free width of the list; the others keep their own widths.
bool IsAutoSizedColumn(eSongColumn column);

/// A number that stands for the cell's text: equal texts give equal numbers, and a change of
/// the text changes the number (but for a chance of one in 2^64). Date, Size and Views stand
/// by their values, so no locale format is needed; an Unknown column always gives 0.
size_t CellFingerprint(eSongColumn column, const cSongInfo& song);

/// Widths of the columns after the auto-sized ones shared the client width the others leave
/// free: each auto-sized column gets an equal share, the first one also the remainder of the
/// division; no share is narrower than minimumWidth. The other widths stay as they are.
std::vector<int> SharedColumnWidths(const std::vector<int>& widths,
                                    const std::vector<bool>& autoSized, int clientWidth,
                                    int minimumWidth);
