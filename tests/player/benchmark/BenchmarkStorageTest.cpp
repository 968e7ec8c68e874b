// The benchmark's suites, results and choice: which samples become suites, which decoders
// are measured on which suite, what config.ini holds afterwards, and the decoder and stream
// format chosen from measured figures.

#include "player/BenchmarkStorage.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "core/ConfigStore.h"

using testsupport::captureStdout;
using testsupport::readFile;
using testsupport::TempDir;

namespace {

const char* const kRenderer = "llvmpipe (LLVM 15.0.6, 256 bits)";

// A raw stream of n access units: a key frame with its parameter sets, then P pictures.
std::string sample(int units) {
    std::string s("\0\0\0\x01\x67\x64\x00\x28\0\0\0\x01\x68\xee\x3c\x80\0\0\x01\x65\x88\x84", 22);
    for (int i = 1; i < units; ++i)
        s += std::string("\0\0\x01\x41\x9a\x02", 6);
    return s;
}

// Samples of 60 units each for the named suites ("hdready_low", ...).
void writeSamples(const TempDir& dir, const std::vector<std::string>& suites, int units = 60) {
    for (const std::string& suite : suites)
        testsupport::writeFile(dir.file("benchmark_" + suite + ".data"), sample(units));
}

std::vector<std::string> suiteNames(const BenchmarkStorage& storage) {
    std::vector<std::string> names;
    for (const auto& suite : storage.suites())
        names.push_back(suite->name);
    return names;
}

// Plays the measurement order of the benchmark screens: on every suite, each decoder in turn
// while it is fast enough; ms[suite] < 0 means the decoder had no renderer there.
void measure(BenchmarkStorage& storage, const std::map<std::string, std::vector<int>>& measured) {
    const char* const order[] = {"VAAPI", "VDPAU", "VDA", "CUDA", "DXVA", "SOFTWARE"};
    do {
        const std::size_t suite = storage.currentSuiteIndex();
        for (const char* decoder : order) {
            const auto it = measured.find(decoder);
            if (!storage.isFastEnough(decoder) || it == measured.end())
                continue;
            if (suite < it->second.size() && it->second[suite] >= 0)
                storage.storeResult(std::uint32_t(it->second[suite]));
        }
    } while (storage.nextSuite());
}

}  // namespace

TEST(BenchmarkStorage, SamplesPresentBecomeSuitesInTheirOrder) {
    struct Case {
        std::vector<std::string> files;
        std::vector<std::string> broken;
        std::vector<std::string> suites;
    } cases[] = {
        {{}, {}, {}},
        {{"fullhd_hi"}, {}, {"FULLHD_HI"}},
        {{"fullhd_hi", "hdready_low", "fullhd_low", "hdready_hi"}, {}, {"HDREADY_LOW", "HDREADY_HI", "FULLHD_LOW", "FULLHD_HI"}},
        {{"fullhd_low"}, {"hdready_low"}, {"FULLHD_LOW"}},
        {{"HDREADY_HI"}, {}, {}},  // the file names are lower case
    };
    for (const Case& c : cases) {
        TempDir dir;
        writeSamples(dir, c.files);
        for (const std::string& name : c.broken)
            testsupport::writeFile(dir.file("benchmark_" + name + ".data"), std::string("\0\0\x01", 3));
        ConfigStore config(dir.file("config.ini"));
        std::string out;
        out = captureStdout([&] {
            BenchmarkStorage storage(BenchmarkStorage::kVersionTag, dir.path(), &config);
            EXPECT_EQ(suiteNames(storage), c.suites);
            EXPECT_EQ(storage.currentData() != nullptr, !c.suites.empty());
        });
    }
}

TEST(BenchmarkStorage, MeasurementWritesConfigIniExactly) {
    TempDir dir;
    writeSamples(dir, {"hdready_low", "fullhd_hi"});
    ConfigStore config(dir.file("config.ini"));
    config.checkVersion();
    captureStdout([&] {
        BenchmarkStorage storage(BenchmarkStorage::kVersionTag, dir.path(), &config);
        ASSERT_EQ(suiteNames(storage), (std::vector<std::string>{"HDREADY_LOW", "FULLHD_HI"}));

        // First suite: every decoder is measured once it can be created.
        EXPECT_TRUE(storage.isFastEnough("VAAPI"));
        EXPECT_EQ(storage.currentLabel(), "VAAPIHDREADY_LOW");
        storage.storeResult(1000);  // 60 units in 1 s: 60 fps
        EXPECT_TRUE(storage.isFastEnough("CUDA"));  // no renderer: nothing stored
        EXPECT_TRUE(storage.isFastEnough("SOFTWARE"));
        storage.storeResult(2000);  // 30 fps
        ASSERT_TRUE(storage.nextSuite());
        EXPECT_FALSE(storage.nextSuite());

        // Second suite: above 30 fps on the first goes on, exactly 30 stops; a decoder
        // without any result is tried again.
        EXPECT_TRUE(storage.isFastEnough("VAAPI"));
        EXPECT_EQ(storage.currentLabel(), "VAAPIFULLHD_HI");
        storage.storeResult(800);  // 75 fps
        EXPECT_TRUE(storage.isFastEnough("CUDA"));
        EXPECT_FALSE(storage.isFastEnough("SOFTWARE"));

        storage.applyResults(kRenderer);
    });
    EXPECT_EQ(readFile(dir.file("config.ini")),
              "[System]\nConfigVersion=Tz4pLw8vRb\n"
              "[Benchmark]\n"
              "VAAPI_HDREADY_LOW_FPS=60\n"
              "SOFTWARE_HDREADY_LOW_FPS=30\n"
              "VAAPI_FULLHD_HI_FPS=75\n"
              "Version=KdWfNrHsPeVaLm\n"
              "NeedToRun=0\n"
              "RenderName=llvmpipe (LLVM 15.0.6, 256 bits)\n"
              "SOFTWARE=2000\n"
              "VAAPI=1800\n"
              "Best=VAAPI\n"
              "[Decoder]\n"
              "Choice=VAAPI\n"
              "FPS=60\n"
              "Resolution=FULLHD\n"
              "Bitrate=HI\n"
              "Score=100\n");
}

TEST(BenchmarkStorage, ChoiceFromMeasuredFigures) {
    // Four suites of 60 units: 1000 ms is 60 fps, 2000 ms 30 fps, 500 ms 120 fps.
    // Suite order: HDREADY_LOW, HDREADY_HI, FULLHD_LOW, FULLHD_HI; -1: no renderer.
    struct Case {
        const char* what;
        std::map<std::string, std::string> before;  // settings present before the run
        std::map<std::string, std::vector<int>> measured;
        std::string best, resolution, bitrate;
        int fps, score;
        std::map<std::string, std::string> after;  // further settings expected afterwards
    } cases[] = {
        {"fast everywhere", {}, {{"SOFTWARE", {500, 500, 500, 500}}}, "SOFTWARE", "FULLHD", "HI", 60, 100,
         {{"Benchmark.SOFTWARE", "2000"}}},
        {"too slow for full HD at high quality", {}, {{"SOFTWARE", {1000, 1000, 1500, 2500}}}, "SOFTWARE", "FULLHD",
         "LOW", 30, 76, {{"Benchmark.SOFTWARE_FULLHD_HI_FPS", "24"}}},
        {"exactly 30 stops after the first suite", {}, {{"SOFTWARE", {2000, 500, 500, 500}}}, "SOFTWARE", "HDREADY",
         "LOW", 30, 50, {{"Benchmark.SOFTWARE", "2000"}}},
        {"31 goes on to the next suite", {}, {{"SOFTWARE", {1935, 3000, 500, 500}}}, "SOFTWARE", "HDREADY", "LOW", 30,
         42, {{"Benchmark.SOFTWARE_HDREADY_HI_FPS", "20"}}},
        // No suite at 30 fps: full HD at high quality is kept, and the figure of the last
        // format tried (HDREADY_LOW) sets the frame rate.
        {"no suite reaches 30 fps", {}, {{"SOFTWARE", {3000}}}, "SOFTWARE", "FULLHD", "HI", 30, 33, {}},
        {"equal totals: the name sorting first", {}, {{"VAAPI", {1000, 1000, 1000, 1000}}, {"CUDA", {1000, 1000, 1000, 1000}}},
         "CUDA", "FULLHD", "HI", 30, 100, {{"Benchmark.VAAPI", "4000"}, {"Benchmark.CUDA", "4000"}}},
        {"the smaller total", {}, {{"VAAPI", {500, 500, 500, 500}}, {"SOFTWARE", {400, 400, 400, 400}}}, "SOFTWARE",
         "FULLHD", "HI", 60, 100, {{"Benchmark.VAAPI", "2000"}, {"Benchmark.SOFTWARE", "1600"}}},
        {"a decoder that stopped early compares by the suites it ran", {},
         {{"VAAPI", {2000}}, {"SOFTWARE", {600, 600, 600, 600}}}, "VAAPI", "HDREADY", "LOW", 30, 50,
         {{"Benchmark.VAAPI", "2000"}, {"Benchmark.SOFTWARE", "2400"}}},
        {"an excluded decoder keeps its value", {{"Benchmark.VAAPI", "999999"}},
         {{"VAAPI", {400, 400, 400, 400}}, {"SOFTWARE", {500, 500, 500, 500}}}, "SOFTWARE", "FULLHD", "HI", 60, 100,
         {{"Benchmark.VAAPI", "999999"}}},
        {"text where a number belongs reads as 0", {{"Benchmark.VAAPI", "fast"}},
         {{"VAAPI", {400, 400, 400, 400}}, {"SOFTWARE", {500, 500, 500, 500}}}, "VAAPI", "FULLHD", "HI", 60, 100,
         {{"Benchmark.VAAPI", "1600"}}},
        {"60 fps at full HD keeps 30 frames per second", {}, {{"SOFTWARE", {1000, 1000, 1000, 1000}}}, "SOFTWARE",
         "FULLHD", "HI", 30, 100, {}},
        {"61 fps at full HD chooses 60", {}, {{"SOFTWARE", {1000, 1000, 1000, 983}}}, "SOFTWARE", "FULLHD", "HI", 60,
         100, {{"Benchmark.SOFTWARE_FULLHD_HI_FPS", "61"}}},
        {"45 fps scores 75", {}, {{"SOFTWARE", {1333, 1333, 1333, 1333}}}, "SOFTWARE", "FULLHD", "HI", 30, 75, {}},
        {"elapsed 0 divides by nothing", {}, {{"SOFTWARE", {0, 0, 0, 0}}}, "SOFTWARE", "FULLHD", "HI", 60, 100,
         {{"Benchmark.SOFTWARE_FULLHD_HI_FPS", "60000"}, {"Benchmark.SOFTWARE", "0"}}},
        {"no decoder measured writes no choice", {}, {{"CUDA", {-1, -1, -1, -1}}}, "", "", "", 0, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        writeSamples(dir, {"hdready_low", "hdready_hi", "fullhd_low", "fullhd_hi"});
        ConfigStore config(dir.file("config.ini"));
        for (const auto& [key, value] : c.before)
            config.setString(key, value, true);
        const std::string log = captureStdout([&] {
            BenchmarkStorage storage(BenchmarkStorage::kVersionTag, dir.path(), &config);
            measure(storage, c.measured);
            storage.applyResults(kRenderer);
        });
        EXPECT_EQ(config.getString("Benchmark.Best", ""), c.best);
        EXPECT_EQ(config.getString("Decoder.Choice", ""), c.best);
        EXPECT_EQ(config.getString("Decoder.Resolution", ""), c.resolution);
        EXPECT_EQ(config.getString("Decoder.Bitrate", ""), c.bitrate);
        EXPECT_EQ(config.get<int>("Decoder.FPS", "0"), c.fps);
        EXPECT_EQ(config.get<int>("Decoder.Score", "0"), c.score);
        EXPECT_EQ(config.getString("Benchmark.NeedToRun", ""), "0");
        for (const auto& [key, value] : c.after)
            EXPECT_EQ(config.getString(key, "<none>"), value) << key;
        const bool textRead = c.before.count("Benchmark.VAAPI") && c.before.at("Benchmark.VAAPI") == "fast";
        EXPECT_EQ(log.find("[E]") != std::string::npos && log.find("Benchmark.VAAPI") != std::string::npos, textRead)
            << log;
    }
}

TEST(BenchmarkStorage, WithoutSuitesNothingIsCurrent) {
    TempDir dir;
    ConfigStore config(dir.file("config.ini"));
    captureStdout([&] {
        BenchmarkStorage storage(BenchmarkStorage::kVersionTag, dir.path(), &config);
        EXPECT_EQ(storage.currentData(), nullptr);
        EXPECT_FALSE(storage.nextSuite());
        EXPECT_TRUE(storage.isFastEnough("SOFTWARE"));
        EXPECT_EQ(storage.currentLabel(), "SOFTWARE");
        storage.storeResult(1000);  // no suite: nothing stored
        EXPECT_TRUE(storage.results().empty());
    });
    EXPECT_FALSE(config.has("Benchmark.SOFTWARE_HDREADY_LOW_FPS"));
}
