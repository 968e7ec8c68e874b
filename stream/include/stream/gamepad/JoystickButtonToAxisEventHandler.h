#pragma once
// A physical button holds one target axis at one value while pressed and at another while
// released. Text form "B2A:<target>:<released>:<pressed>" (the released value first).

#include "stream/gamepad/IJoystickButtonEventHandler.h"

class JoystickButtonToAxisEventHandler : public IJoystickButtonEventHandler {
public:
    JoystickButtonToAxisEventHandler() = default;
    JoystickButtonToAxisEventHandler(int target, float pressed, float released)
        : targetAxis(target), pressedValue(pressed), releasedValue(released) {}

    // A target outside 0-15 changes nothing.
    bool handle(GamepadState& state, bool pressed) override;
    std::string serialize() override;
    void deserialize(const std::string& text) override;

    int targetAxis = 0;
    float pressedValue = 0;
    float releasedValue = 0;
};
