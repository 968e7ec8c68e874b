#pragma once
// The drop-down chooser of the data-centre panel: a flat white value button 55 high with
// the arrow inside its right end; a scrolled list of at most four items opens below it. It
// draws nothing itself. drawnArrow here means the owner places and shows the arrow.
//
// Make it, then buildContent(); add the item buttons afterwards.

#include "player-ui/DropDownChooser.h"

class List;

class SOSPopupTable : public DropDownChooser<List> {
public:
    static constexpr int kValueHeight = 55;
    static constexpr int kVisibleRows = 4;

    SOSPopupTable(PlayerGUI* gui, const std::string& text, bool drawnArrow);
    ~SOSPopupTable() override;

    bool arrange(AbstractGraphicsContext* context) override;

    void buildContent();
    // The mouse wheel's offset: the list scrolls by half of it at its next tick.
    void scrollList(int pixels);
    // The frame thickness, which is also the list's vertical padding.
    void setListValue(std::int32_t value);
    void setListBackgroundColor(Color colour);
    // The list's border colour; its hover marker keeps "so-blue-hover".
    void setFrameColour(Color colour);
};
