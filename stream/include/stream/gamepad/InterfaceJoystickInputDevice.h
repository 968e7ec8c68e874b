#pragma once
// The gamepad device that sends its states to a stream session as joystick state requests.
//
// While attached to a session (setNotifier), each accepted state goes out at once with the
// device's joystick id; without a session states are refused and offered again with the
// next change. The device also listens on the session for motor feedback.

#include <atomic>
#include <cstdint>

#include "stream/gamepad/JoystickDevice.h"

class SimpleInputInterface;

class InterfaceJoystickInputDevice : public JoystickDevice, public IJoystickDeviceListener {
public:
    // tag is kept and not used; joystickId goes into every request.
    InterfaceJoystickInputDevice(int tag, int joystickId);
    // Detaches from the session.
    ~InterfaceJoystickInputDevice() override;

    InterfaceJoystickInputDevice(const InterfaceJoystickInputDevice&) = delete;
    InterfaceJoystickInputDevice& operator=(const InterfaceJoystickInputDevice&) = delete;

    const char* getName() override { return "InterfaceJoystickInputDevice"; }
    // With pressAll, first the all-pressed state; then the neutral state.
    bool reset(bool pressAll) override;
    bool onState(const GamepadState& state) override;
    bool getFeedback(std::uint32_t& motors) override;
    void onFeedback(std::uint8_t joystickId, const std::uint32_t& motors) override;

    // Detaches from the current session (the motor value returns to 0) and attaches to
    // session, or to none.
    void setNotifier(SimpleInputInterface* session);

    bool attached();
    int joystickId() const { return joystickId_; }
    int tag() const { return tag_; }

private:
    SimpleInputInterface* session_ = nullptr;  // guarded by mutex_
    const int tag_;
    const int joystickId_;
    bool attached_ = false;  // guarded by mutex_
    std::atomic<std::uint32_t> motors_{0};
};
