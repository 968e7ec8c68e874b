// The gamepad manager with a scripted joystick source: finding joysticks, mapping their
// controls into states, learning mappings, and joysticks.ini.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include <boost/property_tree/ini_parser.hpp>
#include <boost/property_tree/ptree.hpp>

#include "AllocationCounter.h"
#include "ScriptedJoystickSource.h"
#include "stream/gamepad/InterfaceJoystickInputDevice.h"
#include "stream/gamepad/JoystickButtonToButtonEventHandler.h"
#include "stream/gamepad/JoystickManager.h"
#include "stream/gamepad/UIJoystickDevice.h"

namespace fs = std::filesystem;

namespace {

class TempFolder {
public:
    TempFolder() {
        std::random_device rd;
        path_ = fs::temp_directory_path() / ("nimbrosta-gamepad-" + std::to_string(rd()) + std::to_string(rd()));
        fs::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    fs::path path_;
};

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

class RecordingListener : public IJoystickManagerEventListener {
public:
    void onDeviceAdded(int id) override { events.push_back("+" + std::to_string(id)); }
    void onDeviceRemoved(int id) override {
        events.push_back("-" + std::to_string(id));
        if (manager) {
            bool known = false;
            for (auto& e : manager->entries()) known = known || e->deviceId == id;
            knownWhenRemoved.push_back(known);
        }
    }
    std::vector<std::string> events;
    std::vector<bool> knownWhenRemoved;
    JoystickManager* manager = nullptr;
};

class RecordingCallback : public IJoystickEventDetectionCallback {
public:
    void onDetectionResult(int result, int target) override {
        results.push_back(std::to_string(result) + "/" + std::to_string(target));
    }
    void onDetectionStopped() override { ++stopped; }
    std::vector<std::string> results;
    int stopped = 0;
};

// Texts of every handler slot of an entry, "" for an empty slot.
std::vector<std::string> buttonTexts(const JoystickEntry& e) {
    std::vector<std::string> out;
    for (auto& h : e.buttonHandlers) out.push_back(h ? h->serialize() : "");
    return out;
}
std::vector<std::string> axisTexts(const JoystickEntry& e) {
    std::vector<std::string> out;
    for (auto& h : e.axisHandlers) out.push_back(h ? h->serialize() : "");
    return out;
}

struct Rig {
    Rig() : manager(&listener, &source) {
        listener.manager = &manager;
        manager.setFilePath(folder.file("joysticks.ini"));
    }
    JoystickEntry& entry(std::size_t i = 0) { return *manager.entries().at(i); }

    TempFolder folder;
    ScriptedJoystickSource source;
    RecordingListener listener;
    JoystickManager manager;
};

TEST(JoystickManager, ScanFollowsPlugUnplugAndRename) {
    Rig r;
    EXPECT_FALSE(r.manager.scanDevices());
    EXPECT_TRUE(r.listener.events.empty());
    EXPECT_EQ(r.source.maxIdAsked, 14);  // ids 0-14

    r.source.plug(0, "Pad", 14, 6);
    EXPECT_TRUE(r.manager.scanDevices());
    EXPECT_TRUE(r.manager.scanDevices());  // still there: nothing to tell
    r.source.unplug(0);
    EXPECT_FALSE(r.manager.scanDevices());
    r.source.plug(0, "Pad", 14, 6);
    EXPECT_TRUE(r.manager.scanDevices());
    r.source.rename(0, "Pad II");
    EXPECT_TRUE(r.manager.scanDevices());
    r.source.plug(7, "Wheel", 2, 1);
    r.source.plug(3, "Stick", 2, 2);
    EXPECT_TRUE(r.manager.scanDevices());
    EXPECT_EQ(r.listener.events, (std::vector<std::string>{"+0", "-0", "+1", "-1", "+2", "+3", "+4"}));
    EXPECT_EQ(r.listener.knownWhenRemoved, (std::vector<bool>{true, true}));

    ASSERT_EQ(r.manager.entries().size(), 3u);
    EXPECT_EQ(r.entry(0).name, "Pad II");
    EXPECT_EQ(r.entry(1).joystickId, 3);  // new joysticks in id order
    EXPECT_EQ(r.entry(2).joystickId, 7);

    // Unknown ids change nothing; known ones get the device.
    InterfaceJoystickInputDevice device(0, 1);
    r.manager.setInputDevice(99, &device);
    for (auto& e : r.manager.entries()) EXPECT_EQ(e->device, nullptr);
    r.manager.setInputDevice(3, &device);
    EXPECT_EQ(r.entry(1).device, &device);
}

TEST(JoystickManager, NewEntryGetsTheBuiltInMappingSizedFromItsFirstReading) {
    Rig r;
    r.source.plug(0, "Big", 20, 8);
    r.source.plug(1, "Small", 3, 2);
    r.manager.scanDevices();
    EXPECT_EQ(buttonTexts(r.entry(0)),
              (std::vector<std::string>{"B2B:0", "B2B:1", "B2B:2", "B2B:3", "B2B:4", "B2B:5", "B2B:6", "B2B:7", "B2B:9",
                                        "B2B:10", "B2B:11", "B2B:12", "B2B:13", "B2B:14", "B2B:15", "B2B:16", "B2B:17",
                                        "", "", ""}));
    EXPECT_EQ(axisTexts(r.entry(0)),
              (std::vector<std::string>{"A2A:0:-1.00:0.00:1.00", "A2A:1:1.00:0.00:-1.00", "A2A:3:-1.00:0.00:1.00",
                                        "A2A:4:1.00:0.00:-1.00", "A2A:10:-1.00:0.00:1.00", "A2A:11:-1.00:0.00:1.00",
                                        "", ""}));
    EXPECT_EQ(buttonTexts(r.entry(1)), (std::vector<std::string>{"B2B:0", "B2B:1", "B2B:2"}));
    EXPECT_EQ(axisTexts(r.entry(1)), (std::vector<std::string>{"A2A:0:-1.00:0.00:1.00", "A2A:1:1.00:0.00:-1.00"}));
    // Every entry starts at rest: sticks centred, triggers released.
    EXPECT_EQ(r.entry(0).state, GamepadState::neutral());
}

TEST(JoystickManager, PollMapsOnlyChangedControlsIntoTheState) {
    Rig r;
    r.source.plug(0, "Pad", 14, 8);
    r.manager.scanDevices();
    GamepadState expected = GamepadState::neutral();

    struct Step {
        const char* name;
        std::function<void()> move;
        std::function<void()> expect;
    };
    const Step steps[] = {
        {"left stick right half way", [&] { r.source.setAxis(0, 0, 0.5f); }, [&] { expected.axes[0] = 192; }},
        {"left stick up (inverted)", [&] { r.source.setAxis(0, 1, 1.0f); }, [&] { expected.axes[1] = 0; }},
        {"right trigger pulled", [&] { r.source.setAxis(0, 5, 1.0f); }, [&] { expected.axes[11] = 255; }},
        {"right trigger back to rest", [&] { r.source.setAxis(0, 5, -1.0f); }, [&] { expected.axes[11] = 0; }},
        {"button 8 is bit 9", [&] { r.source.setButton(0, 8, true); }, [&] { expected.buttons = 1u << 9; }},
        {"axis without handler", [&] { r.source.setAxis(0, 7, 1.0f); }, [] {}},
        {"two at once", [&] { r.source.setButton(0, 8, false); r.source.setButton(0, 0, true); },
         [&] { expected.buttons = 1; }},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        s.move();
        s.expect();
        r.manager.poll();
        EXPECT_EQ(r.entry().state, expected);
    }
}

// The poll runs every 10 ms: once warmed up it allocates nothing, moving or not.
TEST(JoystickManager, PollAllocatesNothingOnceWarm) {
    Rig r;
    UIJoystickDevice form;
    r.source.plug(0, "Pad", 14, 6);
    r.source.plug(1, "Other", 12, 4);
    r.manager.scanDevices();
    r.manager.setMonitorDevice(&form);
    auto wiggle = [&](int i) {
        r.source.setAxis(0, i % 6, (i % 3) * 0.5f - 0.5f);
        r.source.setButton(0, i % 14, i % 2 == 0);
        r.source.setAxis(1, 0, i % 2 ? 1.0f : -1.0f);
        r.manager.poll();
    };
    for (int i = 0; i < 20; ++i) wiggle(i);
    const auto before = allocationCount().load();
    for (int i = 0; i < 200; ++i) wiggle(i);
    for (int i = 0; i < 50; ++i) r.manager.poll();
    EXPECT_EQ(allocationCount().load() - before, 0u);
    EXPECT_TRUE(form.takeChanged());
}

TEST(JoystickManager, ReadingsOfAnotherShapeAreSkippedSafely) {
    Rig r;
    RecordingCallback cb;
    r.source.plug(0, "Morph", 2, 2);
    r.manager.scanDevices();
    r.manager.detectButton(1, &cb);
    // The joystick suddenly reports more controls, with the new ones far from rest.
    r.source.reading(0).buttons.assign(6, 1);
    r.source.reading(0).axes.assign(5, 1.0f);
    r.manager.poll();
    EXPECT_EQ(r.entry().state, GamepadState::neutral());  // no handler ran
    EXPECT_EQ(cb.results, (std::vector<std::string>{"2/1"}));  // the two known buttons moved
    // Now as the previous reading, a change of a control beyond the handler slots is ignored.
    r.manager.stopDetection();
    r.source.setButton(0, 5, false);
    r.source.setAxis(0, 4, 0.0f);
    r.manager.poll();
    EXPECT_EQ(r.entry().buttonHandlers.size(), 2u);
    // And the joystick shrinking to nothing is skipped until a scan misses it.
    r.source.reading(0).buttons.clear();
    r.source.reading(0).axes.clear();
    r.manager.poll();
    EXPECT_TRUE(r.manager.scanDevices());
}

// ---- detection ----

struct DetectCase {
    const char* name;
    JoystickDetectionMode mode;
    int target, second;
    std::function<void(ScriptedJoystickSource&)> move;
    std::vector<std::string> results;
    int buttonSlot;  // -1: none checked
    std::string buttonText;
    int axisSlot;
    std::string axisText;
};

// Pad "Learner": 4 buttons, axes 0-2 centred, axis 3 a trigger resting at -1.
TEST(JoystickManager, DetectionModesLearnWhatTheyShould) {
    const float justOver = std::nextafter(0.7f, 1.0f);
    const DetectCase cases[] = {
        {"button mode, one button", kDetectButton, 6, 0, [](auto& s) { s.setButton(0, 2, true); }, {"0/6"}, 2, "B2B:6", -1, ""},
        {"button mode, two buttons", kDetectButton, 6, 0,
         [](auto& s) { s.setButton(0, 1, true); s.setButton(0, 2, true); }, {"2/6"}, 1, "B2B:1", -1, ""},
        {"button mode, an axis", kDetectButton, 6, 0, [](auto& s) { s.setAxis(0, 0, 1.0f); }, {}, -1, "", 0,
         "A2A:0:-1.00:0.00:1.00"},
        {"axis mode, a button", kDetectAxis, 3, 0, [](auto& s) { s.setButton(0, 0, true); }, {"0/3"}, 0, "B2B:0", -1, ""},
        {"axis mode, positive move", kDetectAxis, 3, 0, [](auto& s) { s.setAxis(0, 1, 0.9f); }, {"1/3"}, -1, "", 1,
         "A2A:3:-1.00:0.00:1.00"},
        {"axis mode, negative move", kDetectAxis, 3, 0, [](auto& s) { s.setAxis(0, 1, -0.9f); }, {"1/3"}, -1, "", 1,
         "A2A:3:1.00:0.00:-1.00"},
        {"axis mode, two axes", kDetectAxis, 3, 0, [](auto& s) { s.setAxis(0, 0, 1.0f); s.setAxis(0, 1, 1.0f); }, {"2/3"}, -1,
         "", 1, "A2A:1:1.00:0.00:-1.00"},
        {"axis mode, exactly 0.7", kDetectAxis, 3, 0, [](auto& s) { s.setAxis(0, 2, 0.7f); }, {}, -1, "", 2,
         "A2A:3:-1.00:0.00:1.00"},
        {"axis mode, just over 0.7", kDetectAxis, 0, 0, [=](auto& s) { s.setAxis(0, 2, justOver); }, {"1/0"}, -1, "", 2,
         "A2A:0:-1.00:0.00:1.00"},
        {"two buttons mode, positive", kDetectAxisAsButtons, 12, 13, [](auto& s) { s.setAxis(0, 0, 0.8f); }, {"1/12"}, -1, "",
         0, "A22B:12:13"},
        {"two buttons mode, negative", kDetectAxisAsButtons, 12, 13, [](auto& s) { s.setAxis(0, 0, -0.8f); }, {"1/12"}, -1,
         "", 0, "A22B:13:12"},
        {"two buttons mode, a button", kDetectAxisAsButtons, 12, 13, [](auto& s) { s.setButton(0, 3, true); }, {"0/12"}, 3,
         "B2B:12", -1, ""},
        {"for-axis mode, a button", kDetectForAxis, 10, 11, [](auto& s) { s.setButton(0, 3, true); }, {"0/10"}, 3,
         "B2A:10:-1.00:1.00", -1, ""},
        {"for-axis mode, trigger pulled", kDetectForAxis, 10, 11, [](auto& s) { s.setAxis(0, 3, 1.0f); }, {"1/10"}, -1, "", 3,
         "A2A:10:-1.00:0.00:1.00"},
        {"for-axis mode, centred axis to the negative side", kDetectForAxis, 10, 11, [](auto& s) { s.setAxis(0, 0, -0.9f); },
         {"1/10"}, -1, "", 0, "A2T:10:11"},
        {"for-axis mode, centred axis to the positive side", kDetectForAxis, 10, 11, [](auto& s) { s.setAxis(0, 0, 0.9f); },
         {"1/10"}, -1, "", 0, "A2T:11:10"},
        {"a button and an axis at once", kDetectForAxis, 1, 2, [](auto& s) { s.setButton(0, 0, true); s.setAxis(0, 1, -1.0f); },
         {"0/1", "1/1"}, 0, "B2A:1:-1.00:1.00", 1, "A2T:1:2"},
    };
    for (const DetectCase& c : cases) {
        SCOPED_TRACE(c.name);
        Rig r;
        RecordingCallback cb;
        r.source.plug(0, "Learner", 4, 4);
        r.source.setAxis(0, 3, -1.0f);
        r.manager.scanDevices();
        switch (c.mode) {
            case kDetectButton: r.manager.detectButton(c.target, &cb); break;
            case kDetectAxis: r.manager.detectAxis(c.target, &cb); break;
            case kDetectAxisAsButtons: r.manager.detectAxisAsButtons(c.target, c.second, &cb); break;
            default: r.manager.detectForAxis(c.target, c.second, &cb); break;
        }
        EXPECT_EQ(r.manager.detectionMode(), c.mode);
        c.move(r.source);
        r.manager.poll();
        EXPECT_EQ(cb.results, c.results);
        if (c.buttonSlot >= 0) {
            EXPECT_EQ(buttonTexts(r.entry())[static_cast<std::size_t>(c.buttonSlot)], c.buttonText);
        }
        if (c.axisSlot >= 0) {
            EXPECT_EQ(axisTexts(r.entry())[static_cast<std::size_t>(c.axisSlot)], c.axisText);
        }
        EXPECT_EQ(r.manager.detectionMode(), c.mode);  // the callback's owner ends it
        // Every attempt is saved; an attempt is any poll whose controls moved past the threshold.
        const std::string file = readFile(r.folder.file("joysticks.ini"));
        if (!c.results.empty() || c.name == std::string("button mode, an axis")) {
            EXPECT_NE(file.find("[Learner-b4-a4]"), std::string::npos) << file;
            if (c.axisSlot >= 0 && !c.results.empty()) {
                EXPECT_NE(file.find("Axis" + std::to_string(c.axisSlot) + "=" + c.axisText), std::string::npos) << file;
            }
        } else {
            EXPECT_EQ(file.find("Learner"), std::string::npos) << file;
        }
        EXPECT_EQ(cb.stopped, 0);
    }
}

// The player's way: on each result it stops, and after a stick's first axis it goes on with
// the second one.
class StickLearner : public IJoystickEventDetectionCallback {
public:
    explicit StickLearner(JoystickManager& m) : manager(m) {}
    void onDetectionResult(int result, int target) override {
        log.push_back("result " + std::to_string(result) + "/" + std::to_string(target));
        manager.stopDetection();
        if (result == 1 && target == 0) manager.detectAxis(1, this);
    }
    void onDetectionStopped() override {
        log.push_back("stopped");
        manager.stopDetection();
    }
    JoystickManager& manager;
    std::vector<std::string> log;
};

TEST(JoystickManager, StoppingAndChainingDetectionFromTheCallback) {
    Rig r;
    r.source.plug(0, "Pad", 2, 2);
    r.manager.scanDevices();
    StickLearner learner(r.manager);
    r.manager.detectAxis(0, &learner);
    r.source.setAxis(0, 1, 1.0f);  // the user picks physical axis 1 for target 0
    r.manager.poll();
    EXPECT_EQ(r.manager.detectionMode(), kDetectAxis);
    EXPECT_EQ(r.manager.firstTarget(), 1);
    r.source.setAxis(0, 1, 0.0f);
    r.manager.poll();  // back to the centre: not past the threshold from the baseline
    r.source.setAxis(0, 0, -1.0f);
    r.manager.poll();
    EXPECT_EQ(learner.log, (std::vector<std::string>{"result 1/0", "stopped", "result 1/1", "stopped"}));
    EXPECT_EQ(r.manager.detectionMode(), kDetectNone);
    EXPECT_EQ(axisTexts(r.entry()), (std::vector<std::string>{"A2A:1:1.00:0.00:-1.00", "A2A:0:-1.00:0.00:1.00"}));

    // A new detection takes the last reading as its baseline: a control still held away
    // from rest is not learned again, and a second detect stops the first.
    RecordingCallback first, second;
    r.manager.detectButton(4, &first);
    r.manager.detectButton(5, &second);
    EXPECT_EQ(first.stopped, 1);
    r.source.setAxis(0, 0, -0.9f);
    r.manager.poll();
    EXPECT_TRUE(second.results.empty());
    r.manager.stopDetection();
    EXPECT_EQ(second.stopped, 1);
    EXPECT_EQ(r.manager.detectionMode(), kDetectNone);
    r.manager.stopDetection();  // nothing to tell any more
    EXPECT_EQ(second.stopped, 1);
}

// ---- joysticks.ini ----

TEST(JoystickManager, MissingFileIsCreatedWithTheDefaultTextInAFolderMadeForIt) {
    Rig r;
    const std::string path = r.folder.file("per-user/Nimbrosta/joysticks.ini");
    r.manager.setFilePath(path);
    r.source.plug(0, "Xbox 360 Controller", 14, 6);
    r.source.plug(1, "Other", 14, 6);
    r.manager.scanDevices();
    EXPECT_EQ(readFile(path), JoystickManager::defaultFileText());
    // The default text maps exactly that device type; others keep the built-in mapping.
    EXPECT_EQ(buttonTexts(r.entry(0))[6], "B2B:8");
    EXPECT_EQ(axisTexts(r.entry(0))[1], "A2A:1:-1.00:0.00:1.00");
    EXPECT_EQ(buttonTexts(r.entry(1))[6], "B2B:6");
    EXPECT_EQ(axisTexts(r.entry(1))[1], "A2A:1:1.00:0.00:-1.00");
}

TEST(JoystickManager, LoadClassifiesEachValueAndRefusesAxisTargetsOutsideTheState) {
    Rig r;
    writeFile(r.folder.file("joysticks.ini"),
              "[Absent-b1-a1]\nButton0=B2B:9\n"
              "[Pad-b4-a4]\n"
              "Button0=B2\nButton1=X2B:3\nButton2=B2A:10:-1.00:1.00\nButton3=B2B:20\nButton4=B2B:5\n"
              "Axis0=A2A:x\nAxis1=A22B:1:2\nAxis2=A2T:16:1\nAxis3=A2T:3:4\nAxis4=A2A:0:1:0:1\n");
    r.source.plug(0, "Pad", 4, 4);
    r.manager.scanDevices();
    EXPECT_EQ(buttonTexts(r.entry()), (std::vector<std::string>{"B2B:0", "B2B:1", "B2A:10:-1.00:1.00", "B2B:20"}));
    EXPECT_EQ(axisTexts(r.entry()),
              (std::vector<std::string>{"A2A:0:0.00:0.00:0.00", "A22B:1:2", "A2A:3:-1.00:0.00:1.00", "A2T:3:4"}));

    for (const char* value : {"A2A:16:-1:0:1", "A2A:-1:-1:0:1", "A2T:0:99", "A2T:-3:0"}) {
        SCOPED_TRACE(value);
        Rig q;
        writeFile(q.folder.file("joysticks.ini"), std::string("[Pad-b1-a1]\nAxis0=") + value + "\n");
        q.source.plug(0, "Pad", 1, 1);
        q.manager.scanDevices();
        EXPECT_EQ(axisTexts(q.entry())[0], "A2A:0:-1.00:0.00:1.00");
    }
    Rig b;
    writeFile(b.folder.file("joysticks.ini"), "[Pad-b1-a1]\nButton0=B2A:16:-1:1\n");
    b.source.plug(0, "Pad", 1, 1);
    b.manager.scanDevices();
    EXPECT_EQ(buttonTexts(b.entry())[0], "B2B:0");
}

TEST(JoystickManager, UnreadableFileChangesNothingAndIsKeptAsOldByTheNextSave) {
    for (const char* text : {"[Pad-b2-a1\nButton0=B2B:7\n", "[Pad-b2-a1]\nButton0=B2B:7\n[Pad-b2-a1]\n",
                             "[Pad-b2-a1]\nButton0\n", "[Pad-b2-a1]\nButton0=B2B:7\nButton0=B2B:8\n"}) {
        SCOPED_TRACE(text);
        Rig r;
        const std::string path = r.folder.file("joysticks.ini");
        writeFile(path, text);
        r.source.plug(0, "Pad", 2, 1);
        r.manager.scanDevices();
        EXPECT_EQ(buttonTexts(r.entry()), (std::vector<std::string>{"B2B:0", "B2B:1"}));
        EXPECT_EQ(readFile(path), text);  // left as it was
        r.manager.save();
        EXPECT_EQ(readFile(path), "[Pad-b2-a1]\nButton0=B2B:0\nButton1=B2B:1\nAxis0=A2A:0:-1.00:0.00:1.00\n");
        EXPECT_EQ(readFile(path + ".old"), text) << "the user's file is kept";
    }
    // When the old copy cannot be made, the file is left alone and nothing is written.
    Rig r;
    const std::string path = r.folder.file("joysticks.ini");
    writeFile(path, "[Pad-b2-a1\n");
    fs::create_directory(path + ".old");
    writeFile(path + ".old/x", "x");
    r.source.plug(0, "Pad", 2, 1);
    r.manager.scanDevices();
    r.manager.save();
    EXPECT_EQ(readFile(path), "[Pad-b2-a1\n");
}

// A decimal comma in the program's locale must not reach the file.
struct CommaDecimal : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
};

TEST(JoystickManager, SaveAndLoadKeepHostileNamesApart) {
    const std::vector<std::string> names = {
        "Nintendo Co., Ltd. Pro Controller", "a]b[c=d;e#f", "[x]", " lead", "pct%5D", "pct]", "tab\tname\r\n[Injected]",
        "", "#hash", ";semi", "Pad"};
    const std::locale previous = std::locale::global(std::locale(std::locale::classic(), new CommaDecimal));
    TempFolder folder;
    const std::string path = folder.file("joysticks.ini");
    {
        ScriptedJoystickSource source;
        RecordingListener listener;
        JoystickManager manager(&listener, &source);
        manager.setFilePath(path);
        for (std::size_t i = 0; i < names.size(); ++i) source.plug(static_cast<int>(i), names[i], 2, 2);
        manager.scanDevices();
        // A mapping of its own for every device.
        for (std::size_t i = 0; i < names.size(); ++i) {
            auto& e = *manager.entries()[i];
            e.buttonHandlers[1] = std::make_shared<JoystickButtonToButtonEventHandler>(static_cast<int>(40 + i));
            e.axisHandlers[0] = nullptr;
        }
        manager.save();
    }
    std::locale::global(previous);

    const std::string text = readFile(path);
    EXPECT_NE(text.find("[Nintendo Co., Ltd. Pro Controller-b2-a2]"), std::string::npos) << text;
    EXPECT_NE(text.find("Axis1=A2A:1:1.00:0.00:-1.00"), std::string::npos) << text;
    EXPECT_EQ(text.find("[Injected]"), std::string::npos) << text;
    boost::property_tree::ptree tree;
    std::istringstream in(text);
    ASSERT_NO_THROW(boost::property_tree::read_ini(in, tree));
    EXPECT_EQ(tree.size(), names.size() + 1) << "one section per name and the default text's";

    ScriptedJoystickSource source;
    RecordingListener listener;
    JoystickManager manager(&listener, &source);
    manager.setFilePath(path);
    for (std::size_t i = 0; i < names.size(); ++i) source.plug(static_cast<int>(i), names[i], 2, 2);
    manager.scanDevices();
    for (std::size_t i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(buttonTexts(*manager.entries()[i])[1], "B2B:" + std::to_string(40 + i));
    }
}

TEST(JoystickManager, SaveKeepsAbsentDevicesAndSharesSectionsOfOneType) {
    Rig r;
    RecordingCallback cb;
    r.source.plug(0, "Twin", 2, 1);
    r.source.plug(1, "Twin", 2, 1);
    r.source.plug(2, "Gone", 1, 1);
    r.manager.scanDevices();  // creates the file with the default text
    r.entry(0).buttonHandlers[0] = std::make_shared<JoystickButtonToButtonEventHandler>(30);
    r.entry(1).buttonHandlers[0] = std::make_shared<JoystickButtonToButtonEventHandler>(31);
    r.entry(1).buttonHandlers[1] = nullptr;
    r.manager.save();
    const std::string defaults = JoystickManager::defaultFileText();
    EXPECT_EQ(readFile(r.folder.file("joysticks.ini")),
              defaults + "[Twin-b2-a1]\nButton0=B2B:31\nButton1=B2B:1\nAxis0=A2A:0:-1.00:0.00:1.00\n"
                         "[Gone-b1-a1]\nButton0=B2B:0\nAxis0=A2A:0:-1.00:0.00:1.00\n");

    r.source.unplug(2);
    r.manager.scanDevices();
    r.manager.detectButton(7, &cb);
    r.source.setButton(1, 1, true);
    r.manager.poll();  // a learning attempt saves; the later twin's values win
    EXPECT_EQ(readFile(r.folder.file("joysticks.ini")),
              defaults + "[Twin-b2-a1]\nButton0=B2B:31\nButton1=B2B:7\nAxis0=A2A:0:-1.00:0.00:1.00\n"
                         "[Gone-b1-a1]\nButton0=B2B:0\nAxis0=A2A:0:-1.00:0.00:1.00\n")
        << "the unplugged pad and the default section are kept as read";
}

TEST(JoystickManager, SaveReplacesTheSectionOfAConnectedDeviceWhole) {
    Rig r;
    const std::string path = r.folder.file("joysticks.ini");
    writeFile(path, "top=level\n[Other-b1-a1]\nButton0=B2B:5\nNote=kept as read\n"
                    "[Pad-b2-a1]\nButton0=B2B:9\nButton1=X2B:1\nButton7=B2B:3\n[Last-b1-a0]\nButton0=B2B:2\n");
    r.source.plug(0, "Pad", 2, 1);
    r.manager.scanDevices();
    r.manager.save();
    EXPECT_EQ(readFile(path), "top=level\n[Other-b1-a1]\nButton0=B2B:5\nNote=kept as read\n"
                              "[Pad-b2-a1]\nButton0=B2B:9\nButton1=B2B:1\nAxis0=A2A:0:-1.00:0.00:1.00\n"
                              "[Last-b1-a0]\nButton0=B2B:2\n");
}

TEST(JoystickManager, FailedWriteKeepsTheOldFile) {
    Rig r;
    const std::string path = r.folder.file("joysticks.ini");
    writeFile(path, "[Pad-b1-a1]\nButton0=B2B:4\n");
    r.source.plug(0, "Pad", 1, 1);
    r.manager.scanDevices();
    fs::create_directory(path + ".tmp");  // the temporary file cannot be made
    r.entry().buttonHandlers[0] = std::make_shared<JoystickButtonToButtonEventHandler>(9);
    r.manager.save();
    EXPECT_EQ(readFile(path), "[Pad-b1-a1]\nButton0=B2B:4\n");
    fs::remove(path + ".tmp");
    r.manager.save();
    EXPECT_EQ(readFile(path), "[Pad-b1-a1]\nButton0=B2B:9\nAxis0=A2A:0:-1.00:0.00:1.00\n");
}

}  // namespace
