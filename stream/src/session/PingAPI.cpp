#include "stream/session/PingAPI.h"

#include "core/Random.h"
#include "stream/session/ClientDBAPI.h"
#include "stream/session/InputInterface.h"

using InputClient::Request;
using InputClient::Response;

std::int32_t PingWindow::begin() {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto sent = now();
    // Pings that never got an answer (the connection was down) do not pile up.
    for (auto it = pending_.begin(); it != pending_.end();) {
        if (sent - it->second > kStaleAfter)
            it = pending_.erase(it);
        else
            ++it;
    }
    std::int32_t number = nextRandom() * nextRandom();  // at most 32767^2: no overflow
    while (pending_.count(number)) ++number;
    pending_[number] = sent;
    return number;
}

int PingWindow::addSample(std::int32_t number) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = pending_.find(number);
    if (it == pending_.end()) return -1;
    const auto micros =
        std::chrono::duration_cast<std::chrono::microseconds>(now() - it->second).count();
    const int rtt = static_cast<int>(micros / 1000);
    pending_.erase(it);
    samples_.push_back(rtt);
    while (samples_.size() > kSamples) samples_.pop_front();
    return rtt;
}

int PingWindow::average() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (samples_.empty()) return kDefaultPing;
    std::uint32_t sum = 0;
    for (auto s : samples_) sum += static_cast<std::uint32_t>(s);
    return static_cast<int>(sum / samples_.size());
}

int PingWindow::last() {
    std::lock_guard<std::mutex> lock(mutex_);
    return samples_.empty() ? kDefaultPing : samples_.back();
}

std::size_t PingWindow::pendingCount() {
    std::lock_guard<std::mutex> lock(mutex_);
    return pending_.size();
}

void PingWindow::setClock(std::function<Clock::time_point()> clock) {
    std::lock_guard<std::mutex> lock(mutex_);
    clock_ = std::move(clock);
}

PingWindow::Clock::time_point PingWindow::now() { return clock_ ? clock_() : Clock::now(); }

PingAPI::PingAPI(InputInterface* endpoint)
    : InputInterfaceAPIBase(endpoint),
      averageVariable_(&endpoint->clientDBAPI().db(), VariableNames::kClientAvgPing),
      lastVariable_(&endpoint->clientDBAPI().db(), VariableNames::kClientLastPing) {
    averageVariable_.define(true);
    lastVariable_.define(true);
    averageVariable_.set(PingWindow::kDefaultPing);
    lastVariable_.set(PingWindow::kDefaultPing);
    endpoint_->registerHandler(Response::NETWORK_PONG, this);
}

PingAPI::~PingAPI() { endpoint_->unregisterHandler(this); }

void PingAPI::Ping() {
    Request request;
    request.set_type(Request::NETWORK_PING);
    request.set_pingnumber(window_.begin());
    // A streamer that leaves pings unanswered is gone, even while it still takes our bytes.
    endpoint_->send(request, true);
}

bool PingAPI::handle(const Response& response) {
    if (response.type() != Response::NETWORK_PONG) return false;
    window_.addSample(response.pongnumber());
    averageVariable_.set(window_.average());
    lastVariable_.set(window_.last());
    return true;
}
