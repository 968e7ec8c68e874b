#include "platform/Process.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <fcntl.h>

#include "TestSupport.h"

TEST(Process, ExitStatusAndWatching) {
    struct Case { std::vector<std::string> args; int status; };
    const Case cases[] = {
        {{"-c", "exit 0"}, 0},
        {{"-c", "exit 3"}, 3},
        {{"-c", "kill -TERM $$"}, 128 + 15},
    };
    for (const auto& c : cases) {
        platform::ProcessHandle p;
        ASSERT_EQ(platform::spawnProcess("/bin/sh", c.args, p), 0);
        EXPECT_GT(p.pid, 0);
        EXPECT_TRUE(platform::waitForExit(p, 10000));
        EXPECT_TRUE(p.exited);
        EXPECT_EQ(p.exitStatus, c.status) << c.args[1];
        EXPECT_FALSE(platform::isRunning(p));
        platform::releaseProcess(p);
    }
}

TEST(Process, RunningChildCanBeWatchedAndKilled) {
    platform::ProcessHandle p;
    ASSERT_EQ(platform::spawnProcess("/bin/sleep", {"30"}, p), 0);
    EXPECT_TRUE(platform::isRunning(p));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(platform::waitForExit(p, 50));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(40));
    EXPECT_TRUE(platform::terminateProcess(p));
    EXPECT_TRUE(platform::waitForExit(p, 10000));
    EXPECT_EQ(p.exitStatus, 128 + 9);
    EXPECT_FALSE(platform::terminateProcess(p)) << "already reaped";
    platform::releaseProcess(p);
    EXPECT_EQ(p.pidfd, -1);
}

TEST(Process, StartFailuresReportErrno) {
    platform::ProcessHandle p;
    EXPECT_EQ(platform::spawnProcess("/nonexistent/program", {}, p), ENOENT);
    EXPECT_EQ(p.pid, -1);
    EXPECT_EQ(platform::spawnProgram("nimbrosta-no-such-program", {}, p), ENOENT);
}

TEST(Process, ChildGetsOnlyTheStandardDescriptors) {
    testsupport::TempDir dir;
    const int leaked = ::open("/dev/null", O_RDONLY);  // not close-on-exec
    ASSERT_GE(leaked, 3);
    platform::ProcessHandle p;
    const std::string out = dir.file("fds");
    ASSERT_EQ(platform::spawnProcess("/bin/sh", {"-c", "ls /proc/self/fd > \"$0\"", out}, p), 0);
    ASSERT_TRUE(platform::waitForExit(p, 10000));
    platform::releaseProcess(p);
    ::close(leaked);
    const std::string listing = testsupport::readFile(out);
    EXPECT_EQ(listing.find(std::to_string(leaked) + "\n"), std::string::npos) << listing;
}

TEST(Process, PathSearchFindsPrograms) {
    platform::ProcessHandle p;
    ASSERT_EQ(platform::spawnProgram("true", {}, p), 0);
    EXPECT_TRUE(platform::waitForExit(p, -1));
    EXPECT_EQ(p.exitStatus, 0);
    platform::releaseProcess(p);
}
