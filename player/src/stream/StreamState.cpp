#include "player/stream/StreamState.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <cctype>
#include <cstdlib>

#include "core/ConfigStore.h"
#include "core/Folders.h"
#include "core/LanguageStore.h"
#include "core/LogLine.h"
#include "core/Random.h"
#include "core/ThreadPool.h"
#include "gui/AbstractGraphicsContext.h"
#include "gui/CAPILoader.h"
#include "gui/ImageButton.h"
#include "gui/PlayerGUI.h"
#include "platform/ClipboardReader.h"
#include "player-ui/PlayerCommandIds.h"
#include "player-ui/PopupDialogManager.h"
#include "player-ui/menu/IBitrateSlider.h"
#include "player-ui/menu/IDecoderPopup.h"
#include "player-ui/menu/IDialogTimeout.h"
#include "player-ui/menu/IRightMenu.h"
#include "player-ui/menu/IStreamMenu.h"
#include "player/PlayerMainWindow.h"
#include "player/RenderPluginModule.h"
#include "player/stream/DebugDiagram.h"
#include "player/stream/KeyTable.h"
#include "player/stream/StreamSettings.h"
#include "shell/GLFWMessageThread.h"
#include "stream/gamepad/InterfaceJoystickInputDevice.h"
#include "stream/gamepad/JoystickManager.h"
#include "stream/media/WindowsAudioRenderer.h"
#include "stream/session/ClientDBAPI.h"
#include "stream/session/InputAPI.h"
#include "stream/session/SimpleInputInterface.h"
#include "stream/session/SystemControlAPI.h"
#include "stream/session/VideoControlAPI.h"
#include "webapi/PlayerApi.h"
#include "stream/StreamMenuFactory.h"

namespace {

using Clock = std::chrono::steady_clock;
using Guard = std::lock_guard<std::recursive_mutex>;

// The help page opened by the help and bug-report items.
const char* const kHelpPage = "https://blog.nimbrosta.com/frequently-asked-questions/";
// The smallest logical window height at which the menu fits.
constexpr int kMenuMinHeight = 720;

// A periodic message of the screen: runs its body under the window's GUI and screen locks,
// and only while not cancelled (checked under those locks: the window deletes the screen
// under them after the destructor has set the flag).
class ScreenMessage : public GLFWThreadPereodicMessage {
public:
    ScreenMessage(PlayerMainWindow* window, StreamState* screen, void (StreamState::*body)())
        : window_(window), screen_(screen), body_(body) {}
    void run() override {
        Guard gui(window_->guiLock());
        Guard state(window_->stateMutex());
        if (cancelled.load()) return;
        (screen_->*body_)();
    }

private:
    PlayerMainWindow* window_;
    StreamState* screen_;
    void (StreamState::*body_)();
};

// Posting to the main loop's periodic list takes the list's lock, which the main loop holds
// while a periodic message waits for the GUI lock; a thread holding the GUI lock therefore
// hands the message to the main thread instead of posting it itself.
class PostPeriodicMessage : public GLFWThreadMessage {
public:
    PostPeriodicMessage(GLFWThreadPereodicMessage* message, int periodMs) : message_(message), periodMs_(periodMs) {}
    ~PostPeriodicMessage() override { delete message_; }
    void run() override {
        GLFWApp::instance().postPereodic(message_, periodMs_);
        message_ = nullptr;
    }

private:
    GLFWThreadPereodicMessage* message_;
    int periodMs_;
};

void postPeriodic(GLFWThreadPereodicMessage* message, int periodMs) {
    GLFWApp::instance().post(new PostPeriodicMessage(message, periodMs));
}

// GLFW's input modes belong to the main thread on X11.
class SetCursorLockedMessage : public GLFWThreadMessage {
public:
    SetCursorLockedMessage(PlayerMainWindow* window, bool locked) : window_(window), locked_(locked) {}
    void run() override { window_->setCursorLocked(locked_); }

private:
    PlayerMainWindow* window_;
    bool locked_;
};

}  // namespace

// A reconnection after a delay on the web facade's worker. It holds the session weakly and
// passes the screen's gate, so a screen left in the meantime starts nothing.
class StreamState::SetupInitialConnectionTask : public TaskBase {
public:
    SetupInitialConnectionTask(std::weak_ptr<SimpleInputInterface> session, std::shared_ptr<ReconnectGate> gate,
                               ConnectionRecord connection)
        : TaskBase(false), session_(std::move(session)), gate_(std::move(gate)), connection_(std::move(connection)) {}
    bool run() override {
        std::lock_guard<std::mutex> g(gate_->mutex);
        if (!gate_->open || cancelled()) return true;
        if (auto session = session_.lock())
            session->SetupConnectionAndStartStream(connection_.host, connection_.port, connection_.token,
                                                   connection_.language, true);
        return true;
    }

private:
    std::weak_ptr<SimpleInputInterface> session_;
    std::shared_ptr<ReconnectGate> gate_;
    ConnectionRecord connection_;
};

bool CheckStreamerUpdateTask::run() {
    SessionVariables& v = state_->session().variables;
    if (v.update2.isDefined()) v.update2.set(1);
    return true;
}

bool SetStreamModeTask::run() {
    state_->session().variables.systemMode.set(mode_);
    return true;
}

// ---- construction ----

StreamState::StreamState(PlayerMainWindow* window, int commandId, const Timings& timings,
                         IJoystickSource* gamepadSource)
    : PlayerWindowState(window, commandId),
      mainWindow_(window),
      timings_(timings),
      startChain_(std::make_shared<SuccessTask>()),
      reconnectGate_(std::make_shared<ReconnectGate>()) {
    // Text already on the clipboard when the stream starts is not sent; the reader's first
    // answer sets the starting point.
    clipboardReader_ = std::make_unique<platform::ClipboardReader>();
    clipboardMessage_ = new ScreenMessage(window, this, &StreamState::checkClipboard);
    detectGamepadsMessage_ = new ScreenMessage(window, this, &StreamState::detectGamepads);
    greyOutMessage_ = new ScreenMessage(window, this, &StreamState::checkGreyOut);
    gamepadManager_ = std::make_unique<JoystickManager>(this, gamepadSource);

    if (PlayerGUI* gui = window->getGUI()) {
        gui->registerTutorialTarget(5, 0, nullptr);
        gui->registerTutorialTarget(11, 0, nullptr);
    }
    gamepadManager_->setFilePath(joinPath(getPerUserFolder(), "joysticks.ini"));
    lastKeyFrameRequest_ = lastQualityCheck_ = startTime_ = Clock::now();

    SimpleInputInterface::Timings sessionTimings;
    sessionTimings.replyTimeout = timings_.replyTimeout;
    session_ = std::make_shared<SimpleInputInterface>(this, nullptr, sessionTimings);
    session_->inputAPI().addListener(&window->playerApi());

    postPeriodic(clipboardMessage_, timings_.clipboardPeriodMs);
    postPeriodic(greyOutMessage_, timings_.greyOutPeriodMs);
}

StreamState::~StreamState() {
    window_->clientState().removeListenerAndWait(this);
    cancelMessages();
    {
        std::lock_guard<std::mutex> g(reconnectGate_->mutex);
        reconnectGate_->open = false;
    }
    session_->inputAPI().removeListener(&mainWindow_->playerApi());
    for (auto& [id, device] : gamepads_) {
        gamepadManager_->setInputDevice(id, nullptr);
        delete device;
    }
    gamepads_.clear();
    session_.reset();
    startChain_.reset();
    gamepadManager_.reset();
    menu_.reset();
    diagramButton_.reset();
}

void StreamState::cancelMessages() {
    // The main loop owns posted messages and deletes them once cancelled; the detection
    // message is ours until the first picture hands it over.
    clipboardMessage_->cancelled.store(true);
    greyOutMessage_->cancelled.store(true);
    if (detectGamepadsPending_) delete detectGamepadsMessage_;
    else detectGamepadsMessage_->cancelled.store(true);
    detectGamepadsMessage_ = nullptr;
    if (pollGamepadsMessage_) pollGamepadsMessage_->cancelled.store(true);
    pollGamepadsMessage_ = nullptr;
}

int StreamState::allocateCommandId() { return mainWindow_->allocateCommandId(); }

void StreamState::setConnection(const std::string& host, int port, const std::string& token,
                                const std::string& language) {
    connection_.host = host;
    connection_.port = port;
    connection_.token = token;
    connection_.language = language;
}

IAudioRenderImplementation* StreamState::getAudioConsumer() { return audioRenderer_; }

// ---- enter and leave ----

bool StreamState::enter() {
    ConfigStore& config = ConfigStore::instance();
    PlayerGUI* gui = mainWindow_->getGUI();
    if (gui && config.get<bool>("Debug.Diagram", "0")) diagramButton_ = std::make_shared<DebugDiagramButton>(gui);

    StreamMenuVariables variables;
    variables.recordStream = &session_->variables.recordStream;
    variables.enableControllers = &session_->variables.enableControllers;
    variables.autoBitrate = &session_->variables.autoBitrate;
    variables.bitrate = &session_->videoControlAPI().bitrate;
    if (gui) {
        menu_ = createStreamMenu(*mainWindow_, variables, *this);
        gui->setVisible(menu_->widget(), false);
    }

    ClientState& model = window_->clientState();
    const DesktopInfo machine = model.getSelectedDesktop();
    std::string plan = model.getPlanName(machine.plan);
    if (plan.empty()) plan = model.getPlanName(model.getSelectedPlan());
    if (menu_) {
        menu_->rightMenu().setDatacenterLabel(model.getDatacenterName(machine.datacenter));
        menu_->rightMenu().setPlanLabel(plan);
    }

    const DecoderChoice decoder = chooseDecoder(config);
    renderer_ = createRenderImplementationForDecoders(decoder.flags);
    if (!renderer_) {
        LogLine(50, "StreamState::enter", __LINE__).stream()
            << "No render implementation for the decoder " << decoder.name << " (flags " << decoder.flags << ")";
        return false;
    }
    if (!renderer_->init())
        LogLine(50, "StreamState::enter", __LINE__).stream() << "The decoder " << decoder.name << " did not initialise";

    decoderScore_ = config.get<int>("Decoder.Score", "0");
    if (menu_) {
        IRightMenu& right = menu_->rightMenu();
        right.decoderPopup().setDecoders(offeredDecoders(config));
        right.setDecoderScore(decoderScore_);
        const GLubyte* gpu = glGetString(GL_RENDERER);
        right.setGpuLabel(gpu ? reinterpret_cast<const char*>(gpu) : "");
        right.setCurrentDecoder(decoder.name);
    }

    audioRenderer_ = new WindowsAudioRenderer();
    retries_.store(0);
    session_->SetupConnectionAndStartStream(connection_.host, connection_.port, connection_.token,
                                            connection_.language, true);
    model.addListener(this);
    // A direct connection has no account whose messages could be asked for.
    pollMessages_ = !model.getUser().accessToken.empty();
    if (pollMessages_) mainWindow_->playerApi().getMessages(true, timings_.messagePollPeriodMs);
    mainWindow_->checkPowerPlan();
    mainWindow_->postCommand(kCommandKeyboardHookOn);
    return true;
}

void StreamState::leave() {
    // No reconnection may start once the screen goes; one under way finishes first.
    {
        std::lock_guard<std::mutex> g(reconnectGate_->mutex);
        reconnectGate_->open = false;
    }
    {
        std::lock_guard<std::mutex> g(reconnectMutex_);
        if (pendingReconnect_) pendingReconnect_->cancel();
        pendingReconnect_.reset();
    }
    // The session's threads feed the renderer and the sound: they stop (and are joined)
    // before either is released.
    session_->StopAllConnections();
    if (renderer_) {
        renderer_->statistics.resetPeriod();
        renderer_->initialised = false;
        renderer_->release();
    }
    delete renderer_;
    renderer_ = nullptr;
    delete audioRenderer_;
    audioRenderer_ = nullptr;
    if (pollMessages_) mainWindow_->playerApi().getMessages(false, timings_.messagePollPeriodMs);
    mainWindow_->postCommand(kCommandKeyboardHookOff);
}

// ---- the frame ----

void StreamState::applyPendingMenuValues() {
    std::string framerate, resolution;
    {
        std::lock_guard<std::mutex> g(pendingMenuMutex_);
        framerate.swap(pendingFramerateText_);
        resolution.swap(pendingResolutionText_);
    }
    if (!menu_) return;
    if (!framerate.empty()) menu_->rightMenu().setFramerateSwitchValue(framerate);
    if (!resolution.empty()) menu_->rightMenu().setResolutionSwitchValue(resolution);
}

bool StreamState::update(std::recursive_mutex& guiLock) {
    ConfigStore& config = ConfigStore::instance();
    applyPendingMenuValues();
    if (menu_) {
        // The bitrate slider follows "Video.Bitrate" itself (it is the one reader of its change
        // flag, and leaves it alone while dragged).
        if (menu_->rightMenu().decoderPopup().takeChoice()) mainWindow_->postCommand(kCommandRestartScreen);
    }
    if (tourPending_) {
        if (!config.get<bool>("Tutorial.MenuFinished", "0")) {
            mainWindow_->postCommand(kCommandTourNext);
            config.set<bool>("Tutorial.MenuFinished", true, true);
        }
        tourPending_ = false;
    }
    if (firstPictureShown_.load()) {
        syncRelativeMouse();
        if (detectGamepadsPending_) {
            session_->variables.enableControllers.set(false);
            detectGamepadsPending_ = false;
            postPeriodic(detectGamepadsMessage_, timings_.detectGamepadsPeriodMs);
        }
    }
    if (!streamRunning_.load() || !renderer_) return false;

    CAPILoader& collector = CAPILoader::instance();
    collector.interval("DECODING", true);
    const bool newPicture = renderer_->updateFrame(1.0);
    collector.interval("DECODING", false);
    int fbWidth = 0, fbHeight = 0;
    if (AbstractGraphicsContext* context = mainWindow_->getGraphicsContext())
        context->getFramebufferSize(&fbWidth, &fbHeight);
    collector.interval("RENDERING", true);
    renderer_->render(1.0, fbWidth, fbHeight);
    collector.interval("RENDERING", false);

    Guard gui(guiLock);
    const Clock::time_point now = Clock::now();
    if (newPicture && !firstPictureShown_.load()) {
        firstPictureShown_.store(true);
        mainWindow_->postCommand(kCommandCloseConnectionDialogs);
        mainWindow_->postCommand(kCommandNoStatusText);
        if (showRelativeMouseHelp_) {
            mainWindow_->postCommand(kCommandRelativeMouseHelp);
            showRelativeMouseHelp_ = false;
        }
    }
    if (!firstPictureShown_.load()) {
        // Until the first picture: a zero move keeps the machine's input alive, and a key
        // frame is asked for about every second.
        session_->inputAPI().MouseMove(nextRandom() + nextRandom(), nextRandom() + nextRandom(), 0, 0, 0, 0, false);
        if (secondsField(now - lastKeyFrameRequest_) >= 1) {
            session_->videoControlAPI().VideoForceIDRFrame();
            lastKeyFrameRequest_ = now;
        }
    }
    if (secondsField(now - lastQualityCheck_) >= 2) {
        const std::int32_t ping =
            Int32Variable(&session_->clientDBAPI().db(), VariableNames::kClientAvgPing).get();
        const std::int32_t quality = qualityFromPing(ping);
        if (secondsField(now - startTime_) >= timings_.slowWarningSeconds) slowWarningArmed_ = false;
        if (menu_) {
            IRightMenu& right = menu_->rightMenu();
            if (quality > kQualityWarningLevel) {
                right.setQualityNormalStyle();
            } else {
                if (slowWarningArmed_) {
                    mainWindow_->postCommand(kCommandSlowConnection);
                    slowWarningArmed_ = false;
                }
                right.setQualityWarningStyle();
            }
            right.setQuality(quality);
        }
        lastQualityCheck_ = now;
    }
    return true;
}

// ---- session events ----

void StreamState::onEvent(int code, void*) {
    switch (code) {
        case 0: mainWindow_->postCommand(kCommandMachineLanguageChange); break;
        case kClientAppConnected: mainWindow_->postCommand(kCommandConnectionStarted); break;
        case kClientAppStreamCreated:
            streamRunning_.store(true);
            mainWindow_->requestRedraw();
            break;
        case kClientAppVideoClientFinished:
            streamRunning_.store(false);
            firstPictureShown_.store(false);
            mainWindow_->requestRedraw();
            break;
        case kClientAppAuthorized:
            // Only an answer counts as a connection: a frozen streamer still takes the TCP
            // connection, and would otherwise be retried for ever.
            retries_.store(0);
            break;
        case kClientAppVariablesReady:
            applyStreamSettings();
            ThreadPool::execute(startChain_.get());
            break;
        case kClientAppConnectionError:
            if (!fatalErrorShown_.load()) mainWindow_->postCommand(kCommandConnectionError);
            fatalErrorShown_.store(false);
            break;
        case kClientAppTimeout: mainWindow_->postCommand(kCommandConnectionTimeout); break;
        case kClientAppReserved: mainWindow_->postCommand(kCommandVideoConnectionError); break;
        case kClientAppAuthorizationFailed:
            fatalErrorShown_.store(true);
            mainWindow_->postCommand(kCommandAuthorizationFailed);
            break;
        case kClientAppAnotherClient:
            fatalErrorShown_.store(true);
            mainWindow_->postCommand(kCommandAnotherClientLoggedIn);
            break;
        default: break;
    }
}

void StreamState::applyStreamSettings() {
    const StreamSettings s = StreamSettings::fromConfig(ConfigStore::instance(), fullHdBitrate_, hdReadyBitrate_);
    LanguageStore& language = LanguageStore::instance();
    mainWindow_->postCommand(s.fps == 60 ? kCommandFrameRate60 : kCommandFrameRate30);
    VideoControlAPI& video = session_->videoControlAPI();
    video.framerate.set(s.fps);
    video.bitrate.set(s.bitrate);
    {
        // The switches are widgets of the render thread: the next frame shows the values.
        std::lock_guard<std::mutex> g(pendingMenuMutex_);
        pendingFramerateText_ = language.text(s.fps == 60 ? "menu_fps_60" : "menu_fps_30");
        pendingResolutionText_ = language.text(s.fullHd ? "menu_resolution_1080" : "menu_resolution_720");
    }
    mainWindow_->postCommand(s.fullHd ? kCommandSessionResolution1080 : kCommandResolution720);
    if (s.autoQuality != 2) session_->variables.autoBitrate.set(s.autoQuality == 1);
}

void StreamState::reconnect() {
    const int attempts = retries_.fetch_add(1) + 1;
    if (attempts >= kMaxRetries) {
        giveUp(attempts);
        return;
    }
    auto task = std::make_shared<SetupInitialConnectionTask>(session_, reconnectGate_, connection_);
    {
        std::lock_guard<std::mutex> g(reconnectMutex_);
        if (pendingReconnect_) pendingReconnect_->cancel();
        pendingReconnect_ = task;
    }
    mainWindow_->playerApi().postDelayed(task, timings_.reconnectDelayMs);
}

void StreamState::giveUp(int attempts) {
    // The user reads why before anything else happens; the dialog's OK goes back.
    std::string reason = session_->lastFailure();
    LogLine(50, "StreamState::giveUp", __LINE__).stream()
        << "no connection after " << attempts << " attempts in a row; the last failure: " << reason;
    if (!reason.empty()) {
        reason[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(reason[0])));
        reason += '.';
    }
    {
        std::lock_guard<std::mutex> g(reconnectMutex_);
        if (pendingReconnect_) pendingReconnect_->cancel();
        pendingReconnect_.reset();
    }
    PopupDialogManager& popups = mainWindow_->popupManager();
    popups.closeConnectionDialogs();
    popups.openDialog(PopupDialogManager::kConnectionLostDialog, reason);
}

// ---- commands (main thread) ----

bool StreamState::onCommand(int id) {
    SessionVariables& vars = session_->variables;
    ConfigStore& config = ConfigStore::instance();
    PlayerGUI* gui = mainWindow_->getGUI();
    switch (id) {
        case kCommandGreyOutClicked:
            if (menu_ && !menu_->rightMenu().timeoutDialog().isVisible() && !menu_->isGamepadFormVisible() &&
                !menu_->tourLocked() && gui)
                gui->setVisible(menu_->widget(), false);
            return true;
        case kCommandOpenMenu:
        case kCommandTourOpenMenu:
            if (menu_ && !menu_->isOpen()) {
                if (mainWindow_->isCursorLocked()) setRelativeMouse(false);
                int w = 0, h = 0;
                mainWindow_->getLogicalSize(w, h);
                if (h < kMenuMinHeight) mainWindow_->setSize(1280, 720);
                if (gui) gui->setVisible(menu_->widget(), true);
            }
            return true;
        case kCommandAccountPage:
        case kCommandCreditsAccountPage:
        case kCommandStorageAccountPage:
            mainWindow_->playerApi().openAccountPage();
            return true;
        case kCommandToggleSystemPage:
            if (menu_) menu_->rightMenu().toggleSystemPage();
            return true;
        case kCommandTourSettingsPage:
        case kCommandToggleSettingsPage:
            if (menu_) menu_->rightMenu().toggleSettingsPage();
            return true;
        case kCommandHelpPage:
        case kCommandBugReport:
            mainWindow_->playerApi().openUrl(kHelpPage);
            return true;
        case kCommandTaskManager:
            session_->systemControlAPI().LaunchTaskmgr();
            return true;
        case kCommandToggleFullscreen:
            mainWindow_->toggleFullscreen();
            return true;
        case kCommandCloseMenuFlipToggle:
            if (menu_) menu_->hide(!menu_->toggleVisible());
            return true;
        case kCommandToggleCursorLock:
            if (!menu_ || !menu_->isOpen()) setRelativeMouse(!mainWindow_->isCursorLocked());
            return true;
        case kCommandTypeAdminPassword: {
            InputAPI& input = session_->inputAPI();
            input.TypeText(vars.password.get());
            input.KeyDown(13, 0, 0);
            input.KeyUp(13, 0, 0);
            return true;
        }
        case kCommandToggleAutoBitrate: {
            const bool on = !vars.autoBitrate.get();
            vars.autoBitrate.set(on);
            config.set<std::string>("General.AutoQuality", on ? "1" : "0", true);
            config.save();
            return true;
        }
        case kCommandSetBitrate: {
            if (!menu_) return true;
            const std::int32_t bitrate = menu_->bitrateSlider().getBitrate();
            config.set<int>("General.Quality", bitrate / 1048576, true);
            config.save();
            session_->videoControlAPI().bitrate.set(bitrate);
            return true;
        }
        case kCommandShowGamepadSetup:
            if (menu_) menu_->showGamepadForm(true, gamepadManager_.get());
            return true;
        case kCommandHotKeysOff:
        case kCommandHotKeysOn:
            mainWindow_->setHotKeysEnabled(id == kCommandHotKeysOn);
            if (menu_) menu_->setCursorLockItemInteractive(id == kCommandHotKeysOn);
            return true;
        case kCommandResolution1080:
        case kCommandSessionResolution1080:
        case kCommandResolution720: {
            const bool fullHd = id != kCommandResolution720;
            VideoControlAPI& video = session_->videoControlAPI();
            video.scaleResolution.set(fullHd ? std::make_pair(1920, 1080) : std::make_pair(1280, 720));
            video.enableScale.set(true);
            config.set<std::string>("Decoder.Resolution", fullHd ? "FULLHD" : "HDREADY", true);
            config.save();
            return true;
        }
        case kCommandFrameRate60:
        case kCommandFrameRate30: {
            const int fps = id == kCommandFrameRate60 ? 60 : 30;
            session_->videoControlAPI().framerate.set(fps);
            config.set<std::string>("Decoder.FPS", std::to_string(fps), true);
            config.save();
            return true;
        }
        case kCommandShowIdleTimeout:
            if (menu_) menu_->rightMenu().timeoutDialog().setVisible(true);
            return true;
        case kCommandToggleDecoderList:
            if (menu_) menu_->rightMenu().toggleDecoderPopup();
            return true;
        case kCommandSendIdleTimeout:
            if (idleTimeoutChoice_.load() != 0 && menu_ && menu_->rightMenu().timeoutDialog().hasChosenValue())
                mainWindow_->playerApi().setTimeout(idleTimeoutChoice_.load());
            return true;
        case kCommandTourLockMenu:
        case kCommandTourUnlockMenu:
            if (menu_) menu_->setTourLock(id == kCommandTourLockMenu);
            break;
        case kCommandShowDesktop:
            session_->systemControlAPI().ShowDesktop();
            session_->systemControlAPI().KillSteam();
            if (menu_ && gui) gui->setVisible(menu_->widget(), false);
            return true;
        case kCommandSteamBigPicture:
            session_->systemControlAPI().LaunchSteamBigPictureMode();
            if (menu_ && gui) gui->setVisible(menu_->widget(), false);
            return true;
        case kCommandConnectionError:
        case kCommandConnectionTimeout:
        case kCommandVideoConnectionError:
        case kCommandMachineLanguageChange:
            reconnect();
            return true;
        default: break;
    }
    if (id >= kCommandGamepadDetectFirst && id <= kCommandCloseGamepadSetup) {
        gamepadStep(id);
        return true;
    }
    return runRegisteredTask(id);
}

// ---- input (main thread) ----

void StreamState::getWindowSize(int& width, int& height) const {
    width = height = 0;
    if (AbstractGraphicsContext* context = mainWindow_->getGraphicsContext()) context->getWindowSize(&width, &height);
}

void StreamState::sendKey(const KeyTranslation& key, bool down) {
    InputAPI& input = session_->inputAPI();
    const std::uint32_t flags = key.extended() ? InputAPI::kKeyExtended : 0;
    if (down) input.KeyDown(key.virtualKey, key.scanByte(), flags);
    else input.KeyUp(key.virtualKey, key.scanByte(), flags);
}

bool StreamState::onKey(GLFWwindow*, int key, int, int action, int mods) {
    if (key == GLFW_KEY_F10 && action == GLFW_PRESS) mainWindow_->postCommand(kCommandOpenMenu);
    KeyTranslation translation;
    // Keys the machine has no code for are not sent.
    if (!glfwKeyToWin32Key(key, (mods & GLFW_MOD_NUM_LOCK) != 0, translation)) return inputEnabled_.load();
    const std::size_t slot = std::size_t(key) % keysDown_.size();
    if (action == GLFW_RELEASE) {
        // A key pressed before a dialog greyed out the stream is still released on the
        // machine, so that it does not stay down there.
        if (!inputEnabled_.load() && !keysDown_.test(slot)) return false;
        keysDown_.reset(slot);
        sendKey(translation, false);
        return true;
    }
    if (!inputEnabled_.load()) return false;
    keysDown_.set(slot);
    sendKey(translation, true);
    return true;
}

bool StreamState::onMouseButton(GLFWwindow*, int button, int action, int) {
    if (!inputEnabled_.load()) return false;
    int width = 0, height = 0;
    getWindowSize(width, height);
    if (width <= 0 || height <= 0) return true;
    const bool pressed = action == GLFW_PRESS;
    if (button >= 0 && std::size_t(button) < buttonsDown_.size()) buttonsDown_.set(std::size_t(button), pressed);
    session_->inputAPI().MouseButton(mouse_.remoteX(), mouse_.remoteY(), width, height, remoteMouseButton(button),
                                     pressed);
    return true;
}

void StreamState::releaseButtons() {
    if (buttonsDown_.none()) return;
    int width = 0, height = 0;
    getWindowSize(width, height);
    for (std::size_t button = 0; button < buttonsDown_.size(); ++button)
        if (buttonsDown_.test(button) && width > 0 && height > 0)
            session_->inputAPI().MouseButton(mouse_.remoteX(), mouse_.remoteY(), width, height,
                                             remoteMouseButton(int(button)), false);
    buttonsDown_.reset();
}

bool StreamState::onCursorPos(GLFWwindow* window, double x, double y) {
    if (!inputEnabled_.load()) return false;
    int width = 0, height = 0;
    getWindowSize(width, height);
    StreamMouse::Move move;
    const bool send = mouse_.onCursor(x, y, width, height, mainWindow_->isCursorLocked(), move);
    if (mouse_.warpPending()) {
        if (window) glfwSetCursorPos(window, mouse_.warpX(), mouse_.warpY());
        mouse_.clearWarp();
    }
    if (!send) return false;
    session_->inputAPI().MouseMove(move.x, move.y, move.dx, move.dy, width, height, move.absolute);
    return true;
}

bool StreamState::onScroll(GLFWwindow*, double, double dy) {
    if (!inputEnabled_.load()) return false;
    int width = 0, height = 0;
    getWindowSize(width, height);
    if (dy != 0 && width > 0 && height > 0)
        session_->inputAPI().MouseWheel(mouse_.remoteX(), mouse_.remoteY(), width, height, int(dy * 120));
    return true;
}

bool StreamState::onClose(GLFWwindow*) {
    // A machine of the command line has no account behind it: there is no session to end
    // at the service, and closing ends the player.
    if (mainWindow_->isDirectConnection()) return true;
    mainWindow_->postCommand(kCommandCloseAllDialogs);
    mainWindow_->postCommand(kCommandCloseSession);
    return false;
}

// ---- relative mouse ----

void StreamState::setRelativeMouse(bool on) {
    if (PlayerGUI* gui = mainWindow_->getGUI()) gui->setHovered(nullptr);
    mainWindow_->setCursorLocked(on);
    if (menu_) menu_->setCursorLocked(on);
}

void StreamState::postSetRelativeMouse(bool on) {
    if (PlayerGUI* gui = mainWindow_->getGUI()) gui->setHovered(nullptr);
    GLFWApp::instance().post(new SetCursorLockedMessage(mainWindow_, on));
    if (menu_) menu_->setCursorLocked(on);
}

void StreamState::syncRelativeMouse() {
    bool changed = false;
    if (session_->variables.mouseStatus.changed.exchange(false)) {
        relativeMouse_ = session_->variables.mouseStatus.get() == 1;
        changed = true;
    }
    const bool overlay = mainWindow_->popupManager().isPopupVisible() || (menu_ && menu_->isOpen());
    if (overlay && relativeMouse_ && !mouseSuspended_) {
        savedRelativeMouse_ = true;
        relativeMouse_ = false;
        mouseSuspended_ = true;
        changed = true;
    }
    if (mouseSuspended_ && !overlay) {
        relativeMouse_ = savedRelativeMouse_;
        mouseSuspended_ = false;
        changed = true;
    }
    if (changed) postSetRelativeMouse(relativeMouse_);
}

// ---- periodic work (main thread) ----

void StreamState::checkClipboard() {
    // The reader answers on a later pass. Its first answer is only the starting point, so
    // text that was on the clipboard before the stream started is not sent.
    std::string local;
    const bool fresh = clipboardReader_->take(local);
    clipboardReader_->request();
    VariableUserBase<StringVariable>& clipboard = session_->variables.clipboard;
    if (fresh) {
        if (!clipboardPrimed_) {
            clipboardPrimed_ = true;
            lastLocalClipboard_ = local;
        }
        if (local != lastLocalClipboard_) {
            // Our own change is not taken for one of the machine's.
            clipboard.changed.store(false);
            clipboard.set(local);
            lastLocalClipboard_ = local;
        }
    } else {
        local = lastLocalClipboard_;
    }
    if (clipboard.changed.exchange(false)) {
        // The machine's text goes onto the local clipboard; lastLocalClipboard_ stays, so the
        // next pass sends it back once.
        const std::string remote = clipboard.get();
        if (remote != local) mainWindow_->setClipboardText(remote);
    }
}

void StreamState::checkGreyOut() {
    ImageButton* greyOut = mainWindow_->popupManager().greyOutButton();
    const bool enabled = !(greyOut && greyOut->isVisible());
    // A button held on the stream would stay down on the machine for as long as the dialog
    // is open, and after: its release goes to the overlay.
    if (!enabled && inputEnabled_.load()) releaseButtons();
    inputEnabled_.store(enabled);
}

void StreamState::detectGamepads() {
    if (gamepadManager_->scanDevices()) {
        if (!pollGamepadsMessage_) {
            pollGamepadsMessage_ = new ScreenMessage(mainWindow_, this, &StreamState::pollGamepads);
            // On the main thread already, outside the GUI lock's reach of the render thread.
            GLFWApp::instance().postPereodic(pollGamepadsMessage_, timings_.pollGamepadsPeriodMs);
        }
    } else if (pollGamepadsMessage_) {
        pollGamepadsMessage_->cancelled.store(true);
        pollGamepadsMessage_ = nullptr;
    }
}

void StreamState::pollGamepads() { gamepadManager_->poll(); }

// ---- gamepads (main thread) ----

void StreamState::onDeviceAdded(int deviceId) {
    auto* device = new InterfaceJoystickInputDevice(0, 1);
    auto old = gamepads_.find(deviceId);
    if (old != gamepads_.end()) {
        gamepadManager_->setInputDevice(deviceId, nullptr);
        delete old->second;
    }
    gamepads_[deviceId] = device;
    device->setNotifier(session_.get());
    gamepadManager_->setInputDevice(deviceId, device);
    if (!gamepads_.empty()) session_->variables.enableControllers.set(true);
}

void StreamState::onDeviceRemoved(int deviceId) {
    gamepadManager_->setInputDevice(deviceId, nullptr);
    auto it = gamepads_.find(deviceId);
    if (it != gamepads_.end()) {
        delete it->second;
        gamepads_.erase(it);
    }
    if (gamepads_.empty()) session_->variables.enableControllers.set(false);
}

void StreamState::gamepadStep(int id) {
    JoystickManager& m = *gamepadManager_;
    switch (id) {
        case 65: m.detectAxis(0, this); break;
        case 66: m.detectAxis(3, this); break;
        case 67: case 68: case 69: case 70: case 71: case 72: m.detectButton(id - 67, this); break;
        case 73: m.detectForAxis(10, 11, this); break;
        case 74: m.detectForAxis(11, 10, this); break;
        case 75: m.detectButton(9, this); break;
        case 76: m.detectButton(10, this); break;
        case 77: m.detectButton(11, this); break;
        case 78: m.detectAxisAsButtons(12, 13, this); break;
        case 79: m.detectAxisAsButtons(13, 12, this); break;
        case 80: m.detectAxisAsButtons(14, 15, this); break;
        case 81: m.detectAxisAsButtons(15, 14, this); break;
        case 82: m.detectButton(8, this); break;
        case 83: m.detectButton(17, this); break;
        case kCommandGamepadDetectCancel: m.stopDetection(); break;
        case kCommandCloseGamepadSetup:
            if (menu_) menu_->showGamepadForm(false, gamepadManager_.get());
            break;
        default: break;
    }
}

void StreamState::onDetectionResult(int result, int target) {
    gamepadManager_->stopDetection();
    mainWindow_->postCommand(kCommandGamepadDetectionEnded);
    if (result == kAxisLearned && target == 0) {
        gamepadManager_->detectAxis(1, this);
        mainWindow_->postCommand(kCommandLeftStickPart2);
    } else if (result == kAxisLearned && target == 3) {
        gamepadManager_->detectAxis(4, this);
        mainWindow_->postCommand(kCommandRightStickPart2);
    }
}

void StreamState::onDetectionStopped() { gamepadManager_->stopDetection(); }
