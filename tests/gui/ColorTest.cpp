#include "gui/Color.h"
#include "gui/FontStyle.h"

#include <gtest/gtest.h>

TEST(Color, DefaultIsOpaqueBlackAndBytesMatchThePackedForm) {
    EXPECT_EQ(Color().value(), 0xff000000u);
    const Color red(255, 0, 0, 255);
    EXPECT_EQ(red.value(), 0xff0000ffu);
    EXPECT_EQ(red, Color(0xff0000ffu));
    EXPECT_NE(red, Color(0xff0000feu));

    const Color white96(0x60ffffffu);
    EXPECT_EQ(white96.r, 255);
    EXPECT_EQ(white96.g, 255);
    EXPECT_EQ(white96.b, 255);
    EXPECT_EQ(white96.a, 0x60);
    // The packed form is the vertex colour: R in the lowest byte, in memory order R, G, B, A.
    const Color c(1, 2, 3, 4);
    const std::uint32_t packed = c;
    const auto* bytes = reinterpret_cast<const unsigned char*>(&packed);
    EXPECT_EQ(bytes[0], 1);
    EXPECT_EQ(bytes[3], 4);
}

TEST(FontStyle, DefaultsAndDataConstructor) {
    const FontStyle style;
    EXPECT_EQ(style.faceName, "none");
    EXPECT_EQ(style.fontData, nullptr);
    EXPECT_EQ(style.dataSize, 0);
    EXPECT_EQ(style.pointSize, 10);
    EXPECT_EQ(style.dpi, 96);
    EXPECT_EQ(style.flags, 0);

    static const unsigned char data[4] = {1, 2, 3, 4};
    FontStyle made(data, 4, 22, 138, 16);
    EXPECT_EQ(made.faceName, "");
    EXPECT_EQ(made.fontData, data);
    EXPECT_EQ(made.pointSize, 22);
    EXPECT_EQ(made.dpi, 138);
    EXPECT_EQ(made.flags, 16);
    FontStyle copy;
    copy = made;
    EXPECT_EQ(copy.dataSize, 4);
    EXPECT_EQ(copy.faceName, "");
}
