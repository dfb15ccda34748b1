#include <gtest/gtest.h>

#include "browser/unitSongColumns.h"
#include "catalogue/unitSongsDatabaseClass.h"

TEST(SongColumns, TheTableHoldsTheNineColumnsInTheirStoredOrder) {
    EXPECT_EQ(std::vector<std::string_view>(kColumnNames.begin(), kColumnNames.end()),
              (std::vector<std::string_view>{"Path", "FileName", "Title", "Author", "Album", "Date",
                                             "Size", "Views", "Groups"}));
    std::string kinds;
    for (const cSongColumnInfo& column : kSongColumns) {
        EXPECT_EQ(column.Text != nullptr, column.Kind == eColumnKind::Text) << column.Name;
        kinds += column.Kind == eColumnKind::Text   ? 'T'
                 : column.Kind == eColumnKind::Date ? 'D'
                                                    : 'N';
    }
    EXPECT_EQ(kinds, "TTTTTDNNT") << "Date, Size and Views compare as numbers";
}

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
    EXPECT_EQ(copy.Title(), "itle");
    EXPECT_EQ(copy.Views, 0);
}

TEST(SharedColumnWidths, AutoSizedColumnsShareWhatTheOthersLeave) {
    struct cCase {
        std::vector<int> Widths;
        std::vector<bool> AutoSized;
        int ClientWidth;
        std::vector<int> Minimums;
        std::vector<int> Expected;
    };
    const cCase cases[] = {
        // FileName, Date, Path, Views in a list 400 wide: 400 - 100 - 45 = 255 to share.
        {{50, 100, 50, 45}, {true, false, true, false}, 400, {16, 0, 16, 0}, {128, 100, 127, 45}},
        // No auto-sized column: nothing changes.
        {{50, 60}, {false, false}, 400, {16, 16}, {50, 60}},
        // Less room than the fixed columns take: the share keeps its minimum.
        {{50, 300}, {true, false}, 200, {16, 0}, {16, 300}},
        // A narrow list: FileName keeps its readable width, Path gives way.
        {{50, 100, 50}, {true, false, true}, 300, {120, 0, 16}, {120, 100, 80}},
        {{50, 100, 50}, {true, false, true}, 150, {120, 0, 16}, {120, 100, 16}},
        // Path first, FileName second: the readable one is settled wherever it stands.
        {{50, 50, 100}, {true, true, false}, 250, {16, 120, 0}, {30, 120, 100}},
        // Room enough: equal shares, the first taking the remainder.
        {{50, 100, 50}, {true, false, true}, 401, {120, 0, 16}, {151, 100, 150}},
        {{}, {}, 200, {}, {}},
    };
    for (const cCase& c : cases) {
        EXPECT_EQ(SharedColumnWidths(c.Widths, c.AutoSized, c.ClientWidth, c.Minimums), c.Expected)
            << c.ClientWidth;
    }
}

TEST(SongColumns, ACellFingerprintFollowsItsOwnTextOnly) {
    cSongInfo song;
    song.SetTexts("/music/a.mp3", "Title", "", "", "", "");
    const size_t fileName = CellFingerprint(eSongColumn::FileName, song);
    const size_t path = CellFingerprint(eSongColumn::Path, song);
    const size_t views = CellFingerprint(eSongColumn::Views, song);
    song.Views = 1;
    song.Groups = {"Rock"};
    EXPECT_EQ(CellFingerprint(eSongColumn::FileName, song), fileName);
    EXPECT_NE(CellFingerprint(eSongColumn::Views, song), views);
    // Another folder: the same FileName cell, another Path cell.
    song.SetFileName("/other/a.mp3");
    EXPECT_EQ(CellFingerprint(eSongColumn::FileName, song), fileName);
    EXPECT_NE(CellFingerprint(eSongColumn::Path, song), path);
    song.Groups = {"Ro", "ck"};
    const size_t split = CellFingerprint(eSongColumn::Groups, song);
    song.Groups = {"Ro,ck"};
    EXPECT_EQ(CellFingerprint(eSongColumn::Groups, song), split) << "the same text: Ro,ck";
    EXPECT_EQ(CellFingerprint(eSongColumn::Unknown, song), 0u);
}
