// The text edit on a recording context with a fake font: editing keys, typing, word
// movement and selection, clipboard, undo and redo, pointer selection, scrolling, the caret
// and what a frame draws.

#include "TextEditTestSupport.h"

#include "gui/PopMenu.h"
#include "gui/TextService.h"

#include <gtest/gtest.h>

using guitest::EditHarness;
using guitest::Input;
using guitest::K;
using guitest::kAlt;
using guitest::kCtrl;
using guitest::kShift;
using guitest::T;

namespace {

struct KeyCase {
    const char* name;
    const char* initial;  // set with setText (stacks empty), or typed when prefixed by '>'
    std::vector<Input> inputs;
    const char* text;
    int cursor;
    int selectionStart;
    int selectionEnd;
};

void runCases(const std::vector<KeyCase>& cases, bool password = false) {
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.name);
        EditHarness h(password);
        std::string initial = c.initial;
        if (!initial.empty() && initial[0] == '>')
            h.run({T(initial.substr(1))});
        else
            h.setText(initial);
        h.run(c.inputs);
        EXPECT_EQ(h.edit->getText(), c.text);
        EXPECT_EQ(h.edit->cursor(), c.cursor);
        EXPECT_EQ(h.edit->selectionStart(), c.selectionStart);
        EXPECT_EQ(h.edit->selectionEnd(), c.selectionEnd);
    }
}

}  // namespace

TEST(TextEdit, MovementAndSelectionKeys) {
    runCases({
        {"home and end", "hello", {K(GLFW_KEY_END)}, "hello", 5, 5, 5},
        {"shift home selects backwards", "hello", {K(GLFW_KEY_END), K(GLFW_KEY_HOME, kShift)}, "hello", 0, 5, 0},
        {"shift end", "hello", {K(GLFW_KEY_RIGHT), K(GLFW_KEY_END, kShift)}, "hello", 5, 1, 5},
        {"left collapses at cursor - 1", "hello",
         {K(GLFW_KEY_END), K(GLFW_KEY_LEFT, kShift), K(GLFW_KEY_LEFT, kShift), K(GLFW_KEY_LEFT)}, "hello", 2, 2, 2},
        {"left at the start stays", "hello", {K(GLFW_KEY_LEFT)}, "hello", 0, 0, 0},
        {"right at the end stays", "ab", {K(GLFW_KEY_END), K(GLFW_KEY_RIGHT)}, "ab", 2, 2, 2},
        {"ctrl left by words", "ab cd", {K(GLFW_KEY_END), K(GLFW_KEY_LEFT, kCtrl)}, "ab cd", 3, 3, 3},
        {"ctrl left twice", "ab cd", {K(GLFW_KEY_END), K(GLFW_KEY_LEFT, kCtrl), K(GLFW_KEY_LEFT, kCtrl)}, "ab cd", 0,
         0, 0},
        {"ctrl right after the space", "ab cd", {K(GLFW_KEY_RIGHT, kCtrl)}, "ab cd", 3, 3, 3},
        {"ctrl right twice", "ab cd", {K(GLFW_KEY_RIGHT, kCtrl), K(GLFW_KEY_RIGHT, kCtrl)}, "ab cd", 5, 5, 5},
        {"ctrl shift right extends", "a-b.c", {K(GLFW_KEY_RIGHT, kCtrl | kShift), K(GLFW_KEY_RIGHT, kCtrl | kShift)},
         "a-b.c", 4, 0, 4},
        {"ctrl shift left extends", "x:y,z", {K(GLFW_KEY_END), K(GLFW_KEY_LEFT, kCtrl | kShift)}, "x:y,z", 4, 5, 4},
        {"ctrl a selects all", "hello", {K(GLFW_KEY_A, kCtrl)}, "hello", 0, 0, 5},
        {"alt left does nothing", "hello", {K(GLFW_KEY_END), K(GLFW_KEY_LEFT, kAlt)}, "hello", 5, 5, 5},
        {"enter is consumed and changes nothing", "hello", {K(GLFW_KEY_END), K(GLFW_KEY_ENTER)}, "hello", 5, 5, 5},
        {"ctrl alt a does nothing", "hello", {K(GLFW_KEY_A, kCtrl | kAlt)}, "hello", 0, 0, 0},
        {"caps lock bit does not change a key", "hello", {K(GLFW_KEY_END, GLFW_MOD_CAPS_LOCK)}, "hello", 5, 5, 5},
    });
}

TEST(TextEdit, TypingAndErasing) {
    runCases({
        {"typing inserts at the cursor", "held", {K(GLFW_KEY_END), K(GLFW_KEY_LEFT), T("l")}, "helld", 4, 4, 4},
        {"typing replaces the selection", "hello", {K(GLFW_KEY_A, kCtrl), T("xy")}, "xy", 2, 2, 2},
        {"backspace", "abc", {K(GLFW_KEY_END), K(GLFW_KEY_BACKSPACE)}, "ab", 2, 2, 2},
        {"backspace at the start", "abc", {K(GLFW_KEY_BACKSPACE)}, "abc", 0, 0, 0},
        {"delete forward", "abc", {K(GLFW_KEY_DELETE)}, "bc", 0, 0, 0},
        {"delete at the end", "abc", {K(GLFW_KEY_END), K(GLFW_KEY_DELETE)}, "abc", 3, 3, 3},
        {"ctrl h deletes backward", "abc", {K(GLFW_KEY_END), K(GLFW_KEY_H, kCtrl)}, "ab", 2, 2, 2},
        {"backspace removes a selection", "hello",
         {K(GLFW_KEY_RIGHT), K(GLFW_KEY_RIGHT, kShift), K(GLFW_KEY_RIGHT, kShift), K(GLFW_KEY_BACKSPACE)}, "hlo", 1, 1,
         1},
        {"delete removes a backwards selection", "hello", {K(GLFW_KEY_END), K(GLFW_KEY_HOME, kShift), K(GLFW_KEY_DELETE)},
         "", 0, 0, 0},
        {"every code point is accepted", "", {T("a\tb")}, "a\tb", 3, 3, 3},
        // UTF-8 text: positions are code points, not bytes.
        {"utf-8 typing", "", {T("h\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80")}, "h\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80", 4, 4,
         4},
        {"utf-8 backspace removes one code point", "\xc3\xa9t\xc3\xa9",
         {K(GLFW_KEY_END), K(GLFW_KEY_BACKSPACE), K(GLFW_KEY_LEFT), K(GLFW_KEY_BACKSPACE)}, "t", 0, 0, 0},
        {"utf-8 shift selection", "\xd0\xbf\xd1\x80\xd0\xb8",
         {K(GLFW_KEY_RIGHT), K(GLFW_KEY_END, kShift), T("\xe2\x82\xac")}, "\xd0\xbf\xe2\x82\xac", 2, 2, 2},
    });
}

TEST(TextEdit, UndoAndRedo) {
    runCases({
        {"one undo takes back a typed run", "", {T("abc"), K(GLFW_KEY_Z, kCtrl)}, "", 0, 0, 0},
        {"a deletion ends the run", "", {T("ab"), K(GLFW_KEY_BACKSPACE), T("c"), K(GLFW_KEY_Z, kCtrl)}, "a", 1, 1, 1},
        {"the next undo brings the deletion back", "",
         {T("ab"), K(GLFW_KEY_BACKSPACE), T("c"), K(GLFW_KEY_Z, kCtrl), K(GLFW_KEY_Z, kCtrl)}, "ab", 2, 2, 2},
        {"and then the typed run", "",
         {T("ab"), K(GLFW_KEY_BACKSPACE), T("c"), K(GLFW_KEY_Z, kCtrl), K(GLFW_KEY_Z, kCtrl), K(GLFW_KEY_Z, kCtrl)}, "",
         0, 0, 0},
        {"alt backspace undoes", "", {T("ab"), K(GLFW_KEY_BACKSPACE, kAlt)}, "", 0, 0, 0},
        {"ctrl shift z redoes", "", {T("abc"), K(GLFW_KEY_Z, kCtrl), K(GLFW_KEY_Z, kCtrl | kShift)}, "abc", 3, 3, 3},
        {"redo of a deletion", "",
         {T("ab"), K(GLFW_KEY_BACKSPACE), K(GLFW_KEY_Z, kCtrl), K(GLFW_KEY_Z, kCtrl | kShift)}, "a", 1, 1, 1},
        {"typing clears the redo stack", "",
         {T("ab"), K(GLFW_KEY_Z, kCtrl), T("x"), K(GLFW_KEY_Z, kCtrl | kShift)}, "x", 1, 1, 1},
        {"undo with an empty stack", "keep", {K(GLFW_KEY_Z, kCtrl)}, "keep", 0, 0, 0},
        {"delete forward is undone in place", "abc",
         {K(GLFW_KEY_RIGHT), K(GLFW_KEY_DELETE), K(GLFW_KEY_Z, kCtrl)}, "abc", 2, 2, 2},
        // A replacement is undone in two steps: the typed text, then the removed selection,
        // and a further undo does not remove anything again.
        {"replacement, first undo", "hello", {K(GLFW_KEY_A, kCtrl), T("xy"), K(GLFW_KEY_Z, kCtrl)}, "x", 1, 1, 1},
        {"replacement, second undo", "hello",
         {K(GLFW_KEY_A, kCtrl), T("xy"), K(GLFW_KEY_Z, kCtrl), K(GLFW_KEY_Z, kCtrl)}, "hello", 5, 5, 5},
        {"replacement, third undo", "hello",
         {K(GLFW_KEY_A, kCtrl), T("xy"), K(GLFW_KEY_Z, kCtrl), K(GLFW_KEY_Z, kCtrl), K(GLFW_KEY_Z, kCtrl)}, "hello", 5,
         5, 5},
        {"replacement redone", "hello",
         {K(GLFW_KEY_A, kCtrl), T("xy"), K(GLFW_KEY_Z, kCtrl), K(GLFW_KEY_Z, kCtrl), K(GLFW_KEY_Z, kCtrl | kShift),
          K(GLFW_KEY_Z, kCtrl | kShift)},
         "xy", 2, 2, 2},
        {"utf-8 undo", "", {T("\xc3\xa9\xc3\xa9"), K(GLFW_KEY_BACKSPACE), K(GLFW_KEY_Z, kCtrl)}, "\xc3\xa9\xc3\xa9", 2,
         2, 2},
    });
}

TEST(TextEdit, StaleUndoRecordsAfterSetTextStayInsideTheText) {
    // setText keeps the stacks; records made on a longer text must not reach past the new one.
    EditHarness h;
    h.run({T("a long line of text"), K(GLFW_KEY_HOME), K(GLFW_KEY_DELETE)});
    h.setText("ab");
    h.run({K(GLFW_KEY_Z, kCtrl), K(GLFW_KEY_Z, kCtrl), K(GLFW_KEY_Z, kCtrl | kShift)});
    EXPECT_LE(h.edit->cursor(), h.edit->length());
    EXPECT_LE(h.edit->selectionEnd(), h.edit->length());
    h.run({K(GLFW_KEY_Z, kCtrl), K(GLFW_KEY_Z, kCtrl), K(GLFW_KEY_Z, kCtrl)});
    EXPECT_LE(h.edit->cursor(), h.edit->length());
}

TEST(TextEdit, ClipboardThroughTheGUI) {
    EditHarness h;
    h.setText("hello world");
    // Copy the first word, paste it at the end.
    h.run({K(GLFW_KEY_RIGHT, kCtrl | kShift), K(GLFW_KEY_C, kCtrl)});
    EXPECT_EQ(h.ctx.clipboard, "hello ");
    h.run({K(GLFW_KEY_END), K(GLFW_KEY_V, kCtrl)});
    EXPECT_EQ(h.edit->getText(), "hello worldhello ");
    EXPECT_EQ(h.edit->cursor(), 17);

    // Cut removes and copies; the cut is one undo step.
    h.run({K(GLFW_KEY_HOME), K(GLFW_KEY_END, kShift), K(GLFW_KEY_X, kCtrl)});
    EXPECT_EQ(h.ctx.clipboard, "hello worldhello ");
    EXPECT_EQ(h.edit->getText(), "");
    h.run({K(GLFW_KEY_Z, kCtrl)});
    EXPECT_EQ(h.edit->getText(), "hello worldhello ");

    // Copy without a selection leaves the clipboard alone.
    h.ctx.setClipboardText("kept");
    h.run({K(GLFW_KEY_C, kCtrl)});
    EXPECT_EQ(h.ctx.clipboard, "kept");
}

TEST(TextEdit, PasteReplacesSelectionKeepsNewlinesAndUndoes) {
    EditHarness h;
    h.setText("one two");
    h.ctx.setClipboardText("A\nB\xc3\xa9");
    h.run({K(GLFW_KEY_RIGHT, kCtrl), K(GLFW_KEY_END, kShift), K(GLFW_KEY_V, kCtrl)});
    EXPECT_EQ(h.edit->getText(), "one A\nB\xc3\xa9");
    EXPECT_EQ(h.edit->cursor(), 8);
    h.run({K(GLFW_KEY_Z, kCtrl)});
    EXPECT_EQ(h.edit->getText(), "one two");
    h.run({K(GLFW_KEY_Z, kCtrl | kShift)});
    EXPECT_EQ(h.edit->getText(), "one A\nB\xc3\xa9");

    // No text in the clipboard: nothing is inserted, but a selection is still replaced.
    h.ctx.setClipboardText(nullptr);
    h.run({K(GLFW_KEY_END), K(GLFW_KEY_V, kCtrl)});
    EXPECT_EQ(h.edit->getText(), "one A\nB\xc3\xa9");
    h.run({K(GLFW_KEY_HOME, kShift), K(GLFW_KEY_V, kCtrl)});
    EXPECT_EQ(h.edit->getText(), "");
    h.run({K(GLFW_KEY_Z, kCtrl)});
    EXPECT_EQ(h.edit->getText(), "one A\nB\xc3\xa9");
}

TEST(TextEdit, PasswordModeRefusesCopyAndCutButPastes) {
    EditHarness h(true);
    h.setText("secret");
    h.ctx.setClipboardText("clip");
    h.run({K(GLFW_KEY_A, kCtrl), K(GLFW_KEY_C, kCtrl), K(GLFW_KEY_X, kCtrl)});
    EXPECT_EQ(h.ctx.clipboard, "clip");
    EXPECT_EQ(h.edit->getText(), "secret");
    EXPECT_FALSE(h.edit->canCopy());
    EXPECT_FALSE(h.edit->canCut());
    h.run({K(GLFW_KEY_V, kCtrl)});
    EXPECT_EQ(h.edit->getText(), "clip");
    // Every code point measures as the bullet, whatever it is.
    const int bullet = h.edit->charAdvance(TextEdit::kBullet);
    EXPECT_EQ(h.edit->charAdvance(' '), bullet);
    EXPECT_EQ(h.edit->rangeWidth(0, 3, false), 4 * bullet);
    EXPECT_EQ(h.edit->shownCodePoint(0), TextEdit::kBullet);
}

TEST(TextEdit, FindWordBoundaryScans) {
    EditHarness h;
    h.setText("ab cd");
    struct Case {
        int from, direction, expect;
    } cases[] = {
        {0, 1, 3}, {2, 1, 3}, {3, 1, 5}, {5, 1, 5}, {5, -1, 3}, {4, -1, 3}, {3, -1, 0}, {0, -1, 0}, {1, -1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.from) + " " + std::to_string(c.direction));
        EXPECT_EQ(h.edit->findWordBoundary(c.from, c.direction), c.expect);
    }
}

TEST(TextEdit, DoubleClickSelectsWords) {
    // Fake font: glyphs 7 wide, the space 4. "ab cd": a 114..121, b ..128, space ..132,
    // c ..139, d ..146.  "a-b.c": a 114, - 121, b 128, . 135, c 142.
    struct Case {
        const char* text;
        int x;
        int start, end;
    } cases[] = {
        {"ab cd", 135, 3, 5},
        {"ab cd", 116, 0, 3},  // the space after the word is included
        {"a-b.c", 130, 2, 4},
        {"one, two", 150, 5, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " at " + std::to_string(c.x));
        EditHarness h;
        h.setText(c.text);
        h.click(c.x, 115);
        h.now += 200000;  // 200 ms later
        h.click(c.x, 116);
        EXPECT_EQ(h.edit->selectionStart(), c.start);
        EXPECT_EQ(h.edit->selectionEnd(), c.end);
        EXPECT_FALSE(h.edit->isSelecting());
        h.render();
        EXPECT_FALSE(h.edit->caretVisible());
    }
}

TEST(TextEdit, DoubleClickDetectorTimingAndDistance) {
    struct Case {
        const char* name;
        std::int64_t delayMicros;
        int dx;
        bool doubleClick;
    } cases[] = {
        {"quick and close", 999000, 2, true},
        {"one second is too late", 1000000, 0, false},
        {"three pixels is too far", 1000, 3, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EditHarness h;
        h.setText("ab cd");
        h.click(135, 115);
        h.now += c.delayMicros;
        h.click(135 + c.dx, 115);
        EXPECT_EQ(h.edit->hasSelection(), c.doubleClick);
    }
    // A third quick click is a single click again: it places the cursor.
    EditHarness h;
    h.setText("ab cd");
    h.click(135, 115);
    h.click(135, 115);
    ASSERT_TRUE(h.edit->hasSelection());
    h.click(135, 115);
    EXPECT_FALSE(h.edit->hasSelection());
    EXPECT_EQ(h.edit->cursor(), 4);
}

TEST(TextEdit, PressPlacesCursorAndDragSelects) {
    EditHarness h;
    h.setText("abcdef");
    // A press inside glyph i puts the cursor after it; left of the box gives nothing.
    h.click(EditHarness::glyphLeft(2) + 3, 110);
    EXPECT_EQ(h.edit->cursor(), 3);
    EXPECT_EQ(h.edit->indexAt(EditHarness::kX - 1), -1);
    EXPECT_EQ(h.edit->indexAt(EditHarness::kX + 5), 0);

    h.now += 5000000;
    h.moveTo(EditHarness::glyphLeft(0) + 2, 110);
    h.gui.onMouseButton(0, true);
    EXPECT_TRUE(h.edit->isSelecting());
    EXPECT_TRUE(h.gui.isCaptured(h.edit));
    h.moveTo(EditHarness::glyphLeft(3) + 2, 110);
    h.moveTo(EditHarness::glyphLeft(4) + 2, 200);  // captured: moves outside still count
    EXPECT_EQ(h.edit->selectionStart(), 1);
    EXPECT_EQ(h.edit->selectionEnd(), 5);
    h.gui.onMouseButton(0, false);
    EXPECT_FALSE(h.edit->isSelecting());
    EXPECT_FALSE(h.gui.isCaptured(h.edit));
    EXPECT_EQ(h.edit->selectionEnd(), 5);
    EXPECT_EQ(h.edit->cursor(), 5);
}

TEST(TextEdit, DraggingPastTheLeftEdgeStepsBack) {
    EditHarness h;
    h.setText("abcdef");
    h.run({K(GLFW_KEY_END)});
    h.moveTo(EditHarness::glyphLeft(5) + 2, 110);
    h.gui.onMouseButton(0, true);
    for (int i = 0; i < 3; ++i)
        h.moveTo(EditHarness::kX - 20, 110);
    EXPECT_EQ(h.edit->selectionStart(), 6);
    EXPECT_EQ(h.edit->selectionEnd(), 3);
    for (int i = 0; i < 10; ++i)
        h.moveTo(EditHarness::kX - 20, 110);
    EXPECT_EQ(h.edit->selectionEnd(), 0);
    h.gui.onMouseButton(0, false);
}

TEST(TextEdit, ScrollingKeepsTheCursorInTheBox) {
    EditHarness h;
    std::string text;
    for (int i = 0; i < 10; ++i)
        text += "0123456789";
    h.setText(text);
    // Available width: 300 - 2 * 14 = 272, so 38 glyphs of 7 fit.
    EXPECT_EQ(h.edit->firstVisible(), 0);
    EXPECT_EQ(h.edit->lastVisible(), 37);

    h.run({K(GLFW_KEY_END)});
    EXPECT_EQ(h.edit->lastVisible(), 99);
    EXPECT_EQ(h.edit->firstVisible(), 62);  // the code points before the cursor fill the box

    h.run({K(GLFW_KEY_LEFT, kCtrl)});  // no boundary: back to 0
    EXPECT_EQ(h.edit->firstVisible(), 0);
    EXPECT_EQ(h.edit->lastVisible(), 37);

    // Walking right past the last visible code point scrolls by one.
    h.run({K(GLFW_KEY_HOME)});
    for (int i = 0; i < 39; ++i)
        h.run({K(GLFW_KEY_RIGHT)});
    EXPECT_EQ(h.edit->lastVisible(), 38);
    EXPECT_EQ(h.edit->firstVisible(), 1);

    // A press left of the first visible glyph of a scrolled text stays in the visible window.
    h.run({K(GLFW_KEY_END)});
    h.now += 5000000;
    h.click(EditHarness::kX + 4, 110);
    EXPECT_EQ(h.edit->cursor(), 62);
}

namespace {

// Counts how often the edit measures a space (each measure asks the face for its metrics).
class CountingFace : public guitest::FakeTextServiceFont {
public:
    void getMetrics(FontMetrics& metrics) override {
        ++calls;
        FakeTextServiceFont::getMetrics(metrics);
    }
    long calls = 0;
};

}  // namespace

TEST(TextEdit, ScrollingALongPasteMeasuresEachCodePointAFewTimes) {
    guitest::RecordingGraphicsContext ctx(900, 450);
    guitest::RecordingHandler handler;
    PlayerGUI gui(&handler, &ctx);
    auto* face = new CountingFace();
    GraphicsFont font(face, 1.0f);
    TextEdit edit(&gui, &font, Color(), false);
    edit.x = 10;
    edit.y = 10;
    edit.width = 300;
    edit.height = 34;
    constexpr int n = 10000;
    ctx.setClipboardText(std::string(n, ' ').c_str());
    gui.setFocus(&edit, 0);
    gui.onKey(GLFW_KEY_V, 0, GLFW_PRESS, GLFW_MOD_CONTROL);
    face->calls = 0;
    gui.render(&ctx);
    ctx.flush();
    // The window ends at the cursor and holds what fits: 300 - 28 - inset 2 = 270, 67 spaces.
    EXPECT_EQ(edit.lastVisible(), n - 1);
    EXPECT_EQ(edit.firstVisible(), n - 67);
    EXPECT_LT(face->calls, 4L * n);
}

TEST(TextEdit, CaretBlinksOnlyWhileFocused) {
    EditHarness h;
    h.setText("abc");
    h.edit->needsRedraw = 0;
    EXPECT_FALSE(h.edit->tick(0.1));  // not focused: only the redraw flag
    h.focus();
    h.edit->needsRedraw = 0;
    EXPECT_TRUE(h.edit->tick(0.1));  // phase on
    EXPECT_TRUE(h.edit->caretOn());
    h.edit->needsRedraw = 0;
    EXPECT_FALSE(h.edit->tick(0.5));
    EXPECT_TRUE(h.edit->tick(0.6));  // 600 ms: off
    EXPECT_FALSE(h.edit->caretOn());
    h.edit->needsRedraw = 0;
    EXPECT_TRUE(h.edit->tick(1.25));  // on again
    EXPECT_TRUE(h.edit->caretVisible());
    h.run({K(GLFW_KEY_A, kCtrl)});
    EXPECT_FALSE(h.edit->caretVisible());  // hidden while a selection exists
    h.gui.setFocus(nullptr, 0);
    EXPECT_FALSE(h.edit->caretVisible());
    EXPECT_EQ(h.edit->selectionEnd(), 0);  // blur clears the selection and cursor
}

TEST(TextEdit, PointerShapeFollowsHover) {
    EditHarness h;
    h.moveTo(150, 110);
    EXPECT_EQ(h.ctx.cursorShape, 1);
    h.moveTo(10, 10);
    EXPECT_EQ(h.ctx.cursorShape, 0);
}

namespace {

struct Box {
    float x0, y0, x1, y1;
};

// The quads of one colour in the recorded draws.
std::vector<Box> quadsOfColour(const guitest::RecordingGraphicsContext& ctx, std::uint32_t colour) {
    std::vector<Box> out;
    for (const auto& draw : ctx.draws)
        for (std::size_t i = 0; i + 3 < draw.vertices.size(); i += 4) {
            const Vertex* v = &draw.vertices[i];
            if (v[0].color != colour)
                continue;
            out.push_back({std::min(v[0].x, v[2].x), std::min(v[0].y, v[2].y), std::max(v[0].x, v[2].x),
                           std::max(v[0].y, v[2].y)});
        }
    return out;
}

}  // namespace

TEST(TextEdit, DrawsSelectionInvertedGlyphsAndCaret) {
    EditHarness h;
    h.setText("abcd");
    h.run({K(GLFW_KEY_RIGHT), K(GLFW_KEY_RIGHT, kShift), K(GLFW_KEY_RIGHT, kShift)});
    h.ctx.clearRecords();
    h.render();
    // Selection 1..3: from the left edge of b to the left edge of d.
    const auto selection = quadsOfColour(h.ctx, 0xffff9933);
    ASSERT_EQ(selection.size(), 1u);
    EXPECT_EQ(selection[0].x0, EditHarness::glyphLeft(1));
    EXPECT_EQ(selection[0].x1, EditHarness::glyphLeft(3));
    // Black text; the two selected glyphs are drawn in white.
    EXPECT_EQ(quadsOfColour(h.ctx, 0xff000000).size(), 2u);
    EXPECT_EQ(quadsOfColour(h.ctx, 0xffffffff).size() >= 2u, true);

    // Without a selection, focused and in the on phase: a 1-pixel caret after "ab".
    h.run({K(GLFW_KEY_LEFT)});
    h.edit->tick(0.0);
    h.ctx.clearRecords();
    h.render();
    const Color caretColour = h.gui.getColor("textedit-cursor");
    bool found = false;
    for (const Box& b : quadsOfColour(h.ctx, caretColour.value()))
        if (b.x1 - b.x0 == 1.0f) {
            found = true;
            EXPECT_EQ(b.x0, EditHarness::glyphLeft(2));
            EXPECT_EQ(b.y0, EditHarness::kY + 2);
            EXPECT_EQ(b.y1, EditHarness::kY + EditHarness::kH - 2);
        }
    EXPECT_TRUE(found);
}
