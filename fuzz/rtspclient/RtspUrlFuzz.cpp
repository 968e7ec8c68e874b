// rtsp:// addresses as the session builds them from the streamer's reply, and control URLs
// from a server's description. An address that parses must give a request URL that parses
// again to the same host, port and path, with no character that could end a request line
// or header (no control character, no space).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "RtspUrl.h"

using namespace rtspclient;

namespace {

bool lineSafe(const std::string& s) {
    for (unsigned char c : s)
        if (c <= 0x20 || c == 0x7f) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Before the first NUL: the address; after it: a control attribute.
    const char* text = reinterpret_cast<const char*>(data);
    const void* nul = std::memchr(text, '\0', size);
    const std::size_t split = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - text) : size;
    const std::string address(text, split);
    const std::string control = split < size ? std::string(text + split + 1, size - split - 1) : std::string();

    RtspUrl url;
    if (!url.parse(address)) return 0;
    const std::string request = url.requestUrl();
    if (!lineSafe(request) || url.host.empty()) std::abort();
    RtspUrl again;
    if (!again.parse(request) || again.host != url.host || again.port != url.port || again.path != url.path ||
        !again.user.empty() || !again.password.empty())
        std::abort();
    const std::string resolved = resolveControlUrl(request, control);
    (void)resolved;
    return 0;
}
