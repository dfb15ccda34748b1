// Drives that come back: what a mount event costs with a million songs, 100,000 of them kept
// aside on a drive that is not plugged in, when nothing of theirs came back.
//
//   BM_MountElsewhere        a stick mounted at a folder that concerns no kept song
//   BM_MountAboveTheDrive    a file system mounted above the drive's mount point: the drive's
//                            way in is looked at once (it is still not there)
//   BM_FirstMountEvent       the first event after the start, which also finds the way in of
//                            every kept folder (5,000 album folders)
//   BM_CheckEveryKeptFolder  the plain alternative: every kept folder looked at on each event
//                            (one existence check over all 100,000 kept songs)
//   BM_SpreadOut             the worst case: 100,000 kept songs, each in an album folder of its
//                            own that was deleted (100,000 ways in), a mount above them all
//   BM_ReadMountTable/N      reading and comparing a mount table of N entries

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_temp_folder.h"
#include "catalogue/unitOfflineSongs.h"
#include "catalogue/unitSongUtils.h"
#include "util/unitMountTable.h"

namespace {

constexpr int kSongs = 1'000'000;
constexpr int kOffline = 100'000;

/// An open (empty) catalogue with kSongs - kOffline songs in the master list and kOffline kept
/// aside under root + "/media/Disk", `perFolder` songs a folder.
class cCollection {
public:
    explicit cCollection(int perFolder) : m_Root(NewBenchFolder("tunaria-drives")) {
        std::filesystem::create_directories(m_Root + "/media/Other");
        FreeAllSongs();
        OpenSongsDatabase(m_Root + "/DB.txt");
        MasterSongList->Reserve(kSongs - kOffline);
        for (int i = 0; i < kSongs - kOffline; ++i) {
            cSongInfo* song = NewSongInfo();
            song->SetFileName(m_Root + "/music/Artist " + std::to_string(i / 200) + "/Album " +
                              std::to_string(i / 20) + "/song " + std::to_string(i) + ".mp3");
            song->MasterIndex = MasterSongList->Count();
            MasterSongList->Add(song);
        }
        Keep(perFolder);
    }
    ~cCollection() {
        FreeAllSongs();
        std::filesystem::remove_all(m_Root);
    }

    /// Kept songs as a start leaves them (their ways in not found yet).
    void Keep(int perFolder) {
        OfflineSongs.Clear();
        for (int i = 0; i < kOffline; ++i) {
            cSongInfo* song = NewSongInfo();
            song->SetFileName(Root() + "/media/Disk/Music/Album " + std::to_string(i / perFolder) +
                              "/song " + std::to_string(i) + ".mp3");
            song->Position = i;
            OfflineSongs.Keep(song);
        }
    }
    const std::string& Root() const { return m_Root; }

private:
    std::string m_Root;
};

void Expect(benchmark::State& state, bool ok) {
    if (!ok) {
        state.SkipWithError("songs came back that should not");
    }
}

void BM_MountElsewhere(benchmark::State& state) {
    cCollection collection(20);
    const std::vector<std::string> changed = {collection.Root() + "/media/Other"};
    ReviveOfflineSongsAfterMounts(changed); // ways in found once
    for (auto _ : state) {
        Expect(state, ReviveOfflineSongsAfterMounts(changed).empty());
    }
}

void BM_MountAboveTheDrive(benchmark::State& state) {
    cCollection collection(20);
    const std::vector<std::string> changed = {collection.Root() + "/media"};
    ReviveOfflineSongsAfterMounts(changed);
    for (auto _ : state) {
        Expect(state, ReviveOfflineSongsAfterMounts(changed).empty());
    }
}

void BM_FirstMountEvent(benchmark::State& state) {
    cCollection collection(20);
    const std::vector<std::string> changed = {collection.Root() + "/media"};
    for (auto _ : state) {
        state.PauseTiming();
        collection.Keep(20);
        state.ResumeTiming();
        Expect(state, ReviveOfflineSongsAfterMounts(changed).empty());
    }
}

void BM_CheckEveryKeptFolder(benchmark::State& state) {
    cCollection collection(20);
    std::vector<std::string> folders;
    for (int album = 0; album < kOffline / 20; ++album) {
        folders.push_back(collection.Root() + "/media/Disk/Music/Album " + std::to_string(album));
    }
    for (auto _ : state) {
        Expect(state, ReviveOfflineFolders(folders).empty());
    }
}

void BM_SpreadOut(benchmark::State& state) {
    cCollection collection(1);
    std::filesystem::create_directories(collection.Root() + "/media/Disk/Music");
    const std::vector<std::string> changed = {collection.Root() + "/media"};
    ReviveOfflineSongsAfterMounts(changed);
    for (auto _ : state) {
        Expect(state, ReviveOfflineSongsAfterMounts(changed).empty());
    }
}

void BM_ReadMountTable(benchmark::State& state) {
    std::string table;
    for (int i = 0; i < state.range(0); ++i) {
        table += std::to_string(100 + i) + " 1 0:" + std::to_string(i) + " / /srv/share\\040" +
                 std::to_string(i) + " rw,relatime - tmpfs tmpfs rw\n";
    }
    const std::vector<cMountEntry> before = ParseMountTable(table);
    for (auto _ : state) {
        benchmark::DoNotOptimize(ChangedMountPoints(before, ParseMountTable(table)));
    }
}

} // namespace

BENCHMARK(BM_MountElsewhere)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MountAboveTheDrive)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstMountEvent)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CheckEveryKeptFolder)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SpreadOut)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadMountTable)->Arg(50)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
