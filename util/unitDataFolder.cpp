#include "util/unitDataFolder.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "util/unitFileHandle.h"
#include "util/unitUtils.h"

namespace {
constexpr std::string_view kDataFolderName = "tunaria";

bool IsAbsolute(std::string_view path) {
    return !path.empty() && path.front() == kPathDelim;
}

bool IsFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string HomeFromPasswordDatabase() {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr || found->pw_dir == nullptr) {
        return {};
    }
    return found->pw_dir;
}
} // namespace

bool IsWritableFolder(const std::string& folder) {
    if (folder.empty()) {
        return false;
    }
    std::string probe = AddTrailingBackslash(folder) + ".tunaria-write-probe-XXXXXX";
    const int fd = ::mkstemp(probe.data());
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

std::string UserDataHome(std::string_view xdgDataHome, std::string_view home) {
    if (IsAbsolute(xdgDataHome)) {
        return std::string(xdgDataHome);
    }
    if (IsAbsolute(home)) {
        return AddTrailingBackslash(home) + ".local/share";
    }
    return {};
}

cDataFolderChoice ChooseDataFolder(const std::string& programFolder, std::string_view xdgDataHome,
                                   std::string_view home) {
    cDataFolderChoice choice;
    if (IsWritableFolder(programFolder)) {
        choice.Folder = AddTrailingBackslash(programFolder);
        choice.BesideProgram = true;
        return choice;
    }
    const std::string base = UserDataHome(xdgDataHome, home);
    if (base.empty()) {
        choice.Problem = "The program's folder \"" + programFolder +
                         "\" cannot be written, and no home folder is known (HOME is not set), "
                         "so there is no place for the catalogue and the settings.";
        return choice;
    }
    choice.Folder = AddTrailingBackslash(AddTrailingBackslash(base) + std::string(kDataFolderName));
    return choice;
}

cDataFolderChoice ChooseDataFolder(const std::string& programFolder) {
    const char* xdgDataHome = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    const std::string knownHome =
        home != nullptr && *home != '\0' ? std::string(home) : HomeFromPasswordDatabase();
    return ChooseDataFolder(programFolder, xdgDataHome != nullptr ? xdgDataHome : "", knownHome);
}

void CreateDataFolder(const std::string& folder) {
    const std::string path = StripTrailingBackslash(folder);
    // Every folder on the way down, the last one included; the root is always there.
    for (size_t end = path.find(kPathDelim, 1);; end = path.find(kPathDelim, end + 1)) {
        const std::string part = path.substr(0, end);
        if (!part.empty() && ::mkdir(part.c_str(), 0700) != 0) {
            const int error = errno;
            if (error != EEXIST) {
                throw EFileError(error, "Could not create the folder", part);
            }
            if (!IsFolder(part)) {
                throw EFileError(ENOTDIR, "Could not create the folder", part,
                                 "A file of that name is in the way");
            }
        }
        if (end == std::string::npos) {
            break;
        }
    }
    if (!IsWritableFolder(path)) {
        throw EFileError(EACCES, "Cannot write in the folder", path);
    }
}

std::string DefaultMusicFolder(std::string_view musicFolder, std::string_view home) {
    const std::string music(musicFolder);
    if (!music.empty() && IsFolder(music)) {
        return AddTrailingBackslash(music);
    }
    return AddTrailingBackslash(home);
}

std::string ExecutableFolder() {
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) {
            return {};
        }
        if (static_cast<size_t>(length) < buffer.size()) {
            const std::string_view path(buffer.data(), static_cast<size_t>(length));
            return AddTrailingBackslash(FolderPart(path));
        }
        buffer.resize(buffer.size() * 2);
    }
}
