#pragma once
// Helpers shared by the H.264 tests: fixture loading, escaping and unit splitting.

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "stream/H264NalParser.h"

namespace h264test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A 12-frame 176x136 x264 High-profile stream at 30 fps with two slices per picture,
// an IDR every 6 frames and SPS/PPS repeated before each IDR.
inline Bytes x264Fixture() {
    return readFile(std::string(NIMBROSTA_SOURCE_DIR) + "/tests/stream/data/x264_176x136_2slices.h264");
}

// Adds emulation prevention bytes (00 00 0x with x <= 3 becomes 00 00 03 0x).
inline Bytes escape(const Bytes& rbsp) {
    Bytes out;
    int zeros = 0;
    for (std::uint8_t b : rbsp) {
        if (zeros >= 2 && b <= 3) {
            out.push_back(3);
            zeros = 0;
        }
        out.push_back(b);
        zeros = (b == 0) ? zeros + 1 : 0;
    }
    return out;
}

// Removes emulation prevention bytes.
inline Bytes unescape(const Bytes& nal) {
    Bytes out;
    int zeros = 0;
    for (std::size_t i = 0; i < nal.size(); ++i) {
        const std::uint8_t b = nal[i];
        if (zeros >= 2 && b == 3) {
            zeros = 0;
            continue;
        }
        out.push_back(b);
        zeros = (b == 0) ? zeros + 1 : 0;
    }
    return out;
}

// The NAL units of an Annex B stream, each from its header byte on.
inline std::vector<Bytes> splitUnits(const Bytes& stream) {
    std::vector<Bytes> units;
    int pos = 0;
    const int len = static_cast<int>(stream.size());
    while (pos < len) {
        const int step = findNextStartCode(stream.data() + pos, len - pos);
        const int sc = (len - pos >= 3) ? startCodeLength(stream.data() + pos) : 0;
        if (sc && step > sc) units.emplace_back(stream.begin() + pos + sc, stream.begin() + pos + step);
        pos += step;
    }
    return units;
}

// An escaped SPS unit (header byte on) written from a parameter-set record.
inline Bytes spsUnit(const H264SeqParameterSet& sps) {
    Bytes buf(4096);
    buf.resize(sps.write(buf.data(), buf.size()));
    return escape(buf);
}

inline Bytes withStartCode(const Bytes& unit, int startCode = 4) {
    Bytes out(static_cast<std::size_t>(startCode - 1), 0);
    out.push_back(1);
    out.insert(out.end(), unit.begin(), unit.end());
    return out;
}

}  // namespace h264test
