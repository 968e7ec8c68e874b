// Reordering, loss reports and H.264 depacketization, fed with RTP packets directly.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "H264Depacketizer.h"
#include "RecordingSink.h"
#include "Rtp.h"
#include "RtpReceiver.h"

using namespace rtspclient;

namespace {

std::string rtp(std::uint16_t seq, const std::string& payload, bool marker = false, std::uint32_t ts = 1000,
                std::uint32_t ssrc = 0x11223344, std::uint8_t pt = 96) {
    std::string p(12, '\0');
    p[0] = static_cast<char>(0x80);
    p[1] = static_cast<char>((marker ? 0x80 : 0) | pt);
    p[2] = static_cast<char>(seq >> 8);
    p[3] = static_cast<char>(seq);
    for (int i = 0; i < 4; ++i) p[4 + i] = static_cast<char>(ts >> (24 - 8 * i));
    for (int i = 0; i < 4; ++i) p[8 + i] = static_cast<char>(ssrc >> (24 - 8 * i));
    return p + payload;
}

void feed(RtpReceiver& r, const std::string& packet, std::int64_t nowUs = 0) {
    std::memcpy(r.receiveBuffer(), packet.data(), packet.size());
    r.onPacket(packet.size(), nowUs);
}

std::string nal(std::uint8_t header, std::size_t size, char fill = 'x') { return std::string(1, static_cast<char>(header)) + std::string(size - 1, fill); }

RtpReceiverConfig h264() {
    RtpReceiverConfig c;
    c.payload = RtpReceiverConfig::Payload::H264;
    c.payloadType = 96;
    c.reorderPackets = 8;
    c.reorderDelayUs = 1000;
    return c;
}

RtpReceiverConfig whole(bool audio = false) {
    RtpReceiverConfig c;
    c.payload = RtpReceiverConfig::Payload::Whole;
    c.payloadType = 96;
    c.reorderPackets = 8;
    c.reorderDelayUs = 1000;
    c.audio = audio;
    c.clockRate = 48000;
    return c;
}

std::vector<std::uint16_t> firstSequences(const RecordingSink& s) {
    std::vector<std::uint16_t> out;
    for (const auto& u : s.units) out.push_back(u.sequences.empty() ? 0xffff : u.sequences[0]);
    return out;
}

}  // namespace

TEST(Rtp, ParsesHeaders) {
    struct Case {
        std::string packet;
        bool ok;
        std::uint32_t payloadOffset;
        std::uint32_t payloadSize;
    };
    std::string csrc = rtp(1, "PAY");
    csrc[0] = static_cast<char>(0x82);  // two CSRCs
    csrc.insert(12, 8, 'c');
    std::string ext = rtp(1, "PAY");
    ext[0] = static_cast<char>(0x90);
    ext.insert(12, std::string("\xbe\xde\x00\x01" "eeee", 8));
    std::string padded = rtp(1, "PAY") + std::string("\0\0\x03", 3);
    padded[0] = static_cast<char>(0xa0);
    std::string badPad = rtp(1, "P") + std::string("\x09", 1);
    badPad[0] = static_cast<char>(0xa0);
    std::string zeroPad = rtp(1, "P") + std::string("\0", 1);
    zeroPad[0] = static_cast<char>(0xa0);
    std::string shortExt = rtp(1, "");
    shortExt[0] = static_cast<char>(0x90);
    shortExt += std::string("\xbe\xde\x00\x09", 4);
    std::string v1 = rtp(1, "PAY");
    v1[0] = 0x40;
    const Case cases[] = {
        {rtp(1, "PAY"), true, 12, 3}, {csrc, true, 20, 3},     {ext, true, 20, 3},        {padded, true, 12, 3},
        {badPad, false, 0, 0},        {zeroPad, false, 0, 0},  {shortExt, false, 0, 0},   {v1, false, 0, 0},
        {rtp(1, "").substr(0, 11), false, 0, 0},               {rtp(1, ""), true, 12, 0},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const Case& c = cases[i];
        RtpHeader h;
        ASSERT_EQ(parseRtpHeader(reinterpret_cast<const std::uint8_t*>(c.packet.data()), c.packet.size(), h), c.ok)
            << "case " << i;
        if (!c.ok) continue;
        EXPECT_EQ(h.payloadOffset, c.payloadOffset) << "case " << i;
        EXPECT_EQ(h.payloadSize, c.payloadSize) << "case " << i;
    }
    RtpHeader h;
    const std::string p = rtp(0xBEEF, "x", true, 0xCAFEBABE, 0x01020304, 97);
    ASSERT_TRUE(parseRtpHeader(reinterpret_cast<const std::uint8_t*>(p.data()), p.size(), h));
    EXPECT_EQ(h.sequence, 0xBEEF);
    EXPECT_EQ(h.timestamp, 0xCAFEBABEu);
    EXPECT_EQ(h.ssrc, 0x01020304u);
    EXPECT_EQ(h.payloadType, 97);
    EXPECT_TRUE(h.marker);
}

TEST(Rtp, ReceiverReportsRoundTripAndByeIsSeen) {
    ReceiverReport rr;
    rr.ourSsrc = 7;
    rr.haveSource = true;
    rr.sourceSsrc = 9;
    rr.cumulativeLost = 3;
    std::uint8_t buf[128];
    const std::size_t n = buildReceiverReport(rr, "cname", buf, sizeof buf);
    ASSERT_GT(n, 0u);
    EXPECT_EQ(n % 4, 0u);
    EXPECT_EQ(buf[1], 201);
    RtcpInfo info;
    ASSERT_TRUE(parseRtcp(buf, n, info));
    EXPECT_FALSE(info.bye);
    EXPECT_EQ(buildReceiverReport(rr, "cname", buf, 20), 0u);

    const std::uint8_t sr_bye[] = {0x80, 200, 0, 6, 0, 0, 0, 5, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88,
                                   0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x81, 203, 0, 1, 0, 0, 0, 5};
    ASSERT_TRUE(parseRtcp(sr_bye, sizeof sr_bye, info));
    EXPECT_TRUE(info.haveSenderReport);
    EXPECT_EQ(info.ntpMiddle, 0x33445566u);
    EXPECT_TRUE(info.bye);
    // A length that runs past the end stops the walk before the BYE.
    std::uint8_t cut[sizeof sr_bye];
    std::memcpy(cut, sr_bye, sizeof cut);
    cut[31] = 9;
    ASSERT_TRUE(parseRtcp(cut, sizeof cut, info));
    EXPECT_FALSE(info.bye);
    const std::uint8_t notRtcp[] = {0x80, 96, 0, 1};
    EXPECT_FALSE(parseRtcp(notRtcp, sizeof notRtcp, info));
}

TEST(H264Depacketizer, SingleStapAndFragmentedUnits) {
    RecordingSink sink(4);
    RtpReceiver r(&sink, h264());
    const std::string idr = nal(0x65, 3000, 'i');
    feed(r, rtp(100, nal(0x41, 10), true));
    // STAP-A with SPS and PPS.
    const std::string sps = nal(0x67, 12, 's'), pps = nal(0x68, 4, 'p');
    std::string stap = "\x18";
    stap += std::string(1, '\0') + static_cast<char>(sps.size()) + sps;
    stap += std::string(1, '\0') + static_cast<char>(pps.size()) + pps;
    feed(r, rtp(101, stap, true));
    // FU-A: IDR in three fragments, the last one marked.
    const char indicator = static_cast<char>(0x60 | 28);
    feed(r, rtp(102, std::string(1, indicator) + "\x85" + idr.substr(1, 1000)));
    feed(r, rtp(103, std::string(1, indicator) + "\x05" + idr.substr(1001, 1000)));
    feed(r, rtp(104, std::string(1, indicator) + "\x45" + idr.substr(2001), true));

    ASSERT_EQ(sink.units.size(), 4u);
    EXPECT_EQ(sink.units[0].bytes, nal(0x41, 10));
    EXPECT_EQ(sink.units[0].sequences, std::vector<std::uint16_t>{100});
    EXPECT_TRUE(sink.units[0].marker);
    EXPECT_EQ(sink.units[1].bytes, sps);
    EXPECT_EQ(sink.units[1].sequences, std::vector<std::uint16_t>{101});
    EXPECT_FALSE(sink.units[1].marker);
    EXPECT_EQ(sink.units[2].bytes, pps);
    EXPECT_TRUE(sink.units[2].sequences.empty());
    EXPECT_TRUE(sink.units[2].marker);
    EXPECT_EQ(sink.units[3].bytes, std::string(1, '\x65') + idr.substr(1));
    EXPECT_EQ(sink.units[3].sequences, (std::vector<std::uint16_t>{102, 103, 104}));
    EXPECT_TRUE(sink.units[3].marker);
    for (const auto& u : sink.units) EXPECT_TRUE(u.paddingZero);
    EXPECT_FALSE(sink.nullVectors);
    EXPECT_TRUE(sink.losses.empty());
}

TEST(H264Depacketizer, DropsBrokenUnitsButKeepsGoing) {
    RecordingSink sink(4);
    H264Depacketizer d(4);
    struct Out : H264Depacketizer::Output {
        RecordingSink* s;
        void unit(std::uint8_t* data, std::uint32_t size, std::vector<std::uint16_t>& seqs, bool marker) override {
            std::vector<RTSPLostRange> ranges;
            RTSPPacketInfo info;
            info.data = data;
            info.size = size;
            info.sequenceNumbers = &seqs;
            info.lostRanges = &ranges;
            info.marker = marker;
            s->onPacket(&info);
        }
    } out;
    out.s = &sink;
    auto run = [&](std::uint16_t seq, std::string payload, bool marker = false) {
        std::vector<std::uint8_t> buf(64 + payload.size() + 64);
        std::memcpy(buf.data() + 64, payload.data(), payload.size());
        d.process(buf.data() + 64, static_cast<std::uint32_t>(payload.size()), seq, marker, out);
    };
    const char ind = static_cast<char>(0x60 | 28);
    run(1, std::string(1, ind) + "\x05" + "middle-without-start");  // no start
    run(2, std::string(1, ind) + "\x85" + "aaa");
    run(4, std::string(1, ind) + "\x45" + "ccc", true);  // 3 missing
    run(5, std::string(1, ind) + "\x85" + "aaa");
    run(6, nal(0x41, 5), true);                           // start never ended
    run(7, "\x18\x00\x09" "short");                      // STAP-A length past the end
    run(8, "\x19zzzz");                                   // STAP-B
    run(9, std::string(1, ind));                          // FU-A without FU header
    run(10, std::string("\x18\x00\x02\x67\x01\x00\x07\x68", 8), true);  // second length runs past: first kept
    run(11, std::string(1, ind) + "\xc5" + "se", true);   // start and end in one
    ASSERT_EQ(sink.units.size(), 3u);
    EXPECT_EQ(sink.units[0].bytes, nal(0x41, 5));
    EXPECT_EQ(sink.units[1].bytes, std::string("\x67\x01", 2));
    EXPECT_TRUE(sink.units[1].marker);
    EXPECT_EQ(sink.units[2].bytes, "\x65se");
    EXPECT_GE(d.droppedUnits(), 6u);

    sink.units.clear();
    EXPECT_EQ(d.deliverParameterSets("Z0LAHtkA,aM4NyA==,!!!", out), 2);
    ASSERT_EQ(sink.units.size(), 2u);
    EXPECT_EQ(static_cast<unsigned char>(sink.units[0].bytes[0]), 0x67);
    EXPECT_EQ(static_cast<unsigned char>(sink.units[1].bytes[0]), 0x68);
    EXPECT_TRUE(sink.units[0].sequences.empty());
    EXPECT_FALSE(sink.units[1].marker);
}

TEST(RtpReceiver, ReordersDropsDuplicatesAndLatePackets) {
    RecordingSink sink(0);
    RtpReceiver r(&sink, whole());
    for (std::uint16_t s : {65533, 65535, 65535, 65534, 0, 0, 2, 1, 65535, 3}) feed(r, rtp(s, "p" + std::to_string(s)));
    EXPECT_EQ(firstSequences(sink), (std::vector<std::uint16_t>{65533, 65534, 65535, 0, 1, 2, 3}));
    EXPECT_EQ(sink.units[3].bytes, "p0");
    EXPECT_TRUE(sink.losses.empty());
    EXPECT_EQ(r.stats().duplicates, 1u);  // the second 65535 while the first waited
    EXPECT_EQ(r.stats().late, 2u);        // the second 0 and the last 65535
    // Other payload types and garbage are not media.
    feed(r, rtp(4, "x", false, 1, 0x11223344, 0));
    feed(r, std::string("\x80"));
    EXPECT_EQ(sink.units.size(), 7u);
    EXPECT_EQ(r.stats().otherPayload, 1u);
    EXPECT_EQ(r.stats().malformed, 1u);
    // Empty payloads are not delivered.
    feed(r, rtp(4, ""));
    feed(r, rtp(5, "five"));
    EXPECT_EQ(sink.units.back().bytes, "five");
    EXPECT_TRUE(sink.losses.empty());
}

// A receive call fills several buffers at once; handling one packet of the batch (which
// hands its buffer to the window) must leave the others intact, batch after batch.
TEST(RtpReceiver, BatchesAreHandledFromTheirOwnBuffers) {
    RecordingSink sink(0);
    RtpReceiver r(&sink, whole());
    const std::vector<std::vector<std::uint16_t>> batches = {
        {1, 3, 3, 2, 4},
        {6, 5, 8, 7, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20},
        {21},
    };
    for (const auto& batch : batches) {
        ASSERT_LE(batch.size(), RtpReceiver::kReceiveBatch);
        for (std::size_t i = 0; i < batch.size(); ++i) {
            const std::string p = rtp(batch[i], "p" + std::to_string(batch[i]));
            std::memcpy(r.receiveBuffer(i), p.data(), p.size());
        }
        for (std::size_t i = 0; i < batch.size(); ++i)
            r.onPacket(rtp(batch[i], "p" + std::to_string(batch[i])).size(), 0, i);
    }
    ASSERT_EQ(sink.units.size(), 21u);
    for (std::size_t i = 0; i < sink.units.size(); ++i) EXPECT_EQ(sink.units[i].bytes, "p" + std::to_string(i + 1));
    EXPECT_EQ(r.stats().duplicates, 1u);
    EXPECT_TRUE(sink.losses.empty());
}

// A packet must fit the buffer it is copied into (interleaved) or received into (UDP).
TEST(RtpReceiver, PacketsLargerThanTheBuffersAreRefused) {
    struct Case {
        std::size_t maxPacket;
        std::size_t size;
        bool taken;
    } cases[] = {{64, 64, true}, {64, 65, false}, {65536, 65536, true}, {65536, 65537, false}, {1 << 20, 65537, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.maxPacket) + " " + std::to_string(c.size));
        RecordingSink sink(0);
        RtpReceiverConfig config = whole();
        config.maxPacket = c.maxPacket;
        RtpReceiver r(&sink, config);
        const std::string packet = rtp(1, std::string(c.size - 12, 'x'));
        r.onPacket(reinterpret_cast<const std::uint8_t*>(packet.data()), packet.size(), 0);
        // As if received: the size a receive call reported (what fits is in the buffer).
        const std::string next = rtp(2, std::string(c.size - 12, 'y'));
        std::memcpy(r.receiveBuffer(1), next.data(), std::min(next.size(), r.maxPacket()));
        r.onPacket(c.size, 0, 1);
        EXPECT_EQ(sink.units.size(), c.taken ? 2u : 0u);
        EXPECT_EQ(r.stats().malformed, c.taken ? 0u : 2u);
    }
}

TEST(RtpReceiver, ReportsAGapWhenItExpiresBeforeTheNextPacket) {
    RecordingSink sink(0);
    RtpReceiver r(&sink, whole());
    feed(r, rtp(10, "a", false, 100), 0);
    feed(r, rtp(11, "b", false, 200), 10);
    feed(r, rtp(14, "e", false, 500), 20);  // 12, 13 missing
    feed(r, rtp(15, "f", false, 600), 30);
    EXPECT_EQ(sink.units.size(), 2u);
    EXPECT_EQ(r.nextDeadlineUs(), 20 + 1000);
    r.onTimer(500);
    EXPECT_TRUE(sink.losses.empty());
    r.onTimer(1020);
    ASSERT_EQ(sink.losses.size(), 1u);
    EXPECT_EQ(sink.losses[0].lostCount, 2);
    ASSERT_EQ(sink.losses[0].ranges.size(), 1u);
    EXPECT_EQ(sink.losses[0].ranges[0].packetSeq, 14);
    EXPECT_EQ(sink.losses[0].ranges[0].packetLossCount, 2);
    EXPECT_EQ(sink.losses[0].timestamp, 500u);
    EXPECT_EQ(sink.losses[0].unitsBefore, 2u);  // reported before 14 is delivered
    EXPECT_EQ(firstSequences(sink), (std::vector<std::uint16_t>{10, 11, 14, 15}));
    // A straggler after its gap expired is late.
    feed(r, rtp(12, "c"), 1100);
    EXPECT_EQ(sink.units.size(), 4u);
    EXPECT_EQ(r.stats().late, 1u);
    EXPECT_EQ(r.stats().lost, 2u);
    EXPECT_EQ(r.nextDeadlineUs(), INT64_MAX);
}

// Joining a running stream: a few packets sent before the play began may still arrive,
// before or after the PLAY answer names the first sequence number. None of the numbers
// before the first packet of the stream as played is a loss; a gap after it still is.
TEST(RtpReceiver, PacketsFromBeforeThePlayBeganAreNoLoss) {
    struct Case {
        const char* name;
        std::vector<int> events;  // a sequence number, or -1 for the PLAY answer naming 44
        std::vector<std::uint16_t> delivered;
        std::uint64_t lost;
    };
    const Case cases[] = {
        {"stale packets, then the answer", {40, 41, 42, -1, 44, 45, 46}, {40, 41, 42, 44, 45, 46}, 0},
        {"stale packets held behind a gap", {40, 42, 44, 45, -1, 46}, {40, 44, 45, 46}, 0},
        {"the answer, then a stale packet", {-1, 40, 44, 45}, {44, 45}, 0},
        {"the answer, then a later first packet", {-1, 46, 47}, {46, 47}, 0},
        {"no answer: late packets before the first", {44, 42, 45}, {44, 45}, 0},
        {"a real gap after the start", {-1, 44, 46, 47}, {44, 46, 47}, 1},
        {"an answer behind what arrived changes nothing", {44, 45, -1, 47}, {44, 45, 47}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingSink sink(0);
        RtpReceiver r(&sink, whole(true));
        for (int e : c.events) {
            if (e < 0)
                r.setFirstSequence(44);
            else
                feed(r, rtp(static_cast<std::uint16_t>(e), "p"));
        }
        r.onTimer(1000000);
        EXPECT_EQ(firstSequences(sink), c.delivered);
        EXPECT_EQ(r.stats().lost, c.lost);
        EXPECT_EQ(sink.losses.size(), c.lost);
    }
}

TEST(RtpReceiver, FillingTheWindowOrJumpingAheadGivesUpOnGaps) {
    RecordingSink sink(0);
    RtpReceiver r(&sink, whole());  // window of 8
    feed(r, rtp(1, "a"));
    for (std::uint16_t s = 3; s <= 10; ++s) feed(r, rtp(s, "x"));  // 2 missing; 10 no longer fits
    ASSERT_EQ(sink.losses.size(), 1u);
    EXPECT_EQ(sink.losses[0].ranges[0].packetSeq, 3);
    EXPECT_EQ(sink.losses[0].lostCount, 1);
    EXPECT_EQ(sink.units.size(), 10u - 1u);
    feed(r, rtp(1000, "far"));
    ASSERT_EQ(sink.losses.size(), 2u);
    EXPECT_EQ(sink.losses[1].ranges[0].packetSeq, 1000);
    EXPECT_EQ(sink.losses[1].lostCount, 989);
    EXPECT_EQ(sink.units.back().bytes, "far");
}

TEST(RtpReceiver, ANewSourceStartsAfresh) {
    RecordingSink sink(4);
    RtpReceiver r(&sink, h264());
    const char ind = static_cast<char>(0x60 | 28);
    feed(r, rtp(500, std::string(1, ind) + "\x85" + "aaa"));  // half a unit from the old source
    feed(r, rtp(7, nal(0x41, 5), true, 1, 0x55));
    feed(r, rtp(8, nal(0x41, 6), true, 1, 0x55));
    EXPECT_EQ(firstSequences(sink), (std::vector<std::uint16_t>{7, 8}));
    EXPECT_TRUE(sink.losses.empty());
    EXPECT_EQ(r.stats().sourceChanges, 1u);
}

TEST(RtpReceiver, AudioGapsGiveOneReportPerLostPacketUpToFive) {
    struct Case {
        std::uint16_t missing;
        std::size_t reports;
    };
    for (const Case c : {Case{1, 1}, Case{3, 3}, Case{7, 5}}) {
        RecordingSink sink(0);
        RtpReceiver r(&sink, whole(true));
        feed(r, rtp(1, "a"), 0);
        feed(r, rtp(static_cast<std::uint16_t>(2 + c.missing), "b"), 0);
        r.onTimer(5000);
        EXPECT_EQ(sink.losses.size(), c.reports) << c.missing;
        for (const auto& l : sink.losses) EXPECT_EQ(l.lostCount, 1);
        EXPECT_EQ(sink.units.size(), 2u);
    }
}

TEST(RtpReceiver, PausedDeliveryReachesTheSinkAgainOnlyAfterResume) {
    RecordingSink sink(4);
    RtpReceiver r(&sink, h264());
    const char ind = static_cast<char>(0x60 | 28);
    r.setDelivering(false);
    feed(r, rtp(1, nal(0x41, 5), true));
    feed(r, rtp(2, std::string(1, ind) + "\x85" + "aaa"));
    r.setDelivering(true);
    feed(r, rtp(3, std::string(1, ind) + "\x45" + "bbb", true));  // its start was not delivered
    feed(r, rtp(5, nal(0x41, 6), true));
    r.onTimer(1000000);
    feed(r, rtp(6, nal(0x41, 7), true));
    ASSERT_EQ(sink.units.size(), 2u);
    EXPECT_EQ(sink.units[0].sequences, std::vector<std::uint16_t>{5});
    EXPECT_EQ(sink.losses.size(), 1u);
}

TEST(RtpReceiver, DeliversParameterSetsFromTheDescriptionFirst) {
    RecordingSink sink(4);
    RtpReceiverConfig c = h264();
    c.spropParameterSets = "Z0LAHtkA,aM4NyA==";
    RtpReceiver r(&sink, c);
    feed(r, rtp(1, nal(0x65, 5), true));
    ASSERT_EQ(sink.units.size(), 3u);
    EXPECT_EQ(static_cast<unsigned char>(sink.units[0].bytes[0]), 0x67);
    EXPECT_EQ(static_cast<unsigned char>(sink.units[1].bytes[0]), 0x68);
    EXPECT_EQ(static_cast<unsigned char>(sink.units[2].bytes[0]), 0x65);
}

TEST(RtpReceiver, ReceiverReportCountsLossesAndSequenceCycles) {
    RtpReceiver r(nullptr, whole());
    ReceiverReport rr;
    EXPECT_FALSE(r.fillReport(rr, 0));
    feed(r, rtp(65534, "a"));
    feed(r, rtp(65535, "a"));
    feed(r, rtp(2, "a"));  // 0 and 1 missing, one wrap
    ASSERT_TRUE(r.fillReport(rr, 0));
    EXPECT_EQ(rr.extendedHighestSeq, 0x10002u);
    EXPECT_EQ(rr.cumulativeLost, 2);
    EXPECT_EQ(rr.fractionLost, (2 << 8) / 5);
    EXPECT_EQ(rr.sourceSsrc, 0x11223344u);
}
