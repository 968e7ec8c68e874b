// The whole client as a user meets it through `bash scripts/demo.sh` with no arguments, under
// Xvfb: the stand-ins start, the updater asks its firewall question and finishes, the
// launcher opens, and closing the client's last window ends the script and stops every
// stand-in. Each step is clicked or typed with xdotool, checked by its pixels and saved to
// build/artifacts/whole-client-*.png. Sound goes to a file through ALSA's file plugin (the
// home folder's .asoundrc), and the stand-in service's request log is checked for the
// order the client talks to it in.

#include <gtest/gtest.h>

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

bool accepts(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return connected;
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
// The benchmark samples' red bar.
bool isRed(Rgb c) { return c.r > 200 && c.g < 60 && c.b < 60; }
// The launcher's green sign-in button.
bool isGreen(Rgb c) { return c.g > 120 && c.g > c.r + 60 && c.g > c.b + 60; }

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

TEST(DemoScript, TheWholeClientFromTheUpdaterThroughSignInToThePlayerAndBack) {
    x11test::Connection x;
    ASSERT_TRUE(x);
    XSetErrorHandler(&ignoreGoneWindows);
    WholeClient client;
    ASSERT_TRUE(client.start());
    ASSERT_TRUE(x11test::waitUntil([&] { return client.announced(); }, 30000)) << client.demo.out() << client.demo.err();
    for (const int port : client.ports) EXPECT_TRUE(accepts(port)) << port;
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
    playerWindow.save("4-player-machine-selection");
    // The stand-in service's two messages come first: the welcome's OK, then the low
    // credits' "Later", lead to the machine panel.
    playerWindow.click(640, 421);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    playerWindow.save("5-player-credits-message");
    playerWindow.click(700, 421);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    playerWindow.save("6-player-machine-panel");
    EXPECT_EQ(client.demo.out().find("secret", signInOutput), std::string::npos) << "no password in the log";

    // Closing the player brings the launcher back on its sign-in screen.
    x11test::sendDeleteWindow(x.get(), player);
    EXPECT_TRUE(x11test::waitUntil([&] { return x11test::findWindow(x.get(), "Nimbrosta") == 0; }));
    ASSERT_NE(x11test::waitForWindow(x.get(), "Nimbrosta Launcher"), 0u) << client.demo.out();
    ASSERT_TRUE(launcherWindow.waitFor(signInX, signInY, isGreen)) << client.demo.out();
    launcherWindow.save("7-launcher-back");

    const std::vector<std::string> paths = pathsInOrder(service.log());
    EXPECT_TRUE(inOrder(paths, {"/api/v1/update_servers_list.json", "/updater/check_update.json",
                                "/api/v1/sign_in.json", "/api/v1/user_active.json"}))
        << joined(paths);

    // Closing the last window ends the script, and the stand-ins with it.
    x11test::sendDeleteWindow(x.get(), launcher);
    EXPECT_EQ(client.demo.wait(20000), 0) << client.demo.out() << client.demo.err();
    EXPECT_NE(client.demo.out().find("the client has ended; stopping the stand-ins"), std::string::npos);
    for (const int port : client.ports) EXPECT_FALSE(accepts(port)) << port;

    // Nothing was written into the home folder: the per-user folders are the build's.
    std::vector<std::string> inHome;
    for (const auto& entry : fs::directory_iterator(client.home)) inHome.push_back(entry.path().filename().string());
    EXPECT_EQ(inHome, std::vector<std::string>{".asoundrc"});
}
