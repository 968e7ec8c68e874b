// Finding an installed font with Chinese glyphs through fontconfig.

#include "gui/ChineseFonts.h"
#include "gui/GraphicsFont.h"
#include "gui/TextServiceFreeType.h"
#include "gui/testing/RecordingGraphicsContext.h"

#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>

namespace {

struct ContextWithFonts {
    ContextWithFonts() { ctx.setTextService(&service); }
    ~ContextWithFonts() { ctx.setTextService(nullptr); }
    TextServiceFreeType service;
    guitest::RecordingGraphicsContext ctx;
};

}  // namespace

TEST(ChineseFonts, FindsAnInstalledFontThatHasTheGlyph) {
    ContextWithFonts c;
    const std::vector<std::string> names = findChineseFonts(&c.ctx, true);
    ASSERT_FALSE(names.empty()) << "no Chinese font installed (the test set-up installs fonts-wqy-zenhei)";
    const std::string preferred = getPreferredChineseFontName(&c.ctx);
    EXPECT_EQ(preferred, names.front());
    std::unique_ptr<GraphicsFont> font(c.ctx.openFontByName(preferred.c_str(), 16, 96, FontFlagAutohint));
    ASSERT_NE(font, nullptr);
    const Glyph glyph = font->getGlyph(0x5F55);
    EXPECT_GT(glyph.width, 0);
    EXPECT_GT(glyph.height, 0);
    // Latin-only families never appear.
    for (const std::string& name : names)
        EXPECT_EQ(name.find("DejaVu"), std::string::npos) << name;
    // The list is computed once: a second call gives the same names.
    EXPECT_EQ(findChineseFonts(&c.ctx, true), names);
}

TEST(ChineseFonts, DengxianNamesMoveToTheFrontInOrder) {
    std::vector<std::string> names = {"SimSun", "DengXian Light", "Microsoft YaHei", "dengxian", "KaiTi"};
    moveDengxianFirst(names);
    EXPECT_EQ(names, (std::vector<std::string>{"DengXian Light", "dengxian", "SimSun", "Microsoft YaHei", "KaiTi"}));
    std::vector<std::string> none = {"b", "a"};
    moveDengxianFirst(none);
    EXPECT_EQ(none, (std::vector<std::string>{"b", "a"}));
}

TEST(ChineseFonts, EmptyWhenFontconfigKnowsNoFont) {
    ContextWithFonts c;
    const std::string config = testing::TempDir() + "empty-fonts.conf";
    {
        std::ofstream out(config);
        out << "<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n<fontconfig></fontconfig>\n";
    }
    const char* previous = std::getenv("FONTCONFIG_FILE");
    const std::string saved = previous ? previous : "";
    setenv("FONTCONFIG_FILE", config.c_str(), 1);
    ASSERT_TRUE(FcInitReinitialize());
    const std::vector<std::string> names = enumerateChineseFonts(&c.ctx);
    if (previous)
        setenv("FONTCONFIG_FILE", saved.c_str(), 1);
    else
        unsetenv("FONTCONFIG_FILE");
    FcInitReinitialize();
    EXPECT_TRUE(names.empty());
}
