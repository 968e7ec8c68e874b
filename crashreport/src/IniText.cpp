#include "IniText.h"

#include <fstream>

namespace crashreport {

namespace {

std::string trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return std::string();
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

}  // namespace

std::string readIniString(const std::string& path, const std::string& section, const std::string& key,
                          const std::string& fallback, std::size_t maxChars) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return fallback;
    std::string line;
    std::string current;
    while (std::getline(in, line)) {
        const std::string text = trim(line);
        if (text.empty() || text[0] == ';' || text[0] == '#') continue;
        if (text.front() == '[' && text.back() == ']') {
            current = trim(text.substr(1, text.size() - 2));
            continue;
        }
        const auto eq = text.find('=');
        if (eq == std::string::npos || current != section || trim(text.substr(0, eq)) != key) continue;
        std::string value = trim(text.substr(eq + 1));
        // Cut by characters, not bytes, so that no UTF-8 sequence is split.
        std::size_t chars = 0, cut = 0;
        while (cut < value.size() && chars < maxChars) {
            ++cut;
            while (cut < value.size() && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80) ++cut;
            ++chars;
        }
        value.resize(cut);
        std::string out;
        for (std::size_t i = 0; i < value.size(); ++i) {
            if (value[i] == '\\' && i + 1 < value.size() && value[i + 1] == 'n') {
                out += '\n';
                ++i;
            } else {
                out += value[i];
            }
        }
        return out;
    }
    return fallback;
}

}  // namespace crashreport
