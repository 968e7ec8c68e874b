#pragma once
// PNG decoding from memory into 8-bit RGBA rows (every colour type, bit depth and
// transparency form is converted), for the compiled-in image atlases.

#include <cstddef>
#include <cstdint>
#include <vector>

struct PngImage {
    int width = 0;
    int height = 0;
    int format = 0;    // pixel format code: 2 (RGBA) after a successful decode
    int bitDepth = 0;  // 8 after a successful decode
    std::vector<std::uint8_t*> rows;
    std::vector<std::uint8_t> pixels;
    std::size_t rowBytes = 0;

    // False (and an empty record) for anything that is not a readable PNG.
    bool decodePngFromMemory(const void* data, std::size_t length);
    void reset();
};
