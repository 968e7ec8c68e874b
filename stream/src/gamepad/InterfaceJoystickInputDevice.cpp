#include "stream/gamepad/InterfaceJoystickInputDevice.h"

#include "stream/session/InputAPI.h"
#include "stream/session/SimpleInputInterface.h"

InterfaceJoystickInputDevice::InterfaceJoystickInputDevice(int tag, int joystickId)
    : tag_(tag), joystickId_(joystickId) {}

InterfaceJoystickInputDevice::~InterfaceJoystickInputDevice() { setNotifier(nullptr); }

bool InterfaceJoystickInputDevice::reset(bool pressAll) {
    if (pressAll) setState(GamepadState::allPressed());
    return setState(GamepadState::neutral());
}

// Runs under mutex_ (from setState).
bool InterfaceJoystickInputDevice::onState(const GamepadState& state) {
    if (!session_) return false;
    session_->inputAPI().JoystickStateV2(static_cast<std::uint8_t>(joystickId_), state);
    return true;
}

bool InterfaceJoystickInputDevice::getFeedback(std::uint32_t& motors) {
    motors = motors_.load();
    return true;
}

void InterfaceJoystickInputDevice::onFeedback(std::uint8_t joystickId, const std::uint32_t& motors) {
    if (joystickId == static_cast<std::uint8_t>(joystickId_)) motors_ = motors;
}

void InterfaceJoystickInputDevice::setNotifier(SimpleInputInterface* session) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (session_) {
        motors_ = 0;
        session_->removeJoystickListener(this);
    }
    session_ = session;
    attached_ = session != nullptr;
    if (session_) session_->addJoystickListener(this);
}

bool InterfaceJoystickInputDevice::attached() {
    std::lock_guard<std::mutex> lock(mutex_);
    return attached_;
}
