#pragma once
// Told by the gamepad manager's scan when a joystick arrives or goes (main thread).

class IJoystickManagerEventListener {
public:
    virtual ~IJoystickManagerEventListener() = default;
    virtual void onDeviceAdded(int deviceId) = 0;
    // Called while the joystick's entry is still known to the manager.
    virtual void onDeviceRemoved(int deviceId) = 0;
};
