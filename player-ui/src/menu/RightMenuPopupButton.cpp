#include "player-ui/menu/RightMenuPopupButton.h"

#include "core/ConfigStore.h"

RightMenuPopupButton::RightMenuPopupButton(bool* choiceFlag, PlayerGUI* gui, const std::string& text, int command,
                                           AbstractSurface* surface, const Rect& picture, Color defaultColour,
                                           Color hoverColour, std::int32_t labelWidth, GraphicsFont* font)
    : MenuButton(gui, text, command, surface, picture, defaultColour, hoverColour, labelWidth, font),
      choiceFlag(choiceFlag) {}

void RightMenuPopupButton::beforeCommand() {
    ConfigStore::instance().setString("Decoder.Last", text(), true);
    if (choiceFlag)
        *choiceFlag = true;
}
