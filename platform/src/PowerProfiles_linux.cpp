#include "platform/PowerProfiles.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace platform {

namespace {

// The program's full path: as it stands when it holds a "/", else the first executable of
// that name on PATH; "" when there is none.
std::string findProgram(const std::string& program) {
    if (program.empty())
        return "";
    if (program.find('/') != std::string::npos)
        return ::access(program.c_str(), X_OK) == 0 ? program : "";
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= folders.size()) {
        const std::size_t end = std::min(folders.find(':', start), folders.size());
        std::string folder = folders.substr(start, end - start);
        if (folder.empty())
            folder = ".";
        const std::string candidate = folder + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return "";
}

// Runs program with args, its standard output captured (standard error dropped); ends it
// after timeoutMs. True when it exited with 0 in time.
bool runCaptured(const std::string& program, const std::vector<std::string>& args, int timeoutMs,
                 std::string& output) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return false;
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> pointers;
    for (auto& a : argv)
        pointers.push_back(const_cast<char*>(a.c_str()));
    pointers.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
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
    const int rc = ::posix_spawn(&pid, program.c_str(), &actions, &attr, pointers.data(), environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        return false;
    }

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    bool timedOut = false;
    char buffer[256];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            break;
        }
        pollfd p{fds[0], POLLIN, 0};
        const int ready = ::poll(&p, 1, int(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0) {
            timedOut = ready == 0;
            break;
        }
        const ssize_t n = ::read(fds[0], buffer, sizeof(buffer));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;  // end of output
        if (output.size() < 4096)
            output.append(buffer, std::size_t(n));
    }
    ::close(fds[0]);
    if (timedOut)
        ::kill(pid, SIGKILL);
    int status = 0;
    pid_t r;
    do {
        r = ::waitpid(pid, &status, 0);
    } while (r < 0 && errno == EINTR);
    return !timedOut && r == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

class PowerProfilesCtl : public PowerProfiles {
public:
    PowerProfilesCtl(std::string program, int timeoutMs) : program_(std::move(program)), timeoutMs_(timeoutMs) {}

    bool activeProfile(std::string& name) override {
        const std::string program = findProgram(program_);
        std::string output;
        if (program.empty() || !runCaptured(program, {"get"}, timeoutMs_, output))
            return false;
        // One line: the profile's name.
        const std::size_t end = output.find_first_of("\r\n");
        std::string value = output.substr(0, end);
        while (!value.empty() && (value.back() == ' ' || value.back() == '\t'))
            value.pop_back();
        if (value.empty())
            return false;
        name = value;
        return true;
    }

    bool setActiveProfile(const std::string& name) override {
        const std::string program = findProgram(program_);
        std::string output;
        return !program.empty() && !name.empty() && runCaptured(program, {"set", name}, timeoutMs_, output);
    }

private:
    std::string program_;
    int timeoutMs_;
};

class NoPowerProfiles : public PowerProfiles {
public:
    bool activeProfile(std::string&) override { return false; }
    bool setActiveProfile(const std::string&) override { return false; }
};

}  // namespace

std::shared_ptr<PowerProfiles> makePowerProfilesCtl(const std::string& program, int timeoutMs) {
    return std::make_shared<PowerProfilesCtl>(program, timeoutMs);
}

std::shared_ptr<PowerProfiles> systemPowerProfiles() {
    if (findProgram("powerprofilesctl").empty())
        return std::make_shared<NoPowerProfiles>();
    return makePowerProfilesCtl("powerprofilesctl");
}

}  // namespace platform
