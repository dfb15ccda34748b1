// The sums behind the status bar line, which is rewritten on every change of the selection:
// 100,000 selected rows as one block, as many small blocks, and the total of the list.

#include <benchmark/benchmark.h>

#include <map>

#include "bench/bench_song_collection.h"
#include "browser/unitStatusTexts.h"

namespace {

constexpr int kSelectedRows = 100'000;

/// The status bar text for 100,000 selected rows out of the list, with the list's total.
void BM_StatusBarAllSelectedInOneBlock(benchmark::State& state) {
    const cBenchCollection& collection = CachedBenchCollection(static_cast<size_t>(state.range(0)));
    const std::vector<cRowRange> selection = {{0, kSelectedRows - 1}};
    for (auto _ : state) {
        const cSongsTotal selected = TotalOfRowRanges(collection.Rows, selection);
        const cSongsTotal all = TotalOfSongs(collection.Rows);
        benchmark::DoNotOptimize(StatusBarText(selected, all.Count, all.Bytes));
    }
}

/// Every other row selected (Ctrl-clicks): 100,000 ranges of one row each, in reverse order.
void BM_StatusBarEveryOtherRowSelected(benchmark::State& state) {
    const cBenchCollection& collection = CachedBenchCollection(static_cast<size_t>(state.range(0)));
    std::vector<cRowRange> selection;
    for (int row = 2 * kSelectedRows - 2; row >= 0; row -= 2) {
        selection.push_back({row, row});
    }
    for (auto _ : state) {
        const cSongsTotal selected = TotalOfRowRanges(collection.Rows, selection);
        const cSongsTotal all = TotalOfSongs(collection.Rows);
        benchmark::DoNotOptimize(StatusBarText(selected, all.Count, all.Bytes));
    }
}

void BM_MostPopularOfList(benchmark::State& state) {
    const cBenchCollection& collection = CachedBenchCollection(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(FindMostPopular(collection.Rows));
    }
}

} // namespace

BENCHMARK(BM_StatusBarAllSelectedInOneBlock)->Arg(200'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StatusBarEveryOtherRowSelected)->Arg(200'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MostPopularOfList)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
