#pragma once
// What every Authorization header the client sends must look like, whatever the server's
// challenge and the credentials held: one line, known parameters each given once, every
// quoted string closed with its escapes complete.

#include <set>
#include <string>

namespace fuzzcheck {

inline bool wellFormedAuthorization(const std::string& header) {
    for (unsigned char c : header)
        if (c < 0x20 || c == 0x7f) return false;
    if (header.compare(0, 6, "Basic ") == 0) return header.find_first_of("\" ,", 6) == std::string::npos;
    static const std::set<std::string> kKeys = {"username", "realm", "nonce", "uri", "response",
                                                "qop", "nc", "cnonce", "algorithm", "opaque"};
    if (header.compare(0, 7, "Digest ") != 0) return false;
    std::set<std::string> seen;
    std::size_t pos = 7;
    while (pos < header.size()) {
        const std::size_t eq = header.find('=', pos);
        if (eq == std::string::npos) return false;
        const std::string key = header.substr(pos, eq - pos);
        if (!kKeys.count(key) || !seen.insert(key).second) return false;
        pos = eq + 1;
        if (pos < header.size() && header[pos] == '"') {
            ++pos;
            while (pos < header.size() && header[pos] != '"') pos += header[pos] == '\\' ? 2 : 1;
            if (pos >= header.size()) return false;
            ++pos;
        } else {
            while (pos < header.size() && header[pos] != ',') {
                if (header[pos] == '"' || header[pos] == ' ') return false;
                ++pos;
            }
        }
        if (pos == header.size()) break;
        if (header.compare(pos, 2, ", ") != 0) return false;
        pos += 2;
    }
    return seen.count("response") == 1;
}

}  // namespace fuzzcheck
