// Text operations of the graphics context: word splitting, measuring, wrapping, centring and
// justifying lines, baseline snapping and glyph quads.

#include "gui/AbstractGraphicsContext.h"

#include "gui/GraphicsFont.h"

#include <algorithm>
#include <map>

namespace {

constexpr std::uint32_t kSpace = 0x20;

// Clamps (start, count) to the text; false when nothing is left.
bool textRange(std::size_t length, int start, int count, int* begin, int* end) {
    if (start < 0 || std::size_t(start) >= length)
        return false;
    const long long remain = (long long)length - start;
    const long long n = (count < 0 || count > remain) ? remain : count;
    if (n <= 0)
        return false;
    *begin = start;
    *end = int(start + n);
    return true;
}

// Reads the word at *pos (up to the next space) and the spaces after it; advances *pos.
void readWord(const std::uint32_t* text, int* pos, int end, GraphicsFont* font, TextWord* word) {
    int i = *pos;
    word->text = text;
    word->begin = i;
    int logical = 0;
    int pixels = 0;
    float lastScale = 1.0f;
    for (; i < end && text[i] != kSpace; ++i) {
        const Glyph g = font->getGlyph(text[i]);
        const int advance = g.advance();
        pixels += advance;
        logical += int(float(advance) / g.scale);
        lastScale = g.scale;
    }
    word->end = i;
    // The mean of the per-glyph and the whole-word conversion to logical units.
    word->width = i > word->begin ? logical + (int(float(pixels) / lastScale) - logical) / 2 : 0;
    int trailing = 0;
    if (i < end && text[i] == kSpace) {
        const Glyph space = font->getGlyph(kSpace);
        const int spaceWidth = int(float(space.advance()) / space.scale);
        for (; i < end && text[i] == kSpace; ++i)
            trailing += spaceWidth;
    }
    word->trailing = trailing;
    *pos = i;
}

}  // namespace

void AbstractGraphicsContext::splitTextWords(const std::uint32_t* text, std::size_t length, int start, int count,
                                             GraphicsFont* font, std::vector<TextWord>& words) {
    int begin = 0, end = 0;
    if (!font || !text || !textRange(length, start, count, &begin, &end))
        return;
    int pos = begin;
    while (pos < end) {
        TextWord word;
        readWord(text, &pos, end, font, &word);
        words.push_back(word);
    }
}

bool AbstractGraphicsContext::measureText(const std::uint32_t* text, std::size_t length, int start, int count,
                                          GraphicsFont* font, int* width, int* height, int mode) {
    int begin = 0, end = 0;
    if (!font || !text || !textRange(length, start, count, &begin, &end))
        return false;
    const int maxWidth = (mode == 1 && width) ? *width : kUnlimitedWidth;
    FontMetrics m;
    font->getMetrics(m);

    int lineWidth = 0;
    int widest = 0;
    int total = 0;
    bool lineHasWord = false;
    int pos = begin;
    while (pos < end) {
        TextWord word;
        readWord(text, &pos, end, font, &word);
        // A word that does not fit starts a new line, unless it is the first one of its line:
        // then it stays (too wide) rather than leaving an empty line above it.
        if (lineHasWord && lineWidth + word.width > maxWidth) {
            lineWidth = 0;
            total += m.descent + m.lineGap + m.ascent;
        }
        widest = std::max(widest, lineWidth + word.width);
        lineWidth += word.width + word.trailing;
        lineHasWord = true;
    }
    if (lineWidth > 0)
        total += m.descent + m.ascent;
    if (width)
        *width = widest;
    if (height)
        *height = total;
    return true;
}

void AbstractGraphicsContext::drawText(const std::uint32_t* text, std::size_t length, int start, int count,
                                       GraphicsFont* font, int x, int y, int width, int, int mode) {
    int begin = 0, end = 0;
    if (!font || !text || !textRange(length, start, count, &begin, &end))
        return;
    const int limit = mode != 0 ? x + width : kUnlimitedWidth;
    std::vector<TextWord>& words = wordScratch_;
    words.clear();
    splitTextWords(text, length, begin, end - begin, font, words);
    FontMetrics m;
    font->getMetrics(m);
    const int lineAdvance = m.ascent + m.descent + m.lineGap;

    int lineY = y;
    int pen = x;
    int first = 0;
    int previousTrailing = 0;
    const int n = int(words.size());
    for (int i = 0; i < n; ++i) {
        const TextWord& word = words[i];
        // The same fit test as measureText: the spaces before the word count, and the first
        // word of a line never breaks.
        if (i > first && pen + previousTrailing + word.width > limit) {
            int startX = x;
            float extra = 0.0f;
            if (mode == 2)
                startX = x + (limit - pen) / 2;
            else if (mode == 4 && i - first > 1)
                extra = float(limit - pen) / float(i - first - 1);
            drawTextLine(words.data(), first, i, startX, lineY, extra, font);
            first = i;
            lineY += lineAdvance;
            pen = x;
            previousTrailing = 0;
        }
        pen += word.width + previousTrailing;
        previousTrailing = word.trailing;
    }
    const int startX = mode == 2 ? x + (limit - pen) / 2 : x;
    drawTextLine(words.data(), first, n, startX, lineY, 0.0f, font);
}

void AbstractGraphicsContext::drawTextLine(const TextWord* words, int first, int end, int startX, int y,
                                           float extraSpacing, GraphicsFont* font) {
    int pen = startX;
    float carried = 0.0f;
    const bool snap = !font->isUnscaled();
    for (int w = first; w < end; ++w) {
        const TextWord& word = words[w];
        int baselineValue = 0;
        int* baseline = nullptr;
        if (snap && findCommonBaseline(font, y, word, &baselineValue))
            baseline = &baselineValue;
        for (int i = word.begin; i < word.end; ++i) {
            const Glyph g = font->getPlacedGlyph(word.text[i], this);
            const float scale = g.scale;
            // Tiny bearings and advances never vanish at UI scales above 1.
            int left = int(float(g.leftBearing) / scale);
            if (left == 0 && g.leftBearing != 0)
                left = g.leftBearing > 0 ? 1 : -1;
            drawGlyph(font, pen + left, y, g.height, g, baseline);
            const int rest = g.width + g.rightBearing;
            int right = int(float(rest) / scale);
            if (right == 0 && rest != 0)
                right = rest > 0 ? 1 : -1;
            pen += left + right;
        }
        pen += word.trailing;
        if (w + 1 < end) {
            const float target = float(pen) + extraSpacing + carried + 0.5f;
            carried += extraSpacing - float(int(target) - pen);
            pen = int(target);
        }
    }
}

bool AbstractGraphicsContext::findCommonBaseline(GraphicsFont* font, int y, const TextWord& word, int* baseline) {
    if (word.end <= word.begin)
        return false;
    // The keys of one word differ by a pixel or two: a small array counts them without
    // allocating; a map takes over only if a word ever had more distinct keys.
    constexpr int kSlots = 16;
    int keys[kSlots];
    int counts[kSlots];
    int used = 0;
    bool overflowed = false;
    std::map<int, int> many;
    for (int i = word.begin; i < word.end; ++i) {
        const Glyph g = font->getPlacedGlyph(word.text[i], this);
        const int key = int(float(g.topOffset + y) * g.scale + float(g.bearingY));
        if (overflowed) {
            ++many[key];
            continue;
        }
        int k = 0;
        while (k < used && keys[k] != key)
            ++k;
        if (k < used) {
            ++counts[k];
        } else if (used < kSlots) {
            keys[used] = key;
            counts[used] = 1;
            ++used;
        } else {
            overflowed = true;
            for (int j = 0; j < used; ++j)
                many[keys[j]] = counts[j];
            ++many[key];
        }
    }
    int bestKey = 0, bestCount = 0;
    auto consider = [&](int key, int count) {
        if (count > bestCount || (count == bestCount && key < bestKey)) {
            bestKey = key;
            bestCount = count;
        }
    };
    if (overflowed) {
        for (const auto& entry : many)
            consider(entry.first, entry.second);
    } else {
        for (int k = 0; k < used; ++k)
            consider(keys[k], counts[k]);
    }
    *baseline = bestKey;
    return true;
}

void AbstractGraphicsContext::drawGlyph(GraphicsFont* font, int x, int y, int height, const Glyph& glyph,
                                        int* baseline) {
    const float s = uiScale_;
    int top = int(float(y + glyph.topOffset) * s);
    if (baseline) {
        if (*baseline != 0)
            top = *baseline - glyph.bearingY;
        else
            *baseline = top + glyph.bearingY;
    }
    if (glyph.page < 0)
        return;
    AbstractSurface* page = font->page(glyph.page);
    if (!page)
        return;
    // Glyph bitmaps are already in device pixels: draw this quad unscaled.
    uiScale_ = 1.0f;
    const float inv = 1.0f / float(GraphicsFont::kPageSize);
    try {
        drawImage(page, int(float(x) * s), top, glyph.width, height, float(glyph.atlasX) * inv,
                  float(glyph.atlasY) * inv, float(glyph.width) * inv, float(height) * inv, textColor_, 0.0f);
    } catch (...) {
        uiScale_ = s;
        throw;
    }
    uiScale_ = s;
}
