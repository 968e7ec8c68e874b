#pragma once
// The 2D drawing interface of the toolkit. Quads and triangles are collected into one
// vertex/index batch, grouped into draw runs by surface, and handed to the back end when
// the frame ends or the batch is full. Positions are logical and multiplied by the UI scale.

#include <cstddef>
#include <cstdint>
#include <thread>
#include <vector>

class AbstractGraphicsContext;
class AbstractTextService;
class GraphicsContextOpenGL;
class GraphicsFont;
struct Glyph;

// Layout of one vertex in the vertex buffer (24 bytes).
struct Vertex {
    float x, y, z;
    std::uint32_t color;  // bytes R, G, B, A in memory
    float u, v;
};
static_assert(sizeof(Vertex) == 24, "vertex layout is fixed");

// Pixel formats of surface uploads.
enum PixelFormat : int {
    PixelFormatRGBA8 = 1,  // GL_RGBA with 8-bit storage
    PixelFormatRGBA = 2,
    PixelFormatAlpha = 3,  // one byte per pixel
};

// Bytes per pixel of a format code, 0 for an unknown code.
int bytesPerPixel(int format);

// A texture. Texture coordinates are computed against the texture size, which may be
// larger than the image (power-of-two storage).
class AbstractSurface {
public:
    explicit AbstractSurface(AbstractGraphicsContext* context) : context_(context) {}
    virtual ~AbstractSurface() = default;

    AbstractSurface(const AbstractSurface&) = delete;
    AbstractSurface& operator=(const AbstractSurface&) = delete;

    // Places a sub-image in a free spot of an atlas page; false when it does not fit.
    virtual bool addSubImage(const void* pixels, int width, int height, int format, unsigned* outX,
                             unsigned* outY);
    // Replaces the whole image.
    virtual void setImage(const void* pixels, int width, int height, int format) = 0;
    virtual void bind() = 0;

    // The whole image at its own size.
    void draw(int x, int y);
    // The whole image stretched into the rectangle.
    void draw(int x, int y, int w, int h);
    // A w x h part of the image from (sx, sy), unscaled.
    void draw(int x, int y, int w, int h, int sx, int sy);
    // Source rectangle (sx, sy, sw, sh) into the destination rectangle, rotated by angle.
    void draw(int x, int y, int w, int h, int sx, int sy, int sw, int sh, float angle = 0.0f);
    // A triangle textured from the source rectangle.
    void drawTriangle(int x0, int y0, int x1, int y1, int x2, int y2, int sx, int sy, int sw, int sh);

    AbstractGraphicsContext* context() const { return context_; }
    int imageWidth() const { return imageWidth_; }
    int imageHeight() const { return imageHeight_; }
    int textureWidth() const { return textureWidth_; }
    int textureHeight() const { return textureHeight_; }

protected:
    AbstractGraphicsContext* context_;
    int imageWidth_ = 0;
    int imageHeight_ = 0;
    int textureWidth_ = 0;
    int textureHeight_ = 0;
};

class AbstractVertexBuffer {
public:
    virtual ~AbstractVertexBuffer() = default;
    virtual void allocate(int maxVertices, int maxIndices) = 0;
    virtual void bind() = 0;
    virtual void orphan() = 0;
    virtual void map(Vertex** vertices, std::uint16_t** indices) = 0;
    virtual void unmap() = 0;
};

struct DrawRun {
    AbstractSurface* surface;
    int firstVertex;
    int vertexCount;
    int firstIndex;
    int indexCount;
};

// One word of a text being laid out: a range of the caller's code points.
struct TextWord {
    const std::uint32_t* text;  // the whole text (not owned)
    int begin;
    int end;
    int width;     // logical
    int trailing;  // logical width of the spaces after the word
};

class AbstractGraphicsContext {
public:
    static constexpr int kMaxVertices = 4096;
    static constexpr int kMaxIndices = 8192;
    static constexpr int kUnlimitedWidth = 999999999;

    AbstractGraphicsContext();
    virtual ~AbstractGraphicsContext();

    AbstractGraphicsContext(const AbstractGraphicsContext&) = delete;
    AbstractGraphicsContext& operator=(const AbstractGraphicsContext&) = delete;

    virtual GraphicsContextOpenGL* asOpenGL() = 0;
    virtual bool beginFrame() = 0;
    virtual bool endFrame() = 0;
    virtual bool present() = 0;
    virtual AbstractSurface* createSurface() = 0;
    virtual void getFramebufferSize(int* width, int* height) = 0;
    virtual void getWindowSize(int* width, int* height) = 0;
    virtual void getLogicalSize(int* width, int* height);
    // 0 arrow, 1 I-beam, 2 hand.
    virtual void setCursorShape(int shape);
    virtual const char* getClipboardText();
    virtual void setClipboardText(const char* text);
    virtual bool initExtensions() = 0;
    virtual bool releaseContext() = 0;
    virtual AbstractVertexBuffer* createVertexBuffer() = 0;
    virtual void resetTextureUnit() = 0;
    virtual bool drawElements(int firstIndex, int indexCount, int vertexCount, int firstVertex) = 0;

    // Loads extensions and maps the first batch; throws "error" when extensions are refused.
    bool initialize();

    void setColor(std::uint32_t rgba) { color_ = rgba; }
    std::uint32_t color() const { return color_; }
    void setTextColor(std::uint32_t rgba) { textColor_ = rgba; }
    std::uint32_t textColor() const { return textColor_; }

    void setUIScale(float scale) { uiScale_ = scale; }
    float uiScale() const { return uiScale_; }
    void setFontDPI(int dpi) { fontDPI_ = dpi; }
    int fontDPI() const { return fontDPI_; }

    // The only thread allowed to batch and flush; the GUI records its render thread here.
    void setDrawingThread(std::thread::id id) { drawingThread_ = id; }
    std::thread::id drawingThread() const { return drawingThread_; }

    AbstractTextService* textService() const { return textService_; }

    void drawImage(AbstractSurface* surface, int x, int y, int width, int height, float u, float v, float du,
                   float dv, std::uint32_t color, float angle);
    void drawTriangle(AbstractSurface* surface, int x0, int y0, int x1, int y1, int x2, int y2, float u, float v,
                      float du, float dv, std::uint32_t color);
    void flush();

    int batchVertexCount() const { return vertexCount_; }
    int batchIndexCount() const { return indexCount_; }
    const std::vector<DrawRun>& drawRuns() const { return runs_; }

    // ---- text ----
    // A new font (scale 1, owned by the caller) over the text service's font, or null.
    GraphicsFont* openFontByName(const char* name, int pointSize, int dpi, int flags);
    // Widest line and total height; mode 1 wraps at *width. False for an empty text or no font.
    // count -1 means up to the end.
    bool measureText(const std::uint32_t* text, std::size_t length, int start, int count, GraphicsFont* font,
                     int* width, int* height, int mode);
    bool measureText(const std::vector<std::uint32_t>& text, int start, int count, GraphicsFont* font, int* width,
                     int* height, int mode) {
        return measureText(text.data(), text.size(), start, count, font, width, height, mode);
    }
    // Modes: 0 one line; 1 and 3 wrapped left; 2 wrapped centred; 4 wrapped, justified but the
    // last line. The height is not used.
    void drawText(const std::uint32_t* text, std::size_t length, int start, int count, GraphicsFont* font, int x,
                  int y, int width, int height, int mode);
    void drawText(const std::vector<std::uint32_t>& text, int start, int count, GraphicsFont* font, int x, int y,
                  int width, int height, int mode) {
        drawText(text.data(), text.size(), start, count, font, x, y, width, height, mode);
    }
    void drawTextLine(const TextWord* words, int first, int end, int startX, int y, float extraSpacing,
                      GraphicsFont* font);
    // The device-pixel baseline most glyphs of the word would get; false for an empty word.
    bool findCommonBaseline(GraphicsFont* font, int y, const TextWord& word, int* baseline);
    void drawGlyph(GraphicsFont* font, int x, int y, int height, const Glyph& glyph, int* baseline);

    // Splits text[start, start+count) into words separated by U+0020. Appends to words.
    static void splitTextWords(const std::uint32_t* text, std::size_t length, int start, int count,
                               GraphicsFont* font, std::vector<TextWord>& words);

protected:
    void checkThread() const;

    std::uint32_t color_ = 0xffffffff;
    AbstractTextService* textService_ = nullptr;
    std::uint32_t textColor_ = 0xffffffff;
    AbstractVertexBuffer* vertexBuffer_ = nullptr;
    int vertexCount_ = 0;
    int indexCount_ = 0;
    Vertex* vertices_ = nullptr;
    std::uint16_t* indices_ = nullptr;
    std::vector<DrawRun> runs_;
    float uiScale_ = 1.0f;
    int fontDPI_ = 96;
    std::thread::id drawingThread_;

private:
    DrawRun& runFor(AbstractSurface* surface);
    // Makes room for a primitive of the given size in the run of surface (flushing a full
    // batch first) and returns the run-relative index of its first vertex.
    int reserve(AbstractSurface* surface, int vertices, int indices);
    std::vector<TextWord> wordScratch_;  // drawText's words, reused between calls
};
