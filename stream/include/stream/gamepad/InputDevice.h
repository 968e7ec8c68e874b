#pragma once
// Base of every input device the program feeds.

class InputDevice {
public:
    // A constant name of the class.
    virtual const char* getName() = 0;
    // Brings the device to its resting state; with pressAll, first to the all-pressed state.
    virtual bool reset(bool pressAll) = 0;
    virtual ~InputDevice() = default;
};
