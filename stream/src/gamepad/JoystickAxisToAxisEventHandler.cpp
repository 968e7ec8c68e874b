#include "stream/gamepad/JoystickAxisToAxisEventHandler.h"

#include "JoystickHandlerText.h"
#include "stream/gamepad/JoystickMappingMath.h"

bool JoystickAxisToAxisEventHandler::handle(GamepadState& state, float value) {
    if (joystick_mapping::validAxis(targetAxis)) {
        const float x = value == 0.0f ? centreValue : centreValue + (centreValue - lowValue) * value;
        state.axes[static_cast<std::size_t>(targetAxis)] = joystick_mapping::axisByte(x);
    }
    return true;
}

std::string JoystickAxisToAxisEventHandler::serialize() {
    std::string text = "A2A:" + std::to_string(targetAxis);
    for (float v : {lowValue, centreValue, highValue}) {
        text += ':';
        joystick_text::appendFixed2(text, v);
    }
    return text;
}

void JoystickAxisToAxisEventHandler::deserialize(const std::string& text) {
    joystick_text::FieldReader in(text, "A2A:");
    in.readInt(targetAxis);
    in.readFloat(lowValue);
    in.readFloat(centreValue);
    in.readFloat(highValue);
}
