// The main window with large collections: start-up to the first painted list over a catalogue
// of 100,000 songs in one folder tree, switching to the entire collection, filling the list
// with a million songs, sorting the list by a header click (against the same sort through a
// QSortFilterProxyModel over the window's own model), the status bar line with every row
// selected, the playlist export, the change of the visible columns, and start-ups over
// hostile files: a 16 MB Options.ini and a 64 GiB sparse DB.txt (against a start-up over
// small files in the same empty program folder).
#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSortFilterProxyModel>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTreeView>
#include <benchmark/benchmark.h>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include "bench/bench_catalogue_collection.h"
#include "bench/bench_gui_support.h"
#include "bench/bench_song_collection.h"
#include "bench/bench_window.h"
#include "browser/unitMain.h"
#include "browser/unitSongListModel.h"
#include "browser/unitSongListPane.h"
#include "browser/unitSongSorting.h"
#include "catalogue/unitSongUtils.h"
#include "catalogue/unitSongsDatabaseClass.h"
#include "util/unitIniFile.h"
#include "util/unitListViewUtils.h"
#include "util/unitMessages.h"

namespace {

using namespace bench_window;

void BM_StartupToFirstPaintedList(benchmark::State& state) {
    cCollection& collection = Collection();
    for (auto _ : state) {
        state.PauseTiming();
        collection.WriteSettings("[MainWindow]\r\nFoldersListPath=" + collection.FolderPath(7) +
                                 "/\r\n");
        state.ResumeTiming();
        auto window = ShownWindow(collection.ProgramFolder());
        state.PauseTiming();
        if (SongModel(*window)->rowCount() != kSongsPerFolder) {
            state.SkipWithError("the folder's songs are not shown");
        }
        window->close();
        window.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartupToFirstPaintedList)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_SwitchToEntireCollection(benchmark::State& state) {
    cCollection& collection = Collection();
    collection.WriteSettings("[MainWindow]\r\nFoldersListPath=" + collection.FolderPath(3) +
                             "/\r\n");
    auto window = ShownWindow(collection.ProgramFolder());
    for (auto _ : state) {
        window->SetViewMode(eViewMode::EntireCollection);
        window->SongListPane().Rows().Populate();
        QCoreApplication::processEvents();
        PaintList(*window);
        state.PauseTiming();
        if (SongModel(*window)->rowCount() != kFolders * kSongsPerFolder) {
            state.SkipWithError("the collection is not shown");
        }
        window->SetViewMode(eViewMode::SelectedFolder);
        window->SongListPane().Rows().Populate();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    window->close();
}
BENCHMARK(BM_SwitchToEntireCollection)->Unit(benchmark::kMillisecond)->Iterations(10);

/// Fills the list with a million songs in the given view style ("&Details" or "&Large icons").
void FillOneMillion(benchmark::State& state, const char* viewStyleItem) {
    QTemporaryDir empty;
    auto window = ShownWindow(QDir(empty.path()).canonicalPath().toStdString() + "/");
    window->findChild<QAction*>(viewStyleItem)->trigger();
    std::vector<cSongInfo> songs(1000000);
    for (size_t i = 0; i < songs.size(); ++i) {
        songs[i].SetFileName("/music/f" + std::to_string(i % 1000) + "/song" + std::to_string(i) +
                             ".mp3");
        songs[i].Views = static_cast<int32_t>(i % 101);
        songs[i].Size = 4000000;
    }
    QWidget* shown = window->findChild<QStackedWidget*>("SongViews")->currentWidget();
    for (auto _ : state) {
        state.PauseTiming();
        window->BrowserState().DisplayedSongs.Clear();
        window->SongListPane().Rows().Fill();
        QCoreApplication::processEvents();
        for (cSongInfo& song : songs) {
            window->BrowserState().DisplayedSongs.Add(&song);
        }
        state.ResumeTiming();
        window->SongListPane().Rows().Fill();
        QCoreApplication::processEvents();
        static_cast<QAbstractItemView*>(shown)->viewport()->repaint();
    }
    CloseShowingNothing(*window);
}

void BM_FillSongListOneMillion(benchmark::State& state) {
    FillOneMillion(state, "popSongsList_ViewDetails");
}
BENCHMARK(BM_FillSongListOneMillion)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_FillSongListOneMillionLargeIcons(benchmark::State& state) {
    FillOneMillion(state, "popSongsList_ViewLargeIcons");
}
BENCHMARK(BM_FillSongListOneMillionLargeIcons)->Unit(benchmark::kMillisecond)->Iterations(5);

// ---- Sorting and the status bar over a list of synthetic songs ------------------------------

/// Columns of the sorting window: a text column first, the number columns after it.
const std::vector<std::string> kSortColumns = {"Title", "Path",  "FileName", "Date",
                                               "Size",  "Views", "Groups"};
constexpr int kTitleColumn = 0;
constexpr int kPathColumn = 1;
constexpr int kSizeColumn = 4;
constexpr int kViewsColumn = 5;

/// A shown window over an empty program folder whose list shows the collection's songs.
class cListWindow {
public:
    explicit cListWindow(size_t count) {
        Window = ShownWindow(QDir(m_Folder.path()).canonicalPath().toStdString() + "/");
        ShowSongs(*Window, CachedBenchCollection(count).Rows);
        Window->SongListPane().Columns().ShowColumns(kSortColumns);
        QCoreApplication::processEvents();
        PaintList(*Window);
    }
    ~cListWindow() { CloseShowingNothing(*Window); }

    std::unique_ptr<TfrmMain> Window;

private:
    QTemporaryDir m_Folder;
};

/// A header click on the column, through to the repainted list (the paint the sort asked for
/// happens in the event processing after it). Before each click the rows
/// are put in the order of the path (paused), so every click sorts a mixed order ascending.
void SortByHeaderClick(benchmark::State& state, int column) {
    cListWindow list(static_cast<size_t>(state.range(0)));
    TfrmMain& window = *list.Window;
    for (auto _ : state) {
        state.PauseTiming();
        window.SongListPane().Rows().HeaderClicked(kPathColumn);
        QCoreApplication::processEvents();
        state.ResumeTiming();
        window.SongListPane().Rows().HeaderClicked(column);
        QCoreApplication::processEvents(); // lays the rows out and paints the list
    }
    const std::vector<cSongInfo*>& rows = SongModel(window)->Songs();
    for (size_t row = 1; row < rows.size(); ++row) {
        const cSongSortOrder& order = window.BrowserState().SortOrder;
        if (CompareSongs(*rows[row - 1], *rows[row], order.Kind(), order.Reversed) > 0) {
            state.SkipWithError("the rows are not in order");
            break;
        }
    }
}

void BM_WindowSortTitle(benchmark::State& state) {
    SortByHeaderClick(state, kTitleColumn);
}
BENCHMARK(BM_WindowSortTitle)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

void BM_WindowSortSize(benchmark::State& state) {
    SortByHeaderClick(state, kSizeColumn);
}
BENCHMARK(BM_WindowSortSize)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

void BM_WindowSortViews(benchmark::State& state) {
    SortByHeaderClick(state, kViewsColumn);
}
BENCHMARK(BM_WindowSortViews)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

/// The same sort through a QSortFilterProxyModel over the window's own model: the proxy asks
/// the model for each compared cell's text (or number text) and compares the texts.
void SortThroughProxy(benchmark::State& state, int column) {
    cListWindow list(static_cast<size_t>(state.range(0)));
    QSortFilterProxyModel proxy;
    proxy.setDynamicSortFilter(false);
    proxy.setSortCaseSensitivity(Qt::CaseInsensitive);
    proxy.setSourceModel(SongModel(*list.Window));
    list.Window->SongListPane().Rows().HeaderClicked(kPathColumn);
    for (auto _ : state) {
        state.PauseTiming();
        proxy.sort(-1); // back to the model's own order
        state.ResumeTiming();
        proxy.sort(column, Qt::AscendingOrder);
        benchmark::DoNotOptimize(proxy.mapToSource(proxy.index(0, 0)).row());
    }
}

void BM_ProxySortTitle(benchmark::State& state) {
    SortThroughProxy(state, kTitleColumn);
}
BENCHMARK(BM_ProxySortTitle)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

void BM_ProxySortSize(benchmark::State& state) {
    SortThroughProxy(state, kSizeColumn);
}
BENCHMARK(BM_ProxySortSize)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

/// The status bar line with every row selected: the selection's sum and the texts.
void BM_UpdateStatusBarAllSelected(benchmark::State& state) {
    cListWindow list(static_cast<size_t>(state.range(0)));
    TfrmMain& window = *list.Window;
    SelectAllItems(SongList(window));
    for (auto _ : state) {
        window.UpdateStatusBar();
    }
}
BENCHMARK(BM_UpdateStatusBarAllSelected)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond);

/// Selecting every row (what Ctrl+A does) and clearing the selection again: two selection
/// changes, each rewriting the status bar.
void BM_SelectAllRows(benchmark::State& state) {
    cListWindow list(static_cast<size_t>(state.range(0)));
    TfrmMain& window = *list.Window;
    for (auto _ : state) {
        SelectAllItems(SongList(window));
        SongList(window)->selectionModel()->clearSelection();
    }
}
BENCHMARK(BM_SelectAllRows)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

/// A header click with every one of the rows selected: the selection follows its songs.
void BM_WindowSortSizeAllSelected(benchmark::State& state) {
    cListWindow list(static_cast<size_t>(state.range(0)));
    TfrmMain& window = *list.Window;
    SelectAllItems(SongList(window));
    for (auto _ : state) {
        state.PauseTiming();
        window.SongListPane().Rows().HeaderClicked(kPathColumn);
        QCoreApplication::processEvents();
        state.ResumeTiming();
        window.SongListPane().Rows().HeaderClicked(kSizeColumn);
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_WindowSortSizeAllSelected)->Arg(100'000)->Unit(benchmark::kMillisecond);

/// One changed song's row moving to its place at once (a rename or a tag edit while sorted by
/// the first column) with every row selected, and with one row selected.
void MoveOneRow(benchmark::State& state, bool allSelected) {
    cListWindow list(static_cast<size_t>(state.range(0)));
    TfrmMain& window = *list.Window;
    window.BrowserState().SortOrder = {kSortColumns.front(), false};
    SongRows(window).Sort();
    if (allSelected) {
        SelectAllItems(SongList(window));
    }
    const int middle = SongModel(window)->rowCount() / 2;
    for (auto _ : state) {
        // The middle row's song gets a title that sorts after every other: it moves to the end.
        cSongInfo* song = SongModel(window)->Song(middle);
        const std::string title(song->Title());
        song->SetTitle("~" + title);
        SongRows(window).RefreshSong(song);
        QCoreApplication::processEvents();
        state.PauseTiming();
        if (SongModel(window)->Song(SongModel(window)->rowCount() - 1) != song) {
            state.SkipWithError("the row did not move");
            break;
        }
        song->SetTitle(title);
        SongRows(window).RefreshSong(song);
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}

void BM_MoveOneRowAllSelected(benchmark::State& state) {
    MoveOneRow(state, true);
}
BENCHMARK(BM_MoveOneRowAllSelected)->Arg(100'000)->Unit(benchmark::kMillisecond);

void BM_MoveOneRowOneSelected(benchmark::State& state) {
    MoveOneRow(state, false);
}
BENCHMARK(BM_MoveOneRowOneSelected)->Arg(100'000)->Unit(benchmark::kMillisecond);

/// An empty program folder of its own for the start-ups over hostile files.
class cHostileFiles {
public:
    cHostileFiles() : m_Folder(QDir(m_Temp.path()).canonicalPath().toStdString() + "/") {}
    const std::string& Folder() const { return m_Folder; }

    /// Options.ini of the given size: the window's keys, then a section of junk entries.
    void WriteSettings(size_t bytes) const {
        std::string text = "[MainWindow]\r\nFoldersListPath=" + m_Folder + "\r\n[Junk]\r\n";
        for (size_t i = 0; text.size() < bytes; ++i) {
            text += "Key" + std::to_string(i) + "=some value that takes room " + std::to_string(i) +
                    "\r\n";
        }
        std::ofstream(m_Folder + "Options.ini", std::ios::binary | std::ios::trunc) << text;
    }
    /// DB.txt as an empty catalogue, or as a hole of the given size (no disk space).
    void WriteCatalogue(int64_t holeBytes) const {
        std::ofstream(m_Folder + "DB.txt", std::ios::binary | std::ios::trunc);
        std::filesystem::resize_file(m_Folder + "DB.txt", static_cast<uintmax_t>(holeBytes));
        for (const auto& entry : std::filesystem::directory_iterator(m_Folder)) {
            if (entry.path().filename().string().rfind("DB.txt.damaged-", 0) == 0) {
                std::filesystem::remove(entry.path());
            }
        }
    }

private:
    QTemporaryDir m_Temp;
    std::string m_Folder;
};

void StartUpOver(benchmark::State& state, size_t settingsBytes, int64_t catalogueHole) {
    cHostileFiles files;
    for (auto _ : state) {
        state.PauseTiming();
        files.WriteSettings(settingsBytes);
        files.WriteCatalogue(catalogueHole);
        state.ResumeTiming();
        auto window = ShownWindow(files.Folder());
        state.PauseTiming();
        if (window->StartupFailed()) {
            state.SkipWithError("the start failed");
        }
        window->close();
        window.reset();
        state.ResumeTiming();
    }
}

void BM_StartupSmallFiles(benchmark::State& state) {
    StartUpOver(state, 0, 0);
}
BENCHMARK(BM_StartupSmallFiles)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_StartupSixteenMegabyteSettings(benchmark::State& state) {
    StartUpOver(state, 16u << 20, 0);
}
BENCHMARK(BM_StartupSixteenMegabyteSettings)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_StartupSparseCatalogueOf64GiB(benchmark::State& state) {
    StartUpOver(state, 0, 64LL << 30);
}
BENCHMARK(BM_StartupSparseCatalogueOf64GiB)->Unit(benchmark::kMillisecond)->Iterations(5);

/// The whole start over a million songs on disk in 50,000 album folders
/// (bench/bench_catalogue_collection.h), in the entire-collection view: from the window's
/// construction (settings, the catalogue's load with its existence check, the groups, the
/// folder tree) to the list of every song painted. Counter: the close that follows, from the
/// window's close to its end (settings written, the list emptied, every song freed). Peak
/// memory: run it alone under /usr/bin/time -v.
void BM_StartupEntireCollectionOfAMillion(benchmark::State& state) {
    bench_catalogue::cCollection& collection =
        bench_catalogue::Collection(1'000'000, bench_catalogue::kAlbumFolders);
    const std::string programFolder = collection.root + "/";
    double closeMs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::ofstream(programFolder + "Options.ini", std::ios::binary | std::ios::trunc)
            << "[MainWindow]\r\nViewMode=2\r\nFoldersListPath=" << collection.root << "/0/\r\n";
        state.ResumeTiming();
        auto window = ShownWindow(programFolder);
        state.PauseTiming();
        if (window->SongListPane().Rows().Model()->rowCount() != collection.songs) {
            state.SkipWithError("the collection is not shown");
        }
        const auto closing = std::chrono::steady_clock::now();
        window->close();
        window.reset();
        closeMs =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - closing)
                .count();
        state.ResumeTiming();
    }
    state.counters["close_ms"] = closeMs;
}
BENCHMARK(BM_StartupEntireCollectionOfAMillion)->Unit(benchmark::kMillisecond)->Iterations(1);

/// "&Export as playlist..." with every row shown and none selected: the .pls of all rows,
/// from the menu item to the file on the disk, one new file per iteration.
void BM_ExportPlaylist(benchmark::State& state) {
    cListWindow list(static_cast<size_t>(state.range(0)));
    QTemporaryDir folder;
    const QString playlist = QDir(folder.path()).filePath("all.pls");
    BenchDesktop().SavePath = playlist;
    auto* export_ = list.Window->findChild<QAction*>("popSongsList_ExportAsPlaylist");
    // A fill selects the first row; with none selected every row is exported.
    SongList(*list.Window)->selectionModel()->clearSelection();
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(playlist);
        state.ResumeTiming();
        export_->trigger();
    }
    BenchDesktop().SavePath.clear();
    if (QFileInfo(playlist).size() < state.range(0) * 20) {
        state.SkipWithError("the playlist was not written");
    }
}
BENCHMARK(BM_ExportPlaylist)->Arg(100'000)->Unit(benchmark::kMillisecond);

/// The export as the INI writer alone would do it: one rewrite of the file per key (the way
/// the .pls was written before it became one replacement), for a thousand rows only.
void BM_ExportPlaylistKeyByKey(benchmark::State& state) {
    const cBenchCollection& songs = CachedBenchCollection(static_cast<size_t>(state.range(0)));
    QTemporaryDir folder;
    const std::string playlist = QDir(folder.path()).filePath("all.pls").toStdString();
    for (auto _ : state) {
        cIniFile ini(playlist);
        int counter = 0;
        for (const cSongInfo* song : songs.Rows) {
            ini.WriteString("playlist", "File" + std::to_string(++counter), song->FileName());
        }
        ini.WriteInteger("Playlist", "NumberOfEntries", counter);
        ini.WriteInteger("Playlist", "Version", 2);
    }
}
BENCHMARK(BM_ExportPlaylistKeyByKey)->Arg(1'000)->Unit(benchmark::kMillisecond)->Iterations(1);

/// The visible columns confirmed with every row shown: widths stored, the columns built anew,
/// the rows refilled (sorted) and painted. Each iteration shows the other of two column sets.
void BM_ShowColumns(benchmark::State& state) {
    cListWindow list(static_cast<size_t>(state.range(0)));
    TfrmMain& window = *list.Window;
    const std::vector<std::string> fewer = {"FileName", "Author", "Size", "Views"};
    bool all = false;
    for (auto _ : state) {
        all = !all;
        window.SongListPane().Columns().ShowColumns(all ? kSortColumns : fewer);
        QCoreApplication::processEvents();
        PaintList(window);
    }
    if (SongModel(window)->rowCount() != state.range(0)) {
        state.SkipWithError("the rows are not shown");
    }
}
BENCHMARK(BM_ShowColumns)->Arg(100'000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    return RunGuiBenchmarks(argc, argv);
}
