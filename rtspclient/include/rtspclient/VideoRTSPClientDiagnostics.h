#pragma once
// Diagnostics beside the six operations, for tools that must tell a user why a stream
// did not play.

#include <cstddef>

namespace VideoRTSPClient {

// Copies why the client's last mainLoop ended on its own (refused connection, rejected
// credentials, no media, ...) into buffer, NUL-terminated and cut to size. Returns false,
// leaving an empty text, when it did not fail or the handle is null.
bool lastError(void* handle, char* buffer, std::size_t size);

// True when the client's last mainLoop ended because the stream stalled: no RTP or RTCP
// packet came within the stall time-out (VideoRTSPClientSettings.h). False for a null handle.
bool stalled(void* handle);

}  // namespace VideoRTSPClient
