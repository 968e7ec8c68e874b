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
const char* const kTextKeys[4] = {"text_wait_title", "text_wait_hint", "text_wait_hint2", "text_wait_hint3"};
}  // namespace

LauncherWaitActivateState::LauncherWaitActivateState(LauncherApp* window, PlayerGUI* gui, const UserInfo& user)
    : Widget(gui), LauncherState(window, gui), user_(user), texts_(gui, kTextKeys, "launcher-big", screenWidth) {
    const LanguageStore& text = LanguageStore::instance();
    width = screenWidth;
    height = screenHeight;
    ignoreMouse = 1;
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
    setVisible(gui, {this, texts_.title.get(), texts_.hint.get(), texts_.hint2.get(), texts_.hint3.get(),
                     version_.get(), logout_.get(), continue_.get(), texts_.busy.get()},
               false);
}

LauncherWaitActivateState::~LauncherWaitActivateState() { window->api().removeLoginListener(this); }

void LauncherWaitActivateState::enter() {
    window->api().addLoginListener(this);
    window->api().startUserActiveWatcher();
    window->setLoggedIn(true);
    setVisible(screenGui_, {this, texts_.hint.get(), texts_.hint2.get(), texts_.hint3.get(), version_.get(),
                            logout_.get(), continue_.get()},
               true);
    // The title never shows; the busy image only once the user asked for the page again.
    setVisible(screenGui_, {texts_.title.get(), texts_.busy.get()}, false);
}

void LauncherWaitActivateState::leave() {
    window->api().removeLoginListener(this);
    setVisible(screenGui_, {this, texts_.hint.get(), texts_.hint2.get(), texts_.hint3.get(), texts_.busy.get(),
                            version_.get(), logout_.get(), continue_.get()},
               false);
}

void LauncherWaitActivateState::onCommand(int id) {
    if (id != LauncherCommand::OpenActivationPage) return;
    window->api().openUrl(activationPageUrl(user_.accessToken), OpenURLTask::Browser);
    screenGui_->setVisible(texts_.busy.get(), true);
}

void LauncherWaitActivateState::onEvent(LoginStateEvents event) {
    if (event != UserChanged) return;
    const UserInfo user = window->api().getUser();
    if (!user.active) return;
    PlayerGUILock lock(screenGui_);
    window->setState(new LauncherReadyState(window, screenGui_, user.accessToken));
}

void LauncherWaitActivateState::draw(AbstractGraphicsContext*) {
    texts_.place(screenWidth, screenHeight);
    const int middle = screenWidth / 2;
    logout_->x = middle;
    logout_->y = kButtonsTop;
    continue_->x = middle - (logout_->width / 9) * 10;
    continue_->y = kButtonsTop;
    placeVersionLabel(*version_, screenWidth, screenHeight);
}
