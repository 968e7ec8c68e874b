#pragma once
// What the sender reads of the crashed process while that process waits for it: its
// memory maps, its threads (names, states and, where the thread can be stopped for a
// moment, registers) and memory such as the crashed thread's stack.

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

struct MapEntry {
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    std::uint64_t offset = 0;
    std::string permissions;
    std::string path;
};

// The lines of a /proc/<pid>/maps text; lines that do not parse are skipped.
std::vector<MapEntry> parseMaps(const std::string& text);
// The entry that holds address, or null.
const MapEntry* findMapping(const std::vector<MapEntry>& maps, std::uint64_t address);

struct ThreadInfo {
    pid_t id = 0;
    std::string name;
    char state = '?';
    std::vector<std::uint64_t> registers;  // struct user_regs_struct order; empty when not read
};

class ProcessSnapshot {
public:
    explicit ProcessSnapshot(pid_t pid) : pid_(pid) {}

    std::string readMaps() const;
    // Every thread; registers of all but skipRegisters, each stopped only while they are read.
    std::vector<ThreadInfo> readThreads(pid_t skipRegisters) const;
    // Reads size bytes at address. The crashed process allows its sender to read it only
    // once it has started it, so a refusal is retried for a short while.
    bool readMemory(std::uint64_t address, std::size_t size, std::vector<std::uint8_t>& out) const;
    // The stack from sp up to limit bytes or the end of its mapping.
    std::vector<std::uint8_t> readStack(std::uint64_t sp, const std::vector<MapEntry>& maps, std::size_t limit) const;

private:
    pid_t pid_;
};
