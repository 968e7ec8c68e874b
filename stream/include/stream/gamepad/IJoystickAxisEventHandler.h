#pragma once
// Maps one physical gamepad axis (-1 to 1) onto targets of a GamepadState.

#include "stream/session/GamepadState.h"
#include "stream/gamepad/IJoystickSerializable.h"

class IJoystickAxisEventHandler : public IJoystickSerializable {
public:
    // Writes only the handler's own targets; returns true.
    virtual bool handle(GamepadState& state, float value) = 0;
};
