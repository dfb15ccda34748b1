#include <gtest/gtest.h>

#include <string>

#include "util/unitTextUtils.h"

namespace {

TEST(TextUtils, TextsAreNeverCutInsideAUtf8Character) {
    const std::string e = "\xC3\xA9";        // é, 2 bytes
    const std::string euro = "\xE2\x82\xAC"; // €, 3 bytes
    std::string twenty;
    for (int i = 0; i < 20; ++i) {
        twenty += e;
    }
    EXPECT_EQ(CutToFieldWidth(twenty, 30).size(), 30u);
    EXPECT_EQ(CutToFieldWidth("a" + twenty, 30), "a" + twenty.substr(0, 28));
    std::string euros;
    for (int i = 0; i < 11; ++i) {
        euros += euro;
    }
    EXPECT_EQ(CutToFieldWidth(euros, 30), euros.substr(0, 30));
    EXPECT_EQ(CutToFieldWidth("ab" + euros, 30), "ab" + euros.substr(0, 27));
    EXPECT_EQ(CutToFieldWidth("19" + euro, 4), "19");
    // A Latin-1 text is not UTF-8: cut at the byte width.
    const std::string latin(40, '\xE9');
    EXPECT_EQ(CutToFieldWidth(latin, 30), latin.substr(0, 30));
    EXPECT_EQ(CutToFieldWidth("short", 30), "short");
}

TEST(TextUtils, Utf8Validity) {
    EXPECT_TRUE(IsValidUtf8("plain"));
    EXPECT_TRUE(IsValidUtf8("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xB5"));
    EXPECT_FALSE(IsValidUtf8("\xE9t\xE9"));        // Latin-1
    EXPECT_FALSE(IsValidUtf8("\xC0\x80"));         // overlong NUL
    EXPECT_FALSE(IsValidUtf8("\xE0\x80\xAF"));     // overlong '/'
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));     // surrogate
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80")); // beyond U+10FFFF
    EXPECT_FALSE(IsValidUtf8("\xE2\x82"));         // cut short
    EXPECT_FALSE(IsValidUtf8("\x82"));             // lone continuation
}

} // namespace
