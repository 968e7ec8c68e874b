// scripts/demo.sh as a new user meets it: its arguments are checked before anything is
// built, it builds only what the demo runs, and the stand-in streamer's request lines show
// in the terminal while the player streams from the stand-ins. A stand-in cmake first on
// PATH records the build it is asked for; the programs run are copies of the built ones.

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "ProgramRun.h"
#include "TestSupport.h"
#include "../shell/X11TestSupport.h"

namespace fs = std::filesystem;

namespace {

// A build folder holding copies of what the demo runs, and a cmake that only records.
struct DemoSetup {
    testsupport::TempDir dir;
    std::string build = dir.file("build");
    std::string cmakeLog = dir.file("cmake.log");
    testsupport::ProgramRun demo;

    DemoSetup() {
        fs::create_directories(dir.file("fake-bin"));
        const std::string cmake = dir.file("fake-bin/cmake");
        testsupport::writeFile(cmake, "#!/bin/sh\necho \"$*\" >> '" + cmakeLog + "'\n");
        chmod(cmake.c_str(), 0755);
        fs::create_directories(build + "/bin");
        for (const char* program :
             {"NimbrostaClient", "nimbrosta-stub-streamer", "nimbrosta-rtsp-server", "nimbrosta-stub-service"})
            fs::copy_file(std::string(NIMBROSTA_BIN_DIR) + "/" + program, build + "/bin/" + program);
        fs::copy(NIMBROSTA_LIB_DIR, build + "/bin/lib", fs::copy_options::recursive);
        fs::remove(build + "/bin/lib/config.ini");
    }

    bool start(const std::vector<std::string>& args) {
        std::vector<std::string> scriptArgs = {std::string(NIMBROSTA_SOURCE_DIR) + "/scripts/demo.sh"};
        scriptArgs.insert(scriptArgs.end(), args.begin(), args.end());
        const char* path = std::getenv("PATH");
        return demo.start("/bin/bash", scriptArgs,
                          {"PATH=" + dir.file("fake-bin") + ":" + (path ? path : ""), "BUILD_DIR=" + build});
    }
    int wait(int timeoutMs = 30000) { return demo.wait(timeoutMs); }
    std::string out() const { return demo.out(); }
    std::string err() const { return demo.err(); }
    std::string cmakeCalls() const { return fs::exists(cmakeLog) ? testsupport::readFile(cmakeLog) : ""; }
};

}  // namespace

TEST(DemoScript, ChecksItsArgumentsBeforeBuilding) {
    const std::string usage = "usage: bash scripts/demo.sh [player|updater|launcher|-- ARGS]\n";
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string out, err;
    };
    const Case cases[] = {
        {{"bogus"}, 2, "", usage},
        {{"all"}, 2, "", usage},
        {{""}, 2, "", usage},
        {{"player", "extra"}, 2, "", usage},
        {{"launcher", "--ip"}, 2, "", usage},
        {{"--help"}, 0, usage, ""},
    };
    for (const Case& c : cases) {
        DemoSetup demo;
        ASSERT_TRUE(demo.start(c.args));
        EXPECT_EQ(demo.wait(), c.status) << c.args[0];
        EXPECT_EQ(demo.out(), c.out) << c.args[0];
        EXPECT_EQ(demo.err(), c.err) << c.args[0];
        EXPECT_EQ(demo.cmakeCalls(), "") << c.args[0] << ": nothing may be built";
    }
}

TEST(DemoScript, BuildsWhatThePlayerDemoRunsAndShowsTheStreamersRequests) {
    x11test::Connection x;
    ASSERT_TRUE(x);
    DemoSetup demo;
    ASSERT_TRUE(demo.start({"player"}));

    std::string port;
    ASSERT_TRUE(x11test::waitUntil(
        [&] {
            const std::string out = demo.out();
            const std::string head = "stand-in streamer on 127.0.0.1:";
            const auto at = out.find(head);
            if (at == std::string::npos) return false;
            port = out.substr(at + head.size(), out.find(';', at) - at - head.size());
            return true;
        },
        60000))
        << demo.out() << demo.err();
    EXPECT_NE(demo.out().find("A first build takes a few minutes"), std::string::npos) << demo.out();
    // Only the client, the stand-ins and the render plug-in are built.
    const std::string calls = demo.cmakeCalls();
    EXPECT_NE(calls.find("--build " + demo.build + " -j "), std::string::npos) << calls;
    EXPECT_NE(calls.find(" --target NimbrostaClient --target nimbrosta-stub-streamer --target nimbrosta-rtsp-server"
                         " --target render-ffmpeg --target nimbrosta-stub-service\n"),
              std::string::npos)
        << calls;
    EXPECT_EQ(std::count(calls.begin(), calls.end(), '\n'), 2) << "one configure, one build:\n" << calls;

    // The player connects and asks the streamer for the stream, which the RTSP stand-in plays.
    EXPECT_TRUE(x11test::waitUntil([&] { return demo.out().find(" STREAM_INITIATE\n") != std::string::npos; }, 30000))
        << demo.out();
    const Window w = x11test::waitForWindow(x.get(), "Nimbrosta");
    ASSERT_NE(w, 0u) << demo.err();
    // While it streams, the close button asks to end the session; the player is ended here
    // instead, and the script then stops its stand-ins and ends.
    const long pid = x11test::windowPid(x.get(), w);
    ASSERT_GT(pid, 0);
    // A crash report would go to the stand-in service, never to an outside address.
    const std::string upload = testsupport::environmentValue(pid_t(pid), "NIMBROSTA_CRASH_UPLOAD_URL");
    const std::string local = "https://127.0.0.1:";
    EXPECT_EQ(upload.rfind(local, 0), 0u) << upload;
    const std::size_t path = upload.find('/', local.size());
    ASSERT_NE(path, std::string::npos) << upload;
    EXPECT_EQ(upload.substr(path), "/dump_win");
    EXPECT_TRUE(testsupport::acceptsOnLoopback(std::stoi(upload.substr(local.size(), path - local.size())))) << upload;
    EXPECT_FALSE(testsupport::environmentValue(pid_t(pid), "NIMBROSTA_EXTRA_ROOT_CA").empty()) << "its test CA is trusted";
    kill(pid_t(pid), SIGKILL);
    EXPECT_NE(demo.wait(), -1) << demo.err();
    EXPECT_NE(demo.out().find("streamer: [0] seq "), std::string::npos) << demo.out();
}
