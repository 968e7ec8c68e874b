#include "gui/FramingAnimation.h"

#include "gui/ImageButton.h"
#include "gui/PlayerGUI.h"

FramingAnimation::FramingAnimation(PlayerGUI* gui) : Widget(gui) {}

FramingAnimation::~FramingAnimation() = default;

void FramingAnimation::start(bool loop) {
    if (frames_.empty())
        loadFrames();
    loop_ = loop;
    // Without frames there is nothing to play: the animation stays idle.
    playing_ = !frames_.empty();
}

void FramingAnimation::showFrame(const Frame& f) {
    child_->setSurface(f.surface);
    child_->setImages(f.x, f.y, f.width, f.height, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
}

bool FramingAnimation::tick(double seconds) {
    if (!visible)
        return false;
    if (playing_ && !frames_.empty()) {
        const double now = seconds * 1000.0;
        if (!child_) {
            lastChange_ = now;
            current_ = 0;
            const Frame& f = frames_.front();
            const ImageButton::State none{-1, -1, -1, -1, f.surface};
            child_ = std::make_shared<ImageButton>(gui_, commandId, ImageButton::State{f.x, f.y, f.width, f.height,
                                                                                       f.surface},
                                                   none, none, none);
            child_->z = z;
            child_->propagateZOrder();
        }
        if (now - lastChange_ < interval_)
            return true;
        lastChange_ = now;
        if (current_ + 1 >= frames_.size()) {
            if (!loop_) {
                // The last frame stays until the next tick.
                playing_ = false;
                return false;
            }
            current_ = 0;
        } else {
            ++current_;
        }
        showFrame(frames_[current_]);
        return true;
    }
    if (child_) {
        child_.reset();
        loop_ = false;
    }
    return false;
}

bool FramingAnimation::arrange(AbstractGraphicsContext*) {
    if (!child_)
        return false;
    child_->setY(y);
    child_->setX(x);
    width = child_->width;
    height = child_->height;
    return true;
}

void FramingAnimation::onVisibilityChanged() {
    if (child_)
        gui_->setVisible(child_.get(), visible != 0);
}
