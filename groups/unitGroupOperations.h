#pragma once
// What changes the groups of songs, and where the group entries of the groups menu break into
// columns: one group per artist or per album over the shown songs, the purge of deleted groups
// from every song, the group window's assignment, and the entries' check marks and column
// breaks. Standard library only. Every song written goes to the catalogue in one batch
// (ChangeSongsGroups): a crash leaves each song with its old groups or its new ones, and a batch
// that cannot be written changes no song. Names a song is to carry reach the group file first.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class cGroupList;
class cSongInfo;
class cSongPointersList;

/// Which text of a song names its group.
enum class eGroupKey { Artist, Album };

/// The group a song's artist or album text gives: the text as stored, untrimmed, followed by
/// " (album)" for albums. None when the text is empty or holds only characters 0 to 32, and
/// none when it holds a line break, which no group name can hold (it would come back as two).
std::optional<std::string> GroupNameOfKey(std::string_view key, eGroupKey kind);

/// "Create groups per artist" / "per album" over the shown songs, first row to last: each
/// song's group (GroupNameOfKey) joins the group list unless the list holds it in some letter
/// case, and joins the song's groups (which are then sorted) unless the song holds it in some
/// letter case; only songs that change are written. The group list, sorted, is stored in the
/// group file before any song is written (StoreGroupList), so that a crash or a failure at any
/// point never leaves a song with a group the file lacks.
/// False when the group file could not be written (shown; neither the list nor the songs have
/// changed), and false when the songs could not be written (shown; the list and its file hold
/// the new names, which no song carries yet, and the songs are unchanged).
bool CreateGroupsPerKey(eGroupKey kind, const std::vector<cSongInfo*>& shownSongs,
                        cGroupList& groups, const std::string& groupFilePath);

/// Start-up: every group that a song of the master song list or a song kept aside offline
/// carries and the group list lacks in every letter case joins the list (first spelling met),
/// and the list is then sorted; so that no later purge can take such a group from its songs.
/// True when a name was added (the list is then to be stored); the list is untouched otherwise.
bool AddMissingGroups(cGroupList& groups, const cSongPointersList& masterSongList);

/// Removes from every song of the master song list (empty slots skipped) and every song kept
/// aside offline (OfflineSongs) each group name that the group list does not hold in some
/// letter case; only songs that lost a name are written.
/// False when they could not be written (shown once; every song keeps its names).
bool PurgeDeletedGroups(const cGroupList& groups, const cSongPointersList& masterSongList);

/// The names in ascending order of CompareGroupNames, each name once: of names equal apart from
/// letter case the first one given stays.
std::vector<std::string> SortedGroupSet(const std::vector<std::string>& names);

/// The groups the songs carry, song by song and each song's names in order, each name once
/// (the first spelling met).
cGroupList GroupsOfSongs(const std::vector<cSongInfo*>& songs);

/// The group window's OK: every song gets exactly the checked groups, in ascending order
/// (SortedGroupSet), and every song is written, changed or not. False when the songs could not
/// be written (shown once; every song keeps its groups).
bool AssignGroups(const std::vector<cSongInfo*>& songs,
                  const std::vector<std::string>& checkedNames);

/// One group entry of the groups menu.
struct cGroupMenuEntry {
    int GroupIndex = 0; ///< index in the group list; the entries keep the list's order
    bool Checked = false;
    bool StartsColumn = false; ///< begins a new menu column, behind a vertical bar

    bool operator==(const cGroupMenuEntry&) const = default;
};

/// The group entries of the groups menu: one per group; checked when one group is shown and the
/// name equals the selected group byte for byte (letter case included); every barBreakLimit-th
/// entry after the first starts a column. A limit below 1 counts as 1.
std::vector<cGroupMenuEntry> GroupMenuEntries(const cGroupList& groups, bool oneGroupShown,
                                              std::string_view selectedGroup, int barBreakLimit);
