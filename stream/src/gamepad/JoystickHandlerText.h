#pragma once
// Text forms of the gamepad mapping handlers, independent of the process locale: numbers
// are always written and read with a "." decimal point.

#include <string>

namespace joystick_text {

// Appends the value with two decimals ("-1.00", "0.50").
void appendFixed2(std::string& out, float value);

// Reads a text field by field the way a C scan format "PREFIX%d:%f:..." does: the prefix
// must match exactly, fields after the first are preceded by ":", a number may start
// with blanks and a sign. Reading stops at the first mismatch, and every later read then
// fails, so fields the text does not supply keep their values.
class FieldReader {
public:
    FieldReader(const std::string& text, const char* prefix);
    bool readInt(int& value);
    bool readFloat(float& value);

private:
    bool startField();

    const std::string& text_;
    std::size_t pos_ = 0;
    bool ok_ = true;
    bool first_ = true;
};

}  // namespace joystick_text
