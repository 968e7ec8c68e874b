#include "stream/control/AsyncInputClient.h"

#include <boost/asio/error.hpp>

#include "core/LogLine.h"

AsyncInputClient::AsyncInputClient(AsyncInputClientEvents* owner, boost::asio::io_context& io,
                                   std::recursive_mutex& callbackGate,
                                   std::chrono::milliseconds inactivityTimeout)
    : InputClientBase(io, inactivityTimeout), owner_(owner), gate_(callbackGate) {}

void AsyncInputClient::detach() {
    std::lock_guard<std::recursive_mutex> lock(gate_);
    detached_.store(true);
}

void AsyncInputClient::on_connected() {
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
    std::lock_guard<std::recursive_mutex> lock(gate_);
    if (detached_.load()) return;
    owner_->onTimeout();
}

void AsyncInputClient::on_error(const error_code& error) {
    // Written even for a detached transport: it is the only record of the socket's fate.
    // Our own stop ends the pending read with "operation aborted": that is how a connection
    // normally ends, not an error.
    if (isStopped() && error == boost::asio::error::operation_aborted)
        LogLine(0, "AsyncInputClient::on_error", __LINE__).stream() << "connection closed on request";
    else if (error == boost::asio::error::eof)
        LogLine(50, "AsyncInputClient::on_error", __LINE__).stream() << "connection error: the streamer closed the connection";
    else
        LogLine(50, "AsyncInputClient::on_error", __LINE__).stream() << "connection error: " << error.message();
    std::lock_guard<std::recursive_mutex> lock(gate_);
    if (detached_.load()) return;
    owner_->onError(0);
}

void AsyncInputClient::on_version_error() {
    std::lock_guard<std::recursive_mutex> lock(gate_);
    if (detached_.load()) return;
    owner_->onError(1);
}

void AsyncInputClient::on_header_error() {
    std::lock_guard<std::recursive_mutex> lock(gate_);
    if (detached_.load()) return;
    owner_->onError(2);
}

void AsyncInputClient::on_frame_error(const std::string& reason) {
    std::lock_guard<std::recursive_mutex> lock(gate_);
    if (detached_.load()) return;
    LogLine(50, "AsyncInputClient::on_frame_error", __LINE__).stream()
        << "connection error: " << reason;
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
