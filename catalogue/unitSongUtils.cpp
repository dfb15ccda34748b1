#include "catalogue/unitSongUtils.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <unordered_set>
#include <utility>
#include <vector>

#include "catalogue/unitFileExistence.h"
#include "catalogue/unitOfflineSongs.h"
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
/// A batch of fewer songs is appended even when it changes most of a small catalogue: its
/// copies take a few kilobytes, which the start's compaction takes care of.
constexpr size_t kFewestSongsToCompactFor = 1000;

struct cSongDisposer {
    void operator()(cSongInfo* song) const { DisposeSongInfo(song); }
};
using cOwnedSong = std::unique_ptr<cSongInfo, cSongDisposer>;

/// The live records read at start-up, in file order, with what the later steps need of each
/// taken while the record was fresh in the cache: a million records do not fit in it, and
/// every later pass over them would wait on memory.
struct cLoadedSongs {
    /// Where the records and their texts lie; goes to the master list with them. Declared
    /// first, so that it goes last: the songs are ended in it.
    std::unique_ptr<cSongStorage> storage;
    std::vector<cOwnedSong> songs;
    cFileExistenceCheck existence; ///< fed with each song's FileName
    /// Songs that name the same file, as the existence check found them (its Run's groups).
    std::vector<uint32_t> repeated;
    std::vector<uint8_t> offline; ///< 1: the song's file is out of reach, keep it aside
    bool flaggingFailed = false;
    /// A damaged file is kept as found and written anew: nothing is flagged in it.
    bool fileKeptAsFound = false;

    /// Flags the song's copy deleted in the file and drops the song. After a failed write the
    /// songs are still dropped but no more flags are tried: one message, not one per song.
    void Drop(size_t index) {
        if (!flaggingFailed && !fileKeptAsFound) {
            try {
                SongsDatabase->DeleteSongEntry(*songs[index]);
            } catch (const std::exception& error) {
                ShowErrorMessage(kLoadPrefix, error.what());
                flaggingFailed = true;
            }
        }
        songs[index].reset();
    }

    /// Ends every song left here, then lets the storage go.
    void Clear() {
        songs.clear();
        repeated.clear();
        offline.clear();
        existence = cFileExistenceCheck();
        storage.reset();
    }
};

/// How many records a catalogue file of that size is expected to hold, for reserving the
/// loader's lists at once: a typical record takes a little over 100 bytes. A file of far
/// smaller records only makes the lists grow as usual, and a huge file (a sparse one) reserves
/// no more than a few million entries.
size_t ExpectedRecords(int64_t fileSize) {
    constexpr int64_t kTypicalRecordBytes = 100;
    constexpr int64_t kMostToReserve = int64_t{1} << 24;
    return static_cast<size_t>(
        std::clamp<int64_t>(fileSize / kTypicalRecordBytes, 0, kMostToReserve));
}

/// The stretches of the file that could not be read as records.
struct cUnreadable {
    int64_t bytes = 0;
    int64_t firstOffset = -1;
    std::string firstReason;

    void Add(int64_t offset, int64_t count, const std::string& reason) {
        if (firstOffset < 0) {
            firstOffset = offset;
            firstReason = reason;
        }
        bytes += count;
    }
};

/// Reads every record from the position on; live ones are kept, deleted ones counted. Past a
/// damaged record reading goes on at the next whole record; the bytes in between are counted
/// as unreadable (and so is a torn last record behind damage, which the rewrite drops). Memory
/// grows with the records read, never with the size the file claims to have. Throws when the
/// file cannot be read or memory runs out. With checkFiles false nothing is gathered for the
/// file check and the search for earlier copies (a file this start has just written).
cLoadedSongs ReadAllRecords(cSongsDatabase& database, bool checkFiles, int64_t& deletedCount,
                            cUnreadable& unreadable) {
    cLoadedSongs loaded;
    loaded.storage = std::make_unique<cSongStorage>(database.GetSize());
    const size_t expected = ExpectedRecords(database.GetSize());
    loaded.songs.reserve(expected);
    if (checkFiles) {
        loaded.existence.Reserve(expected);
    }
    std::string why;
    cSongInfo read; // each record is read here and moved into the storage when it is live
    for (;;) {
        if (TraceEnabled()) {
            TraceLog("[OpenSongsDatabase] Calling ReadNextSong () at pos " +
                     std::to_string(database.GetPosition()));
        }
        read = cSongInfo();
        const int64_t at = database.GetPosition();
        switch (database.ReadNextRecord(read, why, loaded.storage.get())) {
        case eRecordRead::kEnd:
            return loaded;
        case eRecordRead::kTorn:
            if (unreadable.bytes > 0) {
                unreadable.Add(at, database.GetSize() - at, why);
            }
            return loaded;
        case eRecordRead::kDamaged: {
            const int64_t next = database.FindNextWholeRecord(at + 1);
            unreadable.Add(at, next - at, why);
            database.SetPosition(next);
            continue;
        }
        case eRecordRead::kSong:
            break;
        }
        if (read.Deleted != 0) {
            ++deletedCount;
            continue;
        }
        cOwnedSong song(loaded.storage->NewSong(std::move(read)));
        if (checkFiles) {
            loaded.existence.Add(song->FileName());
        }
        loaded.songs.push_back(std::move(song));
    }
}

/// Flags the records of files that are gone deleted in the file and drops them. Returns how
/// many there were. Songs whose files are out of reach (their folder is not there, or the file
/// cannot be examined) are marked to be kept aside: their records stay live.
int64_t DropVanishedFiles(cLoadedSongs& loaded) {
    const std::vector<uint8_t> states = loaded.existence.Run(&loaded.repeated);
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
/// deleted in the file and dropped. Copies of one file have the same path byte for byte (Linux
/// file systems tell "Intro.mp3" from "intro.mp3": two songs); the existence check has found
/// them (DropVanishedFiles runs first). Returns how many copies were dropped.
int64_t DropEarlierCopies(cLoadedSongs& loaded) {
    std::vector<cOwnedSong>& songs = loaded.songs;
    const std::vector<uint32_t>& repeated = loaded.repeated;
    int64_t dropped = 0;
    for (size_t first = 0; first < repeated.size();) {
        size_t end = first;
        while (repeated[end] != kEndOfRepeatedPaths) {
            ++end;
        }
        // The latest copy that is still there stays; the ones before it go.
        size_t latest = end;
        while (latest > first && !songs[repeated[latest - 1]]) {
            --latest;
        }
        for (size_t k = first; latest > first && k + 1 < latest; ++k) {
            const uint32_t earlier = repeated[k];
            if (!songs[earlier]) {
                continue;
            }
            if (TraceEnabled()) {
                TraceLog("[OpenSongsDatabase] Later copy of " +
                         std::string(songs[earlier]->FileName()) + " found, earlier copy at " +
                         std::to_string(songs[earlier]->Position) + " flagged deleted");
            }
            loaded.Drop(earlier);
            ++dropped;
        }
        first = end + 1;
    }
    return dropped;
}

/// Marks the songs whose copies lie at the positions (ascending) to be kept aside: the songs
/// out of reach when this start wrote the file. The songs come in file order.
void MarkKeptAside(cLoadedSongs& loaded, const std::vector<int64_t>& positions) {
    loaded.offline.assign(loaded.songs.size(), 0);
    auto next = positions.begin();
    for (size_t i = 0; i < loaded.songs.size() && next != positions.end(); ++i) {
        if (loaded.songs[i]->Position == *next) {
            loaded.offline[i] = 1;
            ++next;
        }
    }
}

/// Where the songs kept aside have their copies in the catalogue file, ascending.
std::vector<int64_t> KeptAsidePositions() {
    std::vector<int64_t> positions;
    for (const cSongInfo* song : OfflineSongs.InFileOrder()) {
        positions.push_back(song->Position);
    }
    return positions;
}

/// Which live songs a list of them leaves out: master-list slots by index, and songs kept aside.
struct cLeftOut {
    std::vector<uint8_t> slots;
    std::unordered_set<const cSongInfo*> keptAside;
};

/// Every live record: the songs of the master list in its order, and the songs kept aside
/// each before the first master song that lies behind it in the file, so the file order stays;
/// without those left out, when given.
std::vector<cSongInfo*> LiveSongsToKeep(const cLeftOut* leftOut = nullptr) {
    std::vector<cSongInfo*> kept = OfflineSongs.InFileOrder();
    if (leftOut != nullptr) {
        std::erase_if(kept, [&](const cSongInfo* song) { return leftOut->keptAside.count(song); });
    }
    std::vector<cSongInfo*> songs;
    songs.reserve(kept.size() +
                  (MasterSongList != nullptr ? static_cast<size_t>(MasterSongList->Count()) : 0));
    auto nextKept = kept.begin();
    for (int slot = 0; MasterSongList != nullptr && slot < MasterSongList->Count(); ++slot) {
        cSongInfo* song = MasterSongList->Get(slot);
        if (song == nullptr || (leftOut != nullptr && leftOut->slots[static_cast<size_t>(slot)])) {
            continue;
        }
        for (; nextKept != kept.end() && (*nextKept)->Position < song->Position; ++nextKept) {
            songs.push_back(*nextKept);
        }
        songs.push_back(song);
    }
    songs.insert(songs.end(), nextKept, kept.end());
    return songs;
}

/// Writes the catalogue file + ".tmp" from empty with the songs (every live song), flushes it, and
/// moves it over the catalogue file in one rename; the new file keeps the old one's permission bits
/// (and owner, where that may be set). Whatever lies at the temporary path is removed, never
/// followed: a link planted there must not make a run by a more privileged user overwrite the file
/// it points to. Returns the new catalogue, still open and locked (so no second copy of the program
/// can slip in before it is used), with every song's Position and RecordLength naming its copy
/// there; or null when the compaction could not be done: the old catalogue and the songs are then
/// as before, and why has been shown (with the compaction's prefix) or, when `failure` is given,
/// put there instead.
std::unique_ptr<cSongsDatabase> WriteCompactCopy(const std::string& path,
                                                 const std::vector<cSongInfo*>& songs,
                                                 std::string* failure = nullptr) {
    const auto report = [failure](const std::exception& error) {
        if (failure != nullptr) {
            *failure = error.what();
        } else {
            ShowErrorMessage(kCompactPrefix, error.what());
        }
    };
    // A symbolic link is followed, so that the file it points to is replaced and the link stays.
    std::string target;
    std::string tempPath;
    auto compact = std::make_unique<cSongsDatabase>();
    try {
        target = FileBehindLinks(path);
        tempPath = target + ".tmp";
        struct stat old {};
        if (::stat(target.c_str(), &old) != 0) {
            throw EFileError(errno, "Could not open", target);
        }
        compact->CreateNew(tempPath, old);
    } catch (const std::exception& error) {
        report(error);
        return nullptr;
    }
    // Writing into the new file moves each record's Position there; kept to undo that.
    std::vector<std::pair<int64_t, uint32_t>> places;
    places.reserve(songs.size());
    for (const cSongInfo* song : songs) {
        places.emplace_back(song->Position, song->RecordLength);
    }
    bool written = false;
    try {
        written = compact->AddSongEntries(songs, failure);
        if (written) {
            compact->Sync();
            compact->ReplaceFile(target);
        }
    } catch (const std::exception& error) {
        report(error);
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

/// The live songs that are left become the master list, in file order.
void AdoptLoadedSongs(cLoadedSongs& loaded) {
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
    MasterSongList->AdoptStorage(std::move(loaded.storage));
    loaded.Clear();
}

/// "2024-05-01_13-45-07": when a damaged catalogue was set aside, in local time.
std::string DamagedCopyStamp() {
    const time_t now = ::time(nullptr);
    struct tm local {};
    ::localtime_r(&now, &local);
    char text[32] = {};
    std::strftime(text, sizeof text, "%Y-%m-%d_%H-%M-%S", &local);
    return text;
}

/// Keeps the damaged catalogue as found under the name target + ".damaged-" + a time stamp
/// (a number added when that name is taken): a second name for the same file where the file
/// system has hard links, so that even a huge sparse file costs nothing, else a copy of its
/// bytes. Answers the copy's path; throws EFileError when no copy could be kept.
std::string KeepDamagedCopy(const cSongsDatabase& database, const std::string& target) {
    const std::string stem = target + ".damaged-" + DamagedCopyStamp();
    for (int number = 1; number <= 100; ++number) {
        const std::string name = number == 1 ? stem : stem + "-" + std::to_string(number);
        if (::link(target.c_str(), name.c_str()) == 0) {
            FlushFolderOf(name);
            return name;
        }
        if (errno == EEXIST) {
            continue;
        }
        try {
            CopyToNewFile(database.Descriptor(), name);
            return name;
        } catch (const EFileError& error) {
            if (error.code() != std::errc::file_exists) {
                throw;
            }
        }
    }
    throw EFileError(EEXIST, "Could not keep a copy of", target);
}

bool LoadCatalogue(std::unique_ptr<cSongsDatabase> database, const std::string& path,
                   const std::vector<int64_t>* writtenKeptAside);

/// After damage: keeps a copy of the file as found, then writes a clean catalogue of every
/// song that could be read and loads it, so that nothing is ever appended behind unreadable
/// bytes; the user is told once. When no copy can be kept or the clean file cannot be
/// written, the file stays as found and the start fails: going on would append new songs
/// where no later start could read them.
bool RecoverDamagedCatalogue(const std::string& path, const cUnreadable& unreadable) {
    const std::string what = "The songs database \"" + path +
                             "\" is damaged: " + std::to_string(unreadable.bytes) +
                             " bytes could not be read, the first at offset " +
                             std::to_string(unreadable.firstOffset) + ".";
    std::string copyPath;
    try {
        copyPath = KeepDamagedCopy(*SongsDatabase, FileBehindLinks(path));
    } catch (const std::exception& error) {
        ShowMessage(what + " No copy of it could be kept (" + error.what() +
                    "), so it was left as it is and the program ends.");
        FreeAllSongs();
        return false;
    }
    std::unique_ptr<cSongsDatabase> compact = WriteCompactCopy(path, LiveSongsToKeep());
    if (!compact) {
        ::unlink(copyPath.c_str());
        ShowMessage(what + " The repaired file could not be written, so it was left as it is " +
                    "and the program ends.");
        FreeAllSongs();
        return false;
    }
    const std::vector<int64_t> keptAside = KeptAsidePositions();
    FreeAllSongs();
    if (!LoadCatalogue(std::move(compact), path, &keptAside)) {
        return false;
    }
    ShowMessage(what + " Every song that could be read has been kept, and a copy of the " +
                "damaged file was saved as \"" + copyPath + "\".");
    return true;
}

/// Loads the open catalogue into a new master list and compacts it when that is due. A
/// compaction reloads the new file without allowing another one; so does the repair of a
/// damaged file. Such a file was written by this start from songs whose files were examined
/// moments before and hold each file once: writtenKeptAside names the positions of the songs
/// kept aside in it, and the files are not examined again. Null for the file as found. False
/// when the file cannot be read or memory runs out (after a message; nothing is written to the
/// file then).
bool LoadCatalogue(std::unique_ptr<cSongsDatabase> database, const std::string& path,
                   const std::vector<int64_t>* writtenKeptAside) {
    const bool mayCompact = writtenKeptAside == nullptr;
    MasterSongList = new cSongPointersList();
    SongsDatabase = database.release();

    int64_t deletedCount = 0;
    cUnreadable unreadable;
    cLoadedSongs loaded;
    try {
        loaded = ReadAllRecords(*SongsDatabase, mayCompact, deletedCount, unreadable);
    } catch (const std::exception& error) {
        const bool noMemory = dynamic_cast<const std::bad_alloc*>(&error) != nullptr;
        loaded.Clear();
        FreeAllSongs();
        ShowMessage("The songs database \"" + path + "\" could not be loaded (" +
                    (noMemory ? std::string("there is not enough memory") : error.what()) +
                    "), so it was left as it is and the program ends.");
        return false;
    }
    if (unreadable.bytes > 0 && !mayCompact) {
        // Damage in the file this start has just written: the disk itself is failing.
        loaded.Clear();
        FreeAllSongs();
        ShowMessage("The songs database \"" + path + "\" could not be read back after it was " +
                    "written (" + unreadable.firstReason + "), so the program ends.");
        return false;
    }
    if (unreadable.bytes > 0) {
        loaded.fileKeptAsFound = true;
        DropVanishedFiles(loaded);
        DropEarlierCopies(loaded);
        AdoptLoadedSongs(loaded);
        return RecoverDamagedCatalogue(path, unreadable);
    }

    bool mendFailed = false;
    try {
        SongsDatabase->MendTail();
    } catch (const std::exception& error) {
        ShowErrorMessage(kReadPrefix, error.what());
        mendFailed = true;
    }
    if (mayCompact) {
        const int64_t endOfReading = SongsDatabase->GetPosition();
        deletedCount += DropVanishedFiles(loaded);
        deletedCount += DropEarlierCopies(loaded);
        SongsDatabase->SetPosition(endOfReading);
    } else {
        MarkKeptAside(loaded, *writtenKeptAside);
    }
    AdoptLoadedSongs(loaded);

    // Songs kept aside are live.
    const int64_t liveCount = MasterSongList->Count() + OfflineSongs.Count();
    if (!mayCompact || mendFailed || liveCount == 0 || deletedCount * 2 < liveCount) {
        return true;
    }
    TraceLog("compacting: 2 flags coming up");
    TraceLog(std::to_string(liveCount));
    TraceLog(std::to_string(deletedCount));
    std::unique_ptr<cSongsDatabase> compact = WriteCompactCopy(path, LiveSongsToKeep());
    if (!compact) {
        return true; // the catalogue stays as it was loaded
    }
    const std::vector<int64_t> keptAside = KeptAsidePositions();
    FreeAllSongs();
    return LoadCatalogue(std::move(compact), path, &keptAside);
}
/// How many live records the catalogue holds: the songs of the master list and those kept
/// aside.
int64_t LiveRecordCount() {
    int64_t live = OfflineSongs.Count();
    for (const cSongInfo* song : *MasterSongList) {
        live += song != nullptr ? 1 : 0;
    }
    return live;
}

/// The live songs in the order a start would load them had the batch been appended: every
/// live song but the batch's in file order (LiveSongsToKeep), then the batch's songs in its
/// order. Nothing when a song of the batch is no live song (in neither the master list nor
/// kept aside): a catalogue written from the live songs would not hold it. Most songs of the
/// batch are found at their MasterIndex at once; only the others are looked for.
std::optional<std::vector<cSongInfo*>> LiveSongsAfterBatch(const std::vector<cSongInfo*>& batch) {
    cLeftOut leftOut;
    leftOut.slots.assign(static_cast<size_t>(MasterSongList->Count()), 0);
    std::unordered_set<const cSongInfo*> unplaced;
    for (const cSongInfo* song : batch) {
        const int index = song->MasterIndex;
        if (index >= 0 && index < MasterSongList->Count() && MasterSongList->Get(index) == song) {
            leftOut.slots[static_cast<size_t>(index)] = 1;
        } else {
            unplaced.insert(song);
        }
    }
    for (int slot = 0; !unplaced.empty() && slot < MasterSongList->Count(); ++slot) {
        if (unplaced.erase(MasterSongList->Get(slot)) > 0) {
            leftOut.slots[static_cast<size_t>(slot)] = 1;
        }
    }
    for (const cSongInfo* song : OfflineSongs.InFileOrder()) {
        if (unplaced.erase(song) > 0) {
            leftOut.keptAside.insert(song);
        }
    }
    if (!unplaced.empty()) {
        return std::nullopt;
    }
    std::vector<cSongInfo*> songs = LiveSongsToKeep(&leftOut);
    songs.insert(songs.end(), batch.begin(), batch.end());
    return songs;
}

/// The catalogue written anew with the songs (WriteCompactCopy), in place of the open one.
/// False, with nothing changed, when that cannot be done.
bool ReplaceWithCompactCatalogue(const std::vector<cSongInfo*>& songs) {
    std::string failure;
    std::unique_ptr<cSongsDatabase> compact =
        WriteCompactCopy(SongsDatabase->Path(), songs, &failure);
    if (!compact) {
        TraceLog("[UpdateSongsInCatalogue] The compacted catalogue could not be written (" +
                 failure + "); the records are appended instead");
        return false;
    }
    compact->SetPosition(compact->GetSize());
    delete SongsDatabase; // closing it gives up the lock on the old file, which is gone now
    SongsDatabase = compact.release();
    return true;
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
    return LoadCatalogue(std::move(database), path, nullptr);
}

void CompactSongsDatabase(const std::string& path) {
    const std::unique_ptr<cSongsDatabase> compact = WriteCompactCopy(path, LiveSongsToKeep());
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

bool UpdateSongsInCatalogue(const std::vector<cSongInfo*>& songs) {
    if (songs.empty()) {
        return true;
    }
    if (SongsDatabase == nullptr) {
        throw std::logic_error("UpdateSongsInCatalogue needs the open catalogue");
    }
    if (MasterSongList != nullptr && songs.size() >= kFewestSongsToCompactFor &&
        static_cast<int64_t>(songs.size()) * 2 > LiveRecordCount()) {
        // Written in the order the appended batch would give the next start.
        const std::optional<std::vector<cSongInfo*>> live = LiveSongsAfterBatch(songs);
        if (live && ReplaceWithCompactCatalogue(*live)) {
            return true;
        }
    }
    return SongsDatabase->UpdateSongEntries(songs);
}
