// A song's two tags: the precedence rule that makes the song's texts of them, the rebuilt ID3v2
// tag (other frames kept byte for byte, TagLib reading the result), and the tag editor's write
// into the file, in place or through a complete copy, with its failures and crashes.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/xattr.h>

#include <id3v2tag.h>
#include <mpegfile.h>

#include <csignal>
#include <filesystem>
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

const std::string kLong = "The Long and Winding Road (Remastered 2009)";
const std::string kLongComment = "A comment much longer than twenty-eight bytes";
const std::u16string kWide = u"\u6771\u4EAC\u306E\u591C \u2013 \u6771\u4EAC\u306E\u591C \u2013";
const std::u16string kWideCut = kWide.substr(0, 12); // its first 30 bytes in UTF-8
const std::u16string kAccented = u"Caf\u00E9 de Flore, \u00E9dition compl\u00E8te";

TEST(SongTextPrecedence, Id3v1FirstCutTextsCompletedFileNameLast) {
    const std::string v2 = Tag(
        3,
        TextFrame(3, "TIT2", kUtf16Bom, u"The Long and Winding Road (Remastered 2009)") +
            TextFrame(3, "TPE1", kUtf16Bom, u"Beatles") +
            TextFrame(3, "TALB", kUtf16Bom, u"Let It Be") + TextFrame(3, "TYER", kLatin1, u"1970") +
            CommentFrame(3, kUtf16Bom, u"", u"A comment much longer than twenty-eight bytes"),
        512);
    const std::string wide =
        Tag(4, TextFrame(4, "TIT2", kUtf8, kWide) + TextFrame(4, "TALB", kUtf8, kAccented));
    std::string v11 = TagBlock("T", "A", "", "", kLongComment.substr(0, 28));
    v11[125] = '\0';
    v11[126] = '\x05';
    const std::string blank30(30, ' ');
    const cId3v1Texts all{kLong, "Beatles", "Let It Be", "1970", kLongComment};
    struct cCase {
        const char* Name;
        std::string Head, Tail;
        cId3v1Texts Expected;
    };
    // clang-format off
    const cCase cases[] = {
        {"ID3v1 alone, read as designed", "", TagBlock(" Help ", "Beatles", "", "1965", "c"),
         {"Help", "Beatles", "", "1965", "c" + blank30.substr(1)}},
        {"ID3v2 alone", v2, "", all},
        {"a field ID3v1 fills keeps its text", v2, TagBlock("Help", "The Beatles", "LIB", "1969", "x"),
         {"Help", "The Beatles", "LIB", "1969", "x" + blank30.substr(1)}},
        {"texts cut at the field's width are completed", v2,
         TagBlock(kLong.substr(0, 30), "Beatles", "Let It Be", "1970", kLongComment.substr(0, 28)),
         {kLong, "Beatles", "Let It Be", "1970", kLongComment.substr(0, 28) + "  "}},
        {"an ID3v1.1 comment cut at 28 bytes is completed", v2, v11,
         {"T", "A", "Let It Be", "1970", kLongComment}},
        {"a cut text that the ID3v2 text does not begin with stays", v2,
         TagBlock("The Long and Winding Road (Liv", "", "", "", ""),
         {"The Long and Winding Road (Liv", "Beatles", "Let It Be", "1970", kLongComment}},
        {"a text shorter than its field is no cut", v2, TagBlock("The Long", "", "", "", ""),
         {"The Long", "Beatles", "Let It Be", "1970", kLongComment}},
        {"UTF-8 and Latin-1 cuts are completed", wide,
         TagBlock(Utf8(kWideCut), "", Encoded(kLatin1, kAccented).substr(0, 30), "", ""),
         {Utf8(kWide), "Band", Utf8(kAccented), "    ", blank30}},
        {"blank ID3v1 fields take the ID3v2 texts", v2, TagBlock("   ", "", "", "    ", ""), all},
        {"only what both tags lack comes from the file name",
         Tag(3, TextFrame(3, "TALB", kLatin1, u"Album only")), TagBlock("", "", "", "", ""),
         {"Song", "Band", "Album only", "    ", blank30}},
        {"no tags: both names from the file name", "", "", {"Song", "Band", "", "", ""}},
    };
    // clang-format on
    cTempFolder folder;
    for (const cCase& c : cases) {
        const std::string path = folder / "Band - Song.mp3";
        WriteBytes(path, c.Head + Audio(6000) + c.Tail);
        cSongInfo song;
        ReadSongFromFile(path, song);
        EXPECT_EQ(song.Title(), c.Expected.Title) << c.Name;
        EXPECT_EQ(song.Author(), c.Expected.Artist) << c.Name;
        EXPECT_EQ(song.Album(), c.Expected.Album) << c.Name;
        EXPECT_EQ(song.Year(), c.Expected.Year) << c.Name;
        EXPECT_EQ(song.Comment(), c.Expected.Comment) << c.Name;
    }
}

TEST(SongTextPrecedence, TheEditorShowsWhatTheListShowsCutToItsFields) {
    cTempFolder folder;
    const std::string path = folder / "s.mp3";
    WriteBytes(path, Tag(4, TextFrame(4, "TIT2", kUtf8, kWide) +
                                TextFrame(4, "TPE1", kUtf8, u"Bj\u00F6rk")) +
                         Audio(300));
    cSongTag tag = ReadSongTag(path);
    EXPECT_FALSE(tag.HasTag);
    EXPECT_TRUE(tag.HasId3v2);
    EXPECT_EQ(tag.Texts.Title, Utf8(kWideCut)) << "UTF-8 cut between characters";
    EXPECT_EQ(tag.Texts.Artist, "Bj\xF6rk") << "Latin-1, as the editor stores what is typed";

    WriteBytes(path, Tag(3, TextFrame(3, "TIT2", kLatin1, u"From ID3v2") +
                                TextFrame(3, "TPE1", kLatin1, u"Artist 2")) +
                         Audio(300) + TagBlock("From ID3v1", "", "", "", ""));
    tag = ReadSongTag(path);
    EXPECT_TRUE(tag.HasTag);
    EXPECT_EQ(tag.Texts, (cId3v1Texts{"From ID3v1", "Artist 2", "", "", ""}));
}

// ---- the rebuilt tag --------------------------------------------------------------------

/// Frames a rebuilt tag must keep: track, genre, picture, lyrics, private data, a frame no one
/// knows, other comments, a frame with flags of its own.
std::vector<std::string> OtherFrames(int version) {
    if (version == 2) {
        return {TextFrame(2, "TRK", kLatin1, u"4/12"),
                Frame(2, "PIC", "\x00JPG\x03\x00"s + std::string(3000, '\xD8')),
                Frame(2, "ULT",
                      "\x00"
                      "engdesc\x00Lyrics here"s),
                CommentFrame(2, kLatin1, u"iTunNORM", u" 00000A2B")};
    }
    return {TextFrame(version, "TRCK", kLatin1, u"4/12"),
            TextFrame(version, "TCON", kUtf16Bom, u"Rock"),
            Frame(version, "APIC", "\x00image/png\x00\x03\x00"s + std::string(3000, '\x89')),
            Frame(version, "PRIV", "owner\x00\x01\x02\x03"s),
            Frame(version, "XYZW", "unknown to everyone"),
            CommentFrame(version, kLatin1, u"iTunNORM", u" 00000A2B 00000C3D"),
            CommentFrame(version, kUtf16Bom, u"Songs-DB", u"kept as it was", "deu"),
            version == 4 ? "TXXX" + Syncsafe(9) + "\x00\x03"s + Syncsafe(5) + "\x00k\x00v\xFF"
                         : Frame(3, "TXXX", "\x07\x00k\x00v"s, 0x0020)};
}

/// The other frames with a title after the first, a comment after the third, a year last.
std::string TagBody(int version, const std::vector<std::string>& others,
                    std::u16string_view title) {
    std::string body =
        others[0] + TextFrame(version, version == 2 ? "TT2" : "TIT2", kUtf16Bom, title);
    for (size_t i = 1; i < others.size(); ++i) {
        body += others[i] + (i == 2 ? CommentFrame(version, kLatin1, u"", u"Old comment") : "");
    }
    return body + TextFrame(version,
                            version == 2   ? "TYE"
                            : version == 3 ? "TYER"
                                           : "TDRC",
                            kLatin1, u"1999");
}

/// Whether every frame stands whole in the bytes, in this order.
bool HoldsInOrder(std::string_view bytes, const std::vector<std::string>& frames) {
    size_t at = 0;
    for (const std::string& frame : frames) {
        at = bytes.find(frame, at);
        if (at == std::string_view::npos) {
            return false;
        }
        at += frame.size();
    }
    return true;
}

cId3v2Edits Edits(std::optional<std::string> title, std::optional<std::string> artist = {},
                  std::optional<std::string> year = {}, std::optional<std::string> comment = {}) {
    cId3v2Edits edits;
    edits[static_cast<size_t>(eTagField::kTitle)] = std::move(title);
    edits[static_cast<size_t>(eTagField::kArtist)] = std::move(artist);
    edits[static_cast<size_t>(eTagField::kYear)] = std::move(year);
    edits[static_cast<size_t>(eTagField::kComment)] = std::move(comment);
    return edits;
}

std::optional<std::string> Rebuilt(const std::string& tag, const cId3v2Edits& edits) {
    const std::optional<cId3v2Header> header = ParseId3v2Header(tag);
    return header ? EditedId3v2Frames(*header, tag, edits) : std::nullopt;
}

/// The five texts TagLib reads from the file, and the text of its track frame.
std::pair<cId3v1Texts, std::string> ReadWithTagLib(const std::string& path) {
    TagLib::MPEG::File file(path.c_str(), false);
    const TagLib::ID3v2::Tag* tag = file.ID3v2Tag();
    if (tag == nullptr) {
        return {};
    }
    const auto& track = tag->frameListMap()["TRCK"];
    return {{tag->title().to8Bit(true), tag->artist().to8Bit(true), tag->album().to8Bit(true),
             tag->year() ? std::to_string(tag->year()) : "", tag->comment().to8Bit(true)},
            track.isEmpty() ? "" : track.front()->toString().to8Bit(true)};
}

TEST(Id3v2Rebuild, EditedFramesChangeAndEveryOtherFrameStaysByteForByte) {
    cTempFolder folder;
    for (const int version : {2, 3, 4}) {
        const std::vector<std::string> others = OtherFrames(version);
        const std::string old = Tag(version, TagBody(version, others, u"Old title"), 100);
        const std::optional<std::string> frames =
            Rebuilt(old, Edits("Neuer Titel \xE2\x82\xAC", "New artist", "2024", "New comment"));
        ASSERT_TRUE(frames) << version;
        EXPECT_TRUE(HoldsInOrder(*frames, others)) << version;
        const std::string tag = Id3v2TagBytes(*ParseId3v2Header(old), *frames, 4096);
        ASSERT_EQ(tag.size(), 4096u);
        EXPECT_EQ(tag.substr(0, 5), old.substr(0, 5)) << "same version and revision";
        WriteBytes(folder / "rebuilt.mp3", tag + Audio(3000));
        const auto [texts, track] = ReadWithTagLib(folder / "rebuilt.mp3");
        EXPECT_EQ(texts, (cId3v1Texts{"Neuer Titel \xE2\x82\xAC", "New artist", "", "2024",
                                      "New comment"}))
            << version;
        EXPECT_EQ(track, "4/12") << version;
        EXPECT_EQ(ReadId3v2Texts(tag), texts) << version;
    }
}

TEST(Id3v2Rebuild, WhatIsNotEditedIsNotTouched) {
    const std::vector<std::string> others = OtherFrames(3);
    const std::string old = Tag(3, TagBody(3, others, u"Old title"));
    EXPECT_EQ(Rebuilt(old, {}).value_or("none"), old.substr(10));

    // Emptied texts drop their frames; the title and the other comments stay.
    const std::string emptied = Rebuilt(old, Edits({}, {}, "", "")).value_or("none");
    EXPECT_NE(emptied.find(TextFrame(3, "TIT2", kUtf16Bom, u"Old title")), std::string::npos);
    EXPECT_EQ(emptied.find("TYER"), std::string::npos);
    EXPECT_EQ(emptied.find("Old comment"), std::string::npos);
    EXPECT_TRUE(HoldsInOrder(emptied, others));

    // A field without a frame gets one at the end; a new comment has no description.
    EXPECT_EQ(Rebuilt(Tag(3, others[0]), Edits("T", {}, {}, "C")).value_or("none"),
              others[0] + Frame(3, "TIT2", "\x00T"s) +
                  Frame(3, "COMM",
                        "\x00XXX\x00"
                        "C"s));
}

TEST(Id3v2Rebuild, TagsThatCannotBeRebuiltWithoutLossAreRefused) {
    const std::string sound = TextFrame(3, "TIT2", kLatin1, u"t");
    EXPECT_TRUE(Rebuilt(Tag(3, sound, 10), Edits("x")));
    EXPECT_FALSE(Rebuilt(Tag(3, sound + "bad!" + std::string(20, '\x01')), Edits("x")));
    EXPECT_FALSE(Rebuilt(Tag(3, sound + "TPE1" + BigEndian(500, 4) + "\x00\x00x"s), Edits("x")))
        << "a frame past the end";
    EXPECT_FALSE(Rebuilt(Tag(3, sound, 100).substr(0, 40), Edits("x"))) << "bytes missing";
    EXPECT_FALSE(Rebuilt("ID3\x03\x00\x00\x7F\x7F\x7F\x7F"s + sound, Edits("x"))) << "256 MiB";
}

TEST(Id3v2Rebuild, UnsynchronisationAndDiscardedFrames) {
    // A 2.3 tag unsynchronised as a whole is written undone, its flag cleared.
    const std::string ff = TextFrame(3, "TPE1", kLatin1, u"\u00FF\u00FF\u00E9");
    const std::string tag23 =
        Tag(3, Unsynchronised(TextFrame(3, "TIT2", kLatin1, u"t") + ff), 0, 0x80);
    const std::string frames23 = Rebuilt(tag23, Edits("new")).value_or("none");
    EXPECT_EQ(frames23, Frame(3, "TIT2", "\x00new"s) + ff);
    EXPECT_EQ(Id3v2TagBytes(*ParseId3v2Header(tag23), frames23, 100)[5], '\0');

    // In a 2.4 tag marked unsynchronised the new frame is unsynchronised and flagged too.
    const std::string tag24 = Tag(4, Frame(4, "TIT2", "\x00t"s, 0x0002), 0, 0x80);
    const std::string frames24 = Rebuilt(tag24, Edits("\xC3\xBF")).value_or("none");
    EXPECT_EQ(frames24, "TIT2" + Syncsafe(3) + "\x00\x02\x00\xFF\x00"s);
    const std::string whole24 = Id3v2TagBytes(*ParseId3v2Header(tag24), frames24, 64);
    EXPECT_EQ(static_cast<uint8_t>(whole24[5]), 0x80);
    EXPECT_EQ(ReadId3v2Texts(whole24).Title, "\xC3\xBF");

    // A frame flagged to be discarded when the tag is altered is.
    const std::string discarded = Tag(3, Frame(3, "XDIS", "gone", 0x8000) + ff);
    EXPECT_EQ(Rebuilt(discarded, Edits("u")).value_or("none"), ff + Frame(3, "TIT2", "\x00u"s));
}

// ---- writing both tags into the file ----------------------------------------------------

class WriteSongTagsTest : public ::testing::Test {
protected:
    /// A song with an ID3v2.3 tag of the other frames, a long title, a comment and a year.
    std::string MakeSong(size_t padding, std::string_view tail = {}) {
        const std::string bytes =
            Tag(3, TagBody(3, m_Others, u"The Long and Winding Road (Remastered 2009)"), padding) +
            Audio(50000) + std::string(tail);
        WriteBytes(m_Path, bytes);
        return bytes;
    }
    /// What the editor shows, with one field typed over.
    cId3v1Texts Typed(std::string cId3v1Texts::*field, std::string text) {
        cId3v1Texts typed = ReadSongTag(m_Path).Texts;
        typed.*field = std::move(text);
        return typed;
    }
    /// The size of the file once an artist is added to its tag: the frame (21 bytes) does not
    /// fit, so the tag gets fresh padding; the ID3v1 block is new.
    static int64_t GrownSize(const std::string& bytes) {
        return ParseId3v2Header(bytes)->TotalSize() + 21 + static_cast<int64_t>(kId3v2NewPadding) +
               50000 + 128;
    }
    static std::string AudioOf(const std::string& bytes) {
        return bytes.substr(static_cast<size_t>(ParseId3v2Header(bytes)->TotalSize()), 50000);
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
    const cSongTagWrite written = WriteSongTags(m_Path, Typed(&cId3v1Texts::Album, "Album"), &old);
    const std::string after = ReadBytes(m_Path);
    EXPECT_EQ(InodeOf(m_Path), inode);
    ASSERT_EQ(after.size(), before.size() + 128) << "the tag keeps its size; ID3v1 appended";
    EXPECT_EQ(after.substr(0, 10), before.substr(0, 10));
    EXPECT_EQ(AudioOf(after), AudioOf(before));
    EXPECT_TRUE(HoldsInOrder(after, m_Others));
    EXPECT_NE(
        after.find(TextFrame(3, "TIT2", kUtf16Bom, u"The Long and Winding Road (Remastered 2009)")),
        std::string::npos)
        << "the title, shown cut to 30 bytes and left as shown, stays whole";
    EXPECT_EQ(after.substr(after.size() - 128, 33), "TAG" + kLong.substr(0, 30));
    EXPECT_EQ(ReadWithTagLib(m_Path).first.Album, "Album");
    EXPECT_EQ(written.Id3v2Texts.Title, kLong);
    EXPECT_EQ(written.FileSize, static_cast<int64_t>(after.size()));
    EXPECT_EQ(written.FileTime.tv_sec, old.tv_sec);
    EXPECT_EQ(written.FileTime.tv_nsec, old.tv_nsec);
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
    ASSERT_EQ(static_cast<int64_t>(after.size()), GrownSize(before));
    EXPECT_EQ(AudioOf(after), AudioOf(before));
    EXPECT_TRUE(HoldsInOrder(after, m_Others));
    EXPECT_EQ(after.substr(after.size() - 128, 46),
              "TAGOld" + std::string(27, ' ') + "New artist   ");
    EXPECT_EQ(after.back(), '\x11') << "the old genre byte";
    EXPECT_EQ(ReadWithTagLib(m_Path).first.Artist, "New artist");
    struct stat info {};
    ASSERT_EQ(::stat(m_Path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(info.st_mtim.tv_sec, old.tv_sec);
    EXPECT_EQ(info.st_mtim.tv_nsec, old.tv_nsec);
    if (owned) {
        EXPECT_EQ(info.st_uid, 1234u);
        EXPECT_EQ(info.st_gid, 5678u);
    }
    char value[8] = {};
    EXPECT_EQ(noted ? ::getxattr(m_Path.c_str(), "user.origin", value, sizeof value) : 4, 4);
    EXPECT_EQ(m_Folder.Entries(), (std::vector<std::string>{"link.mp3", "song.mp3"}));
}

TEST_F(WriteSongTagsTest, FailuresAndDamageLeaveTheOldTags) {
    // A damaged ID3v2 tag stays as it was; the ID3v1 tag takes the texts.
    const std::string damaged =
        Tag(3, TextFrame(3, "TIT2", kLatin1, u"Old") + "bad!" + std::string(30, '\x01')) +
        Audio(99);
    WriteBytes(m_Path, damaged);
    EXPECT_TRUE(WriteSongTags(m_Path, {"New", "", "", "", ""}, nullptr).Id3v2LeftAlone);
    EXPECT_EQ(ReadBytes(m_Path), damaged + TagBlock("New", "", "", "", ""));

    // The ID3v1 block needs 128 bytes more than the disk has: the new ID3v2 tag, written in
    // place, goes back.
    std::string before = MakeSong(2048);
    const auto refusal = [&](off_t limit, std::string cId3v1Texts::*field, std::string text) {
        const cId3v1Texts typed = Typed(field, std::move(text));
        return RunInChildWithFileLimit(limit, [&] {
            try {
                WriteSongTags(m_Path, typed, nullptr);
            } catch (const EFileError& error) {
                return std::string(error.what()).find(m_Path) != std::string::npos ? 0 : 2;
            }
            return 1;
        });
    };
    EXPECT_EQ(refusal(static_cast<off_t>(before.size()), &cId3v1Texts::Album, "New"), 0);
    EXPECT_EQ(ReadBytes(m_Path), before);

    // A full disk while the copy is written: the song as it was, no copy beside it.
    before = MakeSong(0);
    EXPECT_EQ(refusal(20000, &cId3v1Texts::Artist, "New artist"), 0);
    EXPECT_EQ(ReadBytes(m_Path), before);
    EXPECT_EQ(m_Folder.Entries(), std::vector<std::string>{"song.mp3"});

    // A read-only file: the error of the editor's first step, nothing changed.
    if (!cUnprivileged::Possible()) {
        GTEST_SKIP() << "file permissions cannot be met as this user";
    }
    ::chmod(m_Path.c_str(), 0444);
    OpenToEveryone(m_Folder.Path());
    cUnprivileged asUser;
    try {
        WriteSongTags(m_Path, {"New", "", "", "", ""}, nullptr);
        ADD_FAILURE() << "written";
    } catch (const EFileError& error) {
        EXPECT_EQ(std::string(error.what()), "Cannot open \"" + m_Path + "\": Permission denied");
    }
    EXPECT_EQ(ReadBytes(m_Path), before);
}

// A crash at any write of the copy (the file size signal kills the writer there): the song is
// always the old file whole, and nothing a folder scan would take for a song is left beside it.
TEST_F(WriteSongTagsTest, ACrashAtAnyWriteOfTheCopyLeavesTheOldFile) {
    const std::string before = MakeSong(0);
    const cId3v1Texts typed = Typed(&cId3v1Texts::Artist, "New artist");
    const int64_t newSize = GrownSize(before);
    std::vector<int64_t> cuts = {0, 1, 9, 10, newSize - 129, newSize - 128, newSize - 1};
    for (int64_t cut = 4000; cut < newSize; cut += 3989) {
        cuts.push_back(cut);
    }
    for (const int64_t cut : cuts) {
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
    EXPECT_EQ(ReadWithTagLib(m_Path).first.Artist, "New artist");
}

} // namespace
