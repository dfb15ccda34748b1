#include "util/unitTrash.h"

#include <fcntl.h>
#include <pwd.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <system_error>
#include <unordered_map>
#include <vector>

#include "util/unitFileHandle.h"
#include "util/unitFileMove.h"
#include "util/unitUtils.h"

namespace {

/// The longest name a folder entry may have on the usual file systems.
constexpr size_t kMaxNameBytes = 255;
constexpr std::string_view kInfoSuffix = ".trashinfo";
/// An extension longer than this is no extension worth keeping at the end of a trash name.
constexpr size_t kMaxKeptExtension = 16;
/// How many names are tried as "name.2.mp3", "name.3.mp3", ... before numbers are drawn.
constexpr int kCountedNames = 9;

std::string SystemReason(int error) {
    return std::generic_category().message(error);
}

std::string Quoted(std::string_view path) {
    return "\"" + std::string(path) + "\"";
}

std::string Joined(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (path.empty() || path.back() != '/') {
        path += '/';
    }
    return path += name;
}

/// The mount a path lies on: the mount id where the system tells it (two bind mounts of one
/// file system are two mounts, and a rename between them fails), else the device.
struct cMountOf {
    dev_t Device = 0;
    uint64_t Mount = 0;
    bool HasMount = false;

    bool SameAs(const cMountOf& other) const {
        return HasMount && other.HasMount ? Mount == other.Mount : Device == other.Device;
    }
};

std::optional<cMountOf> MountOf(const std::string& path) {
    struct statx info {};
    if (::statx(AT_FDCWD, path.c_str(), 0, STATX_BASIC_STATS | STATX_MNT_ID, &info) != 0) {
        return std::nullopt;
    }
    cMountOf mount;
    mount.Device = ::makedev(info.stx_dev_major, info.stx_dev_minor);
    mount.HasMount = (info.stx_mask & STATX_MNT_ID) != 0;
    mount.Mount = info.stx_mnt_id;
    return mount;
}

/// The mount of the path, or of the nearest folder above it that exists (a home trash that is
/// still to be made lies where its data folder is).
std::optional<cMountOf> MountOfNearestExisting(std::string path) {
    for (;;) {
        if (std::optional<cMountOf> mount = MountOf(path)) {
            return mount;
        }
        if (errno != ENOENT || path == "/" || path.empty()) {
            return std::nullopt;
        }
        path = std::string(FolderPart(path));
    }
}

/// The folder where the mount of the (resolved) folder starts: the folder itself or the
/// highest folder above it on the same mount.
std::string TopFolderOf(const std::string& realFolder, const cMountOf& mount) {
    std::string top = realFolder;
    while (top != "/") {
        const std::string parent(FolderPart(top));
        const std::optional<cMountOf> parentMount = MountOf(parent);
        if (!parentMount || !parentMount->SameAs(mount)) {
            break;
        }
        top = parent;
    }
    return top;
}

std::optional<std::string> RealPath(const std::string& path) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr) {
        return std::nullopt;
    }
    return std::string(resolved);
}

// ---- the trash folders --------------------------------------------------------------------

/// A trash that may take the file, and how its info names the file's place.
struct cTrashCandidate {
    std::string Folder;
    /// The info's Path is relative to this folder (a top folder); absolute when empty.
    std::string RelativeTo;
    /// A top-folder trash must belong to the user: anyone could have made it otherwise.
    bool MustBeOwned = false;
    /// The home trash makes the missing folders above it, as a data folder is made.
    bool MakeParents = false;
};

/// Makes the folder (0700) when it is missing; answers why it cannot serve as a trash folder,
/// or nothing when it is a real folder (no link) that mustBeOwned by uid when asked.
std::optional<std::string> EnsureTrashFolder(const std::string& path, bool mustBeOwned, uid_t uid) {
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        return "the trash folder " + Quoted(path) + " cannot be made: " + SystemReason(errno);
    }
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        return "the trash folder " + Quoted(path) + " cannot be read: " + SystemReason(errno);
    }
    if (S_ISLNK(info.st_mode) || !S_ISDIR(info.st_mode)) {
        return "the trash folder " + Quoted(path) + " is not a folder but a link or a file";
    }
    if (mustBeOwned && info.st_uid != uid) {
        return "the trash folder " + Quoted(path) + " belongs to another user";
    }
    return std::nullopt;
}

/// Makes the folders above the home trash that are missing (0700, as a data folder is made).
void MakeFoldersAbove(const std::string& path) {
    const std::string parent(FolderPart(path));
    if (parent.empty() || parent == "/" || ::access(parent.c_str(), F_OK) == 0) {
        return;
    }
    MakeFoldersAbove(parent);
    ::mkdir(parent.c_str(), 0700);
}

std::optional<std::string> PrepareTrash(const cTrashCandidate& trash, uid_t uid) {
    if (trash.MakeParents) {
        MakeFoldersAbove(trash.Folder);
    }
    if (std::optional<std::string> refused =
            EnsureTrashFolder(trash.Folder, trash.MustBeOwned, uid)) {
        return refused;
    }
    for (const char* part : {"/files", "/info"}) {
        if (std::optional<std::string> refused =
                EnsureTrashFolder(trash.Folder + part, false, uid)) {
            return refused;
        }
    }
    return std::nullopt;
}

/// The trashes that may take a file of the resolved folder, the best first.
std::vector<cTrashCandidate> TrashesFor(const std::string& realFolder, const cMountOf& mount,
                                        const std::optional<cMountOf>& homeMount,
                                        const cTrashUser& user) {
    if (homeMount && homeMount->SameAs(mount)) {
        return {{user.HomeTrash, {}, false, true}};
    }
    const std::string top = TopFolderOf(realFolder, mount);
    const std::string uid = std::to_string(user.Uid);
    std::vector<cTrashCandidate> trashes;
    // An administrator's shared trash counts only with the sticky bit (nobody removes another
    // user's folder there) and when it is no link (which could lead anywhere).
    const std::string shared = Joined(top, ".Trash");
    struct stat info {};
    if (::lstat(shared.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && (info.st_mode & S_ISVTX)) {
        trashes.push_back({Joined(shared, uid), top, true, false});
    }
    trashes.push_back({Joined(top, ".Trash-" + uid), top, true, false});
    return trashes;
}

// ---- putting the file in ------------------------------------------------------------------

/// The name the file takes in the trash at the given try: its own name, then with a number
/// before its extension ("a.2.mp3", ...; drawn numbers after the first few), cut so that its
/// info file's name still fits a folder entry.
std::string TrashName(std::string_view name, int attempt) {
    static std::atomic<unsigned> counter{0};
    const size_t dot = name.rfind('.');
    const bool hasExtension =
        dot != std::string_view::npos && dot > 0 && name.size() - dot <= kMaxKeptExtension;
    std::string_view stem = hasExtension ? name.substr(0, dot) : name;
    const std::string_view extension = hasExtension ? name.substr(dot) : std::string_view();
    std::string suffix;
    if (attempt > 0 && attempt < kCountedNames) {
        suffix = "." + std::to_string(attempt + 1);
    } else if (attempt > 0) {
        const auto clock = static_cast<unsigned long long>(
            std::chrono::steady_clock::now().time_since_epoch().count());
        const unsigned long long drawn =
            (clock ^ (static_cast<unsigned long long>(::getpid()) << 24)) + counter++ * 7919ULL;
        suffix = "." + std::to_string(drawn % 1000000000ULL);
    }
    const size_t room = kMaxNameBytes - kInfoSuffix.size() - suffix.size() - extension.size();
    stem = stem.substr(0, room);
    return std::string(stem) + suffix + std::string(extension);
}

/// Writes the info file, created exclusively. Answers EEXIST when the name is taken, another
/// errno when the info folder refuses, 0 when the info file is complete.
int WriteInfoFile(const std::string& infoPath, const std::string& text) {
    cFileHandle info(
        ::open(infoPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!info.IsOpen()) {
        return errno;
    }
    int error = WriteFullyAt(info.Get(), text, 0).Error;
    if (const int closeError = info.Close(); error == 0) {
        error = closeError;
    }
    if (error != 0) {
        ::unlink(infoPath.c_str());
        return error == EEXIST ? EIO : error; // EEXIST means "name taken" to the caller
    }
    return 0;
}

/// Renames without ever replacing an entry at the target; answers 0 or the errno.
int RenameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    const int error = errno;
    if (error != EINVAL && error != ENOSYS && error != EOPNOTSUPP) {
        return error;
    }
    try {
        MoveFileByLink(from, to); // a file system that cannot refuse to replace by itself
        return 0;
    } catch (const EFileError& linkError) {
        return linkError.code().value();
    }
}

cTrashResult Refused(eTrashOutcome outcome, std::string reason) {
    return {outcome, std::move(reason)};
}

/// Puts the file into the prepared trash: the info file first, created exclusively under a
/// free name, then the file renamed beside it under the same name.
cTrashResult PutIntoTrash(const std::string& path, const cTrashCandidate& trash,
                          const std::string& infoText) {
    const std::string_view name = FileNamePart(path);
    for (int attempt = 0; attempt < kTrashNameTries; ++attempt) {
        const std::string trashName = TrashName(name, attempt);
        const std::string infoPath = trash.Folder + "/info/" + trashName + std::string(kInfoSuffix);
        if (const int error = WriteInfoFile(infoPath, infoText); error == EEXIST) {
            continue;
        } else if (error != 0) {
            return Refused(eTrashOutcome::kNoTrash,
                           "the trash folder " + Quoted(trash.Folder + "/info") +
                               " cannot be written: " + SystemReason(error));
        }
        const int error = RenameNoReplace(path, trash.Folder + "/files/" + trashName);
        if (error == 0) {
            return {};
        }
        ::unlink(infoPath.c_str());
        if (error == EEXIST || error == ENOTEMPTY) {
            continue; // a file without info holds that name
        }
        struct stat info {};
        if (error == ENOENT && ::lstat(path.c_str(), &info) != 0 && errno == ENOENT) {
            return Refused(eTrashOutcome::kGone, {});
        }
        return Refused(eTrashOutcome::kNoTrash, "the trash folder " +
                                                    Quoted(trash.Folder + "/files") +
                                                    " cannot take it: " + SystemReason(error));
    }
    return Refused(eTrashOutcome::kNoTrash, "no free name in the trash " + Quoted(trash.Folder) +
                                                " after " + std::to_string(kTrashNameTries) +
                                                " tries");
}

/// One delete's trash work: each folder's place and each trash's folders are looked at once,
/// however many files of it go.
class cTrashMover {
public:
    explicit cTrashMover(const cTrashUser& user)
        : m_User(user), m_HomeMount(MountOfNearestExisting(user.HomeTrash)) {}

    cTrashResult Move(const std::string& path) {
        if (path.empty() || path.front() != '/' || FileNamePart(path).empty()) {
            return Refused(eTrashOutcome::kFileStays, "the path is no absolute path of a file");
        }
        struct stat file {};
        if (::lstat(path.c_str(), &file) != 0) {
            return errno == ENOENT ? Refused(eTrashOutcome::kGone, {})
                                   : Refused(eTrashOutcome::kFileStays, SystemReason(errno));
        }
        const cFolderPlace& place = PlaceOf(std::string(FolderPart(path)));
        if (place.CannotLeave) {
            return Refused(eTrashOutcome::kFileStays, *place.CannotLeave);
        }
        if (place.Shared && m_User.Uid != 0 && place.Owner != m_User.Uid &&
            file.st_uid != m_User.Uid) {
            return Refused(eTrashOutcome::kFileStays, SystemReason(EPERM)); // another's file
        }
        // The info names the file where it lies, with the links on the way resolved, so that
        // the place is found again from the trash's own folder.
        const std::string where = Joined(place.RealFolder, FileNamePart(path));
        cTrashResult result = Refused(eTrashOutcome::kNoTrash, "no trash on its file system");
        for (const cTrashCandidate& trash : place.Trashes) {
            if (const std::optional<std::string>& refused = Prepared(trash)) {
                result.Reason = *refused;
                continue;
            }
            const std::string named = trash.RelativeTo.empty() ? where
                                      : trash.RelativeTo == "/"
                                          ? where.substr(1)
                                          : where.substr(trash.RelativeTo.size() + 1);
            result = PutIntoTrash(path, trash, TrashInfoText(named, std::time(nullptr)));
            if (result.Outcome != eTrashOutcome::kNoTrash) {
                return result;
            }
        }
        return result;
    }

private:
    /// What a folder's files share on their way to the trash.
    struct cFolderPlace {
        /// Why no file can leave the folder (which deleting it would need as much as trashing
        /// it); nothing when they can.
        std::optional<std::string> CannotLeave;
        /// With the sticky bit, only the owner of the folder or of a file may remove the file.
        bool Shared = false;
        uid_t Owner = 0;
        std::string RealFolder;
        std::vector<cTrashCandidate> Trashes;
    };

    const cFolderPlace& PlaceOf(const std::string& folder) {
        auto [it, added] = m_Folders.try_emplace(folder);
        cFolderPlace& place = it->second;
        if (!added) {
            return place;
        }
        struct stat info {};
        if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0 ||
            ::stat(folder.c_str(), &info) != 0) {
            place.CannotLeave = SystemReason(errno);
            return place;
        }
        place.Shared = (info.st_mode & S_ISVTX) != 0;
        place.Owner = info.st_uid;
        const std::optional<std::string> realFolder = RealPath(folder);
        const std::optional<cMountOf> mount = realFolder ? MountOf(*realFolder) : std::nullopt;
        if (!mount) {
            place.CannotLeave = SystemReason(errno);
            return place;
        }
        place.RealFolder = *realFolder;
        place.Trashes = TrashesFor(*realFolder, *mount, m_HomeMount, m_User);
        return place;
    }

    /// Why the trash cannot take files (made and checked once), or nothing when it can.
    const std::optional<std::string>& Prepared(const cTrashCandidate& trash) {
        auto [it, added] = m_Prepared.try_emplace(trash.Folder);
        if (added) {
            it->second = PrepareTrash(trash, m_User.Uid);
        }
        return it->second;
    }

    const cTrashUser& m_User;
    const std::optional<cMountOf> m_HomeMount;
    std::unordered_map<std::string, cFolderPlace> m_Folders;
    std::unordered_map<std::string, std::optional<std::string>> m_Prepared;
};

std::string DataHome() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data != nullptr && data[0] == '/') {
        return data;
    }
    const char* home = std::getenv("HOME");
    std::string homeFolder = home != nullptr && home[0] == '/' ? home : "";
    if (homeFolder.empty()) {
        if (const passwd* entry = ::getpwuid(::geteuid()); entry != nullptr && entry->pw_dir) {
            homeFolder = entry->pw_dir;
        }
    }
    return Joined(homeFolder.empty() ? "/" : homeFolder, ".local/share");
}

} // namespace

cTrashUser TrashUserOfThisProcess() {
    return {Joined(DataHome(), "Trash"), ::geteuid()};
}

std::string PercentEncodedPath(std::string_view path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(path.size());
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                           (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' ||
                           byte == '_' || byte == '~' || byte == '/';
        if (plain) {
            encoded += c;
        } else {
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 0x0F];
        }
    }
    return encoded;
}

std::string TrashInfoText(std::string_view path, time_t deletedAt) {
    std::tm local{};
    ::localtime_r(&deletedAt, &local);
    std::array<char, 32> date{};
    std::strftime(date.data(), date.size(), "%Y-%m-%dT%H:%M:%S", &local);
    return "[Trash Info]\nPath=" + PercentEncodedPath(path) + "\nDeletionDate=" + date.data() +
           "\n";
}

cTrashResult MoveFileToTrash(const std::string& path, const cTrashUser& user) {
    return cTrashMover(user).Move(path);
}

std::vector<cTrashResult> MoveFilesToTrash(const std::vector<std::string>& paths,
                                           const cTrashUser& user) {
    cTrashMover mover(user);
    std::vector<cTrashResult> results;
    results.reserve(paths.size());
    for (const std::string& path : paths) {
        results.push_back(mover.Move(path));
    }
    return results;
}
