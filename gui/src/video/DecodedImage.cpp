#include "gui/DecodedImage.h"

#include "core/LogLine.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <string>

namespace {

std::mutex& capsMutex() {
    static std::mutex m;
    return m;
}

VideoCapabilityOverrides& overrides() {
    static VideoCapabilityOverrides o;
    return o;
}

VideoCapabilities& lastCapabilities() {
    static VideoCapabilities c;
    return c;
}

VideoCapabilities detectCapabilities() {
    VideoCapabilities caps;
    caps.pixelBuffers = GLEW_ARB_pixel_buffer_object && glGenBuffersARB && glBufferDataARB && glBindBufferARB;
    caps.multitexture = GLEW_ARB_multitexture && glActiveTextureARB && glMultiTexCoord2fARB;
    caps.nonPowerOfTwo = GLEW_ARB_texture_non_power_of_two;
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    caps.maxTextureSize = maxSize > 0 ? maxSize : 2048;
    std::lock_guard<std::mutex> lock(capsMutex());
    const VideoCapabilityOverrides& o = overrides();
    if (o.noPixelBuffers)
        caps.pixelBuffers = false;
    if (o.noNonPowerOfTwo)
        caps.nonPowerOfTwo = false;
    if (o.maxTextureSize > 0)
        caps.maxTextureSize = std::min(caps.maxTextureSize, o.maxTextureSize);
    lastCapabilities() = caps;
    return caps;
}

// BT.601 limited range to RGB.
const char* const kGlslI420 =
    "#version 110\n"
    "uniform sampler2D texy;\n"
    "uniform sampler2D texu;\n"
    "uniform sampler2D texv;\n"
    "void main() {\n"
    "    vec2 tc = gl_TexCoord[0].st;\n"
    "    float y = texture2D(texy, tc).r - 0.0625;\n"
    "    float u = texture2D(texu, tc).r - 0.5;\n"
    "    float v = texture2D(texv, tc).r - 0.5;\n"
    "    gl_FragColor = vec4(1.164 * y + 1.596 * v, 1.164 * y - 0.391 * u - 0.813 * v, 1.164 * y + 2.018 * u, 1.0);\n"
    "}\n";

const char* const kGlslNV12 =
    "#version 110\n"
    "uniform sampler2D texy;\n"
    "uniform sampler2D texuv;\n"
    "void main() {\n"
    "    vec2 tc = gl_TexCoord[0].st;\n"
    "    float y = texture2D(texy, tc).r - 0.0625;\n"
    "    vec4 uv = texture2D(texuv, tc);\n"
    "    float u = uv.r - 0.5;\n"
    "    float v = uv.a - 0.5;\n"
    "    gl_FragColor = vec4(1.164 * y + 1.596 * v, 1.164 * y - 0.391 * u - 0.813 * v, 1.164 * y + 2.018 * u, 1.0);\n"
    "}\n";

// Local parameter 0: (contrast, saturation, cos hue, sin hue); (1, 1, 1, 0) is the plain
// conversion.
std::string arbProgram(bool nv12) {
    std::string s =
        "!!ARBfp1.0\n"
        "PARAM adj = program.local[0];\n"
        "PARAM c0 = {1.16438356, 1.59602679, -0.391762290, -0.812967647};\n"
        "PARAM c1 = {2.01723214, 0.0625, 0.5, 1.0};\n"
        "TEMP yuv, uv, l, col, s;\n"
        "TEX yuv.x, fragment.texcoord[0], texture[0], 2D;\n";
    if (nv12) {
        s += "TEX s, fragment.texcoord[0], texture[1], 2D;\n"
             "MOV yuv.y, s.x;\n"
             "MOV yuv.z, s.w;\n";
    } else {
        s += "TEX s, fragment.texcoord[0], texture[1], 2D;\n"
             "MOV yuv.y, s.x;\n"
             "TEX s, fragment.texcoord[0], texture[2], 2D;\n"
             "MOV yuv.z, s.x;\n";
    }
    s += "SUB yuv.x, yuv.x, c1.y;\n"
         "SUB yuv.yz, yuv, c1.z;\n"
         "MAD l.x, yuv.x, adj.x, fragment.texcoord[0].z;\n"
         "MUL l.x, l.x, c0.x;\n"
         "MUL uv.x, yuv.y, adj.z;\n"
         "MAD uv.x, yuv.z, adj.w, uv.x;\n"
         "MUL uv.y, yuv.z, adj.z;\n"
         "MAD uv.y, -yuv.y, adj.w, uv.y;\n"
         "MUL uv.xy, uv, adj.y;\n"
         "MAD col.x, uv.y, c0.y, l.x;\n"
         "MAD col.y, uv.x, c0.z, l.x;\n"
         "MAD col.y, uv.y, c0.w, col.y;\n"
         "MAD col.z, uv.x, c1.x, l.x;\n"
         "MOV col.w, c1.w;\n"
         "MOV result.color, col;\n"
         "END\n";
    return s;
}

int bytesPerPixel(unsigned pixelFormat) {
    switch (pixelFormat) {
    case GL_RGBA:
    case GL_BGRA:
        return 4;
    case GL_LUMINANCE_ALPHA:
        return 2;
    default:
        return 1;
    }
}

bool haveContext() {
    return glfwGetCurrentContext() != nullptr;
}

}  // namespace

void setVideoCapabilityOverrides(const VideoCapabilityOverrides& o) {
    std::lock_guard<std::mutex> lock(capsMutex());
    overrides() = o;
}

VideoCapabilities videoCapabilities() {
    std::lock_guard<std::mutex> lock(capsMutex());
    return lastCapabilities();
}

int shaderMode() {
    {
        std::lock_guard<std::mutex> lock(capsMutex());
        if (overrides().shaderMode >= 0)
            return overrides().shaderMode;
    }
    if (glCreateProgramObjectARB && glCreateShaderObjectARB && glUseProgramObjectARB)
        return 2;
    if (glGenProgramsARB && glProgramStringARB && glBindProgramARB)
        return 1;
    return 0;
}

std::vector<DecodedImage::Tile> DecodedImage::computeTiles(int width, int height, int maxTextureSize) {
    std::vector<Tile> tiles;
    if (width <= 0 || height <= 0 || maxTextureSize <= 0)
        return tiles;
    const int columns = (width - 1) / maxTextureSize + 1;
    const int rows = (height - 1) / maxTextureSize + 1;
    tiles.resize(std::size_t(columns) * std::size_t(rows));
    for (int i = 0; i < columns * rows; ++i) {
        Tile& t = tiles[std::size_t(i)];
        t.left = (i % columns) * maxTextureSize;
        t.top = (i / columns) * maxTextureSize;
        t.right = std::min(width, t.left + maxTextureSize);
        t.bottom = std::min(height, t.top + maxTextureSize);
    }
    return tiles;
}

int DecodedImage::storageSide(int side, int hint, bool nonPowerOfTwo) {
    if (nonPowerOfTwo)
        return (hint != 0 && hint >= side) ? hint : side;
    int s = 8;
    while (s < side)
        s *= 2;
    return s;
}

DecodedImage::DecodedImage(int mode, bool exactStorage)
    : shaderMode_(mode), exactStorage_(exactStorage), nearestAtOwnSize_(exactStorage), caps_(detectCapabilities()),
      target_(GL_TEXTURE_2D) {
    LogLine(0, "DecodedImage::DecodedImage", __LINE__).stream() << "pbo " << (caps_.pixelBuffers ? 1 : 0);
    LogLine(0, "DecodedImage::DecodedImage", __LINE__).stream() << "non power 2 " << (caps_.nonPowerOfTwo ? 1 : 0);
    LogLine(0, "DecodedImage::DecodedImage", __LINE__).stream() << "texture max size" << caps_.maxTextureSize;
    LogLine(0, "DecodedImage::DecodedImage", __LINE__).stream() << "shaders " << shaderMode_;
}

DecodedImage::~DecodedImage() {
    release();
}

void DecodedImage::release() {
    // Without a current context the names are gone with the context already.
    if (!haveContext())
        return;
    releaseTextures();
    releaseBuffers();
    deleteProgram();
}

void DecodedImage::releaseTextures() {
    for (auto& t : textures_)
        if (t->name)
            glDeleteTextures(1, &t->name);
    textures_.clear();
    tiles_.clear();
}

void DecodedImage::releaseBuffers() {
    for (PixelBuffer& b : buffers_) {
        if (b.name)
            glDeleteBuffersARB(1, &b.name);
        b = PixelBuffer();
    }
}

void DecodedImage::deleteProgram() {
    if (program_) {
        if (programType_ == 1)
            glDeleteProgramsARB(1, &program_);
        else if (programType_ == 2)
            glDeleteObjectARB(program_);
    }
    program_ = 0;
    programType_ = 0;
    programFormat_ = 0;
}

bool DecodedImage::buildProgram(int format) {
    const bool nv12 = format == DecodedFrame::NV12;
    if (shaderMode_ == 2) {
        const char* source = nv12 ? kGlslNV12 : kGlslI420;
        {
            std::lock_guard<std::mutex> lock(capsMutex());
            if (!nv12 && overrides().glslI420Source)
                source = overrides().glslI420Source;
        }
        GLhandleARB shader = glCreateShaderObjectARB(GL_FRAGMENT_SHADER_ARB);
        glShaderSourceARB(shader, 1, &source, nullptr);
        glCompileShaderARB(shader);
        GLhandleARB program = glCreateProgramObjectARB();
        glAttachObjectARB(program, shader);
        glLinkProgramARB(program);
        glDeleteObjectARB(shader);  // freed with the program
        GLint linked = 0;
        glGetObjectParameterivARB(program, GL_OBJECT_LINK_STATUS_ARB, &linked);
        if (!linked) {
            GLint length = 0;
            glGetObjectParameterivARB(program, GL_OBJECT_INFO_LOG_LENGTH_ARB, &length);
            if (length > 1) {
                std::string log(std::size_t(length), '\0');
                glGetInfoLogARB(program, length, nullptr, &log[0]);
                std::printf("%s", log.c_str());
            }
            // A program that did not link draws nothing sensible: it is not used.
            glDeleteObjectARB(program);
            return false;
        }
        program_ = program;
        programType_ = 2;
        programFormat_ = format;
        return true;
    }
    if (shaderMode_ == 1) {
        const std::string text = arbProgram(nv12);
        GLuint program = 0;
        glGenProgramsARB(1, &program);
        glBindProgramARB(GL_FRAGMENT_PROGRAM_ARB, program);
        glProgramStringARB(GL_FRAGMENT_PROGRAM_ARB, GL_PROGRAM_FORMAT_ASCII_ARB, GLsizei(text.size()), text.c_str());
        GLint errorPosition = -1;
        glGetIntegerv(GL_PROGRAM_ERROR_POSITION_ARB, &errorPosition);
        glBindProgramARB(GL_FRAGMENT_PROGRAM_ARB, 0);
        if (errorPosition != -1) {
            const GLubyte* message = glGetString(GL_PROGRAM_ERROR_STRING_ARB);
            std::fprintf(stderr, "Program error at position: %d\n%s\n", errorPosition,
                         message ? reinterpret_cast<const char*>(message) : "");
            glDeleteProgramsARB(1, &program);
            return false;
        }
        program_ = program;
        programType_ = 1;
        programFormat_ = format;
        return true;
    }
    return false;
}

PlaneTexture* DecodedImage::makePlaneTexture(unsigned internalFormat, unsigned pixelFormat, int w, int h, int hint,
                                             const PlaneTexture* luma) {
    auto t = std::make_unique<PlaneTexture>();
    t->target = target_;
    t->pixelFormat = pixelFormat;
    t->width = std::max(w, 1);
    t->height = std::max(h, 1);
    t->storageWidth = storageSide(t->width, exactStorage_ ? 0 : hint, caps_.nonPowerOfTwo);
    t->storageHeight = storageSide(t->height, 0, caps_.nonPowerOfTwo);
    if (luma && !caps_.nonPowerOfTwo) {
        // Every plane is drawn with the luma plane's texture coordinates: chroma storage is
        // exactly half of it, also where the smallest power of two would differ.
        t->storageWidth = std::max(luma->storageWidth / 2, 1);
        t->storageHeight = std::max(luma->storageHeight / 2, 1);
    }
    glEnable(target_);
    glGenTextures(1, &t->name);
    glBindTexture(target_, t->name);
    glTexImage2D(target_, 0, GLint(internalFormat), t->storageWidth, t->storageHeight, 0, pixelFormat,
                 GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(target_, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(target_, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    t->filter = GL_LINEAR;
    glTexParameteri(target_, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(target_, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glBindTexture(target_, 0);
    glDisable(target_);
    textures_.push_back(std::move(t));
    return textures_.back().get();
}

void DecodedImage::showFrame(const DecodedFrame& f) {
    if (f.width <= 0 || f.height <= 0 || !f.planes[0])
        return;
    const bool yuv = f.format == DecodedFrame::NV12 || f.format == DecodedFrame::I420;
    const int planeCount = f.format == DecodedFrame::I420 ? 3 : (f.format == DecodedFrame::NV12 ? 2 : 1);

    if (f.width != width_ || f.height != height_ || f.format != format_) {
        releaseTextures();
        releaseBuffers();
        width_ = f.width;
        height_ = f.height;
        format_ = f.format;
        tiles_ = computeTiles(width_, height_, caps_.maxTextureSize);

        if (program_ && programFormat_ != f.format)
            deleteProgram();
        programFailed_ = false;
        if (!program_ && yuv && shaderMode_ != 0)
            programFailed_ = !buildProgram(f.format);
        if (yuv && (shaderMode_ == 0 || !caps_.multitexture))
            programFailed_ = true;  // planes need a program and several texture units

        for (Tile& tile : tiles_) {
            const int tw = tile.right - tile.left;
            const int th = tile.bottom - tile.top;
            if (f.format == DecodedFrame::BGRA) {
                tile.planes[0] = makePlaneTexture(GL_RGBA, GL_BGRA, tw, th, f.lineSizes[0] / 4);
            } else if (f.format == DecodedFrame::NV12) {
                tile.planes[0] = makePlaneTexture(GL_LUMINANCE, GL_LUMINANCE, tw, th, f.lineSizes[0]);
                tile.planes[1] = makePlaneTexture(GL_LUMINANCE_ALPHA, GL_LUMINANCE_ALPHA, tw / 2, th / 2,
                                                  f.lineSizes[1] / 2, tile.planes[0]);
            } else {
                tile.planes[0] = makePlaneTexture(GL_LUMINANCE, GL_LUMINANCE, tw, th, f.lineSizes[0]);
                tile.planes[1] =
                    makePlaneTexture(GL_LUMINANCE, GL_LUMINANCE, tw / 2, th / 2, f.lineSizes[1], tile.planes[0]);
                tile.planes[2] =
                    makePlaneTexture(GL_LUMINANCE, GL_LUMINANCE, tw / 2, th / 2, f.lineSizes[2], tile.planes[0]);
            }
        }
    }
    if (programFailed_)
        return;

    // Plane byte sizes: the rows the picture has, each as long as its line size (no more is
    // read from the decoder's planes).
    std::size_t sizes[3] = {0, 0, 0};
    sizes[0] = std::size_t(f.lineSizes[0]) * std::size_t(f.height);
    for (int p = 1; p < planeCount; ++p)
        sizes[p] = std::size_t(f.lineSizes[p]) * std::size_t((f.height + 1) / 2);

    glEnable(target_);
    if (caps_.pixelBuffers) {
        for (int p = 0; p < planeCount; ++p) {
            PixelBuffer& b = buffers_[p];
            if (!b.name)
                glGenBuffersARB(1, &b.name);
            b.size = sizes[p];
            glBindBufferARB(GL_PIXEL_UNPACK_BUFFER_ARB, b.name);
            glBufferDataARB(GL_PIXEL_UNPACK_BUFFER_ARB, GLsizeiptrARB(b.size), f.planes[p], GL_STREAM_DRAW_ARB);
        }
        glBindBufferARB(GL_PIXEL_UNPACK_BUFFER_ARB, 0);
    }
    for (Tile& tile : tiles_)
        for (int p = 0; p < planeCount; ++p) {
            const int shift = p == 0 ? 0 : 1;
            uploadPlane(tile.planes[p], p, f.planes[p], f.lineSizes[p], tile.left >> shift, tile.top >> shift);
        }
    glDisable(target_);
}

void DecodedImage::uploadPlane(PlaneTexture* t, int plane, const std::uint8_t* pixels, int lineSize, int left,
                               int top) {
    if (!t)
        return;
    const bool buffered = caps_.pixelBuffers && buffers_[plane].name;
    if (buffered)
        glBindBufferARB(GL_PIXEL_UNPACK_BUFFER_ARB, buffers_[plane].name);
    const int bpp = bytesPerPixel(t->pixelFormat);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, lineSize / bpp);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, left);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, top);
    glBindTexture(t->target, t->name);
    // Only the plane's own rows and columns are read, whatever the storage size.
    glTexSubImage2D(t->target, 0, 0, 0, t->width, t->height, t->pixelFormat, GL_UNSIGNED_BYTE,
                    buffered ? nullptr : pixels);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glBindTexture(t->target, 0);
    if (buffered)
        glBindBufferARB(GL_PIXEL_UNPACK_BUFFER_ARB, 0);
}

void DecodedImage::setFilter(PlaneTexture* texture, unsigned filter) {
    if (texture->filter == filter)
        return;
    glTexParameteri(target_, GL_TEXTURE_MIN_FILTER, GLint(filter));
    glTexParameteri(target_, GL_TEXTURE_MAG_FILTER, GLint(filter));
    texture->filter = filter;
}

void DecodedImage::draw(int w, int h) {
    if (tiles_.empty() || programFailed_ || width_ <= 0 || height_ <= 0)
        return;
    if (programType_ == 2) {
        glUseProgramObjectARB(program_);
    } else if (programType_ == 1) {
        glBindProgramARB(GL_FRAGMENT_PROGRAM_ARB, program_);
        glEnable(GL_FRAGMENT_PROGRAM_ARB);
        glProgramLocalParameter4fARB(GL_FRAGMENT_PROGRAM_ARB, 0, 1.0f, 1.0f, 1.0f, 0.0f);
    }
    // The batcher's vertex colours leave the current colour undefined; textures are modulated.
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    const bool multi = caps_.multitexture;
    // Drawn at its own size, each pixel takes its texel: sampling one texel instead of
    // blending four gives the same luma and halves the work of a software renderer.
    const unsigned filter = nearestAtOwnSize_ && w == width_ && h == height_ ? GL_NEAREST : GL_LINEAR;
    for (const Tile& tile : tiles_) {
        if (multi)
            glActiveTextureARB(GL_TEXTURE0_ARB);
        glEnable(target_);
        glBindTexture(target_, tile.planes[0]->name);
        setFilter(tile.planes[0], filter);
        if (programType_ == 2)
            glUniform1iARB(glGetUniformLocationARB(program_, "texy"), 0);
        if (tile.planes[1] && multi) {
            glActiveTextureARB(GL_TEXTURE1_ARB);
            glEnable(target_);
            glBindTexture(target_, tile.planes[1]->name);
            setFilter(tile.planes[1], filter);
            if (tile.planes[2]) {
                if (programType_ == 2)
                    glUniform1iARB(glGetUniformLocationARB(program_, "texu"), 1);
                glActiveTextureARB(GL_TEXTURE2_ARB);
                glEnable(target_);
                glBindTexture(target_, tile.planes[2]->name);
                setFilter(tile.planes[2], filter);
                if (programType_ == 2)
                    glUniform1iARB(glGetUniformLocationARB(program_, "texv"), 2);
            } else if (programType_ == 2) {
                glUniform1iARB(glGetUniformLocationARB(program_, "texuv"), 1);
            }
            glActiveTextureARB(GL_TEXTURE0_ARB);
        }
        const PlaneTexture* t = tile.planes[0];
        const float s = float(t->width) / float(t->storageWidth);
        const float u = float(t->height) / float(t->storageHeight);
        const int x0 = int(std::int64_t(w) * tile.left / width_);
        const int x1 = int(std::int64_t(w) * tile.right / width_);
        const int y0 = int(std::int64_t(h) * tile.top / height_);
        const int y1 = int(std::int64_t(h) * tile.bottom / height_);
        glBegin(GL_QUADS);
        glTexCoord2f(0.0f, 0.0f);
        glVertex2i(x0, y0);
        glTexCoord2f(s, 0.0f);
        glVertex2i(x1, y0);
        glTexCoord2f(s, u);
        glVertex2i(x1, y1);
        glTexCoord2f(0.0f, u);
        glVertex2i(x0, y1);
        glEnd();
        if (multi) {
            for (GLenum unit : {GLenum(GL_TEXTURE2_ARB), GLenum(GL_TEXTURE1_ARB)}) {
                glActiveTextureARB(unit);
                glBindTexture(target_, 0);
                glDisable(target_);
            }
            glActiveTextureARB(GL_TEXTURE0_ARB);
        }
        glBindTexture(target_, 0);
        glDisable(target_);
    }
    if (programType_ == 2)
        glUseProgramObjectARB(0);
    else if (programType_ == 1)
        glDisable(GL_FRAGMENT_PROGRAM_ARB);
}
