#pragma once
// Maps one physical gamepad button onto targets of a GamepadState.

#include "stream/session/GamepadState.h"
#include "stream/gamepad/IJoystickSerializable.h"

class IJoystickButtonEventHandler : public IJoystickSerializable {
public:
    // Writes only the handler's own targets; returns true.
    virtual bool handle(GamepadState& state, bool pressed) = 0;
};
