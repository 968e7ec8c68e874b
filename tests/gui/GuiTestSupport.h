#pragma once
// A widget that records what the GUI calls on it, and a command handler that records commands.

#include "gui/PlayerGUI.h"

#include <string>
#include <vector>

namespace guitest {

class RecordingWidget : public Widget {
public:
    RecordingWidget(PlayerGUI* gui, std::vector<std::string>* log, const std::string& name, int x = 0, int y = 0,
                    int w = 0, int h = 0)
        : Widget(gui), log_(log), name_(name) {
        this->x = x;
        this->y = y;
        width = w;
        height = h;
    }
    ~RecordingWidget() override {
        if (destroyed)
            ++*destroyed;
    }

    void onFocus() override { record("focus"); }
    void onBlur() override { record("blur"); }
    bool onMouseMove(int mx, int my) override {
        record("move " + std::to_string(mx) + "," + std::to_string(my));
        return true;
    }
    bool onMouseDown(int button, int, int) override {
        record("down " + std::to_string(button));
        return true;
    }
    bool onMouseUp(int button, int, int) override {
        record("up " + std::to_string(button));
        return true;
    }
    void onMouseEnter() override { record("enter"); }
    void onMouseLeave() override { record("leave"); }
    bool onKeyDown(int key, int, int mods) override {
        record("keydown " + std::to_string(key) + " " + std::to_string(mods));
        return true;
    }
    bool onKeyUp(int key, int, int mods) override {
        record("keyup " + std::to_string(key) + " " + std::to_string(mods));
        return true;
    }
    bool onChar(unsigned cp) override {
        record("char " + std::to_string(cp));
        return true;
    }
    void draw(AbstractGraphicsContext*) override { record("draw"); }
    bool tick(double) override {
        if (hideOnTick)
            gui()->setVisible(this, false);
        return tickResult;
    }

    bool hideOnTick = false;
    bool tickResult = false;
    int* destroyed = nullptr;

private:
    void record(const std::string& event) {
        if (log_)
            log_->push_back(name_ + " " + event);
    }
    std::vector<std::string>* log_;
    std::string name_;
};

class RecordingHandler : public PlayerGUICommandHandler {
public:
    void onCommand(int id) override { commands.push_back(id); }
    void onCaptureStarted() override { events.push_back("capture started"); }
    void onCaptureReleased() override { events.push_back("capture released"); }
    std::vector<int> commands;
    std::vector<std::string> events;
};

class RecordingPopupManager : public IGUIPopupManager {
public:
    void onModalStateChanged(bool anyModal) override { modal.push_back(anyModal); }
    void registerTutorialTarget(int page, int kind, Widget* anchor) override {
        targets.push_back({page, kind, anchor});
    }
    struct Target {
        int page;
        int kind;
        Widget* anchor;
    };
    std::vector<bool> modal;
    std::vector<Target> targets;
};

}  // namespace guitest
