#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "catalogue/unitFolderScan.h"
#include "catalogue/unitSongQuery.h"
#include "catalogue/unitSongUtils.h"
#include "catalogue/unitSongsDatabaseClass.h"
#include "support/leftover_files.h"
#include "support/song_fixtures.h"
#include "util/unitMessages.h"

using namespace song_fixtures;

namespace {

struct cNames {
    std::string Artist = "unchanged";
    std::string Title = "unchanged";
};

cNames NamesOf(std::string_view path) {
    cNames names;
    SongNameFromFileName(path, &names.Artist, &names.Title);
    return names;
}

TEST(SongNames, FirstHyphenSplitsTrimmedPartsAndUnderscoresBecomeSpaces) {
    cNames names = NamesOf("/m/Pink_Floyd - Time.mp3");
    EXPECT_EQ(names.Artist, "Pink Floyd");
    EXPECT_EQ(names.Title, "Time");
    names = NamesOf("/m/A-ha - Take_On_Me.mp3");
    EXPECT_EQ(names.Artist, "A");
    EXPECT_EQ(names.Title, "ha - Take On Me");
    names = NamesOf("/m/Intro.mp3");
    EXPECT_EQ(names.Artist, "unchanged") << "no hyphen: the artist is left alone";
    EXPECT_EQ(names.Title, "Intro");
    // Trimming comes before the underscores are replaced.
    names = NamesOf("/m/ _x_ -\t_y .mp3");
    EXPECT_EQ(names.Artist, " x ");
    EXPECT_EQ(names.Title, " y");
    EXPECT_EQ(NamesOf("/m/ spaced _title_.mp3").Title, " spaced  title ") << "untrimmed";
    EXPECT_EQ(NamesOf("/a.b/c-d.e.mp3").Title, "d.e");
    EXPECT_EQ(NamesOf("/a-b.c/noext").Title, "noext");
    EXPECT_EQ(NamesOf("/m/.mp3").Title, "");
    std::string title = "kept";
    SongNameFromFileName("/m/x - y.mp3", nullptr, &title);
    EXPECT_EQ(title, "y");
    EXPECT_EQ(UnderscoresToSpaces("__a_"), "  a ");
}

TEST(SongNames, Mp3ExtensionInAnyLetterCase) {
    for (const char* name : {"a.mp3", "b.MP3", "c.Mp3", ".mp3", "x.y.mP3"}) {
        EXPECT_TRUE(IsMp3FileName(name)) << name;
    }
    for (const char* name : {"a.mp3x", "a.mp", "mp3", "a_mp3", "a.mp4", "a.mp3.bak"}) {
        EXPECT_FALSE(IsMp3FileName(name)) << name;
    }
}

class ReadSong : public ::testing::Test {
protected:
    cSongInfo Read(const std::string& name, std::string_view bytes) {
        const std::string path = m_Folder / name;
        WriteBytes(path, bytes);
        cSongInfo song;
        ReadSongFromFile(path, song);
        EXPECT_EQ(song.FileName(), path);
        EXPECT_EQ(song.Size, static_cast<int32_t>(bytes.size()));
        EXPECT_NEAR(song.Date, ReadFileDate(path), 1e-9);
        EXPECT_EQ(song.Views, 0);
        EXPECT_TRUE(song.Groups.empty());
        return song;
    }

    cTempFolder m_Folder;
};

TEST_F(ReadSong, TagTextsWithTheirTrimming) {
    const cSongInfo song =
        Read("x - y.mp3", Mp3Bytes(400) + TagBlock(" Title ", "\tArtist", "Album ", " 99 ", " c "));
    EXPECT_EQ(song.Title(), "Title");
    EXPECT_EQ(song.Author(), "Artist");
    EXPECT_EQ(song.Album(), "Album");
    EXPECT_EQ(song.Year(), " 99 ");
    EXPECT_EQ(song.Comment(), " c " + std::string(27, ' '));
}

TEST_F(ReadSong, BlankTagNamesComeFromTheFileName) {
    cSongInfo song =
        Read("Band_X - Song_Y.mp3", Mp3Bytes(400) + TagBlock("   ", "Artist", "Al", "", ""));
    EXPECT_EQ(song.Title(), "Song Y");
    EXPECT_EQ(song.Author(), "Artist");
    song = Read("Band - Song.mp3", Mp3Bytes(400) + TagBlock("Title", "", "", "", "", '\0'));
    EXPECT_EQ(song.Title(), "Title");
    EXPECT_EQ(song.Author(), "Band");
    song = Read("Solo.mp3", Mp3Bytes(400) + TagBlock("", "", "Album", "", ""));
    EXPECT_EQ(song.Title(), "Solo");
    EXPECT_EQ(song.Author(), "");
    EXPECT_EQ(song.Album(), "Album");
}

TEST_F(ReadSong, NoTagMeansNamesOnly) {
    cSongInfo song = Read("Pink_Floyd - Time.mp3", Mp3Bytes(400));
    EXPECT_EQ(song.Author(), "Pink Floyd");
    EXPECT_EQ(song.Title(), "Time");
    EXPECT_EQ(song.Album(), "");
    EXPECT_EQ(song.Comment(), "");
    EXPECT_EQ(song.Year(), "");
    song = Read("lower - case.mp3", Mp3Bytes(400) + TagBlock("T", "A", "B", "", "", ' ', "tag"));
    EXPECT_EQ(song.Title(), "case");
    EXPECT_EQ(song.Album(), "");
    // Shorter than a tag: a song named from the file, not an error.
    song = Read("Short - One.mp3", "TAG tiny");
    EXPECT_EQ(song.Author(), "Short");
    EXPECT_EQ(song.Title(), "One");
    song = Read("Exact.mp3", TagBlock("Only a tag", "", "", "", ""));
    EXPECT_EQ(song.Title(), "Only a tag");
}

TEST_F(ReadSong, AFileThatCannotBeOpenedRaisesAnErrorNamingIt) {
    cSongInfo song;
    const std::string missing = m_Folder / "missing.mp3";
    try {
        ReadSongFromFile(missing, song);
        FAIL();
    } catch (const std::system_error& error) {
        EXPECT_NE(std::string(error.what()).find(missing), std::string::npos);
    }
}

// A folder of MP3 files and an open catalogue beside it.
class Scan : public ::testing::Test {
protected:
    void SetUp() override {
        m_Music = m_Root / "music";
        std::filesystem::create_directory(m_Music);
        OpenToEveryone(m_Root.Path());
        OpenToEveryone(m_Music);
        ASSERT_TRUE(OpenSongsDatabase(Catalogue()));
        m_PreviousSink =
            SetMessageSink([this](const std::string& text) { m_Messages.push_back(text); });
    }
    void TearDown() override {
        SetMessageSink(m_PreviousSink);
        if (SongsDatabase != nullptr) {
            FreeAllSongs();
        }
    }

    std::string Catalogue() const { return m_Root / "DB.txt"; }
    std::string Music(std::string_view name) const { return m_Music + "/" + std::string(name); }
    void Mp3(std::string_view name, std::string_view tag = {}) {
        WriteBytes(Music(name), Mp3Bytes(300, tag));
    }

    std::vector<std::string> MasterPaths() const {
        std::vector<std::string> paths;
        for (const cSongInfo* song : *MasterSongList) {
            if (song != nullptr) {
                paths.emplace_back(song->FileName());
            }
        }
        return paths;
    }

    // The paths of the master list after the catalogue was closed and loaded again.
    std::vector<std::string> ReloadedPaths() {
        FreeAllSongs();
        EXPECT_TRUE(OpenSongsDatabase(Catalogue()));
        return MasterPaths();
    }

    // The folder's entries in the order the file system lists them.
    std::vector<std::string> ListingOrder(const std::string& folder) const {
        std::vector<std::string> names;
        DIR* dir = ::opendir(folder.c_str());
        while (const dirent* entry = ::readdir(dir)) {
            names.emplace_back(entry->d_name);
        }
        ::closedir(dir);
        return names;
    }

    cTempFolder m_Root;
    std::string m_Music;
    std::vector<std::string> m_Messages;
    cMessageSink m_PreviousSink;
};

TEST_F(Scan, AddsTheFolderFilesInListingOrderToMasterListAndCatalogue) {
    for (const char* name :
         {"b.MP3", "a.mp3", ".hidden.Mp3", "Band - Song.mp3", "notes.txt", "x.mp3x"}) {
        Mp3(name, std::string_view(name) == "a.mp3" ? TagBlock("Tagged", "", "", "", "") : "");
    }
    std::filesystem::create_directory(Music("folder.mp3"));
    std::filesystem::create_directory(Music("sub"));
    WriteBytes(Music("sub/deep.mp3"), Mp3Bytes(300));
    ASSERT_EQ(::mkfifo(Music("pipe.mp3").c_str(), 0644), 0);

    ScanFolder(m_Music + "/");

    std::vector<std::string> expected;
    for (const auto& name : ListingOrder(m_Music)) {
        if (name == "b.MP3" || name == "a.mp3" || name == ".hidden.Mp3" ||
            name == "Band - Song.mp3") {
            expected.push_back(Music(name));
        }
    }
    EXPECT_EQ(MasterPaths(), expected);
    EXPECT_TRUE(m_Messages.empty());
    const cSongPointersList tagged = QuerySongs({MakeCriterion(kFieldTitle, kOpIs, "Tagged")});
    ASSERT_EQ(tagged.Count(), 1);
    EXPECT_EQ(tagged.Get(0)->FileName(), Music("a.mp3"));
    EXPECT_EQ(ReloadedPaths(), expected);
}

TEST_F(Scan, TheProgramsOwnOldLeftoversGoAndNothingElse) {
    const std::vector<std::string> staying = leftover_files::PlantLeftoversAndLookAlikes(m_Music);
    ScanFolder(m_Music + "/");
    EXPECT_EQ(leftover_files::NamesIn(m_Music), staying);
    const std::vector<std::string> songs = MasterPaths();
    EXPECT_EQ(std::count(songs.begin(), songs.end(), Music("song.mp3")), 1);
}

TEST_F(Scan, KnownFilesAreSkippedByTheirExactPathOnly) {
    Mp3("one.mp3");
    ScanFolder(m_Music + "/");
    ScanFolder(m_Music); // the same folder without the separator
    EXPECT_EQ(MasterPaths().size(), 1u);

    // Three files on a case-sensitive file system, and a song of a fourth name that is gone.
    Mp3("Intro.mp3");
    Mp3("intro.mp3");
    Mp3("INTRO.MP3");
    cSongInfo* known = NewSongInfo();
    known->SetFileName(m_Music + "/ONE.MP3");
    MasterSongList->Add(known);
    SongsDatabase->AddSongEntry(*known);
    ScanFolder(m_Music + "/");
    ScanFolder(m_Music + "/");
    std::vector<std::string> paths = MasterPaths();
    std::sort(paths.begin() + 2, paths.end());
    EXPECT_EQ(paths,
              (std::vector<std::string>{Music("one.mp3"), Music("ONE.MP3"), Music("INTRO.MP3"),
                                        Music("Intro.mp3"), Music("intro.mp3")}));
    const cSongInfo* added = MasterSongList->Get(2);
    EXPECT_EQ(added->Views, 0);
    EXPECT_TRUE(added->Groups.empty());
    paths.erase(paths.begin() + 1); // the song of the missing file is dropped at the next start
    std::vector<std::string> reloaded = ReloadedPaths();
    std::sort(reloaded.begin() + 1, reloaded.end());
    EXPECT_EQ(reloaded, paths);
}

TEST_F(Scan, SizesOfTwoGibibytesOrMoreAreStoredAsTheLargestSize) {
    for (const auto& [name, size] : {std::pair{"3 GiB.mp3", 3LL << 30},
                                     {"4 GiB.mp3", 4LL << 30},
                                     {"just below.mp3", 0x7FFFFFFFLL}}) {
        Mp3(name);
        ASSERT_EQ(::truncate(Music(name).c_str(), size), 0); // a hole: no disk space
    }
    ScanFolder(m_Music + "/");
    ReloadedPaths();
    ASSERT_EQ(MasterSongList->Count(), 3);
    for (const cSongInfo* song : *MasterSongList) {
        EXPECT_EQ(song->Size, 2147483647) << song->FileName();
    }
}

TEST_F(Scan, ReadOnlyShortAndUnreadableFiles) {
    if (!cUnprivileged::Possible()) {
        GTEST_SKIP() << "file permissions cannot be met as this user";
    }
    Mp3("readonly.mp3", TagBlock("Read only", "", "", "", ""));
    ::chmod(Music("readonly.mp3").c_str(), 0444);
    WriteBytes(Music("Tiny - Bit.mp3"), "ID3");
    Mp3("secret.mp3");
    ::chmod(Music("secret.mp3").c_str(), 0);
    ASSERT_EQ(::symlink("/nonexistent/target.mp3", Music("dangling.mp3").c_str()), 0);
    Mp3("fine.mp3");
    {
        cUnprivileged asUser;
        ScanFolder(m_Music + "/");
    }
    std::vector<std::string> paths = MasterPaths();
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, (std::vector<std::string>{Music("Tiny - Bit.mp3"), Music("fine.mp3"),
                                               Music("readonly.mp3")}));
    ASSERT_EQ(m_Messages.size(), 1u) << "one message for all skipped files";
    EXPECT_NE(m_Messages[0].find("secret.mp3 (Permission denied)"), std::string::npos)
        << m_Messages[0];
    EXPECT_NE(m_Messages[0].find("dangling.mp3 (No such file or directory)"), std::string::npos);
    EXPECT_NE(m_Messages[0].find(m_Music), std::string::npos);

    // A later scan tries the skipped files again.
    ::chmod(Music("secret.mp3").c_str(), 0644);
    m_Messages.clear();
    ScanFolder(m_Music + "/");
    EXPECT_EQ(MasterPaths().size(), 4u);
    ASSERT_EQ(m_Messages.size(), 1u);
    EXPECT_EQ(m_Messages[0].find("secret.mp3"), std::string::npos);
}

TEST_F(Scan, ManySkippedFilesMakeOneShortMessage) {
    for (int i = 0; i < 30; ++i) {
        ASSERT_EQ(::symlink("/nonexistent", Music("gone" + std::to_string(i) + ".mp3").c_str()), 0);
    }
    ScanFolder(m_Music + "/");
    ASSERT_EQ(m_Messages.size(), 1u);
    EXPECT_NE(m_Messages[0].find("... and 10 more"), std::string::npos) << m_Messages[0];
}

// A large folder is read on both cores: each record must still hold its own file's tag, the
// records keep the listing order, and the skipped files are named in that order.
TEST_F(Scan, ALargeFolderKeepsListingOrderAndEachFilesOwnTag) {
    constexpr int kFiles = 600;
    for (int i = 0; i < kFiles; ++i) {
        const std::string name = "song" + std::to_string(i) + ".mp3";
        if (i % 7 == 3) {
            ASSERT_EQ(::symlink("/nonexistent", Music(name).c_str()), 0);
        } else {
            Mp3(name, TagBlock("Title of " + name, "", "", "", ""));
        }
    }
    ScanFolder(m_Music + "/");

    std::vector<std::string> added;
    std::vector<std::string> skipped;
    for (const auto& name : ListingOrder(m_Music)) {
        if (name.ends_with(".mp3")) {
            (std::filesystem::is_symlink(Music(name)) ? skipped : added).push_back(name);
        }
    }
    ASSERT_EQ(MasterSongList->Count(), static_cast<int>(added.size()));
    for (size_t i = 0; i < added.size(); ++i) {
        const cSongInfo* song = MasterSongList->Get(static_cast<int>(i));
        ASSERT_EQ(song->FileName(), Music(added[i]));
        ASSERT_EQ(song->Title(), "Title of " + added[i]);
    }
    ASSERT_EQ(m_Messages.size(), 1u);
    size_t at = 0;
    for (size_t i = 0; i < 20; ++i) {
        at = m_Messages[0].find(skipped[i] + " (", at);
        ASSERT_NE(at, std::string::npos) << skipped[i] << " named in listing order";
    }
}

TEST_F(Scan, LinksToFilesCountAndAFolderThatCannotBeListedAddsNothing) {
    WriteBytes(m_Root / "elsewhere.bin", Mp3Bytes(300));
    ASSERT_EQ(::symlink((m_Root / "elsewhere.bin").c_str(), Music("Linked - Song.mp3").c_str()), 0);
    ScanFolder(m_Music + "/");
    EXPECT_EQ(MasterPaths(), std::vector<std::string>{Music("Linked - Song.mp3")});

    ScanFolder(m_Root / "no such folder/");
    EXPECT_EQ(MasterPaths().size(), 1u);
    EXPECT_TRUE(m_Messages.empty());
}

TEST_F(Scan, UnusualNamesAndLongPathsSurviveTheCatalogue) {
    const std::vector<std::string> names = {"with spaces - and 'quotes' \"too\".mp3",
                                            "line\nbreak.mp3", "bad\xFF\xFE utf8.mp3",
                                            "caf\xC3\xA9 - \xE2\x82\xAC.mp3", "tab\tand\rcr.mp3"};
    for (const auto& name : names) {
        Mp3(name);
    }
    std::string deep = m_Music;
    while (deep.size() < 3000) {
        deep += "/" + std::string(200, 'd');
        std::filesystem::create_directory(deep);
    }
    const std::string longName = std::string(240, 'n') + ".mp3";
    WriteBytes(deep + "/" + longName, Mp3Bytes(300, TagBlock("Deep", "", "", "", "")));

    ScanFolder(m_Music + "/");
    ScanFolder(deep + "/");
    ASSERT_EQ(MasterPaths().size(), names.size() + 1);
    std::vector<cSongInfo> before;
    for (const cSongInfo* song : *MasterSongList) {
        before.push_back(*song);
    }
    ReloadedPaths();
    ASSERT_EQ(MasterSongList->Count(), static_cast<int>(before.size()));
    for (size_t i = 0; i < before.size(); ++i) {
        const cSongInfo& stored = *MasterSongList->Get(static_cast<int>(i));
        EXPECT_EQ(stored.FileName(), before[i].FileName());
        EXPECT_EQ(stored.Title(), before[i].Title());
        EXPECT_EQ(stored.Author(), before[i].Author());
        EXPECT_EQ(stored.Size, before[i].Size);
        EXPECT_EQ(stored.Date, before[i].Date);
    }
    EXPECT_EQ(MasterSongList->Get(static_cast<int>(names.size()))->FileName(),
              deep + "/" + longName);
    ScanFolder(m_Music + "/");
    ScanFolder(deep + "/");
    EXPECT_EQ(MasterSongList->Count(), static_cast<int>(before.size())) << "all known after reload";
}

TEST_F(Scan, ACatalogueThatRefusesTheRecordsGetsNoneOfThem) {
    Mp3("known.mp3");
    ScanFolder(m_Music + "/");
    Mp3("new1.mp3");
    Mp3("new2.mp3");
    const int64_t catalogueSize = SongsDatabase->GetSize();
    {
        // Writes past the catalogue's present end fail, as on a full disk.
        cFileSizeLimit limit(catalogueSize + 10);
        ScanFolder(m_Music + "/");
    }
    EXPECT_EQ(MasterSongList->Count(), 1);
    EXPECT_EQ(SongsDatabase->GetSize(), catalogueSize);
    EXPECT_EQ(m_Messages.size(), 1u) << "the catalogue's own message";
    ScanFolder(m_Music + "/");
    EXPECT_EQ(MasterSongList->Count(), 3) << "a later scan adds them";
    EXPECT_EQ(ReloadedPaths().size(), 3u);
}

TEST_F(Scan, TracesEachNewFileWithItsCataloguePosition) {
    Mp3("a.mp3");
    Mp3("b.mp3");
    std::vector<std::string> lines;
    SetTraceSink([&](std::string_view line) { lines.emplace_back(line); });
    ScanFolder(m_Music + "/");
    SetTraceSink({});
    ASSERT_EQ(MasterSongList->Count(), 2);
    for (const cSongInfo* song : *MasterSongList) {
        const std::string name = std::filesystem::path(std::string(song->FileName())).filename();
        const std::string line =
            "Adding new filename at position " + std::to_string(song->Position) + ": " + name;
        EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line;
    }
    EXPECT_EQ(MasterSongList->Get(1)->Position, MasterSongList->Get(0)->RecordLength + 5);
}

} // namespace
