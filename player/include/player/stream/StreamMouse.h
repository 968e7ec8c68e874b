#pragma once
// The pointer as the machine sees it. While the cursor is free the machine gets absolute
// positions scaled to 0..65535 of the window; while it is locked to the stream (relative
// mode) it gets the motion deltas, with a virtual position that moves by them and stays
// inside the window.
//
// Pure bookkeeping: the in-stream screen feeds it GLFW cursor events and sends what it
// answers. Main thread only.

#include <cstdint>

class StreamMouse {
public:
    // The largest remote coordinate.
    static constexpr std::int32_t kRemoteMax = 65535;

    struct Move {
        std::int32_t x = 0, y = 0;    // absolute, 0..65535
        std::int32_t dx = 0, dy = 0;  // relative
        bool absolute = true;
    };

    // A cursor event at (x, y) window coordinates in a window of width x height with the
    // cursor locked or not. False when nothing is to be sent: the lock changed since the
    // last event (the reference point is re-centred instead; warpTo then holds where the
    // system cursor must go), or the window has no size.
    bool onCursor(double x, double y, int width, int height, bool locked, Move& out);

    // The last position sent, for buttons and the wheel.
    std::int32_t remoteX() const { return std::int32_t(remoteX_); }
    std::int32_t remoteY() const { return std::int32_t(remoteY_); }
    // Set by onCursor when it re-centred: move the system cursor here.
    bool warpPending() const { return warpPending_; }
    double warpX() const { return localX_; }
    double warpY() const { return localY_; }
    void clearWarp() { warpPending_ = false; }

    // The position scaled to 0..65535 of size, clamped (a pointer outside the window or a
    // size of 0 never wraps a 16-bit coordinate).
    static std::int32_t toRemote(double position, int size);

private:
    double remoteX_ = 0, remoteY_ = 0;
    double localX_ = 0, localY_ = 0;
    double refX_ = 0, refY_ = 0;
    bool lastCursorLocked_ = false;
    bool warpPending_ = false;
};

// GLFW mouse button to the machine's numbering: left 0, right 2, middle 1, the two extra
// buttons 3 and 4, anything else left.
int remoteMouseButton(int glfwButton);
