#pragma once
// What the user does to songs, as the windows ask for it: each operation changes the song
// record, the song's file and the open catalogue together, so no window touches the catalogue
// itself. Standard library only.

#include <string>
#include <vector>

#include "catalogue/unitId3v1.h"
#include "util/unitUtils.h"

class cSongInfo;

/// The song was opened: its Views goes up by one (stopping at the largest 32-bit value rather
/// than turning negative) and its record is rewritten in place in the open catalogue. Answers
/// whether the catalogue holds the new count; without an open catalogue, or when the rewrite
/// fails (the catalogue reports that itself), the count still goes up for this run.
bool CountSongOpening(cSongInfo& song);

/// The tag editor's OK: writes the texts into the song's file; then either sets the file's
/// last-modified time back to fileDate (keepFileDate; the record's Date stays) or sets the
/// record's Date to now; then the record takes all five texts as written to the file (Title,
/// Author, Album, Year, Comment, each cut to its field's width and otherwise as typed) and is
/// written anew to the open catalogue (UpdateSongEntry). When the file cannot be written the
/// std::system_error reaches the caller and neither the record nor the catalogue has changed.
/// Needs the open catalogue (std::logic_error otherwise, before anything is touched).
void SaveSongTag(cSongInfo& song, const cId3v1Texts& texts, bool keepFileDate, TDateTime fileDate);

/// The tag editor's Remove ID3: cuts the tag off the file and, when keepFileDate holds, sets
/// the file's last-modified time back to fileDate. The record and the catalogue are not
/// changed. Answers whether a tag was removed; errors as RemoveId3v1Tag.
bool RemoveSongTag(const std::string& path, bool keepFileDate, TDateTime fileDate);

/// One song and the group list it is to have.
struct cSongGroupsChange {
    cSongInfo* Song = nullptr;
    std::vector<std::string> Groups;
};

/// Every song of the changes takes its new group list, and all of them are written to the open
/// catalogue as one batch (cSongsDatabase::UpdateSongEntries): a crash leaves each song with
/// its old groups or its new ones. Each song at most once. When the batch cannot be written
/// (the catalogue has shown why, once) every song keeps its old groups, as the file does, and
/// the answer is false. Needs the open catalogue unless there is no change (std::logic_error
/// otherwise).
bool ChangeSongsGroups(std::vector<cSongGroupsChange> changes);
