#pragma once
// A physical axis as two buttons: beyond +0.75 one target bit is set, beyond -0.75 the
// other. Text form "A22B:<positive>:<negative>".

#include "stream/gamepad/IJoystickAxisEventHandler.h"

class JoystickAxisTo2ButtonsEventHandler : public IJoystickAxisEventHandler {
public:
    JoystickAxisTo2ButtonsEventHandler() = default;
    JoystickAxisTo2ButtonsEventHandler(int positive, int negative) : positiveButton(positive), negativeButton(negative) {}

    // Targets outside 0-63 change nothing.
    bool handle(GamepadState& state, float value) override;
    std::string serialize() override;
    void deserialize(const std::string& text) override;

    int positiveButton = 0;
    int negativeButton = 0;
};
