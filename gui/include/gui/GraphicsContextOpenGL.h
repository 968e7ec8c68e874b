#pragma once
// OpenGL 1.x back end of the batch renderer: fixed-function drawing with a state cache,
// textures (whole images and packed atlas pages) and vertex storage in buffer objects or in
// client memory. Everything runs on the thread where the OpenGL context is current.

#include "gui/AbstractGraphicsContext.h"
#include "gui/ShelfPacker.h"

#include <map>

class VertexBufferOpenGL;

// Skips OpenGL calls that would not change state. Any code that draws with raw OpenGL inside
// a frame calls invalidate() so that the next calls are issued again.
class GLStateCache {
public:
    void bindTexture(unsigned target, unsigned name);
    void bindBuffer(unsigned target, unsigned name);
    void enable(unsigned capability);
    void disable(unsigned capability);
    void viewport(int x, int y, int width, int height);
    void clearColor(float r, float g, float b, float a);
    void invalidate();

    // Drops a cached binding of a name that is being deleted (OpenGL unbinds it).
    void forgetTexture(unsigned name);
    void forgetBuffer(unsigned name);

    // Bound name for a target, or -1 when not cached (tests).
    long boundName(unsigned target) const;

private:
    std::map<unsigned, unsigned> bindings_;
    std::map<unsigned, bool> capabilities_;
    int viewport_[4] = {0, 0, 0, 0};
    float clearColor_[4];
    bool clearColorKnown_ = false;
};

// What the driver offers. Filled by initExtensions; tests may turn features off to exercise
// the fallback paths.
struct GLCapabilities {
    bool vertexBufferObject = false;
    bool drawElementsBaseVertex = false;
    bool nonPowerOfTwo = false;
};

class GraphicsContextOpenGL : public AbstractGraphicsContext {
public:
    GraphicsContextOpenGL();
    ~GraphicsContextOpenGL() override;

    GraphicsContextOpenGL* asOpenGL() override { return this; }
    bool beginFrame() override;
    AbstractSurface* createSurface() override;
    AbstractVertexBuffer* createVertexBuffer() override;
    void resetTextureUnit() override;
    bool drawElements(int firstIndex, int indexCount, int vertexCount, int firstVertex) override;

    GLStateCache& glState() { return state_; }
    const GLCapabilities& capabilities() const { return caps_; }
    // Features to leave unused even when the driver has them (tests of the fallback paths);
    // takes effect when the extensions are loaded.
    void restrictCapabilities(const GLCapabilities& allowed) { allowed_ = allowed; }
    bool extensionsReady() const { return extensionsReady_; }

    void setCurrentVertexBuffer(VertexBufferOpenGL* buffer) { currentBuffer_ = buffer; }
    VertexBufferOpenGL* currentVertexBuffer() const { return currentBuffer_; }

protected:
    // Reads the driver's capabilities; called by initExtensions once the loader is ready.
    void detectCapabilities();
    void releaseVertexBuffer();

    bool extensionsReady_ = false;
    VertexBufferOpenGL* currentBuffer_ = nullptr;
    GLStateCache state_;
    GLCapabilities caps_;
    GLCapabilities allowed_{true, true, true};
};

class SurfaceOpenGL : public AbstractSurface {
public:
    explicit SurfaceOpenGL(GraphicsContextOpenGL* context);
    ~SurfaceOpenGL() override;

    bool addSubImage(const void* pixels, int width, int height, int format, unsigned* outX,
                     unsigned* outY) override;
    void setImage(const void* pixels, int width, int height, int format) override;
    void bind() override;

    unsigned textureName() const { return texture_; }

private:
    GraphicsContextOpenGL* gl() const { return static_cast<GraphicsContextOpenGL*>(context_); }

    unsigned texture_ = 0;
    int internalFormat_ = 0;
    unsigned pixelFormat_ = 0;
    ShelfPacker packer_;
};

class VertexBufferOpenGL : public AbstractVertexBuffer {
public:
    explicit VertexBufferOpenGL(GraphicsContextOpenGL* context);
    ~VertexBufferOpenGL() override;

    void allocate(int maxVertices, int maxIndices) override;
    void bind() override;
    void orphan() override;
    void map(Vertex** vertices, std::uint16_t** indices) override;
    void unmap() override;

    bool usesBufferObjects() const { return bufferObjects_; }
    // Address of the vertex storage for array pointers: an offset with buffer objects.
    const char* vertexBase() const;
    const char* indexBase() const;

private:
    void bindBuffers();

    GraphicsContextOpenGL* context_;
    bool allocated_ = false;
    bool mapped_ = false;
    int stride_ = 24;
    bool bufferObjects_;
    unsigned vertexBufferName_ = 0;
    unsigned indexBufferName_ = 0;
    std::size_t vertexBytes_ = 0;
    std::size_t indexBytes_ = 0;
    std::vector<unsigned char> clientVertices_;
    std::vector<unsigned char> clientIndices_;
    int maxVertices_ = 0;
    int maxIndices_ = 0;
};
