#pragma once
// The player window's commands: one integer space shared by the window, its screens and its
// dialogs. A widget click sends its id at once on the main thread; any other code posts it
// (IPlayerWindow::postCommand, PostMessageUITask). Every id reaches the popup dialog manager
// first, then the current screen, then the window's own cases, then the pending screen; one
// id may have several handlers and all of them react.
//
// Letters in the comments: W the window, P the popup dialog manager, B the decoder
// benchmark screen, O the machine-selection screen, S the in-stream screen. "sent by ->
// handled by: what happens". Dialog numbers are those of the dialog catalogue.
//
// Ids from kFirstRunTimeCommandId up are handed out while the program runs
// (CustomUICommandHandler::registerTask) and run the task a screen registered for them.

enum PlayerCommandId : int {
    kCommandExit = 1,                  // dialog 28 buttons, web-error popup, info panel error -> W: close the window, the program ends
    kCommandGreyOutClicked = 2,        // a click on the grey-out overlay -> S: hide the menu unless a sub-dialog is open
    kCommandRestartScreen = 3,         // S, a decoder chosen -> W: re-issue the current screen's own id
    kCommandStopRendering = 4,         // W, back with no back command -> W: stop rendering (the program ends); P: dialog 4
    kCommandOpenMenu = 5,              // F10, the menu's toggle button, "menu_hide_menu", tour after page 11 -> S: open the menu
    kCommandTourOpenMenu = 6,          // tour page 7 shown -> S: open the menu
    kCommandAccountPage = 7,           // "menu_account" -> S: open the account page in the browser
    kCommandRecordSaved = 9,           // the record item turning recording off -> P: dialog 13
    kCommandToggleSystemPage = 10,     // "menu_system" -> S: open or close the system page
    kCommandTourSettingsPage = 11,     // tour page 10 shown -> S: open or close the settings page
    kCommandToggleSettingsPage = 12,   // "menu_settings" -> S: open or close the settings page
    kCommandHelpPage = 13,             // "menu_help" -> S: open the FAQ page
    kCommandTaskManager = 14,          // "menu_taskmgr" -> S: start the task manager on the machine
    kCommandLogOut = 15,               // "menu_logout" -> P: dialog 28 (save credits; ends with 1)
    kCommandCloseSession = 16,         // "menu_close", S for the close button -> P: dialog 29 (save credits; ends with 86)
    kCommandToggleFullscreen = 17,     // "menu_full_screen" -> S: toggle full screen
    kCommandCloseMenuFlipToggle = 18,  // no sender -> S: close the menu and flip the toggle button's visibility
    kCommandToggleCursorLock = 19,     // "menu_lock_cursor", W for F12 -> S: toggle relative-mouse mode
    kCommandTypeAdminPassword = 20,    // "menu_admin_password" -> S: type the machine's password and Enter
    kCommandToggleAutoBitrate = 21,    // the slider's "menu_auto" check box -> S: toggle automatic bitrate
    kCommandSetBitrate = 22,           // the bitrate slider dragged or its +/- held -> S: bitrate from the slider
    kCommandCreditsAccountPage = 23,   // the credits panel's right "+" -> S: open the account page
    kCommandStorageAccountPage = 24,   // the credits panel's left "+" -> S: open the account page
    kCommandShowGamepadSetup = 25,     // "menu_setup_controller" -> S: the gamepad setup form in place of the menu
    kCommandHotKeysOff = 26,           // the hot-keys switch showing on -> S: hot keys off
    kCommandHotKeysOn = 27,            // the hot-keys switch showing off -> S: hot keys on
    kCommandResolution1080 = 28,       // the resolution switch showing 720 -> S: 1920x1080
    kCommandResolution720 = 29,        // the resolution switch showing 1080 -> S: 1280x720
    kCommandSessionResolution1080 = 30,  // S on session ready at FULLHD -> S: 1920x1080
    kCommandFrameRate60 = 31,          // the frame-rate switch showing 30, S on session ready -> S: 60 fps
    kCommandFrameRate30 = 32,          // the frame-rate switch showing 60, S on session ready -> S: 30 fps
    kCommandRestartMachine = 33,       // "menu_restart", dialog 25 "go" -> P: dialog 26 (refresh or reset)
    kCommandShowIdleTimeout = 34,      // "menu_timeout_settings" -> S: show the idle-timeout dialog
    kCommandToggleDecoderList = 35,    // the system page's decoder item -> S: open or close the decoder list
    kCommandBugReport = 36,            // "menu_bugreport" -> S: open the FAQ page
    kCommandSendIdleTimeout = 37,      // the idle-timeout dialog's yes -> S: send the chosen time-out to the service
    kCommandTourLockMenu = 38,         // tour page 5 shown -> S: lock the menu for the tour
    kCommandTourUnlockMenu = 39,       // tour page 11 shown, a skip on pages 5 to 11 -> S: unlock the menu
    kCommandShowDesktop = 40,          // the "Desktop" item -> S: show the desktop, close Steam, hide the menu
    kCommandSteamBigPicture = 41,      // the "STEAM" item -> S: Steam Big Picture mode, hide the menu
    kCommandStore = 42,                // the store item (disabled, never sent) -> nobody
    kCommandExitFromDialog = 43,       // dialogs 5 and 11 "exit" -> W: close the window
    kCommandTourNext = 44,             // S first frame (tour not finished), the tour popup's button -> P: start the tour or its next page
    kCommandTourEnd = 45,              // the tour popup's skip link -> P: end the tour
    kCommandPowerModeWarning = 46,     // W, Power saver scheme found -> P: dialog 0
    kCommandBenchmarkScreen = 47,      // W, the initial command -> W: create the benchmark group screen
    kCommandBenchmarkSuiteStart = 48,  // B, start of a suite -> B: advance the step machine
    kCommandBenchmarkNotNeeded = 49,   // B -> W: post 119
    kCommandBenchmarkFinished = 50,    // B -> W: post 119
    kCommandMeasurementEnded = 51,     // a measurement that ended -> B: advance
    kCommandMeasurementNoRenderer = 52,  // a measurement without a renderer -> B: advance
    kCommandDecoderTooSlow = 53,       // B, decoder too slow on the previous suite -> B: advance
    kCommandBenchmarkLoading = 54,     // B, benchmark starts -> P: dialog 18
    kCommandBenchmarkFileMissing = 55, // B, no sample file -> P: close all, dialog 20
    kCommandBenchmarkFirstDecoder = 56,  // B, first decoder of every suite -> nobody
    kCommandConnectionError = 57,      // S -> P: dialog 7; S: reconnect
    kCommandConnectionTimeout = 58,    // S -> P: dialog 8; S: reconnect
    kCommandVideoConnectionError = 59, // S -> P: dialog 9; S: reconnect
    kCommandAuthorizationFailed = 60,  // S -> P: dialog 5
    kCommandMachineLanguageChange = 61,  // S -> P: dialog 19; S: reconnect
    kCommandAnotherClientLoggedIn = 62,  // S -> P: dialog 11
    kCommandConnectionStarted = 64,    // S -> nobody
    kCommandGamepadDetectFirst = 65,   // 65 to 83: the gamepad form's pictures -> P: dialogs 30, 32, 34..50; S: a detection step
    kCommandGamepadDetectLast = 83,
    kCommandGamepadDetectCancel = 84,  // dialogs 30 to 50 "cancel" -> P: close them; S: stop the detection
    kCommandCloseGamepadSetup = 85,    // the gamepad form's close picture -> S: hide the form, show the menu
    kCommandBack = 86,                 // dialog cancels, dialogs 1/26/29, the menu's tick, S after 15 failures -> P: close all; W: back
    kCommandComingSoon = 87,           // no sender -> P: dialog 21
    kCommandResetDatacenter = 88,      // the data-centre item -> P: dialog 25
    kCommandStreamPlan = 89,           // the plan item -> P: dialog 1
    kCommandStatusLoading = 90,        // O, operation state changed -> O: status text "loading"
    kCommandStatusStarting = 91,       // O: "starting"
    kCommandStatusShuttingDown = 92,   // O: "shutting down"
    kCommandStatusNothing = 93,        // O: nothing
    kCommandStatusDeleted = 94,        // O: "deleted"
    kCommandStatusPullingAccount = 95, // O: "pulling the account"
    kCommandNoStatusText = 96,         // S first picture; O idle or failed operation -> nobody
    kCommandCloseConnectionDialogs = 97,  // S first picture -> P: close dialogs 7, 8, 9, 6 and 22
    kCommandRelativeMouseHelp = 98,    // S first picture, once per screen -> P: dialog 12
    kCommandSlowConnection = 99,       // S -> P: dialog 24
    kCommandGamepadDetectionEnded = 100,  // S -> P: close dialogs 30 to 50
    kCommandLeftStickPart2 = 101,      // S, stick part 1 learned -> P: dialog 31
    kCommandRightStickPart2 = 102,     // S, stick part 1 learned -> P: dialog 33
    kCommandCheckingStreamer = 103,    // no sender -> P: close dialogs 2 and 3, dialog 2
    kCommandUpdatingStreamer = 104,    // no sender -> P: close dialogs 2 and 3, dialog 3
    kCommandStreamerCheckDone = 105,   // no sender -> P: close dialogs 2 and 3
    kCommandReconnectAfterMessages = 106,  // the menu's tick right after 86 -> O (pending): reconnect when the info panel closes
    kCommandRefreshResetMachine = 107, // no sender -> P: dialog 27
    kCommandRestorePanels = 108,       // O: restore the panels after a service message
    kCommandShowLoadingPanel = 109,    // O: show the loading panel
    kCommandStartConnectionCheck = 110,  // O: start the connection check
    kCommandShowDatacenterChoice = 111,  // O: show the data-centre choice
    kCommandConfirmDatacenter = 112,   // O: confirm it
    kCommandShowPlans = 113,           // O: show the plans
    kCommandPlansAfterStop = 114,      // dialog 1 "yes" after the stop -> O (pending): open the plans once stopped
    kCommandCreateAndStartMachine = 115,  // O: create and start the machine
    kCommandReleaseDynamicForm = 116,  // no sender -> P: release a form with a dynamic-text provider
    kCommandSelectionAccountPage = 117,   // O: open the account page
    kCommandSelectionAccountPage2 = 118,  // O: open the account page
    kCommandSelectionScreen = 119,     // W after 49/50, dialog 20 "ok" -> W: create the selection screen; P: close all, tour pages 0..4
    kCommandStreamScreen = 120,        // the connection check, W's initial command in direct mode -> W: create the in-stream screen; P: tour pages 5..11
    kCommandKeyboardHookOn = 121,      // S enter -> W: keyboard hook on
    kCommandKeyboardHookOff = 122,     // S leave -> W: keyboard hook off
    kCommandLeaveFullscreen = 123,     // O, panels rebuilt with machines -> W: leave full screen
    kCommandCloseAllDialogs = 124,     // S close button -> P: close all dialogs
    kCommandTestMessage = 125,         // no sender -> P: dialog 59 ("Test message!")
    kCommandNone = 126,                // no command; nobody reacts
    kFirstRunTimeCommandId = 1126,     // the first id handed out while the program runs
};
