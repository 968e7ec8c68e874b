// Opus decode and hand-off of one 20 ms packet into the audio renderer's queue, and the
// renderer taking the block back out.
#include <benchmark/benchmark.h>
#include <opus/opus.h>

#include <cmath>
#include <vector>

#include "AllocationCounter.h"
#include "stream/media/AudioRenderer.h"
#include "stream/media/OPUSAudioSinkImpl.h"

namespace {

// A renderer without a device or thread; the benchmark takes the blocks itself.
class QueueOnlyRenderer : public AudioRenderer {
public:
    bool initDevice() override { return true; }
    void shutdownDevice() override {}
    int renderStep() override { return 1; }
    void takeOne() {
        takeNextBlock();
        consumeOutput(outputSamples());
    }
};

void BM_OpusDecodeAndPush(benchmark::State& state) {
    int err = 0;
    OpusEncoder* enc = opus_encoder_create(48000, 2, OPUS_APPLICATION_AUDIO, &err);
    opus_encoder_ctl(enc, OPUS_SET_BITRATE(128000));
    std::vector<std::vector<std::uint8_t>> packets;
    std::vector<std::int16_t> pcm(1920);
    for (int p = 0; p < 50; ++p) {
        for (int i = 0; i < 960; ++i)
            pcm[static_cast<std::size_t>(2 * i)] = pcm[static_cast<std::size_t>(2 * i + 1)] =
                static_cast<std::int16_t>(8000 * std::sin((p * 960 + i) * 0.05));
        std::vector<std::uint8_t> out(4000);
        out.resize(static_cast<std::size_t>(opus_encode(enc, pcm.data(), 960, out.data(), 4000)));
        packets.push_back(out);
    }
    opus_encoder_destroy(enc);

    QueueOnlyRenderer renderer;
    OPUSAudioSinkImpl sink;
    sink.setConsumer(&renderer);
    std::vector<std::uint16_t> seqs = {0};
    std::size_t i = 0;
    auto one = [&] {
        std::vector<std::uint8_t>& p = packets[i++ % packets.size()];
        RTSPPacketInfo info;
        info.data = p.data();
        info.size = static_cast<std::uint32_t>(p.size());
        info.sequenceNumbers = &seqs;
        sink.onPacket(&info);
        renderer.takeOne();
    };
    for (int w = 0; w < 100; ++w) one();  // warm-up
    const auto before = allocationCount().load();
    unsigned long long n = 0;
    for (auto _ : state) {
        one();
        ++n;
    }
    state.counters["allocs_per_block"] = static_cast<double>(allocationCount().load() - before) / static_cast<double>(n);
    renderer.stop();
}

}  // namespace

BENCHMARK(BM_OpusDecodeAndPush)->Unit(benchmark::kMicrosecond);
