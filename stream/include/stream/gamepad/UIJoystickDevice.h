#pragma once
// The gamepad setup form's view of the mapped state.
//
// The gamepad manager offers it every mapped state while the form is shown; the form takes
// the latest one on its own thread when takeChanged() reports something new, and shows it
// in its stick and button widgets.

#include <mutex>

#include "stream/gamepad/JoystickDevice.h"

class UIJoystickDevice : public JoystickDevice {
public:
    const char* getName() override { return "UIJoystickDevice"; }
    // Shows every axis at 128 and no buttons.
    bool reset(bool pressAll) override;
    bool onState(const GamepadState& state) override;
    bool getFeedback(std::uint32_t& motors) override;

    // The state to show.
    GamepadState shownState();
    // True once after each new state to show.
    bool takeChanged();

private:
    std::mutex shownMutex_;
    GamepadState shown_;
    bool changed_ = false;
};
