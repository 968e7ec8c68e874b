#include "gui/AbstractGraphicsContext.h"

#include "gui/GraphicsFont.h"
#include "gui/TextService.h"

#include <algorithm>
#include <cmath>

int bytesPerPixel(int format) {
    switch (format) {
        case PixelFormatRGBA8:
        case PixelFormatRGBA:
            return 4;
        case PixelFormatAlpha:
            return 1;
        default:
            return 0;
    }
}

// ---------------------------------------------------------------------------------------------
// Surface drawing

bool AbstractSurface::addSubImage(const void*, int, int, int, unsigned*, unsigned*) {
    return false;
}

void AbstractSurface::draw(int x, int y) {
    draw(x, y, imageWidth_, imageHeight_, 0, 0, imageWidth_, imageHeight_, 0.0f);
}

void AbstractSurface::draw(int x, int y, int w, int h) {
    draw(x, y, w, h, 0, 0, imageWidth_, imageHeight_, 0.0f);
}

void AbstractSurface::draw(int x, int y, int w, int h, int sx, int sy) {
    draw(x, y, w, h, sx, sy, w, h, 0.0f);
}

void AbstractSurface::draw(int x, int y, int w, int h, int sx, int sy, int sw, int sh, float angle) {
    if (textureWidth_ <= 0 || textureHeight_ <= 0)
        return;  // no image yet: nothing can be sampled
    const float tw = float(textureWidth_);
    const float th = float(textureHeight_);
    context_->drawImage(this, x, y, w, h, float(sx) / tw, float(sy) / th, float(sw) / tw, float(sh) / th,
                        context_->color(), angle);
}

void AbstractSurface::drawTriangle(int x0, int y0, int x1, int y1, int x2, int y2, int sx, int sy, int sw,
                                   int sh) {
    if (textureWidth_ <= 0 || textureHeight_ <= 0)
        return;
    const float tw = float(textureWidth_);
    const float th = float(textureHeight_);
    context_->drawTriangle(this, x0, y0, x1, y1, x2, y2, float(sx) / tw, float(sy) / th, float(sw) / tw,
                           float(sh) / th, context_->color());
}

// ---------------------------------------------------------------------------------------------
// Batcher

AbstractGraphicsContext::AbstractGraphicsContext() : drawingThread_(std::this_thread::get_id()) {
    runs_.reserve(16);
    wordScratch_.reserve(64);
}

AbstractGraphicsContext::~AbstractGraphicsContext() {
    delete vertexBuffer_;
}

void AbstractGraphicsContext::getLogicalSize(int* width, int* height) {
    int w = 0, h = 0;
    getWindowSize(&w, &h);
    if (width)
        *width = int(float(w) / uiScale_);
    if (height)
        *height = int(float(h) / uiScale_);
}

void AbstractGraphicsContext::setCursorShape(int) {}

const char* AbstractGraphicsContext::getClipboardText() {
    return nullptr;
}

void AbstractGraphicsContext::setClipboardText(const char*) {}

bool AbstractGraphicsContext::initialize() {
    if (!initExtensions())
        throw "error";
    delete vertexBuffer_;
    vertexBuffer_ = createVertexBuffer();
    if (!vertexBuffer_)
        throw "error";
    vertexBuffer_->allocate(kMaxVertices, kMaxIndices);
    vertexCount_ = 0;
    indexCount_ = 0;
    vertexBuffer_->map(&vertices_, &indices_);
    return true;
}

void AbstractGraphicsContext::checkThread() const {
    if (std::this_thread::get_id() != drawingThread_)
        throw "only main thread!";
}

DrawRun& AbstractGraphicsContext::runFor(AbstractSurface* surface) {
    if (runs_.empty() || runs_.back().surface != surface)
        runs_.push_back(DrawRun{surface, vertexCount_, 0, indexCount_, 0});
    return runs_.back();
}

int AbstractGraphicsContext::reserve(AbstractSurface* surface, int vertices, int indices) {
    if (vertexCount_ + vertices > kMaxVertices || indexCount_ + indices > kMaxIndices)
        flush();
    DrawRun& run = runFor(surface);
    run.vertexCount += vertices;
    run.indexCount += indices;
    return vertexCount_ - run.firstVertex;
}

void AbstractGraphicsContext::drawImage(AbstractSurface* surface, int x, int y, int width, int height, float u,
                                        float v, float du, float dv, std::uint32_t color, float angle) {
    checkThread();
    if (!vertices_)
        return;  // not initialised
    const int b = reserve(surface, 4, 6);
    std::uint16_t* idx = indices_ + indexCount_;
    idx[0] = std::uint16_t(b);
    idx[1] = std::uint16_t(b + 1);
    idx[2] = std::uint16_t(b + 3);
    idx[3] = std::uint16_t(b + 1);
    idx[4] = std::uint16_t(b + 2);
    idx[5] = std::uint16_t(b + 3);
    indexCount_ += 6;

    const float x0 = float(x), x1 = float(x + width), y0 = float(y), y1 = float(y + height);
    float px[4] = {x0, x1, x1, x0};
    float py[4] = {y0, y0, y1, y1};
    if (angle != 0.0f) {
        const float cx = (x0 + x1) * 0.5f, cy = (y0 + y1) * 0.5f;
        const float c = std::cos(angle), s = std::sin(angle);
        for (int i = 0; i < 4; ++i) {
            const float dx = px[i] - cx, dy = py[i] - cy;
            px[i] = cx + dx * c - dy * s;
            py[i] = cy + dx * s + dy * c;
        }
    }
    const float tu[4] = {u, u + du, u + du, u};
    const float tv[4] = {v, v, v + dv, v + dv};
    Vertex* out = vertices_ + vertexCount_;
    for (int i = 0; i < 4; ++i)
        out[i] = Vertex{px[i] * uiScale_, py[i] * uiScale_, 0.0f, color, tu[i], tv[i]};
    vertexCount_ += 4;
}

void AbstractGraphicsContext::drawTriangle(AbstractSurface* surface, int x0, int y0, int x1, int y1, int x2,
                                           int y2, float u, float v, float du, float dv, std::uint32_t color) {
    checkThread();
    if (!vertices_)
        return;
    const int b = reserve(surface, 3, 3);
    std::uint16_t* idx = indices_ + indexCount_;
    idx[0] = std::uint16_t(b);
    idx[1] = std::uint16_t(b + 1);
    idx[2] = std::uint16_t(b + 2);
    indexCount_ += 3;
    Vertex* out = vertices_ + vertexCount_;
    out[0] = Vertex{float(x0) * uiScale_, float(y0) * uiScale_, 0.0f, color, u, v};
    out[1] = Vertex{float(x1) * uiScale_, float(y1) * uiScale_, 0.0f, color, u + du, v};
    out[2] = Vertex{float(x2) * uiScale_, float(y2) * uiScale_, 0.0f, color, u, v + dv};
    vertexCount_ += 3;
}

void AbstractGraphicsContext::flush() {
    checkThread();
    if (!vertexBuffer_)
        return;
    vertexBuffer_->unmap();
    vertices_ = nullptr;
    indices_ = nullptr;
    vertexBuffer_->bind();
    AbstractSurface* bound = nullptr;
    bool first = true;
    for (const DrawRun& run : runs_) {
        if (first || run.surface != bound) {
            if (run.surface)
                run.surface->bind();
            else
                resetTextureUnit();
            bound = run.surface;
            first = false;
        }
        drawElements(run.firstIndex, run.indexCount, run.vertexCount, run.firstVertex);
    }
    runs_.clear();
    vertexBuffer_->map(&vertices_, &indices_);
    vertexCount_ = 0;
    indexCount_ = 0;
}

GraphicsFont* AbstractGraphicsContext::openFontByName(const char* name, int pointSize, int dpi, int flags) {
    if (!textService_ || !name)
        return nullptr;
    AbstractTextServiceFont* face = textService_->openFontByName(name, pointSize, dpi, flags);
    if (!face)
        return nullptr;
    return new GraphicsFont(face, 1.0f);
}
