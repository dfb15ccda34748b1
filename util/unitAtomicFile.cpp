#include "util/unitAtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>

#include "util/unitFileHandle.h"
#include "util/unitUtils.h"

namespace {

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

[[noreturn]] void ThrowWriteError(const std::string& path, int errorCode) {
    throw EFileError("Could not write " + Quoted(path) + ": " + std::strerror(errorCode),
                     errorCode);
}

[[noreturn]] void ThrowReadError(const std::string& path, int errorCode) {
    throw EFileError("Could not read " + Quoted(path) + ": " + std::strerror(errorCode), errorCode);
}

/// The folder to open or to resolve a relative link in: FolderPart, and the current folder
/// for a bare file name.
std::string FolderOf(const std::string& path) {
    const std::string_view folder = FolderPart(path);
    return folder.empty() ? "." : std::string(folder);
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

/// Creates a new, empty file beside the target with a name no other file has.
int CreateTemporaryBeside(const std::string& target, std::string& temporaryPath) {
    static std::atomic<unsigned> counter{0};
    // Keep the temporary name within the usual 255-byte limit of a folder entry.
    const std::string stem = "." + std::string(FileNamePart(target).substr(0, 200)) + ".tmp";
    const auto clock = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const unsigned long long unique =
            (clock ^ (static_cast<unsigned long long>(::getpid()) << 20)) + counter++;
        temporaryPath = FolderOf(target) + "/" + stem + std::to_string(unique % 1000000007ULL);
        const int fd = ::open(temporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    errno = EEXIST;
    return -1;
}

/// Gives the new file the permission bits, owner and group of the file it replaces. Only the
/// permission bits are required: a process that may not set the owner keeps its own.
bool CopyOwnershipAndMode(int fd, const struct stat& old) {
    if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
        // Not permitted for an ordinary user when the owner differs; the file stays ours.
    }
    return ::fchmod(fd, old.st_mode & 07777) == 0;
}

} // namespace

std::string FileBehindLinks(const std::string& path) {
    constexpr int kMaxLinks = 40; // the kernel's own limit for one lookup
    std::string current = path;
    for (int hop = 0; hop < kMaxLinks; ++hop) {
        struct stat info {};
        if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            return current;
        }
        std::string target(static_cast<size_t>(info.st_size > 0 ? info.st_size : 255) + 1, '\0');
        const ssize_t length = ::readlink(current.c_str(), target.data(), target.size());
        if (length < 0) {
            ThrowWriteError(path, errno);
        }
        if (static_cast<size_t>(length) >= target.size()) {
            continue; // the link changed while we looked; read it again
        }
        target.resize(static_cast<size_t>(length));
        current = target.front() == '/' ? target : FolderOf(current) + "/" + target;
    }
    ThrowWriteError(path, ELOOP);
}

void FlushFolderOf(const std::string& path) {
    // File systems that cannot flush a folder report an error here; the new content is in
    // place either way.
    cFileHandle folder(::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.IsOpen()) {
        ::fsync(folder.Get());
    }
}

void WriteFileAtomically(const std::string& path, std::string_view bytes) {
    const std::string target = FileBehindLinks(path);
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode)) {
        if (S_ISDIR(old.st_mode)) {
            ThrowWriteError(path, EISDIR);
        }
        throw EFileError("Could not write " + Quoted(path) + ": it is not a regular file", EINVAL);
    }

    std::string temporaryPath;
    cFileHandle fd(CreateTemporaryBeside(target, temporaryPath));
    if (!fd.IsOpen()) {
        ThrowWriteError(path, errno);
    }
    const bool written = (!exists || CopyOwnershipAndMode(fd.Get(), old)) &&
                         WriteAll(fd.Get(), bytes) && ::fsync(fd.Get()) == 0 && fd.Close() == 0;
    if (!written || ::rename(temporaryPath.c_str(), target.c_str()) != 0) {
        const int errorCode = errno;
        ::unlink(temporaryPath.c_str());
        ThrowWriteError(path, errorCode);
    }
    FlushFolderOf(target);
}

std::optional<std::string> ReadFileIfExists(const std::string& path, size_t maxBytes) {
    // O_NONBLOCK: opening a named pipe must not wait for a writer; it is refused below.
    cFileHandle fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.Get() < 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return std::nullopt;
        }
        ThrowReadError(path, errno);
    }
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0) {
        ThrowReadError(path, errno);
    }
    if (S_ISDIR(info.st_mode)) {
        ThrowReadError(path, EISDIR);
    }
    if (!S_ISREG(info.st_mode)) {
        throw EFileError("Could not read " + Quoted(path) + ": it is not a regular file", EINVAL);
    }
    const auto tooLong = [&] {
        throw EFileError("Could not read " + Quoted(path) + ": it is longer than " +
                             std::to_string(maxBytes) + " bytes",
                         EFBIG);
    };
    if (static_cast<uint64_t>(info.st_size) > maxBytes) {
        tooLong();
    }
    std::string content;
    content.reserve(static_cast<size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(fd.Get(), buffer, sizeof buffer);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            ThrowReadError(path, errno);
        }
        if (count == 0) {
            return content;
        }
        if (static_cast<size_t>(count) > maxBytes - content.size()) {
            tooLong(); // the file grew while we read it
        }
        content.append(buffer, static_cast<size_t>(count));
    }
}
