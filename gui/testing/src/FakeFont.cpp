#include "gui/testing/FakeFont.h"

namespace guitest {

void FakeTextServiceFont::getMetrics(FontMetrics& m) {
    m = FontMetrics();
    m.ascent = m_.ascent;
    m.descent = m_.descent;
    m.height = m_.ascent + m_.descent;
    m.spaceAdvance = m_.spaceAdvance;
    m.maxAdvance = m_.advance;
    m.lineGap = m_.lineGap;
    m.underlineThickness = 1;
}

bool FakeTextServiceFont::renderGlyph(std::uint32_t codePoint, Glyph& glyph, GlyphBitmap& bitmap) {
    ++renderCount;
    glyph = Glyph();
    if (codePoint == 0x20) {
        glyph.rightBearing = m_.spaceAdvance;
        return true;
    }
    glyph.leftBearing = m_.leftBearing;
    glyph.width = m_.glyphWidth;
    glyph.rightBearing = m_.advance - m_.leftBearing - m_.glyphWidth;
    glyph.height = m_.glyphHeight;
    glyph.bearingY = m_.bearingY;
    glyph.topOffset = m_.ascent - m_.bearingY;
    auto it = verticalOverrides.find(codePoint);
    if (it != verticalOverrides.end()) {
        glyph.topOffset = it->second.first;
        glyph.bearingY = it->second.second;
    }
    if (m_.glyphWidth > 0 && m_.glyphHeight > 0) {
        bitmap.width = m_.glyphWidth;
        bitmap.height = m_.glyphHeight;
        bitmap.pixels.assign(std::size_t(m_.glyphWidth) * std::size_t(m_.glyphHeight), 255);
        glyph.pending = true;
    }
    return true;
}

}  // namespace guitest
