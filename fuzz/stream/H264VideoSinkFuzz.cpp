// Arbitrary NAL units through the H.264 sink's onPacket and onLosses in every delivery
// mode, with a consumer that reads the ends of every frame it is handed (and of the padding
// after whole frames), so that an out-of-bounds hand-off shows up under AddressSanitizer.
#include <cstdint>
#include <cstdio>
#include <vector>

#include "stream/media/H264VideoSinkImpl.h"
#include "stream/session/IMediaSession.h"
#include "stream/session/IRenderImplementation.h"

namespace {

struct NullSession : IMediaSession {
    void VideoForceIDRFrame() override {}
    void VideoNotifyLostPacketInfo(int, int, int) override {}
    void onVideoClientError(const std::string&) override {}
    void onVideoClientFinished() override {}
};

struct ReadingConsumer : IRenderImplementation {
    int flags = 0;
    unsigned sum = 0;
    int getFlags() override { return flags; }
    bool isSynchronous() override { return false; }
    bool needsKeyFrame() override { return (sum & 7) == 0; }
    void setParameterSets(const std::uint8_t* sps, int spsSize, const std::uint8_t* pps, int ppsSize) override {
        for (int i = 0; i < spsSize; ++i) sum += sps[i];
        for (int i = 0; i < ppsSize; ++i) sum += pps[i];
    }
    void detach(int) override {}
    void onPacketsLost(int count) override { sum += static_cast<unsigned>(count); }
    void decodeFrame(const std::uint8_t* data, int size, int frameFlags) override {
        // The first byte and the last one it may read (the padding of a whole frame
        // included): a hand-off that reaches past its buffer shows there.
        const int readable = size + ((frameFlags & kFrameWhole) ? 64 : 0);
        if (readable > 0) sum += data[0] + data[readable - 1];
    }
    bool initialize() override { return true; }
    void release() override {}
    int collect(double) override { return 0; }
    void renderPicture(double, int, int) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2 || size > (1u << 20)) return 0;
    static bool quiet = (std::freopen("/dev/null", "w", stdout) != nullptr);
    (void)quiet;

    NullSession session;
    ReadingConsumer consumer;
    consumer.flags = data[0] & 0x0F;
    H264VideoSinkImpl sink(&session, false);
    sink.setConsumer(&consumer);

    // The rest of the input is a series of units: a control byte (marker bit, number of
    // sequence numbers), then the unit up to the next start code.
    std::uint16_t seq = static_cast<std::uint16_t>(data[1] << 8);
    std::vector<std::uint8_t> unit;
    std::vector<std::uint16_t> seqs;
    std::vector<RTSPLostRange> ranges;
    std::size_t pos = 2;
    while (pos < size) {
        const std::uint8_t control = data[pos++];
        const int n = findNextStartCode(data + pos, static_cast<int>(size - pos));
        unit.assign(4, 0xCC);
        unit.insert(unit.end(), data + pos, data + pos + n);
        pos += static_cast<std::size_t>(n);

        seqs.clear();
        for (int i = 0; i < (control >> 4); ++i) seqs.push_back(seq += static_cast<std::uint16_t>(1 + (control & 3) / 3));
        ranges.clear();
        RTSPPacketInfo info;
        info.data = unit.data();
        info.size = static_cast<std::uint32_t>(unit.size());
        info.sequenceNumbers = (control & 4) ? nullptr : &seqs;
        info.lostRanges = (control & 8) ? nullptr : &ranges;
        info.marker = (control & 1) != 0;
        sink.onPacket(&info);
        if ((control & 0x0E) == 0x0E) {
            info.lostCount = static_cast<std::uint16_t>(control);
            info.lostRanges = &ranges;
            sink.onLosses(&info);
        }
    }
    sink.onPacket(nullptr);
    sink.onLosses(nullptr);
    sink.detach(0);
    return 0;
}
