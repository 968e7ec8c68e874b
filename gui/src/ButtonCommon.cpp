#include "gui/ButtonCommon.h"

#include "gui/GUITasks.h"
#include "gui/PlayerGUI.h"

#include <cstdlib>

namespace {

constexpr int kKeySpace = 32;
constexpr int kKeyEnter = 257;

}  // namespace

ButtonCommon::ButtonCommon(PlayerGUI* gui) : Widget(gui) {}

ButtonCommon::~ButtonCommon() { commandTask_.reset(); }

void ButtonCommon::setCommand(int id) { commandTask_ = std::make_shared<GUICommandTask>(id); }

void ButtonCommon::setDown(bool value) {
    down = value ? 1 : 0;
    needsRedraw = 1;
}

void ButtonCommon::setHighlighted(bool value) {
    highlighted = value ? 1 : 0;
    needsRedraw = 1;
}

bool ButtonCommon::takeClicked() {
    const bool was = clicked != 0;
    clicked = 0;
    return was;
}

void ButtonCommon::setX(int value) {
    x = value;
    dragX = value;
    lastPointerX = value;
}

void ButtonCommon::setY(int value) {
    y = value;
    dragY = value;
    lastPointerY = value;
}

void ButtonCommon::onClick() {
    // Copies keep the task and the GUI at hand even when the command destroys this button.
    PlayerGUI* gui = gui_;
    std::shared_ptr<TaskBase> task = commandTask_;
    if (gui && task)
        gui->runTask(task);
}

bool ButtonCommon::onMouseDown(int button, int px, int py) {
    if (gui_->isCaptured(this) || button != 0)
        return true;
    clicked = 0;
    lastPointerX = px;
    lastPointerY = py;
    down = 1;
    needsRedraw = 1;
    gui_->setCapture(this);
    return true;
}

bool ButtonCommon::onMouseMove(int px, int py) {
    if (!gui_->isCaptured(this))
        return true;
    if (!draggable)
        down = hitTest(px, py) ? 1 : 0;
    else
        dragTo(px, py);
    lastPointerX = px;
    lastPointerY = py;
    needsRedraw = 1;
    return true;
}

void ButtonCommon::dragTo(int px, int py) {
    horizontalAlign = 0;
    verticalAlign = 0;
    if (dragX == -1)
        dragX = x;
    if (dragY == -1)
        dragY = y;
    int windowWidth = 0, windowHeight = 0;
    gui_->getSize(&windowWidth, &windowHeight);
    int nx = dragX + px - lastPointerX;
    int ny = dragY + py - lastPointerY;
    if (nx < 0)
        nx = 0;
    if (nx > windowWidth - width)
        nx = windowWidth - width;
    if (ny < 0)
        ny = 0;
    if (ny > windowHeight - height)
        ny = windowHeight - height;
    if (std::abs(nx - x) > kDragThreshold || std::abs(ny - y) > kDragThreshold) {
        // Past the threshold the press is a drag and no longer a click.
        down = 0;
        const bool inZone = nx >= snapZoneX && ny >= snapZoneY && nx + width <= snapZoneX + snapZoneWidth &&
                            ny + height <= snapZoneY + snapZoneHeight;
        if (snapEnabled && inZone) {
            centerAt(snapX, snapY);
        } else {
            x = nx;
            y = ny;
        }
    }
    dragX = nx;
    dragY = ny;
}

bool ButtonCommon::onMouseUp(int button, int, int) {
    if (!gui_->isCaptured(this) || button != 0)
        return true;
    const bool wasDown = down != 0;
    down = 0;
    needsRedraw = 1;
    gui_->setCapture(nullptr);
    if (wasDown) {
        clicked = 1;
        onClick();  // may destroy this button: nothing after it
    }
    return true;
}

void ButtonCommon::onMouseEnter() {
    highlighted = 1;
    needsRedraw = 1;
}

void ButtonCommon::onMouseLeave() {
    highlighted = 0;
    needsRedraw = 1;
}

void ButtonCommon::onBlur() {
    down = 0;
    if (gui_->isCaptured(this))
        gui_->setCapture(nullptr);
    needsRedraw = 1;
}

bool ButtonCommon::isActivationKey(int key) const {
    return gui_->focused() == this && enabled && (key == kKeySpace || key == kKeyEnter);
}

bool ButtonCommon::onKeyDown(int key, int, int) {
    if (!isActivationKey(key))
        return false;
    gui_->setFocus(this, 1);
    down = 1;
    needsRedraw = 1;
    return true;
}

bool ButtonCommon::onKeyUp(int key, int, int) {
    if (!isActivationKey(key))
        return false;
    down = 0;
    if (draggable) {
        dragX = x;
        dragY = y;
    }
    needsRedraw = 1;
    onClick();  // may destroy this button: nothing after it
    return true;
}
