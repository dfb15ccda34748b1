// The rows of the song list without a window: a fill from the displayed songs, the sort order
// and header clicks, rows that move when their song changes, batches, rows added and removed,
// and the selection carried through all of it. The model tester watches the rows throughout.
#include <QItemSelectionModel>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include "browser/unitBrowserState.h"
#include "browser/unitSongRows.h"
#include "support/model_fixture.h"

namespace {

class SongRows : public ::testing::Test, protected cOwnedSongs {
protected:
    /// A song /m/<name>.mp3 per name, displayed in the order given (the master list's order),
    /// and the rows filled with the columns, sorted by the first one ascending.
    void Show(std::initializer_list<const char*> names,
              std::vector<std::string> columns = {"FileName", "Views"}) {
        for (const char* name : names) {
            State.DisplayedSongs.Add(AddSong("/m/" + std::string(name) + ".mp3"));
        }
        State.VisibleColumns = std::move(columns);
        State.SortOrder = {State.VisibleColumns.front(), false};
        Rows.Model()->SetColumns(State.VisibleColumns);
        Rows.Fill();
    }
    QString Captions() const { return ::Captions(*Rows.Model()); }
    QString Column(int column) const {
        QString texts;
        for (int row = 0; row < Rows.Model()->rowCount(); ++row) {
            texts += Rows.Model()->index(row, column).data().toString() + " ";
        }
        return texts.trimmed();
    }
    cSongInfo* Song(int row) const { return Rows.Model()->Song(row); }
    cSongInfo* Current() const { return Song(Rows.Selection()->currentIndex().row()); }
    void Focus(int row) {
        Rows.Selection()->setCurrentIndex(Rows.Model()->index(row, 0),
                                          QItemSelectionModel::NoUpdate);
    }
    /// Exactly these rows selected, whole rows, as clicks select them.
    void Select(std::initializer_list<int> rows) {
        Rows.Selection()->clearSelection();
        for (const int row : rows) {
            Rows.Selection()->select(Rows.Model()->index(row, 0),
                                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
    void Rename(cSongInfo* song, const std::string& name) {
        song->SetFileName("/m/" + name + ".mp3");
        Rows.RefreshSong(song);
    }

    cBrowserState State;
    TSongRows Rows{State};
    cWatchedModel Watch{Rows.Model()};
    QSignalSpy Filled{&Rows, &TSongRows::Filled};
    QSignalSpy SelectionChanges{&Rows, &TSongRows::SelectionChanged};
    QSignalSpy CurrentMoves{&Rows, &TSongRows::CurrentRowMoved};
};

} // namespace

TEST_F(SongRows, AFillSortsTheDisplayedSongsSelectsTheTopRowAndNamesTheMostPopular) {
    Show({"k", "c", "t", "a"});
    EXPECT_EQ(Captions(), "ackt");
    EXPECT_EQ(Filled.size(), 1);
    EXPECT_EQ(Rows.SelectedRows(), std::vector<int>{0});
    EXPECT_EQ(Current(), Song(0));
    EXPECT_EQ(State.MostPopularSong, nullptr) << "no song opened yet";

    // Of equal counts, the first in the displayed (master) order wins, wherever its row is.
    State.DisplayedSongs.Get(2)->Views = 4; // t
    State.DisplayedSongs.Get(1)->Views = 4; // c
    State.DisplayedSongs.Get(0)->Size = 1000;
    State.DisplayedSongs.Get(3)->Size = 24;
    Rows.Fill();
    EXPECT_EQ(State.MostPopularSong, State.DisplayedSongs.Get(1));
    EXPECT_EQ(Rows.DisplayedBytes(), 1024);

    // An empty fill still reports the selection, once.
    State.DisplayedSongs.Clear();
    SelectionChanges.clear();
    Rows.Fill();
    EXPECT_EQ(Rows.Model()->rowCount(), 0);
    EXPECT_EQ(SelectionChanges.size(), 1);
    EXPECT_EQ(Rows.DisplayedBytes(), 0);
}

TEST_F(SongRows, HeaderClicksReverseOrStartAscendingAndKeepSelectionAndFocus) {
    Show({"b", "d", "a", "c"}, {"FileName", "Views"});
    Song(0)->Views = 3; // a
    Song(3)->Views = 1; // d
    Select({1, 3});     // b and d
    Focus(3);
    cSongInfo* d = Song(3);
    Rows.HeaderClicked(0);
    EXPECT_TRUE(State.SortOrder.Reversed);
    EXPECT_EQ(Captions(), "dcba");
    EXPECT_EQ(Rows.SelectedSongs(), (std::vector<cSongInfo*>{d, Song(2)}));
    EXPECT_EQ(Current(), d);
    EXPECT_GE(CurrentMoves.size(), 1) << "the focused song is kept in sight";

    Rows.HeaderClicked(0);
    EXPECT_FALSE(State.SortOrder.Reversed);
    EXPECT_EQ(Captions(), "abcd");
    // Another column starts ascending, also after a reversed one; equal counts keep their
    // order of before.
    Rows.HeaderClicked(0);
    Rows.HeaderClicked(1);
    EXPECT_EQ(State.SortOrder.Column, "Views");
    EXPECT_FALSE(State.SortOrder.Reversed);
    EXPECT_EQ(Column(1), "0 0 1 3");
    EXPECT_EQ(Captions(), "cbda");
    EXPECT_EQ(Current(), d);
    EXPECT_EQ(Rows.SelectedRows().size(), 2u);
    Rows.HeaderClicked(7); // no such column
    EXPECT_EQ(State.SortOrder.Column, "Views");
}

TEST_F(SongRows, AChangedSongMovesToItsPlaceWithSelectionAndFocus) {
    Show({"b", "d", "f", "h"});
    cSongInfo* song = Song(0);
    Focus(0);

    // The record got a new name (as a rename leaves it): its row follows at once.
    Rename(song, "g");
    EXPECT_EQ(Captions(), "dfgh");
    EXPECT_EQ(Current(), song);
    EXPECT_EQ(Rows.SelectedSongs(), std::vector<cSongInfo*>({song}));
    EXPECT_EQ(Watch.Moves.size(), 1) << "one row moved, no new layout of every row";

    // Descending, moving towards the top.
    Rows.HeaderClicked(0);
    Rename(song, "z");
    EXPECT_EQ(Captions(), "zhfd");
    EXPECT_EQ(Current(), song);

    // Selected rows stay selected wherever the moving row passes them, as whole rows.
    cSongInfo* h = Song(1);
    cSongInfo* d = Song(3);
    Select({1, 3});
    Rename(song, "a");
    EXPECT_EQ(Captions(), "hfda");
    EXPECT_EQ(Rows.SelectedSongs(), std::vector<cSongInfo*>({h, d}));
    EXPECT_TRUE(Rows.Selection()->isRowSelected(0, {}));
    EXPECT_EQ(Current(), song);

    // A song that no row shows changes nothing.
    cSongInfo* stranger = AddSong("/m/0.mp3");
    Rows.RefreshSong(stranger);
    EXPECT_EQ(Captions(), "hfda");
}

TEST_F(SongRows, ChangesInABatchAreSortedOnceWhenTheOutermostBatchEnds) {
    Show({"a", "b", "c", "d"});
    Rows.HeaderClicked(0); // d c b a
    cSongInfo* d = Song(0);
    cSongInfo* a = Song(3);
    Select({0, 2});
    Focus(3);
    {
        const cSongRowsBatch outer(Rows);
        {
            const cSongRowsBatch inner(Rows);
            d->SetFileName("/m/e.mp3");
            a->SetFileName("/m/y.mp3");
            Rows.RefreshSongs({d, a});
        }
        EXPECT_EQ(Captions(), "ecby") << "still in the batch";
    }
    EXPECT_EQ(Captions(), "yecb");
    EXPECT_EQ(Rows.SelectedRows(), (std::vector<int>{1, 3})) << "e and b stay selected";
    EXPECT_EQ(Current(), a);
    // A new value of the sort column that is not the caption waits outside a batch, and is
    // sorted at the end of one.
    State.SortOrder = {"Views", false};
    Rows.Sort();
    ASSERT_EQ(Captions(), "yecb");
    Song(0)->Views = 2;
    Rows.RefreshSong(Song(0));
    EXPECT_EQ(Captions(), "yecb");
    {
        const cSongRowsBatch batch(Rows);
        Rows.RefreshSong(Song(0));
    }
    EXPECT_EQ(Captions(), "ecby");
    State.SortOrder = {"FileName", true};
    Rows.Sort();
    // Outside a batch, two moving rows take one sort rather than two moves.
    const qsizetype layouts = Watch.Layouts.size();
    d->SetFileName("/m/a.mp3");
    a->SetFileName("/m/z.mp3");
    Rows.RefreshSongs({a, d});
    EXPECT_EQ(Captions(), "zcba");
    EXPECT_EQ(Watch.Layouts.size(), layouts + 1);
}

TEST_F(SongRows, OnlyAChangedCaptionMovesARowAtOnce) {
    // Views first, FileName second, sorted by FileName.
    Show({"a", "b", "c"}, {"Views", "FileName"});
    Rows.HeaderClicked(1);
    ASSERT_EQ(Column(1), "a b c");

    // Sorted by Views, a new count changes the caption: the row moves at once, past the end.
    Rows.HeaderClicked(0);
    Song(0)->Views = 5;
    Rows.RefreshSong(Song(0));
    EXPECT_EQ(Column(1), "b c a");

    // With FileName first, sorted by Views, a new count leaves the row until the next sort.
    State.VisibleColumns = {"FileName", "Views"};
    Rows.Model()->SetColumns(State.VisibleColumns);
    State.SortOrder = {"Views", false};
    Song(1)->Views = 1; // c
    Rows.Sort();
    ASSERT_EQ(Captions(), "bca");
    Song(0)->Views = 9; // b
    Rows.RefreshSong(Song(0));
    EXPECT_EQ(Captions(), "bca");
    EXPECT_EQ(Column(1), "9 1 5");
    Rows.Sort();
    EXPECT_EQ(Captions(), "cab");
}

TEST_F(SongRows, AddedSongsLandInTheirPlacesWithoutScrolling) {
    Show({"b", "d", "f"});
    Select({1});
    Focus(1);
    CurrentMoves.clear();
    cSongInfo* e = AddSong("/m/e.mp3");
    State.DisplayedSongs.Add(e);
    Rows.AddSongs({e});
    EXPECT_EQ(Captions(), "bdef");
    EXPECT_EQ(Rows.SelectedRows(), std::vector<int>{1});
    cSongInfo* a = AddSong("/m/a.mp3");
    cSongInfo* c = AddSong("/m/c.mp3");
    cSongInfo* other = AddSong("/m/d.mp3");
    for (cSongInfo* song : {a, c, other}) {
        State.DisplayedSongs.Add(song);
    }
    Rows.AddSongs({a, c, other});
    EXPECT_EQ(Captions(), "abcddef");
    EXPECT_EQ(Song(4), other) << "behind the song of the same name that was there first";
    EXPECT_EQ(Rows.SelectedRows(), std::vector<int>{3});
    EXPECT_EQ(Current(), Song(3));
    EXPECT_EQ(CurrentMoves.size(), 0) << "the view stays where the user left it";
    EXPECT_EQ(Rows.DisplayedBytes(), 0);
}

TEST_F(SongRows, RemovedSongsTakeTheirRowsAndSizesAndTheOthersAreSelectedAgain) {
    Show({"a", "b", "c", "d", "e"});
    for (cSongInfo* song : State.DisplayedSongs) {
        song->Size = 100;
    }
    Rows.Fill();
    ASSERT_EQ(Rows.DisplayedBytes(), 500);
    cSongInfo* b = Song(1);
    cSongInfo* d = Song(3);
    Select({1, 2, 3});
    EXPECT_EQ(Rows.SelectedTotal().Count, 3);
    EXPECT_EQ(Rows.SelectedTotal().Bytes, 300);
    Rows.Selection()->clearSelection();

    // b and d go (the caller took them out of the displayed songs), c stays selected.
    std::erase_if(State.DisplayedSongs.Items(),
                  [&](const cSongInfo* song) { return song == b || song == d; });
    Rows.RemoveSongs({b, d});
    EXPECT_EQ(Captions(), "ace");
    EXPECT_EQ(Rows.DisplayedBytes(), 300);
    SelectionChanges.clear();
    Rows.SelectSongs({Song(1)}, 1);
    EXPECT_EQ(Rows.SelectedRows(), std::vector<int>{1});
    EXPECT_GE(SelectionChanges.size(), 1);

    // Nothing left to select still reports the selection once, and the focus finds a row.
    Rows.Selection()->clearCurrentIndex();
    Rows.Selection()->clearSelection();
    SelectionChanges.clear();
    Rows.SelectSongs({}, 2);
    EXPECT_EQ(SelectionChanges.size(), 1);
    EXPECT_EQ(Current(), Song(2));
}

TEST_F(SongRows, SelectedRowsCountEachRowOnceWhateverTheRanges) {
    Show({"a", "b", "c", "d", "e", "f"});
    for (cSongInfo* song : State.DisplayedSongs) {
        song->Size = 10;
    }
    Rows.Selection()->clearSelection();
    // Overlapping ranges, one of them a single cell of the second column.
    Rows.Selection()->select(QItemSelection(Rows.Model()->index(1, 0), Rows.Model()->index(3, 1)),
                             QItemSelectionModel::Select);
    Rows.Selection()->select(QItemSelection(Rows.Model()->index(3, 1), Rows.Model()->index(4, 1)),
                             QItemSelectionModel::Select);
    EXPECT_EQ(Rows.SelectedRows(), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(Rows.SelectedSongs(), Rows.SongsOfRows({1, 2, 3, 4}));
    EXPECT_EQ(Rows.SelectedTotal().Count, 4);
    EXPECT_EQ(Rows.SelectedTotal().Bytes, 40);
}
