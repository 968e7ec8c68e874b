#include "shell/GLFWAppWindow.h"

#include <GLFW/glfw3.h>
#include <cmath>

#include "core/LanguageStore.h"
#include "core/LogLine.h"
#include "core/SystemHelpers.h"
#include "shell/UiScale.h"
#include "X11EventQueue.h"

#include "gui/ChineseFonts.h"
#include "gui/GraphicsContextOpenGLGLFW.h"
#include "gui/PlayerGUI.h"
#include "gui/PopMenu.h"
#include "platform/Thread.h"

// ---- command handler ----

class GLFWAppWindowCommandHandler : public PlayerGUICommandHandler {
public:
    explicit GLFWAppWindowCommandHandler(GLFWAppWindow* window) : window_(window) {}
    void onCommand(int id) override { window_->Command(id); }
    void onCaptureStarted() override {}
    void onCaptureReleased() override {}

private:
    GLFWAppWindow* window_;
};

// ---- GLFW callbacks: trampolines into the window's virtual operations ----

struct GLFWAppWindowCallbacks {
    static GLFWAppWindow* self(GLFWwindow* w) { return static_cast<GLFWAppWindow*>(glfwGetWindowUserPointer(w)); }

    static void key(GLFWwindow* w, int key, int scancode, int action, int mods) {
        if (GLFWAppWindow* s = self(w)) s->onKey(w, key, scancode, action, mods);
    }
    static void cursorPos(GLFWwindow* w, double x, double y) {
        if (GLFWAppWindow* s = self(w)) s->onCursorPos(w, x, y);
    }
    static void mouseButton(GLFWwindow* w, int button, int action, int mods) {
        if (GLFWAppWindow* s = self(w)) s->onMouseButton(w, button, action, mods);
    }
    static void scroll(GLFWwindow* w, double dx, double dy) {
        if (GLFWAppWindow* s = self(w)) s->onScroll(w, dx, dy);
    }
    static void character(GLFWwindow* w, unsigned codePoint) {
        if (GLFWAppWindow* s = self(w)) s->onChar(w, codePoint);
    }
    static void refresh(GLFWwindow* w) {
        if (GLFWAppWindow* s = self(w)) s->onRefresh(w);
    }
    // GLFW has set the should-close flag before calling; a refusal clears it again. An
    // accepted close marks the window, which the main loop destroys after its wait.
    static void close(GLFWwindow* w) {
        GLFWAppWindow* s = self(w);
        if (!s) return;
        if (s->onClose(w) == 0) {
            glfwSetWindowShouldClose(w, GLFW_FALSE);
            return;
        }
        s->closeAccepted_.store(true);
        s->markClosing();
    }
    static void focus(GLFWwindow* w, int focused) {
        if (GLFWAppWindow* s = self(w)) s->onFocus(w, focused);
    }
    static void size(GLFWwindow* w, int width, int height) {
        GLFWAppWindow* s = self(w);
        if (!s) return;
        s->setWindowSize(width, height);
        s->onResize(w, width, height);
    }
    static void iconify(GLFWwindow* w, int iconified) {
        if (GLFWAppWindow* s = self(w)) s->onIconify(w, iconified);
    }
    static void error(int code, const char* text) { GLFWLogger::log(code, text ? text : ""); }
};

// ---- glfwHandlerWin32 ----

void glfwHandlerWin32::attach(GLFWwindow* window) { attachedWindow_ = window; }

int glfwHandlerWin32::onWin32Message(GLFWwindow*, const NativeWindowMessage&) { return -1; }

void glfwHandlerWin32::postNativeMessage(const NativeWindowMessage& message) {
    {
        std::lock_guard<std::mutex> lock(nativeMutex_);
        native_.push_back(message);
    }
    glfwPostEmptyEvent();
}

void glfwHandlerWin32::dispatchNativeMessages() {
    std::deque<NativeWindowMessage> batch;
    {
        std::lock_guard<std::mutex> lock(nativeMutex_);
        batch.swap(native_);
    }
    for (const NativeWindowMessage& m : batch) onWin32Message(attachedWindow_, m);
}

// ---- GLFWAppWindow ----

GLFWAppWindow::GLFWAppWindow() : commandHandler_(std::make_unique<GLFWAppWindowCommandHandler>(this)) {}

GLFWAppWindow::~GLFWAppWindow() {
    // A window is destroyed before it is deleted; this only guards against a render
    // thread left running by a window deleted without destroyWindow().
    joinRenderThread();
}

int GLFWAppWindow::guiMouseButton(int glfwButton) {
    switch (glfwButton) {
        case 0: return 0;
        case 1: return 2;
        case 2: return 1;
        case 3: return 3;
        case 4: return 4;
        default: return -1;
    }
}

void cursorToLogical(double x, double y, int windowWidth, int windowHeight, int logicalWidth, int logicalHeight,
                     int& outX, int& outY) {
    outX = windowWidth > 0 ? static_cast<int>(x / windowWidth * logicalWidth) : 0;
    outY = windowHeight > 0 ? static_cast<int>(y / windowHeight * logicalHeight) : 0;
}

bool GLFWAppWindow::onCursorPos(GLFWwindow*, double x, double y) {
    int lw = 0, lh = 0;
    getLogicalSize(lw, lh);
    int gx = 0, gy = 0;
    cursorToLogical(x, y, windowWidth_.load(), windowHeight_.load(), lw, lh, gx, gy);
    std::lock_guard<std::recursive_mutex> lock(guiLock_);
    if (gui_) return gui_->onMouseMove(gx, gy);
    return false;
}

bool GLFWAppWindow::onMouseButton(GLFWwindow*, int button, int action, int) {
    const int guiButton = guiMouseButton(button);
    if (guiButton < 0) return false;
    std::lock_guard<std::recursive_mutex> lock(guiLock_);
    if (gui_) return gui_->onMouseButton(guiButton, action == GLFW_PRESS);
    return false;
}

bool GLFWAppWindow::onScroll(GLFWwindow*, double, double) { return false; }

bool GLFWAppWindow::onKey(GLFWwindow* window, int key, int scancode, int action, int mods) {
    std::lock_guard<std::recursive_mutex> lock(guiLock_);
    if (escapeCloses_ && key == GLFW_KEY_ESCAPE && action == GLFW_PRESS) {
        glfwSetWindowShouldClose(window, GLFW_TRUE);
        markClosing();
        return true;
    }
    if (gui_) return gui_->onKey(key, scancode, action, mods);
    return false;
}

bool GLFWAppWindow::onChar(GLFWwindow*, unsigned codePoint) {
    std::lock_guard<std::recursive_mutex> lock(guiLock_);
    if (gui_) return gui_->onChar(codePoint);
    return false;
}

int GLFWAppWindow::onClose(GLFWwindow*) { return 1; }

void GLFWAppWindow::onRefresh(GLFWwindow*) { requestRedraw(); }

void GLFWAppWindow::onFocus(GLFWwindow*, int) {
    std::lock_guard<std::recursive_mutex> lock(guiLock_);
    if (gui_) gui_->setHovered(nullptr);
}

void GLFWAppWindow::onResize(GLFWwindow*, int, int) {}

void GLFWAppWindow::onIconify(GLFWwindow*, int) {}

bool GLFWAppWindow::create(int logicalWidth, int logicalHeight, const char* title, bool resizable, bool decorated) {
    glfwDefaultWindowHints();
    glfwWindowHint(GLFW_RESIZABLE, resizable ? GLFW_TRUE : GLFW_FALSE);
    glfwWindowHint(GLFW_DECORATED, decorated ? GLFW_TRUE : GLFW_FALSE);
    // Shown once it is centred, so it does not appear first in the corner.
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);

    const float scale = getUiScale();
    const int width = static_cast<int>(logicalWidth * scale);
    const int height = static_cast<int>(logicalHeight * scale);
    setPixelSize(width, height);

    GLFWwindow* window = glfwCreateWindow(width, height, title ? title : "", nullptr, nullptr);
    if (!window) return false;
    window_ = window;
    windowWidth_.store(width);
    windowHeight_.store(height);

    if (GLFWmonitor* monitor = glfwGetPrimaryMonitor()) {
        if (const GLFWvidmode* mode = glfwGetVideoMode(monitor)) {
            int mx = 0, my = 0;
            glfwGetMonitorPos(monitor, &mx, &my);
            glfwSetWindowPos(window, mx + (mode->width - width) / 2, my + (mode->height - height) / 2);
        }
    }
    glfwShowWindow(window);

    glfwMakeContextCurrent(window);
    auto context = std::make_unique<GraphicsContextOpenGLGLFW>(window);
    context->initialize();
    context->setUIScale(scale);
    context->setFontDPI(getUiDpi());
    context_ = std::move(context);
    createGUI();
    installCallbacks(window);
    GLFWApp::instance().addWindow(this);
    onCreate();
    glfwMakeContextCurrent(nullptr);

    closing_.store(false);
    closeAccepted_.store(false);
    stopRender_.store(false);
    renderRunning_.store(true);
    render_ = platform::startThread(&GLFWAppWindow::renderThread, this);
    return true;
}

void setPopupMenuLabels() {
    const LanguageStore& l = LanguageStore::instance();
    PopMenu::setLabels(l.text("text_undo"), l.text("text_cut"), l.text("text_copy"), l.text("text_paste"),
                       l.text("text_delete"), l.text("text_all"));
}

void GLFWAppWindow::createGUI() {
    gui_.reset();
    // Set again for every window, so a language chosen after start-up reaches its menus.
    setPopupMenuLabels();
    LanguageStore& language = LanguageStore::instance();
    gui_ = std::make_shared<PlayerGUI>(commandHandler_.get(), context_.get());
    std::string face = language.text(LanguageStore::kAltFaceKey);
    if (face == "default") face = getPreferredChineseFontName(context_.get());
    gui_->loadFontStyles(context_.get(), face);
}

void GLFWAppWindow::installCallbacks(GLFWwindow* window) {
    glfwSetWindowUserPointer(window, this);
    glfwSetKeyCallback(window, &GLFWAppWindowCallbacks::key);
    glfwSetCursorPosCallback(window, &GLFWAppWindowCallbacks::cursorPos);
    glfwSetMouseButtonCallback(window, &GLFWAppWindowCallbacks::mouseButton);
    glfwSetScrollCallback(window, &GLFWAppWindowCallbacks::scroll);
    glfwSetCharCallback(window, &GLFWAppWindowCallbacks::character);
    glfwSetWindowRefreshCallback(window, &GLFWAppWindowCallbacks::refresh);
    glfwSetWindowCloseCallback(window, &GLFWAppWindowCallbacks::close);
    glfwSetWindowFocusCallback(window, &GLFWAppWindowCallbacks::focus);
    glfwSetWindowSizeCallback(window, &GLFWAppWindowCallbacks::size);
    glfwSetWindowIconifyCallback(window, &GLFWAppWindowCallbacks::iconify);
    glfwSetErrorCallback(&GLFWAppWindowCallbacks::error);
    attach(window);
}

void GLFWAppWindow::close() {
    // Only the window's own flag: the main loop may be destroying the GLFW window while
    // another thread calls this.
    markClosing();
    glfwPostEmptyEvent();
}

void GLFWAppWindow::markClosing() {
    closing_.store(true);
    std::lock_guard<std::mutex> lock(redrawMutex_);
    redrawCondition_.notify_all();
}

void GLFWAppWindow::stopRender() {
    stopRender_.store(true);
    std::lock_guard<std::mutex> lock(redrawMutex_);
    redrawCondition_.notify_all();
}

void GLFWAppWindow::requestRedraw() {
    std::lock_guard<std::mutex> lock(redrawMutex_);
    redraw_ = true;
    redrawPending_.store(true);
    redrawCondition_.notify_all();
}

AbstractGraphicsContext* GLFWAppWindow::getGraphicsContext() const { return context_.get(); }

PlayerGUI* GLFWAppWindow::getGUI() const { return gui_.get(); }

void GLFWAppWindow::getLogicalSize(int& width, int& height) const {
    const float scale = getUiScale();
    width = static_cast<int>(pixelWidth_.load() / scale);
    height = static_cast<int>(pixelHeight_.load() / scale);
}

void GLFWAppWindow::setPixelSize(int width, int height) {
    pixelWidth_.store(width);
    pixelHeight_.store(height);
}

void GLFWAppWindow::setWindowSize(int width, int height) {
    windowWidth_.store(width);
    windowHeight_.store(height);
    if (auto* c = dynamic_cast<GraphicsContextOpenGLGLFW*>(context_.get())) c->setWindowSize(width, height);
}

std::string GLFWAppWindow::getClipboardText() const {
    if (!window_) return std::string();
    const char* text = glfwGetClipboardString(window_);
    return text ? std::string(text) : std::string();
}

void GLFWAppWindow::setClipboardText(const std::string& text) {
    if (window_) glfwSetClipboardString(window_, text.c_str());
}

// ---- drawing ----

bool GLFWAppWindow::guiTick(float seconds) {
    return gui_ ? gui_->tick(seconds) : false;
}

void GLFWAppWindow::guiRender() {
    if (gui_) gui_->render(context_.get());
}

bool GLFWAppWindow::beginFrame() {
    return context_ ? context_->beginFrame() : false;
}

bool GLFWAppWindow::endFrame() {
    return context_ ? context_->endFrame() : false;
}

bool GLFWAppWindow::present() {
    return context_ ? context_->present() : false;
}

namespace {

// The render thread's OpenGL calls share GLFW's X connection and may read window events
// into Xlib's queue while the main thread waits on the connection's socket; the main
// thread would then sleep on events that already arrived. Wake it when that happened.
void wakeMainLoopForQueuedEvents() {
    if (x11EventsQueued()) glfwPostEmptyEvent();
}

}  // namespace

void GLFWAppWindow::renderThread() {
    SetThreadName("Render");
    glfwMakeContextCurrent(window_);
    {
        std::lock_guard<std::recursive_mutex> lock(guiLock_);
        guiTick(static_cast<float>(glfwGetTime()));
        onRenderStart();
    }
    while (!closing_.load() && !stopRender_.load()) {
        {
            std::lock_guard<std::recursive_mutex> lock(guiLock_);
            runMessages();
        }
        bool changed = redrawPending_.load();
        {
            std::lock_guard<std::recursive_mutex> lock(guiLock_);
            onFrame();
            changed = guiTick(static_cast<float>(glfwGetTime())) || changed;
        }
        {
            std::unique_lock<std::mutex> lock(redrawMutex_);
            if (!changed) {
                // One wait of at most 10 ms; a redraw request or a close ends it early.
                redrawCondition_.wait_for(lock, std::chrono::milliseconds(10),
                                          [&] { return redraw_ || closing_.load() || stopRender_.load(); });
                changed = redraw_;
            }
            redraw_ = false;
            redrawPending_.store(false);
        }
        if (closing_.load() || stopRender_.load()) break;
        if (changed) {
            beginFrame();
            {
                std::lock_guard<std::recursive_mutex> lock(guiLock_);
                guiRender();
            }
            onAfterDraw();
            {
                std::lock_guard<std::recursive_mutex> lock(guiLock_);
                endFrame();
            }
            present();
            wakeMainLoopForQueuedEvents();
            framesDrawn_.fetch_add(1);
        }
    }
    {
        std::lock_guard<std::recursive_mutex> lock(guiLock_);
        onRenderStop();
    }
    glfwMakeContextCurrent(nullptr);
    renderRunning_.store(false);
    if (stopRender_.load()) {
        // A window stopped this way closes; the main loop wakes to destroy it.
        closing_.store(true);
        glfwSetWindowShouldClose(window_, GLFW_TRUE);
        glfwPostEmptyEvent();
    }
}

void GLFWAppWindow::joinRenderThread() {
    if (render_.joinable()) {
        markClosing();
        render_.join();
    }
}

void GLFWAppWindow::releaseWindow(bool callOnDestroy) {
    joinRenderThread();
    if (!window_) return;
    glfwMakeContextCurrent(window_);
    if (callOnDestroy) onDestroy();
    {
        std::lock_guard<std::recursive_mutex> lock(guiLock_);
        gui_.reset();
    }
    // The graphics context frees its textures and buffers while its OpenGL context exists.
    context_.reset();
    GLFWApp::instance().removeWindow(this);
    glfwSetWindowUserPointer(window_, nullptr);
    glfwMakeContextCurrent(nullptr);
    glfwDestroyWindow(window_);
    window_ = nullptr;
}

// ---- GLFWLogger ----

bool GLFWLogger::log(int code, const std::string& text) {
    static const char* const kIgnored[] = {
        "Win32: Failed to convert clipboard to string",
        "Win32: Failed to open clipboard",
        "X11: Failed to convert selection to string",
    };
    for (const char* ignored : kIgnored) {
        if (text.find(ignored) != std::string::npos) return false;
    }
    LogLine(50, "GLFWLogger::log", 24).stream() << "E GLFW[" << code << "] : " << text;
    return true;
}
