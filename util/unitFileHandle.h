#pragma once
// An owned POSIX file descriptor and the error that names the file an operation failed on.

#include <unistd.h>

#include <cerrno>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

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

/// The error of a failed file operation, its text naming the operation and the file:
/// "Cannot open "/music/a.mp3": Permission denied".
inline std::system_error FileError(int error, std::string_view operation, std::string_view path) {
    std::string what(operation);
    what += " \"";
    what += path;
    what += '"';
    return std::system_error(error, std::generic_category(), what);
}
