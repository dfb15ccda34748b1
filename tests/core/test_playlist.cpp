// Playlists: the .pls bytes of a fresh, an empty and an existing playlist, the M3U8 bytes, the
// proposed name and kind, and a refused write that leaves the old playlist whole.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "browser/unitBrowserState.h"
#include "browser/unitPlaylist.h"
#include "support/temp_folder.h"
#include "util/unitFileHandle.h"
#include "util/unitIniDocument.h"

namespace {
using Paths = std::vector<std::string_view>;
}

TEST(Playlist, PlsOfAFreshFileAnEmptyExportAndPathsAsTheyAre) {
    // Spaces, UTF-8, a trailing blank and a quote: all written unquoted, byte for byte.
    EXPECT_EQ(PlsPlaylistBytes(
                  "", Paths{"/m/My Song.mp3", "/m/\xC3\xA9t\xC3\xA9.mp3", "/m/odd \"name\".mp3 "}),
              "[playlist]\r\nFile1=/m/My Song.mp3\r\nFile2=/m/\xC3\xA9t\xC3\xA9.mp3\r\n"
              "File3=/m/odd \"name\".mp3 \r\nNumberOfEntries=3\r\nVersion=2\r\n");
    EXPECT_EQ(PlsPlaylistBytes("", {}), "[Playlist]\r\nNumberOfEntries=0\r\nVersion=2\r\n");
    EXPECT_THROW(PlsPlaylistBytes("", Paths{"/m/line\nbreak.mp3"}), std::invalid_argument);
}

TEST(Playlist, PlsIntoAPlaylistOfFiveEntriesKeepsItsOtherLines) {
    const std::string existing = "; made by hand\r\n[playlist]\r\nFile1=/old/1.mp3\r\n"
                                 "Title1=One\r\nFile2=/old/2.mp3\r\nFile3=/old/3.mp3\r\n"
                                 "File4=/old/4.mp3\r\nFile5=/old/5.mp3\r\nNumberOfEntries=5\r\n"
                                 "Version=2\r\n[Other]\r\nkey=value\r\n";
    EXPECT_EQ(PlsPlaylistBytes(existing, Paths{"/new/a.mp3", "/new/b.mp3"}),
              "; made by hand\r\n[playlist]\r\nFile1=/new/a.mp3\r\nTitle1=One\r\n"
              "File2=/new/b.mp3\r\nFile3=/old/3.mp3\r\nFile4=/old/4.mp3\r\nFile5=/old/5.mp3\r\n"
              "NumberOfEntries=2\r\nVersion=2\r\n[Other]\r\nkey=value\r\n");
}

TEST(Playlist, M3u8NamesSongsBelowItsFolderRelatively) {
    EXPECT_EQ(
        M3u8PlaylistBytes("/music/lists/mix.m3u8",
                          Paths{"/music/lists/a.mp3", "/music/lists/sub/b.mp3",
                                "/music/lists/#1.mp3", "/music/c.mp3", "/music/listsX/d.mp3"}),
        "#EXTM3U\na.mp3\nsub/b.mp3\n./#1.mp3\n/music/c.mp3\n/music/listsX/d.mp3\n");
    EXPECT_EQ(M3u8PlaylistBytes("/music/empty.m3u8", {}), "#EXTM3U\n");
    EXPECT_THROW(M3u8PlaylistBytes("/m/x.m3u8", Paths{"/m/a\r.mp3"}), std::invalid_argument);

    EXPECT_EQ(PlaylistFormatFor("/m/x.M3U8", false), ePlaylistFormat::M3u8);
    EXPECT_EQ(PlaylistFormatFor("/m/x.txt", true), ePlaylistFormat::M3u8);
    EXPECT_EQ(PlaylistFormatFor("/m/x.pls", false), ePlaylistFormat::Pls);
    EXPECT_EQ(PlaylistFormatFor("/m/m3u8", false), ePlaylistFormat::Pls);
}

TEST(Playlist, TheProposedNameFollowsTheGroupFilter) {
    cBrowserState state;
    state.SelectedFolder = "/Music/Rock/";
    state.SelectedGroup = "Best";
    state.GroupViewMode = eGroupViewMode::OneGroup;
    EXPECT_EQ(ProposedPlaylistName(state), "Best");
    state.SelectedGroup = "AC/DC";
    EXPECT_EQ(ProposedPlaylistName(state), "AC-DC");
    state.GroupViewMode = eGroupViewMode::AllGroups;
    EXPECT_EQ(ProposedPlaylistName(state), "Rock");
    state.GroupViewMode = eGroupViewMode::Ungrouped;
    EXPECT_EQ(ProposedPlaylistName(state), "Rock");
    state.SelectedFolder = "/";
    EXPECT_EQ(ProposedPlaylistName(state), "");
}

TEST(Playlist, AWriteIsOneReplacementAndARefusedOneLeavesTheOldFileWhole) {
    cTempFolder folder;
    const std::string path = folder / "list.pls";
    const std::string old = "[playlist]\r\nFile1=/old.mp3\r\nNumberOfEntries=1\r\nVersion=2\r\n";
    WriteBytes(path, old);
    const std::string longPath = "/music/" + std::string(200, 'x') + ".mp3";
    const Paths many(100, longPath);
    try {
        const cFileSizeLimit limit(4096);
        WritePlaylist(path, many, ePlaylistFormat::Pls);
        FAIL() << "the write must be refused";
    } catch (const EFileError& error) {
        EXPECT_EQ(std::string(error.what()), "Could not write \"" + path + "\": File too large");
    }
    EXPECT_EQ(ReadBytes(path), old);
    EXPECT_EQ(folder.Entries(), std::vector<std::string>({"list.pls"}));

    WritePlaylist(path, Paths{"/new.mp3"}, ePlaylistFormat::Pls);
    EXPECT_EQ(ReadBytes(path),
              "[playlist]\r\nFile1=/new.mp3\r\nNumberOfEntries=1\r\nVersion=2\r\n");
    try {
        WritePlaylist(path, Paths{"/a\nb.mp3"}, ePlaylistFormat::M3u8);
        FAIL() << "a line break cannot be written";
    } catch (const EFileError& error) {
        EXPECT_NE(std::string(error.what()).find(path), std::string::npos);
    }
}

/// The bytes the INI writer gives a playlist written key by key from nothing: what a new .pls
/// file held before it was written in one pass.
std::string PlsKeyByKey(const Paths& paths) {
    cIniDocument playlist;
    size_t counter = 0;
    for (const std::string_view path : paths) {
        playlist.SetVerbatimValue("playlist", "File" + std::to_string(++counter), path);
    }
    playlist.SetValue("Playlist", "NumberOfEntries", std::to_string(counter));
    playlist.SetValue("Playlist", "Version", "2");
    return playlist.Bytes();
}

TEST(Playlist, ANewPlsIsTheINIWritersBytesKeyByKey) {
    const std::string manyPath = "/music/" + std::string(3000, 'm') + ".mp3";
    const Paths many(400, manyPath); // more than one block of the file's writes
    const Paths cases[] = {
        {},
        {"/a.mp3"},
        {" /lead and trail.mp3 ", "\t/tab.mp3", "/=equals=.mp3", ";/semi.mp3", "[/bracket].mp3"},
        {"\"/quoted.mp3\"", "'/single.mp3'", "\xEF\xBB\xBF/mark.mp3", "/\xFF\xFE odd bytes"},
        {"", "/after empty.mp3"},
        many,
    };
    cTempFolder folder;
    for (const Paths& paths : cases) {
        const std::string expected = PlsKeyByKey(paths);
        EXPECT_EQ(PlsPlaylistBytes("", paths), expected);
        const std::string path = folder / "new.pls";
        ::unlink(path.c_str());
        WritePlaylist(path, paths, ePlaylistFormat::Pls);
        EXPECT_EQ(ReadBytes(path), expected) << paths.size() << " songs";
        WriteBytes(path, ""); // an empty file is written as a new one
        WritePlaylist(path, paths, ePlaylistFormat::Pls);
        EXPECT_EQ(ReadBytes(path), expected);
        const std::string m3u8 = folder / "new.m3u8";
        WritePlaylist(m3u8, paths, ePlaylistFormat::M3u8);
        EXPECT_EQ(ReadBytes(m3u8), M3u8PlaylistBytes(m3u8, paths));
    }
    // What the writer refuses is refused with its reasons, before anything is written.
    const std::string refused = folder / "refused.pls";
    const struct {
        Paths paths;
        std::string reason;
    } refusals[] = {
        {{"/a.mp3", "/b\r.mp3"},
         "the song \"/b\r.mp3\" has a line break in its path, which a playlist cannot hold"},
        {{"/a.mp3", std::string_view("/n\0l", 4)},
         "the value of \"File2\" contains a line break or a NUL character"},
    };
    for (const auto& refusal : refusals) {
        EXPECT_THROW(PlsKeyByKey(refusal.paths), std::invalid_argument);
        try {
            PlsPlaylistBytes("", refusal.paths);
            ADD_FAILURE() << refusal.reason;
        } catch (const std::invalid_argument& why) {
            EXPECT_EQ(why.what(), refusal.reason);
        }
        try {
            WritePlaylist(refused, refusal.paths, ePlaylistFormat::Pls);
            ADD_FAILURE() << refusal.reason;
        } catch (const EFileError& error) {
            EXPECT_EQ(error.what(), "Could not write \"" + refused + "\": " + refusal.reason);
        }
        EXPECT_FALSE(PathExists(refused));
    }
}

/// A symbolic link at the chosen name: followed to a file that is there, which is replaced
/// while the link stays; refused when it leads nowhere (no file is made at its end) and when the
/// kernel's protected-symlinks rule would not follow it (another user's link in a sticky folder
/// that everyone may write to, the folder not theirs either).
TEST(Playlist, ALinkAtTheChosenNameIsFollowedOnlyToAFileThatIsThereAndNeverWhenPlanted) {
    const bool root = ::geteuid() == 0;
    constexpr uid_t kNobody = 65534;
    enum eOwner { kMe, kNobodyElse };
    const struct {
        const char* name;
        bool sharedFolder; // sticky, everyone may write
        eOwner folderOwner;
        eOwner linkOwner;
        bool targetThere;
        bool followed;
        const char* reason; // of a refusal
    } cases[] = {
        {"plain folder", false, kMe, kMe, true, true, ""},
        {"dangling", false, kMe, kMe, false, false, "which is not there"},
        {"shared, my link", true, kMe, kMe, true, true, ""},
        {"shared, planted", true, kMe, kNobodyElse, true, false, "another user put into"},
        {"shared, planted, dangling", true, kMe, kNobodyElse, false, false,
         "another user put into"},
        {"shared, the folder owner's", true, kNobodyElse, kNobodyElse, true, true, ""},
    };
    const std::string old = "[playlist]\r\nFile1=/old.mp3\r\nNumberOfEntries=1\r\nVersion=2\r\n";
    for (const auto& c : cases) {
        if (!root && (c.folderOwner != kMe || c.linkOwner != kMe)) {
            continue; // only root can give a link or folder to another user
        }
        cTempFolder folder;
        const std::string shared = folder / "shared";
        ASSERT_EQ(::mkdir(shared.c_str(), 0755), 0);
        if (c.sharedFolder) {
            ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
        }
        const std::string target = folder / "target.pls";
        if (c.targetThere) {
            WriteBytes(target, old);
        }
        const std::string link = shared + "/list.pls";
        ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
        if (c.linkOwner == kNobodyElse) {
            ASSERT_EQ(::lchown(link.c_str(), kNobody, kNobody), 0);
        }
        if (c.folderOwner == kNobodyElse) {
            ASSERT_EQ(::chown(shared.c_str(), kNobody, kNobody), 0);
        }
        for (const ePlaylistFormat format : {ePlaylistFormat::Pls, ePlaylistFormat::M3u8}) {
            if (c.targetThere) {
                WriteBytes(target, old);
            }
            try {
                WritePlaylist(link, Paths{"/new.mp3"}, format);
                EXPECT_TRUE(c.followed) << c.name;
            } catch (const EFileError& error) {
                EXPECT_FALSE(c.followed) << c.name << ": " << error.what();
                EXPECT_TRUE(std::string(error.what()).find("Could not write \"" + link + "\": ") ==
                            0)
                    << error.what();
                EXPECT_NE(std::string(error.what()).find(c.reason), std::string::npos)
                    << error.what();
            }
            struct stat info {};
            ASSERT_EQ(::lstat(link.c_str(), &info), 0);
            EXPECT_TRUE(S_ISLNK(info.st_mode)) << c.name << ": the link stays a link";
            const std::string expected =
                !c.followed ? old
                : format == ePlaylistFormat::Pls
                    ? "[playlist]\r\nFile1=/new.mp3\r\nNumberOfEntries=1\r\nVersion=2\r\n"
                    : "#EXTM3U\n/new.mp3\n";
            EXPECT_EQ(PathExists(target), c.targetThere) << c.name << ": nothing made at its end";
            if (c.targetThere) {
                EXPECT_EQ(ReadBytes(target), expected) << c.name;
            }
        }
        ::chown(shared.c_str(), ::geteuid(), ::getegid());
    }
}
