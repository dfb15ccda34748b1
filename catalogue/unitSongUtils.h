#pragma once
// The two process-wide objects of the catalogue, loading the catalogue at start-up, compacting
// it and freeing it at exit.

#include <string>
#include <vector>

#include "catalogue/unitSongsDatabaseClass.h"

/// Every live song, in catalogue order followed by songs found by later scans. Owns its
/// records. Slots are never removed while the program runs: a deleted song leaves a null slot,
/// so MasterIndex stays valid; every walk skips null slots. Null before OpenSongsDatabase and
/// after FreeAllSongs.
extern cSongPointersList* MasterSongList;
/// The open catalogue file. Null before OpenSongsDatabase and after FreeAllSongs.
extern cSongsDatabase* SongsDatabase;

/// Opens the catalogue at the path (releasing one already loaded), reads every record into
/// MasterSongList, flags the records of vanished files and the earlier of two live copies of
/// one file deleted, cuts off a torn last record, and compacts the file when
/// deleted × 2 ≥ live > 0. A file is vanished when it is missing from a folder that is there;
/// a song whose file is out of reach (its folder is not there either, or the file cannot be
/// examined) keeps its live record and is kept aside in OfflineSongs, and counts as live. After a damaged record (reported by ReadNextSong) the songs before
/// it are loaded and nothing is compacted. False (after the "another instance" message) when
/// the file cannot be opened; nothing is read or written then.
bool OpenSongsDatabase(const std::string& path);
/// Rewrites the catalogue with only the live songs of MasterSongList, through path + ".tmp"
/// (emptied first, flushed to the disk) and one atomic rename over the catalogue; frees
/// everything (FreeAllSongs) on the way. When the new file cannot be written the catalogue
/// file is left as it was and the temporary file is removed.
void CompactSongsDatabase(const std::string& path);
/// Frees every song record (those kept aside too), the master list and the catalogue file.
void FreeAllSongs();
/// Writes the changed songs to the open catalogue as one batch. When the batch changes more
/// than half of the live records (the songs of the master list and those kept aside), and is
/// no small batch (a thousand songs or more: fewer take a few kilobytes, left to the start), the
/// catalogue is written anew once instead, with every live song as it is now, by the
/// compaction's rules: a complete new file, flushed, renamed over the old one; so the file does
/// not grow by a copy of most songs, and the next start has nothing to compact. A crash at any
/// moment leaves the old file or the new one. Otherwise, or when the new file cannot be
/// written, the songs are appended as cSongsDatabase::UpdateSongEntries does, with its answer
/// and its messages. Each song at most once. Throws std::logic_error without an open catalogue.
bool UpdateSongsInCatalogue(const std::vector<cSongInfo*>& songs);
