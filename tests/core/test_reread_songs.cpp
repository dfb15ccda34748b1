// Songs read again from their files: the re-read command's rule and its batch, cut at every
// write and on a full disk; and what a change in the watched folder does to the catalogue, told
// apart from the program's own writes.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "catalogue/unitFolderRefresh.h"
#include "catalogue/unitFolderScan.h"
#include "catalogue/unitReReadSongs.h"
#include "catalogue/unitSongActions.h"
#include "catalogue/unitSongUtils.h"
#include "catalogue/unitSongsDatabaseClass.h"
#include "support/recorded_writes.h"
#include "support/song_fixtures.h"
#include "util/unitUtils.h"

using namespace song_fixtures;

namespace {

/// Sets the file's last-modified time to the second since 1970 (nanoseconds too).
void SetFileTime(const std::string& path, time_t seconds, long nanoseconds = 0) {
    const timespec times[2] = {{0, UTIME_OMIT}, {seconds, nanoseconds}};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

/// A music folder scanned into a fresh catalogue; songs looked up by file name.
class SongsReadAgain : public ::testing::Test {
protected:
    void SetUp() override {
        ForgetOwnFileWrites();
        std::filesystem::create_directory(m_Folder / "music");
    }
    void TearDown() override { FreeAllSongs(); }

    std::string Music(const std::string& name) const { return m_Folder / ("music/" + name); }
    std::string Catalogue() const { return m_Folder / "DB.txt"; }

    /// A file of the audio size with an ID3v1 tag of title and artist (none when both are
    /// empty), dated at the second.
    std::string WriteSong(const std::string& name, const std::string& title,
                          const std::string& artist, size_t audio = 300, time_t date = 1'000'000) {
        const std::string path = Music(name);
        const bool tagged = !title.empty() || !artist.empty();
        WriteBytes(path, Mp3Bytes(audio, tagged ? TagBlock(title, artist, "LP", "1999", "c") : ""));
        SetFileTime(path, date);
        return path;
    }
    /// Loads the catalogue anew and scans the music folder.
    void LoadAndScan() {
        FreeAllSongs();
        ASSERT_TRUE(OpenSongsDatabase(Catalogue()));
        ScanFolder(m_Folder / "music/");
    }
    cSongInfo* Song(const std::string& name) const {
        for (cSongInfo* song : MasterSongList->Items()) {
            if (song != nullptr && song->FileName() == Music(name)) {
                return song;
            }
        }
        return nullptr;
    }
    /// Each song after a fresh load as "title|artist|size|views|groups" by file name; a song
    /// met twice fails the test.
    std::map<std::string, std::string> OnDisk() {
        FreeAllSongs();
        EXPECT_TRUE(OpenSongsDatabase(Catalogue()));
        std::map<std::string, std::string> songs;
        for (const cSongInfo* song : MasterSongList->Items()) {
            std::string groups;
            for (const std::string& group : song->Groups) {
                groups += group + ",";
            }
            const std::string entry =
                std::string(song->Title()) + "|" + std::string(song->Author()) + "|" +
                std::to_string(song->Size) + "|" + std::to_string(song->Views) + "|" + groups;
            EXPECT_TRUE(songs.emplace(FileNamePart(song->FileName()), entry).second)
                << song->FileName();
        }
        return songs;
    }

    cTempFolder m_Folder;
    cMessageRecorder m_Messages;
};

TEST_F(SongsReadAgain, TextsSizeAndDateComeFromTheFileViewsAndGroupsStayGoneFilesAreNamed) {
    WriteSong("retagged.mp3", "Old title", "Old artist");
    WriteSong("Untagged_Band - Now_Named.mp3", "Tagged once", "Someone");
    WriteSong("same.mp3", "Same", "Band");
    WriteSong("gone.mp3", "Gone", "Band");
    LoadAndScan();
    for (cSongInfo* song : MasterSongList->Items()) {
        song->Views = 7;
        song->Groups = {"Kept"};
    }
    ASSERT_TRUE(UpdateSongsInCatalogue(MasterSongList->Items()));

    // Other programs change three files and delete one.
    WriteSong("retagged.mp3", "New title", "New artist", 500, 2'000'000);
    WriteSong("Untagged_Band - Now_Named.mp3", "", "", 300, 2'000'001);
    std::remove(Music("gone.mp3").c_str());
    const int64_t sizeBefore = SongsDatabase->GetSize();
    const std::vector<cSongInfo*> songs = {Song("retagged.mp3"),
                                           Song("Untagged_Band - Now_Named.mp3"), Song("same.mp3"),
                                           Song("gone.mp3"), Song("same.mp3")};
    const cReReadResult result = ReReadSongs(songs);

    EXPECT_TRUE(result.Stored);
    EXPECT_EQ(result.Changed, (std::vector<cSongInfo*>{songs[0], songs[1]}));
    EXPECT_EQ(SongsDatabase->GetSize() - sizeBefore,
              int64_t(songs[0]->RecordLength + songs[1]->RecordLength + 10))
        << "only the changed songs are written";
    const cSongInfo& retagged = *songs[0];
    EXPECT_EQ(retagged.Title(), "New title");
    EXPECT_EQ(retagged.Album(), "LP");
    EXPECT_EQ(retagged.Year(), "1999");
    EXPECT_EQ(retagged.Size, 628);
    EXPECT_EQ(retagged.Date, DateTimeFromUnixTime(2'000'000));
    EXPECT_EQ(songs[1]->Author(), "Untagged Band") << "no tag: the file name's rule";
    EXPECT_EQ(songs[1]->Title(), "Now Named");
    EXPECT_EQ(songs[1]->Album(), "");
    ASSERT_EQ(result.Unread.size(), 1u);
    EXPECT_EQ(result.Unread[0], Music("gone.mp3") + " (No such file or directory)");
    EXPECT_EQ(songs[3]->Title(), "Gone") << "a gone file keeps its song";
    EXPECT_TRUE(m_Messages.Messages().empty()) << "the window tells the user";
    const std::string message = UnreadFilesMessage(result.Unread);
    EXPECT_EQ(message, std::string(kUnreadFilesMessage) + "\n" + result.Unread[0]);

    const std::map<std::string, std::string> expected = {
        {"retagged.mp3", "New title|New artist|628|7|Kept,"},
        {"Untagged_Band - Now_Named.mp3", "Now Named|Untagged Band|300|7|Kept,"},
        {"same.mp3", "Same|Band|428|7|Kept,"}};
    EXPECT_EQ(OnDisk(), expected) << "the gone file's song is dropped by the load, as ever";
}

// The batch's writes replayed one by one onto the catalogue as it was, cut inside every write
// and behind it: each load finds every song exactly once, old or new.
TEST_F(SongsReadAgain, TheBatchCutAtAnyWriteLeavesEachSongOldOrNewOnce) {
    for (const char* name : {"a.mp3", "b.mp3", "c.mp3"}) {
        WriteSong(name, std::string("Old ") + name, "X");
    }
    LoadAndScan();
    const std::string before = ReadBytes(Catalogue());
    for (const char* name : {"a.mp3", "c.mp3"}) {
        WriteSong(name, std::string("New ") + name, "X", 400, 3'000'000);
    }
    cRecordedWrites writes;
    {
        const cWriteRecorder recorder;
        ASSERT_EQ(ReReadSongs(MasterSongList->Items()).Changed.size(), 2u);
        writes = recorder.Writes();
    }
    const std::string after = ReadBytes(Catalogue());
    ASSERT_GE(writes.size(), 3u) << "the new copies, then a flag per old copy";

    int fullyNew = 0;
    const auto load = [&](const std::string& state) {
        WriteBytes(Catalogue(), state);
        const std::map<std::string, std::string> songs = OnDisk();
        ASSERT_EQ(songs.size(), 3u) << "cut at " << state.size();
        int renewed = 0;
        for (const auto& [name, entry] : songs) {
            const bool isNew = entry == "New " + name + "|X|528|0|";
            EXPECT_TRUE(isNew || entry == "Old " + name + "|X|428|0|") << entry;
            renewed += isNew;
        }
        EXPECT_TRUE(songs.at("b.mp3").starts_with("Old b.mp3"));
        fullyNew = renewed;
    };
    EXPECT_EQ(ForEachCrashState(before, writes, load), after);
    EXPECT_EQ(fullyNew, 2);
    EXPECT_TRUE(m_Messages.Messages().empty());
}

TEST_F(SongsReadAgain, ABatchTheDiskRefusesLeavesEverySongAsItWasAndIsReportedOnce) {
    WriteSong("a.mp3", "Old", "X");
    WriteSong("b.mp3", "Old", "X");
    LoadAndScan();
    const std::string before = ReadBytes(Catalogue());
    WriteSong("a.mp3", "New", "X", 900, 3'000'000);
    WriteSong("b.mp3", "New", "X", 900, 3'000'000);
    cReReadResult result;
    {
        const cFileSizeLimit full(static_cast<int64_t>(before.size()) + 40);
        result = ReReadSongs(MasterSongList->Items());
    }
    EXPECT_FALSE(result.Stored);
    EXPECT_TRUE(result.Changed.empty());
    ASSERT_EQ(m_Messages.Messages().size(), 1u);
    for (const char* name : {"a.mp3", "b.mp3"}) {
        EXPECT_EQ(Song(name)->Title(), "Old");
        EXPECT_EQ(Song(name)->Size, 428);
    }
    EXPECT_EQ(ReadBytes(Catalogue()), before);
}

// ---- the watched folder -------------------------------------------------------------------

/// What a refresh of the music folder for the names did, as "+name" for each song added and
/// "~name" for each read again.
std::vector<std::string> Refreshed(const std::string& folder, std::vector<std::string> names,
                                   bool allFiles = false) {
    const cFolderRefresh refresh = RefreshWatchedFolder(folder, names, allFiles);
    std::vector<std::string> done;
    for (const cSongInfo* song : refresh.Added) {
        EXPECT_EQ(MasterSongList->Get(song->MasterIndex), song);
        done.push_back("+" + std::string(FileNamePart(song->FileName())));
    }
    for (const cSongInfo* song : refresh.ReRead) {
        done.push_back("~" + std::string(FileNamePart(song->FileName())));
    }
    return done;
}

using Done = std::vector<std::string>;

TEST_F(SongsReadAgain, TheWatchedFolderFollowsOtherProgramsButNotTheProgramsOwnWrites) {
    WriteSong("known.mp3", "Known", "X");
    WriteSong("tagged here.mp3", "Mine", "X");
    WriteSong("renamed.mp3", "Mine", "X");
    LoadAndScan();
    const std::string folder = m_Folder / "music";

    WriteSong("new.mp3", "New", "X");
    WriteBytes(Music("notes.txt"), "not a song");
    EXPECT_EQ(Refreshed(folder, {"new.mp3", "notes.txt", "known.mp3"}), Done{"+new.mp3"})
        << "a name the catalogue knows, unchanged, is not read";
    EXPECT_EQ(Refreshed(folder, {"new.mp3"}), Done{}) << "known now";

    // Another program writes a tag in place and keeps the file's time: the size tells.
    const std::string known = Music("known.mp3");
    WriteBytes(known, Mp3Bytes(301, TagBlock("Retagged", "X", "", "", "")));
    SetFileTime(known, 1'000'000);
    EXPECT_EQ(Refreshed(folder, {"known.mp3"}), Done{"~known.mp3"});
    EXPECT_EQ(Song("known.mp3")->Title(), "Retagged");
    SetFileTime(known, 1'000'060);
    EXPECT_EQ(Refreshed(folder, {"known.mp3"}), Done{"~known.mp3"}) << "the time alone tells too";

    // The program's own tag write and tag removal (the time kept, the size not in the record)
    // and its rename are not read again ...
    cSongInfo& tagged = *Song("tagged here.mp3");
    const std::timespec keep{1'000'000, 0};
    SaveSongTag(tagged, {"Typed", "X", "", "", ""}, true, keep);
    EXPECT_EQ(Refreshed(folder, {"tagged here.mp3"}), Done{});
    ASSERT_TRUE(RemoveSongTag(Music("tagged here.mp3"), true, keep));
    EXPECT_EQ(Refreshed(folder, {"tagged here.mp3"}), Done{});
    EXPECT_EQ(tagged.Title(), "Typed") << "the record keeps what the editor wrote";
    cSongInfo& renamed = *Song("renamed.mp3");
    renamed.Size = 1; // as a record written long ago might say
    ASSERT_TRUE(RenameSong(renamed, eRenameColumn::kFileName, "moved", folder + "/"));
    EXPECT_EQ(Refreshed(folder, {"moved.mp3", "renamed.mp3"}), Done{});
    // ... until another program changes the file after them.
    SetFileTime(Music("tagged here.mp3"), 1'000'001);
    EXPECT_EQ(Refreshed(folder, {"tagged here.mp3"}), Done{"~tagged here.mp3"});
    EXPECT_EQ(tagged.Title(), "tagged here") << "the tag is gone: the file name's rule";

    // A tagger writes a copy and renames it over the file.
    WriteSong(".known.tmp", "Tagger", "X", 300, 4'000'000);
    ASSERT_EQ(std::rename(Music(".known.tmp").c_str(), known.c_str()), 0);
    EXPECT_EQ(Refreshed(folder, {"known.mp3"}), Done{"~known.mp3"});
    EXPECT_EQ(Song("known.mp3")->Title(), "Tagger");

    // Notices lost: every known song is looked at, and the folder scanned.
    WriteSong("known.mp3", "Lost notice", "X", 300, 5'000'000);
    WriteSong("late.mp3", "Late", "X");
    EXPECT_EQ(Refreshed(folder, {}, true), (Done{"+late.mp3", "~known.mp3"}));

    // A file deleted by another program keeps its song; a folder that went changes nothing.
    std::remove(known.c_str());
    EXPECT_EQ(Refreshed(folder, {"known.mp3"}), Done{});
    EXPECT_NE(Song("known.mp3"), nullptr);
    std::filesystem::remove_all(folder);
    EXPECT_EQ(Refreshed(folder, {"late.mp3", "other.mp3"}, true), Done{});
    EXPECT_TRUE(m_Messages.Messages().empty());
}

} // namespace
