// Loading the catalogue at start-up: the master song list, vanished files, duplicate copies,
// torn and damaged records, compaction and the exclusive open.

#include <sys/resource.h>

#include <csignal>
#include <fstream>
#include <set>

#include "catalogue/unitOfflineSongs.h"
#include "catalogue/unitSongActions.h"
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

/// The address space this process takes now (VmSize), in bytes.
[[maybe_unused]] size_t VirtualMemoryInUse() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (StartsWith(line, "VmSize:")) {
            return static_cast<size_t>(std::stoull(line.substr(7))) * 1024;
        }
    }
    return 0;
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
    // The folder keeps another file: an empty one would be a drive's mount point, whose songs
    // are kept aside rather than deleted.
    Touch(m_Folder / "music/cover.jpg");
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

TEST_F(CatalogueLoad, DanglingLinkIsRefusedAndItsTargetNeverCreated) {
    // A target missing from an existing folder, and one in a folder that is not there (a
    // drive that is not plugged in).
    for (const std::string& target : {m_Folder / "elsewhere.db", m_Folder / "unplugged/DB.txt"}) {
        ASSERT_EQ(::symlink(target.c_str(), DbPath().c_str()), 0);
        cMessageRecorder recorder;
        EXPECT_FALSE(OpenSongsDatabase(DbPath()));
        EXPECT_EQ(recorder.Messages(),
                  std::vector<std::string>{kAnotherInstance + "'Could not open \"" + DbPath() +
                                           "\": it is a link to a file that does not exist'"});
        EXPECT_EQ(MasterSongList, nullptr);
        EXPECT_FALSE(PathExists(target)) << "the link's target is not created";
        struct stat entry {};
        EXPECT_EQ(::lstat(DbPath().c_str(), &entry), 0);
        EXPECT_TRUE(S_ISLNK(entry.st_mode)) << "the link stays as it was";
        ::unlink(DbPath().c_str());
    }
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

/// Three live copies of one file, wherever it lies: in a folder of many songs (which the
/// check lists), in a folder of few (which it examines path by path), and on a drive that is
/// not plugged in: the last copy stays, the two before it are flagged deleted.
TEST_F(CatalogueLoad, OnlyTheLastOfThreeCopiesStaysWhereverTheFileLies) {
    const struct {
        const char* name;
        int neighbours; // other songs in the same folder
        bool plugged;
    } cases[] = {{"many", 12, true}, {"few", 1, true}, {"unplugged", 12, false}};
    for (const auto& c : cases) {
        const std::string folder = m_Folder / (std::string("music/") + c.name);
        const auto path = [&](const std::string& file) {
            const std::string full = (c.plugged ? folder : folder + "-away") + "/" + file;
            if (c.plugged) {
                Touch(full);
            }
            return full;
        };
        std::string file;
        std::vector<int64_t> copies;
        for (int copy = 1; copy <= 3; ++copy) {
            cRecordFields f = Fields(path("thrice.mp3"), "Thrice");
            f.views = copy;
            copies.push_back(static_cast<int64_t>(file.size()));
            file += Record(f);
            for (int i = 0; i < c.neighbours; ++i) {
                if (copy == 1 || i % 4 == 0) {
                    file += Record(
                        Fields(path(std::to_string(copy) + "-" + std::to_string(i)), "Other"));
                }
            }
        }
        WriteBytes(DbPath(), file);
        ASSERT_TRUE(OpenSongsDatabase(DbPath())) << c.name;
        std::vector<cSongInfo*> songs = MasterSongList->Items();
        for (cSongInfo* kept : OfflineSongs.InFileOrder()) {
            songs.push_back(kept);
        }
        const auto thrice = std::count_if(songs.begin(), songs.end(), [](const cSongInfo* song) {
            return song->Title() == "Thrice";
        });
        EXPECT_EQ(thrice, 1) << c.name;
        for (const cSongInfo* song : songs) {
            if (song->Title() == "Thrice") {
                EXPECT_EQ(song->Views, 3) << c.name;
            }
        }
        const std::string after = ReadBytes(DbPath());
        if (after.size() == file.size()) { // not compacted: the flags are there
            EXPECT_EQ(after[static_cast<size_t>(copies[0])], '\x01') << c.name;
            EXPECT_EQ(after[static_cast<size_t>(copies[1])], '\x01') << c.name;
            EXPECT_EQ(after[static_cast<size_t>(copies[2])], '\x00') << c.name;
        }
        FreeAllSongs();
    }
}

TEST_F(CatalogueLoad, NamesDifferingOnlyInLetterCaseAreDifferentSongs) {
    // Three files on a case-sensitive file system, each with its opening count and groups.
    std::string file;
    for (const char* name : {"Intro.mp3", "intro.mp3", "INTRO.MP3"}) {
        cRecordFields f = Fields(SongFile(name), name);
        f.views = 3;
        f.groupsText = "Live";
        file += Record(f);
    }
    file += LiveRecord(1);
    WriteBytes(DbPath(), file);
    for (int start = 1; start <= 2; ++start) {
        ASSERT_TRUE(OpenSongsDatabase(DbPath()));
        EXPECT_EQ(MasterTitles(),
                  (std::vector<std::string>{"Intro.mp3", "intro.mp3", "INTRO.MP3", "Title 1"}));
        EXPECT_EQ(MasterSongList->Get(2)->Views, 3);
        EXPECT_EQ(ReadBytes(DbPath()), file);
        FreeAllSongs();
    }
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

TEST_F(CatalogueLoad, DamagedRecordIsSetAsideAndEveryWholeRecordAroundItIsKept) {
    const std::string first = LiveRecord(1);
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
    // Longer than any path the system accepts, though its lengths agree.
    cRecordFields longName = Fields(std::string(kLongestSongText + 1, 'n'), "Title 2");
    const std::pair<const char*, std::string> cases[] = {
        {"text count beyond the file", countBeyondFile},
        {"text count beyond the record", countBeyondRecord},
        {"record length beyond the file", lengthBeyondFile},
        {"record length beyond its fields", lengthBeyondFields},
        {"record length short of its fields", lengthShortOfFields},
        {"deleted record reaching beyond the file over later records", deletedBeyondFile},
        {"file name longer than a path", Record(longName)},
    };
    for (const auto& [what, damaged] : cases) {
        SCOPED_TRACE(what);
        const std::string file = before + damaged + after;
        WriteBytes(DbPath(), file);
        cMessageRecorder recorder;
        ASSERT_TRUE(OpenSongsDatabase(DbPath()));
        EXPECT_EQ(MasterTitles(), (std::vector<std::string>{"Title 1", "Title 3", "Title 4"}));
        // The damaged file as found lies beside the clean one, and the user is told once.
        const std::vector<std::string> entries = m_Folder.Entries();
        const auto copy = std::find_if(entries.begin(), entries.end(), [](const std::string& name) {
            return StartsWith(name, "DB.txt.damaged-");
        });
        ASSERT_NE(copy, entries.end());
        EXPECT_EQ(ReadBytes(m_Folder / *copy), file);
        ASSERT_EQ(recorder.Messages().size(), 1u);
        EXPECT_EQ(recorder.Messages()[0],
                  "The songs database \"" + DbPath() + "\" is damaged: " +
                      std::to_string(damaged.size()) + " bytes could not be read, the first at " +
                      "offset " + std::to_string(before.size()) +
                      ". Every song that could be read has been kept, and a copy of the damaged " +
                      "file was saved as \"" + (m_Folder / *copy) + "\".");
        const std::string clean = first + after;
        EXPECT_EQ(ReadBytes(DbPath()), clean);
        EXPECT_FALSE(PathExists(TempPath()));

        // What is done to a song from behind the damage lasts, and the file stops growing.
        cSongInfo& third = *MasterSongList->Get(1);
        third.Views = 70;
        ASSERT_TRUE(SongsDatabase->RewriteSongEntry(third));
        FreeAllSongs();
        ASSERT_TRUE(OpenSongsDatabase(DbPath()));
        EXPECT_EQ(recorder.Messages().size(), 1u);
        EXPECT_EQ(MasterSongList->Get(1)->Views, 70);
        EXPECT_EQ(ReadBytes(DbPath()).size(), clean.size());
        FreeAllSongs();
        ::unlink((m_Folder / *copy).c_str());
    }
}

TEST_F(CatalogueLoad, DamagedLastRecordsAreCutOffAfterACopyIsKept) {
    // Far longer than any song's record, with a count running to the end of the file.
    std::string implausible = LiveRecord(2);
    implausible.replace(1, 4, U32(2 * 1024 * 1024));
    implausible.replace(5, 4, U32(2 * 1024 * 1024 - 100));
    // Cut in its closing CR LF, but the byte that is there is no CR.
    std::string wrongClosing = LiveRecord(2);
    wrongClosing.resize(wrongClosing.size() - 1);
    wrongClosing.back() = 'X';
    for (const std::string& last : {implausible, wrongClosing}) {
        WriteBytes(DbPath(), LiveRecord(1) + last);
        cMessageRecorder recorder;
        ASSERT_TRUE(OpenSongsDatabase(DbPath()));
        EXPECT_EQ(recorder.Messages().size(), 1u);
        EXPECT_EQ(MasterTitles(), Titles(1, 1));
        EXPECT_EQ(ReadBytes(DbPath()), LiveRecord(1));
        EXPECT_EQ(m_Folder.Entries().size(), 3u); // DB.txt, its damaged copy, music
        FreeAllSongs();
        std::filesystem::remove_all(m_Folder / "music");
        for (const std::string& name : m_Folder.Entries()) {
            ::unlink((m_Folder / name).c_str());
        }
    }
}

/// A record claiming a file name of 3.75 GiB (all of it a hole) and a 64 GiB hole at the end:
/// neither is read nor held in memory, and the songs around them are kept.
TEST_F(CatalogueLoad, HugeSparseCatalogueIsRepairedWithoutReadingItsHoles) {
    constexpr uint32_t kHugeName = 0xF0000000u;
    const std::string head = LiveRecord(1);
    const std::string bogusHeader = std::string(1, '\0') + U32(kHugeName + 48) + U32(kHugeName);
    const std::string bogusTail = Text("") + Text("") + Text("") + Text("") + Text("") +
                                  std::string(16, '\0') + "\r\n" + Text("") + "\r\n";
    const std::string tail = LiveRecord(3);
    const int64_t tailAt = static_cast<int64_t>(head.size() + bogusHeader.size()) + kHugeName;
    const int64_t fileSize = 64LL << 30;
    {
        cFileHandle fd(::open(DbPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
        ASSERT_TRUE(fd.IsOpen());
        ASSERT_EQ(
            ::pwrite(fd.Get(), (head + bogusHeader).data(), head.size() + bogusHeader.size(), 0),
            static_cast<ssize_t>(head.size() + bogusHeader.size()));
        const std::string rest = bogusTail + tail;
        ASSERT_EQ(::pwrite(fd.Get(), rest.data(), rest.size(), tailAt),
                  static_cast<ssize_t>(rest.size()));
        ASSERT_EQ(::ftruncate(fd.Get(), fileSize), 0);
    }
    cMessageRecorder recorder;
    ASSERT_TRUE(OpenSongsDatabase(DbPath()));
    EXPECT_EQ(MasterTitles(), (std::vector<std::string>{"Title 1", "Title 3"}));
    ASSERT_EQ(recorder.Messages().size(), 1u);
    const int64_t lost = fileSize - static_cast<int64_t>(head.size() + tail.size());
    EXPECT_NE(recorder.Messages()[0].find(std::to_string(lost) + " bytes could not be read"),
              std::string::npos)
        << recorder.Messages()[0];
    EXPECT_EQ(ReadBytes(DbPath()), head + tail);
    struct stat copy {};
    const std::vector<std::string> entries = m_Folder.Entries();
    ASSERT_EQ(::stat((m_Folder / entries[1]).c_str(), &copy), 0) << entries[1];
    EXPECT_EQ(copy.st_size, fileSize);
}

TEST_F(CatalogueLoad, RepairThatCannotBeWrittenLeavesTheFileAsFoundAndEndsTheStart) {
    std::string damaged = LiveRecord(2);
    damaged.replace(5, 4, U32(0x7FFFFFF0u));
    const std::string file = LiveRecord(1) + damaged + LiveRecord(3);
    WriteBytes(DbPath(), file);
    const std::string path = DbPath();
    EXPECT_EQ(RunInChild([&] {
                  std::signal(SIGXFSZ, SIG_IGN);
                  const rlimit small{10, 10};
                  if (::setrlimit(RLIMIT_FSIZE, &small) != 0) {
                      return 10;
                  }
                  cMessageRecorder recorder;
                  if (OpenSongsDatabase(path) || MasterSongList != nullptr) {
                      return 11;
                  }
                  const std::vector<std::string>& messages = recorder.Messages();
                  return !messages.empty() && messages.back().find("left as it is and the program "
                                                                   "ends") != std::string::npos
                             ? 0
                             : 12;
              }),
              0);
    EXPECT_EQ(ReadBytes(DbPath()), file);
    EXPECT_EQ(m_Folder.Entries(), (std::vector<std::string>{"DB.txt", "music"}));
}

/// Not enough memory for the songs: one message and a start that ends, never an abort, and the
/// file as it was (a repair or a compaction would lose the songs not read).
TEST_F(CatalogueLoad, LoadThatRunsOutOfMemoryEndsTheStartAndWritesNothing) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit allows";
#else
    std::string file;
    for (int i = 0; i < 6000; ++i) {
        file += Record(Fields(SongFile("same.mp3"), std::string(4000, 't')));
    }
    WriteBytes(DbPath(), file);
    const std::string path = DbPath();
    EXPECT_EQ(RunInChild([&] {
                  rlimit limit{};
                  ::getrlimit(RLIMIT_AS, &limit);
                  limit.rlim_cur = static_cast<rlim_t>(VirtualMemoryInUse()) + (8u << 20);
                  if (::setrlimit(RLIMIT_AS, &limit) != 0) {
                      return 10;
                  }
                  cMessageRecorder recorder;
                  if (OpenSongsDatabase(path) || MasterSongList != nullptr) {
                      return 11;
                  }
                  return recorder.Messages().size() == 1 &&
                                 recorder.Messages()[0].find("not enough memory") !=
                                     std::string::npos
                             ? 0
                             : 12;
              }),
              0);
    EXPECT_EQ(ReadBytes(DbPath()), file);
#endif
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

TEST_F(CatalogueLoad, LinkPlantedAtTheTemporaryPathIsRemovedNotFollowed) {
    const std::string victim = m_Folder / "victim.conf";
    WriteBytes(victim, "precious");
    ASSERT_EQ(::chmod(victim.c_str(), 0640), 0);
    ASSERT_EQ(::symlink(victim.c_str(), TempPath().c_str()), 0);
    ASSERT_EQ(::chmod(m_Folder.Path().c_str(), 0755), 0);
    WriteBytes(DbPath(), LiveRecord(1) + DeletedRecord("/x.mp3") + LiveRecord(2));
    ASSERT_EQ(::chmod(DbPath().c_str(), 0604), 0);
    ASSERT_TRUE(OpenSongsDatabase(DbPath())); // compacts: 2 live, 1 deleted
    EXPECT_EQ(ReadBytes(DbPath()), LiveRecord(1) + LiveRecord(2));
    EXPECT_EQ(ReadBytes(victim), "precious");
    struct stat info {};
    ASSERT_EQ(::stat(victim.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    ASSERT_EQ(::stat(DbPath().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0604u);
    EXPECT_FALSE(PathExists(TempPath()));
}

/// A second copy that opened DB.txt just before the first one's compaction renamed the new
/// file over it must not lock the old, unlinked file and run beside the first.
TEST_F(CatalogueLoad, SecondCopyHeldBetweenOpenAndLockWhileTheFirstCompactsIsRefused) {
    WriteBytes(DbPath(), LiveRecord(1) + DeletedRecord("/x.mp3") + LiveRecord(2));
    static int opened[2];
    static int proceed[2];
    ASSERT_EQ(::pipe(opened), 0);
    ASSERT_EQ(::pipe(proceed), 0);
    const std::string path = DbPath();
    const pid_t second = ::fork();
    if (second == 0) {
        CatalogueOpenedBeforeLock = [](const std::string&) {
            CatalogueOpenedBeforeLock = nullptr; // hold only the first open
            char byte = 1;
            (void)!::write(opened[1], &byte, 1);
            (void)!::read(proceed[0], &byte, 1);
        };
        cMessageRecorder recorder;
        const bool started = OpenSongsDatabase(path);
        const bool refused = !started && recorder.Messages().size() == 1 &&
                             StartsWith(recorder.Messages()[0], kAnotherInstance);
        ::_exit(refused ? 0 : started ? 1 : 2);
    }
    char byte = 0;
    ASSERT_EQ(::read(opened[0], &byte, 1), 1); // the second copy holds the old file, unlocked
    ASSERT_TRUE(OpenSongsDatabase(DbPath()));  // the first compacts and locks the new file
    EXPECT_EQ(ReadBytes(DbPath()), LiveRecord(1) + LiveRecord(2));
    ASSERT_EQ(::write(proceed[1], &byte, 1), 1);
    int status = 0;
    ASSERT_EQ(::waitpid(second, &status, 0), second);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    for (int fd : {opened[0], opened[1], proceed[0], proceed[1]}) {
        ::close(fd);
    }
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

// ---- the storage of loaded songs ----------------------------------------------------------

/// The songs read at start-up lie in the master list's storage, which goes with the master
/// list: a song changed in between keeps its change through a compaction, a copy taken of a
/// song outlives the storage, a song deleted by the user is not ended twice, and a catalogue
/// of more records than the storage expected from its size fills further blocks.
TEST_F(CatalogueLoad, LoadedSongsOutliveNeitherTheirStorageNorTheirChanges) {
    std::string file;
    for (int i = 1; i <= 10; ++i) {
        file += LiveRecord(i) + (i % 2 == 0 ? DeletedRecord("/old.mp3") : "");
    }
    WriteBytes(DbPath(), file);
    ASSERT_TRUE(OpenSongsDatabase(DbPath())); // compacts and loads the new file
    cSongInfo& changed = *MasterSongList->Get(0);
    changed.SetTitle("Changed");
    ASSERT_TRUE(SongsDatabase->UpdateSongEntry(changed));
    const cSongInfo copy = *MasterSongList->Get(1);
    DisposeSongInfo(MasterSongList->Get(2));
    MasterSongList->Put(2, nullptr);

    ASSERT_TRUE(OpenSongsDatabase(DbPath())); // frees the first load's storage
    // The changed song went to the end of the file; the one deleted from the list only is
    // still in the file.
    std::vector<std::string> titles = Titles(2, 10);
    titles.push_back("Changed");
    EXPECT_EQ(MasterTitles(), titles);
    EXPECT_EQ(MasterSongList->Get(9)->FileName(), SongFile("song 1.mp3"));
    EXPECT_EQ(copy.Title(), "Title 2");
    EXPECT_EQ(copy.FileName(), SongFile("song 2.mp3"));
    EXPECT_EQ(copy.Groups, (std::vector<std::string>{"Rock", "Live"}));
    FreeAllSongs();
    EXPECT_EQ(copy.Title(), "Title 2") << "the copy's texts are its own";

    // Records far smaller than a typical one, more than the first block holds: songs of a
    // drive that is not plugged in, kept aside in the storage too.
    file.clear();
    constexpr int kSmall = 6000;
    const auto smallPath = [](int i) { return "/unplugged/" + std::to_string(i); };
    for (int i = 0; i < kSmall; ++i) {
        cRecordFields f = Fields(smallPath(i), std::to_string(i));
        f.views = i;
        file += Record(f);
    }
    WriteBytes(DbPath(), file);
    ASSERT_TRUE(OpenSongsDatabase(DbPath()));
    const std::vector<cSongInfo*> kept = OfflineSongs.InFileOrder();
    ASSERT_EQ(kept.size(), size_t{kSmall});
    for (int i = 0; i < kSmall; ++i) {
        ASSERT_EQ(kept[i]->Title(), std::to_string(i));
        ASSERT_EQ(kept[i]->FileName(), smallPath(i));
        ASSERT_EQ(kept[i]->Views, i);
    }
}

// ---- a batch that changes most songs ------------------------------------------------------

/// A catalogue of songs whose files are all there, each title `titleBytes` long, with a few
/// deleted records among them and one song on a drive that is not plugged in.
class CatalogueBatch : public CatalogueLoad {
protected:
    void WriteCatalogue(int songs, size_t titleBytes = 8) {
        std::string file;
        for (int i = 0; i < songs; ++i) {
            const std::string name = "b" + std::to_string(i) + ".mp3";
            const std::string path = SongFile(name, !PathExists(SongFile(name, false)));
            cRecordFields f = Fields(path, std::to_string(i) + std::string(titleBytes, 't'));
            f.groupsText = "Old";
            file += Record(f) + (i % 100 == 0 ? DeletedRecord("/old.mp3") : "");
            if (i == songs / 2) {
                cRecordFields away = Fields(m_Folder / "unplugged/away.mp3", "Away");
                away.groupsText = "Old";
                file += Record(away);
            }
        }
        WriteBytes(DbPath(), file);
    }
    /// The first `count` songs of the master list get the group "New".
    static bool ChangeFirstSongs(size_t count) {
        std::vector<cSongGroupsChange> changes;
        for (cSongInfo* song : MasterSongList->Items()) {
            if (changes.size() < count) {
                changes.push_back({song, {"New"}});
            }
        }
        return ChangeSongsGroups(std::move(changes));
    }
    /// How many songs a fresh load finds with the group "New" and with "Old"; a song met
    /// twice, or with neither, fails the test.
    std::pair<size_t, size_t> NewAndOldOnDisk() {
        FreeAllSongs();
        EXPECT_TRUE(OpenSongsDatabase(DbPath()));
        std::set<std::string> seen;
        std::pair<size_t, size_t> counts;
        std::vector<cSongInfo*> songs = MasterSongList->Items();
        for (cSongInfo* song : OfflineSongs.InFileOrder()) {
            songs.push_back(song);
        }
        for (const cSongInfo* song : songs) {
            EXPECT_TRUE(seen.insert(std::string(song->FileName())).second) << song->FileName();
            const bool isNew = song->Groups == std::vector<std::string>{"New"};
            EXPECT_TRUE(isNew || song->Groups == std::vector<std::string>{"Old"});
            (isNew ? counts.first : counts.second) += 1;
        }
        return counts;
    }
    /// The records in the file: live and flagged ones.
    std::pair<int, int> LiveAndDeletedInFile() const {
        const std::string file = ReadBytes(DbPath());
        std::pair<int, int> counts;
        for (size_t at = 0; at + 5 <= file.size();) {
            uint32_t length;
            std::memcpy(&length, file.data() + at + 1, 4);
            (file[at] == 0 ? counts.first : counts.second) += 1;
            at += 5 + length;
        }
        return counts;
    }
};

/// More than half of the live records (songs kept aside count), and a thousand songs or more:
/// the catalogue is written anew once, with no deleted record, and the next start has nothing
/// to do. Otherwise the batch is appended as before. Either way the next start lists the songs
/// in the same order.
TEST_F(CatalogueBatch, MostSongsChangedWriteTheCatalogueAnewOnce) {
    struct cCase {
        int songs; // in the master list; one more is kept aside
        size_t changed;
        bool anew;
    };
    const cCase cases[] = {
        {1499, 1000, true},  // 1000 of 1500 live
        {2000, 1000, false}, // 1000 of 2001: not more than half
        {1499, 999, false},  // most songs, but a small batch
    };
    for (const cCase& c : cases) {
        WriteCatalogue(c.songs);
        ASSERT_TRUE(OpenSongsDatabase(DbPath()));
        ASSERT_EQ(OfflineSongs.Count(), 1);
        const int deletedBefore = LiveAndDeletedInFile().second;
        ASSERT_GT(deletedBefore, 0);
        // The next start lists the songs as after an append: the others, then the batch's.
        std::vector<std::string> order;
        for (size_t i = 0; i < MasterSongList->Items().size(); ++i) {
            order.emplace_back(
                MasterSongList->Get(static_cast<int>((i + c.changed) % c.songs))->FileName());
        }
        cMessageRecorder recorder;
        ASSERT_TRUE(ChangeFirstSongs(c.changed));
        const auto [live, deleted] = LiveAndDeletedInFile();
        EXPECT_EQ(live, c.songs + 1) << c.songs << "/" << c.changed;
        EXPECT_EQ(deleted, c.anew ? 0 : deletedBefore + static_cast<int>(c.changed));
        EXPECT_EQ(SongsDatabase->GetSize(), static_cast<int64_t>(ReadBytes(DbPath()).size()));
        EXPECT_FALSE(PathExists(TempPath()));
        EXPECT_TRUE(recorder.Messages().empty());

        // The songs name their copies in the file: an opening is counted in place.
        cSongInfo& opened = *MasterSongList->Get(0);
        opened.Views = 77;
        ASSERT_TRUE(SongsDatabase->RewriteSongEntry(opened));
        const std::string openedFile(opened.FileName());
        const std::string written = ReadBytes(DbPath());
        EXPECT_EQ(NewAndOldOnDisk(), std::make_pair(c.changed, c.songs + 1 - c.changed));
        const auto& loaded = MasterSongList->Items();
        std::vector<std::string> loadedOrder;
        for (const cSongInfo* song : loaded) {
            loadedOrder.emplace_back(song->FileName());
        }
        EXPECT_EQ(loadedOrder, order);
        EXPECT_EQ(
            (*std::find_if(loaded.begin(), loaded.end(),
                           [&](const cSongInfo* song) { return song->FileName() == openedFile; }))
                ->Views,
            77);
        if (c.anew) {
            EXPECT_EQ(ReadBytes(DbPath()), written) << "nothing left to compact";
        }
        FreeAllSongs();
    }
}

/// The new catalogue's writes cut one by one by a crash (the file size limit kills the child
/// at that byte of the new file), before, inside and behind each of its blocks: the next start
/// finds every song exactly once, and all of them old until the complete file is in place. On
/// a full disk instead, the batch is appended as before and reported once when that fails too.
TEST_F(CatalogueBatch, TheNewCatalogueCutAtEveryWriteLeavesEachSongOldOrNewOnce) {
    constexpr int kSongs = 1200;
    WriteCatalogue(kSongs, 1000); // a new file of more than one 1 MB block
    const std::string before = ReadBytes(DbPath());
    const std::string path = DbPath();
    const auto changeAllIn = [&](off_t limit, bool crash) {
        return RunInChild([&] {
            if (!OpenSongsDatabase(path)) {
                return 10;
            }
            std::signal(SIGXFSZ, crash ? SIG_DFL : SIG_IGN);
            const rlimit small{static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};
            if (::setrlimit(RLIMIT_FSIZE, &small) != 0) {
                return 11;
            }
            cMessageRecorder recorder;
            const bool written = ChangeFirstSongs(kSongs);
            return written ? 0 : recorder.Messages().size() == 1 ? 1 : 12;
        });
    };
    ASSERT_EQ(changeAllIn(RLIM_INFINITY, true), 0);
    const std::string after = ReadBytes(DbPath());
    ASSERT_EQ(LiveAndDeletedInFile(), std::make_pair(kSongs + 1, 0));
    const off_t block = 1 << 20;
    const auto size = static_cast<off_t>(after.size());
    ASSERT_GT(size, block);
    for (const off_t cut : {off_t{0}, off_t{1}, block / 2, block - 1, block, block + 1, size - 1}) {
        WriteBytes(DbPath(), before);
        EXPECT_EQ(changeAllIn(cut, true), 200 + SIGXFSZ) << "cut at " << cut;
        EXPECT_EQ(ReadBytes(DbPath()), before) << "cut at " << cut;
        EXPECT_EQ(NewAndOldOnDisk(), std::make_pair(size_t{0}, size_t{kSongs + 1}));
        FreeAllSongs();
    }
    WriteBytes(DbPath(), before);
    EXPECT_EQ(changeAllIn(size, true), 0) << "the whole new file fits";
    EXPECT_EQ(ReadBytes(DbPath()), after);
    EXPECT_EQ(NewAndOldOnDisk(), std::make_pair(size_t{kSongs + 1 - 1}, size_t{1}));
    FreeAllSongs();

    for (const off_t full : {off_t{0}, block, size - 1}) {
        WriteBytes(DbPath(), before);
        EXPECT_EQ(changeAllIn(full, false), 1) << "one message on a disk full at " << full;
        EXPECT_EQ(ReadBytes(DbPath()), before);
        EXPECT_EQ(m_Folder.Entries(), (std::vector<std::string>{"DB.txt", "music"}));
    }
}

} // namespace
