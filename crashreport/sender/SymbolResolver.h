#pragma once
// Names the code at an address of the crashed process: the module file from its memory
// maps, the offset into it and, where the module's ELF symbol table knows it, the function
// (demangled) and the offset into that function.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "ProcessSnapshot.h"

class SymbolResolver {
public:
    explicit SymbolResolver(std::vector<MapEntry> maps) : maps_(std::move(maps)) {}

    // "module+0x1a2b function+0x1c", "module+0x1a2b" or "?". A return address points after
    // its call, so it is looked up one byte earlier.
    std::string describe(std::uint64_t address, bool returnAddress);

private:
    struct Symbol {
        std::uint64_t start;
        std::uint64_t size;
        std::string name;
    };
    struct Segment {
        std::uint64_t fileOffset;
        std::uint64_t fileSize;
        std::uint64_t address;
    };
    struct Module {
        bool loaded = false;
        std::vector<Segment> segments;
        std::vector<Symbol> symbols;  // sorted by start
    };
    Module& module(const std::string& path);

    std::vector<MapEntry> maps_;
    std::map<std::string, Module> modules_;
};
