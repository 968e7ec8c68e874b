// NimbrostaClient --launcher as the user meets it: a process under Xvfb signing in against
// the stand-in web service, starting the real player (this executable in player mode) and
// coming back to sign-in when the player is gone, and keeping a ticked "Remember me" from
// one start to the next. Screenshots go to build/artifacts/.

#include <gtest/gtest.h>

#include <X11/keysym.h>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "launcher/LauncherAppWindowBase.h"
#include "launcher/Rc4Cipher.h"

#include "../app/ClientTestSupport.h"
#include "../shell/X11TestSupport.h"
#include "StubService.h"

namespace guitest {
std::string artifactsDir();
bool writePng(const std::string& path, int width, int height, const std::uint8_t* rgba);
}  // namespace guitest

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

// Places on the sign-in screen (UI scale 1): the e-mail box's inside, and the inside of the
// remember box's square.
struct Area {
    int x, y, width, height;
};
constexpr Area kEmailText{325, 162, 250, 36};
constexpr Area kRememberSquare{478, 294, 10, 10};
constexpr int kRememberX = 483, kRememberY = 298;

// How many pixels of the area are near white (the boxes' text, a tick's filling).
int lightPixels(const x11test::Pixels& p, const Area& a) {
    int n = 0;
    for (int y = a.y; y < a.y + a.height && y < p.height; ++y)
        for (int x = a.x; x < a.x + a.width && x < p.width; ++x) {
            const std::uint8_t* c = p.at(x, y);
            if (c[0] > 180 && c[1] > 180 && c[2] > 180) ++n;
        }
    return n;
}

// What the sign-in screen shows: whether the e-mail box holds text and the remember box is
// ticked (its square filled).
struct SignInLook {
    bool email = false;
    bool ticked = false;
};
SignInLook look(const x11test::Pixels& p) {
    SignInLook l;
    l.email = lightPixels(p, kEmailText) > 200;
    l.ticked = lightPixels(p, kRememberSquare) > kRememberSquare.width * kRememberSquare.height / 2;
    return l;
}

void save(const x11test::Pixels& p, const std::string& name) {
    ASSERT_FALSE(p.rgba.empty());
    EXPECT_TRUE(guitest::writePng(guitest::artifactsDir() + "/" + name + ".png", p.width, p.height, p.rgba.data()));
}

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

TEST(NimbrostaClientLauncher, ATickedRememberBoxKeepsTheLoginFromOneStartToTheNext) {
    x11test::Connection x;
    ASSERT_TRUE(x);
    StubService stub;
    useStubService(stub);
    testsupport::TempDir home;
    testsupport::ScopedEnv data("XDG_DATA_HOME", home.path().c_str());
    testsupport::ScopedEnv opener("NIMBROSTA_URL_OPENER", "/bin/true");
    const std::string userData = home.file("Nimbrosta/userdata.dat");

    // The first start: the user types, ticks the box last (so it has the focus) and signs in
    // with a tap on Enter.
    {
        clienttest::Installation app;
        ASSERT_TRUE(app.start({"--launcher"}));
        const Window launcher = x11test::waitForWindow(x.get(), "Nimbrosta Launcher");
        ASSERT_NE(launcher, 0u) << app.err();
        ASSERT_TRUE(x11test::waitUntil([&] { return greenAt(x.get(), launcher, 450, 345); }, 10000));
        const SignInLook empty = look(x11test::capture(x.get(), launcher));
        EXPECT_FALSE(empty.email);
        EXPECT_FALSE(empty.ticked);

        const std::string id = std::to_string(launcher);
        run("xdotool windowfocus --sync " + id + " type --delay 5 'User@Example.com'");
        run("xdotool windowfocus --sync " + id + " key Tab");
        run("xdotool windowfocus --sync " + id + " type --delay 5 'secret'");
        ASSERT_TRUE(x11test::click(launcher, kRememberX, kRememberY));
        x11test::Pixels typed;
        ASSERT_TRUE(x11test::waitUntil([&] {
            typed = x11test::capture(x.get(), launcher);
            return look(typed).ticked;
        }));
        save(typed, "launcher-process-remember-ticked");
        run("xdotool windowfocus --sync " + id + " key Return");

        const Window player = x11test::waitForWindow(x.get(), "Nimbrosta");
        ASSERT_NE(player, 0u) << app.out();
        // Kept once the sign-in screen is gone: the player runs.
        struct stat st {};
        ASSERT_EQ(stat(userData.c_str(), &st), 0) << "the remembered login is stored";
        EXPECT_EQ(st.st_mode & 0777, 0600u);
        EXPECT_EQ(Rc4Cipher::apply(LauncherAppWindowBase::userDataKey(), testsupport::readFile(userData)),
                  "User@Example.com\tsecret");

        // The player ends: the fresh sign-in screen shows the login, the box ticked.
        const pid_t pid = windowPid(x.get(), player);
        ASSERT_GT(pid, 0);
        ASSERT_EQ(kill(pid, SIGKILL), 0);
        ASSERT_TRUE(x11test::waitUntil([&] { return x11test::findWindow(x.get(), "Nimbrosta") == 0; }));
        x11test::Pixels back;
        EXPECT_TRUE(x11test::waitUntil([&] {
            back = x11test::capture(x.get(), launcher);
            return greenAt(x.get(), launcher, 450, 345) && look(back).email && look(back).ticked;
        })) << "e-mail shown " << look(back).email << ", box ticked " << look(back).ticked;
        save(back, "launcher-process-remembered-after-player");
        x11test::sendKey(x.get(), launcher, XK_Escape);
        EXPECT_EQ(app.wait(), 0);
    }

    // The next start shows it too. Unticked and closed with the close box, it is forgotten.
    {
        clienttest::Installation app;
        ASSERT_TRUE(app.start({"--launcher"}));
        const Window launcher = x11test::waitForWindow(x.get(), "Nimbrosta Launcher");
        ASSERT_NE(launcher, 0u) << app.err();
        x11test::Pixels shown;
        EXPECT_TRUE(x11test::waitUntil([&] {
            shown = x11test::capture(x.get(), launcher);
            return greenAt(x.get(), launcher, 450, 345) && look(shown).email && look(shown).ticked;
        })) << "e-mail shown " << look(shown).email << ", box ticked " << look(shown).ticked;
        save(shown, "launcher-process-remembered-next-start");
        EXPECT_TRUE(std::filesystem::exists(userData));

        ASSERT_TRUE(x11test::click(launcher, kRememberX, kRememberY));
        ASSERT_TRUE(x11test::waitUntil([&] { return !look(x11test::capture(x.get(), launcher)).ticked; }));
        x11test::sendDeleteWindow(x.get(), launcher);
        EXPECT_EQ(app.wait(), 0);
        EXPECT_FALSE(std::filesystem::exists(userData)) << "unticked, the login is forgotten";
    }
}

TEST(NimbrostaClientLauncher, ALinkThatCannotOpenSaysWhyInTheLog) {
    x11test::Connection x;
    ASSERT_TRUE(x);
    StubService stub;
    useStubService(stub);
    testsupport::TempDir home;
    testsupport::ScopedEnv data("XDG_DATA_HOME", home.path().c_str());
    testsupport::ScopedEnv opener("NIMBROSTA_URL_OPENER", "/nonexistent/xdg-open");
    clienttest::Installation app;
    ASSERT_TRUE(app.start({"--launcher"}));
    const Window launcher = x11test::waitForWindow(x.get(), "Nimbrosta Launcher");
    ASSERT_NE(launcher, 0u) << app.err();
    ASSERT_TRUE(x11test::waitUntil([&] { return greenAt(x.get(), launcher, 450, 345); }, 10000));
    // "Forgot password?", left of the remember box.
    ASSERT_TRUE(x11test::click(launcher, 340, kRememberY));
    const std::string line =
        "]: the web page did not open: /nonexistent/xdg-open could not be started: No such file or directory\n";
    EXPECT_TRUE(x11test::waitUntil([&] { return app.out().find(line) != std::string::npos; })) << app.out();
    x11test::sendKey(x.get(), launcher, XK_Escape);
    EXPECT_EQ(app.wait(), 0);
    const std::string out = app.out();
    const std::size_t at = out.find(line);
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(out.rfind("[E][", at), out.rfind('\n', at) + 1) << "an error line: " << out;
}
