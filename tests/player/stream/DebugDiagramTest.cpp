// Where the timing diagram puts its bars: newest at the left at 0.004 pixels per
// collector unit, nothing for records at or after the reference, and an interval that
// ends after the reference starts at the left edge instead of wrapping to a huge x.

#include <gtest/gtest.h>

#include "player/stream/DebugDiagram.h"

namespace {
CollectorRecord record(std::uint64_t start, std::uint64_t end) {
    CollectorRecord r;
    r.startTime = start;
    r.endTime = end;
    r.duration = end - start;
    return r;
}
}  // namespace

TEST(DebugDiagram, IntervalBarsSitAtTheirEndAndSpanTheirDuration) {
    struct Case {
        std::uint64_t start, end;
        bool drawn;
        int x, width;
    } cases[] = {
        {5000, 7500, true, 10, 10},
        {9000, 10000, true, 0, 4},
        // Started before the reference, ended after it: clamped to the left edge.
        {9000, 12000, true, 0, 12},
        {10000, 11000, false, 0, 0},
        {20000, 25000, false, 0, 0},
        {0, 2500, true, 30, 10},
    };
    for (const Case& c : cases) {
        DiagramBar bar;
        ASSERT_EQ(intervalBar(10000, record(c.start, c.end), bar), c.drawn) << c.start;
        if (!c.drawn) continue;
        EXPECT_EQ(bar.x, c.x) << c.start;
        EXPECT_EQ(bar.width, c.width) << c.start;
    }
}

TEST(DebugDiagram, FrameBarsAreOnePixelWideAtTheFramesStart) {
    DiagramBar bar;
    ASSERT_TRUE(frameBar(10000, record(7500, 7600), bar));
    EXPECT_EQ(bar.x, 10);
    EXPECT_EQ(bar.width, 1);
    EXPECT_FALSE(frameBar(10000, record(10000, 10100), bar));
    // Times beyond the signed range do not wrap either.
    ASSERT_TRUE(frameBar(UINT64_MAX, record(0, 1), bar));
    EXPECT_GE(bar.x, 0);
}
