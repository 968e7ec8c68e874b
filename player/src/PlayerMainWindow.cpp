#include "player/PlayerMainWindow.h"

#include <GLFW/glfw3.h>

#include "core/ConfigStore.h"
#include "core/LanguageStore.h"
#include "core/LogLine.h"
#include "gui/CAPILoader.h"
#include "gui/GraphicsContextOpenGLGLFW.h"
#include "gui/PlayerGUI.h"
#include "player/BenchmarkGroupState.h"
#include "player/PlayerWindowState.h"
#include "player/PowerPlanSwitcher.h"
#include "player/stream/StreamState.h"
#include "shell/GLFWAppMessagePopupWindow.h"
#include "player/selectos/SelectOsState.h"

namespace {
using Guard = std::lock_guard<std::recursive_mutex>;

// The password of the one machine of a direct connection; the streamer does not ask.
const char* const kDirectPassword = "123";

// The machine's system mode for the streamer: 2 Steam, 1 Ubuntu, 0 otherwise.
int systemModeOf(const std::string& machineName) {
    if (machineName == "Steam") return 2;
    if (machineName == "Ubuntu") return 1;
    return 0;
}

// Adaptive vsync (a late frame is shown at once instead of waiting for the next refresh)
// needs the swap-control-tear extension; without it a swap interval of -1 is an error.
bool adaptiveVsyncSupported() {
    return glfwExtensionSupported("GLX_EXT_swap_control_tear") == GLFW_TRUE ||
           glfwExtensionSupported("WGL_EXT_swap_control_tear") == GLFW_TRUE;
}
}  // namespace

PlayerMainWindow::PlayerMainWindow(const PlayerApiTimings& timings)
    : popupManager_(this), powerPlan_(std::make_unique<PowerPlanSwitcher>()), api_(timings) {
    // Escape belongs to the stream and the dialogs; it never closes the player.
    setEscapeCloses(false);
    backMap_[kCommandBenchmarkScreen] = kCommandNone;
    backMap_[kCommandSelectionScreen] = kCommandNone;
    backMap_[kCommandStreamScreen] = kCommandSelectionScreen;
    api_.addListener(this);
    // Loads the optional statistics collector once, before any screen records marks.
    CAPILoader::instance();
}

PlayerMainWindow::~PlayerMainWindow() {
    destroyWindow();
    api_.removeListener(this);
    // A notification under way on the worker may still reach this window; joining the
    // worker first makes sure it has returned.
    api_.shutdown();
    powerPlan_->restore();
    delete pendingState_;
    pendingState_ = nullptr;
    delete currentState_;
    currentState_ = nullptr;
}

// ---- input ----

bool PlayerMainWindow::onCursorPos(GLFWwindow* window, double x, double y) {
    Guard gui(guiLock());
    if (FixedResizableWindow::onCursorPos(window, x, y)) return true;
    Guard state(stateLock_);
    return currentState_ && currentState_->onCursorPos(window, x, y);
}

bool PlayerMainWindow::onMouseButton(GLFWwindow* window, int button, int action, int mods) {
    Guard gui(guiLock());
    if (FixedResizableWindow::onMouseButton(window, button, action, mods)) return true;
    Guard state(stateLock_);
    return currentState_ && currentState_->onMouseButton(window, button, action, mods);
}

bool PlayerMainWindow::onScroll(GLFWwindow* window, double dx, double dy) {
    // The GUI takes no wheel events.
    Guard gui(guiLock());
    Guard state(stateLock_);
    return currentState_ && currentState_->onScroll(window, dx, dy);
}

bool PlayerMainWindow::onKey(GLFWwindow* window, int key, int scancode, int action, int mods) {
    Guard gui(guiLock());
    if (FixedResizableWindow::onKey(window, key, scancode, action, mods)) return true;
    Guard state(stateLock_);
    return currentState_ && currentState_->onKey(window, key, scancode, action, mods);
}

bool PlayerMainWindow::onChar(GLFWwindow* window, unsigned codePoint) {
    Guard gui(guiLock());
    if (FixedResizableWindow::onChar(window, codePoint)) return true;
    Guard state(stateLock_);
    return currentState_ && currentState_->onChar(window, codePoint);
}

int PlayerMainWindow::onClose(GLFWwindow* window) {
    bool allowed = true;
    {
        Guard gui(guiLock());
        Guard state(stateLock_);
        if (currentState_) allowed = currentState_->onClose(window);
    }
    if (!allowed) return 0;
    return FixedResizableWindow::onClose(window);
}

void PlayerMainWindow::onRefresh(GLFWwindow*) { requestRedraw(); }

void PlayerMainWindow::onFocus(GLFWwindow* window, int focused) {
    {
        Guard gui(guiLock());
        Guard state(stateLock_);
        if (currentState_) currentState_->onFocus(window, focused);
    }
    FixedResizableWindow::onFocus(window, focused);
}

void PlayerMainWindow::onCreate() { glfwSetInputMode(getWindow(), GLFW_LOCK_KEY_MODS, GLFW_TRUE); }

bool PlayerMainWindow::onCursorLockKey() {
    postCommand(kCommandToggleCursorLock);
    return true;
}

// ---- commands ----

void PlayerMainWindow::postCommand(int id) { ::postCommand(this, id); }

void PlayerMainWindow::Command(int id) {
    Guard gui(guiLock());
    offerToPopupManager(id);
    int screenCommand = 0;
    {
        Guard state(stateLock_);
        if (currentState_) {
            if (currentState_->onCommand(id)) return;
            screenCommand = currentState_->commandId();
        }
    }
    switch (id) {
        case kCommandExit:
        case kCommandExitFromDialog:
            close();
            return;
        case kCommandRestartScreen:
            // A new screen of the same kind becomes pending; nothing without a screen.
            if (screenCommand != 0) Command(screenCommand);
            return;
        case kCommandStopRendering:
            stopRender();
            return;
        case kCommandBenchmarkScreen:
        case kCommandSelectionScreen:
        case kCommandStreamScreen:
            if (!pendingState_) pendingState_ = createScreen(id);
            return;
        case kCommandBenchmarkNotNeeded:
        case kCommandBenchmarkFinished:
            postCommand(kCommandSelectionScreen);
            return;
        case kCommandBack:
            if (backCommand_ == kCommandNone) {
                Command(kCommandStopRendering);
            } else {
                Command(backCommand_);
                backCommand_ = kCommandNone;
            }
            return;
        case kCommandKeyboardHookOn:
            setKeyboardHookEnabled(true);
            return;
        case kCommandKeyboardHookOff:
            setKeyboardHookEnabled(false);
            return;
        case kCommandLeaveFullscreen:
            exitFullscreen();
            return;
        default:
            // Nobody took it: a screen waiting to come may (kCommandReconnectAfterMessages
            // right after kCommandBack reaches the new selection screen this way).
            if (pendingState_) pendingState_->onCommand(id);
            return;
    }
}

PlayerWindowState* PlayerMainWindow::createScreen(int commandId) {
    switch (commandId) {
        case kCommandBenchmarkScreen: return new BenchmarkGroupState(this);
        case kCommandSelectionScreen: return new SelectOsState(this, kCommandSelectionScreen);
        case kCommandStreamScreen: return createStreamScreen();
        default: return nullptr;
    }
}

PlayerWindowState* PlayerMainWindow::createStreamScreen() { return createStreamScreen(StreamStateTimings()); }

PlayerWindowState* PlayerMainWindow::createStreamScreen(const StreamStateTimings& timings) {
    auto* stream = new StreamState(this, kCommandStreamScreen, timings);
    const DesktopInfo machine = api_.clientState.getSelectedDesktop();
    stream->setConnection(machine.ip, machine.port, machine.streamerKey, "en");
    stream->startTask()->addOnSuccess(std::make_shared<CheckStreamerUpdateTask>(stream));
    stream->startTask()->addOnSuccess(std::make_shared<SetStreamModeTask>(stream, systemModeOf(machine.name)));
    // The streamer key is a secret: only its length reaches the log.
    LogLine(0, "PlayerMainWindow::Command", __LINE__).stream()
        << "Connecting to:" << machine.ip << " token of " << machine.streamerKey.size() << " characters";
    return stream;
}

// ---- render thread ----

void PlayerMainWindow::onRenderStart() {
    popupManager_.createGreyOutButton();
    if (PlayerGUI* gui = getGUI()) gui->setPopupManager(&popupManager_);
    glContext_ = dynamic_cast<GraphicsContextOpenGL*>(getGraphicsContext());

    const ConfigStore& config = ConfigStore::instance();
    if (config.get<bool>("General.VSync", "0")) {
        const bool adaptive = adaptiveVsyncSupported();
        glfwSwapInterval(adaptive ? -1 : 1);
        LogLine(0, "PlayerMainWindow::onRenderStart", __LINE__).stream()
            << "vsync " << (adaptive ? "adaptive" : "on (adaptive vsync is not available)");
    }
    if (config.get<bool>("General.VSyncOff", "0")) glfwSwapInterval(0);
    if (auto* context = dynamic_cast<GraphicsContextOpenGLGLFW*>(getGraphicsContext()))
        context->setFinishBeforeSwap(config.get<bool>("General.ForceSync", "0"));

    Command(initialCommand_);
}

void PlayerMainWindow::onRenderStop() {
    popupManager_.releaseGreyOutButton();
    switchState(nullptr);
    // A screen still waiting was never entered: it is only deleted.
    Guard gui(guiLock());
    delete pendingState_;
    pendingState_ = nullptr;
}

void PlayerMainWindow::onAfterDraw() {
    // The screens and the render plug-in draw with OpenGL calls of their own.
    if (glContext_) glContext_->glState().invalidate();
    {
        Guard gui(guiLock());
        bool finished = false;
        {
            Guard state(stateLock_);
            if (currentState_) {
                currentState_->update(guiLock());
                finished = currentState_->isFinished();
            }
        }
        if (finished) switchState(nullptr);
        PlayerWindowState* next = pendingState_;
        pendingState_ = nullptr;
        if (next) switchState(next);
    }
    // The player draws continuously.
    requestRedraw();
}

void PlayerMainWindow::onRunEnd() { api_.shutdown(); }

bool PlayerMainWindow::switchState(PlayerWindowState* next) {
    requestRedraw();
    Guard gui(guiLock());
    Guard state(stateLock_);
    // Taken out first, so that a command sent while it leaves no longer reaches it.
    PlayerWindowState* old = currentState_;
    currentState_ = nullptr;
    if (old) {
        old->leave();
        delete old;
    }
    currentState_ = next;
    if (!next) return true;
    const auto back = backMap_.find(next->commandId());
    backCommand_ = back != backMap_.end() ? back->second : kCommandNone;
    if (next->enter()) return true;
    currentState_ = nullptr;
    next->leave();
    delete next;
    return false;
}

// ---- the rest ----

void PlayerMainWindow::connectDirect(const std::string& ip, int port, const std::string& token,
                                     const std::string& osName) {
    initialCommand_ = kCommandStreamScreen;
    // No account and no machine list: there is no selection screen to go back to, and
    // leaving the stream ends the player.
    direct_ = true;
    backMap_[kCommandStreamScreen] = kCommandNone;
    DesktopInfo machine;
    machine.name = osName;
    machine.state = "On";
    machine.ip = ip;
    machine.port = port;
    machine.streamerKey = token;
    machine.plan = "High";
    machine.os = osName;
    machine.datacenter = "Hardcoded";
    machine.password = kDirectPassword;
    machine.enabled = false;
    machine.isDefault = false;
    api_.clientState.setDesktops({machine});
    api_.clientState.setSelectedDesktop(osName);
}

bool PlayerMainWindow::checkPowerPlan() {
    if (!powerPlan_->needsSwitch()) return false;
    postCommand(kCommandPowerModeWarning);
    return powerPlan_->switchToHighPerformance();
}

void PlayerMainWindow::onPlayerApiEvent(PlayerApiEvents event) {
    if (event != kPlayerApiTaskError || apiErrorsShownByScreen_.load()) return;
    showMessagePopup(this, LanguageStore::instance().text("text_error"), api_.getLastError(false), kCommandExit);
}

bool PlayerMainWindow::hasPendingState() const {
    Guard gui(guiLock());
    return pendingState_ != nullptr;
}

int PlayerMainWindow::backCommand() const {
    Guard gui(guiLock());
    return backCommand_;
}

int PlayerMainWindow::currentScreenCommandId() const {
    Guard gui(guiLock());
    Guard state(stateLock_);
    return currentState_ ? currentState_->commandId() : 0;
}
