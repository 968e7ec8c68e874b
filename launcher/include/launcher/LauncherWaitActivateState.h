#pragma once
// The screen that waits for the account's activation: hints, log-out, and continue, which
// opens the activation page again. It checks the account periodically and moves on to the
// ready screen once it is active.

#include <memory>

#include "gui/Widget.h"
#include "launcher/LauncherState.h"
#include "webapi/UserInfo.h"

class Button;
class Image;
class Static;

class LauncherWaitActivateState : public Widget, public LauncherState, public IListenerBase<LoginStateEvents> {
public:
    LauncherWaitActivateState(LauncherApp* window, PlayerGUI* gui, const UserInfo& user);
    ~LauncherWaitActivateState() override;

    void enter() override;
    void leave() override;
    void onCommand(int id) override;
    using LauncherState::onEvent;
    void onEvent(LoginStateEvents event) override;
    void draw(AbstractGraphicsContext* context) override;
    const char* name() const override { return "activation wait"; }

    Button* logoutButton() const { return logout_.get(); }
    Button* continueButton() const { return continue_.get(); }
    Image* busyImage() const { return texts_.busy.get(); }

private:
    UserInfo user_;
    WaitingScreenTexts texts_;
    std::shared_ptr<Static> version_;
    std::shared_ptr<Button> logout_;
    std::shared_ptr<Button> continue_;
};
