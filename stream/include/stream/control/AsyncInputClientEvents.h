#pragma once
// What a control-channel transport reports to its owner. Every call arrives on the owner's
// io thread.

namespace InputClient {
class Response;
}

#include <string>

class AsyncInputClientEvents {
public:
    virtual ~AsyncInputClientEvents() = default;
    // No traffic within the inactivity time-out, or no reply within the reply time-out (a
    // connected socket has been closed first), or a connect that did not complete in time.
    virtual void onTimeout() = 0;
    // 0 socket or framing error, 1 a header with a version other than 1, 2 a header that
    // failed its checksum.
    virtual void onError(int code) = 0;
    // The TCP connection is up and reading has begun.
    virtual void onConnectionStarted() = 0;
    // A connected socket was closed.
    virtual void onConnectionClosed() = 0;
    // A message arrived. The message belongs to the transport and is reused for the next one.
    virtual bool onResponse(const InputClient::Response& response) = 0;
    // Why the connection failed or ended, in a few words a user can read; comes right before
    // the onError or onTimeout that reports it.
    virtual void onFailureReason(const std::string& reason) { (void)reason; }
};
