#pragma once
// The search without its window: condition rows turned into query conditions, the source list
// chosen by the scope, the query run over it, and the search window's keys in Options.ini.
// Standard library only; the browser's values (view mode, selected folder, displayed songs)
// come in as values of their own.

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/unitSongQuery.h"
#include "catalogue/unitSongsDatabaseClass.h"
#include "groups/unitViewModes.h"

class cIniFile;

/// Where to search; the values are the scope buttons' tags, stored as "LastSelectedRadio".
enum class eSearchScope : int {
    EntireCollection = 0,          ///< the master song list
    SelectedFolder = 1,            ///< the songs whose folder is the selected folder
    SelectedFolderRecursively = 2, ///< the songs whose folder begins with the selected folder
    DisplayedSongs = 3,            ///< the songs now in the list
};

/// Captions of the scope buttons, by tag.
inline constexpr std::array<std::string_view, 4> kSearchScopeCaptions = {
    "Search my entire collection", "In the selected folder", "In the selected folder recursively",
    "Only the songs now in the list"};

/// The scope a stored tag names; nothing for a value outside 0..3.
std::optional<eSearchScope> SearchScopeFromTag(int tag);

/// The list a search runs over.
enum class eSearchSource {
    MasterList,        ///< every song
    ShownSongs,        ///< exactly what the list shows (group filter and earlier searches too)
    FolderOnly,        ///< a query of the master list: "Folder" " is" the selected folder
    FolderRecursively, ///< a query of the master list: "Folder" " begins with" it
};

/// The scope rule, tested in this order: the entire collection is the master list; "only the
/// songs now in the list" is the displayed list; a folder scope whose view mode shows the same
/// songs (SelectedFolder in the view mode SelectedFolder, SelectedFolderRecursively in the view
/// mode SelectedFolderRecursively) is the displayed list; any other folder scope queries the
/// master list for the folder.
eSearchSource SearchSourceFor(eSearchScope scope, eViewMode viewMode);

/// One condition row as the window shows it: the chosen field item, the chosen method item
/// (indexes into kSongFieldNames and kSongOperatorNames) and the condition text as typed.
struct cCriteriaRow {
    int FieldIndex = kFieldTitle;
    int MethodIndex = kOpContains;
    std::string Condition;
};

/// One condition per row, top to bottom; the texts are kept exactly, blanks included. An index
/// outside the tables gives a code the query rejects.
std::vector<SongCriterion> CriteriaOfRows(const std::vector<cCriteriaRow>& rows);

/// The songs of the scope's source that meet every condition, in source order. The selected
/// folder is the folder tree's, with or without its trailing separator. Throws
/// EInvalidSearchCombination for the first condition the query rejects, before any song is
/// tested (also when an earlier condition holds for no song, or the source is empty).
cSongPointersList SearchSongs(const std::vector<SongCriterion>& criteria, eSearchScope scope,
                              eViewMode viewMode, std::string_view selectedFolder,
                              const cSongPointersList& displayedSongs);

/// The search window's designed client area.
inline constexpr int kFindWindowClientWidth = 390;
inline constexpr int kFindWindowClientHeight = 266;

/// Section "FindWindow" of Options.ini.
struct cFindWindowSettings {
    /// The window's outer size as stored; nothing when the key is missing or no integer (the
    /// window then takes its designed size).
    std::optional<int> Height;
    std::optional<int> Width;
    eSearchScope LastSelectedRadio = eSearchScope::EntireCollection;

    /// Reads the three keys; a stored scope outside 0..3 keeps the entire collection.
    void Load(const cIniFile& settings);
    /// Writes "LastSelectedRadio", "Height" and "Width" in one replacement of the file (sizes
    /// that are not known are left out). Throws EFileError when the file cannot be written.
    void Save(cIniFile& settings) const;
};
