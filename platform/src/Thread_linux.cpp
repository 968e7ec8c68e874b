#include "platform/Thread.h"

#include <atomic>

namespace platform {

namespace {
std::atomic<void (*)()> g_started{nullptr};
std::atomic<void (*)()> g_ending{nullptr};
}  // namespace

void setThreadHooks(ThreadHooks hooks) {
    g_started.store(hooks.started);
    g_ending.store(hooks.ending);
}

ThreadHooks threadHooks() {
    ThreadHooks hooks;
    hooks.started = g_started.load();
    hooks.ending = g_ending.load();
    return hooks;
}

ThreadScope::ThreadScope() {
    // The end hook is the one that matches the start hook this thread ran.
    if (void (*started)() = g_started.load()) {
        started();
        ending_ = g_ending.load();
    }
}

ThreadScope::~ThreadScope() {
    if (ending_) ending_();
}

}  // namespace platform
