// The first start of the player as a user meets it: the real executable under Xvfb with the
// real render-ffmpeg.so and the build's samples measures the decoders while the decoded
// samples play in its window (a screenshot goes to build/artifacts/), writes its choice to
// config.ini; the next start finds the benchmark up to date and does not run it again.

#include "../PlayerProcessTestSupport.h"

#include <filesystem>

#include "BenchmarkTestSupport.h"
#include "core/ConfigStore.h"

using playertest::accessTokenOf;
using playertest::colourCount;

namespace fixtures {
using BenchmarkGroupState = playertest::PlayerModeFixture;

TEST_F(BenchmarkGroupState, AFirstStartMeasuresWithTheRealPluginAndTheNextStartRemembersTheChoice) {
    const std::string token = accessTokenOf(*stub, "user@example.com");
    ASSERT_FALSE(token.empty());
    benchtest::FakePowerProfiles power("balanced");
    clienttest::Installation app;
    const std::string lib = NIMBROSTA_LIB_DIR;
    for (const char* file : {"render-ffmpeg.so", "benchmark_hdready_low.data", "benchmark_fullhd_hi.data"})
        std::filesystem::copy_file(lib + "/" + file, app.lib + "/" + file);
    const std::string config = app.lib + "/config.ini";

    ASSERT_TRUE(app.start({"--access_token", token}));
    const Window w = x11test::waitForWindow(x.get(), "Nimbrosta");
    ASSERT_NE(w, 0u) << app.err();
    // The samples play in the window while they are measured.
    x11test::Pixels shot;
    EXPECT_TRUE(x11test::waitUntil(
        [&] {
            shot = x11test::capture(x.get(), w);
            return colourCount(shot) > 200;
        },
        30000))
        << app.out();
    playertest::saveScreenshot(shot, "benchmark-first-start");
    ASSERT_TRUE(x11test::waitUntil(
        [&] { return testsupport::readFile(config).find("NeedToRun=0") != std::string::npos; }, 60000))
        << app.out();
    x11test::sendDeleteWindow(x.get(), w);
    EXPECT_EQ(app.wait(), 0);
    EXPECT_EQ(app.err(), "");
    const std::string firstLog = app.out();
    EXPECT_NE(firstLog.find("running the decoder benchmark, never run"), std::string::npos) << firstLog;

    ConfigStore settings(config);
    EXPECT_EQ(settings.getString("Decoder.Choice", ""), "SOFTWARE");
    EXPECT_EQ(settings.getString("Benchmark.Best", ""), "SOFTWARE");
    EXPECT_EQ(settings.getString("Benchmark.Version", ""), "KdWfNrHsPeVaLm");
    EXPECT_NE(settings.getString("Benchmark.RenderName", ""), "");
    EXPECT_GT(settings.get<int>("Benchmark.SOFTWARE_HDREADY_LOW_FPS", "0"), 0);
    EXPECT_GT(settings.get<int>("Benchmark.SOFTWARE", "0"), 0);
    // The plug-in decodes in software only: no hardware family has a figure.
    for (const char* key : {"Benchmark.VAAPI", "Benchmark.VDPAU", "Benchmark.DXVA", "Benchmark.CUDA"})
        EXPECT_FALSE(settings.has(key)) << key;
    const std::string remembered = testsupport::readFile(config);

    ASSERT_TRUE(app.start({"--access_token", token}));
    const Window again = x11test::waitForWindow(x.get(), "Nimbrosta");
    ASSERT_NE(again, 0u) << app.err();
    ASSERT_TRUE(x11test::waitUntil([&] { return app.out().find("benchmark is up to date") != std::string::npos; }))
        << app.out();
    x11test::sendDeleteWindow(x.get(), again);
    EXPECT_EQ(app.wait(), 0);
    EXPECT_EQ(app.out().find("running the decoder benchmark"), std::string::npos) << app.out();
    EXPECT_EQ(testsupport::readFile(config), remembered) << "the choice stays as it was";
    EXPECT_TRUE(power.sets().empty()) << "no power-saver profile, no switch";
}

}  // namespace fixtures
