#pragma once
// A real GLFW window with an OpenGL context (Mesa's software renderer under Xvfb in tests),
// its graphics context, pixel read-back and PNG screenshots.

#include "gui/GraphicsContextOpenGLGLFW.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct GLFWwindow;
class PlayerGUI;

namespace guitest {

struct RGBA {
    std::uint8_t r, g, b, a;
    bool operator==(const RGBA& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
};

class GLTestWindow {
public:
    // Opens a visible width x height window and makes its context current on this thread.
    // allowed restricts the driver features the context may use.
    GLTestWindow(int width, int height, const char* title = "test", GLCapabilities allowed = {true, true, true});
    ~GLTestWindow();

    bool ok() const { return window_ != nullptr && context_ != nullptr; }
    GLFWwindow* window() const { return window_; }
    GraphicsContextOpenGLGLFW* context() const { return context_.get(); }
    int width() const { return width_; }
    int height() const { return height_; }

    // Reads the back buffer (after glFinish), rows top to bottom.
    std::vector<RGBA> readPixels();
    RGBA pixel(const std::vector<RGBA>& pixels, int x, int y) const { return pixels[std::size_t(y) * width_ + x]; }
    // Writes the back buffer as a PNG under build/artifacts/<name>.png; returns the path.
    std::string saveScreenshot(const std::string& name);
    // One frame of a GUI on this window's context: tick, then begin, render and end the frame.
    void renderFrame(PlayerGUI& gui, float seconds);

private:
    GLFWwindow* window_ = nullptr;
    std::unique_ptr<GraphicsContextOpenGLGLFW> context_;
    int width_;
    int height_;
};

// The folder for test artifacts (created on demand).
std::string artifactsDir();
// Writes 8-bit RGBA rows (top to bottom) as a PNG file.
bool writePng(const std::string& path, int width, int height, const std::uint8_t* rgba);
// Encodes 8-bit pixels of a PNG colour type (PNG_COLOR_TYPE_*) and bit depth into memory.
std::vector<std::uint8_t> encodePng(int width, int height, int colorType, int bitDepth,
                                    const std::vector<std::uint8_t>& rows, const std::vector<std::uint8_t>& palette = {},
                                    const std::vector<std::uint8_t>& transparency = {});

}  // namespace guitest
