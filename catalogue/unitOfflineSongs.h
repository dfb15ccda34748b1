#pragma once
// Songs kept aside while their files cannot be reached: a drive that is not plugged in, a share
// that is not mounted, a folder that cannot be read for now. Their records stay live in the
// catalogue file, so their Views and groups are kept; the songs themselves are not in the
// master song list, so no list shows them, until their folder is there again: a file system
// mounted where they wait, the user looking at their folder or a folder above it, or a later
// start brings them back.

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "catalogue/unitSongsDatabaseClass.h"

class cOfflineSongs {
public:
    cOfflineSongs() = default;
    ~cOfflineSongs() { Clear(); }
    cOfflineSongs(const cOfflineSongs&) = delete;
    cOfflineSongs& operator=(const cOfflineSongs&) = delete;

    /// Takes the song into safekeeping (and ownership). Its record is live in the catalogue
    /// at its Position.
    void Keep(cSongInfo* song);
    int Count() const { return m_Count; }
    /// The kept songs by their Position in the catalogue file (the compaction writes them
    /// there). Borrowed.
    std::vector<cSongInfo*> InFileOrder() const;
    /// Hands back (and the caller then owns) the kept songs of the folder, given as FolderPart
    /// of their FileName (exact bytes), and forgets them.
    std::vector<cSongInfo*> TakeFolder(std::string_view folder);
    /// Frees every kept song.
    void Clear();

    /// The kept folders that may be reached again since these mount points came or went (as
    /// the mount table names them): those whose way in (see cWayIn) lies at, below or above one
    /// of them, and is there now. Folders elsewhere cost nothing, whatever their number.
    std::vector<std::string>
    FoldersReachableAfterMounts(const std::vector<std::string>& mountPoints);
    /// The kept folders at or below the folder (without its trailing separator) whose way in is
    /// there now.
    std::vector<std::string> FoldersReachableUnder(std::string_view folder);

private:
    /// Where the kept folders of one drive wait: the first folder of their path that was not
    /// there when they were kept (the drive's mount point for a drive that is not plugged in),
    /// or the folder itself when it was there (an empty mount point, a folder that could not
    /// be read). Nothing below it can come back before it is there.
    struct cWayIn {
        std::string Path; ///< as the songs' paths spell it
        std::string
            RealPath; ///< with links resolved as far as they lead: as the mount table names it
        std::set<std::string, std::less<>> Folders;
    };
    struct cKeptFolder {
        std::vector<cSongInfo*> Songs; ///< in the catalogue's order
        cWayIn* WayIn = nullptr;       ///< null until PlaceNewFolders
    };

    /// Finds the way in of each folder kept since the last call.
    void PlaceNewFolders();
    void Place(const std::string& folder, cKeptFolder& kept,
               std::unordered_map<std::string, bool>& folderThere);
    void Unplace(const std::string& folder, cKeptFolder& kept);
    /// The folders of the ways in that are there now, each way looked at once.
    std::vector<std::string> FoldersOfReachable(const std::vector<cWayIn*>& ways) const;

    /// Kept songs by folder, in path order (a folder's subfolders follow it).
    std::map<std::string, cKeptFolder, std::less<>> m_ByFolder;
    /// The folder the last Keep went to: a load keeps a folder's songs one after another.
    std::map<std::string, cKeptFolder, std::less<>>::iterator m_LastFolder = m_ByFolder.end();
    std::vector<std::string> m_NewFolders;
    std::unordered_map<std::string, cWayIn> m_WaysIn;
    std::multimap<std::string, cWayIn*, std::less<>> m_WaysByRealPath;
    int m_Count = 0;
};

/// The songs kept aside by the last OpenSongsDatabase; FreeAllSongs frees them with the
/// master song list.
extern cOfflineSongs OfflineSongs;

/// The folder (with or without its trailing separator) is being looked at: its kept songs
/// whose files are there again return to the end of MasterSongList with their Views and groups
/// and the record they have in the catalogue; those whose files are gone from the folder are
/// flagged deleted in the catalogue, as a start would; those still out of reach stay kept.
/// Answers the songs brought back. ScanFolder calls this first, so a song that comes back is
/// known to it and never added a second time.
std::vector<cSongInfo*> ReviveOfflineSongs(const std::string& folder);
/// ReviveOfflineSongs for several folders at once, with one existence check for all of them; the
/// songs come back in the catalogue's order.
std::vector<cSongInfo*> ReviveOfflineFolders(const std::vector<std::string>& folders);
/// The mount table changed (these mount points came or went): the kept songs of folders that
/// may be reached again through them are revived. Cheap when none of them is concerned.
std::vector<cSongInfo*> ReviveOfflineSongsAfterMounts(const std::vector<std::string>& mountPoints);
/// The user looks at the folder: the kept songs of it and of every folder below it return
/// where they can be reached again.
std::vector<cSongInfo*> ReviveOfflineSongsUnder(const std::string& folder);
