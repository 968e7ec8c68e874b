#include "gui/TableButton.h"

#include "gui/PlayerGUI.h"

TableButton::TableButton(PlayerGUI* gui, unsigned columns, unsigned rows) : Table(gui, columns, rows) {}

bool TableButton::hitTest(int px, int py) {
    for (unsigned r = 0; r < rows_; ++r) {
        for (unsigned c = 0; c < columns_; ++c) {
            const Rect cell = getCellRect(c, r);
            if (px >= cell.x && py >= cell.y && px <= cell.x + cell.width && py <= cell.y + cell.height)
                return true;
        }
    }
    return false;
}

void TableButton::setPressed(bool value) {
    if (!pressReporting || value == (pressed_ != 0))
        return;
    pressed_ = value ? 1 : 0;
    onPressChanged(value);
}

bool TableButton::onMouseDown(int button, int, int) {
    if (button != 0 || gui_->isCaptured(this))
        return false;
    gui_->setCapture(this);
    needsRedraw = 1;
    if (pressReporting && !pressed_) {
        pressed_ = 1;
        onPressChanged(true);
    }
    return true;
}

bool TableButton::onMouseMove(int px, int py) {
    if (!gui_->isCaptured(this))
        return false;
    needsRedraw = 1;
    const bool inside = hitTest(px, py);
    if (pressReporting && inside != (pressed_ != 0)) {
        pressed_ = inside ? 1 : 0;
        onPressChanged(inside);
    }
    return true;
}

bool TableButton::onMouseUp(int button, int, int) {
    if (button != 0 || !gui_->isCaptured(this))
        return false;
    gui_->setCapture(nullptr);
    needsRedraw = 1;
    if (pressed_ && pressReporting) {
        pressed_ = 0;
        onPressChanged(false);
    }
    return true;
}

void TableButton::onMouseEnter() {
    needsRedraw = 1;
    onHoverChanged(hoverValue != 0);
}

void TableButton::onMouseLeave() {
    needsRedraw = 1;
    onHoverChanged(false);
}

void TableButton::onBlur() {
    if (gui_->isCaptured(this))
        gui_->setCapture(nullptr);
    needsRedraw = 1;
    if (pressed_ && pressReporting) {
        pressed_ = 0;
        onPressChanged(false);
    }
}

bool TableButton::isActivationKey(int key) const {
    return gui_->focused() == this && enabled && (key == 32 || key == 257);
}

bool TableButton::onKeyDown(int key, int, int) {
    if (!isActivationKey(key))
        return false;
    gui_->setFocus(this, 1);
    needsRedraw = 1;
    if (!pressed_ && pressReporting) {
        pressed_ = 1;
        onPressChanged(true);
    }
    return true;
}

bool TableButton::onKeyUp(int key, int, int) {
    if (!isActivationKey(key))
        return false;
    needsRedraw = 1;
    if (pressed_ && pressReporting) {
        pressed_ = 0;
        onPressChanged(false);
    }
    return true;
}
