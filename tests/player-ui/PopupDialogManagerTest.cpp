// The popup dialog manager on the recording context: every dialog of the catalogue opens for
// its command with its texts and buttons, buttons send their commands once, the queue's
// order and its rules for connection dialogs, the grey-out overlay following the modal
// state, dialogs that close themselves inside their own click, and dragging.

#include "DialogWindowBench.h"

#include "core/LanguageStore.h"
#include "gui/Button.h"
#include "gui/ImageButton.h"
#include "gui/Static.h"
#include "gui/Table.h"
#include "player-ui/CloseDynamicPopupDialogTask.h"
#include "player-ui/PlayerCommandIds.h"
#include "player-ui/PostMessageUITask.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

using playeruitest::DialogBench;
using playeruitest::labelText;
using playeruitest::loadLanguage;
using Ids = std::vector<int>;

namespace {

// A few texts in a language file; every other key reads as itself.
const std::map<std::string, std::string> kTranslated = {
    {"dialog_caption_warning", "Warning"},
    {"dialog_content_power_mode", "The power plan limits the decoder."},
    {"button_ok", "OK"},
    {"button_cancel", "Cancel"},
};

std::string shown(const std::string& key) {
    const auto it = kTranslated.find(key);
    return it == kTranslated.end() ? key : it->second;
}

class PopupDialogManagerTest : public ::testing::Test {
protected:
    void SetUp() override { loadLanguage(kTranslated); }
};

std::vector<std::string> buttonTexts(const PopupDialogForm& form) {
    std::vector<std::string> texts;
    for (const auto& b : form.buttonList) texts.push_back(b->text());
    return texts;
}

}  // namespace

using PopupDialogManagerCatalogue = PopupDialogManagerTest;

TEST_F(PopupDialogManagerCatalogue, EachCommandOpensItsDialogWithItsTextsAndButtons) {
    struct Case {
        int command;
        int dialog;
        std::string caption;  // suffix of "dialog_caption_"
        std::string text;     // suffix of "dialog_content_", or a fixed text after "="
        std::vector<std::string> buttons;
    };
    const std::vector<std::string> ok{"button_ok"};
    const std::vector<std::string> none;
    const std::vector<std::string> cancel{"button_cancel"};
    const std::vector<std::string> exitOnly{"button_exit"};
    const std::vector<std::string> session{"button_end_session", "button_leave_running", "button_cancel"};
    std::vector<Case> cases = {
        {125, 59, "warning", "=Test message!", ok},
        {4, 4, "waiting_exit", "waiting_exit", none},
        {87, 21, "feature_coming_soon", "feature_coming_soon", ok},
        {46, 0, "warning", "power_mode", ok},
        {54, 18, "waiting", "benchmark_loading_data", none},
        {55, 20, "error", "benchmark_file_missing", ok},
        {107, 27, "warning", "refresh_reset_dorvik", {"button_reset", "button_refresh", "button_cancel"}},
        {103, 2, "waiting", "streamer_checking", none},
        {104, 3, "waiting", "streamer_updating", none},
        {98, 12, "mouse_mode_toggle", "relative_mouse_helper", ok},
        {99, 24, "warning", "slow_connection", ok},
        {9, 13, "screen_capture", "video_record_saved", ok},
        {33, 26, "warning", "refresh_reset_dorvik", {"button_reset", "button_refresh", "button_cancel"}},
        {88, 25, "warning", "reset_datacenter", {"button_go", "button_cancel"}},
        {57, 7, "waiting", "control_connection_error", cancel},
        {58, 8, "waiting", "control_connection_timeout", cancel},
        {59, 9, "error", "video_connection_error", cancel},
        {60, 5, "error", "auth_failed", exitOnly},
        {61, 19, "loading", "cloud_change_language", none},
        {62, 11, "error", "another_user_connected", exitOnly},
        {15, 28, "warning", "save_credits", session},
        {16, 29, "warning", "save_credits", session},
        {89, 1, "warning", "stream_plan", {"button_yes", "button_cancel"}},
        {65, 30, "gamepad_setup", "gamepad_setup_joystick_left_part1", cancel},
        {101, 31, "gamepad_setup", "gamepad_setup_joystick_left_part2", cancel},
        {66, 32, "gamepad_setup", "gamepad_setup_joystick_right_part1", cancel},
        {102, 33, "gamepad_setup", "gamepad_setup_joystick_right_part2", cancel},
    };
    const char* const gamepadButtons[] = {"a",      "b",          "x",        "y",       "lbumper", "rbumper",
                                          "ltrigger", "rtrigger", "start",    "lstick",  "rstick",  "dpad_up",
                                          "dpad_down", "dpad_left", "dpad_right", "back", "guide"};
    for (int i = 0; i < 17; ++i)
        cases.push_back({67 + i, 34 + i, "gamepad_setup", std::string("gamepad_setup_button_") + gamepadButtons[i],
                         cancel});

    DialogBench bench;
    for (const Case& c : cases) {
        SCOPED_TRACE("command " + std::to_string(c.command));
        bench.send(kCommandCloseAllDialogs);
        bench.send(c.command);
        bench.frame();
        EXPECT_EQ(bench.manager().shownDialog(), c.dialog);
        EXPECT_EQ(bench.manager().queuedDialogs(), Ids{c.dialog});
        const PopupDialogForm& form = bench.form();
        EXPECT_EQ(labelText(*form.captionLabel), shown("dialog_caption_" + c.caption));
        const std::string text = c.text[0] == '=' ? c.text.substr(1) : shown("dialog_content_" + c.text);
        EXPECT_EQ(labelText(*form.textLabel), text);
        std::vector<std::string> buttons;
        for (const std::string& key : c.buttons) buttons.push_back(shown(key));
        EXPECT_EQ(buttonTexts(form), buttons);
        EXPECT_EQ(form.extraLabel, nullptr);
        if (!buttons.empty()) {
            EXPECT_EQ(form.buttonTable->columns(), int(buttons.size()));
        }
    }
    EXPECT_EQ(bench.manager().commandTable().size(), 54u) << "55 insertions, 107 twice";
}

TEST_F(PopupDialogManagerCatalogue, DescriptionsCarryTheLookOfTheSessionButtons) {
    DialogBench bench;
    for (int dialog : {26, 27, 28, 29}) {
        SCOPED_TRACE(dialog);
        const DialogDescription d = bench.manager().commandDialog(dialog);
        EXPECT_EQ(d.buttonAlignment, 2);
        ASSERT_EQ(d.buttons.size(), 3u);
        EXPECT_TRUE(d.buttons[0].hasColour);
        EXPECT_EQ(d.buttons[0].colour.value(), Color(244, 67, 54, 255).value());
        const bool session = dialog >= 28;
        EXPECT_EQ(d.buttons[1].hasColour, session);
        EXPECT_EQ(d.buttons[2].hasColour, session);
        if (session) {
            EXPECT_EQ(d.buttons[1].colour.value(), Color(251, 172, 11, 240).value());
            EXPECT_EQ(d.buttons[2].colour.value(), Color(140, 198, 63, 255).value());
        }
        for (const DialogButtonDescription& b : d.buttons) EXPECT_EQ(b.width, session ? 120 : 0);
    }
    for (int empty : {51, 58, -1, 60, 200}) {
        const DialogDescription d = bench.manager().commandDialog(empty);
        EXPECT_TRUE(d.caption.empty() && d.text.empty() && d.buttons.empty()) << empty;
    }
}

TEST_F(PopupDialogManagerCatalogue, TextsAreLookedUpWhenTheDialogOpens) {
    DialogBench bench;
    bench.send(kCommandPowerModeWarning);
    EXPECT_EQ(labelText(*bench.form().captionLabel), "Warning");
    loadLanguage({{"dialog_caption_warning", "Achtung"}});
    EXPECT_EQ(labelText(*bench.form().captionLabel), "Warning") << "the open dialog keeps its texts";
    bench.send(kCommandCloseAllDialogs);
    bench.send(kCommandPowerModeWarning);
    EXPECT_EQ(labelText(*bench.form().captionLabel), "Achtung");
    bench.send(kCommandCloseAllDialogs);
    bench.send(kCommandTestMessage);
    EXPECT_EQ(labelText(*bench.form().textLabel), "Test message!");
}

TEST_F(PopupDialogManagerTest, CommandsCloseAndOpenDialogsByTheTable) {
    // Steps are window commands; kOpen + n opens dialog n directly (no command opens 6, 10
    // or 22).
    constexpr int kOpen = 1000;
    struct Case {
        const char* name;
        Ids steps;
        Ids queue;  // afterwards, the shown dialog first
    };
    const Case cases[] = {
        {"a connection error twice is queued once", {57, 57}, {7}},
        {"a timeout waits behind an error", {57, 58}, {7, 8}},
        {"an outcome replaces connection started", {kOpen + 6, 58}, {8}},
        {"a new connection started goes to the end", {kOpen + 6, 46, kOpen + 6}, {0, 6}},
        {"no error while another user is connected", {62, 57}, {11}},
        {"no error while the language changes", {61, 57}, {19}},
        {"the refused error still closes connection started", {kOpen + 6, 61, 57}, {19}},
        {"missing benchmark file closes everything first", {46, 98, 55}, {20}},
        {"streamer check then update", {103, 104}, {3}},
        {"streamer check done", {103, 104, 105}, {}},
        {"107 opens 27 once", {107, 107}, {27}},
        {"connection dialogs close, loading stays", {kOpen + 6, kOpen + 10, kOpen + 22, 57, 58, 97}, {10}},
        {"gamepad cancel closes every step", {65, 101, 67, 84}, {}},
        {"gamepad detection ended", {66, 102, 83, 100}, {}},
        {"close all", {46, 98, 9, 124}, {}},
        {"back closes all", {57, 86}, {}},
        {"selection screen closes all", {88, 119}, {}},
        {"dialogs queue in order", {98, 9, 99, 87}, {12, 13, 24, 21}},
        {"release keeps a dialog without provider", {46, 116}, {0}},
        {"unknown commands change nothing", {46, 3, 64, 126, 999}, {0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DialogBench bench;
        for (int step : c.steps) {
            if (step >= kOpen)
                bench.manager().openDialog(step - kOpen);
            else
                bench.send(step);
        }
        EXPECT_EQ(bench.manager().queuedDialogs(), c.queue);
        EXPECT_EQ(bench.manager().shownDialog(), c.queue.empty() ? -1 : c.queue.front());
        EXPECT_EQ(bench.manager().currentForm() != nullptr, !c.queue.empty());
    }
}

TEST_F(PopupDialogManagerTest, AHigherPriorityGoesFirstAndEachPriorityIsFirstInFirstOut) {
    DialogBench bench;
    PopupDialogManager& m = bench.manager();
    m.queueDialog(12, m.commandDialog(12), 0);
    m.queueDialog(13, m.commandDialog(13), 0);
    EXPECT_EQ(m.shownDialog(), 12);
    m.queueDialog(24, m.commandDialog(24), 5);
    EXPECT_EQ(m.shownDialog(), 24) << "a higher priority replaces the form on screen";
    m.closeDialog(24);
    EXPECT_EQ(m.shownDialog(), 12) << "then the first-in of the lower priority";
    m.closeDialog(12);
    EXPECT_EQ(m.shownDialog(), 13);
    m.closeDialog(13);
    EXPECT_EQ(m.shownDialog(), -1);
    EXPECT_EQ(m.currentForm(), nullptr);

    // Closing a queued dialog removes it silently; closing one that is not there, or 60,
    // changes nothing.
    bench.send(98);
    bench.send(9);
    bench.send(99);
    m.closeDialog(13);
    m.closeDialog(60);
    m.closeDialog(40);
    EXPECT_EQ(m.queuedDialogs(), (Ids{12, 24}));
    EXPECT_EQ(m.shownDialog(), 12);
}

// What became of the connection goes before the start-up dialogs of the stream (mouse
// mode, slow connection), which speak of a picture that is not there.
TEST_F(PopupDialogManagerTest, ConnectionOutcomesGoBeforeTheOtherDialogs) {
    struct Case {
        const char* name;
        Ids steps;
        int shown;
        Ids after;  // shown one after the other as each closes
    };
    const Case cases[] = {
        {"an error over the mouse-mode help", {98, 57}, 7, {12}},
        {"a time-out over two waiting dialogs", {98, 99, 58}, 8, {12, 24}},
        {"outcomes keep their own order", {98, 57, 58}, 7, {8, 12}},
        {"a refusal over the help", {98, 60}, 5, {12}},
        {"another user over the help", {98, 62}, 11, {12}},
        {"an outcome first, then other dialogs wait", {57, 98}, 7, {12}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DialogBench bench;
        for (int step : c.steps) bench.send(step);
        EXPECT_EQ(bench.manager().shownDialog(), c.shown);
        for (int next : c.after) {
            bench.manager().closeDialog(bench.manager().shownDialog());
            EXPECT_EQ(bench.manager().shownDialog(), next);
        }
    }
    // The first picture after a reconnection closes the connection dialogs: the help the
    // user had not closed yet comes back.
    DialogBench bench;
    for (int step : {98, 57, 58, 97}) bench.send(step);
    EXPECT_EQ(bench.manager().queuedDialogs(), Ids{12});
    EXPECT_EQ(bench.manager().shownDialog(), 12);
}

TEST_F(PopupDialogManagerTest, TheConnectionLostDialogSaysWhyAndItsOkGoesBack) {
    DialogBench bench;
    bench.send(kCommandRelativeMouseHelp);
    bench.send(kCommandConnectionError);
    bench.manager().closeConnectionDialogs();
    bench.manager().openDialog(PopupDialogManager::kConnectionLostDialog, "Connection refused");
    bench.frame();
    ASSERT_EQ(bench.manager().shownDialog(), 17);
    EXPECT_EQ(bench.manager().queuedDialogs(), (Ids{12, 17}));
    const PopupDialogForm& form = bench.form();
    EXPECT_EQ(labelText(*form.captionLabel), "dialog_caption_error");
    EXPECT_EQ(labelText(*form.textLabel), "dialog_content_control_connection_lost");
    ASSERT_NE(form.extraLabel, nullptr);
    EXPECT_EQ(labelText(*form.extraLabel), "Connection refused");
    EXPECT_EQ(buttonTexts(form), std::vector<std::string>{"OK"});

    bench.takeSent();
    bench.clickOn(*form.buttonList[0]);
    EXPECT_EQ(bench.takeSent(), Ids{kCommandBack});
    EXPECT_TRUE(bench.manager().queuedDialogs().empty()) << "going back closes every dialog";
}

TEST_F(PopupDialogManagerTest, TheGreyOutFollowsTheModalStateAndTheDialogs) {
    DialogBench bench;
    PopupDialogManager& m = bench.manager();
    ImageButton& greyOut = *m.greyOutButton();
    EXPECT_EQ(greyOut.z, -100);
    EXPECT_EQ(greyOut.x, -10000);
    EXPECT_EQ(greyOut.width, 20000);
    EXPECT_FALSE(greyOut.isVisible());

    m.onModalStateChanged(true);
    EXPECT_TRUE(greyOut.isVisible());
    bench.send(kCommandCloseAllDialogs);
    EXPECT_TRUE(greyOut.isVisible()) << "closing all keeps the overlay while a modal widget is up";
    m.onModalStateChanged(false);
    EXPECT_FALSE(greyOut.isVisible());

    bench.send(kCommandPowerModeWarning);
    EXPECT_TRUE(greyOut.isVisible()) << "shown with the dialog, before any frame";
    EXPECT_TRUE(m.isGreyOutVisible());
    bench.frame();
    EXPECT_TRUE(greyOut.isVisible());

    // A click on the dimmed area outside the dialog sends 2; the dialog stays.
    bench.takeSent();
    bench.click(5, 5);
    EXPECT_EQ(bench.takeSent(), Ids{kCommandGreyOutClicked});
    EXPECT_EQ(m.shownDialog(), 0);

    bench.clickOn(*bench.form().buttonList[0]);
    bench.frame();
    EXPECT_FALSE(greyOut.isVisible()) << "the frame after the close reports no modal widget";
    EXPECT_FALSE(m.isGreyOutVisible());
    EXPECT_FALSE(m.isPopupVisible());
}

TEST_F(PopupDialogManagerTest, ButtonsSendOrPostTheirCommandsExactlyOnce) {
    struct Case {
        int command;
        std::size_t button;
        Ids sent;     // dispatched inside the click
        Ids posted;   // queued for the main loop
        Ids queue;    // right after the click
    };
    const Case cases[] = {
        {46, 0, {}, {}, {}},                                    // 0 ok: close
        {55, 0, {}, {kCommandSelectionScreen}, {}},             // 20 ok: close, then 119
        {88, 0, {}, {kCommandRestartMachine}, {}},              // 25 go: close, then 33
        {88, 1, {}, {}, {}},                                    // 25 cancel
        {57, 0, {kCommandBack}, {}, {}},                        // 7 cancel: 86 closes all in the click
        {59, 0, {kCommandBack}, {}, {}},                        // 9 cancel
        {60, 0, {kCommandExitFromDialog}, {}, {5}},             // 5 exit
        {62, 0, {kCommandExitFromDialog}, {}, {11}},            // 11 exit
        {65, 0, {kCommandGamepadDetectCancel}, {}, {}},         // 30 cancel: 84 closes 30..50
        {15, 1, {}, {kCommandExit}, {28}},                      // 28 leave running: end the player
        {16, 1, {}, {kCommandBack}, {29}},                      // 29 leave running: back to selection
        {15, 2, {}, {}, {}},                                    // 28 cancel
        {107, 2, {}, {}, {}},                                   // 27 cancel
        {125, 0, {}, {}, {}},                                   // 59 ok
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("command " + std::to_string(c.command) + " button " + std::to_string(c.button));
        DialogBench bench;
        bench.send(c.command);
        bench.frame();
        ASSERT_LT(c.button, bench.form().buttonList.size());
        bench.takeSent();
        bench.clickOn(*bench.form().buttonList[c.button]);
        EXPECT_EQ(bench.takeSent(), c.sent);
        EXPECT_EQ(bench.window.takePosted(), c.posted);
        EXPECT_EQ(bench.manager().queuedDialogs(), c.queue);
        bench.frame();
        EXPECT_EQ(bench.manager().retiredCount(), 0u);
    }
}

TEST_F(PopupDialogManagerTest, ADialogClosedByItsOwnButtonLivesUntilTheNextFrame) {
    for (int command : {kCommandPowerModeWarning, kCommandConnectionError}) {
        SCOPED_TRACE(command);
        DialogBench bench;
        bench.send(command);
        bench.frame();
        std::weak_ptr<Button> button = bench.form().buttonList[0];
        const Widget* form = bench.manager().currentForm();
        bench.clickOn(*button.lock());
        bench.takeSent();
        // Inside the click the form and its button must stay usable; right after it they are
        // off screen and out of reach of the pointer.
        EXPECT_EQ(bench.manager().currentForm(), nullptr);
        EXPECT_EQ(bench.manager().retiredCount(), 1u);
        ASSERT_FALSE(button.expired());
        EXPECT_FALSE(form->isVisible());
        EXPECT_FALSE(button.lock()->isVisible());
        bench.move(button.lock()->x + 2, button.lock()->y + 2);
        bench.press();
        bench.release();
        for (int id : bench.takeSent())
            EXPECT_EQ(id, kCommandGreyOutClicked) << "a hidden button takes no second click";
        bench.frame();
        EXPECT_TRUE(button.expired()) << "freed by the next frame";
        EXPECT_EQ(bench.manager().retiredCount(), 0u);
    }
}

TEST_F(PopupDialogManagerTest, ADraggedDialogComesBackCentredWhenAnotherIsQueued) {
    DialogBench bench;
    bench.send(kCommandRelativeMouseHelp);
    bench.frame();
    const Table& before = *bench.form().contentTable;
    const int x0 = before.x, y0 = before.y;
    // Drag by a point of the text row (no control there).
    const int px = before.x + 3, py = bench.form().textLabel->y + 2;
    bench.move(px, py);
    bench.press();
    bench.move(px + 120, py + 40);
    bench.release();
    bench.frame();
    EXPECT_EQ(bench.form().contentTable->x, x0 + 120);
    EXPECT_EQ(bench.form().contentTable->y, y0 + 40);
    bench.frame();
    EXPECT_EQ(bench.form().contentTable->x, x0 + 120) << "the form stays where it was left";

    bench.send(kCommandRecordSaved);
    bench.frame();
    EXPECT_EQ(bench.manager().shownDialog(), 12) << "the new dialog waits behind the one on screen";
    EXPECT_EQ(bench.form().contentTable->x, x0);
    EXPECT_EQ(bench.form().contentTable->y, y0);

    bench.clickOn(*bench.form().buttonList[0]);
    bench.frame();
    EXPECT_EQ(bench.manager().shownDialog(), 13);
}
