#pragma once
// Closes the in-stream screen's mouse-mode help from outside the player process, as a user
// does: its OK button is found by its colour in the window's pixels and clicked with
// xdotool. Until the help is closed the stream is greyed out and takes no input.

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>

#include "../../shell/X11TestSupport.h"

namespace streamtest {

// The dialogs' buttons are filled with one cyan; the test pictures behind them (bars,
// bands) hold no colour this close to it, greyed out or not.
inline bool isDialogButton(const std::uint8_t* p) {
    return std::abs(p[0] - 20) < 12 && std::abs(p[1] - 171) < 12 && std::abs(p[2] - 196) < 12;
}

// A button: a filled box of at least 30 x 15 (a few stray pixels of the picture are none).
struct Box {
    int left = 0, top = 0, right = -1, bottom = -1;
    long count = 0;
    bool found() const {
        const long area = long(right - left + 1) * long(bottom - top + 1);
        return right - left >= 30 && bottom - top >= 15 && count * 10 >= area * 6;
    }
    int centreX() const { return (left + right) / 2; }
    int centreY() const { return (top + bottom) / 2; }
};

// The box round every dialog-button pixel of the window.
inline Box dialogButton(const x11test::Pixels& p) {
    Box box{p.width, p.height, -1, -1};
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            if (isDialogButton(p.at(x, y))) {
                box.left = std::min(box.left, x);
                box.top = std::min(box.top, y);
                box.right = std::max(box.right, x);
                box.bottom = std::max(box.bottom, y);
                ++box.count;
            }
    return box;
}

// Waits for the mouse-mode help's OK button (it opens with the first picture), clicks it and
// waits for the dialog to go. `shown`, when given, receives the window as the dialog showed
// it. False when no such button came, or it stayed.
inline bool closeMouseModeHelp(Display* d, Window w, x11test::Pixels* shown = nullptr, int timeoutMs = 15000) {
    Box ok;
    x11test::Pixels shot;
    if (!x11test::waitUntil(
            [&] {
                shot = x11test::capture(d, w);
                ok = dialogButton(shot);
                return ok.found();
            },
            timeoutMs))
        return false;
    if (shown) *shown = shot;
    if (!x11test::click(w, ok.centreX(), ok.centreY())) return false;
    return x11test::waitUntil([&] { return !dialogButton(x11test::capture(d, w)).found(); }, 5000);
}

// The screen reads the grey-out about every 100 ms, so keys are still held back for a moment
// after the dialog has gone from the picture. Taps Shift in the focused window, which changes
// nothing on the machine, until the release of a key reaches it (`releaseArrived` tells), so
// that every key a test sends next is taken. False when none arrived.
inline bool waitUntilKeysFlow(const std::function<bool()>& releaseArrived, int timeoutMs = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!releaseArrived()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        if (std::system("xdotool key shift >/dev/null 2>&1") != 0) return false;
        x11test::waitUntil(releaseArrived, 200);
    }
    return true;
}

}  // namespace streamtest
