#pragma once
// A switch that mirrors a bool session variable (the controller pass-through): a flip by
// the user writes the variable (true while the first option is selected); a change of the
// variable at the streamer moves the switch without writing it back. The switch shares
// ownership of its variable subscription and is the only reader of its changed flag.

#include "player-ui/menu/RightMenuSwitchButton.h"
#include "stream/session/VariableBase.h"

#include <memory>

class RightMenuSynchronizedSwitchButton : public RightMenuSwitchButton {
public:
    using Variable = VariableUserBase<BoolVariable>;

    RightMenuSynchronizedSwitchButton(std::shared_ptr<Variable> variable, PlayerGUI* gui,
                                      const std::string& labelText, const std::string& firstOptionText,
                                      const std::string& secondOptionText, int firstCommand, int secondCommand,
                                      AbstractSurface* surface, const Rect& iconPicture, std::int32_t labelWidth,
                                      std::int32_t spacing);
    ~RightMenuSynchronizedSwitchButton() override;

    bool tick(double seconds) override;

    std::shared_ptr<Variable> variable;
};
