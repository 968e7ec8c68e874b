#include "stream/session/StatisticsHelper.h"

#include <exception>

#include "core/ConfigStore.h"
#include "core/SystemHelpers.h"
#include "stream/session/CommonAPI.h"
#include "stream/session/InputInterface.h"
#include "stream/session/PingAPI.h"

#include "stream/session/IRenderImplementation.h"
#include "platform/Thread.h"

StatisticsHelper::StatisticsHelper(InputInterface* endpoint, int periodMs,
                                   std::chrono::milliseconds tick, PeriodReader reader)
    : endpoint_(endpoint), periodMs_(periodMs), tick_(tick), reader_(std::move(reader)) {
    if (!reader_) reader_ = &StatisticsHelper::readConsumer;
}

StatisticsHelper::~StatisticsHelper() { stop(); }

void StatisticsHelper::start(IRenderImplementation* consumer) {
    stop();
    consumer_ = consumer;
    stop_ = false;
    running_ = true;
    thread_ = platform::startThread([this] { run(); });
}

void StatisticsHelper::stop() {
    stop_ = true;
    // Joined whenever joinable: a thread that ended by itself must still be joined.
    if (thread_.joinable()) thread_.join();
}

StatisticsHelper::Counters StatisticsHelper::readConsumer(IRenderImplementation* consumer) {
    Counters c;
    RenderStatistics& s = consumer->statistics;
    std::lock_guard<std::mutex> lock(s.lock);  // snapshot and reset as one step
    c.received = s.period.received;
    c.lost = s.period.lost;
    c.decoded = s.period.decoded;
    c.rendered = s.period.rendered;
    s.period = RenderCounters();
    return c;
}

void StatisticsHelper::run() {
    SetThreadName("Statistics Thread");
    int period = periodMs_;
    if (period < 0) period = ConfigStore::instance().get<int>("General.StatisticsTickPeriod", "5000");
    if (period < 0) period = 5000;
    const auto tick = static_cast<std::uint32_t>(tick_.count());
    std::uint32_t elapsed = 0, nextReport = 0, nextPing = 0;
    while (!stop_) {
        std::this_thread::sleep_for(tick_);
        elapsed += tick;
        try {
            if (nextReport < elapsed) {
                if (!report()) stop_ = true;
                nextReport = elapsed + static_cast<std::uint32_t>(period);
            }
            if (nextPing < elapsed) {
                endpoint_->pingAPI().Ping();
                nextPing = elapsed + 1000;
            }
        } catch (const std::exception&) {
            stop_ = true;
        }
    }
    consumer_ = nullptr;
    running_ = false;
}

bool StatisticsHelper::report() {
    if (!consumer_) return false;
    const Counters c = reader_(consumer_);
    endpoint_->commonAPI().PereodicMessage(c.received, c.lost, c.decoded, c.rendered);
    return true;
}
