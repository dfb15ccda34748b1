// Sorting the song list: the core's key-based stable sort against the same sort done by a
// QSortFilterProxyModel over a table model holding the same texts and numbers.
//
// Each iteration starts from the rows in a shuffled order (the order left by another column)
// and sorts them once by the column.

#include <QAbstractTableModel>
#include <QCoreApplication>
#include <QSortFilterProxyModel>
#include <QString>
#include <benchmark/benchmark.h>

#include <map>

#include "bench/bench_song_collection.h"
#include "browser/unitSongSorting.h"

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
