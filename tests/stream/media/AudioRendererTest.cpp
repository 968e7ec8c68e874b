#include <gtest/gtest.h>
#include <cstring>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "stream/media/AudioRenderer.h"
#include "stream/media/WindowsAudioRenderer.h"

#include "TestSupport.h"

namespace {

using namespace std::chrono_literals;

// A device back end with scripted results that records what it is fed.
class FakeAudioRenderer : public AudioRenderer {
public:
    explicit FakeAudioRenderer(bool startThread = true, std::deque<bool> initResults = {},
                               std::deque<int> stepResults = {})
        : initResults_(std::move(initResults)), stepResults_(std::move(stepResults)) {
        if (startThread) start();
    }
    ~FakeAudioRenderer() override { stop(); }

    bool initDevice() override {
        ++inits;
        bool ok = true;
        {
            std::lock_guard<std::mutex> g(m_);
            if (!initResults_.empty()) {
                ok = initResults_.front();
                initResults_.pop_front();
            }
        }
        return ok;
    }
    void shutdownDevice() override { ++shutdowns; }
    int renderStep() override {
        {
            std::lock_guard<std::mutex> g(m_);
            if (!stepResults_.empty()) {
                const int r = stepResults_.front();
                stepResults_.pop_front();
                if (r == 0) return 0;
            }
        }
        if (takeNextBlock() == 0) return 1;
        std::lock_guard<std::mutex> g(m_);
        played.insert(played.end(), outputData(), outputData() + outputSamples());
        consumeOutput(outputSamples());
        return 1;
    }

    using AudioRenderer::createResampler;
    using AudioRenderer::takeNextBlock;
    std::vector<std::int16_t> output() const { return {outputData(), outputData() + outputSamples()}; }
    void drain() { consumeOutput(outputSamples()); }
    std::size_t playedSamples() {
        std::lock_guard<std::mutex> g(m_);
        return played.size();
    }

    std::atomic<int> inits{0}, shutdowns{0};
    std::vector<std::int16_t> played;

private:
    std::mutex m_;
    std::deque<bool> initResults_;
    std::deque<int> stepResults_;
};

void pushBlock(IAudioRenderImplementation& r, std::int16_t value, int frames = 1) {
    std::vector<std::int16_t> pcm(static_cast<std::size_t>(frames) * 2, value);
    r.onPcm(pcm.data(), frames);
}

template <typename F>
bool waitFor(F condition, std::chrono::milliseconds limit = 5000ms) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

}  // namespace

TEST(AudioRenderer, DropRuleBoundsTheQueue) {
    FakeAudioRenderer r(false);
    for (std::int16_t v = 1; v <= 9; ++v) pushBlock(r, v);
    ASSERT_EQ(r.takeNextBlock(), 1);
    EXPECT_EQ(r.output(), (std::vector<std::int16_t>{1, 1}));
    EXPECT_EQ(r.queuedBlocks(), 8u);
    EXPECT_EQ(r.takeNextBlock(), 2);  // output not yet played: nothing taken
    r.drain();

    FakeAudioRenderer r2(false);
    for (std::int16_t v = 1; v <= 10; ++v) pushBlock(r2, v);
    ASSERT_EQ(r2.takeNextBlock(), 1);
    EXPECT_EQ(r2.output(), (std::vector<std::int16_t>{6, 6}));  // five discarded, the sixth played
    EXPECT_EQ(r2.queuedBlocks(), 4u);
    r2.drain();
    ASSERT_EQ(r2.takeNextBlock(), 1);
    EXPECT_EQ(r2.output(), (std::vector<std::int16_t>{7, 7}));

    EXPECT_EQ(r2.statistics.totalsSnapshot().received, 10);
    r2.onPacketsLost(5);
    EXPECT_EQ(r2.statistics.totalsSnapshot().lost, 1);
}

TEST(AudioResampler, Resamples48kTo44k1) {
    FakeAudioRenderer same(false);
    same.createResampler(48000);
    EXPECT_FALSE(same.resampler().active());

    FakeAudioRenderer r(false);
    r.createResampler(44100);
    ASSERT_TRUE(r.resampler().active());
    EXPECT_EQ(r.resampler().inputRate(), 48000);
    EXPECT_EQ(r.resampler().outputRate(), 44100);
    EXPECT_EQ(r.resampler().channels(), 2);

    std::vector<std::int16_t> pcm(960 * 2);
    std::size_t total = 0, last = 0;
    for (int b = 0; b < 50; ++b) {
        for (int i = 0; i < 960; ++i)
            pcm[static_cast<std::size_t>(2 * i)] = pcm[static_cast<std::size_t>(2 * i + 1)] =
                static_cast<std::int16_t>(10000 * std::sin(2 * M_PI * 1000 * (b * 960 + i) / 48000.0));
        r.onPcm(pcm.data(), 960);
        ASSERT_EQ(r.takeNextBlock(), 1);
        last = r.output().size() / 2;
        total += last;
        r.drain();
    }
    EXPECT_NEAR(static_cast<double>(last), 882.0, 1.0);
    EXPECT_NEAR(static_cast<double>(total), 50 * 882.0, 100.0);  // the filter's delay at the start
}

TEST(AudioRenderer, ReopensAfterAFailedStepAndStops) {
    FakeAudioRenderer r(true, {}, {0});
    pushBlock(r, 3, 100);
    ASSERT_TRUE(waitFor([&] { return r.playedSamples() == 200; }));
    EXPECT_TRUE(r.initialised.load());
    bool named = false;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(task.path() / "comm");
        std::string name;
        std::getline(comm, name);
        named = named || name == "Audio Render";
    }
    EXPECT_TRUE(named);
    r.stop();
    EXPECT_EQ(r.inits.load(), 2);
    EXPECT_EQ(r.shutdowns.load(), 2);
    EXPECT_FALSE(r.initialised.load());
    EXPECT_FALSE(r.renderThreadRunning());
    pushBlock(r, 4);  // after stop: dropped
    EXPECT_EQ(r.queuedBlocks(), 0u);
}

TEST(AudioRenderer, GivesUpWhenTheDeviceCannotBeOpened) {
    // First opening fails.
    FakeAudioRenderer r(true, {false});
    ASSERT_TRUE(waitFor([&] { return !r.renderThreadRunning(); }));
    pushBlock(r, 1);
    EXPECT_EQ(r.queuedBlocks(), 0u);
    const auto t0 = std::chrono::steady_clock::now();
    r.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 1s);
    EXPECT_EQ(r.inits.load(), 1);

    // A re-opening after a failed step fails.
    FakeAudioRenderer r2(true, {true, false}, {0});
    ASSERT_TRUE(waitFor([&] { return !r2.renderThreadRunning(); }));
    EXPECT_EQ(r2.inits.load(), 2);
    EXPECT_EQ(r2.shutdowns.load(), 2);
}

TEST(WindowsAudioRenderer, NoDeviceStaysSilentAndSaysSo) {
    const std::string out = testsupport::captureStdout([] {
        WindowsAudioRenderer r(AudioDeviceOptions{"nonexistent-device", 0, 2, 10});
        ASSERT_TRUE(waitFor([&] { return !r.renderThreadRunning(); }));
        EXPECT_FALSE(r.initialised.load());
        pushBlock(r, 1, 960);
        EXPECT_EQ(r.queuedBlocks(), 0u);
        r.stop();
    });
    // One warning says what it means; ALSA's own messages are its details.
    const std::string warning = "]: no sound: the audio device \"nonexistent-device\" does not open: ";
    const std::size_t at = out.find(warning);
    ASSERT_NE(at, std::string::npos) << out;
    EXPECT_EQ(out.rfind("[W][", at), out.rfind('\n', at) + 1) << out;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        if (line.find(" ALSA, ") != std::string::npos) {
            EXPECT_EQ(line.rfind("[D][", 0), 0u) << line;
        }
    }
}

TEST(WindowsAudioRenderer, PlaysIntoAlsaFilePlugin) {
    struct Case {
        unsigned rate, channels;
    } cases[] = {{0, 2}, {48000, 6}, {48000, 1}, {44100, 2}};
    for (const Case& c : cases) {
        const std::string path = (std::filesystem::temp_directory_path() /
                                  ("alsa-out-" + std::to_string(getpid()) + "-" + std::to_string(c.channels) + "-" +
                                   std::to_string(c.rate) + ".raw"))
                                     .string();
        std::filesystem::remove(path);
        const int blocks = 20;
        std::vector<std::int16_t> input;
        {
            WindowsAudioRenderer r(AudioDeviceOptions{"file:FILE=" + path + ",FORMAT=raw", c.rate, c.channels, 10});
            ASSERT_TRUE(waitFor([&] { return r.initialised.load(); })) << c.channels;
            EXPECT_EQ(r.deviceChannels(), static_cast<int>(c.channels));
            EXPECT_EQ(r.deviceRate(), c.rate ? c.rate : 48000u);
            std::vector<std::int16_t> pcm(960 * 2);
            for (int b = 0; b < blocks; ++b) {
                for (int i = 0; i < 960; ++i) {
                    pcm[static_cast<std::size_t>(2 * i)] = static_cast<std::int16_t>(0x1234 + b);
                    pcm[static_cast<std::size_t>(2 * i + 1)] = static_cast<std::int16_t>(0x5678 - i);
                }
                input.insert(input.end(), pcm.begin(), pcm.end());
                r.onPcm(pcm.data(), 960);
                ASSERT_TRUE(waitFor([&] { return r.queuedBlocks() == 0; }));
            }
            // Wait until the last block has gone out.
            const std::uint64_t wanted = c.rate == 44100 ? blocks * 882u - 100u : blocks * 960u;
            EXPECT_TRUE(waitFor([&] { return r.framesWritten() >= wanted; })) << r.framesWritten();
        }
        std::ifstream in(path, std::ios::binary);
        const std::vector<char> raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::vector<std::int16_t> out(raw.size() / 2);
        std::memcpy(out.data(), raw.data(), out.size() * 2);
        std::filesystem::remove(path);

        if (c.rate == 44100) {
            EXPECT_NEAR(static_cast<double>(out.size() / 2), blocks * 882.0, 200.0);
            continue;
        }
        ASSERT_EQ(out.size(), input.size() / 2 * c.channels) << "channels " << c.channels;
        for (std::size_t f = 0; f < input.size() / 2; ++f) {
            const std::int16_t l = input[2 * f], rr = input[2 * f + 1];
            if (c.channels == 1) {
                ASSERT_EQ(out[f], l) << f;
            } else {
                ASSERT_EQ(out[f * c.channels], l) << f;
                ASSERT_EQ(out[f * c.channels + 1], rr) << f;
                for (unsigned k = 2; k < c.channels; ++k) ASSERT_EQ(out[f * c.channels + k], 0) << f;
            }
        }
    }
}
