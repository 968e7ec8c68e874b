#pragma once
// Round-trip time of the control channel: NETWORK_PING requests with a fresh number, each
// matched to its NETWORK_PONG. The last 10 round-trip times are kept; their mean and the
// newest are published as "Client.AvgPing" and "Client.LastPing" (50 until the first pong).
//
// Times come from a monotonic clock, so a change of the wall clock never gives a negative
// or huge sample. An answered ping leaves the pending set; pings older than a minute
// (sent while the connection was down) are dropped too.

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>

#include "stream/control/IResponseHandler.h"
#include "stream/control/InputInterfaceAPIBase.h"
#include "stream/session/VariableBase.h"

class PingWindow {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::size_t kSamples = 10;
    static constexpr int kDefaultPing = 50;
    static constexpr std::chrono::seconds kStaleAfter{60};

    // Reserves a new ping number (drawn from the 15-bit generator as the product of two
    // draws, then moved up past numbers still pending) and notes its send time.
    std::int32_t begin();
    // The round-trip time in ms of a pending ping, which then leaves the pending set;
    // -1 for an unknown number (nothing changes then).
    int addSample(std::int32_t number);
    int average();
    int last();
    std::size_t pendingCount();

    // Replaces the clock (tests).
    void setClock(std::function<Clock::time_point()> clock);

private:
    Clock::time_point now();
    std::mutex mutex_;
    std::deque<std::int32_t> samples_;
    std::map<std::int32_t, Clock::time_point> pending_;
    std::function<Clock::time_point()> clock_;
};

class PingAPI : public InputInterfaceAPIBase, public IResponseHandler {
public:
    explicit PingAPI(InputInterface* endpoint);
    ~PingAPI() override;

    // Sends one ping.
    void Ping();
    bool handle(const InputClient::Response& response) override;
    int addSample(std::int32_t number) { return window_.addSample(number); }
    int averagePing() { return window_.average(); }
    int lastPing() { return window_.last(); }

    PingWindow& window() { return window_; }

private:
    VariableUserBase<Int32Variable> averageVariable_;
    VariableUserBase<Int32Variable> lastVariable_;
    PingWindow window_;
};
