// The main window with large collections: start-up to the first painted list over a catalogue
// of 100,000 songs in one folder tree, switching to the entire collection, and filling the list
// with a million songs.
#include <QAction>
#include <QDir>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTreeView>
#include <benchmark/benchmark.h>
#include <fstream>
#include <memory>

#include "browser/unitApplication.h"
#include "browser/unitMain.h"
#include "browser/unitSongListModel.h"
#include "catalogue/unitSongUtils.h"
#include "catalogue/unitSongsDatabaseClass.h"
#include "util/unitMessages.h"
#include "util/unitPlatformServices.h"

namespace {

constexpr int kFolders = 100;
constexpr int kSongsPerFolder = 1000;

/// A program folder whose DB.txt lists 100,000 existing (empty) MP3 files in 100 folders below
/// one music folder. Built once per run.
class cCollection {
public:
    cCollection() {
        m_Root = QDir(m_Temp.path()).canonicalPath().toStdString();
        QDir().mkpath(QString::fromStdString(ProgramFolder()));
        cSongsDatabase catalogue;
        catalogue.Open(ProgramFolder() + "DB.txt");
        for (int folder = 0; folder < kFolders; ++folder) {
            const std::string path = FolderPath(folder);
            QDir().mkpath(QString::fromStdString(path));
            for (int i = 0; i < kSongsPerFolder; ++i) {
                const std::string file = path + "/Artist " + std::to_string(i % 37) + " - Song " +
                                         std::to_string(i) + ".mp3";
                std::ofstream{file};
                cSongInfo song;
                song.SetTexts(file, "Song " + std::to_string(i), "Artist " + std::to_string(i % 37),
                              "Album " + std::to_string(folder), "", "2001");
                song.Size = 3000000 + i;
                song.Date = 40000.5 + i;
                song.Views = (i * 7) % 13;
                catalogue.AddSongEntry(song);
            }
        }
    }

    std::string ProgramFolder() const { return m_Root + "/program/"; }
    std::string FolderPath(int folder) const {
        return m_Root + "/music/folder" + std::to_string(folder);
    }
    void WriteSettings(const std::string& text) const {
        std::ofstream(ProgramFolder() + "Options.ini", std::ios::binary) << text;
    }

private:
    QTemporaryDir m_Temp;
    std::string m_Root;
};

cCollection& Collection() {
    static cCollection collection;
    return collection;
}

void PaintList(TfrmMain& window) {
    window.SongList()->viewport()->repaint();
}

std::unique_ptr<TfrmMain> ShownWindow(const std::string& programFolder) {
    auto window = std::make_unique<TfrmMain>(programFolder);
    window->show();
    QCoreApplication::processEvents();
    PaintList(*window);
    return window;
}

void BM_StartupToFirstPaintedList(benchmark::State& state) {
    cCollection& collection = Collection();
    for (auto _ : state) {
        state.PauseTiming();
        collection.WriteSettings("[MainWindow]\r\nFoldersListPath=" + collection.FolderPath(7) +
                                 "/\r\n");
        state.ResumeTiming();
        auto window = ShownWindow(collection.ProgramFolder());
        state.PauseTiming();
        if (window->SongListModel()->rowCount() != kSongsPerFolder) {
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
        window->SetViewMode(2);
        window->PopulateSongList();
        QCoreApplication::processEvents();
        PaintList(*window);
        state.PauseTiming();
        if (window->SongListModel()->rowCount() != kFolders * kSongsPerFolder) {
            state.SkipWithError("the collection is not shown");
        }
        window->SetViewMode(0);
        window->PopulateSongList();
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
        window->DisplayedSongs().Clear();
        window->FillSongList();
        QCoreApplication::processEvents();
        for (cSongInfo& song : songs) {
            window->DisplayedSongs().Add(&song);
        }
        state.ResumeTiming();
        window->FillSongList();
        QCoreApplication::processEvents();
        static_cast<QAbstractItemView*>(shown)->viewport()->repaint();
    }
    window->DisplayedSongs().Clear();
    window->FillSongList();
    window->close();
}

void BM_FillSongListOneMillion(benchmark::State& state) {
    FillOneMillion(state, "popSongsList_ViewDetails");
}
BENCHMARK(BM_FillSongListOneMillion)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_FillSongListOneMillionLargeIcons(benchmark::State& state) {
    FillOneMillion(state, "popSongsList_ViewLargeIcons");
}
BENCHMARK(BM_FillSongListOneMillionLargeIcons)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication application(argc, argv);
    // Messages would wait for a click: a benchmark prints them instead.
    SetMessageBoxHook([](const QString& text) { qWarning("%s", qPrintable(text)); });
    SetOpenWithHook([](const QString&) {});
    InstallGuiMessageSink();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
