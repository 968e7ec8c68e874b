// H.264 frame assembly on a recorded 1080p60 stream: throughput through onPacket with a
// consumer that does nothing, time per NAL unit, and heap allocations per pass once the
// buffers have grown.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "AllocationCounter.h"
#include "stream/media/H264VideoSinkImpl.h"
#include "stream/session/IRenderImplementation.h"

namespace {

struct NullConsumer : IRenderImplementation {
    int flags = kRenderWholeFrames;
    int getFlags() override { return flags; }
    bool isSynchronous() override { return false; }
    bool needsKeyFrame() override { return false; }
    void setParameterSets(const std::uint8_t*, int, const std::uint8_t*, int) override {}
    void detach(int) override {}
    void onPacketsLost(int) override {}
    void decodeFrame(const std::uint8_t* data, int, int) override { benchmark::DoNotOptimize(data); }
    bool initialize() override { return true; }
    void release() override {}
    int collect(double) override { return 0; }
    void renderPicture(double, int, int) override {}
};

struct Unit {
    std::vector<std::uint8_t> bytes;  // 4 free bytes, then the NAL unit
    bool marker;
};

std::vector<Unit> loadUnits() {
    std::ifstream in(std::string(NIMBROSTA_BENCH_DATA_DIR) + "/stream1080p60.h264", std::ios::binary);
    const std::vector<std::uint8_t> s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<Unit> units;
    H264NalParser probe;
    int pos = 0, lastSlice = -1;
    const int len = static_cast<int>(s.size());
    while (pos < len) {
        const int n = findNextStartCode(s.data() + pos, len - pos);
        const int sc = len - pos >= 3 ? startCodeLength(s.data() + pos) : 0;
        if (sc && n > sc) {
            probe.parseNal(s.data() + pos, n, false);
            const int type = s[static_cast<std::size_t>(pos + sc)] & 0x1F;
            if ((type == 1 || type == 5) && probe.lastSlice()->newPicture && lastSlice >= 0)
                units[static_cast<std::size_t>(lastSlice)].marker = true;
            Unit u{std::vector<std::uint8_t>(4, 0), false};
            u.bytes.insert(u.bytes.end(), s.begin() + pos + sc, s.begin() + pos + n);
            units.push_back(std::move(u));
            if (type == 1 || type == 5) lastSlice = static_cast<int>(units.size()) - 1;
        }
        pos += n;
    }
    if (lastSlice >= 0) units[static_cast<std::size_t>(lastSlice)].marker = true;
    return units;
}

void BM_FrameAssembly(benchmark::State& state) {
    std::vector<Unit> units = loadUnits();
    if (units.empty()) {
        state.SkipWithError("stream1080p60.h264 missing (needs ffmpeg at build time)");
        return;
    }
    NullConsumer consumer;
    consumer.flags = static_cast<int>(state.range(0));
    H264VideoSinkImpl sink(nullptr, false);
    sink.setConsumer(&consumer);
    std::vector<std::uint16_t> seqs(1);
    std::vector<RTSPLostRange> ranges;
    ranges.reserve(64);
    std::uint16_t seq = 0;
    std::size_t bytes = 0;
    for (const Unit& u : units) bytes += u.bytes.size();

    auto pass = [&] {
        for (Unit& u : units) {
            seqs[0] = seq++;
            ranges.clear();
            RTSPPacketInfo info;
            info.data = u.bytes.data();
            info.size = static_cast<std::uint32_t>(u.bytes.size());
            info.sequenceNumbers = &seqs;
            info.lostRanges = &ranges;
            info.marker = u.marker;
            sink.onPacket(&info);
        }
    };
    pass();  // warm-up: buffers grow to their steady size
    unsigned long long allocations = 0, passes = 0;
    for (auto _ : state) {
        const auto before = allocationCount().load();
        pass();
        allocations += allocationCount().load() - before;
        ++passes;
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes * passes));
    state.SetItemsProcessed(static_cast<std::int64_t>(units.size() * passes));
    state.counters["units"] = static_cast<double>(units.size());
    state.counters["allocs_per_pass"] = static_cast<double>(allocations) / static_cast<double>(passes);
    state.counters["ns_per_unit"] = benchmark::Counter(static_cast<double>(units.size() * passes),
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

}  // namespace

BENCHMARK(BM_FrameAssembly)->Arg(kRenderWholeFrames)->Arg(kRenderWholeFrames | kRenderLengthPrefix)->Arg(0)
    ->Unit(benchmark::kMillisecond);
