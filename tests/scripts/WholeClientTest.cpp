// The whole client as a user meets it through `bash scripts/demo.sh` with no arguments, under
// Xvfb: the stand-ins start, the updater asks its firewall question and finishes, the
// launcher opens and signs in, the player benchmarks its decoders, shows the service's
// messages and the machine panel, starts the machine on a chosen plan and opens the stream;
// once its start-up dialogs are closed the picture plays, the sound goes to a file through
// ALSA's file plugin (the home folder's .asoundrc) and keys and the pointer reach the
// stand-in streamer. Closing the player stops the machine and brings the launcher back;
// closing that ends the script and stops every stand-in. Each step is clicked or typed with
// xdotool, checked by its pixels and saved to build/artifacts/whole-client-*.png; the
// stand-ins' request logs are checked for the order the client talks to them in.

#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

#include "../player/stream/StartupDialogsOnScreen.h"
#include "../shell/X11TestSupport.h"
#include "ProgramRun.h"
#include "../webapi/StubService.h"
#include "TestSupport.h"
#include "gui/testing/GLTestWindow.h"

namespace fs = std::filesystem;

namespace {

// A build folder holding copies of what the demo runs, a cmake that only records, and a
// home folder of its own whose ALSA default device writes into a file.
class WholeClient {
public:
    testsupport::TempDir dir;
    std::string build = dir.file("build");
    std::string home = dir.file("home");
    std::string sound = dir.file("sound.raw");
    testsupport::ProgramRun demo;

    WholeClient() {
        fs::create_directories(dir.file("fake-bin"));
        const std::string cmake = dir.file("fake-bin/cmake");
        testsupport::writeFile(cmake, "#!/bin/sh\nexit 0\n");
        ::chmod(cmake.c_str(), 0755);
        fs::create_directories(build + "/bin");
        for (const char* program : {"NimbrostaClient", "nimbrosta-stub-service", "nimbrosta-rtsp-server",
                                    "nimbrosta-stub-streamer"})
            fs::copy_file(std::string(NIMBROSTA_BIN_DIR) + "/" + program, build + "/bin/" + program);
        fs::copy(NIMBROSTA_LIB_DIR, build + "/bin/lib", fs::copy_options::recursive);
        fs::remove(build + "/bin/lib/config.ini");
        fs::create_directories(home);
        testsupport::writeFile(home + "/.asoundrc", "pcm.!default {\n  type file\n  slave.pcm \"null\"\n  file \"" +
                                                        sound + "\"\n  format \"raw\"\n}\n");
    }
    // A script that did not end is ended with everything it started: it runs in a process
    // group of its own.
    ~WholeClient() {
        if (demo.pid() > 0 && demo.wait(0) < 0) ::kill(-demo.pid(), SIGKILL);
    }

    bool start() {
        const char* path = std::getenv("PATH");
        return demo.start("/usr/bin/setsid", {"/bin/bash", std::string(NIMBROSTA_SOURCE_DIR) + "/scripts/demo.sh"},
                          {"PATH=" + dir.file("fake-bin") + ":" + (path ? path : ""), "BUILD_DIR=" + build,
                           "HOME=" + home, "NIMBROSTA_URL_OPENER=/bin/true"});
    }

    // The ports and service address the script announced; false until it has.
    bool announced() {
        static const std::regex line(
            "stand-in service on (https://127\\.0\\.0\\.1:([0-9]+)), RTSP server on 127\\.0\\.0\\.1:([0-9]+), "
            "streamer on 127\\.0\\.0\\.1:([0-9]+)\n");
        std::smatch m;
        const std::string out = demo.out();
        if (!std::regex_search(out, m, line)) return false;
        serviceUrl = m[1];
        ports = {std::stoi(m[2]), std::stoi(m[3]), std::stoi(m[4])};
        return true;
    }
    std::string caPath() const { return build + "/demo/ca/ca.pem"; }

    std::string serviceUrl;
    std::vector<int> ports;
};

// The client's windows come and go while this process looks them up: a window gone between
// two requests is no error here (Xlib's default handler would end the test).
int ignoreGoneWindows(Display*, XErrorEvent* e) {
    if (e->error_code == BadWindow || e->error_code == BadDrawable || e->error_code == BadMatch) return 0;
    std::fprintf(stderr, "X error %d (request %d)\n", e->error_code, e->request_code);
    std::abort();
}

struct Rgb {
    int r = 0, g = 0, b = 0;
};

// One client window: its pixels, saved as a numbered step, and clicks into it.
class ClientWindow {
public:
    ClientWindow(Display* d, Window w) : d_(d), w_(w) {}
    // One pixel, read alone: cheap enough to poll while frames change.
    Rgb at(int x, int y) {
        XSync(d_, False);
        XImage* image = XGetImage(d_, w_, x, y, 1, 1, AllPlanes, ZPixmap);
        if (!image) return {};
        const unsigned long p = XGetPixel(image, 0, 0);
        const Rgb c{int((p & image->red_mask) >> 16), int((p & image->green_mask) >> 8), int(p & image->blue_mask)};
        XDestroyImage(image);
        return c;
    }
    // Waits up to 15 s for the pixel to pass the check.
    bool waitFor(int x, int y, bool (*check)(Rgb)) {
        return x11test::waitUntil([&] { return check(at(x, y)); }, 15000);
    }
    void save(const std::string& step) {
        // A screen switched in settles over the next frames.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const x11test::Pixels p = x11test::capture(d_, w_);
        ASSERT_FALSE(p.rgba.empty());
        EXPECT_TRUE(
            guitest::writePng(guitest::artifactsDir() + "/whole-client-" + step + ".png", p.width, p.height, p.rgba.data()));
    }
    void click(int x, int y) { ASSERT_TRUE(x11test::click(w_, x, y)) << x << "," << y; }

private:
    Display* d_;
    Window w_;
};

// The updater's cyan buttons.
bool isButton(Rgb c) { return c.b > 150 && c.g > 110 && c.r < 90; }
// The benchmark samples' red bar, the red of "End session".
bool isRed(Rgb c) { return c.r > 200 && c.g < 80 && c.b < 80; }
// The launcher's green sign-in button.
bool isGreen(Rgb c) { return c.g > 120 && c.g > c.r + 60 && c.g > c.b + 60; }
// The frames of the plan cards and of the tour's page.
bool isWhite(Rgb c) { return c.r > 200 && c.g > 200 && c.b > 200; }

// Where the stream's test pattern has its blue, green and red bands (the stand-in RTSP
// server's picture fills the 1280 x 720 window).
constexpr int kBlueBandX = 560, kGreenBandX = 880, kRedBandX = 1040, kBandY = 200;
// The tour's start, centred in the window, and its first page, below the menu button at
// the top, with its "Skip" link.
constexpr int kTourFrameX = 376, kTourFrameY = 360, kTourButtonX = 640, kTourButtonY = 397;
constexpr int kTourPageFrameX = 401, kTourPageFrameY = 150, kTourSkipX = 706, kTourSkipY = 184;
// The red "End session" of the question asked when the player is closed on a running machine.
constexpr int kEndSessionX = 507, kEndSessionY = 396;

// Which channel outweighs the other two: 0 red, 1 green, 2 blue, -1 none. Relative, as an
// open dialog greys the picture out.
int dominant(Rgb c) {
    const int v[3] = {c.r, c.g, c.b};
    for (int i = 0; i < 3; ++i)
        if (v[i] > 60 && v[i] > 2 * v[(i + 1) % 3] && v[i] > 2 * v[(i + 2) % 3]) return i;
    return -1;
}
// A band at full brightness: nothing greys the picture out.
bool isBright(Rgb c) { return dominant(c) >= 0 && std::max({c.r, c.g, c.b}) > 200; }

bool showsTheBars(ClientWindow& w) {
    return dominant(w.at(kBlueBandX, kBandY)) == 2 && dominant(w.at(kGreenBandX, kBandY)) == 1 &&
           dominant(w.at(kRedBandX, kBandY)) == 0;
}

void run(const std::string& command) { ASSERT_EQ(std::system(command.c_str()), 0) << command; }

// Types the account into the sign-in screen (the focus starts in the e-mail box) and sends it.
void signIn(Window launcher, const std::string& email, const std::string& password) {
    const std::string focus = "xdotool windowfocus --sync " + std::to_string(launcher);
    run(focus + " type --delay 5 '" + email + "'");
    run(focus + " key Tab");
    run(focus + " type --delay 5 '" + password + "'");
    run(focus + " key Return");
}

// The paths of the logged requests, in order, without repeats in a row.
std::vector<std::string> pathsInOrder(const std::vector<LoggedRequest>& log) {
    std::vector<std::string> paths;
    for (const LoggedRequest& r : log)
        if (paths.empty() || paths.back() != r.path) paths.push_back(r.path);
    return paths;
}

// Whether `expected` appears in `paths` in this order (other requests may come between).
bool inOrder(const std::vector<std::string>& paths, const std::vector<std::string>& expected) {
    auto at = paths.begin();
    for (const std::string& p : expected) {
        at = std::find(at, paths.end(), p);
        if (at == paths.end()) return false;
        ++at;
    }
    return true;
}

std::string joined(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& i : items) out += i + "\n";
    return out;
}

}  // namespace

TEST(DemoScript, TheWholeClientFromTheUpdaterThroughSignInToAPlayingStreamAndBack) {
    x11test::Connection x;
    ASSERT_TRUE(x);
    XSetErrorHandler(&ignoreGoneWindows);
    WholeClient client;
    ASSERT_TRUE(client.start());
    ASSERT_TRUE(x11test::waitUntil([&] { return client.announced(); }, 30000)) << client.demo.out() << client.demo.err();
    for (const int port : client.ports) EXPECT_TRUE(testsupport::acceptsOnLoopback(port)) << port;
    StubService service(StubService::Running{}, client.serviceUrl, client.caPath());

    // The updater: a first run in these per-user folders asks for the firewall exception.
    const Window updater = x11test::waitForWindow(x.get(), "Nimbrosta Updater");
    ASSERT_NE(updater, 0u) << client.demo.out();
    ClientWindow updaterWindow(x.get(), updater);
    const int yesX = 125, yesY = 39 + 150 + 19;
    ASSERT_TRUE(updaterWindow.waitFor(yesX, yesY - 14, isButton)) << client.demo.out();
    updaterWindow.save("1-updater-firewall-question");
    updaterWindow.click(yesX, yesY);

    // It adds the exception (the elevated helper starts plainly here), finds nothing to
    // update and hands over to the launcher.
    const Window launcher = x11test::waitForWindow(x.get(), "Nimbrosta Launcher");
    ASSERT_NE(launcher, 0u) << client.demo.out();
    ClientWindow launcherWindow(x.get(), launcher);
    const int signInX = 450, signInY = 345;
    ASSERT_TRUE(launcherWindow.waitFor(signInX, signInY, isGreen)) << client.demo.out();
    launcherWindow.save("2-launcher-sign-in");
    EXPECT_TRUE(x11test::waitUntil([&] { return x11test::findWindow(x.get(), "Nimbrosta Updater") == 0; }));
    const std::string firewallList = client.build + "/demo/data/Nimbrosta/firewall_authorized_apps.txt";
    EXPECT_NE(testsupport::readFile(firewallList).find("\tNimbrosta Client\t"), std::string::npos);

    // Signing in with the demo account starts the player (the launcher goes to the tray where
    // the desktop has one).
    const std::size_t signInOutput = client.demo.out().size();
    signIn(launcher, "user@example.com", "secret");
    const Window player = x11test::waitForWindow(x.get(), "Nimbrosta");
    ASSERT_NE(player, 0u) << client.demo.out();
    ClientWindow playerWindow(x.get(), player);
    // A crash report would go to the stand-in service, never to an outside address.
    EXPECT_EQ(testsupport::environmentValue(pid_t(x11test::windowPid(x.get(), player)), "NIMBROSTA_CRASH_UPLOAD_URL"),
              client.serviceUrl + "/dump_win");

    // Its first start runs the decoder benchmark on the samples (colour bars, red on the
    // left) and stores the choice in the program's config.ini, then goes on to machine
    // selection.
    // A loaded machine may finish it before a frame is seen: the stored choice is what counts.
    const std::string config = client.build + "/bin/lib/config.ini";
    const auto benchmarked = [&] {
        const std::string text = testsupport::readFile(config);
        return text.find("NeedToRun=0") != std::string::npos && text.find("[Decoder]\nChoice=") != std::string::npos;
    };
    x11test::waitUntil([&] { return isRed(playerWindow.at(100, 360)) || benchmarked(); }, 15000);
    if (isRed(playerWindow.at(100, 360))) playerWindow.save("3-player-benchmark");
    ASSERT_TRUE(x11test::waitUntil(benchmarked, 30000)) << testsupport::readFile(config);
    // The stand-in service's two messages come first: the welcome's OK, then the low
    // credits' "Later", lead to the machine panel. Each button dismisses its message and
    // fetches the messages again.
    // The messages fetched after the given number of dismissals (the service's log is asked
    // over HTTPS: every 50 ms at most).
    const auto fetchedAfter = [&](std::size_t dismissals) {
        return x11test::waitUntil(
            [&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                std::size_t seen = 0;
                for (const LoggedRequest& r : service.log()) {
                    if (r.path == "/client/dismiss_message.json") ++seen;
                    else if (seen == dismissals && r.path == "/client/get_messages.json") return true;
                }
                return false;
            },
            15000);
    };
    ASSERT_TRUE(fetchedAfter(0));
    playerWindow.save("4-player-welcome-message");
    playerWindow.click(640, 421);
    ASSERT_TRUE(fetchedAfter(1));
    playerWindow.save("5-player-credits-message");
    playerWindow.click(745, 421);
    ASSERT_TRUE(fetchedAfter(2));
    ASSERT_TRUE(playerWindow.waitFor(515, 345, isGreen)) << "Start cloud computer";
    playerWindow.save("6-player-machine-panel");

    // Starting the stopped machine asks for the plan it runs on: the Gamer plan offers two.
    playerWindow.click(640, 331);
    ASSERT_TRUE(playerWindow.waitFor(387, 400, isWhite)) << "the first plan's frame";
    playerWindow.save("7-player-plans");
    // "Select" under the first plan: the service starts the machine while the player waits,
    // then the player checks the connection and opens the stream on its own.
    playerWindow.click(510, 522);
    if (x11test::waitUntil([&] { return !isWhite(playerWindow.at(387, 400)); }, 5000)) playerWindow.save("8-player-starting");
    ASSERT_TRUE(x11test::waitUntil([&] { return showsTheBars(playerWindow); }, 30000)) << client.demo.out();
    const Window stream = x11test::findWindow(x.get(), "Nimbrosta");
    ASSERT_EQ(stream, player) << "the stream plays in the player's window";

    // The first picture opens the stream's tour, then the mouse-mode help (the stand-in
    // streamer asks for the relative mouse); while either is open the stream is greyed out
    // and takes no input. "Start Tour" shows the tour's first page at the menu button, whose
    // "Skip" ends it; the help goes with OK.
    ASSERT_TRUE(playerWindow.waitFor(kTourFrameX, kTourFrameY, isWhite)) << "the tour's start";
    playerWindow.save("9-stream-tour");
    playerWindow.click(kTourButtonX, kTourButtonY);
    ASSERT_TRUE(playerWindow.waitFor(kTourPageFrameX, kTourPageFrameY, isWhite)) << "the tour's first page";
    playerWindow.save("10-stream-tour-menu-page");
    playerWindow.click(kTourSkipX, kTourSkipY);
    x11test::Pixels help;
    ASSERT_TRUE(streamtest::closeMouseModeHelp(x.get(), player, &help));
    EXPECT_TRUE(guitest::writePng(guitest::artifactsDir() + "/whole-client-11-stream-mouse-mode-help.png", help.width,
                                  help.height, help.rgba.data()));
    ASSERT_TRUE(x11test::waitUntil([&] { return isBright(playerWindow.at(kRedBandX, kBandY)); }, 5000))
        << "the stream is no longer greyed out";
    EXPECT_TRUE(showsTheBars(playerWindow));
    playerWindow.save("12-stream-playing");

    // The tone reaches the ALSA file.
    EXPECT_TRUE(x11test::waitUntil([&] { return fs::exists(client.sound) && fs::file_size(client.sound) > 4096; }, 10000));

    // Keys and the pointer reach the machine as the requests the streamer prints.
    run("xdotool windowfocus --sync " + std::to_string(player));
    std::size_t mark = client.demo.out().size();
    const auto inputSince = [&](std::size_t from, const std::string& kind) {
        std::vector<std::string> lines;
        static const std::regex line("streamer: \\[[0-9]+\\] seq [0-9]+ len [0-9]+ type [0-9]+ ([A-Z0-9_]+): ([^\n]*)\n");
        const std::string out = client.demo.out();
        for (auto m = std::sregex_iterator(out.begin() + long(std::min(from, out.size())), out.end(), line);
             m != std::sregex_iterator(); ++m)
            if ((*m)[1] == kind) lines.push_back((*m)[2]);
        return lines;
    };
    ASSERT_TRUE(streamtest::waitUntilKeysFlow([&] {
        for (const std::string& k : inputSince(mark, "KEYBOARD_ACTION_V2"))
            if (k.find("flags: 2") != std::string::npos || k.find("flags: 3") != std::string::npos) return true;
        return false;
    }));
    mark = client.demo.out().size();
    // A letter, then Right Control, an extended key. Right Control goes by its key code:
    // named, xdotool would press Left Control with it (the modifier it belongs to).
    run("xdotool key a");
    run("xdotool key " + std::to_string(XKeysymToKeycode(x.get(), XK_Control_R)));
    const std::vector<std::string> keys{"vkey: 65 scancode: 30", "vkey: 65 scancode: 30 flags: 2",
                                        "vkey: 17 scancode: 29 flags: 1", "vkey: 17 scancode: 29 flags: 3"};
    EXPECT_TRUE(x11test::waitUntil([&] { return inputSince(mark, "KEYBOARD_ACTION_V2") == keys; }, 5000))
        << joined(inputSince(mark, "KEYBOARD_ACTION_V2"));

    // The machine took the mouse: the pointer is locked in the window, and a move off its
    // centre goes out as a relative move. (The first event after the lock only sets the
    // reference point, so the move is repeated until one arrives.)
    const x11test::Geometry g = x11test::geometry(x.get(), player);
    const std::string relativeMove =
        "relx: 40 rely: -25 screenx: " + std::to_string(g.width) + " screeny: " + std::to_string(g.height) + " flags: 1";
    const auto moved = [&] {
        for (const std::string& m : inputSince(mark, "MOUSE_ACTION"))
            if (m.size() >= relativeMove.size() && m.compare(m.size() - relativeMove.size(), relativeMove.size(), relativeMove) == 0)
                return true;
        return false;
    };
    for (int attempt = 0; attempt < 10 && !moved(); ++attempt) {
        run("xdotool mousemove --window " + std::to_string(player) + " " + std::to_string(g.width / 2 + 40) + " " +
            std::to_string(g.height / 2 - 25));
        x11test::waitUntil(moved, 500);
    }
    EXPECT_TRUE(moved()) << joined(inputSince(mark, "MOUSE_ACTION"));
    // A click of the left button, one notch of the wheel up and one down.
    mark = client.demo.out().size();
    run("xdotool click 1 click 4 click 5");
    const std::string screen = "screenx: " + std::to_string(g.width) + " screeny: " + std::to_string(g.height);
    const auto buttons = [&] {
        std::vector<std::string> out;
        for (const std::string& m : inputSince(mark, "MOUSE_ACTION")) {
            const std::size_t at = m.find(screen);
            if (at != std::string::npos && m.find("flags: 1") == std::string::npos) out.push_back(m.substr(at + screen.size()));
        }
        return out;
    };
    const std::vector<std::string> clicks{" flags: 2", " flags: 4", " flags: 2048 data: 120", " flags: 2048 data: -120"};
    EXPECT_TRUE(x11test::waitUntil([&] { return buttons() == clicks; }, 5000)) << joined(inputSince(mark, "MOUSE_ACTION"));
    playerWindow.save("13-stream-after-input");

    // Closing the window on the stream asks whether to stop the machine; "End session"
    // stops it and goes back to the machine panel, which offers to start it again once the
    // service has stopped it.
    x11test::sendDeleteWindow(x.get(), player);
    ASSERT_TRUE(playerWindow.waitFor(kEndSessionX, kEndSessionY, isRed)) << "End session";
    playerWindow.save("14-stream-leaving");
    playerWindow.click(kEndSessionX, kEndSessionY);
    ASSERT_TRUE(playerWindow.waitFor(515, 345, isGreen)) << "Start cloud computer";
    playerWindow.save("15-player-machine-stopped");

    // Closing the player there brings the launcher back.
    x11test::sendDeleteWindow(x.get(), player);
    EXPECT_EQ(client.demo.out().find("secret", signInOutput), std::string::npos) << "no password in the log";

    EXPECT_TRUE(x11test::waitUntil([&] { return x11test::findWindow(x.get(), "Nimbrosta") == 0; }));
    ASSERT_NE(x11test::waitForWindow(x.get(), "Nimbrosta Launcher"), 0u) << client.demo.out();
    ASSERT_TRUE(launcherWindow.waitFor(signInX, signInY, isGreen)) << client.demo.out();
    launcherWindow.save("16-launcher-back");

    const std::vector<std::string> paths = pathsInOrder(service.log());
    EXPECT_TRUE(inOrder(paths, {"/api/v1/update_servers_list.json", "/updater/check_update.json",
                                "/api/v1/sign_in.json", "/api/v1/user_active.json", "/client/get_client_info.json",
                                "/client/dismiss_message.json", "/client/dismiss_message.json", "/action/remind_later",
                                "/client/start_desktop.json", "/client/get_desktop.json", "/client/stop_desktop.json"}))
        << joined(paths);
    // The streamer: the connection check's connection, then the stream's, which asks for the
    // stream before any input.
    std::vector<std::string> streamer;
    static const std::regex request("streamer: (\\[[0-9]+\\]) seq [0-9]+ len [0-9]+ type [0-9]+ ([A-Z0-9_]+)");
    const std::string out = client.demo.out();
    for (auto m = std::sregex_iterator(out.begin(), out.end(), request); m != std::sregex_iterator(); ++m) {
        const std::string r = (*m)[1].str() + " " + (*m)[2].str();
        if (streamer.empty() || streamer.back() != r) streamer.push_back(r);
    }
    EXPECT_TRUE(inOrder(streamer, {"[1] AUTHORIZATION", "[1] CLIENT_DB_READY_EVENT", "[2] AUTHORIZATION",
                                   "[2] CLIENT_DB_READY_EVENT", "[2] STREAM_INITIATE", "[2] KEYBOARD_ACTION_V2",
                                   "[2] MOUSE_ACTION"}))
        << joined(streamer);

    // Closing the last window ends the script, and the stand-ins with it.
    x11test::sendDeleteWindow(x.get(), launcher);
    EXPECT_EQ(client.demo.wait(20000), 0) << client.demo.out() << client.demo.err();
    EXPECT_NE(client.demo.out().find("the client has ended; stopping the stand-ins"), std::string::npos);
    for (const int port : client.ports) EXPECT_FALSE(testsupport::acceptsOnLoopback(port)) << port;

    // Nothing was written into the home folder: the per-user folders are the build's.
    std::vector<std::string> inHome;
    for (const auto& entry : fs::directory_iterator(client.home)) inHome.push_back(entry.path().filename().string());
    EXPECT_EQ(inHome, std::vector<std::string>{".asoundrc"});
}
