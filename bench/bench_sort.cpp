// Sorting the song list: the core's key-based stable sort against two alternatives: the plain
// sort a careful engineer would write (decorate each row once with its key, then
// std::stable_sort on those keys) and the same sort done by a QSortFilterProxyModel over a table
// model holding the same texts and numbers.
//
// Each iteration starts from the rows in a shuffled order (the order left by another column)
// and sorts them once by the column.

#include <QAbstractTableModel>
#include <QCoreApplication>
#include <QSortFilterProxyModel>
#include <QString>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "bench/bench_song_collection.h"
#include "browser/unitSongSorting.h"
#include "util/unitAsciiCase.h"

namespace {

void SortCore(benchmark::State& state, eSongColumn column) {
    const cBenchCollection& collection = CachedBenchCollection(static_cast<size_t>(state.range(0)));
    std::vector<cSongInfo*> rows;
    for (auto _ : state) {
        state.PauseTiming();
        rows = collection.Rows;
        state.ResumeTiming();
        SortSongRows(rows, column, false);
        benchmark::DoNotOptimize(rows.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_SortTitle(benchmark::State& state) {
    SortCore(state, eSongColumn::Title);
}
void BM_SortPath(benchmark::State& state) {
    SortCore(state, eSongColumn::Path);
}
void BM_SortFileName(benchmark::State& state) {
    SortCore(state, eSongColumn::FileName);
}
void BM_SortGroups(benchmark::State& state) {
    SortCore(state, eSongColumn::Groups);
}
void BM_SortSize(benchmark::State& state) {
    SortCore(state, eSongColumn::Size);
}
void BM_SortDate(benchmark::State& state) {
    SortCore(state, eSongColumn::Date);
}
void BM_SortViews(benchmark::State& state) {
    SortCore(state, eSongColumn::Views);
}

/// The row order of SortedRowOrder, computed the plain way: every row decorated once with its
/// key (the title upper-cased a to z, compared as unsigned bytes like std::string does; or the
/// size), then a std::stable_sort of the keyed rows.
std::vector<int> DecoratedStableOrder(const std::vector<cSongInfo*>& rows, eSongColumn column) {
    std::vector<int> order;
    order.reserve(rows.size());
    if (column == eSongColumn::Title) {
        std::vector<std::pair<std::string, int>> keyed(rows.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            const std::string_view title = rows[i]->Title();
            std::string& key = keyed[i].first;
            key.resize(title.size());
            std::transform(title.begin(), title.end(), key.begin(), FoldUpper);
            keyed[i].second = static_cast<int>(i);
        }
        std::stable_sort(keyed.begin(), keyed.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        for (const auto& entry : keyed) {
            order.push_back(entry.second);
        }
    } else {
        std::vector<std::pair<int32_t, int>> keyed(rows.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            keyed[i] = {rows[i]->Size, static_cast<int>(i)};
        }
        std::stable_sort(keyed.begin(), keyed.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        for (const auto& entry : keyed) {
            order.push_back(entry.second);
        }
    }
    return order;
}

/// Times one way of computing the row order of the shuffled rows by the column, after checking
/// once that it gives exactly the order SortedRowOrder gives.
template <typename tOrder>
void RowOrder(benchmark::State& state, eSongColumn column, const tOrder& computeOrder) {
    const cBenchCollection& collection = CachedBenchCollection(static_cast<size_t>(state.range(0)));
    if (computeOrder(collection.Rows, column) != SortedRowOrder(collection.Rows, column, false)) {
        state.SkipWithError("the order differs from SortedRowOrder");
        return;
    }
    for (auto _ : state) {
        std::vector<int> order = computeOrder(collection.Rows, column);
        benchmark::DoNotOptimize(order.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

std::vector<int> ProgramOrder(const std::vector<cSongInfo*>& rows, eSongColumn column) {
    return SortedRowOrder(rows, column, false);
}

void BM_RowOrderTitle(benchmark::State& state) {
    RowOrder(state, eSongColumn::Title, ProgramOrder);
}
void BM_DecoratedStableSortTitle(benchmark::State& state) {
    RowOrder(state, eSongColumn::Title, DecoratedStableOrder);
}
void BM_RowOrderSize(benchmark::State& state) {
    RowOrder(state, eSongColumn::Size, ProgramOrder);
}
void BM_DecoratedStableSortSize(benchmark::State& state) {
    RowOrder(state, eSongColumn::Size, DecoratedStableOrder);
}

/// The song texts and numbers as a table model would hold them: column 0 the title, column 1
/// the size, column 2 the path; rows in the shuffled order.
class cBenchSongModel : public QAbstractTableModel {
public:
    explicit cBenchSongModel(const std::vector<cSongInfo*>& rows) {
        for (const cSongInfo* song : rows) {
            m_Titles.push_back(QString::fromUtf8(song->Title().data(),
                                                 static_cast<qsizetype>(song->Title().size())));
            m_Paths.push_back(QString::fromUtf8(song->FileName().data(),
                                                static_cast<qsizetype>(song->FileName().size())));
            m_Sizes.push_back(song->Size);
        }
    }
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(m_Titles.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : 3;
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole) {
            return {};
        }
        const auto row = static_cast<size_t>(index.row());
        switch (index.column()) {
        case 0:
            return m_Titles[row];
        case 1:
            return m_Sizes[row];
        default:
            return m_Paths[row];
        }
    }

private:
    std::vector<QString> m_Titles;
    std::vector<QString> m_Paths;
    std::vector<int> m_Sizes;
};

void SortProxy(benchmark::State& state, int column) {
    const cBenchCollection& collection = CachedBenchCollection(static_cast<size_t>(state.range(0)));
    cBenchSongModel model(collection.Rows);
    QSortFilterProxyModel proxy;
    proxy.setSortCaseSensitivity(Qt::CaseInsensitive);
    proxy.setSourceModel(&model);
    for (auto _ : state) {
        state.PauseTiming();
        proxy.sort(-1); // back to the source (shuffled) order
        state.ResumeTiming();
        proxy.sort(column, Qt::AscendingOrder);
        benchmark::DoNotOptimize(proxy.mapToSource(proxy.index(0, 0)).row());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_ProxySortTitle(benchmark::State& state) {
    SortProxy(state, 0);
}
void BM_ProxySortSize(benchmark::State& state) {
    SortProxy(state, 1);
}
void BM_ProxySortPath(benchmark::State& state) {
    SortProxy(state, 2);
}

} // namespace

#define SORT_SIZES ->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond)
BENCHMARK(BM_SortTitle) SORT_SIZES;
BENCHMARK(BM_SortPath) SORT_SIZES;
BENCHMARK(BM_SortFileName) SORT_SIZES;
BENCHMARK(BM_SortGroups) SORT_SIZES;
BENCHMARK(BM_SortSize) SORT_SIZES;
BENCHMARK(BM_SortDate) SORT_SIZES;
BENCHMARK(BM_SortViews) SORT_SIZES;
BENCHMARK(BM_RowOrderTitle) SORT_SIZES;
BENCHMARK(BM_DecoratedStableSortTitle) SORT_SIZES;
BENCHMARK(BM_RowOrderSize) SORT_SIZES;
BENCHMARK(BM_DecoratedStableSortSize) SORT_SIZES;
BENCHMARK(BM_ProxySortTitle) SORT_SIZES;
BENCHMARK(BM_ProxySortSize) SORT_SIZES;
BENCHMARK(BM_ProxySortPath) SORT_SIZES;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
