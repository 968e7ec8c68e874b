#include "platform/Folders.h"

#include <cstdlib>
#include <unistd.h>
#include <vector>

namespace platform {

std::string readSymlink(const std::string& link, std::size_t initialSize) {
    std::size_t size = initialSize < 1 ? 1 : initialSize;
    for (;;) {
        std::vector<char> buffer(size);
        const ssize_t n = ::readlink(link.c_str(), buffer.data(), buffer.size());
        if (n < 0) return std::string();
        if (static_cast<std::size_t>(n) < buffer.size()) return std::string(buffer.data(), static_cast<std::size_t>(n));
        if (size > (1u << 24)) return std::string();  // no path is that long
        size *= 2;
    }
}

std::string executablePath() {
    std::string path = readSymlink("/proc/self/exe", 520);
    // Once the file the process runs from has been replaced (an update renames a new copy
    // over it), the kernel marks the link target; the program's path is still the one
    // without the mark.
    static const std::string kReplaced = " (deleted)";
    if (path.size() > kReplaced.size() && path.compare(path.size() - kReplaced.size(), kReplaced.size(), kReplaced) == 0)
        path.resize(path.size() - kReplaced.size());
    return path;
}

std::string stripTrailingSeparators(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

std::string joinPath(const std::string& a, const std::string& b) {
    if (a.empty()) return b;
    if (a.back() == '/') return a + b;
    return a + "/" + b;
}

std::string parentFolder(const std::string& path) {
    const auto pos = path.find_last_of('/');
    if (pos == std::string::npos) return std::string();
    if (pos == 0) return "/";
    return path.substr(0, pos);
}

namespace {
std::string xdgFolder(const char* variable, const char* homeRelative) {
    const char* value = std::getenv(variable);
    // The XDG rules ignore a relative value.
    if (value && value[0] == '/') return stripTrailingSeparators(value);
    const char* home = std::getenv("HOME");
    if (home && home[0] != '\0') return joinPath(stripTrailingSeparators(home), homeRelative);
    return std::string();
}
}  // namespace

std::string roamingDataFolder() { return xdgFolder("XDG_DATA_HOME", ".local/share"); }

std::string localDataFolder() { return xdgFolder("XDG_STATE_HOME", ".local/state"); }

}  // namespace platform
