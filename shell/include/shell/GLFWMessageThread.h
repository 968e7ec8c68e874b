#pragma once
// The main loop's message machinery.
//
// A GLFWMessageThread holds a queue of one-shot messages and a list of periodic messages.
// Any thread posts; the owner's thread runs them (the main thread for GLFWApp, a window's
// render thread for the window's own queue). Posting wakes a main thread blocked in
// glfwWaitEvents; a timer thread wakes it at the smallest period of the periodic messages.
//
// GLFWApp is the process's main loop: it runs queued and periodic messages, waits for GLFW
// events, and destroys windows whose close went through, always outside GLFW callbacks.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <list>
#include <mutex>
#include <thread>
#include <vector>

class GLFWAppWindow;

// A unit of work run once on the thread that drains the queue it was posted to.
class GLFWThreadMessage {
public:
    virtual ~GLFWThreadMessage() = default;
    virtual void run() = 0;
};

// A message run again and again at its period until its cancelled flag is set; the queue
// then deletes it. The flag may be set from any thread, also from inside run().
class GLFWThreadPereodicMessage : public GLFWThreadMessage {
public:
    std::atomic<bool> cancelled{false};
};

class GLFWMessageThread {
public:
    using Clock = std::chrono::steady_clock;

    GLFWMessageThread();
    // Stops and joins the timer thread; messages still queued are deleted without running.
    ~GLFWMessageThread();

    GLFWMessageThread(const GLFWMessageThread&) = delete;
    GLFWMessageThread& operator=(const GLFWMessageThread&) = delete;

    // Any thread. Takes ownership of message and wakes the main loop.
    void post(GLFWThreadMessage* message);
    // Any thread. Takes ownership; the message runs on the first pass after now, then about
    // every periodMs milliseconds (0 or less counts as 1).
    void postPereodic(GLFWThreadPereodicMessage* message, int periodMs);

    // Runs the one-shot messages queued so far, in posting order, each then deleted.
    // Messages they post wait for the next call.
    void runMessages();
    // Runs every periodic message whose due time has passed, then deletes cancelled ones.
    void runPereodicMessages();
    // Deletes every periodic message whose cancelled flag is set.
    void removeCancelledMessages();

    // Stops and joins the timer thread (it starts again with the next periodic message).
    void stopTimer();

    // The smallest period posted so far in ms (0 before the first periodic message).
    int smallestPeriod() const { return smallestPeriod_.load(); }
    std::size_t pendingMessages() const;
    std::size_t periodicMessages() const;

protected:
    // Wakes the main thread out of glfwWaitEvents.
    static void wakeMainLoop();

private:
    struct PeriodicEntry {
        GLFWThreadPereodicMessage* message;
        int period;
        Clock::time_point due;
    };

    void timerThread();

    mutable std::mutex oneShotMutex_;
    std::list<GLFWThreadMessage*> oneShot_;
    mutable std::recursive_mutex periodicMutex_;
    std::list<PeriodicEntry> periodic_;
    std::thread timer_;
    std::mutex timerMutex_;
    std::condition_variable timerWake_;
    bool stopped_ = true;
    std::atomic<int> smallestPeriod_{0};
};

// Runs a window command on the main thread.
class PostCommandMessage : public GLFWThreadMessage {
public:
    PostCommandMessage(int id, GLFWAppWindow* window) : id_(id), window_(window) {}
    void run() override;

private:
    int id_;
    GLFWAppWindow* window_;
};

// Any thread: window->Command(id) runs on the main thread after it wakes, unless the window
// has been destroyed by then.
void postCommand(GLFWAppWindow* window, int id);

class GLFWApp : public GLFWMessageThread {
public:
    // The process's main loop, made on first use.
    static GLFWApp& instance();

    // Main thread: runs the loop with window as the main window until the window has
    // closed or quit() was called. Then it ends the main window's render thread, calls
    // window->onRunEnd() (the window and its GUI still exist unless a close request
    // destroyed them) and destroys every window still open: secondary windows as on a
    // close (onDestroy, then deleted), the main window without onDestroy.
    void run(GLFWAppWindow* window);

    // Any thread: ends the loop after the current pass.
    void quit();
    // Any thread: closes the main window the way its close button does, except that the
    // window cannot refuse: the system asks the program to end (a logout, `kill`, Ctrl+C).
    // Posted, so it runs on the main thread once the loop runs.
    void requestClose();
    bool quitRequested() const { return quit_.load(); }

    GLFWAppWindow* mainWindow() const { return mainWindow_; }

    // Main thread: the windows that exist (created and not yet destroyed).
    void addWindow(GLFWAppWindow* window);
    void removeWindow(GLFWAppWindow* window);
    std::vector<GLFWAppWindow*> windows() const { return windows_; }
    bool hasWindow(const GLFWAppWindow* window) const;

    // Main thread: destroys windows whose close went through: the main window ends the
    // loop, a secondary window is deleted. Called by run() after every wait for events.
    void destroyClosedWindows();

private:
    GLFWApp();
    ~GLFWApp() = default;

    // Main thread: the close of requestClose().
    void closeMainWindow();
    friend class CloseMainWindowMessage;

    std::atomic<bool> quit_{false};
    GLFWAppWindow* mainWindow_ = nullptr;
    std::vector<GLFWAppWindow*> windows_;
};
