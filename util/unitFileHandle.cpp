#include "util/unitFileHandle.h"

#include <fcntl.h>

namespace {
/// The bytes between the operation, the path and the reason: ` "` and `": `.
constexpr size_t kQuotesAndColon = 5;

/// Calls the transfer (given the bytes moved so far) until count bytes have moved, again after
/// EINTR. A call that moves nothing stops with zeroError.
template <typename tTransfer>
cTransfer MoveFully(size_t count, int zeroError, const tTransfer& transfer) {
    cTransfer result;
    while (result.Done < count) {
        const ssize_t moved = transfer(result.Done);
        if (moved < 0 && errno == EINTR) {
            continue;
        }
        if (moved <= 0) {
            result.Error = moved < 0 ? errno : zeroError;
            break;
        }
        result.Done += static_cast<size_t>(moved);
    }
    return result;
}
} // namespace

EFileError::EFileError(int errorCode, std::string_view operation, std::string_view path,
                       std::string_view reason)
    : std::system_error(errorCode, std::generic_category()),
      m_Message(std::string(operation) + " \"" + std::string(path) +
                "\": " + (reason.empty() ? code().message() : std::string(reason))),
      m_ReasonAt(operation.size() + path.size() + kQuotesAndColon) {}

cRegularFile OpenRegularFileAt(int folderFd, const char* name, const std::string& path, int flags,
                               std::string_view operation) {
    cRegularFile file;
    file.Handle =
        cFileHandle(::openat(folderFd, name, flags | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0666));
    if (!file.Handle.IsOpen()) {
        throw EFileError(errno, operation, path);
    }
    if (::fstat(file.Handle.Get(), &file.Info) != 0) {
        throw EFileError(errno, operation, path);
    }
    if (S_ISDIR(file.Info.st_mode)) {
        throw EFileError(EISDIR, operation, path);
    }
    if (!S_ISREG(file.Info.st_mode)) {
        throw EFileError(EINVAL, operation, path, "it is not a regular file");
    }
    return file;
}

cRegularFile OpenRegularFile(const std::string& path, int flags, std::string_view operation) {
    return OpenRegularFileAt(AT_FDCWD, path.c_str(), path, flags, operation);
}

cTransfer ReadFullyAt(int fd, char* buffer, size_t count, int64_t offset) {
    // A read of nothing is the end of the file, no error.
    return MoveFully(count, 0, [&](size_t done) {
        return ::pread(fd, buffer + done, count - done,
                       static_cast<off_t>(offset + static_cast<int64_t>(done)));
    });
}

cTransfer WriteFullyAt(int fd, std::string_view bytes, int64_t offset) {
    return MoveFully(bytes.size(), ENOSPC, [&](size_t done) {
        return ::pwrite(fd, bytes.data() + done, bytes.size() - done,
                        static_cast<off_t>(offset + static_cast<int64_t>(done)));
    });
}
