#include "gui/PopMenu.h"

#include "core/Utf8.h"
#include "gui/AbstractGraphicsContext.h"
#include "gui/PlayerGUI.h"
#include "gui/TextEdit.h"

#include <array>
#include <mutex>

namespace {

struct ItemRow {
    int top;     // row top, relative to the menu
    int bottom;  // last line of the pointer band (inclusive)
    char letter;
};

constexpr ItemRow kRows[PopMenu::kItemCount] = {
    {4, 25, 'U'}, {31, 52, 'X'}, {56, 77, 'C'}, {81, 102, 'P'}, {106, 126, 'D'}, {134, 155, 'A'},
};
constexpr int kRowWidth = 226;
constexpr int kRowHeight = 22;
constexpr int kHighlightWidth = 227;
constexpr int kLabelLeft = 34;
constexpr int kHitLeft = 2;
constexpr int kHitRight = 228;
constexpr int kOpenLeftAt = 900;
constexpr int kOpenUpAt = 450;

std::mutex& labelMutex() {
    static std::mutex m;
    return m;
}

std::array<std::string, PopMenu::kItemCount>& labelTable() {
    static std::array<std::string, PopMenu::kItemCount> table;
    return table;
}

}  // namespace

void PopMenu::setLabels(const std::string& undo, const std::string& cut, const std::string& copy,
                        const std::string& paste, const std::string& erase, const std::string& all) {
    std::lock_guard<std::mutex> lock(labelMutex());
    labelTable() = {undo, cut, copy, paste, erase, all};
}

std::vector<std::string> PopMenu::labels() {
    std::lock_guard<std::mutex> lock(labelMutex());
    return std::vector<std::string>(labelTable().begin(), labelTable().end());
}

PopMenu::PopMenu(PlayerGUI* gui, TextEdit* owner, int px, int py, int selectionStart, int selectionEnd, int cursor)
    : Widget(gui), owner_(owner), savedSelectionStart_(selectionStart), savedSelectionEnd_(selectionEnd),
      savedCursor_(cursor) {
    x = px + kWidth >= kOpenLeftAt ? px - kWidth : px;
    y = py + kHeight >= kOpenUpAt ? py - kHeight : py;
    width = kWidth;
    height = kHeight;
    // Above the edit it belongs to (equal z: registered later, so drawn on top).
    if (owner_)
        z = owner_->z;
    if (gui) {
        textEnabled_ = gui->getColor("popupmenu-text-default").value();
        textDisabled_ = gui->getColor("popupmenu-text-disabled").value();
    }
    canPaste_ = gui && gui->getClipboardText() != nullptr ? 1 : 0;
    {
        std::lock_guard<std::mutex> lock(labelMutex());
        for (int i = 0; i < kItemCount; ++i)
            labels_[i] = utf8ToCodePoints(labelTable()[std::size_t(i)]);
    }
    if (gui)
        gui->setFocus(this, false);
}

PopMenu::~PopMenu() {
    if (owner_)
        owner_->onPopMenuClosed(this);
}

int PopMenu::itemAt(int px, int py) const {
    const int rx = px - x;
    const int ry = py - y;
    if (rx < kHitLeft || rx > kHitRight)
        return -1;
    for (int i = 0; i < kItemCount; ++i)
        if (ry >= kRows[i].top && ry <= kRows[i].bottom)
            return i;
    return -1;
}

bool PopMenu::isItemEnabled(int item) const {
    if (!owner_)
        return false;
    switch (item) {
    case ItemUndo:
        return owner_->canUndo();
    case ItemCut:
        return owner_->canCut();
    case ItemCopy:
        return owner_->canCopy();
    case ItemPaste:
        return canPaste_ != 0;
    case ItemDelete:
        return owner_->hasSelection();
    case ItemSelectAll:
        return owner_->canSelectAll();
    default:
        return false;
    }
}

void PopMenu::onFocus() {
    // The edit cleared its selection when it lost the focus to the menu; it stays visible
    // while the menu is open.
    if (owner_)
        owner_->setSelection(savedSelectionStart_, savedSelectionEnd_, savedCursor_);
    needsRedraw = 1;
}

void PopMenu::onBlur() {
    pressed_ = 0;
    if (gui_ && gui_->isCaptured(this))
        gui_->setCapture(nullptr);
    if (!actionDone_ && owner_)
        owner_->setSelection(0, 0, 0);
    delete this;
}

bool PopMenu::onMouseMove(int px, int py) {
    hoverX_ = px;
    hoverY_ = py;
    if (px >= x && py >= y && px < x + width && py < y + height)
        needsRedraw = 1;
    return true;
}

bool PopMenu::onMouseDown(int button, int, int) {
    if (button == 0 && gui_ && !gui_->isCaptured(this)) {
        pressed_ = 1;
        gui_->setCapture(this);
    }
    return true;
}

bool PopMenu::onMouseUp(int button, int px, int py) {
    if (button != 0 || !gui_ || !gui_->isCaptured(this))
        return true;
    const bool wasPressed = pressed_ != 0;
    pressed_ = 0;
    gui_->setCapture(nullptr);
    const int item = itemAt(px, py);
    if (wasPressed && item >= 0 && isItemEnabled(item))
        perform(item);  // the menu is gone now
    return true;
}

bool PopMenu::onChar(unsigned codePoint) {
    unsigned upper = codePoint;
    if (upper >= 'a' && upper <= 'z')
        upper -= 'a' - 'A';
    for (int i = 0; i < kItemCount; ++i)
        if (upper == unsigned(kRows[i].letter)) {
            if (isItemEnabled(i))
                perform(i);  // the menu is gone now
            break;
        }
    return true;
}

void PopMenu::perform(int item) {
    TextEdit* owner = owner_;
    PlayerGUI* gui = gui_;
    if (!owner || !gui)
        return;
    switch (item) {
    case ItemUndo:
        owner->undo();
        break;
    case ItemCut:
        owner->cut();
        break;
    case ItemCopy:
        owner->copy();
        break;
    case ItemPaste:
        owner->paste();
        break;
    case ItemDelete:
        owner->erase(TextEdit::EraseSelectionOnly);
        break;
    case ItemSelectAll:
        owner->selectAll();
        break;
    default:
        break;
    }
    actionDone_ = 1;
    owner->clampPositions();
    // Blurs and deletes this menu: nothing of it may be touched after this call.
    gui->setFocus(owner, false);
}

void PopMenu::draw(AbstractGraphicsContext* context) {
    if (!gui_)
        return;
    context->setColor(0xffffffff);
    gui_->drawPopupMenuBackground(context, x, y, kWidth, kHeight);
    const int hovered = itemAt(hoverX_, hoverY_);
    if (hovered >= 0)
        gui_->drawPopupMenuItem(context, x + kHitLeft, y + kRows[hovered].top, kHighlightWidth, kRowHeight,
                                isItemEnabled(hovered));
    if (!owner_ || !owner_->font())
        return;
    for (int i = 0; i < kItemCount; ++i) {
        if (labels_[i].empty())
            continue;
        context->setTextColor(isItemEnabled(i) ? textEnabled_ : textDisabled_);
        context->drawText(labels_[i], 0, -1, owner_->font(), x + kLabelLeft, y + kRows[i].top, kRowWidth,
                          kRowHeight, 0);
    }
}
