// Arbitrary bytes as joysticks.ini under the gamepad manager: found joysticks load their
// mappings from it, the mapped controls move, a mapping may be learned, the file is saved
// and a new manager loads the result. Whatever the file held, the saved file must read
// back, load and save to the same text, and the user's bytes must survive (kept as
// joysticks.ini.old when they do not parse).
//
// The first byte chooses the joysticks plugged in, the second whether and which control
// is learned and whether the result is loaded again; the rest is the file.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <boost/property_tree/ini_parser.hpp>

#include "FuzzFiles.h"
#include "ScriptedJoystickSource.h"
#include "stream/gamepad/JoystickManager.h"

namespace pt = boost::property_tree;
using fuzzfiles::readFile;
using fuzzfiles::writeFile;

namespace {

struct Listener : IJoystickManagerEventListener {
    void onDeviceAdded(int) override {}
    void onDeviceRemoved(int) override {}
};
struct Callback : IJoystickEventDetectionCallback {
    void onDetectionResult(int, int) override {}
    void onDetectionStopped() override {}
};

struct PadType {
    const char* name;
    int buttons;
    int axes;
};
const PadType kPads[] = {
    {"Xbox 360 Controller", 14, 6}, {"Pad", 4, 4}, {"a]b[c=d;e#f.g", 2, 2}, {"", 1, 1},
};
constexpr int kPadTypes = 4;

void plugAll(ScriptedJoystickSource& source, std::uint8_t which) {
    for (int i = 0; i < kPadTypes; ++i)
        if (which & (1 << i)) source.plug(i, kPads[i].name, kPads[i].buttons, kPads[i].axes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool quiet = std::freopen("/dev/null", "w", stdout) != nullptr;
    (void)quiet;
    static const fuzzfiles::ScratchFolder folder("fuzz-joysticks");
    static const std::string path = folder.file("joysticks.ini");
    if (size < 2) return 0;
    const std::uint8_t which = (data[0] & 0x0F) | 1;  // at least the first pad
    const std::uint8_t control = data[1];
    const std::string input(reinterpret_cast<const char*>(data) + 2, size - 2);
    std::remove((path + ".old").c_str());
    writeFile(path, input);

    {
        Listener listener;
        Callback callback;
        ScriptedJoystickSource source;
        JoystickManager manager(&listener, &source);
        manager.setFilePath(path);
        plugAll(source, which);
        manager.scanDevices();  // loads the file

        // Move every control of every pad, as the file maps them.
        for (float v : {1.0f, -0.5f}) {
            for (int i = 0; i < kPadTypes; ++i) {
                if (!(which & (1 << i))) continue;
                for (int a = 0; a < kPads[i].axes; ++a) source.setAxis(i, a, v);
                for (int b = 0; b < kPads[i].buttons; ++b) source.setButton(i, b, v > 0);
            }
            manager.poll();
        }
        if (control & 0x80) {
            // Learn one control of the first pad, which saves the file.
            manager.detectForAxis(control & 15, (control >> 4) & 7, &callback);
            if (control & 1) source.setButton(0, control % kPads[0].buttons, true);
            else source.setAxis(0, control % kPads[0].axes, 0.9f);
            manager.poll();
            manager.stopDetection();
        } else {
            manager.save();
        }
    }

    // The user's bytes survive, and the saved file reads back (checked for a quarter of the
    // inputs: it is the slow part).
    if (std::ifstream(path + ".old").is_open() && readFile(path + ".old") != input) std::abort();
    if ((control & 0x60) != 0x60) return 0;
    const std::string saved = readFile(path);
    {
        pt::ptree tree;
        std::istringstream in(saved);
        pt::read_ini(in, tree);  // throws (and so fails the run) when the file does not parse
    }
    {
        Listener listener;
        ScriptedJoystickSource source;
        JoystickManager manager(&listener, &source);
        manager.setFilePath(path);
        plugAll(source, which);
        manager.scanDevices();
        manager.save();
        if (readFile(path) != saved) std::abort();  // loading and saving again changes nothing
    }
    return 0;
}
