// The texts around the song list: the header labels, the status bar line with its sums, the
// most popular song and what a click on it or on the folder label does.
#include <QHeaderView>
#include <QLabel>
#include <QSignalSpy>
#include <QTreeView>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>

#include "browser/unitSongColumns.h"
#include "browser/unitSongListModel.h"
#include "catalogue/unitSongUtils.h"
#include "support/main_window_fixture.h"
#include "util/unitListViewUtils.h"
#include "util/unitUtils.h"

namespace {

QString StatusText(TfrmMain& window) {
    return Control<QLabel>(window, "StatusBarPanel")->text();
}

QString LabelText(TfrmMain& window, const char* name) {
    return Control<QLabel>(window, name)->text();
}

/// A size text written with "." and "," in the separators of the locale the window uses.
QString InLocale(const QString& text) {
    const QLocale locale;
    QString result;
    for (const QChar c : text) {
        result += c == '.' ? locale.decimalPoint() : c == ',' ? locale.groupSeparator() : c;
    }
    return result;
}

/// Offset of the Views field of the song's record in DB.txt: behind the Deleted byte, the
/// record length and the six texts, each a 4-byte length and its bytes.
int64_t ViewsOffset(const cSongInfo& song) {
    int64_t offset = song.Position + 1 + 4;
    for (std::string_view text : {song.FileName(), song.Title(), song.Author(), song.Album(),
                                  song.Comment(), song.Year()}) {
        offset += 4 + static_cast<int64_t>(text.size());
    }
    return offset;
}

} // namespace

TEST(MainWindowTexts, CountsPluralsAndSizesOfShownAndSelectedSongs) {
    cRecordingDesktop desktop;
    cProgramFolder folder;
    folder.WriteFile("Groups.txt", "Rock\r\n");
    folder.AddMp3("one/a.mp3");
    folder.AddMp3("two/a.mp3");
    folder.AddMp3("two/b.mp3");
    folder.MakeFolder("none");
    folder.WriteFile("Options.ini", SettingsOpening(folder.Below("one/")));
    auto window = StartWindow(folder, desktop);

    EXPECT_EQ(LabelText(*window, "lblSelPath"),
              QString::fromStdString("Viewing music folder " + folder.Below("one")));
    EXPECT_EQ(LabelText(*window, "lblFolderContents"), "Displaying 1 song, divided into 1 group");
    EXPECT_EQ(StatusText(*window), " 1 song selected (300 bytes), 1 files in total, 300 bytes");
    SongList(*window)->selectionModel()->clearSelection();
    EXPECT_EQ(StatusText(*window), " 1 files in total, 300 bytes") << "no selection, no part";

    SelectFolder(*window, folder.Below("two"));
    EXPECT_EQ(LabelText(*window, "lblFolderContents"), "Displaying 2 songs, divided into 1 group");
    SelectRows(*window, {0, 1});
    EXPECT_EQ(StatusText(*window), " 2 songs selected (600 bytes), 2 files in total, 600 bytes");

    // An empty folder: the texts are written all the same.
    SelectFolder(*window, folder.Below("none"));
    EXPECT_EQ(LabelText(*window, "lblFolderContents"), "Displaying 0 songs, divided into 1 group");
    EXPECT_EQ(StatusText(*window), " 0 files in total, 0 bytes");
    window->close();

    folder.WriteFile("Groups.txt", "");
    auto second = StartWindow(folder, desktop);
    EXPECT_EQ(LabelText(*second, "lblFolderContents"), "Displaying 0 songs, divided into 0 groups");
    EXPECT_EQ(LabelText(*second, "lblSelPath"),
              QString::fromStdString("Viewing music folder " + folder.Below("none")));
    second->close();
}

TEST(MainWindowTexts, SelectingEveryRowIsOneChangeAndSumsPastTwoGibibytes) {
    cRecordingDesktop desktop;
    cProgramFolder folder;
    // Two files of 1.5 GiB each: their sum does not fit a 32-bit count.
    folder.AddHollowMp3("big/a.mp3", 1536u << 20);
    folder.AddHollowMp3("big/b.mp3", 1536u << 20);
    folder.AddMp3("big/c.mp3");
    folder.WriteFile("Options.ini", SettingsOpening(folder.Below("big/")));
    auto window = StartWindow(folder, desktop);
    ASSERT_EQ(SongModel(*window)->rowCount(), 3);

    QSignalSpy changes(SongList(*window)->selectionModel(),
                       &QItemSelectionModel::selectionChanged);
    SelectAllItems(SongList(*window));
    EXPECT_EQ(changes.size(), 1);
    const QString all = InLocale("3,072.00 MB");
    EXPECT_EQ(StatusText(*window), " 3 songs selected (" + all + "), 3 files in total, " + all);

    // Ctrl+A in the list is one change too, but only from a selection: without one it does
    // nothing at all.
    SongList(*window)->selectionModel()->clearSelection();
    changes.clear();
    SongList(*window)->setFocus();
    PressKey(*window, Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(changes.isEmpty());
    SelectRows(*window, {RowNamed(*window, "a")});
    changes.clear();
    PressKey(*window, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(changes.size(), 1);
    EXPECT_EQ(StatusText(*window), " 3 songs selected (" + all + "), 3 files in total, " + all);

    SelectRows(*window, {RowNamed(*window, "a")});
    EXPECT_EQ(StatusText(*window),
              " 1 song selected (" + InLocale("1,536.00 MB") + "), 3 files in total, " + all);
    window->close();
}

TEST(MainWindowTexts, TiesForTheMostPopularSongGoToTheMasterListOrderWhateverTheRows) {
    cRecordingDesktop desktop;
    cProgramFolder folder;
    folder.AddMp3s("m/", {"k", "p", "t", "w"});
    folder.WriteFile("Options.ini", SettingsOpening(folder.Below("m/")));
    auto window = StartWindow(folder, desktop);
    auto* label = Control<QLabel>(*window, "lblMostPopularFile");
    EXPECT_EQ(label->text(), "(not yet determined)");
    EXPECT_FALSE(label->isEnabled());
    EXPECT_FALSE(label->font().underline());

    // Two songs share the highest count; the one further up the master list is named.
    std::vector<cSongInfo*> master;
    for (cSongInfo* song : *MasterSongList) {
        master.push_back(song);
    }
    ASSERT_EQ(master.size(), 4u);
    master[1]->Views = 2;
    master[2]->Views = 7;
    master[3]->Views = 7;
    const QString expected =
        QString::fromStdString(std::string(FileNameWithoutExtension(master[2]->FileName()))) +
        " (opened 7 times)";
    for (bool reversed : {false, true}) {
        if (window->BrowserState().SortOrder.Reversed != reversed) {
            ClickHeader(*window, 0);
        }
        window->SongListPane().Rows().Populate();
        EXPECT_EQ(label->text(), expected) << "reversed " << reversed;
        EXPECT_TRUE(label->isEnabled());
        EXPECT_TRUE(label->font().underline());
    }

    window->close();
}

TEST(MainWindowTexts, ClickingTheMostPopularSongOpensItCountsItAndStoresTheCountInPlace) {
    cRecordingDesktop desktop;
    cProgramFolder folder;
    const std::string pathA = folder.AddMp3("m/a.mp3");
    const std::string pathB = folder.AddMp3("m/b.mp3");
    folder.AddMp3("m/c.mp3");
    folder.WriteFile("Options.ini", SettingsOpening(folder.Below("m/")));
    auto window = StartWindow(folder, desktop);
    auto* label = Control<QLabel>(*window, "lblMostPopularFile");

    // A disabled label opens nothing.
    QTest::mouseClick(label, Qt::LeftButton);
    EXPECT_TRUE(desktop.Opened.isEmpty());

    // a and b opened once each, stored; sorted by Views, a comes before b (master order).
    cSongInfo* songA = SongNamed(*window, "a");
    cSongInfo* songB = SongNamed(*window, "b");
    for (cSongInfo* song : {songA, songB}) {
        song->Views = 1;
        ASSERT_TRUE(SongsDatabase->RewriteSongEntry(*song));
    }
    ClickHeader(*window, 3);
    ASSERT_EQ(window->BrowserState().SortOrder.Column, "Views");
    window->SongListPane().Rows().Populate();
    ASSERT_EQ(window->BrowserState().MostPopularSong,
              songA->Position < songB->Position ? songA : songB);
    cSongInfo* popular = window->BrowserState().MostPopularSong;
    cSongInfo* other = popular == songA ? songB : songA;
    const std::string name(FileNameWithoutExtension(popular->FileName()));
    EXPECT_EQ(label->text(), QString::fromStdString(name + " (opened 1 time)"));
    ASSERT_EQ(RowNamed(*window, name), 1);
    SongList(*window)->setCurrentIndex(SongModel(*window)->index(1, 0));

    const std::string before = folder.ReadFile("DB.txt");
    QTest::mouseClick(label, Qt::LeftButton);
    EXPECT_EQ(desktop.Opened,
              QStringList({QString::fromStdString(popular == songA ? pathA : pathB)}));
    EXPECT_EQ(label->text(), QString::fromStdString(name + " (opened 2 times)"));
    EXPECT_EQ(popular->Views, 2);

    // Only the four bytes of the count changed in DB.txt.
    const std::string after = folder.ReadFile("DB.txt");
    ASSERT_EQ(after.size(), before.size());
    const auto offset = static_cast<size_t>(ViewsOffset(*popular));
    for (size_t i = 0; i < after.size(); ++i) {
        if (i < offset || i >= offset + 4) {
            ASSERT_EQ(after[i], before[i]) << "byte " << i;
        }
    }
    int32_t stored = 0;
    std::memcpy(&stored, after.data() + offset, 4);
    EXPECT_EQ(stored, 2);

    // The row shows the new count but stays where it is: its caption (the file name) did not
    // change, so it waits for the next sort.
    EXPECT_EQ(RowNamed(*window, name), 1);
    EXPECT_EQ(SongModel(*window)->index(1, 3).data().toString(), "2");
    EXPECT_EQ(SongList(*window)->currentIndex().row(), 1);
    // The next sort puts it behind the other song opened once; focus goes with it.
    window->SongListPane().Rows().Sort();
    EXPECT_EQ(RowNamed(*window, name), 2);
    EXPECT_EQ(SongModel(*window)->Song(1), other);
    EXPECT_EQ(SongList(*window)->currentIndex().row(), 2);

    QTest::mouseClick(label, Qt::LeftButton);
    EXPECT_EQ(desktop.Opened.size(), 2);
    EXPECT_EQ(label->text(), QString::fromStdString(name + " (opened 3 times)"));
    window->close();

    // The count survives a restart.
    auto second = StartWindow(folder, desktop);
    EXPECT_EQ(LabelText(*second, "lblMostPopularFile"),
              QString::fromStdString(name + " (opened 3 times)"));
    // The count stops at its largest value instead of turning negative.
    second->BrowserState().MostPopularSong->Views = std::numeric_limits<int32_t>::max();
    QTest::mouseClick(Control<QLabel>(*second, "lblMostPopularFile"), Qt::LeftButton);
    EXPECT_EQ(second->BrowserState().MostPopularSong->Views, std::numeric_limits<int32_t>::max());
    EXPECT_EQ(LabelText(*second, "lblMostPopularFile"),
              QString::fromStdString(name + " (opened 2147483647 times)"));
    second->close();
}

TEST(MainWindowTexts, ClickingTheFolderLabelOpensTheFolder) {
    cRecordingDesktop desktop;
    cProgramFolder folder;
    folder.MakeFolder("music");
    folder.WriteFile("Options.ini", SettingsOpening(folder.Below("music/")));
    auto window = StartWindow(folder, desktop);
    QTest::mouseClick(Control<QLabel>(*window, "lblSelPath"), Qt::LeftButton);
    EXPECT_EQ(desktop.Opened, QStringList({QString::fromStdString(folder.Below("music/"))}));
    window->close();
}
