#include "RtspAuth.h"

#include <cctype>
#include <cstdio>
#include <openssl/evp.h>
#include <random>
#include <strings.h>

namespace rtspclient {
namespace {

enum class Parse { Ok, Malformed, Hostile };

// Parses `Scheme k=v, k="v", ...` into scheme and parameters. Hostile: a value that would
// break the header we answer with if echoed (a control character, a quote outside a
// quoted string); why says which.
Parse parseChallenge(const std::string& value, std::string& scheme,
                     std::vector<std::pair<std::string, std::string>>& params, std::string& why) {
    for (unsigned char c : value) {
        if (c < 0x20 || c == 0x7f) {
            why = "a control character";
            return Parse::Hostile;
        }
    }
    std::size_t pos = 0;
    while (pos < value.size() && value[pos] == ' ') ++pos;
    const std::size_t sp = value.find(' ', pos);
    scheme = value.substr(pos, sp == std::string::npos ? std::string::npos : sp - pos);
    if (scheme.empty()) return Parse::Malformed;
    pos = sp == std::string::npos ? value.size() : sp;
    while (pos < value.size()) {
        while (pos < value.size() && (value[pos] == ' ' || value[pos] == ',')) ++pos;
        if (pos >= value.size()) break;
        const std::size_t eq = value.find('=', pos);
        if (eq == std::string::npos) return Parse::Malformed;
        std::string key = value.substr(pos, eq - pos);
        while (!key.empty() && key.back() == ' ') key.pop_back();
        if (key.find('"') != std::string::npos) {
            why = "an unescaped quote";
            return Parse::Hostile;
        }
        pos = eq + 1;
        while (pos < value.size() && value[pos] == ' ') ++pos;
        std::string val;
        if (pos < value.size() && value[pos] == '"') {
            ++pos;
            while (pos < value.size() && value[pos] != '"') {
                if (value[pos] == '\\' && pos + 1 < value.size()) ++pos;
                val += value[pos++];
            }
            if (pos >= value.size()) return Parse::Malformed;  // unterminated quote
            ++pos;
            // What follows a quoted string is the next parameter; anything else means the
            // quote that ended it was meant to be part of the value.
            while (pos < value.size() && value[pos] == ' ') ++pos;
            if (pos < value.size() && value[pos] != ',') {
                why = "an unescaped quote";
                return Parse::Hostile;
            }
        } else {
            const std::size_t end = value.find(',', pos);
            val = value.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
            while (!val.empty() && val.back() == ' ') val.pop_back();
            if (val.find('"') != std::string::npos) {
                why = "an unescaped quote";
                return Parse::Hostile;
            }
            pos = end == std::string::npos ? value.size() : end;
        }
        params.emplace_back(key, val);
        if (params.size() > 32) return Parse::Malformed;
    }
    return Parse::Ok;
}

// A quoted-string of the Authorization header: quote and backslash escaped.
std::string quoted(const std::string& value) {
    std::string out = "\"";
    for (char c : value) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

std::string randomHex(std::size_t bytes) {
    static thread_local std::mt19937 gen{std::random_device{}()};
    static const char* kHex = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < bytes; ++i) {
        const unsigned b = gen() & 0xff;
        out += kHex[b >> 4];
        out += kHex[b & 15];
    }
    return out;
}

}  // namespace

AuthChallenge chooseChallenge(const std::vector<std::string>& wwwAuthenticate, std::string* refused) {
    AuthChallenge basic, digest;
    std::string refusal;
    for (const std::string& value : wwwAuthenticate) {
        std::string scheme;
        std::vector<std::pair<std::string, std::string>> params;
        std::string why;
        const Parse parsed = parseChallenge(value, scheme, params, why);
        if (parsed == Parse::Hostile) {
            // Whichever scheme it claims: a server that sends it is not answered at all.
            if (refusal.empty()) refusal = "an authentication challenge that holds " + why;
            continue;
        }
        if (parsed != Parse::Ok) continue;
        if (strcasecmp(scheme.c_str(), "Basic") == 0) {
            basic.scheme = AuthChallenge::Scheme::Basic;
            for (const auto& p : params)
                if (strcasecmp(p.first.c_str(), "realm") == 0) basic.realm = p.second;
        } else if (strcasecmp(scheme.c_str(), "Digest") == 0) {
            AuthChallenge d;
            d.scheme = AuthChallenge::Scheme::Digest;
            for (const auto& p : params) {
                const char* k = p.first.c_str();
                if (strcasecmp(k, "realm") == 0) d.realm = p.second;
                else if (strcasecmp(k, "nonce") == 0) d.nonce = p.second;
                else if (strcasecmp(k, "opaque") == 0) d.opaque = p.second;
                else if (strcasecmp(k, "algorithm") == 0) d.algorithm = p.second;
                else if (strcasecmp(k, "stale") == 0) d.stale = strcasecmp(p.second.c_str(), "true") == 0;
                else if (strcasecmp(k, "qop") == 0) {
                    std::size_t pos = 0;
                    const std::string& q = p.second;
                    while (pos <= q.size()) {
                        std::size_t end = q.find(',', pos);
                        if (end == std::string::npos) end = q.size();
                        std::string item = q.substr(pos, end - pos);
                        while (!item.empty() && item.front() == ' ') item.erase(0, 1);
                        while (!item.empty() && item.back() == ' ') item.pop_back();
                        if (strcasecmp(item.c_str(), "auth") == 0) d.qopAuth = true;
                        pos = end + 1;
                    }
                }
            }
            const bool md5 = d.algorithm.empty() || strcasecmp(d.algorithm.c_str(), "MD5") == 0;
            if (md5 && !d.nonce.empty() && digest.scheme == AuthChallenge::Scheme::None) digest = d;
        }
    }
    if (!refusal.empty()) {
        if (refused) *refused = refusal;
        return AuthChallenge();
    }
    return digest.scheme != AuthChallenge::Scheme::None ? digest : basic;
}

void RtspAuthenticator::setCredentials(const std::string& user, const std::string& password) {
    user_ = user;
    password_ = password;
}

void RtspAuthenticator::setChallenge(const AuthChallenge& challenge) {
    challenge_ = challenge;
    nonceCount_ = 0;
}

std::string RtspAuthenticator::authorization(const std::string& method, const std::string& uri) {
    switch (challenge_.scheme) {
        case AuthChallenge::Scheme::None:
            return std::string();
        case AuthChallenge::Scheme::Basic:
            return "Basic " + base64Encode(user_ + ":" + password_);
        case AuthChallenge::Scheme::Digest:
            break;
    }
    const std::string ha1 = md5Hex(user_ + ":" + challenge_.realm + ":" + password_);
    const std::string ha2 = md5Hex(method + ":" + uri);
    std::string out = "Digest username=" + quoted(user_) + ", realm=" + quoted(challenge_.realm) +
                      ", nonce=" + quoted(challenge_.nonce) + ", uri=" + quoted(uri);
    if (challenge_.qopAuth) {
        char nc[9];
        std::snprintf(nc, sizeof nc, "%08x", ++nonceCount_);
        if (cnonce_.empty()) cnonce_ = randomHex(8);
        const std::string response =
            md5Hex(ha1 + ":" + challenge_.nonce + ":" + nc + ":" + cnonce_ + ":auth:" + ha2);
        out += ", response=\"" + response + "\", qop=auth, nc=" + nc + ", cnonce=\"" + cnonce_ + "\"";
    } else {
        out += ", response=\"" + md5Hex(ha1 + ":" + challenge_.nonce + ":" + ha2) + "\"";
    }
    if (!challenge_.algorithm.empty()) out += ", algorithm=" + challenge_.algorithm;
    if (!challenge_.opaque.empty()) out += ", opaque=" + quoted(challenge_.opaque);
    return out;
}

bool usableCredentials(const std::string& user, const std::string& password) {
    for (const std::string* s : {&user, &password})
        for (unsigned char c : *s)
            if (c < 0x20 || c == 0x7f) return false;
    return true;
}

std::string base64Encode(const std::string& in) {
    static const char* kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((in.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < in.size(); i += 3) {
        const unsigned v = (static_cast<unsigned char>(in[i]) << 16) | (static_cast<unsigned char>(in[i + 1]) << 8) |
                           static_cast<unsigned char>(in[i + 2]);
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += kAlphabet[v & 63];
    }
    if (i + 1 == in.size()) {
        const unsigned v = static_cast<unsigned char>(in[i]) << 16;
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += "==";
    } else if (i + 2 == in.size()) {
        const unsigned v = (static_cast<unsigned char>(in[i]) << 16) | (static_cast<unsigned char>(in[i + 1]) << 8);
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += '=';
    }
    return out;
}

std::string md5Hex(const std::string& in) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    EVP_Digest(in.data(), in.size(), digest, &len, EVP_md5(), nullptr);
    static const char* kHex = "0123456789abcdef";
    std::string out;
    for (unsigned i = 0; i < len; ++i) {
        out += kHex[digest[i] >> 4];
        out += kHex[digest[i] & 15];
    }
    return out;
}

}  // namespace rtspclient
