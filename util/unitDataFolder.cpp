#include "util/unitDataFolder.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "util/unitFileHandle.h"
#include "util/unitUtils.h"

namespace {
constexpr std::string_view kDataFolderName = "tunaria";
constexpr std::string_view kCatalogueName = "DB.txt";
/// Where an installed program's desktop entry lies, from the prefix (data/CMakeLists.txt
/// installs it there).
constexpr std::string_view kDesktopEntry = "share/applications/org.tunaria.Tunaria.desktop";

bool IsAbsolute(std::string_view path) {
    return !path.empty() && path.front() == kPathDelim;
}

bool IsFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsEntry(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
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

/// Why the catalogue in the program folder cannot be kept there, or empty when it can: the
/// folder must take new files (the settings, the group list and every compaction of the
/// catalogue are written beside it and renamed into place), and the catalogue must open for
/// writing. A catalogue that cannot be opened for other reasons (a dangling link, a folder of
/// that name) is left to the catalogue's own open, which names them.
std::string CatalogueWriteProblem(const std::string& folder, const std::string& catalogue) {
    if (const int error = FolderWriteError(folder); error != 0) {
        return std::strerror(error);
    }
    const int fd = ::open(catalogue.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        return {};
    }
    const int error = errno;
    if (error == EACCES || error == EPERM || error == EROFS || error == ETXTBSY) {
        return std::strerror(error);
    }
    return {};
}

/// The user's data folder, or why there is none.
cDataFolderChoice UserDataFolder(std::string_view xdgDataHome, std::string_view home,
                                 std::string_view why) {
    cDataFolderChoice choice;
    const std::string base = UserDataHome(xdgDataHome, home);
    if (base.empty()) {
        choice.Problem = std::string(why) +
                         " no home folder is known (HOME is not set), so there is no place for "
                         "the catalogue and the settings.";
        return choice;
    }
    choice.Folder = AddTrailingBackslash(AddTrailingBackslash(base) + std::string(kDataFolderName));
    return choice;
}
} // namespace

bool UserDataFolderByBuild() {
#ifdef TUNARIA_USER_DATA_FOLDER
    return true;
#else
    return false;
#endif
}

int FolderWriteError(const std::string& folder) {
    if (folder.empty()) {
        return ENOENT;
    }
    std::string probe = AddTrailingBackslash(folder) + ".tunaria-write-probe-XXXXXX";
    const int fd = ::mkostemp(probe.data(), O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    // A byte needs a block: a disk that is full of blocks but not of inodes refuses it.
    int error = 0;
    if (::write(fd, "", 1) != 1) {
        error = errno != 0 ? errno : ENOSPC;
    }
    ::close(fd);
    ::unlink(probe.c_str());
    return error;
}

bool IsWritableFolder(const std::string& folder) {
    return FolderWriteError(folder) == 0;
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

bool IsInstalledProgramFolder(const std::string& programFolder, uid_t user,
                              bool userFolderByBuild) {
    if (userFolderByBuild) {
        return true;
    }
    const std::string folder = StripTrailingBackslash(programFolder);
    struct stat info {};
    if (::stat(folder.c_str(), &info) == 0 && info.st_uid != user) {
        return true;
    }
    if (FileNamePart(folder) != "bin") {
        return false;
    }
    const std::string prefix = AddTrailingBackslash(FolderPart(folder));
    return IsEntry(prefix + std::string(kDesktopEntry));
}

cDataFolderChoice ChooseDataFolder(const std::string& programFolder, std::string_view xdgDataHome,
                                   std::string_view home, uid_t user, bool userFolderByBuild) {
    if (IsInstalledProgramFolder(programFolder, user, userFolderByBuild)) {
        return UserDataFolder(xdgDataHome, home, "The program is installed, and");
    }
    cDataFolderChoice beside;
    beside.Folder = AddTrailingBackslash(programFolder);
    beside.BesideProgram = true;
    // A catalogue that is there stays the catalogue: a second, empty one elsewhere would drift
    // apart from it without a word.
    const std::string catalogue = beside.Folder + std::string(kCatalogueName);
    if (IsEntry(catalogue)) {
        const std::string problem = CatalogueWriteProblem(programFolder, catalogue);
        if (problem.empty()) {
            return beside;
        }
        cDataFolderChoice none;
        none.Problem = "The songs database \"" + catalogue + "\" cannot be written: " + problem;
        return none;
    }
    if (IsWritableFolder(programFolder)) {
        return beside;
    }
    return UserDataFolder(xdgDataHome, home,
                          "The program's folder \"" + programFolder + "\" cannot be written, and");
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

std::string DefaultMusicFolder(std::string_view musicFolder, std::string_view fallback) {
    const std::string music(musicFolder);
    if (!music.empty() && IsFolder(music)) {
        return AddTrailingBackslash(music);
    }
    return AddTrailingBackslash(fallback);
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
