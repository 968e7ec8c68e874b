#pragma once
// Helpers shared by the test suites: stdout capture, temporary folders, files, environment
// and thrown texts.

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <unistd.h>

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

}  // namespace testsupport
