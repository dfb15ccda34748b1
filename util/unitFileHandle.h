#pragma once
// POSIX file access shared by every file the program reads or writes: the error of a failed file
// operation, an owned descriptor, opening a regular file, and reads and writes of whole ranges.

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

/// A failed file operation. what() names the operation and the file and says why:
/// `Could not write "/home/ann/Tunaria/Groups.txt": No space left on device`. code() holds the
/// errno value; a refusal of the program's own (a pipe where a file belongs, a text a file
/// cannot hold) carries EINVAL or the nearest errno and its own reason.
class EFileError : public std::system_error {
public:
    /// The reason is the system's text for the error code unless one is given.
    EFileError(int errorCode, std::string_view operation, std::string_view path,
               std::string_view reason = {});

    const char* what() const noexcept override { return m_Message.what(); }
    /// Why, without the operation and the file: "Permission denied".
    std::string_view Reason() const noexcept { return std::string_view(what()).substr(m_ReasonAt); }

private:
    std::runtime_error m_Message; // copies share the text and cannot throw
    size_t m_ReasonAt;
};

/// The operations of EFileError that the program's file routines name most.
inline constexpr std::string_view kCouldNotRead = "Could not read";
inline constexpr std::string_view kCouldNotWrite = "Could not write";
inline constexpr std::string_view kCannotOpen = "Cannot open";

/// Owns one open file descriptor and closes it when it goes out of scope.
class cFileHandle {
public:
    cFileHandle() = default;
    explicit cFileHandle(int fd) : m_Fd(fd) {}
    cFileHandle(const cFileHandle&) = delete;
    cFileHandle& operator=(const cFileHandle&) = delete;
    cFileHandle(cFileHandle&& other) noexcept : m_Fd(std::exchange(other.m_Fd, -1)) {}
    cFileHandle& operator=(cFileHandle&& other) noexcept {
        if (this != &other) {
            Reset();
            m_Fd = std::exchange(other.m_Fd, -1);
        }
        return *this;
    }
    ~cFileHandle() { Reset(); }

    int Get() const { return m_Fd; }
    bool IsOpen() const { return m_Fd >= 0; }

    /// Closes the descriptor and answers close's errno (0 on success). Written data that the
    /// file system could only report at close must not be lost silently.
    int Close() {
        if (m_Fd < 0) {
            return 0;
        }
        const int result = ::close(std::exchange(m_Fd, -1));
        return result == 0 ? 0 : errno;
    }

private:
    void Reset() {
        if (m_Fd >= 0) {
            ::close(std::exchange(m_Fd, -1));
        }
    }

    int m_Fd = -1;
};

/// An open regular file and its status when it was opened.
struct cRegularFile {
    cFileHandle Handle;
    struct stat Info {};

    int64_t Size() const { return static_cast<int64_t>(Info.st_size); }
};

/// Opens the file at the path with the flags (O_RDONLY, O_RDWR, perhaps O_CREAT, which creates
/// it with 0666 less the umask) and makes sure it is a regular file. A symbolic link is followed;
/// a named pipe, device or socket is refused without waiting for a writer or touching the device
/// (O_NONBLOCK, O_NOCTTY), a folder as "Is a directory". Throws EFileError with the operation
/// ("Cannot open") and the path on every failure.
cRegularFile OpenRegularFile(const std::string& path, int flags, std::string_view operation);

/// OpenRegularFile for the entry name in the open folder folderFd (AT_FDCWD: the current folder);
/// the path is what errors name.
cRegularFile OpenRegularFileAt(int folderFd, const char* name, const std::string& path, int flags,
                               std::string_view operation);

/// What a read or write of a whole range achieved: the bytes moved and the errno that stopped
/// it (0 when nothing did).
struct cTransfer {
    size_t Done = 0;
    int Error = 0;
};

/// Reads count bytes from the offset on (pread, again after EINTR and short reads). Less than
/// count with Error 0 means the file ends there.
cTransfer ReadFullyAt(int fd, char* buffer, size_t count, int64_t offset);

/// Writes the bytes at the offset (pwrite, again after EINTR and short writes). A write that
/// makes no progress counts as a full disk (ENOSPC).
cTransfer WriteFullyAt(int fd, std::string_view bytes, int64_t offset);
