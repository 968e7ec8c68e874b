// Arbitrary bytes through the H.264 reader: NAL splitting, SPS/PPS/SEI/slice parsing,
// the SPS writer and the raw bit reader.
#include <cstdint>
#include <cstdio>
#include <vector>

#include "stream/media/H264NalParser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > (1u << 20)) return 0;
    const int length = static_cast<int>(size);
    // Unknown unit types print a line each; keep the fuzzer's output readable.
    static bool quiet = (std::freopen("/dev/null", "w", stdout) != nullptr);
    (void)quiet;

    H264NalParser parser;
    int pos = 0;
    while (pos < length) {
        const int n = parser.parseNal(data + pos, length - pos, false);
        if (n <= 0) break;
        pos += n;
    }
    countNalUnits(data, length);
    parser.parameterSets().frameRate();

    if (const H264SeqParameterSet* sps = parser.parameterSets().activeSps()) {
        std::vector<std::uint8_t> out(2048);
        try {
            sps->write(out.data(), out.size());
        } catch (const char*) {
        }
        (void)sps->width();
        (void)sps->height();
    }
    int w = 0, h = 0;
    parseSpsResolution(data, length, w, h);

    H264BitReader r(data, length);
    try {
        for (int i = 0; i < 64; ++i) {
            r.ue();
            r.se();
            r.u(i % 33);
        }
    } catch (const char*) {
    }
    return 0;
}
