#pragma once
// Presents decoded video pictures with raw OpenGL: the planes of a picture are uploaded into
// textures (through pixel-buffer objects when the driver has them), split into tiles when the
// picture is larger than the maximum texture size, and YUV is converted to RGB on the GPU by a
// GLSL shader (shader mode 2) or an ARB fragment program (mode 1). In mode 0 pictures arrive
// as packed BGRA and are drawn as they are.
//
// Everything here runs on the thread where the OpenGL context is current.

#include <cstdint>
#include <memory>
#include <vector>

// One picture handed to DecodedImage. The planes are not owned.
struct DecodedFrame {
    enum Format : int { BGRA = 1, NV12 = 2, I420 = 3 };
    int format = 0;
    const std::uint8_t* planes[3] = {nullptr, nullptr, nullptr};
    int lineSizes[3] = {0, 0, 0};  // bytes per row
    int width = 0;
    int height = 0;
    bool ownsPlanes = false;
};

// One texture of one plane of one tile.
struct PlaneTexture {
    unsigned name = 0;
    unsigned target = 0;
    unsigned pixelFormat = 0;
    int width = 0;  // the plane's size within the tile
    int height = 0;
    int storageWidth = 0;  // the allocated size
    int storageHeight = 0;
    unsigned filter = 0;  // the minification and magnification filter set
};

// What the driver offers the presenter; read by every DecodedImage constructor.
struct VideoCapabilities {
    bool pixelBuffers = false;
    bool multitexture = false;
    bool nonPowerOfTwo = false;
    int maxTextureSize = 2048;
};

// Test seams: a forced shader mode (-1: as detected), a smaller maximum texture size (0: as
// detected) and features to leave unused.
struct VideoCapabilityOverrides {
    int shaderMode = -1;
    int maxTextureSize = 0;
    bool noPixelBuffers = false;
    bool noNonPowerOfTwo = false;
    // Replaces the GLSL I420 shader source (to exercise a program that does not link).
    const char* glslI420Source = nullptr;
};
void setVideoCapabilityOverrides(const VideoCapabilityOverrides& overrides);

// 2 with GLSL program objects, else 1 with ARB fragment programs, else 0.
int shaderMode();
// The capabilities as the last DecodedImage found them.
VideoCapabilities videoCapabilities();

class DecodedImage {
public:
    struct Tile {
        PlaneTexture* planes[3] = {nullptr, nullptr, nullptr};
        int left = 0, top = 0, right = 0, bottom = 0;  // image pixels, right and bottom exclusive
    };

    // Records the shader mode and the driver's capabilities; logs them. exactStorage: plane
    // textures as large as the planes (where the driver allows any size) rather than as wide
    // as the decoder's lines, so that filtering at the right edge reads no padding; a picture
    // drawn at its own size is then sampled texel for texel rather than blended.
    explicit DecodedImage(int shaderMode, bool exactStorage = false);
    ~DecodedImage();

    DecodedImage(const DecodedImage&) = delete;
    DecodedImage& operator=(const DecodedImage&) = delete;

    // Uploads the picture (textures and program are made again when its size or format changes).
    void showFrame(const DecodedFrame& frame);
    // Draws the last picture over the rectangle (0, 0, width, height) of the frame buffer.
    void draw(int targetWidth, int targetHeight);

    int shaderMode() const { return shaderMode_; }
    // 0 none, 1 ARB fragment program, 2 GLSL.
    int programType() const { return programType_; }
    // A YUV picture needed a program that could not be built; it cannot be shown in this mode.
    bool programFailed() const { return programFailed_; }
    const std::vector<Tile>& tiles() const { return tiles_; }
    int width() const { return width_; }
    int height() const { return height_; }

    // Tile rectangles of a width x height picture with the given maximum texture size.
    static std::vector<Tile> computeTiles(int width, int height, int maxTextureSize);
    // The allocated side of a plane texture: with non-power-of-two textures the storage hint
    // when it is at least the side, else the side; otherwise the next power of two, at least 8.
    static int storageSide(int side, int hint, bool nonPowerOfTwo);

private:
    void release();
    void releaseTextures();
    void releaseBuffers();
    bool buildProgram(int format);
    void deleteProgram();
    // luma: for a chroma plane, the tile's luma texture (its storage decides the chroma's).
    PlaneTexture* makePlaneTexture(unsigned internalFormat, unsigned pixelFormat, int w, int h, int hint,
                                   const PlaneTexture* luma = nullptr);
    // Sets the bound texture's filter when it differs.
    void setFilter(PlaneTexture* texture, unsigned filter);
    void uploadPlane(PlaneTexture* texture, int plane, const std::uint8_t* pixels, int lineSize, int left, int top);

    int shaderMode_;
    bool exactStorage_;
    bool nearestAtOwnSize_;
    VideoCapabilities caps_;
    int width_ = 0;
    int height_ = 0;
    int format_ = 0;
    unsigned target_;
    std::vector<Tile> tiles_;
    std::vector<std::unique_ptr<PlaneTexture>> textures_;
    int programType_ = 0;
    unsigned program_ = 0;
    int programFormat_ = 0;
    bool programFailed_ = false;
    struct PixelBuffer {
        std::size_t size = 0;
        unsigned name = 0;
    };
    PixelBuffer buffers_[3];
};
