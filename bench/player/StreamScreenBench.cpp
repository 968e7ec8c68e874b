// The in-stream screen in a player window of this process, in direct mode against the
// stand-in streamer and the stand-in RTSP server playing a 1080p60 stream with a key frame
// every second, drawn by render-ffmpeg.so:
//   BM_FirstPicture: from the RTSP server receiving PLAY to the screen's first drawn picture
//     (the window command it posts then). One window and session per iteration.
//   BM_KeyToStreamer: a synthetic X key press sent to the window until the stand-in
//     streamer has parsed the key request (through GLFW, the window, the screen's key
//     table, the session and the control channel). p50_us, p99_us.
// Needs an X display of at least 1920x1080; skipped without one.

#include <benchmark/benchmark.h>

#include "StubRtspServer.h"
#include "input-lib/InputClient.pb.h"
#include "stubstreamer/StubStreamer.h"

#include <GLFW/glfw3.h>
#define GLFW_EXPOSE_NATIVE_X11
#include <GLFW/glfw3native.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "../support/LatencyReport.h"
#include "platform/DynamicLibrary.h"
#include "player-ui/PlayerCommandIds.h"
#include "player/PlayerMainWindow.h"
#include "shell/GLFWMessageThread.h"

namespace {

using Clock = std::chrono::steady_clock;
using nimbrosta::StubRtspServer;
using nimbrosta::StubRtspServerOptions;

bool glfwReady() {
    static const bool ready = glfwInit() == GLFW_TRUE;
    return ready;
}

// Remembers when the first-picture command came through.
class BenchWindow : public PlayerMainWindow {
public:
    std::atomic<std::int64_t> firstPictureNs{0};

protected:
    void offerToPopupManager(int id) override {
        if (id == kCommandCloseConnectionDialogs && firstPictureNs.load() == 0)
            firstPictureNs = Clock::now().time_since_epoch().count();
        PlayerMainWindow::offerToPopupManager(id);
    }
};

struct Rig {
    Rig() {
        platform::setLibraryFolder(NIMBROSTA_LIB_DIR);
        StubRtspServerOptions o;
        o.h264File = NIMBROSTA_SLICED_STREAM;
        o.fps = 60;
        o.audio = false;
        rtsp = std::make_unique<StubRtspServer>(o);
        started = rtsp->start();
        StubSessionScript script;
        script.urlPortAndPostfix = ":" + std::to_string(rtsp->port()) + "/stream";
        script.user = "user";
        script.password = "secret";
        streamer.scriptStandardSession(script);
    }
    // When the RTSP server got PLAY, polled every 100 µs; 0 when it did not within 10 s.
    std::int64_t waitForPlay() {
        const auto end = Clock::now() + std::chrono::seconds(10);
        while (Clock::now() < end) {
            for (const auto& r : rtsp->requests())
                if (r.method == "PLAY") return Clock::now().time_since_epoch().count();
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        return 0;
    }
    std::unique_ptr<StubRtspServer> rtsp;
    bool started = false;
    StubStreamer streamer;
};

// The player's window, connected straight to the rig's streamer.
bool openWindow(benchmark::State& state, Rig& rig, BenchWindow& window) {
    window.connectDirect("127.0.0.1", rig.streamer.port(), "token", "Windows");
    if (rig.started && window.create(1280, 720, "bench", true, true)) return true;
    state.SkipWithError("no stand-ins or no window");
    return false;
}

void BM_FirstPicture(benchmark::State& state) {
    if (!glfwReady()) {
        state.SkipWithError("no X display");
        return;
    }
    std::vector<double> samples;
    for (auto _ : state) {
        Rig rig;
        BenchWindow window;
        if (!openWindow(state, rig, window)) return;
        std::thread script([&] {
            const std::int64_t play = rig.waitForPlay();
            const auto end = Clock::now() + std::chrono::seconds(10);
            while (window.firstPictureNs.load() == 0 && Clock::now() < end)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (play && window.firstPictureNs.load()) samples.push_back((window.firstPictureNs.load() - play) / 1000.0);
            window.close();
        });
        GLFWApp::instance().run(&window);
        script.join();
    }
    reportLatencies(state, samples);
}
BENCHMARK(BM_FirstPicture)->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_KeyToStreamer(benchmark::State& state) {
    if (!glfwReady()) {
        state.SkipWithError("no X display");
        return;
    }
    constexpr int kKeys = 300;
    std::vector<double> samples;
    for (auto _ : state) {
        Rig rig;
        BenchWindow window;
        if (!openWindow(state, rig, window)) return;
        std::thread script([&] {
            Display* d = XOpenDisplay(nullptr);
            const auto end = Clock::now() + std::chrono::seconds(10);
            while (window.firstPictureNs.load() == 0 && Clock::now() < end)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            const Window w = glfwGetX11Window(window.getWindow());
            XEvent e{};
            e.xkey.display = d;
            e.xkey.window = w;
            e.xkey.root = DefaultRootWindow(d);
            e.xkey.same_screen = True;
            e.xkey.keycode = XKeysymToKeycode(d, XK_a);
            for (int i = 0; i < kKeys && d; ++i) {
                const std::size_t before = rig.streamer.requests(InputClient::Request::KEYBOARD_ACTION_V2).size();
                e.xkey.type = (i % 2 == 0) ? KeyPress : KeyRelease;
                const auto start = Clock::now();
                XSendEvent(d, w, True, (i % 2 == 0) ? KeyPressMask : KeyReleaseMask, &e);
                XFlush(d);
                if (!rig.streamer.waitForRequests(InputClient::Request::KEYBOARD_ACTION_V2, before + 1,
                                                  std::chrono::seconds(2)))
                    break;
                samples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
                std::this_thread::sleep_for(std::chrono::milliseconds(3));
            }
            if (d) XCloseDisplay(d);
            window.close();
        });
        GLFWApp::instance().run(&window);
        script.join();
    }
    reportLatencies(state, samples);
}
BENCHMARK(BM_KeyToStreamer)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
