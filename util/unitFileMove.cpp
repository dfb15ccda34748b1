#include "util/unitFileMove.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "util/unitAtomicFile.h"
#include "util/unitFileHandle.h"

namespace {

EFileError MoveError(int error, const std::string& from, const std::string& to) {
    return EFileError(error, "Could not move \"" + from + "\" to", to);
}

bool LinksUnsupported(int error) {
    // No hard links on this file system, or links refused to this user (protected links).
    return error == EPERM || error == EOPNOTSUPP || error == ENOSYS || error == EMLINK;
}

/// Copies the open source's content into the open target, then its permission bits, owner
/// (where this user may) and times, and flushes the target to the disk.
void CopyContentAndAttributes(const cRegularFile& source, cFileHandle& target,
                              const std::string& from, const std::string& to) {
    const cCopyResult copied = CopyFileData(source.Handle.Get(), target.Get(), source.Size());
    if (copied.Error != 0) {
        throw EFileError(copied.Error, copied.ReadFailed ? kCouldNotRead : kCouldNotWrite,
                         copied.ReadFailed ? from : to);
    }
    const struct stat& info = source.Info;
    [[maybe_unused]] const int ownerKept = ::fchown(target.Get(), info.st_uid, info.st_gid);
    const timespec times[2] = {info.st_atim, info.st_mtim};
    if (::fchmod(target.Get(), info.st_mode & 07777) != 0 || ::futimens(target.Get(), times) != 0 ||
        ::fsync(target.Get()) != 0) {
        throw EFileError(errno, kCouldNotWrite, to);
    }
    if (const int error = target.Close()) {
        throw EFileError(error, kCouldNotWrite, to);
    }
}

/// The move to another file system: the copy is written under a temporary name beside the
/// target and takes the target's name only when it is complete and on the disk, so a crash on
/// the way never leaves a cut-off song under that name; then the source goes. A failure on the
/// way removes the copy and leaves the source.
void CopyAcrossFileSystems(const std::string& from, const std::string& to) {
    const cRegularFile source = OpenRegularFile(from, O_RDONLY, kCannotOpen);
    struct stat existing {};
    if (::lstat(to.c_str(), &existing) == 0) {
        throw MoveError(EEXIST, from, to); // found before copying; the rename below still refuses
    }
    std::string temporary;
    cFileHandle target(CreateTemporaryBeside(to, temporary, 0600));
    if (!target.IsOpen()) {
        throw MoveError(errno, from, to);
    }
    try {
        CopyContentAndAttributes(source, target, from, to);
    } catch (...) {
        target.Close();
        ::unlink(temporary.c_str());
        throw;
    }
    try {
        MoveFileNoReplace(temporary, to); // same file system: never replaces what came meanwhile
    } catch (const EFileError& error) {
        ::unlink(temporary.c_str());
        throw MoveError(error.code().value(), from, to);
    }
    FlushFolderOf(to);
    if (::unlink(from.c_str()) != 0) {
        const int error = errno;
        ::unlink(to.c_str());
        throw MoveError(error, from, to);
    }
    FlushFolderOf(from);
}

/// Where there are no hard links: an exclusively created empty file holds the name `to`, so
/// that the rename replaces nothing but it.
void MoveOverPlaceholder(const std::string& from, const std::string& to) {
    cFileHandle placeholder(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!placeholder.IsOpen()) {
        throw MoveError(errno, from, to);
    }
    placeholder.Close();
    if (::rename(from.c_str(), to.c_str()) != 0) {
        const int error = errno;
        ::unlink(to.c_str());
        throw MoveError(error, from, to);
    }
}

} // namespace

void MoveFileByLink(const std::string& from, const std::string& to) {
    if (::link(from.c_str(), to.c_str()) != 0) {
        const int error = errno;
        if (LinksUnsupported(error)) {
            MoveOverPlaceholder(from, to);
            return;
        }
        throw MoveError(error, from, to);
    }
    if (::unlink(from.c_str()) != 0) {
        const int error = errno;
        ::unlink(to.c_str());
        throw MoveError(error, from, to);
    }
}

void MoveFileNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return;
    }
    const int error = errno;
    if (error == EXDEV) {
        CopyAcrossFileSystems(from, to);
    } else if (error == EINVAL || error == ENOSYS || error == EOPNOTSUPP) {
        // This file system cannot rename without replacing by itself.
        try {
            MoveFileByLink(from, to);
        } catch (const EFileError& linkError) {
            if (linkError.code().value() != EXDEV) {
                throw;
            }
            CopyAcrossFileSystems(from, to);
        }
    } else {
        throw MoveError(error, from, to);
    }
}
