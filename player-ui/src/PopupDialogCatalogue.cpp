// The vocabulary of the player's dialogs: which window command closes and opens which
// dialog (the command table), every dialog with its texts and buttons (the catalogue), and
// the pages of the guided tour. Texts are language keys, looked up when a dialog is opened
// or a tour page registered, so a language change shows in the next one.

#include "player-ui/PopupDialogManager.h"

#include "core/LanguageStore.h"
#include "gui/GUITasks.h"
#include "player-ui/CloseDynamicPopupDialogTask.h"
#include "player-ui/IPlayerWindow.h"
#include "player-ui/PlayerCommandIds.h"
#include "player-ui/PostMessageUITask.h"
#include "webapi/PlayerApi.h"

#include <string>

namespace {

std::string text(const std::string& key) { return LanguageStore::instance().text(key); }

// The state the service puts a machine in while it is stopped from a dialog: 5 when the
// user goes on to something else afterwards (refresh, a new plan), 0 when the session ends.
constexpr std::int32_t kStopThenContinue = 5;
constexpr std::int32_t kStopAndEnd = 0;

// Dialog texts: caption key suffix, text key suffix.
struct Texts {
    int id;
    const char* caption;
    const char* text;
};
const Texts kTexts[] = {
    {0, "warning", "power_mode"},
    {1, "warning", "stream_plan"},
    {2, "waiting", "streamer_checking"},
    {3, "waiting", "streamer_updating"},
    {4, "waiting_exit", "waiting_exit"},
    {5, "error", "auth_failed"},
    {6, "loading", "control_connection_started"},
    {7, "waiting", "control_connection_error"},
    {8, "waiting", "control_connection_timeout"},
    {9, "error", "video_connection_error"},
    {10, "loading", "loading_get_vm"},
    {11, "error", "another_user_connected"},
    {12, "mouse_mode_toggle", "relative_mouse_helper"},
    {13, "screen_capture", "video_record_saved"},
    {14, "warning", "fps_latency"},
    {15, "warning", "resolution_latency"},
    {16, "waiting", "testing_benchmark"},
    {17, "error", "control_connection_lost"},
    {18, "waiting", "benchmark_loading_data"},
    {19, "loading", "cloud_change_language"},
    {20, "error", "benchmark_file_missing"},
    {21, "feature_coming_soon", "feature_coming_soon"},
    {22, "error", "network_error"},
    {23, "warning", "unable_optimize"},
    {24, "warning", "slow_connection"},
    {25, "warning", "reset_datacenter"},
    {26, "warning", "refresh_reset_dorvik"},
    {27, "warning", "refresh_reset_dorvik"},
    {28, "warning", "save_credits"},
    {29, "warning", "save_credits"},
    {30, "gamepad_setup", "gamepad_setup_joystick_left_part1"},
    {31, "gamepad_setup", "gamepad_setup_joystick_left_part2"},
    {32, "gamepad_setup", "gamepad_setup_joystick_right_part1"},
    {33, "gamepad_setup", "gamepad_setup_joystick_right_part2"},
    {34, "gamepad_setup", "gamepad_setup_button_a"},
    {35, "gamepad_setup", "gamepad_setup_button_b"},
    {36, "gamepad_setup", "gamepad_setup_button_x"},
    {37, "gamepad_setup", "gamepad_setup_button_y"},
    {38, "gamepad_setup", "gamepad_setup_button_lbumper"},
    {39, "gamepad_setup", "gamepad_setup_button_rbumper"},
    {40, "gamepad_setup", "gamepad_setup_button_ltrigger"},
    {41, "gamepad_setup", "gamepad_setup_button_rtrigger"},
    {42, "gamepad_setup", "gamepad_setup_button_start"},
    {43, "gamepad_setup", "gamepad_setup_button_lstick"},
    {44, "gamepad_setup", "gamepad_setup_button_rstick"},
    {45, "gamepad_setup", "gamepad_setup_button_dpad_up"},
    {46, "gamepad_setup", "gamepad_setup_button_dpad_down"},
    {47, "gamepad_setup", "gamepad_setup_button_dpad_left"},
    {48, "gamepad_setup", "gamepad_setup_button_dpad_right"},
    {49, "gamepad_setup", "gamepad_setup_button_back"},
    {50, "gamepad_setup", "gamepad_setup_button_guide"},
    {59, "warning", nullptr},  // a fixed text in every language
};
const char* const kTestMessage = "Test message!";

// The colours and width of the buttons that end or keep a session.
constexpr Color kRed(244, 67, 54, 255);
constexpr Color kAmber(251, 172, 11, 240);
constexpr Color kGreen(140, 198, 63, 255);
constexpr int kSessionButtonWidth = 120;

DialogButtonDescription& styled(DialogButtonDescription& button, Color colour, int width = 0) {
    button.colour = colour;
    button.hasColour = true;
    button.width = width;
    return button;
}

// a, then b when a succeeded; returns a.
TaskPtr then(TaskPtr a, TaskPtr b) {
    a->addOnSuccess(std::move(b));
    return a;
}

}  // namespace

void PopupDialogManager::addRow(int commandId, int action, int dialog) {
    commandTable_[commandId] = CommandTableRow{{dialog}, {action}};
}

void PopupDialogManager::buildCommandTable() {
    addRow(kCommandTestMessage, kNothing, 59);
    addRow(kCommandStopRendering, kNothing, 4);
    addRow(kCommandComingSoon, kNothing, 21);
    addRow(kCommandBack, kCloseAll, kNothing);
    addRow(kCommandCloseAllDialogs, kCloseAll, kNothing);
    addRow(kCommandPowerModeWarning, kNothing, 0);
    addRow(kCommandBenchmarkLoading, kNothing, 18);
    addRow(kCommandBenchmarkFileMissing, kCloseAll, 20);
    addRow(kCommandTourNext, kNothing, kStartTour);
    addRow(kCommandTourEnd, kEndTour, kNothing);
    addRow(kCommandSelectionScreen, kCloseAll, kNothing);
    addRow(kCommandRefreshResetMachine, kNothing, 27);
    addRow(kCommandRefreshResetMachine, kNothing, 27);
    addRow(kCommandReleaseDynamicForm, kReleaseDynamicForm, kNothing);
    addRow(kCommandCheckingStreamer, kCloseStreamerDialogs, 2);
    addRow(kCommandUpdatingStreamer, kCloseStreamerDialogs, 3);
    addRow(kCommandStreamerCheckDone, kCloseStreamerDialogs, kNothing);
    addRow(kCommandCloseConnectionDialogs, kCloseConnectionDialogs, kNothing);
    addRow(kCommandRelativeMouseHelp, kNothing, 12);
    addRow(kCommandSlowConnection, kNothing, 24);
    addRow(kCommandRecordSaved, kNothing, 13);
    addRow(kCommandRestartMachine, kNothing, 26);
    addRow(kCommandResetDatacenter, kNothing, 25);
    addRow(kCommandConnectionError, kNothing, 7);
    addRow(kCommandConnectionTimeout, kNothing, 8);
    addRow(kCommandVideoConnectionError, kNothing, 9);
    addRow(kCommandAuthorizationFailed, kNothing, 5);
    addRow(kCommandMachineLanguageChange, kNothing, 19);
    addRow(kCommandAnotherClientLoggedIn, kNothing, 11);
    addRow(kCommandLogOut, kNothing, 28);
    addRow(kCommandCloseSession, kNothing, 29);
    addRow(kCommandStreamPlan, kNothing, 1);
    // The gamepad form's pictures: the first part of each stick, then one dialog per button.
    addRow(kCommandGamepadDetectFirst, kNothing, 30);
    addRow(kCommandGamepadDetectFirst + 1, kNothing, 32);
    for (int command = kCommandGamepadDetectFirst + 2, dialog = 34; command <= kCommandGamepadDetectLast;
         ++command, ++dialog)
        addRow(command, kNothing, dialog);
    addRow(kCommandLeftStickPart2, kNothing, 31);
    addRow(kCommandRightStickPart2, kNothing, 33);
    addRow(kCommandGamepadDetectCancel, kCloseGamepadSetupDialogs, kNothing);
    addRow(kCommandGamepadDetectionEnded, kCloseGamepadSetupDialogs, kNothing);
}

DialogDescription PopupDialogManager::commandDialog(int dialogId) {
    DialogDescription d;
    const Texts* entry = nullptr;
    for (const Texts& t : kTexts)
        if (t.id == dialogId) entry = &t;
    if (!entry) return d;
    d.caption = text(std::string("dialog_caption_") + entry->caption);
    d.text = entry->text ? text(std::string("dialog_content_") + entry->text) : kTestMessage;

    IPlayerWindow* w = window_;
    auto close = [this, dialogId] { return std::make_shared<CloseDynamicPopupDialogTask>(this, dialogId); };
    auto post = [w](int command) { return std::make_shared<PostMessageUITask>(w, command); };
    // The machine as it is now: the buttons act on it even when the selection changes later.
    auto machine = [w] { return w ? w->clientState().getSelectedDesktop() : DesktopInfo(); };
    auto stop = [w](const DesktopInfo& m, std::int32_t state) { return w->playerApi().makeStopVMTask(m, state); };
    auto remove = [w](const DesktopInfo& m) { return w->playerApi().makeDeleteVMTask(m); };

    switch (dialogId) {
        case 0: case 12: case 13: case 14: case 15: case 21: case 23: case 24: case 59:
            d.addButton(text("button_ok"), close());
            break;
        case 1: {
            const DesktopInfo m = machine();
            d.addButton(text("button_yes"),
                        then(post(kCommandBack), then(stop(m, kStopThenContinue), post(kCommandPlansAfterStop))));
            d.addButton(text("button_cancel"), close());
            break;
        }
        case 5: case 11:
            d.addButton(text("button_exit"), kCommandExitFromDialog);
            break;
        case 6: case 7: case 8: case 9: case 10:
            d.addButton(text("button_cancel"), kCommandBack);
            break;
        case kConnectionLostDialog:
            d.addButton(text("button_ok"), kCommandBack);
            break;
        case 20:
            d.addButton(text("button_ok"), then(close(), post(kCommandSelectionScreen)));
            break;
        case 25:
            d.addButton(text("button_go"), then(close(), post(kCommandRestartMachine)));
            d.addButton(text("button_cancel"), close());
            break;
        case 26: {
            const DesktopInfo m = machine();
            styled(d.addButton(text("button_reset"), then(post(kCommandBack), remove(m))), kRed);
            d.addButton(text("button_refresh"), then(post(kCommandBack), stop(m, kStopThenContinue)));
            d.addButton(text("button_cancel"), close());
            break;
        }
        case 27: {
            const DesktopInfo m = machine();
            styled(d.addButton(text("button_reset"), then(remove(m), close())), kRed);
            // A stopped machine needs no request: the dialog just closes.
            d.addButton(text("button_refresh"), m.isStopped() ? close() : then(stop(m, kStopThenContinue), close()));
            d.addButton(text("button_cancel"), close());
            break;
        }
        case 28: case 29: {
            // 28 ends the player, 29 goes back to the machine selection.
            const int after = dialogId == 28 ? kCommandExit : kCommandBack;
            const DesktopInfo m = machine();
            // A machine of the command line is not the service's to stop: ending the session
            // only leaves it.
            TaskPtr endSession = w->isDirectConnection()
                                     ? TaskPtr(post(after))
                                     : w->playerApi().wrap(then(stop(m, kStopAndEnd), post(after)));
            styled(d.addButton(text("button_end_session"), endSession), kRed, kSessionButtonWidth);
            styled(d.addButton(text("button_leave_running"), post(after)), kAmber, kSessionButtonWidth);
            styled(d.addButton(text("button_cancel"), close()), kGreen, kSessionButtonWidth);
            break;
        }
        default:
            if (dialogId >= 30 && dialogId <= 50) d.addButton(text("button_cancel"), kCommandGamepadDetectCancel);
            break;
    }
    return d;
}

// ---- the tour ----

TourPage PopupDialogManager::tour(int page) const {
    PlayerGUI* g = window_ ? window_->playerGUI() : nullptr;
    return tour(page, g ? g->uiScale() : 1.0f, window_);
}

TourPage PopupDialogManager::tour(int page, float uiScale, IPlayerWindow* window) {
    struct Row {
        const char* name;
        const char* button;  // a fixed text; null: the text of "text_continue"
        bool arrow;
        const char* counter;
        int width;       // at a UI scale of exactly 1
        int otherWidth;  // at any other scale
        int beside;
        int offsetY;
        int offsetX;
    };
    static const Row kPages[] = {
        {"first", "Start Tour", false, "", 800, 900, 0, 0, 0},
        {"second", nullptr, true, "1 of 4", 770, 850, 0, 0, 0},
        {"third", nullptr, true, "2 of 4", 600, 670, 0, 0, 0},
        {"fourth", nullptr, true, "3 of 4", 770, 770, 0, 0, 0},
        {"fifth", nullptr, true, "4 of 4", 860, 860, 0, 0, 0},
        {"stream_start", "Start Tour", false, "", 500, 550, 0, 0, 0},
        {"stream_first", nullptr, true, "1 of 5", 450, 490, 0, 0, 0},
        {"stream_second", nullptr, true, "2 of 5", 450, 460, 1, 0, 0},
        {"stream_third", nullptr, true, "3 of 5", 600, 650, 1, -30, 0},
        {"stream_fourth", nullptr, true, "4 of 5", 500, 550, 1, 0, -50},
        {"stream_fifth", nullptr, true, "5 of 5", 480, 480, 1, 0, 0},
        {"stream_end", "End Tour", false, "", 600, 600, 0, 0, 0},
    };

    TourPage p;
    p.page = page;
    p.uiScale = uiScale;
    p.buttonText = text("text_continue");
    auto post = [window](int command) { return std::make_shared<PostMessageUITask>(window, command); };
    p.onShowTask = post(kCommandNone);
    p.skipTask = post(kCommandTourEnd);
    if (page < 0 || page > kStreamLastPage) return p;

    const Row& row = kPages[page];
    p.caption = text(std::string("dialog_caption_") + row.name + "_tutorial");
    p.text = text(std::string("dialog_content_") + row.name + "_tutorial");
    if (row.button) p.buttonText = row.button;
    p.showArrow = row.arrow;
    p.leftText = row.counter;
    p.contentWidth = uiScale == 1.0f ? row.width : row.otherWidth;
    p.besideAnchor = row.beside;
    p.offsetY = row.offsetY;
    p.offsetX = row.offsetX;
    switch (page) {
        case 5: p.onShowTask = post(kCommandTourLockMenu); break;
        case 7: p.onShowTask = post(kCommandTourOpenMenu); break;
        case 10: p.onShowTask = post(kCommandTourSettingsPage); break;
        case 11: p.onShowTask = then(post(kCommandTourUnlockMenu), post(kCommandOpenMenu)); break;
        default: break;
    }
    // On the stream the skip also gives the menu back.
    if (page >= kStreamFirstPage) p.skipTask = then(post(kCommandTourEnd), post(kCommandTourUnlockMenu));
    return p;
}
