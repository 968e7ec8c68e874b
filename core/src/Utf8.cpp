#include "core/Utf8.h"

std::vector<std::uint32_t> utf8ToCodePoints(const std::string& text) {
    std::vector<std::uint32_t> out;
    out.reserve(text.size());
    const std::size_t size = text.size();
    std::size_t i = 0;
    while (i < size) {
        std::uint64_t c = static_cast<unsigned char>(text[i++]);
        if (c == 0) break;
        if ((c >= 0x80 && c <= 0xBF) || c == 0xFE || c == 0xFF) continue;
        if (c < 0x80) {
            out.push_back(static_cast<std::uint32_t>(c));
            continue;
        }
        std::uint64_t mask = (c >> 1) & 0x40;
        bool complete = true;
        while (c & mask) {
            if (i >= size || text[i] == '\0') {
                complete = false;
                break;
            }
            const unsigned char b = static_cast<unsigned char>(text[i++]);
            if (b >= 0x80 && b <= 0xBF) {
                c = c * 64 + (b - 0x80);
                mask <<= 5;
            }
        }
        if (!complete) break;
        out.push_back(static_cast<std::uint32_t>(c & (2 * mask - 1)));
    }
    return out;
}

std::string codePointsToUtf8(const std::vector<std::uint32_t>& codePoints) {
    std::string out;
    out.reserve(codePoints.size());
    for (const std::uint32_t cp : codePoints) {
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
            continue;
        }
        int extra;
        unsigned char lead;
        if (cp < 0x800) { extra = 1; lead = 0xC0; }
        else if (cp < 0x10000) { extra = 2; lead = 0xE0; }
        else if (cp < 0x200000) { extra = 3; lead = 0xF0; }
        else if (cp < 0x4000000) { extra = 4; lead = 0xF8; }
        else if (cp < 0x80000000u) { extra = 5; lead = 0xFC; }
        else continue;
        out.push_back(static_cast<char>(lead | (cp >> (6 * extra))));
        for (int k = extra - 1; k >= 0; --k) out.push_back(static_cast<char>(0x80 | ((cp >> (6 * k)) & 0x3F)));
    }
    return out;
}

std::string utf8Prefix(const std::string& text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    std::size_t cut = maxBytes;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return text.substr(0, cut);
}
