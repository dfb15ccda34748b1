#include "catalogue/unitFolderImport.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
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

/// Whether the entry is a folder or a link to one.
bool IsFolderEntry(int folderFd, const dirent& entry) {
    if (entry.d_type == DT_DIR) {
        return true;
    }
    if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN) {
        return false;
    }
    struct stat info {};
    return ::fstatat(folderFd, entry.d_name, &info, 0) == 0 && S_ISDIR(info.st_mode);
}

/// The names of the folder's visible subfolders, sorted; errno of a listing that failed.
int ListSubfolders(DIR* dir, std::vector<std::string>& names) {
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
        if (!IsHidden(entry->d_name) && IsFolderEntry(folderFd, *entry)) {
            names.emplace_back(entry->d_name);
        }
    }
    std::sort(names.begin(), names.end());
    return 0;
}

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
    std::unordered_set<cFolderIdentity, cFolderIdentityHash> visited;
    // Folders still to visit, the next one at the back.
    std::vector<std::string> pending{AddTrailingBackslash(folder)};
    while (!pending.empty()) {
        const std::string current = std::move(pending.back());
        pending.pop_back();
        const auto unreadable = [&](int error) {
            result.UnreadableFolders.push_back(
                {StripTrailingBackslash(current), std::strerror(error)});
        };
        const int fd = ::open(current.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            unreadable(errno);
            continue;
        }
        const std::unique_ptr<DIR, cDirCloser> dir(::fdopendir(fd));
        if (!dir) {
            unreadable(errno);
            ::close(fd);
            continue;
        }
        struct stat info {};
        if (::fstat(fd, &info) != 0) {
            unreadable(errno);
            continue;
        }
        if (!visited.insert({info.st_dev, info.st_ino}).second) {
            continue; // met before, by another path
        }
        if (!report({result.FoldersDone, result.SongsFound, StripTrailingBackslash(current)})) {
            result.Cancelled = true;
            break;
        }
        std::vector<std::string> subfolders;
        if (const int error = ListSubfolders(dir.get(), subfolders); error != 0) {
            unreadable(error);
            continue;
        }
        result.SongsFound += ScanFolder(current, known);
        ++result.FoldersDone;
        for (auto name = subfolders.rbegin(); name != subfolders.rend(); ++name) {
            pending.push_back(current + *name + kPathDelim);
        }
    }
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
