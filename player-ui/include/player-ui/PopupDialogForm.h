#pragma once
// The message dialog of the player window: a caption in the header band, a word-wrapped
// text (at most 700 wide), an optional third text, and a row of buttons, built from a
// DialogDescription. It opens centred in the window and can be dragged.
//
// With a text provider the text is asked for every frame and the buttons stay hidden until
// the provider reports the final text.
//
// The popup dialog manager makes and releases it while holding PlayerGUILock; a button's
// task may close the dialog, and so end this form, during its own click.

#include "player-ui/DialogDescription.h"
#include "player-ui/PopupDialogFormBase.h"

#include <memory>
#include <vector>

class Button;
class Static;

class PopupDialogForm : public PopupDialogFormBase {
public:
    static constexpr int kZOrder = 1000;
    static constexpr int kTextMaxWidth = 700;
    static constexpr int kTextMaxHeight = 1000;
    static constexpr int kCellPadding = 10;
    // Gap between the buttons' frames, and between a button's text and its edges.
    static constexpr int kButtonSpacing = 8;
    static constexpr int kButtonTextMargin = 10;

    PopupDialogForm(PlayerGUI* gui, const DialogDescription& description);
    ~PopupDialogForm() override;

    // Follows the text provider, when there is one.
    bool tick(double seconds) override;

    std::shared_ptr<Static> captionLabel;
    std::shared_ptr<Static> textLabel;
    std::shared_ptr<Static> extraLabel;
    std::shared_ptr<Table> buttonTable;
    std::vector<std::shared_ptr<Button>> buttonList;
    std::shared_ptr<DialogTextProvider> textProvider;

private:
    std::string providedText_;  // reused every frame
    bool providedTextShown_ = false;
};
