#pragma once
// The one window of player mode: a fixed-aspect window (snapping sizes, F11 full screen,
// F12 cursor lock, keyboard hook) that switches between the player's screens, dispatches
// the player's window commands, and owns the popup dialog manager, the web facade with its
// account model, and the power-plan switch.
//
// Screens: at most one current screen gets input, commands and frames; a screen command
// (kCommandBenchmarkScreen, kCommandSelectionScreen, kCommandStreamScreen) makes a new
// screen pending when none is, and the render thread switches it in after the next drawn
// frame. A second screen command while one is pending is ignored.
//
// Commands (Command): the popup dialog manager sees every id first, then the current screen
// (true ends the dispatch), then the window's own cases; an id nobody takes goes to the
// pending screen, if any, and is otherwise dropped.
//
// Threads and locks: input and commands run on the main thread; the initial command,
// frames and screen switches on the render thread. Every path takes the window's GUI lock
// first and the screen lock second, so none can invert the order; a screen's handlers may
// therefore touch widgets and send further commands (both locks are recursive). Other
// threads only post commands.

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "core/Listenable.h"
#include "player-ui/IPlayerWindow.h"
#include "player-ui/PlayerCommandIds.h"
#include "player-ui/PopupDialogManager.h"
#include "shell/FixedResizableWindow.h"
#include "webapi/PlayerApi.h"

class GraphicsContextOpenGL;
class PlayerWindowState;
class PowerPlanSwitcher;
struct StreamStateTimings;

class PlayerMainWindow : public FixedResizableWindow,
                         public IPlayerWindow,
                         public IListenerBase<PlayerApiEvents> {
public:
    // timings: of the web facade (tests shorten them).
    explicit PlayerMainWindow(const PlayerApiTimings& timings = PlayerApiTimings());
    // Destroys the GLFW window (joining the render thread) and stops the web facade's worker
    // before the members go. Player mode never deletes its window; tests do.
    ~PlayerMainWindow() override;

    // ---- window events (main thread): the GUI first, then the current screen ----
    bool onCursorPos(GLFWwindow* window, double x, double y) override;
    bool onMouseButton(GLFWwindow* window, int button, int action, int mods) override;
    bool onScroll(GLFWwindow* window, double dx, double dy) override;
    bool onKey(GLFWwindow* window, int key, int scancode, int action, int mods) override;
    bool onChar(GLFWwindow* window, unsigned codePoint) override;
    // The current screen decides; without one the window closes.
    int onClose(GLFWwindow* window) override;
    void onRefresh(GLFWwindow* window) override;
    void onFocus(GLFWwindow* window, int focused) override;
    // F12 becomes kCommandToggleCursorLock (posted); the in-stream screen decides.
    bool onCursorLockKey() override;

    // Main thread, once the window exists: key events carry the state of CapsLock and
    // NumLock, which the stream's keypad keys follow.
    void onCreate() override;

    void Command(int id) override;

    // ---- render thread ----
    // Installs the popup manager and its overlay, applies the vsync settings and issues the
    // initial command.
    void onRenderStart() override;
    // Drops the overlay and leaves the current screen.
    void onRenderStop() override;
    // After each drawn frame: updates the current screen, drops it when finished, switches
    // in the pending screen, and asks for the next frame.
    void onAfterDraw() override;
    // Main thread, when the main loop has ended: stops the web facade's worker.
    void onRunEnd() override;

    // Render thread: leaves and deletes the current screen and enters next (which may be
    // null). False when next refused to enter (it is then deleted; no screen is current).
    bool switchState(PlayerWindowState* next);

    // Before the window opens: the player connects straight to the streamer at ip:port
    // with token, skipping the benchmark and the machine selection. With no account behind
    // the connection, leaving the stream (back, the close button) ends the player.
    void connectDirect(const std::string& ip, int port, const std::string& token, const std::string& osName);
    // When a screen that needs full speed enters: a power-saving scheme posts
    // kCommandPowerModeWarning and is switched to high performance. True when it switched.
    // The profile switched away from goes back when the player ends (also when it is
    // interrupted), not when the screen leaves, so a later screen finds nothing to do.
    bool checkPowerPlan();
    // A web task failed for good: a message popup, unless the current screen shows such
    // errors itself. Runs on the web facade's worker.
    void onPlayerApiEvent(PlayerApiEvents event);
    void onEvent(PlayerApiEvents event) override { onPlayerApiEvent(event); }

    // Whether a screen waits to be switched in.
    bool hasPendingState() const;
    // Set while the machine-selection screen exists: it shows web errors itself.
    void setApiErrorsShownByScreen(bool shown) { apiErrorsShownByScreen_.store(shown); }
    bool apiErrorsShownByScreen() const { return apiErrorsShownByScreen_.load(); }

    // The command issued first when rendering starts.
    int initialCommand() const { return initialCommand_; }
    // The command that kCommandBack issues while the current screen is shown.
    int backCommand() const;
    // The lock the window holds while it calls or deletes a screen (after the GUI lock).
    std::recursive_mutex& stateMutex() const { return stateLock_; }
    // The current screen, or null; the caller holds the GUI lock and stateMutex().
    PlayerWindowState* currentState() const { return currentState_; }
    // The command id of the current screen; 0 when there is none.
    int currentScreenCommandId() const;

    // ---- IPlayerWindow ----
    PlayerGUI* playerGUI() const override { return getGUI(); }
    ClientState& clientState() override { return api_.clientState; }
    PlayerApi& playerApi() override { return api_; }
    PopupDialogManager& popupManager() override { return popupManager_; }
    void sendCommand(int id) override { Command(id); }
    void postCommand(int id) override;
    int allocateCommandId() override { return customCommandCounter_.fetch_add(1); }
    std::recursive_mutex& guiMutex() const override { return guiLock(); }
    GLFWAppWindow& appWindow() override { return *this; }
    bool isDirectConnection() const override { return direct_; }

protected:
    // The screen a screen command makes (tests replace the screens).
    virtual PlayerWindowState* createScreen(int commandId);
    // The first stop of every command (tests watch the dispatch here).
    virtual void offerToPopupManager(int commandId) { popupManager_.onCommand(commandId); }
    // The in-stream screen for the selected machine, with its connection and start chain.
    PlayerWindowState* createStreamScreen();
    PlayerWindowState* createStreamScreen(const StreamStateTimings& timings);

private:

    std::atomic<int> customCommandCounter_{kFirstRunTimeCommandId};
    int initialCommand_ = kCommandBenchmarkScreen;
    int backCommand_ = kCommandNone;
    PlayerWindowState* currentState_ = nullptr;
    PlayerWindowState* pendingState_ = nullptr;
    // Guards the current screen. Every holder already holds the GUI lock, so holders never
    // overlap and a plain recursive mutex serves: re-entrant commands stay safe.
    mutable std::recursive_mutex stateLock_;
    PopupDialogManager popupManager_;
    std::map<int, int> backMap_;
    std::unique_ptr<PowerPlanSwitcher> powerPlan_;
    PlayerApi api_;
    std::atomic<bool> apiErrorsShownByScreen_{false};
    bool direct_ = false;  // set before the window opens
    GraphicsContextOpenGL* glContext_ = nullptr;  // render thread
};
