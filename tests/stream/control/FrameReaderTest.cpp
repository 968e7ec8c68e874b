// Frame header encoding and the incremental frame reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "stream/control/FrameReader.h"

namespace {
std::vector<std::uint8_t> header(std::uint32_t length, std::uint16_t sequence) {
    std::vector<std::uint8_t> h(FrameHeader::kSize);
    FrameHeader::write(h.data(), length, sequence);
    return h;
}

std::string frame(const std::string& body, std::uint16_t sequence) {
    auto h = header(static_cast<std::uint32_t>(body.size()), sequence);
    return std::string(h.begin(), h.end()) + body;
}

void feed(FrameReader& reader, const std::string& bytes) {
    std::size_t at = 0;
    while (at < bytes.size()) {
        std::size_t n = std::min(reader.writableSize(), bytes.size() - at);
        std::memcpy(reader.writePointer(), bytes.data() + at, n);
        reader.commit(n);
        at += n;
    }
}
}  // namespace

TEST(FrameHeader, WritesKnownHeaders) {
    EXPECT_EQ(header(5, 0), (std::vector<std::uint8_t>{0, 0, 0, 5, 1, 6, 0, 0}));
    EXPECT_EQ(header(300, 1), (std::vector<std::uint8_t>{0, 0, 1, 0x2C, 1, 0x2F, 0, 1}));
    EXPECT_EQ(header(200, 65535), (std::vector<std::uint8_t>{0, 0, 0, 0xC8, 1, 0xC7, 0xFF, 0xFF}));
}

TEST(FrameHeader, ParseChecksVersionBeforeChecksum) {
    struct Case {
        std::vector<std::uint8_t> bytes;
        int result;
    } cases[] = {
        {{0, 0, 0, 5, 1, 6, 0, 0}, 0},
        {{0, 0, 0, 5, 1, 7, 0, 0}, 2},  // checksum one too high
        {{0, 0, 0, 5, 2, 7, 0, 0}, 1},  // version 2 (its checksum would even match)
        {{0, 0, 0, 5, 1, 6, 0}, 2},     // short
    };
    for (const auto& c : cases) {
        std::uint32_t length = 0;
        std::uint16_t sequence = 0;
        EXPECT_EQ(FrameHeader::parse(c.bytes.data(), c.bytes.size(), length, sequence), c.result);
    }
}

TEST(FrameReader, ReassemblesFramesFedByteByByteAndInBulk) {
    const std::string body1(300, 'a');
    const std::string body2("xyz");
    const std::string stream = frame(body1, 0) + frame(body2, 1);

    for (std::size_t chunk : {std::size_t(1), std::size_t(7), stream.size()}) {
        FrameReader reader;
        std::vector<std::string> bodies;
        for (std::size_t at = 0; at < stream.size(); at += chunk) {
            feed(reader, stream.substr(at, chunk));
            const std::uint8_t* body;
            std::uint32_t length;
            FrameReader::Result r;
            while ((r = reader.next(body, length)) == FrameReader::Result::Frame)
                bodies.emplace_back(reinterpret_cast<const char*>(body), length);
            ASSERT_EQ(r, FrameReader::Result::NeedMore);
        }
        EXPECT_EQ(bodies, (std::vector<std::string>{body1, body2})) << "chunk " << chunk;
    }
}

TEST(FrameReader, RejectsBadFramesForGood) {
    struct Case {
        std::string bytes;
        FrameReader::Result result;
    } cases[] = {
        {frame("", 0), FrameReader::Result::ZeroLength},
        {frame("a", 1), FrameReader::Result::UnexpectedSequence},
        {frame("a", 0) + frame("b", 2), FrameReader::Result::UnexpectedSequence},
        {std::string("\x00\x00\x00\x05\x01\x07\x00\x00", 8), FrameReader::Result::BadChecksum},
        {std::string("\x00\x00\x00\x05\x02\x07\x00\x00", 8), FrameReader::Result::BadVersion},
        {[] {
             auto h = header(FrameHeader::kMaxBodyLength + 1, 0);
             return std::string(h.begin(), h.end());
         }(),
         FrameReader::Result::TooLarge},
    };
    for (const auto& c : cases) {
        FrameReader reader;
        feed(reader, c.bytes);
        const std::uint8_t* body;
        std::uint32_t length;
        FrameReader::Result r;
        while ((r = reader.next(body, length)) == FrameReader::Result::Frame) {
        }
        EXPECT_EQ(r, c.result) << FrameReader::describe(c.result);
        EXPECT_EQ(reader.next(body, length), c.result);  // stays failed
        // The buffer never grew for an announced body that was refused.
        EXPECT_LE(reader.bufferCapacity(), 4096u);
    }
}

// The buffer follows the bytes that came, not the length a header announced: a peer that
// sends a header alone costs nothing, and a large body still arrives whole.
TEST(FrameReader, GrowsWithTheArrivingBodyNotWithTheAnnouncedLength) {
    for (std::uint32_t length : {FrameHeader::kMaxBodyLength, 5000u, 3u * 1024u * 1024u + 3u}) {
        SCOPED_TRACE(length);
        FrameReader reader;
        const auto h = header(length, 0);
        feed(reader, std::string(h.begin(), h.end()) + "0123456789");
        const std::uint8_t* body;
        std::uint32_t got;
        EXPECT_EQ(reader.next(body, got), FrameReader::Result::NeedMore);
        EXPECT_LE(reader.bufferCapacity(), 4096u) << "nothing allocated for the announced body";
        if (length == FrameHeader::kMaxBodyLength) continue;  // the rest as for the others

        std::string rest(length - 10, '\0');
        for (std::size_t i = 0; i < rest.size(); ++i) rest[i] = static_cast<char>('a' + i % 26);
        std::size_t fed = FrameHeader::kSize + 10;
        for (std::size_t at = 0; at < rest.size(); at += 65536) {
            const std::size_t n = std::min<std::size_t>(65536, rest.size() - at);
            feed(reader, rest.substr(at, n));
            fed += n;
            ASSERT_LE(reader.bufferCapacity(), std::max<std::size_t>(4096, 2 * fed)) << "after " << fed << " bytes";
        }
        ASSERT_EQ(reader.next(body, got), FrameReader::Result::Frame);
        ASSERT_EQ(got, length);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(body), 10), "0123456789");
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(body) + 10, got - 10), rest);
        EXPECT_LE(reader.bufferCapacity(), std::max<std::size_t>(4096, FrameHeader::kSize + length));
    }
}

TEST(FrameReader, SequenceWrapsAfter65535) {
    FrameReader reader;
    const std::uint8_t* body;
    std::uint32_t length;
    for (std::uint32_t i = 0; i <= 65536; ++i) {
        feed(reader, frame("z", static_cast<std::uint16_t>(i)));
        ASSERT_EQ(reader.next(body, length), FrameReader::Result::Frame) << i;
    }
    EXPECT_EQ(reader.expectedSequence(), 1);
}
