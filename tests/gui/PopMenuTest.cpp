// The text edit's context menu: placement, which items are enabled, commands by pointer and
// by letter, closing, and the labels it draws.

#include "TextEditTestSupport.h"

#include "gui/PopMenu.h"

#include <gtest/gtest.h>

using guitest::EditHarness;
using guitest::K;
using guitest::kShift;
using guitest::T;

namespace {

// Row centres of the six items, relative to the menu's top.
constexpr int kRowY[PopMenu::kItemCount] = {14, 41, 66, 91, 116, 144};

struct MenuHarness : EditHarness {
    explicit MenuHarness(bool password = false) : EditHarness(password) {
        PopMenu::setLabels("Undo", "Cut", "Copy", "Paste", "Delete", "Select all");
    }
    // Right click inside the edit; the menu opens at the pointer.
    PopMenu* open(int px = 150, int py = 110) {
        const std::size_t before = gui.widgetCount();
        gui.onMouseMove(px, py);
        gui.onMouseButton(2, true);
        gui.onMouseButton(2, false);
        EXPECT_EQ(gui.widgetCount(), before + 1);
        render();
        return edit->popMenu();
    }
    void clickItem(PopMenu* menu, int item) {
        const int mx = menu->getX();
        const int my = menu->getY();
        click(mx + 50, my + kRowY[item]);
    }
    bool menuOpen() const { return edit->popMenu() != nullptr; }
};

}  // namespace

TEST(PopMenu, OpensAtThePointerOrToTheLeftAndUpwards) {
    EditHarness h;
    struct Case {
        int x, y, expectX, expectY;
    } cases[] = {
        {880, 100, 649, 100}, {100, 300, 100, 141}, {100, 100, 100, 100},
        {668, 290, 668, 290}, {669, 291, 438, 132}, {899, 449, 668, 290},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
        auto* menu = new PopMenu(&h.gui, h.edit, c.x, c.y, 0, 0, 0);
        EXPECT_EQ(menu->getX(), c.expectX);
        EXPECT_EQ(menu->getY(), c.expectY);
        EXPECT_EQ(menu->getWidth(), 231);
        EXPECT_EQ(menu->getHeight(), 159);
        EXPECT_EQ(h.gui.focused(), menu);
        h.gui.setFocus(nullptr, 0);  // deletes the menu
    }
    EXPECT_EQ(h.gui.widgetCount(), 1u);
}

TEST(PopMenu, ItemBandsAndGaps) {
    EditHarness h;
    auto* menu = new PopMenu(&h.gui, h.edit, 0, 0, 0, 0, 0);
    struct Case {
        int x, y, item;
    } cases[] = {
        {50, 3, -1}, {50, 4, 0},  {50, 25, 0},  {50, 26, -1}, {50, 30, -1}, {50, 31, 1},   {50, 52, 1},
        {50, 53, -1}, {50, 56, 2}, {50, 78, -1}, {50, 81, 3},  {50, 102, 3}, {50, 105, -1}, {50, 106, 4},
        {50, 126, 4}, {50, 127, -1}, {50, 133, -1}, {50, 134, 5}, {50, 155, 5}, {50, 156, -1}, {1, 14, -1},
        {2, 14, 0},  {228, 14, 0}, {229, 14, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
        EXPECT_EQ(menu->itemAt(c.x, c.y), c.item);
    }
    h.gui.setFocus(nullptr, 0);  // closes and deletes the menu
    EXPECT_EQ(h.edit->popMenu(), nullptr);
}

TEST(PopMenu, RightClickKeepsTheSelectionVisibleAndEnablesItemsByState) {
    MenuHarness h;
    h.setText("hello world");
    h.run({K(GLFW_KEY_RIGHT, GLFW_MOD_CONTROL | kShift)});
    PopMenu* menu = h.open();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(h.gui.focused(), menu);
    EXPECT_EQ(h.edit->selectionStart(), 0);
    EXPECT_EQ(h.edit->selectionEnd(), 6);
    EXPECT_FALSE(menu->isItemEnabled(PopMenu::ItemUndo));
    EXPECT_TRUE(menu->isItemEnabled(PopMenu::ItemCut));
    EXPECT_TRUE(menu->isItemEnabled(PopMenu::ItemCopy));
    EXPECT_FALSE(menu->isItemEnabled(PopMenu::ItemPaste));  // nothing on the clipboard
    EXPECT_TRUE(menu->isItemEnabled(PopMenu::ItemDelete));
    EXPECT_TRUE(menu->isItemEnabled(PopMenu::ItemSelectAll));
}

TEST(PopMenu, GreyItemsDoNothingAndLeaveTheMenuOpen) {
    MenuHarness h;
    h.setText("hello");
    PopMenu* menu = h.open();
    ASSERT_NE(menu, nullptr);
    for (int item : {PopMenu::ItemCut, PopMenu::ItemCopy, PopMenu::ItemDelete, PopMenu::ItemUndo}) {
        SCOPED_TRACE(item);
        EXPECT_FALSE(menu->isItemEnabled(item));
        h.clickItem(menu, item);
        EXPECT_TRUE(h.menuOpen());
        EXPECT_EQ(h.edit->getText(), "hello");
    }
    // Letters of grey items are ignored too; a click between bands does nothing.
    h.gui.onChar('x');
    h.gui.onChar('D');
    h.click(menu->getX() + 50, menu->getY() + 28);
    EXPECT_TRUE(h.menuOpen());
    EXPECT_FALSE(h.ctx.hasClipboard);
}

TEST(PopMenu, CommandsByPointerAndLetter) {
    struct Case {
        const char* name;
        int item;
        bool byLetter;
        char letter;
        const char* text;
        const char* clipboard;
    } cases[] = {
        {"cut by click", PopMenu::ItemCut, false, 0, " world", "hello"},
        {"cut by x", PopMenu::ItemCut, true, 'x', " world", "hello"},
        {"copy by C", PopMenu::ItemCopy, true, 'C', "hello world", "hello"},
        {"delete by click", PopMenu::ItemDelete, false, 0, " world", "clip"},
        {"paste by p", PopMenu::ItemPaste, true, 'p', "clip world", "clip"},
        {"undo by click", PopMenu::ItemUndo, false, 0, "hello", "clip"},
        {"select all by a", PopMenu::ItemSelectAll, true, 'a', "hello world", "clip"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MenuHarness h;
        h.setText("hello");
        h.run({K(GLFW_KEY_END), T(" world"), K(GLFW_KEY_HOME), K(GLFW_KEY_RIGHT, GLFW_MOD_CONTROL | kShift),
               K(GLFW_KEY_LEFT, kShift)});
        ASSERT_EQ(h.edit->selectionEnd(), 5);
        h.ctx.setClipboardText("clip");
        PopMenu* menu = h.open();
        ASSERT_NE(menu, nullptr);
        ASSERT_TRUE(menu->isItemEnabled(c.item));
        if (c.byLetter)
            h.gui.onChar(unsigned(c.letter));
        else
            h.clickItem(menu, c.item);
        // The focus went back to the edit and the menu is gone.
        EXPECT_FALSE(h.menuOpen());
        EXPECT_EQ(h.gui.focused(), h.edit);
        EXPECT_EQ(h.gui.widgetCount(), 1u);
        EXPECT_EQ(h.edit->getText(), c.text);
        EXPECT_EQ(h.ctx.clipboard, c.clipboard);
        EXPECT_LE(h.edit->cursor(), h.edit->length());
        EXPECT_LE(h.edit->selectionEnd(), h.edit->length());
    }
}

TEST(PopMenu, SelectAllKeepsTheWholeSelectionAfterClosing) {
    MenuHarness h;
    h.setText("abc");
    PopMenu* menu = h.open();
    h.clickItem(menu, PopMenu::ItemSelectAll);
    EXPECT_EQ(h.edit->selectionStart(), 0);
    EXPECT_EQ(h.edit->selectionEnd(), 3);
}

TEST(PopMenu, PasswordEditGreysCutAndCopyButDeletes) {
    MenuHarness h(true);
    h.setText("secret");
    h.run({K(GLFW_KEY_A, GLFW_MOD_CONTROL)});
    PopMenu* menu = h.open();
    EXPECT_FALSE(menu->isItemEnabled(PopMenu::ItemCut));
    EXPECT_FALSE(menu->isItemEnabled(PopMenu::ItemCopy));
    h.gui.onChar('x');
    EXPECT_TRUE(h.menuOpen());
    h.gui.onChar('d');
    EXPECT_FALSE(h.menuOpen());
    EXPECT_EQ(h.edit->getText(), "");
    EXPECT_FALSE(h.ctx.hasClipboard);
}

TEST(PopMenu, ClickingOutsideClosesAndClearsTheSelection) {
    MenuHarness h;
    h.setText("hello");
    h.run({K(GLFW_KEY_END, kShift)});
    PopMenu* menu = h.open();
    ASSERT_NE(menu, nullptr);
    h.click(800, 20);
    EXPECT_FALSE(h.menuOpen());
    EXPECT_EQ(h.gui.focused(), nullptr);
    EXPECT_EQ(h.edit->selectionStart(), 0);
    EXPECT_EQ(h.edit->selectionEnd(), 0);
    EXPECT_EQ(h.edit->cursor(), 0);
    EXPECT_EQ(h.gui.widgetCount(), 1u);
}

TEST(PopMenu, PasteStaysGreyWhenTheClipboardFillsLater) {
    MenuHarness h;
    h.setText("abc");
    PopMenu* menu = h.open();
    h.ctx.setClipboardText("late");
    EXPECT_FALSE(menu->isItemEnabled(PopMenu::ItemPaste));
    h.gui.onChar('p');
    EXPECT_TRUE(h.menuOpen());
    EXPECT_EQ(h.edit->getText(), "abc");
    // An empty clipboard text still counts as text.
    h.click(800, 20);
    h.ctx.setClipboardText("");
    menu = h.open();
    EXPECT_TRUE(menu->isItemEnabled(PopMenu::ItemPaste));
}

TEST(PopMenu, EditDestroyedWhileTheMenuIsOpenTakesTheMenuAlong) {
    MenuHarness h;
    h.setText("abc");
    ASSERT_NE(h.open(), nullptr);
    EXPECT_EQ(h.gui.widgetCount(), 2u);
    delete h.edit;
    h.edit = nullptr;
    EXPECT_EQ(h.gui.widgetCount(), 0u);
    EXPECT_EQ(h.gui.focused(), nullptr);
    h.render();
}

namespace {

int glyphQuads(const guitest::RecordingGraphicsContext& ctx, const GraphicsFont* font) {
    int n = 0;
    for (const auto& draw : ctx.draws)
        for (std::size_t p = 0; p < font->pageCount(); ++p)
            if (draw.surface == font->page(int(p)))
                n += draw.vertexCount / 4;
    return n;
}

}  // namespace

TEST(PopMenu, DrawsBackgroundHighlightAndWholeNonAsciiLabels) {
    MenuHarness h;
    // Labels with letters outside ASCII.
    PopMenu::setLabels("R\xc3\xbc" "ckg\xc3\xa4ngig", "Ausschneiden", "Kopieren", "Einf\xc3\xbcgen",
                       "L\xc3\xb6schen", "\xc3\x9c" "berall");
    h.setText("abc");
    PopMenu* menu = h.open(200, 120);
    h.moveTo(menu->getX() + 50, menu->getY() + kRowY[PopMenu::ItemSelectAll]);
    h.ctx.clearRecords();
    h.render();
    const int expectGlyphs = 10 + 12 + 8 + 8 + 7 + 7;
    EXPECT_EQ(glyphQuads(h.ctx, h.font.get()), expectGlyphs + 3);  // and the edit's own "abc"

    // The background and the highlight of the enabled hovered item, in the catalogue colours.
    const std::uint32_t background = h.gui.getColor("popupmenu-default").value();
    const std::uint32_t hover = h.gui.getColor("popupmenu-hover").value();
    int backgrounds = 0, highlights = 0;
    for (const auto& draw : h.ctx.draws)
        for (std::size_t i = 0; i + 3 < draw.vertices.size(); i += 4) {
            const Vertex* v = &draw.vertices[i];
            const float w = v[2].x - v[0].x;
            const float hgt = v[2].y - v[0].y;
            if (v[0].color == background && w == 231 && hgt == 159 && v[0].x == menu->getX())
                ++backgrounds;
            if (v[0].color == hover && w == 227 && hgt == 22 && v[0].x == menu->getX() + 2 &&
                v[0].y == menu->getY() + 134)
                ++highlights;
        }
    EXPECT_EQ(backgrounds, 1);
    EXPECT_EQ(highlights, 1);
}
