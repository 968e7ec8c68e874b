// Start-up without windows: the command line and the modes it gives, the settings it
// writes, the firewall rule, real-time priority, and a start without a display.

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <iostream>

#include "ClientTestSupport.h"
#include "app/Startup.h"
#include "core/ConfigStore.h"
#include "core/Folders.h"
#include "core/LanguageStore.h"

using clienttest::inChild;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

// Runs parseCommandLine in a child over a config.ini with the given content and prints
// what it left in the settings and the language store.
clienttest::ChildResult parse(std::vector<std::string> args, const std::string& config = "") {
    testsupport::TempDir dir;
    writeFile(dir.file("config.ini"), "[System]\nConfigVersion=Tz4pLw8vRb\n" + config);
    writeFile(dir.file("lang_en.ini"), "player_app_header=Nimbrosta\n");
    return inChild([&] {
        ConfigStore::instance().setPathAndLoad(dir.file("config.ini"));
        LanguageStore::instance().setFolder(dir.path());
        LanguageStore::instance().load("en");
        std::vector<char*> argv;
        static char name[] = "NimbrostaClient";
        argv.push_back(name);
        for (auto& a : args) argv.push_back(&a[0]);
        const int mode = parseCommandLine(static_cast<int>(argv.size()), argv.data());
        std::cout.flush();
        ConfigStore& c = ConfigStore::instance();
        std::printf("|mode=%d ip=%s port=%s token=%s access=%s os=%s lang=%s code=%s", mode,
                    c.getString("General.Ip", "-").c_str(), c.getString("General.Port", "-").c_str(),
                    c.getString("User.Token", "-").c_str(), c.getString("User.AccessToken", "-").c_str(),
                    c.getString("User.OsName", "-").c_str(), c.getString("User.Lang", "-").c_str(),
                    LanguageStore::instance().currentCode().c_str());
        return mode;
    });
}

std::string stateOf(const clienttest::ChildResult& r) {
    const auto bar = r.out.rfind('|');
    return bar == std::string::npos ? r.out : r.out.substr(bar + 1);
}

}  // namespace

TEST(parseCommandLine, ModesAndTheConnectionSettingsTheyLeave) {
    struct Case {
        std::vector<std::string> args;
        std::string config;
        int mode;
        std::string state;
    };
    const Case cases[] = {
        {{}, "", 1, "mode=1 ip=- port=- token=- access=- os=- lang=- code=en"},
        {{}, "[General]\nIp=10.0.0.5\nToken=abc\n", 3,
         "mode=3 ip=10.0.0.5 port=6666 token=abc access= os=Ubuntu lang=en code=en"},
        {{"--access_token", "X"}, "", 3, "mode=3 ip= port=6666 token= access=X os=Ubuntu lang=en code=en"},
        {{"--ip", "1.2.3.4", "--token", "t"}, "", 3,
         "mode=3 ip=1.2.3.4 port=6666 token=t access= os=Ubuntu lang=en code=en"},
        {{"--ip=1.2.3.4", "--token=t", "--port", "7000", "--mode", "Windows", "--lang", "de"}, "", 3,
         "mode=3 ip=1.2.3.4 port=7000 token=t access= os=Windows lang=de code=de"},
        // An empty port and none in config.ini: only an access token would make a player.
        {{"--ip", "1.2.3.4", "--token", "t", "--port", ""}, "", 1, "mode=1 ip=- port=- token=- access=- os=- lang=- code=en"},
        {{"--ip", "1.2.3.4", "--token", "t", "--port", ""}, "[General]\nPort=7001\n", 3,
         "mode=3 ip=1.2.3.4 port=7001 token=t access= os=Ubuntu lang=en code=en"},
        {{"--launcher", "--firewall"}, "", 2, "mode=2 ip=- port=- token=- access=- os=- lang=- code=en"},
        {{"--launch"}, "", 2, "mode=2 ip=- port=- token=- access=- os=- lang=- code=en"},
        {{"--crash", "other"}, "", 1, "mode=1 ip=- port=- token=- access=- os=- lang=- code=en"},
        // The settings file wins over the command line when both hold a key.
        {{"--ip", "1.1.1.1", "--token", "t"}, "[General]\nIp=2.2.2.2\n", 3,
         "mode=3 ip=2.2.2.2 port=6666 token=t access= os=Ubuntu lang=en code=en"},
    };
    for (const Case& c : cases) {
        const auto r = parse(c.args, c.config);
        std::string joined;
        for (const auto& a : c.args) joined += a + " ";
        EXPECT_EQ(r.status, c.mode) << joined;
        EXPECT_EQ(stateOf(r), c.state) << joined;
        EXPECT_EQ(r.err, "") << joined;
    }
}

TEST(parseCommandLine, ParseErrorsGoToStandardErrorAndGiveTheUpdater) {
    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    const Case cases[] = {
        {{"--bogus"}, "unrecognised option '--bogus'\n"},
        {{"--l"}, "option '--l' is ambiguous and matches '--lang', and '--launcher'\n"},
        {{"--ip"}, "the required argument for option '--ip' is missing\n"},
        {{"--version=1"}, "option '--version' does not take any arguments\n"},
        {{"--port="}, "the argument for option '--port' should follow immediately after the equal sign\n"},
        {{"stray"}, "too many positional options have been specified on the command line\n"},
        {{"--ip", "1.2.3.4", "--token", "t", "stray"},
         "too many positional options have been specified on the command line\n"},
    };
    for (const Case& c : cases) {
        const auto r = parse(c.args);
        EXPECT_EQ(r.status, 1) << c.args[0];
        EXPECT_EQ(r.err, c.err) << c.args[0];
        EXPECT_EQ(stateOf(r), "mode=1 ip=- port=- token=- access=- os=- lang=- code=en") << c.args[0];
    }
}

TEST(parseCommandLine, HelpAndVersionPrintAndOpenNoWindow) {
    auto r = parse({"--version", "--launcher"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.substr(0, r.out.rfind('|')), "Version is 0.0.33-2-gc4ebe4b");

    for (const char* help : {"--help", "-h", "--he"}) {
        r = parse({help, "--crash", "test", "--launcher"});
        EXPECT_EQ(r.status, 0) << help << " (the crash option is not even read)";
        const std::string text = r.out.substr(0, r.out.rfind('|'));
        EXPECT_EQ(text.rfind("Options:\n", 0), 0u) << text;
        for (const char* part : {"-h [ --help ]", "Help screen", "--port arg (=6666)", "Streamer port",
                                 "--mode arg (=Ubuntu)", "--crash arg", "Crash sender test", "Add firewall rule"})
            EXPECT_NE(text.find(part), std::string::npos) << part;
        EXPECT_EQ(text.substr(text.size() - 2), "\n\n");
    }
}

TEST(parseCommandLine, CrashTestFaultsTheProcessAtOnce) {
    const auto r = parse({"--crash", "test", "--version"});
#if defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer catches the fault itself and ends the child with its own code.
    EXPECT_NE(r.status, 0);
#else
    EXPECT_EQ(r.status, 128 + SIGSEGV);
#endif
    EXPECT_EQ(r.out, "");
}

TEST(parseCommandLine, FirewallAddsTheExecutableOnceAndOpensNoWindow) {
    testsupport::TempDir home;
    testsupport::ScopedEnv data("XDG_DATA_HOME", home.path().c_str());
    const std::string list = home.file("Nimbrosta/firewall_authorized_apps.txt");
    for (int i = 0; i < 2; ++i) {
        const auto r = parse({"--firewall"});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
    }
    EXPECT_EQ(readFile(list), "1\tNimbrosta Client\t" + getModuleFilePath() + "\n");
}

TEST(applyRealtimePriority, UsesTheBackendOnlyWhenSetAndReportsTotalFailure) {
    struct Case {
        const char* setting;
        bool realtimeOk, highOk;
        int error;
        std::string out;
        int calls;
    };
    const Case cases[] = {
        {"0", false, false, 1, "", 0},
        {nullptr, false, false, 1, "", 0},
        {"1", true, false, 0, "", 1},
        {"1", false, true, 0, "", 2},
        {"1", false, false, 1, "Failed to enter real time mode 1\n", 2},
        {"1", false, false, 0, "", 2},
        {"yes", false, false, 1, "", 0},  // does not convert: off, with a level-50 line
    };
    for (const Case& c : cases) {
        testsupport::TempDir dir;
        const auto r = inChild([&] {
            ConfigStore::instance().setPathAndLoad(dir.file("config.ini"));
            if (c.setting) ConfigStore::instance().setString("General.RealtimePriority", c.setting, false);
            int calls = 0;
            PriorityBackend fake;
            fake.setRealtime = [&] { return ++calls, c.realtimeOk; };
            fake.setHigh = [&] { return ++calls, c.highOk; };
            fake.lastError = [&] { return c.error; };
            setPriorityBackend(fake);
            applyRealtimePriority();
            return calls;
        });
        const std::string setting = c.setting ? c.setting : "(none)";
        EXPECT_EQ(r.status, c.calls) << setting;
        if (setting == "yes") {
            EXPECT_NE(r.out.find("[E]"), std::string::npos) << r.out;
        } else {
            EXPECT_EQ(r.out, c.out) << setting;
        }
    }
}

TEST(NimbrostaClient, WithoutADisplayItEndsWithCodeOneAfterWritingTheStampedConfig) {
    testsupport::ScopedEnv noDisplay("DISPLAY", nullptr);
    testsupport::ScopedEnv noWayland("WAYLAND_DISPLAY", nullptr);
    clienttest::Installation app;
    writeFile(app.lib + "/config.ini", "[System]\nConfigVersion=1\n[General]\nIp=10.0.0.5\nToken=abc\n");
    EXPECT_EQ(app.run({"--access_token", "secret-token"}), 1);
    EXPECT_EQ(app.err(), "X11: The DISPLAY environment variable is missing\n");
    EXPECT_EQ(readFile(app.lib + "/config.ini"), "[System]\nConfigVersion=Tz4pLw8vRb\n");
    // The arguments are not echoed: the access token must not reach the log.
    EXPECT_EQ(app.out().find("secret-token"), std::string::npos) << app.out();
}

TEST(NimbrostaClient, HelpAndVersionAnswerWithoutADisplay) {
    testsupport::ScopedEnv noDisplay("DISPLAY", nullptr);
    testsupport::ScopedEnv noWayland("WAYLAND_DISPLAY", nullptr);
    struct Case {
        std::vector<std::string> args;
        std::string outStart;
    };
    const Case cases[] = {
        {{"--help"}, "Options:\n"},
        {{"-h", "--crash", "test"}, "Options:\n"},
        {{"--launcher", "--he"}, "Options:\n"},
        {{"--version"}, "Version is 0.0.33-2-gc4ebe4b"},
        {{"--version", "--launcher"}, "Version is 0.0.33-2-gc4ebe4b"},
    };
    for (const Case& c : cases) {
        clienttest::Installation app;
        EXPECT_EQ(app.run(c.args), 0) << c.args[0];
        EXPECT_EQ(app.out().rfind(c.outStart, 0), 0u) << app.out();
        EXPECT_EQ(app.err(), "") << c.args[0];
    }
    // Anything else starts the windowing library first, as before: a parse error too.
    clienttest::Installation app;
    EXPECT_EQ(app.run({"--version", "stray"}), 1);
    EXPECT_EQ(app.err(), "X11: The DISPLAY environment variable is missing\n");
    EXPECT_EQ(app.out().find("Version is"), std::string::npos) << app.out();
}

TEST(NimbrostaClient, WithoutADisplayTheElevatedFirewallChildStillAddsTheRule) {
    // pkexec starts the child with a reset environment: no display.
    testsupport::ScopedEnv noDisplay("DISPLAY", nullptr);
    testsupport::ScopedEnv noWayland("WAYLAND_DISPLAY", nullptr);
    testsupport::TempDir home;
    testsupport::ScopedEnv data("XDG_DATA_HOME", home.path().c_str());
    clienttest::Installation app;
    EXPECT_EQ(app.run({"--firewall"}), 0);
    EXPECT_EQ(readFile(home.file("Nimbrosta/firewall_authorized_apps.txt")), "1\tNimbrosta Client\t" + app.exe + "\n");
    // Any other command line still ends with code one without a display (--help and
    // --version excepted).
    EXPECT_EQ(app.run({"--firewall", "--launcher"}), 1);
}
