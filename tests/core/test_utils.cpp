#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "support/temp_folder.h"
#include "util/unitUtils.h"

namespace {

using Texts = std::vector<std::string>;

/// Runs a test body in the given time zone and restores the previous one afterwards.
class cTimeZone {
public:
    explicit cTimeZone(const char* zone) {
        if (const char* previous = std::getenv("TZ")) {
            m_Previous = previous;
        }
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~cTimeZone() {
        if (m_Previous) {
            ::setenv("TZ", m_Previous->c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }
    cTimeZone(const cTimeZone&) = delete;
    cTimeZone& operator=(const cTimeZone&) = delete;

private:
    std::optional<std::string> m_Previous;
};

timespec ModifiedTime(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0);
    return info.st_mtim;
}

constexpr double kOneSecond = 1.0 / 86400.0;
constexpr double kOneMicrosecond = kOneSecond / 1e6;

} // namespace

TEST(Paths, TrailingSeparatorIsAddedOnceAndRemovedOnce) {
    EXPECT_EQ(AddTrailingBackslash(""), "");
    EXPECT_EQ(AddTrailingBackslash("/music"), "/music/");
    EXPECT_EQ(AddTrailingBackslash("/music/"), "/music/");
    EXPECT_EQ(AddTrailingBackslash("/"), "/");
    EXPECT_EQ(AddTrailingBackslash("relative"), "relative/");
    EXPECT_EQ(AddTrailingBackslash("C:\\"), "C:\\/"); // a backslash is an ordinary character here

    EXPECT_EQ(StripTrailingBackslash(""), "");
    EXPECT_EQ(StripTrailingBackslash("/music/"), "/music");
    EXPECT_EQ(StripTrailingBackslash("/music"), "/music");
    EXPECT_EQ(StripTrailingBackslash("/music//"), "/music/"); // exactly one removed
    EXPECT_EQ(StripTrailingBackslash("a/"), "a");
    // The root plays the part of a drive: it is never stripped to nothing.
    EXPECT_EQ(StripTrailingBackslash("/"), "/");
    EXPECT_EQ(AddTrailingBackslash(StripTrailingBackslash("/")), "/");
}

TEST(FormatFileSize, BytesKilobytesAndMegabytes) {
    EXPECT_EQ(FormatFileSize(0), "0 bytes");
    EXPECT_EQ(FormatFileSize(1), "1 bytes");
    EXPECT_EQ(FormatFileSize(1023), "1023 bytes"); // no thousands separator below 1024
    EXPECT_EQ(FormatFileSize(-5), "-5 bytes");
    EXPECT_EQ(FormatFileSize(INT64_MIN), "-9223372036854775808 bytes");
    EXPECT_EQ(FormatFileSize(1024), "1.00 KB");
    EXPECT_EQ(FormatFileSize(1536), "1.50 KB");
    EXPECT_EQ(FormatFileSize(1048575), "1,024.00 KB"); // rounds up, the unit stays KB
    EXPECT_EQ(FormatFileSize(1048576), "1.00 MB");
    EXPECT_EQ(FormatFileSize(5000000), "4.77 MB");
    EXPECT_EQ(FormatFileSize(1234567890), "1,177.38 MB");
    EXPECT_EQ(FormatFileSize(2147483647), "2,048.00 MB");
}

TEST(FormatFileSize, HalvesRoundAwayFromZero) {
    EXPECT_EQ(FormatFileSize(1152), "1.13 KB");    // exactly 1.125
    EXPECT_EQ(FormatFileSize(1664), "1.63 KB");    // exactly 1.625
    EXPECT_EQ(FormatFileSize(1029), "1.00 KB");    // 1.0048..., below the half
    EXPECT_EQ(FormatFileSize(1034), "1.01 KB");    // 1.0097...
    EXPECT_EQ(FormatFileSize(1179648), "1.13 MB"); // exactly 1.125
    EXPECT_EQ(FormatFileSize(1053819), "1.01 MB"); // just above 1.005
    EXPECT_EQ(FormatFileSize(1053818), "1.00 MB"); // just below 1.005
}

TEST(FormatFileSize, SeparatorsAreTheCallersAndTotalsMayExceed32Bits) {
    EXPECT_EQ(FormatFileSize(1048575, ",", "."), "1.024,00 KB");
    EXPECT_EQ(FormatFileSize(1234567890, ",", "\xC2\xA0"), "1\xC2\xA0"
                                                           "177,38 MB");
    EXPECT_EQ(FormatFileSize(1234567890, ".", ""), "1177.38 MB");
    EXPECT_EQ(FormatFileSize(5LL << 40), "5,242,880.00 MB");
    EXPECT_EQ(FormatFileSize(INT64_MAX), "8,796,093,022,208.00 MB");
    EXPECT_EQ(FormatFileSize(1LL << 32), "4,096.00 MB");
}

TEST(JoinStrings, LeadingEmptyTextsLeaveNoSeparator) {
    EXPECT_EQ(JoinStrings({}, ","), "");
    EXPECT_EQ(JoinStrings({"", "Rock", "Live"}, ","), "Rock,Live");
    EXPECT_EQ(JoinStrings({"Rock", "", "Live"}, ","), "Rock,,Live");
    EXPECT_EQ(JoinStrings({"Rock", ""}, ","), "Rock,");
    EXPECT_EQ(JoinStrings({"", ""}, ","), "");
    EXPECT_EQ(JoinStrings({"a", "b"}, "\r\n"), "a\r\nb");
    EXPECT_EQ(JoinStrings({"a", "b"}, ""), "ab");
}

TEST(PathParts, FolderFileNameAndFileNameWithoutExtension) {
    EXPECT_EQ(FolderPart("/music/a.mp3"), "/music");
    EXPECT_EQ(FolderPart("/a.mp3"), "/");
    EXPECT_EQ(FolderPart("//a.mp3"), "/");
    EXPECT_EQ(FolderPart("/m//a.mp3"), "/m/");
    EXPECT_EQ(FolderPart("a.mp3"), "");
    EXPECT_EQ(FileNamePart("/music/a.b.mp3"), "a.b.mp3");
    EXPECT_EQ(FileNamePart("/music/"), "");
    EXPECT_EQ(FileNamePart("plain.mp3"), "plain.mp3");
    EXPECT_EQ(FileNameWithoutExtension("/music/a.b.mp3"), "a.b");
    EXPECT_EQ(FileNameWithoutExtension("/music.d/noext"), "noext");
    EXPECT_EQ(FileNameWithoutExtension("plain.mp3"), "plain");
    EXPECT_EQ(FileNameWithoutExtension("/m/.mp3"), "");
}

TEST(CopyIntoFolder, FolderPartOfPaths) {
    EXPECT_EQ(CopyFolderPart("/music/a.mp3"), "/music");
    EXPECT_EQ(CopyFolderPart("/music/"), "/music");
    EXPECT_EQ(CopyFolderPart("/a.mp3"), "/");
    EXPECT_EQ(CopyFolderPart("/"), "/");
    EXPECT_EQ(CopyFolderPart("/music//a.mp3"), "/music//"); // separator after a separator stays
    EXPECT_EQ(CopyFolderPart("a.mp3"), "");
}

TEST(CopyIntoFolder, PathsAlreadyInTheTargetAreSkipped) {
    const Texts dropped = {"/music/a.mp3", "/music/sub/b.mp3", "/other/c.mp3",
                           "/music/Sub",   "/MUSIC/d.mp3",     "/music/e.mp3"};
    EXPECT_EQ(PathsToCopyIntoFolder(dropped, "/music/"),
              (Texts{"/music/sub/b.mp3", "/other/c.mp3", "/MUSIC/d.mp3"}));
    EXPECT_EQ(PathsToCopyIntoFolder({"/music/a.mp3"}, "/music/"), Texts{});
    EXPECT_EQ(PathsToCopyIntoFolder({"/a.mp3", "/music"}, "/"), Texts{});
    EXPECT_EQ(PathsToCopyIntoFolder({"/a.mp3", "/music/b.mp3"}, "/"), Texts{"/music/b.mp3"});
}

TEST(DateTime, ConversionFollowsTheLocalTimeZone) {
    {
        cTimeZone utc("UTC");
        EXPECT_DOUBLE_EQ(DateTimeFromUnixTime(0), 25569.0); // 1970-01-01 00:00
        EXPECT_DOUBLE_EQ(DateTimeFromUnixTime(86400 + 21600, 500000000),
                         25570.25 + 0.5 * kOneSecond);
        EXPECT_NEAR(DateTimeFromUnixTime(-2209161600LL), 0.0, kOneMicrosecond); // 1899-12-30
    }
    cTimeZone berlin("Europe/Berlin");
    // 2024-01-15 12:00 UTC is 13:00 in winter; 2024-07-15 12:00 UTC is 14:00 in summer.
    EXPECT_NEAR(DateTimeFromUnixTime(1705320000), 45306.0 + 13.0 / 24, kOneMicrosecond);
    EXPECT_NEAR(DateTimeFromUnixTime(1721044800), 45488.0 + 14.0 / 24, kOneMicrosecond);
}

TEST(FileDates, MissingEntriesGiveNowAndZero) {
    cTempFolder folder;
    const double now = NowDateTime();
    EXPECT_NEAR(ReadFileDate(folder / "missing"), now, 60 * kOneSecond);
    EXPECT_EQ(ReadFileSize(folder / "missing"), 0);
    // A folder is an entry too: its date is its own.
    ASSERT_EQ(::mkdir((folder / "sub").c_str(), 0755), 0);
    WriteFileTime(folder / "sub", {1000000000, 250000000});
    EXPECT_EQ(ModifiedTime(folder / "sub").tv_nsec, 250000000);
    EXPECT_NEAR(ReadFileDate(folder / "sub"), DateTimeFromUnixTime(1000000000, 250000000),
                kOneMicrosecond);
}

TEST(FileSizes, SizesBeyondTheFieldAreItsLargestValueNeverWrapped) {
    cTempFolder folder;
    const std::string path = folder / "big.mp3";
    WriteBytes(path, "12345");
    EXPECT_EQ(ReadFileSize(path), 5);
    // Sparse files: no disk space is used.
    for (const int64_t size : {0x7FFFFFFFLL, 0x80000000LL, 0xFFFFFFFFLL, (1LL << 32) + 7}) {
        ASSERT_EQ(::truncate(path.c_str(), size), 0);
        EXPECT_EQ(ReadFileSize(path), INT32_MAX) << size;
    }
}

