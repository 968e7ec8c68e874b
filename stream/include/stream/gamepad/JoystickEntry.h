#pragma once
// One connected joystick as the gamepad manager keeps it.

#include <memory>
#include <string>
#include <vector>

#include "stream/session/GamepadState.h"
#include "stream/gamepad/IJoystickAxisEventHandler.h"
#include "stream/gamepad/IJoystickButtonEventHandler.h"
#include "stream/gamepad/JoystickReading.h"

class InterfaceJoystickInputDevice;

struct JoystickEntry {
    int joystickId = 0;         // the source's id (0-14)
    std::string name;           // as the source reports it; empty when it gives none
    JoystickReading baseline;   // what detection compares against
    JoystickReading previous;   // what changes are found against
    // One slot per physical control, sized from the first reading; a slot may be empty.
    std::vector<std::shared_ptr<IJoystickButtonEventHandler>> buttonHandlers;
    std::vector<std::shared_ptr<IJoystickAxisEventHandler>> axisHandlers;
    InterfaceJoystickInputDevice* device = nullptr;  // not owned
    int deviceId = 0;
    // The mapped state; it starts at rest (sticks 128, triggers 0, no buttons).
    GamepadState state = GamepadState::neutral();
};
