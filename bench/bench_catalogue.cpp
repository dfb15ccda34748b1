// Loading, compacting and repairing the catalogue with synthetic collections of 10k, 100k and
// 1M songs (bench/bench_catalogue_collection.h) in folders of 300 songs or in the album layout
// of 20 songs a folder (a million songs in 50,000 folders); the .pls export of 10k to 1M songs;
// three group changes of every song and the start after them. Baselines: a reader that does one
// unbuffered read() per field, and the existence check as one stat() per song.
//
//   bench_catalogue [google benchmark flags]      collection benchmarks take {songs, a folder}
//   bench_catalogue --peak-rss=1000000[/20]       peak memory of loading that collection
//   bench_catalogue --peak-rss-of=<DB.txt>        peak memory of loading that catalogue
//
// With TUNARIA_BENCH_KEEP=<folder> the collections are built once in that folder (one
// subfolder per size and layout) and reused by later runs instead of being removed.

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_catalogue_collection.h"
#include "browser/unitPlaylist.h"
#include "catalogue/unitFileExistence.h"
#include "catalogue/unitSongUtils.h"
#include "groups/unitGroupList.h"
#include "groups/unitGroupOperations.h"
#include "util/unitMessages.h"

namespace {

using namespace bench_catalogue;

void QuietMessages() {
    SetMessageSink(
        [](const std::string& text) { std::fprintf(stderr, "message: %s\n", text.c_str()); });
}

// ---- the baseline: one unbuffered read() per field ------------------------------------------

bool ReadExactly(int fd, void* into, size_t count) {
    return ::read(fd, into, count) == static_cast<ssize_t>(count);
}

bool ReadTextField(int fd, std::string& text) {
    uint32_t count = 0;
    if (!ReadExactly(fd, &count, 4)) {
        return false;
    }
    text.resize(count);
    return count == 0 || ReadExactly(fd, text.data(), count);
}

/// Reads every live record the way a reader without a buffer does: each field by its own
/// read(), a record allocated per song. Records stay in `songs`.
void UnbufferedLoad(const std::string& path, std::vector<std::unique_ptr<cSongInfo>>& songs) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    std::string texts[6];
    std::string groups;
    char crlf[2];
    for (;;) {
        uint8_t deleted = 0;
        uint32_t length = 0;
        if (!ReadExactly(fd, &deleted, 1) || !ReadExactly(fd, &length, 4)) {
            break;
        }
        if (deleted != 0) {
            ::lseek(fd, length, SEEK_CUR);
            continue;
        }
        auto song = std::make_unique<cSongInfo>();
        for (auto& text : texts) {
            ReadTextField(fd, text);
        }
        ReadExactly(fd, &song->Views, 4);
        ReadExactly(fd, &song->Size, 4);
        ReadExactly(fd, &song->Date, 8);
        ReadExactly(fd, crlf, 2);
        ReadTextField(fd, groups);
        ReadExactly(fd, crlf, 2);
        song->SetTexts(texts[0], texts[1], texts[2], texts[3], texts[4], texts[5]);
        if (!groups.empty()) {
            song->Groups = {groups};
        }
        songs.push_back(std::move(song));
    }
    ::close(fd);
}

// ---- benchmarks -----------------------------------------------------------------------------

void SetCounters(benchmark::State& state, const cCollection& collection) {
    state.counters["songs"] = collection.songs;
    state.counters["bytes/record"] = collection.recordBytes;
    state.SetItemsProcessed(state.iterations() * collection.songs);
}

/// The start-up load: read, existence check, master list.
void BM_OpenSongsDatabase(benchmark::State& state) {
    cCollection& collection =
        Collection(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    QuietMessages();
    for (auto _ : state) {
        if (!OpenSongsDatabase(collection.dbPath) || MasterSongList->Count() != collection.songs) {
            state.SkipWithError("load failed");
            break;
        }
        state.PauseTiming();
        FreeAllSongs();
        state.ResumeTiming();
    }
    SetCounters(state, collection);
}

/// Reading the records alone, through the buffer.
void BM_ReadNextSongAll(benchmark::State& state) {
    cCollection& collection =
        Collection(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    std::vector<cSongInfo*> songs;
    for (auto _ : state) {
        cSongsDatabase db;
        db.Open(collection.dbPath);
        for (;;) {
            cSongInfo* song = NewSongInfo();
            if (!db.ReadNextSong(*song)) {
                DisposeSongInfo(song);
                break;
            }
            songs.push_back(song);
        }
        state.PauseTiming();
        for (cSongInfo* song : songs) {
            DisposeSongInfo(song);
        }
        songs.clear();
        state.ResumeTiming();
    }
    SetCounters(state, collection);
}

/// Baseline of the reading alone: one read() per field.
void BM_BaselineUnbufferedRead(benchmark::State& state) {
    cCollection& collection =
        Collection(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    std::vector<std::unique_ptr<cSongInfo>> songs;
    for (auto _ : state) {
        UnbufferedLoad(collection.dbPath, songs);
        state.PauseTiming();
        songs.clear();
        state.ResumeTiming();
    }
    SetCounters(state, collection);
}

/// Baseline of the whole load: one read() per field and one stat() per song.
void BM_BaselineUnbufferedReadAndStat(benchmark::State& state) {
    cCollection& collection =
        Collection(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    std::vector<std::unique_ptr<cSongInfo>> songs;
    for (auto _ : state) {
        UnbufferedLoad(collection.dbPath, songs);
        size_t present = 0;
        for (const auto& song : songs) {
            present += FileExists(song->FileName());
        }
        benchmark::DoNotOptimize(present);
        state.PauseTiming();
        songs.clear();
        state.ResumeTiming();
    }
    SetCounters(state, collection);
}

std::vector<std::string> SongPaths(const cCollection& collection) {
    std::vector<std::string> paths;
    cSongsDatabase db;
    db.Open(collection.dbPath);
    cSongInfo song;
    while (db.ReadNextSong(song)) {
        paths.emplace_back(song.FileName());
    }
    return paths;
}

/// The existence check by listing folders.
void BM_FilesExistByListing(benchmark::State& state) {
    cCollection& collection =
        Collection(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    const std::vector<std::string> texts = SongPaths(collection);
    const std::vector<std::string_view> paths(texts.begin(), texts.end());
    for (auto _ : state) {
        benchmark::DoNotOptimize(FilesExist(paths));
    }
    SetCounters(state, collection);
}

/// The existence check by one stat() per song.
void BM_FilesExistByStat(benchmark::State& state) {
    cCollection& collection =
        Collection(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    const std::vector<std::string> texts = SongPaths(collection);
    for (auto _ : state) {
        size_t present = 0;
        for (const auto& path : texts) {
            present += FileExists(path);
        }
        benchmark::DoNotOptimize(present);
    }
    SetCounters(state, collection);
}

/// The catalogue's bytes, and where each of its records starts (found by their lengths).
struct cCatalogueBytes {
    std::string bytes;
    std::vector<size_t> records;

    explicit cCatalogueBytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        for (size_t at = 0; at + 5 <= bytes.size();) {
            records.push_back(at);
            uint32_t length;
            std::memcpy(&length, bytes.data() + at + 1, 4);
            at += 5 + length;
        }
    }
    void WriteTo(const std::string& path) const {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
};

/// Compaction of a catalogue whose every fourth record is deleted (25%): writing the new file,
/// flushing it, the rename and freeing the old master list. The load before it is not timed.
void BM_Compaction(benchmark::State& state) {
    cCollection& collection =
        Collection(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    cCatalogueBytes catalogue(collection.dbPath);
    for (size_t i = 3; i < catalogue.records.size(); i += 4) {
        catalogue.bytes[catalogue.records[i]] = 1;
    }
    const std::string path = collection.root + "/DB-compaction.txt";
    QuietMessages();
    for (auto _ : state) {
        state.PauseTiming();
        catalogue.WriteTo(path);
        // 75% live, 25% deleted: 2 × deleted < live, so the load does not compact by itself.
        if (!OpenSongsDatabase(path)) {
            state.SkipWithError("load failed");
            break;
        }
        state.ResumeTiming();
        CompactSongsDatabase(path);
    }
    state.counters["songs"] = collection.songs;
    state.counters["live"] = collection.songs - collection.songs / 4;
}

/// A start over a catalogue whose middle record is damaged (its FileName's byte count points
/// far beyond the file): the copy of the damaged file is kept, the whole records around it are
/// found again, written anew and loaded. Counters: the songs recovered, of the whole records.
void BM_RepairOneDamagedRecord(benchmark::State& state) {
    cCollection& collection =
        Collection(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    cCatalogueBytes catalogue(collection.dbPath);
    const uint32_t beyond = 0x7FFFFFF0u;
    std::memcpy(catalogue.bytes.data() + catalogue.records[catalogue.records.size() / 2] + 5,
                &beyond, 4);
    const std::string path = collection.root + "/DB-damaged.txt";
    QuietMessages();
    int recovered = 0;
    for (auto _ : state) {
        state.PauseTiming();
        catalogue.WriteTo(path);
        state.ResumeTiming();
        if (!OpenSongsDatabase(path)) {
            state.SkipWithError("repair failed");
            break;
        }
        state.PauseTiming();
        recovered = MasterSongList->Count();
        FreeAllSongs();
        for (const auto& entry : std::filesystem::directory_iterator(collection.root)) {
            if (entry.path().filename().string().rfind("DB-damaged.txt.", 0) == 0) {
                std::filesystem::remove(entry.path());
            }
        }
        state.ResumeTiming();
    }
    state.counters["whole"] = static_cast<double>(catalogue.records.size() - 1);
    state.counters["recovered"] = recovered;
}

/// The songs' paths of the collection, in catalogue order.
std::vector<std::string> CollectionPaths(int songs) {
    return SongPaths(Collection(songs, kAlbumFolders));
}

/// A .pls export of every song into a new file (removed before each run): the playlist file,
/// from the paths to the file on the disk.
void BM_ExportPlsNewFile(benchmark::State& state) {
    const std::vector<std::string> texts = CollectionPaths(static_cast<int>(state.range(0)));
    const std::vector<std::string_view> paths(texts.begin(), texts.end());
    const std::string playlist = NewBenchFolder("tunaria-pls") + "/all.pls";
    for (auto _ : state) {
        state.PauseTiming();
        ::unlink(playlist.c_str());
        state.ResumeTiming();
        WritePlaylist(playlist, paths, ePlaylistFormat::Pls);
    }
    struct stat info {};
    ::stat(playlist.c_str(), &info);
    state.counters["MB"] = static_cast<double>(info.st_size) / 1e6;
    std::filesystem::remove_all(std::filesystem::path(playlist).parent_path());
}

/// The same export into a playlist that holds as many entries already (its keys are
/// replaced in place, every other line kept).
void BM_ExportPlsIntoExistingFile(benchmark::State& state) {
    const std::vector<std::string> texts = CollectionPaths(static_cast<int>(state.range(0)));
    const std::vector<std::string_view> paths(texts.begin(), texts.end());
    const std::string playlist = NewBenchFolder("tunaria-pls") + "/all.pls";
    WritePlaylist(playlist, paths, ePlaylistFormat::Pls);
    for (auto _ : state) {
        WritePlaylist(playlist, paths, ePlaylistFormat::Pls);
    }
    std::filesystem::remove_all(std::filesystem::path(playlist).parent_path());
}

/// The DB.txt of the album-layout collection copied to a file of its own, for a benchmark
/// that changes it.
std::string WorkingCopy(const cCollection& collection, const std::string& name) {
    const std::string path = collection.root + "/" + name;
    std::filesystem::copy_file(collection.dbPath, path,
                               std::filesystem::copy_options::overwrite_existing);
    return path;
}

/// Three group changes of every song, as "Create groups per artist", "per album" and the group
/// window's OK over all songs write them, then the next start over the file they left.
/// Counters: the milliseconds of each batch, the catalogue's size after them and the next
/// start's milliseconds.
void BM_GroupBatchesThenStart(benchmark::State& state) {
    cCollection& collection = Collection(static_cast<int>(state.range(0)), kAlbumFolders);
    QuietMessages();
    const auto milliseconds = [](auto from) {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - from)
            .count();
    };
    double batches[3] = {};
    double start = 0;
    double sizeAfter = 0;
    for (auto _ : state) {
        const std::string path = WorkingCopy(collection, "DB-groups.txt");
        if (!OpenSongsDatabase(path)) {
            state.SkipWithError("load failed");
            break;
        }
        const std::vector<cSongInfo*> songs(MasterSongList->begin(), MasterSongList->end());
        cGroupList groups;
        const std::string groupFile = path + ".Groups.txt";
        auto at = std::chrono::steady_clock::now();
        CreateGroupsPerKey(eGroupKey::Artist, songs, groups, groupFile);
        batches[0] = milliseconds(at);
        at = std::chrono::steady_clock::now();
        CreateGroupsPerKey(eGroupKey::Album, songs, groups, groupFile);
        batches[1] = milliseconds(at);
        at = std::chrono::steady_clock::now();
        AssignGroups(songs, {"Favourites"});
        batches[2] = milliseconds(at);
        FreeAllSongs();
        struct stat info {};
        ::stat(path.c_str(), &info);
        sizeAfter = static_cast<double>(info.st_size) / 1e6;
        at = std::chrono::steady_clock::now();
        if (!OpenSongsDatabase(path)) {
            state.SkipWithError("the next start failed");
            break;
        }
        start = milliseconds(at);
        FreeAllSongs();
        ::unlink(path.c_str());
    }
    state.counters["artist_ms"] = batches[0];
    state.counters["album_ms"] = batches[1];
    state.counters["assign_ms"] = batches[2];
    state.counters["DB_MB_after"] = sizeAfter;
    state.counters["next_start_ms"] = start;
}

// Sizes and layouts: {songs, songs a folder}.
void Layouts(benchmark::internal::Benchmark* benchmark) {
    benchmark->Args({10000, kWideFolders})
        ->Args({100000, kWideFolders})
        ->Args({1000000, kWideFolders})
        ->Args({100000, kAlbumFolders})
        ->Args({1000000, kAlbumFolders})
        ->Unit(benchmark::kMillisecond);
}
void LargeLayouts(benchmark::internal::Benchmark* benchmark) {
    benchmark->Args({100000, kWideFolders})
        ->Args({1000000, kWideFolders})
        ->Args({1000000, kAlbumFolders})
        ->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_OpenSongsDatabase)->Apply(Layouts);
BENCHMARK(BM_ReadNextSongAll)->Apply(Layouts);
BENCHMARK(BM_BaselineUnbufferedRead)->Apply(Layouts);
BENCHMARK(BM_BaselineUnbufferedReadAndStat)->Apply(Layouts);
BENCHMARK(BM_FilesExistByListing)->Apply(LargeLayouts);
BENCHMARK(BM_FilesExistByStat)->Apply(LargeLayouts);
BENCHMARK(BM_Compaction)->Args({100000, kWideFolders})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RepairOneDamagedRecord)->Args({100000, kWideFolders})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportPlsNewFile)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportPlsIntoExistingFile)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GroupBatchesThenStart)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

int RunGroupBatches(int songs) {
    cCollection& collection = Collection(songs, kAlbumFolders);
    QuietMessages();
    const std::string path = WorkingCopy(collection, "DB-groups.txt");
    if (!OpenSongsDatabase(path)) {
        return 1;
    }
    const std::vector<cSongInfo*> all(MasterSongList->begin(), MasterSongList->end());
    cGroupList groups;
    const std::string groupFile = path + ".Groups.txt";
    CreateGroupsPerKey(eGroupKey::Artist, all, groups, groupFile);
    CreateGroupsPerKey(eGroupKey::Album, all, groups, groupFile);
    AssignGroups(all, {"Favourites"});
    FreeAllSongs();
    std::printf("%s\n", path.c_str());
    return 0;
}

/// Peak resident memory of loading the catalogue at the path, in a process that did nothing
/// else big.
int MeasurePeakRssOf(const std::string& dbPath, double recordBytes) {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const long before = usage.ru_maxrss;
    QuietMessages();
    const auto at = std::chrono::steady_clock::now();
    if (!OpenSongsDatabase(dbPath)) {
        return 1;
    }
    const double took =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - at).count();
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("songs loaded: %d (%.1f bytes a record) in %.0f ms\n", MasterSongList->Count(),
                recordBytes, took);
    std::printf("peak RSS before loading: %.1f MB\n", before / 1024.0);
    std::printf("peak RSS after loading:  %.1f MB\n", usage.ru_maxrss / 1024.0);
    FreeAllSongs();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    // --peak-rss=<songs>[/<songs a folder>]: peak memory of loading that collection.
    // --peak-rss-of=<DB.txt>: peak memory of loading that catalogue.
    const std::string peakFlag = "--peak-rss=";
    const std::string peakOfFlag = "--peak-rss-of=";
    if (argc == 2 && std::strncmp(argv[1], peakFlag.c_str(), peakFlag.size()) == 0) {
        const char* size = argv[1] + peakFlag.size();
        const char* slash = std::strchr(size, '/');
        const int songsPerFolder = slash != nullptr ? std::atoi(slash + 1) : kWideFolders;
        const std::unique_ptr<cCollection> collection =
            BuildCollection(std::atoi(size), songsPerFolder);
        return MeasurePeakRssOf(collection->dbPath, collection->recordBytes);
    }
    if (argc == 2 && std::strncmp(argv[1], peakOfFlag.c_str(), peakOfFlag.size()) == 0) {
        return MeasurePeakRssOf(argv[1] + peakOfFlag.size(), 0);
    }
    // --group-runs=<songs>: the three group changes of BM_GroupBatchesThenStart on a copy of the
    // album-layout catalogue, left in place for --peak-rss-of; prints its path.
    const std::string groupRunsFlag = "--group-runs=";
    if (argc == 2 && std::strncmp(argv[1], groupRunsFlag.c_str(), groupRunsFlag.size()) == 0) {
        return RunGroupBatches(std::atoi(argv[1] + groupRunsFlag.size()));
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
