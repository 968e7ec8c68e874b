// Fuzz target for the control channel's receive path: arbitrary bytes from the peer, cut
// into arbitrary reads, go through the frame reader and every complete body is parsed as a
// response, exactly as the transport does. Nothing may crash, read out of bounds or loop.
//
// The first byte of the input chooses the read size and the body limit, so the fuzzer also explores frames
// split across reads.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include <google/protobuf/stubs/logging.h>

#include "input-lib/InputClient.pb.h"
#include "stream/control/FrameReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Invalid UTF-8 in string fields makes protobuf log every time; that is expected here.
    static const bool quiet = (google::protobuf::SetLogHandler(nullptr), true);
    (void)quiet;
    if (size == 0) return 0;
    const std::size_t step = 1 + (data[0] & 0x3F);
    // A small body limit lets the fuzzer reach the over-limit path without huge inputs.
    const std::uint32_t limit = (data[0] & 0x40) ? 1024 : FrameHeader::kMaxBodyLength;
    ++data;
    --size;

    FrameReader reader(limit);
    InputClient::Response response;
    std::size_t at = 0;
    while (at < size) {
        std::size_t n = step < size - at ? step : size - at;
        if (n > reader.writableSize()) n = reader.writableSize();
        std::memcpy(reader.writePointer(), data + at, n);
        reader.commit(n);
        at += n;
        for (;;) {
            const std::uint8_t* body = nullptr;
            std::uint32_t length = 0;
            const FrameReader::Result r = reader.next(body, length);
            if (r == FrameReader::Result::NeedMore) break;
            if (r != FrameReader::Result::Frame) return 0;  // the transport closes here
            response.ParseFromArray(body, static_cast<int>(length));
            (void)response.type();
        }
    }
    return 0;
}
