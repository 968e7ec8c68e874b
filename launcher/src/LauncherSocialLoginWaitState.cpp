#include "launcher/LauncherSocialLoginWaitState.h"

#include "core/LanguageStore.h"
#include "gui/Button.h"
#include "gui/Image.h"
#include "gui/PlayerGUI.h"
#include "gui/Static.h"
#include "launcher/LauncherApp.h"
#include "launcher/LauncherReadyState.h"
#include "launcher/LauncherWaitActivateState.h"
#include "webapi/OpenURLTask.h"

namespace {
const char* const kTextKeys[4] = {"text_social_wait_title", "text_social_wait_hint", "text_social_wait_hint2",
                                  "text_social_wait_hint3"};
}

LauncherSocialLoginWaitState::LauncherSocialLoginWaitState(LauncherApp* window, PlayerGUI* gui)
    : Widget(gui), LauncherState(window, gui), texts_(gui, kTextKeys, "default", screenWidth) {
    width = screenWidth;
    height = screenHeight;
    ignoreMouse = 1;
    version_ = makeVersionLabel(gui);
    logout_ = std::make_shared<Button>(gui, LanguageStore::instance().text("text_logout"), LauncherCommand::LogOut);
    // The busy image shows from the start; the title never does.
    setVisible(gui, {this, texts_.title.get(), texts_.hint.get(), texts_.hint2.get(), texts_.hint3.get(),
                     version_.get(), logout_.get()},
               false);
}

LauncherSocialLoginWaitState::~LauncherSocialLoginWaitState() { window->api().removeLoginListener(this); }

void LauncherSocialLoginWaitState::enter() {
    window->api().addLoginListener(this);
    window->api().startSocialTokenWatcher();
    window->setLoggedIn(true);
    setVisible(screenGui_,
               {this, texts_.hint.get(), texts_.hint2.get(), texts_.hint3.get(), version_.get(), logout_.get()}, true);
    screenGui_->setVisible(texts_.title.get(), false);
}

void LauncherSocialLoginWaitState::leave() {
    window->api().removeLoginListener(this);
    setVisible(screenGui_,
               {this, texts_.hint.get(), texts_.hint2.get(), texts_.hint3.get(), version_.get(), logout_.get()}, false);
}

void LauncherSocialLoginWaitState::onEvent(LoginStateEvents event) {
    if (event != UserChanged) return;
    const UserInfo user = window->api().getUser();
    PlayerGUILock lock(screenGui_);
    if (user.active) {
        window->setState(new LauncherReadyState(window, screenGui_, user.accessToken));
    } else {
        window->setState(new LauncherWaitActivateState(window, screenGui_, user));
        window->api().openUrl(activationPageUrl(user.accessToken), OpenURLTask::Browser);
    }
}

void LauncherSocialLoginWaitState::draw(AbstractGraphicsContext*) {
    texts_.place(screenWidth, screenHeight);
    logout_->x = screenWidth / 2 - logout_->width / 2;
    logout_->y = 300;
    placeVersionLabel(*version_, screenWidth, screenHeight);
}
