#pragma once
// RTP headers and the few RTCP packets a receiver reads and writes.

#include <cstddef>
#include <cstdint>

namespace rtspclient {

struct RtpHeader {
    std::uint8_t payloadType = 0;
    bool marker = false;
    std::uint16_t sequence = 0;
    std::uint32_t timestamp = 0;
    std::uint32_t ssrc = 0;
    std::uint32_t payloadOffset = 0;  // from the start of the packet
    std::uint32_t payloadSize = 0;    // padding removed
};

// Checks version 2, skips CSRCs and the header extension, strips padding. False when the
// packet is shorter than its header says or its padding does not fit.
bool parseRtpHeader(const std::uint8_t* data, std::size_t size, RtpHeader& out);

struct RtcpInfo {
    bool bye = false;
    bool haveSenderReport = false;
    std::uint32_t senderSsrc = 0;
    std::uint32_t ntpMiddle = 0;  // middle 32 bits of the sender report's NTP time
};

// Walks a compound RTCP packet. False when the first packet is not RTCP at all; packets
// whose lengths do not fit end the walk.
bool parseRtcp(const std::uint8_t* data, std::size_t size, RtcpInfo& out);

struct ReceiverReport {
    std::uint32_t ourSsrc = 0;
    std::uint32_t sourceSsrc = 0;
    std::uint8_t fractionLost = 0;
    std::int32_t cumulativeLost = 0;  // clamped to 24 bits
    std::uint32_t extendedHighestSeq = 0;
    std::uint32_t jitter = 0;         // timestamp units
    std::uint32_t lastSr = 0;
    std::uint32_t delaySinceLastSr = 0;  // 1/65536 s
    bool haveSource = false;
};

// Writes RR (with one report block when a source is known) + SDES CNAME. Returns the
// size written, 0 when the buffer is too small.
std::size_t buildReceiverReport(const ReceiverReport& rr, const char* cname, std::uint8_t* out, std::size_t capacity);

}  // namespace rtspclient
