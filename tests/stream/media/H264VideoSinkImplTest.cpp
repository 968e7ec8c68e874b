#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "H264TestUtil.h"
#include "stream/media/H264VideoSinkImpl.h"
#include "stream/session/IMediaSession.h"
#include "stream/session/IRenderImplementation.h"

using h264test::Bytes;

namespace {

struct RecordingSession : IMediaSession {
    struct Lost {
        int seq, count, timestamp;
        bool operator==(const Lost& o) const { return seq == o.seq && count == o.count && timestamp == o.timestamp; }
    };
    int idrRequests = 0;
    std::vector<Lost> lost;
    void VideoForceIDRFrame() override { ++idrRequests; }
    void VideoNotifyLostPacketInfo(int seq, int count, int timestamp) override { lost.push_back({seq, count, timestamp}); }
    void onVideoClientError(const std::string&) override {}
    void onVideoClientFinished() override {}
};

struct Delivery {
    Bytes bytes;
    int flags;
};

struct RecordingConsumer : IRenderImplementation {
    int flags = 0;
    bool wantKeyFrame = false;
    std::vector<Delivery> deliveries;
    std::vector<std::pair<Bytes, Bytes>> parameterSets;
    std::vector<int> lostCalls;
    std::vector<int> detaches;
    std::vector<std::string> order;  // "ps", "frame"
    bool paddingOk = true;

    int getFlags() override { return flags; }
    bool isSynchronous() override { return false; }
    bool needsKeyFrame() override { return wantKeyFrame; }
    void setParameterSets(const std::uint8_t* sps, int spsSize, const std::uint8_t* pps, int ppsSize) override {
        parameterSets.emplace_back(Bytes(sps, sps + spsSize), Bytes(pps, pps + ppsSize));
        order.push_back("ps");
    }
    void detach(int reason) override { detaches.push_back(reason); }
    void onPacketsLost(int count) override { lostCalls.push_back(count); }
    void decodeFrame(const std::uint8_t* data, int size, int frameFlags) override {
        deliveries.push_back({Bytes(data, data + size), frameFlags});
        order.push_back("frame");
        if (frameFlags & kFrameWhole)
            for (int i = 0; i < 64; ++i) paddingOk = paddingOk && data[size + i] == 0;
    }
    bool initialize() override { return true; }
    void release() override {}
    int collect(double) override { return 0; }
    void renderPicture(double, int, int) override {}
};

// Delivers one NAL unit the way the RTSP library does: 4 free bytes, then the unit.
struct Feeder {
    explicit Feeder(IRTSPSink& s) : sink(s) {}
    IRTSPSink& sink;
    std::vector<RTSPLostRange> ranges;
    std::vector<std::uint16_t> seqs;
    Bytes buffer;

    std::uint16_t send(const Bytes& unit, std::vector<std::uint16_t> numbers = {}, bool marker = false,
                       bool withRanges = true) {
        buffer.assign(4, 0xEE);
        buffer.insert(buffer.end(), unit.begin(), unit.end());
        seqs = std::move(numbers);
        ranges.clear();
        RTSPPacketInfo info;
        info.data = buffer.data();
        info.size = static_cast<std::uint32_t>(buffer.size());
        info.sequenceNumbers = &seqs;
        info.lostRanges = withRanges ? &ranges : nullptr;
        info.marker = marker;
        sink.onPacket(&info);
        return info.lostCount;
    }
};

Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes sc3() { return {0, 0, 1}; }
Bytes sc4() { return {0, 0, 0, 1}; }
Bytes len(const Bytes& u) {
    const auto n = static_cast<std::uint32_t>(u.size());
    return {static_cast<std::uint8_t>(n >> 24), static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 8),
            static_cast<std::uint8_t>(n)};
}

struct Units {
    Bytes sps = h264test::spsUnit(h264test::sps1080());
    Bytes pps = h264test::ppsUnit(0, 0);
    Bytes idr = h264test::sliceUnit({5, 3, 0, 0, 0, 0, 0});
    Bytes p1a = h264test::sliceUnit({1, 2, 0, 0, 1, 0, 2});   // picture 1, first slice
    Bytes p1b = h264test::sliceUnit({1, 2, 60, 0, 1, 0, 2});  // picture 1, second slice
    Bytes p2 = h264test::sliceUnit({1, 2, 0, 0, 2, 0, 4});
    Bytes idr2 = h264test::sliceUnit({5, 3, 0, 0, 0, 1, 0});
    Bytes sei = {0x06, 0x05, 0x01, 0xAA, 0x80};
    Bytes aud = {0x09, 0xF0};
};

}  // namespace

TEST(H264VideoSinkImpl, DeliveryModes) {
    const Units u;
    struct Step {
        const Bytes* unit;
        bool marker;
    };
    // SPS, PPS, IDR | picture of two slices | picture of one slice | SPS, PPS, IDR again
    const std::vector<Step> stream = {{&u.sps, false}, {&u.pps, false}, {&u.idr, true},  {&u.p1a, false},
                                      {&u.p1b, true},  {&u.p2, true},   {&u.sps, false}, {&u.pps, false},
                                      {&u.idr2, true}};
    struct Case {
        int mode;
        std::vector<Delivery> expected;
    };
    const Case cases[] = {
        {kRenderWholeFrames,
         // Parameter sets travel with the picture they lead: handed over without a slice
         // they would be a frame the decoder cannot decode. Every unit but a slice that
         // continues a picture has the 4-byte start code.
         {{cat({sc4(), u.sps, sc4(), u.pps, sc4(), u.idr}), 0x373},
          {cat({sc4(), u.p1a, sc3(), u.p1b}), 0x003},
          {cat({sc4(), u.p2}), 0x003},
          {cat({sc4(), u.sps, sc4(), u.pps, sc4(), u.idr2}), 0x073}}},
        {kRenderWholeFrames | kRenderLengthPrefix,
         {{cat({len(u.idr), u.idr}), 0x373},
          {cat({len(u.p1a), u.p1a, len(u.p1b), u.p1b}), 0x003},
          {cat({len(u.p2), u.p2}), 0x003},
          {cat({len(u.sps), u.sps, len(u.pps), u.pps, len(u.idr2), u.idr2}), 0x073}}},
        {kRenderWholeFrames | kRenderParameterSetsApart,
         {{cat({sc4(), u.idr}), 0x373},
          {cat({sc4(), u.p1a, sc3(), u.p1b}), 0x003},
          {cat({sc4(), u.p2}), 0x003},
          {cat({sc4(), u.sps, sc4(), u.pps, sc4(), u.idr2}), 0x073}}},
        {0,
         {{cat({sc4(), u.sps}), 0x111},
          {cat({sc4(), u.pps}), 0x221},
          {cat({sc4(), u.idr}), 0x041},
          {cat({sc4(), u.p1a}), 0x001},
          {cat({sc3(), u.p1b}), 0x001},
          {cat({sc4(), u.p2}), 0x001},
          {cat({sc4(), u.sps}), 0x011},
          {cat({sc4(), u.pps}), 0x021},
          {cat({sc4(), u.idr2}), 0x041}}},
        {kRenderLengthPrefix,
         {{cat({len(u.idr), u.idr}), 0x371},
          {cat({len(u.p1a), u.p1a}), 0x001},
          {cat({len(u.p1b), u.p1b}), 0x001},
          {cat({len(u.p2), u.p2}), 0x001},
          {cat({len(u.sps), u.sps}), 0x011},
          {cat({len(u.pps), u.pps}), 0x021},
          {cat({len(u.idr2), u.idr2}), 0x041}}},
    };
    for (const Case& c : cases) {
        RecordingConsumer consumer;
        consumer.flags = c.mode;
        H264VideoSinkImpl sink(nullptr, false);
        sink.setConsumer(&consumer);
        Feeder f(sink);
        for (const Step& s : stream) f.send(*s.unit, {}, s.marker);

        ASSERT_EQ(consumer.deliveries.size(), c.expected.size()) << "mode " << c.mode;
        for (std::size_t i = 0; i < c.expected.size(); ++i) {
            EXPECT_EQ(consumer.deliveries[i].bytes, c.expected[i].bytes) << "mode " << c.mode << " delivery " << i;
            EXPECT_EQ(consumer.deliveries[i].flags, c.expected[i].flags) << "mode " << c.mode << " delivery " << i;
        }
        EXPECT_TRUE(consumer.paddingOk) << "mode " << c.mode;
        // Only the first SPS/PPS pair reaches the consumer, before any frame that needs it.
        ASSERT_EQ(consumer.parameterSets.size(), 1u) << "mode " << c.mode;
        EXPECT_EQ(consumer.parameterSets[0].first, u.sps);
        EXPECT_EQ(consumer.parameterSets[0].second, u.pps);
        EXPECT_EQ(consumer.order[0], c.mode == 0 ? "frame" : "ps");
        EXPECT_EQ(consumer.statistics.totalsSnapshot().received, static_cast<int>(c.expected.size()));
    }
}

TEST(H264VideoSinkImpl, PicturesStayWholeWhenParameterSetsComeBetweenTheirSlices) {
    // A payloader that repeats the parameter sets in front of every slice of a key frame
    // (GStreamer's with config-interval=-1) puts them between the slices of one picture. They
    // must not cut it: the slices after them would reach the decoder as a picture without
    // its first slice. Parameter sets after the last slice of a picture lead the next one.
    const Units u;
    const Bytes idrB = h264test::sliceUnit({5, 3, 60, 0, 0, 0, 0});   // second slice of u.idr
    const Bytes idr2b = h264test::sliceUnit({5, 3, 60, 0, 0, 1, 0});  // second slice of u.idr2
    struct Step {
        const Bytes* unit;
        bool marker;
    };
    struct Case {
        const char* what;
        int mode;
        std::vector<Step> stream;
        std::vector<Bytes> expected;
    };
    const Case cases[] = {
        {"with markers and delimiters", kRenderWholeFrames,
         {{&u.aud, false}, {&u.sps, false}, {&u.pps, false}, {&u.sei, false}, {&u.sps, false}, {&u.pps, false},
          {&u.idr, false}, {&u.sps, false}, {&u.pps, false}, {&idrB, true},
          {&u.aud, false}, {&u.p1a, false}, {&u.p1b, true}},
         {cat({sc4(), u.aud, sc4(), u.sps, sc4(), u.pps, sc4(), u.sei, sc4(), u.sps, sc4(), u.pps, sc4(), u.idr, sc4(),
               u.sps, sc4(), u.pps, sc3(), idrB}),
          cat({sc4(), u.aud, sc4(), u.p1a, sc3(), u.p1b})}},
        {"without markers", kRenderWholeFrames,
         {{&u.sps, false}, {&u.pps, false}, {&u.idr, false}, {&u.sps, false}, {&u.pps, false}, {&idrB, false},
          {&u.p1a, false}, {&u.p1b, false},
          {&u.sps, false}, {&u.pps, false}, {&u.idr2, false}, {&u.sps, false}, {&u.pps, false}, {&idr2b, false},
          {&u.p2, false}},
         {cat({sc4(), u.sps, sc4(), u.pps, sc4(), u.idr, sc4(), u.sps, sc4(), u.pps, sc3(), idrB}),
          cat({sc4(), u.p1a, sc3(), u.p1b}),
          cat({sc4(), u.sps, sc4(), u.pps, sc4(), u.idr2, sc4(), u.sps, sc4(), u.pps, sc3(), idr2b})}},
        {"without markers, length prefixes", kRenderWholeFrames | kRenderLengthPrefix,
         {{&u.sps, false}, {&u.pps, false}, {&u.idr, false}, {&u.sps, false}, {&u.pps, false}, {&idrB, false},
          {&u.p1a, false}, {&u.p1b, false}, {&u.sps, false}, {&u.pps, false}, {&u.idr2, false}},
         // The first pair is new and kept apart; the repeats are not.
         {cat({len(u.idr), u.idr, len(u.sps), u.sps, len(u.pps), u.pps, len(idrB), idrB}),
          cat({len(u.p1a), u.p1a, len(u.p1b), u.p1b})}},
    };
    for (const Case& c : cases) {
        RecordingConsumer consumer;
        consumer.flags = c.mode;
        H264VideoSinkImpl sink(nullptr, false);
        sink.setConsumer(&consumer);
        Feeder f(sink);
        for (const Step& s : c.stream) f.send(*s.unit, {}, s.marker);
        ASSERT_EQ(consumer.deliveries.size(), c.expected.size()) << c.what;
        for (std::size_t i = 0; i < c.expected.size(); ++i)
            EXPECT_EQ(consumer.deliveries[i].bytes, c.expected[i]) << c.what << ", delivery " << i;
        EXPECT_TRUE(consumer.deliveries[0].flags & kFrameIdr) << c.what;
        EXPECT_EQ(consumer.deliveries[1].flags, kFrameNalData | kFrameWhole) << c.what;
        EXPECT_TRUE(consumer.paddingOk) << c.what;
    }
}

TEST(H264VideoSinkImpl, ChangedParameterSetsReachTheConsumer) {
    const Units u;
    H264SeqParameterSet other = h264test::sps1080();
    other.pic_width_in_mbs_minus1 = 79;
    const Bytes sps2 = h264test::spsUnit(other);
    const Bytes pps2 = h264test::ppsUnit(0, 0, 1);

    RecordingConsumer consumer;
    consumer.flags = kRenderWholeFrames | kRenderLengthPrefix;
    H264VideoSinkImpl sink(nullptr, false);
    sink.setConsumer(&consumer);
    Feeder f(sink);
    for (const Bytes* unit : {&u.sps, &u.pps, &u.idr, &sps2, &u.pps, &u.idr2, &pps2, &u.p1a})
        f.send(*unit, {}, true);
    // A changed SPS makes the unchanged PPS after it count as changed too.
    ASSERT_EQ(consumer.parameterSets.size(), 3u);
    EXPECT_EQ(consumer.parameterSets[1], std::make_pair(sps2, u.pps));
    EXPECT_EQ(consumer.parameterSets[2], std::make_pair(sps2, pps2));
    ASSERT_EQ(consumer.deliveries.size(), 3u);
    EXPECT_EQ(consumer.deliveries[1].flags, 0x373);
    EXPECT_EQ(consumer.deliveries[2].flags, 0x223);  // the changed PPS's flags travel with the next frame
    EXPECT_EQ(consumer.deliveries[2].bytes, cat({len(u.p1a), u.p1a}));
}

TEST(H264VideoSinkImpl, SequenceGaps) {
    const Bytes sei = Units().sei;
    struct Case {
        const char* name;
        std::vector<std::vector<std::uint16_t>> units;
        std::vector<std::uint16_t> lostCounts;      // per unit
        std::vector<RTSPLostRange> lastRanges;      // ranges reported with the last unit
    } cases[] = {
        {"wrap without gap", {{65534}, {65535}, {0}, {1}}, {0, 0, 0, 0}, {}},
        {"gap across wrap", {{65534}, {1}}, {0, 2}, {{1, 2}}},
        {"simple gap", {{10}, {11}, {14}}, {0, 0, 2}, {{14, 2}}},
        {"gap then none", {{10}, {11}, {14}, {15}}, {0, 0, 2, 0}, {}},
        {"repeat", {{10}, {10}}, {0, 65535}, {{10, 65535}}},
        {"late", {{10}, {9}}, {0, 65534}, {{9, 65534}}},
        {"first unit not compared", {{5, 9}, {10}}, {0, 0}, {}},
        {"gaps inside a unit", {{5}, {7, 8, 12}}, {0, 4}, {{7, 1}, {12, 3}}},
        {"empty lists are ignored", {{5}, {}, {6}}, {0, 0, 0}, {}},
    };
    for (const Case& c : cases) {
        H264VideoSinkImpl sink(nullptr, false);
        Feeder f(sink);
        for (std::size_t i = 0; i < c.units.size(); ++i)
            EXPECT_EQ(f.send(sei, c.units[i]), c.lostCounts[i]) << c.name << " unit " << i;
        ASSERT_EQ(f.ranges.size(), c.lastRanges.size()) << c.name;
        for (std::size_t i = 0; i < c.lastRanges.size(); ++i) {
            EXPECT_EQ(f.ranges[i].packetSeq, c.lastRanges[i].packetSeq) << c.name;
            EXPECT_EQ(f.ranges[i].packetLossCount, c.lastRanges[i].packetLossCount) << c.name;
        }
    }

    // A packet without a lostRanges vector still gets its count; units too short to hold
    // a NAL header keep the sequence going.
    H264VideoSinkImpl sink(nullptr, false);
    Feeder f(sink);
    f.send(sei, {10});
    EXPECT_EQ(f.send(sei, {13}, false, false), 2);
    EXPECT_EQ(f.send({}, {14}), 0);
    EXPECT_EQ(f.send(sei, {15}), 0);
}

TEST(H264VideoSinkImpl, LossReportsAndKeyFrameRequests) {
    RecordingSession session;
    RecordingConsumer consumer;
    consumer.flags = kRenderWholeFrames | kRenderIdrOnLoss;
    H264VideoSinkImpl sink(&session, false);

    sink.onPacket(nullptr);  // the first packet asks for an IDR frame, even a null one
    sink.onPacket(nullptr);
    EXPECT_EQ(session.idrRequests, 1);
    sink.setConsumer(&consumer);  // attaching re-arms it
    sink.onPacket(nullptr);
    EXPECT_EQ(session.idrRequests, 2);

    std::vector<RTSPLostRange> ranges = {{100, 2}, {200, 1}};
    RTSPPacketInfo report;
    report.lostCount = 3;
    report.lostRanges = &ranges;
    report.jitter = 7;
    report.timestamp = 90000;
    testing::internal::CaptureStdout();
    sink.onLosses(&report);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Losses pseq: 100 in l : 2, jitter : 7ms ts : 90000"), std::string::npos) << out;
    EXPECT_NE(out.find("Losses pseq: 200 in l : 1, jitter : 7ms ts : 90000"), std::string::npos) << out;
    EXPECT_EQ(session.idrRequests, 3);
    EXPECT_EQ(session.lost, (std::vector<RecordingSession::Lost>{{100, 2, 90000}, {200, 1, 90000}}));
    EXPECT_EQ(consumer.statistics.totalsSnapshot().lost, 3);
    EXPECT_EQ(consumer.statistics.snapshot().lost, 3);
    EXPECT_EQ(consumer.lostCalls, std::vector<int>{3});

    // No ranges: still an IDR request and the count; a null report: only the request.
    report.lostRanges = nullptr;
    report.lostCount = 4;
    sink.onLosses(&report);
    sink.onLosses(nullptr);
    EXPECT_EQ(session.idrRequests, 5);
    EXPECT_EQ(session.lost.size(), 2u);
    EXPECT_EQ(consumer.statistics.totalsSnapshot().lost, 7);
    EXPECT_EQ(consumer.lostCalls, (std::vector<int>{3, 4}));

    // Without 0x4 no IDR request is made on loss or on needsKeyFrame.
    consumer.flags = kRenderWholeFrames;
    sink.onLosses(nullptr);
    EXPECT_EQ(session.idrRequests, 5);

    // needsKeyFrame after a delivery asks for an IDR frame when 0x4 is set.
    consumer.flags = kRenderWholeFrames | kRenderIdrOnLoss;
    consumer.wantKeyFrame = true;
    const Units u;
    Feeder f(sink);
    f.send(u.sps);
    f.send(u.pps);
    f.send(u.idr, {}, true);
    EXPECT_EQ(consumer.deliveries.size(), 1u);  // the IDR picture with its parameter sets
    EXPECT_EQ(session.idrRequests, 6);

    // After detach the consumer hears nothing more.
    sink.detach(7);
    EXPECT_EQ(consumer.detaches, std::vector<int>{7});
    sink.onLosses(&report);
    f.send(u.p2, {}, true);
    EXPECT_EQ(consumer.lostCalls.size(), 2u);
    EXPECT_EQ(consumer.deliveries.size(), 1u);
    sink.detach(8);
    EXPECT_EQ(consumer.detaches.size(), 1u);
}

TEST(BitrateWindow, WindowAndKbps) {
    BitrateWindow w(5);
    const auto t0 = BitrateWindow::Clock::now();
    w.add(320000, t0);
    w.add(320000, t0 + std::chrono::milliseconds(5000));
    EXPECT_EQ(w.kbps(), 1000u);  // 640000 * 8 / 5 >> 10
    w.add(0, t0 + std::chrono::microseconds(5000999));  // 5000 whole ms: still inside
    EXPECT_EQ(w.kbps(), 1000u);
    w.add(0, t0 + std::chrono::milliseconds(5001));
    EXPECT_EQ(w.kbps(), 500u);
    for (int i = 0; i < 1000; ++i) w.add(10, t0 + std::chrono::milliseconds(6000 + i));
    EXPECT_EQ(w.kbps(), (((320000u + 10000u) * 8u) / 5u) >> 10);
}

TEST(H264VideoSinkImpl, RecordsDeliveredBytes) {
    const Units u;
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("h264rec-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(dir);

    Bytes expected;
    {
        RecordingConsumer consumer;
        consumer.flags = kRenderWholeFrames;
        H264VideoSinkImpl sink(nullptr, true);
        sink.setConsumer(&consumer);
        Feeder f(sink);
        for (const Bytes* unit : {&u.sps, &u.pps, &u.idr, &u.p1a, &u.p1b}) f.send(*unit, {}, unit != &u.p1a);
        sink.detach(0);
        f.send(u.p2, {}, true);  // recorded without a consumer too
        for (const Delivery& d : consumer.deliveries) expected.insert(expected.end(), d.bytes.begin(), d.bytes.end());
        const Bytes last = cat({sc4(), u.p2});
        expected.insert(expected.end(), last.begin(), last.end());
    }
    std::filesystem::current_path(previous);

    std::vector<std::filesystem::path> files;
    for (const auto& e : std::filesystem::directory_iterator(dir)) files.push_back(e.path());
    ASSERT_EQ(files.size(), 1u);
    const std::string name = files[0].filename().string();
    EXPECT_EQ(name.size(), std::string("ddmmYYYY-HHMMSS.h264").size()) << name;
    EXPECT_EQ(name.substr(8, 1), "-");
    EXPECT_EQ(name.substr(15), ".h264");
    EXPECT_EQ(h264test::readFile(files[0].string()), expected);
    std::filesystem::remove_all(dir);

    EXPECT_EQ(recordingFileName(0), [] {
        // The epoch in local time, formatted by hand.
        std::time_t t = 0;
        std::tm tm{};
        localtime_r(&t, &tm);
        char buf[64];
        std::snprintf(buf, sizeof buf, "%02d%02d%04d-%02d%02d%02d.h264", tm.tm_mday, tm.tm_mon + 1, tm.tm_year + 1900,
                      tm.tm_hour, tm.tm_min, tm.tm_sec);
        return std::string(buf);
    }());
}

TEST(H264VideoSinkImpl, AssemblesRealStream) {
    // The x264 fixture as an RTP stream: one sequence number per unit, the marker on the
    // last slice of every picture.
    const auto units = h264test::splitUnits(h264test::x264Fixture());
    H264NalParser probe;
    std::vector<bool> markers(units.size(), false);
    int lastSlice = -1;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const Bytes b = h264test::withStartCode(units[i]);
        probe.parseNal(b.data(), static_cast<int>(b.size()), false);
        const int type = units[i][0] & 0x1F;
        if (type == 1 || type == 5) {
            if (probe.lastSlice()->newPicture && lastSlice >= 0) markers[static_cast<std::size_t>(lastSlice)] = true;
            lastSlice = static_cast<int>(i);
        }
    }
    markers[static_cast<std::size_t>(lastSlice)] = true;

    RecordingSession session;
    RecordingConsumer consumer;
    consumer.flags = kRenderWholeFrames | kRenderParameterSetsApart;
    H264VideoSinkImpl sink(&session, false);
    sink.setConsumer(&consumer);
    Feeder f(sink);
    std::uint16_t seq = 65530;
    int lost = 0;
    for (std::size_t i = 0; i < units.size(); ++i) {
        if (i == 10) ++seq;  // one packet goes missing
        lost += f.send(units[i], {seq++}, markers[i]);
    }
    EXPECT_EQ(lost, 1);
    EXPECT_EQ(session.idrRequests, 1);
    int idr = 0;
    for (const Delivery& d : consumer.deliveries) {
        if (d.flags & kFrameIdr) ++idr;
        EXPECT_TRUE(d.flags & kFrameWhole);
    }
    // 12 pictures, one delivery each: the SEI in front of the first picture and the repeated
    // SPS and PPS in front of the second IDR picture travel with their picture.
    EXPECT_EQ(consumer.deliveries.size(), 12u);
    EXPECT_EQ(idr, 2);
    EXPECT_EQ(consumer.parameterSets.size(), 1u);
}
