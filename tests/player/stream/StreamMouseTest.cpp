// The pointer as the machine sees it: absolute positions scaled to 0..65535 while the
// cursor is free, deltas with a clamped virtual position while it is locked, a silent
// re-centring event when the lock changes, and nothing for a window without size.

#include <gtest/gtest.h>

#include "player/stream/StreamMouse.h"

TEST(StreamMouse, AbsolutePositionsScaleToTheWindowAndClampAtItsEdges) {
    struct Case {
        double x, y;
        std::int32_t rx, ry;
    } cases[] = {
        {0, 0, 0, 0},
        {640, 360, 32767, 32767},
        {1280, 720, 65535, 65535},
        // A pointer dragged outside the window neither wraps nor goes negative.
        {1500, 900, 65535, 65535},
        {-20, -5, 0, 0},
    };
    StreamMouse mouse;
    for (const Case& c : cases) {
        StreamMouse::Move m;
        ASSERT_TRUE(mouse.onCursor(c.x, c.y, 1280, 720, false, m));
        EXPECT_TRUE(m.absolute);
        EXPECT_EQ(m.x, c.rx) << c.x;
        EXPECT_EQ(m.y, c.ry) << c.y;
        EXPECT_EQ(mouse.remoteX(), c.rx);
    }
    EXPECT_EQ(StreamMouse::toRemote(5, 0), 0);
}

TEST(StreamMouse, RelativeModeSendsDeltasWithAClampedVirtualPosition) {
    StreamMouse mouse;
    StreamMouse::Move m;
    ASSERT_TRUE(mouse.onCursor(1270, 100, 1280, 720, false, m));

    // The lock changes: the first event only re-centres and asks to put the cursor back.
    EXPECT_FALSE(mouse.onCursor(300, 300, 1280, 720, true, m));
    EXPECT_TRUE(mouse.warpPending());
    EXPECT_EQ(mouse.warpX(), 1270);
    mouse.clearWarp();

    ASSERT_TRUE(mouse.onCursor(1290, 110, 1280, 720, true, m));
    EXPECT_FALSE(m.absolute);
    EXPECT_EQ(m.dx, 20);
    EXPECT_EQ(m.dy, 10);
    EXPECT_EQ(m.x, 65535) << "the virtual position stops at the right edge";

    // Further right: still the edge, with a positive delta.
    ASSERT_TRUE(mouse.onCursor(1300, 110, 1280, 720, true, m));
    EXPECT_EQ(m.dx, 10);
    EXPECT_EQ(m.x, 65535);

    // Unlocking re-centres once more before absolute positions resume.
    EXPECT_FALSE(mouse.onCursor(10, 10, 1280, 720, false, m));
    ASSERT_TRUE(mouse.onCursor(10, 10, 1280, 720, false, m));
    EXPECT_TRUE(m.absolute);
    EXPECT_EQ(m.x, 511);
}

TEST(StreamMouse, AWindowWithoutSizeSendsNothing) {
    StreamMouse mouse;
    StreamMouse::Move m;
    EXPECT_FALSE(mouse.onCursor(10, 10, 0, 720, false, m));
    EXPECT_FALSE(mouse.onCursor(10, 10, 1280, 0, false, m));
    EXPECT_EQ(mouse.remoteX(), 0);
}

TEST(StreamMouse, ButtonsFollowTheMachinesNumbering) {
    const int expected[] = {0, 2, 1, 3, 4, 0, 0};
    for (int b = 0; b < 7; ++b) EXPECT_EQ(remoteMouseButton(b), expected[b]) << b;
}
