#include "util/unitInstanceSocket.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <chrono>
#include <cstring>

#include "util/unitUtils.h"

namespace {

constexpr std::string_view kMessageHeader = "tunaria-activate 1\n";
constexpr int kListenBacklog = 8;
constexpr std::chrono::milliseconds kSendTime{2000};

cFileHandle OpenFolderPath(const std::string& folder) {
    return cFileHandle(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
}

/// The socket's address: its path when that fits in sun_path, else the same file reached
/// through the open folder (/proc/self/fd/<n>/name), which always fits.
sockaddr_un SocketAddress(const std::string& dataFolder, int folderFd) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::string path = AddTrailingBackslash(dataFolder) + kInstanceSocketName;
    if (path.size() >= sizeof address.sun_path) {
        path = "/proc/self/fd/" + std::to_string(folderFd) + "/" + kInstanceSocketName;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return address;
}

const sockaddr* AsSocketAddress(const sockaddr_un& address) {
    return reinterpret_cast<const sockaddr*>(&address);
}

/// The user the process at the other end of the connected socket runs as.
bool PeerIsThisUser(int socket) {
    ucred peer{};
    socklen_t size = sizeof peer;
    return ::getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 &&
           peer.uid == ::geteuid();
}

/// Takes away a socket (or a link) left at the name; anything else there is in the way.
void RemoveLeftover(int folderFd, const std::string& path) {
    struct stat info {};
    if (::fstatat(folderFd, kInstanceSocketName, &info, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT) {
            throw EFileError(errno, "Cannot listen at", path);
        }
        return;
    }
    if (!S_ISSOCK(info.st_mode) && !S_ISLNK(info.st_mode)) {
        throw EFileError(EEXIST, "Cannot listen at", path, "Something else of that name is there");
    }
    if (::unlinkat(folderFd, kInstanceSocketName, 0) != 0 && errno != ENOENT) {
        throw EFileError(errno, "Cannot remove", path);
    }
}

bool WaitUntilWritable(int socket, std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
        return false;
    }
    pollfd waiting{socket, POLLOUT, 0};
    return ::poll(&waiting, 1, static_cast<int>(left.count())) > 0 &&
           (waiting.revents & POLLOUT) != 0;
}

bool SendAll(int socket, std::string_view bytes) {
    const auto deadline = std::chrono::steady_clock::now() + kSendTime;
    while (!bytes.empty()) {
        const ssize_t written = ::send(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (written > 0) {
            bytes.remove_prefix(static_cast<size_t>(written));
        } else if (written < 0 && errno == EINTR) {
            continue;
        } else if (written < 0 && errno == EAGAIN) {
            if (!WaitUntilWritable(socket, deadline)) {
                return false;
            }
        } else {
            return false;
        }
    }
    return true;
}

} // namespace

cInstanceListener::cInstanceListener(const std::string& dataFolder)
    : m_Folder(OpenFolderPath(dataFolder)) {
    const std::string path = AddTrailingBackslash(dataFolder) + kInstanceSocketName;
    if (!m_Folder.IsOpen()) {
        throw EFileError(errno, "Cannot listen at", path);
    }
    RemoveLeftover(m_Folder.Get(), path);
    m_Socket = cFileHandle(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!m_Socket.IsOpen()) {
        throw EFileError(errno, "Cannot listen at", path);
    }
    const sockaddr_un address = SocketAddress(dataFolder, m_Folder.Get());
    if (::bind(m_Socket.Get(), AsSocketAddress(address), sizeof address) != 0) {
        throw EFileError(errno, "Cannot listen at", path);
    }
    // Before listen() nobody can connect, so the file is closed to other users in time.
    struct stat info {};
    if (::fchmodat(m_Folder.Get(), kInstanceSocketName, S_IRUSR | S_IWUSR, 0) != 0 ||
        ::fstatat(m_Folder.Get(), kInstanceSocketName, &info, AT_SYMLINK_NOFOLLOW) != 0) {
        const int error = errno;
        ::unlinkat(m_Folder.Get(), kInstanceSocketName, 0);
        throw EFileError(error, "Cannot listen at", path);
    }
    if (!S_ISSOCK(info.st_mode)) {
        // Replaced between bind() and now: not ours to remove.
        throw EFileError(EEXIST, "Cannot listen at", path, "Something else of that name is there");
    }
    m_Device = info.st_dev;
    m_Inode = info.st_ino;
    if (::listen(m_Socket.Get(), kListenBacklog) != 0) {
        const int error = errno;
        ::unlinkat(m_Folder.Get(), kInstanceSocketName, 0);
        throw EFileError(error, "Cannot listen at", path);
    }
}

cInstanceListener::~cInstanceListener() {
    m_Socket.Close();
    struct stat info {};
    if (::fstatat(m_Folder.Get(), kInstanceSocketName, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
        info.st_dev == m_Device && info.st_ino == m_Inode) {
        ::unlinkat(m_Folder.Get(), kInstanceSocketName, 0);
    }
}

cFileHandle cInstanceListener::Accept() {
    for (;;) {
        cFileHandle connection(
            ::accept4(m_Socket.Get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
        if (!connection.IsOpen()) {
            if (errno == EINTR || errno == ECONNABORTED) {
                continue;
            }
            return {};
        }
        if (PeerIsThisUser(connection.Get())) {
            return connection;
        }
    }
}

std::string ActivationMessage(const std::string& folder) {
    return std::string(kMessageHeader) + folder;
}

std::optional<std::string> FolderOfActivationMessage(std::string_view bytes) {
    if (bytes.substr(0, kMessageHeader.size()) != kMessageHeader ||
        bytes.size() > LongestActivationMessage()) {
        return std::nullopt;
    }
    const std::string_view folder = bytes.substr(kMessageHeader.size());
    if ((!folder.empty() && folder.front() != kPathDelim) ||
        folder.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    return std::string(folder);
}

size_t LongestActivationMessage() {
    return kMessageHeader.size() + kLongestHandedFolder;
}

bool HandToRunningInstance(const std::string& dataFolder, const std::string& folder) {
    const cFileHandle folderHandle = OpenFolderPath(dataFolder);
    const std::string message = ActivationMessage(folder);
    if (!folderHandle.IsOpen() || message.size() > LongestActivationMessage()) {
        return false;
    }
    const cFileHandle socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    const sockaddr_un address = SocketAddress(dataFolder, folderHandle.Get());
    if (!socket.IsOpen() ||
        ::connect(socket.Get(), AsSocketAddress(address), sizeof address) != 0 ||
        !PeerIsThisUser(socket.Get())) {
        return false;
    }
    return SendAll(socket.Get(), message) && ::shutdown(socket.Get(), SHUT_WR) == 0;
}
