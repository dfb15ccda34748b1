// What the user does to songs: counting an opening, saving and removing a tag, each against a
// real catalogue and real files.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <limits>
#include <string>
#include <system_error>

#include "catalogue/unitSongActions.h"
#include "catalogue/unitSongUtils.h"
#include "catalogue/unitSongsDatabaseClass.h"
#include "support/song_fixtures.h"
#include "util/unitUtils.h"

using namespace song_fixtures;

namespace {

// 2001-02-03 04:05:06 local time: far from now, so a restored time cannot pass by accident.
const TDateTime kOldDate = 36925.0 + (4 * 3600 + 5 * 60 + 6) / 86400.0;

/// The file's last-modified time as the file system holds it.
std::timespec FileTime(const std::string& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_mtim;
}

bool SameTime(const std::timespec& a, const std::timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

TEST(RemoveSongTag, CanKeepTheFileTimeToTheNanosecond) {
    cTempFolder folder;
    const std::string path = folder / "s.mp3";
    WriteBytes(path, Mp3Bytes(300) + TagBlock("t", "", "", "", ""));
    // An odd nanosecond count, which a day-count double cannot carry back exactly.
    const std::timespec old[2] = {{0, UTIME_OMIT}, {981173106, 123456789}};
    ::utimensat(AT_FDCWD, path.c_str(), old, 0);
    const cSongTag before = ReadSongTag(path);
    EXPECT_TRUE(RemoveSongTag(path, true, before.FileTime));
    EXPECT_EQ(ReadBytes(path).size(), 300u);
    EXPECT_TRUE(SameTime(FileTime(path), old[1]));

    WriteBytes(path, Mp3Bytes(300) + TagBlock("t", "", "", "", ""));
    WriteFileDate(path, kOldDate);
    EXPECT_TRUE(RemoveSongTag(path, false, old[1]));
    EXPECT_GT(ReadFileDate(path), kOldDate + 1);
}

// One song, opened three times, in a real catalogue.
class SongActionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(OpenSongsDatabase(m_Folder / "DB.txt"));
        m_Path = m_Folder / "Pink_Floyd - Time.mp3";
        WriteBytes(m_Path, Mp3Bytes(2000));
        WriteFileDate(m_Path, kOldDate);
        m_Song = NewSongInfo();
        m_Song->SetTexts(m_Path, "Time", "Pink Floyd", "", "", "");
        m_Song->Date = kOldDate;
        m_Song->Views = 3;
        m_Song->Groups = {"Rock"};
        MasterSongList->Add(m_Song);
        SongsDatabase->AddSongEntry(*m_Song);
    }
    void TearDown() override {
        if (SongsDatabase != nullptr) {
            FreeAllSongs();
        }
    }

    // The song as the catalogue holds it after a fresh load.
    cSongInfo Reloaded() {
        FreeAllSongs();
        EXPECT_TRUE(OpenSongsDatabase(m_Folder / "DB.txt"));
        EXPECT_EQ(MasterSongList->Count(), 1);
        return *MasterSongList->Get(0);
    }

    cTempFolder m_Folder;
    std::string m_Path;
    cSongInfo* m_Song = nullptr;
};

TEST_F(SongActionsTest, AnOpeningIsCountedInPlaceAndStopsAtTheLargestCount) {
    const std::string before = ReadBytes(m_Folder / "DB.txt");
    EXPECT_TRUE(CountSongOpening(*m_Song));
    EXPECT_EQ(m_Song->Views, 4);
    // Only the four bytes of the count changed: the record was rewritten where it stands.
    const std::string after = ReadBytes(m_Folder / "DB.txt");
    ASSERT_EQ(after.size(), before.size());
    size_t changed = 0;
    for (size_t i = 0; i < after.size(); ++i) {
        changed += after[i] != before[i] ? 1 : 0;
    }
    EXPECT_EQ(changed, 1u) << "3 -> 4 changes one byte of the little-endian count";

    m_Song->Views = std::numeric_limits<int32_t>::max();
    EXPECT_TRUE(CountSongOpening(*m_Song));
    EXPECT_EQ(m_Song->Views, std::numeric_limits<int32_t>::max());
    EXPECT_EQ(Reloaded().Views, std::numeric_limits<int32_t>::max());
}

TEST(CountSongOpeningWithoutCatalogue, CountsForThisRunOnly) {
    cSongInfo song;
    song.SetFileName("/music/a.mp3");
    ASSERT_EQ(SongsDatabase, nullptr);
    EXPECT_FALSE(CountSongOpening(song));
    EXPECT_EQ(song.Views, 1);
}

TEST_F(SongActionsTest, SavedTagRecordAndCatalogueFollowAllFiveTextsAndKeepTheTime) {
    const cSongTag tag = ReadSongTag(m_Path);
    ASSERT_FALSE(tag.HasTag);
    const cId3v1Texts typed{"  Time ", "", "Dark Side", "1973", "remaster "};
    SaveSongTag(*m_Song, typed, true, tag.FileTime);

    EXPECT_EQ(ReadBytes(m_Path).size(), 2128u);
    int64_t oldSeconds = 0;
    int32_t oldNanoseconds = 0;
    UnixTimeFromDateTime(kOldDate, oldSeconds, oldNanoseconds);
    EXPECT_EQ(ModifiedSeconds(m_Path), oldSeconds);
    EXPECT_NEAR(ReadFileDate(m_Path), kOldDate, 1e-6);
    EXPECT_EQ(m_Song->Date, kOldDate);
    EXPECT_EQ(m_Song->Title(), "  Time ") << "taken as typed, not trimmed";
    EXPECT_EQ(m_Song->Author(), "") << "an empty artist is not derived from the file name";
    EXPECT_EQ(m_Song->Album(), "Dark Side");
    EXPECT_EQ(m_Song->Year(), "1973");
    EXPECT_EQ(m_Song->Comment(), "remaster ");

    const cSongInfo stored = Reloaded();
    EXPECT_EQ(stored.Title(), "  Time ");
    EXPECT_EQ(stored.Album(), "Dark Side");
    EXPECT_EQ(stored.Comment(), "remaster ");
    EXPECT_EQ(stored.Views, 3);
    EXPECT_EQ(stored.Groups, std::vector<std::string>{"Rock"});
    EXPECT_EQ(stored.Date, kOldDate);
}

TEST_F(SongActionsTest, WithoutKeepingTheTimeTheRecordDateBecomesNow) {
    const TDateTime before = NowDateTime();
    SaveSongTag(*m_Song, {"Time", "Pink Floyd", "", "", ""}, false, FileTime(m_Path));
    EXPECT_GE(m_Song->Date, before);
    EXPECT_LE(m_Song->Date, NowDateTime());
    EXPECT_GE(ReadFileDate(m_Path), before - 1.0 / 86400);
    const TDateTime recorded = m_Song->Date;
    EXPECT_EQ(Reloaded().Date, recorded);
}

TEST_F(SongActionsTest, TextsLongerThanTheirFieldsAreStoredAsWritten) {
    const std::string euro = "\xE2\x82\xAC";
    std::string title;
    for (int i = 0; i < 11; ++i) {
        title += euro;
    }
    SaveSongTag(*m_Song, {title, "a", "b", "19999", "c"}, true, FileTime(m_Path));
    EXPECT_EQ(m_Song->Title(), title.substr(0, 30));
    EXPECT_EQ(m_Song->Year(), "1999");
    EXPECT_EQ(ReadSongTag(m_Path).Texts.Title, title.substr(0, 30));
}

TEST_F(SongActionsTest, AFailedWriteLeavesRecordAndCatalogueAlone) {
    const int64_t catalogueSize = SongsDatabase->GetSize();
    const int64_t position = m_Song->Position;
    std::filesystem::remove(m_Path);
    try {
        SaveSongTag(*m_Song, {"New", "Other", "x", "2000", "y"}, false, {});
        FAIL();
    } catch (const std::system_error& error) {
        EXPECT_NE(std::string(error.what()).find(m_Path), std::string::npos);
    }
    EXPECT_EQ(m_Song->Title(), "Time");
    EXPECT_EQ(m_Song->Date, kOldDate);
    EXPECT_EQ(m_Song->Position, position);
    EXPECT_EQ(SongsDatabase->GetSize(), catalogueSize);
}

TEST(SaveSongTagWithoutCatalogue, IsRefusedBeforeTheFileIsTouched) {
    cTempFolder folder;
    const std::string path = folder / "a.mp3";
    WriteBytes(path, Mp3Bytes(200));
    cSongInfo song;
    song.SetFileName(path);
    ASSERT_EQ(SongsDatabase, nullptr);
    EXPECT_THROW(SaveSongTag(song, {"x", "", "", "", ""}, true, FileTime(path)), std::logic_error);
    EXPECT_EQ(ReadBytes(path).size(), 200u);
}

} // namespace
