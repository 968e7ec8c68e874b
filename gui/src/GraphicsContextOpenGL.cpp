#include "gui/GraphicsContextOpenGL.h"

#include <GL/glew.h>

#include <algorithm>
#include <cstring>

// ---------------------------------------------------------------------------------------------
// State cache

void GLStateCache::bindTexture(unsigned target, unsigned name) {
    auto it = bindings_.find(target);
    if (it != bindings_.end() && it->second == name)
        return;
    glBindTexture(target, name);
    bindings_[target] = name;
}

void GLStateCache::bindBuffer(unsigned target, unsigned name) {
    auto it = bindings_.find(target);
    if (it != bindings_.end() && it->second == name)
        return;
    glBindBufferARB(target, name);
    bindings_[target] = name;
}

void GLStateCache::enable(unsigned capability) {
    auto it = capabilities_.find(capability);
    if (it != capabilities_.end() && it->second)
        return;
    glEnable(capability);
    capabilities_[capability] = true;
}

void GLStateCache::disable(unsigned capability) {
    auto it = capabilities_.find(capability);
    if (it != capabilities_.end() && !it->second)
        return;
    glDisable(capability);
    capabilities_[capability] = false;
}

void GLStateCache::viewport(int x, int y, int width, int height) {
    if (viewport_[0] == x && viewport_[1] == y && viewport_[2] == width && viewport_[3] == height)
        return;
    glViewport(x, y, width, height);
    viewport_[0] = x;
    viewport_[1] = y;
    viewport_[2] = width;
    viewport_[3] = height;
}

void GLStateCache::clearColor(float r, float g, float b, float a) {
    if (clearColorKnown_ && clearColor_[0] == r && clearColor_[1] == g && clearColor_[2] == b &&
        clearColor_[3] == a)
        return;
    glClearColor(r, g, b, a);
    clearColor_[0] = r;
    clearColor_[1] = g;
    clearColor_[2] = b;
    clearColor_[3] = a;
    clearColorKnown_ = true;
}

void GLStateCache::invalidate() {
    viewport_[0] = viewport_[1] = viewport_[2] = viewport_[3] = 0;
    clearColorKnown_ = false;
    bindings_.clear();
    capabilities_.clear();
}

void GLStateCache::forgetTexture(unsigned name) {
    for (auto& entry : bindings_)
        if (entry.first == GL_TEXTURE_2D && entry.second == name)
            entry.second = 0;
}

void GLStateCache::forgetBuffer(unsigned name) {
    for (auto& entry : bindings_)
        if ((entry.first == GL_ARRAY_BUFFER || entry.first == GL_ELEMENT_ARRAY_BUFFER) && entry.second == name)
            entry.second = 0;
}

long GLStateCache::boundName(unsigned target) const {
    auto it = bindings_.find(target);
    return it == bindings_.end() ? -1 : long(it->second);
}

// ---------------------------------------------------------------------------------------------
// Context

GraphicsContextOpenGL::GraphicsContextOpenGL() = default;

GraphicsContextOpenGL::~GraphicsContextOpenGL() {
    releaseVertexBuffer();
}

void GraphicsContextOpenGL::releaseVertexBuffer() {
    delete vertexBuffer_;
    vertexBuffer_ = nullptr;
    vertices_ = nullptr;
    indices_ = nullptr;
}

void GraphicsContextOpenGL::detectCapabilities() {
    caps_.vertexBufferObject = allowed_.vertexBufferObject && GLEW_ARB_vertex_buffer_object != 0;
    caps_.drawElementsBaseVertex = allowed_.drawElementsBaseVertex && GLEW_ARB_draw_elements_base_vertex != 0 &&
                                   glDrawElementsBaseVertex != nullptr;
    caps_.nonPowerOfTwo = allowed_.nonPowerOfTwo && GLEW_ARB_texture_non_power_of_two != 0;
}

bool GraphicsContextOpenGL::beginFrame() {
    if (!extensionsReady_)
        return false;
    int width = 0, height = 0;
    getWindowSize(&width, &height);
    state_.viewport(0, 0, width, height);
    state_.disable(GL_DEPTH_TEST);
    state_.disable(GL_LIGHTING);
    state_.clearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    // y grows downward from the top-left corner. A zero-sized window keeps a finite matrix.
    const float w = float(std::max(width, 1));
    const float h = float(std::max(height, 1));
    const GLfloat projection[16] = {2.0f / w, 0, 0, 0, 0, -2.0f / h, 0, 0, 0, 0, 1, 0, -1, 1, 0, 1};
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(projection);
    glMatrixMode(GL_MODELVIEW);
    state_.enable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    return true;
}

AbstractSurface* GraphicsContextOpenGL::createSurface() {
    if (!extensionsReady_)
        return nullptr;
    return new SurfaceOpenGL(this);
}

AbstractVertexBuffer* GraphicsContextOpenGL::createVertexBuffer() {
    if (!extensionsReady_)
        return nullptr;
    return new VertexBufferOpenGL(this);
}

void GraphicsContextOpenGL::resetTextureUnit() {
    // A run without a surface draws untextured.
    state_.bindTexture(GL_TEXTURE_2D, 0);
    state_.disable(GL_TEXTURE_2D);
}

bool GraphicsContextOpenGL::drawElements(int firstIndex, int indexCount, int, int firstVertex) {
    if (!extensionsReady_ || !currentBuffer_)
        return false;
    const char* indexBase = currentBuffer_->indexBase() + std::size_t(firstIndex) * sizeof(std::uint16_t);
    if (caps_.drawElementsBaseVertex) {
        glDrawElementsBaseVertex(GL_TRIANGLES, indexCount, GL_UNSIGNED_SHORT, indexBase, firstVertex);
    } else {
        const char* base = currentBuffer_->vertexBase() + std::size_t(firstVertex) * sizeof(Vertex);
        glVertexPointer(3, GL_FLOAT, sizeof(Vertex), base);
        glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(Vertex), base + 12);
        glTexCoordPointer(2, GL_FLOAT, sizeof(Vertex), base + 16);
        glDrawElements(GL_TRIANGLES, indexCount, GL_UNSIGNED_SHORT, indexBase);
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Surfaces

namespace {

struct FormatInfo {
    GLenum pixelFormat;
    GLint internalFormat;
    int bytes;
};

bool formatInfo(int code, FormatInfo* info) {
    switch (code) {
        case PixelFormatRGBA8:
            *info = {GL_RGBA, GL_RGBA8, 4};
            return true;
        case PixelFormatRGBA:
            *info = {GL_RGBA, GL_RGBA, 4};
            return true;
        case PixelFormatAlpha:
            *info = {GL_ALPHA, GL_ALPHA, 1};
            return true;
        default:
            return false;
    }
}

int powerOfTwoAtLeast8(int value) {
    int size = 8;
    while (size < value)
        size *= 2;
    return size;
}

void setSamplingParameters() {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    // Stretched images must not pull in texels from the opposite edge.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
}

}  // namespace

SurfaceOpenGL::SurfaceOpenGL(GraphicsContextOpenGL* context) : AbstractSurface(context) {}

SurfaceOpenGL::~SurfaceOpenGL() {
    if (texture_) {
        gl()->glState().forgetTexture(texture_);
        glDeleteTextures(1, &texture_);
    }
}

void SurfaceOpenGL::setImage(const void* pixels, int width, int height, int format) {
    FormatInfo info;
    if (!formatInfo(format, &info) || width <= 0 || height <= 0)
        return;
    if (!texture_)
        glGenTextures(1, &texture_);
    gl()->glState().bindTexture(GL_TEXTURE_2D, texture_);
    imageWidth_ = width;
    imageHeight_ = height;
    int tw = width, th = height;
    if (!gl()->capabilities().nonPowerOfTwo) {
        tw = powerOfTwoAtLeast8(width);
        th = powerOfTwoAtLeast8(height);
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    if (tw != textureWidth_ || th != textureHeight_ || info.internalFormat != internalFormat_) {
        setSamplingParameters();
        glTexImage2D(GL_TEXTURE_2D, 0, info.internalFormat, tw, th, 0, info.pixelFormat, GL_UNSIGNED_BYTE,
                     nullptr);
        textureWidth_ = tw;
        textureHeight_ = th;
        internalFormat_ = info.internalFormat;
        pixelFormat_ = info.pixelFormat;
    }
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, info.pixelFormat, GL_UNSIGNED_BYTE, pixels);
}

bool SurfaceOpenGL::addSubImage(const void* pixels, int width, int height, int format, unsigned* outX,
                                unsigned* outY) {
    FormatInfo info;
    if (!formatInfo(format, &info))
        return false;
    const bool fresh = packer_.empty();
    int x = 0, y = 0;
    if (!packer_.place(width, height, &x, &y))
        return false;
    if (fresh || !texture_) {
        if (!texture_)
            glGenTextures(1, &texture_);
        gl()->glState().bindTexture(GL_TEXTURE_2D, texture_);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        setSamplingParameters();
        const int w = packer_.pageWidth(), h = packer_.pageHeight();
        std::vector<unsigned char> zeros(std::size_t(w) * std::size_t(h) * std::size_t(info.bytes), 0);
        glTexImage2D(GL_TEXTURE_2D, 0, info.internalFormat, w, h, 0, info.pixelFormat, GL_UNSIGNED_BYTE,
                     zeros.data());
        imageWidth_ = textureWidth_ = w;
        imageHeight_ = textureHeight_ = h;
        internalFormat_ = info.internalFormat;
        pixelFormat_ = info.pixelFormat;
    } else {
        gl()->glState().bindTexture(GL_TEXTURE_2D, texture_);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    }
    if (width > 0 && height > 0)
        glTexSubImage2D(GL_TEXTURE_2D, 0, x, y, width, height, info.pixelFormat, GL_UNSIGNED_BYTE, pixels);
    *outX = unsigned(x);
    *outY = unsigned(y);
    return true;
}

void SurfaceOpenGL::bind() {
    if (!texture_)
        return;
    gl()->glState().bindTexture(GL_TEXTURE_2D, texture_);
    gl()->glState().enable(GL_TEXTURE_2D);
}

// ---------------------------------------------------------------------------------------------
// Vertex storage

VertexBufferOpenGL::VertexBufferOpenGL(GraphicsContextOpenGL* context)
    : context_(context), bufferObjects_(context->capabilities().vertexBufferObject) {}

VertexBufferOpenGL::~VertexBufferOpenGL() {
    if (context_->currentVertexBuffer() == this)
        context_->setCurrentVertexBuffer(nullptr);
    if (bufferObjects_ && allocated_) {
        if (mapped_) {
            bindBuffers();
            glUnmapBufferARB(GL_ARRAY_BUFFER);
            glUnmapBufferARB(GL_ELEMENT_ARRAY_BUFFER);
        }
        context_->glState().forgetBuffer(vertexBufferName_);
        context_->glState().forgetBuffer(indexBufferName_);
        const GLuint names[2] = {vertexBufferName_, indexBufferName_};
        glDeleteBuffersARB(2, names);
    }
}

void VertexBufferOpenGL::bindBuffers() {
    context_->glState().bindBuffer(GL_ARRAY_BUFFER, vertexBufferName_);
    context_->glState().bindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBufferName_);
}

void VertexBufferOpenGL::allocate(int maxVertices, int maxIndices) {
    if (allocated_)
        return;
    maxVertices_ = maxVertices;
    maxIndices_ = maxIndices;
    vertexBytes_ = std::size_t(maxVertices) * std::size_t(stride_);
    indexBytes_ = std::size_t(maxIndices) * sizeof(std::uint16_t);
    if (bufferObjects_) {
        GLuint names[2] = {0, 0};
        glGenBuffersARB(2, names);
        vertexBufferName_ = names[0];
        indexBufferName_ = names[1];
        context_->glState().bindBuffer(GL_ARRAY_BUFFER, vertexBufferName_);
        glBufferDataARB(GL_ARRAY_BUFFER, GLsizeiptr(vertexBytes_), nullptr, GL_DYNAMIC_DRAW);
        context_->glState().bindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBufferName_);
        glBufferDataARB(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(indexBytes_), nullptr, GL_DYNAMIC_DRAW);
    } else {
        clientVertices_.assign(vertexBytes_, 0);
        clientIndices_.assign(indexBytes_, 0);
    }
    allocated_ = true;
}

const char* VertexBufferOpenGL::vertexBase() const {
    return bufferObjects_ ? nullptr : reinterpret_cast<const char*>(clientVertices_.data());
}

const char* VertexBufferOpenGL::indexBase() const {
    return bufferObjects_ ? nullptr : reinterpret_cast<const char*>(clientIndices_.data());
}

void VertexBufferOpenGL::bind() {
    if (!allocated_)
        return;
    context_->setCurrentVertexBuffer(this);
    if (bufferObjects_) {
        bindBuffers();
    } else if (context_->capabilities().vertexBufferObject) {
        // Client arrays: no buffer object may stay bound, or pointers would be offsets.
        context_->glState().bindBuffer(GL_ARRAY_BUFFER, 0);
        context_->glState().bindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    }
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    if (context_->capabilities().drawElementsBaseVertex) {
        const char* base = vertexBase();
        glTexCoordPointer(2, GL_FLOAT, stride_, base + 16);
        glColorPointer(4, GL_UNSIGNED_BYTE, stride_, base + 12);
        glVertexPointer(3, GL_FLOAT, stride_, base);
    }
}

void VertexBufferOpenGL::orphan() {
    if (!bufferObjects_ || !allocated_)
        return;
    bindBuffers();
    glBufferDataARB(GL_ARRAY_BUFFER, GLsizeiptr(vertexBytes_), nullptr, GL_DYNAMIC_DRAW);
    glBufferDataARB(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(indexBytes_), nullptr, GL_DYNAMIC_DRAW);
}

void VertexBufferOpenGL::map(Vertex** vertices, std::uint16_t** indices) {
    if (!bufferObjects_) {
        *vertices = reinterpret_cast<Vertex*>(clientVertices_.data());
        *indices = reinterpret_cast<std::uint16_t*>(clientIndices_.data());
        return;
    }
    // Fresh storage for every batch, so the driver need not wait for the previous draw.
    orphan();
    void* v = glMapBufferARB(GL_ARRAY_BUFFER, GL_WRITE_ONLY);
    void* i = glMapBufferARB(GL_ELEMENT_ARRAY_BUFFER, GL_WRITE_ONLY);
    mapped_ = true;
    if (!v || !i)
        throw "error";
    *vertices = static_cast<Vertex*>(v);
    *indices = static_cast<std::uint16_t*>(i);
}

void VertexBufferOpenGL::unmap() {
    if (!bufferObjects_ || !allocated_ || !mapped_)
        return;
    mapped_ = false;
    bindBuffers();
    glUnmapBufferARB(GL_ARRAY_BUFFER);
    glUnmapBufferARB(GL_ELEMENT_ARRAY_BUFFER);
}
