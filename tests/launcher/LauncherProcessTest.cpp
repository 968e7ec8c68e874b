// NimbrostaClient --launcher as the user meets it: a process under Xvfb signing in against
// the stand-in web service, starting the real player (this executable in player mode) and
// coming back to sign-in when the player is gone.

#include <gtest/gtest.h>

#include <X11/keysym.h>
#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>

#include "../app/ClientTestSupport.h"
#include "../shell/X11TestSupport.h"
#include "StubService.h"

namespace {

// The process id that the window's owner published (_NET_WM_PID); 0 when none.
pid_t windowPid(Display* d, Window w) {
    const Atom pidAtom = XInternAtom(d, "_NET_WM_PID", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    pid_t pid = 0;
    if (XGetWindowProperty(d, w, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after, &data) ==
            Success &&
        data) {
        if (count == 1) pid = static_cast<pid_t>(*reinterpret_cast<unsigned long*>(data));
        XFree(data);
    }
    return pid;
}

std::vector<std::string> commandLine(pid_t pid) {
    const std::string raw = testsupport::readFile("/proc/" + std::to_string(pid) + "/cmdline");
    std::vector<std::string> args;
    std::size_t start = 0;
    while (start < raw.size()) {
        const std::size_t end = raw.find('\0', start);
        args.push_back(raw.substr(start, end - start));
        start = end == std::string::npos ? raw.size() : end + 1;
    }
    return args;
}

// Whether the pixel at (x, y) of the window is the sign-in button's green.
bool greenAt(Display* d, Window w, int x, int y) {
    XSync(d, False);
    XImage* image = XGetImage(d, w, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image) return false;
    const unsigned long p = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    const unsigned r = unsigned((p & 0xff0000) >> 16), g = unsigned((p & 0xff00) >> 8), b = unsigned(p & 0xff);
    return g > 120 && g > r + 60 && g > b + 60;
}

void run(const std::string& command) { ASSERT_EQ(std::system(command.c_str()), 0) << command; }

void signIn(Window launcher, const std::string& email, const std::string& password) {
    const std::string id = std::to_string(launcher);
    run("xdotool windowfocus --sync " + id + " type --delay 5 '" + email + "'");
    run("xdotool windowfocus --sync " + id + " key Tab");
    run("xdotool windowfocus --sync " + id + " type --delay 5 '" + password + "'");
    run("xdotool windowfocus --sync " + id + " key Return");
}

}  // namespace

TEST(NimbrostaClientLauncher, SignsInStartsThePlayerAndComesBackWhenItEnds) {
    x11test::Connection x;
    ASSERT_TRUE(x);
    StubService stub;
    useStubService(stub);
    testsupport::TempDir home;
    testsupport::ScopedEnv data("XDG_DATA_HOME", home.path().c_str());
    testsupport::ScopedEnv opener("NIMBROSTA_URL_OPENER", "/bin/true");
    clienttest::Installation app;
    ASSERT_TRUE(app.start({"--launcher"}));
    const Window launcher = x11test::waitForWindow(x.get(), "Nimbrosta Launcher");
    ASSERT_NE(launcher, 0u) << app.err();

    // Twice: the second sign-in shows that the sign-in screen came back after the first
    // player was gone.
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        // The sign-in screen, with the focus in the e-mail box: its green button shows.
        ASSERT_TRUE(x11test::waitUntil([&] { return greenAt(x.get(), launcher, 450, 345); }, 10000));
        signIn(launcher, "User@Example.com", "secret");
        const Window player = x11test::waitForWindow(x.get(), "Nimbrosta");
        ASSERT_NE(player, 0u) << app.out();
        const pid_t pid = windowPid(x.get(), player);
        ASSERT_GT(pid, 0);
        const std::vector<std::string> args = commandLine(pid);
        ASSERT_EQ(args.size(), 3u);
        EXPECT_EQ(args[0], app.exe);
        EXPECT_EQ(args[1], "--access_token");
        EXPECT_FALSE(args[2].empty());
        // The player goes away as after a crash.
        ASSERT_EQ(kill(pid, SIGKILL), 0);
        ASSERT_TRUE(x11test::waitUntil([&] { return x11test::findWindow(x.get(), "Nimbrosta") == 0; }));
    }
    x11test::sendKey(x.get(), launcher, XK_Escape);
    EXPECT_EQ(app.wait(), 0);
    EXPECT_EQ(app.err(), "");
    const std::string out = app.out();
    EXPECT_EQ(out.find("secret"), std::string::npos) << "no password in the log";
    EXPECT_NE(out.find("tray icon add id=12345"), std::string::npos) << out;
    EXPECT_NE(out.find("tray icon delete id=12345"), std::string::npos) << out;
}
