#pragma once
// What the test render plug-ins record, read by the tests through the plug-in's
// "testRenderPluginState" export. Each plug-in file has its own record.

#include <atomic>
#include <cstdint>

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
    // Frames handed over after release: the feeding had not stopped.
    std::atomic<int> decodeAfterRelease{0};

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
        decodeAfterRelease = 0;
    }
};

using TestRenderPluginStateFunction = TestRenderPluginState* (*)();
