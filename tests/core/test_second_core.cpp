#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "util/unitSecondCore.h"

namespace {

// Every piece runs exactly once, whatever the count, call after call and from two callers at
// once (the second waits for the first's helper).
TEST(ForEachOnTwoCores, EveryPieceRunsExactlyOnce) {
    for (const size_t count : {0u, 1u, 2u, 3u, 1000u}) {
        for (int call = 0; call < 50; ++call) {
            std::vector<std::atomic<int>> runs(count);
            ForEachOnTwoCores(count, [&runs](size_t i) { runs[i].fetch_add(1); });
            for (size_t i = 0; i < count; ++i) {
                ASSERT_EQ(runs[i].load(), 1) << "piece " << i << " of " << count;
            }
        }
    }
    std::vector<std::atomic<int>> first(5000);
    std::vector<std::atomic<int>> second(5000);
    std::thread other([&second] {
        ForEachOnTwoCores(second.size(), [&second](size_t i) { second[i].fetch_add(1); });
    });
    ForEachOnTwoCores(first.size(), [&first](size_t i) { first[i].fetch_add(1); });
    other.join();
    for (size_t i = 0; i < first.size(); ++i) {
        ASSERT_EQ(first[i].load(), 1);
        ASSERT_EQ(second[i].load(), 1);
    }
}

// The call returns only when the pieces the helper took are finished too.
TEST(ForEachOnTwoCores, ReturnsOnlyWhenEveryPieceHasFinished) {
    for (int call = 0; call < 20; ++call) {
        std::atomic<int> finished{0};
        ForEachOnTwoCores(64, [&finished](size_t) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            finished.fetch_add(1);
        });
        ASSERT_EQ(finished.load(), 64);
    }
}

} // namespace
