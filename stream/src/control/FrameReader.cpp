#include "stream/control/FrameReader.h"

#include <algorithm>
#include <cstring>

namespace {
// Small frames (input, pings, variable events) are far below this; several of them fit
// and are taken with one read from the socket.
constexpr std::size_t kInitialBuffer = 4096;
}  // namespace

std::uint8_t FrameHeader::checksum(const std::uint8_t* h) {
    unsigned sum = h[0] + h[1] + h[2] + h[3] + h[4] + h[6] + h[7];
    return static_cast<std::uint8_t>(sum & 0xFF);
}

void FrameHeader::write(std::uint8_t* out, std::uint32_t length, std::uint16_t sequence) {
    out[0] = static_cast<std::uint8_t>(length >> 24);
    out[1] = static_cast<std::uint8_t>(length >> 16);
    out[2] = static_cast<std::uint8_t>(length >> 8);
    out[3] = static_cast<std::uint8_t>(length);
    out[4] = kVersion;
    out[6] = static_cast<std::uint8_t>(sequence >> 8);
    out[7] = static_cast<std::uint8_t>(sequence);
    out[5] = checksum(out);
}

int FrameHeader::parse(const std::uint8_t* data, std::size_t size, std::uint32_t& length,
                       std::uint16_t& sequence) {
    if (size < kSize) return kBadChecksum;
    if (data[4] != kVersion) return kBadVersion;
    if (data[5] != checksum(data)) return kBadChecksum;
    length = (std::uint32_t(data[0]) << 24) | (std::uint32_t(data[1]) << 16) |
             (std::uint32_t(data[2]) << 8) | std::uint32_t(data[3]);
    sequence = static_cast<std::uint16_t>((data[6] << 8) | data[7]);
    return kOk;
}

FrameReader::FrameReader(std::uint32_t maxBodyLength)
    : buffer_(kInitialBuffer), maxBody_(maxBodyLength) {}

void FrameReader::makeRoom() {
    if (begin_ == end_) begin_ = end_ = 0;
    if (end_ < buffer_.size()) return;
    // Full: move the unconsumed bytes to the front, and when that frees nothing, grow.
    if (begin_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
        return;
    }
    // The buffer grows with the bytes that actually arrived, never to a length a header
    // merely announced: a peer that sends 8 bytes must not make us allocate 64 MiB. When
    // the body's end is in sight, the last step stops at it.
    std::size_t grown = buffer_.size() * 2;
    if (haveHeader_) {
        const std::size_t needed = FrameHeader::kSize + std::size_t(headerLength_);
        if (needed > buffer_.size() && needed < grown) grown = needed;
    }
    buffer_.resize(grown);
}

std::uint8_t* FrameReader::writePointer() {
    makeRoom();
    return buffer_.data() + end_;
}

std::size_t FrameReader::writableSize() {
    makeRoom();
    return buffer_.size() - end_;
}

void FrameReader::commit(std::size_t n) { end_ = std::min(buffer_.size(), end_ + n); }

FrameReader::Result FrameReader::next(const std::uint8_t*& body, std::uint32_t& length) {
    if (failure_ != Result::NeedMore) return failure_;
    const std::size_t available = end_ - begin_;
    if (!haveHeader_) {
        if (available < FrameHeader::kSize) return Result::NeedMore;
        const std::uint8_t* h = buffer_.data() + begin_;
        headerLength_ = (std::uint32_t(h[0]) << 24) | (std::uint32_t(h[1]) << 16) |
                        (std::uint32_t(h[2]) << 8) | std::uint32_t(h[3]);
        headerSequence_ = static_cast<std::uint16_t>((h[6] << 8) | h[7]);
        std::uint32_t len = 0;
        std::uint16_t seq = 0;
        switch (FrameHeader::parse(h, available, len, seq)) {
        case FrameHeader::kBadVersion: return failure_ = Result::BadVersion;
        case FrameHeader::kBadChecksum: return failure_ = Result::BadChecksum;
        default: break;
        }
        if (len == 0) return failure_ = Result::ZeroLength;
        if (seq != expected_) return failure_ = Result::UnexpectedSequence;
        if (len > maxBody_) return failure_ = Result::TooLarge;
        ++expected_;  // wraps at 65536
        haveHeader_ = true;
    }
    if (available - FrameHeader::kSize < headerLength_) return Result::NeedMore;
    body = buffer_.data() + begin_ + FrameHeader::kSize;
    length = headerLength_;
    begin_ += FrameHeader::kSize + headerLength_;
    haveHeader_ = false;
    return Result::Frame;
}

const char* FrameReader::describe(Result result) {
    switch (result) {
    case Result::NeedMore: return "incomplete frame";
    case Result::Frame: return "frame";
    case Result::BadVersion: return "unknown frame version";
    case Result::BadChecksum: return "frame header checksum mismatch";
    case Result::ZeroLength: return "frame with an empty body";
    case Result::UnexpectedSequence: return "unexpected frame sequence number";
    case Result::TooLarge: return "frame body over the size limit";
    }
    return "?";
}
