// A song's two tags: the precedence rule that makes the song's texts of them, the rebuilt ID3v2
// tag (other frames kept byte for byte, TagLib reading the result), and the tag editor's write
// into the file, in place or through a complete copy, with its failures and crashes.
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
#include "catalogue/unitId3v2Write.h"
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

// ---- the rebuilt tag --------------------------------------------------------------------

/// The frames every rebuilt tag must keep, of the version: track, genre, picture, lyrics, a
/// private frame, one this program has never heard of, two other comments.
std::vector<std::string> OtherFrames(int version) {
    if (version == 2) {
        return {TextFrame(2, "TRK", kLatin1, u"4/12"), TextFrame(2, "TCO", kLatin1, u"(17)"),
                Frame(2, "PIC", "\x00JPG\x03\x00"s + std::string(3000, '\xD8')),
                Frame(2, "ULT",
                      "\x00"
                      "engdesc\x00Lyrics here"s),
                CommentFrame(2, kLatin1, u"iTunNORM", u" 00000A2B")};
    }
    std::vector<std::string> frames = {
        TextFrame(version, "TRCK", kLatin1, u"4/12"),
        TextFrame(version, "TCON", kUtf16Bom, u"Rock"),
        Frame(version, "APIC", "\x00image/png\x00\x03\x00"s + std::string(3000, '\x89')),
        Frame(version, "USLT",
              "\x01"
              "eng\xFF\xFE\x00\x00\xFF\xFE"
              "L\0a\0"s),
        Frame(version, "PRIV", "owner\x00\x01\x02\x03"s),
        Frame(version, "XYZW", "unknown to everyone"),
        CommentFrame(version, kLatin1, u"iTunNORM", u" 00000A2B 00000C3D"),
        CommentFrame(version, kUtf16Bom, u"Songs-DB", u"kept as it was", "deu"),
    };
    if (version == 4) {
        // A frame with its own flags: unsynchronised, with a data length.
        frames.push_back("TXXX" + Syncsafe(9) + "\x00\x03"s + Syncsafe(5) + "\x00k\x00v\xFF");
    } else {
        frames.push_back(Frame(3, "TXXX", "\x00k\x00v"s, 0x0020)); // flags kept as they are
    }
    return frames;
}

std::string Interleaved(int version, const std::vector<std::string>& others,
                        std::u16string_view title) {
    const bool v2 = version == 2;
    std::string body = others[0] + TextFrame(version, v2 ? "TT2" : "TIT2", kUtf16Bom, title);
    for (size_t i = 1; i < others.size(); ++i) {
        body += others[i];
        if (i == 2) {
            body += CommentFrame(version, kLatin1, u"", u"Old comment");
        }
    }
    return body + TextFrame(version, v2 ? "TYE" : version == 3 ? "TYER" : "TDRC", kLatin1, u"1999");
}

/// Whether every frame is found in the tag, in this order and each whole.
bool HoldsInOrder(std::string_view tag, const std::vector<std::string>& frames) {
    size_t at = 0;
    for (const std::string& frame : frames) {
        at = tag.find(frame, at);
        if (at == std::string_view::npos) {
            return false;
        }
        at += frame.size();
    }
    return true;
}

cId3v2Edits Edits(std::optional<std::string> title, std::optional<std::string> artist,
                  std::optional<std::string> year, std::optional<std::string> comment) {
    cId3v2Edits edits;
    edits[static_cast<size_t>(eTagField::kTitle)] = std::move(title);
    edits[static_cast<size_t>(eTagField::kArtist)] = std::move(artist);
    edits[static_cast<size_t>(eTagField::kYear)] = std::move(year);
    edits[static_cast<size_t>(eTagField::kComment)] = std::move(comment);
    return edits;
}

/// The five texts TagLib reads from a file, and the text of one frame.
struct cTagLibView {
    cId3v1Texts Texts;
    std::string Frame(const char* id) const { return Frames.contains(id) ? Frames.at(id) : ""; }
    std::map<std::string, std::string> Frames;
};

cTagLibView ReadWithTagLib(const std::string& path) {
    TagLib::MPEG::File file(path.c_str(), false);
    cTagLibView view;
    const TagLib::ID3v2::Tag* tag = file.ID3v2Tag();
    if (tag == nullptr) {
        return view;
    }
    view.Texts = {tag->title().to8Bit(true), tag->artist().to8Bit(true), tag->album().to8Bit(true),
                  tag->year() ? std::to_string(tag->year()) : "", tag->comment().to8Bit(true)};
    for (const auto& [id, frames] : tag->frameListMap()) {
        if (!frames.isEmpty()) {
            view.Frames[std::string(id.data(), id.size())] =
                frames.front()->toString().to8Bit(true);
        }
    }
    return view;
}

TEST(Id3v2Rebuild, EditedFramesChangeAndEveryOtherFrameStaysByteForByte) {
    cTempFolder folder;
    for (const int version : {2, 3, 4}) {
        const std::vector<std::string> others = OtherFrames(version);
        const std::string old = Tag(version, Interleaved(version, others, u"Old title"), 100);
        const cId3v2Header header = *ParseId3v2Header(old);
        const std::optional<std::string> frames = EditedId3v2Frames(
            header, old, Edits("Neuer Titel \xE2\x82\xAC", "New artist", "2024", "New comment"));
        ASSERT_TRUE(frames) << version;
        EXPECT_TRUE(HoldsInOrder(*frames, others)) << version;
        const std::string tag = Id3v2TagBytes(header, *frames, 4096);
        ASSERT_EQ(tag.size(), 4096u);
        EXPECT_EQ(tag.substr(0, 5), old.substr(0, 5)) << "same version and revision";

        const std::string path = folder / "rebuilt.mp3";
        WriteBytes(path, tag + Audio(3000));
        const cTagLibView read = ReadWithTagLib(path);
        EXPECT_EQ(read.Texts, (cId3v1Texts{"Neuer Titel \xE2\x82\xAC", "New artist", "", "2024",
                                           "New comment"}))
            << version;
        EXPECT_EQ(read.Frame("TRCK"), "4/12") << version;
        EXPECT_EQ(ReadId3v2Texts(tag), read.Texts) << version;
    }
}

TEST(Id3v2Rebuild, WhatIsNotEditedIsNotTouched) {
    const std::vector<std::string> others = OtherFrames(3);
    const std::string titleFrame = TextFrame(3, "TIT2", kUtf16Bom, u"Old title");
    const std::string old = Tag(3, Interleaved(3, others, u"Old title"));
    const cId3v2Header header = *ParseId3v2Header(old);

    // No edit: the frames as they were.
    const std::optional<std::string> same = EditedId3v2Frames(header, old, {});
    ASSERT_TRUE(same);
    EXPECT_EQ(*same, old.substr(10));

    // Only the year: title and comment frames are kept as they were; removing a text drops
    // its frame, the other comments stay.
    const std::optional<std::string> yearOnly =
        EditedId3v2Frames(header, old, Edits(std::nullopt, std::nullopt, "", ""));
    ASSERT_TRUE(yearOnly);
    EXPECT_NE(yearOnly->find(titleFrame), std::string::npos);
    EXPECT_EQ(yearOnly->find("TYER"), std::string::npos);
    EXPECT_EQ(yearOnly->find("Old comment"), std::string::npos);
    EXPECT_TRUE(HoldsInOrder(*yearOnly, others));

    // A field without a frame gets one at the end; a new comment has no description.
    const std::string bare = Tag(3, others[0]);
    const std::optional<std::string> added = EditedId3v2Frames(
        *ParseId3v2Header(bare), bare, Edits("T", std::nullopt, std::nullopt, "C"));
    ASSERT_TRUE(added);
    EXPECT_EQ(*added, others[0] + Frame(3, "TIT2", "\x00T"s) +
                          Frame(3, "COMM",
                                "\x00XXX\x00"
                                "C"s));
}

TEST(Id3v2Rebuild, TagsThatCannotBeRebuiltSafelyAreRefused) {
    const std::string sound = TextFrame(3, "TIT2", kLatin1, u"t");
    const auto edited = [](const std::string& tag) {
        const std::optional<cId3v2Header> header = ParseId3v2Header(tag);
        return header && EditedId3v2Frames(*header, tag,
                                           Edits("x", std::nullopt, std::nullopt, std::nullopt));
    };
    EXPECT_TRUE(edited(Tag(3, sound, 10)));
    EXPECT_FALSE(edited(Tag(3, sound + "bad!" + std::string(20, '\x01')))) << "junk after a frame";
    EXPECT_FALSE(edited(Tag(3, sound + "TPE1" + BigEndian(500, 4) + "\x00\x00x"s)))
        << "a frame past the end";
    EXPECT_FALSE(edited(Tag(3, sound, 100).substr(0, 40))) << "fewer bytes than the tag states";
    EXPECT_FALSE(edited("ID3\x03\x00\x00\x7F\x7F\x7F\x7F"s + sound)) << "larger than any tag read";
}

TEST(Id3v2Rebuild, UnsynchronisationAndDiscardedFrames) {
    // A 2.3 tag unsynchronised as a whole is written undone, its frames with their true bytes.
    const std::string ff = TextFrame(3, "TPE1", kLatin1, u"\u00FF\u00FF\u00E9");
    const std::string tag23 =
        Tag(3, Unsynchronised(TextFrame(3, "TIT2", kLatin1, u"t") + ff), 0, 0x80);
    const std::optional<std::string> frames = EditedId3v2Frames(
        *ParseId3v2Header(tag23), tag23, Edits("new", std::nullopt, std::nullopt, std::nullopt));
    ASSERT_TRUE(frames);
    EXPECT_EQ(*frames, Frame(3, "TIT2", "\x00new"s) + ff);
    EXPECT_EQ(Id3v2TagBytes(*ParseId3v2Header(tag23), *frames, 100)[5], '\0') << "flag cleared";

    // In a 2.4 tag marked unsynchronised the new frame is unsynchronised and flagged too.
    const std::string tag24 = Tag(4, Frame(4, "TIT2", "\x00t"s, 0x0002), 0, 0x80);
    const std::optional<std::string> frames24 =
        EditedId3v2Frames(*ParseId3v2Header(tag24), tag24,
                          Edits("\xC3\xBF", std::nullopt, std::nullopt, std::nullopt));
    ASSERT_TRUE(frames24);
    EXPECT_EQ(*frames24, "TIT2" + Syncsafe(3) + "\x00\x02\x00\xFF\x00"s);
    const std::string whole = Id3v2TagBytes(*ParseId3v2Header(tag24), *frames24, 64);
    EXPECT_EQ(static_cast<uint8_t>(whole[5]), 0x80);
    EXPECT_EQ(ReadId3v2Texts(whole).Title, "\xC3\xBF");

    // A frame that asks to be discarded when the tag changes is.
    const std::string discard = Frame(3, "XDIS", "gone", 0x8000);
    const std::string tagged = Tag(3, discard + TextFrame(3, "TIT2", kLatin1, u"t"));
    const std::optional<std::string> kept = EditedId3v2Frames(
        *ParseId3v2Header(tagged), tagged, Edits("u", std::nullopt, std::nullopt, std::nullopt));
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->find("XDIS"), std::string::npos);
}

// ---- writing both tags into the file ----------------------------------------------------

class WriteSongTagsTest : public ::testing::Test {
protected:
    /// A song with an ID3v2.3 tag: track, genre, picture and friends, the title, a comment,
    /// the year; padding as given.
    std::string MakeSong(size_t padding, std::string_view tail = {}) {
        const std::string bytes =
            Tag(3, Interleaved(3, m_Others, u"A title much longer than the thirty bytes of ID3v1"),
                padding) +
            Audio(50000) + std::string(tail);
        WriteBytes(m_Path, bytes);
        return bytes;
    }
    std::string AudioOf(const std::string& bytes) {
        return bytes.substr(ParseId3v2Header(bytes)->TotalSize(), 50000);
    }
    /// What the editor shows, with one field typed over.
    cId3v1Texts Typed(std::string cId3v1Texts::*field, std::string text) {
        cId3v1Texts typed = ReadSongTag(m_Path).Texts;
        typed.*field = std::move(text);
        return typed;
    }
    /// The old tag's size, and the size of the new file when the artist is added to it
    /// (a frame of 21 bytes that the old tag has no room for), with fresh padding and ID3v1.
    int64_t OldTagSize(const std::string& bytes) { return ParseId3v2Header(bytes)->TotalSize(); }
    int64_t GrownFileSize(const std::string& bytes) {
        return OldTagSize(bytes) + 21 + static_cast<int64_t>(kId3v2NewPadding) + 50000 + 128;
    }

    cTempFolder m_Folder;
    std::string m_Path = m_Folder / "song.mp3";
    std::vector<std::string> m_Others = OtherFrames(3);
};

ino_t InodeOf(const std::string& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_ino;
}

TEST_F(WriteSongTagsTest, InPlaceWhenTheNewTagFitsItsPadding) {
    const std::string before = MakeSong(2048);
    const ino_t inode = InodeOf(m_Path);
    const std::timespec old{981173106, 123456789};
    const cSongTagWrite written =
        WriteSongTags(m_Path, Typed(&cId3v1Texts::Title, "New title"), &old);
    const std::string after = ReadBytes(m_Path);
    EXPECT_EQ(InodeOf(m_Path), inode) << "written in place";
    ASSERT_EQ(after.size(), before.size() + 128) << "the tag keeps its size; ID3v1 appended";
    EXPECT_EQ(after.substr(0, 10), before.substr(0, 10)) << "same header, same size";
    EXPECT_EQ(AudioOf(after), AudioOf(before));
    EXPECT_TRUE(HoldsInOrder(after.substr(0, OldTagSize(after)), m_Others));
    EXPECT_EQ(after.substr(after.size() - 128, 13), "TAGNew title ");
    EXPECT_EQ(ReadWithTagLib(m_Path).Texts.Title, "New title");
    EXPECT_EQ(written.FileSize, static_cast<int64_t>(after.size()));
    EXPECT_EQ(written.FileTime.tv_sec, old.tv_sec);
    EXPECT_EQ(written.FileTime.tv_nsec, old.tv_nsec);
    EXPECT_EQ(written.Id3v2Texts.Title, "New title");
}

TEST_F(WriteSongTagsTest, ThroughACompleteCopyWhenItDoesNotFit) {
    std::string oldTag = TagBlock("Old", "", "", "", "");
    oldTag[127] = '\x11';
    const std::string before = MakeSong(0, oldTag);
    ASSERT_EQ(::chmod(m_Path.c_str(), 0640), 0);
    const bool owned = ::chown(m_Path.c_str(), 1234, 5678) == 0; // as root
    const bool noted = ::setxattr(m_Path.c_str(), "user.origin", "shop", 4, 0) == 0;
    const ino_t inode = InodeOf(m_Path);
    const std::string link = m_Folder / "link.mp3";
    ASSERT_EQ(::symlink("song.mp3", link.c_str()), 0);
    const std::timespec old{981173106, 123456789};

    WriteSongTags(link, Typed(&cId3v1Texts::Artist, "New artist"), &old);
    const std::string after = ReadBytes(m_Path);
    EXPECT_NE(InodeOf(m_Path), inode) << "a new file";
    EXPECT_TRUE(std::filesystem::is_symlink(link)) << "the link stays a link";
    ASSERT_EQ(static_cast<int64_t>(after.size()), GrownFileSize(before));
    EXPECT_EQ(AudioOf(after), AudioOf(before));
    EXPECT_TRUE(HoldsInOrder(after.substr(0, OldTagSize(after)), m_Others));
    EXPECT_EQ(after.substr(after.size() - 128, 46),
              "TAGOld" + std::string(27, ' ') + "New artist   ");
    EXPECT_EQ(after.back(), '\x11') << "the old genre byte";
    const cTagLibView read = ReadWithTagLib(m_Path);
    EXPECT_EQ(read.Texts.Artist, "New artist");
    EXPECT_EQ(read.Texts.Title, "A title much longer than the thirty bytes of ID3v1");

    struct stat info {};
    ASSERT_EQ(::stat(m_Path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(info.st_mtim.tv_sec, old.tv_sec);
    EXPECT_EQ(info.st_mtim.tv_nsec, old.tv_nsec);
    if (owned) {
        EXPECT_EQ(info.st_uid, 1234u);
        EXPECT_EQ(info.st_gid, 5678u);
    }
    if (noted) {
        char value[8] = {};
        EXPECT_EQ(::getxattr(m_Path.c_str(), "user.origin", value, sizeof value), 4);
        EXPECT_STREQ(value, "shop");
    }
    EXPECT_EQ(m_Folder.Entries(), (std::vector<std::string>{"link.mp3", "song.mp3"}));
}

TEST_F(WriteSongTagsTest, FieldsLeftAsShownKeepTheirFrames) {
    const std::string before = MakeSong(2048);
    const std::string titleFrame =
        TextFrame(3, "TIT2", kUtf16Bom, u"A title much longer than the thirty bytes of ID3v1");
    cId3v1Texts typed = ReadSongTag(m_Path).Texts;
    EXPECT_EQ(typed.Title, "A title much longer than the t");
    typed.Album = "New album";
    const cSongTagWrite written = WriteSongTags(m_Path, typed, nullptr);
    const std::string after = ReadBytes(m_Path);
    EXPECT_NE(after.find(titleFrame), std::string::npos) << "the whole title stays";
    EXPECT_EQ(written.Id3v2Texts.Title, "A title much longer than the thirty bytes of ID3v1");
    EXPECT_EQ(written.Id3v2Texts.Album, "New album");
    EXPECT_EQ(after.substr(after.size() - 128, 33), "TAGA title much longer than the t");
}

TEST_F(WriteSongTagsTest, ADamagedId3v2TagIsLeftAloneAndTheId3v1TagWritten) {
    const std::string damaged =
        Tag(3, TextFrame(3, "TIT2", kLatin1, u"Old") + "bad!" + std::string(30, '\x01'));
    WriteBytes(m_Path, damaged + Audio(1000));
    const cSongTagWrite written = WriteSongTags(m_Path, {"New", "", "", "", ""}, nullptr);
    EXPECT_TRUE(written.Id3v2LeftAlone);
    const std::string after = ReadBytes(m_Path);
    EXPECT_EQ(after.substr(0, damaged.size() + 1000), damaged + Audio(1000));
    EXPECT_EQ(after.substr(after.size() - 128, 6), "TAGNew");
}

TEST_F(WriteSongTagsTest, AReadOnlyFileGivesTheErrorAndChangesNothing) {
    const std::string before = MakeSong(0);
    if (!cUnprivileged::Possible()) {
        GTEST_SKIP() << "file permissions cannot be met as this user";
    }
    ::chmod(m_Path.c_str(), 0444);
    OpenToEveryone(m_Folder.Path());
    {
        cUnprivileged asUser;
        try {
            WriteSongTags(m_Path, {"New", "", "", "", ""}, nullptr);
            ADD_FAILURE() << "written";
        } catch (const EFileError& error) {
            EXPECT_EQ(std::string(error.what()),
                      "Cannot open \"" + m_Path + "\": Permission denied");
        }
    }
    EXPECT_EQ(ReadBytes(m_Path), before);
}

TEST_F(WriteSongTagsTest, AnAppendThatFailsPutsTheOldId3v2TagBack) {
    const std::string before = MakeSong(2048);
    // The ID3v1 block needs 128 bytes more than the disk has: the new ID3v2 tag, written in
    // place, goes back.
    const int code = RunInChildWithFileLimit(static_cast<off_t>(before.size()), [&] {
        try {
            WriteSongTags(m_Path, Typed(&cId3v1Texts::Title, "New title"), nullptr);
        } catch (const EFileError& error) {
            return std::string(error.what()).find(m_Path) != std::string::npos ? 0 : 2;
        }
        return 1;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ReadBytes(m_Path), before);
}

TEST_F(WriteSongTagsTest, AFullDiskDuringTheCopyLeavesTheOriginalAndNoCopy) {
    const std::string before = MakeSong(0);
    const int code = RunInChildWithFileLimit(20000, [&] {
        try {
            WriteSongTags(m_Path, Typed(&cId3v1Texts::Artist, "New artist"), nullptr);
        } catch (const EFileError& error) {
            return std::string(error.what()) ==
                           "Cannot write the tag of \"" + m_Path + "\": File too large"
                       ? 0
                       : 2;
        }
        return 1;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ReadBytes(m_Path), before);
    EXPECT_EQ(m_Folder.Entries(), std::vector<std::string>{"song.mp3"}) << "the copy is removed";
}

// A crash at any write of the copy (the file size signal kills the writer there): the file is
// always the old one whole, and nothing a folder scan would take for a song is left beside it.
TEST_F(WriteSongTagsTest, ACrashAtAnyWriteOfTheCopyLeavesTheOldFile) {
    const std::string before = MakeSong(0);
    const cId3v1Texts typed = Typed(&cId3v1Texts::Artist, "New artist");
    const int64_t newSize = GrownFileSize(before);
    std::vector<off_t> cuts = {0, 1, 9, 10, 4000, 6000};
    for (off_t cut = 6000; cut < newSize; cut += 3989) {
        cuts.push_back(cut);
    }
    for (const int64_t near : {newSize - 129, newSize - 128, newSize - 127, newSize - 1}) {
        cuts.push_back(static_cast<off_t>(near));
    }
    for (const off_t cut : cuts) {
        const int code = RunInChild([&] {
            const rlimit small{static_cast<rlim_t>(cut), static_cast<rlim_t>(cut)};
            ::setrlimit(RLIMIT_FSIZE, &small);
            WriteSongTags(m_Path, typed, nullptr);
            return 0;
        });
        EXPECT_EQ(code, 200 + SIGXFSZ) << "cut at " << cut;
        EXPECT_EQ(ReadBytes(m_Path), before) << "cut at " << cut;
        for (const std::string& name : m_Folder.Entries()) {
            EXPECT_TRUE(name == "song.mp3" || !IsMp3FileName(name)) << name;
        }
    }
    WriteSongTags(m_Path, typed, nullptr);
    EXPECT_EQ(static_cast<int64_t>(ReadBytes(m_Path).size()), newSize);
    EXPECT_EQ(ReadWithTagLib(m_Path).Texts.Artist, "New artist");
}

} // namespace
