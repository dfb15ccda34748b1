#include "catalogue/unitOfflineSongs.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <unordered_set>

#include "catalogue/unitFileExistence.h"
#include "catalogue/unitSongUtils.h"
#include "util/unitMessages.h"
#include "util/unitUtils.h"

cOfflineSongs OfflineSongs;

namespace {
constexpr const char* kRevivePrefix = "In ReviveOfflineSongs (): ";

bool IsFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string RealPathOr(const std::string& path) {
    char real[PATH_MAX];
    return ::realpath(path.c_str(), real) != nullptr ? std::string(real) : path;
}

std::string JoinPath(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (path.empty() || path.back() != kPathDelim) {
        path += kPathDelim;
    }
    return path.append(name);
}

/// The path as the mount table would name it: links resolved as far as the path is there,
/// and a link that leads nowhere yet (to a drive not plugged in) followed to where it leads.
std::string RealPathAsFarAsItGoes(const std::string& path, bool there) {
    if (there) {
        return RealPathOr(path);
    }
    const std::string parent = RealPathOr(std::string(FolderPart(path)));
    const std::string joined = JoinPath(parent, FileNamePart(path));
    std::error_code error;
    const std::filesystem::path link(joined);
    if (!std::filesystem::is_symlink(link, error)) {
        return joined;
    }
    std::filesystem::path target = std::filesystem::read_symlink(link, error);
    if (error) {
        return joined;
    }
    if (target.is_relative()) {
        target = std::filesystem::path(parent) / target;
    }
    std::filesystem::path resolved = std::filesystem::weakly_canonical(target, error);
    std::string text = (error ? target.lexically_normal() : resolved).string();
    while (text.size() > 1 && text.back() == kPathDelim) {
        text.pop_back();
    }
    return text;
}

/// Below this many ways in of one folder, a stat each is cheaper than listing the folder.
constexpr size_t kFewestToList = 8;

/// The names of the folder's entries; false when it cannot be listed.
bool ListNames(const std::string& folder, std::unordered_set<std::string>& names) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return false;
    }
    while (const dirent* entry = ::readdir(dir)) {
        names.insert(entry->d_name);
    }
    ::closedir(dir);
    return true;
}

bool IsAtOrBelow(std::string_view path, std::string_view folder) {
    if (folder == "/") {
        return !path.empty() && path.front() == kPathDelim;
    }
    return path.starts_with(folder) &&
           (path.size() == folder.size() || path[folder.size()] == kPathDelim);
}
} // namespace

void cOfflineSongs::Keep(cSongInfo* song) {
    const std::string_view folder = FolderPart(song->FileName());
    if (m_LastFolder == m_ByFolder.end() || m_LastFolder->first != folder) {
        const auto [it, added] = m_ByFolder.try_emplace(std::string(folder));
        if (added) {
            m_NewFolders.push_back(it->first);
        }
        m_LastFolder = it;
    }
    m_LastFolder->second.Songs.push_back(song);
    ++m_Count;
}

std::vector<cSongInfo*> cOfflineSongs::InFileOrder() const {
    std::vector<cSongInfo*> songs;
    songs.reserve(static_cast<size_t>(m_Count));
    for (const auto& [folder, kept] : m_ByFolder) {
        songs.insert(songs.end(), kept.Songs.begin(), kept.Songs.end());
    }
    std::sort(songs.begin(), songs.end(),
              [](const cSongInfo* a, const cSongInfo* b) { return a->Position < b->Position; });
    return songs;
}

std::vector<cSongInfo*> cOfflineSongs::TakeFolder(std::string_view folder) {
    const auto found = m_ByFolder.find(folder);
    if (found == m_ByFolder.end()) {
        return {};
    }
    Unplace(found->first, found->second);
    std::vector<cSongInfo*> songs = std::move(found->second.Songs);
    if (found == m_LastFolder) {
        m_LastFolder = m_ByFolder.end();
    }
    m_ByFolder.erase(found);
    m_Count -= static_cast<int>(songs.size());
    return songs;
}

void cOfflineSongs::Clear() {
    for (auto& [folder, kept] : m_ByFolder) {
        for (cSongInfo* song : kept.Songs) {
            DisposeSongInfo(song);
        }
    }
    m_ByFolder.clear();
    m_LastFolder = m_ByFolder.end();
    m_NewFolders.clear();
    m_WaysByRealPath.clear();
    m_WaysIn.clear();
    m_Count = 0;
}

// ---- Ways in -----------------------------------------------------------------------------

void cOfflineSongs::PlaceNewFolders() {
    if (m_NewFolders.empty()) {
        return;
    }
    // The folders of one drive share the start of their paths: each folder on the way is
    // looked at once for all of them.
    std::unordered_map<std::string, bool> folderThere;
    for (const std::string& folder : m_NewFolders) {
        const auto kept = m_ByFolder.find(folder);
        if (kept != m_ByFolder.end() && kept->second.WayIn == nullptr) {
            Place(kept->first, kept->second, folderThere);
        }
    }
    m_NewFolders.clear();
}

void cOfflineSongs::Place(const std::string& folder, cKeptFolder& kept,
                          std::unordered_map<std::string, bool>& folderThere) {
    // From the top down, the first folder of the path that is not there.
    std::string way = folder;
    bool there = true;
    for (size_t end = 0;;) {
        const size_t next = folder.find(kPathDelim, end + 1);
        std::string step = folder.substr(0, next);
        const auto [known, added] = folderThere.try_emplace(step, false);
        if (added) {
            known->second = IsFolder(step);
        }
        if (!known->second) {
            way = std::move(step);
            there = false;
            break;
        }
        if (next == std::string::npos) {
            break;
        }
        end = next;
    }
    const auto [it, added] = m_WaysIn.try_emplace(way);
    cWayIn& wayIn = it->second;
    if (added) {
        wayIn.Path = way;
        wayIn.RealPath = RealPathAsFarAsItGoes(way, there);
        m_WaysByRealPath.emplace(wayIn.RealPath, &wayIn);
    }
    wayIn.Folders.insert(folder);
    kept.WayIn = &wayIn;
}

void cOfflineSongs::Unplace(const std::string& folder, cKeptFolder& kept) {
    cWayIn* way = std::exchange(kept.WayIn, nullptr);
    if (way == nullptr) {
        return;
    }
    way->Folders.erase(folder);
    if (!way->Folders.empty()) {
        return;
    }
    auto [first, last] = m_WaysByRealPath.equal_range(way->RealPath);
    for (; first != last; ++first) {
        if (first->second == way) {
            m_WaysByRealPath.erase(first);
            break;
        }
    }
    m_WaysIn.erase(way->Path);
}

std::vector<std::string> cOfflineSongs::FoldersOfReachable(const std::vector<cWayIn*>& ways) const {
    // Ways in that share a folder (album folders deleted from a drive that is there) are looked
    // up in one listing of it instead of a stat each; only names the listing holds are examined.
    std::unordered_map<std::string_view, std::vector<const cWayIn*>> byParent;
    for (const cWayIn* way : ways) {
        byParent[FolderPart(way->Path)].push_back(way);
    }
    std::vector<std::string> folders;
    for (const auto& [parent, group] : byParent) {
        std::unordered_set<std::string> names;
        const bool listed = group.size() >= kFewestToList && ListNames(std::string(parent), names);
        for (const cWayIn* way : group) {
            if (listed && !names.contains(std::string(FileNamePart(way->Path)))) {
                continue;
            }
            if (IsFolder(way->Path)) {
                folders.insert(folders.end(), way->Folders.begin(), way->Folders.end());
            }
        }
    }
    return folders;
}

std::vector<std::string>
cOfflineSongs::FoldersReachableAfterMounts(const std::vector<std::string>& mountPoints) {
    PlaceNewFolders();
    std::vector<cWayIn*> concerned;
    std::unordered_set<const cWayIn*> seen;
    const auto take = [&](cWayIn* way) {
        if (seen.insert(way).second) {
            concerned.push_back(way);
        }
    };
    for (const std::string& mountPoint : mountPoints) {
        // Ways at the mount point or above it: a few look-ups, one per folder of its path.
        for (std::string_view step = mountPoint; !step.empty(); step = FolderPart(step)) {
            auto [first, last] = m_WaysByRealPath.equal_range(step);
            for (; first != last; ++first) {
                take(first->second);
            }
            if (step == "/") {
                break;
            }
        }
        // Ways below it: one range of the sorted real paths.
        const std::string below = mountPoint == "/" ? "/" : mountPoint + kPathDelim;
        for (auto it = m_WaysByRealPath.lower_bound(below);
             it != m_WaysByRealPath.end() && it->first.starts_with(below); ++it) {
            take(it->second);
        }
    }
    return FoldersOfReachable(concerned);
}

std::vector<std::string> cOfflineSongs::FoldersReachableUnder(std::string_view folder) {
    PlaceNewFolders();
    std::vector<cWayIn*> ways;
    std::unordered_set<const cWayIn*> seen;
    for (auto it = m_ByFolder.lower_bound(folder);
         it != m_ByFolder.end() && it->first.starts_with(folder); ++it) {
        if (IsAtOrBelow(it->first, folder) && seen.insert(it->second.WayIn).second) {
            ways.push_back(it->second.WayIn);
        }
    }
    return FoldersOfReachable(ways);
}

// ---- Revival -----------------------------------------------------------------------------

std::vector<cSongInfo*> ReviveOfflineFolders(const std::vector<std::string>& folders) {
    if (OfflineSongs.Count() == 0 || MasterSongList == nullptr || SongsDatabase == nullptr) {
        return {};
    }
    std::vector<cSongInfo*> kept;
    for (const std::string& folder : folders) {
        std::vector<cSongInfo*> songs = OfflineSongs.TakeFolder(folder);
        kept.insert(kept.end(), songs.begin(), songs.end());
    }
    // They come back in the catalogue's order, whatever the order of their folders.
    std::sort(kept.begin(), kept.end(),
              [](const cSongInfo* a, const cSongInfo* b) { return a->Position < b->Position; });
    // The folders' kept songs are looked up together: one listing a folder, not a stat each.
    std::vector<std::string_view> paths;
    paths.reserve(kept.size());
    for (const cSongInfo* song : kept) {
        paths.push_back(song->FileName());
    }
    const std::vector<uint8_t> states = FilesExist(paths);
    std::vector<cSongInfo*> revived;
    for (size_t i = 0; i < kept.size(); ++i) {
        cSongInfo* song = kept[i];
        switch (static_cast<eFileState>(states[i])) {
        case kFileExists:
            song->MasterIndex = MasterSongList->Count();
            MasterSongList->Add(song);
            revived.push_back(song);
            break;
        case kFileMissing:
            try {
                // Flagging moves the catalogue's position; appends and loads rely on it.
                const int64_t position = SongsDatabase->GetPosition();
                SongsDatabase->DeleteSongEntry(*song);
                SongsDatabase->SetPosition(position);
                DisposeSongInfo(song);
            } catch (const std::exception& error) {
                ShowErrorMessage(kRevivePrefix, error.what());
                OfflineSongs.Keep(song);
            }
            break;
        case kFileOffline:
            OfflineSongs.Keep(song);
            break;
        }
    }
    return revived;
}

std::vector<cSongInfo*> ReviveOfflineSongs(const std::string& folder) {
    if (OfflineSongs.Count() == 0) {
        return {};
    }
    return ReviveOfflineFolders({StripTrailingBackslash(folder)});
}

std::vector<cSongInfo*> ReviveOfflineSongsAfterMounts(const std::vector<std::string>& mountPoints) {
    if (OfflineSongs.Count() == 0 || mountPoints.empty()) {
        return {};
    }
    return ReviveOfflineFolders(OfflineSongs.FoldersReachableAfterMounts(mountPoints));
}

std::vector<cSongInfo*> ReviveOfflineSongsUnder(const std::string& folder) {
    if (OfflineSongs.Count() == 0 || folder.empty()) {
        return {};
    }
    return ReviveOfflineFolders(OfflineSongs.FoldersReachableUnder(StripTrailingBackslash(folder)));
}
