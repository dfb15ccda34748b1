// The catalogue file: its bytes, reading and writing single records, the exclusive open.

#include <sys/file.h>
#include <sys/resource.h>

#include <csignal>
#include <system_error>

#include "support/song_fixtures.h"

using namespace song_fixtures;

namespace {

const std::string kReadPrefix = "In cSongsDatabase.ReadNextSong (): ";
const std::string kWritePrefix = "In cSongsDatabase.WriteSongEntry (): ";

class CatalogueFile : public ::testing::Test {
protected:
    std::string DbPath() const { return m_Folder / "DB.txt"; }

    /// Opens the catalogue, failing the test when that throws.
    void OpenDb() { ASSERT_NO_THROW(m_Db.Open(DbPath())); }

    cTempFolder m_Folder;
    cSongsDatabase m_Db;
};

TEST_F(CatalogueFile, AbsentFileIsCreatedEmptyAndReadsNothing) {
    OpenDb();
    EXPECT_TRUE(PathExists(DbPath()));
    EXPECT_EQ(ReadBytes(DbPath()), "");
    EXPECT_EQ(m_Db.GetSize(), 0);
    cSongInfo song;
    song.SetTitle("untouched");
    EXPECT_FALSE(m_Db.ReadNextSong(song));
    EXPECT_FALSE(m_Db.LastReadFailed());
    EXPECT_FALSE(m_Db.LastReadTorn());
    EXPECT_EQ(song.Title(), "untouched");
}

TEST_F(CatalogueFile, SmallestRecordHasItsExactBytes) {
    OpenDb();
    cSongInfo song;
    song.SetFileName("C:\\a.mp3");
    ASSERT_TRUE(m_Db.AddSongEntry(song));
    EXPECT_EQ(song.RecordLength, 56u);
    EXPECT_EQ(song.Position, 0);

    // Built byte by byte: flag, RecordLength 56, FileName, five empty texts, Views, Size, Date,
    // CR LF, an empty groups text, CR LF.
    std::string expected("\x00\x38\x00\x00\x00", 5);
    expected += std::string("\x08\x00\x00\x00", 4) + "C:\\a.mp3";
    expected += std::string(5 * 4 + 16, '\0');
    expected += "\r\n";
    expected += std::string(4, '\0');
    expected += "\r\n";
    ASSERT_EQ(expected.size(), 61u);
    EXPECT_EQ(ReadBytes(DbPath()), expected);
    EXPECT_EQ(m_Db.GetPosition(), 61);
}

TEST_F(CatalogueFile, FullRecordWithTwoGroupsRoundTrips) {
    OpenDb();
    cSongInfo song;
    song.SetTexts("/music/it's.mp3", "Title", "Author", "Album", "comment  ", "1999");
    song.Views = 7;
    song.Size = 0x01020304;
    song.Date = 45000.75;
    song.Groups = {"Rock", "Live"};
    ASSERT_TRUE(m_Db.AddSongEntry(song));

    cRecordFields f;
    f.fileName = "/music/it's.mp3";
    f.title = "Title";
    f.author = "Author";
    f.album = "Album";
    f.comment = "comment  ";
    f.year = "1999";
    f.views = 7;
    f.size = 0x01020304;
    f.date = 45000.75;
    f.groupsText = "Rock\r\nLive";
    const std::string expected = Record(f);
    EXPECT_EQ(ReadBytes(DbPath()), expected);
    // The groups text: count 10, the four letters, CR LF, the four letters.
    EXPECT_NE(expected.find(std::string("\x0a\x00\x00\x00", 4) + "Rock\r\nLive\r\n"),
              std::string::npos);
    EXPECT_EQ(song.RecordLength, expected.size() - 5);

    m_Db.SetPosition(0);
    cSongInfo back;
    ASSERT_TRUE(m_Db.ReadNextSong(back));
    EXPECT_EQ(back.FileName(), "/music/it's.mp3");
    EXPECT_EQ(back.Title(), "Title");
    EXPECT_EQ(back.Author(), "Author");
    EXPECT_EQ(back.Album(), "Album");
    EXPECT_EQ(back.Comment(), "comment  ");
    EXPECT_EQ(back.Year(), "1999");
    EXPECT_EQ(back.Views, 7);
    EXPECT_EQ(back.Size, 0x01020304);
    EXPECT_EQ(back.Date, 45000.75);
    EXPECT_EQ(back.Groups, (std::vector<std::string>{"Rock", "Live"}));
    EXPECT_EQ(back.Deleted, 0);
    EXPECT_EQ(back.RecordLength, song.RecordLength);
    EXPECT_EQ(back.Position, 0);
    EXPECT_FALSE(m_Db.ReadNextSong(back));
}

TEST_F(CatalogueFile, GroupsTextSplitsAtEveryKindOfLineBreak) {
    struct cCase {
        std::string stored;
        std::vector<std::string> names;
    };
    const cCase cases[] = {
        {"", {}},
        {"a\rb\nc\r\nd", {"a", "b", "c", "d"}},
        {"a\r\n", {"a"}},           // a break at the very end starts no name
        {"x\n\ry", {"x", "", "y"}}, // LF CR is two breaks
        {"\r\n", {""}},
        {"  spaced  ", {"  spaced  "}},
    };
    std::string file;
    for (const auto& c : cases) {
        cRecordFields f = Fields("/m/a.mp3");
        f.groupsText = c.stored;
        file += Record(f);
    }
    WriteBytes(DbPath(), file);
    OpenDb();
    for (const auto& c : cases) {
        cSongInfo song;
        song.Groups = {"stale"};
        ASSERT_TRUE(m_Db.ReadNextSong(song));
        EXPECT_EQ(song.Groups, c.names) << "stored text of " << c.stored.size() << " bytes";
    }
    // No group: count 0, directly followed by CR LF.
    cSongInfo none;
    none.SetFileName("/m/b.mp3");
    ASSERT_TRUE(m_Db.AddSongEntry(none));
    EXPECT_EQ(none.RecordLength, 48u + 8u);
}

TEST_F(CatalogueFile, DeletedRecordIsSkippedByItsLengthWithoutParsing) {
    // The deleted record's payload is garbage that would not parse as fields.
    const std::string garbage(40, '\xff');
    std::string file = std::string("\x01", 1) + U32(40) + garbage;
    file += Record(Fields("/m/live.mp3", "Live"));
    WriteBytes(DbPath(), file);
    OpenDb();

    cSongInfo song;
    song.SetTitle("keep");
    ASSERT_TRUE(m_Db.ReadNextSong(song));
    EXPECT_EQ(song.Deleted, 1);
    EXPECT_EQ(song.RecordLength, 40u);
    EXPECT_EQ(song.Position, 0);
    EXPECT_EQ(song.Title(), "keep");
    EXPECT_EQ(m_Db.GetPosition(), 45);

    cSongInfo live;
    ASSERT_TRUE(m_Db.ReadNextSong(live));
    EXPECT_EQ(live.Title(), "Live");
    EXPECT_EQ(live.Position, 45);
    EXPECT_FALSE(m_Db.ReadNextSong(live));
}

TEST_F(CatalogueFile, LastRecordWithoutClosingLineBreakReads) {
    std::string file = Record(Fields("/m/1.mp3", "One")) + Record(Fields("/m/2.mp3", "Two"));
    file.resize(file.size() - 2);
    WriteBytes(DbPath(), file);
    OpenDb();
    cSongInfo song;
    ASSERT_TRUE(m_Db.ReadNextSong(song));
    ASSERT_TRUE(m_Db.ReadNextSong(song));
    EXPECT_EQ(song.Title(), "Two");
    EXPECT_EQ(m_Db.GetPosition(), static_cast<int64_t>(file.size()));
    EXPECT_FALSE(m_Db.ReadNextSong(song));
    EXPECT_FALSE(m_Db.LastReadFailed());

    // Completing the record keeps later appends readable.
    m_Db.MendTail();
    EXPECT_EQ(ReadBytes(DbPath()), file + "\r\n");
    cSongInfo added;
    added.SetFileName("/m/3.mp3");
    ASSERT_TRUE(m_Db.AddSongEntry(added));
    m_Db.SetPosition(song.Position);
    ASSERT_TRUE(m_Db.ReadNextSong(song));
    ASSERT_TRUE(m_Db.ReadNextSong(song));
    EXPECT_EQ(song.FileName(), "/m/3.mp3");
}

TEST_F(CatalogueFile, RewriteAfterAViewChangesOnlyTheFourViewsBytes) {
    cRecordFields first = Fields("/m/1.mp3", "One");
    first.groupsText = "Rock";
    const std::string file = Record(first) + Record(Fields("/m/2.mp3", "Two"));
    WriteBytes(DbPath(), file);
    OpenDb();
    cSongInfo one, two;
    ASSERT_TRUE(m_Db.ReadNextSong(one));
    ASSERT_TRUE(m_Db.ReadNextSong(two));

    two.Views = 0x01000002;
    ASSERT_TRUE(m_Db.RewriteSongEntry(two));
    const std::string after = ReadBytes(DbPath());
    ASSERT_EQ(after.size(), file.size());
    const size_t viewsAt = static_cast<size_t>(two.Position) + 5 + 4 + 8 + 4 + 3 + 4 * 4;
    for (size_t i = 0; i < file.size(); ++i) {
        if (i < viewsAt || i >= viewsAt + 4) {
            ASSERT_EQ(after[i], file[i]) << "byte " << i;
        }
    }
    EXPECT_EQ(after.substr(viewsAt, 4), U32(0x01000002));
    EXPECT_EQ(two.Position, static_cast<int64_t>(Record(first).size()));

    // The read window saw the old bytes; reading the record again gives the new ones.
    m_Db.SetPosition(two.Position);
    cSongInfo again;
    ASSERT_TRUE(m_Db.ReadNextSong(again));
    EXPECT_EQ(again.Views, 0x01000002);
}

TEST_F(CatalogueFile, RewriteOfALongerRecordMovesItInsteadOfOverwritingTheNext) {
    const std::string file = Record(Fields("/m/1.mp3", "One")) + Record(Fields("/m/2.mp3", "Two"));
    WriteBytes(DbPath(), file);
    OpenDb();
    cSongInfo one, two;
    ASSERT_TRUE(m_Db.ReadNextSong(one));
    ASSERT_TRUE(m_Db.ReadNextSong(two));
    one.SetTitle("A much longer title");
    ASSERT_TRUE(m_Db.RewriteSongEntry(one));

    const std::string after = ReadBytes(DbPath());
    EXPECT_EQ(after[0], '\x01');                                 // old copy flagged
    EXPECT_EQ(after.substr(1, file.size() - 1), file.substr(1)); // nothing else touched in place
    EXPECT_EQ(one.Position, static_cast<int64_t>(file.size()));
    m_Db.SetPosition(two.Position);
    cSongInfo again;
    ASSERT_TRUE(m_Db.ReadNextSong(again));
    EXPECT_EQ(again.Title(), "Two");
    ASSERT_TRUE(m_Db.ReadNextSong(again));
    EXPECT_EQ(again.Title(), "A much longer title");
}

TEST_F(CatalogueFile, UpdateAppendsTheNewCopyAndFlagsTheOldOne) {
    const std::string file = Record(Fields("/m/1.mp3", "One")) + Record(Fields("/m/2.mp3", "Two"));
    WriteBytes(DbPath(), file);
    OpenDb();
    cSongInfo one;
    ASSERT_TRUE(m_Db.ReadNextSong(one));
    one.SetTitle("Uno");
    one.Groups = {"Live"};
    ASSERT_TRUE(m_Db.UpdateSongEntry(one));

    cRecordFields changed = Fields("/m/1.mp3", "Uno");
    changed.groupsText = "Live";
    const std::string after = ReadBytes(DbPath());
    EXPECT_EQ(after, "\x01" + file.substr(1) + Record(changed));
    EXPECT_EQ(one.Position, static_cast<int64_t>(file.size()));
    EXPECT_EQ(m_Db.GetSize(), static_cast<int64_t>(file.size() + one.RecordLength + 5));
    EXPECT_EQ(m_Db.GetPosition(), m_Db.GetSize());
    EXPECT_EQ(one.Deleted, 0);
}

TEST_F(CatalogueFile, DeleteFlagsOnlyTheFirstByteAndLeavesTheSongAlone) {
    const std::string file = Record(Fields("/m/1.mp3", "One")) + Record(Fields("/m/2.mp3", "Two"));
    WriteBytes(DbPath(), file);
    OpenDb();
    cSongInfo one, two;
    ASSERT_TRUE(m_Db.ReadNextSong(one));
    ASSERT_TRUE(m_Db.ReadNextSong(two));
    m_Db.DeleteSongEntry(two);
    EXPECT_EQ(m_Db.GetPosition(), two.Position + 1);
    EXPECT_EQ(two.Deleted, 0);
    std::string expected = file;
    expected[static_cast<size_t>(two.Position)] = '\x01';
    EXPECT_EQ(ReadBytes(DbPath()), expected);
    // Coherent with what was read before.
    m_Db.SetPosition(two.Position);
    cSongInfo again;
    ASSERT_TRUE(m_Db.ReadNextSong(again));
    EXPECT_EQ(again.Deleted, 1);
    cSongInfo outside;
    outside.Position = m_Db.GetSize();
    EXPECT_THROW(m_Db.DeleteSongEntry(outside), std::out_of_range);
    EXPECT_EQ(ReadBytes(DbPath()), expected);
}

TEST_F(CatalogueFile, ManyRecordsAndOneLargerThanTheReadWindowRoundTrip) {
    OpenDb();
    std::vector<cSongInfo> written(3000);
    for (size_t i = 0; i < written.size(); ++i) {
        cSongInfo& song = written[i];
        song.SetTexts("/music/folder" + std::to_string(i % 37) + "/song " + std::to_string(i) +
                          ".mp3",
                      "Title " + std::to_string(i), "Artist", "", "", "2001");
        song.Views = static_cast<int32_t>(i);
        song.Date = 40000.0 + static_cast<double>(i) / 7;
        if (i % 5 == 0) {
            song.Groups = {"G" + std::to_string(i % 3), "Live"};
        }
        if (i == 1500) {
            // Beyond one 256 KiB read window: 3,000 groups of 100 bytes.
            song.Groups.assign(3000, std::string(98, 'g'));
        }
        ASSERT_TRUE(m_Db.AddSongEntry(song));
    }
    m_Db.SetPosition(0);
    for (const cSongInfo& expected : written) {
        cSongInfo song;
        ASSERT_TRUE(m_Db.ReadNextSong(song));
        ASSERT_EQ(song.FileName(), expected.FileName());
        ASSERT_EQ(song.Title(), expected.Title());
        ASSERT_EQ(song.Comment(), expected.Comment());
        ASSERT_EQ(song.Views, expected.Views);
        ASSERT_EQ(song.Date, expected.Date);
        ASSERT_EQ(song.Groups, expected.Groups);
        ASSERT_EQ(song.Position, expected.Position);
    }
    cSongInfo end;
    EXPECT_FALSE(m_Db.ReadNextSong(end));
    EXPECT_FALSE(m_Db.LastReadFailed());
}

TEST_F(CatalogueFile, AbsurdLengthsAreReportedWithoutAllocating) {
    const std::string good = Record(Fields("/m/1.mp3", "One"));
    struct cCase {
        const char* what;
        std::string record;
    };
    // A count of almost 4 GiB inside a record whose RecordLength fits the file.
    std::string hugeCount = Record(Fields("/m/2.mp3"));
    hugeCount.replace(5, 4, U32(0xFFFFFFF0u));
    // A count that fits the file but not the record.
    std::string beyondRecord = Record(Fields("/m/2.mp3"));
    beyondRecord.replace(5, 4, U32(60));
    const cCase cases[] = {{"count beyond everything", hugeCount},
                           {"count beyond the record", beyondRecord}};
    for (const auto& c : cases) {
        const std::string file = good + c.record + good;
        WriteBytes(DbPath(), file);
        cSongsDatabase db;
        ASSERT_NO_THROW(db.Open(DbPath()));
        cMessageRecorder recorder;
        cSongInfo song;
        ASSERT_TRUE(db.ReadNextSong(song)) << c.what;
        EXPECT_FALSE(db.ReadNextSong(song)) << c.what;
        EXPECT_TRUE(db.LastReadFailed()) << c.what;
        EXPECT_FALSE(db.LastReadTorn()) << c.what;
        ASSERT_EQ(recorder.Messages().size(), 1u) << c.what;
        EXPECT_TRUE(StartsWith(recorder.Messages()[0], kReadPrefix + "'Damaged record at offset " +
                                                           std::to_string(good.size())))
            << recorder.Messages()[0];
        db.MendTail();
        EXPECT_EQ(ReadBytes(DbPath()), file) << c.what;
    }
}

TEST_F(CatalogueFile, WriteFailuresAreReportedWithTheirPrefixes) {
    cSongsDatabase closed;
    cMessageRecorder recorder;
    cSongInfo song;
    song.SetFileName("/m/a.mp3");
    EXPECT_FALSE(closed.AddSongEntry(song));
    EXPECT_FALSE(closed.WriteSongEntry(song));
    ASSERT_EQ(recorder.Messages().size(), 2u);
    EXPECT_EQ(recorder.Messages()[0],
              "IncSongsDatabase.AddSongEntry (): 'The songs database is not open'");
    EXPECT_EQ(recorder.Messages()[1], kWritePrefix + "'The songs database is not open'");
}

/// In a child process limited to files of `limit` bytes: opens the catalogue, runs the action,
/// and answers 0 when it failed with exactly one WriteSongEntry message.
int FailingWriteInChild(const std::string& path, off_t limit,
                        const std::function<bool(cSongsDatabase&)>& action) {
    return RunInChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit small{static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};
        if (::setrlimit(RLIMIT_FSIZE, &small) != 0) {
            return 10;
        }
        cSongsDatabase db;
        db.Open(path);
        cMessageRecorder recorder;
        if (action(db)) {
            return 11;
        }
        if (recorder.Messages().size() != 1 ||
            recorder.Messages()[0] !=
                kWritePrefix + "'Could not write \"" + path + "\": File too large'") {
            return 12;
        }
        return 0;
    });
}

TEST_F(CatalogueFile, AppendCutShortByAFullDiskLeavesNoPartialRecord) {
    const std::string file = Record(Fields("/m/1.mp3", "One"));
    WriteBytes(DbPath(), file);
    const auto limit = static_cast<off_t>(file.size() + 20);
    const auto size = static_cast<int64_t>(file.size());
    EXPECT_EQ(FailingWriteInChild(DbPath(), limit,
                                  [size](cSongsDatabase& db) {
                                      cSongInfo song;
                                      song.SetTexts("/m/2.mp3", "A title long enough", "", "", "",
                                                    "");
                                      return db.AddSongEntry(song) || db.GetSize() != size ||
                                             db.GetPosition() != size;
                                  }),
              0);
    EXPECT_EQ(ReadBytes(DbPath()), file);

    // An update that cannot append leaves the old copy live.
    EXPECT_EQ(FailingWriteInChild(DbPath(), limit,
                                  [](cSongsDatabase& db) {
                                      cSongInfo song;
                                      db.ReadNextSong(song);
                                      song.SetTitle("A new title that is long enough");
                                      return db.UpdateSongEntry(song);
                                  }),
              0);
    EXPECT_EQ(ReadBytes(DbPath()), file);
}

TEST_F(CatalogueFile, SecondOpenOfTheSameFileFailsInTheSameProcess) {
    const std::string file = Record(Fields("/m/1.mp3", "One"));
    WriteBytes(DbPath(), file);
    OpenDb();
    cSongsDatabase second;
    try {
        second.Open(DbPath());
        ADD_FAILURE() << "second open succeeded";
    } catch (const std::system_error& error) {
        EXPECT_EQ(error.code(), std::errc::resource_unavailable_try_again);
        EXPECT_EQ(std::string(error.what()),
                  "Could not lock \"" + DbPath() + "\": Resource temporarily unavailable");
    }
    EXPECT_FALSE(second.IsOpen());
    EXPECT_EQ(ReadBytes(DbPath()), file);
}

TEST_F(CatalogueFile, OpenFailsWhileAnotherProcessHoldsTheFile) {
    WriteBytes(DbPath(), Record(Fields("/m/1.mp3")));
    OpenDb();
    const std::string path = DbPath();
    EXPECT_EQ(RunInChild([&] {
                  cSongsDatabase db;
                  try {
                      db.Open(path);
                  } catch (const std::system_error& error) {
                      return error.code() == std::errc::resource_unavailable_try_again ? 0 : 2;
                  }
                  return 1;
              }),
              0);
}

TEST_F(CatalogueFile, OpenRefusesSomethingThatIsNotAFile) {
    const std::string folder = m_Folder / "folder";
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    cSongsDatabase db;
    EXPECT_THROW(db.Open(folder), std::system_error);
    ASSERT_EQ(::mkfifo((m_Folder / "fifo").c_str(), 0644), 0);
    EXPECT_THROW(db.Open(m_Folder / "fifo"), std::system_error);
    EXPECT_FALSE(db.IsOpen());
}

} // namespace
