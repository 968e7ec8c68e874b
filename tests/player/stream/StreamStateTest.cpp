// The in-stream screen inside a real player window under Xvfb, in direct mode against the
// stand-in streamer and the stand-in RTSP server, with the counting render plug-in: the
// screen leaves without a frame reaching a released renderer and without a reconnection
// starting afterwards; a dialog holds keys back but lets go of those already down; the
// machine's relative mouse locks the cursor and an open menu suspends it; the fifteenth
// failed connection goes back instead of retrying.

#include "core/ConfigStore.h"
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
#include "../PlayerWindowTestSupport.h"
#include "TestRenderPlugin.h"
#include "platform/DynamicLibrary.h"
#include "player-ui/menu/IStreamMenu.h"
#include "player/stream/StreamState.h"

using namespace shelltest;
using InputClient::Request;
using InputClient::Response;
using nimbrosta::StubRtspServer;
using nimbrosta::StubRtspServerOptions;
using playertest::RecordingWindow;

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

// The streamer, its RTSP server and a player window connected straight to them.
struct StreamRig {
    StreamRig() {
        StubRtspServerOptions o;
        o.h264File = kFixture;
        o.fps = 100;
        o.auth = StubRtspServerOptions::Auth::Digest;
        o.user = "tmp-user";
        o.password = "tmp-pass";
        o.audio = false;
        rtsp = std::make_unique<StubRtspServer>(o);
        started = rtsp->start();
        StubSessionScript script;
        script.serverDBId = kServerDBId;
        script.urlPortAndPostfix = ":" + std::to_string(rtsp->port()) + "/stream";
        script.user = "tmp-user";
        script.password = "tmp-pass";
        script.definitions = {StubStreamer::int32Definition("System.MouseStatus", 0, 1, kServerDBId)};
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

    bool started = false;
    std::unique_ptr<StubRtspServer> rtsp;
    StubStreamer streamer;
    RecordingWindow window{false};
};

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
        // Leave the screen before it is due.
        postCommand(&rig.window, kCommandBack);
        ASSERT_TRUE(x11test::waitUntil([&] { return rig.window.currentScreenCommandId() == kCommandSelectionScreen; }, 5000));
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        EXPECT_EQ(rig.streamer.connectionCount(), connections) << "no reconnection after the screen went";
    });
}

// The first picture opens the start-up dialogs (relative-mouse help, the machine's
// language), which hold input back until the user closes them.
bool closeStartupDialogs(StreamRig& rig) {
    postCommand(&rig.window, kCommandCloseAllDialogs);
    return x11test::waitUntil([&] { return rig.withScreen<bool>([](StreamState& s) { return s.inputEnabled(); }); },
                              5000);
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
        ASSERT_TRUE(x11test::waitUntil([&] { return !inputEnabled(); }, 3000));
        key(GLFW_KEY_B, GLFW_PRESS);
        key(GLFW_KEY_A, GLFW_RELEASE);
        key(GLFW_KEY_B, GLFW_RELEASE);
        key(GLFW_KEY_PRINT_SCREEN, GLFW_PRESS);

        // A click on the dimmed stream closes the menu; input flows again.
        postCommand(&rig.window, kCommandGreyOutClicked);
        ASSERT_TRUE(x11test::waitUntil(inputEnabled, 3000));
        key(GLFW_KEY_PRINT_SCREEN, GLFW_PRESS);  // no code on the machine: nothing sent
        key(GLFW_KEY_C, GLFW_PRESS);
        ASSERT_TRUE(rig.streamer.waitForRequests(Request::KEYBOARD_ACTION_V2, 3));

        std::vector<std::pair<std::uint32_t, std::uint32_t>> sent;
        for (const Request& r : rig.keys()) sent.emplace_back(r.keyactionv2().vkey(), r.keyactionv2().flags());
        EXPECT_EQ(sent, (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{65, 0}, {65, 2}, {67, 0}}));
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
        const auto frames = rig.window.afterDraws.load();
        ASSERT_TRUE(x11test::waitUntil([&] { return rig.window.afterDraws.load() > frames + 3; }, 5000));
        postCommand(&rig.window, kCommandGreyOutClicked);
        EXPECT_TRUE(x11test::waitUntil(locked, 5000)) << "back to the machine's choice";
    });
}

TEST(StreamState, TheFifteenthFailureInARowGoesBackInsteadOfRetrying) {
    StreamRig rig;
    ASSERT_TRUE(rig.started);
    ASSERT_TRUE(rig.window.create(640, 360, "player", true, true));
    runWithScript(&rig.window, [&] {
        ASSERT_TRUE(waitForPictures(rig));
        rig.window.trace.take();
        for (int i = 1; i <= 14; ++i) {
            onMain<bool>([&] {
                rig.window.Command(kCommandConnectionError);
                return true;
            });
            EXPECT_EQ(rig.withScreen<int>([](StreamState& s) { return s.retries(); }), i);
        }
        EXPECT_FALSE(rig.window.trace.has("P:86"));
        onMain<bool>([&] {
            rig.window.Command(kCommandConnectionError);
            return true;
        });
        EXPECT_TRUE(x11test::waitUntil([&] { return rig.window.trace.has("P:86"); }, 3000));
    });
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new GlfwEnvironment());
    // The counting plug-in stands in for the FFmpeg one.
    platform::setLibraryFolder(kPlugins + "/counting");
    return RUN_ALL_TESTS();
}
