#pragma once
// Placeholder of the machine-selection screen under the name and with the constructor the
// window uses, until the real screen lands in player/selectos/. It shows nothing. Delete
// this file (and point PlayerMainWindow.cpp at the real header) when the real screen lands.

#include "player/PlayerWindowState.h"

class SelectOsState : public PlayerWindowState {
public:
    SelectOsState(PlayerMainWindow* window, int commandId) : PlayerWindowState(window, commandId) {}
    bool enter() override { return true; }
    void leave() override {}
    bool update(std::recursive_mutex&) override { return true; }
    bool isFinished() override { return false; }
};
