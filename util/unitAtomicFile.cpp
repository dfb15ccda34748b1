#include "util/unitAtomicFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <vector>

#include "util/unitFileHandle.h"
#include "util/unitUtils.h"

namespace {

[[noreturn]] void ThrowWriteError(const std::string& path, int errorCode) {
    throw EFileError(errorCode, kCouldNotWrite, path);
}

/// The folder to open or to resolve a relative link in: FolderPart, and the current folder
/// for a bare file name.
std::string FolderOf(const std::string& path) {
    const std::string_view folder = FolderPart(path);
    return folder.empty() ? "." : std::string(folder);
}

} // namespace

namespace {
constexpr std::string_view kTemporaryMark = ".tunaria-";
constexpr std::string_view kTemporaryEnd = ".tmp";
/// A temporary file unchanged for this long belongs to no copy or save under way.
constexpr time_t kLeftoverSeconds = 60;
} // namespace

bool IsOwnTemporaryName(std::string_view name) {
    if (name.size() < 1 + kTemporaryMark.size() + 1 + kTemporaryEnd.size() || name.front() != '.' ||
        !name.ends_with(kTemporaryEnd)) {
        return false;
    }
    // What lies between the leading dot and ".tmp": a name, the mark and a number.
    const std::string_view rest = name.substr(1, name.size() - 1 - kTemporaryEnd.size());
    const size_t digitsFrom = rest.find_last_not_of("0123456789") + 1; // 0 when all are digits
    return digitsFrom < rest.size() && rest.substr(0, digitsFrom).ends_with(kTemporaryMark);
}

bool RemoveLeftoverTemporary(int folderFd, const char* name) {
    struct stat info {};
    if (!IsOwnTemporaryName(name) || ::fstatat(folderFd, name, &info, AT_SYMLINK_NOFOLLOW) != 0 ||
        !(S_ISREG(info.st_mode) || S_ISLNK(info.st_mode)) || info.st_uid != ::geteuid()) {
        return false;
    }
    // A copy under way keeps its temporary file fresh with every piece it writes; it gives the
    // file its final time only just before the rename, on the thread that also scans.
    if (std::time(nullptr) - info.st_mtim.tv_sec < kLeftoverSeconds) {
        return false;
    }
    return ::unlinkat(folderFd, name, 0) == 0;
}

void RemoveLeftoverTemporaries(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        RemoveLeftoverTemporary(::dirfd(dir), entry->d_name);
    }
    ::closedir(dir);
}

int CreateTemporaryBeside(const std::string& target, std::string& temporaryPath, mode_t mode) {
    static std::atomic<unsigned> counter{0};
    // Keep the temporary name within the usual 255-byte limit of a folder entry.
    const std::string stem =
        "." + std::string(FileNamePart(target).substr(0, 200)) + std::string(kTemporaryMark);
    const auto clock = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const unsigned long long unique =
            (clock ^ (static_cast<unsigned long long>(::getpid()) << 20)) + counter++;
        temporaryPath = FolderOf(target) + "/" + stem + std::to_string(unique % 1000000007ULL) +
                        std::string(kTemporaryEnd);
        // Never an existing entry, nor one that a link planted there would make us write.
        const int fd = ::open(temporaryPath.c_str(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    errno = EEXIST;
    return -1;
}

namespace {

/// Gives the new file the permission bits, owner and group of the file it replaces. Only the
/// permission bits are required: a process that may not set the owner keeps its own.
bool CopyOwnershipAndMode(int fd, const struct stat& old) {
    if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
        // Not permitted for an ordinary user when the owner differs; the file stays ours.
    }
    return ::fchmod(fd, old.st_mode & 07777) == 0;
}

} // namespace

namespace {

/// What a link at `link` names, resolved against the link's folder; throws EFileError naming
/// `path` when the link cannot be read. Empty when the link changed while it was read.
std::string LinkTarget(const std::string& path, const std::string& link, off_t linkSize) {
    std::string target(static_cast<size_t>(linkSize > 0 ? linkSize : 255) + 1, '\0');
    const ssize_t length = ::readlink(link.c_str(), target.data(), target.size());
    if (length < 0) {
        ThrowWriteError(path, errno);
    }
    if (static_cast<size_t>(length) >= target.size()) {
        return {}; // the link changed while we looked; read it again
    }
    target.resize(static_cast<size_t>(length));
    return target.front() == '/' ? target : FolderOf(link) + "/" + target;
}

/// The kernel's protected-symlinks rule: a link in a sticky folder that everyone may write to
/// is followed only by its owner, or when the folder's owner owns the link too. Anyone may put
/// a link into such a folder, so another user's link there may lead anywhere.
void RefuseLinkPlantedByAnother(const std::string& path, const std::string& link,
                                const struct stat& linkInfo) {
    const std::string folder = FolderOf(link);
    struct stat folderInfo {};
    if (::stat(folder.c_str(), &folderInfo) != 0) {
        ThrowWriteError(path, errno);
    }
    const bool shared = (folderInfo.st_mode & S_ISVTX) != 0 && (folderInfo.st_mode & S_IWOTH) != 0;
    if (shared && linkInfo.st_uid != ::geteuid() && linkInfo.st_uid != folderInfo.st_uid) {
        throw EFileError(EACCES, kCouldNotWrite, path,
                         "it is a symbolic link that another user put into the shared folder \"" +
                             folder + "\", and such a link is not followed");
    }
}

/// FileBehindLinks, with the rule of eLinkRule::FollowToExistingOnly when guarded holds.
std::string FollowLinks(const std::string& path, bool guarded) {
    constexpr int kMaxLinks = 40; // the kernel's own limit for one lookup
    std::string current = path;
    for (int hop = 0; hop < kMaxLinks; ++hop) {
        struct stat info {};
        if (::lstat(current.c_str(), &info) != 0) {
            if (guarded && hop > 0) {
                throw EFileError(errno, kCouldNotWrite, path,
                                 "it is a symbolic link to \"" + current +
                                     "\", which is not there (" + std::strerror(errno) + ")");
            }
            return current;
        }
        if (!S_ISLNK(info.st_mode)) {
            return current;
        }
        if (guarded) {
            RefuseLinkPlantedByAnother(path, current, info);
        }
        if (std::string target = LinkTarget(path, current, info.st_size); !target.empty()) {
            current = std::move(target);
        }
    }
    ThrowWriteError(path, ELOOP);
}

} // namespace

std::string FileBehindLinks(const std::string& path) {
    return FollowLinks(path, false);
}

std::string FileBehindLinksToExistingFile(const std::string& path) {
    return FollowLinks(path, true);
}

void FlushFolderOf(const std::string& path) {
    // File systems that cannot flush a folder report an error here; the new content is in
    // place either way.
    cFileHandle folder(::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.IsOpen()) {
        ::fsync(folder.Get());
    }
}

// ---- cNewFileContent ------------------------------------------------------------------------

namespace {
/// Pieces are gathered up to this many bytes before they are written.
constexpr size_t kContentBlock = 1u << 20;
} // namespace

cNewFileContent::cNewFileContent(int fd, const std::string& path, const std::string& target)
    : m_Fd(fd), m_Path(path), m_Target(target) {}

void cNewFileContent::WriteOut(std::string_view bytes) {
    const cTransfer written = WriteFullyAt(m_Fd, bytes, m_Written);
    m_Written += static_cast<int64_t>(written.Done);
    if (written.Error != 0) {
        ThrowWriteError(m_Path, written.Error);
    }
}

void cNewFileContent::Append(std::string_view bytes) {
    const bool large = bytes.size() >= kContentBlock / 2;
    if (large || m_Buffer.size() + bytes.size() > kContentBlock) {
        Flush(); // what came before goes first
    }
    if (large) {
        WriteOut(bytes); // without a copy
    } else {
        m_Buffer += bytes;
    }
}

void cNewFileContent::Flush() {
    if (!m_Buffer.empty()) {
        WriteOut(m_Buffer);
        m_Buffer.clear();
    }
}

// ---- whole-file replacement -----------------------------------------------------------------

void WriteFileAtomically(const std::string& path, std::string_view bytes) {
    WriteFileAtomically(path, eLinkRule::Follow,
                        [bytes](cNewFileContent& content) { content.Append(bytes); });
}

void WriteFileAtomically(const std::string& path, eLinkRule links,
                         const std::function<void(cNewFileContent&)>& produce) {
    const std::string target = FollowLinks(path, links == eLinkRule::FollowToExistingOnly);
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode)) {
        ThrowWriteError(path, EISDIR);
    }
    if (exists && !S_ISREG(old.st_mode)) {
        throw EFileError(EINVAL, kCouldNotWrite, path, "it is not a regular file");
    }

    std::string temporaryPath;
    cFileHandle fd(CreateTemporaryBeside(target, temporaryPath));
    if (!fd.IsOpen()) {
        ThrowWriteError(path, errno);
    }
    int errorCode = 0;
    try {
        if (exists && !CopyOwnershipAndMode(fd.Get(), old)) {
            ThrowWriteError(path, errno);
        }
        cNewFileContent content(fd.Get(), path, target);
        produce(content);
        content.Flush();
    } catch (...) {
        ::unlink(temporaryPath.c_str());
        throw;
    }
    if (::fsync(fd.Get()) != 0) {
        errorCode = errno;
    } else if (const int closeError = fd.Close(); closeError != 0) {
        errorCode = closeError;
    } else if (::rename(temporaryPath.c_str(), target.c_str()) != 0) {
        errorCode = errno;
    }
    if (errorCode != 0) {
        ::unlink(temporaryPath.c_str());
        ThrowWriteError(path, errorCode);
    }
    FlushFolderOf(target);
}

std::optional<std::string> ReadFileIfExists(const std::string& path, size_t maxBytes) {
    cRegularFile file;
    try {
        file = OpenRegularFile(path, O_RDONLY, kCouldNotRead);
    } catch (const EFileError& error) {
        if (error.code() == std::errc::no_such_file_or_directory ||
            error.code() == std::errc::not_a_directory) {
            return std::nullopt;
        }
        throw;
    }
    const auto tooLong = [&] {
        throw EFileError(EFBIG, kCouldNotRead, path,
                         "it is longer than " + std::to_string(maxBytes) + " bytes");
    };
    if (static_cast<uint64_t>(file.Size()) > maxBytes) {
        tooLong();
    }
    // The size the file had and one byte more, so that growth since is seen and read too.
    std::string content(static_cast<size_t>(file.Size()) + 1, '\0');
    size_t length = 0;
    for (;;) {
        const cTransfer got = ReadFullyAt(file.Handle.Get(), content.data() + length,
                                          content.size() - length, static_cast<int64_t>(length));
        length += got.Done;
        if (got.Error != 0) {
            throw EFileError(got.Error, kCouldNotRead, path);
        }
        if (length > maxBytes) {
            tooLong();
        }
        if (length < content.size()) {
            content.resize(length);
            return content;
        }
        content.resize(std::min(content.size() * 2, maxBytes) + 1);
    }
}

namespace {

/// Copies ranges of one open file to the same places in another, piece by piece: in the
/// kernel where the two file systems allow it (no bytes through the program), else through a
/// buffer.
class cRangeCopier {
public:
    cRangeCopier(int sourceFd, int targetFd, const cCopyProgress& progress)
        : m_Source(sourceFd), m_Target(targetFd), m_Progress(progress) {}

    /// Copies [from, to). Sets SourceEnd when the source ends before `to`.
    cCopyResult Copy(int64_t from, int64_t to) {
        for (int64_t at = from; at < to;) {
            const auto count = static_cast<size_t>(std::min<int64_t>(to - at, kPieceBytes));
            const cPiece piece = CopyPiece(at, count);
            if (piece.Result.Error != 0) {
                return piece.Result;
            }
            if (piece.Bytes == 0) {
                SourceEnd = at;
                return {};
            }
            at += static_cast<int64_t>(piece.Bytes);
            if (m_Progress && !m_Progress(at)) {
                return {0, false, true};
            }
        }
        return {};
    }

    /// Where the source ended early; -1 while it did not.
    int64_t SourceEnd = -1;

private:
    static constexpr size_t kPieceBytes = 1 << 20;

    struct cPiece {
        size_t Bytes = 0; ///< 0 where the source ends
        cCopyResult Result;
    };

    cPiece CopyPiece(int64_t at, size_t count) {
        while (m_KernelCopy) {
            loff_t from = at;
            loff_t to = at;
            const ssize_t moved = ::copy_file_range(m_Source, &from, m_Target, &to, count, 0);
            if (moved >= 0) {
                return {static_cast<size_t>(moved), {}};
            }
            if (errno == EINTR) {
                continue;
            }
            if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP &&
                errno != EBADF) {
                return {0, {errno, false}};
            }
            m_KernelCopy = false; // not between these file systems: a buffer from now on
        }
        m_Buffer.resize(kPieceBytes);
        const cTransfer got = ReadFullyAt(m_Source, m_Buffer.data(), count, at);
        if (got.Error != 0) {
            return {0, {got.Error, true}};
        }
        const cTransfer put =
            WriteFullyAt(m_Target, std::string_view(m_Buffer.data(), got.Done), at);
        return {got.Done, {put.Error, false}};
    }

    int m_Source;
    int m_Target;
    const cCopyProgress& m_Progress;
    bool m_KernelCopy = true;
    std::vector<char> m_Buffer;
};

} // namespace

cCopyResult CopyFileData(int sourceFd, int targetFd, int64_t size, const cCopyProgress& progress) {
    cRangeCopier copier(sourceFd, targetFd, progress);
    int64_t end = size;
    for (int64_t at = 0; at < size;) {
        off_t data = ::lseek(sourceFd, at, SEEK_DATA);
        if (data < 0 && errno == ENXIO) {
            break; // a hole up to the end
        }
        off_t hole = data < 0 ? size : ::lseek(sourceFd, data, SEEK_HOLE);
        if (data < 0) {
            data = at; // holes cannot be told here: copy everything
        }
        if (hole < 0 || hole > size) {
            hole = size;
        }
        if (const cCopyResult copied = copier.Copy(data, hole);
            copied.Error != 0 || copied.Cancelled) {
            return copied;
        }
        if (copier.SourceEnd >= 0) {
            end = copier.SourceEnd; // the file was cut meanwhile: no zeros pretend otherwise
            break;
        }
        at = hole;
    }
    if (::ftruncate(targetFd, end) != 0) {
        return {errno, false};
    }
    return {};
}

void CopyToNewFile(int sourceFd, const std::string& path) {
    struct stat source {};
    if (::fstat(sourceFd, &source) != 0) {
        throw EFileError(errno, kCouldNotWrite, path);
    }
    cFileHandle target(
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!target.IsOpen()) {
        throw EFileError(errno, kCouldNotWrite, path);
    }
    int errorCode = CopyFileData(sourceFd, target.Get(), source.st_size).Error;
    if (errorCode == 0 && ::fchmod(target.Get(), source.st_mode & 07777) != 0) {
        errorCode = errno;
    }
    if (errorCode == 0 && ::fsync(target.Get()) != 0) {
        errorCode = errno;
    }
    if (errorCode == 0) {
        errorCode = target.Close();
    }
    if (errorCode != 0) {
        ::unlink(path.c_str());
        throw EFileError(errorCode, kCouldNotWrite, path);
    }
    FlushFolderOf(path);
}
