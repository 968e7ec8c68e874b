// The FreeType text service on the project's own fonts, without OpenGL.

#include "gui/GraphicsFont.h"
#include "gui/TextServiceFreeType.h"
#include "gui/testing/RecordingGraphicsContext.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>

namespace {

std::vector<unsigned char> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const std::vector<unsigned char>& regularFont() {
    static const std::vector<unsigned char> data =
        readFile(std::string(NIMBROSTA_SOURCE_DIR) + "/assets/fonts/Inter-Regular.otf");
    return data;
}

}  // namespace

TEST(TextServiceFreeType, FontFromMemoryHasMetricsAndGlyphs) {
    ASSERT_FALSE(regularFont().empty());
    TextServiceFreeType service;
    std::unique_ptr<AbstractTextServiceFont> font(service.openFontFromMemory(
        regularFont().data(), int(regularFont().size()), false, 16, 96, FontFlagAutohint));
    ASSERT_NE(font, nullptr);
    FontMetrics m;
    font->getMetrics(m);
    // 16 pt at 96 DPI is about 21 px: the ascent is near that, the descent a few pixels.
    EXPECT_GT(m.ascent, 14);
    EXPECT_LT(m.ascent, 26);
    EXPECT_GT(m.descent, 2);
    EXPECT_EQ(m.height, m.ascent + m.descent);
    EXPECT_GT(m.spaceAdvance, 2);
    EXPECT_GE(m.lineGap, -1);  // rounding of the three metrics may leave -1
    EXPECT_GE(m.underlineThickness, 1);

    Glyph glyph;
    GlyphBitmap bitmap;
    ASSERT_TRUE(font->renderGlyph('H', glyph, bitmap));
    EXPECT_TRUE(glyph.pending);
    EXPECT_GT(glyph.width, 5);
    EXPECT_GT(glyph.height, 8);
    EXPECT_EQ(bitmap.width, glyph.width);
    EXPECT_EQ(bitmap.height, glyph.height);
    EXPECT_EQ(bitmap.pixels.size(), std::size_t(glyph.width * glyph.height));
    // An upper-case letter sits on the baseline: top offset + height = ascent.
    EXPECT_NEAR(glyph.topOffset + glyph.height, m.ascent, 1);
    EXPECT_EQ(glyph.bearingY, glyph.height);

    Glyph space;
    GlyphBitmap spaceBitmap;
    ASSERT_TRUE(font->renderGlyph(' ', space, spaceBitmap));
    EXPECT_FALSE(space.pending);
    EXPECT_EQ(space.advance(), m.spaceAdvance);
}

// A font whose data cannot be opened reports zero metrics and draws nothing, instead of
// crashing the layout code that uses it.
TEST(TextServiceFreeType, UnreadableFontHasZeroMetricsAndRendersNothing) {
    TextServiceFreeType service;
    static const unsigned char garbage[64] = {1, 2, 3};
    AbstractTextServiceFont* face = service.openFontFromMemory(garbage, sizeof garbage, false, 16, 96, 16);
    ASSERT_NE(face, nullptr);
    FontMetrics m;
    m.ascent = 99;
    face->getMetrics(m);
    EXPECT_EQ(m.ascent, 0);
    EXPECT_EQ(m.height, 0);
    Glyph g;
    GlyphBitmap b;
    EXPECT_FALSE(face->renderGlyph('A', g, b));

    guitest::RecordingGraphicsContext ctx;
    GraphicsFont font(face, 1.0f);
    const std::vector<std::uint32_t> text = {'a', 'b', ' ', 'c'};
    int w = 100, h = 100;
    EXPECT_TRUE(ctx.measureText(text, 0, -1, &font, &w, &h, 1));
    EXPECT_EQ(w, 0);
    EXPECT_EQ(h, 0);
    ctx.drawText(text, 0, -1, &font, 0, 0, 100, 0, 1);
    ctx.flush();
    EXPECT_TRUE(ctx.draws.empty());

    GraphicsFont empty(nullptr, 1.0f);
    EXPECT_TRUE(ctx.measureText(text, 0, -1, &empty, &w, &h, 0));
    EXPECT_EQ(h, 0);
}

TEST(TextServiceFreeType, OpenByNameAndByPath) {
    TextServiceFreeType service;
    std::unique_ptr<AbstractTextServiceFont> byName(service.openFontByName("DejaVu Sans", 12, 96, 0));
    ASSERT_NE(byName, nullptr);
    FontMetrics m;
    byName->getMetrics(m);
    EXPECT_GT(m.ascent, 0);

    std::unique_ptr<AbstractTextServiceFont> bold(service.openFontByName("DejaVu Sans", 12, 96, FontFlagBold));
    ASSERT_NE(bold, nullptr);
    Glyph regularGlyph, boldGlyph;
    GlyphBitmap b1, b2;
    byName->renderGlyph('W', regularGlyph, b1);
    bold->renderGlyph('W', boldGlyph, b2);
    EXPECT_GT(boldGlyph.advance(), regularGlyph.advance());

    std::unique_ptr<AbstractTextServiceFont> byPath(
        service.openFontByName("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", 12, 96, 0));
    EXPECT_NE(byPath, nullptr);

    testing::internal::CaptureStdout();
    EXPECT_EQ(service.openFontByName("/nonexistent/font.ttf", 12, 96, 0), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "can not open font file: /nonexistent/font.ttf\n");

    const std::string notAFont = testing::TempDir() + "not-a-font.ttf";
    {
        std::ofstream out(notAFont);
        out << "this is text, not a font";
    }
    testing::internal::CaptureStdout();
    EXPECT_EQ(service.openFontByName(notAFont.c_str(), 12, 96, 0), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "do not support the format\n");
    std::remove(notAFont.c_str());

    EXPECT_EQ(service.openFontByName("", 12, 96, 0), nullptr);
    EXPECT_EQ(service.openFontByName(nullptr, 12, 96, 0), nullptr);
}
