#pragma once
// A two-state menu item that mirrors a bool session variable (the record item): off shows
// the off text and picture in the normal colours, on the on text and picture in the exit
// colours. A click flips the state and writes the variable; turning it off also sends the
// off command. A change of the variable at the streamer only changes what the item shows.
//
// The item shares ownership of its variable subscription, so the subscription ends no
// earlier than the item. The variable's changed flag, raised on the session's thread, is
// read and cleared once per frame by tick; the item is its only reader.

#include "player-ui/menu/MenuButton.h"
#include "stream/session/VariableBase.h"

#include <memory>
#include <string>

class SynchronizedMenuButton : public MenuButton {
public:
    using Variable = VariableUserBase<BoolVariable>;

    SynchronizedMenuButton(std::shared_ptr<Variable> variable, PlayerGUI* gui, const std::string& offText,
                           const std::string& onText, int offCommand, AbstractSurface* surface,
                           const Rect& offPicture, const Rect& onPicture, std::int32_t labelWidth,
                           GraphicsFont* font = nullptr);
    ~SynchronizedMenuButton() override;

    // Follows the variable when it changed.
    bool tick(double seconds) override;
    void beforeCommand() override;

    void setState(bool on);

    std::string offText;
    std::string onText;
    Rect offPicture;
    Rect onPicture;
    int offCommand;
    std::shared_ptr<Variable> variable;
    bool on = false;
};
