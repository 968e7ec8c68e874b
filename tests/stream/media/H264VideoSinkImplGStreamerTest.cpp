// The media client against GStreamer's RTSP server with the encoder and payloader settings
// of a real streamer: x264 cuts every picture into slices and the payloader repeats SPS and
// PPS in front of each slice of a key frame. The server also writes what its encoder made to
// a file; every picture decoded from what the sink delivers must be the very picture FFmpeg
// decodes from that file.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "MediaTestPeers.h"
#include "PeerProcess.h"
#include "core/ConfigStore.h"
#include "stream/media/PlayerVideoRSTPClient.h"

namespace {

const std::string kServer = std::string(NIMBROSTA_SOURCE_DIR) + "/tests/rtspclient/gst_rtsp_server.py";

bool gstreamerAvailable() {
    std::string out;
    return runCommand("/usr/bin/python3 -c \"import gi; gi.require_version('GstRtspServer', '1.0'); "
                      "from gi.repository import GstRtspServer\" 2>&1",
                      out) == 0;
}

template <typename Done>
bool waitFor(Done done, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// Where the received pictures begin in the reference, when they follow it picture for
// picture from there; -1 otherwise. (A still scene repeats pictures, so every place where
// the first one appears is tried.)
long runInReference(const std::vector<std::string>& received, const std::vector<std::string>& reference) {
    if (received.empty() || received.size() > reference.size()) return -1;
    for (std::size_t start = 0; start + received.size() <= reference.size(); ++start)
        if (std::equal(received.begin(), received.end(), reference.begin() + long(start))) return long(start);
    return -1;
}

}  // namespace

TEST(H264VideoSinkImpl, GStreamersLiveSlicedStreamDecodesAsFFmpegDecodesItOverUdpAndTcp) {
    if (!gstreamerAvailable()) GTEST_SKIP() << "GStreamer's RTSP server (gir1.2-gst-rtsp-server-1.0) is not installed";
    struct Case {
        bool tcp;
        const char* aggregate;  // the payloader's aggregation; "" its default
    };
    for (const Case& c : {Case{false, ""}, Case{true, ""}, Case{false, "zero-latency"}}) {
        SCOPED_TRACE(std::string(c.tcp ? "TCP" : "UDP") + " aggregation " + (*c.aggregate ? c.aggregate : "default"));
        const std::string record = testing::TempDir() + "gst-sent-" + std::to_string(getpid()) + ".h264";
        std::remove(record.c_str());
        std::vector<std::string> argv = {"/usr/bin/python3", kServer, "--width", "1280", "--height", "720",
                                         "--threads", "4", "--key-int", "30", "--record", record};
        if (*c.aggregate) argv.insert(argv.end(), {"--aggregate", c.aggregate});
        PeerProcess server(argv);
        const std::string url = server.firstLine();
        ASSERT_EQ(url.rfind("rtsp://127.0.0.1:", 0), 0u) << url;

        const std::string old = ConfigStore::instance().getString("General.VideoOverTcp", "0");
        ConfigStore::instance().setString("General.VideoOverTcp", c.tcp ? "1" : "0", false);
        mediatest::RecordingMediaSession session;
        mediatest::DecodingVideoConsumer video(kRenderWholeFrames | kRenderIdrOnLoss, true);
        ASSERT_TRUE(video.ready());
        {
            PlayerVideoRSTPClient client(url, "", "", "SimpleInputInterface", &session);
            client.setVideoConsumer(&video);
            client.start();
            // Past the next key frame (one every 30 pictures).
            EXPECT_TRUE(waitFor([&] { return video.pictures >= 40; }, 60000)) << "pictures " << video.pictures;
            client.stop(true);
        }
        ConfigStore::instance().setString("General.VideoOverTcp", old, false);
        EXPECT_EQ(video.lostPackets, 0);
        EXPECT_EQ(video.decodeErrors, 0);

        const std::vector<std::string> received = video.digests();
        ASSERT_GE(received.size(), 40u);
        // The encoder runs ahead of what was sent; its file soon holds every picture received.
        std::vector<std::string> reference;
        waitFor([&] {
            reference = mediatest::referenceDigests(mediatest::readFile(record));
            return runInReference(received, reference) >= 0;
        }, 10000);
        EXPECT_GE(runInReference(received, reference), 0)
            << received.size() << " pictures received, " << reference.size() << " in the encoder's output";
        std::remove(record.c_str());
    }
}
