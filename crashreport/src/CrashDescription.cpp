#include "crashreport/CrashDescription.h"

#include <cstring>

namespace crashreport {

bool CrashDescriptionReader::valid() const {
    if (!data_ || size_ < kDescriptionHeaderSize) return false;
    if (std::memcmp(data_, "CRD", 4) != 0) return false;
    if (u16(hdr::kHeaderSize) != kDescriptionHeaderSize || u32(hdr::kVersion) != kDescriptionVersion) return false;
    const std::uint32_t total = u32(hdr::kTotalSize);
    return total >= kDescriptionHeaderSize && total <= size_;
}

std::uint16_t CrashDescriptionReader::u16(std::size_t offset) const {
    if (!data_ || offset > size_ || size_ - offset < 2) return 0;
    return static_cast<std::uint16_t>(data_[offset] | (data_[offset + 1] << 8));
}

std::uint32_t CrashDescriptionReader::u32(std::size_t offset) const {
    if (!data_ || offset > size_ || size_ - offset < 4) return 0;
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | data_[offset + static_cast<std::size_t>(i)];
    return v;
}

std::uint64_t CrashDescriptionReader::u64(std::size_t offset) const {
    if (!data_ || offset > size_ || size_ - offset < 8) return 0;
    return static_cast<std::uint64_t>(u32(offset)) | (static_cast<std::uint64_t>(u32(offset + 4)) << 32);
}

std::string CrashDescriptionReader::tag(std::size_t offset) const {
    if (!data_ || offset > size_ || size_ - offset < 4 || data_[offset + 3] != 0) return std::string();
    return std::string(reinterpret_cast<const char*>(data_ + offset), 3);
}

std::string CrashDescriptionReader::string(std::size_t offset) const {
    if (offset < kDescriptionHeaderSize || tag(offset) != "STR") return std::string();
    const std::size_t blockSize = u16(offset + 4);
    if (blockSize < kStringBlockHeader || offset + blockSize > size_ || (blockSize - kStringBlockHeader) % 2 != 0)
        return std::string();
    const std::size_t count = (blockSize - kStringBlockHeader) / 2;
    std::u16string units(count, u'\0');
    for (std::size_t i = 0; i < count; ++i) units[i] = u16(offset + kStringBlockHeader + 2 * i);
    return utf16ToUtf8(reinterpret_cast<const std::uint16_t*>(units.data()), count);
}

std::string utf16ToUtf8(const std::uint16_t* units, std::size_t count) {
    std::string out;
    out.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t cp = units[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < count && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

}  // namespace crashreport
