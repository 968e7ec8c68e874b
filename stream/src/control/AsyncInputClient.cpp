#include "stream/control/AsyncInputClient.h"

#include <boost/asio/error.hpp>

#include "core/LogLine.h"

namespace {

// "5 s", "0.3 s": a time-out as the user reads it.
std::string secondsText(std::chrono::milliseconds ms) {
    const long long whole = ms.count() / 1000;
    const long long tenths = (ms.count() % 1000) / 100;
    return std::to_string(whole) + (tenths ? "." + std::to_string(tenths) : std::string()) + " s";
}

}  // namespace

AsyncInputClient::AsyncInputClient(AsyncInputClientEvents* owner, boost::asio::io_context& io,
                                   std::recursive_mutex& callbackGate,
                                   std::chrono::milliseconds inactivityTimeout,
                                   std::chrono::milliseconds replyTimeout)
    : InputClientBase(io, inactivityTimeout, replyTimeout),
      owner_(owner),
      gate_(callbackGate),
      inactivityTimeout_(inactivityTimeout) {}

void AsyncInputClient::detach() {
    std::lock_guard<std::recursive_mutex> lock(gate_);
    detached_.store(true);
}

void AsyncInputClient::reportError(const std::string& reason, int code) {
    std::lock_guard<std::recursive_mutex> lock(gate_);
    if (detached_.load()) return;
    owner_->onFailureReason(reason);
    owner_->onError(code);
}

void AsyncInputClient::reportTimeout(const std::string& reason) {
    std::lock_guard<std::recursive_mutex> lock(gate_);
    if (detached_.load()) return;
    owner_->onFailureReason(reason);
    owner_->onTimeout();
}

void AsyncInputClient::on_connected() {
    everConnected_ = true;
    std::lock_guard<std::recursive_mutex> lock(gate_);
    if (detached_.load()) return;
    owner_->onConnectionStarted();
}

void AsyncInputClient::on_closed() {
    std::lock_guard<std::recursive_mutex> lock(gate_);
    if (detached_.load()) return;
    owner_->onConnectionClosed();
}

void AsyncInputClient::on_timeout() {
    reportTimeout(everConnected_ ? "nothing came from the streamer for " + secondsText(inactivityTimeout_)
                                 : "the streamer did not take the connection within " +
                                       secondsText(inactivityTimeout_));
}

void AsyncInputClient::on_reply_timeout() {
    // Written even for a detached transport, like the socket errors below.
    LogLine(50, "AsyncInputClient::on_reply_timeout", __LINE__).stream()
        << "connection lost: no answer from the streamer for " << replyTimeout().count() << " ms";
    reportTimeout("the streamer stopped answering (nothing for " + secondsText(replyTimeout()) + ")");
}

void AsyncInputClient::on_error(const error_code& error) {
    // Written even for a detached transport: it is the only record of the socket's fate.
    // Our own stop ends the pending read with "operation aborted": that is how a connection
    // normally ends, not an error.
    std::string reason;
    if (isStopped() && error == boost::asio::error::operation_aborted) {
        LogLine(0, "AsyncInputClient::on_error", __LINE__).stream() << "connection closed on request";
        reason = "the connection was closed";
    } else if (error == boost::asio::error::eof) {
        LogLine(50, "AsyncInputClient::on_error", __LINE__).stream() << "connection error: the streamer closed the connection";
        reason = "the streamer closed the connection";
    } else {
        LogLine(50, "AsyncInputClient::on_error", __LINE__).stream() << "connection error: " << error.message();
        reason = error.message();
    }
    reportError(reason, 0);
}

void AsyncInputClient::on_version_error() { reportError("the streamer sent a message of an unknown version", 1); }

void AsyncInputClient::on_header_error() { reportError("a message from the streamer arrived damaged", 2); }

void AsyncInputClient::on_frame_error(const std::string& reason) {
    std::lock_guard<std::recursive_mutex> lock(gate_);
    if (detached_.load()) return;
    LogLine(50, "AsyncInputClient::on_frame_error", __LINE__).stream()
        << "connection error: " << reason;
    owner_->onFailureReason("the streamer sent a malformed message");
    owner_->onError(0);
}

bool AsyncInputClient::on_message(const InputClient::Response& message, bool parsed) {
    std::lock_guard<std::recursive_mutex> lock(gate_);
    if (detached_.load()) return false;
    if (!parsed)
        LogLine(40, "AsyncInputClient::on_message", __LINE__).stream()
            << "response of type " << message.type()
            << " did not parse completely; dispatching the fields read";
    owner_->onResponse(message);
    return true;
}
