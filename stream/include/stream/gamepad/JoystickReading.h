#pragma once
// One raw reading of a joystick and the comparison of two readings.

#include <cstdint>
#include <utility>
#include <vector>

// What changed between two readings: button indices in ascending order, and axis indices
// in ascending order with the signed difference (this reading minus the other).
struct ReadingChanges {
    std::vector<int> buttons;
    std::vector<std::pair<int, float>> axes;

    bool empty() const { return buttons.empty() && axes.empty(); }
    void clear() {
        buttons.clear();
        axes.clear();
    }
};

struct JoystickReading {
    std::vector<float> axes;             // -1 to 1
    std::vector<std::uint8_t> buttons;   // 0 released, else pressed

    // Axes whose difference from other is strictly beyond threshold (in absolute value),
    // and buttons that differ. Only indices present in both readings are compared.
    ReadingChanges diff(const JoystickReading& other, float threshold) const;
    // The same into out (cleared first), keeping out's storage.
    void diff(const JoystickReading& other, float threshold, ReadingChanges& out) const;

    bool sameShape(const JoystickReading& other) const {
        return axes.size() == other.axes.size() && buttons.size() == other.buttons.size();
    }
    bool empty() const { return axes.empty() && buttons.empty(); }
};
