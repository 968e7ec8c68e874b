// Render plug-ins for the tests, built from this file in three forms:
//   counting: both entry points; an implementation that counts what it is handed, turns
//             every unit into one picture and draws nothing;
//   failing:  initModule answers false;
//   noinit:   initModule is not exported.
// Every form exports "testRenderPluginState" with its own record.

#include <condition_variable>
#include <chrono>
#include <mutex>
#include <thread>

#include "TestRenderPlugin.h"
#include "stream/session/IRenderImplementation.h"

namespace {

TestRenderPluginState& state() {
    static TestRenderPluginState s;
    return s;
}

long long steadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

class CountingRenderImplementation : public IRenderImplementation {
public:
    explicit CountingRenderImplementation(int flags) : flags_(flags & 63) { ++state().liveImplementations; }
    ~CountingRenderImplementation() override {
        if (state().decodesRunning > 0)
            ++state().deletedWhileDecoding;
        --state().liveImplementations;
    }

    int getFlags() override { return kRenderWholeFrames; }
    bool isSynchronous() override { return false; }
    bool needsKeyFrame() override { return false; }
    void setParameterSets(const std::uint8_t*, int, const std::uint8_t*, int) override {}
    void detach(int) override {}
    void onPacketsLost(int) override {}
    void decodeFrame(const std::uint8_t*, int size, int flags) override {
        ++state().decodesRunning;
        if (released_)
            ++state().decodesAfterRelease;
        ++state().decodeCalls;
        state().decodedBytes += size;
        state().lastFrameFlags = flags;
        if (flags == 48)
            ++state().parameterSetFrames;
        if (const int delay = state().decodeDelayUs[flags_])
            std::this_thread::sleep_for(std::chrono::microseconds(delay));
        {
            std::lock_guard<std::mutex> lock(lock_);
            ++pending_;
            ready_.notify_one();
        }
        state().lastDecodeEndNs = steadyNs();
        --state().decodesRunning;
    }
    bool initialize() override {
        state().initializedAtNs = steadyNs();
        return !state().failInitialize;
    }
    void release() override {
        if (state().decodesRunning > 0)
            ++state().releasedWhileDecoding;
        released_ = true;
        ++state().releaseCalls;
    }
    int collect(double waitMs) override {
        std::unique_lock<std::mutex> lock(lock_);
        ready_.wait_for(lock, std::chrono::duration<double, std::milli>(waitMs), [this] { return pending_ > 0; });
        const int n = pending_;
        pending_ = 0;
        return n;
    }
    void renderPicture(double, int, int) override { ++state().renderCalls; }

private:
    const int flags_;
    std::atomic<bool> released_{false};
    std::mutex lock_;
    std::condition_variable ready_;
    int pending_ = 0;
};

}  // namespace

extern "C" TestRenderPluginState* testRenderPluginState() {
    return &state();
}

extern "C" IRenderImplementation* createRenderImplementation(std::int32_t flags) {
    ++state().createCalls;
    state().lastCreateFlags = flags;
    if (state().refuseCreate || (state().acceptedFlags != -1 && !(flags & state().acceptedFlags)))
        return nullptr;
    return new CountingRenderImplementation(flags);
}

#ifndef TEST_PLUGIN_NO_INIT
extern "C" bool initModule() {
    ++state().initModuleCalls;
#ifdef TEST_PLUGIN_INIT_FAILS
    return false;
#else
    return true;
#endif
}
#endif
