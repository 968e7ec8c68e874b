#pragma once
// Taking the whole keyboard for one window, so that system key combinations reach the
// window instead of acting on the desktop.

#include <memory>

namespace platform {

class IKeyboardGrab {
public:
    virtual ~IKeyboardGrab() = default;
    // Takes the keyboard for the window; false when the display refused.
    virtual bool grab() = 0;
    // Gives the keyboard back; nothing when it was not taken.
    virtual void release() = 0;
    virtual bool isGrabbed() const = 0;
};

// XGrabKeyboard on an X11 window of an open display (a Display* and a Window id). Keys then
// arrive through the window's normal key events; lock keys keep working in the server.
std::unique_ptr<IKeyboardGrab> makeX11KeyboardGrab(void* display, unsigned long window);

}  // namespace platform
