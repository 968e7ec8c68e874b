// The bitrate slider and its block: size from "General.MaxBitrate" (and what an unusable
// setting falls back to), the squares it draws for a value, the session variable it
// follows (not while the user moves the value), the minus and plus pictures held over
// frames, and drags that send the set-bitrate command while a plain click sends nothing.

#include "PlayerUiTestSupport.h"

#include "TestSupport.h"
#include "core/ConfigStore.h"
#include "gui/CheckBox.h"
#include "gui/ImageButton.h"
#include "player-ui/PlayerCommandIds.h"
#include "player-ui/menu/BitrateSlider.h"
#include "player-ui/menu/Slider.h"

#include <gtest/gtest.h>

using playeruitest::Bench;
using playeruitest::drawnBy;
using playeruitest::quadAt;

namespace {

using Commands = std::vector<int>;

struct SliderFixture {
    explicit SliderFixture(const char* maxBitrate = nullptr) {
        // A file of its own replaces every setting an earlier test left (a missing file
        // would keep them).
        std::string file = "[System]\nConfigVersion=Tz4pLw8vRb\n";
        if (maxBitrate)
            file += std::string("[General]\nMaxBitrate=") + maxBitrate + "\n";
        testsupport::writeFile(dir.file("config.ini"), file);
        ConfigStore::instance().setPathAndLoad(dir.file("config.ini"));
        block = std::make_shared<BitrateSlider>(bench.gui.get(), 5, autoStore.subscribe(), bitrateStore.subscribe());
        block->x = 15;
        block->y = 15;
        bench.frame();
        bench.frame();
        bench.handler.commands.clear();
    }
    Slider& slider() { return *block->slider; }
    int count(int id) const { return int(std::count(bench.handler.commands.begin(), bench.handler.commands.end(), id)); }

    testsupport::TempDir dir;
    Bench bench{1280, 720};
    playeruitest::StreamerOwnedBool autoStore{"Stream.AutoBitrate", false};
    playeruitest::StreamerOwnedInt32 bitrateStore{"Video.Bitrate", 0};
    std::shared_ptr<BitrateSlider> block;
};

}  // namespace

TEST(BitrateSlider, RangeAndWidthFollowTheMaxBitrateSetting) {
    struct Case {
        const char* setting;
        int maximum;
        int squares;
        int width;
    };
    const Case cases[] = {
        {nullptr, 20000, 10, 245},  // absent: 20 Mbit/s
        {"40", 40000, 20, 495},
        {"2.5", 20000, 10, 245},    // not a whole number
        {"fast", 20000, 10, 245},
        {"0", 20000, 10, 245},      // a negative width otherwise
        {"-3", 20000, 10, 245},
        {"5000", 2097000, 1048, 26207},  // the bitrate in bit/s stays within an int32
    };
    for (const Case& c : cases) {
        SliderFixture f(c.setting);
        SCOPED_TRACE(c.setting ? c.setting : "absent");
        EXPECT_EQ(f.slider().maximum, c.maximum);
        EXPECT_EQ(f.slider().minimum, 0);
        EXPECT_EQ(f.slider().width, c.width);
        EXPECT_EQ(f.slider().height, 30);
        EXPECT_EQ((f.slider().maximum - f.slider().minimum) / f.slider().unitsPerSegment, c.squares);
        f.slider().value = f.slider().maximum;
        EXPECT_GT(f.block->getBitrate(), 0);
        EXPECT_EQ(f.block->getBitrate(), c.maximum * 1024);
    }
}

TEST(BitrateSlider, DrawsFullSquaresThenASplitSquare) {
    SliderFixture f;
    f.slider().value = 5120;
    const std::vector<Vertex> v = drawnBy(f.slider(), f.bench.ctx);
    const std::uint32_t green = f.bench.gui->getColor("player-button-green-hover").value();
    const std::uint32_t empty = f.bench.gui->getColor("player-slider").value();
    const int x = f.slider().x, y = f.slider().y + 5;
    // Two full squares 25 apart, then the third split 11 | 9, then seven empty squares.
    ASSERT_EQ(v.size(), std::size_t(4 * 11));
    EXPECT_EQ(quadAt(v, 0).x, x);
    EXPECT_EQ(quadAt(v, 0).y, y);
    EXPECT_EQ(quadAt(v, 0).width, 20);
    EXPECT_EQ(quadAt(v, 4).x, x + 25);
    EXPECT_EQ(v[4].color, green);
    EXPECT_EQ(quadAt(v, 8).x, x + 50);
    EXPECT_EQ(quadAt(v, 8).width, 11);
    EXPECT_EQ(v[8].color, green);
    EXPECT_EQ(quadAt(v, 12).x, x + 61);
    EXPECT_EQ(quadAt(v, 12).width, 9);
    EXPECT_EQ(v[12].color, empty);
    EXPECT_EQ(quadAt(v, 16).x, x + 75);
    EXPECT_EQ(v[16].color, empty);
}

TEST(BitrateSlider, FollowsTheSessionsBitrateAndAutomaticMode) {
    SliderFixture f;
    f.bitrateStore.streamerSets(5242880);
    f.autoStore.streamerSets(true);
    f.bench.frame();
    EXPECT_EQ(f.slider().value, 5120);
    EXPECT_EQ(f.block->getBitrate(), 5242880);
    EXPECT_TRUE(f.block->autoBox->isChecked());
    EXPECT_FALSE(f.block->bitrateVariable->changed.load()) << "the block is the reader of the flag";

    f.bitrateStore.streamerSets(30000000);  // above the maximum
    f.bench.frame();
    EXPECT_EQ(f.slider().value, 20000);
    EXPECT_TRUE(f.bench.handler.commands.empty()) << "following the session sends nothing";
}

TEST(BitrateSlider, HeldPlusAndMinusStepEveryFrame) {
    SliderFixture f;
    f.bench.move(f.block->plusPicture->x + 5, f.block->plusPicture->y + 5);
    f.bench.press();
    for (int i = 0; i < 60; ++i)
        f.bench.frame();
    f.bench.release();
    f.bench.frame();
    EXPECT_EQ(f.slider().value, 1500);
    EXPECT_EQ(f.count(kCommandSetBitrate), 60);

    struct Case {
        int from;
        int to;
        int sent;
    };
    for (const Case& c : {Case{10, 0, 0}, Case{25, 0, 1}, Case{100, 75, 1}}) {
        f.bench.handler.commands.clear();
        f.slider().value = c.from;
        f.bench.move(f.block->minusPicture->x + 5, f.block->minusPicture->y + 5);
        f.bench.press();
        f.bench.frame();
        f.bench.release();
        EXPECT_EQ(f.slider().value, c.to) << c.from;
        EXPECT_EQ(f.count(kCommandSetBitrate), c.sent) << c.from;
    }

    // Held plus stops at the maximum.
    f.slider().value = 19990;
    f.bench.move(f.block->plusPicture->x + 5, f.block->plusPicture->y + 5);
    f.bench.press();
    f.bench.frame();
    f.bench.frame();
    f.bench.release();
    EXPECT_EQ(f.slider().value, 20000);
}

TEST(BitrateSlider, DragSendsOnEveryMovePlainClickSendsNothing) {
    SliderFixture f;
    Slider& s = f.slider();
    const int midY = s.y + s.height / 2;
    f.bench.click(s.x + s.width / 2, midY);
    EXPECT_TRUE(f.bench.handler.commands.empty());
    EXPECT_EQ(s.value, 0);

    f.bench.move(s.x + 10, midY);
    f.bench.press();
    f.bench.move(s.x + s.width / 2, midY);
    EXPECT_NEAR(s.value, 10000, 50);
    f.bench.move(s.x + s.width + 100, midY);  // past the end: the maximum
    EXPECT_EQ(s.value, 20000);
    f.bench.move(s.x - 100, midY + 50);  // before the start, off the bar: still held
    EXPECT_EQ(s.value, 0);
    f.bench.release();
    EXPECT_EQ(f.count(kCommandSetBitrate), 3);
    f.bench.move(s.x + s.width / 2, midY);
    EXPECT_EQ(f.count(kCommandSetBitrate), 3) << "moves after the release send nothing";
}

// The streamer's echo of older values must not pull the value back while the user moves it;
// the latest value is taken once the user lets go.
TEST(BitrateSlider, SessionChangesWaitWhileTheUserMovesTheValue) {
    SliderFixture f;
    Slider& s = f.slider();
    const int midY = s.y + s.height / 2;
    f.bench.move(s.x + s.width / 2, midY);
    f.bench.press();
    f.bench.move(s.x + s.width, midY);
    f.block->setBitrate(1024 * 500);
    EXPECT_EQ(s.value, 20000) << "the screen's value waits too";
    f.bitrateStore.streamerSets(1024 * 3000);
    f.bench.frame();
    EXPECT_EQ(s.value, 20000) << "the drag holds the value";
    f.bench.release();
    f.bench.frame();
    EXPECT_EQ(s.value, 3000) << "taken after the release";

    f.bench.move(f.block->plusPicture->x + 5, f.block->plusPicture->y + 5);
    f.bench.press();
    f.bitrateStore.streamerSets(0);
    f.bench.frame();
    EXPECT_EQ(s.value, 3025);
    f.bench.release();
    f.bench.frame();
    EXPECT_EQ(s.value, 0);
}
