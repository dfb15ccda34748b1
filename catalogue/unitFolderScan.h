#pragma once
// The folder scan: the only way songs enter the catalogue. Looking at a folder adds the MP3
// files in it that the program does not know yet.

#include <string>
#include <string_view>
#include <unordered_set>

class cSongInfo;

/// How a scan tells a file it knows from a new one: by its path, byte for byte ("Intro.mp3"
/// and "intro.mp3" are two files on Linux).
using cKnownPathSet = std::unordered_set<std::string_view>;

/// The paths of every song of MasterSongList, for many scans in a row (a whole folder tree):
/// each file then costs one look-up instead of each folder a query of the whole master list.
/// It holds views of the songs' FileName, so no song may be renamed while it is in use; the
/// scans through it add the songs they bring in.
class cKnownFiles {
public:
    /// Needs MasterSongList (std::logic_error).
    cKnownFiles();
    bool Contains(std::string_view path) const { return m_Paths.contains(path); }
    void Add(std::string_view path) { m_Paths.insert(path); }

private:
    cKnownPathSet m_Paths;
};

/// Adds the folder's new MP3 files (not those of its subfolders) to MasterSongList and the
/// catalogue, in the order the file system lists them. Songs of the folder kept aside at start-up
/// whose files are there again come back first (ReviveOfflineSongs) and are known. An entry counts
/// as an MP3 file when its name ends in ".mp3" in any letter case and it is a file (or a link to
/// one); hidden files count too. A file is known, and skipped unread, when a song has its path byte
/// for byte (file names that differ only in letter case are different files). A size of 2 GiB or
/// more is stored as the largest the Size field holds (SizeField). Files that cannot be read are
/// left out and named in one message (ShowMessage); the rest of the folder is still added. A folder
/// that cannot be listed adds nothing and reports nothing. The new records are written to the
/// catalogue together, then appended to MasterSongList; when the catalogue refuses them (it has
/// shown its own message and cut its file back) none is added and a later scan tries again. Needs
/// the open catalogue (std::logic_error). The folder should end in the separator; one is added when
/// it does not.
void ScanFolder(const std::string& folder);
/// ScanFolder with the known songs taken from (and the added ones put into) known. Answers how
/// many songs joined the master list (new ones and ones that came back).
int ScanFolder(const std::string& folder, cKnownFiles& known);

/// Fills a fresh record from the file: FileName, Size and Date from the file, the texts from its
/// tags by the precedence rule of catalogue/unitSongTags (the ID3v1 tag's title, artist and
/// album trimmed at both ends, year and comment as stored; ID3v2 texts as UTF-8), with artist
/// and title taken from the file name where both tags lack them. A file shorter than 128 bytes
/// has no ID3v1 tag. Reads through a read-only open: the first bytes, the last 128, and the
/// frames of an ID3v2 tag as far as its texts need (ReadFileTags). Throws std::system_error
/// naming the file when it cannot be opened or read.
void ReadSongFromFile(const std::string& path, cSongInfo& song);

/// Artist and title from the file name without folder and extension, split at its FIRST
/// hyphen: each side trimmed of characters 0 to 32, then underscores made spaces. Without a
/// hyphen the whole name (untrimmed, underscores made spaces) is the title and the artist is
/// left as it was. Either target may be null.
void SongNameFromFileName(std::string_view path, std::string* artist, std::string* title);

/// The text with every "_" replaced by a space.
std::string UnderscoresToSpaces(std::string_view text);

/// True when the file name ends in ".mp3" in any letter case.
bool IsMp3FileName(std::string_view name);
