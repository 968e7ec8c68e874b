// The forms and menu items on real OpenGL (Mesa under Xvfb) with the compiled-in atlases and
// fonts: a message form, a choice form with its drop-down open, and the menu-item family,
// each saved under build/artifacts for a person to look at, with read-back checks.

#include "PlayerUiTestSupport.h"

#include "core/LanguageStore.h"
#include "gui/Button.h"
#include "gui/ImageButton.h"
#include "gui/OldList.h"
#include "gui/Static.h"
#include "gui/Table.h"
#include "gui/testing/GLTestWindow.h"
#include "gui/testing/ScreenGround.h"
#include "player-ui/PopupDialogForm.h"
#include "player-ui/PopupTable.h"
#include "player-ui/menu/ImageMenuButton.h"
#include "player-ui/menu/MenuButton.h"
#include "player-ui/menu/RightMenuSwitchButton.h"
#include "player-ui/menu/RightMenuSynchronizedSwitchButton.h"
#include "player-ui/menu/SynchronizedMenuButton.h"

#include <gtest/gtest.h>


using guitest::GLTestWindow;
using guitest::RGBA;

namespace {

using playeruitest::MinutesDialog;

// A stand-in for the stream under the overlay.
constexpr Color kStreamGround(70, 90, 110, 255);

struct Screen {
    Screen(int width, int height) : window(width, height, "player-ui"), gui(&handler, window.context()) {
        LanguageStore::instance().setFolder(NIMBROSTA_LIB_DIR);
        LanguageStore::instance().load("en");
        gui.loadFontStyles(window.context(), "");
    }
    void frame() { window.renderFrame(gui, 0.016f); }
    void click(int x, int y) {
        gui.onMouseMove(x, y);
        gui.onMouseButton(0, true);
        gui.onMouseButton(0, false);
    }
    GLTestWindow window;
    guitest::BenchHandler handler;
    PlayerGUI gui;
};

int differsFrom(const RGBA& p, const RGBA& q) { return std::abs(p.r - q.r) + std::abs(p.g - q.g) + std::abs(p.b - q.b); }

}  // namespace

TEST(PopupDialogForm, MessageFormOnScreen) {
    Screen screen(900, 560);
    ASSERT_TRUE(screen.window.ok());
    guitest::ScreenGround ground(&screen.gui, kStreamGround);
    DialogDescription d;
    d.caption = "Connection lost";
    d.text = "The connection to your cloud machine was interrupted. The player tries to connect again; "
             "you can also go back to the list of your machines.";
    d.extraText = "Attempt 2 of 5";
    DialogButtonDescription retry, back;
    retry.text = "Retry";
    retry.hasColour = true;
    retry.colour = screen.gui.getColor("so-green-idle");
    back.text = "Back to the list";
    back.width = 160;
    d.buttons = {retry, back};
    PopupDialogForm form(&screen.gui, d);
    screen.frame();
    screen.frame();
    const auto pixels = screen.window.readPixels();
    screen.window.saveScreenshot("player-ui-message-form");

    const Table& t = *form.contentTable;
    EXPECT_EQ(t.x, 900 / 2 - t.width / 2);
    const RGBA ground_ = screen.window.pixel(pixels, 5, 5);
    // The panel darkens the ground; the caption row and the button colour are there.
    const RGBA panel = screen.window.pixel(pixels, t.x + 3, t.y + t.height / 2);
    EXPECT_LT(panel.r + panel.g + panel.b, ground_.r + ground_.g + ground_.b - 100);
    const Button& retryButton = *form.buttonList[0];
    const RGBA green = screen.window.pixel(pixels, retryButton.x + 8, retryButton.y + retryButton.height / 2);
    EXPECT_GT(green.g, green.r + 60);
    EXPECT_EQ(form.buttonList[1]->width, 160);
}

TEST(UniqueDialogBase, ChoiceFormWithTheListOpenOnScreen) {
    Screen screen(900, 560);
    ASSERT_TRUE(screen.window.ok());
    guitest::ScreenGround ground(&screen.gui, kStreamGround);
    MinutesDialog dialog(&screen.gui, "Turn the machine off after it has been idle for", "60 minutes",
                         {{-1, "None"}, {5, "5 minutes"}, {30, "30 minutes"}, {60, "60 minutes"}});
    dialog.setVisible(true);
    screen.frame();
    const Button& value = *dialog.chooser->valueButton;
    screen.click(value.x + 20, value.y + value.height / 2);
    screen.frame();
    // Hover the second item so that the list's marker shows.
    const Button& second = *dialog.items[1];
    screen.gui.onMouseMove(second.x + 20, second.y + second.height / 2);
    screen.frame();
    ASSERT_TRUE(dialog.chooser->list->isVisible());
    const auto pixels = screen.window.readPixels();
    screen.window.saveScreenshot("player-ui-choice-form-open");

    // The open list: its ground is "modal-panel-body-na", and every item is laid out in it.
    const OldList& list = *dialog.chooser->list;
    const RGBA listGround = screen.window.pixel(pixels, list.x + 4, list.y + list.height / 2);
    EXPECT_LE(differsFrom(listGround, RGBA{17, 17, 17, 255}), 3);
    EXPECT_EQ(list.height, int(dialog.items.size()) * Button::kDefaultHeight + 2 * list.padding);

    // Picking an item shows it in the closed chooser.
    screen.click(second.x + 20, second.y + second.height / 2);
    screen.frame();
    EXPECT_FALSE(list.isVisible());
    EXPECT_EQ(value.text(), "5 minutes");
    screen.window.saveScreenshot("player-ui-choice-form-picked");
}

TEST(MenuButton, MenuItemFamilyOnScreen) {
    Screen screen(760, 520);
    ASSERT_TRUE(screen.window.ok());
    PlayerGUI& gui = screen.gui;
    guitest::ScreenGround ground(&gui, kStreamGround);
    AbstractSurface* images = gui.getSurface("images");
    const Color mainDefault = gui.getColor("player-button-main-default");
    const Color mainHover = gui.getColor("player-button-main-hover");

    std::vector<std::shared_ptr<MenuButton>> items;
    struct Item {
        const char* text;
        Rect picture;
        int command;
    };
    const Item column[] = {{"Account", {52, 416, 32, 32}, 7},
                           {"Settings", {373, 35, 32, 32}, 12},
                           {"System", {271, 35, 32, 32}, 10},
                           {"A label that is far too long to fit", {52, 144, 32, 32}, 13},
                           {"Logout", {52, 110, 32, 32}, 15}};
    for (const Item& it : column) {
        auto b = std::make_shared<MenuButton>(&gui, "", it.command, images, it.picture, mainDefault, mainHover, 110);
        b->setText(it.text);
        b->x = 15;
        items.push_back(b);
    }
    // Stacked 5 apart once laid out: the long label wraps and makes its item taller.
    screen.frame();
    int y = 15;
    for (const auto& b : items) {
        b->y = y;
        b->invalidate();
        y += b->height + 5;
    }
    items[1]->activeDefaultColour = items[1]->activeHoverColour = gui.getColor("player-button-active-item");
    items[1]->active = true;
    items[4]->defaultColour = gui.getColor("player-button-exit-default");
    items[4]->hoverColour = gui.getColor("player-button-exit-hover");

    playeruitest::StreamerOwnedBool record("Stream.RecordStream", true);
    auto recordItem = std::make_shared<SynchronizedMenuButton>(record.subscribe(), &gui, "Start recording",
                                                               "Stop recording", 9, images, Rect{1, 346, 32, 32},
                                                               Rect{1, 312, 32, 32}, 110);
    recordItem->x = 15;
    recordItem->y = y;
    record.streamerSets(true);

    const struct {
        Rect picture;
        const char* colour;
    } pictures[] = {{{1, 35, 95, 39}, "player-button-green-default"},
                    {{335, 1, 88, 23}, "player-button-main-default"},
                    {{123, 1, 104, 23}, "player-button-main-default"}};
    std::vector<std::shared_ptr<ImageMenuButton>> imageItems;
    int iy = 15;
    for (const auto& p : pictures) {
        auto item = std::make_shared<ImageMenuButton>(&gui, 41, images, p.picture, gui.getColor(p.colour),
                                                      gui.getColor("player-button-secondary-default"), 195, 30);
        item->x = 215;
        item->y = iy;
        iy += 61 + 5;
        imageItems.push_back(item);
    }

    auto hotkeys = std::make_shared<RightMenuSwitchButton>(&gui, "Hot keys", "On", "Off", 26, 27, images,
                                                           Rect{52, 246, 32, 32}, 220, 5);
    hotkeys->x = 440;
    hotkeys->y = 15;
    auto resolution = std::make_shared<RightMenuSwitchButton>(&gui, "Resolution", "720p", "1080p", 28, 29, images,
                                                              Rect{407, 35, 32, 32}, 220, 5);
    resolution->x = 440;
    resolution->y = 15 + 93 + 5;
    resolution->setValue("1080p", false);
    playeruitest::StreamerOwnedBool controllers("Input.EnableControllers", false);
    auto passThrough = std::make_shared<RightMenuSynchronizedSwitchButton>(
        controllers.subscribe(), &gui, "Gamepad pass-through", "On", "Off", 126, 126, images, Rect{339, 35, 32, 32},
        220, 5);
    passThrough->x = 440;
    passThrough->y = 15 + 2 * (93 + 5);
    controllers.streamerSets(false);

    screen.frame();
    // Hover "Account" and the hot-key switch's picture in turn; keep the hovered look of the
    // account item by drawing once more while the pointer is on it.
    gui.onMouseMove(hotkeys->switchPicture->x + 5, hotkeys->switchPicture->y + 5);
    screen.frame();
    gui.onMouseMove(30, 30);
    screen.frame();
    const auto pixels = screen.window.readPixels();
    screen.window.saveScreenshot("player-ui-menu-buttons");

    EXPECT_EQ(items[3]->text(), "A label that is far too long to fit");
    EXPECT_GT(items[3]->height, items[2]->height);
    EXPECT_TRUE(recordItem->on);
    EXPECT_FALSE(passThrough->on);
    // The hovered item's bar is lighter than its neighbour's, the active one has its colour,
    // and every bar has a white border on its top edge.
    const RGBA hovered = screen.window.pixel(pixels, 15 + 150, items[0]->y + 4);
    const RGBA plain = screen.window.pixel(pixels, 15 + 150, items[2]->y + 4);
    EXPECT_GT(differsFrom(hovered, plain), 10);
    const RGBA active = screen.window.pixel(pixels, 15 + 150, items[1]->y + 4);
    EXPECT_GT(active.b, active.r + 60);  // "player-button-active-item" is a light blue
    for (int row = 0; row < 5; ++row) {
        const RGBA edge = screen.window.pixel(pixels, 15 + 150, items[std::size_t(row)]->y);
        EXPECT_GT(edge.r + edge.g + edge.b, 3 * 240) << row;
    }
}
