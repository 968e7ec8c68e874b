// Windows under Xvfb: creation size, the render loop's idle and redraw behaviour, the
// close paths and what the window sees at the loop's end (Escape, close(), a real
// WM_DELETE_WINDOW with and without veto, render stop, secondary windows), native
// messages, clipboard and cursor scaling.

#include <gtest/gtest.h>

#include <X11/keysym.h>
#include <GLFW/glfw3.h>
#define GLFW_EXPOSE_NATIVE_X11
#include <GLFW/glfw3native.h>
#include <atomic>
#include <functional>
#include <pthread.h>
#include <string>
#include <thread>

#include "ShellTestSupport.h"
#include "TestSupport.h"
#include "core/LanguageStore.h"
#include "gui/PlayerGUI.h"
#include "gui/PopMenu.h"

using namespace shelltest;

namespace {

class TestWindow : public GLFWAppMainWindow {
public:
    void Command(int) override {}
    void onFrame() override { passes++; }
    void onAfterDraw() override { drawn++; }
    void onRefresh(GLFWwindow* w) override {
        refreshes++;
        GLFWAppMainWindow::onRefresh(w);
    }
    int onClose(GLFWwindow* w) override {
        closeRequests++;
        return allowClose ? GLFWAppMainWindow::onClose(w) : 0;
    }
    bool onKey(GLFWwindow* w, int key, int scancode, int action, int mods) override {
        if (action == GLFW_PRESS) lastKey = key;
        return GLFWAppMainWindow::onKey(w, key, scancode, action, mods);
    }
    void onRenderStart() override {
        char name[32] = {};
        pthread_getname_np(pthread_self(), name, sizeof(name));
        renderThreadName = name;
    }
    void onDestroy() override { destroyed++; }
    void onRunStart() override { runStarts++; }
    void onRunEnd() override {
        runEnds++;
        createdAtRunEnd = isCreated();
        guiAtRunEnd = getGUI() != nullptr;
        renderingAtRunEnd = isRenderThreadRunning();
        destroyedBeforeRunEnd = destroyed.load();
    }
    int onWin32Message(GLFWwindow*, const NativeWindowMessage& m) override {
        nativeMessages.push_back(m.message);
        nativeOnMain = std::this_thread::get_id();
        return 0;
    }

    using GLFWAppMainWindow::guiMouseButton;
    using GLFWAppMainWindow::setEscapeCloses;

    std::atomic<int> passes{0}, drawn{0}, refreshes{0}, closeRequests{0}, destroyed{0}, runStarts{0}, runEnds{0};
    std::atomic<int> lastKey{0};
    std::atomic<bool> allowClose{true};
    // What onRunEnd saw.
    bool createdAtRunEnd = false, guiAtRunEnd = false, renderingAtRunEnd = true;
    int destroyedBeforeRunEnd = -1;
    std::string renderThreadName;
    std::vector<unsigned> nativeMessages;
    std::thread::id nativeOnMain;
};

class StoppingWindow : public TestWindow {
public:
    void onFrame() override {
        TestWindow::onFrame();
        if (drawn.load() >= 3) stopRender();
        else requestRedraw();
    }
};

class SecondaryWindow : public GLFWAppWindow {
public:
    explicit SecondaryWindow(std::atomic<int>& deleted) : deleted_(deleted) {}
    ~SecondaryWindow() override { deleted_++; }
    void Command(int) override {}

private:
    std::atomic<int>& deleted_;
};

unsigned long x11Window(GLFWAppWindow& w) { return glfwGetX11Window(w.getWindow()); }

}  // namespace

TEST(GLFWAppWindow, CreatesThePixelSizeOfTheLogicalSizeAtTheUiScale) {
    ScopedUiScale scale(1.25f);
    TestWindow window;
    ASSERT_TRUE(window.create(383, 164, "scaled", false, true));
    int w = 0, h = 0;
    glfwGetWindowSize(window.getWindow(), &w, &h);
    EXPECT_EQ(w, 478);
    EXPECT_EQ(h, 205);
    int lw = 0, lh = 0;
    window.getLogicalSize(lw, lh);
    EXPECT_EQ(lw, 382);  // 478 / 1.25 = 382.4
    EXPECT_EQ(lh, 164);
    // Centred on the primary monitor (1920x1080).
    int x = 0, y = 0;
    glfwGetWindowPos(window.getWindow(), &x, &y);
    EXPECT_EQ(x, (1920 - 478) / 2);
    EXPECT_EQ(y, (1080 - 205) / 2);
    runWithScript(&window, [] {});
}

TEST(GLFWAppWindow, AnIdleWindowDrawsOnlyOnceThenOnRedrawRequests) {
    TestWindow window;
    ASSERT_TRUE(window.create(320, 200, "idle", false, true));
    runWithScript(&window, [&] {
        ASSERT_TRUE(x11test::waitUntil([&] { return window.drawn.load() >= 1; }));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));  // let the map's expose settle
        const int settled = window.drawn.load();
        // The first frame, plus one per refresh event the server sent.
        EXPECT_LE(settled, 1 + window.refreshes.load());
        const int passesBefore = window.passes.load();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_EQ(window.drawn.load(), settled) << "an idle window must not draw";
        EXPECT_GE(window.passes.load() - passesBefore, 3) << "the render loop keeps ticking while idle";

        for (int i = 1; i <= 5; ++i) {
            window.requestRedraw();
            EXPECT_TRUE(x11test::waitUntil([&] { return window.drawn.load() >= settled + i; }));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_EQ(window.drawn.load(), settled + 5);
    });
    EXPECT_EQ(window.renderThreadName, "Render");
    EXPECT_FALSE(window.isRenderThreadRunning());
}

// Escape and close() end the main loop without the close handler: onRunEnd runs while the
// window and its GUI exist (its render thread ended), and the loop then destroys the window
// without onDestroy.
TEST(GLFWAppWindow, EscapeAndCloseEndTheMainLoopBeforeTheWindowGoes) {
    x11test::Connection x;
    ASSERT_TRUE(x);
    const std::pair<const char*, std::function<void(TestWindow&, unsigned long)>> ways[] = {
        {"Escape", [&](TestWindow&, unsigned long id) { x11test::sendKey(x.get(), id, XK_Escape); }},
        {"close()", [](TestWindow& w, unsigned long) { w.close(); }},
    };
    for (const auto& way : ways) {
        TestWindow window;
        ASSERT_TRUE(window.create(320, 200, "escape", false, true));
        const unsigned long id = x11Window(window);
        std::thread script([&] {
            x11test::waitUntil([&] { return window.drawn.load() >= 1; });
            way.second(window, id);
        });
        GLFWApp::instance().run(&window);
        script.join();
        EXPECT_EQ(window.closeRequests.load(), 0) << way.first;
        EXPECT_EQ(window.runStarts.load(), 1) << way.first;
        EXPECT_EQ(window.runEnds.load(), 1) << way.first;
        EXPECT_TRUE(window.createdAtRunEnd) << way.first;
        EXPECT_TRUE(window.guiAtRunEnd) << way.first;
        EXPECT_FALSE(window.renderingAtRunEnd) << way.first;
        EXPECT_EQ(window.destroyed.load(), 0) << way.first;
        EXPECT_FALSE(window.isCreated()) << way.first << ": the loop destroys the window after onRunEnd";
        EXPECT_EQ(window.getGUI(), nullptr) << way.first;
        EXPECT_FALSE(window.isRenderThreadRunning()) << way.first;
    }
}

TEST(GLFWAppWindow, EscapeReachesTheWindowWhenItDoesNotClose) {
    x11test::Connection x;
    TestWindow window;
    window.setEscapeCloses(false);
    ASSERT_TRUE(window.create(320, 200, "no escape", false, true));
    const unsigned long id = x11Window(window);
    runWithScript(&window, [&] {
        x11test::sendKey(x.get(), id, XK_Escape);
        EXPECT_TRUE(x11test::waitUntil([&] { return window.lastKey.load() == GLFW_KEY_ESCAPE; }));
        onMain<int>([] { return 0; });
        EXPECT_FALSE(window.isClosing());
        EXPECT_TRUE(window.isRenderThreadRunning());
    });
}

TEST(GLFWAppWindow, ARefusedCloseKeepsTheWindowDrawingAndAnAcceptedOneEndsTheLoop) {
    x11test::Connection x;
    TestWindow window;
    window.allowClose = false;
    ASSERT_TRUE(window.create(320, 200, "veto", false, true));
    const unsigned long id = x11Window(window);
    std::thread script([&] {
        x11test::waitUntil([&] { return window.drawn.load() >= 1; });
        x11test::sendDeleteWindow(x.get(), id);
        EXPECT_TRUE(x11test::waitUntil([&] { return window.closeRequests.load() == 1; }));
        onMain<int>([] { return 0; });
        EXPECT_FALSE(window.isClosing());
        EXPECT_TRUE(onMain<bool>([&] { return window.isCreated() && !glfwWindowShouldClose(window.getWindow()); }));
        const int before = window.drawn.load();
        window.requestRedraw();
        EXPECT_TRUE(x11test::waitUntil([&] { return window.drawn.load() > before; })) << "the render thread must survive a refused close";

        window.allowClose = true;
        x11test::sendDeleteWindow(x.get(), id);
    });
    GLFWApp::instance().run(&window);
    script.join();
    EXPECT_EQ(window.closeRequests.load(), 2);
    EXPECT_EQ(window.destroyed.load(), 1);
    EXPECT_EQ(window.runEnds.load(), 1);
    // An accepted close request destroys the window (onDestroy) before the loop ends.
    EXPECT_EQ(window.destroyedBeforeRunEnd, 1);
    EXPECT_FALSE(window.createdAtRunEnd);
}

TEST(GLFWAppWindow, StoppingTheRenderThreadClosesTheMainWindowAndWakesTheLoop) {
    StoppingWindow window;
    ASSERT_TRUE(window.create(320, 200, "stop", false, true));
    GLFWApp::instance().run(&window);
    EXPECT_GE(window.drawn.load(), 3);
    EXPECT_EQ(window.runEnds.load(), 1);
    EXPECT_TRUE(window.createdAtRunEnd);
    EXPECT_TRUE(window.guiAtRunEnd);
    EXPECT_EQ(window.destroyed.load(), 0);
    EXPECT_FALSE(window.isCreated());
}

TEST(GLFWAppWindow, SecondaryWindowsAreDestroyedAndDeletedByTheLoop) {
    x11test::Connection x;
    TestWindow main;
    ASSERT_TRUE(main.create(320, 200, "main", false, true));
    std::atomic<int> deleted{0};
    runWithScript(&main, [&] {
        // Closed by the user: the close request goes through, the loop deletes it.
        auto* first = onMain<SecondaryWindow*>([&] {
            auto* w = new SecondaryWindow(deleted);
            EXPECT_TRUE(w->create(100, 80, "first", false, true));
            return w;
        });
        const unsigned long firstId = onMain<unsigned long>([&] { return x11Window(*first); });
        x11test::sendDeleteWindow(x.get(), firstId);
        EXPECT_TRUE(x11test::waitUntil([&] { return deleted.load() == 1; }));

        // Closed by the program from another thread.
        auto* second = onMain<SecondaryWindow*>([&] {
            auto* w = new SecondaryWindow(deleted);
            EXPECT_TRUE(w->create(100, 80, "second", false, true));
            return w;
        });
        second->close();
        EXPECT_TRUE(x11test::waitUntil([&] { return deleted.load() == 2; }));
        EXPECT_EQ(onMain<std::size_t>([] { return GLFWApp::instance().windows().size(); }), 1u);
        EXPECT_FALSE(main.isClosing());

        // Still open when the main window closes: destroyed and deleted with it.
        onMain<int>([&] {
            auto* w = new SecondaryWindow(deleted);
            EXPECT_TRUE(w->create(100, 80, "third", false, true));
            return 0;
        });
    });
    EXPECT_EQ(deleted.load(), 3);
    EXPECT_TRUE(GLFWApp::instance().windows().empty());
}

TEST(GLFWAppWindow, NativeMessagesArriveOnTheMainThreadInOrder) {
    TestWindow window;
    ASSERT_TRUE(window.create(320, 200, "native", false, true));
    runWithScript(&window, [&] {
        window.postNativeMessage({0x400, 1, 2});
        window.postNativeMessage({0x401, 0, 0});
        onMain<int>([] { return 0; });
        onMain<int>([] { return 0; });
    });
    EXPECT_EQ(window.nativeMessages, (std::vector<unsigned>{0x400, 0x401}));
    EXPECT_EQ(window.nativeOnMain, std::this_thread::get_id());
}

TEST(GLFWAppWindow, ClipboardTextRoundTrips) {
    TestWindow window;
    ASSERT_TRUE(window.create(320, 200, "clipboard", false, true));
    window.setClipboardText("grüße \xF0\x9F\x98\x80");
    EXPECT_EQ(window.getClipboardText(), "grüße \xF0\x9F\x98\x80");
    runWithScript(&window, [] {});
}

TEST(GLFWAppWindow, CursorPositionsAndButtonsReachTheGuiInItsUnits) {
    struct Case {
        double x, y;
        int windowW, windowH, logicalW, logicalH;
        int wantX, wantY;
    };
    const Case cases[] = {
        {640, 360, 1280, 720, 640, 360, 320, 180},   // scale 2.0
        {639.9, 0, 1280, 720, 640, 360, 319, 0},     // truncated, not rounded
        {100, 50, 478, 205, 382, 164, 79, 40},       // scale 1.25
        {10, 10, 0, 0, 100, 100, 0, 0},              // no size yet
    };
    for (const Case& c : cases) {
        int x = -1, y = -1;
        cursorToLogical(c.x, c.y, c.windowW, c.windowH, c.logicalW, c.logicalH, x, y);
        EXPECT_EQ(x, c.wantX) << c.x;
        EXPECT_EQ(y, c.wantY) << c.y;
    }
    EXPECT_EQ(TestWindow::guiMouseButton(0), 0);
    EXPECT_EQ(TestWindow::guiMouseButton(1), 2);
    EXPECT_EQ(TestWindow::guiMouseButton(2), 1);
    EXPECT_EQ(TestWindow::guiMouseButton(3), 3);
    EXPECT_EQ(TestWindow::guiMouseButton(4), 4);
    EXPECT_EQ(TestWindow::guiMouseButton(5), -1);
}

TEST(GLFWAppWindow, TheGuiSeesCursorPositionsInLogicalUnits) {
    ScopedUiScale scale(2.0f);
    TestWindow window;
    ASSERT_TRUE(window.create(640, 360, "cursor", false, true));
    ASSERT_NE(window.getGUI(), nullptr);
    ASSERT_NE(window.getGraphicsContext(), nullptr);
    runWithScript(&window, [&] {
        // The GUI learns its logical size (which bounds the cursor) in the render thread's tick.
        ASSERT_TRUE(x11test::waitUntil([&] { return window.drawn.load() >= 1; }));
        const Point p = onMain<Point>([&] {
            window.onCursorPos(window.getWindow(), 640, 101);
            std::lock_guard<std::recursive_mutex> lock(window.guiLock());
            return window.getGUI()->mousePosition();
        });
        EXPECT_EQ(p.x, 320);
        EXPECT_EQ(p.y, 50);
    });
}

TEST(GLFWAppWindow, EveryWindowSetsThePopupMenuLabelsFromTheCurrentLanguage) {
    testsupport::TempDir dir;
    testsupport::writeFile(dir.file("lang_en.ini"), "text_undo=Undo\ntext_cut=Cut\ntext_copy=Copy\n"
                                                    "text_paste=Paste\ntext_delete=Delete\ntext_all=All\n");
    testsupport::writeFile(dir.file("lang_de.ini"), "text_undo=Rückgängig\ntext_all=Alles\n");
    LanguageStore& language = LanguageStore::instance();
    language.setFolder(dir.path());
    language.load("en");
    language.load("de");
    TestWindow window;
    ASSERT_TRUE(window.create(200, 100, "labels", false, true));
    EXPECT_EQ(PopMenu::labels(), (std::vector<std::string>{"Rückgängig", "text_cut", "text_copy", "text_paste",
                                                           "text_delete", "Alles"}));
    runWithScript(&window, [] {});
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new GlfwEnvironment());
    return RUN_ALL_TESTS();
}
