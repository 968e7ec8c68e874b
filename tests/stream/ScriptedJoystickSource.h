#pragma once
// A joystick source driven by the test: plug, unplug, rename and move controls by hand.

#include <map>
#include <string>

#include "stream/gamepad/IJoystickSource.h"

class ScriptedJoystickSource : public IJoystickSource {
public:
    struct Pad {
        std::string name;
        JoystickReading reading;
    };

    // A pad with every axis at 0 and every button released.
    void plug(int id, std::string name, int buttons, int axes) {
        Pad pad;
        pad.name = std::move(name);
        pad.reading.buttons.assign(static_cast<std::size_t>(buttons), 0);
        pad.reading.axes.assign(static_cast<std::size_t>(axes), 0.0f);
        pads_[id] = std::move(pad);
    }
    void unplug(int id) { pads_.erase(id); }
    void rename(int id, std::string name) { pads_.at(id).name = std::move(name); }
    void setAxis(int id, int axis, float value) { pads_.at(id).reading.axes.at(static_cast<std::size_t>(axis)) = value; }
    void setButton(int id, int button, bool pressed) {
        pads_.at(id).reading.buttons.at(static_cast<std::size_t>(button)) = pressed ? 1 : 0;
    }
    JoystickReading& reading(int id) { return pads_.at(id).reading; }

    bool present(int id) override {
        ++presentCalls;
        maxIdAsked = std::max(maxIdAsked, id);
        return pads_.count(id) != 0;
    }
    std::string name(int id) override { return pads_.count(id) ? pads_[id].name : std::string(); }
    void read(int id, JoystickReading& out) override {
        auto it = pads_.find(id);
        if (it == pads_.end()) {
            out.axes.clear();
            out.buttons.clear();
            return;
        }
        out.axes.assign(it->second.reading.axes.begin(), it->second.reading.axes.end());
        out.buttons.assign(it->second.reading.buttons.begin(), it->second.reading.buttons.end());
    }

    int presentCalls = 0;
    int maxIdAsked = -1;

private:
    std::map<int, Pad> pads_;
};
