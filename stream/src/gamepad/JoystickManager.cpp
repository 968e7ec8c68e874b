#include "stream/gamepad/JoystickManager.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "stream/gamepad/GlfwJoystickSource.h"
#include "stream/gamepad/InterfaceJoystickInputDevice.h"
#include "stream/gamepad/JoystickAxisTo2AxisEventHandler.h"
#include "stream/gamepad/JoystickAxisTo2ButtonsEventHandler.h"
#include "stream/gamepad/JoystickAxisToAxisEventHandler.h"
#include "stream/gamepad/JoystickButtonToAxisEventHandler.h"
#include "stream/gamepad/JoystickButtonToButtonEventHandler.h"

JoystickManager::JoystickManager(IJoystickManagerEventListener* listener, IJoystickSource* source)
    : listener_(listener), source_(source ? source : &GlfwJoystickSource::instance()) {}

JoystickManager::~JoystickManager() = default;

void JoystickManager::setFilePath(std::string path) { path_ = std::move(path); }

void JoystickManager::setMonitorDevice(JoystickDevice* device) { monitor_ = device; }

void JoystickManager::setInputDevice(int deviceId, InterfaceJoystickInputDevice* device) {
    for (auto& entry : entries_) {
        if (entry->deviceId == deviceId) {
            entry->device = device;
            return;
        }
    }
}

bool JoystickManager::readJoystick(int joystickId, JoystickReading& out) {
    source_->read(joystickId, out);
    return !out.empty();
}

bool JoystickManager::scanDevices() {
    std::vector<std::pair<int, std::string>> found;
    for (int id = 0; id < kMaxJoysticks; ++id) {
        if (source_->present(id)) found.emplace_back(id, source_->name(id));
    }

    bool changed = false;
    for (std::size_t i = 0; i < entries_.size();) {
        JoystickEntry& entry = *entries_[i];
        auto same = std::find_if(found.begin(), found.end(), [&](const std::pair<int, std::string>& f) {
            return f.first == entry.joystickId && f.second == entry.name;
        });
        if (same != found.end()) {
            found.erase(same);
            ++i;
            continue;
        }
        // Gone or renamed: the listener hears it while the entry is still known.
        if (listener_) listener_->onDeviceRemoved(entry.deviceId);
        entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
        changed = true;
    }

    for (auto& f : found) {
        auto entry = std::make_unique<JoystickEntry>();
        entry->joystickId = f.first;
        entry->name = std::move(f.second);
        readJoystick(entry->joystickId, entry->baseline);
        readJoystick(entry->joystickId, entry->previous);
        defaultMapping(entry->previous, *entry);
        entry->deviceId = nextDeviceId_++;
        const int deviceId = entry->deviceId;
        entries_.push_back(std::move(entry));
        changed = true;
        if (listener_) listener_->onDeviceAdded(deviceId);
    }

    if (!entries_.empty() && changed) load();
    return !entries_.empty();
}

void JoystickManager::poll() {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        JoystickEntry& entry = *entries_[i];
        if (!readJoystick(entry.joystickId, reading_)) continue;

        // A reading of another shape counts as changed, but runs no handler.
        const bool reshaped = !reading_.sameShape(entry.previous);
        if (reshaped) {
            changes_.clear();
        } else {
            reading_.diff(entry.previous, 0.0f, changes_);
            if (changes_.empty()) continue;
        }

        if (mode_ != kDetectNone) {
            reading_.diff(entry.baseline, kDetectionThreshold, detected_);
            if (!detected_.empty()) learn(entry);
        }

        for (int b : changes_.buttons) {
            if (static_cast<std::size_t>(b) < entry.buttonHandlers.size() && entry.buttonHandlers[b])
                entry.buttonHandlers[b]->handle(entry.state, reading_.buttons[b] != 0);
        }
        for (const auto& a : changes_.axes) {
            if (static_cast<std::size_t>(a.first) < entry.axisHandlers.size() && entry.axisHandlers[a.first])
                entry.axisHandlers[a.first]->handle(entry.state, reading_.axes[a.first]);
        }

        if (monitor_) monitor_->setState(entry.state);
        if (entry.device) entry.device->setState(entry.state);
        std::swap(entry.previous, reading_);
    }
}

void JoystickManager::learn(JoystickEntry& entry) {
    const int target = target_;
    const int second = secondTarget_;
    const JoystickDetectionMode mode = mode_;
    const std::size_t buttonsMoved = detected_.buttons.size();
    const std::size_t axesMoved = detected_.axes.size();

    bool ambiguous = false;
    bool buttonLearned = false;
    bool axisLearned = false;
    if (buttonsMoved >= 2 || axesMoved >= 2) {
        ambiguous = true;
    } else {
        if (buttonsMoved == 1) {
            const std::size_t b = static_cast<std::size_t>(detected_.buttons.front());
            if (b < entry.buttonHandlers.size()) {
                if (mode == kDetectButton || mode == kDetectAxisAsButtons)
                    entry.buttonHandlers[b] = std::make_shared<JoystickButtonToButtonEventHandler>(target);
                else if (mode == kDetectForAxis)
                    entry.buttonHandlers[b] = std::make_shared<JoystickButtonToAxisEventHandler>(target, 1.0f, -1.0f);
                buttonLearned = true;
            }
        }
        if (axesMoved == 1) {
            const std::size_t k = static_cast<std::size_t>(detected_.axes.front().first);
            const float d = detected_.axes.front().second;
            if (k < entry.axisHandlers.size()) {
                const bool resting = std::fabs(entry.baseline.axes[k]) >= kRestingAxisLimit;
                std::shared_ptr<IJoystickAxisEventHandler> handler;
                if (mode == kDetectAxis || (mode == kDetectForAxis && resting)) {
                    // The direction the user moved becomes the target's positive direction.
                    handler = d > 0 ? std::make_shared<JoystickAxisToAxisEventHandler>(target, -1.0f, 0.0f, 1.0f)
                                    : std::make_shared<JoystickAxisToAxisEventHandler>(target, 1.0f, 0.0f, -1.0f);
                } else if (mode == kDetectForAxis) {
                    handler = d < 0 ? std::make_shared<JoystickAxisTo2AxisEventHandler>(target, second)
                                    : std::make_shared<JoystickAxisTo2AxisEventHandler>(second, target);
                } else if (mode == kDetectAxisAsButtons) {
                    handler = d > 0 ? std::make_shared<JoystickAxisTo2ButtonsEventHandler>(target, second)
                                    : std::make_shared<JoystickAxisTo2ButtonsEventHandler>(second, target);
                }
                if (handler) {
                    entry.axisHandlers[k] = std::move(handler);
                    axisLearned = true;
                }
            }
        }
    }

    // The callback may end this detection and start the next one in between.
    if (ambiguous) {
        if (callback_) callback_->onDetectionResult(IJoystickEventDetectionCallback::kAmbiguous, target);
    } else {
        if (buttonLearned && callback_) callback_->onDetectionResult(IJoystickEventDetectionCallback::kButtonLearned, target);
        if (axisLearned && callback_) callback_->onDetectionResult(IJoystickEventDetectionCallback::kAxisLearned, target);
    }
    save();
}

void JoystickManager::startDetection(JoystickDetectionMode mode, int target, int secondTarget,
                                     IJoystickEventDetectionCallback* callback) {
    stopDetection();
    mode_ = mode;
    target_ = target;
    secondTarget_ = secondTarget;
    callback_ = callback;
}

void JoystickManager::detectButton(int target, IJoystickEventDetectionCallback* callback) {
    startDetection(kDetectButton, target, 0, callback);
}

void JoystickManager::detectAxis(int target, IJoystickEventDetectionCallback* callback) {
    startDetection(kDetectAxis, target, 0, callback);
}

void JoystickManager::detectAxisAsButtons(int target, int secondTarget, IJoystickEventDetectionCallback* callback) {
    startDetection(kDetectAxisAsButtons, target, secondTarget, callback);
}

void JoystickManager::detectForAxis(int target, int secondTarget, IJoystickEventDetectionCallback* callback) {
    startDetection(kDetectForAxis, target, secondTarget, callback);
}

void JoystickManager::stopDetection() {
    IJoystickEventDetectionCallback* callback = callback_;
    callback_ = nullptr;
    mode_ = kDetectNone;
    target_ = 0;
    secondTarget_ = 0;
    for (auto& entry : entries_) entry->baseline = entry->previous;
    // Last, so that a callback that starts another detection keeps it.
    if (callback) callback->onDetectionStopped();
}
