#pragma once
// The catalogue's half of watching the shown folder: what a change of the folder's files means
// for the songs. New MP3 files are added as the folder scan adds them; a known song whose file
// now differs from its record (size or last-modified time) is read again, unless the difference
// is the program's own doing (a tag written, a file renamed), noted by NoteOwnFileWrite. A file
// that another program deleted keeps its song, as it would until the next start.
// Standard library only; the watch itself (the system's change notices) is the GUI's.

#include <string>
#include <vector>

class cSongInfo;

/// The program has just written or renamed the file at the path (its tag, its name): while the
/// file stays exactly as it is now, a change notice about it is the program's own and the
/// watch does not read it again. The latest few hundred notes are kept.
void NoteOwnFileWrite(const std::string& path);
/// Forgets every note (a new catalogue, a test).
void ForgetOwnFileWrites();

/// What a look at the watched folder did.
struct cFolderRefresh {
    /// The songs that joined the master song list (new files, songs back from offline), in its
    /// order, each with its MasterIndex.
    std::vector<cSongInfo*> Added;
    /// Known songs of the folder read again, their records written as one batch.
    std::vector<cSongInfo*> ReRead;
};

/// The files of the folder (with or without its trailing separator) with the given names (no
/// folder part) changed, or, with allFiles, any of its files (the notices were too many to
/// keep). When a name is an MP3 file the catalogue does not know, or with allFiles, the folder
/// is scanned (ScanFolder). Every known song of the folder among the names (allFiles: every
/// one) whose file's size or last-modified time now differs from its record, and is not as the
/// program's own last write left it, is read again (ReReadSongs); files that are gone or cannot
/// be read keep their songs without a word, since the user did not ask for this. A folder that
/// is gone or cannot be read changes nothing. Needs the open catalogue (std::logic_error).
cFolderRefresh RefreshWatchedFolder(const std::string& folder,
                                    const std::vector<std::string>& names, bool allFiles);
