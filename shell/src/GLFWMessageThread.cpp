#include "shell/GLFWMessageThread.h"

#include <GLFW/glfw3.h>
#include <algorithm>

#include "shell/GLFWAppWindow.h"
#include "core/UserLocale.h"
#include "platform/Thread.h"

GLFWMessageThread::GLFWMessageThread() = default;

GLFWMessageThread::~GLFWMessageThread() {
    stopTimer();
    for (GLFWThreadMessage* m : oneShot_) delete m;
    for (PeriodicEntry& e : periodic_) delete e.message;
}

void GLFWMessageThread::wakeMainLoop() { glfwPostEmptyEvent(); }

void GLFWMessageThread::post(GLFWThreadMessage* message) {
    if (!message) return;
    std::lock_guard<std::mutex> lock(oneShotMutex_);
    oneShot_.push_back(message);
    wakeMainLoop();
}

void GLFWMessageThread::postPereodic(GLFWThreadPereodicMessage* message, int periodMs) {
    if (!message) return;
    if (periodMs <= 0) periodMs = 1;
    std::lock_guard<std::recursive_mutex> periodicLock(periodicMutex_);
    std::lock_guard<std::mutex> oneShotLock(oneShotMutex_);
    periodic_.push_back({message, periodMs, Clock::now()});
    const int smallest = smallestPeriod_.load();
    if (smallest == 0 || smallest > periodMs) smallestPeriod_.store(periodMs);
    {
        std::lock_guard<std::mutex> timerLock(timerMutex_);
        if (stopped_) {
            if (timer_.joinable()) timer_.join();
            stopped_ = false;
            timer_ = platform::startThread(&GLFWMessageThread::timerThread, this);
        }
    }
    timerWake_.notify_all();  // a shorter period takes effect at once
    wakeMainLoop();
}

void GLFWMessageThread::runMessages() {
    std::list<GLFWThreadMessage*> batch;
    {
        std::lock_guard<std::mutex> lock(oneShotMutex_);
        batch.swap(oneShot_);
    }
    for (GLFWThreadMessage* m : batch) {
        m->run();
        delete m;
    }
}

void GLFWMessageThread::runPereodicMessages() {
    std::lock_guard<std::recursive_mutex> lock(periodicMutex_);
    const Clock::time_point now = Clock::now();
    // Bodies may post further periodic messages; they join the list's end and wait for the
    // next pass because their due time is not earlier than now.
    for (auto it = periodic_.begin(); it != periodic_.end(); ++it) {
        if (it->due < now) {
            if (!it->message->cancelled.load()) it->message->run();
            it->due = now + std::chrono::milliseconds(it->period);
        }
    }
    removeCancelledMessages();
}

void GLFWMessageThread::removeCancelledMessages() {
    std::lock_guard<std::recursive_mutex> lock(periodicMutex_);
    for (auto it = periodic_.begin(); it != periodic_.end();) {
        if (it->message->cancelled.load()) {
            delete it->message;
            it = periodic_.erase(it);
        } else {
            ++it;
        }
    }
}

void GLFWMessageThread::stopTimer() {
    std::thread timer;
    {
        std::lock_guard<std::mutex> lock(timerMutex_);
        stopped_ = true;
        timer.swap(timer_);
    }
    timerWake_.notify_all();
    if (timer.joinable()) timer.join();
}

std::size_t GLFWMessageThread::pendingMessages() const {
    std::lock_guard<std::mutex> lock(oneShotMutex_);
    return oneShot_.size();
}

std::size_t GLFWMessageThread::periodicMessages() const {
    std::lock_guard<std::recursive_mutex> lock(periodicMutex_);
    return periodic_.size();
}

void GLFWMessageThread::timerThread() {
    std::unique_lock<std::mutex> lock(timerMutex_);
    while (!stopped_) {
        const int period = std::max(1, smallestPeriod_.load());
        const int before = period;
        timerWake_.wait_for(lock, std::chrono::milliseconds(period),
                            [&] { return stopped_ || smallestPeriod_.load() < before; });
        if (stopped_) break;
        wakeMainLoop();
    }
}

void PostCommandMessage::run() {
    // A command that outlived its window (posted by a worker while the window was being
    // destroyed) has nobody to run it.
    if (window_ && GLFWApp::instance().hasWindow(window_)) window_->Command(id_);
}

void postCommand(GLFWAppWindow* window, int id) { GLFWApp::instance().post(new PostCommandMessage(id, window)); }

// ---- GLFWApp ----

GLFWApp& GLFWApp::instance() {
    static GLFWApp app;
    return app;
}

GLFWApp::GLFWApp() {
    // Path conversions use the user's locale; a locale the system lacks falls back.
    loadUserLocale();
    setPopupMenuLabels();
}

void GLFWApp::quit() {
    quit_.store(true);
    wakeMainLoop();
}

class CloseMainWindowMessage : public GLFWThreadMessage {
public:
    void run() override { GLFWApp::instance().closeMainWindow(); }
};

void GLFWApp::requestClose() { post(new CloseMainWindowMessage); }

void GLFWApp::closeMainWindow() {
    GLFWAppWindow* window = mainWindow_;
    if (!window || window->isClosing()) return;
    // The window does what its close button makes it do (the launcher keeps what its
    // sign-in boxes hold); its answer is not asked, the program has to end.
    if (GLFWwindow* native = window->getWindow()) {
        window->onClose(native);
        glfwSetWindowShouldClose(native, GLFW_TRUE);
    }
    window->closeAccepted_.store(true);
    window->markClosing();
    wakeMainLoop();
}

void GLFWApp::addWindow(GLFWAppWindow* window) {
    if (std::find(windows_.begin(), windows_.end(), window) == windows_.end()) windows_.push_back(window);
}

bool GLFWApp::hasWindow(const GLFWAppWindow* window) const {
    return std::find(windows_.begin(), windows_.end(), window) != windows_.end();
}

void GLFWApp::removeWindow(GLFWAppWindow* window) {
    windows_.erase(std::remove(windows_.begin(), windows_.end(), window), windows_.end());
}

void GLFWApp::destroyClosedWindows() {
    // Copy: destroying a window removes it from the list.
    const std::vector<GLFWAppWindow*> windows = windows_;
    for (GLFWAppWindow* w : windows) {
        const bool closing = w->isClosing() || (w->getWindow() && glfwWindowShouldClose(w->getWindow()));
        if (!closing) continue;
        w->markClosing();
        if (w == mainWindow_) {
            // Only an accepted close request destroys the main window before the loop
            // ends; Escape, close() and a stopped render thread leave it to the end of run().
            if (w->closeAccepted_.load()) w->destroyWindow();
            quit_.store(true);
        } else {
            w->destroyWindow();
            delete w;
        }
    }
}

void GLFWApp::run(GLFWAppWindow* window) {
    quit_.store(false);
    mainWindow_ = window;
    window->onRunStart();
    while (!quit_.load()) {
        if (window->isClosing() || (window->getWindow() && glfwWindowShouldClose(window->getWindow()))) break;
        runMessages();
        runPereodicMessages();
        glfwWaitEvents();
        for (GLFWAppWindow* w : std::vector<GLFWAppWindow*>(windows_)) w->dispatchNativeMessages();
        destroyClosedWindows();
    }
    // onRunEnd sees the main window as the loop left it: still there with its GUI unless a
    // close request destroyed it, its render thread ended. Then every window still open
    // goes: secondary windows as on a close, the main window without onDestroy, which
    // belongs to an accepted close request only.
    window->markClosing();
    window->joinRenderThread();
    window->onRunEnd();
    for (GLFWAppWindow* w : std::vector<GLFWAppWindow*>(windows_)) {
        if (w == window) continue;
        w->markClosing();
        w->destroyWindow();
        delete w;
    }
    window->releaseWindow(false);
    mainWindow_ = nullptr;
}
