// Per-packet cost of the client's receive path (reorder window, H.264 depacketization,
// delivery) plus frame assembly in the sink, on a synthetic 1080p60 stream.

#include "AllocationCounter.h"
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "RtpReceiver.h"


namespace {

using Clock = std::chrono::steady_clock;

// Frame assembly as a whole-frame consumer does it: start code, append, hand over at the marker.
class FrameSink : public IRTSPSink {
public:
    FrameSink() { frame_.reserve(4 << 20); }
    void onLosses(const RTSPPacketInfo*) override { ++losses; }
    void onPacket(RTSPPacketInfo* p) override {
        static const std::uint8_t kStart[4] = {0, 0, 0, 1};
        std::memcpy(p->data, kStart, 4);
        frame_.insert(frame_.end(), p->data, p->data + p->size);
        if (p->marker) {
            benchmark::DoNotOptimize(frame_.data());
            latenciesNs.push_back(std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - markerFed).count());
            frame_.clear();
            ++frames;
        }
    }
    void detach(int) override {}
    int prefixSize() override { return 4; }

    Clock::time_point markerFed;
    std::vector<std::int64_t> latenciesNs;
    std::uint64_t frames = 0;
    std::uint64_t losses = 0;

private:
    std::vector<std::uint8_t> frame_;
};

struct Packet {
    std::vector<std::uint8_t> bytes;
    bool marker;
};

// Two seconds of 1080p60 at the given bit rate: one slice per frame, an IDR (8x) each second.
std::vector<Packet> makeStream(int mbps) {
    const std::size_t mtu = 1400;
    const std::size_t pframe = static_cast<std::size_t>(mbps) * 1000000 / 8 / 60 * 60 / 67;  // keep the average
    std::vector<Packet> out;
    for (int f = 0; f < 120; ++f) {
        const bool idr = f % 60 == 0;
        const std::size_t nal = idr ? pframe * 8 : pframe;
        std::size_t pos = 1;
        while (pos < nal) {
            const std::size_t chunk = std::min(mtu - 2, nal - pos);
            Packet p;
            p.bytes.assign(12 + 2 + chunk, 0x5a);
            p.bytes[0] = 0x80;
            p.bytes[12] = static_cast<std::uint8_t>(0x60 | 28);
            p.bytes[13] = static_cast<std::uint8_t>((idr ? 5 : 1) | (pos == 1 ? 0x80 : 0) | (pos + chunk == nal ? 0x40 : 0));
            p.marker = pos + chunk == nal;
            p.bytes[1] = static_cast<std::uint8_t>((p.marker ? 0x80 : 0) | 96);
            std::uint32_t ts = static_cast<std::uint32_t>(f) * 1500;
            for (int i = 0; i < 4; ++i) p.bytes[4 + i] = static_cast<std::uint8_t>(ts >> (24 - 8 * i));
            p.bytes[8] = 0x12;
            out.push_back(std::move(p));
            pos += chunk;
        }
    }
    return out;
}

void BM_H264ReceivePath(benchmark::State& state) {
    const std::vector<Packet> stream = makeStream(static_cast<int>(state.range(0)));
    FrameSink sink;
    rtspclient::RtpReceiverConfig config;
    config.payload = rtspclient::RtpReceiverConfig::Payload::H264;
    config.payloadType = 96;
    rtspclient::RtpReceiver receiver(&sink, config);
    std::uint16_t seq = 0;
    std::size_t i = 0;
    std::uint64_t bytes = 0;
    // Warm up: buffers reach their steady size.
    for (const Packet& p : stream) {
        std::memcpy(receiver.receiveBuffer(), p.bytes.data(), p.bytes.size());
        receiver.receiveBuffer()[2] = static_cast<std::uint8_t>(seq >> 8);
        receiver.receiveBuffer()[3] = static_cast<std::uint8_t>(seq++);
        receiver.onPacket(p.bytes.size(), 0);
    }
    sink.latenciesNs.clear();
    sink.latenciesNs.reserve(1 << 20);
    const std::uint64_t allocationsBefore = allocationCount().load();
    std::uint64_t packets = 0;
    for (auto _ : state) {
        const Packet& p = stream[i];
        if (++i == stream.size()) i = 0;
        std::uint8_t* buf = receiver.receiveBuffer();
        std::memcpy(buf, p.bytes.data(), p.bytes.size());  // stands in for recv()
        buf[2] = static_cast<std::uint8_t>(seq >> 8);
        buf[3] = static_cast<std::uint8_t>(seq++);
        if (p.marker) sink.markerFed = Clock::now();
        receiver.onPacket(p.bytes.size(), 0);
        bytes += p.bytes.size();
        ++packets;
    }
    const std::uint64_t allocations = allocationCount().load() - allocationsBefore;
    auto& l = sink.latenciesNs;
    std::sort(l.begin(), l.end());
    state.SetItemsProcessed(static_cast<std::int64_t>(packets));
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
    state.counters["frames"] = static_cast<double>(sink.frames);
    state.counters["allocs_per_packet"] = packets ? static_cast<double>(allocations) / static_cast<double>(packets) : 0;
    if (!l.empty()) {
        state.counters["frame_latency_p50_us"] = static_cast<double>(l[l.size() / 2]) / 1000.0;
        state.counters["frame_latency_p99_us"] = static_cast<double>(l[l.size() * 99 / 100]) / 1000.0;
    }
    state.counters["losses"] = static_cast<double>(sink.losses);
}
BENCHMARK(BM_H264ReceivePath)->Arg(20)->Arg(50);

}  // namespace
