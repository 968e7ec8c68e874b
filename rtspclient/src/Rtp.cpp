#include "Rtp.h"

#include <cstring>

namespace rtspclient {
namespace {

inline std::uint16_t rd16(const std::uint8_t* p) { return static_cast<std::uint16_t>((p[0] << 8) | p[1]); }
inline std::uint32_t rd32(const std::uint8_t* p) {
    return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
           (static_cast<std::uint32_t>(p[2]) << 8) | p[3];
}
inline void wr16(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 8);
    p[1] = static_cast<std::uint8_t>(v);
}
inline void wr32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}

}  // namespace

bool parseRtpHeader(const std::uint8_t* data, std::size_t size, RtpHeader& out) {
    if (size < 12 || (data[0] >> 6) != 2) return false;
    std::size_t offset = 12 + 4u * (data[0] & 0x0f);
    if (offset > size) return false;
    if (data[0] & 0x10) {
        if (offset + 4 > size) return false;
        offset += 4 + 4u * rd16(data + offset + 2);
        if (offset > size) return false;
    }
    std::size_t end = size;
    if (data[0] & 0x20) {
        const std::size_t padding = data[size - 1];
        if (padding == 0 || padding > end - offset) return false;
        end -= padding;
    }
    out.marker = (data[1] & 0x80) != 0;
    out.payloadType = data[1] & 0x7f;
    out.sequence = rd16(data + 2);
    out.timestamp = rd32(data + 4);
    out.ssrc = rd32(data + 8);
    out.payloadOffset = static_cast<std::uint32_t>(offset);
    out.payloadSize = static_cast<std::uint32_t>(end - offset);
    return true;
}

bool parseRtcp(const std::uint8_t* data, std::size_t size, RtcpInfo& out) {
    out = RtcpInfo();
    std::size_t pos = 0;
    bool first = true;
    while (pos + 4 <= size) {
        const std::uint8_t* p = data + pos;
        const std::uint8_t pt = p[1];
        if ((p[0] >> 6) != 2 || pt < 192 || pt > 223) return !first;
        const std::size_t len = 4u * (rd16(p + 2) + 1u);
        if (pos + len > size) return !first;
        if (pt == 200 && len >= 28) {  // SR: header, ssrc, ntp (8), rtp ts, counts
            out.haveSenderReport = true;
            out.senderSsrc = rd32(p + 4);
            out.ntpMiddle = (rd32(p + 8) << 16) | (rd32(p + 12) >> 16);
        } else if (pt == 203) {
            out.bye = true;
        }
        first = false;
        pos += len;
    }
    return !first;
}

std::size_t buildReceiverReport(const ReceiverReport& rr, const char* cname, std::uint8_t* out, std::size_t capacity) {
    const std::size_t cnameLen = cname ? std::strlen(cname) > 255 ? 255 : std::strlen(cname) : 0;
    const std::size_t rrLen = rr.haveSource ? 32 : 8;
    // SDES: header 4, ssrc 4, item type+len 2, text, end marker, padded to 4.
    const std::size_t sdesLen = (4 + 4 + 2 + cnameLen + 1 + 3) & ~static_cast<std::size_t>(3);
    if (rrLen + sdesLen > capacity) return 0;
    std::memset(out, 0, rrLen + sdesLen);
    out[0] = static_cast<std::uint8_t>(0x80 | (rr.haveSource ? 1 : 0));
    out[1] = 201;
    wr16(out + 2, static_cast<std::uint32_t>(rrLen / 4 - 1));
    wr32(out + 4, rr.ourSsrc);
    if (rr.haveSource) {
        std::uint8_t* b = out + 8;
        wr32(b, rr.sourceSsrc);
        std::int32_t lost = rr.cumulativeLost;
        if (lost > 0x7fffff) lost = 0x7fffff;
        if (lost < -0x800000) lost = -0x800000;
        wr32(b + 4, (static_cast<std::uint32_t>(rr.fractionLost) << 24) | (static_cast<std::uint32_t>(lost) & 0xffffff));
        wr32(b + 8, rr.extendedHighestSeq);
        wr32(b + 12, rr.jitter);
        wr32(b + 16, rr.lastSr);
        wr32(b + 20, rr.delaySinceLastSr);
    }
    std::uint8_t* s = out + rrLen;
    s[0] = 0x81;
    s[1] = 202;
    wr16(s + 2, static_cast<std::uint32_t>(sdesLen / 4 - 1));
    wr32(s + 4, rr.ourSsrc);
    s[8] = 1;  // CNAME
    s[9] = static_cast<std::uint8_t>(cnameLen);
    if (cnameLen) std::memcpy(s + 10, cname, cnameLen);
    return rrLen + sdesLen;
}

}  // namespace rtspclient
