// Player mode as a user meets it: the real executable under Xvfb against the stand-in web
// service. With an access token it fetches the account and draws its window; a token the
// service refuses opens the error popup, whose OK ends the player; the direct mode opens
// the stream screen at once. Every run ends cleanly on close with exit code 0, and no
// secret reaches the log. Screenshots go to build/artifacts/.

#include "PlayerProcessTestSupport.h"

#include <X11/keysym.h>
#include <signal.h>

#include <filesystem>

#include "benchmark/BenchmarkTestSupport.h"

using playertest::accessTokenOf;
using playertest::colourCount;
using playertest::saveScreenshot;

namespace {

std::vector<std::string> paths(StubService& stub) {
    std::vector<std::string> out;
    for (const LoggedRequest& r : stub.log()) out.push_back(r.path);
    return out;
}

}  // namespace

namespace fixtures {
using PlayerMode = playertest::PlayerModeFixture;

TEST_F(PlayerMode, WithAnAccessTokenTheAccountIsFetchedAndTheWindowEndsOnClose) {
    const std::string token = accessTokenOf(*stub, "user@example.com");
    ASSERT_FALSE(token.empty());
    clienttest::Installation app;
    ASSERT_TRUE(app.start({"--access_token", token}));
    const Window w = x11test::waitForWindow(x.get(), "Nimbrosta");
    ASSERT_NE(w, 0u) << app.err();
    ASSERT_TRUE(x11test::waitUntil([&] { return paths(*stub).size() >= 3; }));
    EXPECT_EQ(paths(*stub), (std::vector<std::string>{"/api/v1/get_tip.json", "/api/v1/user_active.json",
                                                      "/client/get_client_info.json"}));

    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const x11test::Pixels shot = x11test::capture(x.get(), w);
    saveScreenshot(shot, "player-mode-first-start");
    EXPECT_EQ(shot.width, 1280);
    EXPECT_EQ(shot.height, 720);

    x11test::sendDeleteWindow(x.get(), w);
    EXPECT_EQ(app.wait(), 0);
    EXPECT_EQ(app.err(), "");
    const std::string out = app.out();
    EXPECT_NE(out.find("access token of " + std::to_string(token.size()) + " characters"), std::string::npos) << out;
    EXPECT_EQ(out.find(token), std::string::npos) << "the access token never reaches the log";
    EXPECT_EQ(out.find("Unhanded error"), std::string::npos) << out;
}

TEST_F(PlayerMode, ARefusedTokenOpensTheErrorPopupWhoseOkEndsThePlayer) {
    clienttest::Installation app;
    ASSERT_TRUE(app.start({"--access_token", "expired-token"}));
    const Window popup = x11test::waitForWindow(x.get(), "Nimbrosta Launcher");
    ASSERT_NE(popup, 0u) << app.out();
    // The popup builds its widgets on its first frame.
    x11test::Pixels shot;
    EXPECT_TRUE(x11test::waitUntil([&] {
        shot = x11test::capture(x.get(), popup);
        return colourCount(shot) > 2;
    })) << "caption, message and button are drawn";
    saveScreenshot(shot, "player-mode-web-error");

    // The popup's OK button, clicked as a user does.
    const std::string click = "xdotool mousemove --window " + std::to_string(popup) + " 191 137 click 1";
    ASSERT_EQ(std::system(click.c_str()), 0);
    EXPECT_EQ(app.wait(), 0);
    EXPECT_EQ(app.err(), "");
    const std::string out = app.out();
    EXPECT_NE(out.find("]: Unhanded error: Invalid token.\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("expired-token"), std::string::npos) << out;
}

TEST_F(PlayerMode, TheDirectModeOpensTheStreamScreenWhichKeepsTheWindowOnClose) {
    clienttest::Installation app;
    ASSERT_TRUE(app.start({"--ip", "127.0.0.1", "--port", "5555", "--token", "Zq7Secret"}));
    const Window w = x11test::waitForWindow(x.get(), "Nimbrosta");
    ASSERT_NE(w, 0u) << app.err();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    // Escape does not close the player.
    x11test::sendKey(x.get(), w, XK_Escape);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(x11test::findWindow(x.get(), "Nimbrosta"), w);
    // While streaming, the close button asks to end the session instead of closing.
    x11test::sendDeleteWindow(x.get(), w);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(x11test::findWindow(x.get(), "Nimbrosta"), w);
    EXPECT_EQ(app.wait(0), -1);
    app.program.end();
    const std::string out = app.out();
    EXPECT_NE(out.find("]: Connecting to:127.0.0.1 token of 9 characters\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("Zq7Secret"), std::string::npos) << out;
    EXPECT_TRUE(paths(*stub).empty()) << "no account, no web requests";
}

TEST_F(PlayerMode, APowerProfileSwitchedForTheStreamGoesBackWhenThePlayerIsInterrupted) {
    struct Case {
        const char* what;
        int signal;
        int exitCode;
    };
    // A request to end from outside ends the player as its close button does; an abort is a
    // crash, which the crash reporter ends.
    for (const Case& c : {Case{"SIGTERM", SIGTERM, 0}, Case{"SIGINT", SIGINT, 0}, Case{"SIGABRT", SIGABRT, 1}}) {
        SCOPED_TRACE(c.what);
        benchtest::FakePowerProfiles power("power-saver");
        clienttest::Installation app;
        // The signal ends the player through the crash reporter, with a stand-in sender.
        std::filesystem::copy_file(std::string(NIMBROSTA_TEST_BIN_DIR) + "/crashreport_stub_sender",
                                   app.lib + "/CrashReportSender");
        std::filesystem::copy_file(std::string(NIMBROSTA_LIB_DIR) + "/crashreport_lang.ini",
                                   app.lib + "/crashreport_lang.ini");
        // The stream screen switches as it enters, whether or not the streamer answers.
        ASSERT_TRUE(app.program.start(app.exe, {"--ip", "127.0.0.1", "--port", "5555", "--token", "t"},
                                      {"XDG_STATE_HOME=" + app.dir.file("state")}));
        ASSERT_TRUE(x11test::waitUntil([&] { return power.profile() == "performance"; })) << app.out();
        ::kill(app.program.pid(), c.signal);
        EXPECT_EQ(app.wait(), c.exitCode);
        EXPECT_EQ(power.profile(), "power-saver") << app.out();
        EXPECT_EQ(power.sets(), (std::vector<std::string>{"performance", "power-saver"}));
    }
}

}  // namespace fixtures
