#pragma once
// Starts a peer program with its standard output on a pipe and ends it (by its pid) when
// the object goes; and runs a program to its end, collecting its output.

#include <csignal>
#include <cstdio>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

class PeerProcess {
public:
    explicit PeerProcess(const std::vector<std::string>& argv) {
        int fds[2];
        if (pipe(fds) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        out_ = fds[0];
    }
    ~PeerProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) close(out_);
    }
    // False once the program has ended (it is reaped then).
    bool alive() {
        if (pid_ <= 0) return false;
        if (waitpid(pid_, nullptr, WNOHANG) == 0) return true;
        pid_ = -1;
        return false;
    }
    // The first line of its output, waiting up to timeoutMs.
    std::string firstLine(int timeoutMs = 10000) {
        std::string line;
        char c;
        while (true) {
            pollfd p{out_, POLLIN, 0};
            if (poll(&p, 1, timeoutMs) <= 0) return std::string();
            if (read(out_, &c, 1) != 1) return std::string();
            if (c == '\n') return line;
            line += c;
        }
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
};

// Runs a shell command to its end; returns its exit status and fills output.
inline int runCommand(const std::string& command, std::string& output) {
    output.clear();
    FILE* f = popen(command.c_str(), "r");
    if (!f) return -1;
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) output.append(buf, n);
    const int status = pclose(f);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
