#pragma once
// Helpers shared by the H.264 tests: fixture loading, escaping and unit splitting.

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "stream/media/H264NalParser.h"

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

// A baseline 1920x1080 SPS record (frame_mbs_only, poc type 0, log2 sizes 4).
inline H264SeqParameterSet sps1080() {
    H264SeqParameterSet s;
    s.profile_idc = 66;
    s.level_idc = 40;
    s.pic_width_in_mbs_minus1 = 119;
    s.pic_height_in_map_units_minus1 = 67;
    s.frame_mbs_only_flag = 1;
    s.direct_8x8_inference_flag = 1;
    s.frame_cropping_flag = 1;
    s.frame_crop_bottom_offset = 4;
    s.max_num_ref_frames = 1;
    s.trailingBits[0] = 1;  // rbsp_stop_one_bit, then alignment zeros
    s.trailingBitCount = 1;
    return s;
}

inline Bytes ppsUnit(int ppsId, int spsId, int bottomFieldPicOrder = 0) {
    Bytes buf(16);
    H264BitWriter w(buf.data(), buf.size());
    w.u(8, 0x68);
    w.ue(static_cast<std::uint32_t>(ppsId));
    w.ue(static_cast<std::uint32_t>(spsId));
    w.u(1, 0);
    w.u(1, static_cast<std::uint32_t>(bottomFieldPicOrder));
    w.u(1, 1);
    buf.resize(w.bytesUsed());
    return escape(buf);
}

struct SliceFields {
    int type = 1;
    int refIdc = 2;
    int firstMb = 0;
    int ppsId = 0;
    int frameNum = 0;
    int idrPicId = 0;
    int pocLsb = 0;
};

// A slice header for an SPS with frame_mbs_only 1, poc type 0 and log2 sizes of 4.
inline Bytes sliceUnit(const SliceFields& f) {
    Bytes buf(32);
    H264BitWriter w(buf.data(), buf.size());
    w.u(8, static_cast<std::uint32_t>((f.refIdc << 5) | f.type));
    w.ue(static_cast<std::uint32_t>(f.firstMb));
    w.ue(f.type == 5 ? 7u : 5u);
    w.ue(static_cast<std::uint32_t>(f.ppsId));
    w.u(4, static_cast<std::uint32_t>(f.frameNum));
    if (f.type == 5) w.ue(static_cast<std::uint32_t>(f.idrPicId));
    w.u(4, static_cast<std::uint32_t>(f.pocLsb));
    w.u(8, 0xA5);  // some slice data
    buf.resize(w.bytesUsed());
    return escape(buf);
}

}  // namespace h264test
