// The text edit and its menu in a real window (Mesa under Xvfb): copy and paste through the
// GLFW clipboard, the password mask as drawn pixels, and screenshots of the edit and the menu
// in build/artifacts/.

#include "GuiTestSupport.h"

#include "gui/PopMenu.h"
#include "gui/TextEdit.h"
#include "gui/testing/GLTestWindow.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <memory>

using guitest::GLTestWindow;
using guitest::RGBA;

namespace gltest {

class TextEdit : public testing::Test {
protected:
    void SetUp() override {
        window_ = std::make_unique<GLTestWindow>(400, 240, "edit");
        ASSERT_TRUE(window_->ok()) << "no OpenGL window (is an X server running?)";
        gui_ = std::make_unique<PlayerGUI>(&handler_, window_->context());
        gui_->loadFontStyles(window_->context(), "");
        PopMenu::setLabels("Undo", "Cut", "Copy", "Paste", "Delete", "Select all");
    }
    void TearDown() override {
        gui_.reset();
        window_.reset();
    }
    ::TextEdit* makeEdit(bool password, int y) {
        auto* edit = new ::TextEdit(gui_.get(), gui_->getFont("launcher-edit-boxes"), Color(255, 255, 255, 255), password);
        edit->x = 20;
        edit->y = y;
        edit->width = 300;
        edit->height = 40;
        return edit;
    }
    void frame() {
        window_->context()->beginFrame();
        gui_->render(window_->context());
        window_->context()->endFrame();
        glFinish();
    }
    void key(int k, int mods) { gui_->onKey(k, 0, GLFW_PRESS, mods); }
    void type(const std::string& s) {
        for (char c : s)
            gui_->onChar(unsigned(static_cast<unsigned char>(c)));
    }

    guitest::RecordingHandler handler_;
    std::unique_ptr<GLTestWindow> window_;
    std::unique_ptr<PlayerGUI> gui_;
};

TEST_F(TextEdit, CopyAndPasteThroughTheWindowClipboard) {
    ::TextEdit* a = makeEdit(false, 20);
    ::TextEdit* b = makeEdit(false, 80);
    frame();
    gui_->setFocus(a, 0);
    a->setText("caf\xc3\xa9 cr\xc3\xa8me", nullptr, Color());
    key(GLFW_KEY_A, GLFW_MOD_CONTROL);
    key(GLFW_KEY_C, GLFW_MOD_CONTROL);
    const char* clip = glfwGetClipboardString(window_->window());
    ASSERT_NE(clip, nullptr);
    EXPECT_STREQ(clip, "caf\xc3\xa9 cr\xc3\xa8me");

    gui_->setFocus(b, 0);
    glfwSetClipboardString(window_->window(), "\xe2\x82\xac 5");
    key(GLFW_KEY_V, GLFW_MOD_CONTROL);
    EXPECT_EQ(b->getText(), "\xe2\x82\xac 5");
    EXPECT_EQ(b->cursor(), 3);
    key(GLFW_KEY_Z, GLFW_MOD_CONTROL);
    EXPECT_EQ(b->getText(), "");
    frame();
    window_->saveScreenshot("TextEdit-clipboard");
}

TEST_F(TextEdit, PasswordMaskHidesWhichCharactersWereTyped) {
    // Two password edits with different texts of one length look the same; plain edits do not.
    auto inkOf = [&](::TextEdit* edit, const std::string& text) {
        edit->setText(text, nullptr, Color());
        frame();
        auto px = window_->readPixels();
        std::vector<RGBA> row;
        for (int y = edit->getY() + 8; y < edit->getY() + edit->getHeight() - 8; ++y)
            for (int x = edit->getX() + 10; x < edit->getX() + edit->getWidth() - 10; ++x)
                row.push_back(window_->pixel(px, x, y));
        return row;
    };
    ::TextEdit* secret = makeEdit(true, 20);
    const auto w = inkOf(secret, "WWWW");
    window_->saveScreenshot("TextEdit-password");
    const auto i = inkOf(secret, "i.l1");
    EXPECT_TRUE(w == i);
    bool ink = false;
    for (const RGBA& p : w)
        ink = ink || (p.r > 150 && p.g > 150 && p.b > 150);
    EXPECT_TRUE(ink) << "bullets are drawn";
    delete secret;

    ::TextEdit* plain = makeEdit(false, 20);
    EXPECT_FALSE(inkOf(plain, "WWWW") == inkOf(plain, "i.l1"));
}

TEST_F(TextEdit, ScreenshotOfSelectionAndMenu) {
    ::TextEdit* edit = makeEdit(false, 20);
    edit->setText("Hello, world \xe2\x80\x94 d\xc3\xa9j\xc3\xa0 vu", nullptr, Color());
    frame();
    gui_->onMouseMove(100, 40);
    gui_->onMouseButton(0, true);
    gui_->onMouseButton(0, false);
    key(GLFW_KEY_RIGHT, GLFW_MOD_CONTROL | GLFW_MOD_SHIFT);
    gui_->onMouseButton(2, true);
    gui_->onMouseButton(2, false);
    ASSERT_NE(edit->popMenu(), nullptr);
    gui_->onMouseMove(140, 40 + 45);
    frame();
    window_->saveScreenshot("TextEdit-menu");
    auto px = window_->readPixels();
    // The menu's grey background is drawn below and right of the pointer.
    const RGBA menu = window_->pixel(px, 300, 170);
    EXPECT_NEAR(menu.r, 131 * 239 / 255, 3);
    EXPECT_TRUE(edit->hasSelection());
}

}  // namespace gltest
