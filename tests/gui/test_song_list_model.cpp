// The song list model: cell texts by the column name table, icons per file type, row order
// changes that carry the selection along, captions that changed, and the model contract
// (QAbstractItemModelTester, attached by the fixture to every model test).
#include <QItemSelectionModel>
#include <QLocale>
#include <QSignalSpy>
#include <gtest/gtest.h>
#include <memory>

#include "browser/unitSongListModel.h"
#include "catalogue/unitSongsDatabaseClass.h"
#include "support/model_fixture.h"

namespace {

// 2024-03-05 is day 45356 after 1899-12-30.
constexpr double kMarch5th2024 = 45356.0;

} // namespace

TEST(SongCellText, TextsFollowTheColumnNameTable) {
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    cSongInfo song;
    song.SetTexts("/music/Live/a.b.mp3", "T\xe9l\xe9", "Caf\xc3\xa9", "Album", "", "1999");
    song.Groups = {"Good", "Bad"};
    song.Views = 7;
    song.Size = 1234567890;
    EXPECT_EQ(SongCellText(eSongColumn::Path, song, english), "/music/Live/a.b.mp3");
    EXPECT_EQ(SongCellText(eSongColumn::FileName, song, english), "a.b");
    // Latin-1 bytes are no valid UTF-8 and show as Latin-1; valid UTF-8 shows as UTF-8.
    EXPECT_EQ(SongCellText(eSongColumn::Title, song, english), QString::fromUtf8("Télé"));
    EXPECT_EQ(SongCellText(eSongColumn::Author, song, english), QString::fromUtf8("Café"));
    EXPECT_EQ(SongCellText(eSongColumn::Views, song, english), "7");
    EXPECT_EQ(SongCellText(eSongColumn::Groups, song, english), "Good,Bad");
    EXPECT_EQ(SongCellText(eSongColumn::Size, song, english), "1,177.38 MB");
    EXPECT_EQ(SongCellText(eSongColumn::Unknown, song, english), "");

    // The locale's own separators.
    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(SongCellText(eSongColumn::Size, song, german), "1.177,38 MB");
    song.Size = 1023;
    EXPECT_EQ(SongCellText(eSongColumn::Size, song, german), "1023 bytes");
    song.Groups.clear();
    EXPECT_EQ(SongCellText(eSongColumn::Groups, song, german), "");
}

TEST(SongCellText, DateLeavesOutMidnightAndTheTimeZone) {
    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(SongDateText(kMarch5th2024, german), "05.03.24");
    // 13:14:15 as a fraction of the day.
    const double afternoon = kMarch5th2024 + (13 * 3600 + 14 * 60 + 15) / 86400.0;
    EXPECT_EQ(SongDateText(afternoon, german), "05.03.24 13:14:15");
    // One second after midnight is not midnight.
    EXPECT_EQ(SongDateText(kMarch5th2024 + 1 / 86400.0, german), "05.03.24 00:00:01");
    // A hair before midnight rounds up into the next day, shown as a plain date.
    EXPECT_EQ(SongDateText(kMarch5th2024 + 1 - 1e-10, german), "06.03.24");
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QString text = SongDateText(afternoon, english);
    EXPECT_TRUE(text.startsWith("3/5/24 1:14:15")) << text.toStdString();
    EXPECT_FALSE(text.contains("UTC")) << text.toStdString();
    EXPECT_EQ(SongDateText(std::numeric_limits<double>::quiet_NaN(), english), "");
}

TEST(SongCellText, ZoneIsCutFromTimeFormats) {
    EXPECT_EQ(TimeFormatWithoutZone("HH:mm:ss t"), "HH:mm:ss");
    EXPECT_EQ(TimeFormatWithoutZone("h:mm:ss AP tttt"), "h:mm:ss AP");
    EXPECT_EQ(TimeFormatWithoutZone("HH:mm:ss"), "HH:mm:ss");
}

TEST_F(SongListModelTest, PassesTheModelTesterThroughResetsAndChanges) {
    for (int i = 0; i < 20; ++i) {
        AddSong("/m/song" + std::to_string(i) + ".mp3", i);
    }
    Model.SetColumns({"FileName", "Date", "Size", "Views", "Groups", "Nonsense"});
    Model.SetSongs(Songs());
    ASSERT_EQ(Model.rowCount(), 20);
    ASSERT_EQ(Model.columnCount(), 6);
    Model.AppendSong(AddSong("/m/extra.mp3"));
    Model.RefreshRow(3);
    Model.RemoveRow(0);
    std::vector<int> reversed;
    for (int row = Model.rowCount() - 1; row >= 0; --row) {
        reversed.push_back(row);
    }
    Model.SetRowOrder(reversed);
    Model.MoveRow(0, 5);
    Model.MoveRow(7, 2);
    Model.MoveRow(0, Model.rowCount() - 1);
    Model.MoveRow(Model.rowCount() - 1, 0);
    Model.SetColumns({"Path"});
    Model.Clear();
    EXPECT_EQ(Model.rowCount(), 0);
}

TEST_F(SongListModelTest, RolesGiveTextsIconAndSong) {
    cSongInfo* song = AddSong("/m/Blue.MP3", 3);
    Model.SetColumns({"FileName", "Views", "Unheard"});
    Model.SetSongs(Songs());
    EXPECT_EQ(Model.headerData(0, Qt::Horizontal).toString(), "FileName");
    EXPECT_EQ(Model.headerData(2, Qt::Horizontal).toString(), "Unheard");
    EXPECT_EQ(Model.index(0, 0).data().toString(), "Blue");
    EXPECT_EQ(Model.index(0, 1).data().toString(), "3");
    EXPECT_EQ(Model.index(0, 2).data().toString(), "");
    EXPECT_FALSE(Model.index(0, 0).data(Qt::DecorationRole).value<QIcon>().isNull());
    EXPECT_FALSE(Model.index(0, 1).data(Qt::DecorationRole).isValid());
    EXPECT_EQ(Model.index(0, 1).data(TSongListModel::kSongRole).value<void*>(), song);
    EXPECT_EQ(Model.Song(0), song);
    EXPECT_EQ(Model.Song(1), nullptr);
    EXPECT_EQ(Model.RowOfSong(song), 0);
    // Only the caption is edited in place (by the rename), and never written into the model.
    EXPECT_TRUE(Model.flags(Model.index(0, 0)) & Qt::ItemIsEditable);
    EXPECT_FALSE(Model.flags(Model.index(0, 1)) & Qt::ItemIsEditable);
    EXPECT_EQ(Model.index(0, 0).data(Qt::EditRole).toString(), "Blue");
    EXPECT_FALSE(Model.setData(Model.index(0, 0), "Green"));
    EXPECT_EQ(Model.index(0, 0).data().toString(), "Blue");
}

TEST_F(SongListModelTest, IconsAreLookedUpOncePerFileType) {
    for (int i = 0; i < 500; ++i) {
        AddSong("/m/" + std::to_string(i) + (i % 2 ? ".mp3" : ".MP3"));
    }
    AddSong("/m/readme.txt");
    Model.SetColumns({"FileName"});
    Model.SetSongs(Songs());
    for (int row = 0; row < Model.rowCount(); ++row) {
        Model.index(row, 0).data(Qt::DecorationRole);
    }
    EXPECT_EQ(Model.IconCache().LookupCount(), 2);
}

TEST_F(SongListModelTest, NewRowOrderCarriesSelectionAndCurrentRow) {
    ShowSongs(5, {"FileName", "Views"});
    QItemSelectionModel selection(&Model);
    selection.select(Model.index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    selection.setCurrentIndex(Model.index(4, 1), QItemSelectionModel::NoUpdate);

    Model.SetRowOrder({4, 3, 2, 1, 0});
    EXPECT_EQ(Captions(), "43210");
    EXPECT_TRUE(selection.isRowSelected(3, {}));
    EXPECT_FALSE(selection.isRowSelected(1, {}));
    EXPECT_EQ(selection.currentIndex(), Model.index(0, 1));
    // An order of the wrong length changes nothing.
    Model.SetRowOrder({0, 1});
    EXPECT_EQ(Captions(), "43210");
    EXPECT_EQ(Layouts.size(), 1);
}

TEST_F(SongListModelTest, OneRowMovesWithItsSelectionAndAnUnchangedOrderIsNoChange) {
    ShowSongs(6, {"FileName"});
    QItemSelectionModel selection(&Model);
    selection.setCurrentIndex(Model.index(1, 0), QItemSelectionModel::ClearAndSelect);
    selection.select(Model.index(3, 0), QItemSelectionModel::Select);

    Model.MoveRow(1, 4); // down: the rows between move up
    EXPECT_EQ(Captions(), "023415");
    EXPECT_EQ(selection.currentIndex().row(), 4);
    EXPECT_TRUE(selection.isRowSelected(2, {})) << "song 3 moved up with its mark";
    Model.MoveRow(4, 0); // up: the rows between move down
    EXPECT_EQ(Captions(), "102345");
    EXPECT_EQ(selection.currentIndex().row(), 0);
    EXPECT_TRUE(selection.isRowSelected(3, {}));
    Model.MoveRow(2, 2);
    Model.MoveRow(-1, 2);
    Model.MoveRow(0, 6);
    EXPECT_EQ(Captions(), "102345");
    EXPECT_EQ(Moves.size(), 2) << "only the two real moves are reported";

    Model.SetRowOrder({0, 1, 2, 3, 4, 5});
    EXPECT_EQ(Layouts.size(), 0) << "nothing to lay out again";
    Model.SetRowOrder({1, 0, 2, 3, 4, 5});
    EXPECT_EQ(Layouts.size(), 1);
    EXPECT_EQ(Captions(), "012345");
}

TEST_F(SongListModelTest, ARefreshTellsWhetherTheCaptionChangedWhereverTheRowWent) {
    ShowSongs(3, {"FileName", "Views"});
    cSongInfo* first = Model.Song(0);
    first->Views = 4;
    EXPECT_FALSE(Model.RefreshRow(0)) << "only the Views cell changed";
    EXPECT_EQ(Changes.size(), 1) << "the row is repainted all the same";
    // The caption is remembered with its row through moves and new orders.
    Model.MoveRow(0, 2);
    Model.SetRowOrder({2, 0, 1});
    ASSERT_EQ(Model.Song(0), first);
    first->SetFileName("/m/renamed.mp3");
    EXPECT_TRUE(Model.RefreshRow(0));
    EXPECT_FALSE(Model.RefreshRow(0)) << "told once";
    // With Views first, a new count is a new caption.
    Model.SetColumns({"Views", "FileName"});
    first->Views = 5;
    EXPECT_TRUE(Model.RefreshRow(Model.RowOfSong(first)));
    EXPECT_FALSE(Model.RefreshRow(7)) << "no such row";
}

TEST_F(SongListModelTest, SongsGivenWithTheirOrderKeepEachCaptionWithItsRow) {
    ShowSongs(3, {"FileName"});
    const std::vector<cSongInfo*> songs = Songs();
    Model.SetSongs(songs, {2, 0, 1});
    ASSERT_EQ(Model.Song(0), songs[2]);
    ASSERT_EQ(Model.Song(2), songs[1]);
    for (int row = 0; row < 3; ++row) {
        EXPECT_FALSE(Model.RefreshRow(row)) << row;
    }
    songs[0]->SetFileName("/m/renamed.mp3");
    EXPECT_FALSE(Model.RefreshRow(0));
    EXPECT_TRUE(Model.RefreshRow(1));
}

TEST_F(SongListModelTest, RowsGoBlockByBlockOrInOneResetWhenScattered) {
    ShowSongs(60, {"FileName"});
    QSignalSpy removed(&Model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy resets(&Model, &QAbstractItemModel::modelReset);
    Model.RemoveRows({0, 1, 2, 10, 59});
    EXPECT_EQ(removed.size(), 3) << "three blocks of rows";
    EXPECT_EQ(resets.size(), 0);
    ASSERT_EQ(Model.rowCount(), 55);
    EXPECT_EQ(Captions().left(6), "345678");

    std::vector<int> everyOther;
    for (int row = 0; row < Model.rowCount(); row += 2) {
        everyOther.push_back(row);
    }
    Model.RemoveRows(everyOther);
    EXPECT_EQ(resets.size(), 1) << "28 blocks: one reset";
    ASSERT_EQ(Model.rowCount(), 27);
    EXPECT_EQ(Model.Song(0)->FileName(), "/m/4.mp3");
    EXPECT_EQ(Model.Song(26)->FileName(), "/m/57.mp3");
}
