#include "ProcessSnapshot.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/ptrace.h>
#include <sys/uio.h>
#include <sys/user.h>
#include <sys/wait.h>
#include <thread>

namespace {

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Stops a thread for a moment to read its registers, then lets it go on.
bool threadRegisters(pid_t tid, std::vector<std::uint64_t>& registers) {
    if (ptrace(PTRACE_SEIZE, tid, nullptr, nullptr) != 0) return false;
    bool ok = false;
    if (ptrace(PTRACE_INTERRUPT, tid, nullptr, nullptr) == 0) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        int status = 0;
        pid_t r = 0;
        while ((r = waitpid(tid, &status, __WALL | WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        user_regs_struct regs{};
        if (r == tid && WIFSTOPPED(status) && ptrace(PTRACE_GETREGS, tid, nullptr, &regs) == 0) {
            const auto* words = reinterpret_cast<const unsigned long long*>(&regs);
            registers.assign(words, words + sizeof(regs) / sizeof(*words));
            ok = true;
        }
    }
    ptrace(PTRACE_DETACH, tid, nullptr, nullptr);
    return ok;
}

}  // namespace

std::vector<MapEntry> parseMaps(const std::string& text) {
    std::vector<MapEntry> maps;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        MapEntry e;
        unsigned long long start = 0, end = 0, offset = 0;
        char permissions[8] = {};
        int pathAt = 0;
        if (std::sscanf(line.c_str(), "%llx-%llx %7s %llx %*s %*s %n", &start, &end, permissions, &offset, &pathAt) < 4)
            continue;
        e.start = start;
        e.end = end;
        e.offset = offset;
        e.permissions = permissions;
        if (pathAt > 0 && static_cast<std::size_t>(pathAt) <= line.size()) e.path = line.substr(static_cast<std::size_t>(pathAt));
        maps.push_back(e);
    }
    return maps;
}

const MapEntry* findMapping(const std::vector<MapEntry>& maps, std::uint64_t address) {
    for (const MapEntry& e : maps)
        if (address >= e.start && address < e.end) return &e;
    return nullptr;
}

std::string ProcessSnapshot::readMaps() const { return readText("/proc/" + std::to_string(pid_) + "/maps"); }

std::vector<ThreadInfo> ProcessSnapshot::readThreads(pid_t skipRegisters) const {
    std::vector<ThreadInfo> threads;
    const std::string task = "/proc/" + std::to_string(pid_) + "/task";
    DIR* dir = opendir(task.c_str());
    if (!dir) return threads;
    while (const dirent* entry = readdir(dir)) {
        char* end = nullptr;
        const long tid = std::strtol(entry->d_name, &end, 10);
        if (tid <= 0 || *end != '\0') continue;
        ThreadInfo info;
        info.id = static_cast<pid_t>(tid);
        info.name = readText(task + "/" + entry->d_name + "/comm");
        while (!info.name.empty() && info.name.back() == '\n') info.name.pop_back();
        const std::string stat = readText(task + "/" + entry->d_name + "/stat");
        const auto paren = stat.rfind(')');
        if (paren != std::string::npos && paren + 2 < stat.size()) info.state = stat[paren + 2];
        if (info.id != skipRegisters) threadRegisters(info.id, info.registers);
        threads.push_back(info);
    }
    closedir(dir);
    return threads;
}

bool ProcessSnapshot::readMemory(std::uint64_t address, std::size_t size, std::vector<std::uint8_t>& out) const {
    out.assign(size, 0);
    if (size == 0) return true;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    for (;;) {
        iovec local{out.data(), size};
        iovec remote{reinterpret_cast<void*>(address), size};
        const ssize_t n = process_vm_readv(pid_, &local, 1, &remote, 1, 0);
        if (n >= 0) {
            out.resize(static_cast<std::size_t>(n));
            return n > 0;
        }
        if (errno != EPERM || std::chrono::steady_clock::now() >= deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    out.clear();
    return false;
}

std::vector<std::uint8_t> ProcessSnapshot::readStack(std::uint64_t sp, const std::vector<MapEntry>& maps,
                                                     std::size_t limit) const {
    std::vector<std::uint8_t> stack;
    const MapEntry* mapping = findMapping(maps, sp);
    if (!mapping) return stack;
    const std::uint64_t available = mapping->end - sp;
    readMemory(sp, static_cast<std::size_t>(available < limit ? available : limit), stack);
    return stack;
}
