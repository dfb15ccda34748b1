#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "browser/unitSongSorting.h"
#include "browser/unitStatusTexts.h"
#include "catalogue/unitSongsDatabaseClass.h"

namespace {

struct cSongs {
    std::deque<cSongInfo> Storage;
    std::vector<cSongInfo*> List;

    cSongInfo& Add(std::string_view fileName, int32_t views = 0, int32_t size = 0) {
        cSongInfo& song = Storage.emplace_back();
        song.SetFileName(fileName);
        song.Views = views;
        song.Size = size;
        List.push_back(&song);
        return song;
    }
};

} // namespace

TEST(StatusTexts, HeaderNamesTheFolderAndCountsWithPlurals) {
    EXPECT_EQ(SelectedFolderCaption("/home/ann/Music/"), "Viewing music folder /home/ann/Music");
    EXPECT_EQ(SelectedFolderCaption("/"), "Viewing music folder /");
    EXPECT_EQ(SelectedFolderCaption(""), "Viewing music folder ");
    EXPECT_EQ(FolderContentsCaption(1, 1), "Displaying 1 song, divided into 1 group");
    EXPECT_EQ(FolderContentsCaption(0, 0), "Displaying 0 songs, divided into 0 groups");
    EXPECT_EQ(FolderContentsCaption(2, 1), "Displaying 2 songs, divided into 1 group");
    EXPECT_EQ(FolderContentsCaption(100000, 12), "Displaying 100000 songs, divided into 12 groups");
}

TEST(StatusTexts, MostPopularCaptionCountsOpensWithItsOwnPlural) {
    EXPECT_EQ(MostPopularCaption(nullptr), "(not yet determined)");
    cSongs songs;
    cSongInfo& song = songs.Add("/m/Band - Song.v2.mp3", 1);
    EXPECT_EQ(MostPopularCaption(&song), "Band - Song.v2 (opened 1 time)");
    song.Views = 2;
    EXPECT_EQ(MostPopularCaption(&song), "Band - Song.v2 (opened 2 times)");
}

TEST(MostPopular, FirstSongWithTheHighestCountInMasterOrderWins) {
    cSongs songs;
    songs.Add("/m/z.mp3", 0);
    cSongInfo& firstOfTwo = songs.Add("/m/y.mp3", 5);
    songs.Add("/m/a.mp3", 5);
    songs.Add("/m/b.mp3", 3);
    EXPECT_EQ(FindMostPopular(songs.List), &firstOfTwo);

    // The rows on screen may be in another order; the rule still follows the list given.
    std::vector<cSongInfo*> rows = songs.List;
    SortSongRows(rows, eSongColumn::Path, false);
    EXPECT_NE(rows[0], &firstOfTwo);
    EXPECT_EQ(FindMostPopular(songs.List), &firstOfTwo);
}

TEST(MostPopular, NeverOpenedSongsAreNeverChosen) {
    cSongs songs;
    songs.Add("/m/a.mp3", 0);
    songs.Add("/m/b.mp3", -3); // a count read from a damaged record
    songs.List.push_back(nullptr);
    EXPECT_EQ(FindMostPopular(songs.List), nullptr);
    EXPECT_EQ(FindMostPopular({}), nullptr);
}

TEST(MostPopular, OfferingReportsOnlyRealChanges) {
    cSongs songs;
    cSongInfo& once = songs.Add("/m/once.mp3", 1);
    cSongInfo& never = songs.Add("/m/never.mp3", 0);
    cSongInfo& alsoOnce = songs.Add("/m/also.mp3", 1);
    cSongInfo* mostPopular = nullptr;
    EXPECT_FALSE(OfferMostPopular(mostPopular, &never));
    EXPECT_TRUE(OfferMostPopular(mostPopular, &once));
    EXPECT_FALSE(OfferMostPopular(mostPopular, &alsoOnce)); // a tie keeps the current one
    EXPECT_FALSE(OfferMostPopular(mostPopular, nullptr));
    EXPECT_EQ(mostPopular, &once);
    // Opening a song that then has more views makes it the most popular one at once.
    alsoOnce.Views += 1;
    EXPECT_TRUE(OfferMostPopular(mostPopular, &alsoOnce));
    EXPECT_EQ(mostPopular, &alsoOnce);
}

TEST(StatusBar, TextsWithAndWithoutSelection) {
    EXPECT_EQ(StatusBarText({}, 0, 0), " 0 files in total, 0 bytes");
    EXPECT_EQ(StatusBarText({1, 1536}, 3, 5000000),
              " 1 song selected (1.50 KB), 3 files in total, 4.77 MB");
    EXPECT_EQ(StatusBarText({2, 2048}, 2, 2048),
              " 2 songs selected (2.00 KB), 2 files in total, 2.00 KB");
    EXPECT_EQ(StatusBarText({1, 1234567890}, 1, 1234567890, ",", "."),
              " 1 song selected (1.177,38 MB), 1 files in total, 1.177,38 MB");
}

TEST(StatusBar, SumsPastTwoGibibytesDoNotWrap) {
    cSongs songs;
    for (int i = 0; i < 3; ++i) {
        songs.Add("/m/" + std::to_string(i) + ".wav", 0, 2'000'000'000);
    }
    const cSongsTotal all = TotalOfSongs(songs.List);
    EXPECT_EQ(all.Count, 3);
    EXPECT_EQ(all.Bytes, 6'000'000'000);
    const cSongsTotal selected = TotalOfRowRanges(songs.List, {{0, 1}});
    EXPECT_EQ(selected.Bytes, 4'000'000'000);
    EXPECT_EQ(StatusBarText(selected, 3, all.Bytes),
              " 2 songs selected (3,814.70 MB), 3 files in total, 5,722.05 MB");
}

TEST(StatusBar, SelectedRangesCountEachRowOnce) {
    cSongs songs;
    for (int i = 0; i < 10; ++i) {
        songs.Add("/m/" + std::to_string(i) + ".mp3", 0, 1 << i);
    }
    const std::vector<cSongInfo*>& rows = songs.List;
    // Unordered, overlapping and repeated ranges.
    cSongsTotal total = TotalOfRowRanges(rows, {{5, 6}, {0, 2}, {1, 3}, {5, 5}, {9, 9}});
    EXPECT_EQ(total.Count, 7);
    EXPECT_EQ(total.Bytes, 1 + 2 + 4 + 8 + 32 + 64 + 512);
    // A range that ends past the rows, one before them, and an empty selection.
    total = TotalOfRowRanges(rows, {{8, 40}, {-5, -1}, {3, 2}});
    EXPECT_EQ(total.Count, 2);
    EXPECT_EQ(total.Bytes, 256 + 512);
    EXPECT_EQ(TotalOfRowRanges(rows, {}).Count, 0);
    EXPECT_EQ(TotalOfRowRanges({}, {{0, 3}}).Count, 0);
}

TEST(StatusBar, OfflineSongsAreNamedOnlyWhenThereAreAny) {
    EXPECT_EQ(OfflineSongsCaption(0), "");
    EXPECT_EQ(OfflineSongsCaption(1), "1 song offline");
    EXPECT_EQ(OfflineSongsCaption(12345), "12345 songs offline");
}
