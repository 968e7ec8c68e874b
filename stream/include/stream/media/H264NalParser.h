#pragma once
// A small H.264 bitstream reader: splits a byte stream at start codes, reads NAL unit
// types, parses sequence and picture parameter sets into tables, reads the first part
// of slice headers to tell when a new picture begins, and reads the buffering-period and
// picture-timing SEI messages. A parsed SPS can be written back to bytes.
//
// Parse errors are thrown as C strings (const char*) inside this module;
// H264NalParser::parseNal catches them all, so to its callers a bad unit is ignored.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// Reads an RBSP out of an escaped NAL payload: removes emulation prevention bytes and
// treats a start code inside the data as the end of the unit.
class H264BitReader {
public:
    H264BitReader() = default;
    H264BitReader(const std::uint8_t* data, int length) : position_(data), bytesLeft_(length) {}

    // The next n bits (0..32) as an unsigned number, first bit most significant.
    std::uint32_t u(int n);
    // Unsigned and signed exp-Golomb codes.
    std::uint32_t ue();
    std::int32_t se();
    bool flag() { return u(1) != 0; }

    // Whole bytes not yet fetched into the bit cache.
    int bytesLeft() const { return bytesLeft_; }
    // Bits that can still be read without fetching (the cache) plus the unfetched bytes.
    bool moreData() const { return bytesLeft_ > 0 || bitsInCache_ > 0; }
    const std::uint8_t* position() const { return position_; }

private:
    void fetchByte();

    const std::uint8_t* position_ = nullptr;
    int bytesLeft_ = 0;
    std::uint64_t cache_ = 0;
    int bitsInCache_ = 0;
    int zeroRun_ = 0;
};

// Writes bits into a caller's buffer, which it clears first. No emulation prevention.
class H264BitWriter {
public:
    H264BitWriter(std::uint8_t* buffer, std::size_t capacity);

    void u(int n, std::uint32_t value);
    void ue(std::uint32_t value);
    void se(std::int32_t value);
    // Bytes used so far, counting a partly filled last byte.
    std::size_t bytesUsed() const { return bytePosition_ + (bitsLeftInByte_ < 8 ? 1 : 0); }

private:
    void bit(unsigned b);

    std::uint8_t* buffer_;
    std::size_t capacity_;
    int bitsLeftInByte_ = 8;
    std::size_t bytePosition_ = 0;
};

struct H264ScalingList {
    std::int32_t seq_scaling_list_present_flag = 0;
    std::vector<std::int32_t> delta_scale;
};

struct H264HrdEntry {
    std::int32_t bit_rate_value_minus1 = 0;
    std::int32_t cpb_size_value_minus1 = 0;
    std::int32_t cbr_flag = 0;
};

// One parsed sequence parameter set. Field names are the syntax element names of H.264.
struct H264SeqParameterSet {
    static constexpr std::size_t kTrailingCapacity = 1024;  // bytes of the trailing-bits store

    bool valid = false;
    std::int32_t log2_max_frame_num = 4;
    std::int32_t log2_max_pic_order_cnt_lsb = 4;
    std::int32_t cpb_removal_delay_length = 24;
    std::int32_t dpb_output_delay_length = 24;

    // Bits after the last parsed field (rbsp_trailing_bits included). Bit k lives in byte
    // k / 8 at bit k % 8 counted from the least significant bit.
    std::array<std::uint8_t, kTrailingCapacity> trailingBits{};
    std::uint32_t trailingBitCount = 0;

    std::int32_t profile_idc = 0;
    std::int32_t constraint_set_flags[6] = {};
    std::int32_t reserved_zero_2bits = 0;
    std::int32_t level_idc = 0;
    std::int32_t seq_parameter_set_id = 0;

    std::int32_t chroma_format_idc = 0;
    std::int32_t separate_colour_plane_flag = 0;
    std::int32_t bit_depth_luma_minus8 = 0;
    std::int32_t bit_depth_chroma_minus8 = 0;
    std::int32_t qpprime_y_zero_transform_bypass_flag = 0;
    std::int32_t seq_scaling_matrix_present_flag = 0;
    std::vector<H264ScalingList> scalingLists;

    std::int32_t pic_order_cnt_type = 0;
    std::int32_t delta_pic_order_always_zero_flag = 0;
    std::int32_t offset_for_non_ref_pic = 0;
    std::int32_t offset_for_top_to_bottom_field = 0;
    std::int32_t num_ref_frames_in_pic_order_cnt_cycle = 0;
    std::vector<std::int32_t> offset_for_ref_frame;

    std::int32_t max_num_ref_frames = 0;
    std::int32_t gaps_in_frame_num_value_allowed_flag = 0;
    std::int32_t pic_width_in_mbs_minus1 = 0;
    std::int32_t pic_height_in_map_units_minus1 = 0;
    std::int32_t frame_mbs_only_flag = 0;
    std::int32_t mb_adaptive_frame_field_flag = 0;
    std::int32_t direct_8x8_inference_flag = 0;
    std::int32_t frame_cropping_flag = 0;
    std::int32_t vui_parameters_present_flag = 0;

    std::int32_t aspect_ratio_info_present_flag = 0;
    std::int32_t aspect_ratio_idc = 0;
    std::int32_t sar_width = 0;
    std::int32_t sar_height = 0;
    std::int32_t overscan_info_present_flag = 0;
    std::int32_t overscan_appropriate_flag = 0;
    std::int32_t video_signal_type_present_flag = 0;
    std::int32_t video_format = 0;
    std::int32_t video_full_range_flag = 0;
    std::int32_t colour_description_present_flag = 0;
    std::int32_t colour_primaries = 0;
    std::int32_t transfer_characteristics = 0;
    std::int32_t matrix_coefficients = 0;
    std::int32_t chroma_loc_info_present_flag = 0;
    std::int32_t chroma_sample_loc_type_top_field = 0;
    std::int32_t chroma_sample_loc_type_bottom_field = 0;
    std::int32_t timing_info_present_flag = 0;
    std::uint32_t num_units_in_tick = 0;
    std::uint32_t time_scale = 0;
    std::int32_t fixed_frame_rate_flag = 0;
    std::int32_t nal_hrd_parameters_present_flag = 0;
    std::int32_t vcl_hrd_parameters_present_flag = 0;
    std::int32_t low_delay_hrd_flag = 0;
    std::int32_t pic_struct_present_flag = 0;
    std::int32_t bitstream_restriction_flag = 0;
    std::int32_t motion_vectors_over_pic_boundaries_flag = 0;
    std::int32_t max_bytes_per_pic_denom = 0;
    std::int32_t max_bits_per_mb_denom = 0;
    std::int32_t log2_max_mv_length_horizontal = 0;
    std::int32_t log2_max_mv_length_vertical = 0;
    std::int32_t max_num_reorder_frames = 0;
    std::int32_t max_dec_frame_buffering = 0;

    bool picTimingSeen = false;
    std::int32_t pic_struct = 0;

    std::int32_t frame_crop_left_offset = 0;
    std::int32_t frame_crop_right_offset = 0;
    std::int32_t frame_crop_top_offset = 0;
    std::int32_t frame_crop_bottom_offset = 0;

    // One HRD record serves both the NAL and the VCL HRD: a second one appends its
    // entries and overwrites the other fields.
    std::int32_t cpb_cnt_minus1 = 0;
    std::int32_t bit_rate_scale = 0;
    std::int32_t cpb_size_scale = 0;
    std::vector<H264HrdEntry> hrdEntries;
    std::int32_t initial_cpb_removal_delay_length_minus1 = 0;
    std::int32_t time_offset_length = 0;

    // Parses the RBSP after the NAL header byte; returns the bytes consumed. Throws on
    // malformed data.
    int parse(H264BitReader& reader);
    // Writes the NAL header 0x67 and every field in parse order, then the trailing bits.
    // Returns the bytes used. Throws "buffer overflow" when capacity is too small.
    std::size_t write(std::uint8_t* buffer, std::size_t capacity) const;

    int width() const;
    int height() const;

    // True for the profiles whose SPS carries chroma_format_idc and the fields after it.
    static bool hasChromaFormatFields(int profileIdc);

private:
    void parseHrd(H264BitReader& reader);
    void writeHrd(H264BitWriter& writer) const;
    void storeTrailingBit(unsigned bit);
};

struct H264PicParameterSet {
    bool valid = false;
    std::int32_t pic_parameter_set_id = 0;
    std::int32_t seq_parameter_set_id = 0;
    std::int32_t bottom_field_pic_order_in_frame_present_flag = 0;
};

// The last slice header seen.
struct H264SliceInfo {
    bool valid = false;
    bool newPicture = false;
    std::int32_t pic_order_cnt_type = 0;
    std::int32_t nal_ref_idc = 0;
    std::int32_t nal_unit_type = 0;
    std::int32_t slice_type = 0;
    std::int32_t pic_parameter_set_id = 0;
    std::int32_t frame_num = 0;
    std::int32_t field_pic_flag = 0;
    std::int32_t bottom_field_flag = 0;
    std::int32_t idr_pic_id = 0;
    std::int32_t pic_order_cnt_lsb = 0;
    std::int32_t delta_pic_order_cnt_bottom = 0;
    std::int32_t delta_pic_order_cnt[2] = {};
};

class H264ParameterSets {
public:
    static constexpr int kMaxSps = 32;
    static constexpr int kMaxPps = 256;

    H264ParameterSets() = default;
    H264ParameterSets(const H264ParameterSets&) = delete;
    H264ParameterSets& operator=(const H264ParameterSets&) = delete;

    // Everything back to the constructed state.
    void reset();

    // Each parses the RBSP after the NAL header byte; unit/unitLength is the whole unit
    // from its header byte on (kept as the last stored bytes on success).
    void parseSps(const std::uint8_t* unit, int unitLength);
    void parsePps(const std::uint8_t* unit, int unitLength);
    void parseSei(const std::uint8_t* unit, int unitLength);
    void parseSlice(const std::uint8_t* unit, int unitLength);

    void activateSps(std::uint32_t id);
    void activatePps(std::uint32_t id);

    // Frames per second from the active SPS timing and the last slice, or -1.
    int frameRate() const;

    const H264SeqParameterSet* activeSps() const { return activeSps_; }
    const H264PicParameterSet* activePps() const { return activePps_; }
    const H264SeqParameterSet& sps(int id) const { return sps_[id]; }
    const H264PicParameterSet& pps(int id) const { return pps_[id]; }
    const H264SliceInfo& lastSlice() const { return slice_; }
    const std::vector<std::uint8_t>& lastSpsBytes() const { return lastSpsBytes_; }
    const std::vector<std::uint8_t>& lastPpsBytes() const { return lastPpsBytes_; }

private:
    std::array<H264SeqParameterSet, kMaxSps> sps_{};
    std::array<H264PicParameterSet, kMaxPps> pps_{};
    H264SeqParameterSet* activeSps_ = nullptr;
    H264PicParameterSet* activePps_ = nullptr;
    H264SliceInfo slice_;
    std::vector<std::uint8_t> lastSpsBytes_;
    std::vector<std::uint8_t> lastPpsBytes_;
};

class H264NalParser {
public:
    H264NalParser() { sets_.reset(); }

    // Looks at the unit at the start of data (up to the next start code). Returns the
    // unit's length including its start code (0 for null data or fewer than 4 bytes).
    // With typeOnly only lastNalType is updated; otherwise SPS, PPS, SEI and slice
    // headers are parsed into the parameter sets and errors are swallowed.
    int parseNal(const std::uint8_t* data, int length, bool typeOnly);

    int lastNalType() const { return lastNalType_; }
    // The last unit was a slice whose header was read (its record is lastSlice).
    bool lastUnitWasSlice() const { return lastUnitWasSlice_; }
    // The last slice record, or null while none is valid.
    const H264SliceInfo* lastSlice() const { return sets_.lastSlice().valid ? &sets_.lastSlice() : nullptr; }
    H264ParameterSets& parameterSets() { return sets_; }
    const H264ParameterSets& parameterSets() const { return sets_; }

private:
    H264ParameterSets sets_;
    int lastNalType_ = 0;
    bool lastUnitWasSlice_ = false;
};

// Offset of the next start code at or after offset 2, or length when there is none.
int findNextStartCode(const std::uint8_t* data, int length);
// The number of units findNextStartCode steps through in data.
int countNalUnits(const std::uint8_t* data, int length);
// 4 for 00 00 00, 3 for 00 00 xx, 0 otherwise (the closing 01 is not checked).
int startCodeLength(const std::uint8_t* p);
// Parses an SPS unit (from its header byte on) and gives its picture size.
bool parseSpsResolution(const std::uint8_t* sps, int length, int& width, int& height);
