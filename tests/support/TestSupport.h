#pragma once
// Helpers shared by the test suites and benchmarks: stdout capture, temporary folders,
// files, environment (ours and another process's), thrown texts and loopback sockets.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <sys/types.h>
#include <unistd.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace testsupport {

// Runs fn with standard output redirected into a file and returns what it printed.
template <typename Fn>
std::string captureStdout(Fn fn) {
    std::fflush(stdout);
    char name[] = "/tmp/nimbrosta-stdout-XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) return "<mkstemp failed>";
    const int saved = dup(STDOUT_FILENO);
    dup2(fd, STDOUT_FILENO);
    fn();
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    close(fd);
    std::ifstream in(name, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    unlink(name);
    return text.str();
}

// A fresh folder under /tmp, removed with its content at the end of the scope.
class TempDir {
public:
    TempDir() {
        char name[] = "/tmp/nimbrosta-test-XXXXXX";
        path_ = mkdtemp(name) ? name : "";
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// Sets or unsets an environment variable for the scope and restores it afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        const char* old = std::getenv(name);
        hadOld_ = old != nullptr;
        if (old) old_ = old;
        if (value) setenv(name, value, 1);
        else unsetenv(name);
    }
    ~ScopedEnv() {
        if (hadOld_) setenv(name_.c_str(), old_.c_str(), 1);
        else unsetenv(name_.c_str());
    }

private:
    std::string name_;
    std::string old_;
    bool hadOld_ = false;
};

// The C string that f throws, or "" when it throws nothing.
inline std::string thrownText(const std::function<void()>& f) {
    try {
        f();
    } catch (const char* text) {
        return text;
    }
    return "";
}

// A TCP socket listening on 127.0.0.1 at a port the system chose (stored in port); -1 on
// failure. A receiveBuffer above 0 sets SO_RCVBUF, which the accepted sockets inherit.
inline int listenOnLoopback(int& port, int receiveBuffer = 0) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return -1;
    if (receiveBuffer > 0) ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 4) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n) != 0) {
        ::close(fd);
        return -1;
    }
    port = ntohs(a.sin_port);
    return fd;
}

// Whether something accepts TCP connections on 127.0.0.1 at port.
inline bool acceptsOnLoopback(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return connected;
}

// The value of a variable in the environment the process started with; "" when it has
// none (or the process is gone).
inline std::string environmentValue(pid_t pid, const std::string& name) {
    const std::string environment = readFile("/proc/" + std::to_string(pid) + "/environ");
    const std::string key = name + "=";
    for (std::size_t at = 0; at < environment.size();) {
        std::size_t end = environment.find('\0', at);
        if (end == std::string::npos) end = environment.size();
        if (environment.compare(at, key.size(), key) == 0) return environment.substr(at + key.size(), end - at - key.size());
        at = end + 1;
    }
    return std::string();
}

}  // namespace testsupport
