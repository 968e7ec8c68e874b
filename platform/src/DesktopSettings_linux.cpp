#include "platform/DesktopSettings.h"

#include <X11/Xlib.h>
#include <X11/Xresource.h>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace platform {

int desktopDpiFromResources(const char* resources) {
    if (!resources) return 0;
    static std::once_flag once;
    std::call_once(once, [] { XrmInitialize(); });
    XrmDatabase db = XrmGetStringDatabase(resources);
    if (!db) return 0;
    int dpi = 0;
    char* type = nullptr;
    XrmValue value{};
    if (XrmGetResource(db, "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr && type &&
        std::strcmp(type, "String") == 0) {
        char* end = nullptr;
        const double parsed = std::strtod(value.addr, &end);
        if (end != value.addr && std::isfinite(parsed) && parsed > 0 && parsed < 100000) dpi = static_cast<int>(std::lround(parsed));
    }
    XrmDestroyDatabase(db);
    return dpi;
}

int desktopDpi() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return 0;
    const int dpi = desktopDpiFromResources(XResourceManagerString(display));
    XCloseDisplay(display);
    return dpi;
}

}  // namespace platform
