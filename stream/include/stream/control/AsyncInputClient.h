#pragma once
// The client's control-channel transport: sends InputClient::Request frames, receives
// InputClient::Response frames and reports everything to its owner (an InputInterface).
//
// Detaching cuts the owner off: from then on no event reaches it. Detaching and every
// delivery to the owner take the owner's callback gate, so once detach() has returned on
// any thread, no callback of this transport is running or will run.

#include <atomic>
#include <mutex>
#include <string>

#include "input-lib/InputClient.pb.h"
#include "stream/control/AsyncInputClientEvents.h"
#include "stream/control/InputClientBase.h"

class AsyncInputClient : public InputClientBase<InputClient::Request, InputClient::Response> {
public:
    AsyncInputClient(AsyncInputClientEvents* owner, boost::asio::io_context& io,
                     std::recursive_mutex& callbackGate,
                     std::chrono::milliseconds inactivityTimeout = kDefaultInactivityTimeout,
                     std::chrono::milliseconds replyTimeout = std::chrono::milliseconds(0));

    void detach();
    bool isDetached() const { return detached_.load(); }

protected:
    void on_connected() override;
    void on_closed() override;
    void on_timeout() override;
    void on_error(const error_code& error) override;
    void on_version_error() override;
    void on_header_error() override;
    void on_frame_error(const std::string& reason) override;
    bool on_message(const InputClient::Response& message, bool parsed) override;
    void on_reply_timeout() override;

private:
    // Under the gate: the reason, then the report, unless detached.
    void reportError(const std::string& reason, int code);
    void reportTimeout(const std::string& reason);

    AsyncInputClientEvents* owner_;
    std::recursive_mutex& gate_;
    const std::chrono::milliseconds inactivityTimeout_;
    std::atomic<bool> detached_{false};
    bool everConnected_ = false;  // io thread
};
