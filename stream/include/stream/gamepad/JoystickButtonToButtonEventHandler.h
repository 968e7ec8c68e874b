#pragma once
// A physical button drives one target button bit. Text form "B2B:<target>".

#include "stream/gamepad/IJoystickButtonEventHandler.h"

class JoystickButtonToButtonEventHandler : public IJoystickButtonEventHandler {
public:
    explicit JoystickButtonToButtonEventHandler(int target = 0) : targetButton(target) {}

    // Sets the bit while pressed; a target outside 0-63 changes nothing.
    bool handle(GamepadState& state, bool pressed) override;
    std::string serialize() override;
    void deserialize(const std::string& text) override;

    int targetButton;
};
