#pragma once
// A two-option switch of the menu's settings page: a header row (icon and label, no bar of
// its own) over a row with the first option's text, the switch picture and the second
// option's text, on one bar with a white border. A click on the switch picture sends the
// command of the option shown (firstCommand while the first option is selected,
// secondCommand otherwise), and the next frame shows the other option.
//
// Every click flips the switch exactly once, also when the press and the release fall into
// one frame, and a press that is released off the picture (which sends nothing) flips
// nothing: the flip is raised by the click that sends the command and applied by tick.

#include "gui/Color.h"
#include "gui/Table.h"

#include <cstdint>
#include <memory>
#include <string>

class AbstractSurface;
class ImageButton;
class MenuButton;
class Static;

class RightMenuSwitchButton : public Table {
public:
    static constexpr Rect kOnPicture{98, 35, 69, 32};
    static constexpr Rect kOffPicture{425, 1, 69, 32};

    RightMenuSwitchButton(PlayerGUI* gui, const std::string& labelText, const std::string& firstOptionText,
                          const std::string& secondOptionText, int firstCommand, int secondCommand,
                          AbstractSurface* surface, const Rect& iconPicture, std::int32_t labelWidth,
                          std::int32_t spacing);
    ~RightMenuSwitchButton() override;

    void draw(AbstractGraphicsContext* context) override;
    // Applies a pending flip; asks for a redraw when the picture's hover or press changed.
    bool tick(double seconds) override;
    void propagateZOrder() override;

    // Selects the first option when text is its text (byte for byte), else the second.
    void setValue(const std::string& text, bool byUser);
    const std::string& firstOption() const { return firstOption_; }
    const std::string& secondOption() const { return secondOption_; }
    // The command a click on the switch picture sends now.
    int currentCommand() const { return on ? firstCommand : secondCommand; }

    bool on = true;
    bool userChanged = false;
    std::shared_ptr<Static> firstText;
    std::shared_ptr<Static> secondText;
    int firstCommand;
    int secondCommand;
    bool flipPending = false;
    bool hovered = false;
    bool wasDown = false;
    Rect onPicture = kOnPicture;
    Rect offPicture = kOffPicture;
    std::shared_ptr<MenuButton> header;
    std::shared_ptr<Table> optionRow;
    std::shared_ptr<ImageButton> switchPicture;
    std::int32_t headerPadding = 12;
    Color defaultColour;
    Color hoverColour;

private:
    Color borderColour_;
    std::string firstOption_;
    std::string secondOption_;
};
