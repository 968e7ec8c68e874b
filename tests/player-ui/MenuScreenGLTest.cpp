// The overlay menu and the gamepad setup form on real OpenGL (Mesa under Xvfb) with the
// compiled-in atlases, fonts and the program's English texts: the open menu with its settings
// page, and the form showing a held button and a moved stick. Screenshots go to
// build/artifacts for a person to look at; read-back checks cover what must be there.

#include "PlayerUiTestSupport.h"

#include "ScriptedJoystickSource.h"
#include "TestSupport.h"
#include "core/ConfigStore.h"
#include "core/LanguageStore.h"
#include "gui/ImageButton.h"
#include "gui/Static.h"
#include "gui/Table.h"
#include "gui/testing/GLTestWindow.h"
#include "gui/testing/ScreenGround.h"
#include "player-ui/menu/BitrateSlider.h"
#include "player-ui/menu/ControlCredits.h"
#include "player-ui/menu/DecoderPopup.h"
#include "player-ui/menu/GamepadSetupForm.h"
#include "player-ui/menu/LeftMenu.h"
#include "player-ui/menu/Menu.h"
#include "player-ui/menu/MenuButton.h"
#include "player-ui/menu/RightMenu.h"
#include "player-ui/menu/Slider.h"
#include "player-ui/menu/SynchronizedMenuButton.h"
#include "stream/gamepad/JoystickManager.h"

#include <gtest/gtest.h>

using guitest::GLTestWindow;
using guitest::RGBA;

namespace {

constexpr Color kStreamGround(70, 90, 110, 255);

struct MenuScreen {
    MenuScreen() : window(1280, 720, "overlay-menu"), gui(&handler, window.context()), player(&gui) {
        ConfigStore::instance().setPathAndLoad(dir.file("config.ini"));
        LanguageStore::instance().setFolder(NIMBROSTA_LIB_DIR);
        LanguageStore::instance().load("en");
        gui.loadFontStyles(window.context(), "");
        ground = std::make_shared<guitest::ScreenGround>(&gui, kStreamGround);
        frame();
        menu = session.makeMenu(&player, &screen);
        gui.setVisible(menu.get(), false);
    }
    void frame() { window.renderFrame(gui, 0.016f); }
    void frames(int n) {
        for (int i = 0; i < n; ++i)
            frame();
    }
    // A click on the item's left part (its icon), then three frames.
    void clickItem(const Widget& item) {
        gui.onMouseMove(item.x + 20, item.y + item.height / 2);
        gui.onMouseButton(0, true);
        gui.onMouseButton(0, false);
        frames(3);
    }

    testsupport::TempDir dir;
    GLTestWindow window;
    guitest::BenchHandler handler;
    PlayerGUI gui;
    playeruitest::FakePlayerWindow player;
    playeruitest::ScreenCommandHandler screen{&player};
    playeruitest::MenuSession session;
    std::shared_ptr<guitest::ScreenGround> ground;
    std::shared_ptr<Menu> menu;
};

int sum(const RGBA& p) { return p.r + p.g + p.b; }

// How far the item's text keeps from the right edge of its bar: the white pixels inside its
// border, scanned right to left (the icons sit at the left). -1 when no text is found.
int clearanceRight(const GLTestWindow& window, const std::vector<RGBA>& pixels, const Widget& item) {
    const int right = item.x + item.width - 1;
    for (int x = right; x > item.x + MenuButton::kIconColumnWidth; --x)
        for (int y = item.y + 2; y < item.y + item.height - 1; ++y) {
            const RGBA p = window.pixel(pixels, x, y);
            if (p.r > 190 && p.g > 190 && p.b > 190)
                return right - x;
        }
    return -1;
}

// Every item's text keeps at least this far from its bar's right edge (the margin less what a
// glyph's ink may take of its advance).
constexpr int kTextClearance = MenuButton::kLabelMarginRight - 3;

void expectTextsClearOfTheRightEdge(const GLTestWindow& window, const std::vector<RGBA>& pixels,
                                    const std::vector<const MenuButton*>& items) {
    for (const MenuButton* item : items) {
        if (!item->isVisible())
            continue;
        EXPECT_GE(clearanceRight(window, pixels, *item), kTextClearance) << item->text();
    }
}

}  // namespace

TEST(Menu, OpenMenuOnScreen) {
    MenuScreen s;
    ASSERT_TRUE(s.window.ok());
    ClientInfo info;
    info.balance.accountBalance = 42.7;
    info.balance.nextCredit = 2;
    info.balance.totalStorage = 100;
    info.balance.usedStorage = 37.2;
    info.balance.timeout = 30;
    s.player.state.setClientInfo(info);
    RightMenu& right = *s.menu->rightColumn;
    right.setQuality(92);
    right.setDecoderScore(80);
    right.setDatacenterLabel("Frankfurt");
    right.setPlanLabel("Standard");
    // The renderer's name as Mesa under Xvfb gives it: longer than the row holds on one line.
    right.setGpuLabel("llvmpipe (LLVM 15.0.6, 256 bits)");
    right.decoderRow->setDecoders({"Software", "VAAPI"});
    right.setCurrentDecoder("Software");
    s.session.bitrate.streamerSets(8 * 1024 * 1024);

    s.gui.setVisible(s.menu.get(), true);
    s.frames(3);
    // The user opens the settings page (the screen toggles it on the item's command).
    s.handler.hook = [&](int id) {
        if (id == 12)
            right.toggleSettingsPage();
    };
    const MenuButton& settings = *right.settingsItem;
    s.clickItem(settings);
    ASSERT_TRUE(right.settingsPage->isVisible());
    const auto pixels = s.window.readPixels();
    s.window.saveScreenshot("player-ui-overlay-menu");

    // The slider's first square is green (8 Mbit/s fills four squares), its last one is not.
    const Slider& slider = *s.menu->leftColumn->bitrateSlider->slider;
    const RGBA first = s.window.pixel(pixels, slider.x + 10, slider.y + 15);
    const RGBA last = s.window.pixel(pixels, slider.x + slider.width - 10, slider.y + 15);
    EXPECT_GT(first.g, first.b + 100);
    EXPECT_GT(last.b, last.g);
    // The items' bars lie over the stream, the settings page beside its item.
    const MenuButton& account = *right.accountItem;
    EXPECT_NE(sum(s.window.pixel(pixels, account.x + account.width - 4, account.y + account.height / 2)),
              sum(s.window.pixel(pixels, 640, 700)));
    EXPECT_LT(right.settingsPage->x + right.settingsPage->width, right.settingsItem->x);
    EXPECT_EQ(right.credits->x + right.credits->width, 1280 - 15);
    EXPECT_FALSE(s.menu->toggleButton->isVisible());
    // No English text runs into the right edge of its item, in the main column, the
    // settings page and the left column.
    const std::vector<MenuButton*> mainItems = right.mainItems();
    std::vector<const MenuButton*> items(mainItems.begin(), mainItems.end());
    for (const auto& m : s.menu->leftColumn->topItems())
        items.push_back(m.get());
    items.push_back(right.setupControllerItem.get());
    items.push_back(right.restartItem.get());
    items.push_back(right.timeoutItem.get());
    expectTextsClearOfTheRightEdge(s.window, pixels, items);
    // Nor does the record item's text while it records.
    right.recordItem->setState(true);
    s.frames(2);
    expectTextsClearOfTheRightEdge(s.window, s.window.readPixels(), {right.recordItem.get()});
    right.recordItem->setState(false);

    // The system page with the decoder list open, in place of the settings page.
    s.handler.hook = [&](int id) {
        if (id == 10)
            right.toggleSystemPage();
        if (id == 35)
            right.toggleDecoderPopup();
    };
    const MenuButton& system = *right.systemItem;
    s.clickItem(system);
    const MenuButton& decoder = *right.decoderRow->decoderItem;
    s.clickItem(decoder);
    const auto systemPixels = s.window.readPixels();
    s.window.saveScreenshot("player-ui-overlay-menu-system");
    ASSERT_TRUE(right.systemPage->isVisible());
    EXPECT_FALSE(right.settingsPage->isVisible());
    ASSERT_TRUE(right.decoderRow->isListVisible());
    // The list opens under the decoder row and pushes the rows below it down.
    EXPECT_EQ(right.decoderRow->list->y, decoder.y + decoder.height + 5);
    EXPECT_GE(right.gpuLabel->y, right.decoderRow->list->y + right.decoderRow->list->height);
    // The GPU's whole name shows, on two lines inside its row, and the row below keeps clear.
    EXPECT_EQ(right.gpuLabel->text(), "GPU: llvmpipe (LLVM 15.0.6, 256 bits)");
    const Static& gpuText = *right.gpuLabel->label;
    EXPECT_GT(gpuText.height, right.qualityLabel->label->height);
    EXPECT_GE(gpuText.y, right.gpuLabel->y);
    EXPECT_LE(gpuText.y + gpuText.height, right.gpuLabel->y + right.gpuLabel->height);
    EXPECT_GE(right.bugReportItem->y, right.gpuLabel->y + right.gpuLabel->height);
    expectTextsClearOfTheRightEdge(s.window, systemPixels,
                                   {right.qualityLabel.get(), right.decoderScoreLabel.get(),
                                    right.datacenterItem.get(), right.planItem.get(), right.gpuLabel.get(),
                                    right.bugReportItem.get()});
}

TEST(GamepadSetupForm, FormOnScreen) {
    MenuScreen s;
    ASSERT_TRUE(s.window.ok());
    playeruitest::ScriptedPad pad(s.dir.path(), "Pad", 17, 6);
    ScriptedJoystickSource& source = pad.source;
    JoystickManager& manager = pad.manager;

    s.gui.setVisible(s.menu.get(), true);
    s.frames(2);
    s.menu->showGamepadForm(true, &manager);
    source.setButton(0, 0, true);   // A
    source.setAxis(0, 0, 1.0f);     // left stick right
    source.setAxis(0, 4, 1.0f);     // left trigger
    manager.poll();
    s.frames(3);
    const GamepadSetupForm& form = *s.menu->gamepadForm;
    ASSERT_TRUE(form.isVisible());
    EXPECT_TRUE(form.button(0)->lit);
    EXPECT_TRUE(form.button(6)->lit);
    const auto pixels = s.window.readPixels();
    s.window.saveScreenshot("player-ui-gamepad-form");

    // The form's fill, and the lit A differs from the unlit B beside it.
    const RGBA fill = s.window.pixel(pixels, form.x + 320, form.y + 460);
    EXPECT_NE(sum(fill), sum(s.window.pixel(pixels, 5, 5)));
    const GamepadButtonWidget& a = *form.button(0);
    const GamepadButtonWidget& b = *form.button(1);
    const RGBA litA = s.window.pixel(pixels, a.x + a.width / 2, a.y + a.height / 2);
    const RGBA unlitB = s.window.pixel(pixels, b.x + b.width / 2, b.y + b.height / 2);
    EXPECT_GT(std::abs(litA.r - unlitB.r) + std::abs(litA.g - unlitB.g) + std::abs(litA.b - unlitB.b), 30);
    EXPECT_GT(form.leftStick->knobPosition().x, form.leftStick->x + 32);
    manager.setMonitorDevice(nullptr);
}
