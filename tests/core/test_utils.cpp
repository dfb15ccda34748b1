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
    for (const int64_t seconds : {int64_t{1705320000}, int64_t{1721044800}, int64_t{0},
                                  int64_t{-2209161600LL}, int64_t{4102444800LL}}) {
        int64_t back = 0;
        int32_t nanoseconds = -1;
        ASSERT_TRUE(
            UnixTimeFromDateTime(DateTimeFromUnixTime(seconds, 123456000), back, nanoseconds));
        EXPECT_EQ(back, seconds);
        EXPECT_EQ(nanoseconds, 123456000);
    }
}

TEST(DateTime, DatesThatNoClockCanShowAreRefused) {
    int64_t seconds = 7;
    int32_t nanoseconds = 7;
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    for (const double date : {kNaN, kInfinity, -kInfinity, 1e300, -1e300, 1e9, -1e9,
                              -693594.0 /* year 0 */, 2958466.0 /* year 10000 */}) {
        EXPECT_FALSE(UnixTimeFromDateTime(date, seconds, nanoseconds)) << date;
    }
    EXPECT_TRUE(UnixTimeFromDateTime(-693593.0, seconds, nanoseconds));     // 0001-01-01
    EXPECT_TRUE(UnixTimeFromDateTime(2958465.99999, seconds, nanoseconds)); // 9999-12-31
}

TEST(FileDates, WrittenDateReadsBackWithItsFractionOfASecond) {
    cTempFolder folder;
    const std::string path = folder / "song.mp3";
    WriteBytes(path, "ID3 content");
    for (const char* zone : {"UTC", "Europe/Berlin", "America/New_York"}) {
        cTimeZone local(zone);
        // 2021-03-04 05:06:07.25 and a summer date, local time.
        for (const double date : {44259.0 + (5 * 3600 + 6 * 60 + 7.25) / 86400.0,
                                  44400.0 + (13 * 3600 + 1.5) / 86400.0}) {
            WriteFileDate(path, date);
            EXPECT_NEAR(ReadFileDate(path), date, kOneMicrosecond) << zone;
        }
        EXPECT_EQ(ModifiedTime(path).tv_nsec, 500000000); // 13:00:01.5
    }
    EXPECT_EQ(ReadBytes(path), "ID3 content");
}

TEST(FileDates, WriteKeepsContentAndAccessTimeAndNeverCreatesAFile) {
    cTempFolder folder;
    const std::string path = folder / "song.mp3";
    WriteBytes(path, "content");
    const timespec access[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), access, 0), 0);
    WriteFileDate(path, 45000.5);
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_atim.tv_sec, 1000000000);
    EXPECT_NE(info.st_mtim.tv_sec, 1000000000);
    EXPECT_EQ(ReadBytes(path), "content");

    WriteFileDate(folder / "missing.mp3", 45000.5);
    EXPECT_EQ(folder.Entries(), Texts{"song.mp3"});
}

TEST(FileDates, UnrepresentableDateLeavesTheFileUnchanged) {
    cTempFolder folder;
    const std::string path = folder / "song.mp3";
    WriteBytes(path, "content");
    WriteFileDate(path, 45000.5);
    const timespec before = ModifiedTime(path);
    for (const double date :
         {std::numeric_limits<double>::quiet_NaN(), 1e9, -1e9, 1e300, 2958466.0}) {
        WriteFileDate(path, date);
        EXPECT_EQ(ModifiedTime(path).tv_sec, before.tv_sec) << date;
        EXPECT_EQ(ModifiedTime(path).tv_nsec, before.tv_nsec) << date;
    }
}

TEST(FileDates, MissingEntriesGiveNowAndZero) {
    cTempFolder folder;
    const double now = NowDateTime();
    EXPECT_NEAR(ReadFileDate(folder / "missing"), now, 60 * kOneSecond);
    EXPECT_EQ(ReadFileSize(folder / "missing"), 0);
    // A folder is an entry too: its date is its own.
    ASSERT_EQ(::mkdir((folder / "sub").c_str(), 0755), 0);
    WriteFileDate(folder / "sub", 40000.0);
    EXPECT_NEAR(ReadFileDate(folder / "sub"), 40000.0, kOneMicrosecond);
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

TEST(FileDates, TimeTheFileSystemCannotHoldLeavesTheFileUnchanged) {
    cTempFolder folder;
    const std::string path = folder / "song.mp3";
    WriteBytes(path, "content");
    const std::string probe = folder / "probe";
    WriteBytes(probe, "");
    constexpr time_t kYearOne = -62135596800LL; // 0001-01-01 00:00 UTC
    const timespec times[2] = {{0, UTIME_OMIT}, {kYearOne, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, probe.c_str(), times, 0), 0);
    if (ModifiedTime(probe).tv_sec == kYearOne) {
        GTEST_SKIP() << "this file system stores the year 1";
    }
    WriteFileDate(path, 45000.5);
    const timespec before = ModifiedTime(path);
    WriteFileDate(path, -693593.0); // 0001-01-01, a valid date-time
    EXPECT_EQ(ModifiedTime(path).tv_sec, before.tv_sec);
    EXPECT_EQ(ModifiedTime(path).tv_nsec, before.tv_nsec);
}
