#include "launcher/LauncherWaitActivateState.h"

#include "core/LanguageStore.h"
#include "gui/Button.h"
#include "gui/Image.h"
#include "gui/PlayerGUI.h"
#include "gui/Static.h"
#include "launcher/LauncherApp.h"
#include "launcher/LauncherReadyState.h"
#include "webapi/OpenURLTask.h"

namespace {
constexpr int kButtonsTop = 300;
}

LauncherWaitActivateState::LauncherWaitActivateState(LauncherApp* window, PlayerGUI* gui, const UserInfo& user)
    : Widget(gui), LauncherState(window, gui), user_(user) {
    const LanguageStore& text = LanguageStore::instance();
    const Color white = gui->getColor("white");
    width = screenWidth;
    height = screenHeight;
    ignoreMouse = 1;
    auto label = [&](const char* key) {
        auto s = std::make_shared<Static>(gui, text.text(key), 2, gui->getFont("launcher-big"), white);
        s->width = screenWidth;
        s->invalidate();
        return s;
    };
    title_ = label("text_wait_title");
    hint_ = label("text_wait_hint");
    hint2_ = label("text_wait_hint2");
    hint3_ = label("text_wait_hint3");
    version_ = makeVersionLabel(gui);
    auto button = [&](const char* key, int command) {
        auto b = std::make_shared<Button>(gui, text.text(key), command, gui->getFont("selectos-caption"));
        b->width = 270;
        b->height = 50;
        b->setColor(gui->getColor("transparent"));
        b->setHoverColor(gui->getColor("white"));
        b->setHoverTextColor(gui->getColor("so-blue-hover"));
        return b;
    };
    logout_ = button("text_logout", LauncherCommand::LogOut);
    continue_ = button("text_continue", LauncherCommand::OpenActivationPage);
    busy_ = std::make_shared<Image>(gui, gui->getSurface("Loading"));
    busy_->setRotating(2.0f, 0.1f);
    busy_->setScale(0.4f);

    gui->setVisible(this, false);
    for (Widget* w : {static_cast<Widget*>(title_.get()), static_cast<Widget*>(hint_.get()),
                      static_cast<Widget*>(hint2_.get()), static_cast<Widget*>(hint3_.get()),
                      static_cast<Widget*>(version_.get()), static_cast<Widget*>(logout_.get()),
                      static_cast<Widget*>(continue_.get()), static_cast<Widget*>(busy_.get())})
        gui->setVisible(w, false);
}

LauncherWaitActivateState::~LauncherWaitActivateState() { window->api().removeLoginListener(this); }

void LauncherWaitActivateState::enter() {
    window->api().addLoginListener(this);
    window->api().startUserActiveWatcher();
    window->setLoggedIn(true);
    screenGui_->setVisible(this, true);
    for (Widget* w : {static_cast<Widget*>(hint_.get()), static_cast<Widget*>(hint2_.get()),
                      static_cast<Widget*>(hint3_.get()), static_cast<Widget*>(busy_.get()),
                      static_cast<Widget*>(version_.get()), static_cast<Widget*>(logout_.get()),
                      static_cast<Widget*>(continue_.get())})
        screenGui_->setVisible(w, true);
    screenGui_->setVisible(title_.get(), false);
    screenGui_->setVisible(busy_.get(), false);
}

void LauncherWaitActivateState::leave() {
    window->api().removeLoginListener(this);
    screenGui_->setVisible(this, false);
    for (Widget* w : {static_cast<Widget*>(hint_.get()), static_cast<Widget*>(hint2_.get()),
                      static_cast<Widget*>(hint3_.get()), static_cast<Widget*>(busy_.get()),
                      static_cast<Widget*>(version_.get()), static_cast<Widget*>(logout_.get()),
                      static_cast<Widget*>(continue_.get())})
        screenGui_->setVisible(w, false);
}

void LauncherWaitActivateState::onCommand(int id) {
    if (id != LauncherCommand::OpenActivationPage) return;
    window->api().openUrl(activationPageUrl(user_.accessToken), OpenURLTask::Browser);
    screenGui_->setVisible(busy_.get(), true);
}

void LauncherWaitActivateState::onEvent(LoginStateEvents event) {
    if (event != UserChanged) return;
    const UserInfo user = window->api().getUser();
    if (!user.active) return;
    PlayerGUILock lock(screenGui_);
    window->setState(new LauncherReadyState(window, screenGui_, user.accessToken));
}

void LauncherWaitActivateState::draw(AbstractGraphicsContext*) {
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
    busy_->x = a - busy_->width / 2;
    busy_->y = screenHeight / 2 + hintHeight - busy_->height / 2;
    logout_->x = a;
    logout_->y = kButtonsTop;
    continue_->x = a - (logout_->width / 9) * 10;
    continue_->y = kButtonsTop;
    placeVersionLabel(*version_, screenWidth, screenHeight);
}
