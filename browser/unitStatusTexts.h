#pragma once
// The texts the main window writes around the song list: the two header labels, the label of
// the most popular song with the rule that picks that song, and the status bar line with the
// sums of sizes it needs. Texts are bytes as stored (paths in the local 8-bit encoding); the
// window converts them at its edge.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class cSongInfo;

/// "s" unless the count is exactly 1 (so 0 gives "s"): the header's plural rule.
std::string_view PluralUnlessOne(int64_t count);

/// lblSelPath: "Viewing music folder %s" with the selected folder's path after
/// StripTrailingBackslash (the root "/" stays "/").
std::string SelectedFolderCaption(std::string_view selectedFolderPath);

/// lblFolderContents: "Displaying %d song%s, divided into %d group%s" with the number of songs
/// in the displayed song list and the number of names in the group list.
std::string FolderContentsCaption(int songCount, int groupCount);

/// The status bar's report after a folder tree was added: "%d song%s added from %d folder%s"
/// (the plural as the header's), and " (F6: show the subfolders too)" when the new songs are
/// out of sight of a view that shows the selected folder only.
std::string FolderTreeAddedText(int64_t songsAdded, int64_t foldersScanned,
                                bool hintSubfolders);

/// The most-popular rule for one song: the song becomes the most popular one when there is
/// none yet and its Views is above 0, or when its Views is above the current one's (signed
/// 32-bit comparison). Answers true when mostPopular changed (the label must then be shown
/// anew). A null song is never taken.
bool OfferMostPopular(cSongInfo*& mostPopular, cSongInfo* song);

/// The most popular song of a list: the first song, in the list's order, with the highest Views
/// above 0; null when no song was ever opened. Pass the displayed song list, which is in
/// master-list order, not the rows in their sort order: of songs with equal counts the one that
/// comes first in the master list is named, whatever the order on screen. Null entries are
/// skipped.
cSongInfo* FindMostPopular(const std::vector<cSongInfo*>& songs);

/// lblMostPopularFile: "(not yet determined)" for no song; otherwise "%s (opened %d time%s)"
/// with the file name without folder and extension, Views, and "s" only when Views > 1.
std::string MostPopularCaption(const cSongInfo* song);

/// A number of songs and the sum of their sizes. The sum is 64-bit: a few thousand songs
/// already pass the 2 GiB that a 32-bit sum would wrap at.
struct cSongsTotal {
    int Count = 0;
    int64_t Bytes = 0;
};

/// Count and size of every song of the list (null entries count, but add no bytes).
cSongsTotal TotalOfSongs(const std::vector<cSongInfo*>& songs);

/// An inclusive range of row positions, as a selection range's top and bottom rows give it.
struct cRowRange {
    int First;
    int Last;
};

/// Count and size of the selected rows, given the rows in display order and the selection as
/// ranges of row positions. The ranges may come in any order, overlap or repeat (a selection of
/// whole rows may list a row once per column block): each row counts once. Positions outside
/// the rows are ignored. The cost is that of the selected rows, never a list of every index.
cSongsTotal TotalOfRowRanges(const std::vector<cSongInfo*>& rows, std::vector<cRowRange> ranges);

/// The status bar line: " " + S + C + " files in total, " + T, where S is empty without a
/// selection and otherwise "%d song%s selected (%s), " (the suffix "s" when more than one song
/// is selected, then the selection's size), C the number of rows, T the size of all displayed
/// songs. Sizes go through FormatFileSize with the given separators (the locale's, as UTF-8).
std::string StatusBarText(const cSongsTotal& selected, int rowCount, int64_t displayedBytes,
                          std::string_view decimalSeparator = ".",
                          std::string_view thousandsSeparator = ",");

/// The status bar's note on songs kept aside because their folder is out of reach: "1 song
/// offline", "%d songs offline"; empty when there are none (the note is then not shown).
std::string OfflineSongsCaption(int offlineCount);
