// The quad batcher on a recording context: batch limits, draw runs, scale and rotation.

#include "TestSupport.h"
#include "gui/testing/RecordingGraphicsContext.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <thread>

using guitest::FakeSurface;
using guitest::RecordingGraphicsContext;

namespace {

using testsupport::thrownText;

void quad(RecordingGraphicsContext& ctx, AbstractSurface* s, int x = 0, int y = 0) {
    ctx.drawImage(s, x, y, 10, 10, 0, 0, 1, 1, 0xffffffff, 0.0f);
}

}  // namespace

TEST(AbstractGraphicsContext, FullBatchFlushesBeforeTheQuadThatDoesNotFit) {
    RecordingGraphicsContext ctx;
    ctx.recordGeometry = false;
    FakeSurface a(&ctx, 64, 64);
    for (int i = 0; i < 1024; ++i)
        quad(ctx, &a);
    EXPECT_EQ(ctx.batchVertexCount(), 4096);
    EXPECT_EQ(ctx.batchIndexCount(), 6144);
    EXPECT_TRUE(ctx.draws.empty());
    ASSERT_EQ(ctx.drawRuns().size(), 1u);

    quad(ctx, &a);
    ASSERT_EQ(ctx.draws.size(), 1u);
    EXPECT_EQ(ctx.draws[0].firstIndex, 0);
    EXPECT_EQ(ctx.draws[0].indexCount, 6144);
    EXPECT_EQ(ctx.draws[0].vertexCount, 4096);
    EXPECT_EQ(ctx.draws[0].firstVertex, 0);
    EXPECT_EQ(ctx.batchVertexCount(), 4);
    EXPECT_EQ(ctx.batchIndexCount(), 6);
}

TEST(AbstractGraphicsContext, TrianglesFlushAtTheVertexLimit) {
    RecordingGraphicsContext ctx;
    ctx.recordGeometry = false;
    FakeSurface a(&ctx, 64, 64);
    for (int i = 0; i < 1365; ++i)  // 4095 vertices
        ctx.drawTriangle(&a, 0, 0, 1, 0, 0, 1, 0, 0, 1, 1, 0xffffffff);
    EXPECT_EQ(ctx.batchVertexCount(), 4095);
    EXPECT_TRUE(ctx.draws.empty());
    ctx.drawTriangle(&a, 0, 0, 1, 0, 0, 1, 0, 0, 1, 1, 0xffffffff);
    ASSERT_EQ(ctx.draws.size(), 1u);
    EXPECT_EQ(ctx.draws[0].vertexCount, 4095);
    EXPECT_EQ(ctx.batchVertexCount(), 3);
    // A quad after 4095 vertices does not fit either.
    RecordingGraphicsContext ctx2;
    for (int i = 0; i < 1364; ++i)
        ctx2.drawTriangle(&a, 0, 0, 1, 0, 0, 1, 0, 0, 1, 1, 0xffffffff);
    quad(ctx2, &a);  // 4092 + 4 = 4096 fits exactly
    EXPECT_TRUE(ctx2.draws.empty());
    EXPECT_EQ(ctx2.batchVertexCount(), 4096);
}

TEST(AbstractGraphicsContext, AlternatingSurfacesMakeOneRunPerQuad) {
    RecordingGraphicsContext ctx;
    FakeSurface a(&ctx, 64, 64), b(&ctx, 64, 64);
    quad(ctx, &a);
    quad(ctx, &b);
    quad(ctx, &a);
    quad(ctx, &b);
    EXPECT_EQ(ctx.drawRuns().size(), 4u);
    ctx.flush();
    ASSERT_EQ(ctx.binds.size(), 4u);
    EXPECT_EQ(ctx.binds[0], &a);
    EXPECT_EQ(ctx.binds[1], &b);
    EXPECT_EQ(ctx.binds[2], &a);
    EXPECT_EQ(ctx.binds[3], &b);
    ASSERT_EQ(ctx.draws.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(ctx.draws[i].firstIndex, 6 * i);
        EXPECT_EQ(ctx.draws[i].indexCount, 6);
        EXPECT_EQ(ctx.draws[i].vertexCount, 4);
        EXPECT_EQ(ctx.draws[i].firstVertex, 4 * i);
        EXPECT_EQ(ctx.draws[i].indices, (std::vector<std::uint16_t>{0, 1, 3, 1, 2, 3}));
    }
    EXPECT_TRUE(ctx.drawRuns().empty());
    EXPECT_EQ(ctx.batchVertexCount(), 0);
}

TEST(AbstractGraphicsContext, ConsecutiveQuadsOfOneSurfaceShareARunAndOneBind) {
    RecordingGraphicsContext ctx;
    FakeSurface a(&ctx, 64, 64), b(&ctx, 64, 64);
    quad(ctx, &a);
    quad(ctx, &a);
    quad(ctx, &a);
    quad(ctx, &b);
    ctx.flush();
    ASSERT_EQ(ctx.draws.size(), 2u);
    EXPECT_EQ(ctx.binds.size(), 2u);
    EXPECT_EQ(ctx.draws[0].indexCount, 18);
    EXPECT_EQ(ctx.draws[0].indices, (std::vector<std::uint16_t>{0, 1, 3, 1, 2, 3, 4, 5, 7, 5, 6, 7, 8, 9, 11, 9,
                                                                 10, 11}));
    EXPECT_EQ(ctx.draws[1].firstVertex, 12);
    EXPECT_EQ(ctx.draws[1].indices, (std::vector<std::uint16_t>{0, 1, 3, 1, 2, 3}));
}

TEST(AbstractGraphicsContext, CornersTextureCoordinatesScaleAndColour) {
    RecordingGraphicsContext ctx;
    FakeSurface a(&ctx, 64, 64);
    ctx.setUIScale(1.5f);
    ctx.drawImage(&a, 10, 10, 20, 20, 0.25f, 0.5f, 0.125f, 0.25f, 0x11223344, 0.0f);
    const Vertex* v = ctx.batchVertices();
    const float expected[4][4] = {{15, 15, 0.25f, 0.5f}, {45, 15, 0.375f, 0.5f}, {45, 45, 0.375f, 0.75f},
                                  {15, 45, 0.25f, 0.75f}};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_FLOAT_EQ(v[i].x, expected[i][0]);
        EXPECT_FLOAT_EQ(v[i].y, expected[i][1]);
        EXPECT_FLOAT_EQ(v[i].z, 0.0f);
        EXPECT_FLOAT_EQ(v[i].u, expected[i][2]);
        EXPECT_FLOAT_EQ(v[i].v, expected[i][3]);
        EXPECT_EQ(v[i].color, 0x11223344u);
    }
}

TEST(AbstractGraphicsContext, RotationTurnsAboutTheCentre) {
    RecordingGraphicsContext ctx;
    FakeSurface a(&ctx, 64, 64);
    ctx.drawImage(&a, 0, 0, 100, 20, 0, 0, 1, 1, 0xffffffff, float(M_PI / 2));
    const Vertex* v = ctx.batchVertices();
    float minX = 1e9f, maxX = -1e9f, minY = 1e9f, maxY = -1e9f;
    for (int i = 0; i < 4; ++i) {
        minX = std::min(minX, v[i].x);
        maxX = std::max(maxX, v[i].x);
        minY = std::min(minY, v[i].y);
        maxY = std::max(maxY, v[i].y);
    }
    EXPECT_NEAR(minX, 40.0f, 1e-4);
    EXPECT_NEAR(maxX, 60.0f, 1e-4);
    EXPECT_NEAR(minY, -40.0f, 1e-4);
    EXPECT_NEAR(maxY, 60.0f, 1e-4);
    // Corner 0 (top-left) turns to the top-right of the rotated box.
    EXPECT_NEAR(v[0].x, 60.0f, 1e-4);
    EXPECT_NEAR(v[0].y, -40.0f, 1e-4);
}

TEST(AbstractGraphicsContext, SurfaceDrawFormsUseTextureSize) {
    RecordingGraphicsContext ctx;
    FakeSurface s(&ctx, 256, 128);
    ctx.setColor(0x80402010);
    struct Case {
        const char* name;
        std::function<void()> draw;
        float x0, y0, x1, y1, u, v, du, dv;
    } cases[] = {
        {"whole", [&] { s.draw(5, 6); }, 5, 6, 261, 134, 0, 0, 1, 1},
        {"stretched", [&] { s.draw(5, 6, 10, 20); }, 5, 6, 15, 26, 0, 0, 1, 1},
        {"part", [&] { s.draw(0, 0, 32, 16, 64, 32); }, 0, 0, 32, 16, 0.25f, 0.25f, 0.125f, 0.125f},
        {"source rect", [&] { s.draw(1, 2, 10, 10, 128, 64, 64, 32); }, 1, 2, 11, 12, 0.5f, 0.5f, 0.25f, 0.25f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ctx.flush();
        c.draw();
        const Vertex* v = ctx.batchVertices();
        EXPECT_FLOAT_EQ(v[0].x, c.x0);
        EXPECT_FLOAT_EQ(v[0].y, c.y0);
        EXPECT_FLOAT_EQ(v[2].x, c.x1);
        EXPECT_FLOAT_EQ(v[2].y, c.y1);
        EXPECT_FLOAT_EQ(v[0].u, c.u);
        EXPECT_FLOAT_EQ(v[0].v, c.v);
        EXPECT_FLOAT_EQ(v[2].u, c.u + c.du);
        EXPECT_FLOAT_EQ(v[2].v, c.v + c.dv);
        EXPECT_EQ(v[0].color, 0x80402010u);
    }
    // A triangle from a texel: vertex 1 gets u + du, vertex 2 v + dv.
    ctx.flush();
    s.drawTriangle(0, 0, 10, 0, 0, 10, 64, 32, 64, 32);
    const Vertex* v = ctx.batchVertices();
    EXPECT_FLOAT_EQ(v[1].u, 0.5f);
    EXPECT_FLOAT_EQ(v[1].v, 0.25f);
    EXPECT_FLOAT_EQ(v[2].u, 0.25f);
    EXPECT_FLOAT_EQ(v[2].v, 0.5f);
}

TEST(AbstractGraphicsContext, DrawingFromAnotherThreadThrows) {
    RecordingGraphicsContext ctx;
    FakeSurface a(&ctx, 64, 64);
    std::string image, triangle, flush;
    std::thread other([&] {
        image = thrownText([&] { quad(ctx, &a); });
        triangle = thrownText([&] { ctx.drawTriangle(&a, 0, 0, 1, 0, 0, 1, 0, 0, 1, 1, 0); });
        flush = thrownText([&] { ctx.flush(); });
    });
    other.join();
    EXPECT_EQ(image, "only main thread!");
    EXPECT_EQ(triangle, "only main thread!");
    EXPECT_EQ(flush, "only main thread!");
    EXPECT_EQ(ctx.batchVertexCount(), 0);

    // Once the other thread is recorded as the drawing thread, it may draw and this one not.
    std::thread render([&] {
        ctx.setDrawingThread(std::this_thread::get_id());
        image = thrownText([&] { quad(ctx, &a); });
    });
    render.join();
    EXPECT_EQ(image, "");
    EXPECT_EQ(thrownText([&] { quad(ctx, &a); }), "only main thread!");
}

TEST(AbstractGraphicsContext, LogicalSizeTruncatesTheScaledWindowSize) {
    RecordingGraphicsContext ctx(901, 451);
    int w = 0, h = 0;
    ctx.getLogicalSize(&w, &h);
    EXPECT_EQ(w, 901);
    EXPECT_EQ(h, 451);
    ctx.setUIScale(1.5f);
    ctx.getLogicalSize(&w, &h);
    EXPECT_EQ(w, 600);
    EXPECT_EQ(h, 300);
}

namespace {
class RefusingContext : public RecordingGraphicsContext {
public:
    bool initExtensions() override { return false; }
};
}  // namespace

TEST(AbstractGraphicsContext, InitializeThrowsWhenExtensionsAreRefused) {
    RefusingContext ctx;  // the recording constructor's initialize ran with the base class' override
    EXPECT_EQ(thrownText([&] { ctx.initialize(); }), "error");
}
