// The song commands with 100,000 songs in the list: opening 1,000 selected songs (the desktop
// opens nothing), deleting 10,000 selected songs and one song (the trash removes the files; for
// 10,000 also into the user's trash, through the program's own trash and through Qt's),
// and committing a rename; beside the delete, the list's part of it against the plain loop that
// removes one row at a time. Each runs through its menu item in a shown window over the
// synthetic collection, through to the event processing that repaints the list.
#include <QAbstractItemDelegate>
#include <QAction>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QTreeView>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unordered_set>
#include <vector>

#include "bench/bench_temp_folder.h"
#include "bench/bench_window.h"
#include "browser/unitSongListModel.h"
#include "catalogue/unitSongUtils.h"
#include "util/unitGuiText.h"

namespace {

using namespace bench_window;

constexpr int kAllSongs = kFolders * kSongsPerFolder;

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

/// The collection as it was built: its catalogue bytes, and the files the commands removed put
/// back, so every measured delete starts from the same 100,000 songs.
class cRestorableCollection {
public:
    cRestorableCollection() : m_Catalogue(ReadWholeFile(Catalogue())) {}

    void Restore() {
        std::ofstream(Catalogue(), std::ios::binary | std::ios::trunc) << m_Catalogue;
        for (const std::string& path : m_Removed) {
            std::ofstream{path};
        }
        m_Removed.clear();
    }
    void WillRemove(std::string path) { m_Removed.push_back(std::move(path)); }

    /// A shown window listing the entire collection, with the folder of its first songs
    /// selected.
    std::unique_ptr<TfrmMain> Window() const {
        Collection().WriteSettings("[MainWindow]\r\nViewMode=2\r\nFoldersListPath=" +
                                   Collection().FolderPath(0) + "/\r\n");
        auto window = ShownWindow(Collection().ProgramFolder());
        window->SongListPane().ShownSongView()->setFocus();
        return window;
    }

private:
    static std::string Catalogue() { return Collection().ProgramFolder() + "DB.txt"; }

    std::string m_Catalogue;
    std::vector<std::string> m_Removed;
};

cRestorableCollection& Restorable() {
    static cRestorableCollection collection;
    return collection;
}

/// Selects `count` rows spread evenly over the list (every n-th), or the first `count` rows.
void SelectRows(TfrmMain& window, int count, bool spread) {
    const TSongListModel* model = SongModel(window);
    const int step = spread ? model->rowCount() / count : 1;
    const int lastColumn = model->columnCount() - 1;
    QItemSelection rows;
    if (spread) {
        for (int row = 0; row < count * step; row += step) {
            rows.select(model->index(row, 0), model->index(row, lastColumn));
        }
    } else {
        rows.select(model->index(0, 0), model->index(count - 1, lastColumn));
    }
    SongList(window)->selectionModel()->select(rows, QItemSelectionModel::ClearAndSelect);
}

void Run(TfrmMain& window, const char* item) {
    window.findChild<QAction*>(item)->trigger();
    QCoreApplication::processEvents();
    PaintList(window);
}

void CheckRowCount(benchmark::State& state, TfrmMain& window, int expected) {
    if (SongModel(window)->rowCount() != expected) {
        state.SkipWithError("the list does not hold the expected songs");
    }
}

/// Open of 1,000 songs spread over the list, sorted by the column: with "Views" every opened
/// song changes its place.
void OpenThousand(benchmark::State& state, int sortColumn) {
    Restorable().Restore();
    auto window = Restorable().Window();
    window->SongListPane().Columns().ShowColumns({"FileName", "Views", "Size"});
    window->SongListPane().Rows().HeaderClicked(sortColumn);
    for (auto _ : state) {
        state.PauseTiming();
        SelectRows(*window, 1000, true);
        state.ResumeTiming();
        Run(*window, "popSongsList_Open");
    }
    CheckRowCount(state, *window, kAllSongs);
    window->close();
}

void BM_Open1000Of100kSortedByFileName(benchmark::State& state) {
    OpenThousand(state, 0);
}
BENCHMARK(BM_Open1000Of100kSortedByFileName)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_Open1000Of100kSortedByViews(benchmark::State& state) {
    OpenThousand(state, 1);
}
BENCHMARK(BM_Open1000Of100kSortedByViews)->Unit(benchmark::kMillisecond)->Iterations(10);

/// The user's trash of the benchmarks: a data folder of their own, emptied between runs.
const std::string& BenchDataHome() {
    static const std::string folder = [] {
        const std::string made = NewBenchFolder("tunaria-bench-data");
        ::setenv("XDG_DATA_HOME", made.c_str(), 1);
        return made;
    }();
    return folder;
}

void EmptyTheTrash() {
    std::error_code ignored;
    std::filesystem::remove_all(BenchDataHome() + "/Trash", ignored);
}

/// Delete of `count` selected songs, spread over the list or in one block, each from a fresh
/// window over the whole collection, with the files going away as the trash given takes them.
void DeleteSelected(benchmark::State& state, int count, bool spread,
                    cPrintingDesktop::eTrash trash = cPrintingDesktop::eTrash::kRemove) {
    BenchDataHome();
    BenchDesktop().Trash = trash;
    for (auto _ : state) {
        state.PauseTiming();
        Restorable().Restore();
        EmptyTheTrash();
        auto window = Restorable().Window();
        SelectRows(*window, count, spread);
        for (const int row : window->SongListPane().Rows().SelectedRows()) {
            Restorable().WillRemove(std::string(SongModel(*window)->Song(row)->FileName()));
        }
        state.ResumeTiming();
        Run(*window, "popSongsList_Delete");
        state.PauseTiming();
        CheckRowCount(state, *window, kAllSongs - count);
        window->close();
        window.reset();
        state.ResumeTiming();
    }
    BenchDesktop().Trash = cPrintingDesktop::eTrash::kRemove;
    EmptyTheTrash();
    Restorable().Restore();
}

void BM_Delete10000SpreadOf100k(benchmark::State& state) {
    DeleteSelected(state, 10000, true);
}
BENCHMARK(BM_Delete10000SpreadOf100k)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Delete10000InOneBlockOf100k(benchmark::State& state) {
    DeleteSelected(state, 10000, false);
}
BENCHMARK(BM_Delete10000InOneBlockOf100k)->Unit(benchmark::kMillisecond)->Iterations(3);

/// The same 10,000 songs into the user's trash: through the program's own trash, and through
/// Qt's, which the program used before.
void BM_Delete10000SpreadOf100kToOwnTrash(benchmark::State& state) {
    DeleteSelected(state, 10000, true, cPrintingDesktop::eTrash::kOwnTrash);
}
BENCHMARK(BM_Delete10000SpreadOf100kToOwnTrash)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Delete10000SpreadOf100kToQtTrash(benchmark::State& state) {
    DeleteSelected(state, 10000, true, cPrintingDesktop::eTrash::kQtTrash);
}
BENCHMARK(BM_Delete10000SpreadOf100kToQtTrash)->Unit(benchmark::kMillisecond)->Iterations(3);

/// Delete of one song in the middle of the list, one after the other in one window.
void BM_DeleteOneOf100k(benchmark::State& state) {
    Restorable().Restore();
    auto window = Restorable().Window();
    int rows = kAllSongs;
    for (auto _ : state) {
        state.PauseTiming();
        TSongListPane& pane = window->SongListPane();
        const QModelIndex middle = pane.Rows().Model()->index(rows / 2, 0);
        pane.Rows().Selection()->select(middle, QItemSelectionModel::ClearAndSelect |
                                                    QItemSelectionModel::Rows);
        Restorable().WillRemove(std::string(pane.Rows().Model()->Song(rows / 2)->FileName()));
        state.ResumeTiming();
        Run(*window, "popSongsList_Delete");
        --rows;
    }
    CheckRowCount(state, *window, rows);
    window->close();
    Restorable().Restore();
}
BENCHMARK(BM_DeleteOneOf100k)->Unit(benchmark::kMillisecond)->Iterations(100);

/// Only the list's part of deleting 10,000 spread songs (no files, no catalogue): the rows and
/// the displayed songs, as the pane removes them (one pass) against the plain loop that removes
/// each song's row and finds it in the displayed songs one by one.
void RemoveFromTheList(benchmark::State& state, bool oneByOne) {
    Restorable().Restore();
    auto window = Restorable().Window();
    TSongListPane& pane = window->SongListPane();
    cSongPointersList& displayed = window->BrowserState().DisplayedSongs;
    const std::vector<cSongInfo*> all = displayed.Items();
    for (auto _ : state) {
        state.PauseTiming();
        displayed.Items() = all;
        pane.Rows().Fill();
        SelectRows(*window, 10000, true);
        const std::vector<int> rows = pane.Rows().SelectedRows();
        std::vector<cSongInfo*> songs;
        for (const int row : rows) {
            songs.push_back(pane.Rows().Model()->Song(row));
        }
        pane.Rows().Selection()->clear();
        state.ResumeTiming();
        if (oneByOne) {
            for (size_t i = rows.size(); i-- > 0;) {
                pane.Rows().Model()->RemoveRow(rows[i]);
                displayed.Delete(displayed.IndexOf(songs[i]));
            }
        } else {
            const std::unordered_set<const cSongInfo*> gone(songs.begin(), songs.end());
            std::erase_if(displayed.Items(),
                          [&](const cSongInfo* song) { return gone.contains(song); });
            pane.Rows().Model()->RemoveRows(rows);
        }
        QCoreApplication::processEvents();
        PaintList(*window);
    }
    CheckRowCount(state, *window, kAllSongs - 10000);
    displayed.Items() = all;
    pane.Rows().Fill();
    window->close();
}

void BM_RemoveRows10000Batched(benchmark::State& state) {
    RemoveFromTheList(state, false);
}
BENCHMARK(BM_RemoveRows10000Batched)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_RemoveRows10000OneByOne(benchmark::State& state) {
    RemoveFromTheList(state, true);
}
BENCHMARK(BM_RemoveRows10000OneByOne)->Unit(benchmark::kMillisecond)->Iterations(1);

/// A rename committed from the in-place editor with the Path column first: the file, the
/// catalogue and the row's place follow. Renames go back and forth between two names.
void BM_RenameCommitOf100k(benchmark::State& state) {
    Restorable().Restore();
    auto window = Restorable().Window();
    window->SongListPane().Columns().ShowColumns({"Path", "Views"});
    TSongListModel* model = SongModel(*window);
    cSongInfo* song = model->Song(kAllSongs / 2);
    const QString original = PathToQString(song->FileName());
    const QString renamed = original.chopped(4) + " (live).mp3";
    // The text as the in-place editor of the song's caption commits it.
    const auto commit = [&](const QString& text) {
        QLineEdit editor(text);
        SongList(*window)->itemDelegateForColumn(0)->setModelData(
            &editor, model, model->index(model->RowOfSong(song), 0));
    };
    bool away = false;
    for (auto _ : state) {
        commit(away ? original : renamed);
        QCoreApplication::processEvents();
        away = !away;
    }
    if (PathToQString(song->FileName()) != (away ? renamed : original)) {
        state.SkipWithError("the song was not renamed");
    }
    if (away) {
        commit(original);
    }
    window->close();
}
BENCHMARK(BM_RenameCommitOf100k)->Unit(benchmark::kMillisecond)->Iterations(200);

} // namespace

int main(int argc, char** argv) {
    return RunGuiBenchmarks(argc, argv);
}
