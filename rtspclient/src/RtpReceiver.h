#pragma once
// The receiving half of one media subsession: RTP packets in arrival order go in, the
// sink gets media units in sequence order and reports of the packets that never came.
//
// Packets are received straight into buffers owned by the reorder window, a batch at a
// time, so a packet is never copied on its way to the sink unless it has to be
// reassembled or split.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "H264Depacketizer.h"
#include "Rtp.h"
#include "rtspclient/IRTSPSink.h"

namespace rtspclient {

struct RtpReceiverConfig {
    enum class Payload { H264, Whole };  // Whole: one RTP payload is one unit (Opus, ...)
    Payload payload = Payload::Whole;
    int payloadType = -1;                // -1: accept any
    std::uint32_t clockRate = 90000;
    bool audio = false;                  // losses reported once per lost packet (concealment)
    std::size_t reorderPackets = 64;     // power of two
    std::int64_t reorderDelayUs = 50000; // how long a gap may wait for its packets
    std::string spropParameterSets;      // H.264: delivered before the first unit
    std::size_t maxPacket = 65536;       // largest RTP packet accepted: the room of each buffer
};

struct RtpReceiverStats {
    std::uint64_t packets = 0;        // accepted RTP packets
    std::uint64_t units = 0;          // units handed to the sink
    std::uint64_t bytes = 0;          // payload bytes accepted
    std::uint64_t lost = 0;           // packets reported lost
    std::uint64_t duplicates = 0;     // dropped: already held or already delivered
    std::uint64_t late = 0;           // dropped: arrived after its gap expired
    std::uint64_t beforeStart = 0;    // dropped: sent before the stream as played began
    std::uint64_t malformed = 0;      // dropped: not RTP
    std::uint64_t otherPayload = 0;   // dropped: other payload type
    std::uint64_t sourceChanges = 0;
};

class RtpReceiver final : private H264Depacketizer::Output {
public:
    static constexpr std::size_t kHeadroom = 64;     // room for the sink's prefix
    static constexpr std::size_t kMaxPacket = 65536; // largest maxPacket a receiver takes
    static constexpr std::size_t kMaxPrefix = 32;
    static constexpr std::size_t kReceiveBatch = 16;  // packets one receive call may fill

    // sink may be null (counting only). The prefix is asked once, here.
    RtpReceiver(IRTSPSink* sink, const RtpReceiverConfig& config);
    ~RtpReceiver() override;
    RtpReceiver(const RtpReceiver&) = delete;
    RtpReceiver& operator=(const RtpReceiver&) = delete;

    // Where packet index (< kReceiveBatch) of the next batch must be written (maxPacket()
    // bytes available). Handling a packet of the batch leaves the others in place.
    std::uint8_t* receiveBuffer(std::size_t index = 0) {
        if (!spares_[index]) spares_[index] = makeBuffer();  // on first use: a stream that
        return spares_[index].get() + kHeadroom;              // never bursts needs few
    }
    // The packet of size bytes now in receiveBuffer(index) arrived at nowUs (monotonic).
    void onPacket(std::size_t size, std::int64_t nowUs, std::size_t index = 0);
    // Copies a packet in (interleaved transport) and handles it.
    void onPacket(const std::uint8_t* data, std::size_t size, std::int64_t nowUs);
    // Gives up on gaps that waited too long. Call when nextDeadlineUs() has passed.
    void onTimer(std::int64_t nowUs);
    // When onTimer wants to run next; INT64_MAX when nothing waits.
    std::int64_t nextDeadlineUs() const;

    // The first sequence number of the stream as the server plays it (the RTP-Info of its
    // PLAY answer). A stream joined mid-way may still bring a few packets sent before
    // that: they are dropped, and the numbers before the first packet taken from the
    // played stream are never counted as lost. May come before or after the first packet.
    void setFirstSequence(std::uint16_t sequence);

    // Delivery switch; safe from any thread. Resuming forgets half-received units.
    void setDelivering(bool on);
    bool delivering() const { return delivering_.load(std::memory_order_relaxed); }

    void onSenderReport(std::uint32_t ntpMiddle, std::int64_t nowUs);
    // Fills the receiver report block for the current source; false before any packet.
    bool fillReport(ReceiverReport& rr, std::int64_t nowUs);

    std::size_t maxPacket() const { return config_.maxPacket; }
    const RtpReceiverStats& stats() const { return stats_; }
    IRTSPSink* sink() const { return sink_; }

private:
    struct Slot {
        std::unique_ptr<std::uint8_t[]> buffer;
        RtpHeader header;
        std::int64_t arrivalUs = 0;
        bool used = false;
    };

    std::unique_ptr<std::uint8_t[]> makeBuffer() const;
    void unit(std::uint8_t* data, std::uint32_t size, std::vector<std::uint16_t>& sequenceNumbers,
              bool marker) override;
    void resetSource(std::uint32_t ssrc);
    void drain();
    void deliver(Slot& slot);
    void reportLoss(std::uint16_t nextSequence, std::uint16_t count, std::uint32_t timestamp);
    void skipGap();
    void updateOldest();
    void updateStats(const RtpHeader& h, std::int64_t nowUs);

    IRTSPSink* sink_;
    RtpReceiverConfig config_;
    int prefix_ = 0;
    std::atomic<bool> delivering_{true};
    std::atomic<bool> resumed_{false};
    bool deliveredParameterSets_ = false;

    std::vector<Slot> slots_;
    std::size_t mask_;
    std::unique_ptr<std::uint8_t[]> spares_[kReceiveBatch];  // not held by the window
    std::size_t held_ = 0;
    bool haveExpected_ = false;
    std::uint16_t expected_ = 0;
    bool haveStart_ = false;        // setFirstSequence was called for this source
    std::uint16_t start_ = 0;
    std::int64_t oldestHeldUs_ = 0;

    bool haveSource_ = false;
    std::uint32_t ssrc_ = 0;

    H264Depacketizer depacketizer_;
    RTSPPacketInfo info_;
    std::vector<std::uint16_t> sequences_;
    std::vector<RTSPLostRange> ranges_;
    std::uint32_t unitTimestamp_ = 0;

    // Reception statistics (RFC 3550 appendix A.1, A.3, A.8).
    std::uint32_t baseSeq_ = 0;
    std::uint32_t cycles_ = 0;
    std::uint16_t maxSeq_ = 0;
    std::uint64_t receivedForReport_ = 0;
    std::uint32_t expectedPrior_ = 0;
    std::uint64_t receivedPrior_ = 0;
    double jitter_ = 0;
    bool haveTransit_ = false;
    std::int64_t lastTransit_ = 0;
    std::uint32_t lastSr_ = 0;
    std::int64_t lastSrArrivalUs_ = 0;

    RtpReceiverStats stats_;
};

}  // namespace rtspclient
