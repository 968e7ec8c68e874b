#include "stream/session/InputInterface.h"

#include <exception>

#include <boost/asio/post.hpp>

#include "core/LogLine.h"
#include "input-lib/InputClient.pb.h"
#include "stream/control/AsyncInputClient.h"
#include "stream/session/ClientDBAPI.h"
#include "stream/session/CommonAPI.h"
#include "stream/session/InputAPI.h"
#include "stream/session/PingAPI.h"
#include "stream/session/SystemControlAPI.h"
#include "stream/session/VideoControlAPI.h"
#include "platform/Thread.h"

InputInterface::InputInterface(std::chrono::milliseconds inactivityTimeout, std::chrono::milliseconds replyTimeout)
    : inactivityTimeout_(inactivityTimeout),
      replyTimeout_(replyTimeout),
      work_(boost::asio::make_work_guard(io_)),
      resolver_(io_) {
    thread_ = platform::startThread([this] { io_.run(); });
    ioThreadId_ = thread_.get_id();
    clientDBAPI_ = std::make_unique<ClientDBAPI>(this);
    inputAPI_ = std::make_unique<InputAPI>(this);
    systemControlAPI_ = std::make_unique<SystemControlAPI>(this);
    pingAPI_ = std::make_unique<PingAPI>(this);
    videoControlAPI_ = std::make_unique<VideoControlAPI>(this);
    commonAPI_ = std::make_unique<CommonAPI>(this);
}

InputInterface::~InputInterface() {
    InputInterface::StopAllConnections();
    stopIoThread();
    commonAPI_.reset();
    videoControlAPI_.reset();
    pingAPI_.reset();
    systemControlAPI_.reset();
    inputAPI_.reset();
    clientDBAPI_.reset();
}

void InputInterface::stopIoThread() {
    if (!thread_.joinable()) return;
    work_.reset();
    io_.stop();
    thread_.join();
}

void InputInterface::InitiateConnection(const std::string& host, int port) {
    try {
        auto endpoints = resolver_.resolve(host, std::to_string(port));
        auto client = std::make_shared<AsyncInputClient>(this, io_, gate_, inactivityTimeout_, replyTimeout_);
        {
            std::lock_guard<std::recursive_mutex> gate(gate_);
            ++generation_;
            std::lock_guard<std::mutex> lock(clientMutex_);
            client_ = client;
        }
        client->connect(std::move(endpoints));
    } catch (const std::exception& e) {
        LogLine(50, "InputInterface::InitiateConnection", __LINE__).stream() << e.what();
        LogLine(0, "InputInterface::InitiateConnection", __LINE__).stream() << "InputInterface";
        onFailureReason("the streamer's address " + host + " could not be resolved");
        // Without a report the owner would wait for a connection event forever. Posted, so
        // an owner that retries from inside onError does not recurse.
        std::uint64_t generation;
        {
            std::lock_guard<std::recursive_mutex> gate(gate_);
            generation = generation_;
        }
        boost::asio::post(io_, [this, generation] {
            std::lock_guard<std::recursive_mutex> gate(gate_);
            if (generation != generation_) return;  // stopped or restarted meanwhile
            onError(0);
        });
    }
}

void InputInterface::StopAllConnections() {
    LogLine(0, "InputInterface::StopAllConnections", __LINE__).stream() << "StopAllConnections";
    std::shared_ptr<AsyncInputClient> client;
    {
        std::lock_guard<std::recursive_mutex> gate(gate_);
        ++generation_;
        {
            std::lock_guard<std::mutex> lock(clientMutex_);
            client.swap(client_);
        }
        if (client) client->detach();
    }
    if (client) client->stop();
}

bool InputInterface::send(const InputClient::Request& request, bool awaitsReply) {
    std::shared_ptr<AsyncInputClient> client;
    {
        std::lock_guard<std::mutex> lock(clientMutex_);
        client = client_;
    }
    if (!client) return false;
    client->send(request, awaitsReply);
    return true;
}

void InputInterface::onFailureReason(const std::string& reason) {
    std::lock_guard<std::mutex> lock(failureMutex_);
    lastFailure_ = reason;
}

std::string InputInterface::lastFailure() const {
    std::lock_guard<std::mutex> lock(failureMutex_);
    return lastFailure_;
}

bool InputInterface::registerHandler(int responseType, IResponseHandler* handler) {
    handlers_.emplace(responseType, handler);  // after existing entries of that type
    return true;
}

void InputInterface::unregisterHandler(IResponseHandler* handler) {
    for (auto it = handlers_.begin(); it != handlers_.end();) {
        if (it->second == handler)
            it = handlers_.erase(it);
        else
            ++it;
    }
}

void InputInterface::onTimeout() {
    LogLine(50, "InputInterface::onTimeout", __LINE__).stream() << "Not Implemented: onTimeout";
}

void InputInterface::onError(int code) {
    LogLine(50, "InputInterface::onError", __LINE__).stream() << "Error: " << code;
}

void InputInterface::onConnectionStarted() {
    LogLine(50, "InputInterface::onConnectionStarted", __LINE__).stream()
        << "Not Implemented: Connection started";
}

void InputInterface::onConnectionClosed() {
    LogLine(50, "InputInterface::onConnectionClosed", __LINE__).stream()
        << "Not Implemented: Connection closed";
}

bool InputInterface::onResponse(const InputClient::Response& response) {
    bool handled = false;
    auto range = handlers_.equal_range(static_cast<int>(response.type()));
    for (auto it = range.first; it != range.second; ++it) handled |= it->second->handle(response);
    return handled;
}
