#include "gui/testing/RecordingGraphicsContext.h"

namespace guitest {

FakeSurface::FakeSurface(RecordingGraphicsContext* context, int width, int height) : AbstractSurface(context) {
    imageWidth_ = textureWidth_ = width;
    imageHeight_ = textureHeight_ = height;
}

bool FakeSurface::addSubImage(const void*, int width, int height, int format, unsigned* outX, unsigned* outY) {
    if (bytesPerPixel(format) == 0)
        return false;
    int x = 0, y = 0;
    if (!packer_.place(width, height, &x, &y))
        return false;
    imageWidth_ = textureWidth_ = packer_.pageWidth();
    imageHeight_ = textureHeight_ = packer_.pageHeight();
    *outX = unsigned(x);
    *outY = unsigned(y);
    ++subImageCount;
    return true;
}

void FakeSurface::setImage(const void*, int width, int height, int format) {
    if (bytesPerPixel(format) == 0)
        return;
    imageWidth_ = textureWidth_ = width;
    imageHeight_ = textureHeight_ = height;
    ++setImageCount;
}

void FakeSurface::bind() {
    auto* rec = static_cast<RecordingGraphicsContext*>(context_);
    rec->binds.push_back(this);
}

void MemoryVertexBuffer::allocate(int maxVertices, int maxIndices) {
    vertices.assign(std::size_t(maxVertices), Vertex{});
    indices.assign(std::size_t(maxIndices), 0);
}

void MemoryVertexBuffer::map(Vertex** v, std::uint16_t** i) {
    *v = vertices.data();
    *i = indices.data();
}

RecordingGraphicsContext::RecordingGraphicsContext(int width, int height) : width_(width), height_(height) {
    initialize();
}

AbstractSurface* RecordingGraphicsContext::createSurface() {
    ++surfacesCreated;
    return new FakeSurface(this, 0, 0);
}

void RecordingGraphicsContext::getWindowSize(int* width, int* height) {
    if (width)
        *width = width_;
    if (height)
        *height = height_;
}

void RecordingGraphicsContext::setClipboardText(const char* text) {
    clipboard = text ? text : "";
    hasClipboard = text != nullptr;
}

void RecordingGraphicsContext::resetTextureUnit() {
    binds.push_back(nullptr);
    bound_ = nullptr;
}

bool RecordingGraphicsContext::drawElements(int firstIndex, int indexCount, int vertexCount, int firstVertex) {
    AbstractSurface* surface = binds.empty() ? nullptr : binds.back();
    RecordedDraw draw{surface, firstIndex, indexCount, vertexCount, firstVertex, {}, {}};
    if (recordGeometry) {
        const MemoryVertexBuffer* buffer = memoryBuffer();
        draw.vertices.assign(buffer->vertices.begin() + firstVertex,
                             buffer->vertices.begin() + firstVertex + vertexCount);
        draw.indices.assign(buffer->indices.begin() + firstIndex, buffer->indices.begin() + firstIndex + indexCount);
    }
    draws.push_back(std::move(draw));
    return true;
}

}  // namespace guitest
