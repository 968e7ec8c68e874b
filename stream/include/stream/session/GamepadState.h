#pragma once
// The state of one gamepad as it travels from the gamepad devices to the joystick state
// request, and the listener types through which a session could hand motor feedback back.

#include <array>
#include <cstdint>
#include <mutex>
#include <set>

struct GamepadState {
    // Stick axes rest at 128 (0 one end, 255 the other); axes 10 and 11 are the triggers,
    // which rest at 0.
    std::array<std::uint8_t, 16> axes{};
    std::uint64_t buttons = 0;  // bit n is button n

    // Axes 0-9 and 12-15 at 128, the triggers at 0, no buttons.
    static GamepadState neutral() {
        GamepadState s;
        s.axes.fill(128);
        s.axes[10] = 0;
        s.axes[11] = 0;
        return s;
    }
    // Every axis byte 255 and every button pressed.
    static GamepadState allPressed() {
        GamepadState s;
        s.axes.fill(255);
        s.buttons = ~std::uint64_t(0);
        return s;
    }

    // Axis bytes 8*word .. 8*word+7 packed into 64 bits, the lowest byte first.
    std::uint64_t axisWord(int word) const {
        std::uint64_t v = 0;
        for (int i = 7; i >= 0; --i) v = (v << 8) | axes[static_cast<std::size_t>(word * 8 + i)];
        return v;
    }

    bool operator==(const GamepadState& o) const { return buttons == o.buttons && axes == o.axes; }
    bool operator!=(const GamepadState& o) const { return !(*this == o); }
};

class IJoystickDeviceListener {
public:
    virtual ~IJoystickDeviceListener() = default;
    virtual void onFeedback(std::uint8_t joystickId, const std::uint32_t& motors) = 0;
};

// The set of gamepad feedback listeners a session carries.
class JoystickDeviceNotifier {
public:
    void addJoystickListener(IJoystickDeviceListener* listener) {
        std::lock_guard<std::mutex> lock(listenersMutex_);
        listeners_.insert(listener);
    }
    void removeJoystickListener(IJoystickDeviceListener* listener) {
        std::lock_guard<std::mutex> lock(listenersMutex_);
        listeners_.erase(listener);
    }
    std::size_t joystickListenerCount() {
        std::lock_guard<std::mutex> lock(listenersMutex_);
        return listeners_.size();
    }

private:
    std::mutex listenersMutex_;
    std::set<IJoystickDeviceListener*> listeners_;
};
