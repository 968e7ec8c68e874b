// Latencies of the window shell, measured with a real main loop and render thread (needs
// an X display; without one the benchmarks are skipped):
//   BM_PostCommandLatency: postCommand on a worker thread -> the command running on the
//     main thread, which sleeps in glfwWaitEvents in between.
//   BM_RedrawLatency: requestRedraw on another thread while the render thread idles in its
//     10 ms wait -> the frame being drawn (the window's drawing hook).
// Both report p50_us, p99_us and max_us over their samples.

#include <benchmark/benchmark.h>

#include <GLFW/glfw3.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <functional>
#include <random>
#include <thread>
#include <vector>

#include "../support/LatencyReport.h"
#include "shell/GLFWAppWindow.h"
#include "shell/GLFWMessageThread.h"

namespace {

using Clock = std::chrono::steady_clock;

std::int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

class BenchWindow : public GLFWAppMainWindow {
public:
    void Command(int) override { commandAt.store(nowNs()); }
    void onAfterDraw() override { drawnAt.store(nowNs()); }
    std::atomic<std::int64_t> commandAt{0};
    std::atomic<std::int64_t> drawnAt{0};
};

bool glfwReady() {
    static const bool ready = glfwInit() == GLFW_TRUE;
    return ready;
}

// Runs the main loop with a fresh window while driver measures on another thread.
void measure(benchmark::State& state, const std::function<void(BenchWindow&, std::vector<double>&)>& driver) {
    if (!glfwReady()) {
        state.SkipWithError("no X display");
        return;
    }
    std::vector<double> samples;
    for (auto _ : state) {
        BenchWindow window;
        if (!window.create(320, 200, "bench", false, true)) {
            state.SkipWithError("no window");
            return;
        }
        std::thread t([&] {
            while (window.drawnAt.load() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            driver(window, samples);
            window.close();
        });
        GLFWApp::instance().run(&window);
        t.join();
    }
    reportLatencies(state, samples);
}

void BM_PostCommandLatency(benchmark::State& state) {
    measure(state, [](BenchWindow& window, std::vector<double>& samples) {
        std::mt19937 random(7);
        for (int i = 0; i < 2000; ++i) {
            // Let the main thread fall asleep in glfwWaitEvents first.
            std::this_thread::sleep_for(std::chrono::microseconds(200 + random() % 300));
            const std::int64_t before = window.commandAt.load();
            const std::int64_t start = nowNs();
            postCommand(&window, i);
            while (window.commandAt.load() == before) {
            }
            samples.push_back((window.commandAt.load() - start) / 1000.0);
        }
    });
}
BENCHMARK(BM_PostCommandLatency)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_RedrawLatency(benchmark::State& state) {
    measure(state, [](BenchWindow& window, std::vector<double>& samples) {
        std::mt19937 random(11);
        for (int i = 0; i < 500; ++i) {
            // Land anywhere in the render thread's 10 ms idle wait.
            std::this_thread::sleep_for(std::chrono::microseconds(1000 + random() % 9000));
            const std::int64_t before = window.drawnAt.load();
            const std::int64_t start = nowNs();
            window.requestRedraw();
            while (window.drawnAt.load() == before) {
            }
            samples.push_back((window.drawnAt.load() - start) / 1000.0);
        }
    });
}
BENCHMARK(BM_RedrawLatency)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
