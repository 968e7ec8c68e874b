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

LauncherSocialLoginWaitState::LauncherSocialLoginWaitState(LauncherApp* window, PlayerGUI* gui)
    : Widget(gui), LauncherState(window, gui) {
    const LanguageStore& text = LanguageStore::instance();
    const Color white = gui->getColor("white");
    width = screenWidth;
    height = screenHeight;
    ignoreMouse = 1;
    auto label = [&](const char* key) {
        auto s = std::make_shared<Static>(gui, text.text(key), 2, gui->getFont("default"), white);
        s->width = screenWidth;
        s->invalidate();
        return s;
    };
    title_ = label("text_social_wait_title");
    hint_ = label("text_social_wait_hint");
    hint2_ = label("text_social_wait_hint2");
    hint3_ = label("text_social_wait_hint3");
    version_ = makeVersionLabel(gui);
    logout_ = std::make_shared<Button>(gui, text.text("text_logout"), LauncherCommand::LogOut);
    busy_ = std::make_shared<Image>(gui, gui->getSurface("Loading"));
    busy_->setRotating(2.0f, 0.1f);
    busy_->setScale(0.4f);

    gui->setVisible(this, false);
    for (Widget* w : {static_cast<Widget*>(title_.get()), static_cast<Widget*>(hint_.get()),
                      static_cast<Widget*>(hint2_.get()), static_cast<Widget*>(hint3_.get()),
                      static_cast<Widget*>(version_.get()), static_cast<Widget*>(logout_.get())})
        gui->setVisible(w, false);
}

LauncherSocialLoginWaitState::~LauncherSocialLoginWaitState() { window->api().removeLoginListener(this); }

void LauncherSocialLoginWaitState::enter() {
    window->api().addLoginListener(this);
    window->api().startSocialTokenWatcher();
    window->setLoggedIn(true);
    screenGui_->setVisible(this, true);
    for (Widget* w : {static_cast<Widget*>(hint_.get()), static_cast<Widget*>(hint2_.get()),
                      static_cast<Widget*>(hint3_.get()), static_cast<Widget*>(version_.get()),
                      static_cast<Widget*>(logout_.get())})
        screenGui_->setVisible(w, true);
    screenGui_->setVisible(title_.get(), false);
}

void LauncherSocialLoginWaitState::leave() {
    window->api().removeLoginListener(this);
    screenGui_->setVisible(this, false);
    for (Widget* w : {static_cast<Widget*>(hint_.get()), static_cast<Widget*>(hint2_.get()),
                      static_cast<Widget*>(hint3_.get()), static_cast<Widget*>(version_.get()),
                      static_cast<Widget*>(logout_.get())})
        screenGui_->setVisible(w, false);
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
    const int a = screenWidth / 2;
    const int hintHeight = hint_->height;
    title_->x = a - title_->width / 2;
    title_->y = 50;
    hint_->x = a - hint_->width / 2;
    hint_->y = 100;
    hint2_->x = a - hint2_->width / 2;
    hint2_->y = 100 + hintHeight;
    hint3_->x = a - hint3_->width / 2;
    hint3_->y = 100 + 2 * hintHeight;
    logout_->x = a - logout_->width / 2;
    logout_->y = 300;
    busy_->x = a - busy_->width / 2;
    busy_->y = screenHeight / 2 + hintHeight - busy_->height / 2;
    placeVersionLabel(*version_, screenWidth, screenHeight);
}
