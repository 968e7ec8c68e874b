#include "stream/gamepad/JoystickAxisTo2AxisEventHandler.h"

#include "JoystickHandlerText.h"
#include "stream/gamepad/JoystickMappingMath.h"

bool JoystickAxisTo2AxisEventHandler::handle(GamepadState& state, float value) {
    const float a = value < 0.0f ? -2.0f * value - 1.0f : -1.0f;
    const float b = value > 0.0f ? 2.0f * value - 1.0f : -1.0f;
    if (joystick_mapping::validAxis(negativeTarget))
        state.axes[static_cast<std::size_t>(negativeTarget)] = joystick_mapping::axisByte(a);
    if (joystick_mapping::validAxis(positiveTarget))
        state.axes[static_cast<std::size_t>(positiveTarget)] = joystick_mapping::axisByte(b);
    return true;
}

std::string JoystickAxisTo2AxisEventHandler::serialize() {
    return "A2T:" + std::to_string(negativeTarget) + ":" + std::to_string(positiveTarget);
}

void JoystickAxisTo2AxisEventHandler::deserialize(const std::string& text) {
    joystick_text::FieldReader in(text, "A2T:");
    in.readInt(negativeTarget);
    in.readInt(positiveTarget);
}
