#include "Sdp.h"

#include <cctype>
#include <cstdlib>

namespace rtspclient {
namespace {

constexpr std::size_t kMaxMedia = 16;

bool toInt(const std::string& s, long min, long max, long& out) {
    if (s.empty() || s.size() > 10) return false;
    long v = 0;
    for (char c : s) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
        v = v * 10 + (c - '0');
    }
    if (v < min || v > max) return false;
    out = v;
    return true;
}

std::vector<std::string> splitSpaces(const std::string& s) {
    std::vector<std::string> out;
    std::size_t pos = 0;
    while (pos < s.size()) {
        while (pos < s.size() && s[pos] == ' ') ++pos;
        const std::size_t end = s.find(' ', pos);
        if (pos < s.size()) out.push_back(s.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
        if (end == std::string::npos) break;
        pos = end;
    }
    return out;
}

}  // namespace

bool staticPayloadType(int pt, std::string& name, std::uint32_t& clockRate, int& channels) {
    struct Entry { int pt; const char* name; std::uint32_t clock; int channels; };
    static const Entry kTable[] = {
        {0, "PCMU", 8000, 1}, {3, "GSM", 8000, 1},    {4, "G723", 8000, 1},   {5, "DVI4", 8000, 1},
        {6, "DVI4", 16000, 1}, {7, "LPC", 8000, 1},   {8, "PCMA", 8000, 1},   {9, "G722", 8000, 1},
        {10, "L16", 44100, 2}, {11, "L16", 44100, 1}, {12, "QCELP", 8000, 1}, {13, "CN", 8000, 1},
        {14, "MPA", 90000, 0}, {15, "G728", 8000, 1}, {16, "DVI4", 11025, 1}, {17, "DVI4", 22050, 1},
        {18, "G729", 8000, 1}, {25, "CELB", 90000, 0}, {26, "JPEG", 90000, 0}, {28, "NV", 90000, 0},
        {31, "H261", 90000, 0}, {32, "MPV", 90000, 0}, {33, "MP2T", 90000, 0}, {34, "H263", 90000, 0},
    };
    for (const Entry& e : kTable) {
        if (e.pt != pt) continue;
        name = e.name;
        clockRate = e.clock;
        channels = e.channels;
        return true;
    }
    return false;
}

bool parseSdp(const std::string& text, SdpSession& out, std::string& error) {
    out = SdpSession();
    bool sawVersion = false;
    SdpMedia* current = nullptr;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t nl = text.find('\n', pos);
        if (nl == std::string::npos) nl = text.size();
        std::string line = text.substr(pos, nl - pos);
        pos = nl + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() < 2 || line[1] != '=') continue;
        const char type = line[0];
        const std::string value = line.substr(2);
        if (type == 'v') {
            sawVersion = true;
        } else if (type == 'm') {
            if (out.media.size() >= kMaxMedia) {
                current = nullptr;  // ignore anything past the limit
                continue;
            }
            const std::vector<std::string> f = splitSpaces(value);
            out.media.emplace_back();
            current = &out.media.back();
            if (f.size() >= 4) {
                current->media = f[0];
                current->protocol = f[2];
                long pt = 0;
                if (toInt(f[3], 0, 127, pt)) current->payloadType = static_cast<int>(pt);
            }
            if (current->payloadType >= 0)
                staticPayloadType(current->payloadType, current->codec, current->clockRate, current->channels);
        } else if (type == 'a') {
            const std::size_t colon = value.find(':');
            const std::string name = value.substr(0, colon);
            const std::string attr = colon == std::string::npos ? std::string() : value.substr(colon + 1);
            if (name == "control") {
                if (current)
                    current->control = attr;
                else
                    out.control = attr;
            } else if (current && (name == "rtpmap" || name == "fmtp")) {
                const std::size_t sp = attr.find_first_of(" \t");
                long pt = 0;
                if (sp == std::string::npos || !toInt(attr.substr(0, sp), 0, 127, pt) ||
                    pt != current->payloadType)
                    continue;
                std::string rest = attr.substr(sp + 1);
                while (!rest.empty() && (rest[0] == ' ' || rest[0] == '\t')) rest.erase(0, 1);
                if (name == "fmtp") {
                    current->fmtp = rest;
                    continue;
                }
                // <encoding name>/<clock rate>[/<channels>]
                const std::size_t s1 = rest.find('/');
                const std::string codec = rest.substr(0, s1);
                if (codec.empty()) continue;
                long clock = 0, channels = 0;
                if (s1 == std::string::npos) continue;  // the clock rate is not optional
                {
                    const std::size_t s2 = rest.find('/', s1 + 1);
                    if (!toInt(rest.substr(s1 + 1, s2 == std::string::npos ? std::string::npos : s2 - s1 - 1), 1,
                               10000000, clock))
                        continue;
                    if (s2 != std::string::npos && !toInt(rest.substr(s2 + 1), 0, 255, channels)) channels = 0;
                }
                current->codec = codec;
                current->clockRate = static_cast<std::uint32_t>(clock);
                current->channels = static_cast<int>(channels);
            }
        }
    }
    if (!sawVersion && out.media.empty()) {
        error = "not a session description";
        return false;
    }
    return true;
}

}  // namespace rtspclient
