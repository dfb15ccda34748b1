// Whole music trees and drives that come and go, over a warm tree of 100,000 MP3 files (each
// with an ID3v1 tag) in 5,000 folders: 100 artists of 50 albums of 20 songs.
//
//   BM_ImportTree            "Add folder and subfolders to the collection" into an empty
//                            catalogue: the walk, one index of known files for all folders
//   BM_ImportTreeByScans     the plain alternative: every folder of the tree scanned with
//                            ScanFolder, which asks the master list for the folder's known
//                            songs each time
//   BM_StartWithOffline/N    the start-up load of the catalogue of all 100,000 songs while
//                            N % of them are out of reach (N % of the artists' folders renamed
//                            away, as a drive that is not plugged in)
//
// With TUNARIA_BENCH_KEEP=<folder> the tree is built once in that folder and reused.

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "bench/bench_temp_folder.h"
#include "catalogue/unitFolderImport.h"
#include "catalogue/unitFolderScan.h"
#include "catalogue/unitOfflineSongs.h"
#include "catalogue/unitSongUtils.h"
#include "util/unitMessages.h"

namespace {

constexpr int kArtists = 100;
constexpr int kAlbums = 50;
constexpr int kSongsPerAlbum = 20;
constexpr int kSongs = kArtists * kAlbums * kSongsPerAlbum;

std::string TagOf(int artist, int album, int song) {
    std::string tag(128, ' ');
    const auto put = [&tag](size_t at, const std::string& text) {
        tag.replace(at, text.size(), text);
    };
    put(0, "TAG");
    put(3, "Song " + std::to_string(song));
    put(33, "Artist " + std::to_string(artist));
    put(63, "Album " + std::to_string(album));
    put(93, "1999");
    return tag;
}

/// The tree on disk and a catalogue of all its songs, built once.
struct cTree {
    std::string root;
    std::string music;
    std::string fullCatalogue; ///< DB.txt bytes holding every song
    bool keep = false;

    ~cTree() {
        if (!keep && !root.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(root, ignored);
        }
    }
    std::string Artist(int artist) const { return music + "/Artist " + std::to_string(artist); }
    std::string DbPath() const { return root + "/DB.txt"; }
};

void BuildFiles(const cTree& tree) {
    const std::string audio(2000, '\x55');
    for (int artist = 0; artist < kArtists; ++artist) {
        for (int album = 0; album < kAlbums; ++album) {
            const std::string folder = tree.Artist(artist) + "/Album " + std::to_string(album);
            std::filesystem::create_directories(folder);
            for (int song = 0; song < kSongsPerAlbum; ++song) {
                std::ofstream(folder + "/" + std::to_string(song) + " - Song.mp3", std::ios::binary)
                    << audio << TagOf(artist, album, song);
            }
        }
    }
}

void QuietMessages() {
    SetMessageSink(
        [](const std::string& text) { std::fprintf(stderr, "message: %s\n", text.c_str()); });
}

bool AlwaysGoOn(const cImportProgress&) {
    return true;
}

cTree& Tree() {
    static const std::unique_ptr<cTree> tree = [] {
        auto built = std::make_unique<cTree>();
        if (const char* keep = std::getenv("TUNARIA_BENCH_KEEP"); keep != nullptr && *keep) {
            built->keep = true;
            built->root = std::string(keep) + "/music-tree";
        } else {
            built->root = NewBenchFolder();
        }
        built->music = built->root + "/music";
        if (!std::filesystem::exists(built->root + "/complete")) {
            BuildFiles(*built);
            std::ofstream(built->root + "/complete") << "built\n";
        }
        QuietMessages();
        std::filesystem::remove(built->DbPath());
        OpenSongsDatabase(built->DbPath());
        ImportFolderTree(built->music, AlwaysGoOn);
        FreeAllSongs();
        std::ifstream in(built->DbPath(), std::ios::binary);
        built->fullCatalogue.assign(std::istreambuf_iterator<char>(in), {});
        return built;
    }();
    return *tree;
}

/// An empty catalogue, open.
bool OpenEmptyCatalogue(const cTree& tree) {
    FreeAllSongs();
    std::filesystem::remove(tree.DbPath());
    return OpenSongsDatabase(tree.DbPath());
}

/// Times `add` bringing the whole tree into an empty catalogue; it answers how many songs the
/// catalogue then knows.
template <typename Add> void TimeAddingTheTree(benchmark::State& state, Add add) {
    const cTree& tree = Tree();
    for (auto _ : state) {
        state.PauseTiming();
        OpenEmptyCatalogue(tree);
        state.ResumeTiming();
        if (add(tree) != kSongs) {
            state.SkipWithError("not every song was found");
            break;
        }
    }
    FreeAllSongs();
    state.counters["songs"] = kSongs;
}

void BM_ImportTree(benchmark::State& state) {
    TimeAddingTheTree(state, [](const cTree& tree) {
        return ImportFolderTree(tree.music, AlwaysGoOn).SongsFound;
    });
}

void BM_ImportTreeByScans(benchmark::State& state) {
    TimeAddingTheTree(state, [](const cTree& tree) {
        ScanFolder(tree.music);
        for (const auto& entry : std::filesystem::recursive_directory_iterator(tree.music)) {
            if (entry.is_directory()) {
                ScanFolder(entry.path().string());
            }
        }
        return MasterSongList->Count();
    });
}

void BM_StartWithOffline(benchmark::State& state) {
    const cTree& tree = Tree();
    const int awayArtists = static_cast<int>(state.range(0)) * kArtists / 100;
    const auto moveArtists = [&](bool away) {
        for (int artist = 0; artist < awayArtists; ++artist) {
            const std::string there = tree.Artist(artist);
            const std::string gone = tree.root + "/unplugged " + std::to_string(artist);
            std::filesystem::rename(away ? there : gone, away ? gone : there);
        }
    };
    FreeAllSongs();
    std::ofstream(tree.DbPath(), std::ios::binary | std::ios::trunc) << tree.fullCatalogue;
    moveArtists(true);
    for (auto _ : state) {
        if (!OpenSongsDatabase(tree.DbPath()) ||
            MasterSongList->Count() + OfflineSongs.Count() != kSongs) {
            state.SkipWithError("load failed");
            break;
        }
        state.PauseTiming();
        state.counters["offline"] = OfflineSongs.Count();
        FreeAllSongs();
        state.ResumeTiming();
    }
    moveArtists(false);
    state.counters["songs"] = kSongs;
}

BENCHMARK(BM_ImportTree)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ImportTreeByScans)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_StartWithOffline)->Arg(0)->Arg(10)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
