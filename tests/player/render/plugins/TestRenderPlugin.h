#pragma once
// What the test render plug-ins record, read by the tests through the plug-in's
// "testRenderPluginState" export. Each plug-in file has its own record.

#include <dlfcn.h>

#include <atomic>
#include <cstdint>
#include <string>

struct TestRenderPluginState {
    std::atomic<int> initModuleCalls{0};
    std::atomic<int> createCalls{0};
    std::atomic<int> lastCreateFlags{-1};
    std::atomic<bool> refuseCreate{false};  // the factory answers null
    std::atomic<int> liveImplementations{0};
    std::atomic<int> decodeCalls{0};
    std::atomic<long long> decodedBytes{0};
    std::atomic<int> lastFrameFlags{-1};
    std::atomic<int> renderCalls{0};
    std::atomic<int> releaseCalls{0};
    // For the benchmark: which families get an implementation (DecoderFlags; a request
    // sharing no bit with it gets null), initialize answering false, a time each decodeFrame
    // takes by the family the implementation was made for (indexed by the create flags).
    std::atomic<int> acceptedFlags{-1};
    std::atomic<bool> failInitialize{false};
    std::atomic<int> decodeDelayUs[64] = {};
    // Frames handed over with parameter-set flags (48).
    std::atomic<int> parameterSetFrames{0};
    // Steady-clock nanoseconds: the end of the last initialize, the end of the last decodeFrame.
    std::atomic<long long> initializedAtNs{0};
    std::atomic<long long> lastDecodeEndNs{0};
    // Faults of the host: release or delete while a decodeFrame runs, decodeFrame after
    // release.
    std::atomic<int> decodesRunning{0};
    std::atomic<int> releasedWhileDecoding{0};
    std::atomic<int> deletedWhileDecoding{0};
    std::atomic<int> decodesAfterRelease{0};

    void reset() {
        initModuleCalls = 0;
        createCalls = 0;
        lastCreateFlags = -1;
        refuseCreate = false;
        decodeCalls = 0;
        decodedBytes = 0;
        lastFrameFlags = -1;
        renderCalls = 0;
        releaseCalls = 0;
        acceptedFlags = -1;
        failInitialize = false;
        for (auto& delay : decodeDelayUs)
            delay = 0;
        parameterSetFrames = 0;
        initializedAtNs = 0;
        lastDecodeEndNs = 0;
        decodesRunning = 0;
        releasedWhileDecoding = 0;
        deletedWhileDecoding = 0;
        decodesAfterRelease = 0;
    }
};

using TestRenderPluginStateFunction = TestRenderPluginState* (*)();

// The record of the test plug-in at path, for the tests: the library is opened once more
// (it then stays open) and asked for its record; null when it does not open.
inline TestRenderPluginState* testRenderPluginStateOf(const std::string& path) {
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library)
        return nullptr;
    auto get = reinterpret_cast<TestRenderPluginStateFunction>(dlsym(library, "testRenderPluginState"));
    return get ? get() : nullptr;
}
