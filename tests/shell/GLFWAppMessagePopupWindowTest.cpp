// The message popup window under Xvfb: its size, title and undecorated fixed frame, the
// wrapped message, OK sending its command to the parent exactly once before the popup goes
// away, Escape closing it, and dragging it by any point outside the button.

#include <gtest/gtest.h>

#include <X11/keysym.h>
#include <GLFW/glfw3.h>
#define GLFW_EXPOSE_NATIVE_X11
#include <GLFW/glfw3native.h>
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "ShellTestSupport.h"
#include "shell/GLFWAppMessagePopupWindow.h"
#include "core/LanguageStore.h"
#include "gui/Button.h"
#include "gui/MessagePopup.h"
#include "gui/PlayerGUI.h"
#include "gui/Static.h"

using namespace shelltest;

// From the toolkit's test helpers (their header clashes with the X11 headers here).
namespace guitest {
std::string artifactsDir();
bool writePng(const std::string& path, int width, int height, const std::uint8_t* rgba);
}  // namespace guitest

namespace {

class ParentWindow : public GLFWAppMainWindow {
public:
    void Command(int id) override {
        std::lock_guard<std::mutex> lock(mutex);
        commands.push_back(id);
    }
    std::vector<int> received() {
        std::lock_guard<std::mutex> lock(mutex);
        return commands;
    }
    std::mutex mutex;
    std::vector<int> commands;
};

// The popup window once the main loop made it and a frame showed the widgets its first
// pass built.
GLFWAppMessagePopupWindow* waitForPopup() {
    GLFWAppMessagePopupWindow* popup = nullptr;
    x11test::waitUntil([&] {
        popup = onMain<GLFWAppMessagePopupWindow*>([] {
            for (GLFWAppWindow* w : GLFWApp::instance().windows()) {
                auto* p = dynamic_cast<GLFWAppMessagePopupWindow*>(w);
                if (p) {
                    std::lock_guard<std::recursive_mutex> lock(p->guiLock());
                    return (p->popup() && p->framesDrawn() >= 1) ? p : nullptr;
                }
            }
            return static_cast<GLFWAppMessagePopupWindow*>(nullptr);
        });
        return popup != nullptr;
    });
    return popup;
}

std::size_t windowCount() {
    return onMain<std::size_t>([] { return GLFWApp::instance().windows().size(); });
}

// Cursor moves and left-button presses as GLFW delivers them, on the main thread.
void cursor(GLFWAppMessagePopupWindow* p, int x, int y) {
    onMain<int>([&] {
        p->onCursorPos(p->getWindow(), x, y);
        return 0;
    });
}
void button(GLFWAppMessagePopupWindow* p, int action) {
    onMain<int>([&] {
        p->onMouseButton(p->getWindow(), GLFW_MOUSE_BUTTON_LEFT, action, 0);
        return 0;
    });
}
Point windowPos(GLFWAppMessagePopupWindow* p) {
    return onMain<Point>([&] {
        Point pos;
        glfwGetWindowPos(p->getWindow(), &pos.x, &pos.y);
        return pos;
    });
}

// The window's pixels from the X server, saved as a PNG artifact.
void screenshot(Display* d, Window w, const std::string& name) {
    const x11test::Pixels p = x11test::capture(d, w);
    ASSERT_FALSE(p.rgba.empty());
    EXPECT_TRUE(guitest::writePng(guitest::artifactsDir() + "/" + name + ".png", p.width, p.height, p.rgba.data()));
}

std::string longMessage() {
    std::string text;
    for (int i = 0; i < 2; ++i)
        text += "The service did not answer in time, please try again later. ";
    return text;
}

}  // namespace

TEST(GLFWAppMessagePopupWindow, ShowsTheMessageAndOkSendsItsCommandOnce) {
    ScopedUiScale scale(1.0f);
    x11test::Connection x;
    ASSERT_TRUE(x);
    ParentWindow parent;
    ASSERT_TRUE(parent.create(640, 400, "parent", false, true));
    runWithScript(&parent, [&] {
        // Any thread may ask for a popup.
        showMessagePopup(&parent, "Connection error", longMessage(), 1);
        const Window xw = x11test::waitForWindow(x.get(), GLFWAppMessagePopupWindow::kTitle);
        ASSERT_NE(xw, 0u);
        const x11test::Geometry g = x11test::geometry(x.get(), xw);
        EXPECT_EQ(g.width, 383);
        EXPECT_EQ(g.height, 164);
        EXPECT_TRUE(x11test::hasFixedSize(x.get(), xw));
        GLFWAppMessagePopupWindow* popup = waitForPopup();
        ASSERT_NE(popup, nullptr);
        EXPECT_EQ(onMain<int>([&] { return glfwGetWindowAttrib(popup->getWindow(), GLFW_DECORATED); }), GLFW_FALSE);
        EXPECT_EQ(windowCount(), 2u);

        // The message wraps inside its 343-wide label.
        struct Laid {
            int width, height, okX, okY;
            std::string ok;
        };
        const Laid laid = onMain<Laid>([&] {
            std::lock_guard<std::recursive_mutex> lock(popup->guiLock());
            MessagePopup* m = popup->popup();
            return Laid{m->message()->width, m->message()->height, m->okButton()->x, m->okButton()->y,
                        m->okButton()->text()};
        });
        EXPECT_EQ(laid.width, 343);
        EXPECT_GT(laid.height, 2 * 14);  // three lines
        EXPECT_EQ(laid.okY, 120);
        EXPECT_EQ(laid.ok, "OK");
        screenshot(x.get(), xw, "message-popup-window");

        // OK: the parent hears the command once and the popup window goes away.
        cursor(popup, 191, 137);
        button(popup, GLFW_PRESS);
        button(popup, GLFW_RELEASE);
        EXPECT_TRUE(x11test::waitUntil([] { return windowCount() == 1; }));
        EXPECT_EQ(parent.received(), std::vector<int>{1});
        EXPECT_FALSE(parent.isClosing());

        // Escape closes a popup too, without a command.
        showMessagePopup(&parent, "Notice", "Short text.", 7);
        GLFWAppMessagePopupWindow* second = waitForPopup();
        ASSERT_NE(second, nullptr);
        const Window secondId = onMain<Window>([&] { return glfwGetX11Window(second->getWindow()); });
        x11test::sendKey(x.get(), secondId, XK_Escape);
        EXPECT_TRUE(x11test::waitUntil([] { return windowCount() == 1; }));
        EXPECT_EQ(parent.received(), std::vector<int>{1});
    });
}

TEST(GLFWAppMessagePopupWindow, DraggingOutsideTheButtonMovesTheWindow) {
    ScopedUiScale scale(1.0f);
    x11test::Connection x;
    ParentWindow parent;
    ASSERT_TRUE(parent.create(640, 400, "parent", false, true));
    runWithScript(&parent, [&] {
        showMessagePopup(&parent, "Drag me", "By the caption.", 0);
        GLFWAppMessagePopupWindow* popup = waitForPopup();
        ASSERT_NE(popup, nullptr);

        // Pressed on the caption and moved by (+30, +10): the window moves as much.
        const Point start = windowPos(popup);
        cursor(popup, 50, 15);
        button(popup, GLFW_PRESS);
        cursor(popup, 80, 25);
        const Point moved = windowPos(popup);
        EXPECT_EQ(moved.x - start.x, 30);
        EXPECT_EQ(moved.y - start.y, 10);
        // Further moves follow from the same grip point.
        cursor(popup, 90, 25);
        EXPECT_EQ(windowPos(popup).x - start.x, 70);
        button(popup, GLFW_RELEASE);
        EXPECT_FALSE(popup->isDragging());

        // Pressed on the button and moved: no move; released on it, a click of id 0 only
        // closes the popup.
        const Point before = windowPos(popup);
        cursor(popup, 191, 137);
        button(popup, GLFW_PRESS);
        cursor(popup, 220, 140);
        const Point after = windowPos(popup);
        EXPECT_EQ(after.x, before.x);
        EXPECT_EQ(after.y, before.y);
        button(popup, GLFW_RELEASE);
        EXPECT_TRUE(x11test::waitUntil([] { return windowCount() == 1; }));
        EXPECT_TRUE(parent.received().empty());
    });
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new GlfwEnvironment());
    LanguageStore::instance().setFolder(NIMBROSTA_LIB_DIR);
    LanguageStore::instance().load("en");
    return RUN_ALL_TESTS();
}
