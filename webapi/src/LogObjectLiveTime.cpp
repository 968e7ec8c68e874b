#include "webapi/LogObjectLiveTime.h"

#include "core/LogLine.h"

#include <utility>

LogObjectLiveTime::LogObjectLiveTime(std::string text_)
    : start(std::chrono::steady_clock::now()), text(std::move(text_)) {}

LogObjectLiveTime::~LogObjectLiveTime() {
    LogLine(0, "LogObjectLiveTime::~LogObjectLiveTime", __LINE__).stream()
        << "Time: " << elapsedMilliseconds() << " ms, " << text;
}

std::int64_t LogObjectLiveTime::elapsedMilliseconds() const {
    const auto elapsed = std::chrono::steady_clock::now() - start;
    return std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count() / 1000;
}
