// One decoder measurement with the test render plug-ins, this thread playing the render
// thread: every unit reaches the decoder once with its frame flags, the result agrees with
// an independent count of the plug-in, the implementation is released only after the
// worker has left the decoder (also when the measurement is stopped mid-run), and a family
// without a usable implementation ends with the no-renderer command.

#include "player/BenchmarkState.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "BenchmarkTestSupport.h"
#include "TestRenderPlugin.h"
#include "TestSupport.h"
#include "core/ConfigStore.h"
#include "player-ui/PlayerCommandIds.h"
#include "player/BenchmarkStorage.h"
#include "player/RenderPluginModule.h"
#include "stream/session/DecoderFlags.h"

using testsupport::captureStdout;
using testsupport::TempDir;
using benchtest::sample;

namespace {

const std::string kPlugins = NIMBROSTA_TEST_RENDER_PLUGIN_DIR;
const std::string kCounting = kPlugins + "/counting/render-ffmpeg.so";
const std::string kFailing = kPlugins + "/failing/render-ffmpeg.so";
const std::string kNoCuda = kPlugins + "/missing/render-cuda.so";

TestRenderPluginState& pluginState(const std::string& path) {
    TestRenderPluginState* state = testRenderPluginStateOf(path);
    EXPECT_NE(state, nullptr) << dlerror();
    return *state;
}

// The window as a measurement sees it: the commands it posts.
class Host : public IBenchmarkHost {
public:
    void postCommand(int id) override {
        std::lock_guard<std::mutex> guard(lock);
        commands.push_back(id);
    }
    void requestRedraw() override { ++redraws; }
    void framebufferSize(int& width, int& height) override {
        width = 640;
        height = 360;
    }
    std::vector<int> taken() {
        std::lock_guard<std::mutex> guard(lock);
        return commands;
    }
    std::mutex lock;
    std::vector<int> commands;
    std::atomic<int> redraws{0};
};

// A lib folder with one HDREADY_LOW sample of the given units, its storage and settings.
struct Bench {
    explicit Bench(int units, const std::string& decoder = "SOFTWARE") {
        testsupport::writeFile(dir.file("benchmark_hdready_low.data"), sample(units));
        captureStdout([&] { storage = std::make_unique<BenchmarkStorage>(BenchmarkStorage::kVersionTag, dir.path(), &config); });
        storage->isFastEnough(decoder);
    }
    TempDir dir;
    ConfigStore config{dir.file("config.ini")};
    std::unique_ptr<BenchmarkStorage> storage;
    Host host;
};

// The plug-ins of a test: the counting one as the FFmpeg plug-in, no CUDA plug-in.
RenderImplementationFactory plugins(const std::string& ffmpegPath) {
    auto cuda = std::make_shared<RenderPluginModule>(kNoCuda);
    auto ffmpeg = std::make_shared<RenderPluginModule>(ffmpegPath);
    return [cuda, ffmpeg](std::int32_t flags) { return createRenderImplementationForDecoders(flags, *cuda, *ffmpeg); };
}

// Plays the render thread's frames until the measurement has handed over every unit.
void runFrames(BenchmarkState& measurement, int atMostFrames = 100000) {
    std::recursive_mutex guiLock;
    for (int frame = 0; frame < atMostFrames && !measurement.isFinished(); ++frame)
        measurement.update(guiLock);
}

}  // namespace

TEST(BenchmarkState, PlaysEveryUnitOnceAndAgreesWithAnIndependentCount) {
    TestRenderPluginState& plugin = pluginState(kCounting);
    plugin.reset();
    // 400 units of 2.5 ms each: about a second, so that one unit, one frame or one
    // millisecond more or less stays well inside 1 %.
    constexpr int kUnits = 400;
    plugin.decodeDelayUs[kDecoderSoftware] = 2500;
    Bench bench(kUnits);
    BenchmarkState measurement(bench.storage.get(), &bench.host, nullptr, 7, kDecoderSoftware, plugins(kCounting));

    const std::string log = captureStdout([&] {
        ASSERT_TRUE(measurement.enter());
        runFrames(measurement);
        ASSERT_TRUE(measurement.isFinished());
        measurement.leave();
    });
    EXPECT_EQ(bench.host.taken(), std::vector<int>{kCommandMeasurementEnded});
    EXPECT_EQ(plugin.decodeCalls, kUnits);
    EXPECT_EQ(plugin.parameterSetFrames, 1) << "the key frame carries the parameter sets";
    EXPECT_EQ(plugin.lastFrameFlags, 0);
    EXPECT_GE(bench.host.redraws, kUnits) << "a redraw after every unit";
    EXPECT_EQ(plugin.liveImplementations, 0);
    EXPECT_EQ(plugin.releaseCalls, 1);
    EXPECT_TRUE(bench.storage->currentData()->hasMore()) << "rewound for the next decoder";

    // The plug-in's own clock: from the end of initialize to the end of the last decode.
    const double seconds = double(plugin.lastDecodeEndNs - plugin.initializedAtNs) / 1e9;
    const double independentFps = kUnits / seconds;
    const double reported = bench.config.get<double>("Benchmark.SOFTWARE_HDREADY_LOW_FPS", "0");
    RecordProperty("reported_fps", std::to_string(reported));
    RecordProperty("counted_fps", std::to_string(independentFps));
    EXPECT_LE(std::fabs(reported - independentFps) / independentFps, 0.01)
        << "reported " << reported << " fps, counted " << independentFps << "\n" << log;
    const BenchmarkResult& result = bench.storage->results().at("SOFTWARE").at("HDREADY_LOW");
    EXPECT_EQ(result.fps, std::uint32_t(reported));
}

TEST(BenchmarkState, TheImplementationIsReleasedOnlyAfterTheWorkerLeftTheDecoder) {
    // Ended as the render thread sees the last unit taken (the worker still decodes it), or
    // stopped mid-run (the window closes): either way release and delete wait for the worker.
    struct Case {
        const char* what;
        bool stopEarly;
        std::vector<int> commands;
        bool stored;
    } cases[] = {
        {"ended while the last unit decodes", false, {kCommandMeasurementEnded}, true},
        {"stopped mid-run", true, {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestRenderPluginState& plugin = pluginState(kCounting);
        plugin.reset();
        constexpr int kUnits = 40;
        plugin.decodeDelayUs[kDecoderSoftware] = 20000;
        Bench bench(kUnits);
        captureStdout([&] {
            BenchmarkState measurement(bench.storage.get(), &bench.host, nullptr, 7, kDecoderSoftware,
                                       plugins(kCounting));
            ASSERT_TRUE(measurement.enter());
            if (c.stopEarly) {
                std::this_thread::sleep_for(std::chrono::milliseconds(70));
                measurement.stop();
                EXPECT_FALSE(measurement.hasRenderer());
            } else {
                while (!measurement.isFinished())
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
                measurement.leave();
            }
        });
        EXPECT_EQ(plugin.releasedWhileDecoding, 0);
        EXPECT_EQ(plugin.deletedWhileDecoding, 0);
        EXPECT_EQ(plugin.decodesAfterRelease, 0);
        EXPECT_EQ(plugin.liveImplementations, 0);
        EXPECT_EQ(plugin.releaseCalls, 1);
        EXPECT_EQ(bench.host.taken(), c.commands);
        EXPECT_EQ(bench.config.has("Benchmark.SOFTWARE_HDREADY_LOW_FPS"), c.stored);
        if (c.stopEarly)
            EXPECT_LT(plugin.decodeCalls, kUnits) << "the worker stops after the unit it hands over";
        else
            EXPECT_EQ(plugin.decodeCalls, kUnits);
    }
}

TEST(BenchmarkState, AFamilyWithoutAUsableImplementationEndsWithNoRenderer) {
    struct Case {
        const char* what;
        std::string ffmpeg;
        std::int32_t decoders;
        bool failInitialize;
        int accepted;
        int creates;  // of the counting plug-in
    } cases[] = {
        {"initModule fails", kFailing, kDecoderSoftware, false, -1, 0},
        {"initialize fails", kCounting, kDecoderSoftware, true, -1, 1},
        {"the factory makes none for the family", kCounting, kDecoderVaapi, false, kDecoderSoftware, 1},
        {"VDA alone asks no plug-in", kCounting, kDecoderVda, false, -1, 0},
        {"CUDA without its plug-in", kCounting, kDecoderCuda, false, -1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestRenderPluginState& plugin = pluginState(kCounting);
        plugin.reset();
        plugin.failInitialize = c.failInitialize;
        plugin.acceptedFlags = c.accepted;
        Bench bench(10);
        captureStdout([&] {
            BenchmarkState measurement(bench.storage.get(), &bench.host, nullptr, 4, c.decoders, plugins(c.ffmpeg));
            EXPECT_FALSE(measurement.enter());
            EXPECT_TRUE(measurement.isFinished());
            measurement.leave();
        });
        EXPECT_EQ(bench.host.taken(), std::vector<int>{kCommandMeasurementNoRenderer});
        EXPECT_EQ(plugin.createCalls, c.creates);
        EXPECT_EQ(plugin.liveImplementations, 0);
        EXPECT_EQ(plugin.decodeCalls, 0);
        EXPECT_TRUE(bench.storage->results().empty());
    }
}
