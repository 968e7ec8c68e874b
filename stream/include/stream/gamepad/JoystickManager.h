#pragma once
// Finds joysticks, reads them, maps every changed control through its handler into the
// joystick's GamepadState and hands the state to the devices attached to it; learns new
// mappings in a detection mode driven by the gamepad setup form; keeps the mappings per
// device type in joysticks.ini.
//
// Usage (all on the main thread): construct with the listener, setFilePath, scanDevices
// every 5 s and poll every 10 ms while the last scan found a joystick. The listener gets
// onDeviceAdded / onDeviceRemoved from the scan and attaches its device with
// setInputDevice. Device ids are never reused while the manager lives.
//
// joysticks.ini holds one section per device type, "<name>-b<buttons>-a<axes>", with keys
// Button<i> and Axis<i> whose values are handler texts ("B2B:3", "A2A:0:-1.00:0.00:1.00").
// It is written through a temporary file that replaces it, so a failed write loses nothing.

#include <memory>
#include <string>
#include <vector>

#include "stream/gamepad/IJoystickEventDetectionCallback.h"
#include "stream/gamepad/IJoystickManagerEventListener.h"
#include "stream/gamepad/IJoystickSource.h"
#include "stream/gamepad/JoystickDevice.h"
#include "stream/gamepad/JoystickEntry.h"

class InterfaceJoystickInputDevice;

enum JoystickDetectionMode {
    kDetectNone = 0,
    kDetectButton = 1,        // a button for a target button
    kDetectAxis = 2,          // an axis for a target axis
    kDetectAxisAsButtons = 3, // an axis for two target buttons
    kDetectForAxis = 4,       // a button, a half-axis pair or an axis for a target axis
};

class JoystickManager {
public:
    static constexpr int kMaxJoysticks = 15;            // source ids 0-14 are scanned
    static constexpr float kDetectionThreshold = 0.7f;  // movement away from the baseline
    static constexpr float kRestingAxisLimit = 0.3f;    // |baseline| from which an axis counts as a trigger

    // source null: the GLFW source.
    explicit JoystickManager(IJoystickManagerEventListener* listener, IJoystickSource* source = nullptr);
    // Frees every entry; writes nothing and tells no listener.
    ~JoystickManager();

    JoystickManager(const JoystickManager&) = delete;
    JoystickManager& operator=(const JoystickManager&) = delete;

    // The path of joysticks.ini ("joysticks.ini" until set); nothing is read or written here.
    void setFilePath(std::string path);
    const std::string& filePath() const { return path_; }

    // A device that sees every mapped state (the setup form's), or none.
    void setMonitorDevice(JoystickDevice* device);
    // Attaches a device to the entry with that device id; an unknown id changes nothing.
    void setInputDevice(int deviceId, InterfaceJoystickInputDevice* device);

    // Finds joysticks that came, went or were renamed; true when at least one is known.
    bool scanDevices();
    // Reads every known joystick once.
    void poll();

    // Each first stops a running detection, then starts its own.
    void detectButton(int target, IJoystickEventDetectionCallback* callback);
    void detectAxis(int target, IJoystickEventDetectionCallback* callback);
    void detectAxisAsButtons(int target, int secondTarget, IJoystickEventDetectionCallback* callback);
    void detectForAxis(int target, int secondTarget, IJoystickEventDetectionCallback* callback);
    // Ends detection (the callback, if any, hears onDetectionStopped) and takes every
    // joystick's last reading as the baseline of the next detection.
    void stopDetection();

    JoystickDetectionMode detectionMode() const { return mode_; }
    int firstTarget() const { return target_; }
    int secondTarget() const { return secondTarget_; }

    // The built-in mapping of a new entry, with slots sized from the reading.
    static void defaultMapping(const JoystickReading& reading, JoystickEntry& entry);
    // Reads joysticks.ini into the handlers of every entry (creating the file with the
    // default text when it does not exist). A file that cannot be read changes nothing.
    void load();
    // Writes the mappings of the connected joysticks to joysticks.ini; the sections of
    // other devices stay as they were read. A file that does not parse is kept as
    // joysticks.ini.old first (when that fails, nothing is written).
    void save();

    // The section name of an entry in joysticks.ini. Characters that the ini format cannot
    // hold in a section name ("]", "%", control characters, blanks at either end) are
    // written as %XX; other names stay exactly as the source reports them.
    static std::string sectionName(const JoystickEntry& entry);
    // The text a new joysticks.ini gets.
    static const char* defaultFileText();

    const std::vector<std::unique_ptr<JoystickEntry>>& entries() const { return entries_; }

private:
    bool readJoystick(int joystickId, JoystickReading& out);
    void startDetection(JoystickDetectionMode mode, int target, int secondTarget,
                        IJoystickEventDetectionCallback* callback);
    void learn(JoystickEntry& entry);
    bool writeFile(const std::string& text);

    std::string path_ = "joysticks.ini";
    std::vector<std::unique_ptr<JoystickEntry>> entries_;
    JoystickDetectionMode mode_ = kDetectNone;
    int target_ = 0;
    int secondTarget_ = 0;
    IJoystickEventDetectionCallback* callback_ = nullptr;
    JoystickDevice* monitor_ = nullptr;
    int nextDeviceId_ = 0;
    IJoystickManagerEventListener* const listener_;
    IJoystickSource* const source_;

    // Per-poll scratch space, kept so that a steady poll allocates nothing.
    JoystickReading reading_;
    ReadingChanges changes_;
    ReadingChanges detected_;
};
