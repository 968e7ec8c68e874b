#include "gui/RichText.h"

#include "core/Utf8.h"
#include "gui/AbstractGraphicsContext.h"
#include "gui/GUITasks.h"
#include "gui/GraphicsFont.h"

#include <algorithm>

namespace {

constexpr std::uint32_t kTab = 9;
constexpr std::uint32_t kNewline = 10;
constexpr std::uint32_t kSpace = 32;
constexpr std::uint32_t kDisabledText = 0xff7f7f7f;

bool isWhitespace(std::uint32_t c) { return c == kTab || c == kNewline || c == kSpace; }

// The words of one span: [begin, end) code point ranges with their flags.
struct SpanWord {
    int begin;
    int end;
    bool endsRun;
    bool breaksLine;
};

// Reads the word at *pos and the whitespace after it. A code point 0 ends the span.
SpanWord nextWord(const std::vector<std::uint32_t>& cps, std::size_t* pos, bool* spanEnded) {
    const std::size_t n = cps.size();
    std::size_t i = *pos;
    SpanWord w{int(i), int(i), false, false};
    while (i < n && cps[i] != 0 && !isWhitespace(cps[i]))
        ++i;
    w.end = int(i);
    w.endsRun = i >= n || cps[i] == 0;
    while (i < n && isWhitespace(cps[i])) {
        if (cps[i] == kNewline)
            w.breaksLine = true;
        ++i;
    }
    // Whitespace running to the end of the span leaves nothing to follow the word.
    *spanEnded = w.endsRun || i >= n || cps[i] == 0;
    *pos = i;
    return w;
}

int glyphWidth(GraphicsFont* font, std::uint32_t c, int spaceAdvance) {
    if (isWhitespace(c))
        return spaceAdvance;
    const Glyph g = font->getGlyph(c);
    return int(float(g.advance()) / g.scale);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Spans

TextSpan::TextSpan(const std::string& text, GraphicsFont* font, Color color, int kind,
                   std::shared_ptr<PlayerGUITask> task)
    : text(text), codePoints(utf8ToCodePoints(text)), font(font), color(color), kind(kind), task(std::move(task)) {}

TextSpan::TextSpan(const std::vector<std::uint32_t>& codePoints, GraphicsFont* font, Color color, int kind,
                   std::shared_ptr<PlayerGUITask> task)
    : text(codePointsToUtf8(codePoints)), codePoints(codePoints), font(font), color(color), kind(kind),
      task(std::move(task)) {}

RichText::RichText(int mode, const std::string& text, GraphicsFont* font, Color color, int kind,
                   std::shared_ptr<PlayerGUITask> task)
    : mode(mode) {
    spans.emplace_back(text, font, color, kind, std::move(task));
}

RichText::RichText(int mode, const std::vector<std::uint32_t>& codePoints, GraphicsFont* font, Color color, int kind,
                   std::shared_ptr<PlayerGUITask> task)
    : mode(mode) {
    spans.emplace_back(codePoints, font, color, kind, std::move(task));
}

int RichText::modeFromAlignment(int alignment) {
    switch (alignment) {
        case 2:
            return RichTextCentre;
        case 3:
            return RichTextRight;
        case 4:
            return RichTextLeftJustified;
        default:
            return RichTextLeft;
    }
}

// ---------------------------------------------------------------------------------------------
// Blocks

void TextRenderBlock::measure(AbstractGraphicsContext* context, int* w, int* h) {
    // An empty word (text starting with a space) measures 0 x 0.
    *w = 0;
    *h = 0;
    if (!span || count <= 0)
        return;
    context->measureText(span->codePoints, first, count, span->font, w, h, 0);
}

void TextRenderBlock::draw(AbstractGraphicsContext* context, int originX, int originY, bool enabled) {
    if (!span || count <= 0)
        return;
    context->setTextColor(enabled ? span->color.value() : kDisabledText);
    context->drawText(span->codePoints, first, count, span->font, originX + x, originY + y, width, height, 0);
}

BlockFontMetrics blockFontMetrics(GraphicsFont* font) {
    BlockFontMetrics out;
    if (!font)
        return out;
    FontMetrics m;
    font->getMetrics(m);
    // The font reports descent in logical units already; space and gap are in pixels.
    const float scale = font->scale() > 0.0f ? font->scale() : 1.0f;
    out.descent = m.descent;
    out.spaceAdvance = int(float(m.spaceAdvance) / scale);
    out.lineGap = int(float(m.lineGap) / scale);
    return out;
}

void buildTextBlocks(const std::vector<TextSpan>& spans, std::vector<TextRenderBlock>& blocks) {
    blocks.clear();
    for (const TextSpan& span : spans) {
        const int descent = blockFontMetrics(span.font).descent;
        std::size_t pos = 0;
        bool ended = false;
        do {
            const SpanWord w = nextWord(span.codePoints, &pos, &ended);
            blocks.emplace_back(&span, w.begin, w.end - w.begin, descent, w.endsRun, w.breaksLine);
        } while (!ended);
    }
}

void buildWrappedTextBlocks(const std::vector<TextSpan>& spans, int available, std::vector<TextRenderBlock>& blocks) {
    blocks.clear();
    for (const TextSpan& span : spans) {
        const BlockFontMetrics metrics = blockFontMetrics(span.font);
        const std::vector<std::uint32_t>& cps = span.codePoints;
        // A running line position that follows the line layout, so that split words fill
        // the rest of their line.
        int position = 0;
        std::size_t pos = 0;
        bool ended = false;
        do {
            const SpanWord w = nextWord(cps, &pos, &ended);
            int wordWidth = 0;
            if (span.font) {
                for (int i = w.begin; i < w.end; ++i)
                    wordWidth += glyphWidth(span.font, cps[std::size_t(i)], metrics.spaceAdvance);
            }
            if (wordWidth <= available) {
                blocks.emplace_back(&span, w.begin, w.end - w.begin, metrics.descent, w.endsRun, w.breaksLine);
                position = position + wordWidth > available ? wordWidth : position + wordWidth;
            } else {
                int pieceStart = w.begin;
                for (int i = w.begin; i < w.end; ++i) {
                    const int cw = glyphWidth(span.font, cps[std::size_t(i)], metrics.spaceAdvance);
                    position += cw;
                    if (position > available) {
                        // Nothing before the overflowing character: no empty piece.
                        if (i > pieceStart)
                            blocks.emplace_back(&span, pieceStart, i - pieceStart, metrics.descent, true, false);
                        pieceStart = i;
                        position = cw;
                    }
                }
                blocks.emplace_back(&span, pieceStart, w.end - pieceStart, metrics.descent, w.endsRun, w.breaksLine);
            }
            if (!w.endsRun) {
                position += metrics.spaceAdvance;
                if (position > available)
                    position = 0;
            }
        } while (!ended);
    }
}

void setBlockSpacing(std::vector<TextRenderBlock>& blocks) {
    GraphicsFont* lastFont = nullptr;
    BlockFontMetrics metrics;
    for (TextRenderBlock& block : blocks) {
        GraphicsFont* font = block.span ? block.span->font : nullptr;
        if (font != lastFont || &block == blocks.data()) {
            metrics = blockFontMetrics(font);
            lastFont = font;
        }
        block.setSpacing(0, 0, block.endsRun ? 0 : metrics.spaceAdvance, metrics.lineGap);
    }
}

// ---------------------------------------------------------------------------------------------
// Line layout

void layoutBlockLines(AbstractGraphicsContext* context, TextRenderBlock* first, TextRenderBlock* end, int available,
                      int mode, int* outWidth, int* outHeight) {
    for (TextRenderBlock* b = first; b != end; ++b) {
        int w = 0, h = 0;
        b->measure(context, &w, &h);
        b->setSize(w, h);
    }
    int widest = 0;
    int top = 0;
    TextRenderBlock* lineStart = first;
    while (lineStart != end) {
        // Fill the line: a block joins it when it fits together with the space before it, so
        // that no line is wider than the width it is wrapped in (a centred line would
        // otherwise start left of its box and lose letters at both ends).
        int lineWidth = lineStart->width;
        int pending = lineStart->rightSpacing;
        TextRenderBlock* lineEnd = lineStart + 1;
        while (lineEnd != end && !(lineEnd - 1)->breaksLine && lineWidth + pending + lineEnd->width <= available) {
            lineWidth += pending + lineEnd->width;
            pending = lineEnd->rightSpacing;
            ++lineEnd;
        }
        int ascent = lineStart->height - lineStart->descent;
        int descent = lineStart->descent;
        int gap = lineStart->bottomSpacing;
        for (TextRenderBlock* b = lineStart + 1; b != lineEnd; ++b) {
            ascent = std::max(ascent, b->height - b->descent);
            descent = std::max(descent, b->descent);
            gap = std::max(gap, b->bottomSpacing);
        }
        const int lineHeight = ascent + descent + (lineEnd != end ? gap : 0);
        int offset = 0;
        if (mode == RichTextRight)
            offset = available - lineWidth;
        else if (mode == RichTextCentre)
            offset = (available - lineWidth) / 2;
        for (TextRenderBlock* b = lineStart; b != lineEnd; ++b) {
            b->setPosition(offset, top + ascent - (b->height - b->descent));
            offset += b->width;
            if (b + 1 != end)
                offset += b->rightSpacing;
        }
        widest = std::max(widest, lineWidth);
        top += lineHeight;
        lineStart = lineEnd;
    }
    *outWidth = widest;
    *outHeight = top;
}

void layoutBlockRow(AbstractGraphicsContext* context, TextRenderBlock* first, TextRenderBlock* end, int* outWidth,
                    int* outHeight) {
    if (first == end) {
        *outWidth = 0;
        *outHeight = 0;
        return;
    }
    int ascent = 0, descent = 0;
    for (TextRenderBlock* b = first; b != end; ++b) {
        int w = 0, h = 0;
        b->measure(context, &w, &h);
        b->setSize(w, h);
        if (b == first) {
            ascent = h - b->descent;
            descent = b->descent;
        } else {
            ascent = std::max(ascent, h - b->descent);
            descent = std::max(descent, b->descent);
        }
    }
    int offset = 0;
    int right = 0;
    for (TextRenderBlock* b = first; b != end; ++b) {
        b->setPosition(offset, ascent - (b->height - b->descent));
        right = offset + b->width;
        offset = right + b->rightSpacing;
    }
    *outWidth = right;
    *outHeight = ascent + descent;
}
