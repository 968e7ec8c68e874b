#pragma once
// The recipe of one font of the style catalogue: which font bytes, at what size and DPI,
// with which text-service flags (16 asks for automatic hinting).

#include <string>

struct FontStyle {
    FontStyle() = default;
    FontStyle(const unsigned char* data, int size, int pointSize, int dpi, int flags)
        : faceName(), fontData(data), dataSize(size), pointSize(pointSize), dpi(dpi), flags(flags) {}

    std::string faceName = "none";
    const unsigned char* fontData = nullptr;  // compiled-in font file, not owned
    int dataSize = 0;
    int pointSize = 10;
    int dpi = 96;
    int flags = 0;
};
