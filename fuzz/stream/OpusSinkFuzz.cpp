// Arbitrary packets and loss reports through the Opus sink, with a consumer that reads the
// ends of every block it is handed: a packet the decoder rejects, a concealment before any
// packet, frames of any size the decoder accepts must all stay inside the buffers.
//
// The input is a series of records: a 16-bit length, then that many bytes of packet; a
// length with the top bit set is a loss report instead (the low bits give lostCount, and
// a report of 0x8000 exactly is a null report).

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "stream/media/IAudioRenderImplementation.h"
#include "stream/media/OPUSAudioSinkImpl.h"

namespace {
struct ReadingConsumer : IAudioRenderImplementation {
    unsigned sum = 0;
    void setFormat(int sampleRate, int channels) override {
        if (sampleRate != 48000 || channels != 2) std::abort();
    }
    void notifyPacketsLost(int count) override { sum += static_cast<unsigned>(count); }
    void pushPcm(const std::int16_t* samples, int frames) override {
        if (frames < 0 || frames > 32768) std::abort();
        // The first and the last sample: a block that reaches past its buffer shows there.
        if (frames > 0) sum += static_cast<std::uint16_t>(samples[0] + samples[frames * 2 - 1]);
    }
    bool initDevice() override { return true; }
    void shutdownDevice() override {}
    int renderStep() override { return 1; }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 65536) return 0;
    ReadingConsumer consumer;
    OPUSAudioSinkImpl sink;
    sink.setConsumer(&consumer);
    std::vector<std::uint8_t> packet;
    std::size_t at = 0;
    // Each record may cost a whole decode; a few dozen explore as much as thousands.
    for (int records = 0; at + 2 <= size && records < 48; ++records) {
        const std::uint16_t head = static_cast<std::uint16_t>(data[at] << 8 | data[at + 1]);
        at += 2;
        if (head & 0x8000) {
            RTSPPacketInfo report;
            report.lostCount = head & 0x7FFF;
            sink.onLosses(head == 0x8000 ? nullptr : &report);
            continue;
        }
        std::size_t length = head;
        if (length > size - at) length = size - at;
        // A copy of exactly the packet's size, so that a read past it is caught.
        packet.assign(data + at, data + at + length);
        packet.shrink_to_fit();
        at += length;
        RTSPPacketInfo info;
        info.data = packet.empty() ? nullptr : packet.data();
        info.size = static_cast<std::uint32_t>(length);
        sink.onPacket(&info);
    }
    return 0;
}
