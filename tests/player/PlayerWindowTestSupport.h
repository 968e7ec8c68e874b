#pragma once
// A player window whose screens record what happens to them, for the window tests under
// Xvfb: the trace of commands in dispatch order (the popup manager's stop as "P:<id>", a
// screen's as "S<screen>:<id>"), screens made, entered and left, and the frame count at
// each step.

#include <algorithm>
#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "player-ui/CustomUICommandHandler.h"
#include "player/PlayerMainWindow.h"
#include "player/PlayerWindowState.h"

namespace playertest {

class Trace {
public:
    void add(const std::string& entry) {
        std::lock_guard<std::mutex> lock(mutex_);
        entries_.push_back(entry);
    }
    std::vector<std::string> take() {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<std::string> out;
        out.swap(entries_);
        return out;
    }
    std::vector<std::string> snapshot() {
        std::lock_guard<std::mutex> lock(mutex_);
        return entries_;
    }
    bool has(const std::string& entry) {
        const auto all = snapshot();
        return std::find(all.begin(), all.end(), entry) != all.end();
    }

private:
    std::mutex mutex_;
    std::vector<std::string> entries_;
};

struct ScreenConfig {
    bool failEnter = false;
    bool allowClose = true;
    std::set<int> claims;  // commands its onCommand takes
};

class RecordingWindow;

class RecordingScreen : public PlayerWindowState, public CustomUICommandHandler {
public:
    RecordingScreen(RecordingWindow* window, int commandId, ScreenConfig config);
    ~RecordingScreen() override;

    bool enter() override;
    void leave() override;
    bool update(std::recursive_mutex& guiLock) override;
    bool isFinished() override { return finished.load(); }
    bool onCommand(int id) override;
    bool onCursorPos(GLFWwindow*, double, double) override;
    bool onKey(GLFWwindow*, int key, int, int action, int) override;
    bool onClose(GLFWwindow*) override;
    int allocateCommandId() override;
    void setValue(int) override {}

    std::atomic<bool> finished{false};
    std::atomic<int> cursorMoves{0};
    // Called from the screen's cursor handler (tests hang work on the input path here).
    std::function<void()> onCursor;

private:
    RecordingWindow* recorder_;
    ScreenConfig config_;
    std::string name_;
};

class RecordingWindow : public PlayerMainWindow {
public:
    explicit RecordingWindow(bool recordScreens = true) : recordScreens_(recordScreens) {}

    void onAfterDraw() override {
        afterDraws.fetch_add(1);
        inAfterDraw = true;
        PlayerMainWindow::onAfterDraw();
        inAfterDraw = false;
    }

    // The live screen made by commandId (GUI lock held by the caller), or null.
    RecordingScreen* screen(int commandId) {
        for (RecordingScreen* s : live)
            if (s->commandId() == commandId) return s;
        return nullptr;
    }

    Trace trace;
    std::map<int, ScreenConfig> configs;
    std::set<RecordingScreen*> live;  // under the GUI lock
    std::atomic<int> afterDraws{0};
    std::atomic<bool> inAfterDraw{false};
    // afterDraws when each screen was made and entered, by command id.
    std::map<int, int> madeAt, enteredAt;
    // Whether the last screen entered came in after a drawn frame (inside onAfterDraw), and
    // on which thread.
    bool enteredAfterDraw = false;
    std::thread::id enterThread;

protected:
    PlayerWindowState* createScreen(int commandId) override {
        if (!recordScreens_) return PlayerMainWindow::createScreen(commandId);
        trace.add("make:" + std::to_string(commandId));
        madeAt[commandId] = afterDraws.load();
        return new RecordingScreen(this, commandId, configs[commandId]);
    }
    void offerToPopupManager(int commandId) override {
        trace.add("P:" + std::to_string(commandId));
        PlayerMainWindow::offerToPopupManager(commandId);
    }

private:
    bool recordScreens_;
};

inline RecordingScreen::RecordingScreen(RecordingWindow* window, int commandId, ScreenConfig config)
    : PlayerWindowState(window, commandId),
      recorder_(window),
      config_(std::move(config)),
      name_(std::to_string(commandId)) {
    recorder_->live.insert(this);
}

inline RecordingScreen::~RecordingScreen() { recorder_->live.erase(this); }

inline bool RecordingScreen::enter() {
    recorder_->trace.add("enter:" + name_);
    recorder_->enteredAt[commandId()] = recorder_->afterDraws.load();
    recorder_->enterThread = std::this_thread::get_id();
    recorder_->enteredAfterDraw = recorder_->inAfterDraw.load();
    return !config_.failEnter;
}

inline void RecordingScreen::leave() { recorder_->trace.add("leave:" + name_); }

inline bool RecordingScreen::update(std::recursive_mutex&) { return true; }

inline bool RecordingScreen::onCommand(int id) {
    recorder_->trace.add("S" + name_ + ":" + std::to_string(id));
    if (runRegisteredTask(id)) return true;
    return config_.claims.count(id) != 0;
}

inline bool RecordingScreen::onCursorPos(GLFWwindow*, double, double) {
    cursorMoves.fetch_add(1);
    if (onCursor) onCursor();
    return true;
}

inline bool RecordingScreen::onKey(GLFWwindow*, int key, int, int action, int) {
    if (action == 1) recorder_->trace.add("key:" + std::to_string(key));
    return true;
}

inline bool RecordingScreen::onClose(GLFWwindow*) {
    recorder_->trace.add("close:" + name_);
    return config_.allowClose;
}

inline int RecordingScreen::allocateCommandId() { return recorder_->allocateCommandId(); }

}  // namespace playertest
