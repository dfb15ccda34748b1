// Queries over a master song list of 1,000,000 songs held in memory: the list population's
// "Folder begins with" plus a number condition, a search's "Title contains" (with a text of
// ASCII only and with an accented one), and the folder scan's "Folder is".

#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "catalogue/unitSongQuery.h"
#include "catalogue/unitSongUtils.h"

namespace {
constexpr int kSongCount = 1'000'000;
constexpr unsigned kRandomStart = 42;

// 1,000 artists x 10 albums x 100 tracks, with titles made of common words.
cSongPointersList& Collection() {
    static cSongPointersList songs = [] {
        const std::vector<std::string> words = {"Love",  "Night", "Blue",  "Song",  "Heart",
                                                "River", "Fire",  "Dream", "Road",  "Light",
                                                "Rain",  "Home",  "Stone", "Ocean", "Summer",
                                                // Accented words as UTF-8 and as Latin-1 tags
                                                // hold them.
                                                "Caf\xC3\xA9", "Caf\xE9"};
        std::mt19937 random(kRandomStart);
        cSongPointersList list;
        list.Reserve(kSongCount);
        for (int i = 0; i < kSongCount; ++i) {
            const int artist = i / 1000;
            const int album = i / 100 % 10;
            std::string title = words[random() % words.size()] + " " +
                                words[random() % words.size()] + " " + std::to_string(i % 100);
            const std::string path = "/home/user/Music/Artist " + std::to_string(artist) +
                                     "/Album " + std::to_string(album) + "/" + title + ".mp3";
            cSongInfo* song = NewSongInfo();
            song->SetTexts(path, title, "Artist " + std::to_string(artist),
                           "Album " + std::to_string(album), "", "2001");
            song->Views = static_cast<int32_t>(random() % 10);
            song->Size = 3'000'000 + static_cast<int32_t>(random() % 5'000'000);
            list.Add(song);
        }
        return list;
    }();
    MasterSongList = &songs;
    return songs;
}

void RunQuery(benchmark::State& state, const std::vector<SongCriterion>& criteria) {
    Collection();
    int64_t found = 0;
    for (auto _ : state) {
        const cSongPointersList result = QuerySongs(criteria);
        found = result.Count();
        benchmark::DoNotOptimize(found);
    }
    state.counters["found"] = static_cast<double>(found);
}

void BM_FolderBeginsWithAndViews(benchmark::State& state) {
    RunQuery(state, {MakeCriterion(kFieldFolder, kOpBeginsWith, "/home/user/music/artist 12"),
                     MakeCriterion(kFieldViewsCount, kOpGreater, "2")});
}
BENCHMARK(BM_FolderBeginsWithAndViews)->Unit(benchmark::kMillisecond);

void BM_TitleContains(benchmark::State& state) {
    RunQuery(state, {MakeCriterion(kFieldTitle, kOpContains, "heart")});
}
BENCHMARK(BM_TitleContains)->Unit(benchmark::kMillisecond);

// A typed text beyond ASCII: every title is compared as the list shows it.
void BM_TitleContainsAccented(benchmark::State& state) {
    RunQuery(state, {MakeCriterion(kFieldTitle, kOpContains, "caf\xC3\xA9")});
}
BENCHMARK(BM_TitleContainsAccented)->Unit(benchmark::kMillisecond);

void BM_FolderIs(benchmark::State& state) {
    RunQuery(state, {MakeCriterion(kFieldFolder, kOpIs, "/home/user/Music/Artist 500/Album 3")});
}
BENCHMARK(BM_FolderIs)->Unit(benchmark::kMillisecond);

void BM_NoConditions(benchmark::State& state) {
    RunQuery(state, {});
}
BENCHMARK(BM_NoConditions)->Unit(benchmark::kMillisecond);
} // namespace

BENCHMARK_MAIN();
