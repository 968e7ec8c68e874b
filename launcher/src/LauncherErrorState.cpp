#include "launcher/LauncherErrorState.h"

#include "core/LanguageStore.h"
#include "gui/Button.h"
#include "gui/PlayerGUI.h"
#include "gui/Static.h"
#include "launcher/LauncherApp.h"
#include "launcher/LauncherLogonState.h"

namespace {
constexpr int kOkTop = 320;
}

LauncherErrorState::LauncherErrorState(LauncherApp* window, PlayerGUI* gui, const std::string& errorText)
    : Widget(gui), LauncherState(window, gui), errorText_(errorText) {
    const LanguageStore& text = LanguageStore::instance();
    const Color white = gui->getColor("white");
    width = screenWidth;
    height = screenHeight;
    ignoreMouse = 1;

    ok_ = std::make_shared<Button>(gui, text.text("text_ok"), LauncherCommand::ErrorOk);
    ok_->width = 270;
    ok_->height = 50;
    ok_->setColor(gui->getColor("transparent"));
    ok_->setHoverColor(gui->getColor("white"));
    ok_->setHoverTextColor(gui->getColor("so-blue-hover"));
    version_ = makeVersionLabel(gui);
    title_ = std::make_shared<Static>(gui, text.text("text_error"), 0, gui->getFont("signin-big-bold"), white);
    message_ = std::make_shared<Static>(gui, errorText_, 0, gui->getFont("default"), white);

    gui->setVisible(this, false);
    gui->setVisible(ok_.get(), false);
    gui->setVisible(version_.get(), false);
}

void LauncherErrorState::enter() {
    window->setLoggedIn(false);
    screenGui_->setVisible(this, true);
    screenGui_->setVisible(ok_.get(), true);
    screenGui_->setVisible(version_.get(), true);
}

void LauncherErrorState::leave() {
    screenGui_->setVisible(this, false);
    screenGui_->setVisible(ok_.get(), false);
    screenGui_->setVisible(version_.get(), false);
}

void LauncherErrorState::onCommand(int id) {
    if (id != LauncherCommand::ErrorOk) return;
    PlayerGUILock lock(screenGui_);
    window->setState(new LauncherLogonState(window, screenGui_));
}

void LauncherErrorState::draw(AbstractGraphicsContext*) {
    ok_->x = (screenWidth - ok_->width) / 2;
    ok_->y = kOkTop;
    title_->x = (screenWidth - title_->width) / 2;
    title_->y = screenHeight / 2 - title_->height - 50;
    message_->x = (screenWidth - message_->width) / 2;
    message_->y = screenHeight / 2;
    placeVersionLabel(*version_, screenWidth, screenHeight);
}
