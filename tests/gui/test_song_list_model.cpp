// The song list model: cell texts by the column name table, icons per file type, row order
// changes that carry the selection along, and the model contract (QAbstractItemModelTester).
#include <QAbstractItemModelTester>
#include <QItemSelectionModel>
#include <QLocale>
#include <QSignalSpy>
#include <gtest/gtest.h>
#include <memory>

#include "browser/unitSongListModel.h"
#include "catalogue/unitSongsDatabaseClass.h"

namespace {

/// Songs owned by the test, handed to the model as borrowed pointers.
struct cSongs {
    std::vector<std::unique_ptr<cSongInfo>> Owned;

    cSongInfo* Add(std::string_view path, int32_t views = 0, int32_t size = 0, double date = 0) {
        Owned.push_back(std::make_unique<cSongInfo>());
        cSongInfo* song = Owned.back().get();
        song->SetFileName(path);
        song->Views = views;
        song->Size = size;
        song->Date = date;
        return song;
    }
    std::vector<cSongInfo*> Pointers() const {
        std::vector<cSongInfo*> result;
        for (const auto& song : Owned) {
            result.push_back(song.get());
        }
        return result;
    }
};

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

TEST(SongListModel, PassesTheModelTesterThroughResetsAndChanges) {
    cSongs songs;
    for (int i = 0; i < 20; ++i) {
        songs.Add("/m/song" + std::to_string(i) + ".mp3", i);
    }
    TSongListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.SetColumns({"FileName", "Date", "Size", "Views", "Groups", "Nonsense"});
    model.SetSongs(songs.Pointers());
    ASSERT_EQ(model.rowCount(), 20);
    ASSERT_EQ(model.columnCount(), 6);
    model.AppendSong(songs.Add("/m/extra.mp3"));
    model.RefreshRow(3);
    model.RemoveRow(0);
    std::vector<int> reversed;
    for (int row = model.rowCount() - 1; row >= 0; --row) {
        reversed.push_back(row);
    }
    model.SetRowOrder(reversed);
    model.MoveRow(0, 5);
    model.MoveRow(7, 2);
    model.MoveRow(0, model.rowCount() - 1);
    model.MoveRow(model.rowCount() - 1, 0);
    model.SetColumns({"Path"});
    model.Clear();
    EXPECT_EQ(model.rowCount(), 0);
}

TEST(SongListModel, RolesGiveTextsIconAndSong) {
    cSongs songs;
    cSongInfo* song = songs.Add("/m/Blue.MP3", 3);
    TSongListModel model;
    model.SetColumns({"FileName", "Views", "Unheard"});
    model.SetSongs(songs.Pointers());
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), "FileName");
    EXPECT_EQ(model.headerData(2, Qt::Horizontal).toString(), "Unheard");
    EXPECT_EQ(model.index(0, 0).data().toString(), "Blue");
    EXPECT_EQ(model.index(0, 1).data().toString(), "3");
    EXPECT_EQ(model.index(0, 2).data().toString(), "");
    EXPECT_FALSE(model.index(0, 0).data(Qt::DecorationRole).value<QIcon>().isNull());
    EXPECT_FALSE(model.index(0, 1).data(Qt::DecorationRole).isValid());
    EXPECT_EQ(model.index(0, 1).data(TSongListModel::kSongRole).value<void*>(), song);
    EXPECT_EQ(model.Song(0), song);
    EXPECT_EQ(model.Song(1), nullptr);
    EXPECT_EQ(model.RowOfSong(song), 0);
    EXPECT_FALSE(model.flags(model.index(0, 0)) & Qt::ItemIsEditable);
}

TEST(SongListModel, IconsAreLookedUpOncePerFileType) {
    cSongs songs;
    for (int i = 0; i < 500; ++i) {
        songs.Add("/m/" + std::to_string(i) + (i % 2 ? ".mp3" : ".MP3"));
    }
    songs.Add("/m/readme.txt");
    TSongListModel model;
    model.SetColumns({"FileName"});
    model.SetSongs(songs.Pointers());
    for (int row = 0; row < model.rowCount(); ++row) {
        model.index(row, 0).data(Qt::DecorationRole);
    }
    EXPECT_EQ(model.IconCache().LookupCount(), 2);
}

TEST(SongListModel, NewRowOrderCarriesSelectionAndCurrentRow) {
    cSongs songs;
    for (int i = 0; i < 5; ++i) {
        songs.Add("/m/" + std::to_string(i) + ".mp3");
    }
    TSongListModel model;
    model.SetColumns({"FileName", "Views"});
    model.SetSongs(songs.Pointers());
    QItemSelectionModel selection(&model);
    selection.select(model.index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    selection.setCurrentIndex(model.index(4, 1), QItemSelectionModel::NoUpdate);

    model.SetRowOrder({4, 3, 2, 1, 0});
    EXPECT_EQ(model.index(0, 0).data().toString(), "4");
    EXPECT_TRUE(selection.isRowSelected(3, {}));
    EXPECT_FALSE(selection.isRowSelected(1, {}));
    EXPECT_EQ(selection.currentIndex(), model.index(0, 1));
    // An order of the wrong length changes nothing.
    model.SetRowOrder({0, 1});
    EXPECT_EQ(model.index(0, 0).data().toString(), "4");
}

TEST(SongListModel, OneRowMovesWithItsSelectionAndAnUnchangedOrderIsNoChange) {
    cSongs songs;
    for (int i = 0; i < 6; ++i) {
        songs.Add("/m/" + std::to_string(i) + ".mp3");
    }
    TSongListModel model;
    model.SetColumns({"FileName"});
    model.SetSongs(songs.Pointers());
    QItemSelectionModel selection(&model);
    selection.setCurrentIndex(model.index(1, 0), QItemSelectionModel::ClearAndSelect);
    selection.select(model.index(3, 0), QItemSelectionModel::Select);
    auto names = [&] {
        QStringList texts;
        for (int row = 0; row < model.rowCount(); ++row) {
            texts << model.index(row, 0).data().toString();
        }
        return texts.join("");
    };

    model.MoveRow(1, 4); // down: the rows between move up
    EXPECT_EQ(names(), "023415");
    EXPECT_EQ(selection.currentIndex().row(), 4);
    EXPECT_TRUE(selection.isRowSelected(2, {})) << "song 3 moved up with its mark";
    model.MoveRow(4, 0); // up: the rows between move down
    EXPECT_EQ(names(), "102345");
    EXPECT_EQ(selection.currentIndex().row(), 0);
    EXPECT_TRUE(selection.isRowSelected(3, {}));
    model.MoveRow(2, 2);
    model.MoveRow(-1, 2);
    model.MoveRow(0, 6);
    EXPECT_EQ(names(), "102345");

    QSignalSpy layouts(&model, &QAbstractItemModel::layoutChanged);
    model.SetRowOrder({0, 1, 2, 3, 4, 5});
    EXPECT_EQ(layouts.size(), 0) << "nothing to lay out again";
    model.SetRowOrder({1, 0, 2, 3, 4, 5});
    EXPECT_EQ(layouts.size(), 1);
    EXPECT_EQ(names(), "012345");
}
