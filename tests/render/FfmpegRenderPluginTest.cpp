// render-ffmpeg.so loaded as the player loads it, decoding and drawing on real OpenGL (Mesa
// under Xvfb). A test pattern is recorded with ffmpeg at test time: four coloured quadrants,
// the top-left one turning yellow from picture 15 on, so that what is drawn tells which
// picture it was. Screenshots go to build/artifacts/.

#include <gtest/gtest.h>

#include <GL/glew.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "../stream/H264TestUtil.h"
#include "TestSupport.h"
#include "core/ConfigStore.h"
#include "gui/testing/GLTestWindow.h"
#include "player/BenchmarkData.h"
#include "player/BenchmarkStorage.h"
#include "player/RenderPluginModule.h"
#include "stream/media/H264VideoSinkImpl.h"
#include "stream/session/IMediaSession.h"
#include "rtspclient/IRTSPSink.h"

using guitest::GLTestWindow;
using guitest::RGBA;

namespace {

const std::string kPlugin = std::string(NIMBROSTA_LIB_DIR) + "/render-ffmpeg.so";
constexpr int kPictures = 30;
constexpr int kTurnsYellow = 15;

const RGBA kRed{255, 0, 0, 255};
const RGBA kGreen{0, 255, 0, 255};
const RGBA kBlue{0, 0, 255, 255};
const RGBA kWhite{255, 255, 255, 255};
const RGBA kYellow{255, 255, 0, 255};

bool near(RGBA a, RGBA b, int tolerance) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance;
}

std::string text(RGBA c) {
    return std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b);
}

class FfmpegRenderPlugin : public testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new testsupport::TempDir();
        const std::string out = dir_->file("pattern.h264");
        const std::string command =
            "ffmpeg -hide_banner -loglevel error -y "
            "-f lavfi -i color=c=red:s=160x120:r=30 -f lavfi -i color=c=lime:s=160x120:r=30 "
            "-f lavfi -i color=c=blue:s=160x120:r=30 -f lavfi -i color=c=white:s=160x120:r=30 "
            "-filter_complex \"[0][1]hstack[top];[2][3]hstack[bottom];[top][bottom]vstack,"
            "drawbox=x=0:y=0:w=160:h=120:color=yellow:t=fill:enable='gte(n," +
            std::to_string(kTurnsYellow) +
            ")',format=yuv420p\" "
            "-frames:v " +
            std::to_string(kPictures) +
            " -c:v libx264 -preset ultrafast -qp 4 -g 30 -bf 0 "
            "-x264-params sliced-threads=0:slices=1 -f h264 " +
            out;
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        pattern_ = new BenchmarkData();
        ASSERT_TRUE(pattern_->load(out));
        ASSERT_EQ(pattern_->unitCount(), std::size_t(kPictures));
    }
    static void TearDownTestSuite() {
        delete pattern_;
        delete dir_;
    }

    void SetUp() override {
        ASSERT_NE(pattern_, nullptr);
        window_ = std::make_unique<GLTestWindow>(320, 240, "render-ffmpeg");
        ASSERT_TRUE(window_->ok()) << "no OpenGL window (is an X server running?)";
    }
    void TearDown() override {
        if (renderer_) {
            renderer_->statistics.resetPeriod();
            renderer_->initialised = false;
            renderer_->release();
            delete renderer_;
        }
        window_.reset();
    }

    // The plug-in's implementation for software decoding, initialised in this window.
    IRenderImplementation* create() {
        renderer_ = createRenderImplementationForDecoders(kDecoderSoftware, cuda_, ffmpeg_);
        EXPECT_NE(renderer_, nullptr);
        if (renderer_) {
            EXPECT_TRUE(renderer_->init());
        }
        return renderer_;
    }

    // Submits units [first, last) as the media client would.
    void feed(int first, int last) {
        pattern_->rewind();
        for (int i = 0; i < last; ++i) {
            const BenchmarkAccessUnit* unit = pattern_->next();
            if (i >= first)
                renderer_->onFrame(unit->data, int(unit->length), unit->hasParameterSets ? 48 : 0);
        }
    }

    // One frame of the window: clear, collect, draw the picture, read the pixels back.
    std::vector<RGBA> drawFrame(int width, int height, const std::string& screenshot) {
        window_->context()->beginFrame();
        renderer_->updateFrame(1.0);
        renderer_->render(1.0, width, height);
        window_->context()->endFrame();
        glFinish();
        auto pixels = window_->readPixels();
        if (!screenshot.empty())
            window_->saveScreenshot("FfmpegRenderPlugin-" + screenshot);
        return pixels;
    }

    void expectQuadrants(const std::vector<RGBA>& px, int width, int height, RGBA topLeft) {
        const struct {
            int x, y;
            RGBA colour;
        } probes[] = {
            {width / 4, height / 4, topLeft},
            {width * 3 / 4, height / 4, kGreen},
            {width / 4, height * 3 / 4, kBlue},
            {width * 3 / 4, height * 3 / 4, kWhite},
        };
        for (const auto& p : probes) {
            const RGBA c = window_->pixel(px, p.x, p.y);
            EXPECT_TRUE(near(c, p.colour, 12)) << p.x << "," << p.y << ": " << text(c);
        }
    }

    static testsupport::TempDir* dir_;
    static BenchmarkData* pattern_;
    std::unique_ptr<GLTestWindow> window_;
    RenderPluginModule cuda_{"/nonexistent/render-cuda.so"};
    RenderPluginModule ffmpeg_{kPlugin};
    IRenderImplementation* renderer_ = nullptr;
};

testsupport::TempDir* FfmpegRenderPlugin::dir_ = nullptr;
BenchmarkData* FfmpegRenderPlugin::pattern_ = nullptr;

}  // namespace

TEST_F(FfmpegRenderPlugin, DrawsTheNewestPictureScaledToTheDrawable) {
    ASSERT_NE(create(), nullptr);
    EXPECT_EQ(renderer_->getFlags(), kRenderWholeFrames | kRenderIdrOnLoss);
    EXPECT_FALSE(renderer_->isSynchronous());

    feed(0, 10);
    auto px = drawFrame(320, 240, "first-pictures");
    expectQuadrants(px, 320, 240, kRed);

    // Pictures 10 to 29 arrive before the next frame: the newest one is drawn.
    feed(10, kPictures);
    px = drawFrame(320, 240, "newest-picture");
    expectQuadrants(px, 320, 240, kYellow);

    // The edges are the picture's own colours: no column of the decoder's line padding.
    for (auto [x, y, colour] : {std::tuple{319, 180, kWhite}, {319, 60, kGreen}, {0, 239, kBlue}, {160, 239, kWhite}}) {
        EXPECT_TRUE(near(window_->pixel(px, x, y), colour, 12)) << x << "," << y << ": " << text(window_->pixel(px, x, y));
    }

    const RenderCounters counted = renderer_->statistics.totalsSnapshot();
    EXPECT_EQ(counted.received, kPictures);
    EXPECT_EQ(counted.decoded, kPictures);
    EXPECT_EQ(counted.rendered, 2);

    // A window of another shape: the picture fills its drawable.
    renderer_->release();
    delete renderer_;
    renderer_ = nullptr;
    window_.reset();
    window_ = std::make_unique<GLTestWindow>(200, 100, "render-ffmpeg");
    ASSERT_TRUE(window_->ok());
    ASSERT_NE(create(), nullptr);
    feed(0, kPictures);
    px = drawFrame(200, 100, "other-shape");
    expectQuadrants(px, 200, 100, kYellow);
}

TEST_F(FfmpegRenderPlugin, ScaledPicturesAreSampledBilinearlyAndOwnSizeTexelForTexel) {
    // The red quadrant ends at picture column 160, where the green one begins. Drawn at its own
    // size the columns on either side are the quadrants' own colours; drawn larger or smaller,
    // the window columns at the edge blend both (a nearest-texel picture would step).
    struct Case {
        int width, height;
        std::vector<int> blended;  // window columns that show both quadrants
        int redColumn, greenColumn;
    };
    for (const Case& c : {Case{320, 240, {}, 159, 160}, Case{640, 480, {319, 320}, 317, 322},
                          // Column 79's centre falls on the edge between texels 159 and 160.
                          Case{159, 119, {79}, 77, 81}}) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        if (renderer_) {
            renderer_->release();
            delete renderer_;
            renderer_ = nullptr;
        }
        window_.reset();
        window_ = std::make_unique<GLTestWindow>(c.width, c.height, "render-ffmpeg");
        ASSERT_TRUE(window_->ok());
        ASSERT_NE(create(), nullptr);
        feed(0, kTurnsYellow);
        const auto px = drawFrame(c.width, c.height, "edge-" + std::to_string(c.width));
        const int y = c.height / 4;
        EXPECT_TRUE(near(window_->pixel(px, c.redColumn, y), kRed, 12)) << text(window_->pixel(px, c.redColumn, y));
        EXPECT_TRUE(near(window_->pixel(px, c.greenColumn, y), kGreen, 12))
            << text(window_->pixel(px, c.greenColumn, y));
        for (int x : c.blended) {
            const RGBA mixed = window_->pixel(px, x, y);
            EXPECT_TRUE(mixed.r > 40 && mixed.r < 215 && mixed.g > 40 && mixed.g < 215) << x << ": " << text(mixed);
        }
    }
}

TEST_F(FfmpegRenderPlugin, EveryPictureIsReadyBeforeTheNextUnitArrives) {
    ASSERT_NE(create(), nullptr);
    // Nothing drawn yet: drawing is harmless and counted.
    auto px = drawFrame(320, 240, "");
    EXPECT_EQ(window_->pixel(px, 80, 60).r, 0);
    EXPECT_EQ(renderer_->statistics.totalsSnapshot().rendered, 1);

    pattern_->rewind();
    for (int i = 0; i < kPictures; ++i) {
        const BenchmarkAccessUnit* unit = pattern_->next();
        renderer_->onFrame(unit->data, int(unit->length), unit->hasParameterSets ? 48 : 0);
        // No picture waits behind a newer unit: each one is there before the next is sent.
        EXPECT_EQ(renderer_->collect(0.0), 1) << "picture " << i;
    }
    EXPECT_EQ(renderer_->collect(0.0), 0);
}

TEST_F(FfmpegRenderPlugin, SurvivesUnitsThatAreNotH264AndAsksForAKeyFrame) {
    ASSERT_NE(create(), nullptr);
    feed(0, 5);
    std::mt19937 random(11);
    std::vector<std::uint8_t> garbage(5000);
    for (int round = 0; round < 20; ++round) {
        for (auto& b : garbage)
            b = std::uint8_t(random());
        garbage[0] = garbage[1] = garbage[2] = 0;
        garbage[3] = 1;
        renderer_->onFrame(garbage.data(), int(garbage.size()), 0);
        renderer_->onFrame(garbage.data(), 1 + round % 4, 0);
    }
    renderer_->onFrame(nullptr, 0, 0);
    bool asked = false;
    for (int i = 0; i < 5 && !asked; ++i)
        asked = renderer_->needsKeyFrame();
    EXPECT_TRUE(asked);
    EXPECT_FALSE(renderer_->needsKeyFrame()) << "asked once per rejected unit, not for ever";
    // From the next key frame on the picture is right again.
    feed(0, kPictures);
    auto px = drawFrame(320, 240, "after-garbage");
    expectQuadrants(px, 320, 240, kYellow);
}

// The media path in front of the decoder: an RTP-like stream whose key frames repeat their
// parameter sets, one unit per call and the marker on each picture's last slice, as a
// streamer sends it. Every picture decodes, and after the first request no key frame is
// asked for.
TEST_F(FfmpegRenderPlugin, AStreamThroughTheFrameAssemblyDecodesEveryPictureWithoutKeyFrameRequests) {
    struct Session : IMediaSession {
        int keyFrameRequests = 0;
        void VideoForceIDRFrame() override { ++keyFrameRequests; }
        void VideoNotifyLostPacketInfo(int, int, int) override {}
        void onVideoClientError(const std::string&) override {}
        void onVideoClientFinished() override {}
    } session;
    ASSERT_NE(create(), nullptr);
    const auto units = h264test::splitUnits(h264test::x264Fixture());
    H264NalParser probe;
    std::vector<bool> markers(units.size(), false);
    int lastSlice = -1, keyFrames = 0, pictures = 0;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const auto b = h264test::withStartCode(units[i]);
        probe.parseNal(b.data(), static_cast<int>(b.size()), false);
        const int type = units[i][0] & 0x1F;
        if (type == 7) ++keyFrames;
        if (type == 1 || type == 5) {
            if (probe.lastSlice()->newPicture) {
                if (lastSlice >= 0) markers[std::size_t(lastSlice)] = true;
                ++pictures;
            }
            lastSlice = static_cast<int>(i);
        }
    }
    markers[std::size_t(lastSlice)] = true;
    ASSERT_GE(keyFrames, 2) << "the fixture repeats its parameter sets";

    H264VideoSinkImpl sink(&session, false);
    sink.setConsumer(renderer_);
    std::vector<std::uint8_t> buffer;
    std::vector<std::uint16_t> seqs;
    std::vector<RTSPLostRange> ranges;
    std::uint16_t seq = 0;
    int decoded = 0;
    for (std::size_t i = 0; i < units.size(); ++i) {
        buffer.assign(4, 0);
        buffer.insert(buffer.end(), units[i].begin(), units[i].end());
        seqs = {seq++};
        RTSPPacketInfo info;
        info.data = buffer.data();
        info.size = static_cast<std::uint32_t>(buffer.size());
        info.sequenceNumbers = &seqs;
        info.lostRanges = &ranges;
        info.marker = markers[i];
        sink.onPacket(&info);
        decoded += renderer_->collect(0.0);
    }
    decoded += renderer_->collect(200.0);
    EXPECT_EQ(decoded, pictures);
    EXPECT_EQ(session.keyFrameRequests, 1) << "only the first packet asks for a key frame";
    sink.detach(0);
}

TEST_F(FfmpegRenderPlugin, HardwareOnlyRequestsGetNoImplementation) {
    for (std::int32_t flags : {kDecoderVaapi, kDecoderVdpau, kDecoderDxva}) {
        IRenderImplementation* r = createRenderImplementationForDecoders(flags, cuda_, ffmpeg_);
        EXPECT_EQ(r, nullptr) << flags;
        delete r;
    }
    EXPECT_EQ(ffmpeg_.initState(), 2);
}

TEST_F(FfmpegRenderPlugin, ReleasedImplementationIgnoresLateUnits) {
    ASSERT_NE(create(), nullptr);
    feed(0, 3);
    renderer_->release();
    feed(3, 6);  // a feeding thread that was not stopped in time
    EXPECT_EQ(renderer_->collect(0.0), 0);
    renderer_->render(1.0, 320, 240);
    EXPECT_TRUE(renderer_->init()) << "initialised again after a release";
    feed(0, kPictures);
    auto px = drawFrame(320, 240, "");
    expectQuadrants(px, 320, 240, kYellow);
}

TEST_F(FfmpegRenderPlugin, BenchmarkSamplesPlayThroughItCompletely) {
    // As the benchmark measures: a worker submits every unit of a suite as fast as decoding
    // allows while the render thread collects and draws; the result goes to the settings.
    testsupport::TempDir dir;
    ConfigStore config(dir.file("config.ini"));
    std::string log;
    log = testsupport::captureStdout([&] {
        BenchmarkStorage storage(BenchmarkStorage::kVersionTag, NIMBROSTA_LIB_DIR, &config);
        ASSERT_EQ(storage.suites().size(), 4u);
        do {
            if (!storage.isFastEnough("SOFTWARE"))
                continue;  // too slow on the previous suite (a loaded machine)
            ASSERT_NE(create(), nullptr);
            IBenchmarkDataProvider* data = storage.currentData();
            const auto start = std::chrono::steady_clock::now();
            std::atomic<bool> done{false};
            std::thread worker([&] {
                while (const BenchmarkAccessUnit* unit = data->next())
                    renderer_->onFrame(unit->data, int(unit->length), unit->hasParameterSets ? 48 : 0);
                done = true;
            });
            while (!done) {
                window_->context()->beginFrame();
                renderer_->updateFrame(1.0);
                renderer_->render(1.0, 320, 180);
                window_->context()->endFrame();
            }
            worker.join();
            storage.storeResult(std::uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                  std::chrono::steady_clock::now() - start)
                                                  .count()));
            while (renderer_->updateFrame(0.0)) {
            }
            const std::size_t units = storage.suites()[storage.currentSuiteIndex()]->data.unitCount();
            const RenderCounters counted = renderer_->statistics.totalsSnapshot();
            EXPECT_EQ(counted.received, int(units));
            EXPECT_EQ(counted.decoded, int(units)) << "every unit became a picture";
            EXPECT_GE(counted.rendered, 1);
            data->rewind();
            renderer_->release();
            delete renderer_;
            renderer_ = nullptr;
        } while (storage.nextSuite());
        storage.applyResults(reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    });
    EXPECT_EQ(config.getString("Decoder.Choice", ""), "SOFTWARE");
    EXPECT_GT(config.get<int>("Benchmark.SOFTWARE_HDREADY_LOW_FPS", "0"), 0);
    EXPECT_EQ(config.getString("Benchmark.RenderName", ""), reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    std::printf("%s", log.c_str());
}
