#include "player-ui/menu/SynchronizedMenuButton.h"

#include "gui/ImageButton.h"
#include "gui/PlayerGUI.h"
#include "player-ui/PlayerCommandIds.h"

SynchronizedMenuButton::SynchronizedMenuButton(std::shared_ptr<Variable> variable, PlayerGUI* gui,
                                               const std::string& offText, const std::string& onText,
                                               int offCommand, AbstractSurface* surface, const Rect& offPicture,
                                               const Rect& onPicture, std::int32_t labelWidth, GraphicsFont* font)
    : MenuButton(gui, offText, kCommandNone, surface, offPicture, gui->getColor("player-button-main-default"),
                 gui->getColor("player-button-main-hover"), labelWidth, font),
      offText(offText),
      onText(onText),
      offPicture(offPicture),
      onPicture(onPicture),
      offCommand(offCommand),
      variable(std::move(variable)) {
    activeDefaultColour = gui->getColor("player-button-exit-default");
    activeHoverColour = gui->getColor("player-button-exit-hover");
    setState(false);
    active = false;
}

SynchronizedMenuButton::~SynchronizedMenuButton() = default;

void SynchronizedMenuButton::setState(bool state) {
    const Rect& p = state ? onPicture : offPicture;
    icon->setImages(p.x, p.y, p.width, p.height, 0, 0, -1, -1, 0, 0, -1, -1, 0, 0, -1, -1);
    setText(state ? onText : offText);
    active = state;
    relayoutPending = true;  // the picture's size places the label
    needsRedraw = 1;
}

void SynchronizedMenuButton::beforeCommand() {
    on = !on;
    setState(on);
    if (variable)
        variable->set(on);
    if (!on)
        gui_->sendCommand(offCommand);
}

bool SynchronizedMenuButton::tick(double) {
    if (!variable || !variable->changed.exchange(false))
        return false;
    on = variable->get();
    setState(on);
    return true;
}
