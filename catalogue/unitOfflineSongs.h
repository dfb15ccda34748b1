#pragma once
// Songs kept aside while their files cannot be reached: a drive that is not plugged in, a share
// that is not mounted, a folder that cannot be read for now. Their records stay live in the
// catalogue file, so their Views and groups are kept; the songs themselves are not in the
// master song list, so no list shows them, until their folder is there again: a scan of the
// folder in this run, or a later start, brings them back.

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

private:
    /// Kept songs by folder; the order within a folder is the catalogue's.
    std::unordered_map<std::string, std::vector<cSongInfo*>> m_ByFolder;
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
