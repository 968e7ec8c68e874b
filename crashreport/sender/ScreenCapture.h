#pragma once
// Pictures of the screen for a report: the whole screen of $DISPLAY, or the part of it that
// a given window covers, as 8-bit RGB rows top to bottom.

#include <cstdint>
#include <string>
#include <vector>

struct ScreenImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;  // width * height * 3 bytes
};

class ScreenCapture {
public:
    ScreenCapture();
    ~ScreenCapture();
    ScreenCapture(const ScreenCapture&) = delete;
    ScreenCapture& operator=(const ScreenCapture&) = delete;

    // Whether the display could be opened; error() says why not.
    bool ready() const { return display_ != nullptr; }
    const std::string& error() const { return error_; }

    // Takes the screen, or the screen area of window (0: the whole screen; a window that is
    // gone or off the screen gives the whole screen too). False with error() set.
    bool grab(ScreenImage& image, unsigned long window = 0);

private:
    void* display_ = nullptr;
    std::string error_;
};

// Writes the image as a PNG file (whole or not at all); false with the reason.
bool writePng(const std::string& path, const ScreenImage& image, std::string& error);
