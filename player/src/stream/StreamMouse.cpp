#include "player/stream/StreamMouse.h"

#include <algorithm>
#include <cmath>

std::int32_t StreamMouse::toRemote(double position, int size) {
    if (size <= 0) return 0;
    const double scaled = std::trunc(position * kRemoteMax / size);
    return std::int32_t(std::clamp(scaled, 0.0, double(kRemoteMax)));
}

bool StreamMouse::onCursor(double x, double y, int width, int height, bool locked, Move& out) {
    if (locked != lastCursorLocked_) {
        // The mode changed: the cursor jumps back to the virtual position and the next event
        // measures from there, so the switch itself sends no jump.
        lastCursorLocked_ = locked;
        refX_ = localX_;
        refY_ = localY_;
        warpPending_ = true;
        return false;
    }
    if (width <= 0 || height <= 0) return false;

    const double baseX = locked ? refX_ : localX_;
    const double baseY = locked ? refY_ : localY_;
    const double dx = std::trunc(x - std::trunc(baseX));
    const double dy = std::trunc(y - std::trunc(baseY));
    refX_ += dx;
    refY_ += dy;
    if (locked) {
        localX_ = std::clamp(localX_ + dx, 0.0, double(width));
        localY_ = std::clamp(localY_ + dy, 0.0, double(height));
    } else {
        localX_ = x;
        localY_ = y;
    }
    remoteX_ = toRemote(localX_, width);
    remoteY_ = toRemote(localY_, height);
    out.x = std::int32_t(remoteX_);
    out.y = std::int32_t(remoteY_);
    out.dx = std::int32_t(dx);
    out.dy = std::int32_t(dy);
    out.absolute = !locked;
    return true;
}

int remoteMouseButton(int glfwButton) {
    switch (glfwButton) {
        case 0: return 0;
        case 1: return 2;
        case 2: return 1;
        case 3: return 3;
        case 4: return 4;
        default: return 0;
    }
}
