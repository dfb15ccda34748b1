#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/temp_folder.h"
#include "util/unitIniFile.h"

namespace {

using Keys = std::vector<std::string>;

struct IniFile : ::testing::Test {
    cTempFolder folder;
    std::string path = folder / "Options.ini";
    cIniFile ini{path};
};

ino_t InodeOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0);
    return info.st_ino;
}

} // namespace

TEST_F(IniFile, MissingFileReadsDefaultsAndIsCreatedByTheFirstWrite) {
    EXPECT_EQ(ini.ReadString("MainWindow", "LastSelGroup", "none"), "none");
    EXPECT_EQ(ini.ReadInteger("MainWindow", "Left", 54), 54);
    EXPECT_TRUE(ini.ReadBool("MainWindow", "FoldersListVisible", true));
    EXPECT_EQ(ini.ReadSectionKeys("MainWindow.VisibleColumns"), Keys{});
    EXPECT_FALSE(ini.SectionExists("MainWindow"));
    EXPECT_EQ(folder.Entries(), Keys{}); // reading created nothing

    ini.WriteInteger("MainWindow", "Left", 54);
    EXPECT_EQ(ReadBytes(path), "[MainWindow]\r\nLeft=54\r\n");
    EXPECT_EQ(folder.Entries(), Keys{"Options.ini"}); // no temporary file left behind
}

TEST_F(IniFile, WritesUpdateInPlaceAppendKeysToTheirSectionAndSectionsToTheEnd) {
    ini.WriteInteger("MainWindow", "Left", 54);
    ini.WriteInteger("MainWindow", "Top", 36);
    ini.WriteInteger("FindWindow", "Height", 300);
    EXPECT_EQ(ReadBytes(path), "[MainWindow]\r\nLeft=54\r\nTop=36\r\n"
                               "[FindWindow]\r\nHeight=300\r\n");

    // Another spelling of the same names: the file keeps its own spelling.
    ini.WriteInteger("MAINWINDOW", "left", -7);
    ini.WriteBool("mainwindow", "SortReversed", true);
    ini.WriteBool("FindWindow", "Flag", false);
    EXPECT_EQ(ReadBytes(path), "[MainWindow]\r\nLeft=-7\r\nTop=36\r\nSortReversed=1\r\n"
                               "[FindWindow]\r\nHeight=300\r\nFlag=0\r\n");
    EXPECT_EQ(ini.ReadInteger("mainWINDOW", "LEFT", 0), -7);
    EXPECT_TRUE(ini.ReadBool("MainWindow", "sortreversed", false));
    EXPECT_FALSE(ini.ReadBool("findwindow", "flag", true));
}

TEST_F(IniFile, PlaylistSectionSpelledAsItsFirstWrite) {
    ini.WriteString("playlist", "File1", "/music/My Song.mp3");
    ini.WriteString("playlist", "File2", "/music/Ünïcödé.mp3");
    ini.WriteString("playlist", "File3", "/music/c.mp3");
    ini.WriteInteger("Playlist", "NumberOfEntries", 3);
    ini.WriteInteger("Playlist", "Version", 2);
    EXPECT_EQ(ReadBytes(path), "[playlist]\r\n"
                               "File1=/music/My Song.mp3\r\n"
                               "File2=/music/Ünïcödé.mp3\r\n"
                               "File3=/music/c.mp3\r\n"
                               "NumberOfEntries=3\r\n"
                               "Version=2\r\n");

    cIniFile empty(folder / "empty.pls");
    empty.WriteInteger("Playlist", "NumberOfEntries", 0);
    empty.WriteInteger("Playlist", "Version", 2);
    EXPECT_EQ(ReadBytes(folder / "empty.pls"), "[Playlist]\r\nNumberOfEntries=0\r\nVersion=2\r\n");
}

TEST_F(IniFile, ExportIntoAnExistingPlaylistReplacesOnlyWhatItWrites) {
    WriteBytes(path, "[Other]\r\nx=1\r\n"
                     "[playlist]\r\nFile1=/a\r\nFile2=/b\r\nFile3=/c\r\nFile4=/d\r\nFile5=/e\r\n"
                     "NumberOfEntries=5\r\nVersion=2\r\n");
    ini.WriteString("playlist", "File1", "/new1");
    ini.WriteString("playlist", "File2", "/new2");
    ini.WriteInteger("Playlist", "NumberOfEntries", 2);
    ini.WriteInteger("Playlist", "Version", 2);
    EXPECT_EQ(ReadBytes(path),
              "[Other]\r\nx=1\r\n"
              "[playlist]\r\nFile1=/new1\r\nFile2=/new2\r\nFile3=/c\r\nFile4=/d\r\n"
              "File5=/e\r\nNumberOfEntries=2\r\nVersion=2\r\n");
}

TEST_F(IniFile, ForeignFileIsReadLenientlyAndKeptByteForByte) {
    const std::string foreign = "\xEF\xBB\xBF"
                                "; written by hand\n"
                                "orphan=before any section\n"
                                "  [ MainWindow ]  ; the main window\n"
                                "  Left = 12  \n"
                                "\tTop\t=\t0x1F\r\n"
                                "garbage line without equals\n"
                                "; Width=999\n"
                                "Empty=\n"
                                "\n"
                                "[FindWindow]\r"
                                "Height=$10\r"
                                "Width=5";
    WriteBytes(path, foreign);
    EXPECT_EQ(ini.ReadInteger("MainWindow", "Left", 0), 12);
    EXPECT_EQ(ini.ReadInteger("MainWindow", "Top", 0), 31);
    EXPECT_EQ(ini.ReadInteger("MainWindow", "Width", 1), 1); // commented out
    EXPECT_EQ(ini.ReadString("MainWindow", "Empty", "default"), "");
    EXPECT_EQ(ini.ReadString("MainWindow", "orphan", "none"), "none");
    EXPECT_EQ(ini.ReadInteger("FindWindow", "Height", 0), 16); // lone CR line ends
    EXPECT_EQ(ini.ReadInteger("FindWindow", "Width", 0), 5);
    EXPECT_EQ(ini.ReadSectionKeys("MainWindow"), (Keys{"Left", "Top", "Empty"}));

    // Rewriting one value changes that line only (its LF stays); a new key goes after the
    // last entry, before the blank line; the last line gets its missing line end.
    ini.WriteInteger("mainwindow", "LEFT", 13);
    ini.WriteInteger("MainWindow", "Height", 400);
    ini.WriteInteger("FindWindow", "Last", 1);
    EXPECT_EQ(ReadBytes(path), "\xEF\xBB\xBF"
                               "; written by hand\n"
                               "orphan=before any section\n"
                               "  [ MainWindow ]  ; the main window\n"
                               "Left=13\n"
                               "\tTop\t=\t0x1F\r\n"
                               "garbage line without equals\n"
                               "; Width=999\n"
                               "Empty=\n"
                               "Height=400\r\n"
                               "\n"
                               "[FindWindow]\r"
                               "Height=$10\r"
                               "Width=5\r\n"
                               "Last=1\r\n");
}

TEST_F(IniFile, KeyOfASectionWithoutEntriesFollowsItsHeader) {
    WriteBytes(path, "[A]\r\n; about A\r\n\r\n[B]\r\nb=1\r\n");
    ini.WriteString("a", "k", "v");
    EXPECT_EQ(ReadBytes(path), "[A]\r\nk=v\r\n; about A\r\n\r\n[B]\r\nb=1\r\n");
}

TEST_F(IniFile, NewSectionAfterUnterminatedOrBlankEnd) {
    WriteBytes(path, "[A]\r\na=1");
    ini.WriteString("B", "b", "2");
    EXPECT_EQ(ReadBytes(path), "[A]\r\na=1\r\n[B]\r\nb=2\r\n");

    // A blank line that is there stays; none is added.
    WriteBytes(path, "[A]\r\na=1\r\n\r\n");
    ini.WriteString("B", "b", "2");
    EXPECT_EQ(ReadBytes(path), "[A]\r\na=1\r\n\r\n[B]\r\nb=2\r\n");

    WriteBytes(path, "\xEF\xBB\xBF");
    ini.WriteString("B", "b", "2");
    EXPECT_EQ(ReadBytes(path), "\xEF\xBB\xBF[B]\r\nb=2\r\n");
}

TEST_F(IniFile, IntegersAndBooleans) {
    WriteBytes(path, "[N]\r\n"
                     "dec=42\r\nneg=-2147483648\r\nmax=2147483647\r\nplus=+7\r\n"
                     "hex=0xff\r\nhexUpper=0XAbC\r\ndollar=$7FFFFFFF\r\nallbits=$FFFFFFFF\r\n"
                     "over=2147483648\r\nunder=-2147483649\r\nhexover=0x100000000\r\n"
                     "trailing=12abc\r\nspace=1 2\r\nempty=\r\nbare0x=0x\r\nbaredollar=$\r\n"
                     "float=1.5\r\nword=yes\r\nquoted=\"9\"\r\nzeros=007\r\n"
                     "blanksBefore=\"  12\"\r\nblankAfter=\"12 \"\r\n");
    const auto read = [&](const char* key) { return ini.ReadInteger("N", key, -99); };
    EXPECT_EQ(read("dec"), 42);
    EXPECT_EQ(read("neg"), INT32_MIN);
    EXPECT_EQ(read("max"), INT32_MAX);
    EXPECT_EQ(read("plus"), 7);
    EXPECT_EQ(read("hex"), 255);
    EXPECT_EQ(read("hexUpper"), 0xABC);
    EXPECT_EQ(read("dollar"), INT32_MAX);
    EXPECT_EQ(read("allbits"), -1);
    EXPECT_EQ(read("quoted"), 9);
    EXPECT_EQ(read("zeros"), 7);
    EXPECT_EQ(read("blanksBefore"), 12);
    for (const char* notAnInteger :
         {"over", "under", "hexover", "trailing", "space", "empty", "blankAfter", "bare0x",
          "baredollar", "float", "word", "missing"}) {
        EXPECT_EQ(read(notAnInteger), -99) << notAnInteger;
    }

    EXPECT_TRUE(ini.ReadBool("N", "dec", false));
    EXPECT_TRUE(ini.ReadBool("N", "neg", false)); // any integer but 0
    EXPECT_FALSE(ini.ReadBool("N", "word", false));
    EXPECT_TRUE(ini.ReadBool("N", "word", true));

    ini.WriteInteger("N", "dec", INT32_MIN);
    EXPECT_EQ(read("dec"), INT32_MIN);
    ini.WriteBool("N", "b", true);
    EXPECT_EQ(ini.ReadString("N", "b", ""), "1");
    ini.WriteBool("N", "b", false);
    EXPECT_EQ(ini.ReadString("N", "b", ""), "0");
    EXPECT_FALSE(ini.ReadBool("N", "b", true));
}

TEST_F(IniFile, KeysListedInFileOrderWithRepeatsFromTheFirstSectionOfThatName) {
    WriteBytes(path, "[MainWindow.VisibleColumns]\r\nSize=0\r\nFileName=1\r\n; Title=1\r\n"
                     "SIZE=1\r\nGroups=1\r\n"
                     "[Other]\r\nx=1\r\n"
                     "[mainwindow.visiblecolumns]\r\nLater=1\r\n");
    EXPECT_EQ(ini.ReadSectionKeys("MainWindow.VisibleColumns"),
              (Keys{"Size", "FileName", "SIZE", "Groups"}));
    EXPECT_EQ(ini.ReadString("MainWindow.VisibleColumns", "size", ""), "0"); // first entry counts
    EXPECT_EQ(ini.ReadString("MainWindow.VisibleColumns", "Later", "none"), "none");
    EXPECT_EQ(ini.ReadSectionKeys("Missing"), Keys{});

    WriteBytes(path, "[S]\r\nA=1\r\nB=2\r\nA=3\r\n");
    EXPECT_EQ(ini.ReadSectionKeys("S"), (Keys{"A", "B", "A"}));
    EXPECT_EQ(ini.ReadString("S", "A", ""), "1");
}

TEST_F(IniFile, EraseSectionRemovesEveryCopyAndLeavesTheRestTidy) {
    WriteBytes(path, "; top\r\n"
                     "[A]\r\na=1\r\n\r\n"
                     "[V]\r\nx=1\r\n; inside\r\ny=1\r\n\r\n\r\n; about B\r\n"
                     "[B]\r\nb=1\r\n\r\n"
                     "[v]\r\nz=1\r\n");
    ini.EraseSection("v");
    EXPECT_EQ(ReadBytes(path), "; top\r\n"
                               "[A]\r\na=1\r\n\r\n"
                               "; about B\r\n"
                               "[B]\r\nb=1\r\n\r\n");
    EXPECT_FALSE(ini.SectionExists("V"));
    ini.EraseSection("Missing"); // nothing to do
    EXPECT_EQ(ini.ReadInteger("B", "b", 0), 1);

    ini.EraseSection("A");
    EXPECT_EQ(ReadBytes(path), "; top\r\n; about B\r\n[B]\r\nb=1\r\n\r\n");
}

TEST_F(IniFile, RewritingAColumnSectionAtEveryCloseKeepsTheFileStable) {
    const auto close = [&](const Keys& columns) {
        ini.WriteInteger("MainWindow", "Left", 54);
        ini.EraseSection("MainWindow.VisibleColumns");
        for (const auto& column : columns) {
            ini.WriteBool("MainWindow.VisibleColumns", column, true);
        }
        ini.WriteInteger("MainWindow", "Top", 36);
    };
    close({"FileName", "Date", "Size"});
    const std::string first = ReadBytes(path);
    EXPECT_EQ(first, "[MainWindow]\r\nLeft=54\r\nTop=36\r\n"
                     "[MainWindow.VisibleColumns]\r\nFileName=1\r\nDate=1\r\nSize=1\r\n");
    close({"FileName", "Date", "Size"});
    close({"FileName", "Date", "Size"});
    EXPECT_EQ(ReadBytes(path), first);

    close({"Views"}); // removed columns disappear
    EXPECT_EQ(ini.ReadSectionKeys("MainWindow.VisibleColumns"), Keys{"Views"});

    // Also when the section sits in the middle of the file.
    WriteBytes(path, "[MainWindow.VisibleColumns]\r\nSize=1\r\n\r\n[MainWindow]\r\nLeft=54\r\n"
                     "Top=36\r\n");
    close({"Size"});
    const std::string moved = ReadBytes(path);
    EXPECT_EQ(moved, "[MainWindow]\r\nLeft=54\r\nTop=36\r\n"
                     "[MainWindow.VisibleColumns]\r\nSize=1\r\n");
    close({"Size"});
    EXPECT_EQ(ReadBytes(path), moved);
}

TEST_F(IniFile, ValuesReadBackExactlyAsWritten) {
    const std::vector<std::string> values = {"",
                                             "  Early Songs (album)",
                                             "trailing ",
                                             "\"quoted\"",
                                             "'single'",
                                             "\"",
                                             "a = b=c",
                                             "[not a section]",
                                             "; not a comment",
                                             "\t",
                                             "\"\"",
                                             "\xFF\xFE latin"};
    for (size_t i = 0; i < values.size(); ++i) {
        ini.WriteString("Values", "v" + std::to_string(i), values[i]);
    }
    for (size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(ini.ReadString("Values", "v" + std::to_string(i), "default"), values[i]) << i;
    }
    // Plain values are written as they are; only the ones reading would alter are quoted.
    const std::string bytes = ReadBytes(path);
    EXPECT_NE(bytes.find("\r\nv1=\"  Early Songs (album)\"\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("\r\nv6=a = b=c\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("\r\nv0=\r\n"), std::string::npos);
}

TEST_F(IniFile, RefusedWritesNameTheFileAndChangeNothing) {
    WriteBytes(path, "[A]\r\na=1\r\n");
    const auto expectRefused = [&](auto&& write, const std::string& file, const char* reason) {
        try {
            write();
            ADD_FAILURE() << "no error for " << reason;
        } catch (const EFileError& error) {
            const std::string message = error.what();
            EXPECT_NE(message.find("\"" + file + "\""), std::string::npos) << message;
            EXPECT_NE(message.find(reason), std::string::npos) << message;
        }
    };
    expectRefused([&] { ini.WriteString("A", "b", "two\r\nlines"); }, path, "line break");
    expectRefused([&] { ini.WriteString("A", "b\n[X]", "1"); }, path, "line break");
    expectRefused([&] { ini.WriteString("A", "k=v", "1"); }, path, "\"=\"");
    expectRefused([&] { ini.WriteString("A", ";k", "1"); }, path, "\";\"");
    expectRefused([&] { ini.WriteString("A]", "k", "1"); }, path, "\"]\"");
    expectRefused([&] { ini.WriteString("A", "k", std::string("nul\0byte", 8)); }, path, "NUL");
    EXPECT_EQ(ReadBytes(path), "[A]\r\na=1\r\n");

    const std::string inMissingFolder = folder / "missing/Options.ini";
    cIniFile nowhere(inMissingFolder);
    expectRefused([&] { nowhere.WriteInteger("A", "a", 1); }, inMissingFolder,
                  "No such file or directory");

    // A folder where the file should be: reads give defaults, writes are refused.
    const std::string folderPath = folder / "folder.ini";
    ASSERT_EQ(::mkdir(folderPath.c_str(), 0755), 0);
    cIniFile notAFile(folderPath);
    EXPECT_EQ(notAFile.ReadInteger("A", "a", 5), 5);
    expectRefused([&] { notAFile.WriteInteger("A", "a", 1); }, folderPath, "Is a directory");
    expectRefused([&] { notAFile.EraseSection("A"); }, folderPath, "Is a directory");
}

TEST_F(IniFile, EveryReadSeesTheCurrentFile) {
    WriteBytes(path, "[A]\r\na=1\r\n");
    EXPECT_EQ(ini.ReadInteger("A", "a", 0), 1);
    WriteBytes(path, "[A]\r\na=2\r\n"); // same size, likely the same time stamp
    EXPECT_EQ(ini.ReadInteger("A", "a", 0), 2);
    cIniFile other(path);
    other.WriteInteger("A", "a", 3);
    EXPECT_EQ(ini.ReadInteger("A", "a", 0), 3);
    ::unlink(path.c_str());
    EXPECT_EQ(ini.ReadInteger("A", "a", 0), 0);
}

TEST_F(IniFile, WriteThatChangesNothingLeavesTheFileAlone) {
    ini.WriteInteger("A", "a", 1);
    const ino_t before = InodeOf(path);
    ini.WriteInteger("a", "A", 1);
    ini.EraseSection("Missing");
    EXPECT_EQ(InodeOf(path), before);
    ini.WriteInteger("A", "a", 2);
    EXPECT_NE(InodeOf(path), before); // replaced, not written in place
}

TEST_F(IniFile, BatchWritesOnceAndDiscardsWhenNotCommitted) {
    WriteBytes(path, "[Other]\r\nx=1\r\n");
    {
        cIniFile::cBatch batch(ini);
        ini.WriteString("playlist", "File1", "/a.mp3");
        ini.WriteInteger("Playlist", "NumberOfEntries", 1);
        EXPECT_EQ(ini.ReadInteger("PLAYLIST", "NumberOfEntries", 0), 1); // sees its own writes
        EXPECT_EQ(ReadBytes(path), "[Other]\r\nx=1\r\n");                // not on disk yet
        EXPECT_THROW(cIniFile::cBatch second(ini), std::logic_error);
        // No Commit: an exception on the way would leave the file as it was.
    }
    EXPECT_EQ(ReadBytes(path), "[Other]\r\nx=1\r\n");
    EXPECT_EQ(ini.ReadInteger("Playlist", "NumberOfEntries", 0), 0);

    cIniFile::cBatch batch(ini);
    ini.WriteString("playlist", "File1", "/a.mp3");
    ini.WriteInteger("Playlist", "NumberOfEntries", 1);
    ini.EraseSection("Other");
    batch.Commit();
    EXPECT_EQ(ReadBytes(path), "[playlist]\r\nFile1=/a.mp3\r\nNumberOfEntries=1\r\n");
    ini.WriteInteger("Playlist", "Version", 2); // after the batch, writes go to disk again
    EXPECT_EQ(ReadBytes(path), "[playlist]\r\nFile1=/a.mp3\r\nNumberOfEntries=1\r\nVersion=2\r\n");
}

TEST_F(IniFile, BatchOfFiftyThousandEntries) {
    // Linear work per write: a quadratic batch would not finish in the test's time limit.
    cIniFile::cBatch batch(ini);
    for (int i = 1; i <= 50000; ++i) {
        ini.WriteString("playlist", "File" + std::to_string(i), "/music/song.mp3");
    }
    ini.WriteInteger("Playlist", "NumberOfEntries", 50000);
    batch.Commit();
    EXPECT_EQ(ini.ReadSectionKeys("playlist").size(), 50001u);
    EXPECT_EQ(ini.ReadString("playlist", "File50000", ""), "/music/song.mp3");
}

TEST_F(IniFile, FailedBatchCommitNamesTheFile) {
    cIniFile target(folder / "later.pls");
    cIniFile::cBatch batch(target);
    target.WriteInteger("Playlist", "Version", 2);
    ASSERT_EQ(::mkdir((folder / "later.pls").c_str(), 0755), 0); // the path becomes a folder
    try {
        batch.Commit();
        ADD_FAILURE() << "commit over a folder succeeded";
    } catch (const EFileError& error) {
        EXPECT_NE(std::string(error.what()).find(folder / "later.pls"), std::string::npos);
    }
    // The batch has ended: this write goes to the disk, and fails there too.
    EXPECT_THROW(target.WriteInteger("A", "a", 1), EFileError);
}

TEST_F(IniFile, ValuesAndKeysThatCannotBeStoredReadAsAbsentAndAreReplacedByAWrite) {
    using namespace std::string_literals;
    WriteBytes(path, "[MainWindow]\r\nFoldersListPath=/music\0/x\r\nLastSelGroup=Rock\r\n"
                     "[MainWindow.VisibleColumns]\r\nTi\0tle=1\r\nSize=1\r\n"s);
    EXPECT_EQ(ini.ReadString("MainWindow", "FoldersListPath", "/default/"), "/default/");
    EXPECT_EQ(ini.ReadString("MainWindow", "LastSelGroup", ""), "Rock");
    EXPECT_EQ(ini.ReadSectionKeys("MainWindow.VisibleColumns"), Keys{"Size"});
    // The write that follows such a read is accepted; the unreadable line stays as it was.
    ini.WriteString("MainWindow", "FoldersListPath", "/music/");
    EXPECT_EQ(ini.ReadString("MainWindow", "FoldersListPath", ""), "/music/");
    EXPECT_EQ(ini.ReadString("MainWindow", "LastSelGroup", ""), "Rock");
}

TEST_F(IniFile, ByteOrderMarkAtTheStartOfAnyLineIsReadAsAtTheStartOfTheFile) {
    using namespace std::string_literals;
    // Found by fuzzing: a mark in the middle of the file reached the file's start when the
    // section before it was erased, and the next read saw a section the erase had removed.
    const std::string rest = "\xDF\0\r\n\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF[x[tl\x18"
                             "ff\n]-\n3"s;
    WriteBytes(path, "[]\0.\r\xEF\xBB\xBF[]\0M\n"s + rest);
    ASSERT_EQ(ReadBytes(path).size(), 38u);
    ini.EraseSection("");
    EXPECT_FALSE(ini.SectionExists(""));
    EXPECT_EQ(ReadBytes(path), rest);

    WriteBytes(path, "[A]\r\na=1\r\n\xEF\xBB\xBF[B]\r\n\xEF\xBB\xBF"
                     "b=2\r\n");
    EXPECT_EQ(ini.ReadInteger("B", "b", 0), 2);
    ini.WriteInteger("B", "b", 3); // the line keeps its mark
    ini.EraseSection("A");
    EXPECT_EQ(ReadBytes(path), "\xEF\xBB\xBF[B]\r\n\xEF\xBB\xBF"
                               "b=3\r\n");
    EXPECT_EQ(ini.ReadInteger("B", "b", 0), 3);
    EXPECT_THROW(ini.WriteString("B", "\xEF\xBB\xBFkey", "1"), EFileError);
}

TEST_F(IniFile, SnapshotReadsTheFileOnceAndFollowsItsOwnWrites) {
    WriteBytes(path, "[A]\r\na=1\r\nb=1\r\n");
    {
        const cIniFile::cSnapshot snapshot(ini);
        EXPECT_EQ(ini.ReadInteger("A", "a", 0), 1);
        WriteBytes(path, "[A]\r\na=2\r\nb=2\r\n"); // not read again while the snapshot lives
        EXPECT_EQ(ini.ReadInteger("A", "a", 0), 1);
        ini.WriteInteger("A", "c", 3); // a write reads the file and becomes the snapshot
        EXPECT_EQ(ReadBytes(path), "[A]\r\na=2\r\nb=2\r\nc=3\r\n");
        EXPECT_EQ(ini.ReadInteger("A", "b", 0), 2);
        EXPECT_EQ(ini.ReadInteger("A", "c", 0), 3);
    }
    WriteBytes(path, "[A]\r\na=4\r\n");
    EXPECT_EQ(ini.ReadInteger("A", "a", 0), 4);
}
