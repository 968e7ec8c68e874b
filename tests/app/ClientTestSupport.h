#pragma once
// Running the client: a copy of the executable in a scratch program folder, started as a
// process, and start-up functions run in a forked child so that the process-wide settings
// and language stores start fresh for every case.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "TestSupport.h"
#include "platform/Process.h"

namespace clienttest {

// A program folder with the executable and its lib folder.
struct Installation {
    testsupport::TempDir dir;
    std::string exe = dir.file("bin/NimbrostaClient");
    std::string lib = dir.file("bin/lib");
    std::string outFile = dir.file("stdout");
    std::string errFile = dir.file("stderr");
    platform::ProcessHandle process;

    Installation() {
        std::filesystem::create_directories(lib);
        std::filesystem::copy_file(std::string(NIMBROSTA_BIN_DIR) + "/NimbrostaClient", exe);
        std::filesystem::copy_file(std::string(NIMBROSTA_LIB_DIR) + "/lang_en.ini", lib + "/lang_en.ini");
    }
    ~Installation() {
        if (process.pid > 0 && !process.exited) {
            platform::terminateProcess(process);
            platform::waitForExit(process, 5000);
        }
        platform::releaseProcess(process);
    }

    // Starts the client with args, its output going to outFile and errFile.
    bool start(const std::vector<std::string>& args) {
        std::vector<std::string> shArgs = {"-c", "\"$0\" \"$@\" > \"" + outFile + "\" 2> \"" + errFile + "\"", exe};
        shArgs.insert(shArgs.end(), args.begin(), args.end());
        return platform::spawnProcess("/bin/sh", shArgs, process) == 0;
    }

    // Waits for the end; the exit status, or -1 when it did not end in time.
    int wait(int timeoutMs = 30000) {
        if (!platform::waitForExit(process, timeoutMs)) return -1;
        return process.exitStatus;
    }

    int run(const std::vector<std::string>& args) {
        if (!start(args)) return -1;
        return wait();
    }

    std::string out() const { return testsupport::readFile(outFile); }
    std::string err() const { return testsupport::readFile(errFile); }
};

struct ChildResult {
    int status = -1;  // exit code, or 128 + signal
    std::string out;
    std::string err;
};

// Runs fn in a forked child with standard output and error captured; its result is the
// child's exit code.
inline ChildResult inChild(const std::function<int()>& fn) {
    testsupport::TempDir dir;
    const std::string outFile = dir.file("out"), errFile = dir.file("err");
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t pid = fork();
    if (pid == 0) {
        freopen(outFile.c_str(), "w", stdout);
        freopen(errFile.c_str(), "w", stderr);
        const int rc = fn();
        std::fflush(stdout);
        std::fflush(stderr);
        _exit(rc);
    }
    ChildResult r;
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return r;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.out = testsupport::readFile(outFile);
    r.err = testsupport::readFile(errFile);
    return r;
}

}  // namespace clienttest
