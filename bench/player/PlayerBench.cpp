// Costs on the player's per-input-event paths:
//   BM_InputDispatchLatency/<ms>: a cursor move handed to the player window on the main
//     thread until the current screen has it, while the render thread draws continuously
//     and the screen's per-frame update takes <ms> milliseconds (0: nothing; 2: about what
//     drawing a video picture costs). The window's GUI lock, which the render thread holds
//     around each frame, is what an event may wait for. Reports p50_us, p99_us, max_us and
//     allocs_per_event (main thread). Needs an X display; skipped without one.
//   BM_ClientStateTouch / BM_ClientStateLockedRead: ClientState::touch (called for every
//     input request sent to the machine) and, for comparison, a getter that takes the
//     model's lock, while another thread keeps replacing a 10-machine list whose listener
//     copies the account snapshot (what the web worker does at each poll).

#include <benchmark/benchmark.h>

#include <GLFW/glfw3.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <random>
#include <thread>
#include <vector>

#include "../support/LatencyReport.h"
#include "AllocationCounter.h"
#include "player/PlayerMainWindow.h"
#include "player/PlayerWindowState.h"
#include "shell/GLFWMessageThread.h"
#include "webapi/ClientState.h"

namespace {

using Clock = std::chrono::steady_clock;

std::int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

void spinFor(std::chrono::microseconds d) {
    const auto end = Clock::now() + d;
    while (Clock::now() < end) {
    }
}

class BenchScreen : public PlayerWindowState {
public:
    BenchScreen(PlayerMainWindow* window, int commandId, int updateMs)
        : PlayerWindowState(window, commandId), updateMs_(updateMs) {}
    bool enter() override {
        entered.store(true);
        return true;
    }
    void leave() override {}
    bool update(std::recursive_mutex&) override {
        if (updateMs_ > 0) spinFor(std::chrono::milliseconds(updateMs_));
        return true;
    }
    bool isFinished() override { return false; }
    bool onCursorPos(GLFWwindow*, double, double) override {
        receivedAt = nowNs();
        return true;
    }
    static std::atomic<bool> entered;
    std::int64_t receivedAt = 0;

private:
    int updateMs_;
};
std::atomic<bool> BenchScreen::entered{false};

class BenchWindow : public PlayerMainWindow {
public:
    explicit BenchWindow(int updateMs) : updateMs_(updateMs) {}
    BenchScreen* screen = nullptr;

protected:
    PlayerWindowState* createScreen(int commandId) override {
        screen = new BenchScreen(this, commandId, updateMs_);
        return screen;
    }

private:
    int updateMs_;
};

class FnMessage : public GLFWThreadMessage {
public:
    explicit FnMessage(std::function<void()> fn) : fn_(std::move(fn)) {}
    void run() override { fn_(); }

private:
    std::function<void()> fn_;
};

bool glfwReady() {
    static const bool ready = glfwInit() == GLFW_TRUE;
    return ready;
}

void BM_InputDispatchLatency(benchmark::State& state) {
    if (!glfwReady()) {
        state.SkipWithError("no X display");
        return;
    }
    const int updateMs = static_cast<int>(state.range(0));
    constexpr int kEvents = 1000;
    std::vector<double> samples;
    samples.reserve(kEvents);
    std::uint64_t allocations = 0;
    for (auto _ : state) {
        BenchScreen::entered = false;
        BenchWindow window(updateMs);
        if (!window.create(640, 360, "bench", true, true)) {
            state.SkipWithError("no window");
            return;
        }
        std::thread driver([&] {
            while (!BenchScreen::entered.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            std::mt19937 random(5);
            for (int i = 0; i < kEvents; ++i) {
                // Land anywhere in the render thread's frame.
                std::this_thread::sleep_for(std::chrono::microseconds(200 + random() % 800));
                std::atomic<bool> done{false};
                GLFWApp::instance().post(new FnMessage([&, i] {
                    const std::uint64_t before = threadAllocationCount();
                    const std::int64_t start = nowNs();
                    window.onCursorPos(window.getWindow(), 10 + i % 100, 10);
                    const std::int64_t end = window.screen ? window.screen->receivedAt : start;
                    allocations += threadAllocationCount() - before;
                    samples.push_back((end - start) / 1000.0);
                    done = true;
                }));
                while (!done.load()) std::this_thread::yield();
            }
            window.close();
        });
        GLFWApp::instance().run(&window);
        driver.join();
    }
    reportLatencies(state, samples);
    state.counters["allocs_per_event"] = static_cast<double>(allocations) / static_cast<double>(samples.size());
}
BENCHMARK(BM_InputDispatchLatency)->Arg(0)->Arg(2)->Iterations(1)->Unit(benchmark::kMillisecond);

// Another thread doing what the web worker does at each machine poll, as fast as it can.
class WorkerLoad {
public:
    explicit WorkerLoad(ClientState& state) : state_(state), listener_(state) {
        state_.addListener(&listener_);
        thread_ = std::thread([this] {
            std::vector<DesktopInfo> lists[2];
            for (int l = 0; l < 2; ++l) {
                for (int i = 0; i < 10; ++i) {
                    DesktopInfo d;
                    d.name = "Desktop " + std::to_string(i);
                    d.state = l == 0 ? "Off" : "On";
                    d.datacenter = "eu-central";
                    lists[l].push_back(d);
                }
            }
            for (int n = 0; !stop_.load(); ++n) state_.setDesktops(lists[n % 2]);
        });
    }
    ~WorkerLoad() {
        stop_ = true;
        thread_.join();
        state_.removeListener(&listener_);
    }

private:
    struct SnapshotListener : IListenerBase<ClientStateEvents> {
        explicit SnapshotListener(ClientState& s) : state(s) {}
        void onEvent(ClientStateEvents) override { benchmark::DoNotOptimize(state.getClientInfo()); }
        ClientState& state;
    };
    ClientState& state_;
    SnapshotListener listener_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

void BM_ClientStateTouch(benchmark::State& state) {
    ClientState model;
    WorkerLoad load(model);
    for (auto _ : state) model.touch();
}
BENCHMARK(BM_ClientStateTouch);

void BM_ClientStateLockedRead(benchmark::State& state) {
    ClientState model;
    WorkerLoad load(model);
    for (auto _ : state) benchmark::DoNotOptimize(model.getVmOperationState());
}
BENCHMARK(BM_ClientStateLockedRead);

}  // namespace
