#pragma once
// While a stream plays: a ping about once a second and, once per statistics period, the
// video consumer's frame counters of the period in a PEREODIC_MESSAGE, on the "Statistics
// Thread".
//
// The thread wakes every tick (100 ms) and counts ticks, not wall time: the first report
// and the first ping go out after the first tick, then reports every period + one tick
// and pings every 1000 ms + one tick. The period is "General.StatisticsTickPeriod"
// (default 5000 ms) unless given. Without a consumer the first report ends the thread.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>

class InputInterface;
class IRenderImplementation;

class StatisticsHelper {
public:
    struct Counters {
        std::int32_t received = 0, lost = 0, decoded = 0, rendered = 0;
    };
    // Takes the consumer's period counters and zeroes them in one step.
    using PeriodReader = std::function<Counters(IRenderImplementation*)>;

    // periodMs < 0: read "General.StatisticsTickPeriod" when the thread starts.
    // An empty reader reads the consumer's statistics block.
    explicit StatisticsHelper(InputInterface* endpoint, int periodMs = -1,
                              std::chrono::milliseconds tick = std::chrono::milliseconds(100),
                              PeriodReader reader = PeriodReader());
    ~StatisticsHelper();

    StatisticsHelper(const StatisticsHelper&) = delete;
    StatisticsHelper& operator=(const StatisticsHelper&) = delete;

    // Ends a running thread first, then starts a new one for consumer.
    void start(IRenderImplementation* consumer);
    // Ends the thread and waits for it (a cycle that has begun completes).
    void stop();
    bool isRunning() const { return running_.load(); }

    // The reader used when none is given (the consumer's own statistics block).
    static Counters readConsumer(IRenderImplementation* consumer);

private:
    void run();
    bool report();

    InputInterface* endpoint_;
    const int periodMs_;
    const std::chrono::milliseconds tick_;
    PeriodReader reader_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> running_{false};
    IRenderImplementation* consumer_ = nullptr;
    std::thread thread_;
};
