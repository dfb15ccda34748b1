// Reading 10,000 known songs again (the re-read command): when no file changed (reads only)
// and when every record changed (reads and one batch write); for comparison, the folder scan
// reading the same 10,000 files as new songs. Then the watch's look at a folder of 10,000 known
// songs after one new file came.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_temp_folder.h"
#include "catalogue/unitFolderRefresh.h"
#include "catalogue/unitFolderScan.h"
#include "catalogue/unitReReadSongs.h"
#include "catalogue/unitSongUtils.h"
#include "catalogue/unitSongsDatabaseClass.h"

namespace {
constexpr int kSongs = 10'000;

/// A folder of kSongs small MP3 files with ID3v1 tags, made once per run.
class cSongFolder {
public:
    cSongFolder() : m_Root(NewBenchFolder() + "/"), m_Music(m_Root + "music/") {
        std::filesystem::create_directory(m_Music);
        const std::string audio(4000, '\x55');
        for (int i = 0; i < kSongs; ++i) {
            std::ofstream(m_Music + "Artist - Song " + std::to_string(i) + ".mp3", std::ios::binary)
                << audio << Id3v1TagBlock(i);
        }
    }
    ~cSongFolder() {
        if (SongsDatabase != nullptr) {
            FreeAllSongs();
        }
        std::filesystem::remove_all(m_Root);
    }
    /// A fresh catalogue holding the folder's songs.
    void ScannedCatalogue() const {
        EmptyCatalogue();
        ScanFolder(m_Music);
    }
    void EmptyCatalogue() const {
        if (SongsDatabase != nullptr) {
            FreeAllSongs();
        }
        std::filesystem::remove(m_Root + "DB.txt");
        OpenSongsDatabase(m_Root + "DB.txt");
    }
    const std::string& Music() const { return m_Music; }

private:
    std::string m_Root;
    std::string m_Music;
};

cSongFolder& Folder() {
    static cSongFolder folder;
    return folder;
}

void BM_ReReadUnchangedSongs(benchmark::State& state) {
    Folder().ScannedCatalogue();
    const std::vector<cSongInfo*> songs = MasterSongList->Items();
    for (auto _ : state) {
        benchmark::DoNotOptimize(ReReadSongs(songs));
    }
    state.counters["songs"] = static_cast<double>(songs.size());
    FreeAllSongs();
}
BENCHMARK(BM_ReReadUnchangedSongs)->Unit(benchmark::kMillisecond);

void BM_ReReadChangedSongs(benchmark::State& state) {
    Folder().ScannedCatalogue();
    const std::vector<cSongInfo*> songs = MasterSongList->Items();
    for (auto _ : state) {
        state.PauseTiming();
        for (cSongInfo* song : songs) {
            song->SetTitle("stale"); // every record differs from its file
        }
        state.ResumeTiming();
        benchmark::DoNotOptimize(ReReadSongs(songs));
    }
    state.counters["songs"] = static_cast<double>(songs.size());
    FreeAllSongs();
}
BENCHMARK(BM_ReReadChangedSongs)->Unit(benchmark::kMillisecond);

// The yardstick: the scan reading the same files as new songs into an empty catalogue.
void BM_ScanTheSameFilesAsNew(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        Folder().EmptyCatalogue();
        state.ResumeTiming();
        ScanFolder(Folder().Music());
    }
    state.counters["songs"] = MasterSongList->Count();
    FreeAllSongs();
}
BENCHMARK(BM_ScanTheSameFilesAsNew)->Unit(benchmark::kMillisecond);

// One file copied into a watched folder of 10,000 known songs: the look the watch takes.
void BM_WatchedFolderOneNewFile(benchmark::State& state) {
    Folder().ScannedCatalogue();
    int next = 0;
    std::vector<std::string> added;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string name = "new " + std::to_string(next++) + ".mp3";
        std::ofstream(Folder().Music() + name, std::ios::binary) << std::string(4000, '\x55');
        added.push_back(Folder().Music() + name);
        state.ResumeTiming();
        benchmark::DoNotOptimize(RefreshWatchedFolder(Folder().Music(), {name}, false));
    }
    FreeAllSongs();
    for (const std::string& path : added) {
        std::filesystem::remove(path);
    }
}
BENCHMARK(BM_WatchedFolderOneNewFile)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
