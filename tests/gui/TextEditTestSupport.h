#pragma once
// A GUI on a recording context with one text edit in it, and helpers that drive the edit
// through the GUI the way the window does (keys, characters, pointer).

#include "GuiTestSupport.h"

#include "core/Utf8.h"
#include "gui/GraphicsFont.h"
#include "gui/TextEdit.h"
#include "gui/testing/FakeFont.h"
#include "gui/testing/RecordingGraphicsContext.h"

#include <GLFW/glfw3.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace guitest {

constexpr int kShift = GLFW_MOD_SHIFT;
constexpr int kCtrl = GLFW_MOD_CONTROL;
constexpr int kAlt = GLFW_MOD_ALT;

// One input step: a typed text (code points of a UTF-8 string) or a key press with mods.
struct Input {
    std::string text;
    int key = 0;
    int mods = 0;
};
inline Input T(const std::string& text) { return Input{text, 0, 0}; }
inline Input K(int key, int mods = 0) { return Input{std::string(), key, mods}; }

// With the fake font every glyph advances 7 pixels and the space 4; the edit's text starts
// 14 pixels right of its box (border 2 + padding 12, no inset after setText).
struct EditHarness {
    static constexpr int kX = 100;
    static constexpr int kY = 100;
    static constexpr int kW = 300;
    static constexpr int kH = 34;
    static constexpr int kTextLeft = kX + 14;

    explicit EditHarness(bool password = false, float scale = 1.0f)
        : ctx(900, 450), gui(&handler, &ctx), font(makeFakeFont(scale)) {
        edit = new TextEdit(&gui, font.get(), Color(0, 0, 0, 255), password);
        edit->x = kX;
        edit->y = kY;
        edit->width = kW;
        edit->height = kH;
        edit->setWallClock([this] { return now; });
        render();
    }
    ~EditHarness() { delete edit; }

    void render() {
        gui.render(&ctx);
        ctx.flush();
    }
    void focus() { gui.setFocus(edit, 0); }
    void setText(const std::string& text) {
        edit->setText(text, nullptr, Color());
        render();
    }
    void run(const std::vector<Input>& inputs) {
        focus();
        for (const Input& in : inputs) {
            if (in.key) {
                gui.onKey(in.key, 0, GLFW_PRESS, in.mods);
                gui.onKey(in.key, 0, GLFW_RELEASE, in.mods);
            } else {
                for (std::uint32_t cp : utf8ToCodePoints(in.text))
                    gui.onChar(cp);
            }
            render();
        }
    }
    void moveTo(int px, int py) { gui.onMouseMove(px, py); }
    void click(int px, int py, int button = 0) {
        gui.onMouseMove(px, py);
        gui.onMouseButton(button, true);
        gui.onMouseButton(button, false);
    }
    // The left edge of code point i when the text is not scrolled and has no spaces.
    static int glyphLeft(int i) { return kTextLeft + 7 * i; }

    RecordingGraphicsContext ctx;
    RecordingHandler handler;
    PlayerGUI gui;
    std::unique_ptr<GraphicsFont> font;
    TextEdit* edit;
    std::int64_t now = 1000000000;
};

}  // namespace guitest
