// A song's two tags: the precedence rule that makes the song's texts of them.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <id3v2tag.h>
#include <mpegfile.h>

#include <csignal>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "catalogue/unitFolderScan.h"
#include "catalogue/unitSongTags.h"
#include "catalogue/unitSongsDatabaseClass.h"
#include "support/id3v2_fixtures.h"
#include "support/song_fixtures.h"

using namespace id3v2_fixtures;
using namespace song_fixtures;
using namespace std::string_literals;

namespace {

// ---- precedence -------------------------------------------------------------------------

const std::string kLong = "The Long and Winding Road (Remastered 2009)";
const std::u16string kLongWide =
    u"\u6771\u4EAC\u306E\u591C \u2013 \u6771\u4EAC\u306E\u591C \u2013 \u591C";
/// Its first 30 bytes in UTF-8, which end between two characters.
const std::u16string kLongWideCut = u"\u6771\u4EAC\u306E\u591C \u2013 \u6771\u4EAC\u306E\u591C ";

/// An ID3v1.1 block: the comment in 28 bytes, then a zero byte and the track number.
std::string Id3v11Block(std::string_view comment, char track) {
    std::string block = TagBlock("T", "A", "", "", comment);
    block[125] = '\0';
    block[126] = track;
    return block;
}

TEST(SongTextPrecedence, Id3v1FirstCutTextsCompletedFileNameLast) {
    const std::string v2 = Tag(
        3,
        TextFrame(3, "TIT2", kUtf16Bom, u"The Long and Winding Road (Remastered 2009)") +
            TextFrame(3, "TPE1", kUtf16Bom, u"Beatles") +
            TextFrame(3, "TALB", kUtf16Bom, u"Let It Be") + TextFrame(3, "TYER", kLatin1, u"1970") +
            CommentFrame(3, kUtf16Bom, u"", u"A comment much longer than twenty-eight bytes"),
        512);
    const std::u16string kLatinAlbum = u"Caf\u00E9 de Flore, \u00E9dition compl\u00E8te";
    const std::string wide =
        Tag(4, TextFrame(4, "TIT2", kUtf8, kLongWide) + TextFrame(4, "TALB", kUtf8, kLatinAlbum));
    const std::string wideTitleCut = Utf8(kLongWideCut); // this program's cut, then a blank
    const std::string latinAlbumCut = Encoded(kLatin1, kLatinAlbum).substr(0, 30);
    struct cCase {
        const char* Name;
        std::string Head;
        std::string Tail;
        cId3v1Texts Expected;
    };
    const cCase cases[] = {
        {"ID3v1 alone, read as designed",
         "",
         TagBlock(" Help ", "Beatles", "", "1965", "c"),
         {"Help", "Beatles", "", "1965", "c" + std::string(29, ' ')}},
        {"ID3v2 alone",
         v2,
         "",
         {kLong, "Beatles", "Let It Be", "1970", "A comment much longer than twenty-eight bytes"}},
        {"a field ID3v1 fills keeps its text",
         v2,
         TagBlock("Help", "The Beatles", "LIB", "1969", "x"),
         {"Help", "The Beatles", "LIB", "1969", "x" + std::string(29, ' ')}},
        {"texts cut at the field's width are completed",
         v2,
         TagBlock(kLong.substr(0, 30), "Beatles", "Let It Be", "1970",
                  "A comment much longer than t"),
         {kLong, "Beatles", "Let It Be", "1970",
          "A comment much longer than t" + std::string(2, ' ')}},
        {"an ID3v1.1 comment cut at 28 bytes is completed",
         v2,
         Id3v11Block("A comment much longer than t", 5),
         {"T", "A", "Let It Be", "1970", "A comment much longer than twenty-eight bytes"}},
        {"a cut text that ID3v2 does not begin with stays",
         v2,
         TagBlock("The Long and Winding Road (Liv", "Beatles", "", "", ""),
         {"The Long and Winding Road (Liv", "Beatles", "Let It Be", "1970",
          "A comment much longer than twenty-eight bytes"}},
        {"a text shorter than its field is not cut",
         v2,
         TagBlock("The Long", "", "", "", ""),
         {"The Long", "Beatles", "Let It Be", "1970",
          "A comment much longer than twenty-eight bytes"}},
        {"UTF-8 and Latin-1 cuts are completed too",
         wide,
         TagBlock(wideTitleCut, "", latinAlbumCut, "", ""),
         {Utf8(kLongWide), "Band", Utf8(kLatinAlbum), "    ", std::string(30, ' ')}},
        {"blank ID3v1 fields take the ID3v2 texts",
         v2,
         TagBlock("   ", "", "", "    ", ""),
         {kLong, "Beatles", "Let It Be", "1970", "A comment much longer than twenty-eight bytes"}},
        {"only what both tags lack comes from the file name",
         Tag(3, TextFrame(3, "TALB", kLatin1, u"Album only")),
         TagBlock("", "", "", "", ""),
         {"Song", "Band", "Album only", "    ", std::string(30, ' ')}},
        {"no tags: both names from the file name", "", "", {"Song", "Band", "", "", ""}},
    };
    cTempFolder folder;
    for (const cCase& c : cases) {
        const std::string path = folder / "Band - Song.mp3";
        WriteBytes(path, c.Head + Audio(6000) + c.Tail);
        cSongInfo song;
        ReadSongFromFile(path, song);
        const cId3v1Texts read{std::string(song.Title()), std::string(song.Author()),
                               std::string(song.Album()), std::string(song.Year()),
                               std::string(song.Comment())};
        EXPECT_EQ(read.Title, c.Expected.Title) << c.Name;
        EXPECT_EQ(read.Artist, c.Expected.Artist) << c.Name;
        EXPECT_EQ(read.Album, c.Expected.Album) << c.Name;
        EXPECT_EQ(read.Year, c.Expected.Year) << c.Name;
        EXPECT_EQ(read.Comment, c.Expected.Comment) << c.Name;
    }
}

TEST(SongTextPrecedence, TheEditorShowsWhatTheListShowsCutToTheFields) {
    cTempFolder folder;
    const std::string path = folder / "s.mp3";
    WriteBytes(path, Tag(4, TextFrame(4, "TIT2", kUtf8, kLongWide) +
                                TextFrame(4, "TPE1", kUtf8, u"Bj\u00F6rk") +
                                TextFrame(4, "TALB", kUtf8, std::u16string(40, u'a'))) +
                         Audio(300));
    cSongTag tag = ReadSongTag(path);
    EXPECT_FALSE(tag.HasTag);
    EXPECT_TRUE(tag.HasId3v2);
    EXPECT_EQ(tag.Texts.Title, Utf8(kLongWideCut)) << "UTF-8 cut between characters";
    EXPECT_EQ(tag.Texts.Artist, "Bj\xF6rk") << "stored as Latin-1, as the editor stores it";
    EXPECT_EQ(tag.Texts.Album, std::string(30, 'a'));

    WriteBytes(path, Tag(3, TextFrame(3, "TIT2", kLatin1, u"From ID3v2") +
                                TextFrame(3, "TPE1", kLatin1, u"Artist 2")) +
                         Audio(300) + TagBlock("From ID3v1", "", "", "", ""));
    tag = ReadSongTag(path);
    EXPECT_TRUE(tag.HasTag);
    EXPECT_EQ(tag.Texts, (cId3v1Texts{"From ID3v1", "Artist 2", "", "", ""}));
}

} // namespace
