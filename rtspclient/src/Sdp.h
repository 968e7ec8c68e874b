#pragma once
// The parts of a session description that receiving needs.

#include <cstdint>
#include <string>
#include <vector>

namespace rtspclient {

struct SdpMedia {
    std::string media;        // "video", "audio", ...
    std::string protocol;     // "RTP/AVP", ...
    int payloadType = -1;     // the first format of the m= line
    std::string codec;        // encoding name as written (rtpmap), or the static one
    std::uint32_t clockRate = 0;
    int channels = 0;
    std::string fmtp;         // parameters of the chosen payload type
    std::string control;      // a=control of the media, may be empty
};

struct SdpSession {
    std::string control;      // session-level a=control, may be empty
    std::vector<SdpMedia> media;
};

// Parses an SDP text. Lines that do not matter are skipped; false with a reason only
// when the text is not a session description at all.
bool parseSdp(const std::string& text, SdpSession& out, std::string& error);

// The static RTP/AVP payload types that have a fixed name and clock.
bool staticPayloadType(int pt, std::string& name, std::uint32_t& clockRate, int& channels);

}  // namespace rtspclient
