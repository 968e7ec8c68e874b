#include "platform/KeyboardGrab.h"

#include <X11/Xlib.h>

namespace platform {
namespace {

class X11KeyboardGrab : public IKeyboardGrab {
public:
    X11KeyboardGrab(Display* display, Window window) : display_(display), window_(window) {}
    ~X11KeyboardGrab() override { release(); }

    bool grab() override {
        if (grabbed_) return true;
        if (!display_ || !window_) return false;
        grabbed_ = XGrabKeyboard(display_, window_, True, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess;
        XFlush(display_);
        return grabbed_;
    }

    void release() override {
        if (!grabbed_) return;
        XUngrabKeyboard(display_, CurrentTime);
        // A round trip: the keyboard is free for other clients when this returns.
        XSync(display_, False);
        grabbed_ = false;
    }

    bool isGrabbed() const override { return grabbed_; }

private:
    Display* display_;
    Window window_;
    bool grabbed_ = false;
};

}  // namespace

std::unique_ptr<IKeyboardGrab> makeX11KeyboardGrab(void* display, unsigned long window) {
    return std::make_unique<X11KeyboardGrab>(static_cast<Display*>(display), static_cast<Window>(window));
}

}  // namespace platform
