// The socket through which a later start reaches the running copy: the message, the round
// trip, leftovers of a copy that ended abruptly, folders too deep for a socket address, and
// other users kept out both ways.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <functional>

#include "support/socket_fixture.h"
#include "support/song_fixtures.h"
#include "support/temp_folder.h"
#include "util/unitInstanceSocket.h"

using namespace song_fixtures;

namespace {

/// Everything the connection brings until its writer is done.
std::string ReadToEnd(const cFileHandle& connection) {
    std::string bytes;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(connection.Get(), buffer, sizeof buffer);
        if (got <= 0) {
            return bytes;
        }
        bytes.append(buffer, static_cast<size_t>(got));
    }
}

/// The folder handed over by the next connection; nothing when none waits.
std::optional<std::string> NextHandOver(cInstanceListener& listener) {
    const cFileHandle connection = listener.Accept();
    if (!connection.IsOpen()) {
        return std::nullopt;
    }
    return FolderOfActivationMessage(ReadToEnd(connection));
}

/// Connects to the socket file and writes the bytes, asking nothing of the listener.
bool SendRaw(const std::string& socketPath, const std::string& bytes) {
    const cFileHandle socket = ConnectToSocketFile(socketPath);
    return socket.IsOpen() &&
           ::write(socket.Get(), bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return info.st_mode;
}

/// Runs the body in a child process as the user "nobody" and answers its exit status; the
/// body's result is the exit status (0 for success).
int AsNobody(const std::function<int()>& body) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setresgid(65534, 65534, 65534) != 0 || ::setresuid(65534, 65534, 65534) != 0) {
            ::_exit(100);
        }
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 101;
}

struct cMessageCase {
    std::string Bytes;
    std::optional<std::string> Folder;
};

TEST(InstanceSocket, OnlyCompleteMessagesOfThisProgramNameAFolder) {
    const std::string header = ActivationMessage("");
    const cMessageCase cases[] = {
        {ActivationMessage("/music/Rock/"), "/music/Rock/"},
        {ActivationMessage(""), ""},
        {ActivationMessage("/caf\xE9/"), "/caf\xE9/"},
        {ActivationMessage("/a\nb/"), "/a\nb/"},
        {"", std::nullopt},
        {header.substr(0, header.size() - 1), std::nullopt},
        {"tunaria-activate 2\n/music/", std::nullopt},
        {header + "music/", std::nullopt},
        {header + std::string("/a\0b/", 5), std::nullopt},
        {header + "/" + std::string(kLongestHandedFolder, 'a'), std::nullopt},
        {header + "/" + std::string(kLongestHandedFolder - 1, 'a'),
         "/" + std::string(kLongestHandedFolder - 1, 'a')},
    };
    for (const cMessageCase& test : cases) {
        EXPECT_EQ(FolderOfActivationMessage(test.Bytes), test.Folder) << test.Bytes.substr(0, 40);
    }
}

TEST(InstanceSocket, ALaterStartHandsItsFolderToTheListener) {
    cTempFolder data;
    const std::string socketPath = data / kInstanceSocketName;
    EXPECT_FALSE(HandToRunningInstance(data.Path(), "/music/")) << "nobody listens yet";
    {
        cInstanceListener listener(data.Path() + "/");
        EXPECT_EQ(ModeOf(socketPath), S_IFSOCK | 0600);
        EXPECT_FALSE(listener.Accept().IsOpen()) << "nothing waits";
        ASSERT_TRUE(HandToRunningInstance(data.Path(), "/music/Rock/"));
        ASSERT_TRUE(HandToRunningInstance(data.Path() + "/", ""));
        EXPECT_EQ(NextHandOver(listener), "/music/Rock/");
        EXPECT_EQ(NextHandOver(listener), "");
        EXPECT_EQ(NextHandOver(listener), std::nullopt);
    }
    EXPECT_FALSE(PathExists(socketPath)) << "the socket goes with the listener";
    EXPECT_FALSE(HandToRunningInstance(data.Path(), "/music/"));
    EXPECT_FALSE(HandToRunningInstance(data / "absent", "/music/"));
}

TEST(InstanceSocket, ASocketLeftByAnAbruptEndIsDeadAndReplaced) {
    cTempFolder data;
    const std::string socketPath = data / kInstanceSocketName;
    ASSERT_TRUE(LeaveDeadSocketFile(socketPath));
    EXPECT_FALSE(HandToRunningInstance(data.Path(), "/music/"));
    cInstanceListener listener(data.Path());
    ASSERT_TRUE(HandToRunningInstance(data.Path(), "/music/"));
    EXPECT_EQ(NextHandOver(listener), "/music/");

    // A link there is taken away too, never followed.
    std::ofstream(data / "target") << "kept";
    {
        const cInstanceListener gone(data.Path()); // replaces the first one's file
    }
    ASSERT_EQ(::symlink((data / "target").c_str(), socketPath.c_str()), 0);
    const cInstanceListener again(data.Path());
    EXPECT_EQ(ModeOf(socketPath) & S_IFMT, static_cast<mode_t>(S_IFSOCK));
    EXPECT_EQ(ReadBytes(data / "target"), "kept");
}

TEST(InstanceSocket, SomethingElseOfThatNameStaysAndIsReported) {
    cTempFolder data;
    std::ofstream(data / kInstanceSocketName) << "mine";
    try {
        const cInstanceListener listener(data.Path());
        ADD_FAILURE() << "a file was replaced by the socket";
    } catch (const EFileError& error) {
        EXPECT_NE(std::string(error.what()).find(data / kInstanceSocketName), std::string::npos)
            << error.what();
    }
    EXPECT_EQ(ReadBytes(data / kInstanceSocketName), "mine");
}

TEST(InstanceSocket, ALaterListenersSocketOutlivesTheFormerOne) {
    cTempFolder data;
    auto first = std::make_unique<cInstanceListener>(data.Path());
    // The first copy let go of the catalogue, a new one took it and listens now.
    cInstanceListener second(data.Path());
    first.reset();
    ASSERT_TRUE(PathExists(data / kInstanceSocketName));
    ASSERT_TRUE(HandToRunningInstance(data.Path(), "/b/"));
    EXPECT_EQ(NextHandOver(second), "/b/");
}

TEST(InstanceSocket, AFolderTooDeepForASocketAddressStillWorks) {
    cTempFolder data;
    std::string deep = data.Path();
    while (deep.size() < 200) {
        deep += "/a-rather-long-folder-name";
        ASSERT_EQ(::mkdir(deep.c_str(), 0700), 0);
    }
    cInstanceListener listener(deep + "/");
    EXPECT_EQ(ModeOf(deep + "/" + kInstanceSocketName), S_IFSOCK | 0600);
    ASSERT_TRUE(HandToRunningInstance(deep + "/", "/music/"));
    EXPECT_EQ(NextHandOver(listener), "/music/");
}

TEST(InstanceSocket, OtherUsersNeitherReachTheListenerNorAreReached) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to run a process as another user";
    }
    cTempFolder data;
    OpenToEveryone(data.Path());
    const std::string socketPath = data / kInstanceSocketName;
    {
        cInstanceListener listener(data.Path());
        // The socket file is this user's alone.
        EXPECT_EQ(AsNobody([&] { return HandToRunningInstance(data.Path(), "/x/") ? 1 : 0; }), 0);
        // Opened to everyone by hand, the listener still takes no other user's message.
        ASSERT_EQ(::chmod(socketPath.c_str(), 0666), 0);
        EXPECT_EQ(AsNobody([&] { return SendRaw(socketPath, ActivationMessage("/x/")) ? 0 : 1; }),
                  0);
        EXPECT_EQ(NextHandOver(listener), std::nullopt);
    }
    // A listener of another user is not handed this user's folder.
    ASSERT_EQ(::chown(data.Path().c_str(), 65534, 65534), 0);
    int ready[2];
    int release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setresuid(65534, 65534, 65534) != 0) {
            ::_exit(1);
        }
        const cInstanceListener theirs(data.Path());
        (void)!::write(ready[1], "1", 1);
        char wait;
        (void)!::read(release[0], &wait, 1);
        ::_exit(0);
    }
    char state = 0;
    ASSERT_EQ(::read(ready[0], &state, 1), 1);
    EXPECT_FALSE(HandToRunningInstance(data.Path(), "/mine/"));
    (void)!::write(release[1], "x", 1);
    ::waitpid(child, nullptr, 0);
    for (int fd : {ready[0], ready[1], release[0], release[1]}) {
        ::close(fd);
    }
}

} // namespace
