#pragma once
// The launcher window's second layer: its commands, the player process, the remembered
// login and the launcher's language.
//
// The player is this executable started again with "--access_token <token>". It is watched
// once a second from the main loop; when it has ended (or could not start) the launcher logs
// out to a fresh sign-in screen and shows itself again. It is ended with SIGKILL, never with
// a signal the player's crash handler would report.
//
// The remembered login lives in "userdata.dat" in the per-user folder: login, TAB and
// password enciphered with RC4 (no header, no length), written atomically with mode 0600.
// The language code lives in "launcher.config.ini" beside it ("Language=<code>").

#include <mutex>
#include <string>

#include "core/SystemHelpers.h"
#include "launcher/LauncherApp.h"
#include "shell/GLFWMessageThread.h"

class LauncherAppWindowBase : public LauncherApp {
public:
    // The player's file name, in the executable's folder.
    static constexpr const char* kPlayerFileName = "NimbrostaClient";
    // Files at least this long are not a remembered login.
    static constexpr long kMaxUserDataSize = 4096;

    explicit LauncherAppWindowBase(const LauncherOptions& options = LauncherOptions());
    ~LauncherAppWindowBase() override;

    void startPlayer(const std::string& accessToken) override;
    void terminatePlayer() override;
    bool getUserLogonData(std::string& login, std::string& password) override;
    void setUserLogonData(const std::string& login, const std::string& password, bool remember) override;
    void loadLanguage() override;
    void saveLanguage() override;
    void Command(int id) override;

    // Render thread or main thread: takes the launcher out of the way while the player runs.
    virtual void hideToTray();
    // Main thread: restores and shows the window.
    virtual void showLauncher();
    // Main thread: when the watched player has ended (or never started), stops watching
    // and sends LogOut and ShowLauncher through the window's message queue.
    virtual void monitorPlayerProcess();

    // Runs the process monitor on the main loop.
    class MonitorPlayerProcessMessage : public GLFWThreadPereodicMessage {
    public:
        explicit MonitorPlayerProcessMessage(LauncherAppWindowBase* window) : window_(window) {}
        void run() override;

    private:
        LauncherAppWindowBase* window_;
    };

    // Whether a started player still runs (a player that has ended is reaped by the check).
    bool isPlayerRunning();
    // Whether the player is being watched.
    bool isWatchingPlayer();
    // The program started as the player.
    std::string playerProgram() const;

    const std::string& perUserFolder() const { return perUserFolder_; }
    const std::string& userDataPath() const { return userDataPath_; }
    const std::string& launcherConfigPath() const { return launcherConfigPath_; }

    // The 16-byte key of the remembered login (the terminating zero included).
    static std::string userDataKey();

protected:
    int onWin32Message(GLFWwindow* window, const NativeWindowMessage& message) override;
    // Stops watching the player (main thread, or the end of the window).
    void cancelPlayerMonitor();

    // A menu command (WM_COMMAND): wParam is the command id.
    static constexpr unsigned kCommandMessage = 273;
    // A message of the launcher's own to itself: iconify the window.
    static constexpr unsigned kIconifyMessage = 0x8002;

private:
    std::mutex processMutex_;
    MonitorPlayerProcessMessage* monitor_ = nullptr;  // owned by the main loop's queue
    ProcessInformation player_;

    std::mutex logonMutex_;
    bool remember_ = false;
    std::string login_;
    std::string password_;

    std::string perUserFolder_;
    std::string userDataPath_;
    std::string launcherConfigPath_;
};
