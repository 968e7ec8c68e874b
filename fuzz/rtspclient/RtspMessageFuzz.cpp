// What an RTSP server sends on the control connection, cut into arbitrary reads: responses,
// requests of the server and interleaved media frames go through the stream parser as the
// client reads them, and every header the client looks at is read back (CSeq, Session,
// Transport parameters, RTP-Info, Content-Base). Nothing may crash, read out of bounds,
// loop, or hand out a frame or a body that does not lie inside what was received.
//
// The first byte chooses the read size, so frames and messages split across reads are
// explored too.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "RtspMessage.h"

using namespace rtspclient;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t step = 1 + data[0] * 4u;
    ++data;
    --size;

    // The client's receive buffer: unparsed bytes stay at its front.
    std::vector<std::uint8_t> buffer;
    buffer.reserve(size);
    RtspStreamParser parser;
    RtspMessage message;
    std::string value;
    std::size_t at = 0;
    while (at < size) {
        const std::size_t n = step < size - at ? step : size - at;
        buffer.insert(buffer.end(), data + at, data + at + n);
        at += n;
        std::size_t start = 0;
        while (start < buffer.size()) {
            std::size_t consumed = 0;
            RtspStreamParser::Frame frame;
            const auto result = parser.parse(buffer.data() + start, buffer.size() - start, consumed, message, frame);
            if (result == RtspStreamParser::Result::NeedMore) break;
            if (result == RtspStreamParser::Result::Error) return 0;  // the client closes here
            if (consumed == 0 || consumed > buffer.size() - start) std::abort();
            if (result == RtspStreamParser::Result::Interleaved) {
                const std::uint8_t* end = buffer.data() + start + consumed;
                if (frame.data < buffer.data() + start || frame.data + frame.size > end) std::abort();
                volatile std::uint8_t sum = 0;
                for (std::size_t i = 0; i < frame.size; ++i) sum = sum + frame.data[i];
            } else {
                (void)message.cseq();
                for (const char* name : {"Session", "Transport", "Public", "Content-Base", "Content-Location"})
                    if (const std::string* h = message.header(name))
                        for (const char* p : {"timeout", "interleaved", "server_port", "client_port", "ssrc"})
                            findParameter(*h, p, value);
                if (const std::string* info = message.header("RTP-Info")) {
                    for (const RtpInfoEntry& e : parseRtpInfo(*info))
                        if (e.url.empty()) std::abort();
                }
            }
            start += consumed;
        }
        buffer.erase(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(start));
    }
    return 0;
}
