#pragma once
// The OpenGL context of one GLFW window: extension loading, window sizes, cursor shapes,
// clipboard and buffer swap. Made on the main thread with the window's context current and
// used by the window's render thread.
//
// GLFW's size queries belong to the main thread, so the window size is cached: it is read
// at construction and updated by the window's size callback through setWindowSize().

#include "gui/GraphicsContextOpenGL.h"

#include <atomic>

struct GLFWwindow;
struct GLFWcursor;

class GraphicsContextOpenGLGLFW : public GraphicsContextOpenGL {
public:
    explicit GraphicsContextOpenGLGLFW(GLFWwindow* window);
    ~GraphicsContextOpenGLGLFW() override;

    bool endFrame() override;
    bool present() override;
    void getFramebufferSize(int* width, int* height) override;
    void getWindowSize(int* width, int* height) override;
    void setCursorShape(int shape) override;
    const char* getClipboardText() override;
    void setClipboardText(const char* text) override;
    bool initExtensions() override;
    bool releaseContext() override { return true; }

    void setFinishBeforeSwap(bool finish) { finishBeforeSwap_ = finish; }
    // Main thread: the window's new client-area size in pixels.
    void setWindowSize(int width, int height);
    GLFWwindow* window() const { return window_; }

private:
    GLFWwindow* window_;
    GLFWcursor* cursors_[3] = {nullptr, nullptr, nullptr};
    bool finishBeforeSwap_ = false;
    std::atomic<int> width_{0};
    std::atomic<int> height_{0};
};
