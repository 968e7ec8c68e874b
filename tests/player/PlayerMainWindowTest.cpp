// The player window under Xvfb with screens that record what reaches them: the order in
// which a command is offered (popup manager, current screen, window, pending screen), the
// screen switch only after a drawn frame, the back map, run-time command ids, the close
// button, the hot keys, the web-error popup and the direct connection.

#include <gtest/gtest.h>

#include <X11/keysym.h>
#include <GLFW/glfw3.h>
#define GLFW_EXPOSE_NATIVE_X11
#include <GLFW/glfw3native.h>

#include "../shell/ShellTestSupport.h"
#include "AllocationCounter.h"
#include "FnTask.h"
#include "PlayerWindowTestSupport.h"
#include "TestSupport.h"
#include "core/ConfigStore.h"
#include "core/ThreadPool.h"
#include "platform/DynamicLibrary.h"
#include "player-ui/PostMessageUITask.h"
#include "core/TaskBase.h"
#include "shell/GLFWAppMessagePopupWindow.h"

using namespace shelltest;
using playertest::RecordingScreen;
using playertest::RecordingWindow;
using Strings = std::vector<std::string>;

namespace {

int currentScreen(RecordingWindow& w) {
    return onMain<int>([&] { return w.currentScreenCommandId(); });
}

bool waitForScreen(RecordingWindow& w, int commandId) {
    return x11test::waitUntil([&] { return currentScreen(w) == commandId; });
}

// Runs fn on the main thread with the window's GUI lock, as a click would.
void onMainLocked(RecordingWindow& w, const std::function<void()>& fn) {
    onMain<int>([&] {
        std::lock_guard<std::recursive_mutex> lock(w.guiLock());
        fn();
        return 0;
    });
}

// The trace from the first entry that starts with prefix.
Strings from(const Strings& trace, const std::string& prefix) {
    for (std::size_t i = 0; i < trace.size(); ++i)
        if (trace[i].rfind(prefix, 0) == 0) return Strings(trace.begin() + static_cast<long>(i), trace.end());
    return {};
}

using testsupport::FnTask;

}  // namespace

TEST(PlayerMainWindow, ACommandGoesToThePopupManagerTheScreenTheWindowThenThePendingScreen) {
    RecordingWindow window;
    window.configs[kCommandBenchmarkScreen].claims = {600};
    ASSERT_TRUE(window.create(640, 360, "player", true, true));
    runWithScript(&window, [&] {
        ASSERT_TRUE(waitForScreen(window, kCommandBenchmarkScreen)) << "the initial command";
        window.trace.take();

        Strings dispatched;
        onMainLocked(window, [&] {
            window.Command(500);  // nobody takes it: dropped
            window.Command(600);  // the screen takes it: the window does not see it
            window.Command(kCommandSelectionScreen);
            window.Command(kCommandSelectionScreen);  // one is pending already
            window.Command(777);  // nobody takes it: the pending screen gets it
            window.Command(kCommandNone);
            EXPECT_EQ(window.currentScreenCommandId(), kCommandBenchmarkScreen) << "no switch inside a command";
            EXPECT_TRUE(window.hasPendingState());
            // Taken before the GUI lock goes: the render thread may switch right after.
            dispatched = window.trace.take();
        });
        EXPECT_EQ(dispatched, (Strings{"P:500", "S47:500", "P:600", "S47:600", "P:119", "S47:119", "make:119",
                                                "P:119", "S47:119", "P:777", "S47:777", "S119:777", "P:126", "S47:126",
                                                "S119:126"}));

        // The benchmark placeholder's follow-up (49 posts 119) is not in play here; the
        // pending screen comes in after the next frame.
        ASSERT_TRUE(waitForScreen(window, kCommandSelectionScreen));
        EXPECT_EQ(window.trace.take(), (Strings{"leave:47", "enter:119"}));
        EXPECT_FALSE(onMain<bool>([&] { return window.hasPendingState(); }));
    });
}

TEST(PlayerMainWindow, ScreensSwitchOnTheRenderThreadAfterADrawnFrame) {
    RecordingWindow window;
    ASSERT_TRUE(window.create(640, 360, "player", true, true));
    runWithScript(&window, [&] {
        ASSERT_TRUE(waitForScreen(window, kCommandBenchmarkScreen));
        // Made by the initial command when rendering started, entered after the first frame.
        onMainLocked(window, [&] {
            EXPECT_NE(window.enterThread, std::this_thread::get_id());
            EXPECT_TRUE(window.enteredAfterDraw);
            EXPECT_GT(window.enteredAt[kCommandBenchmarkScreen], window.madeAt[kCommandBenchmarkScreen]);
        });

        onMainLocked(window, [&] { window.Command(kCommandStreamScreen); });
        ASSERT_TRUE(waitForScreen(window, kCommandStreamScreen));
        onMainLocked(window, [&] {
            EXPECT_TRUE(window.enteredAfterDraw) << "switched in after a drawn frame, on the render thread";
            EXPECT_NE(window.enterThread, std::this_thread::get_id());
            EXPECT_GE(window.enteredAt[kCommandStreamScreen], window.madeAt[kCommandStreamScreen]);
        });

        // A finished screen with a successor: both after the same frame, the old one first.
        window.trace.take();
        onMainLocked(window, [&] {
            window.screen(kCommandStreamScreen)->finished = true;
            window.Command(kCommandSelectionScreen);
        });
        ASSERT_TRUE(waitForScreen(window, kCommandSelectionScreen));
        EXPECT_EQ(from(window.trace.take(), "leave:"), (Strings{"leave:120", "enter:119"}));

        // Finished without a successor: no screen.
        onMainLocked(window, [&] { window.screen(kCommandSelectionScreen)->finished = true; });
        ASSERT_TRUE(waitForScreen(window, 0));
        onMainLocked(window, [&] { window.Command(kCommandRestartScreen); });
        EXPECT_FALSE(onMain<bool>([&] { return window.hasPendingState(); })) << "3 without a screen does nothing";
    });
}

TEST(PlayerMainWindow, BackFollowsTheBackMapAndRestartMakesTheScreenAgain) {
    RecordingWindow window;
    window.configs[kCommandSelectionScreen].failEnter = false;
    ASSERT_TRUE(window.create(640, 360, "player", true, true));
    std::atomic<bool> ended{false};
    std::thread script([&] {
        EXPECT_TRUE(waitForScreen(window, kCommandBenchmarkScreen));
        EXPECT_EQ(onMain<int>([&] { return window.backCommand(); }), kCommandNone);
        // 49 and 50 post 119.
        postCommand(&window, kCommandBenchmarkNotNeeded);
        EXPECT_TRUE(waitForScreen(window, kCommandSelectionScreen));
        postCommand(&window, kCommandStreamScreen);
        EXPECT_TRUE(waitForScreen(window, kCommandStreamScreen));
        EXPECT_EQ(onMain<int>([&] { return window.backCommand(); }), kCommandSelectionScreen);

        // Restart: a new screen of the same kind replaces the current one.
        window.trace.take();
        postCommand(&window, kCommandRestartScreen);
        EXPECT_TRUE(x11test::waitUntil([&] { return window.trace.has("enter:120"); }));
        EXPECT_EQ(from(window.trace.take(), "P:3"), (Strings{"P:3", "S120:3", "P:120", "S120:120", "make:120",
                                                              "leave:120", "enter:120"}));

        // Back from the stream: the selection screen, and no back command after it.
        postCommand(&window, kCommandBack);
        EXPECT_TRUE(waitForScreen(window, kCommandSelectionScreen));
        EXPECT_EQ(onMain<int>([&] { return window.backCommand(); }), kCommandNone);
        EXPECT_EQ(from(window.trace.take(), "P:86"), (Strings{"P:86", "S120:86", "P:119", "S120:119", "make:119",
                                                               "leave:120", "enter:119"}));
        // Back from the selection: rendering stops and the window closes.
        postCommand(&window, kCommandBack);
        EXPECT_TRUE(x11test::waitUntil([&] { return ended.load(); }));
    });
    GLFWApp::instance().run(&window);
    ended = true;
    script.join();
    EXPECT_EQ(window.trace.take(), (Strings{"P:86", "S119:86", "P:4", "S119:4", "leave:119"}));
}

TEST(PlayerMainWindow, AScreenThatFailsToEnterLeavesNoScreen) {
    RecordingWindow window;
    window.configs[kCommandSelectionScreen].failEnter = true;
    ASSERT_TRUE(window.create(640, 360, "player", true, true));
    runWithScript(&window, [&] {
        ASSERT_TRUE(waitForScreen(window, kCommandBenchmarkScreen));
        postCommand(&window, kCommandSelectionScreen);
        ASSERT_TRUE(x11test::waitUntil([&] { return window.trace.has("leave:119"); }));
        EXPECT_EQ(from(window.trace.take(), "leave:47"), (Strings{"leave:47", "enter:119", "leave:119"}));
        EXPECT_EQ(currentScreen(window), 0);
        postCommand(&window, kCommandStreamScreen);
        EXPECT_TRUE(waitForScreen(window, kCommandStreamScreen)) << "another screen command still works";
    });
}

TEST(PlayerMainWindow, RunTimeIdsRunTheTasksTheScreenRegistered) {
    RecordingWindow window;
    ASSERT_TRUE(window.create(640, 360, "player", true, true));
    runWithScript(&window, [&] {
        ASSERT_TRUE(waitForScreen(window, kCommandBenchmarkScreen));
        std::atomic<int> runs{0};
        int first = 0, second = 0;
        onMainLocked(window, [&] {
            RecordingScreen* screen = window.screen(kCommandBenchmarkScreen);
            // A chain: a head that succeeds, a task of the test, then a posted command.
            auto chain = std::make_shared<SuccessTask>();
            chain->addOnSuccess(std::make_shared<FnTask>([&] { return ++runs > 0; }));
            chain->addOnSuccess(std::make_shared<PostMessageUITask>(&window, 700));
            first = screen->registerTask(chain);
            second = screen->registerTask(std::make_shared<FnTask>([&] { return (runs += 10) > 0; }));
        });
        EXPECT_EQ(first, kFirstRunTimeCommandId);
        EXPECT_EQ(second, kFirstRunTimeCommandId + 1);
        EXPECT_EQ(window.allocateCommandId(), kFirstRunTimeCommandId + 2) << "one counter for the window";

        window.trace.take();
        onMainLocked(window, [&] { window.sendCommand(first); });
        EXPECT_EQ(runs.load(), 1);
        EXPECT_TRUE(x11test::waitUntil([&] { return window.trace.has("S47:700"); })) << "the chain's post arrived";
        onMainLocked(window, [&] { window.sendCommand(second); });
        EXPECT_EQ(runs.load(), 11);
        EXPECT_EQ(window.trace.take(), (Strings{"P:1126", "S47:1126", "P:700", "S47:700", "P:1127", "S47:1127"}));
        // An id nobody registered is dropped like any other.
        onMainLocked(window, [&] { window.sendCommand(kFirstRunTimeCommandId + 50); });
        EXPECT_EQ(runs.load(), 11);
    });
}

TEST(PlayerMainWindow, TheCloseButtonAsksTheScreenAndF12BecomesTheCursorLockCommand) {
    x11test::Connection x;
    ASSERT_TRUE(x);
    RecordingWindow window;
    window.configs[kCommandStreamScreen].allowClose = false;
    ASSERT_TRUE(window.create(640, 360, "player", true, true));
    const Window xw = glfwGetX11Window(window.getWindow());
    std::atomic<bool> ended{false};
    std::thread script([&] {
        EXPECT_TRUE(waitForScreen(window, kCommandBenchmarkScreen));
        postCommand(&window, kCommandStreamScreen);
        EXPECT_TRUE(waitForScreen(window, kCommandStreamScreen));
        onMain<int>([&] {
            glfwFocusWindow(window.getWindow());
            return 0;
        });

        // Keys: F12 is the window's (command 19, posted), F11 too; other keys reach the screen.
        window.trace.take();
        x11test::sendKey(x.get(), xw, XK_F12);
        x11test::sendKey(x.get(), xw, XK_a);
        EXPECT_TRUE(x11test::waitUntil([&] { return window.trace.has("key:65") && window.trace.has("S120:19"); }));
        const Strings keys = window.trace.take();
        EXPECT_EQ(keys.size(), 3u);
        EXPECT_EQ(std::count(keys.begin(), keys.end(), "key:301"), 0) << "F12 never reaches the screen as a key";
        onMain<int>([&] {
            window.setHotKeysEnabled(false);
            return 0;
        });
        x11test::sendKey(x.get(), xw, XK_F12);
        EXPECT_TRUE(x11test::waitUntil([&] { return window.trace.has("key:301"); })) << "hot keys off: the screen's";
        EXPECT_FALSE(window.trace.has("P:19"));

        // The stream refuses the close button; the window stays.
        x11test::sendDeleteWindow(x.get(), xw);
        EXPECT_TRUE(x11test::waitUntil([&] { return window.trace.has("close:120"); }));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        EXPECT_FALSE(window.isClosing());
        EXPECT_FALSE(ended.load());

        // The selection screen lets it close.
        postCommand(&window, kCommandSelectionScreen);
        EXPECT_TRUE(waitForScreen(window, kCommandSelectionScreen));
        x11test::sendDeleteWindow(x.get(), xw);
        EXPECT_TRUE(x11test::waitUntil([&] { return ended.load(); }));
    });
    GLFWApp::instance().run(&window);
    ended = true;
    script.join();
    EXPECT_TRUE(window.trace.has("close:119"));
}

TEST(PlayerMainWindow, AWebErrorOpensAMessagePopupUnlessTheScreenShowsIt) {
    RecordingWindow window;
    ASSERT_TRUE(window.create(640, 360, "player", true, true));
    std::atomic<bool> ended{false};
    std::thread script([&] {
        EXPECT_TRUE(waitForScreen(window, kCommandBenchmarkScreen));
        auto windows = [] { return onMain<std::size_t>([] { return GLFWApp::instance().windows().size(); }); };
        // As the facade's worker would: a task failed for good.
        window.setApiErrorsShownByScreen(true);
        std::thread([&] { window.playerApi().onTaskUnhandledError("shown by the screen", true); }).join();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_EQ(windows(), 1u);

        window.setApiErrorsShownByScreen(false);
        std::thread([&] { window.playerApi().onTaskUnhandledError("service down", true); }).join();
        EXPECT_TRUE(x11test::waitUntil([&] { return windows() == 2u; }));
        GLFWAppMessagePopupWindow* popup = onMain<GLFWAppMessagePopupWindow*>([] {
            for (GLFWAppWindow* w : GLFWApp::instance().windows())
                if (auto* p = dynamic_cast<GLFWAppMessagePopupWindow*>(w)) return p;
            return static_cast<GLFWAppMessagePopupWindow*>(nullptr);
        });
        ASSERT_NE(popup, nullptr);
        // Its OK sends command 1 to the player, which closes.
        window.trace.take();
        onMain<int>([&] {
            popup->Command(kCommandExit);
            return 0;
        });
        EXPECT_TRUE(x11test::waitUntil([&] { return ended.load(); }));
    });
    GLFWApp::instance().run(&window);
    ended = true;
    script.join();
    EXPECT_EQ(from(window.trace.take(), "P:1"), (Strings{"P:1", "S47:1", "leave:47"}));
}

TEST(PlayerMainWindow, ADirectConnectionStartsWithTheStreamOfItsOneMachine) {
    RecordingWindow window(false);
    window.connectDirect("127.0.0.1", 5555, "secret-key", "Ubuntu");
    const DesktopInfo machine = window.clientState().getSelectedDesktop();
    EXPECT_EQ(machine.name, "Ubuntu");
    EXPECT_EQ(machine.os, "Ubuntu");
    EXPECT_EQ(machine.state, "On");
    EXPECT_EQ(machine.ip, "127.0.0.1");
    EXPECT_EQ(machine.port, 5555);
    EXPECT_EQ(machine.streamerKey, "secret-key");
    EXPECT_EQ(machine.plan, "High");
    EXPECT_EQ(machine.datacenter, "Hardcoded");
    EXPECT_EQ(machine.password.size(), 3u);
    EXPECT_FALSE(machine.enabled);
    EXPECT_FALSE(machine.isDefault);
    EXPECT_EQ(window.clientState().getClientInfo().desktops.size(), 1u);
    EXPECT_EQ(window.initialCommand(), kCommandStreamScreen);

    // Created inside the capture: the render thread logs as soon as it starts.
    const std::string out = testsupport::captureStdout([&] {
        ASSERT_TRUE(window.create(640, 360, "player", true, true));
        runWithScript(&window, [&] { EXPECT_TRUE(waitForScreen(window, kCommandStreamScreen)); });
    });
    EXPECT_FALSE(window.trace.has("P:47")) << "no benchmark";
    EXPECT_NE(out.find("]: Connecting to:127.0.0.1 token of 10 characters\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("secret-key"), std::string::npos) << "the streamer key never reaches the log";
}

TEST(PlayerMainWindow, ADirectConnectionEndsThePlayerWhenItsStreamIsLeft) {
    // No account and no machine list stand behind it: the close button and back (the
    // session dialogs' buttons, a give-up after failed connections) end the player instead
    // of leading to an empty machine selection.
    x11test::Connection x;
    ASSERT_TRUE(x);
    for (const bool closeButton : {true, false}) {
        SCOPED_TRACE(closeButton ? "close button" : "back");
        RecordingWindow window(false);
        window.connectDirect("127.0.0.1", 5555, "secret-key", "Ubuntu");
        EXPECT_TRUE(window.isDirectConnection());
        ASSERT_TRUE(window.create(640, 360, "player", true, true));
        const Window xw = glfwGetX11Window(window.getWindow());
        std::atomic<bool> ended{false};
        std::thread script([&] {
            EXPECT_TRUE(waitForScreen(window, kCommandStreamScreen));
            EXPECT_EQ(onMain<int>([&] { return window.backCommand(); }), kCommandNone);
            if (closeButton) x11test::sendDeleteWindow(x.get(), xw);
            else postCommand(&window, kCommandBack);
            EXPECT_TRUE(x11test::waitUntil([&] { return ended.load(); }));
            if (!ended) window.close();
        });
        GLFWApp::instance().run(&window);
        ended = true;
        script.join();
        EXPECT_FALSE(window.trace.has("P:119")) << "no machine selection";
    }
}

TEST(PlayerMainWindow, InputReachesTheScreenWithoutAllocatingWhileScreensSwitch) {
    RecordingWindow window;
    ASSERT_TRUE(window.create(640, 360, "player", true, true));
    runWithScript(&window, [&] {
        ASSERT_TRUE(waitForScreen(window, kCommandBenchmarkScreen));
        // Warm up, then count the main thread's allocations over many cursor moves.
        const std::uint64_t allocations = onMain<std::uint64_t>([&] {
            for (int i = 0; i < 10; ++i) window.onCursorPos(window.getWindow(), 10 + i, 20);
            const std::uint64_t before = threadAllocationCount();
            for (int i = 0; i < 1000; ++i) window.onCursorPos(window.getWindow(), 10 + i % 300, 20 + i % 200);
            return threadAllocationCount() - before;
        });
        EXPECT_EQ(allocations, 0u);

        // A screen whose input handler takes the GUI lock and restarts the screen now and
        // then, while the render thread switches screens: the lock order holds, nothing hangs.
        for (int round = 0; round < 20; ++round) {
            onMainLocked(window, [&] {
                for (RecordingScreen* s : window.live) {
                    s->onCursor = [&window, round] {
                        std::lock_guard<std::recursive_mutex> lock(window.guiLock());
                        if (round % 2 == 0) window.sendCommand(kCommandRestartScreen);
                    };
                }
            });
            for (int i = 0; i < 20; ++i) {
                onMain<int>([&] {
                    window.onCursorPos(window.getWindow(), 5, 5);
                    return 0;
                });
            }
        }
        EXPECT_TRUE(waitForScreen(window, kCommandBenchmarkScreen));
    });
}

TEST(PlayerMainWindow, VsyncSettingsAreAppliedAndDrawingGoesOn) {
    ConfigStore::instance().setString("General.VSync", "1", false);
    RecordingWindow window;
    const std::string out = testsupport::captureStdout([&] {
        ASSERT_TRUE(window.create(640, 360, "player", true, true));
        runWithScript(&window, [&] {
            ASSERT_TRUE(waitForScreen(window, kCommandBenchmarkScreen));
            const std::uint64_t frames = window.framesDrawn();
            EXPECT_TRUE(x11test::waitUntil([&] { return window.framesDrawn() >= frames + 5; }))
                << "the player draws continuously";
        });
    });
    ConfigStore::instance().setString("General.VSync", "0", false);
    const bool adaptive = out.find("]: vsync adaptive\n") != std::string::npos;
    const bool plain = out.find("]: vsync on (adaptive vsync is not available)\n") != std::string::npos;
    EXPECT_TRUE(adaptive != plain) << out;
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new GlfwEnvironment());
    // The stream screen of a direct connection draws with the counting render plug-in.
    platform::setLibraryFolder(std::string(NIMBROSTA_TEST_RENDER_PLUGIN_DIR) + "/counting");
    return RUN_ALL_TESTS();
}
