#include "catalogue/unitFileExistence.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <utility>

#include "util/unitFileHandle.h"
#include "util/unitMountTable.h"
#include "util/unitUtils.h"

namespace {
/// Listing a folder costs three system calls plus a little per entry, a stat one path walk:
/// below this many paths in a folder the stats are cheaper.
constexpr size_t kFewestToList = 8;
constexpr uint32_t kNoFolder = UINT32_MAX;
constexpr uint32_t kEmpty = UINT32_MAX;
/// Folders a thread takes at a time: few enough that both finish together, enough that
/// handing them out costs nothing.
constexpr size_t kFoldersPerTake = 4;
/// Below this many folders starting a second thread costs more than it saves.
constexpr size_t kFoldersForASecondThread = 64;

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

/// An entry a folder listing has not answered for yet.
constexpr uint8_t kUnanswered = 0xFF;

/// The mount points, read when the first folder that lacks a file needs them, once for a whole
/// check (both threads of it).
class cLazyMountPoints {
public:
    const cMountPoints& Get() {
        std::call_once(m_Once, [this] { m_Points.emplace(cMountPoints::Read()); });
        return *m_Points;
    }

private:
    std::once_flag m_Once;
    std::optional<cMountPoints> m_Points;
};

/// The state of a file missing from a folder: a folder that is there means it is gone, unless
/// the folder awaits its drive; one that is not (or cannot be examined) means it may come back.
eFileState MissingFileState(std::string_view folder, cLazyMountPoints& mounts) {
    if (folder.empty()) {
        return kFileMissing; // a name without a folder has nothing to wait for
    }
    const std::string path(folder);
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return kFileOffline;
    }
    return AwaitsItsDrive(path, mounts.Get()) ? kFileOffline : kFileMissing;
}

/// The state of files that are not there, by their folder, found once when first needed.
class cFolderState {
public:
    explicit cFolderState(cLazyMountPoints& mounts) : m_Mounts(mounts) {}

    eFileState OfMissingFileIn(std::string_view folder) {
        if (!m_Known) {
            m_State = MissingFileState(folder, m_Mounts);
            m_Known = true;
        }
        return m_State;
    }

private:
    cLazyMountPoints& m_Mounts;
    bool m_Known = false;
    eFileState m_State = kFileMissing;
};

bool IsEmptyFolder(const char* path) {
    DIR* dir = ::opendir(path);
    if (dir == nullptr) {
        return false; // what cannot be listed cannot be told empty
    }
    bool empty = true;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (name != "." && name != "..") {
            empty = false;
            break;
        }
    }
    ::closedir(dir);
    return empty;
}

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
/// A second thread for one piece of work, joined at the latest when this object goes: no
/// thread outlives the work. Where no thread can be started the work is left to the caller's
/// own thread, which takes every piece then.
class cOtherThread {
public:
    cOtherThread() = default;
    cOtherThread(const cOtherThread&) = delete;
    cOtherThread& operator=(const cOtherThread&) = delete;
    ~cOtherThread() {
        if (m_Thread.joinable()) {
            m_Thread.join();
        }
    }

    void Start(std::function<void()> work) {
        try {
            m_Thread = std::thread([this, work = std::move(work)] {
                try {
                    work();
                } catch (...) {
                    m_Failure = std::current_exception();
                }
            });
        } catch (const std::system_error&) {
            // No thread to be had: the caller's thread does it all.
        }
    }
    /// Waits for the work and rethrows what stopped it.
    void Join() {
        if (m_Thread.joinable()) {
            m_Thread.join();
        }
        if (m_Failure) {
            std::rethrow_exception(std::exchange(m_Failure, nullptr));
        }
    }

private:
    std::thread m_Thread;
    std::exception_ptr m_Failure;
};
} // namespace

bool AwaitsItsDrive(const std::string& folder, const cMountPoints& mounts) {
    char real[PATH_MAX];
    if (::realpath(folder.c_str(), real) == nullptr) {
        return false;
    }
    const std::string_view realPath(real);
    if (realPath == "/" || mounts.IsMounted(realPath)) {
        return false;
    }
    // A file system mounted on the folder gives it a device of its own, also where the mount
    // table could not be read.
    struct stat self {};
    struct stat parent {};
    if (::stat(real, &self) != 0 ||
        ::stat(std::string(FolderPart(realPath)).c_str(), &parent) != 0 ||
        self.st_dev != parent.st_dev) {
        return false;
    }
    return mounts.IsDeclared(realPath) || IsEmptyFolder(real);
}

bool FileExists(std::string_view path) {
    if (path.find('\0') != std::string_view::npos) {
        return false;
    }
    struct stat info {};
    return ::stat(std::string(path).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

eFileState ExamineFile(std::string_view path) {
    cLazyMountPoints mounts;
    cFolderState folder(mounts);
    return ExamineFileIn(path, folder);
}

void cFileExistenceCheck::Add(std::string_view path) {
    // The separator is found once: FolderPart and FileNamePart of the path. A path too long for
    // a cPath (none a song has) is examined by itself, as is one without a folder.
    const size_t slash = path.rfind(kPathDelim);
    if (slash == std::string_view::npos || path.size() > UINT16_MAX ||
        path.find('\0') != std::string_view::npos) {
        m_Unfiled.emplace_back(path, static_cast<uint32_t>(m_Paths.size()));
        m_Paths.push_back({path.data(), kNoFolder, 0, 0});
        return;
    }
    const std::string_view folder = path.substr(0, slash == 0 ? 1 : slash);
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
    m_Paths.push_back({path.data(), m_LastFolder, static_cast<uint16_t>(path.size()),
                       static_cast<uint16_t>(slash + 1)});
}

/// Answers for the member paths of one folder after another: by one listing of the folder
/// where there are enough of them, else by stat. One per thread, with a name table and a
/// listing buffer of its own; it writes only the answers of the folders it is given.
class cFileExistenceCheck::cLister {
public:
    cLister(const std::vector<cPath>& paths, std::vector<uint8_t>& result, cLazyMountPoints& mounts)
        : m_Paths(paths), m_Result(result), m_Mounts(mounts), m_Listing(new char[kListingBytes]) {}

    /// Groups of equal paths met in the folders checked, as Run hands them out.
    std::vector<uint32_t> Repeated;

    void CheckFolder(std::string_view folder, const uint32_t* members, size_t count) {
        if (count > 1) {
            BuildNameTable(members, count);
            NoteRepeatedNames(members);
        }
        if (count >= kFewestToList && ListFolder(folder, members, count)) {
            return;
        }
        cFolderState folderState(m_Mounts);
        for (size_t i = 0; i < count; ++i) {
            m_Result[members[i]] = ExamineFileIn(m_Paths[members[i]].Path(), folderState);
        }
    }

private:
    /// Room for the entries of a folder of a few hundred songs in one getdents64.
    static constexpr size_t kListingBytes = 32 * 1024;

    void BuildNameTable(const uint32_t* members, size_t count);
    void NoteRepeatedNames(const uint32_t* members);
    uint32_t FindName(std::string_view name, uint32_t hash) const;
    bool ListFolder(std::string_view folder, const uint32_t* members, size_t count);

    const std::vector<cPath>& m_Paths;
    std::vector<uint8_t>& m_Result;
    cLazyMountPoints& m_Mounts;
    std::unique_ptr<char[]> m_Listing; // operator new[] aligns it for dirent64
    std::string m_OpenPath;
    // The name table of the folder being listed: open addressing over member positions.
    size_t m_Mask = 0;
    bool m_AnyRepeated = false;
    std::vector<uint32_t> m_Slots;
    std::vector<uint32_t> m_SameName;
    std::vector<std::string_view> m_Names;
    std::vector<uint32_t> m_Hashes;
};

/// A table of the members' names by hash; members sharing a name are chained.
void cFileExistenceCheck::cLister::BuildNameTable(const uint32_t* members, size_t count) {
    size_t capacity = 16;
    while (capacity < count * 2) {
        capacity *= 2;
    }
    m_Mask = capacity - 1;
    m_Slots.assign(capacity, kEmpty);
    m_SameName.assign(count, kEmpty);
    // The names are taken in member order, which is mostly memory order: the listing's
    // look-ups, in the file system's order, then find them in the cache.
    m_AnyRepeated = false;
    m_Names.resize(count);
    m_Hashes.resize(count);
    for (size_t i = 0; i < count; ++i) {
        m_Names[i] = m_Paths[members[i]].Name();
        // Hashed here, on the checking thread: this also brings the names into the cache
        // for the look-ups of the listing.
        m_Hashes[i] = NameHash(m_Names[i]);
    }
    for (uint32_t i = 0; i < count; ++i) {
        if (const uint32_t same = FindName(m_Names[i], m_Hashes[i]); same != kEmpty) {
            m_SameName[i] = m_SameName[same];
            m_SameName[same] = i;
            m_AnyRepeated = true;
            continue;
        }
        size_t slot = m_Hashes[i] & m_Mask;
        while (m_Slots[slot] != kEmpty) {
            slot = (slot + 1) & m_Mask;
        }
        m_Slots[slot] = i;
    }
}

/// Members of one folder with one name are the same path: each such group goes to Repeated.
void cFileExistenceCheck::cLister::NoteRepeatedNames(const uint32_t* members) {
    if (!m_AnyRepeated) {
        return;
    }
    for (const uint32_t first : m_Slots) {
        if (first == kEmpty || m_SameName[first] == kEmpty) {
            continue;
        }
        const size_t start = Repeated.size();
        for (uint32_t member = first; member != kEmpty; member = m_SameName[member]) {
            Repeated.push_back(members[member]);
        }
        std::sort(Repeated.begin() + static_cast<ptrdiff_t>(start), Repeated.end());
        Repeated.push_back(kEndOfRepeatedPaths);
    }
}

uint32_t cFileExistenceCheck::cLister::FindName(std::string_view name, uint32_t hash) const {
    for (size_t slot = hash & m_Mask; m_Slots[slot] != kEmpty; slot = (slot + 1) & m_Mask) {
        if (m_Hashes[m_Slots[slot]] == hash && m_Names[m_Slots[slot]] == name) {
            return m_Slots[slot];
        }
    }
    return kEmpty;
}

/// Lists the folder and answers for its member paths (whose name table is built); a folder
/// that is not there answers for all of them at once. Three system calls for a folder whose songs
/// are all there: openat, one getdents64 (the listing stops once every member has been answered)
/// and close. False when the folder cannot be listed and searched (the caller then stats each path,
/// which gives the exact answer).
bool cFileExistenceCheck::cLister::ListFolder(std::string_view folder, const uint32_t* members,
                                              size_t count) {
    // Opening "folder/." looks "." up inside the folder, which needs the right to search it:
    // a folder that may be listed but not searched names its files while stat of a path
    // inside it fails, and is refused here.
    m_OpenPath.assign(folder).append("/.");
    cFileHandle folderFd(::open(m_OpenPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folderFd.IsOpen()) {
        if (!IsNotThere(errno)) {
            return false;
        }
        for (size_t i = 0; i < count; ++i) {
            m_Result[members[i]] = kFileOffline;
        }
        return true;
    }
    for (size_t i = 0; i < count; ++i) {
        m_Result[members[i]] = kUnanswered;
    }
    size_t unanswered = count;
    while (unanswered > 0) {
        const ssize_t got = ::getdents64(folderFd.Get(), m_Listing.get(), kListingBytes);
        if (got < 0) {
            return false;
        }
        if (got == 0) {
            break; // the rest are not in the folder
        }
        for (size_t at = 0; at < static_cast<size_t>(got);) {
            const auto* entry = reinterpret_cast<const dirent64*>(m_Listing.get() + at);
            at += entry->d_reclen;
            const std::string_view name(entry->d_name);
            uint32_t member = FindName(name, NameHash(name));
            if (member == kEmpty) {
                continue;
            }
            eFileState state = entry->d_type == DT_REG ? kFileExists : kFileMissing;
            if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
                state = ExamineEntryAt(folderFd.Get(), entry->d_name);
            }
            for (; member != kEmpty; member = m_SameName[member]) {
                m_Result[members[member]] = state;
                --unanswered;
            }
        }
    }
    if (unanswered > 0) {
        const eFileState missing = MissingFileState(folder, m_Mounts);
        for (size_t i = 0; i < count; ++i) {
            if (m_Result[members[i]] == kUnanswered) {
                m_Result[members[i]] = missing;
            }
        }
    }
    return true;
}

namespace {
/// The groups of equal paths among those that name no folder (a bare name, a NUL byte).
void NoteRepeatedPathsWithoutFolder(const std::vector<std::pair<std::string_view, uint32_t>>& paths,
                                    std::vector<uint32_t>& repeated) {
    std::unordered_map<std::string_view, std::vector<uint32_t>> byPath;
    for (const auto& [path, index] : paths) {
        byPath[path].push_back(index);
    }
    for (const auto& [path, indices] : byPath) {
        if (indices.size() > 1) {
            repeated.insert(repeated.end(), indices.begin(), indices.end()); // ascending
            repeated.push_back(kEndOfRepeatedPaths);
        }
    }
}
} // namespace

std::vector<uint8_t> cFileExistenceCheck::Run(std::vector<uint32_t>* repeated) {
    std::vector<uint8_t> result(m_Paths.size(), kFileMissing);
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
            if (m_Paths[i].folder != kNoFolder) {
                order[fill[m_Paths[i].folder]++] = static_cast<uint32_t>(i);
            }
        }
    }
    cLazyMountPoints mounts;
    for (const auto& [path, index] : m_Unfiled) {
        cFolderState folder(mounts);
        result[index] = ExamineFileIn(path, folder);
    }
    // The folders are handed out a few at a time to whichever thread is free.
    std::atomic<size_t> nextFolder{0};
    const auto checkFolders = [&](cLister& lister) {
        for (;;) {
            const size_t first = nextFolder.fetch_add(kFoldersPerTake, std::memory_order_relaxed);
            if (first >= m_Folders.size()) {
                return;
            }
            const size_t last = std::min(first + kFoldersPerTake, m_Folders.size());
            for (size_t f = first; f < last; ++f) {
                lister.CheckFolder(m_Folders[f], order.data() + firstMember[f],
                                   firstMember[f + 1] - firstMember[f]);
            }
        }
    };
    cLister mine(m_Paths, result, mounts);
    cLister helpers(m_Paths, result, mounts);
    {
        cOtherThread helper; // joined when this block ends, also when checkFolders throws
        if (m_Folders.size() >= kFoldersForASecondThread &&
            std::thread::hardware_concurrency() > 1) {
            helper.Start([&] { checkFolders(helpers); });
        }
        checkFolders(mine);
        helper.Join(); // rethrows what stopped the helper
    }
    if (repeated != nullptr) {
        repeated->clear();
        repeated->swap(mine.Repeated);
        repeated->insert(repeated->end(), helpers.Repeated.begin(), helpers.Repeated.end());
        NoteRepeatedPathsWithoutFolder(m_Unfiled, *repeated);
    }
    *this = cFileExistenceCheck();
    return result;
}

std::vector<uint8_t> FilesExist(const std::vector<std::string_view>& paths) {
    cFileExistenceCheck check;
    check.Reserve(paths.size());
    for (const std::string_view path : paths) {
        check.Add(path);
    }
    return check.Run();
}
