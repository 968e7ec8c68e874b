#pragma once
// A physical axis split in halves: the negative half drives one target axis, the positive
// half another, each from 0 at the centre to 255 at its end. Text form "A2T:<negative>:<positive>".

#include "stream/gamepad/IJoystickAxisEventHandler.h"

class JoystickAxisTo2AxisEventHandler : public IJoystickAxisEventHandler {
public:
    JoystickAxisTo2AxisEventHandler() = default;
    JoystickAxisTo2AxisEventHandler(int negative, int positive) : negativeTarget(negative), positiveTarget(positive) {}

    // A target outside 0-15 is not written.
    bool handle(GamepadState& state, float value) override;
    std::string serialize() override;
    void deserialize(const std::string& text) override;

    int negativeTarget = 0;
    int positiveTarget = 0;
};
