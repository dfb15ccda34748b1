#pragma once
// The address of a running copy of the program: a local socket in its data folder. A later
// start over the same data folder finds the catalogue held; it then hands the folder it was
// started with (or none) through this socket to the running copy, which comes to the front.
// Only processes of the same user reach it, both ways. Standard library and POSIX only.

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

#include "util/unitFileHandle.h"

/// The socket's name in the data folder.
inline constexpr char kInstanceSocketName[] = ".tunaria-instance";
/// The longest folder path a message may hand over.
inline constexpr size_t kLongestHandedFolder = 16 * 1024;

/// Listens at the data folder's socket while it lives; the socket file goes with it.
class cInstanceListener {
public:
    /// Makes the socket in the data folder, open to this user only, in place of one left by a
    /// copy that ended without removing it. Call only while this process holds the data
    /// folder's catalogue: that lock is what makes any socket found there a leftover. Throws
    /// EFileError when the folder takes no socket (a file system without sockets, something
    /// else of that name in the way).
    explicit cInstanceListener(const std::string& dataFolder);
    /// Closes the socket and removes its file, unless a later copy has made one of its own
    /// there meanwhile.
    ~cInstanceListener();
    cInstanceListener(const cInstanceListener&) = delete;
    cInstanceListener& operator=(const cInstanceListener&) = delete;

    /// Readable while a connection waits; never blocks.
    int Descriptor() const { return m_Socket.Get(); }
    /// The next waiting connection of a process of this user, non-blocking; a closed handle
    /// when none waits. Connections of other users are closed unread.
    cFileHandle Accept();

private:
    cFileHandle m_Folder; ///< the data folder, which the socket is named in
    cFileHandle m_Socket;
    dev_t m_Device = 0; ///< the socket file made here
    ino_t m_Inode = 0;
};

/// What a later start sends: a line naming the message, then the folder (nothing for none).
std::string ActivationMessage(const std::string& folder);
/// The folder of a complete message (empty: none named); nothing when the bytes are not such
/// a message (another header, a relative path, a zero byte, too long).
std::optional<std::string> FolderOfActivationMessage(std::string_view bytes);
/// The longest message a listener reads.
size_t LongestActivationMessage();

/// Hands the folder (empty: none) to the copy running over the data folder. False when none
/// listens there, the one listening runs as another user, or it does not take the message
/// within two seconds.
bool HandToRunningInstance(const std::string& dataFolder, const std::string& folder);
