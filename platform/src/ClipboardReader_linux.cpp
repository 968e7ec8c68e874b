#include "platform/ClipboardReader.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>

#include <chrono>
#include <climits>

#include "platform/ThreadName.h"
#include "platform/Thread.h"

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// One read of CLIPBOARD as UTF-8 text through the display d into property prop of window
// w. False when the owner did not answer within the time-out or sent the text in pieces.
bool readClipboard(Display* d, Window w, int timeoutMs, std::string& out) {
    const Atom clipboard = XInternAtom(d, "CLIPBOARD", False);
    const Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
    const Atom prop = XInternAtom(d, "NIMBROSTA_CLIPBOARD", False);
    const Atom incr = XInternAtom(d, "INCR", False);
    if (XGetSelectionOwner(d, clipboard) == None) {
        out.clear();
        return true;
    }
    XConvertSelection(d, clipboard, utf8, prop, w, CurrentTime);
    XFlush(d);

    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    XEvent event;
    for (;;) {
        bool got = false;
        while (XPending(d) > 0) {
            XNextEvent(d, &event);
            if (event.type == SelectionNotify && event.xselection.requestor == w) {
                got = true;
                break;
            }
        }
        if (got) break;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        pollfd fd{ConnectionNumber(d), POLLIN, 0};
        ::poll(&fd, 1, int(left));
    }
    if (event.xselection.property == None) {
        // The owner holds no text.
        out.clear();
        return true;
    }
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(d, w, prop, 0, LONG_MAX / 4, True, AnyPropertyType, &type, &format, &count, &after,
                           &data) != Success)
        return false;
    bool ok = false;
    if (type != incr && format == 8) {
        out.assign(reinterpret_cast<const char*>(data), count);
        ok = true;
    }
    if (data) XFree(data);
    return ok;
}

}  // namespace

ClipboardReader::ClipboardReader(int timeoutMs) : timeoutMs_(timeoutMs), thread_(startThread([this] { run(); })) {}

ClipboardReader::~ClipboardReader() {
    {
        std::lock_guard<std::mutex> g(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void ClipboardReader::request() {
    {
        std::lock_guard<std::mutex> g(mutex_);
        requested_ = true;
    }
    wake_.notify_all();
}

bool ClipboardReader::take(std::string& text) {
    std::lock_guard<std::mutex> g(mutex_);
    if (!fresh_) return false;
    fresh_ = false;
    text = text_;
    return true;
}

void ClipboardReader::run() {
    setCurrentThreadName("Clipboard");
    Display* d = XOpenDisplay(nullptr);
    Window w = None;
    if (d) w = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
    std::string text;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return stop_ || requested_; });
            if (stop_) break;
            requested_ = false;
        }
        if (!d || !readClipboard(d, w, timeoutMs_, text)) continue;
        std::lock_guard<std::mutex> g(mutex_);
        text_ = text;
        fresh_ = true;
    }
    if (d) {
        XDestroyWindow(d, w);
        XCloseDisplay(d);
    }
}

}  // namespace platform
