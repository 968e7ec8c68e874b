#pragma once
// A graphics context without OpenGL: vertices go into memory and every bind and draw call is
// recorded, so toolkit logic can be checked exactly.

#include "gui/AbstractGraphicsContext.h"
#include "gui/ShelfPacker.h"

#include <string>
#include <vector>

namespace guitest {

class RecordingGraphicsContext;

// A surface with a size and a shelf-packed atlas page; binds are recorded by the context.
class FakeSurface : public AbstractSurface {
public:
    FakeSurface(RecordingGraphicsContext* context, int width, int height);

    bool addSubImage(const void* pixels, int width, int height, int format, unsigned* outX,
                     unsigned* outY) override;
    void setImage(const void* pixels, int width, int height, int format) override;
    void bind() override;

    int subImageCount = 0;
    int setImageCount = 0;

private:
    ShelfPacker packer_;
};

class MemoryVertexBuffer : public AbstractVertexBuffer {
public:
    void allocate(int maxVertices, int maxIndices) override;
    void bind() override { ++bindCount; }
    void orphan() override {}
    void map(Vertex** vertices, std::uint16_t** indices) override;
    void unmap() override { ++unmapCount; }

    std::vector<Vertex> vertices;
    std::vector<std::uint16_t> indices;
    int bindCount = 0;
    int unmapCount = 0;
};

struct RecordedDraw {
    AbstractSurface* surface;  // bound when the call was made
    int firstIndex;
    int indexCount;
    int vertexCount;
    int firstVertex;
    // With recordGeometry: the run's vertices and its indices (relative to firstVertex).
    std::vector<Vertex> vertices;
    std::vector<std::uint16_t> indices;
};

class RecordingGraphicsContext : public AbstractGraphicsContext {
public:
    // Logical window size; initialize() has already been called.
    explicit RecordingGraphicsContext(int width = 900, int height = 450);

    GraphicsContextOpenGL* asOpenGL() override { return nullptr; }
    bool beginFrame() override { ++beginCount; return true; }
    bool endFrame() override { flush(); return true; }
    bool present() override { ++presentCount; return true; }
    AbstractSurface* createSurface() override;
    void getFramebufferSize(int* width, int* height) override { getWindowSize(width, height); }
    void getWindowSize(int* width, int* height) override;
    void setCursorShape(int shape) override { cursorShape = shape; }
    const char* getClipboardText() override { return hasClipboard ? clipboard.c_str() : nullptr; }
    void setClipboardText(const char* text) override;
    bool initExtensions() override { return true; }
    bool releaseContext() override { return true; }
    AbstractVertexBuffer* createVertexBuffer() override { return new MemoryVertexBuffer(); }
    void resetTextureUnit() override;
    bool drawElements(int firstIndex, int indexCount, int vertexCount, int firstVertex) override;

    void setWindowSize(int width, int height) { width_ = width; height_ = height; }
    MemoryVertexBuffer* memoryBuffer() const { return static_cast<MemoryVertexBuffer*>(vertexBuffer_); }
    // The vertices batched so far (not yet flushed).
    const Vertex* batchVertices() const { return vertices_; }
    const std::uint16_t* batchIndices() const { return indices_; }
    void setTextService(AbstractTextService* service) { textService_ = service; }
    void clearRecords() { draws.clear(); binds.clear(); }

    bool recordGeometry = true;
    std::vector<RecordedDraw> draws;
    std::vector<AbstractSurface*> binds;  // every bind in order (null: reset texture unit)
    int beginCount = 0;
    int presentCount = 0;
    int cursorShape = -1;
    std::string clipboard;
    bool hasClipboard = false;
    int surfacesCreated = 0;

private:
    AbstractSurface* bound_ = nullptr;
    int width_;
    int height_;
};

}  // namespace guitest
