#include "stream/media/H264NalParser.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

constexpr const char* kEndOfData = "end of data";

}  // namespace

// ---------------------------------------------------------------------------------------
// H264BitReader

void H264BitReader::fetchByte() {
    if (bytesLeft_ <= 0) throw kEndOfData;
    std::uint8_t c = *position_;
    if (c == 0x00) {
        if (zeroRun_ >= 3) throw kEndOfData;
        ++zeroRun_;
    } else {
        if (zeroRun_ >= 2) {
            if (c == 0x01) throw kEndOfData;  // a start code: the unit has ended
            if (c == 0x03) {
                // Emulation prevention byte: skip it and take the next byte as it is.
                if (bytesLeft_ < 2) throw kEndOfData;
                ++position_;
                --bytesLeft_;
                c = *position_;
                zeroRun_ = (c == 0x00) ? 1 : 0;
                cache_ = (cache_ << 8) | c;
                bitsInCache_ += 8;
                ++position_;
                --bytesLeft_;
                return;
            }
        }
        zeroRun_ = 0;
    }
    cache_ = (cache_ << 8) | c;
    bitsInCache_ += 8;
    ++position_;
    --bytesLeft_;
}

std::uint32_t H264BitReader::u(int n) {
    if (n < 0 || n > 32) throw "bitbuffer overflow";
    if (n == 0) return 0;
    while (bitsInCache_ < n) fetchByte();
    bitsInCache_ -= n;
    const std::uint64_t mask = (n == 32) ? 0xFFFFFFFFull : ((1ull << n) - 1);
    return static_cast<std::uint32_t>((cache_ >> bitsInCache_) & mask);
}

std::uint32_t H264BitReader::ue() {
    int leadingZeros = 0;
    while (u(1) == 0) {
        if (++leadingZeros >= 32) throw "overflow ue";
    }
    if (leadingZeros == 0) return 0;
    return ((1u << leadingZeros) - 1u) + u(leadingZeros);
}

std::int32_t H264BitReader::se() {
    const std::uint32_t k = ue();
    if (k == 0xFFFFFFFFu) throw "overflow se";
    if (k & 1u) return static_cast<std::int32_t>((k + 1u) / 2u);
    return -static_cast<std::int32_t>(k / 2u);
}

// ---------------------------------------------------------------------------------------
// H264BitWriter

H264BitWriter::H264BitWriter(std::uint8_t* buffer, std::size_t capacity) : buffer_(buffer), capacity_(capacity) {
    if (buffer_ && capacity_) std::memset(buffer_, 0, capacity_);
}

void H264BitWriter::bit(unsigned b) {
    if (bytePosition_ >= capacity_) throw "buffer overflow";
    --bitsLeftInByte_;
    if (b) buffer_[bytePosition_] |= static_cast<std::uint8_t>(1u << bitsLeftInByte_);
    if (bitsLeftInByte_ == 0) {
        bitsLeftInByte_ = 8;
        ++bytePosition_;
    }
}

void H264BitWriter::u(int n, std::uint32_t value) {
    if (n < 0 || n > 32) throw "Error, value overflow";
    for (int i = n - 1; i >= 0; --i) bit((value >> i) & 1u);
}

void H264BitWriter::ue(std::uint32_t value) {
    const std::uint64_t v = static_cast<std::uint64_t>(value) + 1;
    int bits = 0;
    while ((v >> bits) != 0) ++bits;
    for (int i = 0; i < bits - 1; ++i) bit(0);
    for (int i = bits - 1; i >= 0; --i) bit(static_cast<unsigned>((v >> i) & 1u));
}

void H264BitWriter::se(std::int32_t value) {
    const std::int64_t v = value;
    if (v > 0)
        ue(static_cast<std::uint32_t>(2 * v - 1));
    else
        ue(static_cast<std::uint32_t>(-2 * v));
}

// ---------------------------------------------------------------------------------------
// H264SeqParameterSet

bool H264SeqParameterSet::hasChromaFormatFields(int profileIdc) {
    switch (profileIdc) {
        case 100: case 110: case 122: case 244: case 44: case 83: case 86:
        case 118: case 128: case 138: case 139: case 134: case 135:
            return true;
        default:
            return false;
    }
}

void H264SeqParameterSet::storeTrailingBit(unsigned bit) {
    if (trailingBitCount >= kTrailingCapacity * 8) throw "buffer overflow";
    if (bit) trailingBits[trailingBitCount / 8] |= static_cast<std::uint8_t>(1u << (trailingBitCount % 8));
    ++trailingBitCount;
}

void H264SeqParameterSet::parseHrd(H264BitReader& r) {
    cpb_cnt_minus1 = static_cast<std::int32_t>(r.ue());
    // cpb_cnt_minus1 is 0..31 in a valid stream; larger counts would only make the
    // reader loop until the data runs out.
    if (cpb_cnt_minus1 < 0 || cpb_cnt_minus1 > 31) throw "end of data";
    bit_rate_scale = static_cast<std::int32_t>(r.u(4));
    cpb_size_scale = static_cast<std::int32_t>(r.u(4));
    for (int i = 0; i <= cpb_cnt_minus1; ++i) {
        H264HrdEntry e;
        e.bit_rate_value_minus1 = static_cast<std::int32_t>(r.ue());
        e.cpb_size_value_minus1 = static_cast<std::int32_t>(r.ue());
        e.cbr_flag = static_cast<std::int32_t>(r.u(1));
        hrdEntries.push_back(e);
    }
    initial_cpb_removal_delay_length_minus1 = static_cast<std::int32_t>(r.u(5));
    cpb_removal_delay_length = static_cast<std::int32_t>(r.u(5)) + 1;
    dpb_output_delay_length = static_cast<std::int32_t>(r.u(5)) + 1;
    time_offset_length = static_cast<std::int32_t>(r.u(5));
}

int H264SeqParameterSet::parse(H264BitReader& r) {
    const std::uint8_t* start = r.position();
    profile_idc = static_cast<std::int32_t>(r.u(8));
    for (auto& f : constraint_set_flags) f = static_cast<std::int32_t>(r.u(1));
    reserved_zero_2bits = static_cast<std::int32_t>(r.u(2));
    level_idc = static_cast<std::int32_t>(r.u(8));
    seq_parameter_set_id = static_cast<std::int32_t>(r.ue());

    if (hasChromaFormatFields(profile_idc)) {
        chroma_format_idc = static_cast<std::int32_t>(r.ue());
        if (chroma_format_idc == 3) separate_colour_plane_flag = static_cast<std::int32_t>(r.u(1));
        bit_depth_luma_minus8 = static_cast<std::int32_t>(r.ue());
        bit_depth_chroma_minus8 = static_cast<std::int32_t>(r.ue());
        qpprime_y_zero_transform_bypass_flag = static_cast<std::int32_t>(r.u(1));
        seq_scaling_matrix_present_flag = static_cast<std::int32_t>(r.u(1));
        if (seq_scaling_matrix_present_flag) {
            const int lists = (chroma_format_idc != 3) ? 8 : 12;
            for (int i = 0; i < lists; ++i) {
                H264ScalingList list;
                list.seq_scaling_list_present_flag = static_cast<std::int32_t>(r.u(1));
                if (list.seq_scaling_list_present_flag) {
                    const int size = (i < 6) ? 16 : 64;
                    int lastScale = 8, nextScale = 8;
                    for (int j = 0; j < size; ++j) {
                        if (nextScale != 0) {
                            const std::int32_t delta = r.se();
                            list.delta_scale.push_back(delta);
                            nextScale = static_cast<int>((static_cast<std::int64_t>(lastScale) + delta + 256) % 256);
                        }
                        if (nextScale != 0) lastScale = nextScale;
                    }
                }
                scalingLists.push_back(std::move(list));
            }
        }
    }

    log2_max_frame_num = static_cast<std::int32_t>(r.ue() + 4u);
    pic_order_cnt_type = static_cast<std::int32_t>(r.ue());
    if (pic_order_cnt_type == 0) {
        log2_max_pic_order_cnt_lsb = static_cast<std::int32_t>(r.ue() + 4u);
    } else if (pic_order_cnt_type == 1) {
        delta_pic_order_always_zero_flag = static_cast<std::int32_t>(r.u(1));
        offset_for_non_ref_pic = r.se();
        offset_for_top_to_bottom_field = r.se();
        num_ref_frames_in_pic_order_cnt_cycle = static_cast<std::int32_t>(r.ue());
        // At most 255 in a valid stream; each entry takes at least one bit, so a larger
        // count runs out of data anyway. Refuse it before it can grow the vector.
        if (num_ref_frames_in_pic_order_cnt_cycle < 0 || num_ref_frames_in_pic_order_cnt_cycle > 255)
            throw "end of data";
        for (int i = 0; i < num_ref_frames_in_pic_order_cnt_cycle; ++i) offset_for_ref_frame.push_back(r.se());
    }

    max_num_ref_frames = static_cast<std::int32_t>(r.ue());
    gaps_in_frame_num_value_allowed_flag = static_cast<std::int32_t>(r.u(1));
    pic_width_in_mbs_minus1 = static_cast<std::int32_t>(r.ue());
    pic_height_in_map_units_minus1 = static_cast<std::int32_t>(r.ue());
    frame_mbs_only_flag = static_cast<std::int32_t>(r.u(1));
    if (!frame_mbs_only_flag) mb_adaptive_frame_field_flag = static_cast<std::int32_t>(r.u(1));
    direct_8x8_inference_flag = static_cast<std::int32_t>(r.u(1));
    frame_cropping_flag = static_cast<std::int32_t>(r.u(1));
    if (frame_cropping_flag) {
        frame_crop_left_offset = static_cast<std::int32_t>(r.ue());
        frame_crop_right_offset = static_cast<std::int32_t>(r.ue());
        frame_crop_top_offset = static_cast<std::int32_t>(r.ue());
        frame_crop_bottom_offset = static_cast<std::int32_t>(r.ue());
    }

    vui_parameters_present_flag = static_cast<std::int32_t>(r.u(1));
    if (vui_parameters_present_flag) {
        aspect_ratio_info_present_flag = static_cast<std::int32_t>(r.u(1));
        if (aspect_ratio_info_present_flag) {
            aspect_ratio_idc = static_cast<std::int32_t>(r.u(8));
            if (aspect_ratio_idc == 255) {
                sar_width = static_cast<std::int32_t>(r.u(16));
                sar_height = static_cast<std::int32_t>(r.u(16));
            }
        }
        overscan_info_present_flag = static_cast<std::int32_t>(r.u(1));
        if (overscan_info_present_flag) overscan_appropriate_flag = static_cast<std::int32_t>(r.u(1));
        video_signal_type_present_flag = static_cast<std::int32_t>(r.u(1));
        if (video_signal_type_present_flag) {
            video_format = static_cast<std::int32_t>(r.u(3));
            video_full_range_flag = static_cast<std::int32_t>(r.u(1));
            colour_description_present_flag = static_cast<std::int32_t>(r.u(1));
            if (colour_description_present_flag) {
                colour_primaries = static_cast<std::int32_t>(r.u(8));
                transfer_characteristics = static_cast<std::int32_t>(r.u(8));
                matrix_coefficients = static_cast<std::int32_t>(r.u(8));
            }
        }
        chroma_loc_info_present_flag = static_cast<std::int32_t>(r.u(1));
        if (chroma_loc_info_present_flag) {
            chroma_sample_loc_type_top_field = static_cast<std::int32_t>(r.ue());
            chroma_sample_loc_type_bottom_field = static_cast<std::int32_t>(r.ue());
        }
        timing_info_present_flag = static_cast<std::int32_t>(r.u(1));
        if (timing_info_present_flag) {
            num_units_in_tick = r.u(32);
            time_scale = r.u(32);
            fixed_frame_rate_flag = static_cast<std::int32_t>(r.u(1));
        }
        nal_hrd_parameters_present_flag = static_cast<std::int32_t>(r.u(1));
        if (nal_hrd_parameters_present_flag) parseHrd(r);
        vcl_hrd_parameters_present_flag = static_cast<std::int32_t>(r.u(1));
        if (vcl_hrd_parameters_present_flag) parseHrd(r);
        if (nal_hrd_parameters_present_flag || vcl_hrd_parameters_present_flag)
            low_delay_hrd_flag = static_cast<std::int32_t>(r.u(1));
        pic_struct_present_flag = static_cast<std::int32_t>(r.u(1));
        bitstream_restriction_flag = static_cast<std::int32_t>(r.u(1));
        if (bitstream_restriction_flag) {
            motion_vectors_over_pic_boundaries_flag = static_cast<std::int32_t>(r.u(1));
            max_bytes_per_pic_denom = static_cast<std::int32_t>(r.ue());
            max_bits_per_mb_denom = static_cast<std::int32_t>(r.ue());
            log2_max_mv_length_horizontal = static_cast<std::int32_t>(r.ue());
            log2_max_mv_length_vertical = static_cast<std::int32_t>(r.ue());
            max_num_reorder_frames = static_cast<std::int32_t>(r.ue());
            max_dec_frame_buffering = static_cast<std::int32_t>(r.ue());
        }
    }

    // Keep whatever follows (rbsp_trailing_bits and any extension) so write() can
    // reproduce the unit.
    try {
        while (trailingBitCount < kTrailingCapacity * 8) storeTrailingBit(r.u(1));
    } catch (const char*) {
    }
    return static_cast<int>(r.position() - start);
}

void H264SeqParameterSet::writeHrd(H264BitWriter& w) const {
    w.ue(static_cast<std::uint32_t>(cpb_cnt_minus1));
    w.u(4, static_cast<std::uint32_t>(bit_rate_scale));
    w.u(4, static_cast<std::uint32_t>(cpb_size_scale));
    for (int i = 0; i <= cpb_cnt_minus1 && i < static_cast<int>(hrdEntries.size()); ++i) {
        const H264HrdEntry& e = hrdEntries[static_cast<std::size_t>(i)];
        w.ue(static_cast<std::uint32_t>(e.bit_rate_value_minus1));
        w.ue(static_cast<std::uint32_t>(e.cpb_size_value_minus1));
        w.u(1, static_cast<std::uint32_t>(e.cbr_flag));
    }
    w.u(5, static_cast<std::uint32_t>(initial_cpb_removal_delay_length_minus1));
    w.u(5, static_cast<std::uint32_t>(cpb_removal_delay_length) - 1u);
    w.u(5, static_cast<std::uint32_t>(dpb_output_delay_length) - 1u);
    w.u(5, static_cast<std::uint32_t>(time_offset_length));
}

std::size_t H264SeqParameterSet::write(std::uint8_t* buffer, std::size_t capacity) const {
    H264BitWriter w(buffer, capacity);
    auto U = [&w](int n, std::int32_t v) { w.u(n, static_cast<std::uint32_t>(v)); };
    auto UE = [&w](std::int32_t v) { w.ue(static_cast<std::uint32_t>(v)); };

    w.u(8, 0x67);
    U(8, profile_idc);
    for (auto f : constraint_set_flags) U(1, f);
    U(2, reserved_zero_2bits);
    U(8, level_idc);
    UE(seq_parameter_set_id);

    if (hasChromaFormatFields(profile_idc)) {
        UE(chroma_format_idc);
        if (chroma_format_idc == 3) U(1, separate_colour_plane_flag);
        UE(bit_depth_luma_minus8);
        UE(bit_depth_chroma_minus8);
        U(1, qpprime_y_zero_transform_bypass_flag);
        U(1, seq_scaling_matrix_present_flag);
        if (seq_scaling_matrix_present_flag) {
            const std::size_t lists = (chroma_format_idc != 3) ? 8 : 12;
            for (std::size_t i = 0; i < lists; ++i) {
                const H264ScalingList* list = i < scalingLists.size() ? &scalingLists[i] : nullptr;
                const bool present = list && list->seq_scaling_list_present_flag;
                U(1, present ? 1 : 0);
                if (!present) continue;
                const int size = (i < 6) ? 16 : 64;
                int lastScale = 8, nextScale = 8;
                std::size_t k = 0;
                for (int j = 0; j < size; ++j) {
                    if (nextScale != 0) {
                        const std::int32_t delta = k < list->delta_scale.size() ? list->delta_scale[k++] : 0;
                        w.se(delta);
                        nextScale = static_cast<int>((static_cast<std::int64_t>(lastScale) + delta + 256) % 256);
                    }
                    if (nextScale != 0) lastScale = nextScale;
                }
            }
        }
    }

    w.ue(static_cast<std::uint32_t>(log2_max_frame_num) - 4u);
    UE(pic_order_cnt_type);
    if (pic_order_cnt_type == 0) {
        w.ue(static_cast<std::uint32_t>(log2_max_pic_order_cnt_lsb) - 4u);
    } else if (pic_order_cnt_type == 1) {
        U(1, delta_pic_order_always_zero_flag);
        w.se(offset_for_non_ref_pic);
        w.se(offset_for_top_to_bottom_field);
        UE(num_ref_frames_in_pic_order_cnt_cycle);
        for (int i = 0; i < num_ref_frames_in_pic_order_cnt_cycle; ++i)
            w.se(i < static_cast<int>(offset_for_ref_frame.size()) ? offset_for_ref_frame[static_cast<std::size_t>(i)] : 0);
    }

    UE(max_num_ref_frames);
    U(1, gaps_in_frame_num_value_allowed_flag);
    UE(pic_width_in_mbs_minus1);
    UE(pic_height_in_map_units_minus1);
    U(1, frame_mbs_only_flag);
    if (!frame_mbs_only_flag) U(1, mb_adaptive_frame_field_flag);
    U(1, direct_8x8_inference_flag);
    U(1, frame_cropping_flag);
    if (frame_cropping_flag) {
        UE(frame_crop_left_offset);
        UE(frame_crop_right_offset);
        UE(frame_crop_top_offset);
        UE(frame_crop_bottom_offset);
    }

    U(1, vui_parameters_present_flag);
    if (vui_parameters_present_flag) {
        U(1, aspect_ratio_info_present_flag);
        if (aspect_ratio_info_present_flag) {
            U(8, aspect_ratio_idc);
            if (aspect_ratio_idc == 255) {
                U(16, sar_width);
                U(16, sar_height);
            }
        }
        U(1, overscan_info_present_flag);
        if (overscan_info_present_flag) U(1, overscan_appropriate_flag);
        U(1, video_signal_type_present_flag);
        if (video_signal_type_present_flag) {
            U(3, video_format);
            U(1, video_full_range_flag);
            U(1, colour_description_present_flag);
            if (colour_description_present_flag) {
                U(8, colour_primaries);
                U(8, transfer_characteristics);
                U(8, matrix_coefficients);
            }
        }
        U(1, chroma_loc_info_present_flag);
        if (chroma_loc_info_present_flag) {
            UE(chroma_sample_loc_type_top_field);
            UE(chroma_sample_loc_type_bottom_field);
        }
        U(1, timing_info_present_flag);
        if (timing_info_present_flag) {
            w.u(32, num_units_in_tick);
            w.u(32, time_scale);
            U(1, fixed_frame_rate_flag);
        }
        U(1, nal_hrd_parameters_present_flag);
        if (nal_hrd_parameters_present_flag) writeHrd(w);
        U(1, vcl_hrd_parameters_present_flag);
        if (vcl_hrd_parameters_present_flag) writeHrd(w);
        if (nal_hrd_parameters_present_flag || vcl_hrd_parameters_present_flag) U(1, low_delay_hrd_flag);
        U(1, pic_struct_present_flag);
        U(1, bitstream_restriction_flag);
        if (bitstream_restriction_flag) {
            U(1, motion_vectors_over_pic_boundaries_flag);
            UE(max_bytes_per_pic_denom);
            UE(max_bits_per_mb_denom);
            UE(log2_max_mv_length_horizontal);
            UE(log2_max_mv_length_vertical);
            UE(max_num_reorder_frames);
            UE(max_dec_frame_buffering);
        }
    }

    for (std::uint32_t k = 0; k < trailingBitCount; ++k) w.u(1, (trailingBits[k / 8] >> (k % 8)) & 1u);
    return w.bytesUsed();
}

namespace {
// Picture sizes from hostile streams can exceed int; they are clamped instead of overflowing.
int clampToInt(std::int64_t v) {
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int>(v);
}
}  // namespace

int H264SeqParameterSet::width() const {
    return clampToInt(16 * (static_cast<std::int64_t>(pic_width_in_mbs_minus1) + 1) -
                      2 * (static_cast<std::int64_t>(frame_crop_left_offset) + frame_crop_right_offset));
}

int H264SeqParameterSet::height() const {
    return clampToInt(16 * (2 - static_cast<std::int64_t>(frame_mbs_only_flag)) *
                          (static_cast<std::int64_t>(pic_height_in_map_units_minus1) + 1) -
                      2 * (static_cast<std::int64_t>(frame_crop_top_offset) + frame_crop_bottom_offset));
}

// ---------------------------------------------------------------------------------------
// H264ParameterSets

void H264ParameterSets::reset() {
    for (auto& s : sps_) s = H264SeqParameterSet();
    for (auto& p : pps_) p = H264PicParameterSet();
    activeSps_ = nullptr;
    activePps_ = nullptr;
    slice_ = H264SliceInfo();
    lastSpsBytes_.clear();
    lastPpsBytes_.clear();
}

void H264ParameterSets::activateSps(std::uint32_t id) {
    if (id >= kMaxSps) throw "a sps id out of range";
    if (!sps_[id].valid) throw "requested SPS is undefined";
    activeSps_ = &sps_[id];
}

void H264ParameterSets::activatePps(std::uint32_t id) {
    if (id >= kMaxPps) throw "a id out of range";
    if (!pps_[id].valid) throw "requested PPS is undefined";
    activePps_ = &pps_[id];
    activateSps(static_cast<std::uint32_t>(activePps_->seq_parameter_set_id));
}

void H264ParameterSets::parseSps(const std::uint8_t* unit, int unitLength) {
    H264BitReader r(unit + 1, unitLength - 1);
    H264SeqParameterSet sps;
    sps.parse(r);
    if (static_cast<std::uint32_t>(sps.seq_parameter_set_id) >= kMaxSps) throw "sps id out of range";
    sps.valid = true;
    sps_[static_cast<std::size_t>(sps.seq_parameter_set_id)] = std::move(sps);
    lastSpsBytes_.assign(unit, unit + unitLength);
}

void H264ParameterSets::parsePps(const std::uint8_t* unit, int unitLength) {
    H264BitReader r(unit + 1, unitLength - 1);
    H264PicParameterSet pps;
    pps.pic_parameter_set_id = static_cast<std::int32_t>(r.ue());
    pps.seq_parameter_set_id = static_cast<std::int32_t>(r.ue());
    r.u(1);  // entropy_coding_mode_flag
    pps.bottom_field_pic_order_in_frame_present_flag = static_cast<std::int32_t>(r.u(1));
    if (static_cast<std::uint32_t>(pps.pic_parameter_set_id) >= kMaxPps) throw "pps id out of range";
    pps.valid = true;
    pps_[static_cast<std::size_t>(pps.pic_parameter_set_id)] = pps;
    lastPpsBytes_.assign(unit, unit + unitLength);
}

void H264ParameterSets::parseSei(const std::uint8_t* unit, int unitLength) {
    H264BitReader r(unit + 1, unitLength - 1);
    while (r.bytesLeft() > 0) {
        std::uint32_t payloadType = 0, payloadSize = 0, b;
        while ((b = r.u(8)) == 255) payloadType += 255;
        payloadType += b;
        while ((b = r.u(8)) == 255) payloadSize += 255;
        payloadSize += b;

        const H264BitReader saved = r;
        if (payloadType == 0) {
            activateSps(r.ue());
        } else if (payloadType == 1 && activeSps_) {
            H264SeqParameterSet& sps = *activeSps_;
            if (sps.nal_hrd_parameters_present_flag || sps.vcl_hrd_parameters_present_flag) {
                r.u(sps.cpb_removal_delay_length);
                r.u(sps.dpb_output_delay_length);
            }
            const std::int32_t picStruct = sps.pic_struct_present_flag ? static_cast<std::int32_t>(r.u(4)) : 0;
            sps.picTimingSeen = true;
            sps.pic_struct = picStruct;
        }
        r = saved;
        for (std::uint32_t i = 0; i < payloadSize; ++i) r.u(8);
    }
}

void H264ParameterSets::parseSlice(const std::uint8_t* unit, int unitLength) {
    H264SliceInfo s;
    s.nal_unit_type = unit[0] & 0x1F;
    s.nal_ref_idc = unit[0] >> 5;
    H264BitReader r(unit + 1, unitLength - 1);
    r.ue();  // first_mb_in_slice
    s.slice_type = static_cast<std::int32_t>(r.ue());
    s.pic_parameter_set_id = static_cast<std::int32_t>(r.ue());
    activatePps(static_cast<std::uint32_t>(s.pic_parameter_set_id));
    const H264SeqParameterSet& sps = *activeSps_;
    const H264PicParameterSet& pps = *activePps_;
    s.pic_order_cnt_type = sps.pic_order_cnt_type;
    s.frame_num = static_cast<std::int32_t>(r.u(sps.log2_max_frame_num));
    if (!sps.frame_mbs_only_flag) {
        s.field_pic_flag = static_cast<std::int32_t>(r.u(1));
        if (s.field_pic_flag) s.bottom_field_flag = static_cast<std::int32_t>(r.u(1));
    }
    if (s.nal_unit_type == 5) s.idr_pic_id = static_cast<std::int32_t>(r.ue());
    if (sps.pic_order_cnt_type == 0) {
        s.pic_order_cnt_lsb = static_cast<std::int32_t>(r.u(sps.log2_max_pic_order_cnt_lsb));
        if (pps.bottom_field_pic_order_in_frame_present_flag && !s.field_pic_flag)
            s.delta_pic_order_cnt_bottom = r.se();
    } else if (sps.pic_order_cnt_type == 1 && !sps.delta_pic_order_always_zero_flag) {
        s.delta_pic_order_cnt[0] = r.se();
        if (pps.bottom_field_pic_order_in_frame_present_flag && !s.field_pic_flag) s.delta_pic_order_cnt[1] = r.se();
    }

    // First VCL NAL unit of a new primary coded picture (H.264 7.4.1.2.4).
    const H264SliceInfo& p = slice_;
    bool same = p.valid && p.frame_num == s.frame_num && p.pic_parameter_set_id == s.pic_parameter_set_id &&
                p.field_pic_flag == s.field_pic_flag && p.bottom_field_flag == s.bottom_field_flag &&
                (p.nal_ref_idc == s.nal_ref_idc || (p.nal_ref_idc != 0 && s.nal_ref_idc != 0));
    if (same && p.pic_order_cnt_type == 0 && s.pic_order_cnt_type == 0)
        same = p.pic_order_cnt_lsb == s.pic_order_cnt_lsb && p.delta_pic_order_cnt_bottom == s.delta_pic_order_cnt_bottom;
    if (same && p.pic_order_cnt_type == 1 && s.pic_order_cnt_type == 1)
        same = p.delta_pic_order_cnt[0] == s.delta_pic_order_cnt[0] && p.delta_pic_order_cnt[1] == s.delta_pic_order_cnt[1];
    if (same) same = p.nal_unit_type == s.nal_unit_type || (p.nal_unit_type != 5 && s.nal_unit_type != 5);
    if (same && p.nal_unit_type == 5 && s.nal_unit_type == 5) same = p.idr_pic_id == s.idr_pic_id;

    s.valid = true;
    s.newPicture = !same;
    slice_ = s;
}

int H264ParameterSets::frameRate() const {
    if (!slice_.valid || !activeSps_) return -1;
    const H264SeqParameterSet& sps = *activeSps_;
    if (!sps.timing_info_present_flag || sps.time_scale == 0 || sps.num_units_in_tick == 0) return -1;
    const bool field = slice_.field_pic_flag != 0;
    int divisor = field ? 1 : 2;
    if (sps.pic_struct_present_flag) {
        if (!sps.picTimingSeen || sps.pic_struct > 8 || sps.pic_struct < 0) return -1;
        switch (sps.pic_struct) {
            case 1: case 2: divisor = 1; break;
            case 5: case 6: divisor = 3; break;
            case 7: divisor = 4; break;
            case 8: divisor = 6; break;
            default: divisor = 2; break;
        }
    }
    double rate = static_cast<double>(sps.time_scale) / sps.num_units_in_tick / divisor;
    if (field) rate /= 2.0;
    return static_cast<int>(std::floor(rate + 0.5));
}

// ---------------------------------------------------------------------------------------
// H264NalParser and helpers

int H264NalParser::parseNal(const std::uint8_t* data, int length, bool typeOnly) {
    if (!data || length < 4) return 0;
    const int unitLength = findNextStartCode(data, length);
    int sc;
    if (data[0] == 0 && data[1] == 0 && data[2] == 1)
        sc = 3;
    else if (data[0] == 0 && data[1] == 0 && data[2] == 0 && data[3] == 1)
        sc = 4;
    else
        return unitLength;
    // A start code with no header byte after it ends the unit.
    if (sc >= unitLength) return unitLength;
    const std::uint8_t* unit = data + sc;
    const int unitBytes = unitLength - sc;
    lastNalType_ = unit[0] & 0x1F;
    lastUnitWasSlice_ = false;
    if (typeOnly) return unitLength;
    try {
        switch (lastNalType_) {
            case 1: case 2: case 5:
                sets_.parseSlice(unit, unitBytes);
                lastUnitWasSlice_ = true;
                break;
            case 6: sets_.parseSei(unit, unitBytes); break;
            case 7: sets_.parseSps(unit, unitBytes); break;
            case 8: sets_.parsePps(unit, unitBytes); break;
            // Delimiters, filler and the rest carry nothing this reader keeps. They come
            // with every picture, so they are passed over without a word.
            default: break;
        }
    } catch (const char*) {
        // A unit that does not parse is ignored; what was activated before the error stays.
    }
    return unitLength;
}

int findNextStartCode(const std::uint8_t* data, int length) {
    if (length < 3) return length;
    // A start code at offset i ends with the 01 at i + 2 (three bytes) or i + 3 (four
    // bytes), so look for 01 bytes from offset 4 on and check the zeros before them.
    const std::uint8_t* end = data + length;
    const std::uint8_t* p = data + 4;
    while (p < end) {
        p = static_cast<const std::uint8_t*>(std::memchr(p, 0x01, static_cast<std::size_t>(end - p)));
        if (!p) break;
        if (p[-1] == 0 && p[-2] == 0) {
            const int j = static_cast<int>(p - data);
            if (j - 3 >= 2 && p[-3] == 0) return j - 3;
            return j - 2;
        }
        ++p;
    }
    return length;
}

int countNalUnits(const std::uint8_t* data, int length) {
    int count = 0;
    int pos = 0;
    while (pos < length) {
        const int step = findNextStartCode(data + pos, length - pos);
        if (step <= 0) break;
        pos += step;
        ++count;
    }
    return count;
}

int startCodeLength(const std::uint8_t* p) {
    if (p[0] != 0 || p[1] != 0) return 0;
    return p[2] == 0 ? 4 : 3;
}

bool parseSpsResolution(const std::uint8_t* sps, int length, int& width, int& height) {
    if (!sps || length < 2) return false;
    try {
        H264BitReader r(sps + 1, length - 1);
        H264SeqParameterSet s;
        s.parse(r);
        width = s.width();
        height = s.height();
        return true;
    } catch (const char*) {
        return false;
    }
}
