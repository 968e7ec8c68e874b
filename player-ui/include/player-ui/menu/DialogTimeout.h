#pragma once
// The idle-timeout chooser of the menu's settings page: how long an idle machine keeps
// running ("None" or 5 to 60 minutes). Each option is a window command registered with the
// in-stream screen, so a pick travels as a command; the screen keeps the picked minutes
// (CustomUICommandHandler::setValue) and sends them to the service when yes (its own
// command) is clicked.

#include "player-ui/UniqueDialogBase.h"
#include "player-ui/menu/IDialogTimeout.h"

#include <cstdint>
#include <map>
#include <string>

class CustomUICommandHandler;

class DialogTimeout : public UniqueDialogBase, public IDialogTimeout {
public:
    // content becomes the caption label and caption the chooser's first text (the account's
    // time-out replaces it at the menu's first refresh).
    DialogTimeout(PlayerGUI* gui, CustomUICommandHandler* handler, const std::string& content,
                  const std::string& caption, int yesCommand);
    ~DialogTimeout() override;

    // Shows the option's text, or the number when it is not an option.
    void setValue(std::int32_t minutes);
    void onValueChosen(std::int32_t minutes) override;
    // The option's text; empty when it is not an option.
    void valueText(std::string& out, std::int32_t minutes) override;

    void setVisible(bool visible) override { UniqueDialogBase::setVisible(visible); }
    bool isVisible() const override { return Widget::isVisible(); }
    bool hasChosenValue() const override { return valueChosen; }

    std::map<std::int32_t, std::string> options;
    CustomUICommandHandler* commandHandler;
    // The command id registered for each option, in the order of the options.
    std::map<std::int32_t, int> optionCommands;
};
