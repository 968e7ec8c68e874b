#pragma once
// The in-stream screen: one streaming session to the user's machine, the render plug-in
// object that decodes and draws its picture, the sound output, the overlay menu and the
// gamepads. It turns the session's events into window commands, the settings into stream
// variables, and the keyboard, mouse, wheel, clipboard and gamepads into the session's
// input requests.
//
// Threads:
// - render thread: enter, update (every drawn frame), leave, destruction (and
//   construction for the initial command of a direct connection);
// - main thread: construction (a posted command), commands, input, the periodic messages
//   (clipboard, grey-out gate, gamepad detection and polling);
// - the session's io thread: onEvent and the start chain; it only posts commands and sets
//   atomic flags, and leaves menu changes for the next frame;
// - the session's RTSP thread feeds the renderer; leave stops the session (joining it)
//   before the renderer is released;
// - the web facade's worker: the delayed reconnection, which leave cancels.
//
// The periodic messages hold the screen by pointer; each takes the window's GUI and screen
// locks and checks its cancelled flag under them, and the window deletes the screen under
// the same locks after the destructor set every flag.

#include <atomic>
#include <bitset>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "core/Listenable.h"
#include "core/TaskBase.h"
#include "player-ui/CustomUICommandHandler.h"
#include "player/PlayerWindowState.h"
#include "player/stream/StreamMouse.h"
#include "stream/gamepad/IJoystickEventDetectionCallback.h"
#include "stream/gamepad/IJoystickManagerEventListener.h"
#include "stream/session/IClientAppImplementation.h"
#include "stream/session/InputInterface.h"
#include "webapi/ClientState.h"

class DebugDiagramButton;
class IStreamMenu;
class InterfaceJoystickInputDevice;
class JoystickManager;
class SimpleInputInterface;
class WindowsAudioRenderer;
class GLFWThreadPereodicMessage;
class IJoystickSource;
namespace platform {
class ClipboardReader;
}

// Periods and delays of the in-stream screen; the defaults are the product's, tests
// shorten them.
struct StreamStateTimings {
    int reconnectDelayMs = 1000;
    // How long the streamer may leave a ping or the authorization unanswered before the
    // connection counts as lost.
    std::chrono::milliseconds replyTimeout = InputInterface::kDefaultReplyTimeout;
    int clipboardPeriodMs = 50;
    int greyOutPeriodMs = 100;
    int detectGamepadsPeriodMs = 5000;
    int pollGamepadsPeriodMs = 10;
    int messagePollPeriodMs = 60000;
    // The slow-connection warning can come only while the seconds since the start are
    // below this (0: never).
    int slowWarningSeconds = 10;
};

class StreamState : public PlayerWindowState,
                    public IClientAppImplementation,
                    public IJoystickManagerEventListener,
                    public IJoystickEventDetectionCallback,
                    public IListenerBase<ClientStateEvents>,
                    public CustomUICommandHandler {
public:
    using Timings = StreamStateTimings;
    // The failed connection attempts in a row after which the screen gives up: it shows why,
    // and goes back when the user has read it. A streamer that authorizes starts the count
    // anew.
    static constexpr int kMaxRetries = 15;
    static constexpr std::int32_t kQualityWarningLevel = 70;

    // gamepadSource: null reads GLFW's joysticks.
    StreamState(PlayerMainWindow* window, int commandId, const Timings& timings = Timings(),
                IJoystickSource* gamepadSource = nullptr);
    ~StreamState() override;

    // ---- the screen ----
    bool enter() override;
    void leave() override;
    bool update(std::recursive_mutex& guiLock) override;
    bool isFinished() override { return false; }
    bool onCommand(int id) override;

    // ---- input (main thread) ----
    bool onKey(GLFWwindow* window, int key, int scancode, int action, int mods) override;
    bool onMouseButton(GLFWwindow* window, int button, int action, int mods) override;
    bool onCursorPos(GLFWwindow* window, double x, double y) override;
    bool onScroll(GLFWwindow* window, double dx, double dy) override;
    bool onChar(GLFWwindow*, unsigned) override { return true; }
    void onFocus(GLFWwindow*, int) override {}
    bool onClose(GLFWwindow* window) override;

    // ---- the session ----
    void onEvent(int code, void* data) override;
    IRenderImplementation* getVideoConsumer() override { return renderer_; }
    IAudioRenderImplementation* getAudioConsumer() override;

    // ---- gamepads (main thread) ----
    void onDeviceAdded(int deviceId) override;
    void onDeviceRemoved(int deviceId) override;
    void onDetectionResult(int result, int target) override;
    void onDetectionStopped() override;

    void onEvent(ClientStateEvents) override {}

    // ---- CustomUICommandHandler ----
    int allocateCommandId() override;
    void setValue(int value) override { idleTimeoutChoice_.store(value); }

    // The streamer to connect to; before the screen is entered.
    void setConnection(const std::string& host, int port, const std::string& token, const std::string& language);
    // The head of the chain run when the session becomes ready; the window adds its
    // follow-ups.
    const TaskPtr& startTask() const { return startChain_; }
    SimpleInputInterface& session() { return *session_; }

    // Relative-mouse mode on or off: the cursor is hidden and captured to the stream while
    // on. Main thread (the render thread posts it).
    void setRelativeMouse(bool on);

    // Periodic work (main thread; the messages call these under the window's locks).
    void checkClipboard();
    void checkGreyOut();
    void detectGamepads();
    void pollGamepads();

    // For tests and diagnostics.
    bool inputEnabled() const { return inputEnabled_.load(); }
    bool streamRunning() const { return streamRunning_.load(); }
    bool firstPictureShown() const { return firstPictureShown_.load(); }
    int retries() const { return retries_.load(); }
    IStreamMenu* menu() const { return menu_.get(); }
    int idleTimeoutChoice() const { return idleTimeoutChoice_.load(); }

private:
    class SetupInitialConnectionTask;
    struct ConnectionRecord {
        std::string host;
        int port = 0;
        std::string token;
        std::string language;
    };
    // Shared with a delayed reconnection: leave() closes it, so a reconnection that has not
    // started never starts and one under way finishes before the session stops.
    struct ReconnectGate {
        std::mutex mutex;
        bool open = true;
    };

    void applyStreamSettings();
    void reconnect();
    // No attempt left: the connection-lost dialog says why.
    void giveUp(int attempts);
    void syncRelativeMouse();
    void postSetRelativeMouse(bool on);
    void applyPendingMenuValues();
    void cancelMessages();
    void sendKey(const struct KeyTranslation& key, bool down);
    void gamepadStep(int id);
    void getWindowSize(int& width, int& height) const;
    void releaseButtons();

    PlayerMainWindow* const mainWindow_;
    const Timings timings_;
    std::atomic<int> idleTimeoutChoice_{0};
    std::atomic<bool> inputEnabled_{true};
    std::chrono::steady_clock::time_point lastKeyFrameRequest_, lastQualityCheck_, startTime_;
    std::int32_t decoderScore_ = 0;
    bool slowWarningArmed_ = true;
    std::int32_t fullHdBitrate_ = 15360000;
    std::int32_t hdReadyBitrate_ = 8192000;
    std::shared_ptr<IStreamMenu> menu_;
    bool tourPending_ = true;
    bool mouseSuspended_ = false;
    bool savedRelativeMouse_ = false;
    bool relativeMouse_ = false;
    bool showRelativeMouseHelp_ = true;
    std::atomic<bool> streamRunning_{false};
    std::atomic<bool> firstPictureShown_{false};
    std::atomic<bool> fatalErrorShown_{false};
    std::atomic<int> retries_{0};
    bool detectGamepadsPending_ = true;
    std::shared_ptr<SimpleInputInterface> session_;
    std::shared_ptr<DebugDiagramButton> diagramButton_;
    ConnectionRecord connection_;
    StreamMouse mouse_;
    // Keys whose press reached the machine; their release is sent even while input is off.
    std::bitset<512> keysDown_;
    // Buttons whose press reached the machine. The overlay that greys out the stream takes
    // the pointer's events, so their release never comes here: they are released on the
    // machine as the gate closes.
    std::bitset<8> buttonsDown_;
    IRenderImplementation* renderer_ = nullptr;
    WindowsAudioRenderer* audioRenderer_ = nullptr;
    std::map<int, InterfaceJoystickInputDevice*> gamepads_;
    GLFWThreadPereodicMessage* clipboardMessage_ = nullptr;
    GLFWThreadPereodicMessage* detectGamepadsMessage_ = nullptr;
    GLFWThreadPereodicMessage* pollGamepadsMessage_ = nullptr;
    GLFWThreadPereodicMessage* greyOutMessage_ = nullptr;
    bool pollMessages_ = false;
    std::unique_ptr<JoystickManager> gamepadManager_;
    TaskPtr startChain_;
    std::string lastLocalClipboard_;
    bool clipboardPrimed_ = false;
    std::unique_ptr<platform::ClipboardReader> clipboardReader_;
    std::shared_ptr<ReconnectGate> reconnectGate_;
    TaskPtr pendingReconnect_;
    std::mutex reconnectMutex_;  // guards pendingReconnect_
    // Menu values chosen on the io thread, shown by the next frame.
    std::mutex pendingMenuMutex_;
    std::string pendingFramerateText_;
    std::string pendingResolutionText_;
};

// The streamer update check after the session started: asks the streamer to look for its
// update when it offers "System.Update2".
class CheckStreamerUpdateTask : public TaskBase {
public:
    explicit CheckStreamerUpdateTask(StreamState* state) : TaskBase(false), state_(state) {}
    bool run() override;

private:
    StreamState* state_;
};

// Sets the machine's system mode (2 Steam, 1 Ubuntu, 0 otherwise) after the session started.
class SetStreamModeTask : public TaskBase {
public:
    SetStreamModeTask(StreamState* state, int mode) : TaskBase(false), state_(state), mode_(mode) {}
    bool run() override;
    int mode() const { return mode_; }

private:
    StreamState* state_;
    int mode_;
};
