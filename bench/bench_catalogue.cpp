// Loading, compacting and repairing the catalogue with synthetic collections of 10k, 100k and
// 1M songs.
//
// Each collection is a DB.txt of about 130 bytes a record plus one empty file per song, in
// folders of 300 songs, under a temporary folder; building the 1M collection creates a million
// files and takes a while. Baselines: a reader that does one unbuffered read() per field, and
// the existence check as one stat() per song.
//
//   bench_catalogue [google benchmark flags]
//   bench_catalogue --peak-rss=1000000   peak memory of loading that many songs, then exits
//
// With TUNARIA_BENCH_KEEP=<folder> the collections are built once in that folder (one
// subfolder per size) and reused by later runs instead of being removed.

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

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

#include "bench/bench_temp_folder.h"
#include "catalogue/unitFileExistence.h"
#include "catalogue/unitSongUtils.h"
#include "util/unitMessages.h"

namespace {

constexpr uint64_t kRandomStart = 20240521;
constexpr int kSongsPerFolder = 300;

const char* const kWords[] = {
    "Love",  "Night", "Blue",   "River", "Fire",   "Heart", "Road",  "Rain",  "Gold",  "Stone",
    "Light", "Dream", "Summer", "Wild",  "Moon",   "Time",  "Home",  "Dance", "Sky",   "Ghost",
    "Sweet", "Black", "Little", "Train", "Angel",  "Star",  "Ocean", "City",  "Blood", "Shadow",
    "Free",  "Lost",  "Crazy",  "Bird",  "Silver", "Storm", "Queen", "King",  "Glass", "Paper"};

std::string Words(std::mt19937_64& random, int minimum, int maximum) {
    std::uniform_int_distribution<int> count(minimum, maximum);
    std::uniform_int_distribution<size_t> word(0, std::size(kWords) - 1);
    std::string text;
    for (int i = count(random); i > 0; --i) {
        if (!text.empty()) {
            text += ' ';
        }
        text += kWords[word(random)];
    }
    return text;
}

/// A collection on disk: DB.txt plus an empty file for every song. Built once per size and
/// removed at exit unless it is kept.
struct cCollection {
    std::string root;
    std::string dbPath;
    int songs = 0;
    double recordBytes = 0; ///< average size of a whole record
    bool keep = false;

    ~cCollection() {
        if (!root.empty() && !keep) {
            std::error_code ignored;
            std::filesystem::remove_all(root, ignored);
        }
    }
};

/// Writes the catalogue straight to the file and creates each song's file on the way; keeps
/// nothing in memory, so measuring the load's peak memory afterwards is not disturbed.
std::unique_ptr<cCollection> BuildCollection(int songs) {
    auto collection = std::make_unique<cCollection>();
    collection->songs = songs;
    if (const char* keep = std::getenv("TUNARIA_BENCH_KEEP"); keep != nullptr && *keep != 0) {
        collection->keep = true;
        collection->root = std::string(keep) + "/songs-" + std::to_string(songs);
        collection->dbPath = collection->root + "/DB.txt";
        const std::string done = collection->root + "/complete";
        struct stat info {};
        if (::stat(done.c_str(), &info) == 0 && ::stat(collection->dbPath.c_str(), &info) == 0) {
            collection->recordBytes = static_cast<double>(info.st_size) / songs;
            return collection;
        }
        std::filesystem::remove_all(collection->root);
        std::filesystem::create_directories(collection->root);
    } else {
        collection->root = NewBenchFolder();
        collection->dbPath = collection->root + "/DB.txt";
    }
    std::mt19937_64 random(kRandomStart);
    std::uniform_int_distribution<int> percent(0, 99);
    cSongsDatabase db;
    db.Open(collection->dbPath);
    std::vector<cSongInfo*> block;
    std::vector<std::unique_ptr<cSongInfo>> owned;
    std::string folder, artist, album, year;
    for (int i = 0; i < songs; ++i) {
        if (i % kSongsPerFolder == 0) {
            artist = Words(random, 1, 1);
            album = Words(random, 1, 1);
            year = std::to_string(1960 + percent(random) % 60);
            folder = collection->root + "/" + std::to_string(i / kSongsPerFolder / 10) + "/" +
                     album + " " + std::to_string(i / kSongsPerFolder);
            std::filesystem::create_directories(folder);
        }
        const std::string title = Words(random, 1, 2);
        const std::string path =
            folder + "/" + std::to_string(i % kSongsPerFolder) + " " + title + ".mp3";
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) {
            std::perror(path.c_str());
            std::exit(1);
        }
        ::close(fd);
        auto song = std::make_unique<cSongInfo>();
        song->SetTexts(path, title, artist, album, percent(random) < 30 ? "ripped" : "", year);
        song->Views = percent(random) < 50 ? 0 : percent(random);
        song->Size = 3000000 + percent(random) * 50000;
        song->Date = 36000 + percent(random) * 90.5;
        if (percent(random) < 10) {
            song->Groups = {"Rock"};
            if (percent(random) < 50) {
                song->Groups.push_back("Live");
            }
        }
        block.push_back(song.get());
        owned.push_back(std::move(song));
        if (block.size() == 4096 || i + 1 == songs) {
            if (!db.AddSongEntries(block)) {
                std::exit(1);
            }
            block.clear();
            owned.clear();
        }
    }
    collection->recordBytes = static_cast<double>(db.GetSize()) / songs;
    if (collection->keep) {
        std::ofstream(collection->root + "/complete") << "built\n";
    }
    return collection;
}

cCollection& Collection(int songs) {
    static std::map<int, std::unique_ptr<cCollection>> built;
    auto& slot = built[songs];
    if (!slot) {
        slot = BuildCollection(songs);
    }
    return *slot;
}

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
    cCollection& collection = Collection(static_cast<int>(state.range(0)));
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
    cCollection& collection = Collection(static_cast<int>(state.range(0)));
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
    cCollection& collection = Collection(static_cast<int>(state.range(0)));
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
    cCollection& collection = Collection(static_cast<int>(state.range(0)));
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
    cCollection& collection = Collection(static_cast<int>(state.range(0)));
    const std::vector<std::string> texts = SongPaths(collection);
    const std::vector<std::string_view> paths(texts.begin(), texts.end());
    for (auto _ : state) {
        benchmark::DoNotOptimize(FilesExist(paths));
    }
    SetCounters(state, collection);
}

/// The existence check by one stat() per song.
void BM_FilesExistByStat(benchmark::State& state) {
    cCollection& collection = Collection(static_cast<int>(state.range(0)));
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
    cCollection& collection = Collection(static_cast<int>(state.range(0)));
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
    cCollection& collection = Collection(static_cast<int>(state.range(0)));
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

BENCHMARK(BM_OpenSongsDatabase)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadNextSongAll)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BaselineUnbufferedRead)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BaselineUnbufferedReadAndStat)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilesExistByListing)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilesExistByStat)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Compaction)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RepairOneDamagedRecord)->Arg(100000)->Unit(benchmark::kMillisecond);

/// Peak resident memory of loading `songs` songs, in a process that did nothing else big.
int MeasurePeakRss(int songs) {
    const std::unique_ptr<cCollection> collection = BuildCollection(songs);
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const long before = usage.ru_maxrss;
    QuietMessages();
    if (!OpenSongsDatabase(collection->dbPath)) {
        return 1;
    }
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("songs loaded: %d (%.1f bytes a record)\n", MasterSongList->Count(),
                collection->recordBytes);
    std::printf("peak RSS before loading: %.1f MB\n", before / 1024.0);
    std::printf("peak RSS after loading:  %.1f MB\n", usage.ru_maxrss / 1024.0);
    FreeAllSongs();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string peakFlag = "--peak-rss=";
    if (argc == 2 && std::strncmp(argv[1], peakFlag.c_str(), peakFlag.size()) == 0) {
        return MeasurePeakRss(std::atoi(argv[1] + peakFlag.size()));
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
