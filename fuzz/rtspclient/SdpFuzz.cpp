// A session description as a server may send it in its DESCRIBE answer, through what the
// client does with it: the media and their codecs, the control URLs resolved against the
// base, the fmtp parameters and the parameter sets decoded from base64.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "H264Depacketizer.h"
#include "RtspMessage.h"
#include "RtspUrl.h"
#include "Sdp.h"

using namespace rtspclient;

namespace {

// Reads every byte of a unit, its prefix and the padding behind it included.
struct ReadingOutput : H264Depacketizer::Output {
    void unit(std::uint8_t* data, std::uint32_t size, std::vector<std::uint16_t>&, bool) override {
        volatile std::uint8_t sum = 0;
        for (std::size_t i = 0; i < size + H264Depacketizer::kPadding; ++i) sum = sum + data[i];
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    SdpSession sdp;
    std::string error;
    if (!parseSdp(text, sdp, error)) {
        if (error.empty()) std::abort();  // a refusal always says why
        return 0;
    }
    const std::string base = "rtsp://127.0.0.1:554/stream";
    (void)resolveControlUrl(base, sdp.control);
    std::string value;
    for (const SdpMedia& m : sdp.media) {
        (void)resolveControlUrl(base, m.control);
        std::string name;
        std::uint32_t clock = 0;
        int channels = 0;
        staticPayloadType(m.payloadType, name, clock, channels);
        if (findParameter(m.fmtp, "sprop-parameter-sets", value)) {
            H264Depacketizer depacketizer(4);
            ReadingOutput out;
            depacketizer.deliverParameterSets(value, out);
        }
        findParameter(m.fmtp, "packetization-mode", value);
    }
    return 0;
}
