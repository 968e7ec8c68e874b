// The fixed-aspect window under Xvfb: snapping of real resizes, setSize at a UI scale,
// F11 full screen on and off, F12 cursor lock, and the keyboard grab.

#include <gtest/gtest.h>

#include <X11/keysym.h>
#include <GLFW/glfw3.h>
#define GLFW_EXPOSE_NATIVE_X11
#include <GLFW/glfw3native.h>
#include <atomic>

#include "ShellTestSupport.h"
#include "shell/FixedResizableWindow.h"
#include "platform/KeyboardGrab.h"

using namespace shelltest;

namespace {

class TestFixedWindow : public FixedResizableWindow {
public:
    void Command(int) override {}
    bool onKey(GLFWwindow* w, int key, int scancode, int action, int mods) override {
        const bool handled = FixedResizableWindow::onKey(w, key, scancode, action, mods);
        if (action == GLFW_PRESS) {
            keys++;
            lastHandled = handled;
        }
        return handled;
    }
    bool onCursorLockKey() override {
        cursorLockKeys++;
        return ownCursorLock;
    }
    std::atomic<int> keys{0}, cursorLockKeys{0};
    std::atomic<bool> lastHandled{false};
    bool ownCursorLock = false;
};

struct WindowState {
    int x, y, w, h;
};

WindowState stateOf(GLFWAppWindow& window) {
    return onMain<WindowState>([&] {
        WindowState s{};
        glfwGetWindowPos(window.getWindow(), &s.x, &s.y);
        glfwGetWindowSize(window.getWindow(), &s.w, &s.h);
        return s;
    });
}

// Waits until the window reports the size (resizes arrive through X events).
bool waitForSize(GLFWAppWindow& window, int w, int h) {
    return x11test::waitUntil([&] {
        const WindowState s = stateOf(window);
        return s.w == w && s.h == h;
    });
}

}  // namespace

TEST(FixedResizableWindow, ResizesSnapToTheNearestAllowedSize) {
    TestFixedWindow window;
    ASSERT_TRUE(window.create(1280, 720, "snap", true, true));
    runWithScript(&window, [&] {
        onMain<int>([&] {
            glfwSetWindowSize(window.getWindow(), 1100, 700);
            return 0;
        });
        EXPECT_TRUE(waitForSize(window, 1024, 768));
        EXPECT_EQ(window.pixelWidth(), 1024);
        EXPECT_EQ(window.pixelHeight(), 768);
        onMain<int>([&] {
            glfwSetWindowSize(window.getWindow(), 1366, 770);
            return 0;
        });
        EXPECT_TRUE(waitForSize(window, 1366, 768));
    });
}

TEST(FixedResizableWindow, SetSizeUsesTheUiScale) {
    ScopedUiScale scale(1.25f);
    TestFixedWindow window;
    ASSERT_TRUE(window.create(1024, 576, "setSize", true, true));
    runWithScript(&window, [&] {
        onMain<int>([&] {
            window.setSize(1280, 720);
            return 0;
        });
        EXPECT_TRUE(waitForSize(window, 1600, 900));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_EQ(stateOf(window).w, 1600) << "an allowed size is not snapped again";
        int lw = 0, lh = 0;
        window.getLogicalSize(lw, lh);
        EXPECT_EQ(lw, 1280);
        EXPECT_EQ(lh, 720);
    });
}

TEST(FixedResizableWindow, F11TogglesBorderlessFullScreenAndBack) {
    x11test::Connection x;
    TestFixedWindow window;
    ASSERT_TRUE(window.create(1280, 720, "fullscreen", true, true));
    const unsigned long id = glfwGetX11Window(window.getWindow());
    runWithScript(&window, [&] {
        const WindowState before = stateOf(window);
        x11test::sendKey(x.get(), id, XK_F11);
        EXPECT_TRUE(waitForSize(window, 1920, 1080));
        EXPECT_TRUE(x11test::waitUntil([&] {
            const WindowState s = stateOf(window);
            return s.x == 0 && s.y == 0;
        }));
        EXPECT_TRUE(window.isFullscreen());
        EXPECT_TRUE(window.lastHandled.load());
        EXPECT_FALSE(onMain<bool>([&] { return glfwGetWindowAttrib(window.getWindow(), GLFW_DECORATED) == GLFW_TRUE; }));

        x11test::sendKey(x.get(), id, XK_F11);
        EXPECT_TRUE(waitForSize(window, before.w, before.h));
        EXPECT_TRUE(x11test::waitUntil([&] {
            const WindowState s = stateOf(window);
            return s.x == before.x && s.y == before.y;
        }));
        EXPECT_FALSE(window.isFullscreen());
        EXPECT_TRUE(onMain<bool>([&] { return glfwGetWindowAttrib(window.getWindow(), GLFW_DECORATED) == GLFW_TRUE; }));
    });
}

TEST(FixedResizableWindow, F12TogglesTheCursorLockUnlessTheSubclassHandlesIt) {
    x11test::Connection x;
    TestFixedWindow window;
    ASSERT_TRUE(window.create(1280, 720, "cursor", true, true));
    const unsigned long id = glfwGetX11Window(window.getWindow());
    auto cursorMode = [&] { return onMain<int>([&] { return glfwGetInputMode(window.getWindow(), GLFW_CURSOR); }); };
    runWithScript(&window, [&] {
        x11test::sendKey(x.get(), id, XK_F12);
        EXPECT_TRUE(x11test::waitUntil([&] { return window.cursorLockKeys.load() == 1; }));
        EXPECT_EQ(cursorMode(), GLFW_CURSOR_DISABLED);
        EXPECT_TRUE(window.isCursorLocked());

        x11test::sendKey(x.get(), id, XK_F12);
        EXPECT_TRUE(x11test::waitUntil([&] { return window.cursorLockKeys.load() == 2; }));
        EXPECT_EQ(cursorMode(), GLFW_CURSOR_NORMAL);

        window.ownCursorLock = true;
        x11test::sendKey(x.get(), id, XK_F12);
        EXPECT_TRUE(x11test::waitUntil([&] { return window.cursorLockKeys.load() == 3; }));
        EXPECT_EQ(cursorMode(), GLFW_CURSOR_NORMAL);
        EXPECT_TRUE(window.lastHandled.load()) << "F12 is consumed either way";

        onMain<int>([&] {
            window.setHotKeysEnabled(false);
            return 0;
        });
        x11test::sendKey(x.get(), id, XK_F12);
        EXPECT_TRUE(x11test::waitUntil([&] { return window.keys.load() == 4; }));
        EXPECT_EQ(window.cursorLockKeys.load(), 3);
    });
}

TEST(FixedResizableWindow, TheKeyboardIsReallyGrabbedWhileEnabledAndFocused) {
    x11test::Connection other;
    TestFixedWindow window;
    ASSERT_TRUE(window.create(1024, 576, "grab", true, true));
    runWithScript(&window, [&] {
        auto otherCanGrab = [&] {
            const int r = XGrabKeyboard(other.get(), DefaultRootWindow(other.get()), True, GrabModeAsync,
                                        GrabModeAsync, CurrentTime);
            if (r == GrabSuccess) XUngrabKeyboard(other.get(), CurrentTime);
            XSync(other.get(), False);
            return r == GrabSuccess;
        };
        onMain<int>([&] {
            window.setKeyboardHookEnabled(true);
            return 0;
        });
        EXPECT_TRUE(window.isKeyboardHookInstalled());
        EXPECT_FALSE(otherCanGrab());
        onMain<int>([&] {
            window.onFocus(window.getWindow(), 0);
            return 0;
        });
        EXPECT_FALSE(window.isKeyboardHookInstalled());
        EXPECT_TRUE(otherCanGrab());
    });
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new GlfwEnvironment());
    return RUN_ALL_TESTS();
}
