#include "catalogue/unitFolderImport.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unordered_set>
#include <utility>

#include "catalogue/unitFolderScan.h"
#include "util/unitFileHandle.h"
#include "util/unitMessages.h"
#include "util/unitUtils.h"

namespace {
// At most this many folders, and this many messages of the scans, are named in the report.
constexpr size_t kMaxNamed = 20;

/// A real folder: the same device and inode, whatever path led to it.
struct cFolderIdentity {
    dev_t Device;
    ino_t Inode;
    bool operator==(const cFolderIdentity&) const = default;
};
struct cFolderIdentityHash {
    size_t operator()(const cFolderIdentity& id) const {
        return std::hash<uint64_t>()(static_cast<uint64_t>(id.Inode) * 0x9E3779B97F4A7C15ULL ^
                                     static_cast<uint64_t>(id.Device));
    }
};

/// While it lives, the messages of the core are collected instead of shown.
class cMessageCollector {
public:
    explicit cMessageCollector(std::vector<std::string>& into)
        : m_Previous(SetMessageSink([&into](const std::string& text) { into.push_back(text); })) {}
    ~cMessageCollector() { SetMessageSink(std::move(m_Previous)); }
    cMessageCollector(const cMessageCollector&) = delete;
    cMessageCollector& operator=(const cMessageCollector&) = delete;

private:
    cMessageSink m_Previous;
};

struct cDirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

bool IsHidden(const char* name) {
    return name[0] == '.';
}

/// A visible subfolder of a folder: a real one, or a symbolic link to a folder.
struct cSubfolder {
    std::string Name;
    bool Link = false;
};

/// Whether the entry is a folder or a link to one, and which.
bool ReadFolderEntry(int folderFd, const dirent& entry, cSubfolder& subfolder) {
    unsigned char type = entry.d_type;
    struct stat info {};
    if (type == DT_UNKNOWN) {
        if (::fstatat(folderFd, entry.d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
            return false;
        }
        type = S_ISDIR(info.st_mode) ? DT_DIR : S_ISLNK(info.st_mode) ? DT_LNK : DT_REG;
    }
    if (type == DT_LNK) {
        if (::fstatat(folderFd, entry.d_name, &info, 0) != 0 || !S_ISDIR(info.st_mode)) {
            return false; // dangling, or a link to a file
        }
    } else if (type != DT_DIR) {
        return false;
    }
    subfolder = {entry.d_name, type == DT_LNK};
    return true;
}

/// The folder's visible subfolders, sorted by name; errno of a listing that failed.
int ListSubfolders(DIR* dir, std::vector<cSubfolder>& subfolders) {
    const int folderFd = ::dirfd(dir);
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (entry == nullptr) {
            if (errno != 0) {
                return errno;
            }
            break;
        }
        cSubfolder subfolder;
        if (!IsHidden(entry->d_name) && ReadFolderEntry(folderFd, *entry, subfolder)) {
            subfolders.push_back(std::move(subfolder));
        }
    }
    std::sort(subfolders.begin(), subfolders.end(),
              [](const cSubfolder& a, const cSubfolder& b) { return a.Name < b.Name; });
    return 0;
}

/// Whether the path (a real one: no link in it) lies below the folder or is the folder.
bool IsAtOrBelow(std::string_view path, std::string_view folder) {
    if (folder == "/") {
        return true;
    }
    return path.starts_with(folder) && (path.size() == folder.size() || path[folder.size()] == '/');
}

/// The system's folders of processes, devices and kernel objects: they hold no music, and
/// their endless or self-referring trees must never be walked.
constexpr std::string_view kSystemFolders[] = {"/proc", "/sys", "/dev"};

/// Tells the system's folders wherever they are reached: by their real paths, and by the
/// file systems mounted on them (a bind mount of /proc elsewhere is still /proc).
class cSystemFolders {
public:
    cSystemFolders() {
        struct stat root {};
        const bool rootKnown = ::stat("/", &root) == 0;
        for (std::string_view folder : kSystemFolders) {
            struct stat info {};
            // A plain folder on the root's file system (in a chroot, say) is told by its
            // path alone: its device is the root's.
            if (rootKnown && ::stat(std::string(folder).c_str(), &info) == 0 &&
                info.st_dev != root.st_dev) {
                m_Devices.push_back(info.st_dev);
            }
        }
    }
    bool Holds(std::string_view realPath, dev_t device) const {
        return std::find(m_Devices.begin(), m_Devices.end(), device) != m_Devices.end() ||
               std::any_of(std::begin(kSystemFolders), std::end(kSystemFolders),
                           [realPath](std::string_view folder) {
                               return folder != "/" && IsAtOrBelow(realPath, folder);
                           });
    }

private:
    std::vector<dev_t> m_Devices;
};

/// The path with no link in it, without a trailing separator; empty when it cannot be had.
std::string RealPath(const std::string& path) {
    const std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr),
                                                           &std::free);
    return real ? std::string(real.get()) : std::string();
}

std::string Below(const std::string& realFolder, const std::string& name) {
    return realFolder == "/" ? "/" + name : realFolder + "/" + name;
}

/// A folder still to visit.
struct cPendingFolder {
    std::string Path;     ///< as the walk reached it, links and all, with a trailing separator
    std::string RealPath; ///< with no link in it, without a trailing separator
    int Parent = -1;      ///< the visited folder it was found in (an index of the walk's trail)
};

/// A visited folder, with the folder it was found in: the walk's way down to every folder.
struct cTrailStep {
    cFolderIdentity Identity;
    int Parent = -1;
};

bool IsOnTheWayDown(const std::vector<cTrailStep>& trail, int step, const cFolderIdentity& id) {
    for (; step >= 0; step = trail[static_cast<size_t>(step)].Parent) {
        if (trail[static_cast<size_t>(step)].Identity == id) {
            return true;
        }
    }
    return false;
}

/// The walk over one chosen tree.
class cTreeWalk {
public:
    cTreeWalk(const std::string& folder, cImportResult& result) : m_Result(result) {
        const std::string path = AddTrailingBackslash(folder);
        m_TreeRealPath = RealPath(path);
        m_TreeError = errno;
        m_Pending.push_back({path, m_TreeRealPath, -1});
    }

    void Run(cKnownFiles& known, const cImportProgressReport& report) {
        if (m_TreeRealPath.empty()) {
            Unreadable(m_Pending.back().Path, m_TreeError);
            return;
        }
        while (!m_Pending.empty()) {
            const cPendingFolder current = std::move(m_Pending.back());
            m_Pending.pop_back();
            if (!Visit(current, known, report)) {
                m_Result.Cancelled = true;
                return;
            }
        }
    }

private:
    void Unreadable(const std::string& path, int error, std::string reason = {}) {
        m_Result.UnreadableFolders.push_back(
            {StripTrailingBackslash(path), reason.empty() ? std::strerror(error) : reason});
    }

    /// Scans the folder and queues its subfolders; false when the report asks to stop.
    bool Visit(const cPendingFolder& current, cKnownFiles& known,
               const cImportProgressReport& report) {
        const int fd = ::open(current.Path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            Unreadable(current.Path, errno);
            return true;
        }
        const std::unique_ptr<DIR, cDirCloser> dir(::fdopendir(fd));
        if (!dir) {
            Unreadable(current.Path, errno);
            ::close(fd);
            return true;
        }
        struct stat info {};
        if (::fstat(fd, &info) != 0) {
            Unreadable(current.Path, errno);
            return true;
        }
        if (m_System.Holds(current.RealPath, info.st_dev)) {
            if (current.Parent < 0) {
                Unreadable(current.Path, 0, "a folder of the system, which holds no songs");
            }
            return true;
        }
        if (!m_Visited.insert({info.st_dev, info.st_ino}).second) {
            return true; // met before, by another path
        }
        if (!report({m_Result.FoldersDone, m_Result.SongsFound,
                     StripTrailingBackslash(current.Path)})) {
            return false;
        }
        std::vector<cSubfolder> subfolders;
        if (const int error = ListSubfolders(dir.get(), subfolders); error != 0) {
            Unreadable(current.Path, error);
            return true;
        }
        const int step = static_cast<int>(m_Trail.size());
        m_Trail.push_back({{info.st_dev, info.st_ino}, current.Parent});
        m_Result.SongsFound += ScanFolder(current.Path, known);
        ++m_Result.FoldersDone;
        for (auto subfolder = subfolders.rbegin(); subfolder != subfolders.rend(); ++subfolder) {
            Queue(current, step, *subfolder);
        }
        return true;
    }

    /// Queues a subfolder; a link only when it leads to a folder inside the chosen tree that is
    /// not on the way down to it (as find -L refuses loops), so the walk never leaves the tree.
    void Queue(const cPendingFolder& folder, int step, const cSubfolder& subfolder) {
        std::string path = folder.Path + subfolder.Name + kPathDelim;
        if (!subfolder.Link) {
            m_Pending.push_back({std::move(path), Below(folder.RealPath, subfolder.Name), step});
            return;
        }
        std::string target = RealPath(path);
        struct stat info {};
        if (target.empty() || !IsAtOrBelow(target, m_TreeRealPath) ||
            ::stat(target.c_str(), &info) != 0 ||
            IsOnTheWayDown(m_Trail, step, {info.st_dev, info.st_ino})) {
            return;
        }
        m_Pending.push_back({std::move(path), std::move(target), step});
    }

    cImportResult& m_Result;
    std::string m_TreeRealPath;
    int m_TreeError = 0; // why the chosen folder's real path could not be had
    const cSystemFolders m_System;
    std::unordered_set<cFolderIdentity, cFolderIdentityHash> m_Visited;
    std::vector<cTrailStep> m_Trail;
    // Folders still to visit, the next one at the back.
    std::vector<cPendingFolder> m_Pending;
};

/// At most kMaxNamed lines, then how many more there were.
std::string NamedLines(const std::vector<std::string>& lines, const char* separator,
                       const char* moreUnit) {
    std::string text;
    for (size_t i = 0; i < lines.size() && i < kMaxNamed; ++i) {
        text += (i == 0 ? "" : separator) + lines[i];
    }
    if (lines.size() > kMaxNamed) {
        text += std::string(separator) + "... and " + std::to_string(lines.size() - kMaxNamed) +
                " more " + moreUnit;
    }
    return text;
}
} // namespace

cImportResult ImportFolderTree(const std::string& folder, const cImportProgressReport& report) {
    cKnownFiles known; // needs the open catalogue
    cImportResult result;
    const cMessageCollector collector(result.ScanMessages);
    cTreeWalk(folder, result).Run(known, report);
    return result;
}

std::string ImportProgressText(const cImportProgress& progress) {
    return "Folders done: " + std::to_string(progress.FoldersDone) +
           "\nSongs found: " + std::to_string(progress.SongsFound) + "\n" + progress.CurrentFolder;
}

std::string ImportReportText(const cImportResult& result) {
    std::string text;
    if (const size_t count = result.UnreadableFolders.size(); count > 0) {
        std::vector<std::string> lines;
        for (const cUnreadableFolder& folder : result.UnreadableFolders) {
            lines.push_back(folder.Path + " (" + folder.Reason + ")");
        }
        text = std::to_string(count) + (count == 1 ? " folder" : " folders") +
               " could not be read; the songs in and below " + (count == 1 ? "it" : "them") +
               " were not added:\n" + NamedLines(lines, "\n", "folders");
    }
    if (!result.ScanMessages.empty()) {
        text += (text.empty() ? "" : "\n\n") + NamedLines(result.ScanMessages, "\n\n", "messages");
    }
    return text;
}
