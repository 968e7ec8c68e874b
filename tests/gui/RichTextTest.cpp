// Word blocks and line layout of styled text, with fonts of fixed metrics: ascent 10,
// descent 3, line gap 2, glyph advance 7, space advance 4 (a word of n letters is 7n wide and
// 13 high).

#include "WidgetTestSupport.h"

#include "gui/RichText.h"

#include <gtest/gtest.h>

using guitest::WidgetBench;

namespace {

struct BlockShape {
    int first, count;
    bool endsRun, breaksLine;
    bool operator==(const BlockShape& o) const {
        return first == o.first && count == o.count && endsRun == o.endsRun && breaksLine == o.breaksLine;
    }
};

std::ostream& operator<<(std::ostream& out, const BlockShape& b) {
    return out << "{" << b.first << "," << b.count << "," << b.endsRun << "," << b.breaksLine << "}";
}

std::vector<BlockShape> shapes(const std::vector<TextRenderBlock>& blocks) {
    std::vector<BlockShape> out;
    for (const TextRenderBlock& b : blocks)
        out.push_back({b.first, b.count, b.endsRun, b.breaksLine});
    return out;
}

struct Laid {
    int width = -1, height = -1;
};

Laid lines(WidgetBench& bench, std::vector<TextRenderBlock>& blocks, int available, int mode) {
    setBlockSpacing(blocks);
    Laid out;
    layoutBlockLines(&bench.ctx, blocks.data(), blocks.data() + blocks.size(), available, mode, &out.width,
                     &out.height);
    return out;
}

}  // namespace

TEST(RichText, WordsBecomeBlocksWithTheirSpacingAndBreaks) {
    WidgetBench bench;
    struct Case {
        const char* text;
        std::vector<BlockShape> blocks;
    } cases[] = {
        {"a  b", {{0, 1, false, false}, {3, 1, true, false}}},
        {"a\nb", {{0, 1, false, true}, {2, 1, true, false}}},
        {"a \t\n b", {{0, 1, false, true}, {5, 1, true, false}}},
        {" a", {{0, 0, false, false}, {1, 1, true, false}}},  // leading space: an empty first word
        {"ab", {{0, 2, true, false}}},
        {"ab ", {{0, 2, false, false}}},
        {"", {{0, 0, true, false}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<TextSpan> spans{TextSpan(c.text, bench.font)};
        std::vector<TextRenderBlock> blocks;
        buildTextBlocks(spans, blocks);
        EXPECT_EQ(shapes(blocks), c.blocks);
    }

    // A code point 0 ends the span; the next span starts its own words.
    std::vector<TextSpan> spans{TextSpan(std::vector<std::uint32_t>{'a', 0, 'b'}, bench.font),
                                TextSpan("cd", bench.font)};
    std::vector<TextRenderBlock> blocks;
    buildTextBlocks(spans, blocks);
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(shapes(blocks)[0], (BlockShape{0, 1, true, false}));
    EXPECT_EQ(blocks[1].span, &spans[1]);

    // Two spaces give one space advance after the first word, none after a span's last word.
    std::vector<TextSpan> twoSpaces{TextSpan("a  b", bench.font)};
    buildTextBlocks(twoSpaces, blocks);
    setBlockSpacing(blocks);
    EXPECT_EQ(blocks[0].rightSpacing, 4);
    EXPECT_EQ(blocks[1].rightSpacing, 0);
    EXPECT_EQ(blocks[0].bottomSpacing, 2);
    EXPECT_EQ(blocks[0].descent, 3);
}

TEST(RichText, LinesBreakAtNewlinesAndWidthWithTheGapBetweenLinesOnly) {
    WidgetBench bench;
    std::vector<TextSpan> spans{TextSpan("a\nb", bench.font)};
    std::vector<TextRenderBlock> blocks;
    buildTextBlocks(spans, blocks);
    Laid laid = lines(bench, blocks, 500, RichTextLeft);
    EXPECT_EQ(laid.width, 7);
    EXPECT_EQ(laid.height, 15 + 13);  // the first line carries the gap, the last does not
    EXPECT_EQ(blocks[1].x, 0);
    EXPECT_EQ(blocks[1].y, 15);

    // "aa bb cc": 14 + 4 + 14 = 32 fits in 32 but not in 31: the space between the words
    // counts, so no line is wider than its width.
    spans = {TextSpan("aa bb cc", bench.font)};
    buildTextBlocks(spans, blocks);
    laid = lines(bench, blocks, 32, RichTextLeft);
    EXPECT_EQ(laid.width, 32);
    EXPECT_EQ(laid.height, 15 + 13);
    EXPECT_EQ(blocks[1].x, 18);
    EXPECT_EQ(blocks[2].y, 15);
    for (int available : {31, 28, 14}) {
        laid = lines(bench, blocks, available, RichTextLeft);
        EXPECT_EQ(laid.height, 15 * 2 + 13) << available;
        EXPECT_EQ(laid.width, 14) << available;
    }

    // A block wider than the line still gets a line of its own.
    spans = {TextSpan("a abcdefgh b", bench.font)};
    buildTextBlocks(spans, blocks);
    laid = lines(bench, blocks, 20, RichTextLeft);
    EXPECT_EQ(laid.width, 56);
    EXPECT_EQ(blocks[1].y, 15);
    EXPECT_EQ(blocks[2].y, 30);

    // An empty range lays out to nothing.
    blocks.clear();
    EXPECT_EQ(lines(bench, blocks, 100, RichTextLeft).height, 0);
    int w = -1, h = -1;
    layoutBlockRow(&bench.ctx, blocks.data(), blocks.data(), &w, &h);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(h, 0);
}

TEST(RichText, AlignmentModesPlaceEachLine) {
    WidgetBench bench;
    struct Case {
        int mode, available, firstX;
    } cases[] = {
        {RichTextLeft, 100, 0},   {RichTextRight, 100, 86}, {RichTextCentre, 100, 43},
        {RichTextCentre, 101, 43}, {RichTextLeftJustified, 100, 0}, {RichTextRight, 10, -4},  // over-wide
        {RichTextCentre, 11, -1},  // (11 - 14) / 2 rounds toward zero
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.mode) + " in " + std::to_string(c.available));
        std::vector<TextSpan> spans{TextSpan("aa", bench.font)};
        std::vector<TextRenderBlock> blocks;
        buildTextBlocks(spans, blocks);
        lines(bench, blocks, c.available, c.mode);
        EXPECT_EQ(blocks[0].x, c.firstX);
    }
    // Public label alignment to line mode.
    EXPECT_EQ(RichText::modeFromAlignment(0), RichTextLeft);
    EXPECT_EQ(RichText::modeFromAlignment(1), RichTextLeft);
    EXPECT_EQ(RichText::modeFromAlignment(2), RichTextCentre);
    EXPECT_EQ(RichText::modeFromAlignment(3), RichTextRight);
    EXPECT_EQ(RichText::modeFromAlignment(4), RichTextLeftJustified);
    EXPECT_EQ(RichText::modeFromAlignment(9), RichTextLeft);
}

TEST(RichText, FontsOnOneLineShareABaseline) {
    WidgetBench bench;
    guitest::FakeFontMetrics bigMetrics;
    bigMetrics.ascent = 20;
    bigMetrics.descent = 5;
    bigMetrics.lineGap = 6;
    std::unique_ptr<GraphicsFont> big(guitest::makeFakeFont(1.0f, bigMetrics));
    std::vector<TextSpan> spans{TextSpan("small ", bench.font), TextSpan("BIG", big.get())};
    std::vector<TextRenderBlock> blocks;
    buildTextBlocks(spans, blocks);
    Laid laid = lines(bench, blocks, 500, RichTextLeft);
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0].y, 10);  // moved down by the difference of the ascents
    EXPECT_EQ(blocks[1].y, 0);
    EXPECT_EQ(blocks[1].x, 35 + 4);
    EXPECT_EQ(laid.height, 25);

    // The same on a single row.
    int w = 0, h = 0;
    layoutBlockRow(&bench.ctx, blocks.data(), blocks.data() + 2, &w, &h);
    EXPECT_EQ(w, 35 + 4 + 21);
    EXPECT_EQ(h, 25);
    EXPECT_EQ(blocks[0].y, 10);
}

TEST(RichText, WordsWiderThanTheLineAreSplitToFillLines) {
    WidgetBench bench;
    // Ten letters (70) in 30: pieces of 4, 4 and 2 letters, one line each.
    std::vector<TextSpan> spans{TextSpan("aaaaaaaaaa", bench.font)};
    std::vector<TextRenderBlock> blocks;
    buildWrappedTextBlocks(spans, 30, blocks);
    EXPECT_EQ(shapes(blocks), (std::vector<BlockShape>{{0, 4, true, false}, {4, 4, true, false}, {8, 2, true, false}}));
    Laid laid = lines(bench, blocks, 30, RichTextLeft);
    EXPECT_EQ(laid.width, 28);
    EXPECT_EQ(laid.height, 15 * 2 + 13);

    // After a short word the first piece fills the rest of its line.
    spans = {TextSpan("bb aaaaaaaaaa x", bench.font)};
    buildWrappedTextBlocks(spans, 30, blocks);
    EXPECT_EQ(shapes(blocks), (std::vector<BlockShape>{{0, 2, false, false},
                                                        {3, 1, true, false},
                                                        {4, 4, true, false},
                                                        {8, 4, true, false},
                                                        {12, 1, false, false},
                                                        {14, 1, true, false}}));
    lines(bench, blocks, 30, RichTextLeft);
    EXPECT_EQ(blocks[1].y, 0);
    EXPECT_EQ(blocks[1].x, 18);
    EXPECT_EQ(blocks[2].y, 15);
    EXPECT_EQ(blocks[4].y, 45);
    EXPECT_EQ(blocks[5].y, 45);  // "a x" shares the last line

    // A character wider than the whole line: one character per block, no empty blocks.
    spans = {TextSpan("abc", bench.font)};
    buildWrappedTextBlocks(spans, 5, blocks);
    EXPECT_EQ(shapes(blocks), (std::vector<BlockShape>{{0, 1, true, false}, {1, 1, true, false}, {2, 1, true, false}}));

    // Without splitting the long word stays whole and overflows.
    spans = {TextSpan("aaaaaaaaaa", bench.font)};
    buildTextBlocks(spans, blocks);
    EXPECT_EQ(lines(bench, blocks, 30, RichTextLeft).width, 70);
}

TEST(RichText, BlocksDrawTheirRangeInTheSpanColourOrGrey) {
    WidgetBench bench;
    std::vector<TextSpan> spans{TextSpan("ab cd", bench.font, Color(0xff0000ffu))};
    std::vector<TextRenderBlock> blocks;
    buildTextBlocks(spans, blocks);
    lines(bench, blocks, 500, RichTextLeft);
    const int before = bench.ctx.batchVertexCount();
    blocks[1].draw(&bench.ctx, 100, 50, true);
    EXPECT_EQ(bench.ctx.batchVertexCount() - before, 2 * 4);  // two glyphs
    EXPECT_EQ(bench.ctx.textColor(), 0xff0000ffu);
    const Vertex* v = bench.ctx.batchVertices() + before;
    EXPECT_EQ(v[0].x, float(100 + 18 + 1));  // origin + block x + the glyph's left bearing
    EXPECT_EQ(v[0].color, 0xff0000ffu);
    blocks[0].draw(&bench.ctx, 0, 0, false);
    EXPECT_EQ(bench.ctx.textColor(), 0xff7f7f7fu);

    // Copies keep text and code points equal and share the task.
    auto task = std::make_shared<guitest::CountingTask>();
    TextSpan link(std::vector<std::uint32_t>{0xe9, 'x'}, bench.font, Color(), TextSpan::kLink, task);
    TextSpan copy = link;
    EXPECT_EQ(copy.text, "\xc3\xa9x");
    EXPECT_EQ(copy.task, link.task);
    EXPECT_TRUE(copy.isLink());
}
