#include "player-ui/menu/RightMenuSynchronizedSwitchButton.h"

RightMenuSynchronizedSwitchButton::RightMenuSynchronizedSwitchButton(
    std::shared_ptr<Variable> variable, PlayerGUI* gui, const std::string& labelText,
    const std::string& firstOptionText, const std::string& secondOptionText, int firstCommand, int secondCommand,
    AbstractSurface* surface, const Rect& iconPicture, std::int32_t labelWidth, std::int32_t spacing)
    : RightMenuSwitchButton(gui, labelText, firstOptionText, secondOptionText, firstCommand, secondCommand, surface,
                            iconPicture, labelWidth, spacing),
      variable(std::move(variable)) {}

RightMenuSynchronizedSwitchButton::~RightMenuSynchronizedSwitchButton() = default;

bool RightMenuSynchronizedSwitchButton::tick(double seconds) {
    RightMenuSwitchButton::tick(seconds);
    if (!variable)
        return true;
    if (userChanged) {
        variable->set(on);
        userChanged = false;
    } else if (variable->changed.exchange(false)) {
        setValue(variable->get() ? firstOption() : secondOption(), false);
    }
    return true;
}
