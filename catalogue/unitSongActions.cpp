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

#include "catalogue/unitFolderRefresh.h"
#include "catalogue/unitSongTags.h"
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

/// The design's message, and below it the system's reason when there is one: a newcomer
/// cannot tell a name that is taken from one the file system refuses.
void ShowRenameFailure(const EFileError* error = nullptr, std::string_view newPath = {}) {
    std::string text(kRenameFailedMessage);
    if (error != nullptr && error->code().value() == EEXIST) {
        text += "\n\nA file named \"" + std::string(FileNamePart(newPath)) +
                "\" already exists there.";
    } else if (error != nullptr) {
        text += "\n\n";
        text += error->what();
    }
    ShowMessage(text);
}

// ---- delete -------------------------------------------------------------------------------

/// Deletes the file for good. Answers nothing when it is gone (also when it was gone
/// already), else why it stays.
std::optional<std::string> DeleteFileForGood(const std::string& path) {
    if (::unlink(path.c_str()) == 0 || errno == ENOENT) {
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
        ShowRenameFailure(&error, *newPath);
        return false;
    }
    NoteOwnFileWrite(*newPath);
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
        ShowRenameFailure(&error, oldPath);
    }
    return false;
}

std::string DeleteForGoodQuestion(size_t count, std::string_view reason) {
    const bool one = count == 1;
    return std::to_string(count) + (one ? " song cannot" : " songs cannot") +
           " be moved to the trash (" + std::string(reason) + "). Delete " + (one ? "it" : "them") +
           " for good?";
}

std::vector<cSongInfo*> DeleteSongs(const std::vector<cSongInfo*>& songs,
                                    cSongPointersList& displayedSongs,
                                    const cMoveToTrash& moveToTrash,
                                    const cAskQuestion& askDeleteForGood,
                                    const cForgetSongs& forgetSongs) {
    NeedCatalogue("DeleteSongs");
    std::vector<cSongInfo*> gone;
    std::vector<std::pair<std::string, std::string>> undeleted;
    std::vector<cSongInfo*> untrashable;
    std::string trashRefusal;
    const std::vector<cSongInfo*> lastFirst(songs.rbegin(), songs.rend());
    std::vector<std::string> paths;
    paths.reserve(lastFirst.size());
    for (const cSongInfo* song : lastFirst) {
        paths.emplace_back(song->FileName());
    }
    std::vector<cTrashResult> results = moveToTrash(paths);
    results.resize(paths.size(), {eTrashOutcome::kFileStays, "the trash did not answer"});
    for (size_t i = 0; i < lastFirst.size(); ++i) {
        cSongInfo* song = lastFirst[i];
        const std::string& path = paths[i];
        cTrashResult& result = results[i];
        switch (result.Outcome) {
        case eTrashOutcome::kTrashed:
        case eTrashOutcome::kGone:
            gone.push_back(song);
            break;
        case eTrashOutcome::kFileStays:
            undeleted.emplace_back(path, std::move(result.Reason));
            break;
        case eTrashOutcome::kNoTrash:
            if (untrashable.empty()) {
                trashRefusal = std::move(result.Reason);
            }
            untrashable.push_back(song);
            break;
        }
    }
    // Deleting for good is what the user did not ask for: only after a Yes.
    if (!untrashable.empty() && askDeleteForGood &&
        askDeleteForGood(DeleteForGoodQuestion(untrashable.size(), trashRefusal))) {
        for (cSongInfo* song : untrashable) {
            const std::string path(song->FileName());
            if (std::optional<std::string> reason = DeleteFileForGood(path)) {
                undeleted.emplace_back(path, std::move(*reason));
            } else {
                gone.push_back(song);
            }
        }
    }

    std::unordered_set<const cSongInfo*> keptByMaster;
    std::string catalogueError;
    bool mismatch = false;
    for (cSongInfo* song : gone) {
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
    }

    // One walk over the displayed songs, however many go.
    const std::unordered_set<const cSongInfo*> goneSet(gone.begin(), gone.end());
    std::erase_if(displayedSongs.Items(),
                  [&](const cSongInfo* song) { return goneSet.contains(song); });
    std::vector<cSongInfo*> stayed;
    for (cSongInfo* song : songs) {
        if (!goneSet.contains(song)) {
            stayed.push_back(song); // its views and groups stay, so no later scan adds it anew
        }
    }
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
    return stayed;
}

void SaveSongTag(cSongInfo& song, const cId3v1Texts& texts, bool keepFileTime,
                 const std::timespec& fileTime) {
    if (SongsDatabase == nullptr) {
        throw std::logic_error("SaveSongTag needs the open catalogue");
    }
    const std::string path(song.FileName());
    const cSongTagWrite written = WriteSongTags(path, texts, keepFileTime ? &fileTime : nullptr);
    NoteOwnFileWrite(path);
    // As typed, cut to the field; a text cut there that the ID3v2 tag holds whole is whole.
    const auto text = [&](eTagField field) {
        const std::string_view typed =
            CutToFieldWidth(FieldText(texts, field), Id3v1FieldWidth(field));
        return CompletedText(typed, FieldText(written.Id3v2Texts, field),
                             Id3v1FieldWidth(field, &written.Id3v1));
    };
    song.SetTexts(path, text(eTagField::kTitle), text(eTagField::kArtist), text(eTagField::kAlbum),
                  text(eTagField::kComment), text(eTagField::kYear));
    song.Size = SizeField(written.FileSize);
    if (!keepFileTime) {
        song.Date = DateTimeFromUnixTime(written.FileTime.tv_sec,
                                         static_cast<int32_t>(written.FileTime.tv_nsec));
    }
    SongsDatabase->UpdateSongEntry(song);
    if (written.Id3v2LeftAlone) {
        ShowMessage("The ID3v2 tag of \"" + path +
                    "\" could not be read to its end (it is damaged or too large), so it was left "
                    "as it was: only the ID3v1 tag holds the new texts.");
    }
}

bool RemoveSongTag(const std::string& path, bool keepFileTime, const std::timespec& fileTime) {
    const bool removed = RemoveId3v1Tag(path);
    if (keepFileTime) {
        WriteFileTime(path, fileTime);
    }
    NoteOwnFileWrite(path);
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
