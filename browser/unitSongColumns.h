#pragma once
// The nine columns of the song list: their names (also their captions and their keys in
// Options.ini) and the texts of a song's cells that need no window to compute.

#include <array>
#include <string>
#include <string_view>

class cSongInfo;

enum class eSongColumn { Path, FileName, Title, Author, Album, Date, Size, Views, Groups, Unknown };

/// "Path", "FileName", "Title", "Author", "Album", "Date", "Size", "Views", "Groups".
inline constexpr std::array<std::string_view, 9> kColumnNames = {
    "Path", "FileName", "Title", "Author", "Album", "Date", "Size", "Views", "Groups"};

/// The column a caption names, compared exactly (case-sensitive); Unknown for any other text.
eSongColumn ColumnFromName(std::string_view name);

/// Path and FileName share the free width of the list; the others keep their own widths.
bool IsAutoSizedColumn(eSongColumn column);

/// A cell text that does not depend on the locale: Path, FileName, Title, Author, Album,
/// Views, Groups (joined by ","). Date and Size need the locale's formats (GUI); for them and
/// for Unknown this gives an empty text.
std::string PlainCellText(eSongColumn column, const cSongInfo& song);
