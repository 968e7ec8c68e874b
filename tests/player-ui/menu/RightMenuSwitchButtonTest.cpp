// The two-option switches: layout, the command of the option shown, one flip per click
// whatever the frame timing, no flip for a press released off the picture, redraws for
// hover and press, and the synchronised switch against a streamer-owned variable.

#include "PlayerUiTestSupport.h"

#include "gui/ImageButton.h"
#include "gui/Static.h"
#include "player-ui/menu/MenuButton.h"
#include "player-ui/menu/RightMenuSwitchButton.h"
#include "player-ui/menu/RightMenuSynchronizedSwitchButton.h"

#include <gtest/gtest.h>

#include <functional>

using playeruitest::drawnBy;
using playeruitest::quadAt;

namespace {

using Commands = std::vector<int>;
constexpr int kTo1080 = 28;
constexpr int kTo720 = 29;
constexpr int kCommandNone = 126;

using playeruitest::Bench;

std::shared_ptr<RightMenuSwitchButton> resolutionSwitch(Bench& bench) {
    auto s = std::make_shared<RightMenuSwitchButton>(bench.gui.get(), "Resolution", "720p", "1080p", kTo1080, kTo720,
                                                     bench.gui->getSurface("images"), Rect{407, 35, 32, 32}, 220, 5);
    s->x = 100;
    s->y = 100;
    return s;
}

Point pictureCentre(const RightMenuSwitchButton& s) {
    return Point{s.switchPicture->x + s.switchPicture->width / 2, s.switchPicture->y + s.switchPicture->height / 2};
}

void expectShows(const RightMenuSwitchButton& s, bool first) {
    const Rect expected = first ? RightMenuSwitchButton::kOnPicture : RightMenuSwitchButton::kOffPicture;
    const ImageButton::State& normal = s.switchPicture->state(ImageButton::Normal);
    EXPECT_EQ(s.on, first);
    EXPECT_EQ(normal.x, expected.x);
    EXPECT_EQ(normal.y, expected.y);
    EXPECT_EQ(s.currentCommand(), first ? kTo1080 : kTo720);
}

}  // namespace

TEST(RightMenuSwitchButton, HeaderOverOptionsIsTwiceTheHeaderHighPlusTheSpacing) {
    Bench bench;
    auto s = resolutionSwitch(bench);
    bench.render();
    const MenuButton& header = *s->header;
    EXPECT_EQ(header.height, 44);
    EXPECT_EQ(s->height, 2 * 44 + 5);
    EXPECT_EQ(s->width, 220 + 60);
    EXPECT_FALSE(header.background);
    EXPECT_FALSE(header.pressShift);
    EXPECT_FALSE(header.isInteractive());
    EXPECT_FALSE(s->firstText->isEnabled());
    EXPECT_FALSE(s->secondText->isEnabled());
    // Option row: text, picture, text, 20 apart, centred in the switch.
    EXPECT_EQ(s->switchPicture->x, s->firstText->x + s->firstText->width + 20);
    EXPECT_EQ(s->secondText->x, s->switchPicture->x + 69 + 20);
    EXPECT_EQ(s->optionRow->x + s->optionRow->width / 2, 100 + 280 / 2);
    expectShows(*s, true);
    EXPECT_TRUE(s->isFocusable());

    // One bar under both rows, in the hover colour while the picture is hovered.
    std::vector<Vertex> v = drawnBy(*s, bench.ctx);
    EXPECT_EQ(quadAt(v, 0).height, 2 * 44 + 5);
    EXPECT_EQ(v[0].color, bench.gui->getColor("player-button-main-default").value());
    const Point p = pictureCentre(*s);
    bench.move(p.x, p.y);
    EXPECT_TRUE(s->tick(0.0));  // the hover changed: redraw
    EXPECT_FALSE(s->tick(0.0));
    EXPECT_EQ(drawnBy(*s, bench.ctx)[0].color, bench.gui->getColor("player-button-main-hover").value());
}

TEST(RightMenuSwitchButton, EveryClickSendsTheShownOptionsCommandAndFlipsOnce) {
    struct Case {
        const char* what;
        std::function<void(Bench&, const RightMenuSwitchButton&)> click;
        Commands sent;
        bool flips;
    };
    auto at = [](Bench& b, const RightMenuSwitchButton& s) {
        const Point p = pictureCentre(s);
        b.move(p.x, p.y);
    };
    const Case cases[] = {
        {"press, a frame, release",
         [&](Bench& b, const RightMenuSwitchButton& s) {
             at(b, s);
             b.press();
             b.frame();
             b.release();
         },
         {kTo1080},
         true},
        {"press and release within one frame",
         [&](Bench& b, const RightMenuSwitchButton& s) {
             at(b, s);
             b.press();
             b.release();
         },
         {kTo1080},
         true},
        {"released off the picture",
         [&](Bench& b, const RightMenuSwitchButton& s) {
             at(b, s);
             b.press();
             b.frame();
             b.move(5, 5);
             b.frame();
             b.release();
         },
         {},
         false},
        {"dragged off and back, then released",
         [&](Bench& b, const RightMenuSwitchButton& s) {
             at(b, s);
             b.press();
             b.move(5, 5);
             b.frame();
             at(b, s);
             b.release();
         },
         {kTo1080},
         true},
        {"Enter on the focused picture",
         [&](Bench& b, const RightMenuSwitchButton& s) {
             b.gui->setFocus(s.switchPicture.get(), 1);
             b.key(guitest::kKeyEnter, 1);
             b.key(guitest::kKeyEnter, 0);
         },
         {kTo1080},
         true},
    };
    for (const Case& c : cases) {
        Bench bench;
        auto s = resolutionSwitch(bench);
        bench.frame();
        c.click(bench, *s);
        EXPECT_EQ(bench.handler.commands, c.sent) << c.what;
        bench.frame();
        bench.frame();
        expectShows(*s, !c.flips);
        EXPECT_EQ(s->userChanged, c.flips) << c.what;
    }
}

TEST(RightMenuSwitchButton, ClicksAlternateBetweenTheTwoCommands) {
    Bench bench;
    auto s = resolutionSwitch(bench);
    bench.frame();
    for (int i = 0; i < 4; ++i) {
        const Point p = pictureCentre(*s);
        bench.click(p.x, p.y);
        bench.frame();
    }
    EXPECT_EQ(bench.handler.commands, (Commands{kTo1080, kTo720, kTo1080, kTo720}));
    expectShows(*s, true);

    // Set by the screen: the text picks the option, byte for byte.
    s->userChanged = false;
    s->setValue("1080p", false);
    expectShows(*s, false);
    EXPECT_FALSE(s->userChanged);
    s->setValue("720P", false);
    expectShows(*s, false);
    s->setValue("720p", true);
    expectShows(*s, true);
    EXPECT_TRUE(s->userChanged);
}

TEST(RightMenuSynchronizedSwitchButton, UserFlipsWriteTheVariableAndStreamerChangesDoNot) {
    playeruitest::StreamerOwnedBool store("Input.EnableControllers", true);
    Bench bench;
    auto s = std::make_shared<RightMenuSynchronizedSwitchButton>(
        store.subscribe(), bench.gui.get(), "Controllers", "On", "Off", kCommandNone, kCommandNone,
        bench.gui->getSurface("images"), Rect{339, 35, 32, 32}, 220, 5);
    s->x = 100;
    s->y = 100;
    bench.frame();

    // The user turns it off: the picture's 126, then the variable written once.
    Point p = pictureCentre(*s);
    bench.click(p.x, p.y);
    EXPECT_EQ(bench.handler.commands, (Commands{kCommandNone}));
    bench.frame();
    EXPECT_FALSE(s->on);
    EXPECT_EQ(store.acceptRequests(), (std::vector<bool>{false}));
    bench.frame();  // the accepted value agrees: nothing more is written
    bench.frame();
    EXPECT_FALSE(s->on);
    EXPECT_TRUE(store.sent.empty());

    // The streamer turns it on: the switch follows without writing it back.
    store.streamerSets(true);
    bench.frame();
    EXPECT_TRUE(s->on);
    EXPECT_FALSE(s->userChanged);
    bench.frame();
    EXPECT_TRUE(store.sent.empty());
    EXPECT_EQ(s->switchPicture->state(ImageButton::Normal).x, RightMenuSwitchButton::kOnPicture.x);

    // The switch holds its subscription until it ends.
    EXPECT_EQ(store.listenerCount(), 1u);
    s.reset();
    EXPECT_EQ(store.listenerCount(), 0u);
}
