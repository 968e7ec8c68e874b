#pragma once
// The launcher window's first layer: one screen at a time, switched on the render thread;
// the background clip behind the screens; the account object; and the periodic removal of
// the files the self-updater left behind.
//
// A screen set with setState() waits as the pending screen and becomes the current one at
// the next pass of the render loop: the old screen is left and destroyed, the new one
// entered. The first pass makes the sign-in screen. Screens replaced while still pending are
// destroyed by the render thread too (never by the thread that replaced them, which may be
// delivering an event to them).

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "launcher/LauncherApi.h"
#include "shell/GLFWAppWindow.h"

class BackgroundVideoWidget;
class LauncherState;

// The launcher's command ids.
struct LauncherCommand {
    static constexpr int ErrorOk = 10;
    static constexpr int Ignored = 11;
    static constexpr int OpenActivationPage = 99;
    static constexpr int ShowLauncher = 130;
    static constexpr int LogOut = 140;
    static constexpr int Exit = 150;
    static constexpr int OpenUserPageAndExit = 160;
};

// What a launcher window is built with. The defaults are the product's.
struct LauncherOptions {
    LauncherApiTimings api;
    int removeOldFilesPeriodMs = 1000;  // the removal of ".remove" files
    int playerWatchPeriodMs = 1000;     // the check whether the player still runs
    // The program started as the player; empty means this executable.
    std::string playerProgram;
};

class LauncherApp : public GLFWAppMainWindow {
public:
    explicit LauncherApp(const LauncherOptions& options);
    ~LauncherApp() override;

    // ---- window shell ----
    bool onKey(GLFWwindow* window, int key, int scancode, int action, int mods) override;
    void onIconify(GLFWwindow* window, int iconified) override;
    int onClose(GLFWwindow* window) override;
    void Command(int id) override;
    void onFrame() override;
    void onCreate() override;
    void onDestroy() override;
    void onAfterDraw() override;

    // ---- what the layers above provide ----
    virtual void startPlayer(const std::string& accessToken) = 0;
    virtual void terminatePlayer() = 0;
    // The remembered login into the two strings; returns the remember flag.
    virtual bool getUserLogonData(std::string& login, std::string& password) = 0;
    virtual void setUserLogonData(const std::string& login, const std::string& password, bool remember) = 0;
    virtual void loadLanguage() = 0;
    virtual void saveLanguage() = 0;
    // Whether the tray menu's log-out item is enabled.
    virtual void setLogoutEnabled(bool enabled);

    // ---- for the screens ----
    // Any thread: takes ownership of the screen and makes it the pending screen; a pending
    // screen not yet applied is dropped. Null only drops the pending screen. Off the render
    // thread the caller holds the GUI's PlayerGUILock (the screen was built under it).
    void setState(LauncherState* screen);
    // Stores the flag; a change to false ends the player; a change enables or disables the
    // tray's log-out item.
    void setLoggedIn(bool loggedIn);
    bool isLoggedIn() const { return loggedIn_.load(); }
    LauncherApi& api() { return api_; }
    // Any thread: the mouse cursor becomes the arrow again (on the main thread).
    void restoreArrowCursor();

    const LauncherOptions& options() const { return options_; }
    // The current screen (for tests and diagnostics); take guiLock() to use it.
    LauncherState* currentState() const { return current_.get(); }
    BackgroundVideoWidget* backgroundVideo() const { return video_; }

protected:
    int onWin32Message(GLFWwindow* window, const NativeWindowMessage& message) override;
    // Destroys every screen (current, pending and dropped ones); the remembered login is
    // saved only when the user closed the window with its close box.
    void releaseScreens();

    // A message of the launcher's own to itself: the arrow cursor.
    static constexpr unsigned kArrowCursorMessage = 0x8001;

private:
    // Destroys the screens dropped while pending.
    void destroyDroppedScreens();

    LauncherOptions options_;
    // Declared before the screens: they unregister from it when destroyed.
    LauncherApi api_;
    std::mutex slotMutex_;
    std::shared_ptr<LauncherState> current_;  // render thread and guiLock()
    std::shared_ptr<LauncherState> pending_;  // slotMutex_
    std::vector<std::shared_ptr<LauncherState>> dropped_;  // slotMutex_
    std::atomic<bool> loggedIn_{false};
    BackgroundVideoWidget* video_ = nullptr;
    bool closedByCloseBox_ = false;
};
