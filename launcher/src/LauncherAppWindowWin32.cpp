#include "launcher/LauncherAppWindowWin32.h"

#include <GLFW/glfw3.h>

#include "core/LanguageStore.h"
#include "core/LogLine.h"
#include "platform/TopLevelWindow.h"

#define GLFW_EXPOSE_NATIVE_X11
#include <GLFW/glfw3native.h>

namespace {

void logTray(const std::string& line) { LogLine(0, "LauncherAppWindowWin32", __LINE__).stream() << line; }

}  // namespace

// Delivers the once-a-second timer message to the window, so the player monitor runs even
// while nothing else happens.
class LauncherAppWindowWin32::TimerMessage : public GLFWThreadPereodicMessage {
public:
    explicit TimerMessage(LauncherAppWindowWin32* window) : window_(window) {}
    void run() override {
        if (!cancelled.load()) window_->postNativeMessage({kTimerMessage, 0, 0});
    }

private:
    LauncherAppWindowWin32* window_;
};

LauncherAppWindowWin32::LauncherAppWindowWin32(const LauncherOptions& options,
                                               std::unique_ptr<platform::ITrayIcon> tray)
    : LauncherAppWindowBase(options), tray_(tray ? std::move(tray) : platform::makeLoggingTrayIcon(&logTray)) {}

LauncherAppWindowWin32::~LauncherAppWindowWin32() { stopTimer(); }

void LauncherAppWindowWin32::onRunStart() {
    const LanguageStore& text = LanguageStore::instance();
    tray_->createMenu();
    tray_->insertMenuItem(0, platform::kMenuByPosition | platform::kMenuDefault, LauncherCommand::ShowLauncher,
                          text.text("popup_menu_show_launcher"));
    tray_->insertMenuItem(1, platform::kMenuByPosition | platform::kMenuDisabled, LauncherCommand::LogOut,
                          text.text("popup_menu_log_out"));
    tray_->insertMenuItem(2, platform::kMenuSeparator | platform::kMenuByPosition, LauncherCommand::Exit, "");
    tray_->insertMenuItem(3, platform::kMenuByPosition, LauncherCommand::Exit, text.text("popup_menu_exit"));

    record_ = platform::TrayIconData();
    record_.window = getWindow() ? static_cast<std::uintptr_t>(glfwGetX11Window(getWindow())) : 0;
    record_.id = kTrayIconId;
    record_.flags = platform::kTrayFlagMessage | platform::kTrayFlagIcon | platform::kTrayFlagTip;
    record_.callbackMessage = kTrayCallbackMessage;
    record_.icon = "GLFW_ICON";
    record_.version = 3;
    record_.tip = platform::fitTrayText(text.text("text_title"), platform::kTrayTipUnits);
    tray_->notify(platform::TrayAction::Add, record_);

    stopTimer();
    timer_ = new TimerMessage(this);
    GLFWApp::instance().postPereodic(timer_, options().playerWatchPeriodMs);
}

void LauncherAppWindowWin32::onRunEnd() {
    stopTimer();
    tray_->notify(platform::TrayAction::Delete, record_);
    tray_->destroyMenu();
}

void LauncherAppWindowWin32::stopTimer() {
    if (timer_) timer_->cancelled.store(true);
    timer_ = nullptr;
}

int LauncherAppWindowWin32::onWin32Message(GLFWwindow* window, const NativeWindowMessage& message) {
    monitorPlayerProcess();
    switch (message.message) {
        case kCommandMessage:
            Command(static_cast<int>(message.wParam));
            return 0;
        case kTrayCallbackMessage:
            if (message.lParam == kLeftButtonDoubleClick) onTrayDoubleClick();
            else if (message.lParam == kRightButtonDown) onTrayRightClick();
            return -1;
        case kHideToTrayMessage: {
            const LanguageStore& text = LanguageStore::instance();
            record_.flags |= platform::kTrayFlagInfo;
            record_.info = platform::fitTrayText(text.text("tray_notify_running_background"), platform::kTrayInfoUnits);
            record_.infoTitle = platform::fitTrayText(text.text("tray_notify_header"), platform::kTrayInfoTitleUnits);
            record_.infoFlags = 1;
            record_.timeout = 1000;
            tray_->notify(platform::TrayAction::Modify, record_);
            if (getWindow()) {
                if (tray_->isShown()) glfwHideWindow(getWindow());
                else glfwIconifyWindow(getWindow());
            }
            return 0;
        }
        default:
            return LauncherAppWindowBase::onWin32Message(window, message);
    }
}

void LauncherAppWindowWin32::hideToTray() { postNativeMessage({kHideToTrayMessage, 0, 0}); }

void LauncherAppWindowWin32::setLogoutEnabled(bool enabled) {
    tray_->enableMenuItem(LauncherCommand::LogOut, enabled);
    requestRedraw();
}

void LauncherAppWindowWin32::onTrayDoubleClick() {
    if (isPlayerRunning()) {
        platform::showWindowByTitle(kPlayerWindowTitle);
        return;
    }
    showLauncher();
}

void LauncherAppWindowWin32::onTrayRightClick() {
    if (isPlayerRunning()) {
        platform::showWindowByTitle(kPlayerWindowTitle);
        return;
    }
    int x = 0, y = 0;
    if (GLFWwindow* w = getWindow()) {
        double cx = 0, cy = 0;
        glfwGetCursorPos(w, &cx, &cy);
        glfwGetWindowPos(w, &x, &y);
        x += static_cast<int>(cx);
        y += static_cast<int>(cy);
        if (glfwGetWindowAttrib(w, GLFW_VISIBLE) && !glfwGetWindowAttrib(w, GLFW_ICONIFIED)) glfwFocusWindow(w);
    }
    // The chosen item arrives as a menu command, like any other.
    const int chosen = tray_->trackMenu(x, y);
    if (chosen != 0) postNativeMessage({kCommandMessage, static_cast<std::uintptr_t>(chosen), 0});
}
