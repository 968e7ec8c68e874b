#include "platform/Process.h"
#include "platform/Thread.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace platform {

namespace {

int openPidfd(pid_t pid) {
#ifdef SYS_pidfd_open
    const long fd = ::syscall(SYS_pidfd_open, pid, 0);
    return fd < 0 ? -1 : static_cast<int>(fd);
#else
    (void)pid;
    return -1;
#endif
}

// outputFd >= 0: the child's standard output goes there, its standard input and error to
// /dev/null.
int spawnWith(bool searchPath, const std::string& file, const std::vector<std::string>& argv, ProcessHandle& out,
              int outputFd = -1) {
    std::vector<char*> pointers;
    pointers.reserve(argv.size() + 1);
    for (const auto& a : argv) pointers.push_back(const_cast<char*>(a.c_str()));
    pointers.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (outputFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, outputFd, STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    }
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    // The child gets standard input, output and error only.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
#endif
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    pid_t pid = -1;
    const int rc = searchPath ? ::posix_spawnp(&pid, file.c_str(), &actions, &attr, pointers.data(), environ)
                              : ::posix_spawn(&pid, file.c_str(), &actions, &attr, pointers.data(), environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return rc;
    out = ProcessHandle();
    out.pid = pid;
    out.pidfd = openPidfd(pid);
    return 0;
}

void recordStatus(ProcessHandle& process, int status) {
    process.exited = true;
    if (WIFEXITED(status)) process.exitStatus = WEXITSTATUS(status);
    else if (WIFSIGNALED(status)) process.exitStatus = 128 + WTERMSIG(status);
}

// Reaps the child when it has ended. Returns true once it has.
bool reap(ProcessHandle& process, bool block) {
    if (process.exited) return true;
    if (process.pid <= 0) return true;
    int status = 0;
    pid_t r;
    do {
        r = ::waitpid(process.pid, &status, block ? 0 : WNOHANG);
    } while (r < 0 && errno == EINTR);
    if (r == process.pid) {
        recordStatus(process, status);
        return true;
    }
    if (r < 0) {  // not our child any more (reaped elsewhere)
        process.exited = true;
        return true;
    }
    return false;
}

std::mutex& elevationMutex() {
    static std::mutex m;
    return m;
}
// NIMBROSTA_ELEVATION_COMMAND, when set (also to nothing), replaces "pkexec" for the whole
// process, so that tests and the local demo can start the elevated child plainly.
std::string& elevationValue() {
    static std::string program = [] {
        const char* overridden = std::getenv("NIMBROSTA_ELEVATION_COMMAND");
        return std::string(overridden ? overridden : "pkexec");
    }();
    return program;
}

}  // namespace

int spawnProcess(const std::string& path, const std::vector<std::string>& args, ProcessHandle& out) {
    std::vector<std::string> argv;
    argv.reserve(args.size() + 1);
    argv.push_back(path);
    argv.insert(argv.end(), args.begin(), args.end());
    return spawnWith(false, path, argv, out);
}

int spawnProgram(const std::string& program, const std::vector<std::string>& args, ProcessHandle& out) {
    std::vector<std::string> argv;
    argv.reserve(args.size() + 1);
    argv.push_back(program);
    argv.insert(argv.end(), args.begin(), args.end());
    return spawnWith(true, program, argv, out);
}

void setElevationCommand(const std::string& program) {
    std::lock_guard<std::mutex> lock(elevationMutex());
    elevationValue() = program;
}

std::string elevationCommand() {
    std::lock_guard<std::mutex> lock(elevationMutex());
    return elevationValue();
}

int spawnElevated(const std::string& path, const std::vector<std::string>& args, ProcessHandle& out) {
    const std::string command = elevationCommand();
    // Without an elevation command (none set, or none installed) the child starts plainly.
    if (command.empty()) return spawnProcess(path, args, out);
    std::vector<std::string> rest;
    rest.reserve(args.size() + 1);
    rest.push_back(path);
    rest.insert(rest.end(), args.begin(), args.end());
    const int rc = spawnProgram(command, rest, out);
    return rc == ENOENT ? spawnProcess(path, args, out) : rc;
}

bool runProgramCaptured(const std::string& program, const std::vector<std::string>& args, int timeoutMs,
                        std::string& output, std::size_t maxOutput) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    ProcessHandle child;
    const int rc = spawnWith(program.find('/') == std::string::npos, program, argv, child, fds[1]);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    bool inTime = true;
    char buffer[512];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd p{fds[0], POLLIN, 0};
        const int ready = left.count() > 0 ? ::poll(&p, 1, int(left.count())) : 0;
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) {
            inTime = false;
            break;
        }
        const ssize_t n = ::read(fds[0], buffer, sizeof(buffer));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;  // the end of its output
        output.append(buffer, std::min(std::size_t(n), maxOutput - std::min(maxOutput, output.size())));
    }
    ::close(fds[0]);
    if (!inTime || !waitForExit(child, std::max(0, int(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                         deadline - std::chrono::steady_clock::now()).count())))) {
        terminateProcess(child);
        waitForExit(child, -1);
        inTime = false;
    }
    releaseProcess(child);
    return inTime && child.exitStatus == 0;
}

bool isRunning(ProcessHandle& process) {
    if (process.exited || process.pid <= 0) return false;
    if (process.pidfd >= 0) {
        pollfd p{process.pidfd, POLLIN, 0};
        if (::poll(&p, 1, 0) <= 0) return true;
    }
    return !reap(process, false);
}

bool waitForExit(ProcessHandle& process, int timeoutMs) {
    if (process.exited || process.pid <= 0) return true;
    if (timeoutMs < 0) return reap(process, true);
    if (process.pidfd >= 0) {
        pollfd p{process.pidfd, POLLIN, 0};
        int r;
        do {
            r = ::poll(&p, 1, timeoutMs);
        } while (r < 0 && errno == EINTR);
        if (r <= 0) return false;
        return reap(process, true);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!reap(process, false)) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

bool terminateProcess(ProcessHandle& process) {
    if (process.exited || process.pid <= 0) return false;
#ifdef SYS_pidfd_send_signal
    if (process.pidfd >= 0 && ::syscall(SYS_pidfd_send_signal, process.pidfd, SIGKILL, nullptr, 0) == 0) return true;
#endif
    return ::kill(process.pid, SIGKILL) == 0;
}

void releaseProcess(ProcessHandle& process) {
    if (process.pidfd >= 0) ::close(process.pidfd);
    process.pidfd = -1;
}

void detachProcess(ProcessHandle& process) {
    releaseProcess(process);
    if (process.exited || process.pid <= 0) return;
    const pid_t pid = process.pid;
    startThread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

}  // namespace platform
