#pragma once
// Test helpers that talk to the X server directly: finding top-level windows by title,
// reading their geometry and size hints, and sending them the messages a window manager
// or the keyboard would send.

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <chrono>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace x11test {

// Windows of the processes under test come and go while a test looks at them: a request
// about a window that has just gone is no failure (Xlib's default handler would end the
// test program). Other errors are printed and the request's result tells the test.
inline int tolerateVanishedWindows(Display* d, XErrorEvent* e) {
    if (e->error_code == BadWindow || e->error_code == BadDrawable) return 0;
    char text[256] = {};
    XGetErrorText(d, e->error_code, text, sizeof text);
    fprintf(stderr, "X error: %s (request %d)\n", text, static_cast<int>(e->request_code));
    return 0;
}

// A connection of its own to $DISPLAY.
class Connection {
public:
    Connection() : display_(XOpenDisplay(nullptr)) { XSetErrorHandler(&tolerateVanishedWindows); }
    ~Connection() {
        if (display_) XCloseDisplay(display_);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    Display* get() const { return display_; }
    explicit operator bool() const { return display_ != nullptr; }

private:
    Display* display_;
};

inline std::string windowTitle(Display* d, Window w) {
    Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
    Atom netName = XInternAtom(d, "_NET_WM_NAME", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(d, w, netName, 0, 1024, False, utf8, &type, &format, &count, &after, &data) == Success &&
        data) {
        title.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
        return title;
    }
    char* name = nullptr;
    if (XFetchName(d, w, &name) && name) {
        title = name;
        XFree(name);
    }
    return title;
}

// The first viewable top-level window with the given title, or 0.
inline Window findWindow(Display* d, const std::string& title) {
    Window root = DefaultRootWindow(d), parent = 0, *children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (!XQueryTree(d, root, &root, &parent, &children, &count)) return 0;
    for (unsigned i = 0; i < count && !found; ++i) {
        XWindowAttributes a;
        if (XGetWindowAttributes(d, children[i], &a) && a.map_state == IsViewable &&
            windowTitle(d, children[i]) == title)
            found = children[i];
    }
    if (children) XFree(children);
    return found;
}

// Polls until the window appears (up to timeoutMs); 0 when it did not.
inline Window waitForWindow(Display* d, const std::string& title, int timeoutMs = 20000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
        XSync(d, False);
        if (Window w = findWindow(d, title)) return w;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return 0;
}

struct Geometry {
    int x = 0, y = 0, width = 0, height = 0;
};

inline Geometry geometry(Display* d, Window w) {
    XWindowAttributes a{};
    XGetWindowAttributes(d, w, &a);
    Window child = 0;
    Geometry g;
    XTranslateCoordinates(d, w, DefaultRootWindow(d), 0, 0, &g.x, &g.y, &child);
    g.width = a.width;
    g.height = a.height;
    return g;
}

// Whether the size hints fix the window's size (minimum equal to maximum).
inline bool hasFixedSize(Display* d, Window w) {
    XSizeHints hints{};
    long supplied = 0;
    if (!XGetWMNormalHints(d, w, &hints, &supplied)) return false;
    return (hints.flags & PMinSize) && (hints.flags & PMaxSize) && hints.min_width == hints.max_width &&
           hints.min_height == hints.max_height;
}

// What a window manager sends when the user clicks the close button.
inline void sendDeleteWindow(Display* d, Window w) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = w;
    e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, w, False, NoEventMask, &e);
    XFlush(d);
}

// The process id the window announces (_NET_WM_PID), or 0.
inline long windowPid(Display* d, Window w) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    long pid = 0;
    if (XGetWindowProperty(d, w, XInternAtom(d, "_NET_WM_PID", False), 0, 1, False, XA_CARDINAL, &type, &format,
                           &count, &after, &data) == Success &&
        data && count == 1 && format == 32)
        pid = *reinterpret_cast<long*>(data);
    if (data) XFree(data);
    return pid;
}

// A key press (and release) of keysym delivered to the window.
inline void sendKey(Display* d, Window w, KeySym keysym, bool release = true) {
    XEvent e{};
    e.xkey.type = KeyPress;
    e.xkey.display = d;
    e.xkey.window = w;
    e.xkey.root = DefaultRootWindow(d);
    e.xkey.subwindow = None;
    e.xkey.time = CurrentTime;
    e.xkey.same_screen = True;
    e.xkey.keycode = XKeysymToKeycode(d, keysym);
    XSendEvent(d, w, True, KeyPressMask, &e);
    if (release) {
        e.xkey.type = KeyRelease;
        XSendEvent(d, w, True, KeyReleaseMask, &e);
    }
    XFlush(d);
}

// The window's pixels as the X server shows them, as RGBA rows (alpha 255); empty when the
// window cannot be read.
struct Pixels {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgba;
    const std::uint8_t* at(int x, int y) const {
        return &rgba[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * 4];
    }
};

inline Pixels capture(Display* d, Window w) {
    XSync(d, False);
    XWindowAttributes a{};
    Pixels p;
    if (!XGetWindowAttributes(d, w, &a)) return p;
    XImage* image = XGetImage(d, w, 0, 0, unsigned(a.width), unsigned(a.height), AllPlanes, ZPixmap);
    if (!image) return p;
    p.width = a.width;
    p.height = a.height;
    p.rgba.resize(std::size_t(a.width) * std::size_t(a.height) * 4);
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) {
            const unsigned long v = XGetPixel(image, x, y);
            std::uint8_t* out = &p.rgba[(std::size_t(y) * std::size_t(a.width) + std::size_t(x)) * 4];
            out[0] = std::uint8_t((v & image->red_mask) >> 16);
            out[1] = std::uint8_t((v & image->green_mask) >> 8);
            out[2] = std::uint8_t(v & image->blue_mask);
            out[3] = 255;
        }
    XDestroyImage(image);
    return p;
}

// The same pixels as a bare RGBA buffer with the size in width and height.
inline std::vector<std::uint8_t> windowRgba(Display* d, Window w, int& width, int& height) {
    Pixels p = capture(d, w);
    width = p.width;
    height = p.height;
    return std::move(p.rgba);
}

// A pointer click at (x, y) of the window with xdotool; the pointer moves onto the point
// first, as a press is taken by the widget the pointer moved over. False when xdotool failed.
inline bool click(Window w, int x, int y) {
    const auto moveTo = [&](int px, int py) {
        return "mousemove --window " + std::to_string(w) + " " + std::to_string(px) + " " + std::to_string(py);
    };
    const std::string command = "xdotool " + moveTo(x - 3, y - 3) + " " + moveTo(x, y) + " click 1";
    return std::system(command.c_str()) == 0;
}

// Waits until cond holds, polling every few ms, up to timeoutMs. Returns cond().
inline bool waitUntil(const std::function<bool()>& cond, int timeoutMs = 10000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!cond()) {
        if (std::chrono::steady_clock::now() >= end) return cond();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// The X server resets (dropping its resource database) whenever its last client leaves;
// one connection held for the whole test program keeps it from doing so between cases.
class KeepServerAlive : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(connection_) << "an X display is needed"; }

private:
    Connection connection_;
};

}  // namespace x11test
