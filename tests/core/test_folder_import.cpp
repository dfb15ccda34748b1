// Adding a whole folder tree: every song once whatever links lead to its folder, hidden and
// unreadable folders left out (the unreadable ones named), a cancel that keeps what was added.

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "catalogue/unitFolderImport.h"
#include "catalogue/unitSongUtils.h"
#include "support/private_mounts.h"
#include "support/song_fixtures.h"

using namespace song_fixtures;

namespace {

class FolderImport : public ::testing::Test {
protected:
    FolderImport() { EXPECT_TRUE(OpenSongsDatabase(DbPath())); }
    ~FolderImport() override { FreeAllSongs(); }

    std::string DbPath() const { return m_Folder / "DB.txt"; }
    std::string Music(const std::string& relative = "") const {
        return m_Folder / ("music/" + relative);
    }
    void Link(const std::string& target, const std::string& relative) const {
        ASSERT_EQ(::symlink(target.c_str(), Music(relative).c_str()), 0) << relative;
    }

    /// The file names of the master list's songs, sorted (a folder's files come in the order
    /// the file system lists them).
    static std::vector<std::string> SongNames() {
        std::vector<std::string> names;
        for (const cSongInfo* song : *MasterSongList) {
            names.emplace_back(FileNamePart(song->FileName()));
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    cTempFolder m_Folder;
};

TEST_F(FolderImport, EverySongOnceThroughLinksAndLoopsHiddenAndUnreadableFoldersLeftOut) {
    for (const char* song : {"a.mp3", ".hidden/h.mp3", "Artist/Album 2/z.mp3",
                             "Artist/Album 1/y.mp3", "Artist/Album 1/x.mp3"}) {
        Touch(Music(song));
    }
    Touch(m_Folder / "elsewhere/e.mp3");
    Link("..", "Artist/loop");              // back up to the artist: a loop
    Link(Music(), "Artist/Album 1/root");   // up to the top: another loop
    Link(m_Folder / "elsewhere", "Linked"); // a folder outside the tree: not followed
    Link(m_Folder / "nowhere", "Dangling");
    // A folder the user may not read (when permissions can be met here).
    const bool permissions = cUnprivileged::Possible();
    if (permissions) {
        Touch(Music("Locked/l.mp3"));
        ::chmod(Music("Locked").c_str(), 0);
        OpenToEveryone(m_Folder.Path());
        ::chmod(DbPath().c_str(), 0666); // reopened below
    }

    const cUnprivileged nobody;
    std::vector<std::string> reported;
    const cImportResult result = ImportFolderTree(Music(), [&](const cImportProgress& progress) {
        reported.push_back(ImportProgressText(progress));
        return true;
    });
    EXPECT_EQ(SongNames(), (std::vector<std::string>{"a.mp3", "x.mp3", "y.mp3", "z.mp3"}));
    EXPECT_EQ(FileNamePart(MasterSongList->Get(3)->FileName()), "z.mp3") << "folders in name order";
    EXPECT_EQ(result.FoldersDone, 4);
    EXPECT_EQ(result.SongsFound, 4);
    EXPECT_FALSE(result.Cancelled);
    ASSERT_EQ(reported.size(), 4u);
    EXPECT_EQ(reported[0], "Folders done: 0\nSongs found: 0\n" + m_Folder / "music");
    EXPECT_EQ(reported[3], "Folders done: 3\nSongs found: 3\n" + Music("Artist/Album 2"));
    EXPECT_TRUE(result.ScanMessages.empty());
    if (permissions) {
        ASSERT_EQ(result.UnreadableFolders.size(), 1u);
        EXPECT_EQ(ImportReportText(result),
                  "1 folder could not be read; the songs in and below it were not added:\n" +
                      Music("Locked") + " (Permission denied)");
    }

    // The catalogue holds each song once; a second walk finds nothing new.
    const std::string bytes = ReadBytes(DbPath());
    const cImportResult again =
        ImportFolderTree(Music(), [](const cImportProgress&) { return true; });
    EXPECT_EQ(again.SongsFound, 0);
    EXPECT_EQ(ReadBytes(DbPath()), bytes);
    FreeAllSongs();
    ASSERT_TRUE(OpenSongsDatabase(DbPath()));
    EXPECT_EQ(MasterSongList->Count(), 4);
}

// Which folder links the walk follows: only into the chosen tree, never back up the way it
// came, never out of the tree (a link to the root of the disk once catalogued the whole
// machine, /proc included).
TEST_F(FolderImport, ALinkIsFollowedOnlyIntoTheTreeAndNeverUpTheWayDown) {
    Touch(Music("Artist/Album/a.mp3"));
    Touch(Music(".archive/Old/o.mp3")); // hidden: reached by a link only
    Touch(m_Folder / "outside/x.mp3");
    struct cLinkCase {
        std::string target;
        std::string link; ///< below the music folder
        bool followed;
    };
    const std::vector<cLinkCase> cases = {
        {Music(".archive/Old"), "Artist/Old", true},      // inside the tree
        {"../../.archive", "Artist/Album/Archive", true}, // inside, relative
        {Music("Artist"), "Artist/Album/Up", false},      // a folder on the way down
        {Music(), "Artist/Top", false},                   // the chosen folder itself
        {m_Folder / "outside", "Outside", false},         // out of the tree
        {m_Folder.Path(), "Parent", false},               // the folder above the tree
        {"/", "Root", false},                             // the whole disk
        {"/proc/self", "Process", false},                 // the system's folders
        {"/dev", "Devices", false},
    };
    for (const cLinkCase& link : cases) {
        Link(link.target, link.link);
    }
    const cImportResult result =
        ImportFolderTree(Music(), [](const cImportProgress&) { return true; });
    std::vector<std::string> scanned;
    for (const cSongInfo* song : *MasterSongList) {
        scanned.emplace_back(song->FileName());
    }
    std::sort(scanned.begin(), scanned.end());
    // .archive/Old is one real folder: met first through Artist/Album/Archive/Old, then known.
    EXPECT_EQ(scanned, (std::vector<std::string>{Music("Artist/Album/Archive/Old/o.mp3"),
                                                 Music("Artist/Album/a.mp3")}));
    EXPECT_EQ(result.FoldersDone, 5) << "music, Artist, Album, Archive, Archive/Old";
    EXPECT_TRUE(result.UnreadableFolders.empty());
    for (const cLinkCase& link : cases) {
        const bool reached = std::any_of(scanned.begin(), scanned.end(), [&](const auto& path) {
            return path.starts_with(Music(link.link) + "/");
        });
        EXPECT_EQ(reached, link.followed && link.link != "Artist/Old") << link.link;
    }
}

TEST_F(FolderImport, TheSystemsFoldersAreNeverEnteredAlsoWhereTheyAreMounted) {
    const cImportResult chosen =
        ImportFolderTree("/proc", [](const cImportProgress&) { return true; });
    EXPECT_EQ(chosen.FoldersDone, 0);
    ASSERT_EQ(chosen.UnreadableFolders.size(), 1u);
    EXPECT_EQ(chosen.UnreadableFolders[0].Path, "/proc");
    EXPECT_EQ(chosen.UnreadableFolders[0].Reason, "a folder of the system, which holds no songs");

    // /proc mounted a second time inside the tree (as root, in a mount namespace of its own).
    Touch(Music("Album/a.mp3"));
    std::filesystem::create_directories(Music("Album/kernel"));
    const std::string music = Music();
    const int code = RunWithPrivateMounts([&] {
        if (::mount("/proc", (music + "Album/kernel").c_str(), nullptr, MS_BIND, nullptr) != 0) {
            return 95;
        }
        const cImportResult result =
            ImportFolderTree(music, [](const cImportProgress&) { return true; });
        return result.FoldersDone == 2 && result.SongsFound == 1 ? 0 : 1;
    });
    if (code == kNoPrivateMounts || code == 95) {
        GTEST_SKIP() << "mounts cannot be made here (needs root and mount namespaces)";
    }
    EXPECT_EQ(code, 0) << "only music and Album are scanned";
}

TEST_F(FolderImport, CancelKeepsWhatWasAddedAndADeepTreeIsWalkedWhole) {
    std::string deep;
    for (int level = 0; level < 100; ++level) {
        deep += "level" + std::to_string(level) + "/";
        Touch(Music(deep + "song" + std::to_string(level) + ".mp3"));
    }
    int folders = 0;
    const cImportResult cancelled =
        ImportFolderTree(Music(), [&](const cImportProgress&) { return ++folders <= 3; });
    EXPECT_TRUE(cancelled.Cancelled);
    EXPECT_EQ(cancelled.FoldersDone, 3);
    EXPECT_EQ(SongNames(), (std::vector<std::string>{"song0.mp3", "song1.mp3"}));
    FreeAllSongs();
    ASSERT_TRUE(OpenSongsDatabase(DbPath()));
    EXPECT_EQ(MasterSongList->Count(), 2) << "what was added is in the catalogue";

    const cImportResult whole =
        ImportFolderTree(Music(), [](const cImportProgress&) { return true; });
    EXPECT_EQ(whole.FoldersDone, 101);
    EXPECT_EQ(whole.SongsFound, 98);
    EXPECT_EQ(MasterSongList->Count(), 100);
    EXPECT_EQ(ImportReportText(whole), "");
}

TEST(FolderImportReport, NamesTwentyFoldersThenCountsTheRestAndAddsTheScansMessages) {
    cImportResult result;
    for (int i = 0; i < 23; ++i) {
        result.UnreadableFolders.push_back({"/m/" + std::to_string(i), "Input/output error"});
    }
    result.ScanMessages = {"These files in \"/m/x\" could not be read and were not added:\nb.mp3"};
    const std::string text = ImportReportText(result);
    EXPECT_EQ(text.substr(0, text.find('\n')),
              "23 folders could not be read; the songs in and below them were not added:");
    EXPECT_NE(text.find("\n/m/19 (Input/output error)\n... and 3 more folders\n\nThese files"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("/m/20 "), std::string::npos);
}

} // namespace
