#pragma once
// Basic and Digest (MD5, RFC 2617) authentication of RTSP requests.

#include <cstdint>
#include <string>
#include <vector>

namespace rtspclient {

struct AuthChallenge {
    enum class Scheme { None, Basic, Digest };
    Scheme scheme = Scheme::None;
    std::string realm;
    std::string nonce;
    std::string opaque;
    std::string algorithm;
    bool qopAuth = false;  // the server offers qop "auth"
    bool stale = false;
};

// Picks the strongest challenge we can answer from the WWW-Authenticate values of a 401
// (Digest with MD5 before Basic). Scheme None when none is usable. A challenge whose values
// hold control characters or a quote outside a quoted string would put them into our
// Authorization header: then none is answered, and refused (when given) says why.
AuthChallenge chooseChallenge(const std::vector<std::string>& wwwAuthenticate, std::string* refused = nullptr);

class RtspAuthenticator {
public:
    void setCredentials(const std::string& user, const std::string& password);
    bool hasCredentials() const { return !user_.empty() || !password_.empty(); }
    void setChallenge(const AuthChallenge& challenge);
    const AuthChallenge& challenge() const { return challenge_; }
    bool active() const { return challenge_.scheme != AuthChallenge::Scheme::None; }
    // The Authorization header value for one request; empty when no challenge is known.
    std::string authorization(const std::string& method, const std::string& uri);
    // Fixes the client nonce (tests); otherwise it is random.
    void setClientNonce(const std::string& cnonce) { cnonce_ = cnonce; }

private:
    std::string user_;
    std::string password_;
    AuthChallenge challenge_;
    std::uint32_t nonceCount_ = 0;
    std::string cnonce_;
};

// Credentials that can go into a request header: no control characters.
bool usableCredentials(const std::string& user, const std::string& password);

std::string base64Encode(const std::string& in);
std::string md5Hex(const std::string& in);

}  // namespace rtspclient
