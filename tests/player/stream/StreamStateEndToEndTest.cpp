// The in-stream screen as a user meets it: the real executable in direct mode under Xvfb,
// against the stand-in streamer and the stand-in RTSP server in this process. The picture
// (three bands, red, green and blue) appears in the window, the sound reaches an ALSA
// file; once the mouse-mode help is closed with its OK, keys, pointer moves and the wheel
// typed with xdotool reach the streamer as the exact requests; the clipboard travels both
// ways; a frozen streamer is said on screen and the stream comes back when it wakes.
// Screenshots go to build/artifacts/.

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/keysym.h>
#include <poll.h>
#include <signal.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "StubRtspServer.h"
#include "input-lib/InputClient.pb.h"
#include "platform/ClipboardReader.h"
#include "stubstreamer/StubStreamer.h"

#include "../../app/ClientTestSupport.h"
#include "../../shell/X11TestSupport.h"
#include "StartupDialogsOnScreen.h"

namespace guitest {
std::string artifactsDir();
bool writePng(const std::string& path, int width, int height, const std::uint8_t* rgba);
}  // namespace guitest

using InputClient::Request;
using InputClient::Response;
using nimbrosta::StubRtspServer;
using nimbrosta::StubRtspServerOptions;

namespace {

const std::string kFixture = std::string(NIMBROSTA_SOURCE_DIR) + "/tests/player/stream/fixtures/rgb-bars-320x240.h264";
constexpr int kServerDBId = 7;

InputClient::VariableEvent stringVariable(const std::string& name, const std::string& value, int cookie) {
    InputClient::VariableValue v;
    v.set_stringvalue(value);
    return StubStreamer::definition(name, v, cookie, kServerDBId);
}

// Owns the X clipboard with a text and hands it to whoever asks, on a thread of its own.
class ClipboardOwner {
public:
    explicit ClipboardOwner(std::string text) : text_(std::move(text)), thread_([this] { run(); }) {
        x11test::waitUntil([this] { return owned_.load(); }, 5000);
    }
    ~ClipboardOwner() {
        stop_ = true;
        thread_.join();
    }

private:
    void run() {
        Display* d = XOpenDisplay(nullptr);
        if (!d) return;
        Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
        const Atom clipboard = XInternAtom(d, "CLIPBOARD", False);
        const Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
        const Atom targets = XInternAtom(d, "TARGETS", False);
        XSetSelectionOwner(d, clipboard, w, CurrentTime);
        XSync(d, False);
        owned_ = XGetSelectionOwner(d, clipboard) == w;
        while (!stop_) {
            while (XPending(d) > 0) {
                XEvent e;
                XNextEvent(d, &e);
                if (e.type != SelectionRequest) continue;
                XSelectionRequestEvent& r = e.xselectionrequest;
                XSelectionEvent answer{};
                answer.type = SelectionNotify;
                answer.requestor = r.requestor;
                answer.selection = r.selection;
                answer.target = r.target;
                answer.time = r.time;
                answer.property = r.property;
                if (r.target == utf8 || r.target == XA_STRING) {
                    XChangeProperty(d, r.requestor, r.property, r.target, 8, PropModeReplace,
                                    reinterpret_cast<const unsigned char*>(text_.data()), int(text_.size()));
                } else if (r.target == targets) {
                    const Atom list[] = {utf8, XA_STRING};
                    XChangeProperty(d, r.requestor, r.property, XA_ATOM, 32, PropModeReplace,
                                    reinterpret_cast<const unsigned char*>(list), 2);
                } else {
                    answer.property = None;
                }
                XSendEvent(d, r.requestor, False, NoEventMask, reinterpret_cast<XEvent*>(&answer));
                XFlush(d);
            }
            pollfd fd{ConnectionNumber(d), POLLIN, 0};
            ::poll(&fd, 1, 20);
        }
        XDestroyWindow(d, w);
        XCloseDisplay(d);
    }

    std::string text_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> owned_{false};
    std::thread thread_;
};

// Dominant channel of a pixel: 0 red, 1 green, 2 blue, -1 none.
int dominant(const std::uint8_t* p) {
    for (int c = 0; c < 3; ++c)
        // Relative to the other channels: the start-up dialogs dim the picture behind them.
        if (p[c] > 60 && p[c] > 2 * p[(c + 1) % 3] && p[c] > 2 * p[(c + 2) % 3]) return c;
    return -1;
}

bool showsTheBars(const x11test::Pixels& p) {
    if (p.width < 30 || p.height < 30) return false;
    // Bands from top to bottom, each brightest at the right.
    const int x = p.width * 9 / 10;
    return dominant(p.at(x, p.height / 6)) == 0 && dominant(p.at(x, p.height / 2)) == 1 &&
           dominant(p.at(x, p.height * 5 / 6)) == 2;
}

void saveScreenshot(const x11test::Pixels& p, const std::string& name) {
    ASSERT_FALSE(p.rgba.empty());
    EXPECT_TRUE(guitest::writePng(guitest::artifactsDir() + "/" + name + ".png", p.width, p.height, p.rgba.data()));
}

void xdotool(const std::string& args) {
    const std::string command = "xdotool " + args + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

class StreamStateEndToEndFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(x);
        StubRtspServerOptions o;
        o.h264File = kFixture;
        o.fps = 30;
        o.auth = StubRtspServerOptions::Auth::Digest;
        o.user = "tmp-user";
        o.password = "tmp-pass";
        rtsp = std::make_unique<StubRtspServer>(o);
        ASSERT_TRUE(rtsp->start());

        StubSessionScript script;
        script.serverDBId = kServerDBId;
        script.urlPortAndPostfix = ":" + std::to_string(rtsp->port()) + "/stream";
        script.user = "tmp-user";
        script.password = "tmp-pass";
        script.definitions = {
            StubStreamer::int32Definition("Video.Bitrate", 10000, 1, kServerDBId),
            StubStreamer::int32Definition("Video.Framerate", 60, 2, kServerDBId),
            StubStreamer::int32Definition("System.MouseStatus", 0, 3, kServerDBId),
            stringVariable("System.Clipboard", "", 4),
        };
        streamer.scriptStandardSession(script);

        // The client's own home: its settings, and an ALSA default device that writes into
        // a file.
        home = app.dir.file("home");
        std::filesystem::create_directories(home);
        pcm = app.dir.file("sound.raw");
        std::ofstream(home + "/.asoundrc") << "pcm.!default { type file slave.pcm \"null\" file \"" << pcm
                                            << "\" format \"raw\" }\n";
        std::filesystem::copy_file(std::string(NIMBROSTA_LIB_DIR) + "/render-ffmpeg.so", app.lib + "/render-ffmpeg.so");
        // The guided tour of a first stream holds input back until it is stepped through;
        // this test is about what reaches the machine, so the tour counts as seen.
        std::ofstream(app.lib + "/config.ini") << "[System]\nConfigVersion=Tz4pLw8vRb\n[Tutorial]\nMenuFinished=1\n";
    }

    void TearDown() override { app.program.end(); }

    // Connected straight to the streamer at port (the one of this process by default).
    bool startClient(int port = -1) {
        if (port < 0) port = streamer.port();
        return app.program.start(app.exe, {"--ip", "127.0.0.1", "--port", std::to_string(port), "--token", "Tk9secret"},
                                 {"HOME=" + home, "XDG_DATA_HOME=" + home + "/data",
                                  "XDG_STATE_HOME=" + home + "/state"});
    }

    // Waits for the window and the first picture of the bars; false when neither came.
    bool waitForPicture(Window& w) {
        w = x11test::waitForWindow(x.get(), "Nimbrosta");
        if (w == 0) return false;
        return x11test::waitUntil([&] { return showsTheBars(x11test::capture(x.get(), w)); }, 20000);
    }

    std::vector<Request> requests(int type) {
        std::vector<Request> out;
        for (const auto& f : streamer.requests(type)) out.push_back(f.request);
        return out;
    }

    // Waits for a key request with these values.
    bool waitForKey(std::uint32_t vkey, std::uint32_t scan, std::uint32_t flags) {
        return streamer.waitUntil(
            [&] {
                for (const auto& r : requests(Request::KEYBOARD_ACTION_V2))
                    if (r.keyactionv2().vkey() == vkey && r.keyactionv2().scancode() == scan &&
                        r.keyactionv2().flags() == flags)
                        return true;
                return false;
            },
            std::chrono::seconds(5));
    }

    x11test::Connection x;
    clienttest::Installation app;
    std::unique_ptr<StubRtspServer> rtsp;
    StubStreamer streamer;
    std::string home;
    std::string pcm;
};

}  // namespace

namespace fixtures {
using StreamStateEndToEnd = StreamStateEndToEndFixture;

TEST_F(StreamStateEndToEnd, ThePictureAndTheSoundArriveAndKeysAndThePointerReachTheMachine) {
    ASSERT_TRUE(startClient());
    Window w = 0;
    const bool pictured = waitForPicture(w);
    ASSERT_NE(w, 0u) << app.err();
    const x11test::Pixels shot = x11test::capture(x.get(), w);
    saveScreenshot(shot, "stream-picture");
    ASSERT_TRUE(pictured) << app.out();

    // The session became ready: the settings went out and the stream was asked for.
    EXPECT_FALSE(requests(Request::STREAM_INITIATE).empty());
    EXPECT_FALSE(requests(Request::VIDEO_FORCE_IDR_FRAME).empty()) << "key frames are asked for until a picture";

    // Sound reaches the ALSA file.
    EXPECT_TRUE(x11test::waitUntil([&] { return std::filesystem::exists(pcm) && std::filesystem::file_size(pcm) > 4096; },
                                   10000));

    // The first picture opens the mouse-mode help, which holds input back until its OK.
    x11test::Pixels dialog;
    ASSERT_TRUE(streamtest::closeMouseModeHelp(x.get(), w, &dialog));
    saveScreenshot(dialog, "stream-mouse-mode-help");

    xdotool("windowfocus --sync " + std::to_string(w));
    streamer.clearFrames();
    ASSERT_TRUE(streamtest::waitUntilKeysFlow([&] {
        for (const auto& r : requests(Request::KEYBOARD_ACTION_V2))
            if (r.keyactionv2().flags() & 2) return true;
        return false;
    }));
    streamer.clearFrames();
    // A letter, then Right Control, an extended key. Right Control goes by its key code:
    // named, xdotool would press Left Control with it (the modifier it belongs to).
    xdotool("key a");
    ASSERT_TRUE(waitForKey(65, 0x1E, 2)) << "the release carries the release flag";
    xdotool("key " + std::to_string(XKeysymToKeycode(x.get(), XK_Control_R)));
    ASSERT_TRUE(waitForKey(17, 0x1D, 3));
    std::vector<std::string> keys;
    for (const auto& r : requests(Request::KEYBOARD_ACTION_V2)) keys.push_back(r.keyactionv2().ShortDebugString());
    EXPECT_EQ(keys, (std::vector<std::string>{"vkey: 65 scancode: 30", "vkey: 65 scancode: 30 flags: 2",
                                              "vkey: 17 scancode: 29 flags: 1", "vkey: 17 scancode: 29 flags: 3"}));

    // The pointer in the window's middle: an absolute move at about half of 65535.
    // (The pointer starts at the screen's centre, which is the window's: it moves away first.)
    const x11test::Geometry g = x11test::geometry(x.get(), w);
    xdotool("mousemove --window " + std::to_string(w) + " 10 10");
    streamer.clearFrames();
    xdotool("mousemove --window " + std::to_string(w) + " " + std::to_string(g.width / 2) + " " +
            std::to_string(g.height / 2));
    EXPECT_TRUE(streamer.waitUntil(
        [&] {
            for (const auto& r : requests(Request::MOUSE_ACTION)) {
                const auto& m = r.mouseaction();
                if (m.flags() == 0x8001 && std::abs(m.absx() - 32767) < 400 && std::abs(m.absy() - 32767) < 400 &&
                    m.screenx() == g.width && m.screeny() == g.height)
                    return true;
            }
            return false;
        },
        std::chrono::seconds(5)))
        << [&] {
               std::string seen;
               for (const auto& r : requests(Request::MOUSE_ACTION))
                   seen += " (" + std::to_string(r.mouseaction().absx()) + "," + std::to_string(r.mouseaction().absy()) +
                           " flags " + std::to_string(r.mouseaction().flags()) + " screen " +
                           std::to_string(r.mouseaction().screenx()) + "x" + std::to_string(r.mouseaction().screeny()) + ")";
               return "window " + std::to_string(g.width) + "x" + std::to_string(g.height) + ", moves:" + seen;
           }();
    // One notch of the wheel up and one down.
    streamer.clearFrames();
    xdotool("click --window " + std::to_string(w) + " 4");
    xdotool("click --window " + std::to_string(w) + " 5");
    EXPECT_TRUE(streamer.waitUntil(
        [&] {
            std::vector<std::int64_t> wheel;
            for (const auto& r : requests(Request::MOUSE_ACTION))
                if (r.mouseaction().flags() == 0x800) wheel.push_back(r.mouseaction().data());
            return wheel == std::vector<std::int64_t>{120, -120};
        },
        std::chrono::seconds(5)));

    // Secrets stay out of the log.
    EXPECT_EQ(app.out().find("Tk9secret"), std::string::npos);
}

TEST_F(StreamStateEndToEnd, TheClipboardTravelsBothWays) {
    ASSERT_TRUE(startClient());
    Window w = 0;
    const bool pictured = waitForPicture(w);
    ASSERT_NE(w, 0u) << app.err();
    saveScreenshot(x11test::capture(x.get(), w), "stream-clipboard-start");
    ASSERT_TRUE(pictured) << app.out();

    // A copy on this computer reaches the machine's clipboard variable.
    {
        ClipboardOwner owner("copied here");
        EXPECT_TRUE(streamer.waitUntil(
            [&] {
                for (const auto& r : requests(Request::CLIENT_DB_VARIABLE_EVENT)) {
                    InputClient::VariableValue v;
                    if (r.variableevent().name().stringname() == "System.Clipboard" &&
                        v.ParseFromString(r.variableevent().value()) && v.stringvalue() == "copied here")
                        return true;
                }
                return false;
            },
            std::chrono::seconds(5)));
    }

    // A copy on the machine appears on this computer's clipboard.
    Response change;
    change.set_type(Response::SERVER_DB_VARIABLE_EVENT);
    *change.mutable_variableevent() = stringVariable("System.Clipboard", "copied there", 40);
    ASSERT_TRUE(streamer.lastConnection());
    streamer.lastConnection()->respond(change);
    platform::ClipboardReader reader(200);
    std::string text;
    EXPECT_TRUE(x11test::waitUntil(
        [&] {
            reader.request();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            return reader.take(text) && text == "copied there";
        },
        5000))
        << text;
}
// The stand-in streamer as a process of its own, stopped with SIGSTOP mid-stream: its socket
// stays open and takes what the client writes, while the picture comes on from the RTSP
// server. On the first stream the tour is on screen; the reconnection dialog comes in front
// of it, and the stream comes back once the streamer runs again.
TEST_F(StreamStateEndToEnd, AFrozenStreamerIsSaidOverTheTourAndTheStreamComesBackWhenItWakes) {
    std::ofstream(app.lib + "/config.ini") << "[System]\nConfigVersion=Tz4pLw8vRb\n";  // the tour not seen yet
    testsupport::ProgramRun standIn;
    ASSERT_TRUE(standIn.start(std::string(NIMBROSTA_BIN_DIR) + "/nimbrosta-stub-streamer",
                              {"--url", ":" + std::to_string(rtsp->port()) + "/stream", "--user", "tmp-user",
                               "--password", "tmp-pass"}));
    int port = 0;
    ASSERT_TRUE(x11test::waitUntil(
        [&] {
            const std::string out = standIn.out();
            const std::string marker = "listening on 127.0.0.1:";
            const std::size_t at = out.find(marker);
            if (at == std::string::npos || out.find('\n', at) == std::string::npos) return false;
            port = std::atoi(out.c_str() + at + marker.size());
            return port > 0;
        },
        10000))
        << standIn.err();
    ASSERT_TRUE(startClient(port));
    Window w = 0;
    const bool pictured = waitForPicture(w);
    ASSERT_NE(w, 0u) << app.err();
    saveScreenshot(x11test::capture(x.get(), w), "stream-tour-before-freeze");
    ASSERT_TRUE(pictured) << app.out();
    EXPECT_FALSE(streamtest::dialogButton(x11test::capture(x.get(), w)).found()) << "the tour, no dialog";

    ASSERT_EQ(::kill(standIn.pid(), SIGSTOP), 0);
    // Within the reply time-out after the next ping (5 s + about 1 s): the dialog and its
    // button, over the tour.
    x11test::Pixels shot;
    const bool said = x11test::waitUntil(
        [&] {
            shot = x11test::capture(x.get(), w);
            return streamtest::dialogButton(shot).found();
        },
        20000);
    saveScreenshot(shot, "stream-frozen-streamer");
    ::kill(standIn.pid(), SIGCONT);
    ASSERT_TRUE(said) << app.out();
    EXPECT_NE(app.out().find("connection lost: no answer from the streamer"), std::string::npos) << app.out();

    // Awake again: a reconnection brings the picture back.
    EXPECT_TRUE(x11test::waitUntil([&] { return showsTheBars(x11test::capture(x.get(), w)); }, 20000)) << app.out();
}
}  // namespace fixtures
