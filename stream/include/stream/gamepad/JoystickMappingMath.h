#pragma once
// Arithmetic shared by the gamepad mapping handlers.

#include <cstdint>

namespace joystick_mapping {

constexpr int kAxisCount = 16;
constexpr int kButtonCount = 64;

// An axis value (-1 to 1) as an axis byte: (x + 1) * 0.5 * 256 truncated, limited to 0-255
// (so -1 gives 0, 0 gives 128, 1 gives 255). Values outside the range, and NaN, are held
// at the nearest end.
std::uint8_t axisByte(float x);

// The same mapping computed as x * 128 + 128, as button-to-axis handlers do.
std::uint8_t buttonAxisByte(float x);

inline bool validAxis(int index) { return index >= 0 && index < kAxisCount; }
inline bool validButton(int index) { return index >= 0 && index < kButtonCount; }

// Sets or clears one button bit; an index outside 0-63 changes nothing.
inline void setButton(std::uint64_t& buttons, int index, bool pressed) {
    if (!validButton(index)) return;
    const std::uint64_t bit = std::uint64_t(1) << index;
    buttons = pressed ? (buttons | bit) : (buttons & ~bit);
}

}  // namespace joystick_mapping
