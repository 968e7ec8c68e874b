#pragma once
// Helpers for tests of the main loop and windows: GLFW set up once per test program,
// messages made from lambdas, and a script thread that drives a running main loop.

#include <gtest/gtest.h>

#include <GLFW/glfw3.h>
#include <functional>
#include <future>
#include <thread>

#include "shell/GLFWAppWindow.h"
#include "shell/GLFWMessageThread.h"
#include "shell/UiScale.h"
#include "X11TestSupport.h"

namespace shelltest {

class FnMessage : public GLFWThreadMessage {
public:
    explicit FnMessage(std::function<void()> fn) : fn_(std::move(fn)) {}
    void run() override { fn_(); }

private:
    std::function<void()> fn_;
};

// Any thread: runs fn on the main thread at the loop's next pass.
inline void postFn(std::function<void()> fn) { GLFWApp::instance().post(new FnMessage(std::move(fn))); }

// From a script thread: runs fn on the main thread and returns its result.
template <typename T>
T onMain(std::function<T()> fn) {
    auto task = std::make_shared<std::packaged_task<T()>>(std::move(fn));
    std::future<T> result = task->get_future();
    postFn([task] { (*task)(); });
    return result.get();
}

// Runs the main loop with window while script runs on another thread. The window is
// closed when the script returns, so a failed script cannot leave the loop running.
inline void runWithScript(GLFWAppWindow* window, const std::function<void()>& script) {
    std::thread t([&] {
        script();
        window->close();
    });
    GLFWApp::instance().run(window);
    t.join();
}

// Sets the UI scale for a scope.
class ScopedUiScale {
public:
    explicit ScopedUiScale(float scale) : old_(getUiScale()) { setUiScale(scale); }
    ~ScopedUiScale() { setUiScale(old_); }

private:
    float old_;
};

// Initialises GLFW for the whole test program.
class GlfwEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_EQ(glfwInit(), GLFW_TRUE) << "GLFW needs an X display"; }
    void TearDown() override {
        GLFWApp::instance().stopTimer();
        glfwTerminate();
    }
};

}  // namespace shelltest
