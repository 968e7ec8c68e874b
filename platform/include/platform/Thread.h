#pragma once
// Threads the program starts.
//
// Every thread of the program is started with startThread, which runs the process-wide
// thread hooks around its body: the start hook first, on the new thread, and the end hook
// last. The crash reporter sets them to give each thread an alternate signal stack, without
// which a stack overflow kills the process before any handler can run. Without hooks set,
// startThread is std::thread.

#include <functional>
#include <thread>
#include <utility>

namespace platform {

struct ThreadHooks {
    void (*started)() = nullptr;  // on the new thread, before its body
    void (*ending)() = nullptr;   // on the thread, after its body returned or threw
};

// Sets the hooks for threads that start from now on (threads already running keep what
// they ran at their start).
void setThreadHooks(ThreadHooks hooks);
ThreadHooks threadHooks();

// Runs the start hook at construction and the end hook at destruction, on the calling
// thread. startThread wraps every body in one.
class ThreadScope {
public:
    ThreadScope();
    ~ThreadScope();
    ThreadScope(const ThreadScope&) = delete;
    ThreadScope& operator=(const ThreadScope&) = delete;

private:
    void (*ending_)() = nullptr;
};

namespace detail {
template <typename F, typename... Args>
void runThreadBody(F body, Args... args) {
    ThreadScope scope;
    std::invoke(std::move(body), std::move(args)...);
}
}  // namespace detail

// std::thread(f, args...) whose body runs inside a ThreadScope.
template <typename F, typename... Args>
std::thread startThread(F&& f, Args&&... args) {
    return std::thread(&detail::runThreadBody<std::decay_t<F>, std::decay_t<Args>...>, std::forward<F>(f),
                       std::forward<Args>(args)...);
}

}  // namespace platform
