// Menu items: layout of icon and label, colours by state, what a click sends and in which
// order, label texts cut at a character boundary, the image items, the record item against
// a streamer-owned variable, and the decoder entry that stores its choice.

#include "PlayerUiTestSupport.h"

#include "core/ConfigStore.h"
#include "gui/ImageButton.h"
#include "gui/Static.h"
#include "player-ui/menu/ImageMenuButton.h"
#include "player-ui/menu/MenuButton.h"
#include "player-ui/menu/RightMenuPopupButton.h"
#include "player-ui/menu/SynchronizedMenuButton.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using guitest::CountingTask;
using guitest::WidgetBench;
using playeruitest::drawnBy;
using playeruitest::quadAt;

namespace {

using Commands = std::vector<int>;
constexpr Color kDefault(10, 10, 10, 255);
constexpr Color kHover(20, 20, 20, 255);
constexpr Color kActiveDefault(30, 30, 30, 255);
constexpr Color kActiveHover(40, 40, 40, 255);

struct Bench : playeruitest::Bench {
    std::shared_ptr<MenuButton> item(const std::string& text, int command, Rect picture = Rect{52, 416, 32, 32},
                                     int labelWidth = 110) {
        auto b = std::make_shared<MenuButton>(gui.get(), text, command, gui->getSurface("images"), picture, kDefault,
                                              kHover, labelWidth);
        b->x = 100;
        b->y = 100;
        return b;
    }
};

}  // namespace

TEST(MenuButton, PlacesTheIconAndStartsTheLabelSixtyUnitsIn) {
    struct Case {
        const char* what;
        Rect picture;
        bool centre;
        int fixedHeight;
        int iconX, labelX, height;
    };
    // The fake font's line height is 13.
    const Case cases[] = {
        {"indented 32x32", {52, 416, 32, 32}, false, 0, 115, 160, 44},
        {"centred 32x32", {52, 416, 32, 32}, true, 0, 114, 160, 44},
        {"centred 18x32", {86, 76, 18, 32}, true, 0, 121, 160, 44},
        {"indented 20x20", {106, 130, 20, 20}, false, 0, 115, 160, 32},
        {"fixed height 50", {52, 416, 32, 32}, false, 50, 115, 160, 49},
    };
    for (const Case& c : cases) {
        Bench bench;
        auto b = bench.item("Account", 7, c.picture);
        b->setCentreIcon(c.centre);
        if (c.fixedHeight)
            b->setFixedHeight(c.fixedHeight);
        bench.render();
        EXPECT_EQ(b->icon->x, c.iconX) << c.what;
        EXPECT_EQ(b->label->x, c.labelX) << c.what;
        EXPECT_EQ(b->label->width, 110) << c.what;
        EXPECT_EQ(b->width, 170) << c.what;
        EXPECT_EQ(b->height, c.height) << c.what;
        // Both vertically centred in the row.
        EXPECT_EQ(b->icon->y, 100 + (c.height - c.picture.height) / 2) << c.what;
        EXPECT_EQ(b->label->y, 100 + (c.height - 13) / 2) << c.what;
    }
}

TEST(MenuButton, ColourFollowsActiveHoverPressAndTheInteractiveFlag) {
    struct Case {
        bool interactive, active, hovered, pressed;
        Color expected;
    };
    const Case cases[] = {
        {true, false, false, false, kDefault},     {true, false, true, false, kHover},
        {true, false, false, true, kHover},        {true, true, false, false, kActiveDefault},
        {true, true, true, false, kActiveHover},   {true, true, false, true, kActiveHover},
        {false, false, true, false, kDefault},     {false, true, true, false, kDefault},
        {false, true, false, false, kDefault},
    };
    for (const Case& c : cases) {
        Bench bench;
        auto b = bench.item("Item", 7);
        b->activeDefaultColour = kActiveDefault;
        b->activeHoverColour = kActiveHover;
        b->active = c.active;
        b->setInteractive(c.interactive);
        bench.render();
        if (c.hovered)
            bench.move(110, 110);
        if (c.pressed) {
            bench.move(110, 110);
            bench.press();
            bench.move(600, 400);  // off the item: the hover goes, the press look stays...
            bench.move(110, 110);  // ...and back on it, still held
            b->hovered = false;
        }
        const std::vector<Vertex> v = drawnBy(*b, bench.ctx);
        ASSERT_EQ(v.size(), 4u * 5) << "bar and four border bands";
        EXPECT_EQ(v[0].color, c.expected.value())
            << c.interactive << c.active << c.hovered << c.pressed;
        EXPECT_EQ(v[4].color, 0xffffffffu);
        const Rect bar = quadAt(v, 0);
        const int shift = c.pressed && c.interactive ? 1 : 0;
        EXPECT_EQ(bar.x, 100 + shift);
        EXPECT_EQ(bar.y, 100 + shift);
        EXPECT_EQ(bar.width, 170);
        EXPECT_EQ(bar.height, 44);
        if (c.pressed)
            bench.release();
    }
}

TEST(MenuButton, ReleaseSendsTheCommandOnceThenRunsTheTask) {
    Bench bench;
    std::vector<std::string> order;
    bench.handler.hook = [&](int id) { order.push_back("command " + std::to_string(id)); };
    auto task = std::make_shared<CountingTask>();
    task->action = [&] { order.push_back("task"); };
    auto b = bench.item("Help", 13);
    b->clickTask = task;
    bench.render();
    EXPECT_TRUE(b->isFocusable());

    // A click: the command, then the task, each once.
    bench.clickOn(*b);
    EXPECT_EQ(order, (std::vector<std::string>{"command 13", "task"}));

    // Held and dragged off: sent the moment the pointer leaves, not again on release.
    order.clear();
    bench.move(110, 110);
    bench.press();
    EXPECT_TRUE(order.empty());
    bench.move(600, 400);
    EXPECT_EQ(order, (std::vector<std::string>{"command 13", "task"}));
    bench.release();
    EXPECT_EQ(order.size(), 2u);

    // Space on the focused item acts the same.
    order.clear();
    bench.gui->setFocus(b.get(), 1);
    bench.key(guitest::kKeySpace, 1);
    EXPECT_TRUE(order.empty());
    bench.key(guitest::kKeySpace, 0);
    EXPECT_EQ(order, (std::vector<std::string>{"command 13", "task"}));

    // Command 0 sends nothing and is not focusable; the task still runs.
    order.clear();
    auto silent = bench.item("Silent", 0);
    silent->clickTask = task;
    silent->y = 200;
    bench.render();
    EXPECT_FALSE(silent->isFocusable());
    bench.clickOn(*silent);
    EXPECT_EQ(order, (std::vector<std::string>{"task"}));

    // Not interactive: a click does nothing.
    order.clear();
    b->setInteractive(false);
    bench.clickOn(*b);
    EXPECT_TRUE(order.empty());
}

TEST(MenuButton, ACommandThatEndsTheItemStillRunsTheTaskOnce) {
    Bench bench;
    auto task = std::make_shared<CountingTask>();
    auto b = bench.item("Close", 16);
    b->clickTask = task;
    bench.render();
    bench.handler.hook = [&](int) { b.reset(); };
    bench.click(110, 110);
    EXPECT_FALSE(b);
    EXPECT_EQ(task->runs, 1);
    EXPECT_EQ(bench.handler.commands, (Commands{16}));
    EXPECT_EQ(bench.gui->widgetCount(), 0u);
}

TEST(MenuButton, LabelTextsAreBoundedOnACharacterBoundary) {
    const std::string long100(100, 'x');
    std::string umlauts;
    for (int i = 0; i < 50; ++i)
        umlauts += "\xC3\x84";
    struct Case {
        std::string given, shown;
    };
    const Case cases[] = {
        {"Account", "Account"},
        {"GPU: llvmpipe (LLVM 15.0.6, 256 bits)", "GPU: llvmpipe (LLVM 15.0.6, 256 bits)"},
        {long100, long100.substr(0, 96)},
        {std::string(95, 'a') + "\xE2\x82\xAC", std::string(95, 'a')},
        {umlauts, umlauts.substr(0, 96)},
        {std::string(94, 'a') + "\xC3\x84", std::string(94, 'a') + "\xC3\x84"},
    };
    Bench bench;
    for (const Case& c : cases) {
        auto b = bench.item("", 0);
        b->setText(c.given);
        EXPECT_EQ(b->label->currentText(), c.shown) << c.given;
        EXPECT_EQ(b->text(), c.shown) << c.given;
    }
    // The constructor's text is shown whole.
    EXPECT_EQ(bench.item(long100, 0)->text(), long100);
}

TEST(MenuButton, ALongTextWrapsInsideTheLabelAndTheItemGrowsTaller) {
    Bench bench;
    auto shortItem = bench.item("Help", 13);
    auto longItem = bench.item("", 13);
    longItem->y = 200;
    longItem->setText("A plan with a very long name that goes on and on");
    bench.render();
    EXPECT_EQ(longItem->label->width, 110);
    EXPECT_EQ(longItem->width, 170);
    EXPECT_GT(longItem->height, shortItem->height);
    int lines = 0, lastY = -1;
    for (const TextRenderBlock& block : longItem->label->blocks()) {
        EXPECT_LE(block.x + block.width, 110 - MenuButton::kLabelMarginRight) << block.y;
        if (block.y != lastY) {
            ++lines;
            lastY = block.y;
        }
    }
    EXPECT_GE(lines, 2);
}

TEST(MenuButton, LabelWidthForHoldsTheLongestTextOnOneLine) {
    Bench bench;
    // The fake font: 7 per letter, 4 per space.
    EXPECT_EQ(MenuButton::labelWidthFor(bench.gui.get(), {"Help", "Close"}, 110), 110);
    const std::int32_t wide = MenuButton::labelWidthFor(bench.gui.get(), {"Help", "Stop the recording now"}, 110);
    EXPECT_GT(wide, 110);
    auto item = bench.item("Stop the recording now", 0, Rect{52, 416, 32, 32}, wide);
    bench.render();
    ASSERT_FALSE(item->label->blocks().empty());
    for (const TextRenderBlock& block : item->label->blocks())
        EXPECT_EQ(block.y, item->label->blocks().front().y) << "one line";
    const TextRenderBlock& last = item->label->blocks().back();
    EXPECT_EQ(last.x + last.width, wide - MenuButton::kLabelMarginRight);
}

TEST(MenuButton, TintedIconShowsTheItemsEnabledState) {
    Bench bench;
    auto b = bench.item("Restart", 0, Rect{143, 131, 28, 24});
    const Color enabledTint(1, 2, 3, 255), disabledTint(4, 5, 6, 255);
    b->setIconTint(enabledTint, disabledTint);
    bench.render();
    auto iconColour = [&] {
        drawnBy(*b, bench.ctx);  // the item hands its state to the icon
        return drawnBy(*b->icon, bench.ctx)[0].color;
    };
    EXPECT_EQ(iconColour(), enabledTint.value());
    bench.move(110, 110);
    EXPECT_EQ(iconColour(), enabledTint.value());
    bench.gui->setEnabled(b.get(), false);
    EXPECT_EQ(iconColour(), disabledTint.value());
    // A disabled item takes no clicks.
    bench.move(600, 400);
    bench.click(110, 110);
    EXPECT_EQ(bench.handler.commands, Commands{});
}

TEST(ImageMenuButton, PadsEveryPictureToOneItemHeightAndSendsOnRelease) {
    struct Case {
        Rect picture;
        int padding;
    };
    const Case cases[] = {{{1, 35, 95, 39}, 11}, {{335, 1, 88, 23}, 19}, {{1, 1, 120, 80}, 0}};
    for (const Case& c : cases) {
        WidgetBench bench;
        ImageMenuButton item(bench.gui.get(), 41, bench.gui->getSurface("images"), c.picture, kDefault, kHover, 195,
                             30);
        item.x = 15;
        item.y = 300;
        bench.render();
        const Table::Cell* cell = item.cell(0, 0);
        EXPECT_EQ(cell->paddingTop, c.padding) << c.picture.height;
        EXPECT_EQ(cell->paddingBottom, c.padding) << c.picture.height;
        EXPECT_EQ(item.height, c.picture.height + 2 * c.padding);
        EXPECT_EQ(item.width, 195);
        EXPECT_EQ(item.picture->width, 195);
        EXPECT_FALSE(item.picture->isEnabled());
        EXPECT_EQ(drawnBy(item, bench.ctx)[0].color, kDefault.value());

        bench.move(30, 310);
        EXPECT_EQ(drawnBy(item, bench.ctx)[0].color, kHover.value());
        bench.press();
        EXPECT_EQ(quadAt(drawnBy(item, bench.ctx), 0).x, 16);
        EXPECT_EQ(bench.handler.commands, Commands{});
        bench.release();
        EXPECT_EQ(bench.handler.commands, (Commands{41}));

        item.setInteractive(false);
        bench.move(30, 311);
        EXPECT_EQ(drawnBy(item, bench.ctx)[0].color, kDefault.value());
        bench.click(30, 310);
        EXPECT_EQ(bench.handler.commands, (Commands{41}));
    }
}

namespace {

constexpr Rect kRecordStart{1, 346, 32, 32};
constexpr Rect kRecordStop{1, 312, 32, 32};
constexpr int kRecordSaved = 9;
constexpr int kCommandNone = 126;

}  // namespace

TEST(SynchronizedMenuButton, RecordItemWritesItsVariableAndFollowsTheStreamer) {
    playeruitest::StreamerOwnedBool store("Stream.RecordStream", false);
    Bench bench;
    auto record = std::make_shared<SynchronizedMenuButton>(
        store.subscribe(), bench.gui.get(), "menu_record_start", "menu_record_finish", kRecordSaved,
        bench.gui->getSurface("images"), kRecordStart, kRecordStop, 110);
    record->x = 100;
    record->y = 100;
    bench.frame();
    const Color exitDefault = bench.gui->getColor("player-button-exit-default");
    auto shows = [&](const char* text, Rect picture, bool active) {
        const ImageButton::State& s = record->icon->state(ImageButton::Normal);
        EXPECT_EQ(record->text(), text);
        EXPECT_EQ(s.x, picture.x);
        EXPECT_EQ(s.y, picture.y);
        EXPECT_FALSE(record->icon->state(ImageButton::Hover).usable());
        EXPECT_EQ(record->active, active);
        EXPECT_EQ(record->on, active);
    };
    shows("menu_record_start", kRecordStart, false);
    EXPECT_EQ(record->command, kCommandNone);

    // First click: on, the variable asked to be true, only the item's own 126 sent.
    bench.clickOn(*record);
    shows("menu_record_finish", kRecordStop, true);
    EXPECT_EQ(bench.handler.commands, (Commands{kCommandNone}));
    EXPECT_EQ(store.acceptRequests(), (std::vector<bool>{true}));
    bench.move(600, 400);
    EXPECT_EQ(drawnBy(*record, bench.ctx)[0].color, exitDefault.value());
    bench.frame();  // the accepted value changes nothing
    shows("menu_record_finish", kRecordStop, true);

    // Second click: off, the variable false, then the off command before the 126.
    bench.clickOn(*record);
    shows("menu_record_start", kRecordStart, false);
    EXPECT_EQ(bench.handler.commands, (Commands{kCommandNone, kRecordSaved, kCommandNone}));
    EXPECT_EQ(store.acceptRequests(), (std::vector<bool>{false}));
    bench.frame();

    // The streamer turns recording on: the item follows on the next frame, sending nothing.
    store.streamerSets(true);
    shows("menu_record_start", kRecordStart, false);
    EXPECT_TRUE(record->tick(0.0));
    shows("menu_record_finish", kRecordStop, true);
    EXPECT_FALSE(record->tick(0.0));
    EXPECT_TRUE(store.sent.empty());
    EXPECT_EQ(bench.handler.commands.size(), 3u);

    // The item holds the only subscription: it ends with the item.
    EXPECT_EQ(store.listenerCount(), 1u);
    record.reset();
    EXPECT_EQ(store.listenerCount(), 0u);
}

TEST(RightMenuPopupButton, ClickStoresTheDecoderAndRaisesTheChoice) {
    testsupport::TempDir dir;
    ConfigStore::instance().setPathAndLoad(dir.file("config.ini"));
    Bench bench;
    bool chosen = false;
    RightMenuPopupButton entry(&chosen, bench.gui.get(), "Software", kCommandNone, bench.gui->getSurface("images"),
                               Rect{52, 280, 32, 32}, kDefault, kHover, 110);
    entry.x = 100;
    entry.y = 100;
    bench.render();
    bench.clickOn(entry);
    EXPECT_TRUE(chosen);
    EXPECT_EQ(ConfigStore::instance().getString("Decoder.Last", ""), "Software");
    EXPECT_NE(testsupport::readFile(dir.file("config.ini")).find("Software"), std::string::npos);
    EXPECT_EQ(bench.handler.commands, (Commands{kCommandNone}));
}
