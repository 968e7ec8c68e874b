// A STREAM_CREATED reply as the streamer sends it (protobuf bytes), through what the session
// and the RTSP client make of its address and credentials: the address the session builds
// from its host and the reply's port-and-path text, the client made for it, and the
// Authorization headers those credentials would go out in. Whatever the reply holds, an
// address that is used must name the host the session connected to, and every header must
// stay one well-formed line.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <google/protobuf/stubs/logging.h>

#include "../rtspclient/AuthorizationCheck.h"
#include "RtspAuth.h"
#include "RtspUrl.h"
#include "input-lib/InputClient.pb.h"
#include "rtspclient/VideoRTSPClient.h"
#include "stream/session/StreamPlayerAPI.h"

namespace {

struct Owner : IVideoRTSPClient {
    IRTSPSink* createSink(const char*, void*) override { return nullptr; }
    void onStop() override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool quiet = (google::protobuf::SetLogHandler(nullptr), true);
    (void)quiet;
    InputClient::Response reply;
    if (!reply.ParseFromArray(data, static_cast<int>(size))) return 0;
    const auto& config = reply.streamconfig();

    const std::string host = "streamer-7.example.net";
    std::string url;
    if (!StreamPlayerAPI::streamUrl(host, config.urlportandpostfix(), url)) return 0;
    // The address reaches the library as a C string: a NUL ends it there.
    url = url.c_str();
    rtspclient::RtspUrl parsed;
    if (!parsed.parse(url)) return 0;  // the library makes no client for it
    if (parsed.host != host) std::abort();  // the credentials would go elsewhere

    Owner owner;
    void* client = VideoRTSPClient::createNew(&owner, url.c_str(), config.tmpusername().c_str(),
                                              config.tmppassword().c_str(), "SimpleInputInterface", false);
    if (!client) std::abort();
    VideoRTSPClient::deleteClient(client);

    // The client answers a challenge only with credentials that fit a header.
    if (!rtspclient::usableCredentials(config.tmpusername(), config.tmppassword())) return 0;
    for (const char* challenge : {"Basic realm=\"r\"", "Digest realm=\"r\", nonce=\"n\", qop=\"auth\", opaque=\"o\""}) {
        rtspclient::RtspAuthenticator auth;
        auth.setCredentials(config.tmpusername(), config.tmppassword());
        auth.setChallenge(rtspclient::chooseChallenge({challenge}));
        if (!fuzzcheck::wellFormedAuthorization(auth.authorization("DESCRIBE", parsed.requestUrl()))) std::abort();
    }
    return 0;
}
