#pragma once
// The base of the player's screens (decoder benchmark, machine selection, in-stream). The
// window owns at most one current screen, which receives input, commands and frames, and
// at most one pending screen, which replaces it after the next drawn frame.
//
// Threads: the window makes a screen inside a command (main thread, or the render thread
// for the initial command) and enters, updates, leaves and deletes it on the render thread;
// its input and command operations run on the main thread. The window holds its GUI lock
// around every one of these calls. Input operations return true when they took the event.

#include <mutex>

struct GLFWwindow;
class PlayerMainWindow;

class PlayerWindowState {
public:
    // commandId: the command that created the screen (kCommandBenchmarkScreen,
    // kCommandSelectionScreen or kCommandStreamScreen); the window looks its back command up
    // with it and re-issues it to restart the screen.
    PlayerWindowState(PlayerMainWindow* window, int commandId) : window_(window), commandId_(commandId) {}
    virtual ~PlayerWindowState() = default;

    PlayerWindowState(const PlayerWindowState&) = delete;
    PlayerWindowState& operator=(const PlayerWindowState&) = delete;

    // The screen becomes current; false aborts the switch (the screen is left and deleted).
    virtual bool enter() = 0;
    virtual void leave() = 0;
    // After every drawn frame, with the window's GUI lock (held by the window around the
    // call). The result is not used.
    virtual bool update(std::recursive_mutex& guiLock) = 0;
    // True makes the window drop the screen after the frame.
    virtual bool isFinished() = 0;

    // A window command the popup manager has seen; true ends its dispatch.
    virtual bool onCommand(int) { return false; }
    // Input the window's GUI did not take (GLFW values; window coordinates).
    virtual bool onCursorPos(GLFWwindow*, double, double) { return false; }
    virtual bool onMouseButton(GLFWwindow*, int, int, int) { return false; }
    virtual bool onScroll(GLFWwindow*, double, double) { return false; }
    virtual bool onKey(GLFWwindow*, int, int, int, int) { return false; }
    virtual bool onChar(GLFWwindow*, unsigned) { return false; }
    virtual void onFocus(GLFWwindow*, int) {}
    // The close button; false keeps the window open.
    virtual bool onClose(GLFWwindow*) { return true; }

    PlayerMainWindow* window() const { return window_; }
    int commandId() const { return commandId_; }

protected:
    PlayerMainWindow* window_;
    int commandId_;
};
