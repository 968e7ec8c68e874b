#pragma once
// Settings of a client beside the six operations, made by the library's caller between
// createNew and mainLoop, on the thread that runs mainLoop.

namespace VideoRTSPClient {

// After PLAY, a stream that brings no RTP or RTCP packet for this long has stalled: the
// client ends it (mainLoop returns after onStop) and says so (lastError, stalled).
constexpr int kDefaultStallTimeoutMs = 10000;

// Sets the stall time-out of a client in milliseconds; 0 turns the check off.
void setStallTimeout(void* handle, int milliseconds);

}  // namespace VideoRTSPClient
