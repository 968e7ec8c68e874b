#pragma once
// RTSP messages as they arrive on the control connection, mixed with interleaved
// binary frames ('$', channel, 16-bit length, data).

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace rtspclient {

struct RtspMessage {
    bool isResponse = false;
    int status = 0;          // responses
    std::string reason;      // responses
    std::string method;      // requests from the server
    std::string uri;         // requests from the server
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;

    void clear();
    // First header of that name (case-insensitive), or null.
    const std::string* header(const char* name) const;
    // CSeq as a number, -1 when absent or not a number.
    long cseq() const;
};

class RtspStreamParser {
public:
    enum class Result { NeedMore, Message, Interleaved, Error };

    // Largest header block and body accepted from a server.
    static constexpr std::size_t kMaxHeaderBytes = 32 * 1024;
    static constexpr std::size_t kMaxBodyBytes = 512 * 1024;

    struct Frame {
        std::uint8_t channel = 0;
        const std::uint8_t* data = nullptr;
        std::size_t size = 0;
    };

    // Looks at what starts at data. On Message or Interleaved, consumed tells how many
    // bytes it took; on Error, error() says why (the connection cannot be trusted any more).
    // After NeedMore, call it again with the same bytes and what arrived since.
    Result parse(const std::uint8_t* data, std::size_t size, std::size_t& consumed, RtspMessage& message,
                 Frame& frame);
    const std::string& error() const { return error_; }

private:
    std::string error_;
    std::size_t scanned_ = 0;  // bytes of the pending message that hold no header end
    std::size_t needed_ = 0;   // size of the pending message once its header block is known
};

// Splits "a;b=c;d" style values and finds one parameter; false when absent.
bool findParameter(const std::string& value, const char* name, std::string& out);

// One stream of an RTP-Info header: "url=...;seq=...;rtptime=...".
struct RtpInfoEntry {
    std::string url;
    bool haveSequence = false;
    std::uint16_t sequence = 0;  // the first sequence number of the stream as played
};

// The streams of an RTP-Info value (entries separated by commas); entries without a url
// are left out.
std::vector<RtpInfoEntry> parseRtpInfo(const std::string& value);

}  // namespace rtspclient
