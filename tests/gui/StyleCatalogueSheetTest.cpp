// The style catalogue on real OpenGL: every atlas and every font style drawn on one sheet,
// saved as build/artifacts/style-catalogue-sheet.png for a person to look at, plus exact
// read-back of one opaque pixel from each atlas.

#include "assets/Assets.h"
#include "gui/GraphicsFont.h"
#include "gui/PlayerGUI.h"
#include "gui/PngImage.h"
#include "gui/testing/GLTestWindow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

using guitest::GLTestWindow;
using guitest::RGBA;

namespace {

const char* const kAtlasNames[] = {"animation", "controls", "gamepad", "images",
                                   "Loading",   "logo",     "selectos", "updater"};
const char* const kStyles[] = {"launcher-edit-boxes", "player-record",     "updater-bold",   "signin-big-bold",
                               "signin-bold",         "signin-small-bold", "header",         "default",
                               "small",               "launcher-big",      "launcher-small", "tutorial-caption",
                               "tutorial-lefttext",   "tutorial",          "selectos-title", "selectos-caption",
                               "selectos-info",       "selectos-l-info"};

std::vector<std::uint32_t> codePoints(const std::string& ascii) {
    return std::vector<std::uint32_t>(ascii.begin(), ascii.end());
}

}  // namespace

TEST(StyleCatalogue, SheetOfEveryAtlasAndFontStyle) {
    GLTestWindow window(1600, 1040, "style catalogue");
    ASSERT_TRUE(window.ok());
    auto* ctx = window.context();
    PlayerGUI gui(nullptr, ctx);
    ASSERT_TRUE(gui.loadFontStyles(ctx, ""));

    ctx->beginFrame();
    // A mid-grey ground so white and transparent pictures both show.
    ctx->setColor(Color(60, 70, 80, 255));
    gui.fillRect(ctx, 0, 0, 1600, 1040);
    ctx->setColor(0xffffffff);
    // The atlases in a 4 x 2 grid of 370-pixel cells (scaled down to fit, aspect kept).
    for (int i = 0; i < 8; ++i) {
        AbstractSurface* atlas = gui.getSurface(kAtlasNames[i]);
        ASSERT_NE(atlas, nullptr) << kAtlasNames[i];
        const int cellX = 8 + (i % 4) * 378, cellY = 8 + (i / 4) * 378;
        const float fit = std::min(1.0f, 370.0f / float(std::max(atlas->imageWidth(), atlas->imageHeight())));
        ctx->setColor(0xff282828);
        gui.fillRect(ctx, cellX, cellY, 370, 370);
        ctx->setColor(0xffffffff);
        atlas->draw(cellX, cellY, int(float(atlas->imageWidth()) * fit), int(float(atlas->imageHeight()) * fit));
    }
    // Every font style, in two columns below.
    int ty = 770;
    int column = 0;
    ctx->setTextColor(0xffffffff);
    for (const char* style : kStyles) {
        GraphicsFont* font = gui.getFont(style);
        ASSERT_NE(font, nullptr) << style;
        const auto text = codePoints(std::string(style) + " Quick brown fox 0123");
        ctx->drawText(text, 0, -1, font, 8 + column * 560, ty, 550, 0, 0);
        FontMetrics m;
        font->getMetrics(m);
        EXPECT_GT(m.height, 5) << style;
        ty += m.height + m.lineGap + 4;
        if (column == 0 && ty > 1020) {
            column = 1;
            ty = 770;
        }
    }
    // A few frames and fills of the controls, as widgets draw them.
    ControlsRender controls(&gui);
    ctx->setColor(gui.getColor("button-default"));
    controls.drawCheckBoxFrame(ctx, 1150, 790, 120, 30, false, false);
    ctx->setColor(0xffffffff);
    controls.drawButtonFrame(ctx, 1300, 780, 140, 50, false, true);
    Rect box{1470, 797, 0, 0};
    controls.drawCheckBox(ctx, box, false, false, true);
    gui.drawModalPanel(ctx, 1150, 860, 300, 140);
    ctx->endFrame();
    const std::string path = window.saveScreenshot("style-catalogue-sheet");
    SUCCEED() << "sheet: " << path;
}

TEST(StyleCatalogue, OnePixelOfEachAtlasReadsBackExactly) {
    GLTestWindow window(600, 560, "atlas pixels");
    ASSERT_TRUE(window.ok());
    auto* ctx = window.context();
    PlayerGUI gui(nullptr, ctx);
    for (const char* name : kAtlasNames) {
        SCOPED_TRACE(name);
        const EmbeddedAsset* asset = findAsset((std::string("atlases/") + name + ".png").c_str());
        ASSERT_NE(asset, nullptr);
        PngImage image;
        ASSERT_TRUE(image.decodePngFromMemory(asset->data, asset->size));
        // The first fully opaque pixel of the image.
        int px = -1, py = -1;
        for (int yy = 0; yy < image.height && px < 0; ++yy)
            for (int xx = 0; xx < image.width; ++xx)
                if (image.rows[std::size_t(yy)][xx * 4 + 3] == 255) {
                    px = xx;
                    py = yy;
                    break;
                }
        ASSERT_GE(px, 0) << "no opaque pixel";
        const std::uint8_t* want = image.rows[std::size_t(py)] + px * 4;

        ctx->beginFrame();
        ctx->setColor(0xffffffff);
        gui.getSurface(name)->draw(0, 0);
        ctx->endFrame();
        const auto pixels = window.readPixels();
        const RGBA got = window.pixel(pixels, px, py);
        EXPECT_EQ(got.r, want[0]) << px << "," << py;
        EXPECT_EQ(got.g, want[1]);
        EXPECT_EQ(got.b, want[2]);
    }
    // The white patch is exactly white, so fills are exactly their colour.
    ctx->beginFrame();
    ctx->setColor(gui.getColor("so-red"));
    gui.fillRect(ctx, 10, 10, 50, 20);
    ctx->endFrame();
    const auto pixels = window.readPixels();
    const RGBA fill = window.pixel(pixels, 30, 20);
    EXPECT_EQ(fill.r, 244);
    EXPECT_EQ(fill.g, 67);
    EXPECT_EQ(fill.b, 54);
}
