#pragma once
// A program run as a user runs it: standard input empty, standard output and error going
// to files that are read back, the environment this process's with some entries replaced.
// A program still running when the object goes is killed.

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "TestSupport.h"

extern char** environ;

namespace testsupport {

class ProgramRun {
public:
    ProgramRun() = default;
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;
    ~ProgramRun() { end(); }

    // The process id of the last start; -1 when none started.
    pid_t pid() const { return pid_; }

    // Starts path with argv = { path, args... }; env entries ("NAME=value") replace or add
    // to this process's environment. A run started before is ended first; its output goes.
    // False when the program could not be started.
    bool start(const std::string& path, const std::vector<std::string>& args,
               const std::vector<std::string>& env = {}) {
        end();
        pid_ = -1;
        ended_ = false;
        status_ = -1;
        std::vector<std::string> environment;
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            bool replaced = false;
            for (const std::string& own : env) {
                const std::string name = own.substr(0, own.find('=') + 1);  // "NAME="
                replaced = replaced || entry.compare(0, name.size(), name) == 0;
            }
            if (!replaced) environment.push_back(entry);
        }
        environment.insert(environment.end(), env.begin(), env.end());
        std::vector<char*> argv{const_cast<char*>(path.c_str())}, envp;
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        for (const auto& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
        argv.push_back(nullptr);
        envp.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, outFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, errFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int rc = posix_spawn(&pid_, path.c_str(), &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0) pid_ = -1;
        return rc == 0;
    }

    // Waits up to timeoutMs for the end: the exit code (128 + the signal number when a
    // signal ended it), or -1 when it has not ended in time or was never started.
    int wait(int timeoutMs = 30000) {
        if (pid_ <= 0) return -1;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!ended_) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                ended_ = true;
                status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                break;
            }
            if (std::chrono::steady_clock::now() > deadline) return -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return status_;
    }

    std::string out() const { return readFile(outFile_); }
    std::string err() const { return readFile(errFile_); }

    // Kills a run that is still going.
    void end() {
        if (pid_ > 0 && !ended_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            ended_ = true;
        }
    }

private:
    TempDir dir_;
    std::string outFile_ = dir_.file("stdout");
    std::string errFile_ = dir_.file("stderr");
    pid_t pid_ = -1;
    bool ended_ = false;
    int status_ = -1;
};

}  // namespace testsupport
