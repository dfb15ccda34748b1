// The ID3v2 reader: the five texts from tags of each version and encoding, from damaged tags and
// bad input; the same texts whether the tag comes whole or in the pieces the reader asks for.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "catalogue/unitId3v2.h"
#include "support/id3v2_fixtures.h"

using namespace id3v2_fixtures;
using namespace std::string_literals;

void PrintTo(const cId3v1Texts& texts, std::ostream* out) {
    *out << "{\"" << texts.Title << "\", \"" << texts.Artist << "\", \"" << texts.Album << "\", \""
         << texts.Year << "\", \"" << texts.Comment << "\"}";
}

namespace {

/// The five frames of a tag of the version, in the encoding.
std::string FiveFrames(int version, eEncoding encoding, const std::u16string (&texts)[5]) {
    const bool v2 = version == 2;
    return TextFrame(version, v2 ? "TT2" : "TIT2", encoding, texts[0]) +
           TextFrame(version, v2 ? "TP1" : "TPE1", encoding, texts[1]) +
           TextFrame(version, v2 ? "TAL" : "TALB", encoding, texts[2]) +
           TextFrame(version,
                     v2             ? "TYE"
                     : version == 3 ? "TYER"
                                    : "TDRC",
                     encoding, texts[3]) +
           CommentFrame(version, encoding, u"", texts[4]);
}

cId3v1Texts Expected(const std::u16string (&texts)[5]) {
    return {Utf8(texts[0]), Utf8(texts[1]), Utf8(texts[2]), Utf8(texts[3]), Utf8(texts[4])};
}

/// The texts read through the reader's own requests, each answered with exactly the bytes
/// asked for; the total of the bytes given is added to given.
cId3v1Texts ReadInPieces(const std::string& file, size_t* given = nullptr) {
    const std::optional<cId3v2Header> header = ParseId3v2Header(file);
    if (!header) {
        return {};
    }
    cId3v2TextReader reader(*header, static_cast<int64_t>(file.size()));
    std::string piece = file.substr(0, kId3v2HeaderSize);
    reader.Give(0, piece);
    size_t total = piece.size();
    for (auto wanted = reader.Wanted(); wanted.Count > 0; wanted = reader.Wanted()) {
        piece = file.substr(static_cast<size_t>(wanted.Offset), static_cast<size_t>(wanted.Count));
        total += piece.size();
        EXPECT_LT(total, 64u << 20) << "the reader keeps asking";
        if (total >= 64u << 20) {
            break;
        }
        reader.Give(wanted.Offset, piece);
    }
    if (given != nullptr) {
        *given = total;
    }
    return reader.Texts();
}

void ExpectTexts(const std::string& file, const cId3v1Texts& expected, const std::string& name) {
    EXPECT_EQ(ReadId3v2Texts(file), expected) << name;
    EXPECT_EQ(ReadInPieces(file), expected) << name << ", read in pieces";
}

const std::u16string kLatinTexts[5] = {u"J\u00F3ga", u"Bj\u00F6rk", u"Homogenic", u"1997",
                                       u"L\u00E4uft gut"};
const std::u16string kWideTexts[5] = {u"\u6771\u4EAC \u2013 \u03A9", u"\U0001F600 Emoji",
                                      u"\u0410\u043B\u044C\u0431\u043E\u043C", u"2001",
                                      u"\u00E9\u20AC"};

TEST(Id3v2Reading, EveryVersionAndEncoding) {
    struct cCase {
        int Version;
        eEncoding Encoding;
    };
    const cCase cases[] = {{2, kLatin1}, {2, kUtf16Bom},         {2, kUtf16BomBigEndian},
                           {3, kLatin1}, {3, kUtf16Bom},         {3, kUtf16BomBigEndian},
                           {4, kLatin1}, {4, kUtf16Bom},         {4, kUtf16BE},
                           {4, kUtf8},   {4, kUtf16BomBigEndian}};
    for (const cCase& c : cases) {
        const auto& texts = c.Encoding == kLatin1 ? kLatinTexts : kWideTexts;
        const std::string file =
            Tag(c.Version, FiveFrames(c.Version, c.Encoding, texts), 64) + Audio(500);
        ExpectTexts(file, Expected(texts),
                    "2." + std::to_string(c.Version) + " encoding " + std::to_string(c.Encoding));
    }
}

struct cCase {
    std::string Name;
    std::string File;
    cId3v1Texts Expected;
};

std::vector<cCase> DamagedAndSpecialTags() {
    const std::string five3 = FiveFrames(3, kUtf16Bom, kLatinTexts);
    const std::string five4 = FiveFrames(4, kUtf8, kLatinTexts);
    const cId3v1Texts all = Expected(kLatinTexts);
    const auto title = [](int version, std::u16string_view text) {
        return TextFrame(version, version == 2 ? "TT2" : "TIT2", kLatin1, text);
    };
    const auto artist = [](int version, std::u16string_view text) {
        return TextFrame(version, "TPE1", kLatin1, text);
    };
    std::string itunesSizes = "TIT2" + BigEndian(300, 4) + std::string(2, '\0') +
                              TextBody(kLatin1, std::u16string(299, u'x'));
    itunesSizes += artist(4, u"After");
    const std::string ffTitle = title(3, u"\u00FF\u00FF\u00E9 \u00FF"); // FF FF E9 20 FF
    const std::string compressed = Frame(3, "TIT2", std::string(4, '\0') + "\x78\x9C junk", 0x0080);
    const std::string encrypted = Frame(4, "TPE1", "\x01 secret", 0x0004);
    const std::string grouped3 = Frame(3, "TIT2", "\x07" + TextBody(kLatin1, u"Grouped"), 0x0020);
    const std::string grouped4 = Frame(4, "TPE1", "\x07" + TextBody(kUtf8, u"Group4"), 0x0040);
    const std::string unsyncBody = TextBody(kUtf16Bom, u"\u00FF\u00FF\u00E9");
    const std::string frameUnsync = Frame(
        4, "TIT2", Syncsafe(static_cast<uint32_t>(unsyncBody.size())) + Unsynchronised(unsyncBody),
        0x0003);
    const std::string loneSurrogate = Frame(3, "TIT2",
                                            "\x01\xFF\xFE"
                                            "A\0"
                                            "\x00\xD8"
                                            "B\0"
                                            "\x00\xDC"s,
                                            0);
    const std::string long1200 = title(4, std::u16string(600, u'\u00E9'));

    return {
        {"padding after the frames", Tag(3, five3, 2048) + Audio(100), all},
        {"a 2.3 extended header", Tag(3, BigEndian(6, 4) + std::string(6, '\0') + five3, 0, 0x40),
         all},
        {"a 2.3 extended header with a CRC",
         Tag(3, BigEndian(10, 4) + "\x80" + std::string(5, '\0') + "CRC!" + five3, 0, 0x40), all},
        {"a 2.4 extended header", Tag(4, Syncsafe(6) + "\x01\x00"s + five4, 16, 0x40), all},
        {"a 2.4 footer", Tag(4, five4, 0, 0x10) + Audio(100), all},
        {"a 2.3 tag unsynchronised whole",
         Tag(3, Unsynchronised(ffTitle + artist(3, u"Art")), 10, 0x80),
         {"\xC3\xBF\xC3\xBF\xC3\xA9 \xC3\xBF", "Art", "", "", ""}},
        {"a 2.4 frame unsynchronised, with its data length",
         Tag(4, frameUnsync + artist(4, u"A")),
         {"\xC3\xBF\xC3\xBF\xC3\xA9", "A", "", "", ""}},
        {"2.4 frame sizes written as plain numbers",
         Tag(4, itunesSizes, 20),
         {std::string(299, 'x'), "After", "", "", ""}},
        {"2.3 frames named like 2.2 ones",
         Tag(3, Frame(3, std::string("TT2\0", 4), TextBody(kLatin1, u"Old name")) +
                    Frame(3, std::string("TP1\0", 4), TextBody(kLatin1, u"Old artist"))),
         {"Old name", "Old artist", "", "", ""}},
        {"an encrypted frame gives way to the next one",
         Tag(4, Frame(4, "TIT2", "\x03Plain") + encrypted + artist(4, u"Readable")),
         {"Plain", "Readable", "", "", ""}},
        {"a compressed 2.3 frame gives way to the next one",
         Tag(3, compressed + title(3, u"Second")),
         {"Second", "", "", "", ""}},
        {"group ids before the text", Tag(3, grouped3), {"Grouped", "", "", "", ""}},
        {"a 2.4 group id", Tag(4, grouped4), {"", "Group4", "", "", ""}},
        {"the year of a 2.4 recording time",
         Tag(4, TextFrame(4, "TDRC", kLatin1, u"2004-05-06T10:00")),
         {"", "", "", "2004", ""}},
        {"2.4 without TDRC takes TYER",
         Tag(4, TextFrame(4, "TYER", kLatin1, u"1988")),
         {"", "", "", "1988", ""}},
        {"2.3 prefers TYER to TDRC",
         Tag(3, TextFrame(3, "TDRC", kLatin1, u"2010") + TextFrame(3, "TYER", kLatin1, u"1999")),
         {"", "", "", "1999", ""}},
        {"the comment without a description comes first",
         Tag(3, CommentFrame(3, kLatin1, u"iTunNORM", u" 0000031A 00000326") +
                    CommentFrame(3, kUtf16Bom, u"note", u"Described") +
                    CommentFrame(3, kUtf16Bom, u"", u"Plain words", "deu")),
         {"", "", "", "", "Plain words"}},
        {"else the first comment that is no machine data",
         Tag(4, CommentFrame(4, kLatin1, u"iTunSMPB", u" 00000000 00000210") +
                    CommentFrame(4, kUtf8, u"note", u"Described") +
                    CommentFrame(4, kUtf8, u"other", u"Later")),
         {"", "", "", "", "Described"}},
        {"machine data is no comment",
         Tag(3, CommentFrame(3, kLatin1, u"iTunNORM", u" 0000031A")),
         {}},
        {"the first frame with a text counts",
         Tag(3, title(3, u"") + title(3, u"Second")),
         {"Second", "", "", "", ""}},
        {"a zero byte ends the text",
         Tag(3, title(3, std::u16string(u"A\0B", 3))),
         {"A", "", "", "", ""}},
        {"CR and LF become blanks, the ends are trimmed",
         Tag(4, title(4, u"  Line1\r\nLine2 ") + CommentFrame(4, kLatin1, u"", u"a\rb\n")),
         {"Line1  Line2", "", "", "", "a b"}},
        {"a text longer than 1024 bytes is cut between characters",
         Tag(4, long1200),
         {Utf8(std::u16string(512, u'\u00E9')), "", "", "", ""}},
        {"a year keeps 4 characters",
         Tag(3, TextFrame(3, "TYER", kLatin1, u"19999")),
         {"", "", "", "1999", ""}},
        {"lone surrogates become U+FFFD",
         Tag(3, loneSurrogate),
         {"A\xEF\xBF\xBD"
          "B\xEF\xBF\xBD",
          "", "", "", ""}},
        {"invalid UTF-8 becomes U+FFFD",
         Tag(4, Frame(4, "TIT2",
                      "\x03"
                      "a\xC3\x28z\xFF")),
         {"a\xEF\xBF\xBD(z\xEF\xBF\xBD", "", "", "", ""}},
        {"UTF-16 without a byte order mark",
         Tag(3, Frame(3, "TIT2", "\x01" + Utf16(u"No mark", false))),
         {"No mark", "", "", "", ""}},
        {"an unknown encoding gives no text", Tag(3, Frame(3, "TIT2", "\x07text")), {}},
        {"a zero-length frame ends the walk",
         Tag(3, artist(3, u"First") + Frame(3, "TIT2", "") + Frame(3, "TIT2", "") + title(3, u"x")),
         {"", "First", "", "", ""}},
        {"a frame running past the tag is not read",
         Tag(3,
             artist(3, u"Sound") + "TIT2" + BigEndian(5000, 4) + std::string(2, '\0') + "\x00Cut"s),
         {"", "Sound", "", "", ""}},
        {"a bad frame id ends the walk",
         Tag(3, artist(3, u"Kept") + "ti\x01t" + title(3, u"No")),
         {"", "Kept", "", "", ""}},
        {"a tag larger than the file",
         ("ID3\x03" + std::string(2, '\0') + Syncsafe(100000) + artist(3, u"Short file")),
         {"", "Short file", "", "", ""}},
        {"a tag claiming 256 MiB",
         ("ID3\x04" + std::string(2, '\0') + std::string("\x7F\x7F\x7F\x7F") + artist(4, u"Big")) +
             std::string(3000, '\0'),
         {"", "Big", "", "", ""}},
        {"only a header", "ID3\x03" + std::string(6, '\0'), {}},
        {"version 5 is ignored whole", Tag(5, five3), {}},
        {"a 2.2 tag flagged compressed is ignored", Tag(2, title(2, u"x"), 0, 0x40), {}},
        {"a size that is not syncsafe is no tag",
         "ID3\x03" + std::string(2, '\0') + "\x00\x00\x01\x80"s + five3,
         {}},
        {"a lower-case marker is no tag", "id3" + Tag(3, five3).substr(3), {}},
    };
}

TEST(Id3v2Reading, DamagedTagsGiveWhatIsSoundAndNeverCrash) {
    for (const cCase& c : DamagedAndSpecialTags()) {
        ExpectTexts(c.File, c.Expected, c.Name);
    }
}

TEST(Id3v2Reading, ShortFilesHaveNoTag) {
    const std::string header = "ID3\x03" + std::string(6, '\0');
    for (size_t size = 0; size < header.size(); ++size) {
        EXPECT_FALSE(ParseId3v2Header(header.substr(0, size))) << size;
        EXPECT_EQ(ReadId3v2Texts(header.substr(0, size)), cId3v1Texts{}) << size;
    }
}

TEST(Id3v2Reading, LargeFramesAreSkippedUnread) {
    // A cover picture of 4 MiB before the texts and no comment: the reader walks to the end
    // of the tag, reading frame headers, not the picture.
    const std::string picture =
        Frame(3, "APIC", "\x00image/jpeg\x00\x03\x00"s + std::string(4 << 20, '\xAB'));
    const std::string file = Tag(3,
                                 TextFrame(3, "TIT2", kUtf16Bom, u"Before") + picture +
                                     TextFrame(3, "TPE1", kUtf16Bom, u"After"),
                                 4096) +
                             Audio(1000);
    size_t given = 0;
    EXPECT_EQ(ReadInPieces(file, &given), (cId3v1Texts{"Before", "After", "", "", ""}));
    EXPECT_LT(given, 1000u);
    EXPECT_EQ(ReadId3v2Texts(file), (cId3v1Texts{"Before", "After", "", "", ""}));
}

TEST(Id3v2Reading, AllFiveFoundEndsTheWalk) {
    // Frames after the five are not even looked at: junk there changes nothing.
    const std::string file =
        Tag(3, FiveFrames(3, kLatin1, kLatinTexts) + "bad!" + std::string(20, '\x01'));
    size_t given = 0;
    EXPECT_EQ(ReadInPieces(file, &given), Expected(kLatinTexts));
    EXPECT_LE(given, file.size() - 24);
}

} // namespace
