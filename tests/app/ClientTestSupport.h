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

#include "ProgramRun.h"
#include "TestSupport.h"

namespace clienttest {

// A program folder with the executable and its lib folder.
struct Installation {
    testsupport::TempDir dir;
    std::string exe = dir.file("bin/NimbrostaClient");
    std::string lib = dir.file("bin/lib");
    testsupport::ProgramRun program;

    Installation() {
        std::filesystem::create_directories(lib);
        std::filesystem::copy_file(std::string(NIMBROSTA_BIN_DIR) + "/NimbrostaClient", exe);
        std::filesystem::copy_file(std::string(NIMBROSTA_LIB_DIR) + "/lang_en.ini", lib + "/lang_en.ini");
    }

    // Starts the client with args, its output going to files.
    bool start(const std::vector<std::string>& args) { return program.start(exe, args); }

    // Waits for the end; the exit status, or -1 when it did not end in time.
    int wait(int timeoutMs = 30000) { return program.wait(timeoutMs); }

    int run(const std::vector<std::string>& args) {
        if (!start(args)) return -1;
        return wait();
    }

    std::string out() const { return program.out(); }
    std::string err() const { return program.err(); }
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
