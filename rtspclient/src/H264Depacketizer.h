#pragma once
// RTP payloads of H.264 (single NAL unit, STAP-A and FU-A) turned into one NAL unit per
// delivery, each with free prefix bytes in front and zero bytes behind.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace rtspclient {

class H264Depacketizer {
public:
    // Zero bytes that follow every delivered unit (not counted in its size).
    static constexpr std::size_t kPadding = 64;
    // Largest NAL unit reassembled from fragments; a bigger one is dropped.
    static constexpr std::size_t kMaxUnit = 8 * 1024 * 1024;

    class Output {
    public:
        virtual ~Output() = default;
        // data: prefix free bytes then the NAL unit from its header byte; size counts both.
        virtual void unit(std::uint8_t* data, std::uint32_t size, std::vector<std::uint16_t>& sequenceNumbers,
                          bool marker) = 0;
    };

    explicit H264Depacketizer(int prefixSize = 4);

    // payload lies in a buffer with at least prefixSize writable bytes before it and
    // kPadding writable bytes after its end.
    void process(std::uint8_t* payload, std::uint32_t size, std::uint16_t sequence, bool marker, Output& out);
    // Forgets a half-received fragmented unit (after a loss, a new source, a pause).
    void reset();
    // Delivers the NAL units of an fmtp sprop-parameter-sets value, unmarked and with no
    // sequence numbers. Returns how many were delivered.
    int deliverParameterSets(const std::string& spropParameterSets, Output& out);

    std::uint64_t droppedUnits() const { return dropped_; }

private:
    void dropFragments();

    int prefix_;
    bool inFragment_ = false;
    std::uint16_t lastSequence_ = 0;
    std::vector<std::uint8_t> fragment_;
    std::vector<std::uint16_t> fragmentSequences_;
    std::vector<std::uint8_t> aggregate_;
    std::vector<std::uint16_t> singleSequence_;
    std::vector<std::uint16_t> noSequence_;
    std::uint64_t dropped_ = 0;
};

// Standard base64 (padding optional); false on characters outside the alphabet.
bool base64Decode(const std::string& in, std::vector<std::uint8_t>& out);

}  // namespace rtspclient
