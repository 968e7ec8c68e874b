#include "core/FormatString.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "core/LogLine.h"

namespace {

// Numbered conversions can name at most this many arguments (one bit each).
constexpr std::size_t kMaxNumberedArguments = 64;

enum class Length { None, Char, Short, Long, LongLong, LongDouble, Max, Size, PtrDiff };

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Reads "<digits>$" at p; returns the number (1 or more) and moves p past the "$", or 0
// with p unchanged when there is none.
std::size_t readArgumentNumber(const char*& p) {
    const char* q = p;
    std::size_t n = 0;
    while (isDigit(*q)) {
        n = n * 10 + static_cast<std::size_t>(*q - '0');
        if (n > kMaxNumberedArguments) return 0;
        ++q;
    }
    if (q == p || *q != '$' || n == 0) return 0;
    p = q + 1;
    return n;
}

Length readLength(const char*& p) {
    switch (*p) {
        case 'h':
            if (p[1] == 'h') {
                p += 2;
                return Length::Char;
            }
            ++p;
            return Length::Short;
        case 'l':
            if (p[1] == 'l') {
                p += 2;
                return Length::LongLong;
            }
            ++p;
            return Length::Long;
        case 'q': ++p; return Length::LongLong;
        case 'L': ++p; return Length::LongDouble;
        case 'j': ++p; return Length::Max;
        case 'z':
        case 'Z': ++p; return Length::Size;
        case 't': ++p; return Length::PtrDiff;
        default: return Length::None;
    }
}

// The argument kind a conversion takes; false for conversions that are refused. Sets
// takesArgument false for the one conversion that takes none ("%m", glibc's error text).
bool expectedKind(char conversion, Length length, FormatArgKind& kind, bool& takesArgument) {
    takesArgument = true;
    const bool small = length == Length::None || length == Length::Char || length == Length::Short;
    switch (conversion) {
        case 'd': case 'i': case 'o': case 'u': case 'x': case 'X':
            kind = small ? FormatArgKind::Int : FormatArgKind::Long;
            return true;
        case 'c':
            kind = FormatArgKind::Int;  // an int, or with "l" a wint_t: both promote to 32 bits
            return length == Length::None || length == Length::Long;
        case 's':
            kind = length == Length::Long ? FormatArgKind::WideCString : FormatArgKind::CString;
            return length == Length::None || length == Length::Long;
        case 'f': case 'F': case 'e': case 'E': case 'g': case 'G': case 'a': case 'A':
            kind = length == Length::LongDouble ? FormatArgKind::LongDouble : FormatArgKind::Double;
            return length == Length::None || length == Length::Long || length == Length::LongDouble;
        case 'p':
            kind = FormatArgKind::Pointer;
            return length == Length::None;
        case 'm':
            takesArgument = false;
            return length == Length::None;
        default:  // "%n" (it writes through its argument), unknown letters, the end of the text
            return false;
    }
}

bool fits(FormatArgKind expected, FormatArgKind actual) {
    if (expected == actual) return true;
    // Any pointer may be printed with "%p".
    return expected == FormatArgKind::Pointer &&
           (actual == FormatArgKind::CString || actual == FormatArgKind::WideCString);
}

// Tracks which arguments the conversions use: in order for plain conversions, by number for
// numbered ones (the two cannot be mixed).
class ArgumentUse {
public:
    ArgumentUse(const FormatArgKind* kinds, std::size_t count) : kinds_(kinds), count_(count) {}

    // Takes the argument of a conversion or a "*" (number 0: the next one in order).
    bool take(std::size_t number, FormatArgKind expected) {
        if (number == 0) {
            if (numbered_) return false;
            plain_ = true;
            if (next_ >= count_) return false;
            return fits(expected, kinds_[next_++]);
        }
        if (plain_ || number > count_) return false;
        numbered_ = true;
        used_ |= std::uint64_t(1) << (number - 1);
        if (number > highest_) highest_ = number;
        return fits(expected, kinds_[number - 1]);
    }

    // Numbered conversions must leave no gap below the highest number (printf could not
    // know the type of the argument in the gap).
    bool complete() const {
        if (!numbered_) return true;
        const std::uint64_t all = highest_ == 64 ? ~std::uint64_t(0) : (std::uint64_t(1) << highest_) - 1;
        return used_ == all;
    }

private:
    const FormatArgKind* kinds_;
    std::size_t count_;
    std::size_t next_ = 0;
    std::size_t highest_ = 0;
    std::uint64_t used_ = 0;
    bool plain_ = false;
    bool numbered_ = false;
};

// A "*" width or precision at p: plain, or "*<n>$" when the conversions are numbered.
bool readStar(const char*& p, ArgumentUse& use) {
    if (*p != '*') return true;
    ++p;
    const std::size_t number = readArgumentNumber(p);
    return use.take(number, FormatArgKind::Int);
}

}  // namespace

bool formatMatchesArguments(const char* format, const FormatArgKind* kinds, std::size_t count) {
    if (!format) return false;
    ArgumentUse use(kinds, count);
    for (const char* p = format; *p; ++p) {
        if (*p != '%') continue;
        ++p;
        if (*p == '%') continue;
        const std::size_t number = readArgumentNumber(p);
        while (*p && std::strchr("-+ #0'I", *p)) ++p;
        if (!readStar(p, use)) return false;
        while (isDigit(*p)) ++p;
        if (*p == '.') {
            ++p;
            if (!readStar(p, use)) return false;
            while (isDigit(*p)) ++p;
        }
        const Length length = readLength(p);
        FormatArgKind expected = FormatArgKind::Int;
        bool takesArgument = true;
        if (!expectedKind(*p, length, expected, takesArgument)) return false;
        if (takesArgument && !use.take(number, expected)) return false;
    }
    return use.complete();
}

std::string formatUnchecked(const char* format, ...) {
    std::string result(100, '\0');
    for (;;) {
        va_list args;
        va_start(args, format);
        const int n = std::vsnprintf(&result[0], result.size(), format, args);
        va_end(args);
        if (n < 0) return std::string();
        if (static_cast<std::size_t>(n) < result.size()) {
            result.resize(static_cast<std::size_t>(n));
            return result;
        }
        result.assign(static_cast<std::size_t>(n) + 1, '\0');
    }
}

namespace formatdetail {

std::string rejectFormat(const std::string& format) {
    LogLine(50, "formatString", __LINE__).stream() << "the format does not fit its arguments, shown as it is: \""
                                                   << format << "\"";
    return format;
}

}  // namespace formatdetail
