// The OpenGL back end on a real context (Mesa llvmpipe under Xvfb), checked by reading the
// pixels back. Failing tests leave a screenshot in build/artifacts/.

#include "gui/Color.h"
#include "gui/GraphicsFont.h"
#include "gui/TextServiceFreeType.h"
#include "gui/testing/GLTestWindow.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <thread>

// The fixture carries the name of the type it tests; its own namespace keeps it apart from
// the class.
namespace gltest {

using guitest::GLTestWindow;
using guitest::RGBA;

namespace {

constexpr RGBA kBlack{0, 0, 0, 0};

std::vector<std::uint8_t> solid(int w, int h, RGBA c) {
    std::vector<std::uint8_t> px(std::size_t(w) * h * 4);
    for (std::size_t i = 0; i < px.size(); i += 4) {
        px[i] = c.r;
        px[i + 1] = c.g;
        px[i + 2] = c.b;
        px[i + 3] = c.a;
    }
    return px;
}

std::string rgbText(RGBA c) {
    return std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b);
}

bool sameRGB(RGBA a, RGBA b) {
    return a.r == b.r && a.g == b.g && a.b == b.b;
}

}  // namespace

class GraphicsContextOpenGL : public testing::Test {
protected:
    void SetUp() override {
        window_ = std::make_unique<GLTestWindow>(64, 48);
        ASSERT_TRUE(window_->ok()) << "no OpenGL window (is an X server running?)";
    }
    void TearDown() override {
        if (HasFailure() && window_ && window_->ok())
            window_->saveScreenshot(std::string("GraphicsContextOpenGL-") +
                                    testing::UnitTest::GetInstance()->current_test_info()->name());
        window_.reset();
    }
    std::unique_ptr<GLTestWindow> window_;
};

namespace {

struct Path {
    const char* name;
    GLCapabilities allowed;
};

const Path kPaths[] = {
    {"buffer objects, base vertex", {true, true, true}},
    {"buffer objects, array offsets", {true, false, true}},
    {"client arrays, base vertex", {false, true, true}},
    {"client arrays, array offsets", {false, false, true}},
};

}  // namespace

TEST_F(GraphicsContextOpenGL, FilledRectangleReadsBackExactly) {
    auto* ctx = window_->context();
    std::unique_ptr<AbstractSurface> white(ctx->createSurface());
    const auto px = solid(4, 4, {255, 255, 255, 255});
    white->setImage(px.data(), 4, 4, PixelFormatRGBA);
    ASSERT_TRUE(ctx->beginFrame());
    ctx->setColor(Color(244, 67, 54, 255));
    white->draw(0, 0, 10, 10, 1, 1, 2, 2);
    ASSERT_TRUE(ctx->endFrame());
    const auto pixels = window_->readPixels();
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x) {
            const RGBA got = window_->pixel(pixels, x, y);
            const RGBA want = (x < 10 && y < 10) ? RGBA{244, 67, 54, 255} : kBlack;
            ASSERT_TRUE(sameRGB(got, want)) << x << "," << y << ": " << rgbText(got);
        }
    window_->saveScreenshot("GraphicsContextOpenGL-filled-rectangle");
}

TEST_F(GraphicsContextOpenGL, UIScaleMultipliesPositions) {
    auto* ctx = window_->context();
    std::unique_ptr<AbstractSurface> white(ctx->createSurface());
    const auto px = solid(4, 4, {255, 255, 255, 255});
    white->setImage(px.data(), 4, 4, PixelFormatRGBA);
    ctx->setUIScale(1.5f);
    ctx->beginFrame();
    ctx->setColor(0xffffffff);
    white->draw(10, 10, 20, 20, 1, 1, 2, 2);
    ctx->endFrame();
    const auto pixels = window_->readPixels();
    EXPECT_TRUE(sameRGB(window_->pixel(pixels, 15, 15), {255, 255, 255, 255}));
    EXPECT_TRUE(sameRGB(window_->pixel(pixels, 44, 44), {255, 255, 255, 255}));
    EXPECT_TRUE(sameRGB(window_->pixel(pixels, 14, 15), kBlack));
    EXPECT_TRUE(sameRGB(window_->pixel(pixels, 45, 44), kBlack));
    int lw = 0, lh = 0;
    ctx->getLogicalSize(&lw, &lh);
    EXPECT_EQ(lw, 42);
    EXPECT_EQ(lh, 32);
}

// A checkerboard of one-pixel quads from two alternating surfaces: one run per quad and three
// batches, drawn through each vertex path the driver may offer.
TEST(GraphicsContextOpenGLPaths, EveryVertexPathDrawsTheSamePicture) {
    for (const Path& path : kPaths) {
        SCOPED_TRACE(path.name);
        GLTestWindow window(64, 48, "paths", path.allowed);
        ASSERT_TRUE(window.ok());
        auto* ctx = window.context();
        EXPECT_EQ(ctx->capabilities().vertexBufferObject, path.allowed.vertexBufferObject);
        EXPECT_EQ(ctx->capabilities().drawElementsBaseVertex, path.allowed.drawElementsBaseVertex);
        std::unique_ptr<AbstractSurface> red(ctx->createSurface()), blue(ctx->createSurface());
        const auto r = solid(2, 2, {200, 10, 20, 255});
        const auto b = solid(2, 2, {10, 30, 220, 255});
        red->setImage(r.data(), 2, 2, PixelFormatRGBA8);
        blue->setImage(b.data(), 2, 2, PixelFormatRGBA);
        ctx->beginFrame();
        ctx->setColor(0xffffffff);
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x)
                ((x + y) % 2 ? blue : red)->draw(x, y, 1, 1, 0, 0, 2, 2);
        ctx->endFrame();
        const auto pixels = window.readPixels();
        int wrong = 0;
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x) {
                const RGBA want = (x + y) % 2 ? RGBA{10, 30, 220, 255} : RGBA{200, 10, 20, 255};
                if (!sameRGB(window.pixel(pixels, x, y), want))
                    ++wrong;
            }
        EXPECT_EQ(wrong, 0);
        if (wrong)
            window.saveScreenshot(std::string("GraphicsContextOpenGL-path-") + path.name);
    }
}

TEST(GraphicsContextOpenGLPaths, PowerOfTwoStorageWhenTheDriverLacksNPOT) {
    GLTestWindow window(200, 48, "npot", {true, true, false});
    ASSERT_TRUE(window.ok());
    auto* ctx = window.context();
    std::unique_ptr<AbstractSurface> logo(ctx->createSurface());
    std::vector<std::uint8_t> px(180 * 39 * 4);
    for (int y = 0; y < 39; ++y)
        for (int x = 0; x < 180; ++x) {
            std::uint8_t* p = &px[(std::size_t(y) * 180 + x) * 4];
            p[0] = std::uint8_t(x);
            p[1] = std::uint8_t(y * 6);
            p[2] = 128;
            p[3] = 255;
        }
    logo->setImage(px.data(), 180, 39, PixelFormatRGBA);
    EXPECT_EQ(logo->textureWidth(), 256);
    EXPECT_EQ(logo->textureHeight(), 64);
    EXPECT_EQ(logo->imageWidth(), 180);
    ctx->beginFrame();
    logo->draw(0, 0);
    ctx->endFrame();
    const auto pixels = window.readPixels();
    for (auto [x, y] : {std::pair{0, 0}, {179, 38}, {90, 20}, {17, 3}}) {
        const RGBA got = window.pixel(pixels, x, y);
        EXPECT_TRUE(sameRGB(got, RGBA{std::uint8_t(x), std::uint8_t(y * 6), 128, 255})) << x << "," << y;
    }
    EXPECT_TRUE(sameRGB(window.pixel(pixels, 180, 10), kBlack));
    EXPECT_TRUE(sameRGB(window.pixel(pixels, 10, 39), kBlack));
}

TEST_F(GraphicsContextOpenGL, AtlasPageSubImagesDrawFromTheirPlaces) {
    auto* ctx = window_->context();
    std::unique_ptr<AbstractSurface> page(ctx->createSurface());
    const RGBA colours[3] = {{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}};
    unsigned xs[3], ys[3];
    for (int i = 0; i < 3; ++i) {
        const auto px = solid(8, 8, colours[i]);
        ASSERT_TRUE(page->addSubImage(px.data(), 8, 8, PixelFormatRGBA, &xs[i], &ys[i]));
    }
    EXPECT_EQ(xs[1], 11u);
    EXPECT_EQ(page->textureWidth(), 1024);
    unsigned x, y;
    const std::uint8_t dummy[4] = {};
    EXPECT_FALSE(page->addSubImage(dummy, 1, 1, 7, &x, &y));  // unknown format
    ctx->beginFrame();
    for (int i = 0; i < 3; ++i)
        page->draw(i * 10, 0, 8, 8, int(xs[i]), int(ys[i]));
    ctx->endFrame();
    const auto pixels = window_->readPixels();
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(sameRGB(window_->pixel(pixels, i * 10, 0), colours[i])) << i;
        EXPECT_TRUE(sameRGB(window_->pixel(pixels, i * 10 + 7, 7), colours[i])) << i;
    }
    EXPECT_TRUE(sameRGB(window_->pixel(pixels, 8, 0), kBlack));
}

TEST_F(GraphicsContextOpenGL, StateCacheRecoversAfterRawDrawing) {
    auto* ctx = window_->context();
    std::unique_ptr<AbstractSurface> white(ctx->createSurface());
    const auto px = solid(2, 2, {255, 255, 255, 255});
    white->setImage(px.data(), 2, 2, PixelFormatRGBA);
    ctx->beginFrame();
    ctx->setColor(Color(0, 200, 0, 255));
    white->draw(0, 0, 4, 4, 0, 0, 2, 2);
    ctx->flush();
    // Someone else draws with raw OpenGL and changes state behind the cache.
    glDisable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_BLEND);
    ctx->glState().invalidate();
    white->draw(10, 0, 4, 4, 0, 0, 2, 2);
    ctx->endFrame();
    const auto pixels = window_->readPixels();
    EXPECT_TRUE(sameRGB(window_->pixel(pixels, 1, 1), {0, 200, 0, 255}));
    EXPECT_TRUE(sameRGB(window_->pixel(pixels, 11, 1), {0, 200, 0, 255}));
    EXPECT_EQ(ctx->glState().boundName(GL_TEXTURE_2D),
              long(static_cast<::SurfaceOpenGL*>(white.get())->textureName()));
}

TEST_F(GraphicsContextOpenGL, CursorShapesAndClipboard) {
    auto* ctx = window_->context();
    for (int shape : {0, 1, 2, 3, -1})
        ctx->setCursorShape(shape);  // 3 and -1 are ignored
    ctx->setClipboardText("copied \xE2\x82\xAC");
    const char* text = ctx->getClipboardText();
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "copied \xE2\x82\xAC");
    EXPECT_TRUE(ctx->present());
}

// Sizes come from the cache that the window's size callback fills on the main thread, never
// from GLFW queries on the render thread.
TEST_F(GraphicsContextOpenGL, WindowSizeIsTheCachedSize) {
    auto* ctx = window_->context();
    int w = 0, h = 0;
    ctx->getWindowSize(&w, &h);
    EXPECT_EQ(w, 64);
    EXPECT_EQ(h, 48);
    ctx->setWindowSize(30, 20);
    int fw = 0, fh = 0;
    std::thread render([&] {
        ctx->getWindowSize(&w, &h);
        ctx->getFramebufferSize(&fw, &fh);
    });
    render.join();
    EXPECT_EQ(w, 30);
    EXPECT_EQ(h, 20);
    EXPECT_EQ(fw, 30);
    EXPECT_EQ(fh, 20);
}

TEST(GraphicsContextOpenGLText, RealFontInkLandsInsideTheMeasuredBox) {
    GLTestWindow window(320, 120, "text");
    ASSERT_TRUE(window.ok());
    auto* ctx = window.context();
    std::ifstream in(std::string(NIMBROSTA_SOURCE_DIR) + "/assets/fonts/Inter-Regular.otf", std::ios::binary);
    const std::vector<unsigned char> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(data.empty());
    GraphicsFont font(ctx->textService()->openFontFromMemory(data.data(), int(data.size()), false, 16, 96, 16), 1.0f);

    const std::string ascii = "Hello, world";
    const std::vector<std::uint32_t> text(ascii.begin(), ascii.end());
    int w = 0, h = 0;
    ASSERT_TRUE(ctx->measureText(text, 0, -1, &font, &w, &h, 0));
    EXPECT_GT(w, 60);
    EXPECT_LT(w, 160);

    // One line at (20, 10); the same text wrapped after "Hello," at (20, 60).
    int wrappedW = 70, wrappedH = 0;
    ASSERT_TRUE(ctx->measureText(text, 0, -1, &font, &wrappedW, &wrappedH, 1));
    ctx->beginFrame();
    ctx->setTextColor(0xffffffff);
    ctx->drawText(text, 0, -1, &font, 20, 10, 300, 0, 0);
    ctx->drawText(text, 0, -1, &font, 20, 60, 70, 0, 1);
    ctx->endFrame();
    const std::string shot = window.saveScreenshot("GraphicsContextOpenGL-text");
    const auto pixels = window.readPixels();

    auto inkIn = [&](int x0, int y0, int x1, int y1) {
        int ink = 0;
        for (int y = std::max(0, y0); y < std::min(window.height(), y1); ++y)
            for (int x = std::max(0, x0); x < std::min(window.width(), x1); ++x)
                if (window.pixel(pixels, x, y).r > 40)
                    ++ink;
        return ink;
    };
    const int total = inkIn(0, 0, 320, 120);
    EXPECT_GT(inkIn(20, 10, 20 + w, 10 + h), 100) << shot;
    const int wrappedInk = inkIn(20, 60, 20 + wrappedW + 1, 60 + wrappedH);
    EXPECT_EQ(inkIn(20, 10, 20 + w + 1, 10 + h) + wrappedInk, total) << "ink outside the measured boxes: " << shot;

    // The wrapped copy shows two bands of ink rows with a gap between them.
    int bands = 0;
    bool inBand = false;
    for (int y = 60; y < 60 + wrappedH; ++y) {
        const bool rowHasInk = inkIn(20, y, 20 + wrappedW + 1, y + 1) > 0;
        if (rowHasInk && !inBand)
            ++bands;
        inBand = rowHasInk;
    }
    EXPECT_EQ(bands, 2) << shot;
    EXPECT_EQ(font.pageCount(), 1u);
}

}  // namespace gltest
