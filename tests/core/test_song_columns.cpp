#include <gtest/gtest.h>

#include "browser/unitSongColumns.h"
#include "catalogue/unitSongsDatabaseClass.h"

TEST(SongColumns, NamesAreExactAndCaseSensitive) {
    EXPECT_EQ(ColumnFromName("Path"), eSongColumn::Path);
    EXPECT_EQ(ColumnFromName("Groups"), eSongColumn::Groups);
    EXPECT_EQ(ColumnFromName("filename"), eSongColumn::Unknown);
    EXPECT_EQ(ColumnFromName(""), eSongColumn::Unknown);
    EXPECT_TRUE(IsAutoSizedColumn(eSongColumn::FileName));
    EXPECT_FALSE(IsAutoSizedColumn(eSongColumn::Title));
}

TEST(SongInfo, TextsAreIndependentAndSurviveSelfAssignment) {
    cSongInfo song;
    EXPECT_TRUE(song.FileName().empty());
    song.SetTexts("/m/a.mp3", "Title", "Artist", "", "c ", "1999");
    song.SetAlbum("Album");
    song.SetTitle(song.Title().substr(1)); // a view into the record's own block
    EXPECT_EQ(song.FileName(), "/m/a.mp3");
    EXPECT_EQ(song.Title(), "itle");
    EXPECT_EQ(song.Author(), "Artist");
    EXPECT_EQ(song.Album(), "Album");
    EXPECT_EQ(song.Comment(), "c ");
    EXPECT_EQ(song.Year(), "1999");
    cSongInfo copy = song;
    song.SetFileName("");
    EXPECT_EQ(copy.FileName(), "/m/a.mp3");
    EXPECT_EQ(song.Year(), "1999");
    EXPECT_EQ(PlainCellText(eSongColumn::FileName, copy), "a");
    EXPECT_EQ(PlainCellText(eSongColumn::Views, copy), "0");
}
