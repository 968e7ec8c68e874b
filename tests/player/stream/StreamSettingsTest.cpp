// The in-stream screen's rules that follow from settings and measurements: the decoder and
// its flags, the decoders offered, the stream settings sent when the session is ready, the
// connection-quality figure and the seconds field of the frame loop's timers.

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "core/ConfigStore.h"
#include "player/stream/StreamSettings.h"

namespace {

struct TempConfig {
    TempConfig()
        : path((std::filesystem::temp_directory_path() / ("nimbrosta-stream-" + std::to_string(::getpid()) + ".ini"))
                   .string()),
          config(path) {}
    ~TempConfig() { std::filesystem::remove(path); }
    void set(const std::string& key, const std::string& value) { config.set<std::string>(key, value, false); }
    std::string path;
    ConfigStore config;
};

}  // namespace

TEST(StreamSettings, TheDecoderComesFromTheLastChoiceElseTheBenchmarksChoice) {
    struct Case {
        const char* last;
        const char* choice;
        const char* name;
        std::int32_t flags;
    } cases[] = {
        {"", "", "Software", 1},         {"SOFTWARE", "CUDA", "Software", 1}, {"", "CUDA", "CUDA", 3},
        {"DXVA", "CUDA", "DXVA", 5},      {"VAAPI", "", "VAAPI", 9},            {"VDPAU", "", "VDPAU", 17},
        {"VDA", "", "VDA", 33},           {"Software", "", "Software", 1},      {"bogus", "", "bogus", 1},
    };
    for (const Case& c : cases) {
        TempConfig t;
        t.set("Decoder.Last", c.last);
        t.set("Decoder.Choice", c.choice);
        const DecoderChoice d = chooseDecoder(t.config);
        EXPECT_EQ(d.name, c.name) << c.last << "/" << c.choice;
        EXPECT_EQ(d.flags, c.flags) << c.last << "/" << c.choice;
    }
}

TEST(StreamSettings, TheMenuOffersSoftwareAndEveryBenchmarkedDecoderButVdpau) {
    TempConfig t;
    EXPECT_EQ(offeredDecoders(t.config), std::vector<std::string>{"Software"});
    t.set("Benchmark.VAAPI", "40");
    t.set("Benchmark.CUDA", "0");
    t.set("Benchmark.DXVA", "12");
    t.set("Benchmark.VDPAU", "90");
    EXPECT_EQ(offeredDecoders(t.config), (std::vector<std::string>{"Software", "DXVA", "VAAPI"}));
}

TEST(StreamSettings, BitrateFrameRateResolutionAndAutomaticQuality) {
    struct Case {
        const char* quality;
        const char* resolution;
        const char* fps;
        const char* autoQuality;
        std::int32_t bitrate;
        bool fullHd;
        std::int32_t expectFps;
        std::int32_t expectAuto;
    } cases[] = {
        {nullptr, nullptr, nullptr, nullptr, 8192000, false, 30, 2},
        {"0", "FULLHD", "60", "1", 15360000, true, 60, 1},
        {"10", "FULLHD", "30", "0", 10485760, true, 30, 0},
        {"10", "HDREADY", "30", nullptr, 10485760, false, 30, 2},
        // A quality whose bitrate does not fit 32 bits gives the largest bitrate, not a
        // wrapped negative one.
        {"5000", "HDREADY", "30", nullptr, INT32_MAX, false, 30, 2},
        {"-3", "FULLHD", "30", nullptr, 15360000, true, 30, 2},
    };
    for (const Case& c : cases) {
        TempConfig t;
        if (c.quality) t.set("General.Quality", c.quality);
        if (c.resolution) t.set("Decoder.Resolution", c.resolution);
        if (c.fps) t.set("Decoder.FPS", c.fps);
        if (c.autoQuality) t.set("General.AutoQuality", c.autoQuality);
        const StreamSettings s = StreamSettings::fromConfig(t.config);
        SCOPED_TRACE(c.quality ? c.quality : "(no quality)");
        EXPECT_EQ(s.bitrate, c.bitrate);
        EXPECT_EQ(s.fullHd, c.fullHd);
        EXPECT_EQ(s.fps, c.expectFps);
        EXPECT_EQ(s.autoQuality, c.expectAuto);
    }
}

TEST(StreamSettings, QualityFromTheAveragePing) {
    const std::pair<std::int32_t, std::int32_t> cases[] = {
        {0, 100}, {5, 100}, {35, 85}, {145, 30}, {200, 2}, {5000, 2}, {-7, 100},
    };
    for (const auto& [ping, quality] : cases) EXPECT_EQ(qualityFromPing(ping), quality) << ping;
}

TEST(StreamSettings, TheSecondsFieldWrapsEveryMinute) {
    using namespace std::chrono;
    EXPECT_EQ(secondsField(milliseconds(999)), 0);
    EXPECT_EQ(secondsField(milliseconds(1000)), 1);
    EXPECT_EQ(secondsField(milliseconds(59999)), 59);
    EXPECT_EQ(secondsField(milliseconds(60500)), 0);
    EXPECT_EQ(secondsField(seconds(62)), 2);
}
