#include "ScreenCapture.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <png.h>

#include "ReportFile.h"

namespace {

// An X error (a window gone between two requests) fails the request, never the sender.
int ignoreXError(Display*, XErrorEvent*) { return 0; }

int shiftOf(unsigned long mask) {
    int shift = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

void appendToString(png_structp png, png_bytep data, png_size_t length) {
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
}

}  // namespace

ScreenCapture::ScreenCapture() {
    XSetErrorHandler(&ignoreXError);
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        const char* name = std::getenv("DISPLAY");
        error_ = std::string("the display ") + (name && *name ? name : "(none)") + " could not be opened";
        return;
    }
    display_ = display;
}

ScreenCapture::~ScreenCapture() {
    if (display_) XCloseDisplay(static_cast<Display*>(display_));
}

bool ScreenCapture::grab(ScreenImage& image, unsigned long window) {
    auto* display = static_cast<Display*>(display_);
    if (!display) return false;
    const Window root = DefaultRootWindow(display);
    XWindowAttributes rootAttributes{};
    if (!XGetWindowAttributes(display, root, &rootAttributes)) {
        error_ = "the screen's size could not be read";
        return false;
    }
    int x = 0, y = 0, width = rootAttributes.width, height = rootAttributes.height;
    XWindowAttributes attributes{};
    Window child = 0;
    if (window != 0 && XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable &&
        XTranslateCoordinates(display, window, root, 0, 0, &x, &y, &child)) {
        // The window's area, cut to the screen.
        const int right = std::min(x + attributes.width, rootAttributes.width);
        const int bottom = std::min(y + attributes.height, rootAttributes.height);
        x = std::max(x, 0);
        y = std::max(y, 0);
        width = right - x;
        height = bottom - y;
        if (width <= 0 || height <= 0) x = 0, y = 0, width = rootAttributes.width, height = rootAttributes.height;
    }
    XImage* grabbed = XGetImage(display, root, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height), AllPlanes,
                                ZPixmap);
    if (!grabbed) {
        error_ = "the screen could not be read";
        return false;
    }
    image.width = width;
    image.height = height;
    image.rgb.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
    const int rs = shiftOf(grabbed->red_mask), gs = shiftOf(grabbed->green_mask), bs = shiftOf(grabbed->blue_mask);
    const bool direct32 = grabbed->bits_per_pixel == 32 && grabbed->byte_order == LSBFirst &&
                          grabbed->red_mask == 0xFF0000 && grabbed->green_mask == 0xFF00 && grabbed->blue_mask == 0xFF;
    std::uint8_t* out = image.rgb.data();
    for (int row = 0; row < height; ++row) {
        if (direct32) {
            const auto* in = reinterpret_cast<const std::uint8_t*>(grabbed->data + static_cast<std::ptrdiff_t>(row) * grabbed->bytes_per_line);
            for (int col = 0; col < width; ++col, in += 4, out += 3) {
                out[0] = in[2];
                out[1] = in[1];
                out[2] = in[0];
            }
            continue;
        }
        for (int col = 0; col < width; ++col, out += 3) {
            const unsigned long p = XGetPixel(grabbed, col, row);
            const auto channel = [p](unsigned long mask, int shift) {
                const unsigned long max = mask >> shift;
                return static_cast<std::uint8_t>(max ? ((p & mask) >> shift) * 255 / max : 0);
            };
            out[0] = channel(grabbed->red_mask, rs);
            out[1] = channel(grabbed->green_mask, gs);
            out[2] = channel(grabbed->blue_mask, bs);
        }
    }
    XDestroyImage(grabbed);
    return true;
}

bool writePng(const std::string& path, const ScreenImage& image, std::string& error) {
    if (image.width <= 0 || image.height <= 0 ||
        image.rgb.size() != static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 3) {
        error = "no picture";
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        png_destroy_write_struct(&png, &info);
        error = "out of memory";
        return false;
    }
    std::string bytes;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        error = "the picture could not be encoded";
        return false;
    }
    png_set_write_fn(png, &bytes, &appendToString, nullptr);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int row = 0; row < image.height; ++row)
        png_write_row(png, image.rgb.data() + static_cast<std::size_t>(row) * static_cast<std::size_t>(image.width) * 3);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return writeReportFile(path, bytes, error);
}
