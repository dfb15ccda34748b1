#pragma once
// What the song list shows, as plain functions of the main window's view state: the conditions
// of the view mode and the group filter, the captions that name them, the stored modes read
// back, and how the auto-sized columns share the list's width. Standard library only.

#include <string>
#include <string_view>
#include <vector>

struct SongCriterion;

/// The view modes: the selected folder only, the folder and its subfolders, everything.
enum eViewMode : int {
    kViewSelectedFolder = 0,
    kViewSelectedFolderRecursively = 1,
    kViewEntireCollection = 2
};
/// The group filter modes: one group, only songs without a group, all songs.
enum eGroupViewMode : int { kGroupOne = 0, kGroupNone = 1, kGroupAll = 2 };

/// Captions of the three view-mode menu items, by mode.
inline constexpr std::string_view kViewModeCaptions[3] = {
    "Files in selected folder only", "Selected folder and subfolders", "Entire collection"};
/// The band's text for each view mode.
inline constexpr std::string_view kViewModeBandTexts[3] = {
    "(in this folder only)", "(in this folder, recursively)", "(in the entire collection)"};
inline constexpr std::string_view kAllFileGroupsCaption = "All file groups";
inline constexpr std::string_view kOnlyUngroupedCaption = "Only ungrouped";

/// The conditions that cut the shown songs out of the master song list, group condition first:
/// group mode 0 -> (Groups contains selectedGroup), 1 -> (Groups is ""), 2 -> none; then view
/// mode 0 -> (Folder is F), 1 -> (Folder begins with F), 2 -> none, where F is the selected
/// folder without its trailing separator ("/" stays "/").
/// False when the view can show no song at all: modes 0 and 1 without a selected folder.
bool ViewCriteria(int groupViewMode, const std::string& selectedGroup, int viewMode,
                  const std::string& selectedFolderPath, std::vector<SongCriterion>& criteria);

/// The label of the group filter: the group in mode 0, "Only ungrouped" in mode 1, "All file
/// groups" in mode 2.
std::string FilterLabel(int groupViewMode, const std::string& selectedGroup);

/// The band above the list: " " + filter label + " " + the view mode's band text.
std::string ActiveGroupCaption(int groupViewMode, const std::string& selectedGroup, int viewMode);

/// A stored mode read back: values outside 0..2 give the default.
int ModeOrDefault(int storedValue, int defaultValue);

/// Widths of the columns after the auto-sized ones shared the client width the others leave
/// free: each auto-sized column gets an equal share, the first one also the remainder of the
/// division; no share is narrower than minimumWidth. The other widths stay as they are.
std::vector<int> SharedColumnWidths(const std::vector<int>& widths,
                                    const std::vector<bool>& autoSized, int clientWidth,
                                    int minimumWidth);
