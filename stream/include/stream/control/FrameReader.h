#pragma once
// Framing of the control channel.
//
// Every message travels as one frame: an 8-byte header and the serialized message.
//
//   offset 0  4 bytes  body length, big-endian
//   offset 4  1 byte   version, always 1
//   offset 5  1 byte   checksum: low 8 bits of the sum of the seven other header bytes
//   offset 6  2 bytes  sequence number, big-endian; each direction counts its own frames
//                      from 0 and wraps from 65535 to 0
//
// FrameReader turns the byte stream from the peer into frames. It owns the receive buffer,
// so the transport reads straight into it and hands out bodies without copying them.

#include <cstddef>
#include <cstdint>
#include <vector>

struct FrameHeader {
    static constexpr std::size_t kSize = 8;
    static constexpr std::uint8_t kVersion = 1;
    // Largest body accepted from the peer; a longer one ends the connection.
    static constexpr std::uint32_t kMaxBodyLength = 64u * 1024u * 1024u;

    enum ParseResult { kOk = 0, kBadVersion = 1, kBadChecksum = 2 };

    // The checksum of a header: the low byte of the sum of every byte but the checksum.
    static std::uint8_t checksum(const std::uint8_t* header);
    // Writes a complete header into out[0..7].
    static void write(std::uint8_t* out, std::uint32_t length, std::uint16_t sequence);
    // 0 for a good header, 1 when the version is not 1 (tested first), 2 when the
    // checksum does not match or fewer than 8 bytes are given.
    static int parse(const std::uint8_t* data, std::size_t size, std::uint32_t& length,
                     std::uint16_t& sequence);
};

class FrameReader {
public:
    enum class Result {
        NeedMore,            // no complete frame buffered
        Frame,               // body and length describe the next frame
        BadVersion,          // version byte not 1
        BadChecksum,         // checksum mismatch
        ZeroLength,          // a header announcing an empty body
        UnexpectedSequence,  // a frame number other than the expected one
        TooLarge,            // a body longer than the limit
    };

    explicit FrameReader(std::uint32_t maxBodyLength = FrameHeader::kMaxBodyLength);

    // Space for the next bytes from the peer; never empty. Moves buffered bytes, so body
    // pointers handed out earlier are invalid afterwards.
    std::uint8_t* writePointer();
    std::size_t writableSize();
    // Accounts for n bytes written at writePointer().
    void commit(std::size_t n);

    // Takes the next frame out of the buffered bytes. A failure result is final: the
    // reader keeps returning it. The body stays valid until writePointer() is called.
    Result next(const std::uint8_t*& body, std::uint32_t& length);

    // The sequence number the next frame must carry.
    std::uint16_t expectedSequence() const { return expected_; }
    // Header fields of the last header looked at (for error reports).
    std::uint32_t lastLength() const { return headerLength_; }
    std::uint16_t lastSequence() const { return headerSequence_; }
    std::size_t bufferCapacity() const { return buffer_.size(); }

    static const char* describe(Result result);

private:
    void makeRoom();

    std::vector<std::uint8_t> buffer_;
    std::size_t begin_ = 0;  // first unconsumed byte
    std::size_t end_ = 0;    // one past the last received byte
    std::uint32_t maxBody_;
    std::uint16_t expected_ = 0;
    bool haveHeader_ = false;  // the header at begin_ was accepted; waiting for its body
    std::uint32_t headerLength_ = 0;
    std::uint16_t headerSequence_ = 0;
    Result failure_ = Result::NeedMore;
};
