#include "stream/gamepad/JoystickAxisTo2ButtonsEventHandler.h"

#include "JoystickHandlerText.h"
#include "stream/gamepad/JoystickMappingMath.h"

bool JoystickAxisTo2ButtonsEventHandler::handle(GamepadState& state, float value) {
    joystick_mapping::setButton(state.buttons, positiveButton, value > 0.75f);
    joystick_mapping::setButton(state.buttons, negativeButton, value < -0.75f);
    return true;
}

std::string JoystickAxisTo2ButtonsEventHandler::serialize() {
    return "A22B:" + std::to_string(positiveButton) + ":" + std::to_string(negativeButton);
}

void JoystickAxisTo2ButtonsEventHandler::deserialize(const std::string& text) {
    joystick_text::FieldReader in(text, "A22B:");
    in.readInt(positiveButton);
    in.readInt(negativeButton);
}
