#include "catalogue/unitSongActions.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <limits>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <unordered_set>
#include <utility>

#include "catalogue/unitSongUtils.h"
#include "catalogue/unitSongsDatabaseClass.h"
#include "util/unitFileHandle.h"
#include "util/unitFileMove.h"
#include "util/unitMessages.h"
#include "util/unitTextUtils.h"

namespace {

void NeedCatalogue(const char* operation) {
    if (SongsDatabase == nullptr || MasterSongList == nullptr) {
        throw std::logic_error(std::string(operation) + " needs the open catalogue");
    }
}

// ---- rename -------------------------------------------------------------------------------

/// The new path for an edited caption, or nothing when the text cannot name a file here.
std::optional<std::string> RenameTargetPath(eRenameColumn column, std::string_view typed,
                                            std::string_view selectedFolderPath) {
    if (typed.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    if (column == eRenameColumn::kPath) {
        if (!typed.starts_with(kPathDelim)) {
            return std::nullopt; // relative to whatever the current folder happens to be
        }
        return std::string(typed);
    }
    if (typed.empty() || typed == "." || typed == ".." ||
        typed.find(kPathDelim) != std::string_view::npos || selectedFolderPath.empty()) {
        return std::nullopt;
    }
    return AddTrailingBackslash(selectedFolderPath) + std::string(typed) + ".mp3";
}

/// Whether a failed move is about the name the user typed (the design's message says it all)
/// rather than about the disk or the rights (the user needs the reason too).
bool IsNameProblem(int error) {
    switch (error) {
    case EEXIST:
    case ENOTEMPTY:
    case ENOENT:
    case ENOTDIR:
    case EISDIR:
    case ENAMETOOLONG:
    case EINVAL:
    case ELOOP:
        return true;
    default:
        return false;
    }
}

void ShowRenameFailure(const EFileError* error = nullptr) {
    std::string text(kRenameFailedMessage);
    if (error != nullptr && !IsNameProblem(error->code().value())) {
        text += "\n\n";
        text += error->what();
    }
    ShowMessage(text);
}

// ---- delete -------------------------------------------------------------------------------

/// Sends the file away: to the trash, or for good where the trash does not take it. Answers
/// nothing when the file is gone (also when it was gone already), else why it stays.
std::optional<std::string> RemoveSongFile(const std::string& path,
                                          const cMoveToTrash& moveToTrash) {
    if (moveToTrash(path) || ::unlink(path.c_str()) == 0 || errno == ENOENT) {
        return std::nullopt;
    }
    const int error = errno;
    if (::access(path.c_str(), F_OK) != 0 && errno == ENOENT) {
        return std::nullopt;
    }
    return std::generic_category().message(error);
}

std::string UndeletedFilesText(const std::vector<std::pair<std::string, std::string>>& files) {
    std::vector<std::string> lines;
    lines.reserve(files.size());
    for (const auto& [path, reason] : files) {
        lines.push_back(path + " (" + reason + ")");
    }
    return ListedLinesMessage(std::string(kUndeletedFilesMessage), lines, kUndeletedFilesNamed);
}

/// Empties the song's master-list slot. False when the slot at its MasterIndex holds
/// something else; the master list is then left as it is.
bool EmptyMasterSlot(const cSongInfo* song) {
    const int index = song->MasterIndex;
    if (index < 0 || index >= MasterSongList->Count() || MasterSongList->Get(index) != song) {
        return false;
    }
    MasterSongList->Put(index, nullptr);
    return true;
}

} // namespace

bool CountSongOpening(cSongInfo& song) {
    if (song.Views < std::numeric_limits<int32_t>::max()) {
        ++song.Views;
    }
    // Same length as before: the record is overwritten where it stands.
    return SongsDatabase != nullptr && SongsDatabase->RewriteSongEntry(song);
}

bool RenameSong(cSongInfo& song, eRenameColumn column, std::string_view typed,
                std::string_view selectedFolderPath) {
    NeedCatalogue("RenameSong");
    const std::optional<std::string> newPath = RenameTargetPath(column, typed, selectedFolderPath);
    if (!newPath) {
        ShowRenameFailure();
        return false;
    }
    const std::string oldPath(song.FileName());
    if (*newPath == oldPath) {
        return true;
    }
    try {
        MoveFileNoReplace(oldPath, *newPath);
    } catch (const EFileError& error) {
        ShowRenameFailure(&error);
        return false;
    }
    song.SetFileName(*newPath);
    if (SongsDatabase->UpdateSongEntry(song)) {
        return true;
    }
    // The catalogue has shown why it could not take the entry. It still names the old path:
    // the file goes back there, or the song would be lost at the next start.
    try {
        MoveFileNoReplace(*newPath, oldPath);
        song.SetFileName(oldPath);
        ShowRenameFailure();
    } catch (const EFileError& error) {
        // The file stays at its new path, which the record names for this run.
        ShowRenameFailure(&error);
    }
    return false;
}

std::vector<cSongInfo*> DeleteSongs(const std::vector<cSongInfo*>& songs,
                                    cSongPointersList& displayedSongs,
                                    const cMoveToTrash& moveToTrash,
                                    const cForgetSongs& forgetSongs) {
    NeedCatalogue("DeleteSongs");
    std::vector<cSongInfo*> gone;
    std::vector<cSongInfo*> stayed;
    std::vector<std::pair<std::string, std::string>> undeleted;
    std::unordered_set<const cSongInfo*> keptByMaster;
    std::string catalogueError;
    bool mismatch = false;
    for (auto it = songs.rbegin(); it != songs.rend(); ++it) {
        cSongInfo* song = *it;
        const std::string path(song->FileName());
        if (std::optional<std::string> reason = RemoveSongFile(path, moveToTrash)) {
            // The song stays with its views and groups, so no later scan adds it anew.
            undeleted.emplace_back(path, std::move(*reason));
            stayed.push_back(song);
            continue;
        }
        try {
            SongsDatabase->DeleteSongEntry(*song);
        } catch (const std::exception& error) {
            // The file is gone: the next start drops the record as a vanished file.
            if (catalogueError.empty()) {
                catalogueError = error.what();
            }
        }
        if (!EmptyMasterSlot(song)) {
            mismatch = true;
            if (MasterSongList->IndexOf(song) >= 0) {
                keptByMaster.insert(song); // still owned there: never disposed here
            }
        }
        gone.push_back(song);
    }

    // One walk over the displayed songs, however many go.
    const std::unordered_set<const cSongInfo*> goneSet(gone.begin(), gone.end());
    std::erase_if(displayedSongs.Items(),
                  [&](const cSongInfo* song) { return goneSet.contains(song); });
    if (forgetSongs) {
        forgetSongs(gone);
    }
    for (cSongInfo* song : gone) {
        if (!keptByMaster.contains(song)) {
            DisposeSongInfo(song);
        }
    }

    if (!catalogueError.empty()) {
        ShowErrorMessage("The catalogue could not note a deleted song: ", catalogueError);
    }
    if (mismatch) {
        ShowMessage(std::string(kMasterListMismatchMessage));
    }
    if (!undeleted.empty()) {
        ShowMessage(UndeletedFilesText(undeleted));
    }
    std::reverse(stayed.begin(), stayed.end());
    return stayed;
}

void SaveSongTag(cSongInfo& song, const cId3v1Texts& texts, bool keepFileTime,
                 const std::timespec& fileTime) {
    if (SongsDatabase == nullptr) {
        throw std::logic_error("SaveSongTag needs the open catalogue");
    }
    const std::string path(song.FileName());
    WriteId3v1Tag(path, texts);
    if (keepFileTime) {
        WriteFileTime(path, fileTime);
    } else {
        song.Date = NowDateTime();
    }
    song.SetTexts(path, CutToFieldWidth(texts.Title, kId3v1Title.Width),
                  CutToFieldWidth(texts.Artist, kId3v1Artist.Width),
                  CutToFieldWidth(texts.Album, kId3v1Album.Width),
                  CutToFieldWidth(texts.Comment, kId3v1Comment.Width),
                  CutToFieldWidth(texts.Year, kId3v1Year.Width));
    SongsDatabase->UpdateSongEntry(song);
}

bool RemoveSongTag(const std::string& path, bool keepFileTime, const std::timespec& fileTime) {
    const bool removed = RemoveId3v1Tag(path);
    if (keepFileTime) {
        WriteFileTime(path, fileTime);
    }
    return removed;
}

bool ChangeSongsGroups(std::vector<cSongGroupsChange> changes) {
    if (changes.empty()) {
        return true;
    }
    NeedCatalogue("ChangeSongsGroups");
    std::vector<cSongInfo*> songs;
    songs.reserve(changes.size());
    for (cSongGroupsChange& change : changes) {
        // Each change now holds the song's old groups, for the way back.
        std::swap(change.Song->Groups, change.Groups);
        songs.push_back(change.Song);
    }
    if (UpdateSongsInCatalogue(songs)) {
        return true;
    }
    for (cSongGroupsChange& change : changes) {
        std::swap(change.Song->Groups, change.Groups);
    }
    return false;
}
