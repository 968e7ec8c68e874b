#pragma once
// A modal form that asks for one value out of a drop-down list: a caption, the chooser, and
// yes and no buttons. Built once by its owner and shown and hidden many times; showing it
// centres it again. The form closes on no, and on yes once a value was picked; yes also
// sends its own command (setYesCommand) on the click itself, picked or not.
//
// A subclass sets caption and value, calls build(), sets the yes command, and then makes
// one item button per choice whose click task reports the choice's index to this form
// (UniqueDialogBaseUITask over the IIndexSelectable base), adds it to the chooser
// (PopupTable::addItem) and keeps it in items. It says what a pick means (onValueChosen) and
// what each index reads as (valueText), which must accept every index it put in the list.

#include "gui/Color.h"
#include "player-ui/IIndexSelectable.h"
#include "player-ui/PopupDialogFormBase.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class Button;
class PopupTable;
class Static;

class UniqueDialogBase : public PopupDialogFormBase, public IIndexSelectable {
public:
    static constexpr int kCellPadding = 10;
    static constexpr int kPanelMargin = 10;

    UniqueDialogBase(PlayerGUI* gui, std::int32_t captionLayout);
    ~UniqueDialogBase() override;

    void draw(AbstractGraphicsContext* context) override;
    // Closes the form after a click on no, or on yes once a value was picked.
    bool tick(double seconds) override;
    // A drag closes the drop-down.
    void onMoved() override;
    virtual void onValueChosen(std::int32_t index) = 0;
    virtual void valueText(std::string& out, std::int32_t index) = 0;

    // An item of the list was picked: the list closes and the chooser shows the item.
    void onIndexSelected(std::int32_t index) override;

    // Makes the caption, the chooser, the buttons and the content table; all start hidden.
    void build();
    void setYesCommand(int commandId);
    void setVisible(bool visible);
    // The committed choice, shown whenever the form opens.
    void setValueText(const std::string& text);

    std::int32_t captionLayout;
    std::string caption;
    std::string value;
    std::shared_ptr<Static> captionLabel;
    std::shared_ptr<PopupTable> chooser;
    std::shared_ptr<Button> noButton;
    std::shared_ptr<Button> yesButton;
    std::shared_ptr<Table> buttonRow;
    std::vector<std::shared_ptr<Button>> items;
    bool valueChosen = false;

private:
    void showParts(bool visible);
    Color panelColour_;
    Color marginColour_;
    std::string chosenText_;  // reused by onIndexSelected
};
