// The built-in mapping and joysticks.ini.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <boost/property_tree/ini_parser.hpp>
#include <boost/property_tree/ptree.hpp>

#include "core/LogLine.h"
#include "stream/gamepad/JoystickAxisTo2AxisEventHandler.h"
#include "stream/gamepad/JoystickAxisTo2ButtonsEventHandler.h"
#include "stream/gamepad/JoystickAxisToAxisEventHandler.h"
#include "stream/gamepad/JoystickButtonToAxisEventHandler.h"
#include "stream/gamepad/JoystickButtonToButtonEventHandler.h"
#include "stream/gamepad/JoystickManager.h"
#include "stream/gamepad/JoystickMappingMath.h"

namespace fs = std::filesystem;
namespace pt = boost::property_tree;

void JoystickManager::defaultMapping(const JoystickReading& reading, JoystickEntry& entry) {
    // Button i drives bit kButtonTargets[i] (bit 8 is left out); axis i drives
    // kAxisTargets[i], the two Y axes inverted.
    static constexpr int kButtonTargets[] = {0, 1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 12, 13, 14, 15, 16, 17};
    static constexpr int kAxisTargets[] = {0, 1, 3, 4, 10, 11};

    entry.buttonHandlers.assign(reading.buttons.size(), nullptr);
    entry.axisHandlers.assign(reading.axes.size(), nullptr);
    for (std::size_t i = 0; i < entry.buttonHandlers.size() && i < std::size(kButtonTargets); ++i)
        entry.buttonHandlers[i] = std::make_shared<JoystickButtonToButtonEventHandler>(kButtonTargets[i]);
    for (std::size_t i = 0; i < entry.axisHandlers.size() && i < std::size(kAxisTargets); ++i) {
        const int target = kAxisTargets[i];
        const bool inverted = target == 1 || target == 4;
        entry.axisHandlers[i] = inverted ? std::make_shared<JoystickAxisToAxisEventHandler>(target, 1.0f, 0.0f, -1.0f)
                                         : std::make_shared<JoystickAxisToAxisEventHandler>(target, -1.0f, 0.0f, 1.0f);
    }
}

std::string JoystickManager::sectionName(const JoystickEntry& entry) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(entry.name.size() + 16);
    bool leading = true;
    for (char ch : entry.name) {
        const unsigned char c = static_cast<unsigned char>(ch);
        // "]" ends a section line, control characters end or bend the line, blanks at the
        // start are trimmed away by the reader; "%" is the escape itself.
        const bool escape = c == ']' || c == '%' || c < 0x20 || c == 0x7F || (leading && c == ' ');
        if (c != ' ') leading = false;
        if (escape) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += ch;
        }
    }
    out += "-b" + std::to_string(entry.buttonHandlers.size()) + "-a" + std::to_string(entry.axisHandlers.size());
    return out;
}

const char* JoystickManager::defaultFileText() {
    return "[Xbox 360 Controller-b14-a6]\n"
           "Button0=B2B:0\n"
           "Button1=B2B:1\n"
           "Button2=B2B:2\n"
           "Button3=B2B:3\n"
           "Button4=B2B:4\n"
           "Button5=B2B:5\n"
           "Button6=B2B:8\n"
           "Button7=B2B:9\n"
           "Button8=B2B:10\n"
           "Button9=B2B:11\n"
           "Button10=B2B:12\n"
           "Button11=B2B:15\n"
           "Button12=B2B:13\n"
           "Button13=B2B:14\n"
           "Axis0=A2A:0:-1.00:0.00:1.00\n"
           "Axis1=A2A:1:-1.00:0.00:1.00\n"
           "Axis2=A2A:3:-1.00:0.00:1.00\n"
           "Axis3=A2A:4:-1.00:0.00:1.00\n"
           "Axis4=A2A:10:-1.00:0.00:1.00\n"
           "Axis5=A2A:11:-1.00:0.00:1.00\n";
}

namespace {

// A handler read from its text, or null when the text names no handler of this kind or
// names an axis target outside 0-15.
std::shared_ptr<IJoystickButtonEventHandler> buttonHandlerFromText(const std::string& text) {
    if (text.size() < 3) return nullptr;
    const std::string kind = text.substr(0, 3);
    if (kind == "B2B") {
        auto h = std::make_shared<JoystickButtonToButtonEventHandler>(0);
        h->deserialize(text);
        return h;
    }
    if (kind == "B2A") {
        auto h = std::make_shared<JoystickButtonToAxisEventHandler>();
        h->deserialize(text);
        return joystick_mapping::validAxis(h->targetAxis) ? h : nullptr;
    }
    return nullptr;
}

std::shared_ptr<IJoystickAxisEventHandler> axisHandlerFromText(const std::string& text) {
    if (text.size() < 3) return nullptr;
    const std::string kind = text.substr(0, 3);
    if (kind == "A2A") {
        auto h = std::make_shared<JoystickAxisToAxisEventHandler>();
        h->deserialize(text);
        return joystick_mapping::validAxis(h->targetAxis) ? h : nullptr;
    }
    if (kind == "A22") {
        auto h = std::make_shared<JoystickAxisTo2ButtonsEventHandler>();
        h->deserialize(text);
        return h;
    }
    if (kind == "A2T") {
        auto h = std::make_shared<JoystickAxisTo2AxisEventHandler>();
        h->deserialize(text);
        return joystick_mapping::validAxis(h->negativeTarget) && joystick_mapping::validAxis(h->positiveTarget)
                   ? h
                   : nullptr;
    }
    return nullptr;
}

// Reads the ini file at path into tree. Returns what was wrong with it ("" when it read, or
// when there is no file); tree is empty then.
std::string readTree(const std::string& path, pt::ptree& tree) {
    tree.clear();
    std::error_code ec;
    if (fs::status(path, ec).type() == fs::file_type::not_found) return std::string();
    std::ifstream in(path, std::ios::in | std::ios::binary);
    if (!in.is_open()) return "cannot be read";
    try {
        pt::read_ini(in, tree);
        return std::string();
    } catch (const pt::ini_parser_error& e) {
        tree.clear();
        return "does not parse (line " + std::to_string(e.line()) + ": " + e.message() + ")";
    } catch (const std::exception& e) {
        tree.clear();
        return std::string("does not parse (") + e.what() + ")";
    }
}

std::string valueOf(const pt::ptree& section, const std::string& key) {
    auto it = section.find(key);
    return it == section.not_found() ? std::string() : it->second.data();
}

}  // namespace

void JoystickManager::load() {
    std::error_code ec;
    if (fs::status(path_, ec).type() == fs::file_type::not_found) writeFile(defaultFileText());

    pt::ptree tree;
    readTree(path_, tree);  // a file that cannot be read changes nothing; save keeps it
    if (tree.empty()) return;

    for (auto& entryPtr : entries_) {
        JoystickEntry& entry = *entryPtr;
        // Section names are looked up as they stand, never as dotted paths.
        auto section = tree.find(sectionName(entry));
        if (section == tree.not_found()) continue;
        for (std::size_t i = 0; i < entry.buttonHandlers.size(); ++i) {
            if (auto h = buttonHandlerFromText(valueOf(section->second, "Button" + std::to_string(i))))
                entry.buttonHandlers[i] = std::move(h);
        }
        for (std::size_t i = 0; i < entry.axisHandlers.size(); ++i) {
            if (auto h = axisHandlerFromText(valueOf(section->second, "Axis" + std::to_string(i))))
                entry.axisHandlers[i] = std::move(h);
        }
    }
}

void JoystickManager::save() {
    // Sections of devices that are not connected now are kept as they were read. A file
    // that cannot be read is kept beside the new one as joysticks.ini.old; when that
    // fails, it is left alone and nothing is written.
    pt::ptree tree;
    const std::string problem = readTree(path_, tree);
    if (!problem.empty()) {
        const std::string kept = path_ + ".old";
        std::error_code ec;
        fs::rename(path_, kept, ec);
        if (ec) {
            LogLine(50, "JoystickManager::save", __LINE__).stream()
                << path_ << " " << problem << " and cannot be kept as " << kept << " (" << ec.message()
                << "); mappings not saved";
            return;
        }
        LogLine(40, "JoystickManager::save", __LINE__).stream()
            << path_ << " " << problem << "; kept as " << kept << ", a new one is written";
    }

    std::vector<std::string> rewritten;  // sections of connected devices, emptied once
    for (auto& entryPtr : entries_) {
        const JoystickEntry& entry = *entryPtr;
        std::vector<std::pair<std::string, std::string>> values;
        for (std::size_t i = 0; i < entry.buttonHandlers.size(); ++i)
            if (entry.buttonHandlers[i]) values.emplace_back("Button" + std::to_string(i), entry.buttonHandlers[i]->serialize());
        for (std::size_t i = 0; i < entry.axisHandlers.size(); ++i)
            if (entry.axisHandlers[i]) values.emplace_back("Axis" + std::to_string(i), entry.axisHandlers[i]->serialize());
        if (values.empty()) continue;  // an empty section would come out as a stray key

        const std::string name = sectionName(entry);
        auto found = tree.find(name);
        pt::ptree& section = found == tree.not_found() ? tree.push_back(std::make_pair(name, pt::ptree()))->second
                                                       : tree.to_iterator(found)->second;
        // The device's section as read is replaced by what the device holds now (its
        // handlers were loaded from it); the section keeps its place in the file.
        if (std::find(rewritten.begin(), rewritten.end(), name) == rewritten.end()) {
            section.clear();
            rewritten.push_back(name);
        }
        // Two joysticks of one type share a section; the later one's values win.
        for (auto& kv : values) {
            auto existing = section.find(kv.first);
            if (existing == section.not_found())
                section.push_back(std::make_pair(kv.first, pt::ptree(kv.second)));
            else
                section.to_iterator(existing)->second.data() = kv.second;
        }
    }

    std::ostringstream text;
    try {
        pt::write_ini(text, tree);
    } catch (const std::exception& e) {
        LogLine(50, "JoystickManager::save", __LINE__).stream() << path_ << " not saved: " << e.what();
        return;
    }
    writeFile(text.str());
}

bool JoystickManager::writeFile(const std::string& text) {
    const fs::path path(path_);
    std::error_code ec;
    if (path.has_parent_path()) fs::create_directories(path.parent_path(), ec);

    const std::string temporary = path_ + ".tmp";
    {
        std::ofstream out(temporary, std::ios::out | std::ios::binary | std::ios::trunc);
        if (out.is_open()) {
            out.write(text.data(), static_cast<std::streamsize>(text.size()));
            out.flush();
        }
        if (!out.is_open() || !out.good()) {
            fs::remove(temporary, ec);
            return false;
        }
    }
    fs::rename(temporary, path, ec);
    if (ec) {
        fs::remove(temporary, ec);
        return false;
    }
    return true;
}
