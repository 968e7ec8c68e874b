#include "gui/testing/GLTestWindow.h"

#include "gui/PlayerGUI.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <png.h>

#include <cstdio>
#include <filesystem>

namespace guitest {

namespace {

void writeToVector(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void flushNothing(png_structp) {}

int channels(int colorType) {
    switch (colorType) {
        case PNG_COLOR_TYPE_GRAY:
        case PNG_COLOR_TYPE_PALETTE:
            return 1;
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            return 2;
        case PNG_COLOR_TYPE_RGB:
            return 3;
        default:
            return 4;
    }
}

}  // namespace

std::vector<std::uint8_t> encodePng(int width, int height, int colorType, int bitDepth,
                                    const std::vector<std::uint8_t>& rows, const std::vector<std::uint8_t>& palette,
                                    const std::vector<std::uint8_t>& transparency) {
    std::vector<std::uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, writeToVector, flushNothing);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), bitDepth, colorType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!palette.empty())
        png_set_PLTE(png, info, reinterpret_cast<png_const_colorp>(palette.data()), int(palette.size() / 3));
    if (!transparency.empty())
        png_set_tRNS(png, info, transparency.data(), int(transparency.size()), nullptr);
    png_write_info(png, info);
    const std::size_t rowBytes = (std::size_t(width) * channels(colorType) * bitDepth + 7) / 8;
    for (int y = 0; y < height; ++y)
        png_write_row(png, rows.data() + rowBytes * std::size_t(y));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

bool writePng(const std::string& path, int width, int height, const std::uint8_t* rgba) {
    std::vector<std::uint8_t> rows(rgba, rgba + std::size_t(width) * height * 4);
    const std::vector<std::uint8_t> bytes = encodePng(width, height, PNG_COLOR_TYPE_RGBA, 8, rows);
    if (bytes.empty())
        return false;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    std::fclose(f);
    return ok;
}

std::string artifactsDir() {
    std::string dir = NIMBROSTA_ARTIFACTS_DIR;
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    return dir;
}

GLTestWindow::GLTestWindow(int width, int height, const char* title, GLCapabilities allowed) : width_(width), height_(height) {
    if (!glfwInit())
        return;
    glfwDefaultWindowHints();
    glfwWindowHint(GLFW_VISIBLE, GLFW_TRUE);
    glfwWindowHint(GLFW_RESIZABLE, GLFW_FALSE);
    glfwWindowHint(GLFW_DOUBLEBUFFER, GLFW_TRUE);
    window_ = glfwCreateWindow(width, height, title, nullptr, nullptr);
    if (!window_)
        return;
    glfwMakeContextCurrent(window_);
    context_.reset(new GraphicsContextOpenGLGLFW(window_));
    context_->restrictCapabilities(allowed);
    context_->initialize();
}

GLTestWindow::~GLTestWindow() {
    if (window_)
        glfwMakeContextCurrent(window_);
    context_.reset();
    if (window_) {
        glfwMakeContextCurrent(nullptr);
        glfwDestroyWindow(window_);
    }
}

std::vector<RGBA> GLTestWindow::readPixels() {
    std::vector<RGBA> bottomUp(std::size_t(width_) * height_);
    glFinish();
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
    std::vector<RGBA> pixels(bottomUp.size());
    for (int y = 0; y < height_; ++y)
        std::copy(bottomUp.begin() + std::ptrdiff_t(height_ - 1 - y) * width_,
                  bottomUp.begin() + std::ptrdiff_t(height_ - y) * width_, pixels.begin() + std::ptrdiff_t(y) * width_);
    return pixels;
}

std::string GLTestWindow::saveScreenshot(const std::string& name) {
    std::vector<RGBA> pixels = readPixels();
    for (RGBA& p : pixels)
        p.a = 255;  // the window shows no alpha; keep the picture opaque for viewers
    const std::string path = artifactsDir() + "/" + name + ".png";
    writePng(path, width_, height_, reinterpret_cast<const std::uint8_t*>(pixels.data()));
    return path;
}

void GLTestWindow::renderFrame(PlayerGUI& gui, float seconds) {
    gui.tick(seconds);
    context_->beginFrame();
    gui.render(context_.get());
    context_->endFrame();
}

}  // namespace guitest
