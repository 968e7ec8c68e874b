#pragma once
// The glyph cache of one sized font: glyphs are rendered once per code point and their
// bitmaps packed into 1024 x 1024 alpha atlas pages on first draw. Any thread may look glyphs
// up (measuring) while the drawing thread places them; the cache hands out copies.

#include "gui/TextService.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

class AbstractGraphicsContext;
class AbstractSurface;

class GraphicsFont {
public:
    static constexpr int kPageSize = 1024;

    // Takes ownership of the face (null is allowed: the font then has zero metrics).
    GraphicsFont(AbstractTextServiceFont* face, float scale);
    ~GraphicsFont();

    GraphicsFont(const GraphicsFont&) = delete;
    GraphicsFont& operator=(const GraphicsFont&) = delete;

    // The cached glyph, rendered on first use. Its top offset is logical.
    Glyph getGlyph(std::uint32_t codePoint);
    // The glyph with its bitmap placed into a page (drawing thread only).
    Glyph getPlacedGlyph(std::uint32_t codePoint, AbstractGraphicsContext* context);
    // Places the glyph's pending bitmap into a page (drawing thread only).
    void renderGlyph(std::uint32_t codePoint, AbstractGraphicsContext* context);
    // Face metrics with ascent, descent, height and maximum advance in logical units.
    void getMetrics(FontMetrics& metrics);

    bool isUnscaled() const { return scale_ == 1.0f; }
    float scale() const { return scale_; }
    AbstractTextServiceFont* face() const { return face_.get(); }
    std::size_t pageCount() const;
    AbstractSurface* page(int index) const;

private:
    struct Entry {
        Glyph glyph;
        std::unique_ptr<GlyphBitmap> bitmap;
    };
    Entry& entryLocked(std::uint32_t codePoint);
    void placeLocked(Entry& entry, AbstractGraphicsContext* context);

    std::shared_ptr<AbstractTextServiceFont> face_;
    AbstractSurface* currentPage_ = nullptr;
    std::vector<std::unique_ptr<AbstractSurface>> pages_;
    std::unordered_map<std::uint32_t, Entry> glyphs_;
    mutable std::mutex mutex_;
    float scale_;
    GlyphBitmap scratch_;  // reused by rendering, under the mutex
};
