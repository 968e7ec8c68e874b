#include "core/LogLine.h"

#include <cstdio>
#include <iomanip>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
constexpr int kSilentLevel = 100;

void writeHeader(std::ostream& out, int level, std::uint64_t threadId, const char* function, int line) {
    out << '[' << LogLine::levelLetter(level) << "][";
    if (threadId == 0) {
        out << "{Not-any-thread}";
    } else {
        const auto flags = out.flags();
        out << std::hex << std::setw(4) << std::setfill(' ') << threadId;
        out.flags(flags);
    }
    out << ", " << std::setw(48) << std::setfill(' ') << (function ? function : "");
    out << ", " << std::setw(3) << std::setfill(' ') << std::dec << line << "]: ";
}
}  // namespace

LogLine::LogLine(int level, const char* function, int line) : level_(level) {
    if (level_ != kSilentLevel) writeHeader(buffer_, level_, currentThreadId(), function, line);
    else buffer_.setstate(std::ios::badbit);  // nothing will be printed: skip the formatting
}

LogLine::~LogLine() {
    if (level_ == kSilentLevel) return;
    const std::string text = buffer_.str();
    std::printf("%s\n", text.c_str());
}

LogLine& LogLine::appendText(const char* text) {
    if (text) buffer_ << text;
    return *this;
}

const char* LogLine::levelLetter(int level) {
    switch (level) {
        case 20: return "D";
        case 40: return "W";
        case 50: return "E";
        case 70: return "F";
        default: return "I";
    }
}

std::string LogLine::formatHeader(int level, std::uint64_t threadId, const char* function, int line) {
    std::ostringstream out;
    writeHeader(out, level, threadId, function, line);
    return out.str();
}

std::uint64_t LogLine::currentThreadId() {
    thread_local const std::uint64_t id = static_cast<std::uint64_t>(::syscall(SYS_gettid));
    return id;
}

