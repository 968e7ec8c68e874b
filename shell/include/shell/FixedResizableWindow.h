#pragma once
// The player's main-window base: the client area stays at one of twelve allowed logical
// sizes while the user resizes it, F11 switches between windowed and borderless full
// screen, F12 toggles the cursor lock, and while the window has the focus and the owner
// asks for it the whole keyboard is taken, so that system key combinations reach the
// window (during a stream every key is meant for the remote machine).

#include <array>
#include <memory>

#include "shell/GLFWAppWindow.h"

struct GLFWmonitor;
namespace platform {
class IKeyboardGrab;
}

struct LogicalSize {
    int width = 0;
    int height = 0;
    bool operator==(const LogicalSize& o) const { return width == o.width && height == o.height; }
};

// A rectangle in screen pixels, right and bottom exclusive.
struct WindowRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const WindowRect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};

// The allowed logical client sizes, in table order.
const std::array<LogicalSize, 12>& allowedWindowSizes();

// The allowed size nearest to (w, h): distance |h - hi| * fh + |w - wi| * fw, with fw = 1.0
// when bit 0 of edgeMode is set (else 0.1) and fh = 1.0 when bit 1 is set (else 0.1).
// On equal distances the later size in the table wins.
LogicalSize snapToAllowedSize(int width, int height, int edgeMode);

// Edges of an interactive resize, as the windowing system numbers them.
enum SizingEdge { kEdgeLeft = 1, kEdgeRight, kEdgeTop, kEdgeTopLeft, kEdgeTopRight, kEdgeBottom, kEdgeBottomLeft, kEdgeBottomRight };

// The edge mode of a dragged edge: 1 for left or right, 2 for top or bottom, 3 for a corner.
int edgeModeOf(int edge);

// Rebuilds the proposed window rectangle of an interactive resize so that the client area
// snaps to an allowed size: the dragged edge moves, the other axis is shared between its
// two edges. window and client are the current window rectangle and client size in pixels.
WindowRect sizingRect(int edge, const WindowRect& proposed, const WindowRect& window, int clientWidth, int clientHeight,
                      float scale);

// The index of the area that overlaps rect most (the first on ties), -1 when none does.
int largestOverlap(const WindowRect& rect, const WindowRect* areas, int count);

// The monitor whose area overlaps the window's client area most, or null.
GLFWmonitor* findMonitorOfWindow(GLFWwindow* window);

class FixedResizableWindow : public GLFWAppMainWindow {
public:
    // The message a native resize drag delivers: wParam the edge, lParam a WindowRect*
    // holding the proposed window rectangle, changed in place.
    static constexpr unsigned kSizingMessage = 0x0214;

    FixedResizableWindow();
    ~FixedResizableWindow() override;

    bool onKey(GLFWwindow* window, int key, int scancode, int action, int mods) override;
    void onFocus(GLFWwindow* window, int focused) override;
    void onResize(GLFWwindow* window, int width, int height) override;
    int onWin32Message(GLFWwindow* window, const NativeWindowMessage& message) override;
    // F12 was pressed: true when the subclass handled it itself.
    virtual bool onCursorLockKey() { return false; }

    void toggleFullscreen();
    void exitFullscreen();
    bool isFullscreen() const { return fullscreen_; }

    void setCursorLocked(bool locked);
    bool isCursorLocked() const { return cursorLocked_; }

    void setKeyboardHookEnabled(bool enabled);
    void updateKeyboardHook();
    bool isKeyboardHookEnabled() const { return keyboardHookEnabled_; }
    bool isKeyboardHookInstalled() const;

    void setHotKeysEnabled(bool enabled) { hotKeys_ = enabled; }

    // Main thread: the client area becomes the logical size times the UI scale.
    void setSize(int logicalWidth, int logicalHeight);

    // Replaces the keyboard grab (tests use a fake; by default the X11 grab of the window).
    void setKeyboardGrab(std::unique_ptr<platform::IKeyboardGrab> grab);

private:
    platform::IKeyboardGrab* keyboardGrab();

    WindowRect savedRect_;
    bool savedDecorated_ = true;
    std::unique_ptr<platform::IKeyboardGrab> grab_;
    bool fullscreen_ = false;
    bool hotKeys_ = true;
    bool cursorLocked_ = false;
    bool keyboardHookEnabled_ = false;
    bool focused_ = true;
};
