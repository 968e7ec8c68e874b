#include "stream/gamepad/JoystickReading.h"

#include <algorithm>
#include <cmath>

ReadingChanges JoystickReading::diff(const JoystickReading& other, float threshold) const {
    ReadingChanges out;
    diff(other, threshold, out);
    return out;
}

void JoystickReading::diff(const JoystickReading& other, float threshold, ReadingChanges& out) const {
    out.clear();
    const std::size_t axisCount = std::min(axes.size(), other.axes.size());
    for (std::size_t i = 0; i < axisCount; ++i) {
        const float d = axes[i] - other.axes[i];
        if (std::fabs(d) > threshold) out.axes.emplace_back(static_cast<int>(i), d);
    }
    const std::size_t buttonCount = std::min(buttons.size(), other.buttons.size());
    for (std::size_t i = 0; i < buttonCount; ++i) {
        if (buttons[i] != other.buttons[i]) out.buttons.push_back(static_cast<int>(i));
    }
}
