// The in-stream screen playing a real encoder's stream, as a user meets it: the real
// executable in direct mode under Xvfb, the stand-in streamer announcing GStreamer's RTSP
// server, whose x264 cuts every 1280x720 picture into slices and whose payloader repeats the
// parameter sets in front of each slice of a key frame. The server writes what its encoder
// made to a file; the window must show one of the pictures FFmpeg decodes from that file,
// band for band, over UDP and over TCP. Screenshots go to build/artifacts/.

#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "../../rtspclient/PeerProcess.h"
#include "stubstreamer/StubStreamer.h"

#include "../../app/ClientTestSupport.h"
#include "../../shell/X11TestSupport.h"
#include "StartupDialogsOnScreen.h"

namespace guitest {
std::string artifactsDir();
bool writePng(const std::string& path, int width, int height, const std::uint8_t* rgba);
}  // namespace guitest

namespace {

const std::string kServer = std::string(NIMBROSTA_SOURCE_DIR) + "/tests/rtspclient/gst_rtsp_server.py";
constexpr int kWidth = 1280;
constexpr int kHeight = 720;
// Rows compared as one band: a slice of x264's is several rows of 16.
constexpr int kBand = 16;
// Where the menu's toggle button covers the picture.
constexpr int kButtonBottom = 64;
constexpr int kButtonHalfWidth = 48;

bool gstreamerAvailable() {
    std::string out;
    return runCommand("/usr/bin/python3 -c \"import gi; gi.require_version('GstRtspServer', '1.0'); "
                      "from gi.repository import GstRtspServer\" 2>&1",
                      out) == 0;
}

// Calls fn with every picture FFmpeg decodes from the Annex B file, in order.
void decodeFile(const std::string& path, const std::function<void(const AVFrame&)>& fn) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t size = data.size();
    data.resize(size + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    AVCodecParserContext* parser = av_parser_init(AV_CODEC_ID_H264);
    AVCodecContext* context = avcodec_alloc_context3(codec);
    AVPacket* packet = av_packet_alloc();
    AVFrame* picture = av_frame_alloc();
    if (avcodec_open2(context, codec, nullptr) >= 0) {
        auto drain = [&] {
            while (avcodec_receive_frame(context, picture) == 0) fn(*picture);
        };
        const std::uint8_t* p = data.data();
        int left = int(size);
        while (left > 0) {
            const int used = av_parser_parse2(parser, context, &packet->data, &packet->size, p, left, AV_NOPTS_VALUE,
                                              AV_NOPTS_VALUE, 0);
            if (used < 0) break;
            p += used;
            left -= used;
            if (packet->size > 0 && avcodec_send_packet(context, packet) >= 0) drain();
        }
        avcodec_send_packet(context, nullptr);
        drain();
    }
    av_frame_free(&picture);
    av_packet_free(&packet);
    avcodec_free_context(&context);
    av_parser_close(parser);
}

// The worst band: the largest mean difference per colour sample between the window's rows
// and the picture's, band by band. The picture is turned into RGB as the player's shader does
// (BT.601, limited range); every other column is compared, except under the menu's toggle
// button at the top centre.
double worstBand(const x11test::Pixels& shot, const AVFrame& f) {
    double worst = 0;
    for (int top = 0; top < kHeight; top += kBand) {
        double sum = 0;
        long count = 0;
        for (int y = top; y < top + kBand; ++y)
            for (int x = 0; x < kWidth; x += 2) {
                if (y < kButtonBottom && std::abs(x - kWidth / 2) < kButtonHalfWidth) continue;
                const double Y = f.data[0][y * f.linesize[0] + x] / 255.0 - 0.0625;
                const double U = f.data[1][(y / 2) * f.linesize[1] + x / 2] / 255.0 - 0.5;
                const double V = f.data[2][(y / 2) * f.linesize[2] + x / 2] / 255.0 - 0.5;
                const double rgb[3] = {1.164 * Y + 1.596 * V, 1.164 * Y - 0.391 * U - 0.813 * V, 1.164 * Y + 2.018 * U};
                const std::uint8_t* px = shot.at(x, y);
                for (int c = 0; c < 3; ++c) sum += std::abs(std::clamp(rgb[c], 0.0, 1.0) * 255.0 - px[c]);
                count += 3;
            }
        worst = std::max(worst, sum / double(count));
    }
    return worst;
}

}  // namespace

TEST(StreamState, ShowsASlicedStreamOfGStreamerAsFFmpegDecodesItOverUdpAndTcp) {
    if (!gstreamerAvailable()) GTEST_SKIP() << "GStreamer's RTSP server (gir1.2-gst-rtsp-server-1.0) is not installed";
    x11test::Connection x;
    ASSERT_TRUE(x);
    for (const bool tcp : {false, true}) {
        SCOPED_TRACE(tcp ? "TCP" : "UDP");
        clienttest::Installation app;
        const std::string record = app.dir.file("sent.h264");
        PeerProcess server({"/usr/bin/python3", kServer, "--width", std::to_string(kWidth), "--height",
                            std::to_string(kHeight), "--threads", "4", "--key-int", "30", "--record", record});
        const std::string url = server.firstLine();
        ASSERT_EQ(url.rfind("rtsp://127.0.0.1:", 0), 0u) << url;

        StubStreamer streamer;
        StubSessionScript script;
        script.urlPortAndPostfix = url.substr(std::string("rtsp://127.0.0.1").size());
        script.definitions = {StubStreamer::int32Definition("Video.Bitrate", 10000, 1, script.serverDBId),
                              StubStreamer::int32Definition("Video.Framerate", 30, 2, script.serverDBId),
                              StubStreamer::int32Definition("System.MouseStatus", 0, 3, script.serverDBId)};
        streamer.scriptStandardSession(script);

        const std::string home = app.dir.file("home");
        std::filesystem::create_directories(home);
        std::ofstream(home + "/.asoundrc") << "pcm.!default { type null }\n";
        std::filesystem::copy_file(std::string(NIMBROSTA_LIB_DIR) + "/render-ffmpeg.so", app.lib + "/render-ffmpeg.so");
        std::ofstream(app.lib + "/config.ini") << "[System]\nConfigVersion=Tz4pLw8vRb\n[Tutorial]\nMenuFinished=1\n"
                                               << "[General]\nVideoOverTcp=" << (tcp ? 1 : 0) << "\n";
        ASSERT_TRUE(app.program.start(app.exe, {"--ip", "127.0.0.1", "--port", std::to_string(streamer.port()), "--token", "t"},
                                      {"HOME=" + home, "XDG_DATA_HOME=" + home + "/data", "XDG_STATE_HOME=" + home + "/state"}));
        const Window w = x11test::waitForWindow(x.get(), "Nimbrosta");
        ASSERT_NE(w, 0u) << app.err();
        // The first picture opens the mouse-mode help over a dimmed stream: closed first.
        ASSERT_TRUE(streamtest::closeMouseModeHelp(x.get(), w)) << app.out();

        // A few moments of the stream, each compared with every picture the encoder made.
        std::vector<x11test::Pixels> shots;
        for (int i = 0; i < 4; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
            shots.push_back(x11test::capture(x.get(), w));
            ASSERT_EQ(shots.back().width, kWidth);
            ASSERT_EQ(shots.back().height, kHeight);
        }
        app.program.end();
        std::vector<double> best(shots.size(), 1e9);
        int pictures = 0;
        decodeFile(record, [&](const AVFrame& f) {
            ++pictures;
            if (f.width != kWidth || f.height != kHeight) return;
            for (std::size_t i = 0; i < shots.size(); ++i) best[i] = std::min(best[i], worstBand(shots[i], f));
        });
        ASSERT_GT(pictures, 30);
        const std::string name = std::string("stream-gstreamer-sliced-") + (tcp ? "tcp" : "udp");
        EXPECT_TRUE(guitest::writePng(guitest::artifactsDir() + "/" + name + ".png", kWidth, kHeight, shots[0].rgba.data()));
        // A picture drawn as decoded differs from FFmpeg's by rounding only; one that lost a
        // slice shows a band of garbage, green where nothing was drawn.
        for (std::size_t i = 0; i < shots.size(); ++i) EXPECT_LT(best[i], 2.0) << "moment " << i;
    }
}
