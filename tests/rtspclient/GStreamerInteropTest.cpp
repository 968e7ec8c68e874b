// The library against GStreamer's RTSP server, through nimbrosta-rtsp-probe, which decodes
// every video frame with libavcodec and every Opus packet with libopus.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "PeerProcess.h"

namespace {

const std::string kServer = std::string(NIMBROSTA_SOURCE_DIR) + "/tests/rtspclient/gst_rtsp_server.py";
const std::string kProbe = std::string(NIMBROSTA_BIN_DIR) + "/nimbrosta-rtsp-probe";
// Plays until the counts the tests check have arrived; the deadline is only there for a
// server that never delivers them, so a slow start on a loaded machine passes.
const std::string kUntilMedia = " --frames 30 --audio-blocks 50 --seconds 60 ";
// A refused stream ends by itself as soon as the server answers.
const std::string kUntilRefused = " --seconds 60 ";

bool gstreamerAvailable() {
    std::string out;
    return runCommand("/usr/bin/python3 -c \"import gi; gi.require_version('GstRtspServer', '1.0'); "
                      "from gi.repository import GstRtspServer\" 2>&1",
                      out) == 0;
}

std::map<std::string, long> totals(const std::string& output) {
    std::map<std::string, long> values;
    const std::size_t pos = output.rfind("total:");
    if (pos == std::string::npos) return values;
    std::istringstream in(output.substr(pos + 6, output.find('\n', pos) - pos - 6));
    std::string item;
    while (in >> item) {
        const std::size_t eq = item.find('=');
        if (eq != std::string::npos) values[item.substr(0, eq)] = std::stol(item.substr(eq + 1));
    }
    return values;
}

}  // namespace

TEST(VideoRTSPClient, PlaysGStreamerStreamsOverUdpAndTcpWithBasicAndDigest) {
    if (!gstreamerAvailable()) GTEST_SKIP() << "GStreamer's RTSP server (gir1.2-gst-rtsp-server-1.0) is not installed";
    for (const char* auth : {"none", "basic", "digest"}) {
        PeerProcess server({"/usr/bin/python3", kServer, "--auth", auth});
        const std::string url = server.firstLine();
        ASSERT_EQ(url.rfind("rtsp://127.0.0.1:", 0), 0u) << url;
        for (const bool tcp : {false, true}) {
            SCOPED_TRACE(std::string(auth) + (tcp ? " tcp" : " udp"));
            std::string out;
            const int rc = runCommand(kProbe + (tcp ? " --tcp" : "") + " --user user --password secret" + kUntilMedia + url +
                                          " 2>&1",
                                      out);
            EXPECT_EQ(rc, 0) << out;
            EXPECT_NE(out.find("subsession H264"), std::string::npos);
            EXPECT_NE(out.find("subsession OPUS"), std::string::npos);
            auto t = totals(out);
            EXPECT_GE(t["frames"], 30) << out;
            EXPECT_EQ(t["decoded"], t["frames"]) << out;
            EXPECT_GE(t["audio_blocks"], 50) << out;
            EXPECT_EQ(t["lost"], 0) << out;
        }
        if (std::string(auth) != "none") {
            std::string out;
            EXPECT_NE(runCommand(kProbe + " --user user --password wrong" + kUntilRefused + url + " 2>&1", out), 0);
            EXPECT_NE(out.find("401"), std::string::npos) << out;
            EXPECT_NE(runCommand(kProbe + kUntilRefused + url + " 2>&1", out), 0);
            EXPECT_NE(out.find("no credentials"), std::string::npos) << out;
        }
    }
}

TEST(VideoRTSPClient, TakesInterleavedMediaWhenGStreamerRefusesUdp) {
    if (!gstreamerAvailable()) GTEST_SKIP() << "GStreamer's RTSP server (gir1.2-gst-rtsp-server-1.0) is not installed";
    PeerProcess server({"/usr/bin/python3", kServer, "--auth", "digest", "--tcp-only"});
    const std::string url = server.firstLine();
    std::string out;
    EXPECT_EQ(runCommand(kProbe + " --user user --password secret" + kUntilMedia + url + " 2>&1", out), 0) << out;
    auto t = totals(out);
    EXPECT_GE(t["frames"], 30) << out;
    EXPECT_EQ(t["decoded"], t["frames"]);
    EXPECT_EQ(t["lost"], 0);
}

// A client that joins a shared stream already playing to another client may first get a
// few packets sent before its PLAY; they are not losses of its stream.
TEST(VideoRTSPClient, JoiningARunningSharedStreamLosesNothing) {
    if (!gstreamerAvailable()) GTEST_SKIP() << "GStreamer's RTSP server (gir1.2-gst-rtsp-server-1.0) is not installed";
    std::unique_ptr<PeerProcess> server, first;
    std::string url;
    int joined = 0;
    for (int attempt = 0; attempt < 12 && joined < 4; ++attempt) {
        if (!server || !server->alive()) {
            // GStreamer's server now and then stops on an assertion of its own when a client
            // joins a shared stream (rtsp-media.c, gst_rtsp_media_get_rates): start afresh.
            first.reset();
            server = std::make_unique<PeerProcess>(std::vector<std::string>{"/usr/bin/python3", kServer});
            url = server->firstLine();
            ASSERT_EQ(url.rfind("rtsp://127.0.0.1:", 0), 0u) << url;
            first = std::make_unique<PeerProcess>(std::vector<std::string>{kProbe, "--seconds", "120", url});
            for (std::string line; line.rfind("t=", 0) != 0;) {  // until its first report: it plays
                line = first->firstLine();                       // the next line
                ASSERT_FALSE(line.empty());
            }
        }
        const bool tcp = joined != 3;
        SCOPED_TRACE("join " + std::to_string(joined) + (tcp ? " tcp" : " udp"));
        std::string out;
        const int status = runCommand(kProbe + (tcp ? " --tcp" : "") + kUntilMedia + url + " 2>&1", out);
        // The same fault of the server may instead leave the shared media broken: it then
        // refuses every request for it with 503 until it is started again.
        if (out.find("503 Service Unavailable") != std::string::npos) server.reset();
        if (!server || !server->alive()) continue;
        EXPECT_EQ(status, 0) << out;
        auto t = totals(out);
        EXPECT_GE(t["frames"], 30) << out;
        EXPECT_EQ(t["lost"], 0) << out;
        ++joined;
    }
    EXPECT_EQ(joined, 4);
}

TEST(VideoRTSPClient, ProbeSaysWhyItCouldNotPlay) {
    std::string out;
    EXPECT_NE(runCommand(kProbe + " --seconds 2 rtsp://127.0.0.1:1/none 2>&1", out), 0);
    EXPECT_NE(out.find("error: cannot connect"), std::string::npos) << out;
    EXPECT_NE(runCommand(kProbe + " --seconds 2 http://127.0.0.1/x 2>&1", out), 0);
    EXPECT_NE(out.find("error:"), std::string::npos) << out;
    EXPECT_NE(runCommand(kProbe + " 2>&1", out), 0);
}
