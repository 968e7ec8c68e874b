// Every standard widget on one screen on real OpenGL (Mesa under Xvfb), drawn through the GUI
// manager with the compiled-in atlases and fonts, saved as build/artifacts/widget-sample-screen.png
// for a person to look at, with read-back checks of what must be there.

#include "core/LanguageStore.h"
#include "gui/Button.h"
#include "gui/CheckBox.h"
#include "gui/FramingAnimation.h"
#include "gui/GUITasks.h"
#include "gui/Image.h"
#include "gui/ImageButton.h"
#include "gui/List.h"
#include "gui/MessagePopup.h"
#include "gui/OldList.h"
#include "gui/PlayerGUI.h"
#include "gui/Static.h"
#include "gui/Table.h"
#include "gui/TableButton.h"
#include "gui/testing/GLTestWindow.h"
#include "gui/testing/ScreenGround.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using guitest::GLTestWindow;
using guitest::RGBA;

namespace {

class Spinner : public FramingAnimation {
public:
    explicit Spinner(PlayerGUI* gui) : FramingAnimation(gui) {}
    bool loadFrames() override {
        AbstractSurface* atlas = gui()->getSurface("animation");
        for (int i = 0; i < 4; ++i)
            frames_.push_back(Frame{atlas, i * 60, 0, 60, 64});
        return true;
    }
};

class MenuRow : public TableButton {
public:
    MenuRow(PlayerGUI* gui, Static* label) : TableButton(gui, 1, 1), label_(label) {
        setCell(0, 0, label);
        setPadding(8, 4, 8, 4);
    }
    void onHoverChanged(bool hovered) override {
        label_->setTextWithStyle(hovered ? "Menu row (hovered)" : "Menu row", 0, gui()->getDefaultFont(),
                                 Color(0xffffffffu));
        label_->invalidate();
    }
    void onPressChanged(bool) override {}

private:
    Static* label_;
};

int brightPixels(GLTestWindow& window, const std::vector<RGBA>& pixels, int x, int y, int w, int h) {
    int n = 0;
    for (int yy = y; yy < y + h; ++yy)
        for (int xx = x; xx < x + w; ++xx) {
            const RGBA p = window.pixel(pixels, xx, yy);
            if (p.r > 180 && p.g > 180 && p.b > 180)
                ++n;
        }
    return n;
}

}  // namespace

TEST(WidgetScreen, SampleScreenWithEveryWidget) {
    GLTestWindow window(900, 560, "widgets");
    ASSERT_TRUE(window.ok());
    auto* ctx = window.context();
    PlayerGUI gui(nullptr, ctx);
    ASSERT_TRUE(gui.loadFontStyles(ctx, ""));
    GraphicsFont* font = gui.getDefaultFont();
    guitest::ScreenGround ground(&gui, Color(40, 48, 56, 255));

    Static title(&gui, "Standard widgets", 0, gui.getFont("selectos-title"));
    title.x = 20;
    title.y = 12;
    RichText rich(RichTextLeft);
    rich.addSpan(TextSpan("By signing in you accept the ", font));
    rich.addSpan(TextSpan("terms of service", font, Color(0xffe9db81u), TextSpan::kLink,
                          std::make_shared<GUICommandTask>(1)));
    rich.addSpan(TextSpan(" and the privacy rules of the service. Long words like "
                          "Supercalifragilisticexpialidocious-and-then-some wrap.",
                          font));
    Static paragraph(&gui, rich, true);
    paragraph.x = 20;
    paragraph.y = 60;
    paragraph.setSizeLimits(0, 0, 260, 0);
    paragraph.invalidate();
    Static centred(&gui, "Centred text in a wrapping label of fixed width.", 2, font, Color(0xffb7af8bu));
    centred.x = 20;
    centred.y = 190;
    centred.width = 260;
    centred.invalidate();
    Static rightAligned(&gui, "Right aligned, wrapped.", 3, gui.getFont("small"));
    rightAligned.x = 20;
    rightAligned.y = 235;
    rightAligned.width = 260;
    rightAligned.invalidate();

    Button normal(&gui, "Normal", 1);
    normal.x = 320;
    normal.y = 60;
    Button hovered(&gui, "Hovered", 2);
    hovered.x = 440;
    hovered.y = 60;
    Button disabled(&gui, "Disabled", 3);
    disabled.x = 560;
    disabled.y = 60;
    gui.setEnabled(&disabled, false);
    Button filled(&gui, "Filled", 4, gui.getHeaderFont());
    filled.filledLook = 1;
    filled.setColor(gui.getColor("so-red"));
    filled.x = 680;
    filled.y = 60;
    filled.width = 180;
    filled.setIcon(gui.getSurface("images"), 0, 0, 24, 24, 0.75f, 6);
    Button pressed(&gui, "Pressed", 5);
    pressed.x = 320;
    pressed.y = 110;
    pressed.setDown(true);

    CheckBox unchecked(&gui, "Remember me", 6);
    unchecked.x = 440;
    unchecked.y = 118;
    CheckBox checked(&gui, "Start with the system", 7);
    checked.x = 600;
    checked.y = 118;
    checked.setChecked(true);

    const Rect normalRect{0, 0, 60, 64}, none{0, 0, -1, -1};
    ImageButton imageButton(&gui, 8, gui.getSurface("animation"), normalRect, none, none, none);
    imageButton.x = 320;
    imageButton.y = 170;
    imageButton.borderThickness = 2;
    imageButton.setBackground(ImageButton::BackgroundFill, gui.getColor("so-blue-idle"),
                              gui.getColor("so-blue-hover"), gui.getColor("so-grey"));
    Image logo(&gui, gui.getSurface("logo"));
    logo.x = 400;
    logo.y = 185;
    Spinner spinner(&gui);
    spinner.x = 600;
    spinner.y = 170;
    spinner.start(true);

    // A table of captions and values, with a menu row acting as a button.
    Table table(&gui, 2, 3);
    std::vector<std::unique_ptr<Static>> cells;
    const char* texts[] = {"Plan", "Gamer, 8 GB", "Data centre", "Frankfurt", "Balance", "12.50"};
    for (int i = 0; i < 6; ++i) {
        cells.push_back(std::make_unique<Static>(&gui, texts[i], 0, i % 2 ? gui.getHeaderFont() : font));
        table.setCell(unsigned(i % 2), unsigned(i / 2), cells.back().get());
    }
    table.setPadding(10, 10, 10, 10);
    table.setSpacing(24, 6);
    table.setAllCellsAlignment(Table::AlignStart, Table::AlignCentre);
    table.x = 20;
    table.y = 270;
    Static rowLabel(&gui, "Menu row", 0, font);
    MenuRow row(&gui, &rowLabel);
    row.x = 20;
    row.y = 380;

    // A scrolled list and an old list, made after their items so that they draw their
    // markers over them, and letting the pointer through to the items.
    std::vector<std::unique_ptr<Button>> items;
    for (int i = 0; i < 6; ++i) {
        items.push_back(std::make_unique<Button>(&gui, "List item " + std::to_string(i), 100 + i));
        items.back()->width = 140;
        items.back()->height = 28;
    }
    for (int i = 0; i < 3; ++i) {
        items.push_back(std::make_unique<Button>(&gui, "Old item " + std::to_string(i), 200 + i));
        items.back()->height = 28;
    }
    List list(&gui);
    OldList oldList(&gui);
    list.ignoreMouse = 1;
    oldList.ignoreMouse = 1;
    for (int i = 0; i < 6; ++i)
        list.addItem(items[std::size_t(i)].get());
    for (int i = 6; i < 9; ++i)
        oldList.addItem(items[std::size_t(i)].get());
    list.visibleCount = 3;
    list.x = 320;
    list.y = 260;
    list.setVisibleWithItems(true);
    list.scrollAccumulator = 2;
    oldList.x = 500;
    oldList.y = 260;
    oldList.width = 170;
    oldList.setVisibleWithItems(true);

    window.renderFrame(gui, 1.0f);
    // Hover the second button and the second visible list item, then draw the frame to keep.
    gui.onMouseMove(hovered.x + 10, hovered.y + 10);
    window.renderFrame(gui, 1.0f);
    gui.onMouseMove(list.items()[2]->x + 10, list.items()[2]->y + 10);
    window.renderFrame(gui, 1.0f);
    // The list's marker shows on the hovered item, in black.
    const int markerX = list.x + list.width - list.padding - 2 * list.markerWidth + 1;
    const auto marked = window.readPixels();
    const RGBA marker = window.pixel(marked, markerX, list.items()[2]->y + list.items()[2]->height / 2);
    EXPECT_EQ(marker.r + marker.g + marker.b, 0);
    EXPECT_EQ(list.firstVisible, 1);
    EXPECT_EQ(gui.hovered(), list.items()[2]);
    const auto pixels = window.readPixels();
    window.saveScreenshot("widget-sample-screen");

    // The filled button's body is exactly its colour (244, 67, 54), away from its text.
    const RGBA body = window.pixel(pixels, filled.x + 3, filled.y + 3);
    EXPECT_EQ(body.r, 244);
    EXPECT_EQ(body.g, 67);
    EXPECT_EQ(body.b, 54);
    // Texts are drawn: the title, the wrapped paragraph and every button label.
    EXPECT_GT(brightPixels(window, pixels, title.x, title.y, title.width, title.height), 100);
    EXPECT_GT(paragraph.height, 3 * 14);
    EXPECT_LE(paragraph.width, 260);
    EXPECT_GT(brightPixels(window, pixels, paragraph.x, paragraph.y, paragraph.width, paragraph.height), 300);
    EXPECT_GT(brightPixels(window, pixels, normal.x + 20, normal.y + 8, 66, 18), 20);
    // The check mark makes the checked box differ from the unchecked one.
    int differing = 0;
    for (int yy = 0; yy < 16; ++yy)
        for (int xx = 0; xx < 16; ++xx) {
            const RGBA a = window.pixel(pixels, unchecked.x + xx, unchecked.y + yy);
            const RGBA b = window.pixel(pixels, checked.x + xx, checked.y + yy);
            if (a.r != b.r || a.g != b.g || a.b != b.b)
                ++differing;
        }
    EXPECT_GT(differing, 10);
    // The spinner shows its first frame through its image.
    ASSERT_NE(spinner.child(), nullptr);
    EXPECT_EQ(spinner.width, 60);
    // The table measured its cells.
    EXPECT_GT(table.width, 150);
    EXPECT_EQ(cells[1]->x, cells[3]->x);
}

TEST(WidgetScreen, MessagePopupContents) {
    LanguageStore::instance().setFolder(NIMBROSTA_LIB_DIR);
    LanguageStore::instance().load("en");
    GLTestWindow window(MessagePopup::kWidth, MessagePopup::kHeight, "popup");
    ASSERT_TRUE(window.ok());
    auto* ctx = window.context();
    PlayerGUI gui(nullptr, ctx);
    ASSERT_TRUE(gui.loadFontStyles(ctx, ""));
    std::string message;
    for (int i = 0; i < 12; ++i)
        message += "The service could not be reached. ";
    MessagePopup popup(&gui, "Connection error", message, 1);
    EXPECT_FALSE(popup.isVisible());
    EXPECT_FALSE(popup.okButton()->isVisible());
    popup.setVisibleWithChildren(true);
    window.renderFrame(gui, 1.0f);
    window.renderFrame(gui, 1.0f);
    window.saveScreenshot("message-popup-contents");

    EXPECT_EQ(popup.okButton()->text(), "OK");
    EXPECT_EQ(popup.okButton()->y, 120);
    EXPECT_EQ(popup.okButton()->x, 191 - 53);
    EXPECT_EQ(popup.message()->width, 343);
    EXPECT_GT(popup.message()->height, 40);  // wrapped onto several lines
    EXPECT_EQ(popup.caption()->x, int(191.5f - popup.caption()->width * 0.5f));
    // Lines fit the label; the fit test leaves out the space before a word, so a line may
    // pass the edge by at most one space.
    for (const TextRenderBlock& block : popup.message()->blocks()) {
        EXPECT_GE(block.x, -4);
        EXPECT_LE(block.x + block.width, 343 + 4);
    }
    const auto pixels = window.readPixels();
    EXPECT_GT(brightPixels(window, pixels, popup.caption()->x, popup.caption()->y, popup.caption()->width,
                           popup.caption()->height),
              30);
}
