// The fixed-aspect window's arithmetic and focus logic, without a display.

#include <gtest/gtest.h>

#include "shell/FixedResizableWindow.h"
#include "platform/KeyboardGrab.h"

namespace {

class FakeGrab : public platform::IKeyboardGrab {
public:
    explicit FakeGrab(int& grabs, int& doubleGrabs) : grabs_(grabs), doubleGrabs_(doubleGrabs) {}
    bool grab() override {
        if (grabbed_) doubleGrabs_++;
        grabbed_ = true;
        grabs_++;
        return true;
    }
    void release() override { grabbed_ = false; }
    bool isGrabbed() const override { return grabbed_; }

private:
    int& grabs_;
    int& doubleGrabs_;
    bool grabbed_ = false;
};

class Window : public FixedResizableWindow {
public:
    void Command(int) override {}
};

}  // namespace

TEST(FixedResizableWindow, SnapsToTheNearestAllowedSize) {
    struct Case {
        int w, h, mode;
        LogicalSize want;
    };
    const Case cases[] = {
        {1300, 720, 1, {1280, 720}},    // side drag: width decides, height weighs 0.1
        {1340, 720, 1, {1366, 768}},
        {1100, 700, 3, {1024, 768}},    // corner: 144 beats 200, 200 and 216
        {1280, 744, 3, {1280, 768}},    // tie between 1280x720 and 1280x768: the later wins
        {1280, 1200, 2, {1280, 1024}},  // bottom drag: height decides
        {5000, 5000, 3, {1920, 1080}},
        {0, 0, 0, {1024, 576}},
        {1024, 576, 3, {1024, 576}},
    };
    for (const Case& c : cases) {
        const LogicalSize got = snapToAllowedSize(c.w, c.h, c.mode);
        EXPECT_EQ(got.width, c.want.width) << c.w << "x" << c.h << " mode " << c.mode;
        EXPECT_EQ(got.height, c.want.height) << c.w << "x" << c.h << " mode " << c.mode;
    }
}

TEST(FixedResizableWindow, SizingRectangleMovesTheDraggedEdgeAndSharesTheOtherAxis) {
    // A 1280x720 client in a window with an 8 px frame on each side and a 30 px title.
    const WindowRect window{100, 100, 100 + 1296, 100 + 758};
    const int cw = 1280, ch = 720;
    auto proposal = [&](int dw, int dh, int edge) {
        WindowRect p = window;
        if (edge == kEdgeLeft || edge == kEdgeTopLeft || edge == kEdgeBottomLeft) p.left -= dw;
        else p.right += dw;
        if (edge == kEdgeTop || edge == kEdgeTopLeft || edge == kEdgeTopRight) p.top -= dh;
        else p.bottom += dh;
        return p;
    };
    struct Case {
        int edge, dw, dh;
        WindowRect want;
    };
    const Case cases[] = {
        {kEdgeRight, 20, 0, window},                                                  // 1300 snaps back
        {kEdgeRight, 60, 0, {100, 100 - 24, 100 + 1296 + 86, 100 + 758 + 24}},       // 1366x768
        {kEdgeLeft, 60, 0, {100 - 86, 100 - 24, 100 + 1296, 100 + 758 + 24}},
        {kEdgeBottom, 0, 300, {100 - 0, 100, 100 + 1296, 100 + 758 + 304}},          // 1280x1024
        {kEdgeBottomRight, -180, -20, {100, 100, 100 + 1296 - 256, 100 + 758 + 48}},  // 1024x768
        {kEdgeTopLeft, -180, -20, {100 + 256, 100 - 48, 100 + 1296, 100 + 758}},
    };
    for (const Case& c : cases) {
        const WindowRect got = sizingRect(c.edge, proposal(c.dw, c.dh, c.edge), window, cw, ch, 1.0f);
        EXPECT_EQ(got.left, c.want.left) << "edge " << c.edge;
        EXPECT_EQ(got.top, c.want.top) << "edge " << c.edge;
        EXPECT_EQ(got.right, c.want.right) << "edge " << c.edge;
        EXPECT_EQ(got.bottom, c.want.bottom) << "edge " << c.edge;
    }
    // An unknown edge leaves the proposal as it is.
    const WindowRect odd{1, 2, 3000, 4000};
    EXPECT_EQ(sizingRect(9, odd, window, cw, ch, 1.0f), odd);
}

TEST(FixedResizableWindow, MonitorWithTheLargestOverlapWinsTheFirstOnTies) {
    const WindowRect monitors[] = {{0, 0, 1920, 1080}, {1920, 0, 3840, 1080}, {3840, 0, 5760, 1080}};
    EXPECT_EQ(largestOverlap({100, 100, 1380, 820}, monitors, 3), 0);
    EXPECT_EQ(largestOverlap({1800, 100, 3080, 820}, monitors, 3), 1);
    EXPECT_EQ(largestOverlap({1920 - 640, 0, 1920 + 640, 720}, monitors, 3), 0);  // equal halves
    EXPECT_EQ(largestOverlap({-2000, -2000, -100, -100}, monitors, 3), -1);
    EXPECT_EQ(largestOverlap({0, 0, 10, 10}, monitors, 0), -1);
}

TEST(FixedResizableWindow, KeyboardGrabFollowsFocusAndTheOwnersWish) {
    int grabs = 0, doubleGrabs = 0;
    Window window;
    auto grab = std::make_unique<FakeGrab>(grabs, doubleGrabs);
    FakeGrab* fake = grab.get();
    window.setKeyboardGrab(std::move(grab));

    window.onFocus(nullptr, 1);
    EXPECT_FALSE(fake->isGrabbed()) << "not enabled yet";
    window.setKeyboardHookEnabled(true);
    EXPECT_TRUE(fake->isGrabbed());
    EXPECT_EQ(grabs, 1);
    window.onFocus(nullptr, 0);
    EXPECT_FALSE(fake->isGrabbed());
    window.onFocus(nullptr, 1);
    EXPECT_TRUE(fake->isGrabbed());
    window.updateKeyboardHook();
    window.onFocus(nullptr, 1);
    EXPECT_TRUE(window.isKeyboardHookInstalled());
    window.setKeyboardHookEnabled(false);
    EXPECT_FALSE(fake->isGrabbed());
    window.onFocus(nullptr, 1);
    EXPECT_FALSE(fake->isGrabbed());
    EXPECT_EQ(doubleGrabs, 0);
}
