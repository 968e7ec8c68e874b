// The framing animation with explicit tick times: frame sequence and interval, playing once
// or in a loop, stopping, and standing still while hidden.

#include "WidgetTestSupport.h"

#include "gui/FramingAnimation.h"
#include "gui/ImageButton.h"

#include <gtest/gtest.h>

using guitest::WidgetBench;

namespace {

class ThreeFrames : public FramingAnimation {
public:
    ThreeFrames(PlayerGUI* gui, AbstractSurface* atlas) : FramingAnimation(gui), atlas_(atlas) {}
    bool loadFrames() override {
        ++loads;
        for (int i = 0; i < 3; ++i)
            frames_.push_back(Frame{atlas_, i * 60, 0, 60, 64});
        return true;
    }
    // The source x of the frame the image shows, -1 without an image.
    int shownX() const { return child() ? child()->state(ImageButton::Normal).x : -1; }
    int loads = 0;

private:
    AbstractSurface* atlas_;
};

}  // namespace

TEST(FramingAnimation, ShowsEachFrameForTheIntervalThenDisappears) {
    WidgetBench bench;
    ThreeFrames anim(bench.gui.get(), bench.gui->getSurface("animation"));
    anim.x = 30;
    anim.y = 40;
    anim.z = -200;
    anim.start(false);
    EXPECT_EQ(anim.loads, 1);

    // Ticks every 10 ms from t = 5 s: record when each frame appears.
    std::vector<std::pair<int, int>> changes;  // (ms since start, frame x)
    int shown = -2;
    bool sawEnd = false;
    for (int ms = 0; ms <= 3100; ms += 10) {
        const bool redraw = anim.tick(5.0 + ms / 1000.0);
        if (anim.shownX() != shown) {
            shown = anim.shownX();
            changes.emplace_back(ms, shown);
        }
        if (!anim.isPlaying() && !sawEnd) {
            sawEnd = true;
            EXPECT_FALSE(redraw);
            EXPECT_EQ(anim.shownX(), 120);  // the last frame stays until the next tick
            EXPECT_EQ(ms, 3000);
        }
    }
    EXPECT_EQ(changes, (std::vector<std::pair<int, int>>{{0, 0}, {1000, 60}, {2000, 120}, {3010, -1}}));

    // The image took the widget's z order; arranging puts it at the widget's place.
    ThreeFrames again(bench.gui.get(), bench.gui->getSurface("animation"));
    again.z = -200;
    again.x = 30;
    again.y = 40;
    again.start(true);
    EXPECT_TRUE(again.tick(1.0));
    ASSERT_NE(again.child(), nullptr);
    EXPECT_EQ(again.child()->z, -200);
    bench.render();
    EXPECT_EQ(again.child()->x, 30);
    EXPECT_EQ(again.child()->y, 40);
    EXPECT_EQ(again.width, 60);
    EXPECT_EQ(again.height, 64);

    // Frames are loaded once and kept for later starts.
    anim.start(false);
    EXPECT_EQ(anim.loads, 1);
}

TEST(FramingAnimation, LoopsUntilStoppedAndHonoursItsInterval) {
    WidgetBench bench;
    ThreeFrames anim(bench.gui.get(), bench.gui->getSurface("animation"));
    anim.setFrameInterval(40.0);
    anim.start(true);
    std::vector<int> sequence;
    for (int ms = 0; ms < 400; ms += 10) {
        EXPECT_TRUE(anim.tick(ms / 1000.0));
        if (sequence.empty() || sequence.back() != anim.shownX())
            sequence.push_back(anim.shownX());
    }
    EXPECT_EQ(sequence, (std::vector<int>{0, 60, 120, 0, 60, 120, 0, 60, 120, 0}));
    anim.stop();
    EXPECT_FALSE(anim.tick(0.5));
    EXPECT_EQ(anim.child(), nullptr);
    EXPECT_FALSE(anim.isLooping());
}

TEST(FramingAnimation, PlainAnimationStaysIdle) {
    WidgetBench bench;
    const std::size_t widgets = bench.gui->widgetCount();
    FramingAnimation plain(bench.gui.get());
    plain.start(true);
    EXPECT_FALSE(plain.isPlaying());
    EXPECT_FALSE(plain.tick(1.0));
    EXPECT_EQ(plain.child(), nullptr);
    EXPECT_EQ(bench.gui->widgetCount(), widgets + 1);
}

TEST(FramingAnimation, HiddenItStandsStillAndResumesFromTheSameFrame) {
    WidgetBench bench;
    ThreeFrames anim(bench.gui.get(), bench.gui->getSurface("animation"));
    anim.start(true);
    anim.tick(0.0);
    anim.tick(1.0);
    ASSERT_EQ(anim.shownX(), 60);
    bench.gui->setVisible(&anim, false);
    EXPECT_FALSE(anim.child()->isVisible());
    EXPECT_FALSE(anim.tick(2.5));
    EXPECT_EQ(anim.shownX(), 60);
    bench.gui->setVisible(&anim, true);
    EXPECT_TRUE(anim.child()->isVisible());
    anim.tick(3.0);
    EXPECT_EQ(anim.shownX(), 120);  // the next frame, not a jump
    // Ticked by the GUI itself as part of the widget tree.
    EXPECT_TRUE(bench.gui->tick(3.5f));
}
