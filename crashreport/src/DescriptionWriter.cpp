#include "DescriptionWriter.h"

#include <cstring>

using namespace crashreport;

namespace {

// A wide character as a Unicode scalar value; anything else becomes U+FFFD.
std::uint32_t scalar(wchar_t c) {
    const auto v = static_cast<std::uint32_t>(c);
    if (v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return 0xFFFD;
    return v;
}

}  // namespace

void DescriptionWriter::attach(std::uint8_t* base, std::size_t capacity) {
    base_ = capacity >= kDescriptionHeaderSize ? base : nullptr;
    capacity_ = base_ ? capacity : 0;
}

void DescriptionWriter::detach() {
    base_ = nullptr;
    capacity_ = 0;
}

void DescriptionWriter::startHeader() {
    if (!base_) return;
    std::memset(base_, 0, kDescriptionHeaderSize);
    std::memcpy(base_, "CRD", 3);
    base_[hdr::kHeaderSize] = kDescriptionHeaderSize & 0xFF;
    base_[hdr::kHeaderSize + 1] = kDescriptionHeaderSize >> 8;
    putU32(hdr::kTotalSize, kDescriptionHeaderSize);
    putU32(hdr::kVersion, kDescriptionVersion);
}

void DescriptionWriter::putU32(std::size_t offset, std::uint32_t value) {
    if (!base_ || offset + 4 > capacity_) return;
    for (int i = 0; i < 4; ++i) base_[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

void DescriptionWriter::putU64(std::size_t offset, std::uint64_t value) {
    putU32(offset, static_cast<std::uint32_t>(value));
    putU32(offset + 4, static_cast<std::uint32_t>(value >> 32));
}

std::uint32_t DescriptionWriter::getU32(std::size_t offset) const {
    if (!base_ || offset + 4 > capacity_) return 0;
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | base_[offset + static_cast<std::size_t>(i)];
    return v;
}

std::size_t DescriptionWriter::utf16Units(const wchar_t* text) {
    std::size_t units = 0;
    for (const wchar_t* p = text; p && *p; ++p) {
        const std::size_t n = scalar(*p) >= 0x10000 ? 2 : 1;
        if (units + n > kMaxStringUnits) break;
        units += n;
    }
    return units;
}

bool DescriptionWriter::fits(std::size_t bytes, bool forCrash) const {
    if (!base_) return false;
    const std::size_t limit = forCrash ? capacity_ : (capacity_ > kCrashReserve ? capacity_ - kCrashReserve : 0);
    const std::size_t used = total();
    return used <= limit && bytes <= limit - used;
}

void DescriptionWriter::putTag(std::size_t offset, const char* tag, std::uint16_t size) {
    std::memcpy(base_ + offset, tag, 3);
    base_[offset + 3] = 0;
    base_[offset + 4] = static_cast<std::uint8_t>(size & 0xFF);
    base_[offset + 5] = static_cast<std::uint8_t>(size >> 8);
}

std::size_t DescriptionWriter::putString(std::size_t offset, const wchar_t* text) {
    const std::size_t units = utf16Units(text);
    const std::size_t size = kStringBlockHeader + 2 * units;
    putTag(offset, "STR", static_cast<std::uint16_t>(size));
    std::uint8_t* out = base_ + offset + kStringBlockHeader;
    std::size_t written = 0;
    for (const wchar_t* p = text; p && written < units; ++p) {
        std::uint32_t v = scalar(*p);
        std::uint16_t pair[2];
        std::size_t n = 1;
        if (v >= 0x10000) {
            v -= 0x10000;
            pair[0] = static_cast<std::uint16_t>(0xD800 + (v >> 10));
            pair[1] = static_cast<std::uint16_t>(0xDC00 + (v & 0x3FF));
            n = 2;
        } else {
            pair[0] = static_cast<std::uint16_t>(v);
        }
        for (std::size_t i = 0; i < n; ++i) {
            *out++ = static_cast<std::uint8_t>(pair[i] & 0xFF);
            *out++ = static_cast<std::uint8_t>(pair[i] >> 8);
        }
        written += n;
    }
    return size;
}

void DescriptionWriter::addToCount(std::size_t countOffset) { putU32(countOffset, getU32(countOffset) + 1); }

std::uint32_t DescriptionWriter::writeString(const wchar_t* text, bool forCrash) {
    const std::size_t size = stringBlockSize(text);
    if (!fits(size, forCrash)) return 0;
    const std::uint32_t offset = total();
    putString(offset, text);
    putU32(hdr::kTotalSize, offset + static_cast<std::uint32_t>(size));
    return offset;
}

std::uint32_t DescriptionWriter::writeItem(const char* tag, std::size_t fixedSize, std::size_t countOffset,
                                           std::initializer_list<std::pair<std::size_t, const wchar_t*>> strings) {
    std::size_t size = fixedSize;
    for (const auto& s : strings) size += stringBlockSize(s.second);
    if (size > 0xFFFF || !fits(size, false)) return 0;
    const std::uint32_t offset = total();
    std::memset(base_ + offset, 0, fixedSize);
    putTag(offset, tag, static_cast<std::uint16_t>(size));
    std::size_t at = offset + fixedSize;
    for (const auto& s : strings) {
        putU32(offset + s.first, static_cast<std::uint32_t>(at));
        at += putString(at, s.second);
    }
    putU32(hdr::kTotalSize, offset + static_cast<std::uint32_t>(size));
    addToCount(countOffset);
    return offset;
}

std::uint32_t DescriptionWriter::writeFile(const wchar_t* source, const wchar_t* destination,
                                           const wchar_t* description, std::int32_t firstOption,
                                           std::int32_t secondOption) {
    const std::uint32_t offset =
        writeItem("FIL", kFileBlockSize, hdr::kFileCount, {{8, source}, {12, destination}, {16, description}});
    if (offset != 0) {
        putI32(offset + 20, firstOption);
        putI32(offset + 24, secondOption);
    }
    return offset;
}

std::uint32_t DescriptionWriter::writeProperty(const wchar_t* name, const wchar_t* value) {
    return writeItem("CPR", kPropertyBlockSize, hdr::kPropertyCount, {{8, name}, {12, value}});
}

std::uint32_t DescriptionWriter::writeRegKey(std::int32_t option, const wchar_t* keyPath, const wchar_t* destination) {
    const std::uint32_t offset =
        writeItem("REG", kRegKeyBlockSize, hdr::kRegKeyCount, {{12, keyPath}, {16, destination}});
    if (offset != 0) putI32(offset + 8, option);
    return offset;
}

std::uint32_t DescriptionWriter::reserveContext() {
    if (!fits(ctx::kBlockSize, true)) return 0;
    const std::uint32_t offset = total();
    std::memset(base_ + offset, 0, ctx::kBlockSize);
    putTag(offset, "CTX", static_cast<std::uint16_t>(ctx::kBlockSize));
    putU32(hdr::kTotalSize, offset + static_cast<std::uint32_t>(ctx::kBlockSize));
    return offset;
}
