#include "stream/ThinStreamMenu.h"

#include <algorithm>

#include "gui/PlayerGUI.h"
#include "player-ui/IPlayerWindow.h"
#include "stream/StreamMenuFactory.h"
#include "stream/gamepad/JoystickManager.h"

ThinStreamMenu::ThinStreamMenu(PlayerGUI* gui) : Widget(gui) {
    modal = 1;
    ignoreMouse = 1;
}

void ThinStreamMenu::showGamepadForm(bool show, JoystickManager* manager) {
    gamepadFormVisible_ = show;
    gui_->setVisible(this, !show);
    if (manager && !show) manager->setMonitorDevice(nullptr);
}

void ThinStreamMenu::hide(bool showToggle) {
    if (cursorLocked_) return;
    gui_->setVisible(this, false);
    toggleVisible_ = showToggle;
}

void ThinStreamMenu::toggleSettingsPage() {
    settingsOpen_ = !settingsOpen_;
    systemOpen_ = false;
}

void ThinStreamMenu::toggleSystemPage() {
    systemOpen_ = !systemOpen_;
    settingsOpen_ = false;
}

void ThinStreamMenu::setCurrentDecoder(const std::string& name) {
    if (std::find(decoders_.begin(), decoders_.end(), name) != decoders_.end()) currentDecoder_ = name;
}

std::shared_ptr<IStreamMenu> createStreamMenu(IPlayerWindow& window, const StreamMenuVariables&,
                                              CustomUICommandHandler&) {
    return std::make_shared<ThinStreamMenu>(window.playerGUI());
}
