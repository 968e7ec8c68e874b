#include "core/Random.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

TEST(Random, SeededSequenceIsTheClassicOne) {
    seedRandom(1);
    const int expected[] = {41, 18467, 6334, 26500, 19169};
    for (int e : expected) EXPECT_EQ(nextRandom(), e);

    seedRandom(12345);
    std::vector<int> first;
    for (int i = 0; i < 10; ++i) first.push_back(nextRandom());
    seedRandom(12345);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(nextRandom(), first[i]);
}

TEST(Random, StaysInFifteenBitsAndCoversTheRange) {
    seedRandom(7);
    int lowest = kRandomMax, highest = 0;
    for (int i = 0; i < 100000; ++i) {
        const int v = nextRandom();
        ASSERT_GE(v, 0);
        ASSERT_LE(v, kRandomMax);
        lowest = std::min(lowest, v);
        highest = std::max(highest, v);
    }
    EXPECT_LT(lowest, 10);
    EXPECT_GT(highest, kRandomMax - 10);
}

TEST(Random, InjectedSourceIsMaskedAndRemovable) {
    int next = 0;
    setRandomSource([&next] { return next++ == 0 ? 5 : 0x18001; });
    EXPECT_EQ(nextRandom(), 5);
    EXPECT_EQ(nextRandom(), 1);
    setRandomSource(nullptr);
    seedRandom(1);
    EXPECT_EQ(nextRandom(), 41);
}

TEST(Random, ConcurrentDrawsAreAllValid) {
    seedRandom(3);
    std::vector<std::thread> threads;
    std::atomic<bool> bad{false};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&bad] {
            for (int i = 0; i < 10000; ++i) {
                const int v = nextRandom();
                if (v < 0 || v > kRandomMax) bad = true;
            }
        });
    for (auto& th : threads) th.join();
    EXPECT_FALSE(bad);
}
