// The video presenter and the background video on a real OpenGL context (Mesa under Xvfb):
// colour conversion in every shader mode, tiles, power-of-two storage, a program that does
// not link, and the generated clip decoded and presented in a loop. Screenshots go to
// build/artifacts/.

#include "GuiTestSupport.h"

#include "gui/BackgroundVideoDecoder.h"
#include "gui/BackgroundVideoWidget.h"
#include "gui/DecodedImage.h"
#include "gui/testing/GLTestWindow.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

using guitest::GLTestWindow;
using guitest::RGBA;

namespace gltest {

namespace {

constexpr int kW = 64;
constexpr int kH = 48;

// A solid I420 picture.
struct SolidI420 {
    SolidI420(int w, int h, std::uint8_t y, std::uint8_t u, std::uint8_t v)
        : yPlane(std::size_t(w) * h, y), uPlane(std::size_t(w / 2) * (h / 2), u), vPlane(std::size_t(w / 2) * (h / 2), v) {
        frame.format = DecodedFrame::I420;
        frame.planes[0] = yPlane.data();
        frame.planes[1] = uPlane.data();
        frame.planes[2] = vPlane.data();
        frame.lineSizes[0] = w;
        frame.lineSizes[1] = frame.lineSizes[2] = w / 2;
        frame.width = w;
        frame.height = h;
    }
    std::vector<std::uint8_t> yPlane, uPlane, vPlane;
    DecodedFrame frame;
};

struct SolidBGRA {
    SolidBGRA(int w, int h, RGBA c) : pixels(std::size_t(w) * h * 4) {
        for (std::size_t i = 0; i < pixels.size(); i += 4) {
            pixels[i] = c.b;
            pixels[i + 1] = c.g;
            pixels[i + 2] = c.r;
            pixels[i + 3] = 255;
        }
        frame.format = DecodedFrame::BGRA;
        frame.planes[0] = pixels.data();
        frame.lineSizes[0] = w * 4;
        frame.width = w;
        frame.height = h;
    }
    std::vector<std::uint8_t> pixels;
    DecodedFrame frame;
};

bool near(RGBA a, RGBA b, int tolerance) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance;
}

std::string text(RGBA c) {
    return std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b);
}

}  // namespace

class DecodedImage : public testing::Test {
protected:
    void SetUp() override { open(GLCapabilities{true, true, true}); }
    void open(GLCapabilities caps) {
        window_.reset();
        window_ = std::make_unique<GLTestWindow>(kW, kH, "video", caps);
        ASSERT_TRUE(window_->ok()) << "no OpenGL window (is an X server running?)";
    }
    void TearDown() override {
        setVideoCapabilityOverrides(VideoCapabilityOverrides());
        window_.reset();
    }
    // Draws the picture over the whole window in the given mode and reads it back.
    std::vector<RGBA> present(::DecodedImage& image, const DecodedFrame& frame, const std::string& name) {
        window_->context()->beginFrame();
        window_->context()->glState().invalidate();
        image.showFrame(frame);
        image.draw(kW, kH);
        window_->context()->endFrame();
        glFinish();
        auto pixels = window_->readPixels();
        window_->saveScreenshot("DecodedImage-" + name);
        return pixels;
    }
    std::unique_ptr<GLTestWindow> window_;
};

TEST_F(DecodedImage, ConvertsLimitedRangeYUVInEveryShaderMode) {
    struct Colour {
        const char* name;
        std::uint8_t y, u, v;
        RGBA expect;
    } colours[] = {
        {"white", 235, 128, 128, {255, 255, 255, 255}},
        {"black", 16, 128, 128, {0, 0, 0, 255}},
        {"red", 81, 90, 240, {255, 0, 0, 255}},
        {"grey", 126, 128, 128, {128, 128, 128, 255}},
    };
    for (int mode : {1, 2}) {
        for (const Colour& c : colours) {
            SCOPED_TRACE(std::string(c.name) + " mode " + std::to_string(mode));
            ::DecodedImage image(mode);
            SolidI420 picture(kW, kH, c.y, c.u, c.v);
            auto px = present(image, picture.frame, std::string(c.name) + "-" + std::to_string(mode));
            ASSERT_FALSE(image.programFailed());
            EXPECT_EQ(image.programType(), mode);
            for (auto [x, y] : {std::pair{0, 0}, {kW - 1, kH - 1}, {kW / 2, kH / 2}})
                EXPECT_TRUE(near(window_->pixel(px, x, y), c.expect, 2)) << text(window_->pixel(px, x, y));
        }
    }
    // Mode 0 draws packed BGRA as it is; a YUV picture needs a program it does not have.
    ::DecodedImage image(0);
    SolidBGRA bgra(kW, kH, {12, 200, 99, 255});
    auto px = present(image, bgra.frame, "bgra-0");
    EXPECT_TRUE(near(window_->pixel(px, 10, 10), {12, 200, 99, 255}, 0)) << text(window_->pixel(px, 10, 10));
    SolidI420 yuv(kW, kH, 235, 128, 128);
    image.showFrame(yuv.frame);
    EXPECT_TRUE(image.programFailed());
}

TEST_F(DecodedImage, ReportsItsCapabilities) {
    testing::internal::CaptureStdout();
    ::DecodedImage image(shaderMode());
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("pbo 1"), std::string::npos) << out;
    EXPECT_NE(out.find("non power 2 1"), std::string::npos) << out;
    EXPECT_NE(out.find("texture max size" + std::to_string(videoCapabilities().maxTextureSize)), std::string::npos);
    EXPECT_NE(out.find("shaders 2"), std::string::npos) << out;
}

TEST_F(DecodedImage, TilesAndPowerOfTwoStorageWithoutPixelBuffers) {
    // Tiles of 16 pixels and power-of-two storage: a picture of 40 x 24 in 3 x 2 tiles, the last
    // column 8 wide, uploaded without pixel-buffer objects.
    VideoCapabilityOverrides o;
    o.maxTextureSize = 16;
    o.noNonPowerOfTwo = true;
    o.noPixelBuffers = true;
    setVideoCapabilityOverrides(o);
    ::DecodedImage image(2);
    // Left half red, right half blue, as I420.
    SolidI420 picture(40, 24, 81, 90, 240);
    for (int y = 0; y < 24; ++y)
        for (int x = 20; x < 40; ++x)
            picture.yPlane[std::size_t(y) * 40 + x] = 41;
    for (int y = 0; y < 12; ++y)
        for (int x = 10; x < 20; ++x) {
            picture.uPlane[std::size_t(y) * 20 + x] = 240;
            picture.vPlane[std::size_t(y) * 20 + x] = 110;
        }
    auto px = present(image, picture.frame, "tiles");
    ASSERT_EQ(image.tiles().size(), 6u);
    EXPECT_EQ(image.tiles()[2].right - image.tiles()[2].left, 8);
    EXPECT_EQ(image.tiles()[0].planes[0]->storageWidth, 16);
    EXPECT_EQ(image.tiles()[2].planes[0]->storageWidth, 8);
    EXPECT_EQ(image.tiles()[2].planes[1]->storageWidth, 4);  // half the luma storage
    EXPECT_EQ(image.tiles()[5].planes[1]->storageHeight, 4);
    // Probe the centre of every tile's area on screen (64 x 48 window, picture stretched).
    for (const auto& tile : image.tiles()) {
        const int cx = (tile.left + tile.right) / 2 * kW / 40;
        const int cy = (tile.top + tile.bottom) / 2 * kH / 24;
        const RGBA expect = tile.left + tile.right < 40 ? RGBA{255, 0, 0, 255} : RGBA{0, 0, 255, 255};
        SCOPED_TRACE(std::to_string(cx) + "," + std::to_string(cy));
        EXPECT_TRUE(near(window_->pixel(px, cx, cy), expect, 3)) << text(window_->pixel(px, cx, cy));
    }
}

TEST_F(DecodedImage, ExactStorageReadsNoLinePaddingAndIsTexelExactAtItsOwnSize) {
    // Left half red, right half blue, with lines longer than the picture whose padding holds
    // luma 255 and extreme chroma, as a decoder's aligned lines may.
    constexpr int kLuma = kW + 32, kChroma = kW / 2 + 16;
    std::vector<std::uint8_t> y(std::size_t(kLuma) * kH, 255), u(std::size_t(kChroma) * kH / 2, 0),
        v(std::size_t(kChroma) * kH / 2, 0);
    for (int row = 0; row < kH; ++row)
        for (int x = 0; x < kW; ++x)
            y[std::size_t(row) * kLuma + x] = x < kW / 2 ? 81 : 41;
    for (int row = 0; row < kH / 2; ++row)
        for (int x = 0; x < kW / 2; ++x) {
            u[std::size_t(row) * kChroma + x] = x < kW / 4 ? 90 : 240;
            v[std::size_t(row) * kChroma + x] = x < kW / 4 ? 240 : 110;
        }
    DecodedFrame frame;
    frame.format = DecodedFrame::I420;
    frame.planes[0] = y.data();
    frame.planes[1] = u.data();
    frame.planes[2] = v.data();
    frame.lineSizes[0] = kLuma;
    frame.lineSizes[1] = frame.lineSizes[2] = kChroma;
    frame.width = kW;
    frame.height = kH;
    struct Case {
        bool exact;
        bool edgeClean;    // the last column is the picture's own blue
        bool crispMiddle;  // the columns beside the colour step are pure
    } cases[] = {{true, true, true}, {false, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.exact ? "exact storage" : "line-wide storage");
        ::DecodedImage image(2, c.exact);
        auto px = present(image, frame, c.exact ? "exact-storage" : "line-storage");
        EXPECT_EQ(near(window_->pixel(px, kW - 1, kH / 2), {0, 0, 255, 255}, 12), c.edgeClean)
            << text(window_->pixel(px, kW - 1, kH / 2));
        const bool crisp = near(window_->pixel(px, kW / 2 - 1, 10), {255, 0, 0, 255}, 12) &&
                           near(window_->pixel(px, kW / 2, 10), {0, 0, 255, 255}, 12);
        EXPECT_EQ(crisp, c.crispMiddle) << text(window_->pixel(px, kW / 2 - 1, 10)) << " "
                                        << text(window_->pixel(px, kW / 2, 10));
    }
}

TEST_F(DecodedImage, ProgramThatDoesNotLinkIsNotUsed) {
    VideoCapabilityOverrides o;
    o.glslI420Source = "#version 110\nvoid main() { gl_FragColor = undefined_thing; }\n";
    setVideoCapabilityOverrides(o);
    ::DecodedImage image(2);
    SolidI420 picture(kW, kH, 235, 128, 128);
    testing::internal::CaptureStdout();
    image.showFrame(picture.frame);
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(image.programFailed());
    EXPECT_EQ(image.programType(), 0);
}

class BackgroundVideoWidget : public testing::Test {
protected:
    void TearDown() override { setVideoCapabilityOverrides(VideoCapabilityOverrides()); }
};

namespace {

// Presents the clip in the window until the reader has looped, returning the last frame.
void playUntilLooped(GLTestWindow& window, ::BackgroundVideoWidget& video, int* presented, int* repeated) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < end && (video.loopsCompleted() < 1 || *presented < 30)) {
        window.context()->beginFrame();
        video.renderFrame(window.context(), window.width(), window.height());
        window.context()->endFrame();
        if (video.lastRenderResult() == 1)
            ++*presented;
        else if (video.lastRenderResult() == 0)
            ++*repeated;
        std::this_thread::sleep_for(std::chrono::milliseconds(4));
    }
    glFinish();
}

}  // namespace

TEST_F(BackgroundVideoWidget, PresentsTheClipAndLoops) {
    for (int mode : {2, 1, 0}) {
        SCOPED_TRACE("shader mode " + std::to_string(mode));
        VideoCapabilityOverrides o;
        o.shaderMode = mode;
        setVideoCapabilityOverrides(o);
        GLTestWindow window(320, 180, "background");
        ASSERT_TRUE(window.ok());
        guitest::RecordingHandler handler;
        PlayerGUI gui(&handler, window.context());
        auto video = std::make_unique<::BackgroundVideoWidget>(&gui, std::string(NIMBROSTA_LIB_DIR) + "/background.ts");
        const auto start = std::chrono::steady_clock::now();
        video->setClock([start] {
            return 1.0 + 8.0 * std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        });
        ASSERT_TRUE(video->InitRenderImplementation());
        EXPECT_EQ(video->decoder()->shaderMode(), mode);
        int presented = 0, repeated = 0;
        playUntilLooped(window, *video, &presented, &repeated);
        EXPECT_GE(video->loopsCompleted(), 1);
        EXPECT_GE(presented, 30);
        auto px = window.readPixels();
        window.saveScreenshot("BackgroundVideoWidget-mode" + std::to_string(mode));
        // The clip is dark blue-green all over: every corner is drawn, blue above red.
        for (auto [x, y] : {std::pair{2, 2}, {317, 2}, {2, 177}, {317, 177}, {160, 90}}) {
            const RGBA c = window.pixel(px, x, y);
            EXPECT_GT(c.b, c.r) << x << "," << y << " " << text(c);
            EXPECT_GT(int(c.b) + c.g, 40) << x << "," << y << " " << text(c);
        }
        // Paused, it draws nothing.
        video->pause();
        window.context()->beginFrame();
        video->renderFrame(window.context(), window.width(), window.height());
        window.context()->endFrame();
        glFinish();
        px = window.readPixels();
        EXPECT_EQ(window.pixel(px, 160, 90).b, 0);
        video->stop();
        video.reset();
    }
}

}  // namespace gltest

namespace gltest {

TEST_F(BackgroundVideoWidget, FallsBackToConvertedPicturesWhenTheShaderDoesNotLink) {
    VideoCapabilityOverrides o;
    o.shaderMode = 2;
    o.glslI420Source = "#version 110\nvoid main() { gl_FragColor = undefined_thing; }\n";
    setVideoCapabilityOverrides(o);
    GLTestWindow window(320, 180, "background");
    ASSERT_TRUE(window.ok());
    guitest::RecordingHandler handler;
    PlayerGUI gui(&handler, window.context());
    ::BackgroundVideoWidget video(&gui, std::string(NIMBROSTA_LIB_DIR) + "/background.ts");
    const auto start = std::chrono::steady_clock::now();
    video.setClock([start] {
        return 1.0 + 8.0 * std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    });
    ASSERT_TRUE(video.InitRenderImplementation());
    testing::internal::CaptureStdout();
    int presented = 0, repeated = 0;
    playUntilLooped(window, video, &presented, &repeated);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(video.decoder()->shaderMode(), 0);
    EXPECT_GE(presented, 30);
    auto px = window.readPixels();
    const RGBA c = window.pixel(px, 160, 90);
    EXPECT_GT(c.b, c.r) << text(c);
    video.stop();
}

}  // namespace gltest
