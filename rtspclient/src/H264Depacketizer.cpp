#include "H264Depacketizer.h"

#include <cstring>

namespace rtspclient {

H264Depacketizer::H264Depacketizer(int prefixSize) : prefix_(prefixSize < 0 ? 0 : prefixSize) {
    fragment_.reserve(64 * 1024);  // grows to the largest unit once
    fragmentSequences_.reserve(1024);
    aggregate_.reserve(4096);
    singleSequence_.reserve(1);
    noSequence_.reserve(1);
}

void H264Depacketizer::reset() {
    if (inFragment_) dropFragments();
}

void H264Depacketizer::dropFragments() {
    inFragment_ = false;
    fragment_.clear();
    fragmentSequences_.clear();
    ++dropped_;
}

void H264Depacketizer::process(std::uint8_t* payload, std::uint32_t size, std::uint16_t sequence, bool marker,
                               Output& out) {
    if (size == 0) return;
    const std::uint8_t type = payload[0] & 0x1f;

    if (type != 28 && inFragment_) dropFragments();  // the fragmented unit never ended

    if (type >= 1 && type <= 23) {
        std::uint8_t* data = payload - prefix_;
        std::memset(payload + size, 0, kPadding);
        singleSequence_.assign(1, sequence);
        out.unit(data, size + static_cast<std::uint32_t>(prefix_), singleSequence_, marker);
        return;
    }

    if (type == 24) {  // STAP-A: header byte, then {16-bit size, NAL unit} ...
        // Find the units first so that the marker goes on the last one only.
        std::uint32_t offsets[64];
        std::uint32_t sizes[64];
        int count = 0;
        std::uint32_t pos = 1;
        while (pos + 2 <= size && count < 64) {
            const std::uint32_t len = (static_cast<std::uint32_t>(payload[pos]) << 8) | payload[pos + 1];
            pos += 2;
            if (len == 0 || len > size - pos) break;  // malformed: keep what was whole
            offsets[count] = pos;
            sizes[count] = len;
            ++count;
            pos += len;
        }
        if (count == 0) {
            ++dropped_;
            return;
        }
        for (int i = 0; i < count; ++i) {
            aggregate_.assign(static_cast<std::size_t>(prefix_), 0);
            aggregate_.insert(aggregate_.end(), payload + offsets[i], payload + offsets[i] + sizes[i]);
            const std::uint32_t unitSize = static_cast<std::uint32_t>(aggregate_.size());
            aggregate_.insert(aggregate_.end(), kPadding, 0);
            if (i == 0)
                singleSequence_.assign(1, sequence);
            else
                singleSequence_.clear();
            out.unit(aggregate_.data(), unitSize, singleSequence_, marker && i == count - 1);
        }
        return;
    }

    if (type == 28) {  // FU-A: indicator, FU header, fragment
        if (size < 3) {
            if (inFragment_) dropFragments();
            ++dropped_;
            return;
        }
        const std::uint8_t fu = payload[1];
        const bool start = (fu & 0x80) != 0;
        const bool end = (fu & 0x40) != 0;
        if (start) {
            if (inFragment_) dropFragments();
            fragment_.assign(static_cast<std::size_t>(prefix_), 0);
            fragment_.push_back(static_cast<std::uint8_t>((payload[0] & 0xe0) | (fu & 0x1f)));
            fragmentSequences_.clear();
            inFragment_ = true;
        } else if (!inFragment_) {
            ++dropped_;  // no start fragment: nothing to attach to
            return;
        } else if (static_cast<std::uint16_t>(lastSequence_ + 1) != sequence) {
            dropFragments();  // a fragment is missing
            return;
        }
        if (fragment_.size() + size - 2 > kMaxUnit) {
            dropFragments();
            return;
        }
        fragment_.insert(fragment_.end(), payload + 2, payload + size);
        fragmentSequences_.push_back(sequence);
        lastSequence_ = sequence;
        if (end) {
            const std::uint32_t unitSize = static_cast<std::uint32_t>(fragment_.size());
            fragment_.insert(fragment_.end(), kPadding, 0);
            inFragment_ = false;
            out.unit(fragment_.data(), unitSize, fragmentSequences_, marker);
            fragment_.clear();
            fragmentSequences_.clear();
        }
        return;
    }

    ++dropped_;  // STAP-B, MTAP, FU-B and reserved types are not used by senders we serve
}

int H264Depacketizer::deliverParameterSets(const std::string& sprop, Output& out) {
    int delivered = 0;
    std::size_t pos = 0;
    std::vector<std::uint8_t> nal;
    while (pos < sprop.size()) {
        std::size_t end = sprop.find(',', pos);
        if (end == std::string::npos) end = sprop.size();
        if (base64Decode(sprop.substr(pos, end - pos), nal) && !nal.empty() && nal.size() < 64 * 1024) {
            aggregate_.assign(static_cast<std::size_t>(prefix_), 0);
            aggregate_.insert(aggregate_.end(), nal.begin(), nal.end());
            const std::uint32_t unitSize = static_cast<std::uint32_t>(aggregate_.size());
            aggregate_.insert(aggregate_.end(), kPadding, 0);
            noSequence_.clear();
            out.unit(aggregate_.data(), unitSize, noSequence_, false);
            ++delivered;
        }
        pos = end + 1;
    }
    return delivered;
}

bool base64Decode(const std::string& in, std::vector<std::uint8_t>& out) {
    out.clear();
    std::uint32_t acc = 0;
    int bits = 0;
    for (char c : in) {
        int v;
        if (c >= 'A' && c <= 'Z') v = c - 'A';
        else if (c >= 'a' && c <= 'z') v = c - 'a' + 26;
        else if (c >= '0' && c <= '9') v = c - '0' + 52;
        else if (c == '+') v = 62;
        else if (c == '/') v = 63;
        else if (c == '=') break;
        else return false;
        acc = (acc << 6) | static_cast<std::uint32_t>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<std::uint8_t>(acc >> bits));
        }
    }
    return true;
}

}  // namespace rtspclient
