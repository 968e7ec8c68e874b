#pragma once
// A device that receives mapped gamepad states.
//
// setState offers a state: a state equal to the last accepted one is dropped, any other is
// handed to onState, and kept only when onState accepts it (a refused state is offered
// again next time). The device's mutex is held around the comparison, onState and the
// store, so states offered from several threads are handled one at a time.

#include <cstdint>
#include <mutex>

#include "stream/session/GamepadState.h"
#include "stream/gamepad/InputDevice.h"

class JoystickDevice : public InputDevice {
public:
    // True when the subclass accepted the state.
    virtual bool onState(const GamepadState& state) = 0;
    // The motor feedback of the device; false when it has none.
    virtual bool getFeedback(std::uint32_t& motors) = 0;

    // True when the state was new and accepted.
    bool setState(const GamepadState& state);

    // The last accepted state (every axis byte 0 and no buttons until the first).
    GamepadState acceptedState();

protected:
    std::mutex mutex_;

private:
    GamepadState accepted_;
};
