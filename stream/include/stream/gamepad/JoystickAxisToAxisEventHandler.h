#pragma once
// A physical axis drives one target axis, straight or inverted.
// Text form "A2A:<target>:<low>:<centre>:<high>".
//
// The output is centre + (centre - low) * v (exactly centre when v is 0): with the values
// (-1, 0, 1) it follows the physical axis, with (1, 0, -1) it is inverted. The high value
// is kept and written back but does not enter the result.

#include "stream/gamepad/IJoystickAxisEventHandler.h"

class JoystickAxisToAxisEventHandler : public IJoystickAxisEventHandler {
public:
    JoystickAxisToAxisEventHandler() = default;
    JoystickAxisToAxisEventHandler(int target, float low, float centre, float high)
        : targetAxis(target), lowValue(low), centreValue(centre), highValue(high) {}

    // A target outside 0-15 changes nothing.
    bool handle(GamepadState& state, float value) override;
    std::string serialize() override;
    void deserialize(const std::string& text) override;

    int targetAxis = 0;
    float lowValue = 0;
    float centreValue = 0;
    float highValue = 0;
};
