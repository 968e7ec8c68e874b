// The decoder benchmark screen in a real player window under Xvfb, with the test render
// plug-ins and samples of a few units: whether it runs, the commands of a whole run, what
// config.ini holds afterwards (also on a second run, which never chooses DXVA), samples that
// are cut short or missing, leaving mid-run, and the power profile switched for the run and
// kept until the player ends. The power profile service is a stand-in powerprofilesctl on PATH.

#include "player/BenchmarkGroupState.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <GLFW/glfw3.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "../../shell/ShellTestSupport.h"
#include "../../shell/X11TestSupport.h"
#define GLFW_EXPOSE_NATIVE_X11
#include <GLFW/glfw3native.h>
#include "BenchmarkTestSupport.h"
#include "TestRenderPlugin.h"
#include "TestSupport.h"
#include "core/ConfigStore.h"
#include "player-ui/PlayerCommandIds.h"
#include "player/BenchmarkStorage.h"
#include "player/PlayerMainWindow.h"
#include "player/RenderPluginModule.h"
#include "player/stream/DebugDiagram.h"
#include "stream/session/DecoderFlags.h"

using namespace shelltest;
using testsupport::captureStdout;
using testsupport::TempDir;
using Ints = std::vector<int>;
using benchtest::FakePowerProfiles;
using benchtest::sample;

namespace guitest {
std::string artifactsDir();
bool writePng(const std::string& path, int width, int height, const std::uint8_t* rgba);
}  // namespace guitest

namespace {

const std::string kPlugins = NIMBROSTA_TEST_RENDER_PLUGIN_DIR;
const std::string kCounting = kPlugins + "/counting/render-ffmpeg.so";
const std::string kNoCuda = kPlugins + "/missing/render-cuda.so";

TestRenderPluginState& counting() {
    TestRenderPluginState* state = testRenderPluginStateOf(kCounting);
    EXPECT_NE(state, nullptr) << dlerror();
    return *state;
}

// The OpenGL renderer string of this display, as the screen reads it.
std::string glRenderer() {
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    GLFWwindow* w = glfwCreateWindow(64, 64, "probe", nullptr, nullptr);
    glfwWindowHint(GLFW_VISIBLE, GLFW_TRUE);
    if (!w)
        return "";
    glfwMakeContextCurrent(w);
    const auto* text = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    const std::string renderer = text ? text : "";
    glfwMakeContextCurrent(nullptr);
    glfwDestroyWindow(w);
    return renderer;
}

// The player window with the benchmark screen of a test; the commands that reach it are
// recorded in order.
class BenchmarkWindow : public PlayerMainWindow {
public:
    explicit BenchmarkWindow(BenchmarkSetup setup) : setup_(std::move(setup)) {}

    // The benchmark's commands and the selection screen's, in the order they ran.
    Ints commands() {
        static const std::set<int> kBenchmark = {46, 48, 49, 50, 51, 52, 53, 54, 55, 56, 119};
        std::lock_guard<std::mutex> guard(lock_);
        Ints out;
        for (int id : commands_)
            if (kBenchmark.count(id))
                out.push_back(id);
        return out;
    }
    bool saw(int id) {
        const Ints all = commands();
        return std::find(all.begin(), all.end(), id) != all.end();
    }

protected:
    PlayerWindowState* createScreen(int commandId) override {
        if (commandId == kCommandBenchmarkScreen)
            return new BenchmarkGroupState(this, setup_);
        return PlayerMainWindow::createScreen(commandId);
    }
    void offerToPopupManager(int commandId) override {
        {
            std::lock_guard<std::mutex> guard(lock_);
            commands_.push_back(commandId);
        }
        PlayerMainWindow::offerToPopupManager(commandId);
    }

private:
    BenchmarkSetup setup_;
    std::mutex lock_;
    Ints commands_;
};

// A lib folder with samples, a config.ini and the counting plug-in as the FFmpeg plug-in.
struct Installation {
    Installation() {
        cuda = std::make_shared<RenderPluginModule>(kNoCuda);
        ffmpeg = std::make_shared<RenderPluginModule>(kCounting);
    }
    void addSample(const std::string& suite, const std::string& bytes) {
        testsupport::writeFile(dir.file("benchmark_" + suite + ".data"), bytes);
    }
    BenchmarkSetup setup() {
        BenchmarkSetup s;
        s.libFolder = dir.path();
        s.config = &config;
        auto c = cuda;
        auto f = ffmpeg;
        s.createRenderer = [c, f](std::int32_t flags) { return createRenderImplementationForDecoders(flags, *c, *f); };
        return s;
    }
    // The settings of config.ini's sections, as "Section.Key" -> value.
    std::map<std::string, std::string> settings(const std::set<std::string>& sections) const {
        std::map<std::string, std::string> out;
        std::istringstream in(testsupport::readFile(dir.file("config.ini")));
        std::string section;
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line[0] == '[') {
                section = line.substr(1, line.find(']') - 1);
            } else if (sections.count(section) && line.find('=') != std::string::npos) {
                const std::size_t eq = line.find('=');
                out[section + "." + line.substr(0, eq)] = line.substr(eq + 1);
            }
        }
        return out;
    }

    TempDir dir;
    ConfigStore config{dir.file("config.ini")};
    std::shared_ptr<RenderPluginModule> cuda, ffmpeg;
};

// Runs the player window until until() holds (or 20 s passed); the window then closes. The
// log of the run is returned.
std::string runWindow(BenchmarkWindow& window, const std::function<bool()>& until) {
    return captureStdout([&] {
        ASSERT_TRUE(window.create(640, 360, "player", true, true));
        runWithScript(&window, [&] { EXPECT_TRUE(x11test::waitUntil(until, 20000)); });
    });
}

std::set<std::string> keysOf(const std::map<std::string, std::string>& settings) {
    std::set<std::string> keys;
    for (const auto& entry : settings)
        keys.insert(entry.first);
    return keys;
}

int number(const std::map<std::string, std::string>& settings, const std::string& key) {
    const auto it = settings.find(key);
    return it == settings.end() ? -1 : std::stoi(it->second);
}

}  // namespace

TEST(BenchmarkGroupState, RunsOnlyWhenNeverRunOrTheAdapterOrVersionChanged) {
    const std::string renderer = glRenderer();
    ASSERT_FALSE(renderer.empty());
    struct Case {
        const char* what;
        std::map<std::string, std::string> settings;
        bool runs;
        bool errorLine;  // a level-50 line names the setting
    } cases[] = {
        {"up to date; the driver's name padded with blanks still matches",
         {{"Benchmark.NeedToRun", "0"}, {"Benchmark.RenderName", renderer + "  "},
          {"Benchmark.Version", BenchmarkStorage::kVersionTag}},
         false, false},
        {"never run", {}, true, false},
        {"asked to run again",
         {{"Benchmark.NeedToRun", "1"}, {"Benchmark.RenderName", renderer},
          {"Benchmark.Version", BenchmarkStorage::kVersionTag}},
         true, false},
        {"another adapter",
         {{"Benchmark.NeedToRun", "0"}, {"Benchmark.RenderName", "Other GPU"},
          {"Benchmark.Version", BenchmarkStorage::kVersionTag}},
         true, false},
        {"another benchmark version",
         {{"Benchmark.NeedToRun", "0"}, {"Benchmark.RenderName", renderer}, {"Benchmark.Version", "Older"}}, true,
         false},
        {"text where a flag belongs reads as its default, run",
         {{"Benchmark.NeedToRun", "no"}, {"Benchmark.RenderName", renderer},
          {"Benchmark.Version", BenchmarkStorage::kVersionTag}},
         true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Installation app;  // no samples: a run ends at once with the missing-file dialog
        FakePowerProfiles power("balanced");
        for (const auto& [key, value] : c.settings)
            app.config.setString(key, value, true);
        BenchmarkWindow window(app.setup());
        const std::string log = runWindow(window, [&] { return window.saw(119) || window.saw(55); });
        EXPECT_EQ(window.commands(), c.runs ? Ints({54, 55}) : Ints({49, 119})) << log;
        EXPECT_EQ(log.find("[E]") != std::string::npos && log.find("Benchmark.NeedToRun") != std::string::npos,
                  c.errorLine)
            << log;
        // Nothing is written when no sample loads.
        EXPECT_EQ(app.settings({"Benchmark", "Decoder"}).size(), c.settings.size());
    }
}

TEST(BenchmarkGroupState, AWholeRunPostsItsCommandsAndWritesTheChoice) {
    TestRenderPluginState& plugin = counting();
    plugin.reset();
    // VDPAU gets no implementation; VAAPI runs at under 30 fps (it is not measured on the
    // second sample), DXVA at once, SOFTWARE in 5 ms per unit. Thirty units per sample keep
    // DXVA above 60 fps and SOFTWARE above 30 even when a frame takes a few hundred ms.
    plugin.acceptedFlags = kDecoderVaapi | kDecoderDxva | kDecoderSoftware;
    plugin.decodeDelayUs[kDecoderVaapi] = 40000;
    plugin.decodeDelayUs[kDecoderSoftware] = 5000;
    const std::string renderer = glRenderer();
    Installation app;
    app.addSample("hdready_low", sample(30));
    app.addSample("fullhd_hi", sample(30));

    // Measurement order in a sample: VAAPI, VDPAU, VDA, CUDA, DXVA, SOFTWARE.
    const Ints firstRun = {46, 54, 48, 56, 51, 52, 52, 52, 51, 51, 48, 56, 53, 52, 52, 52, 51, 51, 50, 119};
    const Ints secondRun = {54, 48, 56, 51, 52, 52, 52, 51, 51, 48, 56, 53, 52, 52, 52, 51, 51, 50, 119};
    {
        FakePowerProfiles power("power-saver");
        {
            BenchmarkWindow window(app.setup());
            bool switchedAgain = true;
            const std::string log = runWindow(window, [&] {
                if (!window.saw(119))
                    return false;
                // The stream's screen checks again as it enters: nothing left to do, no second warning.
                switchedAgain = onMain<bool>([&] { return window.checkPowerPlan(); });
                return true;
            });
            EXPECT_EQ(window.commands(), firstRun) << log;
            EXPECT_FALSE(switchedAgain);
            EXPECT_EQ(power.sets(), std::vector<std::string>{"performance"}) << "kept after the run";
        }
        EXPECT_EQ(power.sets(), (std::vector<std::string>{"performance", "power-saver"})) << "put back at the end";
        EXPECT_EQ(power.profile(), "power-saver");
    }
    const auto benchmark = app.settings({"Benchmark"});
    const auto decoder = app.settings({"Decoder"});
    EXPECT_EQ(keysOf(benchmark),
              (std::set<std::string>{"Benchmark.VAAPI_HDREADY_LOW_FPS", "Benchmark.DXVA_HDREADY_LOW_FPS",
                                     "Benchmark.SOFTWARE_HDREADY_LOW_FPS", "Benchmark.DXVA_FULLHD_HI_FPS",
                                     "Benchmark.SOFTWARE_FULLHD_HI_FPS", "Benchmark.VAAPI", "Benchmark.DXVA",
                                     "Benchmark.SOFTWARE", "Benchmark.Best", "Benchmark.Version",
                                     "Benchmark.NeedToRun", "Benchmark.RenderName"}));
    // The clock stops when the last unit is handed over: 29 units of a sample are timed in
    // full.
    EXPECT_LE(number(benchmark, "Benchmark.VAAPI_HDREADY_LOW_FPS"), 25);
    EXPECT_GE(number(benchmark, "Benchmark.VAAPI"), 1160) << "one sample of units of 40 ms";
    EXPECT_GE(number(benchmark, "Benchmark.SOFTWARE"), 290) << "two samples of units of 5 ms";
    EXPECT_LT(number(benchmark, "Benchmark.DXVA"), number(benchmark, "Benchmark.SOFTWARE"));
    EXPECT_LE(number(benchmark, "Benchmark.SOFTWARE_FULLHD_HI_FPS"), 206);
    EXPECT_EQ(benchmark.at("Benchmark.Best"), "DXVA") << "a first run may choose DXVA";
    EXPECT_EQ(benchmark.at("Benchmark.Version"), BenchmarkStorage::kVersionTag);
    EXPECT_EQ(benchmark.at("Benchmark.NeedToRun"), "0");
    EXPECT_EQ(benchmark.at("Benchmark.RenderName"), renderer);
    EXPECT_EQ(decoder, (std::map<std::string, std::string>{{"Decoder.Choice", "DXVA"},
                                                           {"Decoder.FPS", "60"},
                                                           {"Decoder.Resolution", "FULLHD"},
                                                           {"Decoder.Bitrate", "HI"},
                                                           {"Decoder.Score", "100"}}));

    // Another version: the benchmark runs again; DXVA exists now, is measured but excluded.
    app.config.setString("Benchmark.Version", "Older", true);
    {
        FakePowerProfiles power("balanced");
        BenchmarkWindow window(app.setup());
        const std::string log = runWindow(window, [&] { return window.saw(119); });
        EXPECT_EQ(window.commands(), secondRun) << log;
        EXPECT_TRUE(power.sets().empty());
    }
    const auto again = app.settings({"Benchmark", "Decoder"});
    EXPECT_EQ(again.at("Benchmark.DXVA"), "999999");
    EXPECT_EQ(again.at("Benchmark.Best"), "SOFTWARE");
    EXPECT_EQ(again.at("Decoder.Choice"), "SOFTWARE");
    EXPECT_EQ(again.at("Decoder.Resolution"), "FULLHD");
    EXPECT_EQ(again.at("Decoder.Bitrate"), "HI");
    EXPECT_EQ(again.at("Benchmark.Version"), BenchmarkStorage::kVersionTag);
}

TEST(BenchmarkGroupState, ARunWithDebugDiagramSetShowsTheDiagramButton) {
    TestRenderPluginState& plugin = counting();
    for (const bool diagram : {true, false}) {
        SCOPED_TRACE(diagram ? "Debug.Diagram set" : "Debug.Diagram not set");
        plugin.reset();
        plugin.acceptedFlags = kDecoderSoftware;
        plugin.decodeDelayUs[kDecoderSoftware] = 20000;  // a run of four seconds
        Installation app;
        app.addSample("hdready_low", sample(200));
        if (diagram)
            app.config.set<bool>("Debug.Diagram", true, true);
        BenchmarkWindow window(app.setup());
        // The button's place and label while the run goes on; none when it has no button.
        struct Seen {
            bool button = false;
            std::string label;
            int x = 0, y = 0;
            bool diagramShown = false;
        };
        auto look = [&] {
            return onMain<Seen>([&] {
                std::lock_guard<std::recursive_mutex> gui(window.guiLock());
                std::lock_guard<std::recursive_mutex> state(window.stateMutex());
                Seen seen;
                auto* screen = dynamic_cast<BenchmarkGroupState*>(window.currentState());
                DebugDiagramButton* b = screen ? screen->diagramButton() : nullptr;
                if (b && b->isVisible()) {
                    seen = {true, b->text(), b->x + b->width / 2, b->y + b->height / 2, b->diagram() != nullptr};
                }
                return seen;
            });
        };
        Seen seen;
        runWindow(window, [&] {
            if (!window.saw(56) || plugin.decodeCalls < 3)
                return false;
            seen = look();
            if (seen.button) {
                // A click shows the diagram.
                const Window xw = glfwGetX11Window(window.getWindow());
                EXPECT_TRUE(x11test::click(xw, seen.x, seen.y));
                EXPECT_TRUE(x11test::waitUntil([&] { return look().diagramShown; }, 5000));
                x11test::Connection x;
                const x11test::Pixels shot = x11test::capture(x.get(), xw);
                EXPECT_TRUE(guitest::writePng(guitest::artifactsDir() + "/benchmark-debug-diagram.png", shot.width,
                                              shot.height, shot.rgba.data()));
            }
            return true;
        });
        EXPECT_EQ(seen.button, diagram);
        if (diagram) {
            EXPECT_EQ(seen.label, "DD");
        }
    }
}

TEST(BenchmarkGroupState, SamplesCutShortOrMissing) {
    TestRenderPluginState& plugin = counting();
    const std::string whole = sample(10);
    struct Case {
        const char* what;
        std::map<std::string, std::string> samples;
        Ints commands;
        std::set<std::string> keys;  // Benchmark.* and Decoder.* written
    } cases[] = {
        {"cut inside the last unit, beside an empty sample",
         {{"fullhd_hi", whole.substr(0, whole.size() - 2)}, {"hdready_low", ""}},
         {54, 48, 56, 52, 52, 52, 52, 52, 51, 50, 119},
         {"Benchmark.SOFTWARE_FULLHD_HI_FPS", "Benchmark.SOFTWARE", "Benchmark.Best", "Benchmark.Version",
          "Benchmark.NeedToRun", "Benchmark.RenderName", "Decoder.Choice", "Decoder.FPS", "Decoder.Resolution",
          "Decoder.Bitrate", "Decoder.Score"}},
        {"cut in a start code, beside an empty sample",
         {{"fullhd_hi", whole + std::string("\0\0\x01", 3)}, {"hdready_low", ""}},
         {54, 55},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        plugin.reset();
        plugin.acceptedFlags = kDecoderSoftware;
        Installation app;
        for (const auto& [suite, bytes] : c.samples)
            app.addSample(suite, bytes);
        FakePowerProfiles power("power-saver");
        BenchmarkWindow window(app.setup());
        const std::string log = runWindow(window, [&] {
            return window.saw(119) || (window.saw(55) && onMain<int>([&] { return window.currentScreenCommandId(); }) == 0);
        });
        Ints commands = window.commands();
        commands.erase(commands.begin());  // the power-mode warning
        EXPECT_EQ(commands, c.commands) << log;
        EXPECT_EQ(keysOf(app.settings({"Benchmark", "Decoder"})), c.keys);
        EXPECT_EQ(power.profile(), "performance") << "kept after the run";
    }
}

TEST(BenchmarkGroupState, LeavingMidRunEndsTheMeasurementBeforeItsDecoderGoes) {
    TestRenderPluginState& plugin = counting();
    plugin.reset();
    plugin.acceptedFlags = kDecoderSoftware;
    plugin.decodeDelayUs[kDecoderSoftware] = 20000;
    Installation app;
    app.addSample("hdready_low", sample(200));
    FakePowerProfiles power("power-saver");
    {
        BenchmarkWindow window(app.setup());
        // The window closes while SOFTWARE decodes its first units (four seconds in all).
        runWindow(window, [&] { return plugin.decodeCalls >= 3; });
        EXPECT_FALSE(window.saw(50));
        EXPECT_EQ(plugin.releasedWhileDecoding, 0);
        EXPECT_EQ(plugin.deletedWhileDecoding, 0);
        EXPECT_EQ(plugin.decodesAfterRelease, 0);
        EXPECT_EQ(plugin.liveImplementations, 0);
        EXPECT_LT(plugin.decodeCalls, 200);
        EXPECT_EQ(power.sets(), std::vector<std::string>{"performance"}) << "kept while the player runs";
    }
    EXPECT_EQ(power.sets(), (std::vector<std::string>{"performance", "power-saver"})) << "put back as it ends";
    EXPECT_FALSE(app.config.has("Benchmark.SOFTWARE_HDREADY_LOW_FPS")) << "no result of a cut measurement";
    EXPECT_FALSE(app.config.has("Benchmark.NeedToRun")) << "it runs again on the next start";
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new GlfwEnvironment());
    return RUN_ALL_TESTS();
}
