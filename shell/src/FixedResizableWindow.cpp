#include "shell/FixedResizableWindow.h"

#include <GLFW/glfw3.h>
#define GLFW_EXPOSE_NATIVE_X11
#include <GLFW/glfw3native.h>
#include <algorithm>
#include <cmath>
#include <vector>

#include "shell/UiScale.h"
#include "platform/KeyboardGrab.h"

const std::array<LogicalSize, 12>& allowedWindowSizes() {
    static const std::array<LogicalSize, 12> sizes = {{
        {1024, 576}, {1024, 768}, {1152, 864}, {1280, 720}, {1280, 768}, {1280, 800},
        {1280, 960}, {1280, 1024}, {1366, 768}, {1600, 900}, {1680, 1050}, {1920, 1080},
    }};
    return sizes;
}

LogicalSize snapToAllowedSize(int width, int height, int edgeMode) {
    const float fw = (edgeMode & 1) ? 1.0f : 0.1f;
    const float fh = (edgeMode & 2) ? 1.0f : 0.1f;
    LogicalSize best = allowedWindowSizes()[0];
    float bestDistance = 0;
    bool first = true;
    for (const LogicalSize& s : allowedWindowSizes()) {
        const float d = static_cast<float>(std::abs(height - s.height)) * fh + static_cast<float>(std::abs(width - s.width)) * fw;
        if (first || d <= bestDistance) {
            best = s;
            bestDistance = d;
            first = false;
        }
    }
    return best;
}

int edgeModeOf(int edge) {
    switch (edge) {
        case kEdgeLeft:
        case kEdgeRight: return 1;
        case kEdgeTop:
        case kEdgeBottom: return 2;
        case kEdgeTopLeft:
        case kEdgeTopRight:
        case kEdgeBottomLeft:
        case kEdgeBottomRight: return 3;
        default: return 0;
    }
}

WindowRect sizingRect(int edge, const WindowRect& proposed, const WindowRect& window, int clientWidth, int clientHeight,
                      float scale) {
    const int frameW = (window.right - window.left) - clientWidth;
    const int frameH = (window.bottom - window.top) - clientHeight;
    const int propW = (proposed.right - proposed.left) - frameW;
    const int propH = (proposed.bottom - proposed.top) - frameH;
    const LogicalSize snapped = snapToAllowedSize(static_cast<int>(propW / scale), static_cast<int>(propH / scale), edgeModeOf(edge));
    const int tw = static_cast<int>(snapped.width * scale);
    const int th = static_cast<int>(snapped.height * scale);
    if (tw == clientWidth && th == clientHeight) return window;

    const int dw = tw - clientWidth;
    const int dh = th - clientHeight;
    WindowRect r = window;
    auto shareHeight = [&] {
        r.top = window.top - dh / 2;
        r.bottom = window.bottom + dh - dh / 2;
    };
    auto shareWidth = [&] {
        r.left = window.left - dw / 2;
        r.right = window.right + dw - dw / 2;
    };
    switch (edge) {
        case kEdgeLeft: r.left = window.left - dw; shareHeight(); break;
        case kEdgeRight: r.right = window.right + dw; shareHeight(); break;
        case kEdgeTop: r.top = window.top - dh; shareWidth(); break;
        case kEdgeBottom: r.bottom = window.bottom + dh; shareWidth(); break;
        case kEdgeTopLeft: r.top = window.top - dh; r.left = window.left - dw; break;
        case kEdgeTopRight: r.top = window.top - dh; r.right = window.right + dw; break;
        case kEdgeBottomLeft: r.bottom = window.bottom + dh; r.left = window.left - dw; break;
        case kEdgeBottomRight: r.bottom = window.bottom + dh; r.right = window.right + dw; break;
        default: return proposed;
    }
    return r;
}

int largestOverlap(const WindowRect& rect, const WindowRect* areas, int count) {
    int best = -1;
    long long bestArea = 0;
    for (int i = 0; i < count; ++i) {
        const long long w = std::min(rect.right, areas[i].right) - std::max(rect.left, areas[i].left);
        const long long h = std::min(rect.bottom, areas[i].bottom) - std::max(rect.top, areas[i].top);
        const long long area = (w > 0 && h > 0) ? w * h : 0;
        if (area > bestArea) {
            bestArea = area;
            best = i;
        }
    }
    return best;
}

GLFWmonitor* findMonitorOfWindow(GLFWwindow* window) {
    if (!window) return nullptr;
    int x = 0, y = 0, w = 0, h = 0;
    glfwGetWindowPos(window, &x, &y);
    glfwGetWindowSize(window, &w, &h);
    int count = 0;
    GLFWmonitor** monitors = glfwGetMonitors(&count);
    std::vector<WindowRect> areas;
    for (int i = 0; i < count; ++i) {
        int mx = 0, my = 0;
        glfwGetMonitorPos(monitors[i], &mx, &my);
        const GLFWvidmode* mode = glfwGetVideoMode(monitors[i]);
        areas.push_back(mode ? WindowRect{mx, my, mx + mode->width, my + mode->height} : WindowRect{mx, my, mx, my});
    }
    const int index = largestOverlap({x, y, x + w, y + h}, areas.data(), count);
    return index < 0 ? nullptr : monitors[index];
}

FixedResizableWindow::FixedResizableWindow() = default;
FixedResizableWindow::~FixedResizableWindow() = default;

bool FixedResizableWindow::onKey(GLFWwindow* window, int key, int scancode, int action, int mods) {
    if (hotKeys_ && action == GLFW_PRESS) {
        if (key == GLFW_KEY_F11) {
            toggleFullscreen();
            return true;
        }
        if (key == GLFW_KEY_F12) {
            if (!onCursorLockKey()) setCursorLocked(!cursorLocked_);
            return true;
        }
    }
    return GLFWAppMainWindow::onKey(window, key, scancode, action, mods);
}

void FixedResizableWindow::onFocus(GLFWwindow*, int focused) {
    focused_ = focused != 0;
    updateKeyboardHook();
}

void FixedResizableWindow::onResize(GLFWwindow* window, int width, int height) {
    if (fullscreen_) return;
    setPixelSize(width, height);
    const float scale = getUiScale();
    const int lw = static_cast<int>(width / scale);
    const int lh = static_cast<int>(height / scale);
    const LogicalSize snapped = snapToAllowedSize(lw, lh, 3);
    const int pw = static_cast<int>(snapped.width * scale);
    const int ph = static_cast<int>(snapped.height * scale);
    setPixelSize(pw, ph);
    // Pixel sizes are compared, so that a size that is already the snapped one at a
    // fractional scale is not set again.
    if ((lw == snapped.width && lh == snapped.height) || (width == pw && height == ph)) return;
    glfwSetWindowSize(window, pw, ph);
}

int FixedResizableWindow::onWin32Message(GLFWwindow* window, const NativeWindowMessage& message) {
    if (message.message != kSizingMessage || fullscreen_ || !window || message.lParam == 0) return -1;
    auto* proposed = reinterpret_cast<WindowRect*>(message.lParam);
    int x = 0, y = 0, cw = 0, ch = 0, left = 0, top = 0, right = 0, bottom = 0;
    glfwGetWindowPos(window, &x, &y);
    glfwGetWindowSize(window, &cw, &ch);
    glfwGetWindowFrameSize(window, &left, &top, &right, &bottom);
    const WindowRect current{x - left, y - top, x + cw + right, y + ch + bottom};
    *proposed = sizingRect(static_cast<int>(message.wParam), *proposed, current, cw, ch, getUiScale());
    return 1;
}

void FixedResizableWindow::toggleFullscreen() {
    GLFWwindow* window = getWindow();
    if (!window) return;
    fullscreen_ = !fullscreen_;
    if (fullscreen_) {
        WindowRect area;
        GLFWmonitor* monitor = findMonitorOfWindow(window);
        if (!monitor) monitor = glfwGetPrimaryMonitor();
        if (monitor) {
            int mx = 0, my = 0;
            glfwGetMonitorPos(monitor, &mx, &my);
            if (const GLFWvidmode* mode = glfwGetVideoMode(monitor)) area = {mx, my, mx + mode->width, my + mode->height};
        }
        int x = 0, y = 0, w = 0, h = 0;
        glfwGetWindowPos(window, &x, &y);
        glfwGetWindowSize(window, &w, &h);
        savedRect_ = {x, y, x + w, y + h};
        savedDecorated_ = glfwGetWindowAttrib(window, GLFW_DECORATED) == GLFW_TRUE;
        glfwSetWindowAttrib(window, GLFW_DECORATED, GLFW_FALSE);
        if (area.right > area.left && area.bottom > area.top) {
            glfwSetWindowPos(window, area.left, area.top);
            glfwSetWindowSize(window, area.right - area.left, area.bottom - area.top);
        }
    } else {
        glfwSetWindowAttrib(window, GLFW_DECORATED, savedDecorated_ ? GLFW_TRUE : GLFW_FALSE);
        glfwSetWindowSize(window, savedRect_.right - savedRect_.left, savedRect_.bottom - savedRect_.top);
        glfwSetWindowPos(window, savedRect_.left, savedRect_.top);
    }
    requestRedraw();
}

void FixedResizableWindow::exitFullscreen() {
    if (fullscreen_) toggleFullscreen();
}

void FixedResizableWindow::setCursorLocked(bool locked) {
    cursorLocked_ = locked;
    if (GLFWwindow* window = getWindow())
        glfwSetInputMode(window, GLFW_CURSOR, locked ? GLFW_CURSOR_DISABLED : GLFW_CURSOR_NORMAL);
}

void FixedResizableWindow::setKeyboardHookEnabled(bool enabled) {
    keyboardHookEnabled_ = enabled;
    updateKeyboardHook();
}

void FixedResizableWindow::updateKeyboardHook() {
    platform::IKeyboardGrab* grab = keyboardGrab();
    if (!grab) return;
    grab->release();
    if (keyboardHookEnabled_ && focused_) grab->grab();
}

bool FixedResizableWindow::isKeyboardHookInstalled() const { return grab_ && grab_->isGrabbed(); }

void FixedResizableWindow::setKeyboardGrab(std::unique_ptr<platform::IKeyboardGrab> grab) {
    if (grab_) grab_->release();
    grab_ = std::move(grab);
}

platform::IKeyboardGrab* FixedResizableWindow::keyboardGrab() {
    if (!grab_ && getWindow() && glfwGetX11Display())
        grab_ = platform::makeX11KeyboardGrab(glfwGetX11Display(), glfwGetX11Window(getWindow()));
    return grab_.get();
}

void FixedResizableWindow::setSize(int logicalWidth, int logicalHeight) {
    const float scale = getUiScale();
    const int w = static_cast<int>(logicalWidth * scale);
    const int h = static_cast<int>(logicalHeight * scale);
    setPixelSize(w, h);
    if (GLFWwindow* window = getWindow()) glfwSetWindowSize(window, w, h);
}
