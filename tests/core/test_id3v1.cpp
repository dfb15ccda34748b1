#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <system_error>

#include "catalogue/unitId3v1.h"
#include "catalogue/unitSongTags.h"
#include "catalogue/unitSongUtils.h"
#include "catalogue/unitSongsDatabaseClass.h"
#include "support/song_fixtures.h"
#include "util/unitUtils.h"

using namespace song_fixtures;

namespace {

std::string_view View(const cId3v1Block& block) {
    return {block.data(), block.size()};
}

TEST(Id3v1Layout, BlockIsSpacesMarkerAndTextsAtTheirOffsets) {
    cId3v1Texts texts;
    texts.Title = "Help";
    texts.Year = "1999";
    const cId3v1Block block = BuildId3v1Block(texts);
    const std::string bytes(block.begin(), block.end());
    EXPECT_EQ(bytes.substr(0, 7), "TAGHelp");
    EXPECT_EQ(bytes.substr(7, 26), std::string(26, ' '));
    EXPECT_EQ(bytes.substr(93, 4), "1999");
    EXPECT_EQ(bytes[127], '\xFF') << "a new tag names no genre";
    EXPECT_EQ(bytes.substr(97, 30).find_first_not_of(' '), std::string::npos);

    texts = {std::string(40, 't'), std::string(31, 'a'), "al", "20245", std::string(35, 'c')};
    const std::string full(BuildId3v1Block(texts).data(), kId3v1Size);
    EXPECT_EQ(full, TagBlock(texts.Title, texts.Artist, "al", "2024", texts.Comment))
        << "each text cut at its width, nothing spills into the next field";
}

// What the editor does not show survives a write over the old tag: the genre byte, and an
// ID3v1.1 track number while the comment leaves it room.
TEST(Id3v1Layout, WritingOverATagKeepsItsGenreAndTrackNumber) {
    std::string v11 = TagBlock("t", "", "", "", "Ripped by me", '\0');
    v11[126] = '\x07';
    v11[127] = '\x11';
    std::string v10 = TagBlock("t", "", "", "", std::string(30, 'c'));
    v10[127] = '\x0D';
    struct cCase {
        const char* Name;
        const std::string* Old;
        std::string Comment;
        char Byte125, Byte126, Genre;
    };
    const cCase cases[] = {
        {"new tag", nullptr, "short", ' ', ' ', '\xFF'},
        {"ID3v1.0 tag", &v10, "short", ' ', ' ', '\x0D'},
        {"ID3v1.0 tag, full comment", &v10, std::string(30, 'x'), 'x', 'x', '\x0D'},
        {"ID3v1.1 tag", &v11, "short", '\0', '\x07', '\x11'},
        {"ID3v1.1 tag, 28-byte comment", &v11, std::string(28, 'x'), '\0', '\x07', '\x11'},
        {"ID3v1.1 tag, 29-byte comment takes the field", &v11, std::string(29, 'x'), 'x', ' ',
         '\x11'},
        {"ID3v1.1 tag, 30-byte comment takes the field", &v11, std::string(30, 'x'), 'x', 'x',
         '\x11'},
    };
    for (const cCase& c : cases) {
        cId3v1Block old{};
        if (c.Old != nullptr) {
            std::copy(c.Old->begin(), c.Old->end(), old.begin());
        }
        const cId3v1Texts texts{"Title", "Artist", "Album", "2001", c.Comment};
        const cId3v1Block block = BuildId3v1Block(texts, c.Old != nullptr ? &old : nullptr);
        const std::string bytes(block.begin(), block.end());
        EXPECT_EQ(bytes.substr(0, 97),
                  TagBlock("Title", "Artist", "Album", "2001", "").substr(0, 97))
            << c.Name;
        EXPECT_EQ(bytes.substr(97, std::min<size_t>(c.Comment.size(), 28)), c.Comment.substr(0, 28))
            << c.Name;
        EXPECT_EQ(bytes[125], c.Byte125) << c.Name;
        EXPECT_EQ(bytes[126], c.Byte126) << c.Name;
        EXPECT_EQ(bytes[127], c.Genre) << c.Name;
        if (c.Comment.size() < 28) {
            EXPECT_EQ(bytes.substr(97 + c.Comment.size(), 28 - c.Comment.size()),
                      std::string(28 - c.Comment.size(), ' '))
                << c.Name << ": the comment is padded with spaces";
        }
    }
}

TEST(Id3v1Reading, SongRecordAndEditorCleanTheTextsDifferently) {
    const std::string tail = TagBlock(" \tTitle \x01", "  Artist", "Album\x1F", " 99 ", " note  ");
    const cId3v1Texts record = ReadId3v1Texts(tail, eId3v1Reading::kSongRecord);
    EXPECT_EQ(record.Title, "Title");
    EXPECT_EQ(record.Artist, "Artist");
    EXPECT_EQ(record.Album, "Album");
    EXPECT_EQ(record.Year, " 99 ");
    EXPECT_EQ(record.Comment, " note" + std::string(25, ' '));
    const cId3v1Texts editor = ReadId3v1Texts(tail, eId3v1Reading::kEditor);
    EXPECT_EQ(editor.Title, " \tTitle");
    EXPECT_EQ(editor.Artist, "  Artist");
    EXPECT_EQ(editor.Album, "Album");
    EXPECT_EQ(editor.Year, " 99");
    EXPECT_EQ(editor.Comment, " note");
}

TEST(Id3v1Reading, AZeroByteEndsEachField) {
    std::string tail = TagBlock("T", "Ar", "Alb", "19", "Comm", '\0');
    tail[20] = 'x'; // after the title's first zero byte: not part of the title
    for (const auto reading : {eId3v1Reading::kSongRecord, eId3v1Reading::kEditor}) {
        const cId3v1Texts texts = ReadId3v1Texts(tail, reading);
        EXPECT_EQ(texts, (cId3v1Texts{"T", "Ar", "Alb", "19", "Comm"}));
    }
    const std::string full =
        TagBlock(std::string(30, 'T'), "", "", "2024", std::string(30, 'C'), '\0');
    const cId3v1Texts texts = ReadId3v1Texts(full, eId3v1Reading::kSongRecord);
    EXPECT_EQ(texts.Title, std::string(30, 'T'));
    EXPECT_EQ(texts.Year, "2024") << "a full field does not run into the next one";
    EXPECT_EQ(texts.Comment, std::string(30, 'C')) << "the genre byte is not part of the comment";
}

TEST(Id3v1Reading, OnlyAnUpperCaseMarkerOnExactly128BytesIsATag) {
    EXPECT_TRUE(IsId3v1Tag(TagBlock("", "", "", "", "")));
    EXPECT_FALSE(IsId3v1Tag(TagBlock("", "", "", "", "", ' ', "tag")));
    EXPECT_FALSE(IsId3v1Tag(TagBlock("", "", "", "", "", ' ', "TAg")));
    EXPECT_FALSE(IsId3v1Tag("TAG"));
}

TEST(Id3v1File, WritingAppendsOnceThenOverwritesInPlace) {
    cTempFolder folder;
    const std::string path = folder / "song.mp3";
    const std::string audio = Mp3Bytes(1000);
    WriteBytes(path, audio);

    WriteId3v1Tag(path, {"Help", "Beatles", "", "1965", ""});
    std::string bytes = ReadBytes(path);
    ASSERT_EQ(bytes.size(), 1128u);
    EXPECT_EQ(bytes.substr(0, 1000), audio);
    EXPECT_EQ(bytes.substr(1000, 10), "TAGHelp   ");

    WriteId3v1Tag(path, {"Yesterday", "", "", "", ""});
    bytes = ReadBytes(path);
    ASSERT_EQ(bytes.size(), 1128u);
    EXPECT_EQ(bytes.substr(0, 1000), audio);
    EXPECT_EQ(bytes.substr(1000, 127),
              std::string(View(BuildId3v1Block({"Yesterday", "", "", "", ""}))).substr(0, 127));
    EXPECT_EQ(bytes[1127], '\xFF') << "the genre of the tag written before";

    const cSongTag tag = ReadSongTag(path);
    EXPECT_TRUE(tag.HasTag);
    EXPECT_EQ(tag.Texts, (cId3v1Texts{"Yesterday", "", "", "", ""}));
}

TEST(Id3v1File, FilesShorterThanATagHaveNoneAndCanGetOne) {
    cTempFolder folder;
    const std::string path = folder / "tiny.mp3";
    WriteBytes(path, "TAGxyz");
    EXPECT_FALSE(ReadSongTag(path).HasTag);
    EXPECT_FALSE(RemoveId3v1Tag(path));
    EXPECT_EQ(ReadBytes(path), "TAGxyz");
    WriteId3v1Tag(path, {"T", "", "", "", ""});
    EXPECT_EQ(ReadBytes(path).size(), 6u + 128u);

    const std::string empty = folder / "empty.mp3";
    WriteBytes(empty, "");
    WriteId3v1Tag(empty, {"", "", "", "", ""});
    EXPECT_TRUE(ReadSongTag(empty).HasTag);
}

TEST(Id3v1File, RemovingCutsOnlyARealTag) {
    cTempFolder folder;
    const std::string tagged = folder / "tagged.mp3";
    const std::string audio = Mp3Bytes(500);
    WriteBytes(tagged, audio + TagBlock("t", "a", "", "", ""));
    EXPECT_TRUE(RemoveId3v1Tag(tagged));
    EXPECT_EQ(ReadBytes(tagged), audio);
    EXPECT_FALSE(RemoveId3v1Tag(tagged)) << "a second removal must not cut audio";
    EXPECT_EQ(ReadBytes(tagged), audio);
}

TEST(Id3v1File, FailuresNameTheFileAndChangeNothing) {
    cTempFolder folder;
    const std::string missing = folder / "gone.mp3";
    try {
        WriteId3v1Tag(missing, {"x", "", "", "", ""});
        FAIL();
    } catch (const std::system_error& error) {
        EXPECT_NE(std::string(error.what()).find(missing), std::string::npos) << error.what();
    }
    EXPECT_FALSE(std::filesystem::exists(missing)) << "writing a tag never creates a file";
    EXPECT_THROW(ReadSongTag(missing), std::system_error);
    EXPECT_THROW(RemoveId3v1Tag(folder.Path()), std::system_error);

    if (!cUnprivileged::Possible()) {
        GTEST_SKIP() << "file permissions cannot be met as this user";
    }
    const std::string locked = folder / "locked.mp3";
    WriteBytes(locked, Mp3Bytes(300));
    ::chmod(locked.c_str(), 0444);
    OpenToEveryone(folder.Path());
    {
        cUnprivileged asUser;
        EXPECT_FALSE(ReadSongTag(locked).HasTag) << "reading needs no write access";
        EXPECT_THROW(WriteId3v1Tag(locked, {"x", "", "", "", ""}), std::system_error);
    }
    EXPECT_EQ(ReadBytes(locked), Mp3Bytes(300));
}

} // namespace
