// What arrives on a media subsession, through the client's receive path: RTP packets in
// batches as one receive call fills them (reordered, duplicated, from other sources or
// payload types, or not RTP at all), the reorder window's time-outs, the PLAY answer's
// first sequence number, pauses of the delivery, RTCP packets, and receiver reports.
// The sink reads every byte it is handed plus the padding behind it, which must be zero.
//
// Input: one configuration byte, then operations, each an opcode byte and its operands.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "H264Depacketizer.h"
#include "Rtp.h"
#include "RtpReceiver.h"

using namespace rtspclient;

namespace {

class ReadingSink : public IRTSPSink {
public:
    explicit ReadingSink(int prefix) : prefix_(prefix) {}
    void onLosses(const RTSPPacketInfo* report) override {
        if (!report || !report->sequenceNumbers || !report->lostRanges) std::abort();
        if (report->lostRanges->empty() || report->lostCount == 0) std::abort();
    }
    void onPacket(RTSPPacketInfo* p) override {
        if (!p->sequenceNumbers || !p->lostRanges) std::abort();
        if (p->size <= static_cast<std::uint32_t>(prefix_)) std::abort();  // never an empty unit
        for (int i = 0; i < prefix_; ++i) p->data[i] = 0;                 // the prefix is ours to write
        volatile std::uint8_t sum = 0;
        for (std::uint32_t i = prefix_; i < p->size; ++i) sum = sum + p->data[i];
        for (std::size_t i = 0; i < H264Depacketizer::kPadding; ++i)
            if (p->data[p->size + i] != 0) std::abort();
        p->lostRanges->push_back({1, 1});  // sinks append here
    }
    void detach(int) override {}
    int prefixSize() override { return prefix_; }

private:
    int prefix_;
};

struct Reader {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos = 0;
    bool has(std::size_t n) const { return size - pos >= n; }
    std::uint8_t byte() { return pos < size ? data[pos++] : 0; }
};

// Receive buffers of this size keep the receiver cheap to make for every input.
constexpr std::size_t kMaxPacket = 4096;

// An RTP packet from compact operands: sequence step, flags, payload length and bytes.
std::size_t buildPacket(Reader& in, std::uint16_t& sequence, std::uint8_t* out) {
    sequence = static_cast<std::uint16_t>(sequence + static_cast<std::int8_t>(in.byte()));
    const std::uint8_t flags = in.byte();
    std::size_t length = in.byte();
    if (flags & 0x40) length *= 16;  // large fragments now and then
    std::size_t n = 12;
    out[0] = 0x80;
    if (flags & 0x08) out[0] |= 0x20;  // padding: the last payload byte says how much
    if (flags & 0x10) out[0] |= 0x10;  // a header extension follows
    out[1] = static_cast<std::uint8_t>(((flags & 1) ? 0x80 : 0) | ((flags & 6) == 6 ? 0 : 96 + ((flags >> 1) & 3) / 2));
    out[2] = static_cast<std::uint8_t>(sequence >> 8);
    out[3] = static_cast<std::uint8_t>(sequence);
    const std::uint32_t ts = static_cast<std::uint32_t>(sequence) * 3000u;
    const std::uint32_t ssrc = (flags & 0x20) ? 0x55667788u : 0x11223344u;
    for (int i = 0; i < 4; ++i) out[4 + i] = static_cast<std::uint8_t>(ts >> (24 - 8 * i));
    for (int i = 0; i < 4; ++i) out[8 + i] = static_cast<std::uint8_t>(ssrc >> (24 - 8 * i));
    if (flags & 0x10) {
        const std::uint8_t words = in.byte() & 3;
        out[n++] = 0xbe;
        out[n++] = 0xde;
        out[n++] = 0;
        out[n++] = words;
        std::memset(out + n, 0x5a, words * 4u);
        n += words * 4u;
    }
    for (std::size_t i = 0; i < length && i + n < kMaxPacket; ++i) out[n + i] = in.byte();
    return n + (length < kMaxPacket - n ? length : kMaxPacket - n);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1 || size > 256 * 1024) return 0;
    Reader in{data, size};
    const std::uint8_t config = in.byte();
    RtpReceiverConfig c;
    c.payload = (config & 1) ? RtpReceiverConfig::Payload::H264 : RtpReceiverConfig::Payload::Whole;
    c.payloadType = (config & 2) ? 96 : -1;
    c.audio = (config & 4) != 0;
    c.reorderPackets = std::size_t{4} << ((config >> 3) & 3);
    c.reorderDelayUs = 50000;
    c.clockRate = (config & 0x20) ? 90000 : 0;
    if (config & 0x40) c.spropParameterSets = "Z0LAHtkA,aM4NyA==,,!!,AA==";
    c.maxPacket = kMaxPacket;
    ReadingSink sink(c.payload == RtpReceiverConfig::Payload::H264 ? 4 : (config & 0x80) ? 8 : 0);
    RtpReceiver receiver(&sink, c);

    std::uint16_t sequence = static_cast<std::uint16_t>(size * 977);
    std::int64_t now = 0;
    std::size_t sizes[RtpReceiver::kReceiveBatch];
    while (in.has(1)) {
        const std::uint8_t op = in.byte();
        switch (op % 8) {
            case 0:
            case 1:
            case 2: {  // a batch: every packet received first, then each handled
                const std::size_t count = 1 + (op >> 3) % RtpReceiver::kReceiveBatch;
                for (std::size_t i = 0; i < count; ++i) sizes[i] = buildPacket(in, sequence, receiver.receiveBuffer(i));
                for (std::size_t i = 0; i < count; ++i) receiver.onPacket(sizes[i], now, i);
                break;
            }
            case 3: {  // bytes as they are, through the interleaved path (some too long)
                std::size_t length = in.byte() * 17u;
                length = length < in.size - in.pos ? length : in.size - in.pos;
                receiver.onPacket(in.data + in.pos, length, now);
                in.pos += length;
                break;
            }
            case 4:  // time passes; the loop runs the window's time-out when due
                now += 1000 * static_cast<std::int64_t>(op >> 3) * 4;
                if (receiver.nextDeadlineUs() <= now) receiver.onTimer(now);
                break;
            case 5:  // the PLAY answer names where the stream starts
                receiver.setFirstSequence(static_cast<std::uint16_t>(sequence + static_cast<std::int8_t>(in.byte())));
                break;
            case 6:
                receiver.setDelivering(!receiver.delivering());
                break;
            case 7: {  // an RTCP packet, and the report we would send back
                std::size_t length = in.byte();
                length = length < in.size - in.pos ? length : in.size - in.pos;
                RtcpInfo info;
                if (parseRtcp(in.data + in.pos, length, info) && info.haveSenderReport)
                    receiver.onSenderReport(info.ntpMiddle, now);
                in.pos += length;
                ReceiverReport rr;
                std::uint8_t report[64];
                if (receiver.fillReport(rr, now)) buildReceiverReport(rr, "fuzz", report, sizeof report);
                break;
            }
        }
    }
    receiver.onTimer(now + 1000000);
    return 0;
}
