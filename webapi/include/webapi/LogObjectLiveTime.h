#pragma once
// Scope timer that writes how long a request took into the log when it ends:
//   "Time: <ms> ms, <text>"

#include <chrono>
#include <cstdint>
#include <string>

class LogObjectLiveTime {
public:
    explicit LogObjectLiveTime(std::string text);
    ~LogObjectLiveTime();

    LogObjectLiveTime(const LogObjectLiveTime&) = delete;
    LogObjectLiveTime& operator=(const LogObjectLiveTime&) = delete;

    // Whole milliseconds since construction (microseconds / 1000, truncated).
    std::int64_t elapsedMilliseconds() const;

private:
    // A monotonic clock, so that a wall-clock step never yields a negative duration.
    std::chrono::steady_clock::time_point start;
    std::string text;
};
