#pragma once
// rtsp:// addresses: parsing and the resolution of control URLs against a base.

#include <cstdint>
#include <string>

namespace rtspclient {

struct RtspUrl {
    std::string host;       // without brackets for IPv6 literals
    std::uint16_t port = 554;
    std::string path;       // from the first '/' on (query included); may be empty
    std::string user;       // credentials written into the address, if any
    std::string password;

    // False for anything that is not a well-formed rtsp:// address. Control characters
    // and spaces are refused anywhere, so an address can never inject a header line.
    bool parse(const std::string& text);
    // The address as it goes into request lines: no credentials.
    std::string requestUrl() const;
};

// The URL of a media or session control attribute: "*" or empty means the base itself,
// an absolute rtsp:// address is taken as it is, anything else is appended to the base.
std::string resolveControlUrl(const std::string& base, const std::string& control);

}  // namespace rtspclient
