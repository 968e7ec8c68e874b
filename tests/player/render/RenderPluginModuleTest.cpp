// The render plug-in loader with the test plug-ins: which plug-in a set of decoder flags
// reaches and with which flags, and the plug-ins that cannot work (missing library, missing
// export, initModule false), which stay unusable without being loaded again.

#include "player/RenderPluginModule.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "TestRenderPlugin.h"
#include "platform/DynamicLibrary.h"

namespace {

const std::string kPlugins = NIMBROSTA_TEST_RENDER_PLUGIN_DIR;
const std::string kCounting = kPlugins + "/counting/render-ffmpeg.so";
const std::string kCuda = kPlugins + "/cuda/render-cuda.so";
const std::string kFailing = kPlugins + "/failing/render-ffmpeg.so";
const std::string kNoInit = kPlugins + "/noinit/render-ffmpeg.so";
const std::string kMissing = kPlugins + "/missing/render-cuda.so";

// The record of a test plug-in (the library stays open for the whole test program).
TestRenderPluginState& pluginState(const std::string& path) {
    TestRenderPluginState* state = testRenderPluginStateOf(path);
    EXPECT_NE(state, nullptr) << dlerror();
    return *state;
}

void destroy(IRenderImplementation* implementation) {
    if (!implementation)
        return;
    implementation->release();
    delete implementation;
}

}  // namespace

TEST(RenderPluginModule, DecoderFlagsChooseThePluginAndTheFlagsItGets) {
    enum Reached { kNone, kCudaPlugin, kFfmpegPlugin };
    struct Case {
        std::int32_t flags;
        bool cudaInstalled;
        bool cudaRefuses;
        Reached reached;
        std::int32_t flagsSeen;  // by the plug-in reached
    } cases[] = {
        {kDecoderSoftware, true, false, kFfmpegPlugin, 1},
        {kDecoderCuda | kDecoderSoftware, true, false, kCudaPlugin, 0},  // CUDA gets 0, not the caller's
        {kDecoderCuda | kDecoderSoftware, true, true, kFfmpegPlugin, 3},
        {kDecoderCuda | kDecoderSoftware, false, false, kFfmpegPlugin, 3},  // no render-cuda.so
        {kDecoderCuda, true, false, kCudaPlugin, 0},
        {kDecoderCuda, true, true, kNone, 0},
        {kDecoderDxva, true, false, kFfmpegPlugin, 4},
        {kDecoderVaapi, true, false, kFfmpegPlugin, 8},
        {kDecoderVdpau, true, false, kFfmpegPlugin, 16},
        {kDecoderVda | kDecoderSoftware, true, false, kFfmpegPlugin, 33},
        {kDecoderVda, true, false, kNone, 0},
        {kDecoderNone, true, false, kNone, 0},
    };
    TestRenderPluginState& cudaState = pluginState(kCuda);
    TestRenderPluginState& ffmpegState = pluginState(kCounting);
    for (const Case& c : cases) {
        SCOPED_TRACE("flags " + std::to_string(c.flags) + (c.cudaInstalled ? "" : " without CUDA") +
                     (c.cudaRefuses ? " CUDA refusing" : ""));
        cudaState.reset();
        ffmpegState.reset();
        cudaState.refuseCreate = c.cudaRefuses;
        RenderPluginModule cuda(c.cudaInstalled ? kCuda : kMissing);
        RenderPluginModule ffmpeg(kCounting);

        IRenderImplementation* implementation = createRenderImplementationForDecoders(c.flags, cuda, ffmpeg);

        EXPECT_EQ(implementation != nullptr, c.reached != kNone);
        const bool cudaAsked = (c.flags & kDecoderCuda) != 0;
        EXPECT_EQ(cudaState.createCalls, cudaAsked && c.cudaInstalled ? 1 : 0);
        if (cudaAsked && c.cudaInstalled) {
            EXPECT_EQ(cudaState.lastCreateFlags, 0);
        }
        const bool ffmpegAsked = (cudaState.refuseCreate || !c.cudaInstalled || !cudaAsked) && (c.flags & 0x1d);
        EXPECT_EQ(ffmpegState.createCalls, ffmpegAsked ? 1 : 0);
        if (c.reached == kFfmpegPlugin) {
            EXPECT_EQ(ffmpegState.lastCreateFlags, c.flagsSeen);
        }
        // Nothing is loaded for a request that reaches no plug-in family.
        EXPECT_EQ(ffmpeg.initState(), ffmpegAsked ? 2 : 0);
        EXPECT_EQ(ffmpeg.isOpen(), ffmpegAsked);
        destroy(implementation);
    }
    EXPECT_EQ(ffmpegState.liveImplementations, 0);
    EXPECT_EQ(cudaState.liveImplementations, 0);
}

TEST(RenderPluginModule, PluginThatCannotWorkStaysUnusableAndIsNotTriedAgain) {
    struct Case {
        const char* what;
        std::string path;
        bool opens;
        int initModuleCalls;
    } cases[] = {
        {"missing library", kMissing, false, 0},
        {"no initModule export", kNoInit, true, 0},
        {"initModule false", kFailing, true, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestRenderPluginState* state = c.opens ? &pluginState(c.path) : nullptr;
        if (state)
            state->reset();
        RenderPluginModule module(c.path);
        EXPECT_EQ(module.createImplementation(kDecoderSoftware), nullptr);
        EXPECT_EQ(module.initState(), 1);
        EXPECT_EQ(module.isOpen(), c.opens);
        // Asked again: null at once, initModule not called again, the factory never.
        EXPECT_EQ(module.createImplementation(kDecoderSoftware), nullptr);
        EXPECT_EQ(module.initState(), 1);
        if (state) {
            EXPECT_EQ(state->initModuleCalls, c.initModuleCalls);
            EXPECT_EQ(state->createCalls, 0);
        }
    }
}

TEST(RenderPluginModule, InitialisesOnceAndPassesANullFactoryResultOn) {
    TestRenderPluginState& state = pluginState(kCounting);
    state.reset();
    RenderPluginModule module(kCounting);
    IRenderImplementation* first = module.createImplementation(kDecoderSoftware);
    ASSERT_NE(first, nullptr);
    state.refuseCreate = true;
    EXPECT_EQ(module.createImplementation(kDecoderSoftware), nullptr);
    EXPECT_EQ(module.initState(), 2) << "a null from the factory does not spoil the module";
    state.refuseCreate = false;
    IRenderImplementation* third = module.createImplementation(kDecoderVaapi);
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(state.initModuleCalls, 1);
    EXPECT_EQ(state.createCalls, 3);
    EXPECT_EQ(state.lastCreateFlags, kDecoderVaapi);
    destroy(first);
    destroy(third);
}

TEST(RenderPluginModule, ProcessPluginsAreFoundInTheLibFolder) {
    // The lib folder holds render-ffmpeg.so only: CUDA falls back to it with the caller's flags.
    const std::string saved = platform::libraryFolder();
    platform::setLibraryFolder(kPlugins + "/counting");
    TestRenderPluginState& state = pluginState(kCounting);
    state.reset();
    IRenderImplementation* implementation = createRenderImplementationForDecoders(kDecoderCuda | kDecoderSoftware);
    platform::setLibraryFolder(saved);
    ASSERT_NE(implementation, nullptr);
    EXPECT_EQ(state.lastCreateFlags, kDecoderCuda | kDecoderSoftware);
    EXPECT_EQ(cudaRenderPlugin().initState(), 1);
    EXPECT_EQ(ffmpegRenderPlugin().initState(), 2);
    EXPECT_EQ(cudaRenderPlugin().fileName(), "render-cuda.so");
    EXPECT_EQ(ffmpegRenderPlugin().fileName(), "render-ffmpeg.so");

    // The implementation works through the program's inline operations.
    implementation->init();
    EXPECT_TRUE(implementation->initialised);
    const std::uint8_t unit[] = {0, 0, 0, 1, 0x65, 0x88};
    implementation->onFrame(unit, sizeof(unit), 48);
    EXPECT_TRUE(implementation->updateFrame(100.0));
    implementation->render(1.0, 64, 48);
    EXPECT_EQ(state.decodeCalls, 1);
    EXPECT_EQ(state.lastFrameFlags, 48);
    const RenderCounters counted = implementation->statistics.totalsSnapshot();
    EXPECT_EQ(counted.received, 1);
    EXPECT_EQ(counted.decoded, 1);
    EXPECT_EQ(counted.rendered, 1);
    destroy(implementation);
}
