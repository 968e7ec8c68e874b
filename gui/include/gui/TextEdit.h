#pragma once
// The toolkit's one-line edit box. It holds its text as code points and shows a horizontally
// scrolled window of it in a framed box, with a cursor, a selection, editing keys, the
// window's clipboard, undo and redo, word selection by double click and Ctrl+arrows, a context
// menu on the right button (PopMenu) and a blinking caret. In password mode every code point
// is shown as a bullet and the text cannot be copied or cut.
//
// Positions are code point indices in [0, length]; the selection runs between its start (the
// anchor) and its end (the moving end), in either order. Pixel values are logical.
//
// Input handlers run on the main thread under the window's GUI lock; draw and tick on the
// render thread.

#include "gui/Color.h"
#include "gui/Widget.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

class GraphicsFont;
class PopMenu;

class TextEdit : public Widget, public ControlsRender {
public:
    static constexpr std::uint32_t kBullet = 0x2022;

    // One undoable change: at position, removed was taken out and inserted put in.
    struct UndoRecord {
        int position = 0;
        std::vector<std::uint32_t> removed;
        std::vector<std::uint32_t> inserted;
    };

    // Modes of erase(): forward (Delete), backward (Backspace), and two that only remove a
    // selection.
    enum EraseMode : int { EraseForward = 0, EraseBackward = 1, EraseSelection = 2, EraseSelectionOnly = 3 };

    TextEdit(PlayerGUI* gui, GraphicsFont* font, Color colour, bool password);
    ~TextEdit() override;

    // Replaces the text and puts cursor, selection and scroll at the start. A null font keeps
    // the font and colour. The undo and redo stacks stay as they are.
    void setText(const std::string& text, GraphicsFont* font, Color colour);
    std::string getText() const;
    const std::vector<std::uint32_t>& codePoints() const { return text_; }
    int length() const { return int(text_.size()); }

    bool hasSelection() const { return selectionStart_ != selectionEnd_; }
    bool canCopy() const { return !password_ && hasSelection(); }
    bool canCut() const { return canCopy(); }
    bool canSelectAll() const;
    bool canUndo() const { return !undo_.empty(); }
    bool canRedo() const { return !redo_.empty(); }
    // Whether the clipboard holds a text (possibly empty). Main thread.
    bool canPaste() const;

    void selectAll();
    void copy();
    void cut();
    void paste();
    void erase(int mode);
    void undo();
    void redo();
    // Selects the word under x; the boundary characters are " :-.,".
    void selectWordAt(int x);
    // Ctrl+arrow scan: +1 gives the index after the next boundary at or after from, -1 the
    // index after the last boundary at or before from - 2.
    int findWordBoundary(int from, int direction) const;
    // Removes the code points between the two positions (either order), without undo record.
    void eraseRange(int from, int to);
    // Puts cursor and selection at the index under x (nothing left of the text).
    void setCursorAt(int x);
    // The position a press at x puts the cursor at; -1 left of the text.
    int indexAt(int x);
    void dragSelectTo(int x);
    // Moves the visible window so that the cursor shows; whether it moved.
    bool updateScroll();

    // Advance of a code point in device pixels (a bullet in password mode).
    int charAdvance(std::uint32_t codePoint);
    // Sum of the advances of first..last (inclusive, stopping at the end of the text), in
    // device pixels or, when divided, logical pixels.
    int rangeWidth(int first, int last, bool divided);

    // Cursor and selection as the popup menu saves and restores them; values are clamped.
    void setSelection(int start, int end, int cursor);
    void clampPositions();

    int cursor() const { return cursor_; }
    int selectionStart() const { return selectionStart_; }
    int selectionEnd() const { return selectionEnd_; }
    int firstVisible() const { return firstVisible_; }
    int lastVisible() const { return lastVisible_; }
    int leftInset() const { return leftInset_; }
    bool isPassword() const { return password_; }
    bool isSelecting() const { return selecting_ != 0; }
    bool caretOn() const { return caretOn_ != 0; }
    // Whether a caret is drawn now (focused, blink phase on, no selection).
    bool caretVisible() const;
    GraphicsFont* font() const { return font_; }
    Color textColour() const { return colour_; }
    const std::deque<UndoRecord>& undoStack() const { return undo_; }
    const std::deque<UndoRecord>& redoStack() const { return redo_; }
    PopMenu* popMenu() const { return menu_; }
    // The code points drawn for the text (bullets in password mode), for the visible window.
    std::uint32_t shownCodePoint(int index) const { return password_ ? kBullet : text_[std::size_t(index)]; }

    // The wall clock of the double-click detector, in microseconds (tests replace it).
    void setWallClock(std::function<std::int64_t()> clock) { wallClock_ = std::move(clock); }

    // Called by the popup menu when it goes away.
    void onPopMenuClosed(PopMenu* menu);

    void onFocus() override;
    void onBlur() override;
    bool onMouseMove(int x, int y) override;
    bool onMouseDown(int button, int x, int y) override;
    bool onMouseUp(int button, int x, int y) override;
    void onMouseEnter() override;
    void onMouseLeave() override;
    bool onKeyDown(int key, int scancode, int mods) override;
    bool onKeyUp(int key, int scancode, int mods) override;
    bool onChar(unsigned codePoint) override;
    void draw(AbstractGraphicsContext* context) override;
    bool tick(double seconds) override;

protected:
    // Both bases keep the GUI pointer; this edit uses the widget's.
    using Widget::gui_;

private:
    void collapseAt(int position);
    void extendTo(int position);
    // Removes the selection (no record); the removed code points; the cursor goes to its start.
    std::vector<std::uint32_t> takeSelection();
    void insertAt(int position, const std::uint32_t* codePoints, std::size_t count);
    void applyUndo(const UndoRecord& record);
    void applyRedo(const UndoRecord& record);
    bool isDoubleClick(int x, int y);
    int textLeft() const;
    int textTop();
    void drawCaret(AbstractGraphicsContext* context, int left);
    int toLogical(long long pixels) const;

    GraphicsFont* font_ = nullptr;
    Color colour_;
    std::vector<std::uint32_t> text_;
    int border_ = 2;
    int innerPadding_ = 12;
    int cursor_ = 0;
    int leftInset_ = 2;
    int firstVisible_ = 0;
    int lastVisible_ = 0;
    int selectionStart_ = 0;
    int selectionEnd_ = 0;
    int previousCursor_ = 0;
    unsigned char selecting_ = 0;
    // After a word was selected by double click the caret stays hidden until the cursor moves.
    bool caretHidden_ = false;
    unsigned char clickArmed_ = 0;
    int lastPressX_ = 0;
    int lastPressY_ = 0;
    std::int64_t lastPressTime_ = 0;
    bool password_;
    std::deque<UndoRecord> undo_;
    std::deque<UndoRecord> redo_;
    unsigned char caretOn_ = 0;
    PopMenu* menu_ = nullptr;
    std::function<std::int64_t()> wallClock_;
};
