#include "JoystickHandlerText.h"

#include <charconv>
#include <cstring>

namespace joystick_text {

void appendFixed2(std::string& out, float value) {
    char buffer[64];
    auto r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
    if (r.ec != std::errc()) {
        // Only values far beyond anything a handler holds get here.
        r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 2);
    }
    out.append(buffer, r.ptr);
}

FieldReader::FieldReader(const std::string& text, const char* prefix) : text_(text) {
    const std::size_t n = std::strlen(prefix);
    ok_ = text_.compare(0, n, prefix) == 0;
    pos_ = n;
}

bool FieldReader::startField() {
    if (!ok_) return false;
    if (!first_) {
        if (pos_ >= text_.size() || text_[pos_] != ':') return ok_ = false;
        ++pos_;
    }
    first_ = false;
    while (pos_ < text_.size() && text_[pos_] != '\0' && std::strchr(" \t\n\v\f\r", text_[pos_])) ++pos_;
    return true;
}

bool FieldReader::readInt(int& value) {
    if (!startField()) return false;
    std::size_t p = pos_;
    bool negative = false;
    if (p < text_.size() && (text_[p] == '+' || text_[p] == '-')) negative = text_[p++] == '-';
    unsigned long long magnitude = 0;
    const char* begin = text_.data() + p;
    const char* end = text_.data() + text_.size();
    auto r = std::from_chars(begin, end, magnitude);
    // A number beyond int's range is not read.
    if (r.ec != std::errc() || r.ptr == begin || magnitude > (negative ? 2147483648ULL : 2147483647ULL)) {
        return ok_ = false;
    }
    value = negative ? static_cast<int>(-static_cast<long long>(magnitude)) : static_cast<int>(magnitude);
    pos_ = static_cast<std::size_t>(r.ptr - text_.data());
    return true;
}

bool FieldReader::readFloat(float& value) {
    if (!startField()) return false;
    std::size_t p = pos_;
    bool negative = false;
    if (p < text_.size() && (text_[p] == '+' || text_[p] == '-')) negative = text_[p++] == '-';
    float magnitude = 0;
    const char* begin = text_.data() + p;
    const char* end = text_.data() + text_.size();
    auto r = std::from_chars(begin, end, magnitude, std::chars_format::general);
    // A second sign, no number, or a number beyond float's range is not read.
    if (r.ec != std::errc() || r.ptr == begin || (begin < end && (*begin == '-' || *begin == '+'))) {
        return ok_ = false;
    }
    value = negative ? -magnitude : magnitude;
    pos_ = static_cast<std::size_t>(r.ptr - text_.data());
    return true;
}

}  // namespace joystick_text
