#include "gui/TextEdit.h"

#include "core/Utf8.h"
#include "gui/AbstractGraphicsContext.h"
#include "gui/GraphicsFont.h"
#include "gui/PlayerGUI.h"
#include "gui/PopMenu.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace {

constexpr int kModShift = GLFW_MOD_SHIFT;
constexpr int kModCtrl = GLFW_MOD_CONTROL;
constexpr int kModAlt = GLFW_MOD_ALT;
// Shift, Ctrl, Alt and Super take part in the key table; lock-key bits do not.
constexpr int kModMask = GLFW_MOD_SHIFT | GLFW_MOD_CONTROL | GLFW_MOD_ALT | GLFW_MOD_SUPER;

constexpr std::uint32_t kSelectionColour = 0xffff9933;  // opaque (51, 153, 255)

bool isWordBoundary(std::uint32_t c) {
    return c == ' ' || c == ':' || c == '-' || c == '.' || c == ',';
}

bool isBlank(std::uint32_t c) {
    return c == ' ' || c == '\t' || c == '\n';
}

std::int64_t wallClockMicros() {
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

}  // namespace

TextEdit::TextEdit(PlayerGUI* gui, GraphicsFont* font, Color colour, bool password)
    : Widget(gui), ControlsRender(gui), colour_(0, 0, 0, 255), password_(password), wallClock_(wallClockMicros) {
    focusable = 1;
    setText(std::string(), font, colour);
    leftInset_ = 2;
}

TextEdit::~TextEdit() {
    if (menu_) {
        // The menu refers to this edit: it goes with it.
        PopMenu* menu = menu_;
        menu_ = nullptr;
        menu->detachOwner();
        delete menu;
    }
}

void TextEdit::onPopMenuClosed(PopMenu* menu) {
    if (menu_ == menu)
        menu_ = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Text and state

void TextEdit::setText(const std::string& text, GraphicsFont* font, Color colour) {
    text_ = utf8ToCodePoints(text);
    if (font) {
        font_ = font;
        colour_ = colour;
    }
    cursor_ = firstVisible_ = lastVisible_ = 0;
    selectionStart_ = selectionEnd_ = 0;
    previousCursor_ = 0;
    leftInset_ = 0;
    selecting_ = 0;
    caretHidden_ = false;
    needsRedraw = 1;
}

std::string TextEdit::getText() const {
    return codePointsToUtf8(text_);
}

bool TextEdit::canSelectAll() const {
    if (text_.empty())
        return false;
    const int n = length();
    const bool all = (selectionStart_ == 0 && selectionEnd_ == n) || (selectionStart_ == n && selectionEnd_ == 0);
    return !all;
}

bool TextEdit::canPaste() const {
    return gui_ && gui_->getClipboardText() != nullptr;
}

bool TextEdit::caretVisible() const {
    return gui_ && gui_->focused() == this && caretOn_ && visible && enabled && !hasSelection() && !caretHidden_ &&
           cursor_ >= 0;
}

void TextEdit::clampPositions() {
    const int n = length();
    cursor_ = std::clamp(cursor_, 0, n);
    selectionStart_ = std::clamp(selectionStart_, 0, n);
    selectionEnd_ = std::clamp(selectionEnd_, 0, n);
}

void TextEdit::setSelection(int start, int end, int cursor) {
    selectionStart_ = start;
    selectionEnd_ = end;
    cursor_ = cursor;
    clampPositions();
    needsRedraw = 1;
}

void TextEdit::collapseAt(int position) {
    cursor_ = selectionStart_ = selectionEnd_ = position;
}

void TextEdit::extendTo(int position) {
    cursor_ = selectionEnd_ = position;
}

void TextEdit::insertAt(int position, const std::uint32_t* codePoints, std::size_t count) {
    position = std::clamp(position, 0, length());
    text_.insert(text_.begin() + position, codePoints, codePoints + count);
}

void TextEdit::eraseRange(int from, int to) {
    const int n = length();
    int lo = std::clamp(std::min(from, to), 0, n);
    int hi = std::clamp(std::max(from, to), 0, n);
    if (hi > lo)
        text_.erase(text_.begin() + lo, text_.begin() + hi);
}

std::vector<std::uint32_t> TextEdit::takeSelection() {
    clampPositions();
    const int lo = std::min(selectionStart_, selectionEnd_);
    const int hi = std::max(selectionStart_, selectionEnd_);
    std::vector<std::uint32_t> removed(text_.begin() + lo, text_.begin() + hi);
    eraseRange(lo, hi);
    cursor_ = lo;
    return removed;
}

// ---------------------------------------------------------------------------------------------
// Editing

bool TextEdit::onChar(unsigned codePoint) {
    redo_.clear();
    const std::uint32_t cp = codePoint;
    if (hasSelection()) {
        // One record for the replacement: undoing it restores the selected text.
        UndoRecord record;
        record.position = std::min(selectionStart_, selectionEnd_);
        record.removed = takeSelection();
        record.inserted.push_back(cp);
        undo_.push_back(std::move(record));
    } else {
        clampPositions();
        undo_.push_back(UndoRecord{cursor_, {}, {cp}});
    }
    insertAt(cursor_, &cp, 1);
    ++cursor_;
    ++lastVisible_;
    collapseAt(cursor_);
    caretHidden_ = false;
    needsRedraw = 1;
    return true;
}

void TextEdit::erase(int mode) {
    clampPositions();
    if (hasSelection()) {
        const int lo = std::min(selectionStart_, selectionEnd_);
        std::vector<std::uint32_t> removed = takeSelection();
        if (!removed.empty()) {
            redo_.clear();
            undo_.push_back(UndoRecord{lo, std::move(removed), {}});
        }
    } else if (mode == EraseForward) {
        if (cursor_ < length()) {
            redo_.clear();
            undo_.push_back(UndoRecord{cursor_, {text_[std::size_t(cursor_)]}, {}});
            eraseRange(cursor_, cursor_ + 1);
        }
    } else if (mode == EraseBackward) {
        if (cursor_ > 0) {
            --cursor_;
            redo_.clear();
            undo_.push_back(UndoRecord{cursor_, {text_[std::size_t(cursor_)]}, {}});
            eraseRange(cursor_, cursor_ + 1);
        }
    }
    collapseAt(cursor_);
    needsRedraw = 1;
}

void TextEdit::selectAll() {
    selectionStart_ = 0;
    selectionEnd_ = length();
    cursor_ = 0;
    needsRedraw = 1;
}

void TextEdit::copy() {
    if (password_ || !hasSelection() || !gui_)
        return;
    clampPositions();
    const int lo = std::min(selectionStart_, selectionEnd_);
    const int hi = std::max(selectionStart_, selectionEnd_);
    const std::string text = codePointsToUtf8(std::vector<std::uint32_t>(text_.begin() + lo, text_.begin() + hi));
    if (!text.empty())
        gui_->setClipboardText(text);
}

void TextEdit::cut() {
    if (password_ || !hasSelection())
        return;
    copy();
    erase(EraseSelectionOnly);
}

void TextEdit::paste() {
    redo_.clear();
    const char* clip = gui_ ? gui_->getClipboardText() : nullptr;
    std::vector<std::uint32_t> pasted = utf8ToCodePoints(clip ? std::string(clip) : std::string());
    clampPositions();
    if (hasSelection()) {
        UndoRecord record;
        record.position = std::min(selectionStart_, selectionEnd_);
        record.removed = takeSelection();
        record.inserted = pasted;
        undo_.push_back(std::move(record));
    } else if (!pasted.empty()) {
        undo_.push_back(UndoRecord{cursor_, {}, pasted});
    }
    insertAt(cursor_, pasted.data(), pasted.size());
    cursor_ += int(pasted.size());
    lastVisible_ += int(pasted.size());
    collapseAt(cursor_);
    needsRedraw = 1;
}

// Records apply to the text they were made on; after setText they may not fit it, so
// positions and counts are kept within the present text.
void TextEdit::applyUndo(const UndoRecord& record) {
    const int pos = std::clamp(record.position, 0, length());
    eraseRange(pos, pos + int(record.inserted.size()));
    insertAt(pos, record.removed.data(), record.removed.size());
    collapseAt(pos + int(record.removed.size()));
}

void TextEdit::applyRedo(const UndoRecord& record) {
    const int pos = std::clamp(record.position, 0, length());
    eraseRange(pos, pos + int(record.removed.size()));
    insertAt(pos, record.inserted.data(), record.inserted.size());
    collapseAt(pos + int(record.inserted.size()));
}

// One step takes back a run of insertions up to the last removal; a removal is taken back
// on its own.
void TextEdit::undo() {
    bool applied = false;
    while (!undo_.empty()) {
        const bool removal = !undo_.back().removed.empty();
        if (removal && applied)
            break;
        UndoRecord record = std::move(undo_.back());
        undo_.pop_back();
        applyUndo(record);
        redo_.push_back(std::move(record));
        applied = true;
        if (removal)
            break;
    }
    caretHidden_ = false;
    needsRedraw = 1;
}

void TextEdit::redo() {
    bool applied = false;
    while (!redo_.empty()) {
        const bool removal = !redo_.back().removed.empty();
        if (removal && applied)
            break;
        UndoRecord record = std::move(redo_.back());
        redo_.pop_back();
        applyRedo(record);
        undo_.push_back(std::move(record));
        applied = true;
        if (removal)
            break;
    }
    caretHidden_ = false;
    needsRedraw = 1;
}

int TextEdit::findWordBoundary(int from, int direction) const {
    const int n = length();
    if (direction > 0) {
        for (int i = std::max(from, 0); i < n; ++i)
            if (isWordBoundary(text_[std::size_t(i)]))
                return std::clamp(i + 1, 0, n);
        return n;
    }
    for (int i = std::min(from - 2, n - 1); i >= 0; --i)
        if (isWordBoundary(text_[std::size_t(i)]))
            return std::clamp(i + 1, 0, n);
    return 0;
}

void TextEdit::selectWordAt(int x) {
    const int i = indexAt(x);
    if (i < 0)
        return;
    const int n = length();
    int end = n;
    for (int k = i; k < n; ++k)
        if (isWordBoundary(text_[std::size_t(k)])) {
            end = k + 1;
            break;
        }
    int start = 0;
    for (int k = std::min(end - 2, n - 1); k >= 0; --k)
        if (isWordBoundary(text_[std::size_t(k)])) {
            start = k + 1;
            break;
        }
    selectionStart_ = start;
    selectionEnd_ = end;
    // The caret stays hidden until the next key or press; the cursor sits at the moving end.
    cursor_ = end;
    caretHidden_ = true;
    needsRedraw = 1;
}

// ---------------------------------------------------------------------------------------------
// Measuring and scrolling

int TextEdit::toLogical(long long pixels) const {
    const float scale = gui_ ? gui_->uiScale() : 1.0f;
    return int(float(pixels) / scale);
}

int TextEdit::charAdvance(std::uint32_t codePoint) {
    if (!font_)
        return 0;
    if (password_)
        return font_->getGlyph(kBullet).advance();
    if (isBlank(codePoint)) {
        FontMetrics metrics;
        font_->getMetrics(metrics);
        return metrics.spaceAdvance;
    }
    return font_->getGlyph(codePoint).advance();
}

int TextEdit::rangeWidth(int first, int last, bool divided) {
    long long sum = 0;
    const int end = std::min(last, length() - 1);
    for (int i = std::max(first, 0); i <= end; ++i)
        sum += charAdvance(text_[std::size_t(i)]);
    return divided ? toLogical(sum) : int(sum);
}

int TextEdit::textLeft() const {
    return x + leftInset_ + border_ + innerPadding_;
}

int TextEdit::indexAt(int px) {
    if (px < x + leftInset_)
        return -1;
    if (text_.empty())
        return 0;
    const int first = std::clamp(firstVisible_, 0, length() - 1);
    const int last = std::min(lastVisible_, length() - 1);
    const int right = rangeWidth(first, last, true) + innerPadding_ + border_ + x + leftInset_;
    long long sum = 0;
    for (int i = last; i >= first; --i) {
        sum += charAdvance(text_[std::size_t(i)]);
        if (px > right - toLogical(sum))
            return i + 1;
    }
    // Left of the first visible code point: the start of the visible window.
    return first;
}

void TextEdit::setCursorAt(int px) {
    const int i = indexAt(px);
    if (i == -1)
        return;
    collapseAt(i);
    clampPositions();
    needsRedraw = 1;
}

void TextEdit::dragSelectTo(int px) {
    const int i = indexAt(px);
    const int n = length();
    if (i == -1 && selectionEnd_ != 0) {
        extendTo(selectionEnd_ - 1);
    } else if (i == lastVisible_ + 1 && selectionEnd_ != n) {
        extendTo(selectionEnd_ + 1);
    } else if (i >= 0 && i != selectionEnd_) {
        extendTo(i);
    }
    clampPositions();
    needsRedraw = 1;
}

// The window's width is kept as a running sum of device-pixel advances while its ends move,
// so a scroll costs time in proportion to how far the window travels, not to its length
// times the travel.
bool TextEdit::updateScroll() {
    const int oldFirst = firstVisible_;
    const int oldLast = lastVisible_;
    const int available = std::max(0, width - 2 * (border_ + innerPadding_) - leftInset_);
    const int n = length();
    const int maxIndex = std::max(0, n - 1);
    firstVisible_ = std::clamp(firstVisible_, 0, maxIndex);
    lastVisible_ = std::clamp(lastVisible_, 0, maxIndex);
    int& first = firstVisible_;
    int& last = lastVisible_;

    auto advanceAt = [&](int i) -> long long {
        return (i >= 0 && i < n) ? charAdvance(text_[std::size_t(i)]) : 0;
    };
    long long sum = 0;
    auto fits = [&]() { return toLogical(sum) <= available; };
    auto shrinkLast = [&]() {
        while (!fits() && last >= first) {
            sum -= advanceAt(last);
            --last;
        }
    };

    if (cursor_ >= 0 && cursor_ < first) {
        first = cursor_;
        sum = rangeWidth(first, last, false);
        shrinkLast();
    } else if (cursor_ > last) {
        last = cursor_ - 1;
        sum = rangeWidth(first, last, false);
        while (!fits() && first <= last) {
            sum -= advanceAt(first);
            ++first;
        }
    } else {
        sum = rangeWidth(first, last, false);
        if (previousCursor_ <= cursor_) {
            shrinkLast();
            while (last < n - 1 && fits()) {
                ++last;
                sum += advanceAt(last);
            }
        }
    }
    shrinkLast();

    previousCursor_ = cursor_;
    if (!enabled)
        selectionStart_ = selectionEnd_ = 0;
    return first != oldFirst || last != oldLast;
}

// ---------------------------------------------------------------------------------------------
// Input

bool TextEdit::isDoubleClick(int px, int py) {
    const std::int64_t now = wallClock_();
    if (clickArmed_ && std::abs(px - lastPressX_) < 3 && std::abs(py - lastPressY_) < 3 &&
        (now - lastPressTime_) / 1000 < 1000) {
        clickArmed_ = 0;
        return true;
    }
    lastPressX_ = px;
    lastPressY_ = py;
    lastPressTime_ = now;
    clickArmed_ = 1;
    return false;
}

bool TextEdit::onMouseDown(int button, int px, int py) {
    if (button == 0) {
        if (gui_ && !gui_->isCaptured(this)) {
            selecting_ = 1;
            gui_->setCapture(this);
            needsRedraw = 1;
        }
        caretHidden_ = false;
        if (isDoubleClick(px, py)) {
            selecting_ = 0;
            selectWordAt(px);
        } else {
            const int i = indexAt(px);
            if (i != -1)
                collapseAt(i);
        }
        needsRedraw = 1;
    } else if (button == 2 && gui_) {
        // Input runs on the main thread while widgets are otherwise built by the render thread.
        PlayerGUILock lock(gui_);
        menu_ = new PopMenu(gui_, this, px, py, selectionStart_, selectionEnd_, cursor_);
    }
    return true;
}

bool TextEdit::onMouseMove(int px, int) {
    if (selecting_) {
        dragSelectTo(px);
        needsRedraw = 1;
    }
    return true;
}

bool TextEdit::onMouseUp(int button, int, int) {
    if (button == 0 && gui_ && gui_->isCaptured(this)) {
        selecting_ = 0;
        gui_->setCapture(nullptr);
        needsRedraw = 1;
    }
    return true;
}

void TextEdit::onMouseEnter() {
    if (gui_ && gui_->context())
        gui_->context()->setCursorShape(1);
    needsRedraw = 1;
}

void TextEdit::onMouseLeave() {
    if (gui_ && gui_->context())
        gui_->context()->setCursorShape(0);
    needsRedraw = 1;
}

void TextEdit::onFocus() {
    needsRedraw = 1;
}

void TextEdit::onBlur() {
    selecting_ = 0;
    cursor_ = selectionStart_ = selectionEnd_ = 0;
    needsRedraw = 1;
}

bool TextEdit::onKeyDown(int key, int, int modBits) {
    const int mods = modBits & kModMask;
    const int n = length();
    caretHidden_ = false;
    clampPositions();
    switch (key) {
    case GLFW_KEY_HOME:
        if (mods == 0)
            collapseAt(0);
        else if (mods == kModShift)
            extendTo(0);
        break;
    case GLFW_KEY_END:
        if (mods == 0)
            collapseAt(n);
        else if (mods == kModShift)
            extendTo(n);
        break;
    case GLFW_KEY_LEFT:
        if (mods == 0)
            collapseAt(cursor_ - 1);
        else if (mods == kModShift)
            extendTo(cursor_ - 1);
        else if (mods == kModCtrl)
            collapseAt(findWordBoundary(cursor_, -1));
        else if (mods == (kModCtrl | kModShift))
            extendTo(findWordBoundary(cursor_, -1));
        break;
    case GLFW_KEY_RIGHT:
        if (mods == 0)
            collapseAt(cursor_ + 1);
        else if (mods == kModShift)
            extendTo(cursor_ + 1);
        else if (mods == kModCtrl)
            collapseAt(findWordBoundary(cursor_, 1));
        else if (mods == (kModCtrl | kModShift))
            extendTo(findWordBoundary(cursor_, 1));
        break;
    case GLFW_KEY_BACKSPACE:
        if (mods == 0)
            erase(EraseBackward);
        else if (mods == kModAlt)
            undo();
        break;
    case GLFW_KEY_DELETE:
        if (mods == 0)
            erase(EraseForward);
        break;
    case GLFW_KEY_A:
        if (mods == kModCtrl)
            selectAll();
        break;
    case GLFW_KEY_C:
        if (mods == kModCtrl)
            copy();
        break;
    case GLFW_KEY_X:
        if (mods == kModCtrl)
            cut();
        break;
    case GLFW_KEY_V:
        if (mods == kModCtrl)
            paste();
        break;
    case GLFW_KEY_H:
        if (mods == kModCtrl)
            erase(EraseBackward);
        break;
    case GLFW_KEY_Z:
        if (mods == kModCtrl)
            undo();
        else if (mods == (kModCtrl | kModShift))
            redo();
        break;
    default:
        break;
    }
    clampPositions();
    needsRedraw = 1;
    return true;
}

bool TextEdit::onKeyUp(int, int, int) {
    return true;
}

// ---------------------------------------------------------------------------------------------
// Drawing

int TextEdit::textTop() {
    if (!font_)
        return y + height / 2;
    const Glyph h = font_->getGlyph('H');
    return y + height / 2 - int(float(h.height) / h.scale);
}

bool TextEdit::tick(double seconds) {
    if (gui_ && gui_->focused() == this) {
        const long long ms = (long long)(seconds * 1000.0);
        const unsigned char on = (ms / 600) % 2 == 0 ? 1 : 0;
        if (on != caretOn_) {
            caretOn_ = on;
            needsRedraw = 1;
            return true;
        }
    }
    return needsRedraw != 0;
}

void TextEdit::draw(AbstractGraphicsContext* context) {
    if (!visible || !gui_)
        return;
    updateScroll();
    context->setColor(0xffffffff);
    drawButtonFrame(context, x, y, width, height, selecting_ != 0, gui_->hovered() == this);
    if (!font_)
        return;

    const int left = textLeft();
    const int top = textTop();
    const int n = length();
    const int first = firstVisible_;
    const int last = std::min(lastVisible_, n - 1);
    const int selLo = std::min(selectionStart_, selectionEnd_);
    const int selHi = std::max(selectionStart_, selectionEnd_);

    if (hasSelection()) {
        int selLeft = left;
        int selRight = left;
        for (int i = first; i <= last; ++i) {
            const int step = toLogical(charAdvance(text_[std::size_t(i)]));
            if (i < selLo)
                selLeft += step;
            if (i < selHi)
                selRight += step;
        }
        const int band = top - y;
        if (selRight > selLeft)
            gui_->drawTextSelection(context, selLeft, y + band / 2, selRight - selLeft, height - band);
    }

    FontMetrics metrics;
    font_->getMetrics(metrics);
    const std::uint32_t normal = colour_.value();
    const std::uint32_t inverted = normal ^ 0x00ffffffu;
    long long pen = 0;
    for (int i = first; i <= last; ++i) {
        const std::uint32_t cp = text_[std::size_t(i)];
        if (!password_ && isBlank(cp)) {
            pen += metrics.spaceAdvance;
            continue;
        }
        const Glyph g = font_->getPlacedGlyph(password_ ? kBullet : cp, context);
        int bearing = int(float(g.leftBearing) / g.scale);
        if (bearing == 0 && g.leftBearing != 0)
            bearing = 1;
        context->setTextColor(i >= selLo && i < selHi ? inverted : normal);
        context->drawGlyph(font_, left + toLogical(pen) + bearing, top, g.height, g, nullptr);
        pen += g.advance();
    }
    drawCaret(context, left);
}

void TextEdit::drawCaret(AbstractGraphicsContext* context, int left) {
    if (!caretVisible())
        return;
    const int caretX = left + rangeWidth(firstVisible_, std::min(cursor_ - 1, lastVisible_), true);
    gui_->drawTextCursor(context, caretX, y + 2, 1, height - 4);
}
