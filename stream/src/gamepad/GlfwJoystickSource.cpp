#include "stream/gamepad/GlfwJoystickSource.h"

#include <GLFW/glfw3.h>

GlfwJoystickSource::Calls GlfwJoystickSource::glfwCalls() {
    return {&glfwJoystickPresent, &glfwGetJoystickName,  &glfwJoystickIsGamepad,
            &glfwGetGamepadState, &glfwGetJoystickAxes, &glfwGetJoystickButtons};
}

GlfwJoystickSource& GlfwJoystickSource::instance() {
    static GlfwJoystickSource source;
    return source;
}

bool GlfwJoystickSource::present(int joystickId) { return calls_.present(joystickId) == GLFW_TRUE; }

std::string GlfwJoystickSource::name(int joystickId) {
    const char* n = calls_.name(joystickId);
    return n ? std::string(n) : std::string();
}

void GlfwJoystickSource::read(int joystickId, JoystickReading& out) {
    GLFWgamepadstate pad;
    if (calls_.isGamepad(joystickId) && calls_.gamepadState(joystickId, &pad)) {
        static constexpr int kButtons[kGamepadButtons] = {
            GLFW_GAMEPAD_BUTTON_A,          GLFW_GAMEPAD_BUTTON_B,           GLFW_GAMEPAD_BUTTON_X,
            GLFW_GAMEPAD_BUTTON_Y,          GLFW_GAMEPAD_BUTTON_LEFT_BUMPER, GLFW_GAMEPAD_BUTTON_RIGHT_BUMPER,
            GLFW_GAMEPAD_BUTTON_BACK,       GLFW_GAMEPAD_BUTTON_START,       GLFW_GAMEPAD_BUTTON_LEFT_THUMB,
            GLFW_GAMEPAD_BUTTON_RIGHT_THUMB, GLFW_GAMEPAD_BUTTON_DPAD_UP,    GLFW_GAMEPAD_BUTTON_DPAD_RIGHT,
            GLFW_GAMEPAD_BUTTON_DPAD_DOWN,  GLFW_GAMEPAD_BUTTON_DPAD_LEFT};
        static constexpr int kAxes[kGamepadAxes] = {
            GLFW_GAMEPAD_AXIS_LEFT_X,  GLFW_GAMEPAD_AXIS_LEFT_Y,       GLFW_GAMEPAD_AXIS_RIGHT_X,
            GLFW_GAMEPAD_AXIS_RIGHT_Y, GLFW_GAMEPAD_AXIS_LEFT_TRIGGER, GLFW_GAMEPAD_AXIS_RIGHT_TRIGGER};
        out.buttons.resize(kGamepadButtons);
        out.axes.resize(kGamepadAxes);
        for (int i = 0; i < kGamepadButtons; ++i) out.buttons[i] = pad.buttons[kButtons[i]] ? 1 : 0;
        for (int i = 0; i < kGamepadAxes; ++i) out.axes[i] = pad.axes[kAxes[i]];
        // GLFW reports a stick pushed up as -1; the default mapping inverts the Y axes of
        // a pad whose sticks read positive upwards.
        out.axes[1] = -out.axes[1];
        out.axes[3] = -out.axes[3];
        return;
    }
    int axisCount = 0;
    int buttonCount = 0;
    const float* axes = calls_.axes(joystickId, &axisCount);
    const unsigned char* buttons = calls_.buttons(joystickId, &buttonCount);
    if (!axes) axisCount = 0;
    if (!buttons) buttonCount = 0;
    out.axes.assign(axes, axes + axisCount);
    out.buttons.assign(buttons, buttons + buttonCount);
}
