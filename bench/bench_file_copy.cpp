// Copying 1,000 files of 1 MB into a folder, as a drop of a folder does, against `cp -r` of
// the same files in the same iteration. Both start from a flushed disk and an empty target.
#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "bench/bench_temp_folder.h"
#include "util/unitFileCopy.h"

extern char** environ;

namespace {

constexpr int kFiles = 1000;
constexpr size_t kFileBytes = 1 << 20;

/// A source folder of 1,000 files of 1 MB and a place for the copies, made once per run.
class cCopyFixture {
public:
    cCopyFixture() {
        m_Root = NewBenchFolder("tunaria-bench-copy");
        std::filesystem::create_directories(Source());
        std::string bytes(kFileBytes, '\0');
        for (int file = 0; file < kFiles; ++file) {
            for (size_t i = 0; i < bytes.size(); i += 64) {
                bytes[i] = static_cast<char>(file + i / 64);
            }
            std::ofstream(Source() + "/song" + std::to_string(file) + ".mp3", std::ios::binary)
                << bytes;
        }
    }
    ~cCopyFixture() { std::filesystem::remove_all(m_Root); }

    std::string Source() const { return m_Root + "/music"; }
    std::string Target() const { return m_Root + "/target"; }

    /// An empty target folder, the disk flushed, so no copy pays for the one before.
    void FreshTarget() const {
        std::filesystem::remove_all(Target());
        std::filesystem::create_directories(Target());
        ::sync();
    }
    /// Every file arrived whole.
    bool Complete() const {
        const std::string copied = Target() + "/music";
        int count = 0;
        for (const auto& entry : std::filesystem::directory_iterator(copied)) {
            if (entry.file_size() != kFileBytes) {
                return false;
            }
            ++count;
        }
        return count == kFiles;
    }

private:
    std::string m_Root;
};

cCopyFixture& Fixture() {
    static cCopyFixture fixture;
    return fixture;
}

class cSilentObserver final : public cCopyObserver {
public:
    bool CopyProgress(const cCopyStep&) override { return true; }
    eReplaceAnswer AskReplace(const std::string&) override { return eReplaceAnswer::Skip; }
};

/// `cp -r` of the source folder into the target folder; false when it failed.
bool CopyWithCp(const cCopyFixture& fixture) {
    const std::string source = fixture.Source();
    const std::string target = fixture.Target() + "/";
    char* argv[] = {const_cast<char*>("cp"), const_cast<char*>("-r"),
                    const_cast<char*>(source.c_str()), const_cast<char*>(target.c_str()), nullptr};
    pid_t child = 0;
    int status = 0;
    return ::posix_spawnp(&child, "cp", nullptr, nullptr, argv, environ) == 0 &&
           ::waitpid(child, &status, 0) == child && status == 0;
}

double MillisecondsOf(const std::function<bool()>& copy, bool& ok) {
    const auto start = std::chrono::steady_clock::now();
    ok = copy();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

/// Each iteration copies the folder twice from a flushed disk, with `cp -r` and with
/// CopyIntoFolder, so both meet the same load of the machine. The iteration time is the
/// program's copy; the counters give the time of cp and the ratio of the two.
void BM_CopyIntoFolderAgainstCp(benchmark::State& state) {
    const cCopyFixture& fixture = Fixture();
    cSilentObserver observer;
    double cpTotal = 0;
    double ownTotal = 0;
    for (auto _ : state) {
        bool ok = false;
        fixture.FreshTarget();
        cpTotal += MillisecondsOf([&] { return CopyWithCp(fixture); }, ok);
        if (!ok || !fixture.Complete()) {
            state.SkipWithError("cp failed");
            break;
        }
        fixture.FreshTarget();
        const double own = MillisecondsOf(
            [&] {
                return CopyIntoFolder({fixture.Source()}, fixture.Target() + "/", observer)
                    .Errors.empty();
            },
            ok);
        if (!ok || !fixture.Complete()) {
            state.SkipWithError("the copy failed");
            break;
        }
        ownTotal += own;
        state.SetIterationTime(own / 1000);
    }
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["cp_ms"] = cpTotal / iterations;
    state.counters["own_ms"] = ownTotal / iterations;
    state.counters["own_per_cp"] = ownTotal / cpTotal;
}
BENCHMARK(BM_CopyIntoFolderAgainstCp)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(6)
    ->UseManualTime();

} // namespace

BENCHMARK_MAIN();
