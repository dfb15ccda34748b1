// Songs whose files are out of reach at start-up (the folder is gone, or the file cannot be
// examined) keep their live records and are kept aside; they come back with their Views and
// groups when their folder is there again, at a later start or by a scan in the same run.

#include <sys/stat.h>

#include <cstdio>

#include "catalogue/unitFolderScan.h"
#include "catalogue/unitOfflineSongs.h"
#include "catalogue/unitSongUtils.h"
#include "support/song_fixtures.h"

using namespace song_fixtures;

namespace {

class OfflineSongsTest : public ::testing::Test {
protected:
    ~OfflineSongsTest() override { FreeAllSongs(); }

    std::string DbPath() const { return m_Folder / "DB.txt"; }
    std::string Album() const { return m_Folder / "music/Album"; }
    std::string Away() const { return m_Folder / "music/Away"; }

    /// A live record of a song file (created) with views and groups.
    std::string SongRecord(const std::string& path, int views, const std::string& groups) const {
        Touch(path);
        cRecordFields f = Fields(path, std::string(FileNamePart(path)));
        f.views = views;
        f.groupsText = groups;
        return Record(f);
    }

    /// The album with two opened, grouped songs, a song elsewhere between them, and DB.txt
    /// holding the three records (returned in file order: a, c, b).
    std::vector<std::string> WriteCollection() const {
        const std::vector<std::string> records = {SongRecord(Album() + "/a.mp3", 3, "Rock\r\nLive"),
                                                  SongRecord(m_Folder / "music/Other/c.mp3", 1, ""),
                                                  SongRecord(Album() + "/b.mp3", 7, "Jazz")};
        WriteBytes(DbPath(), records[0] + records[1] + records[2]);
        return records;
    }

    static void Rename(const std::string& from, const std::string& to) {
        ASSERT_EQ(std::rename(from.c_str(), to.c_str()), 0) << from;
    }

    /// "name views groups" of each song of the master list, in its order.
    static std::vector<std::string> MasterSongs() {
        std::vector<std::string> songs;
        for (const cSongInfo* song : *MasterSongList) {
            if (song != nullptr) {
                std::string groups;
                for (const std::string& group : song->Groups) {
                    groups += " " + group;
                }
                songs.push_back(std::string(song->Title()) + " " + std::to_string(song->Views) +
                                groups);
            }
        }
        return songs;
    }

    cTempFolder m_Folder;
};

TEST_F(OfflineSongsTest, FolderRenamedAwayKeepsItsSongsLiveUntilALaterStartFindsThem) {
    const std::vector<std::string> records = WriteCollection();
    const std::string file = records[0] + records[1] + records[2];
    Rename(Album(), Away());
    for (int start = 0; start < 2; ++start) {
        ASSERT_TRUE(OpenSongsDatabase(DbPath()));
        EXPECT_EQ(MasterSongs(), std::vector<std::string>{"c.mp3 1"});
        EXPECT_EQ(OfflineSongs.Count(), 2);
        // Two of three live records are out of reach and none deleted: nothing to compact.
        EXPECT_EQ(ReadBytes(DbPath()), file) << "start " << start;
        FreeAllSongs();
        EXPECT_EQ(OfflineSongs.Count(), 0);
    }
    Rename(Away(), Album());
    ASSERT_TRUE(OpenSongsDatabase(DbPath()));
    EXPECT_EQ(MasterSongs(),
              (std::vector<std::string>{"a.mp3 3 Rock Live", "c.mp3 1", "b.mp3 7 Jazz"}));
    EXPECT_EQ(OfflineSongs.Count(), 0);
    EXPECT_EQ(ReadBytes(DbPath()), file);
}

TEST_F(OfflineSongsTest, ScanOfTheReturnedFolderRevivesTheKeptRecordsWithoutASecondCopy) {
    const std::vector<std::string> records = WriteCollection();
    Rename(Album(), Away());
    ASSERT_TRUE(OpenSongsDatabase(DbPath()));
    ASSERT_EQ(OfflineSongs.Count(), 2);

    Rename(Away(), Album());
    ASSERT_EQ(std::remove((Album() + "/b.mp3").c_str()), 0); // gone while the drive was away
    Touch(Album() + "/new.mp3");
    cMessageRecorder recorder;
    ScanFolder(Album() + "/");
    EXPECT_EQ(MasterSongs(), (std::vector<std::string>{"c.mp3 1", "a.mp3 3 Rock Live", "new 0"}));
    EXPECT_EQ(OfflineSongs.Count(), 0);
    EXPECT_EQ(MasterSongList->Get(1)->MasterIndex, 1);
    ScanFolder(Album());
    EXPECT_EQ(MasterSongList->Count(), 3) << "a second scan adds nothing";
    EXPECT_TRUE(recorder.Messages().empty());

    // The file holds each song once: b flagged deleted as gone, the new song appended.
    std::string expected = records[0] + records[1] + records[2];
    expected[records[0].size() + records[1].size()] = '\x01';
    const std::string bytes = ReadBytes(DbPath());
    EXPECT_EQ(bytes.substr(0, expected.size()), expected);
    EXPECT_NE(bytes.find("new.mp3", expected.size()), std::string::npos);
    FreeAllSongs();
    ASSERT_TRUE(OpenSongsDatabase(DbPath()));
    EXPECT_EQ(MasterSongs(), (std::vector<std::string>{"a.mp3 3 Rock Live", "c.mp3 1", "new 0"}));
}

TEST_F(OfflineSongsTest, FileThatCannotBeExaminedIsKeptAsideNotDeleted) {
    if (!cUnprivileged::Possible()) {
        GTEST_SKIP() << "permissions cannot be met here";
    }
    const std::vector<std::string> records = WriteCollection();
    const std::string file = records[0] + records[1] + records[2];
    OpenToEveryone(m_Folder.Path());
    ::chmod((m_Folder / "music").c_str(), 0755);
    ::chmod(DbPath().c_str(), 0666);
    ASSERT_EQ(::chmod(Album().c_str(), 0600), 0); // unreadable for one start
    {
        const cUnprivileged nobody;
        ASSERT_TRUE(OpenSongsDatabase(DbPath()));
        EXPECT_EQ(MasterSongs(), std::vector<std::string>{"c.mp3 1"});
        EXPECT_EQ(OfflineSongs.Count(), 2);
        FreeAllSongs();
    }
    ::chmod(Album().c_str(), 0755);
    EXPECT_EQ(ReadBytes(DbPath()), file);
    ASSERT_TRUE(OpenSongsDatabase(DbPath()));
    EXPECT_EQ(MasterSongList->Count(), 3);
}

TEST_F(OfflineSongsTest, CompactionCountsKeptSongsAsLiveAndKeepsThemInFileOrder) {
    // 2 songs at hand, 2 out of reach, 1 deleted record: 1 × 2 < 4 live, no compaction (it
    // would be due if the songs out of reach did not count).
    const std::string deleted = Record(Fields("/old.mp3"), 1);
    const std::string a = SongRecord(Album() + "/a.mp3", 3, "Rock");
    const std::string c = SongRecord(m_Folder / "music/Other/c.mp3", 1, "");
    const std::string b = SongRecord(Album() + "/b.mp3", 7, "");
    const std::string d = SongRecord(m_Folder / "music/Other/d.mp3", 0, "");
    const std::string file = a + deleted + c + b + d;
    WriteBytes(DbPath(), file);
    Rename(Album(), Away());
    ASSERT_TRUE(OpenSongsDatabase(DbPath()));
    EXPECT_EQ(ReadBytes(DbPath()), file);
    FreeAllSongs();

    // One more deleted record tips it: the rewritten file keeps all four live records in
    // their order, and the two out of reach are still kept aside afterwards.
    WriteBytes(DbPath(), file + deleted);
    ASSERT_TRUE(OpenSongsDatabase(DbPath()));
    EXPECT_EQ(ReadBytes(DbPath()), a + c + b + d);
    EXPECT_EQ(OfflineSongs.Count(), 2);
    EXPECT_EQ(MasterSongs(), (std::vector<std::string>{"c.mp3 1", "d.mp3 0"}));
    Rename(Away(), Album());
    ScanFolder(Album());
    EXPECT_EQ(MasterSongs(),
              (std::vector<std::string>{"c.mp3 1", "d.mp3 0", "a.mp3 3 Rock", "b.mp3 7"}));
    EXPECT_EQ(ReadBytes(DbPath()), a + c + b + d);
}

TEST_F(OfflineSongsTest, DamagedCatalogueKeepsTheSongsOutOfReachInItsCleanRewrite) {
    const std::vector<std::string> records = WriteCollection(); // a, c, b; a and b in Album
    std::string damaged = SongRecord(m_Folder / "music/Other/d.mp3", 0, "");
    damaged.replace(5, 4, U32(0x7FFFFFF0u)); // a text count beyond the file
    WriteBytes(DbPath(), records[0] + damaged + records[1] + records[2]);
    Rename(Album(), Away());
    cMessageRecorder recorder;
    ASSERT_TRUE(OpenSongsDatabase(DbPath()));
    EXPECT_EQ(recorder.Messages().size(), 1u);
    EXPECT_EQ(MasterSongs(), std::vector<std::string>{"c.mp3 1"});
    EXPECT_EQ(OfflineSongs.Count(), 2);
    // The rewrite keeps the live records of the songs out of reach, in their order.
    EXPECT_EQ(ReadBytes(DbPath()), records[0] + records[1] + records[2]);
    FreeAllSongs();
    Rename(Away(), Album());
    ASSERT_TRUE(OpenSongsDatabase(DbPath()));
    EXPECT_EQ(MasterSongs(),
              (std::vector<std::string>{"a.mp3 3 Rock Live", "c.mp3 1", "b.mp3 7 Jazz"}));
}

TEST_F(OfflineSongsTest, FolderDifferingOnlyInLetterCaseIsAnotherFolder) {
    const std::vector<std::string> records = WriteCollection();
    Rename(Album(), Away());
    Touch(m_Folder / "music/album/a.mp3"); // "album" is not "Album" on this file system
    ASSERT_TRUE(OpenSongsDatabase(DbPath()));
    ASSERT_EQ(OfflineSongs.Count(), 2);
    ScanFolder(m_Folder / "music/album/");
    EXPECT_EQ(MasterSongs(), (std::vector<std::string>{"c.mp3 1", "a 0"}));
    EXPECT_EQ(OfflineSongs.Count(), 2) << "the songs of Album stay kept aside";
    Rename(Away(), Album());
    ScanFolder(Album());
    EXPECT_EQ(MasterSongs(),
              (std::vector<std::string>{"c.mp3 1", "a 0", "a.mp3 3 Rock Live", "b.mp3 7 Jazz"}));
    EXPECT_EQ(OfflineSongs.Count(), 0);
    FreeAllSongs();
    ASSERT_TRUE(OpenSongsDatabase(DbPath()));
    EXPECT_EQ(MasterSongList->Count(), 4);
}

} // namespace
