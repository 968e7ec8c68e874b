#pragma once
// Helpers of the crash reporter's tests: a sender folder (a sender program and its language
// file), the test child that crashes, descriptions the stand-in sender saved, and the
// shared names a crash may leave in /dev/shm.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "CrashNames.h"
#include "TestSupport.h"
#include "crashreport/CrashDescription.h"
#include "platform/Process.h"

namespace crashtest {

// AddressSanitizer owns the fault signals, the allocation limits and the stack checks that
// real crashes go through: sanitizer builds skip the tests that crash.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

inline std::string stubSender() { return std::string(NIMBROSTA_TEST_BIN_DIR) + "/crashreport_stub_sender"; }
inline std::string realSender() { return std::string(NIMBROSTA_LIB_DIR) + "/CrashReportSender"; }
inline std::string childProgram() { return std::string(NIMBROSTA_TEST_BIN_DIR) + "/crashreport_test_child"; }

// A folder with "CrashReportSender" (a link to the given program) and a language file.
struct SenderFolder {
    testsupport::TempDir dir;
    explicit SenderFolder(const std::string& sender = stubSender(), const std::string& version = "1403") {
        std::filesystem::create_symlink(sender, dir.file("CrashReportSender"));
        testsupport::writeFile(dir.file("crashreport_lang.ini"), "[Settings]\nCrashReportVersion=" + version + "\n");
    }
    const std::string& path() const { return dir.path(); }
};

struct ChildRun {
    int status = -1;  // exit code, or 128 + signal
    pid_t pid = 0;
    std::string out;
    std::string err;
};

// Runs the test child with the arguments after the two folders and waits for it.
inline ChildRun runChild(const std::string& senderFolder, const std::string& reportFolder,
                         const std::vector<std::string>& args, int timeoutMs = 20000) {
    testsupport::TempDir io;
    std::vector<std::string> shArgs = {"-c", "exec \"$0\" \"$@\" > \"" + io.file("out") + "\" 2> \"" + io.file("err") + "\"",
                                       childProgram(), senderFolder, reportFolder};
    shArgs.insert(shArgs.end(), args.begin(), args.end());
    platform::ProcessHandle process;
    ChildRun run;
    if (platform::spawnProcess("/bin/sh", shArgs, process) != 0) return run;
    run.pid = process.pid;
    if (!platform::waitForExit(process, timeoutMs)) {
        platform::terminateProcess(process);
        platform::waitForExit(process, 5000);
    } else {
        run.status = process.exitStatus;
    }
    platform::releaseProcess(process);
    run.out = testsupport::readFile(io.file("out"));
    run.err = testsupport::readFile(io.file("err"));
    return run;
}

// Senders outlive the crashed child; with the test process as their subreaper they become
// its children once the child has gone. This waits until every child of the test process
// but the given ones has ended, and reaps them.
inline void becomeSubreaper() { prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0); }
inline std::vector<pid_t> childrenOfThisProcess() {
    std::vector<pid_t> children;
    const std::string self = std::to_string(getpid());
    if (DIR* d = opendir("/proc")) {
        while (const dirent* e = readdir(d)) {
            const std::string stat = testsupport::readFile(std::string("/proc/") + e->d_name + "/stat");
            const auto paren = stat.rfind(')');
            if (paren == std::string::npos) continue;
            std::istringstream fields(stat.substr(paren + 2));
            std::string state, parent;
            fields >> state >> parent;
            if (parent == self) children.push_back(static_cast<pid_t>(std::stol(e->d_name)));
        }
        closedir(d);
    }
    return children;
}
inline bool waitForOrphans(int timeoutMs, const std::vector<pid_t>& keep = {}) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        bool running = false;
        for (const pid_t child : childrenOfThisProcess()) {
            if (std::find(keep.begin(), keep.end(), child) != keep.end()) continue;
            if (waitpid(child, nullptr, WNOHANG) == 0) running = true;
        }
        if (!running) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// The descriptions the stand-in sender saved, by block name.
struct SavedDescription {
    std::string name;
    std::string bytes;
    crashreport::CrashDescriptionReader reader() const {
        return crashreport::CrashDescriptionReader(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
};
inline std::vector<SavedDescription> savedDescriptions(const std::string& folder) {
    std::vector<SavedDescription> saved;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string file = entry.path().filename().string();
        if (file.size() > 5 && file.compare(file.size() - 5, 5, ".desc") == 0)
            saved.push_back({file.substr(0, file.size() - 5), testsupport::readFile(entry.path().string())});
    }
    return saved;
}

}  // namespace crashtest
