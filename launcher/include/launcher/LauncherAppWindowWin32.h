#pragma once
// The launcher window as the program makes it: the layers below plus the tray icon with its
// menu (show the launcher, log out, exit) and the window messages that drive them.
//
// Messages (through the window's native message queue, numbered as the launcher always
// numbered them): 273 a menu command, 275 the once-a-second timer, 1147 the tray icon's
// mouse events (lParam 515 double click, 516 right button), 1148 the balloon and the
// hiding of the window once the player runs. Every message first runs the player monitor.
//
// Where the desktop shows no tray icon (the logging stand-in), "hiding to the tray"
// iconifies the window instead, so the user can bring it back.

#include <memory>

#include "launcher/LauncherAppWindowBase.h"
#include "platform/TrayIcon.h"

class LauncherAppWindowWin32 : public LauncherAppWindowBase {
public:
    static constexpr unsigned kTrayIconId = 12345;
    static constexpr unsigned kTrayCallbackMessage = 1147;
    static constexpr unsigned kHideToTrayMessage = 1148;
    static constexpr unsigned kTimerMessage = 275;
    static constexpr long kLeftButtonDoubleClick = 515;
    static constexpr long kRightButtonDown = 516;
    // The player's window, as the tray looks for it.
    static constexpr const char* kPlayerWindowTitle = "NimbrostaClient";

    // A null tray gets the logging stand-in of this system.
    explicit LauncherAppWindowWin32(const LauncherOptions& options = LauncherOptions(),
                                    std::unique_ptr<platform::ITrayIcon> tray = nullptr);
    ~LauncherAppWindowWin32() override;

    void onRunStart() override;
    void onRunEnd() override;
    int onWin32Message(GLFWwindow* window, const NativeWindowMessage& message) override;
    void hideToTray() override;
    void setLogoutEnabled(bool enabled) override;

    void onTrayDoubleClick();
    void onTrayRightClick();

    platform::ITrayIcon& tray() { return *tray_; }

private:
    class TimerMessage;

    void stopTimer();

    std::unique_ptr<platform::ITrayIcon> tray_;
    platform::TrayIconData record_;
    TimerMessage* timer_ = nullptr;  // owned by the main loop's queue
};
