#include "catalogue/unitFileExistence.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <unordered_map>
#include <utility>

#include "util/unitUtils.h"

namespace {
/// Below this many paths in one folder, a stat per path is cheaper than listing the folder.
constexpr size_t kFewestToList = 3;
constexpr uint32_t kNoFolder = UINT32_MAX;

bool IsRegularAt(int folderFd, const char* name) {
    struct stat info {};
    return ::fstatat(folderFd, name, &info, 0) == 0 && S_ISREG(info.st_mode);
}

void StatEach(const std::vector<std::string_view>& paths, const uint32_t* members, size_t count,
              std::vector<uint8_t>& result) {
    for (size_t i = 0; i < count; ++i) {
        result[members[i]] = FileExists(paths[members[i]]) ? 1 : 0;
    }
}

/// Lists the folder once and answers for its member paths. False when the folder cannot be
/// listed and searched (the caller then stats each path, which gives the exact answer).
bool ListFolder(const std::string& folder, const std::vector<std::string_view>& paths,
                const uint32_t* members, size_t count, std::vector<uint8_t>& result) {
    const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0) {
        return false;
    }
    // A folder that can be read but not searched lists its names while stat of a path inside
    // it fails: looking up "." needs the same search right.
    struct stat self {};
    if (::fstatat(folderFd, ".", &self, 0) != 0) {
        ::close(folderFd);
        return false;
    }
    DIR* folderStream = ::fdopendir(folderFd);
    if (folderStream == nullptr) {
        ::close(folderFd);
        return false;
    }
    std::vector<std::pair<std::string_view, uint32_t>> names;
    names.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const std::string_view path = paths[members[i]];
        names.emplace_back(path.substr(path.rfind(kPathDelim) + 1), members[i]);
        result[members[i]] = 0;
    }
    std::sort(names.begin(), names.end());
    bool listed = true;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(folderStream);
        if (entry == nullptr) {
            listed = errno == 0;
            break;
        }
        const std::string_view name(entry->d_name);
        auto range =
            std::equal_range(names.begin(), names.end(), std::make_pair(name, 0u),
                             [](const auto& a, const auto& b) { return a.first < b.first; });
        if (range.first == range.second) {
            continue;
        }
        bool regular = entry->d_type == DT_REG;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            regular = IsRegularAt(::dirfd(folderStream), entry->d_name);
        }
        for (auto it = range.first; it != range.second; ++it) {
            result[it->second] = regular ? 1 : 0;
        }
    }
    ::closedir(folderStream);
    return listed;
}
} // namespace

bool FileExists(std::string_view path) {
    if (path.find('\0') != std::string_view::npos) {
        return false;
    }
    struct stat info {};
    return ::stat(std::string(path).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::vector<uint8_t> FilesExist(const std::vector<std::string_view>& paths) {
    const size_t count = paths.size();
    std::vector<uint8_t> result(count, 0);
    // Number the folders, then gather the paths folder by folder (a counting sort).
    std::unordered_map<std::string_view, uint32_t> folderIds;
    std::vector<std::string_view> folders;
    std::vector<uint32_t> folderOf(count, kNoFolder);
    std::vector<uint32_t> membersOf;
    for (size_t i = 0; i < count; ++i) {
        const std::string_view path = paths[i];
        const size_t slash = path.rfind(kPathDelim);
        if (slash == std::string_view::npos || path.find('\0') != std::string_view::npos) {
            result[i] = FileExists(path) ? 1 : 0;
            continue;
        }
        const std::string_view folder = path.substr(0, slash == 0 ? 1 : slash);
        const auto [it, added] =
            folderIds.try_emplace(folder, static_cast<uint32_t>(folders.size()));
        if (added) {
            folders.push_back(folder);
            membersOf.push_back(0);
        }
        folderOf[i] = it->second;
        ++membersOf[it->second];
    }
    folderIds = {};
    std::vector<uint32_t> firstMember(folders.size() + 1, 0);
    for (size_t f = 0; f < folders.size(); ++f) {
        firstMember[f + 1] = firstMember[f] + membersOf[f];
    }
    std::vector<uint32_t> order(firstMember.back());
    std::vector<uint32_t> fill(firstMember.begin(), firstMember.end() - 1);
    for (size_t i = 0; i < count; ++i) {
        if (folderOf[i] != kNoFolder) {
            order[fill[folderOf[i]]++] = static_cast<uint32_t>(i);
        }
    }
    folderOf = {};
    fill = {};
    for (size_t f = 0; f < folders.size(); ++f) {
        const uint32_t* members = order.data() + firstMember[f];
        const size_t memberCount = firstMember[f + 1] - firstMember[f];
        if (memberCount < kFewestToList ||
            !ListFolder(std::string(folders[f]), paths, members, memberCount, result)) {
            StatEach(paths, members, memberCount, result);
        }
    }
    return result;
}
