// The background video without OpenGL: the play clock, tile and storage arithmetic, and the
// reader thread decoding the generated clip from the lib folder (looping, a missing clip, a
// clip that becomes unreadable, destruction without stop).

#include "GuiTestSupport.h"

#include "gui/BackgroundVideoDecoder.h"
#include "gui/BackgroundVideoWidget.h"
#include "gui/DecodedImage.h"
#include "gui/testing/RecordingGraphicsContext.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

const std::string kClip = std::string(NIMBROSTA_LIB_DIR) + "/background.ts";

// A clock running faster than real time, so the six-second clip loops quickly.
BackgroundVideoWidget::Clock fastClock(double speed = 8.0) {
    const auto start = std::chrono::steady_clock::now();
    return [start, speed] {
        return 1.0 + speed * std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
}

template <typename Pred>
bool waitFor(Pred pred, double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (pred())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return pred();
}

struct GuiHarness {
    GuiHarness() : ctx(900, 450), gui(&handler, &ctx) {}
    guitest::RecordingGraphicsContext ctx;
    guitest::RecordingHandler handler;
    PlayerGUI gui;
};

}  // namespace

TEST(VideoPlayClock, PacesLoopsPausesAndStalls) {
    VideoPlayClock c;
    c.start(10.0);
    c.addPacket(0.04, 10.0);
    EXPECT_TRUE(c.ahead(10.02));
    EXPECT_FALSE(c.ahead(10.05));

    // The clip's end does not reset the clock: packets after the rewind keep adding up.
    for (int i = 0; i < 149; ++i)
        c.addPacket(0.04, 10.0 + 0.04 * (i + 1));
    EXPECT_NEAR(c.played(), 6.0, 1e-9);
    c.addPacket(0.04, 16.0);
    EXPECT_NEAR(c.played(), 6.04, 1e-9);

    // A ten-second pause: the paused time is added, so playing resumes at the paused picture.
    c.pausing(16.04);
    c.pausing(20.0);  // only the start of the pause counts
    c.addPacket(0.04, 26.04);
    EXPECT_NEAR(c.played(), 16.08, 1e-9);
    EXPECT_TRUE(c.ahead(26.05));

    // A stall of more than a second makes the clip jump to the elapsed time.
    c.skipStall(26.5);
    EXPECT_NEAR(c.played(), 16.08, 1e-9);  // 0.42 s behind: caught up by reading faster
    c.skipStall(27.5);
    EXPECT_NEAR(c.played(), 17.5, 1e-9);
}

TEST(DecodedImage, TilesAndStorageSizes) {
    auto one = DecodedImage::computeTiles(1920, 1080, 16384);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].right, 1920);
    EXPECT_EQ(one[0].bottom, 1080);

    auto four = DecodedImage::computeTiles(1920, 1080, 1024);
    ASSERT_EQ(four.size(), 4u);
    struct Rect {
        int l, t, r, b;
    } expect[] = {{0, 0, 1024, 1024}, {1024, 0, 1920, 1024}, {0, 1024, 1024, 1080}, {1024, 1024, 1920, 1080}};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(four[i].left, expect[i].l);
        EXPECT_EQ(four[i].top, expect[i].t);
        EXPECT_EQ(four[i].right, expect[i].r);
        EXPECT_EQ(four[i].bottom, expect[i].b);
    }
    EXPECT_EQ(four[1].right - four[1].left, 896);
    EXPECT_EQ(four[2].bottom - four[2].top, 56);
    EXPECT_TRUE(DecodedImage::computeTiles(0, 1080, 1024).empty());

    struct Case {
        int side, hint;
        bool npot;
        int expect;
    } cases[] = {
        {1920, 0, false, 2048}, {1080, 0, false, 2048}, {5, 0, false, 8},     {9, 0, false, 16},
        {1920, 1984, true, 1984}, {1920, 0, true, 1920}, {1920, 1000, true, 1920}, {640, 640, true, 640},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.side) + " " + std::to_string(c.hint));
        EXPECT_EQ(DecodedImage::storageSide(c.side, c.hint, c.npot), c.expect);
    }
    // The power-of-two texture coordinates of a 1920 x 1080 Y plane.
    EXPECT_FLOAT_EQ(1920.0f / float(DecodedImage::storageSide(1920, 0, false)), 0.9375f);
    EXPECT_FLOAT_EQ(1080.0f / float(DecodedImage::storageSide(1080, 0, false)), 0.52734375f);
}

TEST(BackgroundVideoDecoder, DecodesEveryPictureOfTheClip) {
    AVFormatContext* clip = nullptr;
    ASSERT_GE(avformat_open_input(&clip, kClip.c_str(), nullptr, nullptr), 0) << kClip;
    ASSERT_GE(avformat_find_stream_info(clip, nullptr), 0);
    BackgroundVideoDecoder decoder;
    ASSERT_TRUE(decoder.open());
    ASSERT_TRUE(decoder.open());  // a second open answers at once
    AVPacket* packet = av_packet_alloc();
    int packets = 0, pictures = 0;
    while (av_read_frame(clip, packet) >= 0) {
        ++packets;
        const int r = decoder.decode(packet);
        EXPECT_GE(r, 0);
        if (r > 0)
            pictures += r;
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    avformat_close_input(&clip);
    EXPECT_EQ(packets, 150);  // six seconds at 25 pictures a second
    // Low-delay decoding holds back at most the reordering depth at the end.
    EXPECT_GE(pictures, 147);
    decoder.flush();
}

TEST(BackgroundVideoWidget, ReaderDecodesAndLoopsTheClip) {
    GuiHarness h;
    BackgroundVideoWidget video(&h.gui, kClip);
    video.setClock(fastClock());
    ASSERT_TRUE(video.InitRenderImplementation());
    EXPECT_TRUE(video.isReading());
    ASSERT_TRUE(waitFor([&] { return video.loopsCompleted() >= 1 && video.picturesDecoded() > 160; }, 20.0))
        << "loops " << video.loopsCompleted() << " pictures " << video.picturesDecoded();
    EXPECT_TRUE(video.tick(0.0));  // a new picture asks for a redraw, once
    EXPECT_EQ(video.failedReads(), 0);

    // Paused, the reader decodes nothing more.
    video.pause();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const long paused = video.picturesDecoded();
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(video.picturesDecoded(), paused);
    video.resume();
    EXPECT_TRUE(waitFor([&] { return video.picturesDecoded() > paused; }, 5.0));

    video.stop();
    EXPECT_FALSE(video.isReading());
    EXPECT_FALSE(video.InitRenderImplementation());  // a stopped widget does not play again
}

TEST(BackgroundVideoWidget, MissingClipIsLoggedAndStartsNoThread) {
    GuiHarness h;
    const std::string path = std::string(NIMBROSTA_LIB_DIR) + "/no-such-background.ts";
    BackgroundVideoWidget video(&h.gui, path);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(video.InitRenderImplementation());
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("failed to read video file, does it exists?"), std::string::npos) << out;
    EXPECT_NE(out.find(path), std::string::npos) << out;
    EXPECT_FALSE(video.isReading());
    video.renderFrame(&h.ctx, 900, 450);  // draws nothing, fails nothing
    EXPECT_EQ(video.lastRenderResult(), -1);
    EXPECT_FALSE(video.tick(0.0));
}

TEST(BackgroundVideoWidget, FileThatIsNotAVideoIsRefused) {
    GuiHarness h;
    const std::string path = testing::TempDir() + "not-a-clip.ts";
    {
        std::ofstream f(path, std::ios::binary);
        f << std::string(4096, 'x');
    }
    BackgroundVideoWidget video(&h.gui, path);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(video.InitRenderImplementation());
    testing::internal::GetCapturedStdout();
    EXPECT_FALSE(video.isReading());
    std::filesystem::remove(path);
}

TEST(BackgroundVideoWidget, DestroyedWithoutStopEndsItsReader) {
    GuiHarness h;
    for (int i = 0; i < 3; ++i) {
        auto video = std::make_unique<BackgroundVideoWidget>(&h.gui, kClip);
        ASSERT_TRUE(video->InitRenderImplementation());
        if (i == 1)
            video->pause();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        video.reset();  // joins the reader; no terminate, no leak of the thread
    }
    EXPECT_EQ(h.gui.widgetCount(), 0u);
}
