#pragma once
// Joysticks as GLFW reports them. GLFW must be initialised and the calls made on the
// main thread.
//
// A joystick that GLFW recognises as a gamepad is read through GLFW's gamepad API and
// presented in the layout the built-in default mapping is made for: 14 buttons (A, B, X, Y,
// left and right shoulder, back, start, left and right stick, d-pad up, right, down, left)
// and 6 axes (left X, left Y, right X, right Y, left and right trigger, the triggers -1 at
// rest), the sticks positive to the right and up. Other joysticks are read raw, their
// d-pad hats as buttons.

#include "stream/gamepad/IJoystickSource.h"

struct GLFWgamepadstate;

class GlfwJoystickSource : public IJoystickSource {
public:
    // The GLFW functions the source calls; tests put a scripted pad behind them.
    struct Calls {
        int (*present)(int joystickId);
        const char* (*name)(int joystickId);
        int (*isGamepad)(int joystickId);
        int (*gamepadState)(int joystickId, GLFWgamepadstate* state);
        const float* (*axes)(int joystickId, int* count);
        const unsigned char* (*buttons)(int joystickId, int* count);
    };
    // GLFW's own functions.
    static Calls glfwCalls();

    // The source over GLFW's own functions.
    static GlfwJoystickSource& instance();

    explicit GlfwJoystickSource(const Calls& calls = glfwCalls()) : calls_(calls) {}

    bool present(int joystickId) override;
    std::string name(int joystickId) override;
    void read(int joystickId, JoystickReading& out) override;

    static constexpr int kGamepadButtons = 14;
    static constexpr int kGamepadAxes = 6;

private:
    Calls calls_;
};
