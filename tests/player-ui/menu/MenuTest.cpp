// The overlay menu as the in-stream screen drives it: opening and closing, every item's
// command, the pages of the right column, the account panel and the message badge, the
// cursor and tour locks, the toggle button's place, and the gamepad form in its place.

#include "PlayerUiTestSupport.h"

#include "ScriptedJoystickSource.h"
#include "TestSupport.h"
#include "core/ConfigStore.h"
#include "gui/CheckBox.h"
#include "gui/ImageButton.h"
#include "gui/Static.h"
#include "gui/Table.h"
#include "player-ui/PlayerCommandIds.h"
#include "player-ui/menu/BitrateSlider.h"
#include "player-ui/menu/ControlCredits.h"
#include "player-ui/menu/DecoderPopup.h"
#include "player-ui/menu/DialogTimeout.h"
#include "player-ui/menu/GamepadSetupForm.h"
#include "player-ui/menu/ImageMenuButton.h"
#include "player-ui/menu/LeftMenu.h"
#include "player-ui/menu/Menu.h"
#include "player-ui/menu/MenuButton.h"
#include "player-ui/menu/RightMenu.h"
#include "player-ui/menu/RightMenuSwitchButton.h"
#include "player-ui/menu/RightMenuSynchronizedSwitchButton.h"
#include "player-ui/menu/Slider.h"
#include "player-ui/menu/SynchronizedMenuButton.h"
#include "stream/gamepad/JoystickManager.h"

#include <gtest/gtest.h>

using playeruitest::Bench;

namespace {

using Commands = std::vector<int>;

// A menu on a 1280 x 720 window, with the session's four variables owned by a stand-in
// streamer and the screen's reactions to the page commands.
struct MenuFixture {
    explicit MenuFixture(int width = 1280, int height = 720) : bench(width, height), window(bench.gui.get()) {
        ConfigStore::instance().setPathAndLoad(dir.file("config.ini"));
        bench.render();  // the window's size becomes known
        menu = session.makeMenu(&window, &screen);
        bench.gui->setVisible(menu.get(), false);
        bench.handler.hook = [this](int id) {
            switch (id) {
                case kCommandOpenMenu:
                    if (!menu->isOpen())
                        bench.gui->setVisible(menu.get(), true);
                    break;
                case kCommandToggleSettingsPage: menu->rightColumn->toggleSettingsPage(); break;
                case kCommandToggleSystemPage: menu->rightColumn->toggleSystemPage(); break;
                case kCommandToggleDecoderList: menu->rightColumn->toggleDecoderPopup(); break;
                default: screen.runRegisteredTask(id); break;
            }
        };
        frames(3);
    }
    void frames(int n) {
        for (int i = 0; i < n; ++i)
            bench.frame();
    }
    void open() {
        bench.gui->setVisible(menu.get(), true);
        frames(3);
        bench.handler.commands.clear();
    }
    RightMenu& right() { return *menu->rightColumn; }
    LeftMenu& left() { return *menu->leftColumn; }
    // A press and release on nothing (the window's bottom-centre corner area).
    void clickNowhere() { bench.click(640, 700); }

    testsupport::TempDir dir;
    playeruitest::MenuLanguage language;
    Bench bench;
    playeruitest::FakePlayerWindow window;
    playeruitest::ScreenCommandHandler screen{&window};
    playeruitest::MenuSession session;
    std::shared_ptr<Menu> menu;
};

Rect normalPicture(const ImageButton& b) {
    const ImageButton::State& s = b.state(ImageButton::Normal);
    return Rect{s.x, s.y, s.width, s.height};
}

bool same(const Rect& a, const Rect& b) {
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

}  // namespace

TEST(Menu, OpensAndClosesWithItsColumns) {
    MenuFixture f;
    Menu& menu = *f.menu;
    EXPECT_TRUE(menu.isModal());
    EXPECT_FALSE(menu.isOpen());
    EXPECT_TRUE(menu.toggleButton->isVisible());
    EXPECT_FALSE(f.left().topTable->isVisible());
    EXPECT_FALSE(f.right().mainPage->isVisible());

    f.bench.clickOn(*menu.toggleButton);
    EXPECT_EQ(f.bench.handler.commands, (Commands{kCommandOpenMenu}));
    f.frames(3);
    EXPECT_TRUE(menu.isOpen());
    EXPECT_FALSE(menu.toggleButton->isVisible());
    for (Widget* w : std::initializer_list<Widget*>{f.left().topTable.get(), f.left().bottomTable.get(),
                                                    f.left().bitrateSlider->slider.get(), f.right().credits.get(),
                                                    f.right().mainPage.get(), f.right().settingsArrow.get(),
                                                    f.right().systemArrow.get()})
        EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(f.right().settingsPage->isVisible());
    EXPECT_FALSE(f.right().systemPage->isVisible());

    // Places: left column 15 from the top left, the picture items at the bottom left, the
    // account panel 15 from the top right with the main page 15 under it.
    EXPECT_EQ(f.left().topTable->x, 15);
    EXPECT_EQ(f.left().topTable->y, 15);
    EXPECT_EQ(f.left().bottomTable->y + f.left().bottomTable->height, 720 - 15);
    EXPECT_EQ(f.right().credits->x + f.right().credits->width, 1280 - 15);
    EXPECT_EQ(f.right().mainPage->y, 15 + f.right().credits->height + 15);
    EXPECT_EQ(f.right().mainPage->x + f.right().mainPage->width, 1280 - 15);
    // The hint arrows point at the two page items.
    EXPECT_EQ(f.right().settingsArrow->x, f.right().settingsItem->x - 15);

    f.bench.gui->setVisible(&menu, false);
    EXPECT_FALSE(menu.isOpen());
    EXPECT_TRUE(menu.toggleButton->isVisible());
    EXPECT_FALSE(f.right().credits->isVisible());
    EXPECT_FALSE(f.left().bitrateSlider->slider->isVisible());
}

TEST(Menu, EveryItemSendsItsCommand) {
    MenuFixture f;
    f.open();
    RightMenu& r = f.right();
    LeftMenu& l = f.left();
    struct Case {
        const char* name;
        std::function<Widget*()> target;
        Commands sent;
    };
    const Case cases[] = {
        {"hide menu", [&] { return l.hideMenuItem.get(); }, {kCommandOpenMenu}},
        {"full screen", [&] { return l.fullScreenItem.get(); }, {kCommandToggleFullscreen}},
        {"cursor lock", [&] { return l.cursorLockItem.get(); }, {kCommandToggleCursorLock}},
        {"admin password", [&] { return l.adminPasswordItem.get(); }, {kCommandTypeAdminPassword}},
        {"Steam", [&] { return l.steamItem.get(); }, {kCommandSteamBigPicture}},
        {"desktop", [&] { return l.desktopItem.get(); }, {kCommandShowDesktop}},
        {"store (disabled)", [&] { return l.storeItem.get(); }, {}},
        {"automatic bitrate", [&] { return static_cast<Widget*>(l.bitrateSlider->autoBox.get()); },
         {kCommandToggleAutoBitrate}},
        {"storage plus", [&] { return r.credits->leftPlus.get(); }, {kCommandStorageAccountPage}},
        {"credits plus", [&] { return r.credits->rightPlus.get(); }, {kCommandCreditsAccountPage}},
        {"account", [&] { return r.accountItem.get(); }, {kCommandAccountPage}},
        {"help", [&] { return r.helpItem.get(); }, {kCommandHelpPage}},
        {"task manager", [&] { return r.taskManagerItem.get(); }, {kCommandTaskManager}},
        {"log out", [&] { return r.logOutItem.get(); }, {kCommandLogOut}},
        {"close", [&] { return r.closeItem.get(); }, {kCommandCloseSession}},
        {"record on", [&] { return r.recordItem.get(); }, {kCommandNone}},
        {"record off", [&] { return r.recordItem.get(); }, {kCommandRecordSaved, kCommandNone}},
        {"settings page", [&] { return r.settingsItem.get(); }, {kCommandToggleSettingsPage}},
        {"gamepad setup", [&] { return r.setupControllerItem.get(); }, {kCommandShowGamepadSetup}},
        {"hot keys", [&] { return r.hotKeysSwitch->switchPicture.get(); }, {kCommandHotKeysOff}},
        {"hot keys again", [&] { return r.hotKeysSwitch->switchPicture.get(); }, {kCommandHotKeysOn}},
        {"resolution", [&] { return r.resolutionSwitch->switchPicture.get(); }, {kCommandResolution1080}},
        {"frame rate", [&] { return r.frameRateSwitch->switchPicture.get(); }, {kCommandFrameRate60}},
        {"restart", [&] { return r.restartItem.get(); }, {kCommandRestartMachine}},
        {"idle time-out", [&] { return r.timeoutItem.get(); }, {kCommandShowIdleTimeout}},
        {"system page", [&] { return r.systemItem.get(); }, {kCommandToggleSystemPage}},
        {"quality (a label)", [&] { return r.qualityLabel.get(); }, {}},
        {"decoder score (a label)", [&] { return r.decoderScoreLabel.get(); }, {}},
        {"data centre", [&] { return r.datacenterItem.get(); }, {kCommandResetDatacenter}},
        {"plan", [&] { return r.planItem.get(); }, {kCommandStreamPlan}},
        {"decoder", [&] { return r.decoderRow->decoderItem.get(); }, {kCommandToggleDecoderList}},
        {"graphics card (a label)", [&] { return r.gpuLabel.get(); }, {}},
        {"bug report", [&] { return r.bugReportItem.get(); }, {kCommandBugReport}},
    };
    for (const Case& c : cases) {
        f.bench.handler.commands.clear();
        Widget* w = c.target();
        ASSERT_TRUE(w->isVisible()) << c.name;
        f.bench.clickOn(*w);
        f.frames(3);
        EXPECT_EQ(f.bench.handler.commands, c.sent) << c.name;
    }
    // The switches show the other option after their click; the system page replaced the
    // settings page.
    EXPECT_EQ(r.resolutionSwitch->on, false);
    EXPECT_EQ(r.hotKeysSwitch->on, true);
    EXPECT_TRUE(r.systemPage->isVisible());
    EXPECT_FALSE(r.settingsPage->isVisible());
}

TEST(Menu, SwitchesAndTheRecordItemFollowAndChangeTheirVariables) {
    MenuFixture f;
    f.open();
    RightMenu& r = f.right();
    // The record item: on, then off (which also reports the saved recording).
    f.bench.clickOn(*r.recordItem);
    EXPECT_EQ(f.session.record.acceptRequests(), (std::vector<bool>{true}));
    f.frames(1);
    EXPECT_EQ(r.recordItem->text(), "Stop recording");
    f.session.record.streamerSets(false);
    f.frames(1);
    EXPECT_EQ(r.recordItem->text(), "Record");
    EXPECT_TRUE(f.session.record.sent.empty()) << "a change at the streamer is not written back";

    // The pass-through switch, on the settings page.
    r.toggleSettingsPage();
    f.frames(3);
    f.bench.clickOn(*r.passThroughSwitch->switchPicture);
    f.frames(1);
    EXPECT_EQ(f.session.controllers.acceptRequests(), (std::vector<bool>{false}));
    EXPECT_FALSE(r.passThroughSwitch->on);
    f.session.controllers.streamerSets(true);
    f.frames(1);
    EXPECT_TRUE(r.passThroughSwitch->on);
    EXPECT_TRUE(f.session.controllers.sent.empty());
}

TEST(Menu, PagesOpenOneAtATimeAndCloseWithoutFocus) {
    MenuFixture f;
    f.open();
    RightMenu& r = f.right();
    f.bench.clickOn(*r.settingsItem);
    f.frames(3);
    EXPECT_TRUE(r.settingsPage->isVisible());
    EXPECT_TRUE(r.settingsItem->active);
    EXPECT_FALSE(r.settingsArrow->isVisible());
    // Beside its item, to the left of the main page.
    EXPECT_EQ(r.settingsPage->y, r.settingsItem->y);
    EXPECT_EQ(r.settingsPage->x + r.settingsPage->width + 5, r.settingsItem->x);

    f.bench.clickOn(*r.systemItem);
    f.frames(3);
    EXPECT_TRUE(r.systemPage->isVisible());
    EXPECT_FALSE(r.settingsPage->isVisible());
    EXPECT_FALSE(r.settingsItem->active);
    EXPECT_TRUE(r.systemItem->active);
    f.bench.clickOn(*r.systemItem);
    f.frames(2);
    EXPECT_FALSE(r.systemPage->isVisible());
    EXPECT_TRUE(r.settingsArrow->isVisible());

    // A press on nothing closes an open page.
    r.toggleSettingsPage();
    f.frames(2);
    f.clickNowhere();
    f.frames(2);
    EXPECT_FALSE(r.settingsPage->isVisible());

    // Closing the menu closes the pages and clears the items.
    r.toggleSystemPage();
    f.bench.gui->setVisible(f.menu.get(), false);
    f.bench.gui->setVisible(f.menu.get(), true);
    EXPECT_FALSE(r.systemPage->isVisible());
    EXPECT_FALSE(r.systemItem->active);
}

TEST(Menu, SystemPageLabels) {
    MenuFixture f;
    RightMenu& r = f.right();
    r.setQuality(85);
    r.setDecoderScore(70);
    r.setDatacenterLabel("Frankfurt");
    r.setPlanLabel("A plan with a very long name indeed");
    r.setGpuLabel("llvmpipe");
    r.decoderRow->setDecoders({"Software", "VAAPI"});
    r.setCurrentDecoder("VAAPI");
    EXPECT_EQ(r.qualityLabel->text(), "85//100");
    EXPECT_EQ(r.decoderScoreLabel->text(), "70//100");
    EXPECT_EQ(r.datacenterItem->text(), "Frankfurt");
    EXPECT_EQ(r.planItem->text(), "A plan with a very long name indeed");
    EXPECT_EQ(r.gpuLabel->text(), "GPU: llvmpipe");
    EXPECT_EQ(r.decoderRow->decoderItem->text(), "Decoder: VAAPI");
    EXPECT_FALSE(r.qualityLabel->isInteractive());
    EXPECT_FALSE(r.gpuLabel->isFocusable());

    const std::uint32_t normal = f.bench.gui->getColor("player-button-main-default").value();
    const std::uint32_t yellow = f.bench.gui->getColor("yellow").value();
    r.setQualityWarningStyle();
    EXPECT_EQ(r.qualityLabel->defaultColour.value(), yellow);
    EXPECT_EQ(r.qualityLabel->hoverColour.value(), yellow);
    r.setQualityNormalStyle();
    EXPECT_EQ(r.qualityLabel->defaultColour.value(), normal);

    // The switches start at 720p, 30 fps and hot keys on; the screen sets the first two
    // from its settings.
    EXPECT_TRUE(r.resolutionSwitch->on);
    EXPECT_EQ(r.resolutionSwitch->currentCommand(), kCommandResolution1080);
    EXPECT_TRUE(r.frameRateSwitch->on);
    EXPECT_TRUE(r.hotKeysSwitch->on);
    r.setFramerateSwitchValue("60 fps");
    r.setResolutionSwitchValue("1080p");
    EXPECT_EQ(r.frameRateSwitch->currentCommand(), kCommandFrameRate30);
    EXPECT_EQ(r.resolutionSwitch->currentCommand(), kCommandResolution720);
    EXPECT_FALSE(r.frameRateSwitch->userChanged);
}

TEST(Menu, AccountPanelAndTimeoutFollowTheAccount) {
    MenuFixture f;
    ClientInfo info;
    info.balance.accountBalance = 12.9;
    info.balance.nextCredit = 3.7;
    info.balance.totalStorage = 50.0;
    info.balance.usedStorage = 20.5;
    info.balance.timeout = 15;
    f.window.state.setClientInfo(info);  // the first tick reads it in any case
    f.frames(1);
    ControlCredits& panel = *f.right().credits;
    EXPECT_EQ(panel.memoryItem->text(), "20 of 50 Gb");
    EXPECT_EQ(panel.creditCostText->currentText(), "1 credit per 10 Gb");
    EXPECT_EQ(panel.creditsItem->text(), "12 credits");
    EXPECT_EQ(panel.chargeText->currentText(), "3.00 / min");
    EXPECT_EQ(f.right().idleTimeoutDialog->chooser->value, "15");

    // Only a balance change reads the account again.
    f.window.state.setTip("tip");
    f.window.state.setUserPlan(UserPlan{});
    EXPECT_FALSE(f.menu->refreshPending.load());
    AccountBalance balance = info.balance;
    balance.timeout = -1;
    balance.accountBalance = -0.5;
    f.window.state.setAccountBalance(balance);
    EXPECT_TRUE(f.menu->refreshPending.load());
    f.frames(1);
    EXPECT_EQ(f.right().idleTimeoutDialog->chooser->value, "None");
    EXPECT_EQ(panel.creditsItem->text(), "0 credits");
}

TEST(Menu, BadgeShowsWaitingMessagesAndItsClickLeavesTheStream) {
    MenuFixture f;
    Menu& menu = *f.menu;
    EXPECT_TRUE(same(normalPicture(*menu.toggleButton), Menu::kTogglePicture));
    f.bench.clickOn(*menu.toggleButton);
    f.frames(1);
    EXPECT_TRUE(f.window.posted.empty()) << "no messages: the click only opens the menu";
    f.bench.gui->setVisible(&menu, false);

    MessageInfo message;
    message.id = 42;
    message.title = "Maintenance";
    std::vector<MessageInfo> messages{message};
    f.window.state.addMessages(messages);
    f.frames(1);
    EXPECT_TRUE(menu.alertShown);
    EXPECT_TRUE(same(normalPicture(*menu.toggleButton), Menu::kBadgePicture));
    // Reading the badge hands out nothing: the message can come back after a removal.
    f.window.state.removeMessage(42);
    std::vector<MessageInfo> again{message};
    f.window.state.addMessages(again);
    EXPECT_EQ(f.window.state.messageCount(), 1u);

    f.frames(2);
    f.bench.handler.commands.clear();
    f.bench.clickOn(*menu.toggleButton);
    EXPECT_EQ(f.bench.handler.commands, (Commands{kCommandOpenMenu}));
    f.frames(1);
    EXPECT_EQ(f.window.posted, (Commands{kCommandBack, kCommandReconnectAfterMessages}));

    f.window.state.removeMessage(42);
    f.frames(1);
    EXPECT_FALSE(menu.alertShown);
    EXPECT_TRUE(same(normalPicture(*menu.toggleButton), Menu::kTogglePicture));
}

TEST(Menu, CursorLockAndTourLock) {
    MenuFixture f;
    Menu& menu = *f.menu;
    menu.setCursorLocked(true);
    EXPECT_FALSE(menu.toggleButton->isEnabled());
    f.frames(1);
    for (int s : {ImageButton::Normal, ImageButton::Hover, ImageButton::Pressed}) {
        const ImageButton::State& st = menu.toggleButton->state(s);
        EXPECT_TRUE(same(Rect{st.x, st.y, st.width, st.height}, Menu::kUnlockPicture)) << s;
    }
    menu.hide(false);
    EXPECT_TRUE(menu.toggleButton->isVisible()) << "hide does nothing while the cursor is locked";
    menu.setCursorLocked(false);
    f.frames(1);
    EXPECT_TRUE(menu.toggleButton->isEnabled());
    EXPECT_TRUE(same(normalPicture(*menu.toggleButton), Menu::kTogglePicture));
    menu.hide(false);
    EXPECT_FALSE(menu.toggleButton->isVisible());
    EXPECT_FALSE(menu.toggleVisible());
    menu.hide(true);

    f.open();
    menu.setTourLock(true);
    EXPECT_FALSE(menu.toggleButton->isEnabled());
    for (const auto& item : f.left().topItems()) {
        EXPECT_FALSE(item->isInteractive());
        EXPECT_FALSE(item->pressShift);
    }
    for (MenuButton* m : f.right().mainItems())
        EXPECT_FALSE(m->isInteractive());
    EXPECT_FALSE(f.right().setupControllerItem->isInteractive());
    EXPECT_FALSE(f.right().timeoutItem->isInteractive());
    f.bench.clickOn(*f.right().accountItem);
    f.bench.clickOn(*f.left().fullScreenItem);
    EXPECT_TRUE(f.bench.handler.commands.empty());
    // The tour opens the settings page, which stays open without focus.
    f.right().toggleSettingsPage();
    f.clickNowhere();
    f.frames(2);
    EXPECT_TRUE(f.right().settingsPage->isVisible());

    // Hot keys off while the tour holds the menu: the unlock keeps the cursor-lock item off.
    menu.setCursorLockItemInteractive(false);
    menu.setTourLock(false);
    EXPECT_TRUE(menu.toggleButton->isEnabled());
    EXPECT_TRUE(f.left().fullScreenItem->isInteractive());
    EXPECT_TRUE(f.left().fullScreenItem->pressShift);
    EXPECT_FALSE(f.left().cursorLockItem->isInteractive());
    EXPECT_TRUE(f.right().accountItem->isInteractive());
    menu.setCursorLockItemInteractive(true);
    EXPECT_TRUE(f.left().cursorLockItem->isInteractive());
}

TEST(Menu, ToggleButtonPlaceHomeZoneAndResize) {
    MenuFixture f(1920, 1080);
    ImageButton& toggle = *f.menu->toggleButton;
    EXPECT_EQ(toggle.x, 960 - 24);
    EXPECT_EQ(toggle.y, 0);
    EXPECT_EQ(toggle.snapZoneX, 960 - 100);
    EXPECT_EQ(toggle.snapZoneY, 0);
    EXPECT_EQ(toggle.snapZoneWidth, 200);
    EXPECT_EQ(toggle.snapZoneHeight, 120);
    EXPECT_EQ(toggle.snapX, 960);
    EXPECT_EQ(toggle.snapY, 24);

    // Halving the window halves the place.
    f.bench.ctx.setWindowSize(960, 540);
    f.frames(2);
    EXPECT_EQ(toggle.x, 468);
    EXPECT_EQ(toggle.snapZoneX, 380);

    // A drag sticks, also across frames.
    f.bench.move(toggle.x + 10, toggle.y + 10);
    f.bench.press();
    f.bench.move(toggle.x + 10 + 200, toggle.y + 10 + 300);
    f.bench.release();
    f.frames(3);
    EXPECT_EQ(toggle.x, 468 + 200);
    EXPECT_EQ(toggle.y, 300);
    // Dragged back near home, it snaps to the top centre.
    f.bench.move(toggle.x + 10, toggle.y + 10);
    f.bench.press();
    f.bench.move(480 - 10, 20);
    f.bench.release();
    f.frames(2);
    EXPECT_EQ(toggle.x, 480 - 24);
    EXPECT_EQ(toggle.y, 0);
}

TEST(Menu, GamepadFormTakesTheMenusPlace) {
    MenuFixture f;
    Menu& menu = *f.menu;
    playeruitest::ScriptedPad pad(f.dir.path(), "Pad", 12, 6);
    ScriptedJoystickSource& source = pad.source;
    JoystickManager& manager = pad.manager;

    f.open();
    menu.showGamepadForm(true, &manager);
    f.frames(3);
    EXPECT_TRUE(menu.isOpen());
    EXPECT_FALSE(menu.isVisible());
    EXPECT_TRUE(menu.gamepadForm->isVisible());
    EXPECT_FALSE(menu.toggleButton->isVisible());
    EXPECT_FALSE(f.right().mainPage->isVisible());
    source.setButton(0, 1, true);
    manager.poll();
    f.frames(1);
    EXPECT_TRUE(menu.gamepadForm->button(1)->lit) << "the manager feeds the form";

    menu.showGamepadForm(false, &manager);
    f.frames(1);
    EXPECT_TRUE(menu.isVisible());
    EXPECT_FALSE(menu.gamepadForm->isVisible());
    source.setButton(0, 1, false);
    manager.poll();
    f.frames(1);
    EXPECT_TRUE(menu.gamepadForm->button(1)->lit) << "no longer fed";
}

// The in-stream screen builds the menu with its session's variable users and reaches it
// through the menu's interface.
TEST(Menu, BuiltWithTheSessionsVariables) {
    MenuFixture f;
    auto record = f.session.record.subscribe();
    auto controllers = f.session.controllers.subscribe();
    auto autoBitrate = f.session.autoBitrate.subscribe();
    auto bitrate = f.session.bitrate.subscribe();
    StreamMenuVariables variables;
    variables.recordStream = record.get();
    variables.enableControllers = controllers.get();
    variables.autoBitrate = autoBitrate.get();
    variables.bitrate = bitrate.get();
    f.menu.reset();
    std::shared_ptr<IStreamMenu> menu = std::make_shared<Menu>(&f.window, variables, &f.screen);
    f.bench.gui->setVisible(menu->widget(), true);
    f.frames(3);
    f.session.bitrate.streamerSets(1024 * 4000);
    f.frames(1);
    EXPECT_EQ(menu->bitrateSlider().getBitrate(), 1024 * 4000);
    menu->rightMenu().toggleSettingsPage();
    EXPECT_FALSE(menu->rightMenu().timeoutDialog().isVisible());
    menu->rightMenu().timeoutDialog().setVisible(true);
    EXPECT_TRUE(menu->rightMenu().timeoutDialog().isVisible());
    EXPECT_FALSE(menu->rightMenu().timeoutDialog().hasChosenValue());
    menu.reset();
    EXPECT_EQ(record.use_count(), 1) << "the menu owns none of them";
}

TEST(Menu, EndsItsAccountListenerWithItself) {
    MenuFixture f;
    f.menu.reset();
    ClientInfo info;
    info.balance.accountBalance = 1;
    f.window.state.setClientInfo(info);  // would reach a freed listener otherwise
    SUCCEED();
}
