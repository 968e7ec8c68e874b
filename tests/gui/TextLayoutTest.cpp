// Measuring, wrapping and drawing text with a font of fixed metrics.
// Default fake font: ascent 10, descent 3, line gap 2, glyph advance 7 (bearing 1, width 5),
// space advance 4.

#include "gui/GraphicsFont.h"
#include "gui/testing/FakeFont.h"
#include "gui/testing/RecordingGraphicsContext.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <set>
#include <string>
#include <thread>

using guitest::FakeFontMetrics;
using guitest::FakeTextServiceFont;
using guitest::RecordingGraphicsContext;
using guitest::makeFakeFont;

namespace {

std::vector<std::uint32_t> cps(const std::string& ascii) {
    return std::vector<std::uint32_t>(ascii.begin(), ascii.end());
}

struct DrawnGlyph {
    float x, y;  // top-left corner in device pixels
};

// Flushes and returns the top-left corner of every glyph quad, in drawing order.
std::vector<DrawnGlyph> drawnGlyphs(RecordingGraphicsContext& ctx) {
    ctx.flush();
    std::vector<DrawnGlyph> out;
    for (const auto& draw : ctx.draws)
        for (std::size_t i = 0; i + 3 < draw.vertices.size(); i += 4)
            out.push_back({draw.vertices[i].x, draw.vertices[i].y});
    ctx.clearRecords();
    return out;
}

FakeFontMetrics tenWide() {
    FakeFontMetrics m;
    m.advance = 10;
    m.spaceAdvance = 10;
    m.leftBearing = 0;
    m.glyphWidth = 10;
    return m;
}

}  // namespace

TEST(AbstractGraphicsContext, MeasureTextCases) {
    RecordingGraphicsContext ctx;
    std::unique_ptr<GraphicsFont> font(makeFakeFont());
    struct Case {
        const char* text;
        int start, count, width, mode;
        int expectWidth, expectHeight;
    } cases[] = {
        {"ab cd", 0, -1, 20, 0, 32, 13},     // mode 0 never wraps
        {"ab cd", 0, -1, 20, 2, 32, 13},     // only mode 1 wraps when measuring
        {"ab cd", 0, -1, 20, 1, 14, 28},     // breaks after "ab ": (3 + 2 + 10) + (3 + 10)
        {"ab cd", 0, -1, 32, 1, 32, 13},     // exactly fits
        {"ab cd", 0, -1, 31, 1, 14, 28},
        {"abcdef gh", 0, -1, 20, 1, 42, 28}, // a too-wide first word adds no empty line above it
        {"abcdef", 0, -1, 20, 1, 42, 13},
        {"ab cd", 3, 2, 0, 0, 14, 13},       // a sub-range
        {"ab cd", 3, 99, 0, 0, 14, 13},      // a count past the end stops at the end
        {"   ", 0, -1, 0, 0, 0, 13},         // spaces only: no width
        {"  ab", 0, -1, 0, 0, 22, 13},       // leading spaces: an empty first word
        {"a b c d", 0, -1, 12, 1, 7, 58},    // one word per line: 4 lines
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " mode " + std::to_string(c.mode) + " width " + std::to_string(c.width));
        int w = c.width, h = -1;
        ASSERT_TRUE(ctx.measureText(cps(c.text), c.start, c.count, font.get(), &w, &h, c.mode));
        EXPECT_EQ(w, c.expectWidth);
        EXPECT_EQ(h, c.expectHeight);
    }
    int w = 5, h = 5;
    EXPECT_FALSE(ctx.measureText(cps(""), 0, -1, font.get(), &w, &h, 0));
    EXPECT_FALSE(ctx.measureText(cps("ab"), 0, -1, nullptr, &w, &h, 0));
    EXPECT_FALSE(ctx.measureText(cps("ab"), 2, -1, font.get(), &w, &h, 0));
    EXPECT_FALSE(ctx.measureText(cps("ab"), 0, 0, font.get(), &w, &h, 0));
}

TEST(AbstractGraphicsContext, DrawTextPlacesGlyphsPerMode) {
    RecordingGraphicsContext ctx;
    std::unique_ptr<GraphicsFont> font(makeFakeFont());

    // Mode 1: "ab " on the first line, "cd" 15 units lower; glyphs at pen + left bearing.
    ctx.drawText(cps("ab cd"), 0, -1, font.get(), 100, 50, 20, 0, 1);
    auto glyphs = drawnGlyphs(ctx);
    ASSERT_EQ(glyphs.size(), 4u);
    EXPECT_FLOAT_EQ(glyphs[0].x, 101);
    EXPECT_FLOAT_EQ(glyphs[1].x, 108);
    EXPECT_FLOAT_EQ(glyphs[2].x, 101);
    EXPECT_FLOAT_EQ(glyphs[0].y, 51);  // top offset: ascent 10 - bearing 9
    EXPECT_FLOAT_EQ(glyphs[2].y, 66);

    // Mode 0 ignores the width.
    ctx.drawText(cps("ab cd"), 0, -1, font.get(), 0, 0, 20, 0, 0);
    glyphs = drawnGlyphs(ctx);
    ASSERT_EQ(glyphs.size(), 4u);
    EXPECT_FLOAT_EQ(glyphs[2].x, 19);  // 14 + 4 + 1
    EXPECT_FLOAT_EQ(glyphs[3].y, glyphs[0].y);

    // Spaces only: nothing drawn.
    ctx.drawText(cps("    "), 0, -1, font.get(), 0, 0, 100, 0, 1);
    EXPECT_TRUE(drawnGlyphs(ctx).empty());
}

TEST(AbstractGraphicsContext, DrawTextCentresAndJustifies) {
    RecordingGraphicsContext ctx;
    std::unique_ptr<GraphicsFont> font(makeFakeFont(1.0f, tenWide()));

    // Words filling 80 of 100 start 10 to the right.
    ctx.drawText(cps("aaaa aaa"), 0, -1, font.get(), 0, 0, 100, 0, 2);
    auto glyphs = drawnGlyphs(ctx);
    ASSERT_EQ(glyphs.size(), 7u);
    EXPECT_FLOAT_EQ(glyphs[0].x, 10);

    // Three words with 20 left over get 10 more in each gap; the last line stays left.
    ctx.drawText(cps("aa aa aa aaa"), 0, -1, font.get(), 0, 0, 100, 0, 4);
    glyphs = drawnGlyphs(ctx);
    ASSERT_EQ(glyphs.size(), 9u);
    EXPECT_FLOAT_EQ(glyphs[0].x, 0);
    EXPECT_FLOAT_EQ(glyphs[2].x, 40);  // 20 + 10 space + 10 extra
    EXPECT_FLOAT_EQ(glyphs[4].x, 80);
    EXPECT_FLOAT_EQ(glyphs[6].x, 0);
    EXPECT_GT(glyphs[6].y, glyphs[0].y);

    // A one-word line in mode 4 is not spread (and does not divide by zero).
    ctx.drawText(cps("aaaaaaaa aaaa"), 0, -1, font.get(), 0, 0, 100, 0, 4);
    glyphs = drawnGlyphs(ctx);
    ASSERT_EQ(glyphs.size(), 12u);
    EXPECT_FLOAT_EQ(glyphs[8].x, 0);

    // Justified gaps that do not divide evenly are rounded without drift: 5 words, 7 left.
    ctx.drawText(cps("a a a a a aaaaaaaaaa"), 0, -1, font.get(), 0, 0, 97, 0, 4);
    glyphs = drawnGlyphs(ctx);
    ASSERT_EQ(glyphs.size(), 15u);
    EXPECT_FLOAT_EQ(glyphs[4].x, 97 - 10);  // the last word of the line ends at the box edge
}

// drawText must break exactly where measureText does, for every mode that wraps.
TEST(AbstractGraphicsContext, DrawTextBreaksWhereMeasureTextDoes) {
    RecordingGraphicsContext ctx;
    std::unique_ptr<GraphicsFont> font(makeFakeFont());
    FontMetrics m;
    font->getMetrics(m);
    const std::string texts[] = {"ab cd", "the quick brown fox jumps over the lazy dog", "a  b   c", "abcdefghij k",
                                 "x yy zzz wwww vvvvv", "lonelyword"};
    for (const std::string& text : texts) {
        for (int width = 5; width <= 200; width += 3) {
            for (int mode : {1, 2, 3, 4}) {
                SCOPED_TRACE(text + " width " + std::to_string(width) + " mode " + std::to_string(mode));
                int w = width, h = 0;
                ASSERT_TRUE(ctx.measureText(cps(text), 0, -1, font.get(), &w, &h, 1));
                const int measuredLines = (h - m.ascent - m.descent) / (m.ascent + m.descent + m.lineGap) + 1;
                ctx.drawText(cps(text), 0, -1, font.get(), 0, 0, width, 0, mode);
                const auto glyphs = drawnGlyphs(ctx);
                std::set<float> lines;
                float right = 0;
                for (const auto& g : glyphs) {
                    lines.insert(g.y);
                    right = std::max(right, g.x + 5);
                }
                EXPECT_EQ(int(lines.size()), measuredLines);
                if (mode != 2 && w <= width) {
                    EXPECT_LE(right, float(width));
                }
            }
        }
    }
}

TEST(AbstractGraphicsContext, ScaledFontKeepsSmallBearingsAndSnapsTheBaseline) {
    RecordingGraphicsContext ctx;
    ctx.setUIScale(2.0f);
    // Device-pixel glyphs: bearing 1, width 5, advance 7 at scale 2.
    std::unique_ptr<GraphicsFont> font(makeFakeFont(2.0f));
    ctx.drawText(cps("ab"), 0, -1, font.get(), 0, 0, 0, 0, 0);
    auto glyphs = drawnGlyphs(ctx);
    ASSERT_EQ(glyphs.size(), 2u);
    // left = trunc(1 / 2) = 0 becomes 1; right = trunc(6 / 2) = 3; pen moves 4 per glyph.
    EXPECT_FLOAT_EQ(glyphs[0].x, 2);   // (0 + 1) * 2
    EXPECT_FLOAT_EQ(glyphs[1].x, 10);  // (4 + 1) * 2
    EXPECT_FLOAT_EQ(glyphs[0].y, glyphs[1].y);
}

TEST(AbstractGraphicsContext, CommonBaselinePrefersTheMostFrequentThenTheSmallestKey) {
    RecordingGraphicsContext ctx;
    auto* face = new FakeTextServiceFont();
    // key = (top offset + y) * scale + bearing y, with y = 0 and scale 1.
    face->verticalOverrides['a'] = {2, 9};   // 11
    face->verticalOverrides['b'] = {3, 9};   // 12
    face->verticalOverrides['c'] = {1, 11};  // 12
    face->verticalOverrides['d'] = {0, 11};  // 11
    GraphicsFont font(face, 1.0f);
    const auto text = cps("abcd");
    TextWord word{text.data(), 0, 4, 0, 0};
    int baseline = -1;
    ASSERT_TRUE(ctx.findCommonBaseline(&font, 0, word, &baseline));
    EXPECT_EQ(baseline, 11);
    word.end = 3;  // a, b, c: 12 twice
    ASSERT_TRUE(ctx.findCommonBaseline(&font, 0, word, &baseline));
    EXPECT_EQ(baseline, 12);
    word.end = 0;
    EXPECT_FALSE(ctx.findCommonBaseline(&font, 0, word, &baseline));
}

TEST(GraphicsFont, FullPageOpensASecondPageAndPlacedGlyphsStay) {
    RecordingGraphicsContext ctx;
    FakeFontMetrics big;
    big.glyphWidth = 300;
    big.glyphHeight = 300;
    big.advance = 302;
    GraphicsFont font(new FakeTextServiceFont(big), 1.0f);
    // 3 per row (302 px each with gutter) and 3 rows fit a 1024 page.
    for (std::uint32_t cp = 'A'; cp < 'A' + 9; ++cp)
        EXPECT_EQ(font.getPlacedGlyph(cp, &ctx).page, 0);
    EXPECT_EQ(font.pageCount(), 1u);
    const Glyph tenth = font.getPlacedGlyph('J', &ctx);
    EXPECT_EQ(tenth.page, 1);
    EXPECT_EQ(tenth.atlasX, 1u);
    EXPECT_EQ(tenth.atlasY, 1u);
    EXPECT_EQ(font.pageCount(), 2u);
    EXPECT_EQ(font.getGlyph('A').page, 0);
    EXPECT_EQ(font.getGlyph('E').atlasX, 303u);
    EXPECT_EQ(font.getGlyph('E').atlasY, 303u);
    EXPECT_FALSE(font.getGlyph('E').pending);
    EXPECT_EQ(ctx.surfacesCreated, 2);
}

TEST(GraphicsFont, GlyphsAreRenderedOnceAndMetricsScaled) {
    auto* face = new FakeTextServiceFont();
    GraphicsFont font(face, 2.0f);
    const Glyph a = font.getGlyph('a');
    font.getGlyph('a');
    EXPECT_EQ(face->renderCount, 1);
    EXPECT_TRUE(a.pending);
    EXPECT_EQ(a.page, -1);
    EXPECT_FLOAT_EQ(a.scale, 2.0f);
    EXPECT_EQ(a.topOffset, 0);  // (10 - 9) / 2 truncated
    FontMetrics m;
    font.getMetrics(m);
    EXPECT_EQ(m.ascent, 5);
    EXPECT_EQ(m.descent, 1);
    EXPECT_EQ(m.lineGap, 2);  // unchanged by the scale
    EXPECT_FALSE(font.isUnscaled());
}

// Measuring on one thread while another draws new glyphs: the cache hands out copies and
// serialises rendering, so neither side sees a half-made entry.
TEST(GraphicsFont, MeasuringWhileDrawingOnAnotherThread) {
    RecordingGraphicsContext ctx;
    ctx.recordGeometry = false;
    std::unique_ptr<GraphicsFont> font(makeFakeFont());
    std::vector<std::uint32_t> text;
    for (std::uint32_t cp = 0x100; cp < 0x900; ++cp) {
        text.push_back(cp);
        if (cp % 8 == 0)
            text.push_back(' ');
    }
    std::atomic<bool> done{false};
    std::atomic<int> bad{0};
    std::thread measurer([&] {
        while (!done) {
            int w = 0, h = 0;
            if (!ctx.measureText(text, 0, -1, font.get(), &w, &h, 0) || h != 13)
                ++bad;
        }
    });
    for (int i = 0; i < 5; ++i) {
        ctx.drawText(text, 0, -1, font.get(), 0, 0, 400, 0, 1);
        ctx.flush();
    }
    done = true;
    measurer.join();
    EXPECT_EQ(bad, 0);
}
