// The in-stream screen inside a real player window under Xvfb, in direct mode against the
// stand-in streamer and the stand-in RTSP server, with the counting render plug-in: the
// screen leaves without a frame reaching a released renderer and without a reconnection
// starting afterwards; a dialog holds keys back but lets go of those already down; the
// machine's relative mouse locks the cursor and an open menu suspends it; the overlay menu
// opens from its toggle button and changes the session; a frozen streamer is shown as lost
// in front of the start-up dialog; the fifteenth failed connection says why and goes back
// when the user has read it.

#include "core/ConfigStore.h"
#include "core/LanguageStore.h"
#include <gtest/gtest.h>

#include <GLFW/glfw3.h>
#include <dlfcn.h>

#include <thread>

// The peers first: X11's macros would spoil their headers.
#include "StubRtspServer.h"
#include "input-lib/InputClient.pb.h"
#include "stubstreamer/StubStreamer.h"

#include "../../shell/ShellTestSupport.h"
#include "../../shell/X11TestSupport.h"
#include <X11/XKBlib.h>
#include <X11/keysym.h>
#define GLFW_EXPOSE_NATIVE_X11
#include <GLFW/glfw3native.h>
#include "../PlayerWindowTestSupport.h"
#include "TestRenderPlugin.h"
#include "platform/DynamicLibrary.h"
#include "gui/ImageButton.h"
#include "player-ui/menu/BitrateSlider.h"
#include "player-ui/menu/DecoderPopup.h"
#include "player-ui/menu/LeftMenu.h"
#include "player-ui/menu/Menu.h"
#include "player-ui/menu/MenuButton.h"
#include "player-ui/menu/RightMenu.h"
#include "player-ui/menu/SynchronizedMenuButton.h"
#include "stream/session/SimpleInputInterface.h"
#include "stream/session/VideoControlAPI.h"
#include "player/stream/StreamState.h"
#include "gui/Button.h"
#include "gui/Static.h"
#include "player-ui/PopupDialogForm.h"
#include "player-ui/PopupDialogManager.h"

using namespace shelltest;
using InputClient::Request;
using InputClient::Response;
using nimbrosta::StubRtspServer;
using nimbrosta::StubRtspServerOptions;
using playertest::RecordingWindow;

namespace guitest {
std::string artifactsDir();
bool writePng(const std::string& path, int width, int height, const std::uint8_t* rgba);
}  // namespace guitest

namespace {

const std::string kPlugins = NIMBROSTA_TEST_RENDER_PLUGIN_DIR;
const std::string kFixture = std::string(NIMBROSTA_SOURCE_DIR) + "/tests/rtspclient/fixtures/testsrc-160x120.h264";
constexpr int kServerDBId = 7;

TestRenderPluginState& plugin() {
    static TestRenderPluginState* state = [] {
        void* library = dlopen((kPlugins + "/counting/render-ffmpeg.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        auto get = reinterpret_cast<TestRenderPluginStateFunction>(dlsym(library, "testRenderPluginState"));
        return get();
    }();
    return *state;
}

// The in-stream screen's timings in these tests. The slow-connection warning is off: the
// round trips it judges lengthen with the machine's load, and its dialog would come over
// whatever a test is doing once the first quality check (two seconds in) finds them slow.
StreamStateTimings testTimings() {
    StreamStateTimings t;
    t.slowWarningSeconds = 0;
    return t;
}

// A player window whose in-stream screens run with the given timings.
class StreamWindow : public RecordingWindow {
public:
    StreamWindow() : RecordingWindow(false) {}
    StreamStateTimings streamTimings;

protected:
    PlayerWindowState* createScreen(int commandId) override {
        if (commandId == kCommandStreamScreen) return createStreamScreen(streamTimings);
        return RecordingWindow::createScreen(commandId);
    }
};

// The streamer, its RTSP server and a player window connected straight to them.
struct StreamRig {
    explicit StreamRig(std::vector<InputClient::VariableEvent> extraDefinitions = {},
                       const StreamStateTimings& timings = testTimings()) {
        window.streamTimings = timings;
        StubRtspServerOptions o;
        o.h264File = kFixture;
        o.fps = 100;
        o.auth = StubRtspServerOptions::Auth::Digest;
        o.user = "tmp-user";
        o.password = "tmp-pass";
        o.audio = false;
        rtsp = std::make_unique<StubRtspServer>(o);
        started = rtsp->start();
        script.serverDBId = kServerDBId;
        script.urlPortAndPostfix = ":" + std::to_string(rtsp->port()) + "/stream";
        script.user = "tmp-user";
        script.password = "tmp-pass";
        script.definitions = {StubStreamer::int32Definition("System.MouseStatus", 0, 1, kServerDBId)};
        for (auto& d : extraDefinitions) script.definitions.push_back(std::move(d));
        streamer.scriptStandardSession(script);
        // The guided tour of a first stream holds input back until it is stepped through;
        // these tests are about input, so the tour counts as seen.
        ConfigStore::instance().set<bool>("Tutorial.MenuFinished", true, false);
        window.connectDirect("127.0.0.1", streamer.port(), "token", "Windows");
    }

    // Runs fn with the current in-stream screen on the main thread.
    template <typename T>
    T withScreen(const std::function<T(StreamState&)>& fn) {
        return onMain<T>([&] {
            std::lock_guard<std::recursive_mutex> gui(window.guiLock());
            std::lock_guard<std::recursive_mutex> state(window.stateMutex());
            auto* s = dynamic_cast<StreamState*>(window.currentState());
            return s ? fn(*s) : T();
        });
    }

    std::vector<Request> keys() {
        std::vector<Request> out;
        for (const auto& f : streamer.requests(Request::KEYBOARD_ACTION_V2)) out.push_back(f.request);
        return out;
    }

    // The streamer freezes (as under SIGSTOP): it still takes connections and bytes, and
    // answers nothing.
    void freeze() {
        for (int type : {Request::AUTHORIZATION, Request::CLIENT_DB_CONNECTED_EVENT, Request::CLIENT_DB_READY_EVENT,
                         Request::CLIENT_DB_VARIABLE_EVENT, Request::STREAM_INITIATE, Request::NETWORK_PING})
            streamer.onRequest(type, nullptr);
    }
    void thaw() { streamer.scriptStandardSession(script); }

    // The dialog on screen (-1: none) and the dialogs queued, as the main thread sees them.
    int shownDialog() {
        return onMain<int>([&] {
            std::lock_guard<std::recursive_mutex> gui(window.guiLock());
            return window.popupManager().shownDialog();
        });
    }
    std::vector<int> queuedDialogs() {
        return onMain<std::vector<int>>([&] {
            std::lock_guard<std::recursive_mutex> gui(window.guiLock());
            return window.popupManager().queuedDialogs();
        });
    }

    bool started = false;
    StubSessionScript script;
    std::unique_ptr<StubRtspServer> rtsp;
    StubStreamer streamer;
    StreamWindow window;
};

// Waits until the window has drawn count more frames.
bool waitForFrames(StreamRig& rig, int count) {
    const int start = rig.window.afterDraws.load();
    return x11test::waitUntil([&] { return rig.window.afterDraws.load() >= start + count; }, 5000);
}

bool waitForPictures(StreamRig& rig) {
    return x11test::waitUntil(
        [&] { return rig.withScreen<bool>([](StreamState& s) { return s.firstPictureShown(); }); }, 15000);
}

}  // namespace

TEST(StreamState, LeavingStopsTheFeedBeforeReleasingTheRenderer) {
    plugin().reset();
    StreamRig rig;
    ASSERT_TRUE(rig.started);
    ASSERT_TRUE(rig.window.create(640, 360, "player", true, true));
    runWithScript(&rig.window, [&] {
        ASSERT_TRUE(waitForPictures(rig));
        EXPECT_EQ(plugin().lastCreateFlags.load(), 1) << "software when nothing was chosen";
        // Back to the selection while the pictures keep coming.
        postCommand(&rig.window, kCommandBack);
        ASSERT_TRUE(x11test::waitUntil([&] { return plugin().liveImplementations.load() == 0; }, 5000));
    });
    EXPECT_EQ(plugin().releaseCalls.load(), 1);
    EXPECT_EQ(plugin().decodesAfterRelease.load(), 0);
    EXPECT_GT(plugin().renderCalls.load(), 0);
}

TEST(StreamState, APendingReconnectionIsCancelledWhenTheScreenIsLeft) {
    StreamRig rig;
    ASSERT_TRUE(rig.started);
    ASSERT_TRUE(rig.window.create(640, 360, "player", true, true));
    runWithScript(&rig.window, [&] {
        ASSERT_TRUE(waitForPictures(rig));
        // The streamer drops the connection: a reconnection is due in a second.
        rig.window.trace.take();
        ASSERT_TRUE(rig.streamer.lastConnection());
        rig.streamer.lastConnection()->close();
        ASSERT_TRUE(x11test::waitUntil([&] { return rig.window.trace.has("P:57"); }, 5000));
        const std::size_t connections = rig.streamer.connectionCount();
        // Leave the screen before it is due (a direct connection's back ends the player).
        postCommand(&rig.window, kCommandBack);
        ASSERT_TRUE(x11test::waitUntil([&] { return rig.window.currentScreenCommandId() != kCommandStreamScreen; }, 5000));
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        EXPECT_EQ(rig.streamer.connectionCount(), connections) << "no reconnection after the screen went";
    });
}

// The first picture opens the start-up dialogs (relative-mouse help, the machine's
// language), which hold input back until the user closes them. They are closed once the
// gate shows them: closed earlier, the help would open after the close, and a gate read
// before it opened would let a test's first key meet it.
bool closeStartupDialogs(StreamRig& rig) {
    auto inputEnabled = [&] { return rig.withScreen<bool>([](StreamState& s) { return s.inputEnabled(); }); };
    if (!x11test::waitUntil([&] { return !inputEnabled(); }, 5000)) return false;
    postCommand(&rig.window, kCommandCloseAllDialogs);
    return x11test::waitUntil(inputEnabled, 5000);
}

TEST(StreamState, ADialogHoldsKeysBackButReleasesKeysAlreadyDown) {
    StreamRig rig;
    ASSERT_TRUE(rig.started);
    ASSERT_TRUE(rig.window.create(640, 360, "player", true, true));
    runWithScript(&rig.window, [&] {
        ASSERT_TRUE(waitForPictures(rig));
        ASSERT_TRUE(closeStartupDialogs(rig));
        GLFWwindow* w = rig.window.getWindow();
        auto key = [&](int k, int action) {
            rig.withScreen<bool>([&](StreamState& s) { return s.onKey(w, k, 0, action, 0); });
        };
        auto inputEnabled = [&] { return rig.withScreen<bool>([](StreamState& s) { return s.inputEnabled(); }); };
        rig.streamer.clearFrames();
        key(GLFW_KEY_A, GLFW_PRESS);

        // The menu dims the stream; the gate closes within a tick.
        postCommand(&rig.window, kCommandOpenMenu);
        ASSERT_TRUE(x11test::waitUntil([&] { return !inputEnabled(); }, 5000));
        key(GLFW_KEY_B, GLFW_PRESS);
        key(GLFW_KEY_A, GLFW_RELEASE);
        key(GLFW_KEY_B, GLFW_RELEASE);
        key(GLFW_KEY_PRINT_SCREEN, GLFW_PRESS);

        // A click on the dimmed stream closes the menu; input flows again.
        postCommand(&rig.window, kCommandGreyOutClicked);
        ASSERT_TRUE(x11test::waitUntil(inputEnabled, 5000));
        key(GLFW_KEY_PRINT_SCREEN, GLFW_PRESS);  // no code on the machine: nothing sent
        key(GLFW_KEY_C, GLFW_PRESS);
        ASSERT_TRUE(rig.streamer.waitForRequests(Request::KEYBOARD_ACTION_V2, 3));

        std::vector<std::pair<std::uint32_t, std::uint32_t>> sent;
        for (const Request& r : rig.keys()) sent.emplace_back(r.keyactionv2().vkey(), r.keyactionv2().flags());
        EXPECT_EQ(sent, (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{65, 0}, {65, 2}, {67, 0}}));
    });
}

TEST(StreamState, AButtonHeldWhenADialogGreysOutTheStreamIsReleasedOnTheMachine) {
    StreamRig rig;
    ASSERT_TRUE(rig.started);
    ASSERT_TRUE(rig.window.create(640, 360, "player", true, true));
    const std::string xw = std::to_string(glfwGetX11Window(rig.window.getWindow()));
    auto inputEnabled = [&] { return rig.withScreen<bool>([](StreamState& s) { return s.inputEnabled(); }); };
    // The button flags of the pointer requests sent so far (moves left out).
    auto buttons = [&] {
        std::vector<std::int64_t> flags;
        for (const auto& f : rig.streamer.requests(Request::MOUSE_ACTION))
            if (f.request.mouseaction().flags() != 0x8001) flags.push_back(f.request.mouseaction().flags());
        return flags;
    };
    auto sent = [&](std::vector<std::int64_t> expected) {
        return x11test::waitUntil([&] { return buttons() == expected; }, 3000);
    };
    runWithScript(&rig.window, [&] {
        ASSERT_TRUE(waitForPictures(rig));
        ASSERT_TRUE(closeStartupDialogs(rig));
        rig.streamer.clearFrames();
        // The left button goes down on the stream, through the window.
        ASSERT_EQ(std::system(("xdotool mousemove --window " + xw + " 300 200 mousedown 1").c_str()), 0);
        ASSERT_TRUE(sent({2})) << "left button down";

        // The menu greys the stream out while the button is held: the machine sees it
        // released then, as the overlay takes the pointer from now on.
        postCommand(&rig.window, kCommandOpenMenu);
        ASSERT_TRUE(x11test::waitUntil([&] { return !inputEnabled(); }, 3000));
        EXPECT_TRUE(sent({2, 4})) << "released as the dialog came";
        // Letting go over the grey-out, and a right click there, send nothing.
        ASSERT_EQ(std::system("xdotool mouseup 1 click 3"), 0);

        // A click on the dimmed stream closes the menu; the buttons work as before.
        postCommand(&rig.window, kCommandGreyOutClicked);
        ASSERT_TRUE(x11test::waitUntil(inputEnabled, 3000));
        ASSERT_EQ(std::system("xdotool click 3"), 0);
        EXPECT_TRUE(sent({2, 4, 8, 16})) << "right button down and up";
    });
}

TEST(StreamState, KeypadKeysFollowNumLock) {
    // Through the window as the keyboard sends them: the window reports NumLock with every key.
    StreamRig rig;
    ASSERT_TRUE(rig.started);
    ASSERT_TRUE(rig.window.create(640, 360, "player", true, true));
    x11test::Connection x;
    ASSERT_TRUE(x);
    const std::string xw = std::to_string(glfwGetX11Window(rig.window.getWindow()));
    // By key code: named, xdotool would press whatever modifier reaches the name's level.
    auto code = [&](KeySym k) { return " " + std::to_string(XKeysymToKeycode(x.get(), k)); };
    const std::string numLock = code(XK_Num_Lock), kp7 = code(XK_KP_Home), kp8 = code(XK_KP_Up);
    runWithScript(&rig.window, [&] {
        ASSERT_TRUE(waitForPictures(rig));
        ASSERT_TRUE(closeStartupDialogs(rig));
        ASSERT_EQ(std::system(("xdotool windowfocus --sync " + xw).c_str()), 0);
        XkbStateRec state{};
        XkbGetState(x.get(), XkbUseCoreKbd, &state);
        if (state.locked_mods & XkbKeysymToModifiers(x.get(), XK_Num_Lock)) {
            ASSERT_EQ(std::system(("xdotool key" + numLock).c_str()), 0);  // off to begin with
        }
        rig.streamer.clearFrames();
        // NumLock on: keypad 7 and 8 are the digits; off again: keypad 7 is Home.
        ASSERT_EQ(std::system(("xdotool key" + numLock + kp7 + kp8 + numLock + kp7).c_str()), 0);
        ASSERT_TRUE(rig.streamer.waitForRequests(Request::KEYBOARD_ACTION_V2, 10));
        std::vector<std::string> keys;
        for (const Request& r : rig.keys()) keys.push_back(r.keyactionv2().ShortDebugString());
        EXPECT_EQ(keys, (std::vector<std::string>{
                            "vkey: 144 scancode: 69 flags: 1", "vkey: 144 scancode: 69 flags: 3",
                            "vkey: 103 scancode: 71", "vkey: 103 scancode: 71 flags: 2",
                            "vkey: 104 scancode: 72", "vkey: 104 scancode: 72 flags: 2",
                            "vkey: 144 scancode: 69 flags: 1", "vkey: 144 scancode: 69 flags: 3",
                            "vkey: 36 scancode: 71", "vkey: 36 scancode: 71 flags: 2"}));
    });
}

TEST(StreamState, TheMachinesRelativeMouseLocksTheCursorAndAnOpenMenuSuspendsIt) {
    StreamRig rig;
    ASSERT_TRUE(rig.started);
    ASSERT_TRUE(rig.window.create(640, 360, "player", true, true));
    runWithScript(&rig.window, [&] {
        ASSERT_TRUE(waitForPictures(rig));
        ASSERT_TRUE(closeStartupDialogs(rig));
        auto locked = [&] { return onMain<bool>([&] { return rig.window.isCursorLocked(); }); };
        EXPECT_FALSE(locked());

        Response change;
        change.set_type(Response::SERVER_DB_VARIABLE_EVENT);
        *change.mutable_variableevent() = StubStreamer::int32Definition("System.MouseStatus", 1, 20, kServerDBId);
        rig.streamer.lastConnection()->respond(change);
        ASSERT_TRUE(x11test::waitUntil(locked, 5000));

        postCommand(&rig.window, kCommandOpenMenu);
        EXPECT_TRUE(x11test::waitUntil([&] { return !locked(); }, 5000)) << "the menu needs the pointer";
        // A few frames see the open menu and suspend the machine's choice.
        ASSERT_TRUE(waitForFrames(rig, 4));
        postCommand(&rig.window, kCommandGreyOutClicked);
        EXPECT_TRUE(x11test::waitUntil(locked, 5000)) << "back to the machine's choice";
    });
}

// A streamer-owned boolean, as the streamer announces it.
InputClient::VariableEvent boolDefinition(const std::string& name, bool value) {
    InputClient::VariableValue v;
    v.set_boolvalue(value);
    return StubStreamer::definition(name, v, 1, kServerDBId);
}

// The values the streamer was asked to give the variable, in order.
std::vector<std::string> updatesOf(StubStreamer& streamer, const std::string& name) {
    std::vector<std::string> values;
    for (const auto& f : streamer.requests(Request::CLIENT_DB_VARIABLE_EVENT)) {
        const auto& e = f.request.variableevent();
        if (e.event() == InputClient::UPDATE_REQUEST && e.name().stringname() == name) values.push_back(e.value());
    }
    return values;
}

TEST(StreamState, TheOverlayMenuOpensFromItsToggleButtonAndChangesTheSession) {
    ConfigStore::instance().setString("Benchmark.VAAPI", "40", false);
    StreamRig rig({boolDefinition("Stream.RecordStream", false)});
    ASSERT_TRUE(rig.started);
    ASSERT_TRUE(rig.window.create(1280, 720, "player", true, true));
    x11test::Connection x;
    ASSERT_TRUE(x);
    const Window xw = glfwGetX11Window(rig.window.getWindow());
    // The centre of a widget of the open menu, once it has kept its place over two drawn
    // frames (the layout of a column just shown comes with a frame; a wait of some
    // milliseconds may see no frame at all on a loaded machine).
    auto centreOf = [&](const std::function<Widget*(Menu&)>& pick) {
        auto place = [&] {
            return rig.withScreen<Rect>([&](StreamState& s) {
                auto* menu = dynamic_cast<Menu*>(s.menu());
                Widget* w = menu ? pick(*menu) : nullptr;
                return w && w->isVisible() ? Rect{w->x, w->y, w->width, w->height} : Rect{-1, -1, 0, 0};
            });
        };
        Rect r;
        const bool placed = x11test::waitUntil(
            [&] {
                r = place();
                if (!waitForFrames(rig, 2)) return false;
                const Rect again = place();
                return r.x >= 0 && r.width > 0 && r.x == again.x && r.y == again.y;
            },
            10000);
        return placed ? std::make_pair(r.x + r.width / 2, r.y + r.height / 2) : std::make_pair(-1, -1);
    };
    auto isOpen = [&] { return rig.withScreen<bool>([](StreamState& s) { return s.menu() && s.menu()->isOpen(); }); };

    runWithScript(&rig.window, [&] {
        ASSERT_TRUE(waitForPictures(rig));
        ASSERT_TRUE(closeStartupDialogs(rig));
        EXPECT_FALSE(isOpen());

        // The toggle button at the top opens the menu; the stream stops taking input.
        const auto toggle = centreOf([](Menu& m) -> Widget* { return m.toggleButton.get(); });
        ASSERT_GE(toggle.first, 0) << "no toggle button over the stream";
        EXPECT_LT(toggle.second, 100) << "the toggle button sits at the top";
        ASSERT_TRUE(x11test::click(xw, toggle.first, toggle.second));
        ASSERT_TRUE(x11test::waitUntil(isOpen, 5000));
        // The gate follows the grey-out at the next frame.
        EXPECT_TRUE(x11test::waitUntil(
            [&] { return !rig.withScreen<bool>([](StreamState& s) { return s.inputEnabled(); }); }, 5000));

        // The slider shows the bitrate the session asked the streamer for.
        EXPECT_TRUE(x11test::waitUntil(
            [&] {
                return rig.withScreen<bool>([](StreamState& s) {
                    auto& menu = dynamic_cast<Menu&>(*s.menu());
                    return menu.leftColumn->bitrateSlider->getBitrate() == s.session().videoControlAPI().bitrate.get();
                });
            },
            5000));
        // The decoder list offers software and what the benchmark found.
        const auto decoders = rig.withScreen<std::vector<std::string>>([](StreamState& s) {
            std::vector<std::string> names;
            for (const auto& entry : dynamic_cast<Menu&>(*s.menu()).rightColumn->decoderRow->entries)
                names.push_back(entry.first);
            return names;
        });
        EXPECT_EQ(decoders, (std::vector<std::string>{"Software", "VAAPI"}));

        ASSERT_TRUE(waitForFrames(rig, 2));
        const x11test::Pixels shot = x11test::capture(x.get(), xw);
        ASSERT_FALSE(shot.rgba.empty());
        EXPECT_TRUE(guitest::writePng(guitest::artifactsDir() + "/player-stream-menu.png", shot.width, shot.height,
                                      shot.rgba.data()));

        // The record item asks the streamer to record.
        const auto record = centreOf([](Menu& m) -> Widget* { return m.rightColumn->recordItem.get(); });
        ASSERT_GE(record.first, 0);
        ASSERT_TRUE(x11test::click(xw, record.first, record.second));
        InputClient::VariableValue on;
        on.set_boolvalue(true);
        EXPECT_TRUE(rig.streamer.waitUntil(
            [&] { return updatesOf(rig.streamer, "Stream.RecordStream") == std::vector<std::string>{on.SerializeAsString()}; },
            std::chrono::seconds(5)));

        // A click on the dimmed stream closes the menu, and input flows again.
        ASSERT_TRUE(x11test::click(xw, 640, 650));
        EXPECT_TRUE(x11test::waitUntil([&] { return !isOpen(); }, 5000));
        EXPECT_TRUE(x11test::waitUntil(
            [&] { return rig.withScreen<bool>([](StreamState& s) { return s.inputEnabled(); }); }, 5000));
    });
    ConfigStore::instance().setString("Benchmark.VAAPI", "0", false);
}

// What a label shows: the text of its spans.
std::string labelText(const Static& label) {
    std::string text;
    for (const TextSpan& span : label.richText().spans) text += span.text;
    return text;
}

// Saves the window as a user sees it to build/artifacts/<name>.png.
void saveWindow(StreamRig& rig, const std::string& name) {
    x11test::Connection x;
    const x11test::Pixels shot = x11test::capture(x.get(), glfwGetX11Window(rig.window.getWindow()));
    ASSERT_FALSE(shot.rgba.empty());
    EXPECT_TRUE(guitest::writePng(guitest::artifactsDir() + "/" + name + ".png", shot.width, shot.height,
                                  shot.rgba.data()));
}

TEST(StreamState, TheFifteenthFailureInARowSaysWhyAndItsOkGoesBack) {
    StreamRig rig;
    ASSERT_TRUE(rig.started);
    ASSERT_TRUE(rig.window.create(640, 360, "player", true, true));
    runWithScript(&rig.window, [&] {
        ASSERT_TRUE(waitForPictures(rig));
        // The streamer drops the connection: the first failure, with its reason.
        rig.window.trace.take();
        rig.streamer.lastConnection()->close();
        auto retries = [&] { return rig.withScreen<int>([](StreamState& s) { return s.retries(); }); };
        ASSERT_TRUE(x11test::waitUntil([&] { return retries() == 1; }, 5000));
        // Fourteen more failures before the reconnection is due.
        for (int i = 2; i <= 15; ++i) {
            onMain<bool>([&] {
                rig.window.Command(kCommandConnectionError);
                return true;
            });
            EXPECT_EQ(retries(), i);
        }
        const std::size_t connections = rig.streamer.connectionCount();
        EXPECT_EQ(rig.shownDialog(), PopupDialogManager::kConnectionLostDialog);
        const std::string reason = onMain<std::string>([&] {
            std::lock_guard<std::recursive_mutex> gui(rig.window.guiLock());
            PopupDialogForm* form = rig.window.popupManager().currentForm();
            return form && form->extraLabel ? labelText(*form->extraLabel) : std::string("no reason shown");
        });
        EXPECT_EQ(reason, "The streamer closed the connection.");
        ASSERT_TRUE(waitForFrames(rig, 3));
        saveWindow(rig, "player-stream-connection-lost");

        // The screen stays until the user has read it; no attempt follows.
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        EXPECT_FALSE(rig.window.trace.has("P:86"));
        EXPECT_EQ(rig.streamer.connectionCount(), connections) << "no reconnection after giving up";
        EXPECT_EQ(rig.window.currentScreenCommandId(), kCommandStreamScreen);

        // Its OK goes back; behind a direct connection there is no machine selection to go
        // back to, so going back ends the player.
        const auto ok = onMain<std::pair<int, int>>([&] {
            std::lock_guard<std::recursive_mutex> gui(rig.window.guiLock());
            PopupDialogForm* form = rig.window.popupManager().currentForm();
            if (!form || form->buttonList.empty()) return std::make_pair(-1, -1);
            const Widget& b = *form->buttonList[0];
            return std::make_pair(b.x + b.width / 2, b.y + b.height / 2);
        });
        ASSERT_GE(ok.first, 0);
        ASSERT_TRUE(x11test::click(glfwGetX11Window(rig.window.getWindow()), ok.first, ok.second));
        EXPECT_TRUE(x11test::waitUntil([&] { return rig.window.trace.has("P:86"); }, 5000));
        EXPECT_TRUE(x11test::waitUntil([&] { return rig.window.trace.has("P:" + std::to_string(kCommandStopRendering)); },
                                       5000));
        EXPECT_NE(rig.window.currentScreenCommandId(), kCommandSelectionScreen);
    });
}

StreamStateTimings quickToGiveUp() {
    StreamStateTimings t = testTimings();
    t.replyTimeout = std::chrono::milliseconds(300);
    t.reconnectDelayMs = 100;
    return t;
}

// A frozen streamer keeps its socket: the picture (from its RTSP server) and our writes go
// on, and only the answers stop.
TEST(StreamState, AFrozenStreamerIsShownAsLostOverTheStartUpDialogWhichComesBackWithTheStream) {
    StreamRig rig({}, quickToGiveUp());
    ASSERT_TRUE(rig.started);
    ASSERT_TRUE(rig.window.create(640, 360, "player", true, true));
    runWithScript(&rig.window, [&] {
        ASSERT_TRUE(waitForPictures(rig));
        ASSERT_TRUE(x11test::waitUntil([&] { return rig.shownDialog() == 12; }, 5000)) << "the mouse-mode help";
        // Pings answered for a while: nothing happens.
        ASSERT_TRUE(rig.streamer.waitForRequests(Request::NETWORK_PING, 2, std::chrono::seconds(5)));
        EXPECT_EQ(rig.shownDialog(), 12);

        rig.freeze();
        ASSERT_TRUE(x11test::waitUntil([&] { return rig.shownDialog() == 8; }, 5000))
            << "the time-out's dialog in front";
        EXPECT_EQ(rig.queuedDialogs(), (std::vector<int>{12, 8}));
        ASSERT_TRUE(waitForFrames(rig, 3));
        saveWindow(rig, "player-stream-reconnecting");

        rig.thaw();
        ASSERT_TRUE(waitForPictures(rig));
        EXPECT_TRUE(x11test::waitUntil([&] { return rig.shownDialog() == 12; }, 5000));
        EXPECT_EQ(rig.queuedDialogs(), std::vector<int>{12});
        EXPECT_EQ(rig.withScreen<int>([](StreamState& s) { return s.retries(); }), 0);
    });
}

// Each attempt reaches the frozen streamer, which never authorizes: that is no connection.
TEST(StreamState, AStreamerThatStaysFrozenIsGivenUpOnWithItsReason) {
    StreamRig rig({}, quickToGiveUp());
    ASSERT_TRUE(rig.started);
    ASSERT_TRUE(rig.window.create(640, 360, "player", true, true));
    runWithScript(&rig.window, [&] {
        ASSERT_TRUE(waitForPictures(rig));
        rig.freeze();
        ASSERT_TRUE(x11test::waitUntil(
            [&] { return rig.shownDialog() == PopupDialogManager::kConnectionLostDialog; }, 20000));
        EXPECT_GE(rig.streamer.connectionCount(), std::size_t(StreamState::kMaxRetries));
        const std::string reason = onMain<std::string>([&] {
            std::lock_guard<std::recursive_mutex> gui(rig.window.guiLock());
            PopupDialogForm* form = rig.window.popupManager().currentForm();
            return form && form->extraLabel ? labelText(*form->extraLabel) : std::string("no reason shown");
        });
        EXPECT_EQ(reason, "The streamer stopped answering (nothing for 0.3 s).");
    });
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new GlfwEnvironment());
    // The counting plug-in stands in for the FFmpeg one.
    platform::setLibraryFolder(kPlugins + "/counting");
    // The menu's texts as a user reads them (the screenshot shows them).
    LanguageStore::instance().setFolder(NIMBROSTA_LIB_DIR);
    LanguageStore::instance().load("en");
    return RUN_ALL_TESTS();
}
