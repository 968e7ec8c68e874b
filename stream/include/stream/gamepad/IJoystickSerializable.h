#pragma once
// A mapping handler that can be written to and read from its one-line text form.

#include <string>

class IJoystickSerializable {
public:
    virtual ~IJoystickSerializable() = default;
    virtual std::string serialize() = 0;
    // Reads the fields the text supplies; the others keep their values.
    virtual void deserialize(const std::string& text) = 0;
};
