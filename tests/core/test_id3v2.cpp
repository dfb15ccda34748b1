// The ID3v2 reader: the five texts from tags of each version and encoding, from damaged tags and
// bad input; the same texts whether the tag comes whole or in the pieces the reader asks for.
#include <gtest/gtest.h>

#include <string>

#include "catalogue/unitId3v2.h"
#include "support/id3v2_fixtures.h"

using namespace id3v2_fixtures;
using namespace std::string_literals;

void PrintTo(const cId3v1Texts& texts, std::ostream* out) {
    *out << "{\"" << texts.Title << "\", \"" << texts.Artist << "\", \"" << texts.Album << "\", \""
         << texts.Year << "\", \"" << texts.Comment << "\"}";
}

namespace {

/// The texts read through the reader's own requests, each answered with exactly the bytes
/// asked for; the bytes given in all go to *given.
cId3v1Texts ReadInPieces(const std::string& file, size_t* given = nullptr) {
    const std::optional<cId3v2Header> header = ParseId3v2Header(file);
    if (!header) {
        return {};
    }
    cId3v2TextReader reader(*header, static_cast<int64_t>(file.size()));
    reader.Give(0, std::string_view(file).substr(0, kId3v2HeaderSize));
    size_t total = kId3v2HeaderSize;
    for (auto wanted = reader.Wanted(); wanted.Count > 0 && total < 4 * file.size();
         wanted = reader.Wanted()) {
        total += static_cast<size_t>(wanted.Count);
        reader.Give(wanted.Offset,
                    std::string_view(file).substr(static_cast<size_t>(wanted.Offset),
                                                  static_cast<size_t>(wanted.Count)));
    }
    EXPECT_LT(total, 4 * file.size() + 20) << "the reader keeps asking";
    if (given != nullptr) {
        *given = total;
    }
    return reader.Texts();
}

void ExpectTexts(const std::string& file, const cId3v1Texts& expected, const std::string& name) {
    EXPECT_EQ(ReadId3v2Texts(file), expected) << name;
    EXPECT_EQ(ReadInPieces(file), expected) << name << ", read in pieces";
}

TEST(Id3v2Reading, EveryVersionAndEncoding) {
    const std::u16string latin[5] = {u"J\u00F3ga", u"Bj\u00F6rk", u"Homogenic", u"1997",
                                     u"L\u00E4uft"};
    const std::u16string wide[5] = {u"\u6771\u4EAC \u2013 \u03A9", u"\U0001F600 Emoji",
                                    u"\u0410\u043B\u044C\u0431\u043E\u043C", u"2001",
                                    u"\u00E9\u20AC"};
    const std::pair<int, eEncoding> cases[] = {
        {2, kLatin1}, {2, kUtf16Bom}, {2, kUtf16BomBigEndian},
        {3, kLatin1}, {3, kUtf16Bom}, {3, kUtf16BomBigEndian},
        {4, kLatin1}, {4, kUtf16Bom}, {4, kUtf16BE},
        {4, kUtf8}};
    for (const auto& [version, encoding] : cases) {
        const auto& texts = encoding == kLatin1 ? latin : wide;
        const bool v2 = version == 2;
        const std::string frames = TextFrame(version, v2 ? "TT2" : "TIT2", encoding, texts[0]) +
                                   TextFrame(version, v2 ? "TP1" : "TPE1", encoding, texts[1]) +
                                   TextFrame(version, v2 ? "TAL" : "TALB", encoding, texts[2]) +
                                   TextFrame(version,
                                             v2             ? "TYE"
                                             : version == 3 ? "TYER"
                                                            : "TDRC",
                                             encoding, texts[3]) +
                                   CommentFrame(version, encoding, u"", texts[4]);
        ExpectTexts(
            Tag(version, frames, 64) + Audio(500),
            {Utf8(texts[0]), Utf8(texts[1]), Utf8(texts[2]), Utf8(texts[3]), Utf8(texts[4])},
            "2." + std::to_string(version) + " encoding " + std::to_string(encoding));
    }
}

TEST(Id3v2Reading, DamagedTagsAndBadInputGiveWhatIsSound) {
    const auto title = [](int version, std::u16string_view text) {
        return TextFrame(version, version == 2 ? "TT2" : "TIT2", kLatin1, text);
    };
    const auto artist = [](int version, std::u16string_view text) {
        return TextFrame(version, "TPE1", kLatin1, text);
    };
    const std::string five =
        title(3, u"T") + artist(3, u"A") + TextFrame(3, "TALB", kUtf16Bom, u"B") +
        TextFrame(3, "TYER", kLatin1, u"1999") + CommentFrame(3, kLatin1, u"", u"C");
    const cId3v1Texts all{"T", "A", "B", "1999", "C"};
    const std::string five4 = Tag(3, five).substr(10); // 2.3 frames, plain sizes below 128
    const std::string itunesSizes =
        "TIT2" + BigEndian(300, 4) + "\0\0"s + TextBody(kLatin1, std::u16string(299, u'x'));
    const std::string ffBody = TextBody(kUtf16Bom, u"\u00FF\u00FF\u00E9");
    const std::string frameUnsync = Frame(
        4, "TIT2", Syncsafe(static_cast<uint32_t>(ffBody.size())) + Unsynchronised(ffBody), 0x0003);
    const std::string none;
    struct cCase {
        const char* Name;
        std::string File;
        cId3v1Texts Expected;
    };
    // clang-format off
    const cCase cases[] = {
        {"padding", Tag(3, five, 2048) + Audio(100), all},
        {"a 2.3 extended header", Tag(3, BigEndian(6, 4) + std::string(6, '\0') + five, 0, 0x40), all},
        {"a 2.4 extended header", Tag(4, Syncsafe(6) + "\x01\x00"s + five4, 16, 0x40), all},
        {"a 2.4 footer", Tag(4, five4, 0, 0x10) + Audio(100), all},
        {"a 2.3 tag unsynchronised whole", Tag(3, Unsynchronised(title(3, u"\u00FF\u00FF\u00E9 \u00FF") + artist(3, u"A")), 10, 0x80),
         {"\xC3\xBF\xC3\xBF\xC3\xA9 \xC3\xBF", "A", "", "", ""}},
        {"a 2.4 frame unsynchronised, with data length", Tag(4, frameUnsync), {"\xC3\xBF\xC3\xBF\xC3\xA9", "", "", "", ""}},
        {"2.4 sizes written as plain numbers", Tag(4, itunesSizes + artist(4, u"After"), 20), {std::string(299, 'x'), "After", "", "", ""}},
        {"2.3 frames named like 2.2 ones", Tag(3, Frame(3, "TT2\0"s, TextBody(kLatin1, u"Old name"))), {"Old name", "", "", "", ""}},
        {"compressed and encrypted frames are skipped",
         Tag(3, Frame(3, "TIT2", "\0\0\0\x04\x78\x9C junk"s, 0x0080) + title(3, u"Second") + Frame(3, "TPE1", "\x01 secret", 0x0040) + artist(3, u"Plain")),
         {"Second", "Plain", "", "", ""}},
        {"a 2.3 group id before the text", Tag(3, Frame(3, "TIT2", "\x07" + TextBody(kLatin1, u"G3"), 0x0020)), {"G3", "", "", "", ""}},
        {"a 2.4 group id before the text", Tag(4, Frame(4, "TIT2", "\x07" + TextBody(kUtf8, u"G4"), 0x0040)), {"G4", "", "", "", ""}},
        {"the year of a 2.4 recording time", Tag(4, TextFrame(4, "TDRC", kLatin1, u"2004-05-06T10:00")), {"", "", "", "2004", ""}},
        {"2.4 without TDRC takes TYER", Tag(4, TextFrame(4, "TYER", kLatin1, u"1988")), {"", "", "", "1988", ""}},
        {"2.3 prefers TYER to TDRC", Tag(3, TextFrame(3, "TDRC", kLatin1, u"2010") + TextFrame(3, "TYER", kLatin1, u"1999")), {"", "", "", "1999", ""}},
        {"the comment without a description comes first",
         Tag(3, CommentFrame(3, kLatin1, u"iTunNORM", u" 0000031A") + CommentFrame(3, kUtf16Bom, u"note", u"Described") + CommentFrame(3, kUtf16Bom, u"", u"Plain", "deu")),
         {"", "", "", "", "Plain"}},
        {"else the first that is no machine data",
         Tag(4, CommentFrame(4, kLatin1, u"iTunSMPB", u" 00000210") + CommentFrame(4, kUtf8, u"note", u"Described") + CommentFrame(4, kUtf8, u"x", u"Later")),
         {"", "", "", "", "Described"}},
        {"the first frame with a text counts", Tag(3, title(3, u"") + title(3, u"Second")), {"Second", "", "", "", ""}},
        {"a zero byte ends the text", Tag(3, title(3, u"A\0B"s)), {"A", "", "", "", ""}},
        {"CR and LF become blanks, the ends are trimmed", Tag(4, title(4, u"  Line1\r\nLine2 ") + CommentFrame(4, kLatin1, u"", u"a\rb\n")),
         {"Line1  Line2", "", "", "", "a b"}},
        {"a text longer than 1024 bytes is cut between characters", Tag(4, title(4, std::u16string(600, u'\u00E9'))),
         {Utf8(std::u16string(512, u'\u00E9')), "", "", "", ""}},
        {"a year keeps 4 characters", Tag(3, TextFrame(3, "TYER", kLatin1, u"19999")), {"", "", "", "1999", ""}},
        {"a year cut before a blank is trimmed", Tag(4, TextFrame(4, "TDRC", kUtf8, u"Ab\u00E9 \u0001x")), {"", "", "", "Ab\xC3\xA9", ""}},
        {"lone surrogates become U+FFFD", Tag(3, Frame(3, "TIT2", "\x01\xFF\xFE" "A\0" "\x00\xD8" "B\0" "\x00\xDC"s)),
         {"A\xEF\xBF\xBD" "B\xEF\xBF\xBD", "", "", "", ""}},
        {"invalid UTF-8 becomes U+FFFD", Tag(4, Frame(4, "TIT2", "\x03" "a\xC3\x28z\xFF")), {"a\xEF\xBF\xBD(z\xEF\xBF\xBD", "", "", "", ""}},
        {"UTF-16 without a byte order mark", Tag(3, Frame(3, "TIT2", "\x01" + Utf16(u"No mark", false))), {"No mark", "", "", "", ""}},
        {"an unknown encoding gives no text", Tag(3, Frame(3, "TIT2", "\x07text")), {}},
        {"a zero-length frame ends the walk", Tag(3, artist(3, u"First") + Frame(3, "TIT2", none) + Frame(3, "TIT2", none) + title(3, u"x")),
         {"", "First", "", "", ""}},
        {"a frame running past the tag is not read", Tag(3, artist(3, u"Sound") + "TIT2" + BigEndian(5000, 4) + "\0\0\0Cut"s), {"", "Sound", "", "", ""}},
        {"a bad frame id ends the walk", Tag(3, artist(3, u"Kept") + "ti\x01t" + title(3, u"No")), {"", "Kept", "", "", ""}},
        {"a tag larger than the file", "ID3\x03\0\0"s + Syncsafe(100000) + artist(3, u"Short file"), {"", "Short file", "", "", ""}},
        {"a tag claiming 256 MiB", "ID3\x04\0\0\x7F\x7F\x7F\x7F"s + artist(4, u"Big") + std::string(3000, '\0'), {"", "Big", "", "", ""}},
        {"only a header", "ID3\x03\0\0\0\0\0\0"s, {}},
        {"version 5 is ignored whole", Tag(5, five), {}},
        {"a 2.2 tag flagged compressed is ignored", Tag(2, title(2, u"x"), 0, 0x40), {}},
        {"a size that is not syncsafe is no tag", "ID3\x03\0\0\0\0\x01\x80"s + five, {}},
    };
    // clang-format on
    for (const cCase& c : cases) {
        ExpectTexts(c.File, c.Expected, c.Name);
    }
    const std::string header = "ID3\x03\0\0\0\0\0\0"s;
    for (size_t size = 0; size < header.size(); ++size) {
        EXPECT_EQ(ReadId3v2Texts(header.substr(0, size)), cId3v1Texts{}) << size << " bytes";
    }
}

TEST(Id3v2Reading, LargeFramesAreSkippedUnread) {
    // A cover picture of 4 MiB before a text and no comment: the reader walks to the end of
    // the tag, reading frame headers, not the picture.
    const std::string picture =
        Frame(3, "APIC", "\0image/jpeg\0\x03\0"s + std::string(4 << 20, '\xAB'));
    const std::string file = Tag(3,
                                 TextFrame(3, "TIT2", kUtf16Bom, u"Before") + picture +
                                     TextFrame(3, "TPE1", kUtf16Bom, u"After"),
                                 4096) +
                             Audio(1000);
    size_t given = 0;
    EXPECT_EQ(ReadInPieces(file, &given), (cId3v1Texts{"Before", "After", "", "", ""}));
    EXPECT_LT(given, 1000u);
}

} // namespace
