#include "catalogue/unitSongUtils.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <utility>
#include <vector>

#include "catalogue/unitFileExistence.h"
#include "catalogue/unitOfflineSongs.h"
#include "util/unitAsciiCase.h"
#include "util/unitAtomicFile.h"
#include "util/unitMessages.h"

cSongPointersList* MasterSongList = nullptr;
cSongsDatabase* SongsDatabase = nullptr;

namespace {
constexpr const char* kOpenFailedPrefix =
    "Could not open the songs database, is another instance of this program still running? "
    "The exact error message: ";
constexpr const char* kReadPrefix = "In cSongsDatabase.ReadNextSong (): ";
constexpr const char* kCompactPrefix = "In CompactSongsDatabase (): ";
constexpr const char* kLoadPrefix = "In OpenSongsDatabase (): ";

struct cSongDisposer {
    void operator()(cSongInfo* song) const { DisposeSongInfo(song); }
};
using cOwnedSong = std::unique_ptr<cSongInfo, cSongDisposer>;

/// The live records read at start-up, in file order, with what the later steps need of each
/// taken while the record was fresh in the cache: a million records do not fit in it, and
/// every later pass over them would wait on memory.
struct cLoadedSongs {
    std::vector<cOwnedSong> songs;
    std::vector<uint64_t> foldedHashes; ///< FoldedHash of each song's FileName
    cFileExistenceCheck existence;      ///< fed with each song's FileName
    std::vector<uint8_t> offline;       ///< 1: the song's file is out of reach, keep it aside
    bool flaggingFailed = false;

    /// Flags the song's copy deleted in the file and drops the song. After a failed write the
    /// songs are still dropped but no more flags are tried: one message, not one per song.
    void Drop(size_t index) {
        if (!flaggingFailed) {
            try {
                SongsDatabase->DeleteSongEntry(*songs[index]);
            } catch (const std::exception& error) {
                ShowErrorMessage(kLoadPrefix, error.what());
                flaggingFailed = true;
            }
        }
        songs[index].reset();
    }
};

/// Reads every record from the position on; live ones are kept, deleted ones counted.
cLoadedSongs ReadAllRecords(cSongsDatabase& database, int64_t& deletedCount) {
    cLoadedSongs loaded;
    // Every record takes at least 53 bytes. Reserved pages that stay unused cost no memory.
    const auto most = static_cast<size_t>(database.GetSize() / 53 + 1);
    loaded.songs.reserve(most);
    loaded.foldedHashes.reserve(most);
    loaded.existence.Reserve(most);
    for (;;) {
        if (TraceEnabled()) {
            TraceLog("[OpenSongsDatabase] Calling ReadNextSong () at pos " +
                     std::to_string(database.GetPosition()));
        }
        cOwnedSong song(NewSongInfo());
        if (!database.ReadNextSong(*song)) {
            return loaded;
        }
        if (song->Deleted != 0) {
            ++deletedCount;
            continue;
        }
        loaded.foldedHashes.push_back(FoldedHash(song->FileName()));
        loaded.existence.Add(song->FileName());
        loaded.songs.push_back(std::move(song));
    }
}

/// Flags the records of files that are gone deleted in the file and drops them. Returns how
/// many there were. Songs whose files are out of reach (their folder is not there, or the file
/// cannot be examined) are marked to be kept aside: their records stay live.
int64_t DropVanishedFiles(cLoadedSongs& loaded) {
    const std::vector<uint8_t> states = loaded.existence.Run();
    loaded.offline.assign(states.size(), 0);
    int64_t dropped = 0;
    for (size_t i = 0; i < states.size(); ++i) {
        if (states[i] == kFileExists) {
            continue;
        }
        cOwnedSong& song = loaded.songs[i];
        if (states[i] == kFileOffline) {
            if (TraceEnabled()) {
                TraceLog("[OpenSongsDatabase] File '" + std::string(song->FileName()) +
                         "' is out of reach and kept aside. StreamPos: " +
                         std::to_string(song->Position));
            }
            loaded.offline[i] = 1;
            continue;
        }
        if (TraceEnabled()) {
            TraceLog("[OpenSongsDatabase] File '" + std::string(song->FileName()) +
                     "' does not exist. StreamPos: " + std::to_string(song->Position) +
                     ". Current SongsDB position: " + std::to_string(SongsDatabase->GetPosition()));
        }
        loaded.Drop(i);
        ++dropped;
    }
    return dropped;
}

/// An update appends the new copy before it flags the old one, so a crash in between leaves
/// two live copies of one file. The later copy is the newer: every earlier copy is flagged
/// deleted in the file and dropped. Names are compared with A..Z folded, as everywhere in the
/// catalogue. Returns how many copies were dropped.
int64_t DropEarlierCopies(cLoadedSongs& loaded) {
    std::vector<cOwnedSong>& songs = loaded.songs;
    size_t capacity = 16;
    while (capacity < songs.size() * 2) {
        capacity *= 2;
    }
    const size_t mask = capacity - 1;
    std::vector<uint32_t> slots(capacity, 0); // index + 1 of the latest song with that name
    int64_t dropped = 0;
    for (size_t i = 0; i < songs.size(); ++i) {
        if (!songs[i]) {
            continue;
        }
        const uint64_t hash = loaded.foldedHashes[i];
        size_t slot = hash & mask;
        for (; slots[slot] != 0; slot = (slot + 1) & mask) {
            const size_t other = slots[slot] - 1;
            if (loaded.foldedHashes[other] == hash &&
                SameTextIgnoringAsciiCase(songs[other]->FileName(), songs[i]->FileName())) {
                break;
            }
        }
        if (slots[slot] != 0) {
            const size_t earlier = slots[slot] - 1;
            if (TraceEnabled()) {
                TraceLog("[OpenSongsDatabase] Later copy of " + std::string(songs[i]->FileName()) +
                         " found, earlier copy at " + std::to_string(songs[earlier]->Position) +
                         " flagged deleted");
            }
            loaded.Drop(earlier);
            ++dropped;
        }
        slots[slot] = static_cast<uint32_t>(i + 1);
    }
    return dropped;
}

/// Every live record: the songs of the master list in its order, and the songs kept aside
/// each before the first master song that lies behind it in the file, so the file order stays.
std::vector<cSongInfo*> LiveSongsToKeep() {
    const std::vector<cSongInfo*> kept = OfflineSongs.InFileOrder();
    std::vector<cSongInfo*> songs;
    songs.reserve(kept.size() +
                  (MasterSongList != nullptr ? static_cast<size_t>(MasterSongList->Count()) : 0));
    auto nextKept = kept.begin();
    if (MasterSongList != nullptr) {
        for (cSongInfo* song : *MasterSongList) {
            if (song == nullptr) {
                continue;
            }
            for (; nextKept != kept.end() && (*nextKept)->Position < song->Position; ++nextKept) {
                songs.push_back(*nextKept);
            }
            songs.push_back(song);
        }
    }
    songs.insert(songs.end(), nextKept, kept.end());
    return songs;
}

/// Writes the catalogue file + ".tmp" from empty with every song of the master list, flushes
/// it, and moves it over the catalogue file in one rename; the new file keeps the old one's
/// permission bits (and owner, where that may be set). Returns the new catalogue, still open
/// and locked (so no second copy of the program can slip in before it is loaded), or null when
/// the compaction could not be done; the old catalogue and the master list are then as before.
std::unique_ptr<cSongsDatabase> WriteCompactCopy(const std::string& path) {
    // A symbolic link is followed, so that the file it points to is replaced and the link stays.
    std::string target;
    std::string tempPath;
    auto compact = std::make_unique<cSongsDatabase>();
    try {
        target = FileBehindLinks(path);
        tempPath = target + ".tmp";
        compact->Open(tempPath);
    } catch (const std::exception& error) {
        ShowErrorMessage(kCompactPrefix, error.what());
        return nullptr;
    }
    if (struct stat info{}; ::stat(target.c_str(), &info) == 0) {
        ::chmod(tempPath.c_str(), info.st_mode & 07777);
        (void)!::chown(tempPath.c_str(), info.st_uid, info.st_gid);
    }
    const std::vector<cSongInfo*> songs = LiveSongsToKeep();
    // Writing into the new file moves each record's Position there; kept to undo that.
    std::vector<std::pair<int64_t, uint32_t>> places;
    places.reserve(songs.size());
    for (const cSongInfo* song : songs) {
        places.emplace_back(song->Position, song->RecordLength);
    }
    bool written = false;
    try {
        compact->Truncate(0); // a leftover of an interrupted compaction
        written = compact->AddSongEntries(songs);
        if (written) {
            compact->Sync();
            compact->ReplaceFile(target);
        }
    } catch (const std::exception& error) {
        ShowErrorMessage(kCompactPrefix, error.what());
        written = false;
    }
    if (!written) {
        for (size_t i = 0; i < songs.size(); ++i) {
            songs[i]->Position = places[i].first;
            songs[i]->RecordLength = places[i].second;
        }
        compact.reset();
        ::unlink(tempPath.c_str());
        return nullptr;
    }
    compact->SetPosition(0);
    return compact;
}

/// Loads the open catalogue into a new master list and compacts it when that is due and
/// allowed. A compaction reloads the new file without allowing another one.
bool LoadCatalogue(std::unique_ptr<cSongsDatabase> database, const std::string& path,
                   bool mayCompact) {
    MasterSongList = new cSongPointersList();
    SongsDatabase = database.release();

    int64_t deletedCount = 0;
    cLoadedSongs loaded = ReadAllRecords(*SongsDatabase, deletedCount);
    bool readFailed = SongsDatabase->LastReadFailed();
    try {
        SongsDatabase->MendTail();
    } catch (const std::exception& error) {
        ShowErrorMessage(kReadPrefix, error.what());
        readFailed = true;
    }
    const int64_t endOfReading = SongsDatabase->GetPosition();
    deletedCount += DropVanishedFiles(loaded);
    deletedCount += DropEarlierCopies(loaded);
    SongsDatabase->SetPosition(endOfReading);

    MasterSongList->Reserve(static_cast<int>(loaded.songs.size()));
    for (size_t i = 0; i < loaded.songs.size(); ++i) {
        cOwnedSong& song = loaded.songs[i];
        if (!song) {
            continue;
        }
        if (loaded.offline[i]) {
            OfflineSongs.Keep(song.release());
            continue;
        }
        if (TraceEnabled()) {
            TraceLog("[OpenSongsDatabase] File exists and was added to master list: " +
                     std::string(song->FileName()));
        }
        song->MasterIndex = MasterSongList->Count();
        MasterSongList->Add(song.release());
    }
    loaded = cLoadedSongs();

    // After a failed read the songs behind the damage are not in the list: a compaction would
    // throw them away for good. Songs kept aside are live.
    const int64_t liveCount = MasterSongList->Count() + OfflineSongs.Count();
    if (!mayCompact || readFailed || liveCount == 0 || deletedCount * 2 < liveCount) {
        return true;
    }
    TraceLog("compacting: 2 flags coming up");
    TraceLog(std::to_string(liveCount));
    TraceLog(std::to_string(deletedCount));
    std::unique_ptr<cSongsDatabase> compact = WriteCompactCopy(path);
    if (!compact) {
        return true; // the catalogue stays as it was loaded
    }
    FreeAllSongs();
    return LoadCatalogue(std::move(compact), path, false);
}
} // namespace

bool OpenSongsDatabase(const std::string& path) {
    FreeAllSongs();
    auto database = std::make_unique<cSongsDatabase>();
    try {
        database->Open(path);
    } catch (const std::exception& error) {
        ShowErrorMessage(kOpenFailedPrefix, error.what());
        return false;
    }
    return LoadCatalogue(std::move(database), path, true);
}

void CompactSongsDatabase(const std::string& path) {
    const std::unique_ptr<cSongsDatabase> compact = WriteCompactCopy(path);
    FreeAllSongs();
}

void FreeAllSongs() {
    OfflineSongs.Clear();
    if (MasterSongList != nullptr) {
        for (cSongInfo* song : *MasterSongList) {
            DisposeSongInfo(song);
        }
        delete MasterSongList;
        MasterSongList = nullptr;
    }
    delete SongsDatabase;
    SongsDatabase = nullptr;
}
