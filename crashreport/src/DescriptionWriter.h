#pragma once
// Appends blocks to the crash description in a mapped shared block.
//
// Each writer appends at the header's total size and adds its size to the total. No writer
// passes the block's end: a block that would not fit is refused (offset 0) and nothing is
// appended. Items leave room at the end for what a crash appends (the context block and
// the invalid-parameter texts), so a full description can still describe its crash. A
// string block holds at most kMaxStringUnits UTF-16 units (longer texts are cut, never
// inside a surrogate pair), and an item whose block with its strings would pass 65535
// bytes is refused, so no 16-bit size field overflows. The writers allocate nothing.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <utility>

#include "crashreport/CrashDescription.h"

class DescriptionWriter {
public:
    // Room kept for the crash: the context block and three string blocks.
    static constexpr std::size_t kCrashReserve =
        crashreport::ctx::kBlockSize + 3 * (crashreport::kStringBlockHeader + 2 * crashreport::kMaxStringUnits);

    // Writes into base[0..capacity); the header starts at base.
    void attach(std::uint8_t* base, std::size_t capacity);
    void detach();
    bool attached() const { return base_ != nullptr; }
    std::uint8_t* base() const { return base_; }
    std::size_t capacity() const { return capacity_; }

    // Zeroes the header and sets its magic, header size, total size and version.
    void startHeader();
    void putU32(std::size_t offset, std::uint32_t value);
    void putI32(std::size_t offset, std::int32_t value) { putU32(offset, static_cast<std::uint32_t>(value)); }
    void putU64(std::size_t offset, std::uint64_t value);
    std::uint32_t getU32(std::size_t offset) const;
    std::uint32_t total() const { return getU32(crashreport::hdr::kTotalSize); }

    // Each returns the offset of the block written, or 0 when it was refused. Null texts
    // are written as empty strings. forCrash lets the block use the room kept for the crash.
    std::uint32_t writeString(const wchar_t* text, bool forCrash = false);
    std::uint32_t writeFile(const wchar_t* source, const wchar_t* destination, const wchar_t* description,
                            std::int32_t firstOption, std::int32_t secondOption);
    std::uint32_t writeProperty(const wchar_t* name, const wchar_t* value);
    std::uint32_t writeRegKey(std::int32_t option, const wchar_t* keyPath, const wchar_t* destination);
    // Reserves a zeroed context block with its tag and size; its fields are filled by the
    // caller through the returned offset.
    std::uint32_t reserveContext();

    // UTF-16 units of the text as a string block would hold it (after the cap).
    static std::size_t utf16Units(const wchar_t* text);
    static std::size_t stringBlockSize(const wchar_t* text) {
        return crashreport::kStringBlockHeader + 2 * utf16Units(text);
    }

private:
    bool fits(std::size_t bytes, bool forCrash) const;
    // Writes a string block at offset (room already checked); returns its size.
    std::size_t putString(std::size_t offset, const wchar_t* text);
    void putTag(std::size_t offset, const char* tag, std::uint16_t size);
    // Appends an item: its zeroed fixed block with tag and size, the offsets of its strings
    // in the given fields, the strings right after it; raises the item count in the header.
    std::uint32_t writeItem(const char* tag, std::size_t fixedSize, std::size_t countOffset,
                            std::initializer_list<std::pair<std::size_t, const wchar_t*>> strings);
    void addToCount(std::size_t countOffset);

    std::uint8_t* base_ = nullptr;
    std::size_t capacity_ = 0;
};
