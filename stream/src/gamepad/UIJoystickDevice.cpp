#include "stream/gamepad/UIJoystickDevice.h"

bool UIJoystickDevice::reset(bool) {
    GamepadState centred;
    centred.axes.fill(128);
    return onState(centred);
}

bool UIJoystickDevice::onState(const GamepadState& state) {
    std::lock_guard<std::mutex> lock(shownMutex_);
    shown_ = state;
    changed_ = true;
    return true;
}

bool UIJoystickDevice::getFeedback(std::uint32_t&) { return false; }

GamepadState UIJoystickDevice::shownState() {
    std::lock_guard<std::mutex> lock(shownMutex_);
    return shown_;
}

bool UIJoystickDevice::takeChanged() {
    std::lock_guard<std::mutex> lock(shownMutex_);
    const bool changed = changed_;
    changed_ = false;
    return changed;
}
