// UI scale and DPI class, the desktop DPI read from X resources, the locale fallback and
// the GLFW error log line.

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "core/ConfigStore.h"
#include "shell/GLFWAppWindow.h"
#include "shell/UiScale.h"
#include "core/UserLocale.h"
#include "platform/DesktopSettings.h"

using testsupport::captureStdout;

TEST(UiScale, ScaleFromTheSettingOrTheDesktopDpi) {
    struct Case {
        const char* setting;  // null: not in config.ini
        int dpi;
        float scale;
        int dpiClass;
    };
    const Case cases[] = {
        {nullptr, 120, 1.0f, 96},  // default "1.0"
        {"0", 120, 1.25f, 138},
        {"0", 96, 1.0f, 96},
        {"0", 116, 1.0f, 96},
        {"0", 138, 1.25f, 138},
        {"0", 139, 1.5f, 168},
        {"0", 0, 1.0f, 96},  // no desktop setting
        {"-3", 200, 1.5f, 168},
        {"2", 0, 1.5f, 168},
        {"1.1", 0, 1.1f, 138},  // a stored 1.1f lies above 1.1 in double
        {"1.05", 0, 1.05f, 116},
        {"1.25", 0, 1.25f, 138},
        {"abc", 0, 1.0f, 96},  // does not convert: the default, with a level-50 line
    };
    for (const Case& c : cases) {
        testsupport::TempDir dir;
        ConfigStore config(dir.file("config.ini"));
        if (c.setting) config.setString("General.Scale", c.setting, false);
        float scale = 0;
        const std::string out = captureStdout([&] { scale = computeUiScale(config, [&] { return c.dpi; }); });
        EXPECT_FLOAT_EQ(scale, c.scale) << (c.setting ? c.setting : "(none)") << " dpi " << c.dpi;
        EXPECT_EQ(dpiForUiScale(scale), c.dpiClass) << (c.setting ? c.setting : "(none)");
        if (c.setting && std::string(c.setting) == "abc") {
            EXPECT_NE(out.find("[E]"), std::string::npos) << out;
        }
    }
}

TEST(UiScale, DesktopDpiFromXResources) {
    EXPECT_EQ(platform::desktopDpiFromResources("Xft.dpi:\t120\n"), 120);
    EXPECT_EQ(platform::desktopDpiFromResources("Xft.antialias:\t1\nXft.dpi:\t143.6\n"), 144);
    EXPECT_EQ(platform::desktopDpiFromResources("Xft.antialias:\t1\n"), 0);
    EXPECT_EQ(platform::desktopDpiFromResources("Xft.dpi:\tlots\n"), 0);
    EXPECT_EQ(platform::desktopDpiFromResources("Xft.dpi:\t-96\n"), 0);
    EXPECT_EQ(platform::desktopDpiFromResources(nullptr), 0);
    testsupport::ScopedEnv noDisplay("DISPLAY", nullptr);
    EXPECT_EQ(platform::desktopDpi(), 0);
}

TEST(UserLocale, AMissingLocaleFallsBackInsteadOfThrowing) {
    {
        testsupport::ScopedEnv all("LC_ALL", "xx_NOWHERE.UTF-8");
        bool ok = true;
        const std::string out = captureStdout([&] { ok = loadUserLocale(); });
        EXPECT_FALSE(ok);
        EXPECT_NE(out.find("[W]"), std::string::npos);
        const std::string name = userLocale().name();
        EXPECT_TRUE(name == "C.UTF-8" || name == "C") << name;
    }
    testsupport::ScopedEnv all("LC_ALL", "C");
    EXPECT_TRUE(loadUserLocale());
}

TEST(GLFWLogger, LogsErrorsButNotTheHarmlessClipboardOnes) {
    std::string out = captureStdout([] { EXPECT_TRUE(GLFWLogger::log(65544, "X11: boom")); });
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.rfind("[E][", 0), 0u) << out;
    EXPECT_NE(out.find("GLFWLogger::log,  24]: E GLFW[65544] : X11: boom\n"), std::string::npos) << out;
    for (const char* ignored : {"Win32: Failed to convert clipboard to string", "Win32: Failed to open clipboard",
                                "X11: Failed to convert selection to string"}) {
        out = captureStdout([&] { EXPECT_FALSE(GLFWLogger::log(65545, ignored)); });
        EXPECT_EQ(out, "") << ignored;
    }
}
