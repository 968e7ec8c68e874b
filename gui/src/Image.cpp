#include "gui/Image.h"

#include "gui/AbstractGraphicsContext.h"
#include "gui/GUITasks.h"
#include "gui/PlayerGUI.h"

Image::Image(PlayerGUI* gui, AbstractSurface* surface, std::shared_ptr<PlayerGUITask> clickTask)
    : Widget(gui), surface_(surface), clickTask_(std::move(clickTask)) {
    takeSurfaceSize();
    focusable = 0;
    needsRedraw = 1;
}

void Image::takeSurfaceSize() {
    width = surface_ ? surface_->imageWidth() : 0;
    height = surface_ ? surface_->imageHeight() : 0;
}

void Image::setScale(float factor) {
    width = surface_ ? int(float(surface_->imageWidth()) * factor) : 0;
    height = surface_ ? int(float(surface_->imageHeight()) * factor) : 0;
}

void Image::setRotating(float speed, float interval) {
    speed_ = speed;
    interval_ = interval;
    takeSurfaceSize();
    mode_ = ModeRotating;
    needsRedraw = 1;
}

void Image::setStill() {
    mode_ = ModeStill;
    takeSurfaceSize();
    angle_ = 0.0f;
    interval_ = 9999.0f;
    needsRedraw = 1;
}

void Image::setFullWindow() {
    mode_ = ModeFullWindow;
    needsRedraw = 1;
}

bool Image::tick(double seconds) {
    const float t = float(seconds);
    if (t - lastUpdate_ > interval_) {
        lastUpdate_ = t;
        angle_ = speed_ * t;
        needsRedraw = 1;
        return true;
    }
    return visible && needsRedraw;
}

void Image::draw(AbstractGraphicsContext* context) {
    context->setColor(0xffffffffu);
    if (!surface_)
        return;
    const int sw = surface_->imageWidth(), sh = surface_->imageHeight();
    switch (mode_) {
        case ModeStill:
            surface_->draw(x, y, width, height, 0, 0, sw, sh);
            break;
        case ModeFullWindow: {
            int w = 0, h = 0;
            context->getLogicalSize(&w, &h);
            surface_->draw(0, 0, w, h, 0, 0, sw, sh);
            break;
        }
        case ModeRotating:
            surface_->draw(x, y, width, height, 0, 0, sw, sh, angle_);
            break;
        default:
            break;
    }
}

void Image::onBlur() {
    pressed_ = 0;
    if (gui_->isCaptured(this))
        gui_->setCapture(nullptr);
}

bool Image::onMouseDown(int button, int, int) {
    if (button != 0 || gui_->isCaptured(this))
        return false;
    pressed_ = 1;
    gui_->setCapture(this);
    return true;
}

bool Image::onMouseMove(int px, int py) {
    if (!gui_->isCaptured(this))
        return false;
    pressed_ = hitTest(px, py) ? 1 : 0;
    return true;
}

bool Image::onMouseUp(int button, int, int) {
    if (!gui_->isCaptured(this) || button != 0)
        return false;
    const bool wasPressed = pressed_ != 0;
    pressed_ = 0;
    PlayerGUI* gui = gui_;
    std::shared_ptr<TaskBase> task = clickTask_;
    gui->setCapture(nullptr);
    if (wasPressed)
        gui->runTask(task);  // may destroy this image: nothing after it
    return true;
}

void Image::onMouseEnter() {
    if (clickTask_ && gui_->context())
        gui_->context()->setCursorShape(2);
}

void Image::onMouseLeave() {
    if (clickTask_ && gui_->context())
        gui_->context()->setCursorShape(0);
}
