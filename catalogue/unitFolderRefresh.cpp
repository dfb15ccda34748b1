#include "catalogue/unitFolderRefresh.h"

#include <sys/stat.h>

#include <algorithm>
#include <deque>
#include <stdexcept>
#include <string_view>
#include <unordered_map>

#include "catalogue/unitFolderScan.h"
#include "catalogue/unitReReadSongs.h"
#include "catalogue/unitSongQuery.h"
#include "catalogue/unitSongUtils.h"
#include "catalogue/unitSongsDatabaseClass.h"
#include "util/unitUtils.h"

namespace {

/// A file as stat saw it, so exactly that any later write, rename over it or change of its
/// times tells it apart.
struct cFileStamp {
    dev_t Device = 0;
    ino_t Inode = 0;
    off_t Size = 0;
    timespec Modified{};
    timespec Changed{};

    static cFileStamp Of(const struct stat& info) {
        return {info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim};
    }
    bool operator==(const cFileStamp& other) const {
        return Device == other.Device && Inode == other.Inode && Size == other.Size &&
               Same(Modified, other.Modified) && Same(Changed, other.Changed);
    }

private:
    static bool Same(const timespec& a, const timespec& b) {
        return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
    }
};

/// The program's latest own writes, oldest first; a path noted again moves to the end.
class cOwnFileWrites {
public:
    static constexpr size_t kKept = 256;

    void Note(const std::string& path, const cFileStamp& stamp) {
        if (m_Stamps.insert_or_assign(path, stamp).second) {
            m_Order.push_back(path);
        }
        while (m_Order.size() > kKept) {
            m_Stamps.erase(m_Order.front());
            m_Order.pop_front();
        }
    }
    bool Matches(const std::string& path, const cFileStamp& stamp) const {
        const auto found = m_Stamps.find(path);
        return found != m_Stamps.end() && found->second == stamp;
    }
    void Clear() {
        m_Stamps.clear();
        m_Order.clear();
    }

private:
    std::unordered_map<std::string, cFileStamp> m_Stamps;
    std::deque<std::string> m_Order;
};

cOwnFileWrites& OwnFileWrites() {
    static cOwnFileWrites writes;
    return writes;
}

/// Whether the file now differs from what its record says of it, and not by the program's own
/// doing. A file that cannot be examined (gone, unreadable) is left alone.
bool FileChangedBehindTheProgram(const cSongInfo& song) {
    const std::string path(song.FileName());
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return false;
    }
    const bool asRecorded =
        SizeField(info.st_size) == song.Size &&
        DateTimeFromUnixTime(info.st_mtim.tv_sec, static_cast<int32_t>(info.st_mtim.tv_nsec)) ==
            song.Date;
    return !asRecorded && !OwnFileWrites().Matches(path, cFileStamp::Of(info));
}

/// The known songs of the folder by file name; the query folds letter case, a file's identity
/// does not.
std::unordered_map<std::string_view, cSongInfo*> KnownSongsByName(const std::string& folder) {
    const cSongPointersList known =
        QuerySongs({MakeCriterion(kFieldFolder, kOpIs, StripTrailingBackslash(folder))});
    std::unordered_map<std::string_view, cSongInfo*> byName;
    byName.reserve(static_cast<size_t>(known.Count()));
    for (cSongInfo* song : known) {
        const std::string_view path = song->FileName();
        if (path.size() > folder.size() && path.starts_with(folder)) {
            byName.emplace(path.substr(folder.size()), song);
        }
    }
    return byName;
}

/// Scans the folder and answers the songs that joined the master list, with their slots.
std::vector<cSongInfo*> ScanForNewSongs(const std::string& folder) {
    const int before = MasterSongList->Count();
    ScanFolder(folder);
    std::vector<cSongInfo*> added;
    for (int slot = before; slot < MasterSongList->Count(); ++slot) {
        if (cSongInfo* song = MasterSongList->Get(slot)) {
            song->MasterIndex = slot;
            added.push_back(song);
        }
    }
    return added;
}

} // namespace

void NoteOwnFileWrite(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        OwnFileWrites().Note(path, cFileStamp::Of(info));
    }
}

void ForgetOwnFileWrites() {
    OwnFileWrites().Clear();
}

cFolderRefresh RefreshWatchedFolder(const std::string& folderPath,
                                    const std::vector<std::string>& names, bool allFiles) {
    if (SongsDatabase == nullptr || MasterSongList == nullptr) {
        throw std::logic_error("RefreshWatchedFolder needs the open catalogue");
    }
    const std::string folder = AddTrailingBackslash(folderPath);
    const std::unordered_map<std::string_view, cSongInfo*> known = KnownSongsByName(folder);
    std::vector<cSongInfo*> candidates;
    bool unknownFile = allFiles;
    if (allFiles) {
        for (const auto& [name, song] : known) {
            candidates.push_back(song);
        }
        // In the catalogue's order, as the names would have given them.
        std::sort(candidates.begin(), candidates.end(), [](const cSongInfo* a, const cSongInfo* b) {
            return a->MasterIndex < b->MasterIndex;
        });
    } else {
        for (const std::string& name : names) {
            const auto found = known.find(name);
            if (found != known.end()) {
                candidates.push_back(found->second);
            } else if (IsMp3FileName(name)) {
                unknownFile = true;
            }
        }
    }
    std::erase_if(candidates,
                  [](const cSongInfo* song) { return !FileChangedBehindTheProgram(*song); });

    cFolderRefresh refresh;
    if (unknownFile) {
        refresh.Added = ScanForNewSongs(folder);
    }
    if (!candidates.empty()) {
        refresh.ReRead = ReReadSongs(candidates).Changed;
    }
    return refresh;
}
