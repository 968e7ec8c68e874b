#pragma once
// The screen that waits while the user signs in in the browser: hints, a busy image and
// log-out. It watches the social sign-in token and moves on once the service hands out
// the user's access token.

#include <memory>

#include "gui/Widget.h"
#include "launcher/LauncherState.h"

class Button;
class Image;
class Static;

class LauncherSocialLoginWaitState : public Widget, public LauncherState, public IListenerBase<LoginStateEvents> {
public:
    LauncherSocialLoginWaitState(LauncherApp* window, PlayerGUI* gui);
    ~LauncherSocialLoginWaitState() override;

    void enter() override;
    void leave() override;
    using LauncherState::onEvent;
    void onEvent(LoginStateEvents event) override;
    void draw(AbstractGraphicsContext* context) override;
    const char* name() const override { return "social wait"; }

private:
    WaitingScreenTexts texts_;
    std::shared_ptr<Static> version_;
    std::shared_ptr<Button> logout_;
};
