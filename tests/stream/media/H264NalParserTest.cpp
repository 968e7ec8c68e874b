#include "TestSupport.h"
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <iterator>
#include <random>
#include <string>

#include "H264TestUtil.h"
#include "stream/media/H264NalParser.h"

using h264test::Bytes;
using h264test::ppsUnit;
using h264test::SliceFields;
using h264test::sliceUnit;
using h264test::sps1080;

namespace {

using testsupport::thrownText;

void feed(H264NalParser& p, const Bytes& unit) {
    const Bytes b = h264test::withStartCode(unit);
    p.parseNal(b.data(), static_cast<int>(b.size()), false);
}

// The reference definition of the start-code search, byte by byte.
int naiveFindNextStartCode(const std::uint8_t* d, int length) {
    if (length < 3) return length;
    for (int i = 2; i < length - 2; ++i) {
        if (i < length - 3 && d[i] == 0 && d[i + 1] == 0 && d[i + 2] == 0 && d[i + 3] == 1) return i;
        if (d[i] == 0 && d[i + 1] == 0 && d[i + 2] == 1) return i;
    }
    return length;
}

}  // namespace

TEST(H264BitReader, ExpGolombCodes) {
    struct Case {
        const char* bits;
        bool isSigned;
        long long value;
    } cases[] = {
        {"1", false, 0},     {"010", false, 1},  {"011", false, 2},   {"00100", false, 3},
        {"00111", false, 6}, {"1", true, 0},     {"010", true, 1},    {"011", true, -1},
        {"00100", true, 2},  {"00101", true, -2}, {"0001000", true, 4},
    };
    for (const Case& c : cases) {
        Bytes buf(8);
        for (std::size_t i = 0; c.bits[i]; ++i)
            if (c.bits[i] == '1') buf[i / 8] |= static_cast<std::uint8_t>(0x80u >> (i % 8));
        buf[7] = 0xFF;
        H264BitReader r(buf.data(), static_cast<int>(buf.size()));
        const long long got = c.isSigned ? r.se() : static_cast<long long>(r.ue());
        EXPECT_EQ(got, c.value) << c.bits;

        Bytes out(8);
        H264BitWriter w(out.data(), out.size());
        if (c.isSigned)
            w.se(static_cast<std::int32_t>(c.value));
        else
            w.ue(static_cast<std::uint32_t>(c.value));
        EXPECT_EQ(w.bytesUsed(), 1u) << c.bits;
        EXPECT_EQ(std::memcmp(out.data(), buf.data(), (std::strlen(c.bits) + 7) / 8), 0) << c.bits;
    }
}

TEST(H264BitReader, ReadsWideFieldsWithPendingBits) {
    const Bytes buf = {0xA5, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xFF};
    H264BitReader r(buf.data(), static_cast<int>(buf.size()));
    EXPECT_EQ(r.u(1), 1u);
    EXPECT_EQ(r.u(0), 0u);
    EXPECT_EQ(r.u(32), 0x4A2468ACu);  // bits 1..32 of A5 12 34 56 78
    EXPECT_EQ(r.u(7), 0x78u & 0x7Fu);
    EXPECT_EQ(r.u(16), 0x9AFFu);
    EXPECT_EQ(thrownText([&] { r.u(1); }), "end of data");
    EXPECT_EQ(thrownText([&] { r.u(33); }), "bitbuffer overflow");
}

TEST(H264BitReader, EmulationPreventionAndStartCodes) {
    {
        const Bytes buf = {0x00, 0x00, 0x03, 0x01, 0x00, 0x00, 0x03, 0x00, 0x00, 0x03, 0x02};
        H264BitReader r(buf.data(), static_cast<int>(buf.size()));
        EXPECT_EQ(r.u(24), 0x000001u);
        EXPECT_EQ(r.u(32), 0x00000000u);
        EXPECT_EQ(r.u(8), 0x02u);
    }
    {
        const Bytes buf = {0x11, 0x00, 0x00, 0x01, 0x22};
        H264BitReader r(buf.data(), static_cast<int>(buf.size()));
        EXPECT_EQ(r.u(8), 0x11u);
        EXPECT_EQ(thrownText([&] { r.u(24); }), "end of data");
    }
    {
        const Bytes buf = {0x00, 0x00, 0x03};
        H264BitReader r(buf.data(), static_cast<int>(buf.size()));
        EXPECT_EQ(thrownText([&] { r.u(24); }), "end of data");
    }
    {
        const Bytes buf(40, 0x00);
        H264BitReader r(buf.data(), static_cast<int>(buf.size()));
        EXPECT_EQ(thrownText([&] { r.ue(); }), "end of data");  // a fourth zero byte in a row
    }
    {
        // 32 zero bits and more, escaped so that no start code appears
        const Bytes buf = {0x00, 0x00, 0x03, 0x00, 0x00, 0x03, 0x00, 0x00, 0x03, 0x00, 0x00, 0x80};
        H264BitReader r(buf.data(), static_cast<int>(buf.size()));
        EXPECT_EQ(thrownText([&] { r.ue(); }), "overflow ue");
    }
}

TEST(H264BitWriter, Limits) {
    Bytes buf(2);
    H264BitWriter w(buf.data(), buf.size());
    EXPECT_EQ(thrownText([&] { w.u(33, 0); }), "Error, value overflow");
    w.u(16, 0xBEEF);
    EXPECT_EQ(buf, (Bytes{0xBE, 0xEF}));
    EXPECT_EQ(thrownText([&] { w.u(1, 1); }), "buffer overflow");

    Bytes big(16);
    H264BitWriter w2(big.data(), big.size());
    w2.ue(0xFFFFFFFEu);
    w2.se(-2147483647);
    const Bytes escaped = h264test::escape(big);
    H264BitReader r(escaped.data(), static_cast<int>(escaped.size()));
    EXPECT_EQ(r.ue(), 0xFFFFFFFEu);
    EXPECT_EQ(r.se(), -2147483647);
}

TEST(H264NalParser, FindNextStartCodeMatchesReference) {
    std::mt19937 rng(7);
    for (int iter = 0; iter < 20000; ++iter) {
        Bytes b(rng() % 24);
        for (auto& x : b) {
            const unsigned v = rng() % 4;
            x = static_cast<std::uint8_t>(v == 3 ? rng() : (v == 2 ? 1 : 0));
        }
        const int len = static_cast<int>(b.size());
        ASSERT_EQ(findNextStartCode(b.data(), len), naiveFindNextStartCode(b.data(), len));
    }
    const Bytes two = {0, 0, 1, 0x67, 0x42, 0, 0, 0, 1, 0x68};
    EXPECT_EQ(findNextStartCode(two.data(), 10), 5);
    EXPECT_EQ(startCodeLength(two.data()), 3);
    EXPECT_EQ(startCodeLength(two.data() + 5), 4);
    EXPECT_EQ(startCodeLength(two.data() + 3), 0);
}

TEST(H264NalParser, SplitsTwoUnitsAndGuardsShortBuffers) {
    H264NalParser p;
    Bytes stream = h264test::withStartCode(h264test::spsUnit(sps1080()), 3);
    const int second = static_cast<int>(stream.size());
    const Bytes pps = h264test::withStartCode(ppsUnit(0, 0), 4);
    stream.insert(stream.end(), pps.begin(), pps.end());
    EXPECT_EQ(p.parseNal(stream.data(), static_cast<int>(stream.size()), false), second);
    EXPECT_EQ(p.lastNalType(), 7);
    EXPECT_TRUE(p.parameterSets().sps(0).valid);
    EXPECT_EQ(p.parseNal(stream.data() + second, static_cast<int>(stream.size()) - second, false),
              static_cast<int>(pps.size()));
    EXPECT_EQ(p.lastNalType(), 8);
    EXPECT_TRUE(p.parameterSets().pps(0).valid);
    EXPECT_EQ(p.parameterSets().lastPpsBytes(), Bytes(pps.begin() + 4, pps.end()));

    // A start code at the very end, without a header byte, is a unit of its own that is
    // not looked at; shorter buffers and null are refused.
    const Bytes tail = {0, 0, 0, 1};
    EXPECT_EQ(p.parseNal(tail.data(), 4, false), 4);
    EXPECT_EQ(p.lastNalType(), 8);
    EXPECT_EQ(p.parseNal(tail.data(), 3, false), 0);
    EXPECT_EQ(p.parseNal(nullptr, 100, false), 0);
    const Bytes noStart = {0x11, 0x22, 0x33, 0x44, 0x55};
    EXPECT_EQ(p.parseNal(noStart.data(), 5, false), 5);
    EXPECT_EQ(p.lastNalType(), 8);
}

TEST(H264NalParser, UnknownTypesPassSilently) {
    // Access unit delimiters come with every picture of many encoders: nothing may reach
    // standard output for them, nor for filler or other units the reader does not keep.
    H264NalParser p;
    for (int type : {9, 12, 0, 3}) {
        const Bytes unit = h264test::withStartCode({static_cast<std::uint8_t>(type), 0xF0});
        testing::internal::CaptureStdout();
        p.parseNal(unit.data(), static_cast<int>(unit.size()), false);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "type " << type;
        EXPECT_EQ(p.lastNalType(), type);
        EXPECT_EQ(p.lastSlice(), nullptr);
        EXPECT_FALSE(p.lastUnitWasSlice());
    }
    // With typeOnly nothing is parsed or printed.
    const Bytes sps = h264test::withStartCode(h264test::spsUnit(sps1080()));
    testing::internal::CaptureStdout();
    p.parseNal(sps.data(), static_cast<int>(sps.size()), true);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(p.lastNalType(), 7);
    EXPECT_FALSE(p.parameterSets().sps(0).valid);
}

TEST(H264SeqParameterSet, RealX264SpsParsesAndWritesBack) {
    const auto units = h264test::splitUnits(h264test::x264Fixture());
    ASSERT_FALSE(units.empty());
    const Bytes& sps = units[0];
    ASSERT_EQ(sps[0] & 0x1F, 7);

    int w = 0, h = 0;
    ASSERT_TRUE(parseSpsResolution(sps.data(), static_cast<int>(sps.size()), w, h));
    EXPECT_EQ(w, 176);
    EXPECT_EQ(h, 136);

    H264NalParser p;
    for (const Bytes& u : units) feed(p, u);
    const H264SeqParameterSet* active = p.parameterSets().activeSps();
    ASSERT_NE(active, nullptr);
    EXPECT_EQ(active->profile_idc, 100);
    EXPECT_EQ(active->chroma_format_idc, 1);
    EXPECT_EQ(active->num_units_in_tick, 1u);
    EXPECT_EQ(active->time_scale, 60u);
    EXPECT_EQ(p.parameterSets().frameRate(), 30);

    // Written back it is the unit's RBSP bit for bit; escaped again, the unit itself.
    Bytes out(1024);
    out.resize(active->write(out.data(), out.size()));
    EXPECT_EQ(out, h264test::unescape(sps));
    EXPECT_EQ(h264test::escape(out), sps);
}

TEST(H264SeqParameterSet, FieldsRoundTripThroughWriter) {
    struct Case {
        const char* name;
        std::function<void(H264SeqParameterSet&)> edit;
    } cases[] = {
        {"baseline 1080p", [](H264SeqParameterSet&) {}},
        {"vui timing and restriction",
         [](H264SeqParameterSet& s) {
             s.vui_parameters_present_flag = 1;
             s.aspect_ratio_info_present_flag = 1;
             s.aspect_ratio_idc = 255;
             s.sar_width = 4;
             s.sar_height = 3;
             s.timing_info_present_flag = 1;
             s.num_units_in_tick = 1001;
             s.time_scale = 60000;
             s.fixed_frame_rate_flag = 1;
             s.bitstream_restriction_flag = 1;
             s.motion_vectors_over_pic_boundaries_flag = 1;
             s.max_bytes_per_pic_denom = 2;
             s.max_bits_per_mb_denom = 1;
             s.log2_max_mv_length_horizontal = 15;
             s.log2_max_mv_length_vertical = 14;
             s.max_num_reorder_frames = 3;
             s.max_dec_frame_buffering = 4;
         }},
        {"hrd and poc type 1",
         [](H264SeqParameterSet& s) {
             s.pic_order_cnt_type = 1;
             s.offset_for_non_ref_pic = -3;
             s.num_ref_frames_in_pic_order_cnt_cycle = 2;
             s.offset_for_ref_frame = {5, -6};
             s.vui_parameters_present_flag = 1;
             s.nal_hrd_parameters_present_flag = 1;
             s.cpb_cnt_minus1 = 1;
             s.bit_rate_scale = 4;
             s.hrdEntries = {{1000, 2000, 1}, {3000, 4000, 0}};
             s.cpb_removal_delay_length = 20;
             s.dpb_output_delay_length = 21;
             s.time_offset_length = 24;
             s.pic_struct_present_flag = 1;
         }},
        {"high profile with scaling lists",
         [](H264SeqParameterSet& s) {
             s.profile_idc = 100;
             s.chroma_format_idc = 1;
             s.seq_scaling_matrix_present_flag = 1;
             s.scalingLists.resize(8);
             s.scalingLists[0] = {1, {3, -11}};  // ends early: nextScale reaches 0
             s.scalingLists[6].seq_scaling_list_present_flag = 1;
             s.scalingLists[6].delta_scale.assign(64, 1);
         }},
        {"4:4:4 with twelve lists",
         [](H264SeqParameterSet& s) {
             s.profile_idc = 244;
             s.chroma_format_idc = 3;
             s.separate_colour_plane_flag = 0;
             s.bit_depth_luma_minus8 = 2;
             s.seq_scaling_matrix_present_flag = 1;
             s.scalingLists.resize(12);
             s.scalingLists[11] = {1, {-8}};
         }},
    };
    for (const Case& c : cases) {
        H264SeqParameterSet in = sps1080();
        c.edit(in);
        const Bytes unit = h264test::spsUnit(in);
        H264NalParser p;
        feed(p, unit);
        const H264SeqParameterSet& out = p.parameterSets().sps(0);
        ASSERT_TRUE(out.valid) << c.name;
        EXPECT_EQ(out.width(), 1920) << c.name;
        EXPECT_EQ(out.height(), 1080) << c.name;
        EXPECT_EQ(out.profile_idc, in.profile_idc) << c.name;
        EXPECT_EQ(out.chroma_format_idc, in.chroma_format_idc) << c.name;
        EXPECT_EQ(out.bit_depth_luma_minus8, in.bit_depth_luma_minus8) << c.name;
        EXPECT_EQ(out.num_units_in_tick, in.num_units_in_tick) << c.name;
        EXPECT_EQ(out.time_scale, in.time_scale) << c.name;
        EXPECT_EQ(out.max_dec_frame_buffering, in.max_dec_frame_buffering) << c.name;
        EXPECT_EQ(out.log2_max_mv_length_vertical, in.log2_max_mv_length_vertical) << c.name;
        EXPECT_EQ(out.offset_for_ref_frame, in.offset_for_ref_frame) << c.name;
        EXPECT_EQ(out.hrdEntries.size(), in.hrdEntries.size()) << c.name;
        EXPECT_EQ(out.cpb_removal_delay_length, in.cpb_removal_delay_length) << c.name;
        EXPECT_EQ(out.pic_struct_present_flag, in.pic_struct_present_flag) << c.name;
        ASSERT_EQ(out.scalingLists.size(), in.scalingLists.size()) << c.name;
        for (std::size_t i = 0; i < in.scalingLists.size(); ++i)
            EXPECT_EQ(out.scalingLists[i].delta_scale, in.scalingLists[i].delta_scale) << c.name << " list " << i;
        Bytes again(4096);
        again.resize(out.write(again.data(), again.size()));
        EXPECT_EQ(h264test::escape(again), unit) << c.name;
    }
}

TEST(H264SeqParameterSet, ProfileWithoutChromaFieldsAndTrailingBits) {
    H264SeqParameterSet in = sps1080();  // profile 66
    in.chroma_format_idc = 3;            // must not be written or read
    const Bytes unit = h264test::spsUnit(in);
    H264NalParser p;
    feed(p, unit);
    const H264SeqParameterSet& out = p.parameterSets().sps(0);
    ASSERT_TRUE(out.valid);
    EXPECT_EQ(out.chroma_format_idc, 0);
    EXPECT_TRUE(out.scalingLists.empty());
    // rbsp_stop_one_bit followed by alignment zeros up to the end of the unit
    ASSERT_GE(out.trailingBitCount, 1u);
    EXPECT_EQ(out.trailingBits[0] & 1, 1);
    for (std::uint32_t k = 1; k < out.trailingBitCount; ++k) EXPECT_EQ((out.trailingBits[k / 8] >> (k % 8)) & 1, 0);
}

TEST(H264ParameterSets, RejectsOutOfRangeIds) {
    H264NalParser p;
    H264SeqParameterSet s = sps1080();
    s.seq_parameter_set_id = 40;
    feed(p, h264test::spsUnit(s));
    for (int i = 0; i < H264ParameterSets::kMaxSps; ++i) EXPECT_FALSE(p.parameterSets().sps(i).valid);
    EXPECT_TRUE(p.parameterSets().lastSpsBytes().empty());

    feed(p, h264test::spsUnit(sps1080()));
    feed(p, ppsUnit(300, 0));
    EXPECT_TRUE(p.parameterSets().lastPpsBytes().empty());
    feed(p, ppsUnit(0, 0));
    SliceFields idr;
    idr.type = 5;
    idr.refIdc = 3;
    feed(p, sliceUnit(idr));
    ASSERT_NE(p.lastSlice(), nullptr);
    EXPECT_TRUE(p.lastUnitWasSlice());
    const H264SliceInfo before = *p.lastSlice();

    // A slice whose header fails keeps the old record, and says that it is not its own.
    SliceFields bad = idr;
    bad.ppsId = 300;
    bad.frameNum = 3;
    feed(p, sliceUnit(bad));
    EXPECT_EQ(p.lastSlice()->frame_num, before.frame_num);
    EXPECT_EQ(p.lastSlice()->pic_parameter_set_id, 0);
    EXPECT_FALSE(p.lastUnitWasSlice());

    bad.ppsId = 7;  // in range, never defined
    feed(p, sliceUnit(bad));
    EXPECT_EQ(p.lastSlice()->frame_num, before.frame_num);
    EXPECT_FALSE(p.lastUnitWasSlice());
}

TEST(H264SliceInfo, NewPictureDetection) {
    H264NalParser p;
    feed(p, h264test::spsUnit(sps1080()));
    feed(p, ppsUnit(0, 0));
    struct Step {
        SliceFields f;
        bool newPicture;
    } steps[] = {
        {{5, 3, 0, 0, 0, 0, 0}, true},    // first slice
        {{5, 3, 60, 0, 0, 0, 0}, false},  // second slice of the same IDR picture
        {{5, 3, 0, 0, 0, 1, 0}, true},    // another IDR (idr_pic_id differs)
        {{1, 2, 0, 0, 1, 0, 2}, true},    // frame_num changes
        {{1, 3, 30, 0, 1, 0, 2}, false},  // nal_ref_idc both non-zero
        {{1, 0, 40, 0, 1, 0, 2}, true},   // nal_ref_idc becomes zero
        {{1, 0, 50, 0, 1, 0, 4}, true},   // pic_order_cnt_lsb changes
        {{5, 3, 0, 0, 1, 1, 4}, true},    // slice type 1 to IDR
    };
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        feed(p, sliceUnit(steps[i].f));
        ASSERT_NE(p.lastSlice(), nullptr);
        EXPECT_EQ(p.lastSlice()->newPicture, steps[i].newPicture) << "step " << i;
    }

    // The real stream: two slices per picture, twelve pictures.
    H264NalParser real;
    int pictures = 0, slices = 0;
    for (const Bytes& u : h264test::splitUnits(h264test::x264Fixture())) {
        feed(real, u);
        const int type = u[0] & 0x1F;
        if (type == 1 || type == 5) {
            ++slices;
            ASSERT_NE(real.lastSlice(), nullptr);
            if (real.lastSlice()->newPicture) ++pictures;
        }
    }
    EXPECT_EQ(slices, 24);
    EXPECT_EQ(pictures, 12);
}

TEST(H264ParameterSets, FrameRate) {
    struct Case {
        std::uint32_t units, scale;
        int picStructPresent, picStruct;
        int expected;
    } cases[] = {
        {1000, 60000, 0, 0, 30},  {1001, 60000, 0, 0, 30}, {1, 120, 0, 0, 60}, {0, 60000, 0, 0, -1},
        {1000, 60000, 1, -1, -1},  // pic_struct present but no pic_timing seen
        {1000, 60000, 1, 0, 30},  {1000, 60000, 1, 1, 60},  {1000, 60000, 1, 5, 20}, {1000, 60000, 1, 7, 15},
        {1000, 60000, 1, 8, 10},
    };
    for (const Case& c : cases) {
        H264SeqParameterSet s = sps1080();
        s.vui_parameters_present_flag = 1;
        s.timing_info_present_flag = 1;
        s.num_units_in_tick = c.units;
        s.time_scale = c.scale;
        s.pic_struct_present_flag = c.picStructPresent;
        H264NalParser p;
        feed(p, h264test::spsUnit(s));
        feed(p, ppsUnit(0, 0));
        EXPECT_EQ(p.parameterSets().frameRate(), -1);  // no slice yet
        feed(p, sliceUnit({5, 3, 0, 0, 0, 0, 0}));
        if (c.picStruct >= 0) {
            // SEI: buffering period (sps 0), then picture timing with pic_struct
            Bytes sei(16);
            H264BitWriter w(sei.data(), sei.size());
            w.u(8, 0x06);
            w.u(8, 0);
            w.u(8, 1);
            w.ue(0);
            w.u(7, 0);
            w.u(8, 1);
            w.u(8, 1);
            w.u(4, static_cast<std::uint32_t>(c.picStruct));
            w.u(4, 0);
            w.u(8, 0x80);
            sei.resize(w.bytesUsed());
            feed(p, sei);
        }
        EXPECT_EQ(p.parameterSets().frameRate(), c.expected) << c.units << "/" << c.scale << " ps " << c.picStruct;
    }
}

TEST(H264NalParser, CountsUnitsOfRealStream) {
    const Bytes stream = h264test::x264Fixture();
    EXPECT_EQ(countNalUnits(stream.data(), static_cast<int>(stream.size())), 29);  // 2 SPS, 2 PPS, 1 SEI, 24 slices
    // Stepping with typeOnly sees every type in order.
    H264NalParser p;
    int pos = 0, idr = 0;
    while (pos < static_cast<int>(stream.size())) {
        const int n = p.parseNal(stream.data() + pos, static_cast<int>(stream.size()) - pos, true);
        ASSERT_GT(n, 0);
        if (p.lastNalType() == 5) ++idr;
        pos += n;
    }
    EXPECT_EQ(idr, 4);
}
