// render-ffmpeg.so as the player drives it, on the OpenGL of the X display (Mesa's software
// renderer under Xvfb: the drawing is done by the CPU too).
//
// BM_DecodeAndDraw: per 1080p picture, the unit handed over (onFrame: copy and decode on the
//   calling thread) and the picture collected and drawn over a 1920x1080 window (upload,
//   YUV to RGB, glFinish).
// BM_FrameLatency: a feeding thread hands over one frame every 1/60 s, as the media client
//   does once a frame's last packet is in; the render thread collects, draws and swaps. The
//   latency of a frame runs from its hand-over to the end of the swap of its picture (after
//   glFinish). Pictures skipped for a newer one and pictures never decoded are counted.
// Streams: 0 = the FULLHD_HI benchmark sample (one slice per picture), 1 = a 1080p60 stream
// with several slices per picture, as a low-latency encoder sends it.

#include <benchmark/benchmark.h>

#include <GL/glew.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "gui/testing/GLTestWindow.h"
#include "player/BenchmarkData.h"
#include "player/RenderPluginModule.h"
#include "stream/media/H264NalParser.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Frame {
    std::size_t offset;
    std::size_t length;
    bool parameterSets;
};

struct Stream {
    std::vector<std::uint8_t> bytes;  // padded with zeros
    std::vector<Frame> frames;
};

// The benchmark sample, one access unit per picture as the benchmark splits it.
bool loadSample(Stream& stream) {
    BenchmarkData data;
    if (!data.load(std::string(NIMBROSTA_LIB_DIR) + "/benchmark_fullhd_hi.data"))
        return false;
    stream.bytes.assign(data.bytes(), data.bytes() + data.size() + BenchmarkData::kPadding);
    for (const BenchmarkAccessUnit& u : data.units())
        stream.frames.push_back({std::size_t(u.data - data.bytes()), u.length, u.hasParameterSets});
    return true;
}

// A sliced stream, split into whole access units by the first slice of each new picture.
bool loadSliced(Stream& stream) {
    std::ifstream in(NIMBROSTA_SLICED_STREAM, std::ios::binary);
    stream.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    const int size = int(stream.bytes.size());
    stream.bytes.resize(stream.bytes.size() + 64, 0);
    H264NalParser parser;
    int position = 0;
    Frame current{0, 0, false};
    bool hasSlice = false;
    while (position < size) {
        const int length = parser.parseNal(stream.bytes.data() + position, size - position, false);
        if (length <= 0)
            break;
        const int type = parser.lastNalType();
        const bool slice = type == 1 || type == 5;
        const bool startsPicture = slice ? (parser.lastSlice() && parser.lastSlice()->newPicture) : type >= 6;
        if (hasSlice && startsPicture) {
            current.length = std::size_t(position) - current.offset;
            stream.frames.push_back(current);
            current = Frame{std::size_t(position), 0, false};
            hasSlice = false;
        }
        current.parameterSets = current.parameterSets || type == 7 || type == 8;
        hasSlice = hasSlice || slice;
        position += length;
    }
    if (hasSlice) {
        current.length = std::size_t(position) - current.offset;
        stream.frames.push_back(current);
    }
    return !stream.frames.empty();
}

const Stream* streamFor(int kind) {
    static Stream streams[2];
    static bool loaded[2] = {loadSample(streams[0]), loadSliced(streams[1])};
    return loaded[kind] ? &streams[kind] : nullptr;
}

// A 1920x1080 window with the plug-in's implementation initialised in it, and the stream.
struct Setup {
    std::unique_ptr<guitest::GLTestWindow> window;
    IRenderImplementation* renderer = nullptr;
    const Stream* stream = nullptr;
    RenderPluginModule cuda{"render-cuda.so.absent"};
    RenderPluginModule ffmpeg{std::string(NIMBROSTA_LIB_DIR) + "/render-ffmpeg.so"};

    bool open(benchmark::State& state, int streamKind) {
        stream = streamFor(streamKind);
        if (!stream) {
            state.SkipWithError("stream missing (build the benchmark samples)");
            return false;
        }
        window = std::make_unique<guitest::GLTestWindow>(1920, 1080, "render bench");
        if (!window->ok()) {
            state.SkipWithError("no OpenGL window (run under xvfb-run with a 1920x1080 screen)");
            return false;
        }
        renderer = createRenderImplementationForDecoders(kDecoderSoftware, cuda, ffmpeg);
        if (!renderer || !renderer->init()) {
            state.SkipWithError("render-ffmpeg.so gives no working implementation");
            return false;
        }
        return true;
    }
    ~Setup() {
        if (renderer) {
            renderer->release();
            delete renderer;
        }
    }
};

void submit(IRenderImplementation* renderer, const Stream& stream, std::size_t index) {
    const Frame& f = stream.frames[index];
    renderer->onFrame(stream.bytes.data() + f.offset, int(f.length), f.parameterSets ? 48 : 0);
}

void BM_DecodeAndDraw(benchmark::State& state) {
    Setup s;
    if (!s.open(state, int(state.range(0))))
        return;
    const Stream* stream = s.stream;
    std::size_t next = 0;
    double decodeSeconds = 0.0, drawSeconds = 0.0;
    std::int64_t pictures = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        submit(s.renderer, *stream, next);
        next = (next + 1) % stream->frames.size();
        const auto t1 = Clock::now();
        s.window->context()->beginFrame();
        s.renderer->updateFrame(0.0);
        s.renderer->render(1.0, 1920, 1080);
        glFinish();
        const auto t2 = Clock::now();
        decodeSeconds += std::chrono::duration<double>(t1 - t0).count();
        drawSeconds += std::chrono::duration<double>(t2 - t1).count();
        ++pictures;
    }
    state.counters["decode_ms"] = 1000.0 * decodeSeconds / double(std::max<std::int64_t>(pictures, 1));
    state.counters["draw_ms"] = 1000.0 * drawSeconds / double(std::max<std::int64_t>(pictures, 1));
    state.counters["decoded"] = double(s.renderer->statistics.totalsSnapshot().decoded);
}
BENCHMARK(BM_DecodeAndDraw)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Drawing the same picture again (no upload): what the drawing alone costs.
void BM_DrawAgain(benchmark::State& state) {
    Setup s;
    if (!s.open(state, 0))
        return;
    const Stream* stream = s.stream;
    submit(s.renderer, *stream, 0);
    s.renderer->updateFrame(0.0);
    s.renderer->render(1.0, 1920, 1080);
    for (auto _ : state) {
        s.window->context()->beginFrame();
        s.renderer->render(1.0, 1920, 1080);
        glFinish();
    }
}
BENCHMARK(BM_DrawAgain)->Unit(benchmark::kMillisecond);

void BM_FrameLatency(benchmark::State& state) {
    Setup s;
    if (!s.open(state, int(state.range(0))))
        return;
    const Stream* stream = s.stream;
    const std::size_t frames = stream->frames.size();
    for (auto _ : state) {
        std::vector<Clock::time_point> handedOver(frames);
        std::atomic<std::int64_t> lastHandedOver{-1};
        std::atomic<bool> done{false};
        std::thread feeder([&] {
            auto due = Clock::now();
            for (std::size_t i = 0; i < frames; ++i) {
                std::this_thread::sleep_until(due);
                handedOver[i] = Clock::now();
                submit(s.renderer, *stream, i);
                lastHandedOver = std::int64_t(i);
                due += std::chrono::microseconds(16667);
            }
            done = true;
        });
        std::vector<double> latencies;
        std::int64_t drawnIndex = -1, skipped = 0;
        while (!done || drawnIndex < lastHandedOver) {
            const bool fresh = s.renderer->updateFrame(2.0);
            // The picture of the newest frame handed over: decoded by the time onFrame
            // returns. A picture collected just before its hand-over was recorded is drawn
            // and counted at the next pass.
            const std::int64_t index = lastHandedOver;
            if (!fresh && index <= drawnIndex)
                continue;
            s.window->context()->beginFrame();
            s.renderer->render(1.0, 1920, 1080);
            s.window->context()->endFrame();
            glFinish();
            const auto shown = Clock::now();
            if (index > drawnIndex) {
                skipped += index - drawnIndex - 1;
                latencies.push_back(std::chrono::duration<double, std::milli>(shown - handedOver[std::size_t(index)]).count());
                drawnIndex = index;
            }
        }
        feeder.join();
        std::sort(latencies.begin(), latencies.end());
        auto percentile = [&](double p) {
            return latencies.empty() ? 0.0 : latencies[std::min(latencies.size() - 1, std::size_t(p * double(latencies.size())))];
        };
        state.counters["p50_ms"] = percentile(0.50);
        state.counters["p99_ms"] = percentile(0.99);
        state.counters["max_ms"] = latencies.empty() ? 0.0 : latencies.back();
        state.counters["frames"] = double(frames);
        state.counters["skipped"] = double(skipped);
        // Frames handed over whose picture the decoder never gave out.
        state.counters["not_decoded"] = double(std::int64_t(frames) - s.renderer->statistics.totalsSnapshot().decoded);
    }
}
BENCHMARK(BM_FrameLatency)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
