#include "RtspMessage.h"

#include <cctype>
#include <cstring>
#include <strings.h>

namespace rtspclient {
namespace {

std::string trim(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
    return s.substr(b, e - b);
}

bool parseNumber(const std::string& s, unsigned long max, unsigned long& out) {
    if (s.empty() || s.size() > 10) return false;
    unsigned long v = 0;
    for (char c : s) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
        v = v * 10 + static_cast<unsigned long>(c - '0');
    }
    if (v > max) return false;
    out = v;
    return true;
}

// Finds the end of the header block, looking from from on: the index just past the
// empty line, 0 when it is not there yet.
std::size_t findHeaderEnd(const std::uint8_t* data, std::size_t size, std::size_t from) {
    for (std::size_t i = from; i + 1 < size; ++i) {
        if (data[i] != '\n') continue;
        if (data[i + 1] == '\n') return i + 2;
        if (data[i + 1] == '\r' && i + 2 < size && data[i + 2] == '\n') return i + 3;
    }
    return 0;
}

}  // namespace

void RtspMessage::clear() {
    isResponse = false;
    status = 0;
    reason.clear();
    method.clear();
    uri.clear();
    headers.clear();
    body.clear();
}

const std::string* RtspMessage::header(const char* name) const {
    for (const auto& h : headers)
        if (strcasecmp(h.first.c_str(), name) == 0) return &h.second;
    return nullptr;
}

long RtspMessage::cseq() const {
    const std::string* v = header("CSeq");
    unsigned long n = 0;
    if (!v || !parseNumber(*v, 0x7fffffffUL, n)) return -1;
    return static_cast<long>(n);
}

RtspStreamParser::Result RtspStreamParser::parse(const std::uint8_t* data, std::size_t size,
                                                 std::size_t& consumed, RtspMessage& message, Frame& frame) {
    consumed = 0;
    if (size == 0) return Result::NeedMore;
    // The rest of a message whose size is known: nothing to look at before all of it is here.
    if (needed_ != 0 && size < needed_) return Result::NeedMore;
    if (data[0] == '$') {
        if (size < 4) return Result::NeedMore;
        const std::size_t len = (static_cast<std::size_t>(data[2]) << 8) | data[3];
        if (size < 4 + len) return Result::NeedMore;
        frame.channel = data[1];
        frame.data = data + 4;
        frame.size = len;
        consumed = 4 + len;
        return Result::Interleaved;
    }
    if (!std::isalpha(data[0])) {
        error_ = "unexpected byte on the RTSP connection";
        return Result::Error;
    }
    // Bytes that arrive one by one are not looked at again each time: the search goes on
    // where it stopped (less the two bytes an empty line may already have begun in).
    const std::size_t limit = size < kMaxHeaderBytes ? size : kMaxHeaderBytes;
    const std::size_t headerEnd = findHeaderEnd(data, limit, scanned_ > 2 ? scanned_ - 2 : 0);
    if (headerEnd == 0) {
        if (size >= kMaxHeaderBytes) {
            error_ = "RTSP header block too long";
            return Result::Error;
        }
        scanned_ = limit;
        return Result::NeedMore;
    }

    message.clear();
    const std::string block(reinterpret_cast<const char*>(data), headerEnd);
    std::size_t pos = 0;
    bool first = true;
    while (pos < block.size()) {
        std::size_t nl = block.find('\n', pos);
        if (nl == std::string::npos) nl = block.size();
        std::string line = block.substr(pos, nl - pos);
        pos = nl + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) break;
        if (first) {
            first = false;
            if (line.compare(0, 5, "RTSP/") == 0) {
                const std::size_t sp1 = line.find(' ');
                if (sp1 == std::string::npos) {
                    error_ = "malformed RTSP status line";
                    return Result::Error;
                }
                const std::size_t sp2 = line.find(' ', sp1 + 1);
                unsigned long status = 0;
                if (!parseNumber(line.substr(sp1 + 1, sp2 == std::string::npos ? std::string::npos : sp2 - sp1 - 1),
                                 999, status) ||
                    status < 100) {
                    error_ = "malformed RTSP status line";
                    return Result::Error;
                }
                message.isResponse = true;
                message.status = static_cast<int>(status);
                message.reason = sp2 == std::string::npos ? std::string() : line.substr(sp2 + 1);
            } else {
                const std::size_t sp1 = line.find(' ');
                const std::size_t sp2 = sp1 == std::string::npos ? sp1 : line.find(' ', sp1 + 1);
                if (sp2 == std::string::npos || line.compare(sp2 + 1, 5, "RTSP/") != 0) {
                    error_ = "malformed RTSP request line";
                    return Result::Error;
                }
                message.method = line.substr(0, sp1);
                message.uri = line.substr(sp1 + 1, sp2 - sp1 - 1);
            }
            continue;
        }
        if ((line[0] == ' ' || line[0] == '\t') && !message.headers.empty()) {
            message.headers.back().second += " " + trim(line);  // folded continuation line
            continue;
        }
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos || colon == 0) {
            error_ = "malformed RTSP header line";
            return Result::Error;
        }
        message.headers.emplace_back(trim(line.substr(0, colon)), trim(line.substr(colon + 1)));
        if (message.headers.size() > 128) {
            error_ = "too many RTSP header lines";
            return Result::Error;
        }
    }

    std::size_t bodyLen = 0;
    if (const std::string* cl = message.header("Content-Length")) {
        unsigned long n = 0;
        if (!parseNumber(*cl, kMaxBodyBytes, n)) {
            error_ = "bad or too large Content-Length";
            return Result::Error;
        }
        bodyLen = n;
    }
    if (size - headerEnd < bodyLen) {
        needed_ = headerEnd + bodyLen;
        return Result::NeedMore;
    }
    message.body.assign(reinterpret_cast<const char*>(data + headerEnd), bodyLen);
    consumed = headerEnd + bodyLen;
    scanned_ = 0;
    needed_ = 0;
    return Result::Message;
}

bool findParameter(const std::string& value, const char* name, std::string& out) {
    const std::size_t nameLen = std::strlen(name);
    std::size_t pos = 0;
    while (pos <= value.size()) {
        std::size_t end = value.find(';', pos);
        if (end == std::string::npos) end = value.size();
        const std::string part = trim(value.substr(pos, end - pos));
        if (part.size() >= nameLen && strncasecmp(part.c_str(), name, nameLen) == 0) {
            if (part.size() == nameLen) {
                out.clear();
                return true;
            }
            if (part[nameLen] == '=') {
                out = trim(part.substr(nameLen + 1));
                return true;
            }
        }
        pos = end + 1;
    }
    return false;
}

std::vector<RtpInfoEntry> parseRtpInfo(const std::string& value) {
    std::vector<RtpInfoEntry> out;
    std::size_t pos = 0;
    while (pos < value.size() && out.size() < 64) {
        std::size_t end = value.find(',', pos);
        if (end == std::string::npos) end = value.size();
        const std::string item = value.substr(pos, end - pos);
        pos = end + 1;
        RtpInfoEntry entry;
        if (!findParameter(item, "url", entry.url) || entry.url.empty()) continue;
        std::string seq;
        unsigned long n = 0;
        if (findParameter(item, "seq", seq) && parseNumber(seq, 65535, n)) {
            entry.haveSequence = true;
            entry.sequence = static_cast<std::uint16_t>(n);
        }
        out.push_back(std::move(entry));
    }
    return out;
}

}  // namespace rtspclient
