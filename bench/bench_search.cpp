// The search window over a master song list of 1,000,000 songs held in memory, from the click on
// "&Search" to the painted list: three rows (a folder condition, a text "contains", a number)
// over the entire collection, and a search that finds every song. Beside them, the core search
// of the three rows against the plain filter a good engineer would write first (a lower-cased
// copy of each value, std::string::find).
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeView>
#include <benchmark/benchmark.h>
#include <memory>
#include <random>

#include "bench/bench_gui_support.h"
#include "bench/bench_window.h"
#include "browser/unitMain.h"
#include "browser/unitSongListModel.h"
#include "browser/unitSongListPane.h"
#include "catalogue/unitSongUtils.h"
#include "search/unitFindSong.h"
#include "search/unitFraCriteria.h"
#include "search/unitSongSearch.h"
#include "util/unitAsciiCase.h"
#include "util/unitUtils.h"

namespace {

constexpr int kSongCount = 1'000'000;

/// 1,000 artists x 10 albums x 100 tracks, titles of common words, a few views each.
void AddSongs(cSongPointersList& master) {
    const std::vector<std::string> words = {"Love",  "Night", "Blue",  "Song",  "Heart",
                                            "River", "Fire",  "Dream", "Road",  "Light",
                                            "Rain",  "Home",  "Stone", "Ocean", "Summer"};
    std::mt19937 random(42);
    master.Reserve(master.Count() + kSongCount);
    for (int i = 0; i < kSongCount; ++i) {
        const std::string artist = "Artist " + std::to_string(i / 1000);
        const std::string album = "Album " + std::to_string(i / 100 % 10);
        const std::string title = words[random() % words.size()] + " " +
                                  words[random() % words.size()] + " " + std::to_string(i % 100);
        cSongInfo* song = NewSongInfo();
        song->SetTexts("/home/user/Music/" + artist + "/" + album + "/" + title + ".mp3", title,
                       artist, album, "", "2001");
        song->Views = static_cast<int32_t>(random() % 10);
        song->Size = 3'000'000 + static_cast<int32_t>(random() % 5'000'000);
        master.Add(song);
    }
}

const std::vector<cCriteriaRow> kThreeRows = {
    {kFieldFolder, kOpBeginsWith, "/home/user/music/artist 1"},
    {kFieldTitle, kOpContains, "love"},
    {kFieldViewsCount, kOpGreater, "5"},
};
const std::vector<cCriteriaRow> kEverySongByText = {{kFieldFilename, kOpEndsWith, ".mp3"}};
const std::vector<cCriteriaRow> kEverySongByNumber = {{kFieldViewsCount, kOpGreaterOrEqual, "0"}};

/// A shown main window over an empty program folder whose master list then gets the songs,
/// with the search window open. The catalogue frees the songs when the window closes.
class cSearchWindow {
public:
    cSearchWindow() {
        Window = std::make_unique<TfrmMain>(
            QDir(m_Folder.path()).canonicalPath().toStdString() + "/", m_Desktop);
        Window->show();
        QCoreApplication::processEvents();
        AddSongs(*MasterSongList);
        Window->findChild<QToolButton*>("tbToggleFindWindow")->click();
        Search = Window->FindWindow();
        QCoreApplication::processEvents();
    }
    ~cSearchWindow() { Window->close(); }

    void SetRows(const std::vector<cCriteriaRow>& rows) {
        while (Search->Rows().size() < static_cast<qsizetype>(rows.size())) {
            Search->btnAddCriteriaClick();
        }
        for (size_t i = 0; i < rows.size(); ++i) {
            TfraCriteria* row = Search->Rows()[static_cast<qsizetype>(i)];
            row->Fields()->setCurrentIndex(rows[i].FieldIndex);
            row->SearchMethod()->setCurrentIndex(rows[i].MethodIndex);
            row->Condition()->setText(QString::fromStdString(rows[i].Condition));
        }
    }

    std::unique_ptr<TfrmMain> Window;
    TfrmFindSong* Search = nullptr;

private:
    cPrintingDesktop m_Desktop;
    QTemporaryDir m_Folder;
};

/// A click on "&Search" through to the painted list.
void SearchAndPaint(benchmark::State& state, const std::vector<cCriteriaRow>& rows) {
    cSearchWindow window;
    window.SetRows(rows);
    auto* button = window.Search->findChild<QPushButton*>("btnSearch");
    int shown = 0;
    for (auto _ : state) {
        button->click();
        QCoreApplication::processEvents();
        SongList(*window.Window)->viewport()->repaint();
        state.PauseTiming();
        shown = SongModel(*window.Window)->rowCount();
        // The next search starts from the folder's (empty) list again.
        window.Window->BrowserState().DisplayedSongs.Clear();
        window.Window->SongListPane().Rows().Fill();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["found"] = shown;
}

void BM_SearchThreeRowsAndFill(benchmark::State& state) {
    SearchAndPaint(state, kThreeRows);
}
BENCHMARK(BM_SearchThreeRowsAndFill)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_SearchEverySongByTextAndFill(benchmark::State& state) {
    SearchAndPaint(state, kEverySongByText);
}
BENCHMARK(BM_SearchEverySongByTextAndFill)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_SearchEverySongByNumberAndFill(benchmark::State& state) {
    SearchAndPaint(state, kEverySongByNumber);
}
BENCHMARK(BM_SearchEverySongByNumberAndFill)->Unit(benchmark::kMillisecond)->Iterations(5);

// ---- The core search against the plain filter --------------------------------------------

/// The songs of the core benchmarks stand in as the master song list while one runs (the
/// window's catalogue owns its own list and frees it).
class cCoreMasterList {
public:
    cCoreMasterList() {
        static cSongPointersList songs = [] {
            cSongPointersList list;
            AddSongs(list);
            return list;
        }();
        MasterSongList = &songs;
    }
    ~cCoreMasterList() { MasterSongList = nullptr; }
};

void BM_CoreSearchThreeRows(benchmark::State& state) {
    const cCoreMasterList master;
    const cSongPointersList none;
    int64_t found = 0;
    for (auto _ : state) {
        found = SearchSongs(CriteriaOfRows(kThreeRows), eSearchScope::EntireCollection,
                            eViewMode::EntireCollection, "", none)
                    .Count();
    }
    state.counters["found"] = static_cast<double>(found);
}
BENCHMARK(BM_CoreSearchThreeRows)->Unit(benchmark::kMillisecond);

void BM_PlainFilterThreeRows(benchmark::State& state) {
    const cCoreMasterList master;
    int64_t found = 0;
    for (auto _ : state) {
        std::vector<cSongInfo*> result;
        for (cSongInfo* song : *MasterSongList) {
            if (song == nullptr) {
                continue;
            }
            // The rows in their order, each on lower-cased copies.
            if (!LowerCaseAscii(FolderPart(song->FileName()))
                     .starts_with("/home/user/music/artist 1") ||
                LowerCaseAscii(song->Title()).find("love") == std::string::npos ||
                !(song->Views > 5)) {
                continue;
            }
            result.push_back(song);
        }
        found = static_cast<int64_t>(result.size());
    }
    state.counters["found"] = static_cast<double>(found);
}
BENCHMARK(BM_PlainFilterThreeRows)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    return RunGuiBenchmarks(argc, argv);
}
