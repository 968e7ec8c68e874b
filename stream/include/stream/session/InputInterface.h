#pragma once
// One endpoint of the control channel to a streamer.
//
// It owns the io thread on which all control-channel work runs, the transport of the
// current connection, the registry of response handlers keyed by response type, and the
// feature objects through which the rest of the program builds requests (shared variables,
// input, system commands, pings, video control, statistics).
// Connections come and go: each InitiateConnection makes a new transport, each
// StopAllConnections drops the current one without any further callback.
//
// Threads: InitiateConnection, StopAllConnections and send may be called from any thread,
// including the io thread from inside a callback. Every callback and every response
// handler runs on the io thread, one at a time, under the callback gate. StopAllConnections
// takes that gate too, so when it returns no callback of the dropped connection is running
// or will run; do not call it while holding a lock that a callback waits for.

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>

#include "stream/control/AsyncInputClientEvents.h"
#include "stream/control/IResponseHandler.h"

namespace InputClient {
class Request;
class Response;
}  // namespace InputClient

class AsyncInputClient;
class ClientDBAPI;
class InputAPI;
class SystemControlAPI;
class PingAPI;
class VideoControlAPI;
class CommonAPI;

class InputInterface : public AsyncInputClientEvents {
public:
    static constexpr std::chrono::milliseconds kDefaultInactivityTimeout{15000};
    // How long the streamer may leave a ping or the authorization without any answer before
    // the connection counts as lost.
    static constexpr std::chrono::milliseconds kDefaultReplyTimeout{5000};

    // replyTimeout 0: requests that await a reply are not timed.
    explicit InputInterface(std::chrono::milliseconds inactivityTimeout = kDefaultInactivityTimeout,
                            std::chrono::milliseconds replyTimeout = kDefaultReplyTimeout);
    ~InputInterface() override;

    InputInterface(const InputInterface&) = delete;
    InputInterface& operator=(const InputInterface&) = delete;

    // Resolves host (a name or dotted address) on the calling thread and starts connecting.
    // A host that does not resolve is logged and reported as onError(0) on the io thread.
    void InitiateConnection(const std::string& host, int port);
    // Ends the current connection; no callback of it follows.
    void StopAllConnections();
    // Hands the request to the current transport, which serializes it at once and, when no
    // write is in flight, writes it from the calling thread without blocking. True when a
    // transport exists (it still drops the request while connecting or after it closed).
    // awaitsReply: the streamer answers it; left without any answer for the reply time-out,
    // the connection is closed and reported as onTimeout.
    bool send(const InputClient::Request& request, bool awaitsReply = false);

    // Handlers for one type run in registration order. The registry is filled by
    // constructors before the first connection and emptied after the io thread stopped.
    bool registerHandler(int responseType, IResponseHandler* handler);
    void unregisterHandler(IResponseHandler* handler);

    // Default callbacks: each writes a log line.
    void onTimeout() override;
    void onError(int code) override;
    void onConnectionStarted() override;
    void onConnectionClosed() override;
    // Runs every handler registered for the response's type; returns the OR of their results.
    bool onResponse(const InputClient::Response& response) override;
    // Keeps the reason for lastFailure.
    void onFailureReason(const std::string& reason) override;

    // Why the last connection failed or ended, in a few words a user can read; empty until
    // one did. Any thread.
    std::string lastFailure() const;

    // The feature objects of the endpoint, built in this order after the io thread started.
    ClientDBAPI& clientDBAPI() { return *clientDBAPI_; }
    InputAPI& inputAPI() { return *inputAPI_; }
    SystemControlAPI& systemControlAPI() { return *systemControlAPI_; }
    PingAPI& pingAPI() { return *pingAPI_; }
    VideoControlAPI& videoControlAPI() { return *videoControlAPI_; }
    CommonAPI& commonAPI() { return *commonAPI_; }

    boost::asio::io_context& ioContext() { return io_; }
    bool isIoThread() const { return std::this_thread::get_id() == ioThreadId_; }
    std::chrono::milliseconds inactivityTimeout() const { return inactivityTimeout_; }
    std::chrono::milliseconds replyTimeout() const { return replyTimeout_; }

protected:
    // Stops the io service and joins the io thread; a no-op the second time. Derived
    // destructors call it before their own members go, so no handler runs into them.
    // Must not be called on the io thread.
    void stopIoThread();

private:
    std::multimap<int, IResponseHandler*> handlers_;
    std::recursive_mutex gate_;
    std::uint64_t generation_ = 0;  // changes with every start and stop; guarded by gate_
    const std::chrono::milliseconds inactivityTimeout_;
    const std::chrono::milliseconds replyTimeout_;
    mutable std::mutex failureMutex_;
    std::string lastFailure_;
    boost::asio::io_context io_;
    boost::asio::executor_work_guard<boost::asio::io_context::executor_type> work_;
    boost::asio::ip::tcp::resolver resolver_;
    std::thread thread_;
    std::thread::id ioThreadId_;
    std::mutex clientMutex_;
    std::shared_ptr<AsyncInputClient> client_;
    // Destroyed in reverse order, after the io thread has stopped.
    std::unique_ptr<ClientDBAPI> clientDBAPI_;
    std::unique_ptr<InputAPI> inputAPI_;
    std::unique_ptr<SystemControlAPI> systemControlAPI_;
    std::unique_ptr<PingAPI> pingAPI_;
    std::unique_ptr<VideoControlAPI> videoControlAPI_;
    std::unique_ptr<CommonAPI> commonAPI_;
};
