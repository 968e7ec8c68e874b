#include "stream/gamepad/JoystickMappingMath.h"

namespace joystick_mapping {
namespace {
std::uint8_t limited(float r) {
    if (!(r > 0.0f)) return 0;  // also NaN
    if (r >= 255.0f) return 255;
    return static_cast<std::uint8_t>(static_cast<int>(r));
}
}  // namespace

std::uint8_t axisByte(float x) { return limited((x + 1.0f) * 0.5f * 256.0f); }

std::uint8_t buttonAxisByte(float x) { return limited(x * 128.0f + 128.0f); }

}  // namespace joystick_mapping
