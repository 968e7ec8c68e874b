#pragma once
// The drop-down chooser of the choice dialogs: a framed value button with an arrow at its
// right; the list of all items opens below it. With drawnArrow the arrow is a triangle drawn
// in a filled square instead of the arrow picture.
//
// Make it, set its z order and colours, then build() it; add the item buttons afterwards.

#include "player-ui/DropDownChooser.h"

class OldList;

class PopupTable : public DropDownChooser<OldList> {
public:
    PopupTable(PlayerGUI* gui, const std::string& text, bool drawnArrow);
    ~PopupTable() override;

    bool arrange(AbstractGraphicsContext* context) override;
    void draw(AbstractGraphicsContext* context) override;

    // Makes the value button, the list and the arrow, and sizes the chooser around them.
    void build();

    std::int32_t innerGap = 1;  // between the frame and the value button

private:
    Color arrowColour_;
};
