#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "support/temp_folder.h"
#include "util/unitAtomicFile.h"

namespace {

using Names = std::vector<std::string>;

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0);
    return info.st_mode & 07777;
}

bool IsSymlink(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

} // namespace

TEST(AtomicFile, CreatesAndReplacesWholeContent) {
    cTempFolder folder;
    const std::string path = folder / "Groups.txt";
    WriteFileAtomically(path, "Rock\r\nJazz\r\n");
    EXPECT_EQ(ReadBytes(path), "Rock\r\nJazz\r\n");
    WriteFileAtomically(path, "A");
    EXPECT_EQ(ReadBytes(path), "A");
    WriteFileAtomically(path, "");
    EXPECT_EQ(ReadBytes(path), "");
    EXPECT_EQ(folder.Entries(), Names{"Groups.txt"});
}

TEST(AtomicFile, NewFileFollowsTheUmaskAndReplacedFileKeepsItsMode) {
    cTempFolder folder;
    const std::string fresh = folder / "fresh.ini";
    const mode_t mask = ::umask(022);
    WriteFileAtomically(fresh, "x");
    ::umask(mask);
    EXPECT_EQ(ModeOf(fresh), 0644u);

    const std::string kept = folder / "kept.ini";
    WriteBytes(kept, "old");
    ASSERT_EQ(::chmod(kept.c_str(), 0604), 0);
    WriteFileAtomically(kept, "new");
    EXPECT_EQ(ModeOf(kept), 0604u);
    EXPECT_EQ(ReadBytes(kept), "new");
}

TEST(AtomicFile, SymbolicLinksStayAndTheirTargetIsReplaced) {
    cTempFolder folder;
    ASSERT_EQ(::mkdir((folder / "real").c_str(), 0755), 0);
    WriteBytes(folder / "real/Options.ini", "old");
    // A relative link to a relative link to the file.
    ASSERT_EQ(::symlink("real/Options.ini", (folder / "middle.ini").c_str()), 0);
    ASSERT_EQ(::symlink("middle.ini", (folder / "Options.ini").c_str()), 0);
    WriteFileAtomically(folder / "Options.ini", "new");
    EXPECT_TRUE(IsSymlink(folder / "Options.ini"));
    EXPECT_TRUE(IsSymlink(folder / "middle.ini"));
    EXPECT_EQ(ReadBytes(folder / "real/Options.ini"), "new");

    // A link to a file that does not exist yet creates that file.
    ASSERT_EQ(::symlink((folder / "real/later.pls").c_str(), (folder / "later.pls").c_str()), 0);
    WriteFileAtomically(folder / "later.pls", "content");
    EXPECT_TRUE(IsSymlink(folder / "later.pls"));
    EXPECT_EQ(ReadBytes(folder / "real/later.pls"), "content");

    ASSERT_EQ(::symlink("loop", (folder / "loop").c_str()), 0);
    EXPECT_THROW(WriteFileAtomically(folder / "loop", "x"), EFileError);
}

TEST(AtomicFile, RefusedWritesNameTheFileAndLeaveNoTemporaryFile) {
    cTempFolder folder;
    const auto refusal = [](const std::string& path) -> std::string {
        try {
            WriteFileAtomically(path, "bytes");
        } catch (const EFileError& error) {
            EXPECT_NE(error.code().value(), 0);
            return error.what();
        }
        return "no error";
    };
    ASSERT_EQ(::mkdir((folder / "dir").c_str(), 0755), 0);
    EXPECT_EQ(refusal(folder / "dir"),
              "Could not write \"" + folder / "dir" + "\": Is a directory");
    EXPECT_EQ(refusal(folder / "none/file"),
              "Could not write \"" + folder / "none/file" + "\": No such file or directory");
    ASSERT_EQ(::mkfifo((folder / "pipe").c_str(), 0644), 0);
    EXPECT_EQ(refusal(folder / "pipe"),
              "Could not write \"" + folder / "pipe" + "\": it is not a regular file");
    EXPECT_EQ(folder.Entries(), (Names{"dir", "pipe"}));
}

TEST(AtomicFile, ReadingMissingUnreadableAndOversizedFiles) {
    cTempFolder folder;
    EXPECT_FALSE(ReadFileIfExists(folder / "missing"));
    EXPECT_FALSE(ReadFileIfExists(folder / "missing/deeper"));
    WriteBytes(folder / "plain", "a file");
    EXPECT_FALSE(ReadFileIfExists(folder / "plain/below")); // a file is no folder

    EXPECT_EQ(ReadFileIfExists(folder / "plain").value_or("none"), "a file");
    EXPECT_EQ(ReadFileIfExists(folder / "plain", 6).value_or("none"), "a file");
    try {
        ReadFileIfExists(folder / "plain", 5);
        ADD_FAILURE() << "oversized file read";
    } catch (const EFileError& error) {
        EXPECT_EQ(error.code().value(), EFBIG);
        EXPECT_NE(std::string(error.what()).find(folder / "plain"), std::string::npos);
    }

    // A file whose listed size says nothing of its content (the kernel's own files list 0).
    const std::optional<std::string> status = ReadFileIfExists("/proc/self/status");
    ASSERT_TRUE(status);
    EXPECT_NE(status->find("\nPid:"), std::string::npos);
    EXPECT_THROW(ReadFileIfExists("/proc/self/status", 16), EFileError);

    EXPECT_THROW(ReadFileIfExists(folder.Path()), EFileError);
    // A named pipe without a writer must be refused, not waited on.
    ASSERT_EQ(::mkfifo((folder / "pipe").c_str(), 0644), 0);
    EXPECT_THROW(ReadFileIfExists(folder / "pipe"), EFileError);
}

TEST(AtomicFile, FailedWriteKeepsTheOldContent) {
    // A file size limit makes the write fail half way, as a full disk would.
    cTempFolder folder;
    const std::string path = folder / "Options.ini";
    WriteBytes(path, "old content");
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string message;
    try {
        WriteFileAtomically(path, std::string(10000, 'x'));
    } catch (const EFileError& error) {
        message = error.what();
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(message, "Could not write \"" + path + "\": File too large");
    EXPECT_EQ(ReadBytes(path), "old content");
    EXPECT_EQ(folder.Entries(), Names{"Options.ini"});
}

TEST(AtomicFile, CopyToNewFileKeepsBytesHolesAndModeAndNeverWritesThroughALink) {
    cTempFolder folder;
    const std::string source = folder / "DB.txt";
    WriteBytes(source, "head");
    ASSERT_EQ(::truncate(source.c_str(), 3LL << 30), 0); // a 3 GiB hole, then more bytes
    {
        std::fstream out(source, std::ios::in | std::ios::out | std::ios::binary);
        out.seekp(3LL << 30);
        out << "tail";
    }
    ASSERT_EQ(::chmod(source.c_str(), 0640), 0);
    const int fd = ::open(source.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);

    const std::string copy = folder / "DB.txt.damaged";
    CopyToNewFile(fd, copy);
    struct stat info {};
    ASSERT_EQ(::stat(copy.c_str(), &info), 0);
    EXPECT_EQ(info.st_size, (3LL << 30) + 4);
    EXPECT_LT(info.st_blocks * 512, 1LL << 20); // the hole stayed a hole
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    std::ifstream in(copy, std::ios::binary);
    char bytes[4] = {};
    in.read(bytes, 4);
    EXPECT_EQ(std::string(bytes, 4), "head");
    in.seekg(3LL << 30);
    in.read(bytes, 4);
    EXPECT_EQ(std::string(bytes, 4), "tail");

    // A name that is taken, by a file or a planted link, is refused untouched.
    const std::string victim = folder / "victim";
    WriteBytes(victim, "precious");
    ASSERT_EQ(::symlink(victim.c_str(), (folder / "planted").c_str()), 0);
    for (const std::string& taken : {copy, folder / "planted"}) {
        try {
            CopyToNewFile(fd, taken);
            ADD_FAILURE() << taken;
        } catch (const EFileError& error) {
            EXPECT_EQ(error.code(), std::errc::file_exists);
        }
    }
    EXPECT_EQ(ReadBytes(victim), "precious");
    ASSERT_EQ(::stat(copy.c_str(), &info), 0);
    EXPECT_EQ(info.st_size, (3LL << 30) + 4);
    ::close(fd);
}
