#pragma once
// Placeholder of the decoder benchmark screen under the name and with the constructor the
// window uses, until the real screen lands in player/. It shows nothing and reports at once
// that no benchmark is needed, so the window goes on to the machine selection as it will
// with the real screen. Delete this file (and point PlayerMainWindow.cpp at the real
// header) when the real screen lands.

#include "player-ui/PlayerCommandIds.h"
#include "player/PlayerMainWindow.h"
#include "player/PlayerWindowState.h"

class BenchmarkGroupState : public PlayerWindowState {
public:
    explicit BenchmarkGroupState(PlayerMainWindow* window) : PlayerWindowState(window, kCommandBenchmarkScreen) {}
    bool enter() override {
        window()->checkPowerPlan();
        window()->postCommand(kCommandBenchmarkNotNeeded);
        return true;
    }
    void leave() override {}
    bool update(std::recursive_mutex&) override { return true; }
    bool isFinished() override { return false; }
};
