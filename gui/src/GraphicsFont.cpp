#include "gui/GraphicsFont.h"

#include "gui/AbstractGraphicsContext.h"

GraphicsFont::GraphicsFont(AbstractTextServiceFont* face, float scale) : face_(face), scale_(scale) {
    glyphs_.reserve(256);
}

GraphicsFont::~GraphicsFont() {
    pages_.clear();
    glyphs_.clear();
    face_.reset();
}

GraphicsFont::Entry& GraphicsFont::entryLocked(std::uint32_t codePoint) {
    auto it = glyphs_.find(codePoint);
    if (it != glyphs_.end())
        return it->second;
    Entry& entry = glyphs_[codePoint];
    if (face_) {
        scratch_.pixels.clear();
        scratch_.width = scratch_.height = 0;
        if (face_->renderGlyph(codePoint, entry.glyph, scratch_) && entry.glyph.pending)
            entry.bitmap.reset(new GlyphBitmap(scratch_));
        else
            entry.glyph.pending = false;
    }
    entry.glyph.topOffset = int(float(entry.glyph.topOffset) / scale_);
    entry.glyph.scale = scale_;
    return entry;
}

Glyph GraphicsFont::getGlyph(std::uint32_t codePoint) {
    std::lock_guard<std::mutex> lock(mutex_);
    return entryLocked(codePoint).glyph;
}

void GraphicsFont::placeLocked(Entry& entry, AbstractGraphicsContext* context) {
    if (!entry.bitmap)
        return;
    const GlyphBitmap& bitmap = *entry.bitmap;
    unsigned x = 0, y = 0;
    if (!currentPage_) {
        AbstractSurface* page = context->createSurface();
        if (!page)
            return;
        pages_.emplace_back(page);
        currentPage_ = page;
    }
    if (!currentPage_->addSubImage(bitmap.pixels.data(), bitmap.width, bitmap.height, 3, &x, &y)) {
        // The page is full: open a new one. A bitmap that does not fit an empty page (larger
        // than a page) is dropped rather than opening pages forever.
        AbstractSurface* page = context->createSurface();
        if (!page)
            return;
        pages_.emplace_back(page);
        currentPage_ = page;
        if (!page->addSubImage(bitmap.pixels.data(), bitmap.width, bitmap.height, 3, &x, &y)) {
            entry.bitmap.reset();
            entry.glyph.pending = false;
            return;
        }
    }
    entry.glyph.atlasX = x;
    entry.glyph.atlasY = y;
    entry.glyph.page = int(pages_.size()) - 1;
    entry.glyph.pending = false;
    entry.bitmap.reset();
}

void GraphicsFont::renderGlyph(std::uint32_t codePoint, AbstractGraphicsContext* context) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = glyphs_.find(codePoint);
    if (it != glyphs_.end())
        placeLocked(it->second, context);
}

Glyph GraphicsFont::getPlacedGlyph(std::uint32_t codePoint, AbstractGraphicsContext* context) {
    std::lock_guard<std::mutex> lock(mutex_);
    Entry& entry = entryLocked(codePoint);
    if (entry.bitmap)
        placeLocked(entry, context);
    return entry.glyph;
}

void GraphicsFont::getMetrics(FontMetrics& metrics) {
    metrics = FontMetrics();
    {
        // The face is not safe for concurrent use: metrics share the lock with rendering.
        std::lock_guard<std::mutex> lock(mutex_);
        if (face_)
            face_->getMetrics(metrics);
    }
    metrics.ascent = int(float(metrics.ascent) / scale_);
    metrics.descent = int(float(metrics.descent) / scale_);
    metrics.height = int(float(metrics.height) / scale_);
    metrics.maxAdvance = int(float(metrics.maxAdvance) / scale_);
}

std::size_t GraphicsFont::pageCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return pages_.size();
}

AbstractSurface* GraphicsFont::page(int index) const {
    // Pages are only added on the drawing thread, which is also the only reader here.
    if (index < 0 || std::size_t(index) >= pages_.size())
        return nullptr;
    return pages_[std::size_t(index)].get();
}
