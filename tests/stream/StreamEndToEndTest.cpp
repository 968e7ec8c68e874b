// A whole stream: the stand-in streamer on the control channel creates the stream, the
// session starts the media client with the address it got, our RTSP library plays the
// stand-in RTSP server, the H.264 sink feeds a consumer that decodes with libavcodec and
// the Opus sink feeds the ALSA output, writing into a file through ALSA's file plugin.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <unistd.h>

#include "MediaTestPeers.h"
#include "StreamTestSupport.h"
#include "TestSupport.h"
#include "StubRtspServer.h"
#include "input-lib/InputClient.pb.h"
#include "stream/media/PlayerVideoRSTPClient.h"
#include "stream/session/SimpleInputInterface.h"
#include "stream/media/WindowsAudioRenderer.h"
#include "stubstreamer/StubStreamer.h"

using namespace std::chrono_literals;
using InputClient::Request;
using mediatest::DecodingVideoConsumer;
using nimbrosta::StubRtspServer;
using nimbrosta::StubRtspServerOptions;

namespace {

const std::string kFixture = std::string(NIMBROSTA_SOURCE_DIR) + "/tests/rtspclient/fixtures/testsrc-160x120.h264";

// A PCM file of the ALSA file plugin, removed when the test ends.
struct PcmFile {
    PcmFile()
        : path((std::filesystem::temp_directory_path() /
                ("nimbrosta-e2e-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".raw"))
                   .string()) {}
    ~PcmFile() { std::filesystem::remove(path); }
    std::string device() const { return "file:FILE=" + path + ",FORMAT=raw"; }
    std::vector<std::int16_t> samples() const {
        std::ifstream in(path, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::vector<std::int16_t> out(bytes.size() / 2);
        std::memcpy(out.data(), bytes.data(), out.size() * 2);
        return out;
    }
    static inline int counter = 0;
    const std::string path;
};

// The streamer, the RTSP server it names, the session and the application's consumers.
struct Stream {
    explicit Stream(StubRtspServerOptions rtsp, int stallTimeoutMs = VideoRTSPClient::kDefaultStallTimeoutMs)
        : rtspServer(withMedia(std::move(rtsp))), players(stallTimeoutMs) {
        started = rtspServer.start();
        StubSessionScript script;
        script.urlPortAndPostfix = ":" + std::to_string(rtspServer.port()) + "/stream";
        script.user = "tmp-user";
        script.password = "tmp-pass";
        streamer.scriptStandardSession(script);
        app.video = &video;
        app.audio = &audio;
    }
    ~Stream() { session.StopAllConnections(); }

    static StubRtspServerOptions withMedia(StubRtspServerOptions o) {
        o.h264File = kFixture;
        o.fps = 100;
        o.auth = StubRtspServerOptions::Auth::Digest;
        o.user = "tmp-user";
        o.password = "tmp-pass";
        return o;
    }

    std::vector<Request> requests(int type) const {
        std::vector<Request> out;
        for (const auto& f : streamer.requests(type)) out.push_back(f.request);
        return out;
    }

    StubRtspServer rtspServer;
    bool started = false;
    StubStreamer streamer;
    PcmFile pcm;
    DecodingVideoConsumer video;
    WindowsAudioRenderer audio{AudioDeviceOptions{pcm.device(), 48000, 2, 10}};
    RecordingApp app;
    PlayerVideoRSTPClientFactory players;
    SimpleInputInterface session{&app, &players};
};

}  // namespace

TEST(StreamEndToEnd, StreamerToRtspToDecodedPicturesAndPcmInAFile) {
    Stream s{StubRtspServerOptions()};
    ASSERT_TRUE(s.started);
    ASSERT_TRUE(s.video.ready());
    s.session.SetupConnectionAndStartStream("127.0.0.1", s.streamer.port(), "token", "en", true);
    ASSERT_TRUE(s.app.waitFor(kClientAppStreamCreated));
    ASSERT_TRUE(eventually([&] { return s.video.pictures >= 60 && s.audio.framesWritten() >= 48000 / 2; }, 15s))
        << "pictures " << s.video.pictures << " audio frames " << s.audio.framesWritten();

    s.session.StopAllConnections();
    EXPECT_TRUE(s.app.waitFor(kClientAppVideoClientFinished));
    const auto events = s.app.events();
    EXPECT_EQ(std::vector<int>(events.begin(), events.begin() + 4), (std::vector<int>{1001, 1004, 1005, 1002}));

    // The stream came from the address and credentials of STREAM_CREATED.
    const auto rtspRequests = s.rtspServer.requests();
    ASSERT_FALSE(rtspRequests.empty());
    EXPECT_EQ(rtspRequests.front().uri, "rtsp://127.0.0.1:" + std::to_string(s.rtspServer.port()) + "/stream");
    EXPECT_EQ(rtspRequests.front().header("User-Agent"), "SimpleInputInterface");

    // Every picture decoded, without an error; the sink asked for a key frame at the start.
    EXPECT_EQ(s.video.decodeErrors, 0);
    EXPECT_EQ(s.video.pictures.load(), s.video.pictureDeliveries.load());
    EXPECT_EQ(s.video.width, 160);
    EXPECT_EQ(s.video.height, 120);
    EXPECT_GE(s.requests(Request::VIDEO_FORCE_IDR_FRAME).size(), 1u);
    EXPECT_TRUE(s.requests(Request::VIDEO_NOTIFY_LOST_PACKET_INFO).empty());

    // The tone reached the file as 16-bit stereo PCM.
    const auto samples = s.pcm.samples();
    ASSERT_GE(samples.size(), 48000u);  // half a second of stereo frames
    int loud = 0;
    for (std::int16_t v : samples) loud += (v > 2000 || v < -2000);
    EXPECT_GT(loud, static_cast<int>(samples.size() / 10));
    EXPECT_EQ(s.audio.statistics.totalsSnapshot().lost, 0);
}

TEST(StreamEndToEnd, LossesAndReorderingReachTheStreamerAsLostPacketsAndKeyFrameRequests) {
    // Video packet indices in sending order; the fixture sends some 42 per loop.
    StubRtspServerOptions o;
    o.drop = {40, 41, 95, 130};
    o.swapWithNext = {20, 60, 100};
    o.duplicate = {70};
    Stream s{o};
    ASSERT_TRUE(s.started);
    av_log_set_level(AV_LOG_QUIET);  // the decoder complains about the missing slices
    s.session.SetupConnectionAndStartStream("127.0.0.1", s.streamer.port(), "token", "en", true);
    ASSERT_TRUE(s.app.waitFor(kClientAppStreamCreated));
    ASSERT_TRUE(s.streamer.waitForRequests(Request::VIDEO_NOTIFY_LOST_PACKET_INFO, 3, 15s));
    // No stall: pictures keep coming well after the last loss.
    const int afterLosses = s.video.pictures;
    ASSERT_TRUE(eventually([&] { return s.video.pictures >= afterLosses + 60; }, 15s));
    s.session.StopAllConnections();
    av_log_set_level(AV_LOG_INFO);
    EXPECT_TRUE(s.app.waitFor(kClientAppVideoClientFinished));

    std::set<std::pair<int, int>> reported;
    for (const auto& r : s.requests(Request::VIDEO_NOTIFY_LOST_PACKET_INFO))
        reported.insert({r.lostpacketinfo().packetseq(), r.lostpacketinfo().packetlosscount()});
    // Each gap is named by the first packet that arrived after it.
    EXPECT_EQ(reported, (std::set<std::pair<int, int>>{{42, 2}, {96, 1}, {131, 1}}));
    // A key frame at the start, and one per loss (the consumer asks for it).
    EXPECT_GE(s.requests(Request::VIDEO_FORCE_IDR_FRAME).size(), 4u);
    EXPECT_EQ(s.video.lostPackets, 4);
    EXPECT_EQ(s.video.statistics.totalsSnapshot().lost, 4);
}

// A server that keeps answering but sends no more media: the stream stalls, and the
// application hears of it as a connection error, not only as the end of the stream.
TEST(StreamEndToEnd, AServerThatStopsSendingIsReportedAsAConnectionError) {
    StubRtspServerOptions o;
    o.freezeAfter = 60;
    Stream s{o, 500};
    ASSERT_TRUE(s.started);
    const std::string log = testsupport::captureStdout([&] {
        s.session.SetupConnectionAndStartStream("127.0.0.1", s.streamer.port(), "token", "en", true);
        ASSERT_TRUE(s.app.waitFor(kClientAppStreamCreated));
        ASSERT_TRUE(s.app.waitFor(kClientAppVideoClientFinished, 1, 10s));
    });
    EXPECT_GT(s.video.pictures, 0);
    const auto events = s.app.events();
    const auto error = std::find(events.begin(), events.end(), kClientAppConnectionError);
    const auto finished = std::find(events.begin(), events.end(), kClientAppVideoClientFinished);
    ASSERT_NE(error, events.end());
    EXPECT_LT(error - events.begin(), finished - events.begin());
    EXPECT_EQ(std::count(events.begin(), events.end(), kClientAppConnectionError), 1);
    EXPECT_NE(log.find("[E]"), std::string::npos);
    EXPECT_NE(log.find("media stream error: the stream stalled: no RTP or RTCP packet from the server for 0.5 s"),
              std::string::npos)
        << log;
    s.session.StopAllConnections();
}
