#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "browser/unitSongSorting.h"
#include "catalogue/unitSongsDatabaseClass.h"

namespace {

/// Songs owned by the test; rows are borrowed pointers to them, like the song list's rows.
struct cSongs {
    std::deque<cSongInfo> Storage;
    std::vector<cSongInfo*> Rows;

    cSongInfo& Add(std::string_view fileName, std::string_view title = {}) {
        cSongInfo& song = Storage.emplace_back();
        song.SetFileName(fileName);
        song.SetTitle(title);
        Rows.push_back(&song);
        return song;
    }
};

std::vector<std::string> Titles(const std::vector<cSongInfo*>& rows) {
    std::vector<std::string> titles;
    for (const cSongInfo* song : rows) {
        titles.emplace_back(song->Title());
    }
    return titles;
}

std::vector<std::string> Paths(const std::vector<cSongInfo*>& rows) {
    std::vector<std::string> paths;
    for (const cSongInfo* song : rows) {
        paths.emplace_back(song->FileName());
    }
    return paths;
}

/// The straightforward stable sort by the comparison, which the fast sort must match exactly.
std::vector<int> ReferenceOrder(const std::vector<cSongInfo*>& rows, eSongColumn column,
                                bool reversed) {
    std::vector<int> order(rows.size());
    for (size_t i = 0; i < order.size(); ++i) {
        order[i] = static_cast<int>(i);
    }
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return CompareSongs(*rows[static_cast<size_t>(a)], *rows[static_cast<size_t>(b)], column,
                            reversed) < 0;
    });
    return order;
}

constexpr std::array<eSongColumn, 10> kAllColumns = {
    eSongColumn::Path,   eSongColumn::FileName, eSongColumn::Title, eSongColumn::Author,
    eSongColumn::Album,  eSongColumn::Date,     eSongColumn::Size,  eSongColumn::Views,
    eSongColumn::Groups, eSongColumn::Unknown};

} // namespace

TEST(SongSorting, TextComparisonFoldsOnlyAsciiLetters) {
    EXPECT_EQ(CompareSongTexts("abc", "ABC"), 0);
    EXPECT_EQ(CompareSongTexts("aBc", "AbC"), 0);
    EXPECT_LT(CompareSongTexts("Zebra", "_intro"), 0); // '_' sorts after the letters
    EXPECT_LT(CompareSongTexts("zebra", "[x"), 0);
    EXPECT_LT(CompareSongTexts("10 songs", "Abc"), 0); // digits before letters
    EXPECT_LT(CompareSongTexts("zz", "\xE9t\xE9"), 0); // accented bytes after all ASCII
    EXPECT_LT(CompareSongTexts("~", "\x80"), 0);
    EXPECT_NE(CompareSongTexts("\xE9", "\xC9"), 0); // no folding outside a-z
    EXPECT_LT(CompareSongTexts("ab", "ABC"), 0);    // a text before the longer one it begins
    EXPECT_GT(CompareSongTexts("abc", "AB"), 0);
    EXPECT_LT(CompareSongTexts("", "a"), 0);
    EXPECT_EQ(CompareSongTexts("", ""), 0);
    EXPECT_LT(CompareSongTexts(std::string_view("a", 1), std::string_view("a\0", 2)), 0);
}

TEST(SongSorting, FileNameIgnoresFolderAndExtensionWhilePathDoesNot) {
    cSongs songs;
    songs.Add("/A/b.mp3");
    songs.Add("/B/a.mp3");
    std::vector<cSongInfo*> rows = songs.Rows;

    SortSongRows(rows, eSongColumn::FileName, false);
    EXPECT_EQ(Paths(rows), (std::vector<std::string>{"/B/a.mp3", "/A/b.mp3"}));
    SortSongRows(rows, eSongColumn::Path, false);
    EXPECT_EQ(Paths(rows), (std::vector<std::string>{"/A/b.mp3", "/B/a.mp3"}));
    EXPECT_LT(CompareSongs(*songs.Rows[1], *songs.Rows[0], eSongColumn::FileName, false), 0);
    EXPECT_GT(CompareSongs(*songs.Rows[1], *songs.Rows[0], eSongColumn::Path, false), 0);
    EXPECT_LT(CompareSongs(*songs.Rows[1], *songs.Rows[0], eSongColumn::Path, true), 0);
}

TEST(SongSorting, TitlesAscendAndDescendWithEmptyTitlesAtTheEnds) {
    cSongs songs;
    songs.Add("/m/1.mp3", "_intro");
    songs.Add("/m/2.mp3", "Zebra");
    songs.Add("/m/3.mp3", "");
    songs.Add("/m/4.mp3", "10 songs");
    songs.Add("/m/5.mp3", "\xC9t\xE9");
    songs.Add("/m/6.mp3", "abc");
    std::vector<cSongInfo*> rows = songs.Rows;

    SortSongRows(rows, eSongColumn::Title, false);
    EXPECT_EQ(Titles(rows),
              (std::vector<std::string>{"", "10 songs", "abc", "Zebra", "_intro", "\xC9t\xE9"}));
    SortSongRows(rows, eSongColumn::Title, true);
    EXPECT_EQ(Titles(rows),
              (std::vector<std::string>{"\xC9t\xE9", "_intro", "Zebra", "abc", "10 songs", ""}));
}

TEST(SongSorting, EqualKeysKeepTheirPreviousOrderInBothDirections) {
    cSongs songs;
    const int views[] = {3, 0, 3, 7, 0, 3};
    const char* titles[] = {"c", "b", "a", "x", "d", "b"};
    for (int i = 0; i < 6; ++i) {
        songs.Add("/m/" + std::to_string(i) + ".mp3", titles[i]).Views = views[i];
    }
    std::vector<cSongInfo*> rows = songs.Rows;
    SortSongRows(rows, eSongColumn::Title, false); // a b b c d x
    SortSongRows(rows, eSongColumn::Views, false);
    EXPECT_EQ(Titles(rows), (std::vector<std::string>{"b", "d", "a", "b", "c", "x"}));
    SortSongRows(rows, eSongColumn::Views, true);
    EXPECT_EQ(Titles(rows), (std::vector<std::string>{"x", "a", "b", "c", "b", "d"}));
    // "abc" and "ABC" are equal titles: they too keep their order.
    cSongs texts;
    texts.Add("/1", "ABC");
    texts.Add("/2", "abc");
    texts.Add("/3", "Abc");
    std::vector<cSongInfo*> textRows = texts.Rows;
    SortSongRows(textRows, eSongColumn::Title, true);
    EXPECT_EQ(Paths(textRows), (std::vector<std::string>{"/1", "/2", "/3"}));
    EXPECT_EQ(CompareSongs(*texts.Rows[0], *texts.Rows[1], eSongColumn::Title, true), 0);
}

TEST(SongSorting, NumbersCompareAsSignedValuesAndDatesTolerateDamagedValues) {
    cSongs songs;
    songs.Add("/a").Size = 5;
    songs.Add("/b").Size = -1; // a size read from a damaged record
    songs.Add("/c").Size = std::numeric_limits<int32_t>::max();
    songs.Add("/d").Size = std::numeric_limits<int32_t>::min();
    std::vector<cSongInfo*> rows = songs.Rows;
    SortSongRows(rows, eSongColumn::Size, false);
    EXPECT_EQ(Paths(rows), (std::vector<std::string>{"/d", "/b", "/a", "/c"}));

    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(CompareSongDates(0.0, -0.0), 0);
    EXPECT_EQ(CompareSongDates(nan, nan), 0);
    EXPECT_LT(CompareSongDates(nan, -1e300), 0);
    EXPECT_GT(CompareSongDates(45000.5, nan), 0);
    EXPECT_LT(CompareSongDates(45000.25, 45000.5), 0);

    cSongs dates;
    dates.Add("/later").Date = 45000.75;
    dates.Add("/nan").Date = nan;
    dates.Add("/zero").Date = 0.0;
    dates.Add("/negative-zero").Date = -0.0;
    dates.Add("/earlier").Date = -2.5;
    std::vector<cSongInfo*> dateRows = dates.Rows;
    SortSongRows(dateRows, eSongColumn::Date, false);
    EXPECT_EQ(Paths(dateRows),
              (std::vector<std::string>{"/nan", "/earlier", "/zero", "/negative-zero", "/later"}));
}

TEST(SongSorting, GroupsCompareAsTheJoinedCellText) {
    cSongs songs;
    songs.Add("/1").Groups = {"Rock", "Live"};
    songs.Add("/2").Groups = {"Rock"};
    songs.Add("/3").Groups = {};
    songs.Add("/4").Groups = {"", "rock", "A"};    // joins to "rock,A"
    songs.Add("/5").Groups = {"Rock", "", "Live"}; // "Rock,,Live"
    std::vector<cSongInfo*> rows = songs.Rows;
    SortSongRows(rows, eSongColumn::Groups, false);
    EXPECT_EQ(Paths(rows), (std::vector<std::string>{"/3", "/2", "/5", "/4", "/1"}));
}

TEST(SongSorting, UnknownColumnImposesNoOrder) {
    cSongs songs;
    songs.Add("/z", "z");
    songs.Add("/a", "a");
    std::vector<cSongInfo*> rows = songs.Rows;
    SortSongRows(rows, ColumnFromName("Comment"), false);
    EXPECT_EQ(rows, songs.Rows);
    EXPECT_EQ(SortedRowOrder(rows, eSongColumn::Unknown, true), (std::vector<int>{0, 1}));
    EXPECT_EQ(CompareSongs(*rows[0], *rows[1], eSongColumn::Unknown, false), 0);
}

// Random songs drawn from few letters, so that many rows share long beginnings, differ only in
// letter case, or end where others go on; the fast sort must give exactly the reference order.
TEST(SongSorting, MatchesAStableSortWithTheComparisonOnRandomSongs) {
    constexpr unsigned kRandomStart = 20240611;
    std::mt19937 random(kRandomStart);
    const std::string alphabet = std::string("aAbB_z/.\xE9", 9) + std::string(1, '\0');
    auto randomText = [&](size_t maxLength) {
        std::string text;
        const size_t length = random() % (maxLength + 1);
        for (size_t i = 0; i < length; ++i) {
            text += alphabet[random() % alphabet.size()];
        }
        return text;
    };
    const std::vector<std::string> sharedBeginnings = {"", "/music/", "/music/Artist Name/",
                                                       "The quick brown fox "};
    for (size_t count : {0u, 1u, 7u, 30u, 300u, 3000u}) {
        cSongs songs;
        for (size_t i = 0; i < count; ++i) {
            const std::string& shared = sharedBeginnings[random() % sharedBeginnings.size()];
            cSongInfo& song = songs.Add(shared + randomText(20) + ".mp3", shared + randomText(12));
            song.SetAuthor(randomText(3));
            song.SetAlbum(shared + randomText(30));
            song.Views = static_cast<int32_t>(random() % 5) - 1;
            song.Size = static_cast<int32_t>(random());
            song.Date = (random() % 6 == 0) ? std::nan("") : (random() % 4) * 0.5 - 0.5;
            for (size_t g = random() % 4; g > 0; --g) {
                song.Groups.push_back(randomText(2));
            }
        }
        for (eSongColumn column : kAllColumns) {
            for (bool reversed : {false, true}) {
                SCOPED_TRACE(testing::Message()
                             << "rows " << count << " column " << static_cast<int>(column)
                             << " reversed " << reversed);
                EXPECT_EQ(SortedRowOrder(songs.Rows, column, reversed),
                          ReferenceOrder(songs.Rows, column, reversed));
            }
        }
    }
}

// Every path under one music folder: the sort skips the shared beginning. One row that is not
// among the rows the sort samples first leaves that folder early, which must not be missed.
TEST(SongSorting, SharedBeginningsAreSkippedOnlyAsFarAsEveryRowShares) {
    constexpr unsigned kRandomStart = 5;
    std::mt19937 random(kRandomStart);
    for (bool oneLeavesEarly : {false, true}) {
        cSongs songs;
        for (int i = 0; i < 500; ++i) {
            std::string path = "/home/ann/Music/Artist " + std::to_string(random() % 40) + "/";
            path +=
                std::string(random() % 3, "aB_\xE9"[random() % 4]) + std::to_string(random() % 9);
            songs.Add(path + ".mp3");
        }
        if (oneLeavesEarly) {
            songs.Rows[1]->SetFileName("/home/ann/Musi.mp3");
            songs.Rows[2]->SetFileName("/home/ann/music/Artist 7/b.mp3");
        }
        for (eSongColumn column : {eSongColumn::Path, eSongColumn::FileName}) {
            for (bool reversed : {false, true}) {
                EXPECT_EQ(SortedRowOrder(songs.Rows, column, reversed),
                          ReferenceOrder(songs.Rows, column, reversed));
            }
        }
    }
}

TEST(SongSorting, LongIdenticalTextsSortWithoutExhaustingTheStack) {
    cSongs songs;
    const std::string longText(200000, 'q');
    for (int i = 0; i < 40; ++i) {
        songs.Add("/" + std::to_string(i), longText + (i % 2 ? "b" : "A"));
    }
    std::vector<int> order = SortedRowOrder(songs.Rows, eSongColumn::Title, false);
    EXPECT_EQ(order, ReferenceOrder(songs.Rows, eSongColumn::Title, false));
}

TEST(SongSorting, MovedRowLandsWhereAFullStableSortPutsIt) {
    constexpr unsigned kRandomStart = 77;
    std::mt19937 random(kRandomStart);
    for (bool reversed : {false, true}) {
        for (int round = 0; round < 200; ++round) {
            cSongs songs;
            const int count = 1 + static_cast<int>(random() % 12);
            for (int i = 0; i < count; ++i) {
                songs.Add("/" + std::to_string(i), std::string(1, "abcd"[random() % 4]));
            }
            SortSongRows(songs.Rows, eSongColumn::Title, reversed);
            const int index = static_cast<int>(random() % static_cast<unsigned>(count));
            songs.Rows[static_cast<size_t>(index)]->SetTitle(std::string(1, "abcd"[random() % 4]));

            std::vector<cSongInfo*> expected = songs.Rows;
            std::stable_sort(expected.begin(), expected.end(), [&](auto* a, auto* b) {
                return CompareSongs(*a, *b, eSongColumn::Title, reversed) < 0;
            });
            const cSongInfo* moved = songs.Rows[static_cast<size_t>(index)];
            const int target =
                MoveRowToSortedPosition(songs.Rows, index, eSongColumn::Title, reversed);
            ASSERT_EQ(songs.Rows, expected) << "round " << round;
            EXPECT_EQ(songs.Rows[static_cast<size_t>(target)], moved);
        }
    }
}

TEST(SongSortOrder, HeaderClicksReverseTheSameColumnAndStartOthersAscending) {
    cSongSortOrder order{"Title", false};
    ClickSortColumn(order, "Title");
    EXPECT_TRUE(order.Reversed);
    ClickSortColumn(order, "Title");
    EXPECT_FALSE(order.Reversed);
    ClickSortColumn(order, "Title");
    ClickSortColumn(order, "Views");
    EXPECT_EQ(order.Column, "Views");
    EXPECT_FALSE(order.Reversed);
    EXPECT_EQ(order.Kind(), eSongColumn::Views);
}

TEST(SongSortOrder, StoredPositionAndVisibleColumnChanges) {
    const std::vector<std::string> columns = {"FileName", "Date", "Size", "Views", "Groups"};
    cSongSortOrder order = SortOrderFromSettings(columns, 3, true);
    EXPECT_EQ(order.Column, "Views");
    EXPECT_TRUE(order.Reversed);
    EXPECT_EQ(SortColumnPosition(columns, order), 3);
    EXPECT_EQ(SortOrderFromSettings(columns, 5, false).Column, "FileName");
    EXPECT_EQ(SortOrderFromSettings(columns, -1, false).Column, "FileName");

    EXPECT_FALSE(FollowVisibleColumns(order, {"Title", "Views"}));
    EXPECT_EQ(order.Column, "Views");
    EXPECT_TRUE(order.Reversed);
    EXPECT_TRUE(FollowVisibleColumns(order, {"Title", "Album"}));
    EXPECT_EQ(order.Column, "Title");
    EXPECT_FALSE(order.Reversed);
    EXPECT_EQ(SortColumnPosition({"Album"}, order), 0);
}
