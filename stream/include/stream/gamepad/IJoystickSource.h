#pragma once
// Where the gamepad manager gets its joysticks from: GLFW in the program, a scripted
// source in tests. Called on the main thread only.

#include <string>

#include "stream/gamepad/JoystickReading.h"

class IJoystickSource {
public:
    virtual ~IJoystickSource() = default;
    virtual bool present(int joystickId) = 0;
    // The device name; empty when there is none.
    virtual std::string name(int joystickId) = 0;
    // Fills out with the joystick's current axes and buttons (both empty when it has none
    // or is gone). Resizing keeps out's storage, so a steady reading allocates nothing.
    virtual void read(int joystickId, JoystickReading& out) = 0;
};
