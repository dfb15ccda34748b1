#pragma once
// Which songs the song list shows: the songs of which folders (the view mode) and of which
// groups (the group view mode), each with the value Options.ini stores it as and the reader of
// that value. Standard library only: the browser, the groups menu and the search all take them.

#include <string_view>

/// Which songs the list shows by folder; stored as "ViewMode" 0, 1, 2.
enum class eViewMode : int {
    SelectedFolder = 0,            ///< the selected folder only
    SelectedFolderRecursively = 1, ///< the folder and every folder whose path begins with it
    EntireCollection = 2,
};

/// Which songs the list shows by group; stored as "LastGroupViewMode" 0, 1, 2.
enum class eGroupViewMode : int {
    OneGroup = 0,  ///< the songs of the selected group
    Ungrouped = 1, ///< only songs without a group
    AllGroups = 2, ///< all songs
};

/// The group filter's captions without a group of its own.
inline constexpr std::string_view kAllFileGroupsCaption = "All file groups";
inline constexpr std::string_view kOnlyUngroupedCaption = "Only ungrouped";

/// Whether a stored mode is one of the three.
constexpr bool IsStoredMode(int storedValue) {
    return storedValue >= 0 && storedValue <= 2;
}

/// A stored view mode read back: values outside 0..2 give SelectedFolder.
constexpr eViewMode ViewModeFromStored(int storedValue) {
    return IsStoredMode(storedValue) ? static_cast<eViewMode>(storedValue)
                                     : eViewMode::SelectedFolder;
}

/// A stored group view mode read back: values outside 0..2 give AllGroups.
constexpr eGroupViewMode GroupViewModeFromStored(int storedValue) {
    return IsStoredMode(storedValue) ? static_cast<eGroupViewMode>(storedValue)
                                     : eGroupViewMode::AllGroups;
}
