#pragma once
// The ready screen: shown while the player runs; entering it starts the player.

#include <memory>
#include <string>

#include "gui/Widget.h"
#include "launcher/LauncherState.h"

class Static;

class LauncherReadyState : public Widget, public LauncherState {
public:
    LauncherReadyState(LauncherApp* window, PlayerGUI* gui, const std::string& accessToken);

    void enter() override;
    void leave() override;
    void draw(AbstractGraphicsContext* context) override;
    const char* name() const override { return "ready"; }

private:
    std::string accessToken_;
    std::shared_ptr<Static> label_;
    std::shared_ptr<Static> version_;
};
