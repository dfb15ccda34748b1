#pragma once
// Reading known songs again from their files: the command "Re-read &tags" and the watch of the
// shown folder both bring a record up to date with a file that another program changed.
// Standard library only.

#include <string>
#include <string_view>
#include <vector>

class cSongInfo;

/// The first line of the message naming the files that could not be read again.
inline constexpr std::string_view kUnreadFilesMessage =
    "These files could not be read again, so their songs were left as they were:";
/// How many files that message names before it only counts the rest.
inline constexpr size_t kUnreadFilesNamed = 20;

/// What reading songs again did.
struct cReReadResult {
    /// The songs whose record took new values, in the order given.
    std::vector<cSongInfo*> Changed;
    /// Each file that could not be read, as "<path> (<reason>)"; a file that is gone says so.
    /// Its song keeps its record.
    std::vector<std::string> Unread;
    /// False when the catalogue refused the batch (it has said why, once): every song then
    /// keeps its old values, as the file does, and Changed is empty.
    bool Stored = true;
};

/// Reads every song's file again by the folder scan's rule (ReadSongFromFile: ID3v1, then
/// ID3v2, then the file name) and gives the record the five texts, Size and Date found there;
/// FileName, Views and Groups stay. Only the songs that changed are written, all of them to the
/// open catalogue as one batch (UpdateSongsInCatalogue), so a crash or a full disk at any write
/// leaves each song old or new, exactly once. A song given twice counts once. Needs the open
/// catalogue (std::logic_error otherwise, before anything is touched).
cReReadResult ReReadSongs(const std::vector<cSongInfo*>& songs);

/// The message naming the unread files of a re-read (at most kUnreadFilesNamed, then
/// "... and N more").
std::string UnreadFilesMessage(const std::vector<std::string>& unread);
