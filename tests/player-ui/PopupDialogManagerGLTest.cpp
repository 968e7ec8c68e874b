// The manager's dialogs and tour callouts on real OpenGL (Mesa under Xvfb) with the compiled-in
// atlases and fonts, over a stand-in for the stream: the session dialog with its coloured
// buttons over the grey-out overlay, and two tour callouts pointing at their anchors. Each
// is saved under build/artifacts for a person to look at, with read-back checks.

#include "DialogWindowBench.h"

#include "core/LanguageStore.h"
#include "gui/Button.h"
#include "gui/testing/GLTestWindow.h"
#include "gui/testing/ScreenGround.h"
#include "player-ui/PlayerCommandIds.h"
#include "player-ui/TutorialButton.h"
#include "player-ui/TutorialPopup.h"

#include <gtest/gtest.h>


using guitest::GLTestWindow;
using guitest::RGBA;

namespace {

constexpr Color kStreamGround(70, 90, 110, 255);

// English texts for what the screenshots show.
void loadTexts() {
    playeruitest::loadLanguage({
        {"dialog_caption_stream_first_tutorial", "The menu"},
        {"dialog_content_stream_first_tutorial", "Click this button to open the menu at any time."},
        {"dialog_caption_stream_third_tutorial", "Mouse capture"},
        {"dialog_content_stream_third_tutorial",
         "Keep the pointer inside the stream window.\\nPress the keys again to let it go."},
        {"text_continue", "Next"},
        {"button_skip", "Skip tour"},
    });
}

struct Screen {
    Screen(int width, int height)
        : window(width, height, "player-ui-dialogs"), gui(&handler, window.context()), dialogs(&gui, handler, {}) {
        loadTexts();
        gui.loadFontStyles(window.context(), "");
        handler.hook = [this](int id) { dialogs.manager.onCommand(id); };
        dialogs.manager.createGreyOutButton();
        gui.setPopupManager(&dialogs.manager);
    }
    ~Screen() { gui.setPopupManager(nullptr); }
    void frame() { window.renderFrame(gui, 0.016f); }

    GLTestWindow window;
    guitest::BenchHandler handler;
    PlayerGUI gui;
    playeruitest::DialogWindow dialogs;
};

int sum(const RGBA& p) { return p.r + p.g + p.b; }
bool isText(const RGBA& p) { return p.r > 200 && p.g > 200 && p.b > 200; }
int differsFrom(const RGBA& p, Color c) { return std::abs(p.r - c.r) + std::abs(p.g - c.g) + std::abs(p.b - c.b); }

}  // namespace

TEST(PopupDialogManager, SessionDialogOverTheGreyOutOnScreen) {
    Screen screen(1280, 720);
    ASSERT_TRUE(screen.window.ok());
    // The program's English texts, as the user meets the dialog.
    LanguageStore::instance().setFolder(NIMBROSTA_LIB_DIR);
    LanguageStore::instance().load("en");
    guitest::ScreenGround ground(&screen.gui, kStreamGround);
    screen.frame();
    const RGBA undimmed = screen.window.pixel(screen.window.readPixels(), 5, 5);

    screen.handler.onCommand(kCommandLogOut);
    screen.frame();
    screen.frame();
    const auto pixels = screen.window.readPixels();
    screen.window.saveScreenshot("player-ui-dialog-session");

    const RGBA dimmed = screen.window.pixel(pixels, 5, 5);
    EXPECT_LT(sum(dimmed), sum(undimmed) - 60) << "the grey-out dims the stream";
    PopupDialogForm& form = *screen.dialogs.manager.currentForm();
    ASSERT_EQ(form.buttonList.size(), 3u);
    const Color expected[] = {Color(244, 67, 54, 255), Color(251, 172, 11, 240), Color(140, 198, 63, 255)};
    const int middle = form.buttonList[0]->y + form.buttonList[0]->height / 2;
    for (std::size_t i = 0; i < 3; ++i) {
        const Button& b = *form.buttonList[i];
        EXPECT_EQ(b.width, 120) << b.text() << ": the width given holds the English text";
        // The frame picture is a light grey tinted with the colour, drawn with its alpha.
        EXPECT_LE(differsFrom(screen.window.pixel(pixels, b.x + 4, middle), expected[i]), 60) << i;
        // The text keeps clear of the button's edges.
        int left = 0, right = 0;
        for (int x = b.x - Button::kFrameOutset; x < b.x + b.width + Button::kFrameOutset; ++x)
            for (int y = b.y; y < b.y + b.height; ++y)
                if (isText(screen.window.pixel(pixels, x, y))) {
                    right = x;
                    if (left == 0)
                        left = x;
                }
        EXPECT_GE(left, b.x + 6) << b.text();
        EXPECT_LE(right, b.x + b.width - 6) << b.text();
    }
    // Neighbours stand apart: between them the dialog's dark panel shows, not a frame.
    for (std::size_t i = 0; i + 1 < 3; ++i) {
        const Button& a = *form.buttonList[i];
        const Button& b = *form.buttonList[i + 1];
        int panelColumns = 0;
        for (int x = a.x + a.width - 10; x < b.x + 10; ++x)
            if (sum(screen.window.pixel(pixels, x, middle)) < 150)
                ++panelColumns;
        EXPECT_GE(panelColumns, 6) << a.text() << " | " << b.text();
    }
    // The buttons sit at the right of the form.
    const Table& t = *form.contentTable;
    const Button& last = *form.buttonList[2];
    EXPECT_LE(t.x + t.width - (last.x + last.width), 12);

    // Cancel closes the dialog; the next frame shows the stream undimmed.
    screen.gui.onMouseMove(last.x + 10, last.y + 10);
    screen.gui.onMouseButton(0, true);
    screen.gui.onMouseButton(0, false);
    screen.frame();
    screen.frame();
    EXPECT_EQ(screen.dialogs.manager.currentForm(), nullptr);
    EXPECT_LE(differsFrom(screen.window.pixel(screen.window.readPixels(), 5, 5),
                          Color(undimmed.r, undimmed.g, undimmed.b, 255)),
              3);
}

TEST(PopupDialogManager, TourCalloutsOnScreen) {
    Screen screen(1280, 720);
    ASSERT_TRUE(screen.window.ok());
    guitest::ScreenGround ground(&screen.gui, kStreamGround);
    auto toggle = std::make_shared<Button>(&screen.gui, "Menu", kCommandNone);
    toggle->x = 600;
    toggle->y = 10;
    toggle->width = 80;
    auto cursorLock = std::make_shared<Button>(&screen.gui, "Capture mouse", kCommandNone);
    cursorLock->x = 15;
    cursorLock->y = 200;
    cursorLock->width = 200;
    screen.handler.onCommand(kCommandStreamScreen);
    screen.gui.registerTutorialTarget(6, 2, toggle.get());
    screen.gui.registerTutorialTarget(7, 3, cursorLock.get());
    screen.gui.registerTutorialTarget(8, 3, cursorLock.get());
    screen.gui.registerTutorialTarget(5, 0, nullptr);
    screen.handler.onCommand(kCommandTourNext);
    screen.handler.onCommand(kCommandTourNext);
    ASSERT_NE(screen.dialogs.manager.tourPopup(), nullptr);
    screen.frame();
    screen.frame();
    auto pixels = screen.window.readPixels();
    screen.window.saveScreenshot("player-ui-tour-below");
    const Color tutorial = screen.gui.getColor("tutorial");
    {
        const TutorialPopup& p = *screen.dialogs.manager.tourPopup();
        EXPECT_EQ(p.page, 6);
        EXPECT_EQ(p.y, toggle->y + toggle->height + 30);
        EXPECT_LE(differsFrom(screen.window.pixel(pixels, p.x + 8, p.y + p.height / 2), tutorial), 6);
        // The pointer reaches up towards the toggle's centre.
        EXPECT_LE(differsFrom(screen.window.pixel(pixels, 640, p.y - 8), tutorial), 6);
        EXPECT_EQ(p.button->textButton->text(), "Next");
    }

    screen.handler.onCommand(kCommandTourNext);
    screen.handler.onCommand(kCommandTourNext);
    screen.frame();
    screen.frame();
    pixels = screen.window.readPixels();
    screen.window.saveScreenshot("player-ui-tour-beside");
    const TutorialPopup& p = *screen.dialogs.manager.tourPopup();
    EXPECT_EQ(p.page, 8);
    EXPECT_EQ(p.x, cursorLock->x + cursorLock->width + 50);
    EXPECT_EQ(p.y, cursorLock->y - 30);
    // The sideways pointer reaches left to within 22 pixels of the callout's edge.
    const int pointerY = cursorLock->y + cursorLock->height / 2;
    EXPECT_LE(differsFrom(screen.window.pixel(pixels, p.x - 10, pointerY), tutorial), 6);
    EXPECT_GT(differsFrom(screen.window.pixel(pixels, p.x - 35, pointerY), tutorial), 30);
}
