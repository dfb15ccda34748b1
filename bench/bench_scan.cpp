// Scanning a folder of 10,000 MP3 files (half of them tagged) into a fresh catalogue, scanning
// it again when every file is known, and scanning it when all but one are known; and, for
// comparison, reading the same files' tags with TagLib when it is available.

#include <benchmark/benchmark.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "catalogue/unitFolderScan.h"
#include "catalogue/unitSongUtils.h"
#include "catalogue/unitSongsDatabaseClass.h"

#ifdef TUNARIA_HAVE_TAGLIB
#include <fileref.h>
#include <tag.h>
#endif

namespace {
constexpr int kFileCount = 10'000;
constexpr int kFramesPerFile = 10;

std::string TagBlock(int index) {
    std::string block(128, ' ');
    const std::string title = "Title " + std::to_string(index);
    block.replace(0, 3, "TAG");
    block.replace(3, title.size(), title);
    block.replace(33, 6, "Artist");
    block.replace(63, 5, "Album");
    block.replace(93, 4, "2001");
    return block;
}

// A few MPEG-1 Layer III frames (128 kbit/s, 44.1 kHz, 417 bytes each) of silence-like bytes.
std::string AudioBytes() {
    std::string frame(417, '\0');
    frame[0] = '\xFF';
    frame[1] = '\xFB';
    frame[2] = '\x90';
    frame[3] = '\x64';
    std::string audio;
    for (int i = 0; i < kFramesPerFile; ++i) {
        audio += frame;
    }
    return audio;
}

// A folder of kFileCount MP3 files, every second one tagged, made once per run.
class cBenchFolder {
public:
    cBenchFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tunaria-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        m_Root = pattern + "/";
        m_Music = m_Root + "music/";
        std::filesystem::create_directory(m_Music);
        const std::string audio = AudioBytes();
        for (int i = 0; i < kFileCount; ++i) {
            std::ofstream out(m_Music + "Artist_" + std::to_string(i % 97) + " - Song_" +
                                  std::to_string(i) + ".mp3",
                              std::ios::binary);
            out << audio;
            if (i % 2 == 0) {
                out << TagBlock(i);
            }
        }
    }
    ~cBenchFolder() {
        if (SongsDatabase != nullptr) {
            FreeAllSongs();
        }
        std::filesystem::remove_all(m_Root);
    }

    const std::string& Music() const { return m_Music; }
    std::string Catalogue() const { return m_Root + "DB.txt"; }

    // Closes any open catalogue and opens an empty one.
    void FreshCatalogue() const {
        if (SongsDatabase != nullptr) {
            FreeAllSongs();
        }
        std::filesystem::remove(Catalogue());
        OpenSongsDatabase(Catalogue());
    }

private:
    std::string m_Root;
    std::string m_Music;
};

cBenchFolder& Folder() {
    static cBenchFolder folder;
    return folder;
}

void BM_ScanNewFolder(benchmark::State& state) {
    cBenchFolder& folder = Folder();
    folder.FreshCatalogue();
    ScanFolder(folder.Music()); // warms the cache
    for (auto _ : state) {
        state.PauseTiming();
        folder.FreshCatalogue();
        state.ResumeTiming();
        ScanFolder(folder.Music());
    }
    state.counters["songs"] = MasterSongList->Count();
}
BENCHMARK(BM_ScanNewFolder)->Unit(benchmark::kMillisecond);

void BM_ScanKnownFolder(benchmark::State& state) {
    cBenchFolder& folder = Folder();
    folder.FreshCatalogue();
    ScanFolder(folder.Music());
    for (auto _ : state) {
        ScanFolder(folder.Music());
    }
    state.counters["songs"] = MasterSongList->Count();
}
BENCHMARK(BM_ScanKnownFolder)->Unit(benchmark::kMillisecond);

// 9,999 known files and one new: each round renames the one file so that it is new again.
void BM_ScanOneNewAmongKnown(benchmark::State& state) {
    cBenchFolder& folder = Folder();
    folder.FreshCatalogue();
    const std::string first = folder.Music() + "Artist_0 - Song_0.mp3";
    std::string current = folder.Music() + "Extra 0.mp3";
    std::filesystem::rename(first, current);
    ScanFolder(folder.Music());
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string next = folder.Music() + "Extra " + std::to_string(++round) + ".mp3";
        std::filesystem::rename(current, next);
        current = next;
        state.ResumeTiming();
        ScanFolder(folder.Music());
    }
    std::filesystem::rename(current, first);
    state.counters["songs"] = MasterSongList->Count();
}
BENCHMARK(BM_ScanOneNewAmongKnown)->Unit(benchmark::kMillisecond);

// The reading part of a scan alone, without the catalogue.
void BM_ReadSongFromFileOnly(benchmark::State& state) {
    cBenchFolder& folder = Folder();
    std::vector<std::string> paths;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Music())) {
        paths.push_back(entry.path().string());
    }
    for (auto _ : state) {
        for (const auto& path : paths) {
            cSongInfo song;
            ReadSongFromFile(path, song);
            benchmark::DoNotOptimize(song.Title().size());
        }
    }
}
BENCHMARK(BM_ReadSongFromFileOnly)->Unit(benchmark::kMillisecond);

#ifdef TUNARIA_HAVE_TAGLIB
void ReadWithTagLib(benchmark::State& state, bool audioProperties) {
    cBenchFolder& folder = Folder();
    std::vector<std::string> paths;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Music())) {
        paths.push_back(entry.path().string());
    }
    for (auto _ : state) {
        for (const auto& path : paths) {
            const TagLib::FileRef file(path.c_str(), audioProperties);
            if (!file.isNull() && file.tag() != nullptr) {
                const TagLib::Tag* tag = file.tag();
                benchmark::DoNotOptimize(tag->title().size() + tag->artist().size() +
                                         tag->album().size() + tag->comment().size() + tag->year());
            }
        }
    }
}

void BM_TagLibFileRef(benchmark::State& state) {
    ReadWithTagLib(state, true);
}
BENCHMARK(BM_TagLibFileRef)->Unit(benchmark::kMillisecond);

void BM_TagLibFileRefWithoutAudioProperties(benchmark::State& state) {
    ReadWithTagLib(state, false);
}
BENCHMARK(BM_TagLibFileRefWithoutAudioProperties)->Unit(benchmark::kMillisecond);
#endif
} // namespace

BENCHMARK_MAIN();
