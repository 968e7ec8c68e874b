#include "RtspUrl.h"

#include <cctype>
#include <strings.h>

namespace rtspclient {
namespace {

bool hasUnsafeCharacter(const std::string& s) {
    for (unsigned char c : s)
        if (c <= 0x20 || c == 0x7f) return true;
    return false;
}

bool startsWithNoCase(const std::string& s, const char* prefix) {
    const std::size_t n = std::char_traits<char>::length(prefix);
    return s.size() >= n && strncasecmp(s.c_str(), prefix, n) == 0;
}

}  // namespace

bool RtspUrl::parse(const std::string& text) {
    if (hasUnsafeCharacter(text) || !startsWithNoCase(text, "rtsp://")) return false;
    std::string rest = text.substr(7);
    const std::size_t slash = rest.find_first_of("/?");
    std::string authority = slash == std::string::npos ? rest : rest.substr(0, slash);
    path = slash == std::string::npos ? std::string() : rest.substr(slash);
    if (!path.empty() && path[0] == '?') path.insert(path.begin(), '/');

    user.clear();
    password.clear();
    const std::size_t at = authority.rfind('@');
    if (at != std::string::npos) {
        const std::string info = authority.substr(0, at);
        authority = authority.substr(at + 1);
        const std::size_t colon = info.find(':');
        user = info.substr(0, colon);
        if (colon != std::string::npos) password = info.substr(colon + 1);
    }

    std::string portText;
    if (!authority.empty() && authority[0] == '[') {
        const std::size_t close = authority.find(']');
        if (close == std::string::npos || close == 1) return false;
        host = authority.substr(1, close - 1);
        const std::string after = authority.substr(close + 1);
        if (!after.empty()) {
            if (after[0] != ':') return false;
            portText = after.substr(1);
            if (portText.empty()) return false;
        }
        for (char c : host)
            if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ':' && c != '.') return false;
    } else {
        const std::size_t colon = authority.find(':');
        host = authority.substr(0, colon);
        if (colon != std::string::npos) {
            portText = authority.substr(colon + 1);
            if (portText.empty()) return false;
        }
        if (host.empty()) return false;
        for (char c : host)
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.' && c != '_') return false;
    }
    port = 554;
    if (!portText.empty()) {
        if (portText.size() > 5) return false;
        unsigned value = 0;
        for (char c : portText) {
            if (!std::isdigit(static_cast<unsigned char>(c))) return false;
            value = value * 10 + static_cast<unsigned>(c - '0');
        }
        if (value == 0 || value > 65535) return false;
        port = static_cast<std::uint16_t>(value);
    }
    return !host.empty();
}

std::string RtspUrl::requestUrl() const {
    std::string out = "rtsp://";
    if (host.find(':') != std::string::npos)
        out += "[" + host + "]";
    else
        out += host;
    if (port != 554) out += ":" + std::to_string(port);
    out += path;
    return out;
}

std::string resolveControlUrl(const std::string& base, const std::string& control) {
    if (control.empty() || control == "*") return base;
    if (startsWithNoCase(control, "rtsp://") || startsWithNoCase(control, "rtsps://")) return control;
    std::string out = base;
    if (out.empty() || out.back() != '/') {
        if (control[0] != '/') out += '/';
    } else if (control[0] == '/') {
        out.pop_back();
    }
    return out + control;
}

}  // namespace rtspclient
