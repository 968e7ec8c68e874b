// Wire bytes of control-channel messages: the streamer decodes exactly these bytes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "input-lib/InputClient.pb.h"

using InputClient::Request;
using InputClient::Response;

namespace {
std::vector<int> bytes(const std::string& s) {
    std::vector<int> out;
    for (unsigned char c : s) out.push_back(c);
    return out;
}
}  // namespace

TEST(InputClientMessages, RequestsSerializeToKnownBytes) {
    Request mouse;
    mouse.set_type(Request::MOUSE_ACTION);
    mouse.mutable_mouseaction();  // present but all zero: still written, with length 0
    EXPECT_EQ(bytes(mouse.SerializeAsString()), (std::vector<int>{0x08, 0x03, 0xB2, 0x01, 0x00}));

    Request empty;
    EXPECT_TRUE(empty.SerializeAsString().empty());

    Request invalidate;
    invalidate.set_type(Request::VIDEO_INVALIDATE_REFERENCE_FRAMES);
    auto* frames = invalidate.mutable_invalidaterefrenceframescommand();
    for (int t : {1, 2, 3}) frames->add_invalidframetimestamp(t);
    // Packed: field 1 once, length-delimited, holding the three varints.
    EXPECT_EQ(bytes(invalidate.SerializeAsString()),
              (std::vector<int>{0x08, 0x0B, 0xA2, 0x02, 0x05, 0x0A, 0x03, 0x01, 0x02, 0x03}));

    Request ping;
    ping.set_type(Request::NETWORK_PING);
    ping.set_pingnumber(7);
    EXPECT_EQ(bytes(ping.SerializeAsString()), (std::vector<int>{0x08, 0x23, 0xA8, 0x03, 0x07}));

    Request log;
    log.set_type(Request::LOG_STRING);
    log.set_logmessage("x");
    EXPECT_EQ(bytes(log.SerializeAsString()),
              (std::vector<int>{0x08, 0x1E, 0x9A, 0x03, 0x01, 0x78}));
}

TEST(InputClientMessages, ResponsesParseLeniently) {
    Response r;
    ASSERT_TRUE(r.ParseFromString(std::string()));
    EXPECT_EQ(r.type(), Response::TEXT);  // an absent type reads as TEXT

    // Unknown field 111 is skipped.
    const std::string withUnknown("\x08\x17\xF8\x06\x01\xD8\x02\x2A", 8);
    ASSERT_TRUE(r.ParseFromString(withUnknown));
    EXPECT_EQ(r.type(), Response::NETWORK_PONG);
    EXPECT_EQ(r.pongnumber(), 42);

    // An enum value the schema does not list is kept as its number.
    ASSERT_TRUE(r.ParseFromString(std::string("\x08\x63", 2)));
    EXPECT_EQ(static_cast<int>(r.type()), 99);
}
