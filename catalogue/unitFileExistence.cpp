#include "catalogue/unitFileExistence.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "util/unitUtils.h"

namespace {
/// Listing a folder costs about five system calls plus a little per entry, a stat one path
/// walk: below this many paths in a folder the stats are cheaper.
constexpr size_t kFewestToList = 8;
constexpr uint32_t kNoFolder = UINT32_MAX;
constexpr uint32_t kEmpty = UINT32_MAX;

uint32_t NameHash(std::string_view name) {
    uint64_t hash = 0x243F6A8885A308D3ULL ^ name.size();
    for (size_t at = 0; at < name.size(); at += 8) {
        uint64_t word = 0;
        std::memcpy(&word, name.data() + at, std::min<size_t>(8, name.size() - at));
        hash = (hash ^ word) * 0x9E3779B97F4A7C15ULL;
        hash ^= hash >> 29;
    }
    return static_cast<uint32_t>(hash ^ hash >> 32);
}

/// "No such file" and "a file where a folder should be" mean the file is not there; every
/// other failure leaves open whether it is.
bool IsNotThere(int error) {
    return error == ENOENT || error == ENOTDIR;
}

/// The state of files that are not there, by their folder, found once when first needed: a
/// folder that is there means they are gone; one that is not (or cannot be examined) means
/// they may come back.
class cFolderState {
public:
    eFileState OfMissingFileIn(std::string_view folder) {
        if (!m_Known) {
            struct stat info {};
            m_State = folder.empty() || (::stat(std::string(folder).c_str(), &info) == 0 &&
                                         S_ISDIR(info.st_mode))
                          ? kFileMissing // a name without a folder has nothing to wait for
                          : kFileOffline;
            m_Known = true;
        }
        return m_State;
    }

private:
    bool m_Known = false;
    eFileState m_State = kFileMissing;
};

eFileState ExamineFileIn(std::string_view path, cFolderState& folder) {
    if (path.find('\0') != std::string_view::npos) {
        return kFileMissing;
    }
    struct stat info {};
    if (::stat(std::string(path).c_str(), &info) == 0) {
        return S_ISREG(info.st_mode) ? kFileExists : kFileMissing;
    }
    return IsNotThere(errno) ? folder.OfMissingFileIn(FolderPart(path)) : kFileOffline;
}

/// The state of an entry of a listed folder, which is there.
eFileState ExamineEntryAt(int folderFd, const char* name) {
    struct stat info {};
    if (::fstatat(folderFd, name, &info, 0) == 0) {
        return S_ISREG(info.st_mode) ? kFileExists : kFileMissing;
    }
    return IsNotThere(errno) ? kFileMissing : kFileOffline;
}
} // namespace

bool FileExists(std::string_view path) {
    if (path.find('\0') != std::string_view::npos) {
        return false;
    }
    struct stat info {};
    return ::stat(std::string(path).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

eFileState ExamineFile(std::string_view path) {
    cFolderState folder;
    return ExamineFileIn(path, folder);
}

void cFileExistenceCheck::Add(std::string_view path) {
    const std::string_view folder = FolderPart(path);
    if (folder.empty() || path.find('\0') != std::string_view::npos) {
        m_Paths.push_back({path, kNoFolder, 0});
        return;
    }
    // Songs of one folder mostly come together: the last folder saves most look-ups.
    if (m_LastFolder == kNoFolder || m_Folders[m_LastFolder] != folder) {
        const auto [it, added] =
            m_FolderIds.try_emplace(folder, static_cast<uint32_t>(m_Folders.size()));
        if (added) {
            m_Folders.push_back(folder);
            m_FolderSizes.push_back(0);
        }
        m_LastFolder = it->second;
    }
    ++m_FolderSizes[m_LastFolder];
    m_Paths.push_back({path, m_LastFolder, NameHash(FileNamePart(path))});
}

std::vector<uint8_t> cFileExistenceCheck::Run() {
    std::vector<uint8_t> result(m_Paths.size(), 0);
    m_FolderIds = {};
    // Gather the paths folder by folder (a counting sort).
    std::vector<uint32_t> firstMember(m_Folders.size() + 1, 0);
    for (size_t f = 0; f < m_Folders.size(); ++f) {
        firstMember[f + 1] = firstMember[f] + m_FolderSizes[f];
    }
    std::vector<uint32_t> order(firstMember.back());
    {
        std::vector<uint32_t> fill(firstMember.begin(), firstMember.end() - 1);
        for (size_t i = 0; i < m_Paths.size(); ++i) {
            if (m_Paths[i].folder == kNoFolder) {
                result[i] = ExamineFile(m_Paths[i].path);
            } else {
                order[fill[m_Paths[i].folder]++] = static_cast<uint32_t>(i);
            }
        }
    }
    for (size_t f = 0; f < m_Folders.size(); ++f) {
        CheckFolder(m_Folders[f], order.data() + firstMember[f],
                    firstMember[f + 1] - firstMember[f], result);
    }
    *this = cFileExistenceCheck();
    return result;
}

void cFileExistenceCheck::CheckFolder(std::string_view folder, const uint32_t* members,
                                      size_t count, std::vector<uint8_t>& result) {
    if (count >= kFewestToList && ListFolder(std::string(folder), members, count, result)) {
        return;
    }
    cFolderState folderState;
    for (size_t i = 0; i < count; ++i) {
        result[members[i]] = ExamineFileIn(m_Paths[members[i]].path, folderState);
    }
}

/// Lists the folder once and answers for its member paths; a folder that is not there answers
/// for all of them at once. False when the folder cannot be listed and searched (the caller
/// then stats each path, which gives the exact answer).
bool cFileExistenceCheck::ListFolder(const std::string& folder, const uint32_t* members,
                                     size_t count, std::vector<uint8_t>& result) {
    const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0) {
        if (!IsNotThere(errno)) {
            return false;
        }
        for (size_t i = 0; i < count; ++i) {
            result[members[i]] = kFileOffline;
        }
        return true;
    }
    // A folder that can be read but not searched lists its names while stat of a path inside
    // it fails: looking up "." needs the same search right.
    struct stat self {};
    DIR* stream = ::fstatat(folderFd, ".", &self, 0) == 0 ? ::fdopendir(folderFd) : nullptr;
    if (stream == nullptr) {
        ::close(folderFd);
        return false;
    }
    // A table of the members' names by hash; members sharing a name are chained.
    size_t capacity = 16;
    while (capacity < count * 2) {
        capacity *= 2;
    }
    const size_t mask = capacity - 1;
    m_Slots.assign(capacity, kEmpty);
    m_SameName.assign(count, kEmpty);
    // The names are taken in member order, which is mostly memory order: the listing's
    // look-ups, in the file system's order, then find them in the cache.
    m_Names.resize(count);
    m_Hashes.resize(count);
    for (size_t i = 0; i < count; ++i) {
        m_Names[i] = FileNamePart(m_Paths[members[i]].path);
        m_Hashes[i] = m_Paths[members[i]].nameHash;
    }
    auto find = [&](std::string_view name, uint32_t hash) {
        for (size_t slot = hash & mask; m_Slots[slot] != kEmpty; slot = (slot + 1) & mask) {
            if (m_Hashes[m_Slots[slot]] == hash && m_Names[m_Slots[slot]] == name) {
                return m_Slots[slot];
            }
        }
        return kEmpty;
    };
    for (uint32_t i = 0; i < count; ++i) {
        if (const uint32_t same = find(m_Names[i], m_Hashes[i]); same != kEmpty) {
            m_SameName[i] = m_SameName[same];
            m_SameName[same] = i;
            continue;
        }
        size_t slot = m_Hashes[i] & mask;
        while (m_Slots[slot] != kEmpty) {
            slot = (slot + 1) & mask;
        }
        m_Slots[slot] = i;
    }

    bool listed = true;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(stream);
        if (entry == nullptr) {
            listed = errno == 0;
            break;
        }
        const std::string_view name(entry->d_name);
        uint32_t member = find(name, NameHash(name));
        if (member == kEmpty) {
            continue;
        }
        eFileState state = entry->d_type == DT_REG ? kFileExists : kFileMissing;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            state = ExamineEntryAt(::dirfd(stream), entry->d_name);
        }
        for (; member != kEmpty; member = m_SameName[member]) {
            result[members[member]] = state;
        }
    }
    ::closedir(stream);
    return listed;
}

std::vector<uint8_t> FilesExist(const std::vector<std::string_view>& paths) {
    cFileExistenceCheck check;
    check.Reserve(paths.size());
    for (const std::string_view path : paths) {
        check.Add(path);
    }
    return check.Run();
}
