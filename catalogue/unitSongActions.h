#pragma once
// What the user does to songs, as the windows ask for it: each operation changes the song
// record, the song's file and the open catalogue together, so no window touches the catalogue
// itself. Failures the user must hear about are shown through ShowMessage (util/unitMessages).
// Standard library only.

#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/unitSongTags.h"
#include "util/unitTrash.h"
#include "util/unitUtils.h"

class cSongInfo;
class cSongPointersList;

/// The song was opened: its Views goes up by one (stopping at the largest 32-bit value rather
/// than turning negative) and its record is rewritten in place in the open catalogue. Answers
/// whether the catalogue holds the new count; without an open catalogue, or when the rewrite
/// fails (the catalogue reports that itself), the count still goes up for this run.
bool CountSongOpening(cSongInfo& song);

/// The message of every rename that did not happen.
inline constexpr std::string_view kRenameFailedMessage =
    "File rename failed, make sure the new name doesn't contain illegal characters";

/// The first column of the list, whose caption is edited to rename a song's file.
enum class eRenameColumn {
    kPath,     ///< the caption is the full path
    kFileName, ///< the caption is the file name without folder and extension
};

/// The caption of the song was edited to `typed`. The new path is, with the Path column, the
/// typed text, which must be an absolute path; with the FileName column, the selected folder
/// (with its trailing separator) + the typed text + ".mp3", so the file moves into the selected
/// folder, and the typed text must be a plain name (not empty, not "." or "..", no "/"). A NUL
/// byte, a relative path, or a FileName rename without a selected folder is refused.
///
/// The file gets the new path without ever replacing another file (MoveFileNoReplace), then the
/// record's FileName and its catalogue entry (UpdateSongEntry) follow; when the catalogue cannot
/// take the entry, the file is moved back. Any failure shows kRenameFailedMessage, followed by
/// the system's reason when the file system refused the move ("A file named "x.mp3" already
/// exists there." when the name is taken), and answers false, with the file, the
/// record and the catalogue as they were. The song's own path again changes nothing and
/// answers true. Needs the open catalogue (std::logic_error otherwise, before anything is
/// touched).
bool RenameSong(cSongInfo& song, eRenameColumn column, std::string_view typed,
                std::string_view selectedFolderPath);

/// Moves the files to the trash of their file systems, in order, and answers what became of
/// each (MoveFilesToTrash of util/unitTrash).
using cMoveToTrash =
    std::function<std::vector<cTrashResult>(const std::vector<std::string>& paths)>;
/// Asks the user a question with a warning; answers true only for Yes.
using cAskQuestion = std::function<bool(const std::string& question)>;
/// Hears which songs left the catalogue, just before their records are disposed.
using cForgetSongs = std::function<void(const std::vector<cSongInfo*>& songs)>;

/// The first line of the message naming the files that could not be deleted.
inline constexpr std::string_view kUndeletedFilesMessage =
    "These files could not be deleted, so their songs stay in the list:";
/// The message of a song that the master song list does not hold where its MasterIndex says.
inline constexpr std::string_view kMasterListMismatchMessage =
    "Something weird while deleting file, you better restart the app.";
/// How many files the message names before it only counts the rest.
inline constexpr size_t kUndeletedFilesNamed = 20;

/// The question before files that no trash takes are deleted for good: "<n> songs cannot be
/// moved to the trash (<reason>). Delete them for good?" (for one song: "1 song cannot ...
/// Delete it for good?").
std::string DeleteForGoodQuestion(size_t count, std::string_view reason);

/// Deletes the songs, given in list order, from the last to the first: their files go to the
/// trash (one call of moveToTrash). When the trash refuses files (kNoTrash), the user is asked once
/// (askDeleteForGood, DeleteForGoodQuestion with the first refusal's reason): only a Yes
/// deletes those files for good; a No keeps them, their songs and rows as they were. A song
/// whose file is gone then (or was already) leaves the catalogue (DeleteSongEntry), its
/// master-list slot (emptied when it holds the song at MasterIndex) and the displayed song
/// list; forgetSongs hears of all of them at once, and then their records are disposed, except
/// a record that the master list still holds in another slot. A file that stays where it was
/// keeps its song untouched. Afterwards one message names the files that could not be deleted
/// (with the reason; a No is no failure), and one message reports master-list slots that did
/// not hold their song (kMasterListMismatchMessage). The displayed song list is walked once,
/// however many songs go. Answers the songs that stayed, in list order. Needs the open
/// catalogue and master list (std::logic_error otherwise, before anything is touched).
std::vector<cSongInfo*> DeleteSongs(const std::vector<cSongInfo*>& songs,
                                    cSongPointersList& displayedSongs,
                                    const cMoveToTrash& moveToTrash,
                                    const cAskQuestion& askDeleteForGood,
                                    const cForgetSongs& forgetSongs);

/// The tag editor's OK: writes the texts into the song's file (WriteSongTags: the ID3v1 block,
/// and each changed text into the frames of an ID3v2 tag); the file's last-modified time
/// afterwards is fileTime exactly (keepFileTime), else the time of the write. Then the record
/// takes all five texts as written to the ID3v1 tag (Title, Author, Album, Year, Comment, each
/// cut to its field's width and otherwise as typed; a text cut there that the ID3v2 tag holds
/// whole, whole), its Size becomes the file's new size and, unless the time was kept, its Date
/// the file's new time, so that record and file agree right after the write; it is written anew
/// to the open catalogue (UpdateSongEntry). An ID3v2 tag that had to be left as it was (damaged,
/// too large) is named in a message (ShowMessage). When the file cannot be written the
/// std::system_error reaches the caller and neither the record nor the catalogue has changed. Needs
/// the open catalogue (std::logic_error otherwise, before anything is touched).
void SaveSongTag(cSongInfo& song, const cId3v1Texts& texts, bool keepFileTime,
                 const std::timespec& fileTime);

/// The tag editor's Remove ID3: cuts the tag off the file and, when keepFileTime holds, sets
/// the file's last-modified time back to fileTime exactly. The record and the catalogue are
/// not changed. Answers whether a tag was removed; errors as RemoveId3v1Tag.
bool RemoveSongTag(const std::string& path, bool keepFileTime, const std::timespec& fileTime);

/// One song and the group list it is to have.
struct cSongGroupsChange {
    cSongInfo* Song = nullptr;
    std::vector<std::string> Groups;
};

/// Every song of the changes takes its new group list, and all of them are written to the open
/// catalogue as one batch (UpdateSongsInCatalogue): a crash leaves each song with
/// its old groups or its new ones. Each song at most once. When the batch cannot be written
/// (the catalogue has shown why, once) every song keeps its old groups, as the file does, and
/// the answer is false. Needs the open catalogue unless there is no change (std::logic_error
/// otherwise).
bool ChangeSongsGroups(std::vector<cSongGroupsChange> changes);
