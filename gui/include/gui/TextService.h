#pragma once
// The text service: opens sized font faces and renders glyph bitmaps. Sizes are in device
// pixels (point size at the font DPI); layout code converts with the font's UI scale.

#include <cstdint>
#include <vector>

// Font flags of the open operations.
enum FontFlags : int {
    FontFlagBold = 1,      // only for fonts opened by family name
    FontFlagItalic = 2,    // only for fonts opened by family name
    FontFlagAutohint = 16,
};

struct FontMetrics {
    int ascent = 0;
    int descent = 0;       // positive
    int height = 0;        // ascent + descent
    int spaceAdvance = 0;
    int bearingY = 0;      // of the glyph currently loaded in the face; unused by layout
    int maxAdvance = 0;
    int lineGap = 0;
    int underlineThickness = 0;
    int underlinePosition = 0;
};

// 8-bit coverage, rows packed.
struct GlyphBitmap {
    std::vector<std::uint8_t> pixels;
    int width = 0;
    int height = 0;
};

// Metrics and atlas place of one cached glyph. Plain data: the glyph cache hands out copies,
// so a caller on another thread never holds a reference into the cache.
struct Glyph {
    unsigned atlasX = 0;
    unsigned atlasY = 0;
    int topOffset = 0;     // line top to bitmap top (logical once cached)
    int height = 0;        // bitmap rows
    int bearingY = 0;
    float scale = 1.0f;
    int page = -1;         // atlas page index, -1 while not placed
    int leftBearing = 0;
    int width = 0;         // bitmap width
    int rightBearing = 0;
    bool pending = false;  // a rendered bitmap waits to be placed into a page

    int advance() const { return leftBearing + width + rightBearing; }
};

class AbstractTextServiceFont {
public:
    virtual ~AbstractTextServiceFont() = default;
    // Fills the metrics. A font without a face reports zeros.
    virtual void getMetrics(FontMetrics& metrics) = 0;
    // Renders one glyph: fills its metrics and, when it has pixels, the bitmap (and sets
    // glyph.pending). False when the font cannot render (no face, FreeType error).
    virtual bool renderGlyph(std::uint32_t codePoint, Glyph& glyph, GlyphBitmap& bitmap) = 0;
};

class AbstractTextService {
public:
    virtual ~AbstractTextService() = default;
    // Always returns a font; its face is missing when the data could not be opened.
    virtual AbstractTextServiceFont* openFontFromMemory(const unsigned char* data, int size, bool ownsData,
                                                        int pointSize, int dpi, int flags) = 0;
    // A file path (name containing ".ttf") or a family name; null when nothing opens.
    virtual AbstractTextServiceFont* openFontByName(const char* name, int pointSize, int dpi, int flags) = 0;
};
