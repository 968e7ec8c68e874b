// WWW-Authenticate values from a server (one per line of the input) through the client's
// choice of a challenge and the Authorization header it answers with. Whatever the server
// sent, the answer must be one header line of well-formed parameters, each named once:
// a value of the server's may never end a quoted string early or start a new parameter or
// line. A refused challenge is never answered.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "AuthorizationCheck.h"
#include "RtspAuth.h"

using namespace rtspclient;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> challenges;
    std::size_t pos = 0;
    const char* text = reinterpret_cast<const char*>(data);
    while (pos <= size && challenges.size() < 8) {
        const void* nl = std::memchr(text + pos, '\n', size - pos);
        const std::size_t end = nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - text) : size;
        challenges.emplace_back(text + pos, end - pos);
        pos = end + 1;
    }
    std::string refused;
    const AuthChallenge chosen = chooseChallenge(challenges, &refused);
    if (!refused.empty() && chosen.scheme != AuthChallenge::Scheme::None) std::abort();
    if (chosen.scheme == AuthChallenge::Scheme::None) return 0;

    RtspAuthenticator auth;
    auth.setCredentials("us\"er\\", "p\"ss");  // our own quotes must be escaped as well
    auth.setChallenge(chosen);
    auth.setClientNonce("0a4f113b");
    for (const char* method : {"DESCRIBE", "SETUP"}) {
        if (!fuzzcheck::wellFormedAuthorization(auth.authorization(method, "rtsp://127.0.0.1/a\"b"))) std::abort();
    }
    return 0;
}
