#include "launcher/LauncherReadyState.h"

#include "core/LanguageStore.h"
#include "gui/PlayerGUI.h"
#include "gui/Static.h"
#include "launcher/LauncherApp.h"

LauncherReadyState::LauncherReadyState(LauncherApp* window, PlayerGUI* gui, const std::string& accessToken)
    : Widget(gui), LauncherState(window, gui), accessToken_(accessToken) {
    width = screenWidth;
    height = screenHeight;
    ignoreMouse = 1;
    label_ = std::make_shared<Static>(gui, LanguageStore::instance().text("text_ready"), 1, gui->getFont("header"),
                                      gui->getColor("white"));
    // Placed once.
    label_->x = 50;
    label_->y = 50;
    label_->width = 605;
    label_->invalidate();
    version_ = makeVersionLabel(gui);
    gui->setVisible(this, false);
    gui->setVisible(label_.get(), false);
    gui->setVisible(version_.get(), false);
}

void LauncherReadyState::enter() {
    window->startPlayer(accessToken_);
    screenGui_->setVisible(this, true);
    screenGui_->setVisible(label_.get(), true);
    screenGui_->setVisible(version_.get(), true);
}

void LauncherReadyState::leave() {
    screenGui_->setVisible(this, false);
    screenGui_->setVisible(label_.get(), false);
    screenGui_->setVisible(version_.get(), false);
}

void LauncherReadyState::draw(AbstractGraphicsContext*) { placeVersionLabel(*version_, screenWidth, screenHeight); }
