#pragma once
// The window class family of every mode.
//
// A GLFWAppWindow owns one GLFW window with its OpenGL context, the window's graphics
// context and GUI, a recursive GUI lock and a render thread named "Render" that owns the
// OpenGL context and draws. GLFW input callbacks arrive on the main thread and become
// virtual calls; the defaults forward them to the GUI under the GUI lock.
//
// Closing: a close request (close button, WM_DELETE_WINDOW) first asks onClose(); 0 keeps
// the window open. An accepted close, close(), Escape (when escape closes the window) and
// stopRender() set the window's close flag; the render thread leaves its loop, and the
// main loop destroys the window after its wait for events, never inside a GLFW callback.
// For the main window only an accepted close request runs onDestroy, before onRunEnd; on
// the other paths onRunEnd runs first, with the window and its GUI still there, and the
// window is then destroyed without onDestroy.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "shell/GLFWMessageThread.h"

struct GLFWwindow;
class AbstractGraphicsContext;
class PlayerGUI;
class GLFWAppWindow;

// A message of the windowing system addressed to one window, delivered on the main thread
// after the main loop's wait for events.
struct NativeWindowMessage {
    unsigned message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

// Receiver of GLFW window events. Results of type bool mean "handled".
class glfwHandlerBase {
public:
    virtual ~glfwHandlerBase() = default;
    virtual void attach(GLFWwindow* window) = 0;
    virtual bool onCursorPos(GLFWwindow* window, double x, double y) = 0;
    virtual bool onMouseButton(GLFWwindow* window, int button, int action, int mods) = 0;
    virtual bool onScroll(GLFWwindow* window, double dx, double dy) = 0;
    virtual bool onKey(GLFWwindow* window, int key, int scancode, int action, int mods) = 0;
    virtual bool onChar(GLFWwindow* window, unsigned codePoint) = 0;
    // Non-zero lets the close proceed.
    virtual int onClose(GLFWwindow* window) = 0;
    virtual void onRefresh(GLFWwindow* window) = 0;
    virtual void onFocus(GLFWwindow* window, int focused) = 0;
    virtual void onResize(GLFWwindow* window, int width, int height) = 0;
    virtual void onIconify(GLFWwindow* window, int iconified) = 0;
};

// Adds the window's native message queue: messages posted from any thread are handed to
// onWin32Message on the main thread.
class glfwHandlerWin32 : public glfwHandlerBase {
public:
    void attach(GLFWwindow* window) override;
    // -1 passes the message on; 0 means handled.
    virtual int onWin32Message(GLFWwindow* window, const NativeWindowMessage& message);

    // Any thread: queues a message for the window and wakes the main loop.
    void postNativeMessage(const NativeWindowMessage& message);
    // Main thread: hands the queued messages to onWin32Message in posting order.
    void dispatchNativeMessages();

protected:
    GLFWwindow* attachedWindow_ = nullptr;

private:
    std::mutex nativeMutex_;
    std::deque<NativeWindowMessage> native_;
};

// Turns clicks of the window's GUI into window commands on the calling thread.
class GLFWAppWindowCommandHandler;

class GLFWAppWindow : public glfwHandlerWin32, public GLFWMessageThread {
public:
    GLFWAppWindow();
    ~GLFWAppWindow() override;

    GLFWAppWindow(const GLFWAppWindow&) = delete;
    GLFWAppWindow& operator=(const GLFWAppWindow&) = delete;

    // ---- GLFW events (main thread) ----
    bool onCursorPos(GLFWwindow* window, double x, double y) override;
    bool onMouseButton(GLFWwindow* window, int button, int action, int mods) override;
    bool onScroll(GLFWwindow* window, double dx, double dy) override;
    bool onKey(GLFWwindow* window, int key, int scancode, int action, int mods) override;
    bool onChar(GLFWwindow* window, unsigned codePoint) override;
    int onClose(GLFWwindow* window) override;
    void onRefresh(GLFWwindow* window) override;
    void onFocus(GLFWwindow* window, int focused) override;
    void onResize(GLFWwindow* window, int width, int height) override;
    void onIconify(GLFWwindow* window, int iconified) override;

    // ---- hooks ----
    // A window command; runs on the main thread.
    virtual void Command(int id) = 0;
    // Render thread, under the GUI lock, before the GUI tick of every pass.
    virtual void onFrame() {}
    // Main thread, with the context current, at the end of create().
    virtual void onCreate() {}
    // Main thread, with the context current, when the window is destroyed.
    virtual void onDestroy() {}
    // Render thread, under the GUI lock, when it starts and stops.
    virtual void onRenderStart() {}
    virtual void onRenderStop() {}
    // Render thread, without the GUI lock, between the GUI's batching and its drawing.
    virtual void onAfterDraw() {}
    // Main thread, when the main loop starts and ends with this window as main window.
    virtual void onRunStart() {}
    virtual void onRunEnd() {}

    // Main thread. Creates the GLFW window at the logical size times the UI scale, centred
    // on the primary monitor, its graphics context and GUI, and starts the render thread.
    // False when the GLFW window could not be made (nothing else was made then).
    bool create(int logicalWidth, int logicalHeight, const char* title, bool resizable, bool decorated);

    // Any thread: asks the window to close (no close handler runs).
    void close();
    // Any thread: the next pass of the render thread draws a frame.
    void requestRedraw();

    AbstractGraphicsContext* getGraphicsContext() const;
    PlayerGUI* getGUI() const;
    GLFWwindow* getWindow() const { return window_; }

    // The window's pixel size divided by the UI scale, truncated.
    void getLogicalSize(int& width, int& height) const;
    int pixelWidth() const { return pixelWidth_.load(); }
    int pixelHeight() const { return pixelHeight_.load(); }

    // Main thread. The clipboard as UTF-8 (empty when it holds no text).
    std::string getClipboardText() const;
    void setClipboardText(const std::string& text);

    // Serialises the GUI between the render thread and the main thread. Code outside the
    // render thread and the input callbacks that touches the GUI takes it.
    std::recursive_mutex& guiLock() const { return guiLock_; }

    // Whether the window is closing (close accepted, close(), Escape or render stopped).
    bool isClosing() const { return closing_.load(); }
    // Whether the GLFW window exists.
    bool isCreated() const { return window_ != nullptr; }
    bool isRenderThreadRunning() const { return renderRunning_.load(); }

    // Main thread: joins the render thread, calls onDestroy, drops the GUI and destroys
    // the GLFW window and the graphics context. Does nothing when nothing was created.
    void destroyWindow() { releaseWindow(true); }

    // The number of frames drawn so far (for diagnostics and tests).
    std::uint64_t framesDrawn() const { return framesDrawn_.load(); }

protected:
    // Ends the render thread; the window then closes like after close().
    void stopRender();
    // Whether Escape closes the window (set by default).
    void setEscapeCloses(bool closes) { escapeCloses_ = closes; }
    bool escapeCloses() const { return escapeCloses_; }
    void setPixelSize(int width, int height);

    // Maps a GLFW mouse button to the GUI's numbering (0 left, 1 middle, 2 right); -1 for
    // buttons the GUI does not know.
    static int guiMouseButton(int glfwButton);

private:
    friend class GLFWApp;
    friend class GLFWAppWindowCommandHandler;
    friend struct GLFWAppWindowCallbacks;

    void createGUI();
    void installCallbacks(GLFWwindow* window);
    void renderThread();
    void markClosing();
    void joinRenderThread();
    // destroyWindow(), with or without the onDestroy hook.
    void releaseWindow(bool callOnDestroy);
    void setWindowSize(int width, int height);

    // Drawing and GUI calls, with or without the widget toolkit.
    bool guiTick(float seconds);
    void guiRender();
    bool beginFrame();
    bool endFrame();
    bool present();

    std::unique_ptr<AbstractGraphicsContext> context_;
    std::unique_ptr<GLFWAppWindowCommandHandler> commandHandler_;
    std::shared_ptr<PlayerGUI> gui_;
    mutable std::recursive_mutex guiLock_;
    std::thread render_;
    std::mutex redrawMutex_;
    std::condition_variable redrawCondition_;
    bool redraw_ = true;
    std::atomic<bool> redrawPending_{true};
    GLFWwindow* window_ = nullptr;
    std::atomic<int> pixelWidth_{0};
    std::atomic<int> pixelHeight_{0};
    // The window's current size as GLFW reports it (cursor coordinates are relative to it).
    std::atomic<int> windowWidth_{0};
    std::atomic<int> windowHeight_{0};
    std::atomic<bool> stopRender_{false};
    std::atomic<bool> closing_{false};
    // Set when a close request went through onClose (not by Escape, close() or stopRender()).
    std::atomic<bool> closeAccepted_{false};
    std::atomic<bool> renderRunning_{false};
    bool escapeCloses_ = true;
    std::atomic<std::uint64_t> framesDrawn_{0};
};

// A window used as a mode's main window.
class GLFWAppMainWindow : public GLFWAppWindow {};

// Logs GLFW errors once windows exist.
class GLFWLogger {
public:
    // A level-50 line "E GLFW[<code>] : <text>", unless text holds one of the harmless
    // clipboard texts. Returns whether a line was written.
    static bool log(int code, const std::string& text);
};

// Sets the labels of the text-edit popup menu from the language store ("text_undo",
// "text_cut", "text_copy", "text_paste", "text_delete", "text_all").
void setPopupMenuLabels();

// Converts a cursor position in window coordinates into the GUI's logical coordinates.
void cursorToLogical(double x, double y, int windowWidth, int windowHeight, int logicalWidth, int logicalHeight,
                     int& outX, int& outY);
