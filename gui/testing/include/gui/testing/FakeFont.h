#pragma once
// A font with fixed metrics for layout tests: every glyph but the space advances by the same
// amount and has a solid bitmap; the space has no pixels.

#include "gui/GraphicsFont.h"
#include "gui/TextService.h"

#include <map>
#include <utility>

namespace guitest {

struct FakeFontMetrics {
    int ascent = 10;
    int descent = 3;
    int lineGap = 2;
    int advance = 7;       // every glyph but the space, in pixels
    int spaceAdvance = 4;  // in pixels
    int leftBearing = 1;
    int glyphWidth = 5;
    int glyphHeight = 9;
    int bearingY = 9;
};

class FakeTextServiceFont : public AbstractTextServiceFont {
public:
    explicit FakeTextServiceFont(FakeFontMetrics metrics = {}) : m_(metrics) {}

    void getMetrics(FontMetrics& metrics) override;
    bool renderGlyph(std::uint32_t codePoint, Glyph& glyph, GlyphBitmap& bitmap) override;

    int renderCount = 0;
    // Per code point: (top offset, bearing y) in pixels instead of the common ones.
    std::map<std::uint32_t, std::pair<int, int>> verticalOverrides;

private:
    FakeFontMetrics m_;
};

// A glyph cache over a fake face.
inline GraphicsFont* makeFakeFont(float scale = 1.0f, FakeFontMetrics metrics = {}) {
    return new GraphicsFont(new FakeTextServiceFont(metrics), scale);
}

}  // namespace guitest
