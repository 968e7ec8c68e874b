#include "stream/gamepad/JoystickDevice.h"

bool JoystickDevice::setState(const GamepadState& state) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (state == accepted_) return false;
    if (!onState(state)) return false;
    accepted_ = state;
    return true;
}

GamepadState JoystickDevice::acceptedState() {
    std::lock_guard<std::mutex> lock(mutex_);
    return accepted_;
}
