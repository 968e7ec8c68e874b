// The client as a process under Xvfb: each mode opens its window with the right size and
// title and ends cleanly when the window is closed, or when a signal from outside asks it
// to end; the UI scale follows Xft.dpi.

#include <gtest/gtest.h>

#include <X11/keysym.h>
#include <csignal>
#include <filesystem>

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

namespace {

// The remembered login's cipher: RC4 with the launcher's key, both ways.
std::string rc4(const std::string& data) {
    const std::string key("Qm7!pZr4&Lw9kTx", 16);
    unsigned char box[256];
    for (int i = 0; i < 256; ++i) box[i] = static_cast<unsigned char>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + box[i] + static_cast<unsigned char>(key[static_cast<std::size_t>(i) % key.size()])) & 0xFF;
        std::swap(box[i], box[j]);
    }
    std::string out = data;
    for (std::size_t n = 0, i = 0, j = 0; n < out.size(); ++n) {
        i = (i + 1) & 0xFF;
        j = (j + box[i]) & 0xFF;
        std::swap(box[i], box[j]);
        out[n] = static_cast<char>(out[n] ^ box[(box[i] + box[j]) & 0xFF]);
    }
    return out;
}

}  // namespace

// A logout, `kill` or Ctrl+C in the terminal ends the client the way its close button does:
// exit status 0, no crash report, and the launcher keeps what its sign-in boxes held, as it
// does when its window is closed. The crash handler is installed (the sender lies in the
// lib folder), so a signal it took for a crash would leave a report.
TEST(NimbrostaClient, ASignalFromOutsideEndsEveryModeAsItsCloseButtonDoes) {
    struct Case {
        std::vector<std::string> args;
        std::string title;
        int signal;
        bool typesLogin;
    };
    const Case cases[] = {
        {{}, "Nimbrosta Updater", SIGTERM, false},
        {{"--launcher"}, "Nimbrosta Launcher", SIGTERM, true},
        {{"--launcher"}, "Nimbrosta Launcher", SIGINT, false},
        {{"--access_token", "abcdef"}, "Nimbrosta", SIGTERM, false},
        // Direct mode sits in the stream screen, which refuses the close button's close.
        {{"--ip", "127.0.0.1", "--port", "5555", "--token", "tok"}, "Nimbrosta", SIGTERM, false},
        {{"--ip", "127.0.0.1", "--port", "5555", "--token", "tok"}, "Nimbrosta", SIGINT, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title + (c.args.empty() ? std::string() : " " + c.args[0]) + " signal " + std::to_string(c.signal));
        x11test::Connection x;
        ASSERT_TRUE(x);
        clienttest::Installation app;
        for (const char* file : {"CrashReportSender", "crashreport_lang.ini"})
            std::filesystem::copy_file(std::string(NIMBROSTA_LIB_DIR) + "/" + file, app.lib + "/" + file);
        testsupport::TempDir home;
        testsupport::ScopedEnv state("XDG_STATE_HOME", home.file("state").c_str());
        testsupport::ScopedEnv data("XDG_DATA_HOME", home.file("data").c_str());
        const std::string userData = home.file("data/Nimbrosta/userdata.dat");
        if (c.typesLogin) {
            std::filesystem::create_directories(home.file("data/Nimbrosta"));
            writeFile(userData, rc4("alice\tpw"));
        }
        ASSERT_TRUE(app.start(c.args));
        const Window w = x11test::waitForWindow(x.get(), c.title);
        ASSERT_NE(w, 0u) << app.err();
        if (c.typesLogin) {
            // The sign-in screen shows the remembered login with its box ticked; the user
            // adds to what has the focus.
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            ASSERT_EQ(std::system(("xdotool windowfocus --sync " + std::to_string(w) + " type --delay 20 xyz").c_str()), 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        }
        ASSERT_EQ(::kill(app.program.pid(), c.signal), 0);
        EXPECT_EQ(app.wait(), 0) << app.out() << app.err();
        EXPECT_FALSE(std::filesystem::exists(home.file("state/CrashReport/UnsentCrashReports/NimbrostaClient_0.0.33-2-gc4ebe4b/"
                                                       "NimbrostaClient_0.0.33-2-gc4ebe4b")))
            << "no crash report";
        EXPECT_EQ(app.err().find("crash report"), std::string::npos) << app.err();
        if (c.typesLogin) {
            const std::string remembered = rc4(testsupport::readFile(userData));
            EXPECT_NE(remembered, "alice\tpw") << "written as the boxes held it";
            EXPECT_EQ(remembered.size(), std::string("alice\tpwxyz").size()) << remembered;
            EXPECT_NE(remembered.find("xyz"), std::string::npos) << remembered;
        }
    }
}
