// Loading the catalogue at start-up: the master song list, vanished files, duplicate copies,
// torn and damaged records, compaction and the exclusive open.

#include <sys/resource.h>

#include <csignal>

#include "catalogue/unitSongUtils.h"
#include "support/song_fixtures.h"

using namespace song_fixtures;

namespace {

const std::string kAnotherInstance =
    "Could not open the songs database, is another instance of this program still running? "
    "The exact error message: ";

class CatalogueLoad : public ::testing::Test {
protected:
    ~CatalogueLoad() override { FreeAllSongs(); }

    std::string DbPath() const { return m_Folder / "DB.txt"; }
    std::string TempPath() const { return DbPath() + ".tmp"; }

    /// The path of a song file in the music folder, which is there; the file is created
    /// unless `present` is false.
    std::string SongFile(const std::string& name, bool present = true) const {
        const std::string path = m_Folder / ("music/" + name);
        std::filesystem::create_directories(m_Folder / "music");
        if (present) {
            Touch(path);
        }
        return path;
    }

    /// A live record of an existing song file, with a little of everything in it.
    std::string LiveRecord(int number) const {
        cRecordFields f = Fields(SongFile("song " + std::to_string(number) + ".mp3"),
                                 "Title " + std::to_string(number));
        f.views = number;
        f.groupsText = number % 2 == 0 ? "Rock\r\nLive" : "";
        return Record(f);
    }

    std::vector<std::string> MasterTitles() const {
        std::vector<std::string> titles;
        for (const cSongInfo* song : *MasterSongList) {
            titles.emplace_back(song != nullptr ? song->Title() : "<empty>");
        }
        return titles;
    }

    cTempFolder m_Folder;
};

std::vector<std::string> Titles(int first, int last) {
    std::vector<std::string> titles;
    for (int i = first; i <= last; ++i) {
        titles.push_back("Title " + std::to_string(i));
    }
    return titles;
}

std::string DeletedRecord(const std::string& fileName) {
    return Record(Fields(fileName), 1);
}

TEST_F(CatalogueLoad, AbsentCatalogueIsCreatedEmptyAndFreedAgain) {
    cMessageRecorder recorder;
    ASSERT_TRUE(OpenSongsDatabase(DbPath()));
    ASSERT_NE(MasterSongList, nullptr);
    ASSERT_NE(SongsDatabase, nullptr);
    EXPECT_EQ(MasterSongList->Count(), 0);
    EXPECT_TRUE(PathExists(DbPath()));
    EXPECT_EQ(ReadBytes(DbPath()), "");
    EXPECT_FALSE(PathExists(TempPath()));
    EXPECT_TRUE(recorder.Messages().empty());
    FreeAllSongs();
    EXPECT_EQ(MasterSongList, nullptr);
    EXPECT_EQ(SongsDatabase, nullptr);
}

TEST_F(CatalogueLoad, SongsComeInFileOrderWithEveryField) {
    const std::string file =
        LiveRecord(1) + DeletedRecord("/gone.mp3") + LiveRecord(2) + LiveRecord(3) + LiveRecord(4);
    WriteBytes(DbPath(), file);
    ASSERT_TRUE(OpenSongsDatabase(DbPath()));
    EXPECT_EQ(MasterTitles(), Titles(1, 4));
    const cSongInfo* second = MasterSongList->Get(1);
    EXPECT_EQ(second->Views, 2);
    EXPECT_EQ(second->Groups, (std::vector<std::string>{"Rock", "Live"}));
    EXPECT_EQ(second->MasterIndex, 1);
    EXPECT_EQ(second->Position,
              static_cast<int64_t>((LiveRecord(1) + DeletedRecord("/gone.mp3")).size()));
    EXPECT_EQ(ReadBytes(DbPath()), file);
    // Appends go to the end of the file.
    cSongInfo* added = NewSongInfo();
    added->SetFileName(SongFile("new.mp3"));
    ASSERT_TRUE(SongsDatabase->AddSongEntry(*added));
    EXPECT_EQ(added->Position, static_cast<int64_t>(file.size()));
    MasterSongList->Add(added);
}

TEST_F(CatalogueLoad, RecordOfAVanishedFileIsFlaggedAndCounted) {
    const std::string missing = Record(Fields(SongFile("missing.mp3", false), "Gone"));
    const std::string before = LiveRecord(1);
    const std::string file = before + missing + LiveRecord(2) + LiveRecord(3);
    WriteBytes(DbPath(), file);
    ASSERT_TRUE(OpenSongsDatabase(DbPath()));
    EXPECT_EQ(MasterTitles(), Titles(1, 3));
    std::string expected = file;
    expected[before.size()] = '\x01';
    EXPECT_EQ(ReadBytes(DbPath()), expected); // 1 deleted, 3 live: no compaction

    // With one song fewer the same vanished file tips the balance: 1 × 2 >= 2.
    FreeAllSongs();
    WriteBytes(DbPath(), before + missing + LiveRecord(2));
    ASSERT_TRUE(OpenSongsDatabase(DbPath()));
    EXPECT_EQ(ReadBytes(DbPath()), before + LiveRecord(2));
    EXPECT_FALSE(PathExists(TempPath()));
}

TEST_F(CatalogueLoad, TenLiveAndFiveDeletedCompactToTheTenInOrder) {
    std::string file, live;
    for (int i = 1; i <= 10; ++i) {
        file += LiveRecord(i);
        live += LiveRecord(i);
        if (i % 2 == 0) {
            file += DeletedRecord("/old/" + std::to_string(i) + ".mp3");
        }
    }
    WriteBytes(DbPath(), file);
    std::vector<std::string> trace;
    SetTraceSink([&](std::string_view line) { trace.emplace_back(line); });
    const bool opened = OpenSongsDatabase(DbPath());
    SetTraceSink({});
    ASSERT_TRUE(opened);
    EXPECT_EQ(ReadBytes(DbPath()), live);
    EXPECT_FALSE(PathExists(TempPath()));
    EXPECT_EQ(MasterTitles(), Titles(1, 10));
    EXPECT_EQ(MasterSongList->Get(3)->Groups, (std::vector<std::string>{"Rock", "Live"}));
    EXPECT_EQ(MasterSongList->Get(9)->Position,
              static_cast<int64_t>(live.size() - LiveRecord(10).size()));
    const auto compacting = std::find(trace.begin(), trace.end(), "compacting: 2 flags coming up");
    ASSERT_LE(compacting + 3, trace.end());
    EXPECT_EQ(compacting[1], "10");
    EXPECT_EQ(compacting[2], "5");

    // The catalogue stays usable after the swap: a change lands in the new file.
    cSongInfo& first = *MasterSongList->Get(0);
    first.Views += 1;
    ASSERT_TRUE(SongsDatabase->RewriteSongEntry(first));
    FreeAllSongs();
    ASSERT_TRUE(OpenSongsDatabase(DbPath()));
    EXPECT_EQ(MasterSongList->Get(0)->Views, 2);
    EXPECT_EQ(MasterSongList->Count(), 10);
}

TEST_F(CatalogueLoad, ElevenLiveAndFiveDeletedStayAsTheyAre) {
    std::string file;
    for (int i = 1; i <= 11; ++i) {
        file += LiveRecord(i);
        if (i <= 5) {
            file += DeletedRecord("/old.mp3");
        }
    }
    WriteBytes(DbPath(), file);
    ASSERT_TRUE(OpenSongsDatabase(DbPath()));
    EXPECT_EQ(MasterSongList->Count(), 11);
    EXPECT_EQ(ReadBytes(DbPath()), file);
}

TEST_F(CatalogueLoad, OnlyDeletedRecordsNeverCompact) {
    const std::string file = DeletedRecord("/a.mp3") + DeletedRecord("/b.mp3") +
                             Record(Fields(SongFile("gone.mp3", false)));
    WriteBytes(DbPath(), file);
    ASSERT_TRUE(OpenSongsDatabase(DbPath()));
    EXPECT_EQ(MasterSongList->Count(), 0);
    std::string expected = file;
    expected[file.size() - Record(Fields(SongFile("gone.mp3", false))).size()] = '\x01';
    EXPECT_EQ(ReadBytes(DbPath()), expected);
}

TEST_F(CatalogueLoad, LeftoverTemporaryFileIsStartedAfresh) {
    const std::string file = LiveRecord(1) + DeletedRecord("/x.mp3") + LiveRecord(2);
    WriteBytes(DbPath(), file);
    WriteBytes(TempPath(), std::string(500, 'j'));
    ASSERT_TRUE(OpenSongsDatabase(DbPath()));
    EXPECT_EQ(ReadBytes(DbPath()), LiveRecord(1) + LiveRecord(2));
    EXPECT_FALSE(PathExists(TempPath()));
}

TEST_F(CatalogueLoad, CompactionThatCannotWriteLeavesTheCatalogueAsLoaded) {
    std::string file, live;
    for (int i = 1; i <= 10; ++i) {
        file += LiveRecord(i) + (i <= 5 ? DeletedRecord("/old.mp3") : "");
        live += LiveRecord(i);
    }
    WriteBytes(DbPath(), file);
    const std::string path = DbPath();
    const int code = RunInChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const auto limit = static_cast<rlim_t>(live.size() - 10);
        const rlimit small{limit, limit};
        if (::setrlimit(RLIMIT_FSIZE, &small) != 0) {
            return 10;
        }
        cMessageRecorder recorder;
        if (!OpenSongsDatabase(path) || MasterSongList->Count() != 10) {
            return 11;
        }
        if (recorder.Messages().size() != 1 ||
            !StartsWith(recorder.Messages()[0], "In cSongsDatabase.WriteSongEntry (): ")) {
            return 12;
        }
        // The songs still point into the old file: a change of song 6 lands there.
        cSongInfo& sixth = *MasterSongList->Get(5);
        sixth.Views = 0x66;
        return SongsDatabase->RewriteSongEntry(sixth) ? 0 : 13;
    });
    EXPECT_EQ(code, 0);
    EXPECT_FALSE(PathExists(TempPath()));
    cRecordFields sixth = Fields(SongFile("song 6.mp3"), "Title 6");
    sixth.views = 0x66;
    sixth.groupsText = "Rock\r\nLive";
    const std::string original6 = LiveRecord(6);
    std::string expected = file;
    expected.replace(file.find(original6), original6.size(), Record(sixth));
    EXPECT_EQ(ReadBytes(DbPath()), expected);
}

TEST_F(CatalogueLoad, CompactionFollowsALinkAndKeepsThePermissions) {
    const std::string file = LiveRecord(1) + DeletedRecord("/x.mp3") + LiveRecord(2);
    const std::string real = m_Folder / "elsewhere/songs.db";
    std::filesystem::create_directories(m_Folder / "elsewhere");
    WriteBytes(real, file);
    ASSERT_EQ(::chmod(real.c_str(), 0600), 0);
    ASSERT_EQ(::symlink(real.c_str(), DbPath().c_str()), 0);
    ASSERT_TRUE(OpenSongsDatabase(DbPath()));
    EXPECT_EQ(ReadBytes(real), LiveRecord(1) + LiveRecord(2));
    struct stat info {};
    ASSERT_EQ(::lstat(DbPath().c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    ASSERT_EQ(::stat(real.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    EXPECT_FALSE(PathExists(real + ".tmp"));
    EXPECT_FALSE(PathExists(TempPath()));
    // The reloaded catalogue is the replaced file: a change lands there.
    ASSERT_TRUE(SongsDatabase->AddSongEntry(*MasterSongList->Get(0)));
    EXPECT_EQ(ReadBytes(real), LiveRecord(1) + LiveRecord(2) + LiveRecord(1));
}

TEST_F(CatalogueLoad, FlagThatCannotBeWrittenIsReportedOnceAndTheLoadGoesOn) {
    std::string file;
    for (int i = 1; i <= 6; ++i) {
        file += LiveRecord(i);
    }
    const auto limit = static_cast<rlim_t>(file.size());
    // Two vanished files behind the size limit: their flags cannot be written.
    file += Record(Fields(SongFile("gone 1.mp3", false))) + LiveRecord(7) +
            Record(Fields(SongFile("gone 2.mp3", false)));
    WriteBytes(DbPath(), file);
    const std::string path = DbPath();
    EXPECT_EQ(RunInChild([&] {
                  std::signal(SIGXFSZ, SIG_IGN);
                  const rlimit small{limit, limit};
                  if (::setrlimit(RLIMIT_FSIZE, &small) != 0) {
                      return 10;
                  }
                  cMessageRecorder recorder;
                  if (!OpenSongsDatabase(path) || MasterSongList->Count() != 7) {
                      return 11;
                  }
                  if (recorder.Messages() !=
                      std::vector<std::string>{"In OpenSongsDatabase (): 'Could not write \"" +
                                               path + "\": File too large'"}) {
                      return 12;
                  }
                  return 0;
              }),
              0);
    EXPECT_EQ(ReadBytes(DbPath()), file);
}

TEST_F(CatalogueLoad, CompactSongsDatabaseReplacesTheFileAndFreesEverything) {
    const std::string file = LiveRecord(1) + LiveRecord(2) + LiveRecord(3);
    WriteBytes(DbPath(), file);
    ASSERT_TRUE(OpenSongsDatabase(DbPath()));
    // A song deleted by the user leaves an empty slot, which compaction skips.
    DisposeSongInfo(MasterSongList->Get(1));
    MasterSongList->Put(1, nullptr);
    CompactSongsDatabase(DbPath());
    EXPECT_EQ(MasterSongList, nullptr);
    EXPECT_EQ(SongsDatabase, nullptr);
    EXPECT_EQ(ReadBytes(DbPath()), LiveRecord(1) + LiveRecord(3));
    EXPECT_FALSE(PathExists(TempPath()));
}

TEST_F(CatalogueLoad, LaterOfTwoLiveCopiesWins) {
    // An update interrupted between its append and its flag leaves two live copies.
    cRecordFields old = Fields(SongFile("twice.mp3"), "Old title");
    cRecordFields renewed = old;
    renewed.title = "New title";
    renewed.views = 9;
    const std::string oldCopy = Record(old);
    const std::string file =
        oldCopy + LiveRecord(1) + LiveRecord(2) + LiveRecord(3) + Record(renewed);
    WriteBytes(DbPath(), file);
    ASSERT_TRUE(OpenSongsDatabase(DbPath()));
    EXPECT_EQ(MasterTitles(),
              (std::vector<std::string>{"Title 1", "Title 2", "Title 3", "New title"}));
    EXPECT_EQ(MasterSongList->Get(3)->Views, 9);
    EXPECT_EQ(ReadBytes(DbPath()), "\x01" + file.substr(1));

    // The earlier copy counts as deleted: with two songs beside it the file is compacted.
    FreeAllSongs();
    WriteBytes(DbPath(), oldCopy + LiveRecord(1) + Record(renewed));
    ASSERT_TRUE(OpenSongsDatabase(DbPath()));
    EXPECT_EQ(ReadBytes(DbPath()), LiveRecord(1) + Record(renewed));
}

TEST_F(CatalogueLoad, CopiesAreMatchedIgnoringTheCaseOfAToZOnly) {
    const std::string lower = Record(Fields(SongFile("abc.mp3"), "lower"));
    const std::string upper = Record(Fields(SongFile("ABC.MP3"), "upper"));
    const std::string accentLower = Record(Fields(SongFile("\xe9t\xe9.mp3"), "accent lower"));
    const std::string accentUpper = Record(Fields(SongFile("\xc9t\xe9.mp3"), "accent upper"));
    const std::string file =
        lower + accentLower + accentUpper + LiveRecord(1) + LiveRecord(2) + LiveRecord(3) + upper;
    WriteBytes(DbPath(), file);
    ASSERT_TRUE(OpenSongsDatabase(DbPath()));
    EXPECT_EQ(MasterTitles(), (std::vector<std::string>{"accent lower", "accent upper", "Title 1",
                                                        "Title 2", "Title 3", "upper"}));
    EXPECT_EQ(ReadBytes(DbPath()), "\x01" + file.substr(1));
}

/// A catalogue of three whole songs followed by a fourth whose end is cut off at every
/// possible byte: each load keeps the whole songs, drops the torn one, and a song appended
/// afterwards is read back by the next load.
TEST_F(CatalogueLoad, TornLastRecordIsCutOffAtEveryLength) {
    const std::string whole = LiveRecord(1) + LiveRecord(2) + LiveRecord(3);
    cRecordFields lastFields = Fields(SongFile("last.mp3"), "Last");
    lastFields.comment = "comment";
    lastFields.groupsText = "Rock\r\nLive";
    for (const uint8_t flag : {0, 1}) {
        const std::string last = Record(lastFields, flag);
        for (size_t kept = 1; kept < last.size(); ++kept) {
            SCOPED_TRACE("flag " + std::to_string(flag) + ", " + std::to_string(kept) + " of " +
                         std::to_string(last.size()) + " bytes");
            const std::string file = whole + last.substr(0, kept);
            WriteBytes(DbPath(), file);
            cMessageRecorder recorder;
            ASSERT_TRUE(OpenSongsDatabase(DbPath()));
            EXPECT_TRUE(recorder.Messages().empty());
            // Lacking only its closing CR LF, a live record is whole and is completed instead.
            const bool stillWhole = flag == 0 && kept >= last.size() - 2;
            std::vector<std::string> expected = Titles(1, 3);
            if (stillWhole) {
                expected.push_back("Last");
            }
            ASSERT_EQ(MasterTitles(), expected);
            EXPECT_EQ(ReadBytes(DbPath()), stillWhole ? whole + last : whole);

            cSongInfo* added = NewSongInfo();
            added->SetTexts(SongFile("added.mp3"), "Added", "", "", "", "");
            MasterSongList->Add(added);
            ASSERT_TRUE(SongsDatabase->AddSongEntry(*added));
            FreeAllSongs();
            ASSERT_TRUE(OpenSongsDatabase(DbPath()));
            expected.push_back("Added");
            EXPECT_EQ(MasterTitles(), expected);
            EXPECT_TRUE(recorder.Messages().empty());
            FreeAllSongs();
        }
    }
}

TEST_F(CatalogueLoad, DamageInTheMiddleStopsTheLoadAndTouchesNothing) {
    const std::string first = LiveRecord(1);
    // Deleted records before the damage would make a compaction due: 1 live, 1 deleted.
    const std::string before = first + DeletedRecord("/old.mp3");
    const std::string after = LiveRecord(3) + LiveRecord(4);
    std::string countBeyondFile = LiveRecord(2);
    countBeyondFile.replace(5, 4, U32(0x7FFFFFF0u));
    std::string countBeyondRecord = LiveRecord(2);
    countBeyondRecord.replace(5, 4, U32(static_cast<uint32_t>(countBeyondRecord.size())));
    std::string lengthBeyondFile = LiveRecord(2);
    lengthBeyondFile.replace(1, 4, U32(0xFFFFFF00u));
    // Lengths that disagree with the fields: once flagged, such a record would be skipped by
    // its length into the middle of the records behind it.
    std::string lengthBeyondFields = LiveRecord(2);
    lengthBeyondFields.replace(1, 4, U32(static_cast<uint32_t>(lengthBeyondFields.size() - 5 + 7)));
    std::string lengthShortOfFields = LiveRecord(2);
    lengthShortOfFields.replace(1, 4,
                                U32(static_cast<uint32_t>(lengthShortOfFields.size() - 5 - 2)));
    std::string deletedBeyondFile = DeletedRecord("/old.mp3");
    deletedBeyondFile.replace(1, 4, U32(100000));
    const std::pair<const char*, std::string> cases[] = {
        {"text count beyond the file", countBeyondFile},
        {"text count beyond the record", countBeyondRecord},
        {"record length beyond the file", lengthBeyondFile},
        {"record length beyond its fields", lengthBeyondFields},
        {"record length short of its fields", lengthShortOfFields},
        {"deleted record reaching beyond the file over later records", deletedBeyondFile},
    };
    for (const auto& [what, damaged] : cases) {
        SCOPED_TRACE(what);
        const std::string file = before + damaged + after;
        WriteBytes(DbPath(), file);
        cMessageRecorder recorder;
        ASSERT_TRUE(OpenSongsDatabase(DbPath()));
        ASSERT_EQ(recorder.Messages().size(), 1u);
        EXPECT_TRUE(StartsWith(recorder.Messages()[0],
                               "In cSongsDatabase.ReadNextSong (): 'Damaged record at offset " +
                                   std::to_string(before.size()) + " "))
            << recorder.Messages()[0];
        EXPECT_EQ(MasterTitles(), Titles(1, 1));
        EXPECT_EQ(ReadBytes(DbPath()), file);
        EXPECT_FALSE(PathExists(TempPath()));
        FreeAllSongs();
    }
}

TEST_F(CatalogueLoad, LastRecordsThatCannotBeTornAppendsAreDamage) {
    // Far longer than any song's record, with a count running to the end of the file.
    std::string implausible = LiveRecord(2);
    implausible.replace(1, 4, U32(2 * 1024 * 1024));
    implausible.replace(5, 4, U32(2 * 1024 * 1024 - 100));
    // Cut in its closing CR LF, but the byte that is there is no CR.
    std::string wrongClosing = LiveRecord(2);
    wrongClosing.resize(wrongClosing.size() - 1);
    wrongClosing.back() = 'X';
    for (const std::string& last : {implausible, wrongClosing}) {
        const std::string file = LiveRecord(1) + last;
        WriteBytes(DbPath(), file);
        cMessageRecorder recorder;
        ASSERT_TRUE(OpenSongsDatabase(DbPath()));
        EXPECT_EQ(recorder.Messages().size(), 1u);
        EXPECT_EQ(MasterTitles(), Titles(1, 1));
        EXPECT_EQ(ReadBytes(DbPath()), file);
        FreeAllSongs();
    }
}

TEST_F(CatalogueLoad, SecondInstanceIsRefusedAndLeavesTheFileAlone) {
    const std::string file =
        LiveRecord(1) + DeletedRecord("/old.mp3") + Record(Fields(SongFile("gone.mp3", false)));
    WriteBytes(DbPath(), file);
    int ready[2], release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    const std::string path = DbPath();
    const pid_t holder = ::fork();
    if (holder == 0) {
        cSongsDatabase db;
        db.Open(path);
        char byte = 1;
        (void)!::write(ready[1], &byte, 1);
        (void)!::read(release[0], &byte, 1);
        ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);

    cMessageRecorder recorder;
    EXPECT_FALSE(OpenSongsDatabase(DbPath()));
    ASSERT_EQ(recorder.Messages().size(), 1u);
    EXPECT_EQ(recorder.Messages()[0], kAnotherInstance + "'Could not lock \"" + DbPath() +
                                          "\": Resource temporarily unavailable'");
    EXPECT_EQ(MasterSongList, nullptr);
    EXPECT_EQ(SongsDatabase, nullptr);
    EXPECT_EQ(ReadBytes(DbPath()), file);

    ASSERT_EQ(::write(release[1], &byte, 1), 1);
    int status = 0;
    ::waitpid(holder, &status, 0);
    for (int fd : {ready[0], ready[1], release[0], release[1]}) {
        ::close(fd);
    }
    // Once the first copy is gone the catalogue opens (and now compacts: 1 live, 2 deleted).
    EXPECT_TRUE(OpenSongsDatabase(DbPath()));
    EXPECT_EQ(ReadBytes(DbPath()), LiveRecord(1));
}

TEST_F(CatalogueLoad, SecondOpenInTheSameProcessIsRefusedToo) {
    WriteBytes(DbPath(), LiveRecord(1));
    cSongsDatabase holder;
    holder.Open(DbPath());
    cMessageRecorder recorder;
    EXPECT_FALSE(OpenSongsDatabase(DbPath()));
    ASSERT_EQ(recorder.Messages().size(), 1u);
    EXPECT_EQ(recorder.Messages()[0], kAnotherInstance + "'Could not lock \"" + DbPath() +
                                          "\": Resource temporarily unavailable'");
    EXPECT_EQ(ReadBytes(DbPath()), LiveRecord(1));
}

} // namespace
