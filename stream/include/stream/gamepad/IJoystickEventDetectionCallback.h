#pragma once
// Told by the gamepad manager what a detection learned (main thread).

class IJoystickEventDetectionCallback {
public:
    enum Result {
        kButtonLearned = 0,
        kAxisLearned = 1,
        kAmbiguous = 2,  // more than one control moved; nothing was learned
    };

    virtual ~IJoystickEventDetectionCallback() = default;
    // target is the detection's first target index.
    virtual void onDetectionResult(int result, int target) = 0;
    virtual void onDetectionStopped() = 0;
};
