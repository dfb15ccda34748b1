#pragma once
// A plain connection to a local socket file, asking nothing of the process listening there:
// what a stray or hostile client of the program's socket does.

#include <sys/socket.h>
#include <sys/un.h>

#include <cstring>
#include <string>

#include "util/unitFileHandle.h"

/// Connected to the socket file at the path (blocking); a closed handle when that fails.
inline cFileHandle ConnectToSocketFile(const std::string& path) {
    cFileHandle socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    if (::connect(socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        return {};
    }
    return socket;
}

/// A socket file bound at the path that nobody listens on: what a copy killed abruptly leaves.
inline bool LeaveDeadSocketFile(const std::string& path) {
    const cFileHandle socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    return ::bind(socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}
