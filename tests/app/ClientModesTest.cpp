// The client as a process under Xvfb: each mode opens its window with the right size and
// title and ends cleanly when the window is closed; the UI scale follows Xft.dpi.

#include <gtest/gtest.h>

#include <X11/keysym.h>

#include "../shell/X11TestSupport.h"
#include "ClientTestSupport.h"

using testsupport::writeFile;

namespace {

// Sets the X resource database of the display for the scope (as xrdb does).
class ScopedXResources {
public:
    explicit ScopedXResources(const std::string& resources) {
        testsupport::TempDir dir;
        writeFile(dir.file("res"), resources);
        ok_ = std::system(("xrdb -load " + dir.file("res")).c_str()) == 0;
    }
    ~ScopedXResources() { (void)std::system("xrdb -remove"); }
    bool ok() const { return ok_; }

private:
    bool ok_ = false;
};

struct ModeCase {
    std::vector<std::string> args;
    std::string config;
    std::string title;
    int width, height;
    bool fixedSize;
    std::string logged;  // a text the mode logs
    // The window ends on close; the in-stream screen asks to end the session instead.
    bool closeEnds = true;
};

void checkMode(const ModeCase& c) {
    x11test::Connection x;
    ASSERT_TRUE(x);
    clienttest::Installation app;
    if (!c.config.empty()) writeFile(app.lib + "/config.ini", "[System]\nConfigVersion=Tz4pLw8vRb\n" + c.config);
    ASSERT_TRUE(app.start(c.args));
    const Window w = x11test::waitForWindow(x.get(), c.title);
    ASSERT_NE(w, 0u) << "no window titled " << c.title << "; stderr: " << app.err();
    const x11test::Geometry g = x11test::geometry(x.get(), w);
    EXPECT_EQ(g.width, c.width) << c.title;
    EXPECT_EQ(g.height, c.height) << c.title;
    EXPECT_EQ(g.x, (1920 - c.width) / 2) << "centred on the monitor";
    EXPECT_EQ(g.y, (1080 - c.height) / 2) << "centred on the monitor";
    EXPECT_EQ(x11test::hasFixedSize(x.get(), w), c.fixedSize) << c.title;

    // Escape closes the updater and the launcher, not the player.
    x11test::sendKey(x.get(), w, XK_Escape);
    if (!c.fixedSize) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_EQ(x11test::findWindow(x.get(), c.title), w) << "Escape must not close the player";
        x11test::sendDeleteWindow(x.get(), w);
    }
    if (c.closeEnds) {
        EXPECT_EQ(app.wait(), 0) << app.err();
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_EQ(x11test::findWindow(x.get(), c.title), w) << "the stream asks before it ends";
        app.program.end();
    }
    EXPECT_EQ(app.err(), "");
    if (!c.logged.empty()) {
        EXPECT_NE(app.out().find(c.logged), std::string::npos) << app.out();
    }
}

// Holds the X server alive between cases; the player asks the web service for the account,
// here a local port nobody answers, so no test reaches the network.
class PlayerKeepServerAlive : public x11test::KeepServerAlive {
public:
    void SetUp() override {
        x11test::KeepServerAlive::SetUp();
        setenv("NIMBROSTA_SERVICE_URL", "https://127.0.0.1:9", 1);
    }
};
const auto* const kKeepServerAlive = ::testing::AddGlobalTestEnvironment(new PlayerKeepServerAlive());

}  // namespace

TEST(NimbrostaClient, EachModeOpensItsWindowAndEndsCleanly) {
    const ModeCase cases[] = {
        {{}, "", "Nimbrosta Updater", 430, 275, true, ""},
        {{"--launcher"}, "", "Nimbrosta Launcher", 900, 450, true, ""},
        {{"--ip", "127.0.0.1", "--port", "5555", "--token", "tok"}, "", "Nimbrosta", 1280, 720, false,
         "Connecting to:127.0.0.1 token of 3 characters", false},
        {{"--access_token", "abcdef"}, "", "Nimbrosta", 1280, 720, false, "access token of 6 characters"},
        {{}, "[General]\nIp=10.0.0.5\nToken=abc\n", "Nimbrosta", 1280, 720, false,
         "Connecting to:10.0.0.5 token of 3 characters", false},
    };
    for (const ModeCase& c : cases) {
        SCOPED_TRACE(c.title + (c.args.empty() ? std::string() : " " + c.args[0]));
        checkMode(c);
    }
}

TEST(NimbrostaClient, AParseErrorIsReportedAndTheUpdaterStarts) {
    x11test::Connection x;
    clienttest::Installation app;
    ASSERT_TRUE(app.start({"--bogus"}));
    const Window w = x11test::waitForWindow(x.get(), "Nimbrosta Updater");
    ASSERT_NE(w, 0u);
    x11test::sendDeleteWindow(x.get(), w);
    EXPECT_EQ(app.wait(), 0);
    EXPECT_EQ(app.err(), "unrecognised option '--bogus'\n");
}

TEST(NimbrostaClient, HelpVersionAndFirewallEndWithoutAWindow) {
    clienttest::Installation app;
    EXPECT_EQ(app.run({"--version", "--launcher"}), 0);
    const std::string out = app.out();
    EXPECT_EQ(out.substr(out.size() - 28), "Version is 0.0.33-2-gc4ebe4b") << out;
    EXPECT_EQ(app.run({"--help", "--crash", "test"}), 0);
    EXPECT_NE(app.out().find("Help screen"), std::string::npos);
    EXPECT_NE(app.out().find("(=6666)"), std::string::npos);
    testsupport::TempDir home;
    testsupport::ScopedEnv data("XDG_DATA_HOME", home.path().c_str());
    EXPECT_EQ(app.run({"--firewall"}), 0);
    EXPECT_EQ(testsupport::readFile(home.file("Nimbrosta/firewall_authorized_apps.txt")),
              "1\tNimbrosta Client\t" + app.exe + "\n");
}

TEST(NimbrostaClient, TheUiScaleFollowsTheDesktopDpiWhenTheSettingIsZero) {
    ScopedXResources dpi("Xft.dpi:\t120\n");
    ASSERT_TRUE(dpi.ok()) << "xrdb is needed";
    checkMode({{"--access_token", "t"}, "[General]\nScale=0\n", "Nimbrosta", 1600, 900, false, ""});
    checkMode({{"--launcher"}, "[General]\nScale=0\n", "Nimbrosta Launcher", 1125, 562, true, ""});
    checkMode({{"--launcher"}, "[General]\nScale=1.5\n", "Nimbrosta Launcher", 1350, 675, true, ""});
}
