// Moving a file to a new path without ever replacing another file, on one file system and
// across two.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>

#include "support/song_fixtures.h"
#include "util/unitFileMove.h"

using namespace song_fixtures;

namespace {

struct stat StatOf(const std::string& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info;
}

int ErrorOfMove(const std::function<void()>& move) {
    try {
        move();
    } catch (const std::system_error& error) {
        return error.code().value();
    }
    return 0;
}


TEST(MoveFile, MovesOnOneFileSystemAndNeverReplaces) {
    for (const auto& move : {MoveFileNoReplace, MoveFileByLink}) {
        cTempFolder folder;
        const std::string from = folder / "a b 'c'\n.mp3";
        const std::string other = folder / "\xff\xfe.mp3";
        WriteBytes(from, "song");
        WriteBytes(other, "other");

        EXPECT_EQ(ErrorOfMove([&] { move(from, other); }), EEXIST);
        EXPECT_EQ(ReadBytes(from), "song");
        EXPECT_EQ(ReadBytes(other), "other");
        EXPECT_EQ(ErrorOfMove([&] { move(from, folder / "no folder/x.mp3"); }), ENOENT);

        const std::string to = folder / std::string(251, 'n') + ".mp3"; // a 255-byte name
        EXPECT_EQ(ErrorOfMove([&] { move(from, to); }), 0);
        EXPECT_FALSE(PathExists(from));
        EXPECT_EQ(ReadBytes(to), "song");
        EXPECT_EQ(ErrorOfMove([&] { move(to, to + "x"); }), ENAMETOOLONG);
        EXPECT_EQ(ReadBytes(to), "song");
    }
}

class MoveAcrossFileSystems : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string other = OtherFileSystemFolder(m_Here.Path());
        if (other.empty()) {
            GTEST_SKIP() << "no second file system to move to";
        }
        m_There = std::filesystem::path(other) / ("tunaria-move-" + std::to_string(::getpid()));
        std::filesystem::create_directory(m_There);
        m_From = m_Here / "song.mp3";
        WriteBytes(m_From, Mp3Bytes(300000));
        ::chmod(m_From.c_str(), 0640);
        const timespec times[2] = {{1000000000, 5}, {981173106, 123456789}};
        ::utimensat(AT_FDCWD, m_From.c_str(), times, 0);
        m_To = (m_There / "moved.mp3").string();
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(m_There, ignored);
    }

    cTempFolder m_Here;
    std::filesystem::path m_There;
    std::string m_From;
    std::string m_To;
};

TEST_F(MoveAcrossFileSystems, CopiesContentModeAndTimesThenRemovesTheSource) {
    const struct stat before = StatOf(m_From);
    WriteBytes(m_To, "taken");
    EXPECT_EQ(ErrorOfMove([&] { MoveFileNoReplace(m_From, m_To); }), EEXIST);
    EXPECT_EQ(ReadBytes(m_To), "taken");
    std::filesystem::remove(m_To);

    MoveFileNoReplace(m_From, m_To);
    EXPECT_FALSE(PathExists(m_From));
    EXPECT_EQ(ReadBytes(m_To), Mp3Bytes(300000));
    const struct stat after = StatOf(m_To);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
}

TEST_F(MoveAcrossFileSystems, AFailureOnTheWayLeavesTheSourceAndNoCopy) {
    // A full disk while copying.
    EXPECT_EQ(RunInChildWithFileLimit(
                  100000, [&] { return ErrorOfMove([&] { MoveFileNoReplace(m_From, m_To); }); }),
              EFBIG);
    EXPECT_EQ(ReadBytes(m_From), Mp3Bytes(300000));
    EXPECT_FALSE(PathExists(m_To));
    // A crash while copying (the file size signal kills the child mid-write): no cut-off song
    // under the target's name, nothing that a folder scan would take for a song.
    EXPECT_EQ(RunInChild([&] {
                  const rlimit small{100000, 100000};
                  ::setrlimit(RLIMIT_FSIZE, &small);
                  MoveFileNoReplace(m_From, m_To);
                  return 0;
              }),
              200 + SIGXFSZ);
    EXPECT_EQ(ReadBytes(m_From), Mp3Bytes(300000));
    EXPECT_FALSE(PathExists(m_To));
    for (const auto& entry : std::filesystem::directory_iterator(m_There)) {
        EXPECT_NE(entry.path().extension(), ".mp3") << entry.path();
    }
    if (!cUnprivileged::Possible()) {
        GTEST_SKIP() << "file permissions cannot be met as this user";
    }
    // A source in a read-only folder: copied completely, then it cannot go.
    ::chmod(m_From.c_str(), 0644);
    ::chmod(m_Here.Path().c_str(), 0555);
    ::chmod(m_There.c_str(), 0777);
    int error = 0;
    {
        cUnprivileged asUser;
        error = ErrorOfMove([&] { MoveFileNoReplace(m_From, m_To); });
    }
    ::chmod(m_Here.Path().c_str(), 0755);
    EXPECT_EQ(error, EACCES);
    EXPECT_EQ(ReadBytes(m_From), Mp3Bytes(300000));
    EXPECT_FALSE(PathExists(m_To));
}

} // namespace
