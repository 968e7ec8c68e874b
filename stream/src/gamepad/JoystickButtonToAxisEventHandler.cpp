#include "stream/gamepad/JoystickButtonToAxisEventHandler.h"

#include "JoystickHandlerText.h"
#include "stream/gamepad/JoystickMappingMath.h"

bool JoystickButtonToAxisEventHandler::handle(GamepadState& state, bool pressed) {
    if (joystick_mapping::validAxis(targetAxis)) {
        state.axes[static_cast<std::size_t>(targetAxis)] =
            joystick_mapping::buttonAxisByte(pressed ? pressedValue : releasedValue);
    }
    return true;
}

std::string JoystickButtonToAxisEventHandler::serialize() {
    std::string text = "B2A:" + std::to_string(targetAxis) + ":";
    joystick_text::appendFixed2(text, releasedValue);
    text += ':';
    joystick_text::appendFixed2(text, pressedValue);
    return text;
}

void JoystickButtonToAxisEventHandler::deserialize(const std::string& text) {
    joystick_text::FieldReader in(text, "B2A:");
    in.readInt(targetAxis);
    in.readFloat(releasedValue);
    in.readFloat(pressedValue);
}
