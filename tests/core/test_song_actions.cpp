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
#include <vector>

#include "catalogue/unitSongActions.h"
#include "catalogue/unitSongUtils.h"
#include "catalogue/unitSongsDatabaseClass.h"
#include "support/id3v2_fixtures.h"
#include "support/song_fixtures.h"
#include "util/unitUtils.h"

using namespace song_fixtures;

namespace {

// 2001-02-03 04:05:06 UTC: far from now, so a restored time cannot pass by accident.
constexpr std::timespec kOldTime = {981173106, 0};
const TDateTime kOldDate = DateTimeFromUnixTime(kOldTime.tv_sec);

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
    WriteFileTime(path, kOldTime);
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
        WriteFileTime(m_Path, kOldTime);
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
    EXPECT_EQ(ModifiedSeconds(m_Path), kOldTime.tv_sec);
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
    // The file's new time exactly (file times lag the clock by a tick at most).
    EXPECT_EQ(m_Song->Date, ReadFileDate(m_Path));
    EXPECT_GE(m_Song->Date, before - 1.0 / 86400);
    EXPECT_LE(m_Song->Date, NowDateTime());
    EXPECT_EQ(m_Song->Size, 2128) << "the file's new size, so that record and file agree";
    const TDateTime recorded = m_Song->Date;
    EXPECT_EQ(Reloaded().Date, recorded);
}

TEST_F(SongActionsTest, ARecordFollowsBothTagsOfAnId3v2File) {
    using namespace id3v2_fixtures;
    const std::string longTitle = "Time (Live at Pompeii, 1972, Remastered)";
    WriteBytes(m_Path,
               Tag(3, TextFrame(3, "TIT2", kUtf16Bom, u"Time (Live at Pompeii, 1972, Remastered)") +
                          TextFrame(3, "TRCK", kLatin1, u"3")) +
                   Audio(2000));
    cId3v1Texts typed = ReadSongTag(m_Path).Texts;
    ASSERT_EQ(typed.Title, longTitle.substr(0, 30));
    typed.Artist = "Pink Floyd";
    SaveSongTag(*m_Song, typed, true, FileTime(m_Path));
    EXPECT_EQ(m_Song->Title(), longTitle) << "whole, as the ID3v2 tag holds it";
    EXPECT_EQ(m_Song->Author(), "Pink Floyd");
    EXPECT_EQ(m_Song->Size, ReadFileSize(m_Path));
    EXPECT_EQ(Reloaded().Title(), longTitle);
}

TEST_F(SongActionsTest, AnId3v2TagLeftAsItWasIsNamedInAMessage) {
    using namespace id3v2_fixtures;
    WriteBytes(m_Path,
               Tag(3, TextFrame(3, "TIT2", kLatin1, u"Old") + "junk" + std::string(9, '\1')) +
                   Audio(500));
    const cMessageRecorder messages;
    SaveSongTag(*m_Song, {"New", "", "", "", ""}, true, FileTime(m_Path));
    EXPECT_EQ(messages.Messages(),
              std::vector<std::string>{"The ID3v2 tag of \"" + m_Path +
                                       "\" could not be read to its end (it is damaged or too "
                                       "large), so it was left as it was: only the ID3v1 tag "
                                       "holds the new texts."});
    EXPECT_EQ(m_Song->Title(), "New");
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

TEST_F(SongActionsTest, ATagCutShortByAFullDiskIsCutBackAndNothingElseChanges) {
    const std::string file = ReadBytes(m_Path);
    const std::string catalogue = ReadBytes(m_Folder / "DB.txt");
    const int code = RunInChildWithFileLimit(2050, [&] {
        try {
            SaveSongTag(*m_Song, {"New", "Other", "", "", ""}, true, FileTime(m_Path));
            return 1;
        } catch (const std::system_error& error) {
            if (std::string(error.what()).find(m_Path) == std::string::npos) {
                return 2;
            }
        }
        return m_Song->Title() == "Time" ? 0 : 3;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ReadBytes(m_Path), file) << "no part of the tag is left behind the audio";
    EXPECT_EQ(ReadBytes(m_Folder / "DB.txt"), catalogue);
}

// ---- rename ---------------------------------------------------------------------------------

TEST_F(SongActionsTest, ARenameMovesTheFileWhateverTheNameAndTheCatalogueFollows) {
    cMessageRecorder messages;
    const std::string other = m_Folder / "other";
    std::filesystem::create_directory(other);
    // Blanks, quotes, a line break and a byte that is no UTF-8.
    const std::string name = "a \"b\" 'c'\nd \xff";
    ASSERT_TRUE(RenameSong(*m_Song, eRenameColumn::kFileName, name, other + "/"));
    const std::string moved = other + "/" + name + ".mp3";
    EXPECT_FALSE(PathExists(m_Path));
    EXPECT_EQ(ReadBytes(moved), Mp3Bytes(2000));
    const cSongInfo stored = Reloaded();
    EXPECT_EQ(stored.FileName(), moved);
    EXPECT_EQ(stored.Views, 3);
    EXPECT_EQ(stored.Groups, std::vector<std::string>{"Rock"});
    EXPECT_TRUE(messages.Messages().empty());
}

TEST_F(SongActionsTest, RefusedRenamesShowTheMessageAndTouchNothing) {
    const std::string folder = m_Folder.Path() + "/";
    const std::string takenPath = m_Folder / "Taken.mp3";
    WriteBytes(takenPath, "another song");
    const std::string catalogue = ReadBytes(m_Folder / "DB.txt");
    struct cCase {
        eRenameColumn Column;
        std::string Typed;
        std::string Folder;
        std::string Message = std::string(kRenameFailedMessage);
    };
    const std::string taken = std::string(kRenameFailedMessage) +
                              "\n\nA file named \"Taken.mp3\" already exists there.";
    const cCase refused[] = {
        // An existing file is never replaced, and the message says it is there.
        {eRenameColumn::kFileName, "Taken", folder, taken},
        {eRenameColumn::kPath, takenPath, "", taken},
        {eRenameColumn::kFileName, "sub/x", folder},
        {eRenameColumn::kFileName, "", folder},
        {eRenameColumn::kFileName, ".", folder},
        {eRenameColumn::kFileName, "..", folder},
        {eRenameColumn::kFileName, std::string("a\0b", 3), folder},
        {eRenameColumn::kFileName, "x", ""}, // no folder selected
        {eRenameColumn::kPath, "relative.mp3", ""},
        {eRenameColumn::kPath, m_Folder / "missing/x.mp3", "",
         std::string(kRenameFailedMessage) + "\n\nCould not move \"" + m_Path + "\" to \"" +
             (m_Folder / "missing/x.mp3") + "\": No such file or directory"},
        {eRenameColumn::kFileName, std::string(252, 'n'), folder, ""}, // a 256-byte name
    };
    for (const cCase& rename : refused) {
        cMessageRecorder messages;
        EXPECT_FALSE(RenameSong(*m_Song, rename.Column, rename.Typed, rename.Folder))
            << rename.Typed;
        ASSERT_EQ(messages.Messages().size(), 1u) << rename.Typed;
        if (rename.Message.empty()) {
            EXPECT_TRUE(StartsWith(messages.Messages()[0],
                                   std::string(kRenameFailedMessage) + "\n\nCould not move"))
                << messages.Messages()[0];
        } else {
            EXPECT_EQ(messages.Messages()[0], rename.Message) << rename.Typed;
        }
    }
    EXPECT_EQ(m_Song->FileName(), m_Path);
    EXPECT_EQ(ReadBytes(m_Path), Mp3Bytes(2000));
    EXPECT_EQ(ReadBytes(takenPath), "another song");
    EXPECT_EQ(ReadBytes(m_Folder / "DB.txt"), catalogue);
    EXPECT_TRUE(RenameSong(*m_Song, eRenameColumn::kFileName, std::string(251, 'n'), folder))
        << "a 255-byte name fits";

    if (!cUnprivileged::Possible()) {
        GTEST_SKIP() << "file permissions cannot be met as this user";
    }
    OpenToEveryone(m_Folder.Path());
    ::chmod(m_Folder.Path().c_str(), 0555);
    cMessageRecorder messages;
    {
        cUnprivileged asUser;
        EXPECT_FALSE(RenameSong(*m_Song, eRenameColumn::kFileName, "x", folder));
    }
    ::chmod(m_Folder.Path().c_str(), 0755);
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_TRUE(StartsWith(messages.Messages()[0],
                           std::string(kRenameFailedMessage) + "\n\nCould not move \""))
        << "a read-only folder is not the name's fault: the reason is told";
    EXPECT_NE(messages.Messages()[0].find("Permission denied"), std::string::npos);
}

TEST_F(SongActionsTest, ACatalogueThatCannotTakeTheRenameGetsTheFileBack) {
    const std::string catalogue = ReadBytes(m_Folder / "DB.txt");
    const int64_t position = m_Song->Position;
    const int code = RunInChildWithFileLimit(static_cast<off_t>(catalogue.size()), [&] {
        cMessageRecorder messages;
        if (RenameSong(*m_Song, eRenameColumn::kFileName, "New", m_Folder.Path() + "/")) {
            return 1;
        }
        if (m_Song->FileName() != m_Path || !PathExists(m_Path) ||
            PathExists(m_Folder / "New.mp3")) {
            return 2;
        }
        if (m_Song->Position != position) {
            return 3; // a later overwrite in place would hit the wrong bytes
        }
        return messages.Messages().size() == 2 && messages.Messages()[1] == kRenameFailedMessage
                   ? 0
                   : 4;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ReadBytes(m_Folder / "DB.txt"), catalogue);
    EXPECT_EQ(Reloaded().FileName(), m_Path);
}

// ---- delete ---------------------------------------------------------------------------------

// Songs in a real catalogue, all of them displayed; a trash that records what it takes.
class DeleteSongsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(OpenSongsDatabase(m_Folder / "DB.txt")); }
    void TearDown() override { FreeAllSongs(); }

    cSongInfo* Add(const std::string& path, int32_t views = 0) {
        Touch(path);
        cSongInfo* song = NewSongInfo();
        song->SetTexts(path, "", "", "", "", "");
        song->Views = views;
        song->MasterIndex = MasterSongList->Count();
        MasterSongList->Add(song);
        SongsDatabase->AddSongEntry(*song);
        m_Displayed.Add(song);
        return song;
    }
    std::vector<cSongInfo*> Delete(const std::vector<cSongInfo*>& songs) {
        m_Forgotten.clear();
        return DeleteSongs(
            songs, m_Displayed, m_Trash,
            [this](const std::string& question) {
                m_Questions.push_back(question);
                return m_AnswerYes;
            },
            [this](const std::vector<cSongInfo*>& gone) { m_Forgotten = gone; });
    }
    std::vector<std::string> Reloaded() {
        FreeAllSongs();
        EXPECT_TRUE(OpenSongsDatabase(m_Folder / "DB.txt"));
        std::vector<std::string> paths;
        for (const cSongInfo* song : *MasterSongList) {
            paths.emplace_back(song->FileName());
        }
        return paths;
    }

    cTempFolder m_Folder;
    cSongPointersList m_Displayed;
    std::vector<cSongInfo*> m_Forgotten;
    std::vector<std::string> m_Asked;
    std::vector<std::string> m_Trashed;
    std::vector<std::string> m_Questions;
    bool m_AnswerYes = false;
    /// Set: no trash takes a file (a file system without one, a full disk).
    bool m_TrashRefuses = false;
    /// The real trash, in a home trash of the test's own folder.
    cMoveToTrash m_Trash = [this](const std::vector<std::string>& paths) {
        m_Asked.insert(m_Asked.end(), paths.begin(), paths.end());
        if (m_TrashRefuses) {
            return std::vector<cTrashResult>(
                paths.size(), {eTrashOutcome::kNoTrash, "no trash on its file system"});
        }
        std::vector<cTrashResult> results = MoveFilesToTrash(paths, {m_Folder / "Trash", ::geteuid()});
        for (size_t i = 0; i < paths.size(); ++i) {
            if (results[i].Outcome == eTrashOutcome::kTrashed) {
                m_Trashed.push_back(paths[i]);
            }
        }
        return results;
    };
};

TEST_F(DeleteSongsTest, FilesGoToTheTrashOrForGoodAndTheirSongsLeaveEverywhere) {
    cMessageRecorder messages;
    cSongInfo* a = Add(m_Folder / "a.mp3");
    cSongInfo* b = Add(m_Folder / "b.mp3", 2);
    cSongInfo* c = Add(m_Folder / "c.mp3");
    cSongInfo* d = Add(m_Folder / "d.mp3");
    cSongInfo* e = Add(m_Folder / "e.mp3", 5);
    std::filesystem::remove(m_Folder / "c.mp3"); // gone before the delete
    EXPECT_TRUE(Delete({a, c}).empty());
    EXPECT_EQ(m_Asked, (std::vector<std::string>{m_Folder / "c.mp3", m_Folder / "a.mp3"}))
        << "from the last to the first";
    EXPECT_EQ(m_Trashed, std::vector<std::string>{m_Folder / "a.mp3"});
    EXPECT_EQ(m_Forgotten, (std::vector<cSongInfo*>{c, a}));

    EXPECT_TRUE(PathExists(m_Folder / "Trash/files/a.mp3"));
    m_TrashRefuses = true; // deleted for good after a Yes
    m_AnswerYes = true;
    EXPECT_TRUE(Delete({d}).empty());
    EXPECT_FALSE(PathExists(m_Folder / "d.mp3"));
    EXPECT_EQ(m_Displayed.Items(), (std::vector<cSongInfo*>{b, e}));
    for (int slot : {0, 2, 3}) {
        EXPECT_EQ(MasterSongList->Get(slot), nullptr) << slot;
    }
    EXPECT_EQ(MasterSongList->Get(4), e);
    EXPECT_TRUE(messages.Messages().empty());
    EXPECT_EQ(m_Questions.size(), 1u) << "asked only when the trash refused";
    EXPECT_EQ(Reloaded(), (std::vector<std::string>{m_Folder / "b.mp3", m_Folder / "e.mp3"}));
}

TEST_F(DeleteSongsTest, FilesNoTrashTakesAreDeletedForGoodOnlyAfterOneYes) {
    cSongInfo* other = Add(m_Folder / "other.mp3", 1);
    m_TrashRefuses = true;
    for (const bool yes : {false, true}) {
        SCOPED_TRACE(yes ? "Yes" : "No");
        const std::string prefix = m_Folder / (yes ? "yes-" : "no-");
        cSongInfo* a = Add(prefix + "a.mp3", 3);
        cSongInfo* b = Add(prefix + "b.mp3", 4);
        m_Questions.clear();
        m_AnswerYes = yes;
        cMessageRecorder messages;
        const std::vector<cSongInfo*> stayed = Delete({a, b});
        EXPECT_EQ(m_Questions, std::vector<std::string>{"2 songs cannot be moved to the trash (no "
                                                        "trash on its file system). Delete them "
                                                        "for good?"});
        EXPECT_TRUE(messages.Messages().empty()) << "a No is no failure";
        EXPECT_EQ(PathExists(prefix + "a.mp3"), !yes);
        EXPECT_EQ(PathExists(prefix + "b.mp3"), !yes);
        if (yes) {
            EXPECT_TRUE(stayed.empty());
            EXPECT_EQ(m_Displayed.Items().size(), 3u);
        } else {
            EXPECT_EQ(stayed, (std::vector<cSongInfo*>{a, b})) << "in list order";
            EXPECT_EQ(m_Displayed.Items(), (std::vector<cSongInfo*>{other, a, b}));
            EXPECT_EQ(a->Views, 3);
        }
    }
    EXPECT_EQ(Reloaded(), (std::vector<std::string>{m_Folder / "other.mp3", m_Folder / "no-a.mp3",
                                                    m_Folder / "no-b.mp3"}))
        << "the songs kept by a No keep their records";
    EXPECT_EQ(DeleteForGoodQuestion(1, "disk full"),
              "1 song cannot be moved to the trash (disk full). Delete it for good?");
}

TEST_F(DeleteSongsTest, FilesThatStayKeepTheirSongsAndAreNamedInOneMessage) {
    if (!cUnprivileged::Possible()) {
        GTEST_SKIP() << "file permissions cannot be met as this user";
    }
    const std::string locked = m_Folder / "locked";
    std::vector<cSongInfo*> songs{Add(m_Folder / "free.mp3", 1)};
    for (int i = 0; i < 22; ++i) {
        songs.push_back(Add(locked + "/" + std::to_string(100 + i) + ".mp3", 7));
    }
    ::chmod(m_Folder.Path().c_str(), 0777);
    ::chmod(locked.c_str(), 0555);
    cMessageRecorder messages;
    std::vector<cSongInfo*> stayed;
    {
        cUnprivileged asUser;
        stayed = Delete(songs);
    }
    ::chmod(locked.c_str(), 0755);
    EXPECT_EQ(stayed, std::vector<cSongInfo*>(songs.begin() + 1, songs.end())) << "in list order";
    EXPECT_EQ(m_Displayed.Items(), stayed);
    EXPECT_EQ(m_Forgotten, std::vector<cSongInfo*>{songs[0]});
    ASSERT_EQ(messages.Messages().size(), 1u);
    std::string expected(kUndeletedFilesMessage);
    for (int i = 21; i >= 2; --i) { // the order of the attempts: from the last song up
        expected += "\n" + locked + "/" + std::to_string(100 + i) + ".mp3 (Permission denied)";
    }
    EXPECT_EQ(messages.Messages()[0], expected + "\n... and 2 more");
    EXPECT_EQ(Reloaded().size(), 22u) << "their records, views and all, stay in the catalogue";
    EXPECT_EQ(MasterSongList->Get(0)->Views, 7);
}

TEST_F(DeleteSongsTest, AMasterSlotHoldingAnotherSongIsLeftAndAHeldRecordNotDisposed) {
    cSongInfo* a = Add(m_Folder / "a.mp3");
    cSongInfo* b = Add(m_Folder / "b.mp3");
    b->MasterIndex = 0; // slot 0 holds a
    // A record no master slot holds at all: it belongs to nobody else and is released.
    cSongInfo* stray = NewSongInfo();
    stray->SetFileName(m_Folder / "stray.mp3");
    stray->MasterIndex = 7;
    m_Displayed.Add(stray);
    cMessageRecorder messages;
    EXPECT_TRUE(Delete({b, stray}).empty());
    EXPECT_EQ(messages.Messages(),
              std::vector<std::string>{std::string(kMasterListMismatchMessage)});
    EXPECT_EQ(MasterSongList->Get(0), a);
    ASSERT_EQ(MasterSongList->Get(1), b);
    EXPECT_EQ(b->FileName(), m_Folder / "b.mp3") << "still a live record";
    EXPECT_EQ(m_Displayed.Items(), std::vector<cSongInfo*>{a});
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
