#pragma once
// A colour as four bytes R, G, B, A. Its 32-bit form is A<<24 | B<<16 | G<<8 | R, the
// order in which the graphics context packs vertex colours, so 0xff0000ff is opaque red.

#include <cstdint>

class Color {
public:
    constexpr Color() : r(0), g(0), b(0), a(255) {}
    constexpr Color(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint8_t alpha)
        : r(red), g(green), b(blue), a(alpha) {}
    constexpr explicit Color(std::uint32_t value)
        : r(std::uint8_t(value)), g(std::uint8_t(value >> 8)), b(std::uint8_t(value >> 16)),
          a(std::uint8_t(value >> 24)) {}

    constexpr std::uint32_t value() const {
        return std::uint32_t(a) << 24 | std::uint32_t(b) << 16 | std::uint32_t(g) << 8 | r;
    }
    constexpr operator std::uint32_t() const { return value(); }

    constexpr bool operator==(const Color& other) const { return value() == other.value(); }
    constexpr bool operator!=(const Color& other) const { return value() != other.value(); }

    std::uint8_t r, g, b, a;
};
