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
    // dialog 28 buttons, web-error popup, info panel error -> W: close the window, the program ends
    kCommandExit = 1,
    // a click on the grey-out overlay -> S: hide the menu unless a sub-dialog is open
    kCommandGreyOutClicked = 2,
    // S, a decoder chosen -> W: re-issue the current screen's own id
    kCommandRestartScreen = 3,
    // W, back with no back command -> W: stop rendering (the program ends); P: dialog 4
    kCommandStopRendering = 4,
    // F10, the menu's toggle button, "menu_hide_menu", tour after page 11 -> S: open the menu
    kCommandOpenMenu = 5,
    // tour page 7 shown -> S: open the menu
    kCommandTourOpenMenu = 6,
    // "menu_account" -> S: open the account page in the browser
    kCommandAccountPage = 7,
    // the record item turning recording off -> P: dialog 13
    kCommandRecordSaved = 9,
    // "menu_system" -> S: open or close the system page
    kCommandToggleSystemPage = 10,
    // tour page 10 shown -> S: open or close the settings page
    kCommandTourSettingsPage = 11,
    // "menu_settings" -> S: open or close the settings page
    kCommandToggleSettingsPage = 12,
    // "menu_help" -> S: open the FAQ page
    kCommandHelpPage = 13,
    // "menu_taskmgr" -> S: start the task manager on the machine
    kCommandTaskManager = 14,
    // "menu_logout" -> P: dialog 28 (save credits; ends with 1)
    kCommandLogOut = 15,
    // "menu_close", S for the close button -> P: dialog 29 (save credits; ends with 86)
    kCommandCloseSession = 16,
    // "menu_full_screen" -> S: toggle full screen
    kCommandToggleFullscreen = 17,
    // no sender -> S: close the menu and flip the toggle button's visibility
    kCommandCloseMenuFlipToggle = 18,
    // "menu_lock_cursor", W for F12 -> S: toggle relative-mouse mode
    kCommandToggleCursorLock = 19,
    // "menu_admin_password" -> S: type the machine's password and Enter
    kCommandTypeAdminPassword = 20,
    // the slider's "menu_auto" check box -> S: toggle automatic bitrate
    kCommandToggleAutoBitrate = 21,
    // the bitrate slider dragged or its +/- held -> S: bitrate from the slider
    kCommandSetBitrate = 22,
    // the credits panel's right "+" -> S: open the account page
    kCommandCreditsAccountPage = 23,
    // the credits panel's left "+" -> S: open the account page
    kCommandStorageAccountPage = 24,
    // "menu_setup_controller" -> S: the gamepad setup form in place of the menu
    kCommandShowGamepadSetup = 25,
    // the hot-keys switch showing on -> S: hot keys off
    kCommandHotKeysOff = 26,
    // the hot-keys switch showing off -> S: hot keys on
    kCommandHotKeysOn = 27,
    // the resolution switch showing 720 -> S: 1920x1080
    kCommandResolution1080 = 28,
    // the resolution switch showing 1080 -> S: 1280x720
    kCommandResolution720 = 29,
    // S on session ready at FULLHD -> S: 1920x1080
    kCommandSessionResolution1080 = 30,
    // the frame-rate switch showing 30, S on session ready -> S: 60 fps
    kCommandFrameRate60 = 31,
    // the frame-rate switch showing 60, S on session ready -> S: 30 fps
    kCommandFrameRate30 = 32,
    // "menu_restart", dialog 25 "go" -> P: dialog 26 (refresh or reset)
    kCommandRestartMachine = 33,
    // "menu_timeout_settings" -> S: show the idle-timeout dialog
    kCommandShowIdleTimeout = 34,
    // the system page's decoder item -> S: open or close the decoder list
    kCommandToggleDecoderList = 35,
    // "menu_bugreport" -> S: open the FAQ page
    kCommandBugReport = 36,
    // the idle-timeout dialog's yes -> S: send the chosen time-out to the service
    kCommandSendIdleTimeout = 37,
    // tour page 5 shown -> S: lock the menu for the tour
    kCommandTourLockMenu = 38,
    // tour page 11 shown, a skip on pages 5 to 11 -> S: unlock the menu
    kCommandTourUnlockMenu = 39,
    // the "Desktop" item -> S: show the desktop, close Steam, hide the menu
    kCommandShowDesktop = 40,
    // the "STEAM" item -> S: Steam Big Picture mode, hide the menu
    kCommandSteamBigPicture = 41,
    // the store item (disabled, never sent) -> nobody
    kCommandStore = 42,
    // dialogs 5 and 11 "exit" -> W: close the window
    kCommandExitFromDialog = 43,
    // S first frame (tour not finished), the tour popup's button -> P: start the tour or its next
    // page
    kCommandTourNext = 44,
    // the tour popup's skip link -> P: end the tour
    kCommandTourEnd = 45,
    // W, Power saver scheme found -> P: dialog 0
    kCommandPowerModeWarning = 46,
    // W, the initial command -> W: create the benchmark group screen
    kCommandBenchmarkScreen = 47,
    // B, start of a suite -> B: advance the step machine
    kCommandBenchmarkSuiteStart = 48,
    // B -> W: post 119
    kCommandBenchmarkNotNeeded = 49,
    // B -> W: post 119
    kCommandBenchmarkFinished = 50,
    // a measurement that ended -> B: advance
    kCommandMeasurementEnded = 51,
    // a measurement without a renderer -> B: advance
    kCommandMeasurementNoRenderer = 52,
    // B, decoder too slow on the previous suite -> B: advance
    kCommandDecoderTooSlow = 53,
    // B, benchmark starts -> P: dialog 18
    kCommandBenchmarkLoading = 54,
    // B, no sample file -> P: close all, dialog 20
    kCommandBenchmarkFileMissing = 55,
    // B, first decoder of every suite -> nobody
    kCommandBenchmarkFirstDecoder = 56,
    // S -> P: dialog 7; S: reconnect
    kCommandConnectionError = 57,
    // S -> P: dialog 8; S: reconnect
    kCommandConnectionTimeout = 58,
    // S -> P: dialog 9; S: reconnect
    kCommandVideoConnectionError = 59,
    // S -> P: dialog 5
    kCommandAuthorizationFailed = 60,
    // S -> P: dialog 19; S: reconnect
    kCommandMachineLanguageChange = 61,
    // S -> P: dialog 11
    kCommandAnotherClientLoggedIn = 62,
    // S -> nobody
    kCommandConnectionStarted = 64,
    // 65 to 83: the gamepad form's pictures -> P: dialogs 30, 32, 34..50; S: a detection step
    kCommandGamepadDetectFirst = 65,
    kCommandGamepadDetectLast = 83,
    // dialogs 30 to 50 "cancel" -> P: close them; S: stop the detection
    kCommandGamepadDetectCancel = 84,
    // the gamepad form's close picture -> S: hide the form, show the menu
    kCommandCloseGamepadSetup = 85,
    // dialog cancels, dialogs 1/26/29, the menu's tick, S after 15 failures -> P: close all; W:
    // back
    kCommandBack = 86,
    // no sender -> P: dialog 21
    kCommandComingSoon = 87,
    // the data-centre item -> P: dialog 25
    kCommandResetDatacenter = 88,
    // the plan item -> P: dialog 1
    kCommandStreamPlan = 89,
    // O, operation state changed -> O: status text "loading"
    kCommandStatusLoading = 90,
    // O: "starting"
    kCommandStatusStarting = 91,
    // O: "shutting down"
    kCommandStatusShuttingDown = 92,
    // O: nothing
    kCommandStatusNothing = 93,
    // O: "deleted"
    kCommandStatusDeleted = 94,
    // O: "pulling the account"
    kCommandStatusPullingAccount = 95,
    // S first picture; O idle or failed operation -> nobody
    kCommandNoStatusText = 96,
    // S first picture -> P: close dialogs 7, 8, 9, 6 and 22
    kCommandCloseConnectionDialogs = 97,
    // S first picture, once per screen -> P: dialog 12
    kCommandRelativeMouseHelp = 98,
    // S -> P: dialog 24
    kCommandSlowConnection = 99,
    // S -> P: close dialogs 30 to 50
    kCommandGamepadDetectionEnded = 100,
    // S, stick part 1 learned -> P: dialog 31
    kCommandLeftStickPart2 = 101,
    // S, stick part 1 learned -> P: dialog 33
    kCommandRightStickPart2 = 102,
    // no sender -> P: close dialogs 2 and 3, dialog 2
    kCommandCheckingStreamer = 103,
    // no sender -> P: close dialogs 2 and 3, dialog 3
    kCommandUpdatingStreamer = 104,
    // no sender -> P: close dialogs 2 and 3
    kCommandStreamerCheckDone = 105,
    // the menu's tick right after 86 -> O (pending): reconnect when the info panel closes
    kCommandReconnectAfterMessages = 106,
    // no sender -> P: dialog 27
    kCommandRefreshResetMachine = 107,
    // O: restore the panels after a service message
    kCommandRestorePanels = 108,
    // O: show the loading panel
    kCommandShowLoadingPanel = 109,
    // O: start the connection check
    kCommandStartConnectionCheck = 110,
    // O: show the data-centre choice
    kCommandShowDatacenterChoice = 111,
    // O: confirm it
    kCommandConfirmDatacenter = 112,
    // O: show the plans
    kCommandShowPlans = 113,
    // dialog 1 "yes" after the stop -> O (pending): open the plans once stopped
    kCommandPlansAfterStop = 114,
    // O: create and start the machine
    kCommandCreateAndStartMachine = 115,
    // no sender -> P: release a form with a dynamic-text provider
    kCommandReleaseDynamicForm = 116,
    // O: open the account page
    kCommandSelectionAccountPage = 117,
    // O: open the account page
    kCommandSelectionAccountPage2 = 118,
    // W after 49/50, dialog 20 "ok" -> W: create the selection screen; P: close all, tour pages
    // 0..4
    kCommandSelectionScreen = 119,
    // the connection check, W's initial command in direct mode -> W: create the in-stream screen;
    // P: tour pages 5..11
    kCommandStreamScreen = 120,
    // S enter -> W: keyboard hook on
    kCommandKeyboardHookOn = 121,
    // S leave -> W: keyboard hook off
    kCommandKeyboardHookOff = 122,
    // O, panels rebuilt with machines -> W: leave full screen
    kCommandLeaveFullscreen = 123,
    // S close button -> P: close all dialogs
    kCommandCloseAllDialogs = 124,
    // no sender -> P: dialog 59 ("Test message!")
    kCommandTestMessage = 125,
    // no command; nobody reacts
    kCommandNone = 126,
    // the first id handed out while the program runs
    kFirstRunTimeCommandId = 1126,
};
