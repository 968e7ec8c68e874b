// Runs a copy of the client executable in a scratch folder and checks what start-up
// leaves behind.

#include <gtest/gtest.h>

#include <filesystem>

#include "../core/TestSupport.h"
#include "platform/Process.h"

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::writeFile;

namespace {
const std::string kStampFile = "[System]\nConfigVersion=Tz4pLw8vRb\n";

// A program folder with the executable and its lib folder.
struct Installation {
    testsupport::TempDir dir;
    std::string exe = dir.file("bin/NimbrostaClient");
    std::string lib = dir.file("bin/lib");

    Installation() {
        fs::create_directories(lib);
        fs::copy_file(std::string(NIMBROSTA_BIN_DIR) + "/NimbrostaClient", exe);
    }

    // Runs the client with args; returns its exit status and fills its standard output.
    int run(const std::vector<std::string>& args, std::string& out) {
        const std::string outFile = dir.file("stdout");
        std::vector<std::string> shArgs = {"-c", "\"$0\" \"$@\" > \"" + outFile + "\"", exe};
        shArgs.insert(shArgs.end(), args.begin(), args.end());
        platform::ProcessHandle p;
        if (platform::spawnProcess("/bin/sh", shArgs, p) != 0) return -1;
        platform::waitForExit(p, 30000);
        platform::releaseProcess(p);
        out = readFile(outFile);
        return p.exitStatus;
    }
};
}  // namespace

TEST(NimbrostaClient, FirstStartWritesTheStampedConfig) {
    Installation app;
    std::string out;
    EXPECT_EQ(app.run({"--launcher", "a b"}, out), 0);
    EXPECT_EQ(readFile(app.lib + "/config.ini"), kStampFile);
    // The arguments are echoed as they arrived, then the log lines follow.
    EXPECT_EQ(out.rfind(app.exe + "--launchera b[I][", 0), 0u) << out;
    EXPECT_NE(out.find("settings " + app.lib + "/config.ini, language en\n"), std::string::npos) << out;
}

TEST(NimbrostaClient, ForeignConfigIsResetAndMatchingOneKept) {
    Installation app;
    writeFile(app.lib + "/config.ini", "[System]\nConfigVersion=1\n[General]\nIp=10.0.0.5\nToken=abc\n");
    std::string out;
    EXPECT_EQ(app.run({}, out), 0);
    EXPECT_EQ(readFile(app.lib + "/config.ini"), kStampFile);

    const std::string kept = kStampFile + "[General]\nIp=10.0.0.5\n";
    writeFile(app.lib + "/config.ini", kept);
    EXPECT_EQ(app.run({}, out), 0);
    EXPECT_EQ(readFile(app.lib + "/config.ini"), kept);
}
