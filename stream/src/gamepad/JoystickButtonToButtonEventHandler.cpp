#include "stream/gamepad/JoystickButtonToButtonEventHandler.h"

#include "JoystickHandlerText.h"
#include "stream/gamepad/JoystickMappingMath.h"

bool JoystickButtonToButtonEventHandler::handle(GamepadState& state, bool pressed) {
    joystick_mapping::setButton(state.buttons, targetButton, pressed);
    return true;
}

std::string JoystickButtonToButtonEventHandler::serialize() { return "B2B:" + std::to_string(targetButton); }

void JoystickButtonToButtonEventHandler::deserialize(const std::string& text) {
    joystick_text::FieldReader in(text, "B2B:");
    in.readInt(targetButton);
}
