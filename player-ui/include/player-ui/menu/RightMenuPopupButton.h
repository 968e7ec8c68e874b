#pragma once
// An entry of the decoder list: a click stores the entry's text as the decoder to use
// ("Decoder.Last" in config.ini, saved at once) and raises the owning list's choice flag,
// which the in-stream screen reads and clears. The flag is touched only under the window's
// GUI lock (the click on the main thread, the screen's frame on the render thread).

#include "player-ui/menu/MenuButton.h"

class RightMenuPopupButton : public MenuButton {
public:
    RightMenuPopupButton(bool* choiceFlag, PlayerGUI* gui, const std::string& text, int command,
                         AbstractSurface* surface, const Rect& picture, Color defaultColour, Color hoverColour,
                         std::int32_t labelWidth, GraphicsFont* font = nullptr);

    void beforeCommand() override;

    bool* choiceFlag;
};
