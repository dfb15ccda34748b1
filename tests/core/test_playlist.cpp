// Playlists: the .pls bytes of a fresh, an empty and an existing playlist, the M3U8 bytes, the
// proposed name and kind, and a refused write that leaves the old playlist whole.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "browser/unitBrowserState.h"
#include "browser/unitPlaylist.h"
#include "support/temp_folder.h"
#include "util/unitFileHandle.h"

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
