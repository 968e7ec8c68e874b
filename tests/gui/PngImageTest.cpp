#include "gui/PngImage.h"
#include "gui/testing/GLTestWindow.h"

#include <gtest/gtest.h>
#include <png.h>

using guitest::encodePng;

namespace {

std::vector<std::uint8_t> rgbaOf(const PngImage& image) {
    return std::vector<std::uint8_t>(image.pixels.begin(), image.pixels.end());
}

}  // namespace

// Every colour type and depth becomes 8-bit RGBA (format 2) with the same two pixels.
TEST(PngImage, EveryColourTypeDecodesToRGBA8) {
    struct Case {
        const char* name;
        int colorType, bitDepth;
        std::vector<std::uint8_t> row, palette, trns;
        std::vector<std::uint8_t> expected;  // two RGBA pixels
    } cases[] = {
        {"rgba8", PNG_COLOR_TYPE_RGBA, 8, {10, 20, 30, 40, 50, 60, 70, 80}, {}, {}, {10, 20, 30, 40, 50, 60, 70, 80}},
        {"rgb8", PNG_COLOR_TYPE_RGB, 8, {10, 20, 30, 50, 60, 70}, {}, {}, {10, 20, 30, 255, 50, 60, 70, 255}},
        {"rgb16", PNG_COLOR_TYPE_RGB, 16, {10, 1, 20, 2, 30, 3, 50, 0, 60, 0, 70, 0}, {}, {},
         {10, 20, 30, 255, 50, 60, 70, 255}},
        {"rgba16", PNG_COLOR_TYPE_RGBA, 16, {10, 0, 20, 0, 30, 0, 40, 0, 50, 0, 60, 0, 70, 0, 80, 0}, {}, {},
         {10, 20, 30, 40, 50, 60, 70, 80}},
        {"palette", PNG_COLOR_TYPE_PALETTE, 8, {1, 0}, {1, 2, 3, 4, 5, 6}, {}, {4, 5, 6, 255, 1, 2, 3, 255}},
        {"palette+trns", PNG_COLOR_TYPE_PALETTE, 8, {1, 0}, {1, 2, 3, 4, 5, 6}, {0, 128},
         {4, 5, 6, 128, 1, 2, 3, 0}},
        {"palette 2-bit", PNG_COLOR_TYPE_PALETTE, 2, {0x40}, {1, 2, 3, 4, 5, 6}, {}, {4, 5, 6, 255, 1, 2, 3, 255}},
        {"grey8", PNG_COLOR_TYPE_GRAY, 8, {7, 200}, {}, {}, {7, 7, 7, 255, 200, 200, 200, 255}},
        {"grey1", PNG_COLOR_TYPE_GRAY, 1, {0x80}, {}, {}, {255, 255, 255, 255, 0, 0, 0, 255}},
        {"grey4", PNG_COLOR_TYPE_GRAY, 4, {0xF0}, {}, {}, {255, 255, 255, 255, 0, 0, 0, 255}},
        {"grey16", PNG_COLOR_TYPE_GRAY, 16, {7, 0, 200, 0}, {}, {}, {7, 7, 7, 255, 200, 200, 200, 255}},
        {"grey+alpha", PNG_COLOR_TYPE_GRAY_ALPHA, 8, {7, 9, 200, 100}, {}, {}, {7, 7, 7, 9, 200, 200, 200, 100}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto bytes = encodePng(2, 1, c.colorType, c.bitDepth, c.row, c.palette, c.trns);
        ASSERT_FALSE(bytes.empty());
        PngImage image;
        ASSERT_TRUE(image.decodePngFromMemory(bytes.data(), bytes.size()));
        EXPECT_EQ(image.width, 2);
        EXPECT_EQ(image.height, 1);
        EXPECT_EQ(image.format, 2);
        EXPECT_EQ(image.bitDepth, 8);
        EXPECT_EQ(image.rowBytes, 8u);
        ASSERT_EQ(image.rows.size(), 1u);
        EXPECT_EQ(image.rows[0], image.pixels.data());
        EXPECT_EQ(rgbaOf(image), c.expected);
    }
}

TEST(PngImage, RowsPointIntoThePixelBuffer) {
    std::vector<std::uint8_t> rows(3 * 2 * 4);
    for (std::size_t i = 0; i < rows.size(); ++i)
        rows[i] = std::uint8_t(i);
    const auto bytes = encodePng(2, 3, PNG_COLOR_TYPE_RGBA, 8, rows);
    PngImage image;
    ASSERT_TRUE(image.decodePngFromMemory(bytes.data(), bytes.size()));
    ASSERT_EQ(image.rows.size(), 3u);
    EXPECT_EQ(image.rows[2][0], 16);
    EXPECT_EQ(image.pixels, rows);
}

TEST(PngImage, BrokenInputFailsAndLeavesAnEmptyRecord) {
    const auto good = encodePng(2, 1, PNG_COLOR_TYPE_RGB, 8, {1, 2, 3, 4, 5, 6});
    PngImage image;
    ASSERT_TRUE(image.decodePngFromMemory(good.data(), good.size()));

    EXPECT_FALSE(image.decodePngFromMemory(good.data(), 7));
    EXPECT_EQ(image.width, 0);
    EXPECT_TRUE(image.pixels.empty());

    auto badSignature = good;
    badSignature[1] = 'X';
    EXPECT_FALSE(image.decodePngFromMemory(badSignature.data(), badSignature.size()));
    EXPECT_FALSE(image.decodePngFromMemory(nullptr, 100));

    // Cut anywhere after the signature: never a crash, never success with a partial image.
    for (std::size_t cut = 8; cut < good.size() - 12; ++cut) {
        SCOPED_TRACE(cut);
        EXPECT_FALSE(image.decodePngFromMemory(good.data(), cut));
        EXPECT_TRUE(image.pixels.empty());
    }
    auto corrupt = good;
    corrupt[corrupt.size() / 2] ^= 0xff;  // inside the compressed data: CRC error
    EXPECT_FALSE(image.decodePngFromMemory(corrupt.data(), corrupt.size()));
}
