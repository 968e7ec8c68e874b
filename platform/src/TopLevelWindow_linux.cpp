#include "platform/TopLevelWindow.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace platform {

namespace {

std::string windowTitle(Display* display, Window window) {
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    const Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(display, window, netName, 0, 1024, False, utf8, &type, &format, &count, &after, &data) ==
            Success &&
        data) {
        title.assign(reinterpret_cast<const char*>(data), count);
        XFree(data);
        return title;
    }
    char* name = nullptr;
    if (XFetchName(display, window, &name) && name) {
        title = name;
        XFree(name);
    }
    return title;
}

// Searches the root's children and, under a reparenting window manager, their children.
Window findByTitle(Display* display, Window parent, const std::string& title, int depth) {
    Window root = 0, up = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, parent, &root, &up, &children, &count)) return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && !found; ++i)
        if (windowTitle(display, children[i]) == title) found = children[i];
    for (unsigned i = 0; i < count && !found && depth > 0; ++i)
        found = findByTitle(display, children[i], title, depth - 1);
    if (children) XFree(children);
    return found;
}

}  // namespace

bool showWindowByTitle(const std::string& title) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return false;
    const Window root = DefaultRootWindow(display);
    const Window window = findByTitle(display, root, title, 1);
    if (window) {
        XMapRaised(display, window);
        XEvent e{};
        e.xclient.type = ClientMessage;
        e.xclient.window = window;
        e.xclient.message_type = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
        e.xclient.format = 32;
        e.xclient.data.l[0] = 2;  // from a pager-like program: honour it
        e.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
        XFlush(display);
    }
    XCloseDisplay(display);
    return window != 0;
}

}  // namespace platform
