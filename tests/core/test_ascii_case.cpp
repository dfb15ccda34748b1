#include <gtest/gtest.h>

#include <string>

#include "util/unitAsciiCase.h"

// Only A to Z fold; the neighbours of the letters in the ASCII table, and bytes above 127,
// are compared as they are. The word-at-a-time folding must get every byte position right.
TEST(AsciiCase, OnlyTheLettersAToZFold) {
    EXPECT_EQ(LowerCaseAscii("@AZ[`az{\xC3\x84"), "@az[`az{\xC3\x84");
    EXPECT_TRUE(
        SameTextIgnoringAsciiCase("/Music/ABBA - Waterloo.MP3", "/music/abba - waterloo.mp3"));
    EXPECT_TRUE(SameTextIgnoringAsciiCase("AZ@[`{az", "az@[`{AZ"));
    EXPECT_EQ(FoldedHash("AZ@[`{az"), FoldedHash("az@[`{AZ"));
    EXPECT_FALSE(SameTextIgnoringAsciiCase("[", "{"));
    EXPECT_FALSE(SameTextIgnoringAsciiCase("@", "`"));
    EXPECT_FALSE(SameTextIgnoringAsciiCase("\xC3\x84", "\xC3\xA4")); // Ä and ä stay distinct
    EXPECT_FALSE(SameTextIgnoringAsciiCase("abc", "abcd"));
}

TEST(AsciiCase, EveryPositionOfALongTextCountsForEqualityAndHash) {
    const std::string lower = "/home/user/music/some artist/some album/01 - a title.mp3";
    for (size_t i = 0; i < lower.size(); ++i) {
        std::string upper = lower;
        upper[i] = static_cast<char>(upper[i] >= 'a' && upper[i] <= 'z' ? upper[i] - 32 : upper[i]);
        EXPECT_TRUE(SameTextIgnoringAsciiCase(lower, upper)) << i;
        EXPECT_EQ(FoldedHash(lower), FoldedHash(upper)) << i;
        std::string other = lower;
        other[i] = '#';
        EXPECT_FALSE(SameTextIgnoringAsciiCase(lower, other)) << i;
    }
    EXPECT_NE(FoldedHash(lower), FoldedHash(lower + "x"));
}
