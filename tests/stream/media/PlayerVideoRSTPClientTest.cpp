// The stream's media client with our RTSP library, the real sinks and the stand-in RTSP
// server on loopback; the video consumer decodes with libavcodec.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <set>
#include <sstream>
#include <thread>

#include "MediaTestPeers.h"
#include "StubRtspServer.h"
#include "core/ConfigStore.h"
#include "stream/media/H264VideoSinkImpl.h"
#include "stream/media/OPUSAudioSinkImpl.h"
#include "stream/media/PlayerVideoRSTPClient.h"

using mediatest::CountingAudioConsumer;
using mediatest::DecodingVideoConsumer;
using mediatest::RecordingMediaSession;
using nimbrosta::StubRtspServer;
using nimbrosta::StubRtspServerOptions;

namespace {

const std::string kFixture = std::string(NIMBROSTA_SOURCE_DIR) + "/tests/rtspclient/fixtures/testsrc-160x120.h264";

StubRtspServerOptions standIn() {
    StubRtspServerOptions o;
    o.h264File = kFixture;  // 30 pictures of 160x120, IDR first, looped
    o.fps = 100;
    return o;
}

bool waitFor(const std::function<bool()>& done, int timeoutMs = 10000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

std::vector<nimbrosta::StubRtspRequest> requestsOf(const StubRtspServer& s, const std::string& method) {
    std::vector<nimbrosta::StubRtspRequest> out;
    for (const auto& r : s.requests())
        if (r.method == method) out.push_back(r);
    return out;
}

std::vector<std::string> linesWith(const std::string& text, const std::string& needle) {
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        if (line.find(needle) != std::string::npos) out.push_back(line);
    return out;
}

// Sets "General.VideoOverTcp" for one scope (in memory only); null leaves it unset.
class VideoOverTcp {
public:
    explicit VideoOverTcp(const char* value) : old_(ConfigStore::instance().getString(kKey, "0")) {
        if (value) ConfigStore::instance().setString(kKey, value, false);
    }
    ~VideoOverTcp() { ConfigStore::instance().setString(kKey, old_, false); }

private:
    static constexpr const char* kKey = "General.VideoOverTcp";
    std::string old_;
};

}  // namespace

TEST(PlayerVideoRSTPClient, PlaysTheStreamIntoDecodingConsumersOverUdpOrTcpAsConfigured) {
    struct Case {
        const char* setting;  // null: the key is not set
        bool tcp;
        StubRtspServerOptions::Auth auth;
    };
    const Case cases[] = {{nullptr, false, StubRtspServerOptions::Auth::Digest},
                          {"0", false, StubRtspServerOptions::Auth::Basic},
                          {"1", true, StubRtspServerOptions::Auth::Digest}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.setting ? c.setting : "absent");
        if (!c.setting && ConfigStore::instance().has("General.VideoOverTcp")) continue;  // set by an earlier run
        VideoOverTcp setting(c.setting);
        StubRtspServerOptions o = standIn();
        o.auth = c.auth;
        o.user = "tmp-user";
        o.password = "tmp-pass";
        StubRtspServer server(o);
        ASSERT_TRUE(server.start());

        RecordingMediaSession session;
        DecodingVideoConsumer video;
        ASSERT_TRUE(video.ready());
        CountingAudioConsumer audio;
        {
            PlayerVideoRSTPClient client(server.url(), "tmp-user", "tmp-pass", "SimpleInputInterface", &session);
            client.setVideoConsumer(&video);
            client.setAudioConsumer(&audio);
            EXPECT_TRUE(client.start());
            EXPECT_TRUE(client.isRunning());
            ASSERT_TRUE(waitFor([&] { return video.pictures >= 45 && audio.blocks >= 20; }))
                << "pictures " << video.pictures << " audio blocks " << audio.blocks;
            client.stop(true);
            EXPECT_FALSE(client.isRunning());
            EXPECT_EQ(session.finished(), 1);
            // After the join nothing feeds the consumers any more.
            const int deliveries = video.deliveries;
            const int blocks = audio.blocks;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            EXPECT_EQ(video.deliveries, deliveries);
            EXPECT_EQ(audio.blocks, blocks);
        }
        EXPECT_EQ(session.finished(), 1);
        EXPECT_EQ(session.finishedThreadName(), "Video Client Th");  // the system keeps 15 bytes

        // Every picture that was delivered decoded, without an error.
        EXPECT_EQ(video.decodeErrors, 0);
        EXPECT_EQ(video.pictures.load(), video.pictureDeliveries.load());
        EXPECT_EQ(video.statistics.totalsSnapshot().decoded, video.pictures.load());
        EXPECT_EQ(video.width, 160);
        EXPECT_EQ(video.height, 120);
        EXPECT_GE(video.idrDeliveries, 1);
        EXPECT_GE(video.parameterSets, 1);
        EXPECT_GE(session.idrRequests, 1);  // asked at the first packet
        EXPECT_EQ(video.lostPackets, 0);
        EXPECT_TRUE(session.lost().empty());
        EXPECT_EQ(video.detachReasons(), std::vector<int>{0});

        EXPECT_EQ(audio.rate, 48000);
        EXPECT_EQ(audio.channels, 2);
        EXPECT_EQ(audio.frames, static_cast<long>(audio.blocks) * 960);
        EXPECT_GT(audio.audibleBlocks, 0);

        // Transport as the setting asks; the tag identifies the client; one TEARDOWN.
        const auto setups = requestsOf(server, "SETUP");
        ASSERT_EQ(setups.size(), 2u);
        for (const auto& s : setups) {
            EXPECT_EQ(s.header("Transport").find("TCP") != std::string::npos, c.tcp) << s.header("Transport");
            EXPECT_EQ(s.header("User-Agent"), "SimpleInputInterface");
        }
        EXPECT_EQ(requestsOf(server, "TEARDOWN").size(), 1u);
    }
}

TEST(H264VideoSinkImpl, GStreamersSlicedPicturesDecodeAsFFmpegDecodesThemOverUdpAndTcp) {
    // Packets recorded from GStreamer's payloader: x264 cuts every picture into slices and
    // the payloader repeats SPS and PPS in front of each slice of a key frame, as single
    // units or aggregated with small slices in STAP-A packets. Every picture decoded from
    // what the sink delivers must be the one FFmpeg decodes from the encoder's own output.
    const std::string data = std::string(NIMBROSTA_SOURCE_DIR) + "/tests/stream/data/";
    for (const char* recording : {"gst_ball_192x144_slices", "gst_ball_192x144_slices_stap"}) {
        const std::vector<std::string> reference =
            mediatest::referenceDigests(mediatest::readFile(data + recording + ".h264"));
        ASSERT_EQ(reference.size(), 6u) << recording;
        // The recorded packets as they are, and the encoder's output packed by the stand-in.
        const struct {
            bool tcp, recorded;
        } ways[] = {{false, true}, {true, true}, {false, false}, {true, false}};
        for (const auto [tcp, recorded] : ways) {
            SCOPED_TRACE(std::string(recording) + (tcp ? " over TCP" : " over UDP") +
                         (recorded ? "" : ", packets made by the stand-in"));
            VideoOverTcp setting(tcp ? "1" : "0");
            StubRtspServerOptions o;
            (recorded ? o.rtpFile : o.h264File) = data + recording + (recorded ? ".rtp" : ".h264");
            o.audio = false;
            o.fps = 100;
            o.loops = 1;
            StubRtspServer server(o);
            ASSERT_EQ(server.videoFrameCount(), 6u);
            ASSERT_TRUE(server.start());

            RecordingMediaSession session;
            DecodingVideoConsumer video;
            ASSERT_TRUE(video.ready());
            PlayerVideoRSTPClient client(server.url(), "", "", "SimpleInputInterface", &session);
            client.setVideoConsumer(&video);
            client.start();
            // Every picture is sent once; the sink hands the last one over at its marker.
            EXPECT_TRUE(waitFor([&] { return video.pictures >= 6 || video.deliveries > 6; }))
                << "pictures " << video.pictures << " deliveries " << video.deliveries;
            client.stop(true);
            EXPECT_EQ(video.digests(), reference);
            EXPECT_EQ(video.deliveries, 6);
            EXPECT_EQ(video.decodeErrors, 0);
            EXPECT_EQ(video.lostPackets, 0);
        }
    }
}

TEST(PlayerVideoRSTPClient, MakesSinksOnlyForTheExactCodecNames) {
    const struct {
        const char* name;
        bool video, audio;
    } cases[] = {{"H264", true, false}, {"OPUS", false, true}, {"h264", false, false}, {"H264 ", false, false},
                 {"H2645", false, false}, {"H.264", false, false}, {"Opus", false, false}, {"opus", false, false},
                 {"OPUS/48000", false, false}, {"", false, false}, {"MP4A-LATM", false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("\"") + c.name + "\"");
        RecordingMediaSession session;
        DecodingVideoConsumer video;
        CountingAudioConsumer audio;
        PlayerVideoRSTPClient client("rtsp://127.0.0.1:1/x", "", "", "t", &session);
        client.setVideoConsumer(&video);
        client.setAudioConsumer(&audio);
        int subsession = 0;
        std::unique_ptr<IRTSPSink> sink(client.createSink(c.name, &subsession));
        EXPECT_EQ(sink != nullptr, c.video || c.audio);
        if (c.video) {
            auto* h264 = dynamic_cast<H264VideoSinkImpl*>(sink.get());
            ASSERT_NE(h264, nullptr);
            EXPECT_EQ(h264->consumer(), &video);
            EXPECT_EQ(h264->prefixSize(), 4);
        }
        if (c.audio) {
            auto* opus = dynamic_cast<OPUSAudioSinkImpl*>(sink.get());
            ASSERT_NE(opus, nullptr);
            EXPECT_EQ(opus->consumer(), &audio);
            EXPECT_EQ(audio.rate, 48000);
        }
    }
    EXPECT_EQ(nullptr, PlayerVideoRSTPClient("rtsp://h/x", "", "", "t", nullptr).createSink(nullptr, nullptr));
}

TEST(PlayerVideoRSTPClient, NewSinksTakeTheConsumersAndSwitchesRecordedBeforehand) {
    RecordingMediaSession session;
    DecodingVideoConsumer first, second;
    CountingAudioConsumer audioFirst, audioSecond;
    PlayerVideoRSTPClient client("rtsp://127.0.0.1:1/x", "", "", "t", &session);
    client.setVideoConsumer(&first);
    client.setAudioConsumer(&audioFirst);
    client.setVideoEnabled(false);  // no library client yet: only recorded
    int videoSub = 0, audioSub = 0;
    std::unique_ptr<IRTSPSink> video(client.createSink("H264", &videoSub));
    std::unique_ptr<IRTSPSink> audio(client.createSink("OPUS", &audioSub));
    EXPECT_FALSE(video->enabled);
    EXPECT_TRUE(audio->enabled);

    // Later consumers and switches are for sinks made afterwards.
    client.setVideoConsumer(&second);
    client.setAudioConsumer(&audioSecond);
    client.setVideoEnabled(true);
    client.setAudioEnabled(false);
    EXPECT_EQ(static_cast<H264VideoSinkImpl*>(video.get())->consumer(), &first);
    EXPECT_EQ(static_cast<OPUSAudioSinkImpl*>(audio.get())->consumer(), &audioFirst);
    EXPECT_EQ(audioSecond.rate, 0);
    std::unique_ptr<IRTSPSink> video2(client.createSink("H264", &videoSub));
    std::unique_ptr<IRTSPSink> audio2(client.createSink("OPUS", &audioSub));
    EXPECT_TRUE(video2->enabled);
    EXPECT_FALSE(audio2->enabled);
    EXPECT_EQ(static_cast<H264VideoSinkImpl*>(video2.get())->consumer(), &second);
    EXPECT_EQ(static_cast<OPUSAudioSinkImpl*>(audio2.get())->consumer(), &audioSecond);
    EXPECT_EQ(session.finished(), 0);  // never started
}

TEST(PlayerVideoRSTPClient, FailedCreationLogsOnceAndFinishesWithoutHangingStart) {
    // Creation fails at once, so the thread often ends before start begins to wait.
    for (int i = 0; i < 100; ++i) {
        SCOPED_TRACE(i);
        RecordingMediaSession session;
        testing::internal::CaptureStdout();
        {
            PlayerVideoRSTPClient client("http://127.0.0.1/stream", "u", "p", "t", &session);
            EXPECT_FALSE(client.start());
            ASSERT_TRUE(session.waitFinished());
            EXPECT_TRUE(waitFor([&] { return !client.isRunning(); }));
            EXPECT_FALSE(client.start());  // served its run: nothing happens
            client.stop(true);
            client.stop(true);
        }
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(session.finished(), 1);
        if (i == 0) {
            EXPECT_EQ(session.finishedThreadName(), "Video Client Th");
            const auto lines = linesWith(out, "Failed to create");
            ASSERT_EQ(lines.size(), 1u) << out;
            const std::string text = "]: Failed to create a RTSP client for URL \"http://127.0.0.1/stream";
            EXPECT_EQ(lines[0].substr(0, 4), "[E][");
            EXPECT_NE(lines[0].find("PlayerVideoRSTPClient::rtspDo"), std::string::npos);
            ASSERT_GE(lines[0].size(), text.size());
            EXPECT_EQ(lines[0].substr(lines[0].size() - text.size()), text);  // no closing quote
        }
    }
}

TEST(PlayerVideoRSTPClient, StopsOnceWhicheverSideEndsTheStream) {
    enum class End { Stop, StopTwice, StopNoJoinThenJoin, Destroy, ServerBye, ServerClose, ServerFreezes };
    const struct {
        const char* name;
        End end;
    } cases[] = {{"stop", End::Stop},
                 {"two stops", End::StopTwice},
                 {"stop without join, then with", End::StopNoJoinThenJoin},
                 {"destruction alone", End::Destroy},
                 {"server says BYE", End::ServerBye},
                 {"server closes", End::ServerClose},
                 {"server stops sending", End::ServerFreezes}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StubRtspServerOptions o = standIn();
        if (c.end == End::ServerBye) o.byeAfter = 40;
        if (c.end == End::ServerClose) o.closeAfter = 40;
        if (c.end == End::ServerFreezes) o.freezeAfter = 40;
        StubRtspServer server(o);
        ASSERT_TRUE(server.start());
        RecordingMediaSession session;
        DecodingVideoConsumer video;
        CountingAudioConsumer audio;
        auto client = std::make_unique<PlayerVideoRSTPClient>(server.url(), "", "", "t", &session, 400);
        client->setVideoConsumer(&video);
        client->setAudioConsumer(&audio);
        client->start();
        ASSERT_TRUE(waitFor([&] { return video.pictures >= 5; }));
        switch (c.end) {
            case End::Stop:
                client->stop(true);
                break;
            case End::StopTwice:
                client->stop(true);
                client->stop(true);
                break;
            case End::StopNoJoinThenJoin:
                client->stop(false);
                client->stop(true);
                break;
            case End::Destroy:
                client.reset();
                break;
            case End::ServerBye:
            case End::ServerClose:
            case End::ServerFreezes:
                // The library ends the stream; the thread ends by itself, and a later stop
                // with join finds it ended.
                // Meanwhile the switches keep hitting a client that goes away.
                {
                    std::atomic<bool> done{false};
                    std::thread switcher([&] {
                        for (bool on = false; !done; on = !on) {
                            client->setVideoEnabled(on);
                            client->setAudioEnabled(!on);
                        }
                    });
                    EXPECT_TRUE(session.waitFinished());
                    done = true;
                    switcher.join();
                }
                EXPECT_TRUE(waitFor([&] { return !client->isRunning(); }));
                client->stop(true);
                break;
        }
        if (client) {
            EXPECT_FALSE(client->isRunning());
        }
        EXPECT_EQ(session.finished(), 1);
        EXPECT_EQ(video.detachReasons(), std::vector<int>{0});  // the sinks were deleted
        // Only a stalled stream is an error the session must report; the others are ends.
        const auto errors = session.errors();
        if (c.end == End::ServerFreezes) {
            ASSERT_EQ(errors.size(), 1u);
            EXPECT_NE(errors[0].find("stalled: no RTP or RTCP packet"), std::string::npos) << errors[0];
        } else {
            EXPECT_TRUE(errors.empty());
        }
        // Our own stop ends the session politely, and only once.
        const bool ownStop = c.end != End::ServerBye && c.end != End::ServerClose && c.end != End::ServerFreezes;
        if (ownStop) {
            EXPECT_EQ(requestsOf(server, "TEARDOWN").size(), 1u);
        }
        EXPECT_LE(requestsOf(server, "TEARDOWN").size(), 1u);
        client.reset();
        EXPECT_EQ(session.finished(), 1);
        EXPECT_EQ(video.decodeErrors, 0);
    }
}

TEST(PlayerVideoRSTPClient, EnableSwitchesPauseAndResumeTheRunningSinks) {
    StubRtspServer server(standIn());
    ASSERT_TRUE(server.start());
    RecordingMediaSession session;
    DecodingVideoConsumer video, later;
    CountingAudioConsumer audio;
    PlayerVideoRSTPClient client(server.url(), "", "", "t", &session);
    client.setVideoConsumer(&video);
    client.setAudioConsumer(&audio);
    client.start();
    ASSERT_TRUE(waitFor([&] { return video.pictures >= 5 && audio.blocks >= 5; }));

    // A consumer set now does not reach the running sink.
    client.setVideoConsumer(&later);

    // Audio keeps flowing (20 ms blocks) and serves as the clock while video is paused.
    auto afterAudioBlocks = [&](int n) {
        const int target = audio.blocks + n;
        return waitFor([&] { return audio.blocks >= target; });
    };
    client.setVideoEnabled(false);
    ASSERT_TRUE(afterAudioBlocks(5));  // a unit in flight at the switch has landed
    const int paused = video.deliveries;
    ASSERT_TRUE(afterAudioBlocks(10));
    EXPECT_EQ(video.deliveries, paused);

    client.setVideoEnabled(true);
    EXPECT_TRUE(waitFor([&] { return video.deliveries > paused + 5; }));

    client.setAudioEnabled(false);
    ASSERT_TRUE(waitFor([&] { return video.deliveries > paused + 15; }));
    const int audioPaused = audio.blocks;
    const int videoNow = video.deliveries;
    ASSERT_TRUE(waitFor([&] { return video.deliveries > videoNow + 20; }));
    EXPECT_EQ(audio.blocks, audioPaused);
    client.setAudioEnabled(true);
    EXPECT_TRUE(afterAudioBlocks(5));

    client.stop(true);
    EXPECT_EQ(later.deliveries, 0);
    // Switching after the end reaches no library client.
    client.setVideoEnabled(false);
    client.setAudioEnabled(true);
    EXPECT_EQ(session.finished(), 1);
}

TEST(PlayerVideoRSTPClient, LossesReachTheSessionAndAKeyFrameIsRequested) {
    // Drops, a reordered pair and a duplicate in the video; the fixture at MTU 1000 sends
    // some 42 packets per loop of 30 pictures, so the losses fall into two loops.
    StubRtspServerOptions o = standIn();
    o.audio = true;
    o.drop = {40, 41, 95};
    o.swapWithNext = {50};
    o.duplicate = {60};
    StubRtspServer server(o);
    ASSERT_TRUE(server.start());
    RecordingMediaSession session;
    DecodingVideoConsumer video;
    CountingAudioConsumer audio;
    av_log_set_level(AV_LOG_QUIET);  // the decoder complains about the missing slices
    {
        PlayerVideoRSTPClient client(server.url(), "", "", "t", &session);
        client.setVideoConsumer(&video);
        client.setAudioConsumer(&audio);
        client.start();
        // Well past the losses: three loops of the fixture.
        ASSERT_TRUE(waitFor([&] { return server.videoPacketsSent() > 200 && video.pictures >= 80; }))
            << "sent " << server.videoPacketsSent() << " pictures " << video.pictures;
        client.stop(true);
    }
    av_log_set_level(AV_LOG_INFO);

    const auto lost = session.lost();
    ASSERT_EQ(lost.size(), 2u);
    EXPECT_EQ(lost[0].seq, 42);  // first sequence number received after the gap
    EXPECT_EQ(lost[0].count, 2);
    EXPECT_EQ(lost[1].seq, 96);
    EXPECT_EQ(lost[1].count, 1);
    EXPECT_EQ(video.lostPackets, 3);
    EXPECT_EQ(video.statistics.totalsSnapshot().lost, 3);
    EXPECT_GE(session.idrRequests, 3);  // the first packet, then each loss
    EXPECT_EQ(audio.lostPackets, 0);
    EXPECT_EQ(session.finished(), 1);
}

TEST(PlayerVideoRSTPClient, StopWithJoinWaitsForTheThreadAlsoAfterTheLibraryEndedTheStream) {
    // The sinks call their consumers until the library client is deleted; the owner
    // frees the consumers once stop with join returned. Hold the client thread inside
    // that deletion (the consumer's detach) after the server ended the stream.
    class HeldConsumer : public DecodingVideoConsumer {
    public:
        void detach(int reason) override {
            std::unique_lock<std::mutex> l(m);
            entered = true;
            cv.notify_all();
            cv.wait(l, [this] { return released; });
            DecodingVideoConsumer::detach(reason);
        }
        std::mutex m;
        std::condition_variable cv;
        bool entered = false, released = false;
    };
    StubRtspServerOptions o = standIn();
    o.byeAfter = 30;
    StubRtspServer server(o);
    ASSERT_TRUE(server.start());
    RecordingMediaSession session;
    HeldConsumer video;
    PlayerVideoRSTPClient client(server.url(), "", "", "t", &session);
    client.setVideoConsumer(&video);
    client.start();
    {
        std::unique_lock<std::mutex> l(video.m);
        ASSERT_TRUE(video.cv.wait_for(l, std::chrono::seconds(10), [&] { return video.entered; }));
    }
    std::atomic<bool> stopped{false};
    std::thread stopper([&] {
        client.stop(true);
        stopped = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(stopped) << "stop(true) returned while the client thread still used the consumer";
    EXPECT_EQ(session.finished(), 0);
    {
        std::lock_guard<std::mutex> l(video.m);
        video.released = true;
        video.cv.notify_all();
    }
    stopper.join();
    EXPECT_TRUE(stopped);
    EXPECT_EQ(session.finished(), 1);
    EXPECT_FALSE(client.isRunning());
}
