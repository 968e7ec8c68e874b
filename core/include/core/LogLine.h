#pragma once
// One diagnostic line on standard output.
//
// A LogLine is made at the point of logging, the message is streamed into it and the
// destructor prints the whole line with a single printf, so lines of different threads
// never interleave. Level 100 prints nothing.
//
//   LogLine(50, "InputInterface::InitiateConnection", __LINE__).stream() << "failed: " << ec.message();
//
// System errors are written with their message text, never as a category and a number.

#include <cstdint>
#include <sstream>
#include <string>

#include "core/FormatString.h"

class LogLine {
public:
    LogLine(int level, const char* function, int line);
    ~LogLine();

    LogLine(const LogLine&) = delete;
    LogLine& operator=(const LogLine&) = delete;

    std::ostream& stream() { return buffer_; }
    LogLine& appendText(const char* text);

    // The severity letter of a level ("D", "W", "E", "F", otherwise "I").
    static const char* levelLetter(int level);
    // The header as the constructor writes it, for an explicit thread id.
    static std::string formatHeader(int level, std::uint64_t threadId, const char* function, int line);
    // The id that the header shows for the calling thread.
    static std::uint64_t currentThreadId();

private:
    int level_;
    std::ostringstream buffer_;
};

// Convenience for the common case: NIMBROSTA_LOG(50, "Class::method") << "text";
#define NIMBROSTA_LOG(level, function) LogLine((level), (function), __LINE__).stream()
