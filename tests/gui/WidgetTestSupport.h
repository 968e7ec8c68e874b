#pragma once
// A GUI on a recording context whose fonts all have the fixed metrics of the fake font:
// ascent 10, descent 3, line gap 2, glyph advance 7, space advance 4. A task that counts its
// runs, and helpers to drive the pointer.

#include "GuiTestSupport.h"

#include "gui/GUITasks.h"
#include "gui/PlayerGUI.h"
#include "gui/testing/FakeFont.h"
#include "gui/testing/RecordingGraphicsContext.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace guitest {

class FakeTextService : public AbstractTextService {
public:
    AbstractTextServiceFont* openFontFromMemory(const unsigned char*, int, bool, int, int, int) override {
        ++opened;
        return new FakeTextServiceFont();
    }
    AbstractTextServiceFont* openFontByName(const char*, int, int, int) override { return nullptr; }
    int opened = 0;
};

// Counts its runs; an optional action runs inside.
class CountingTask : public PlayerGUITask {
public:
    bool run() override {
        ++runs;
        if (action)
            action();
        return true;
    }
    int runs = 0;
    std::function<void()> action;
};

// Records commands; an optional hook runs inside each one.
class BenchHandler : public PlayerGUICommandHandler {
public:
    void onCommand(int id) override {
        commands.push_back(id);
        if (hook)
            hook(id);
    }
    void onCaptureStarted() override {}
    void onCaptureReleased() override {}
    std::vector<int> commands;
    std::function<void(int)> hook;
};

struct WidgetBench {
    WidgetBench(int width = 900, int height = 450) : ctx(width, height) {
        ctx.setTextService(&service);
        gui = std::make_unique<PlayerGUI>(&handler, &ctx);
        gui->loadFontStyles(&ctx, "");
        font = gui->getDefaultFont();
    }
    // Layout and drawing of one frame (also makes the window size known to the GUI).
    void render() {
        gui->render(&ctx);
        ctx.flush();
    }
    void move(int x, int y) { gui->onMouseMove(x, y); }
    void press(int button = 0) { gui->onMouseButton(button, true); }
    void release(int button = 0) { gui->onMouseButton(button, false); }
    void click(int x, int y) {
        move(x, y);
        press();
        release();
    }
    // GLFW actions: 1 press, 0 release.
    bool key(int key, int action) { return gui->onKey(key, 0, action, 0); }

    FakeTextService service;
    RecordingGraphicsContext ctx;
    BenchHandler handler;
    std::unique_ptr<PlayerGUI> gui;
    GraphicsFont* font = nullptr;
};

constexpr int kKeySpace = 32;
constexpr int kKeyEnter = 257;
constexpr int kKeyTab = 258;

}  // namespace guitest
