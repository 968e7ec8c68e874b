#pragma once
// Joysticks as GLFW reports them. GLFW must be initialised and the calls made on the
// main thread.
//
// A joystick that GLFW recognises as a gamepad is read through GLFW's gamepad API and
// presented in the layout the built-in default mapping is made for: 14 buttons (A, B, X, Y,
// left and right shoulder, back, start, left and right stick, d-pad up, right, down, left)
// and 6 axes (left X, left Y, right X, right Y, left and right trigger, the triggers -1 at
// rest). Other joysticks are read raw, their d-pad hats as buttons.

#include "stream/gamepad/IJoystickSource.h"

class GlfwJoystickSource : public IJoystickSource {
public:
    static GlfwJoystickSource& instance();

    bool present(int joystickId) override;
    std::string name(int joystickId) override;
    void read(int joystickId, JoystickReading& out) override;

    static constexpr int kGamepadButtons = 14;
    static constexpr int kGamepadAxes = 6;
};
