#pragma once
// The panel shown instead of the machine access panel when the trial plan has no minutes
// left: a title, an upgrade button (the account page) and two lines on what happens to the
// machine.

#include <cstdint>
#include <memory>

#include "gui/Table.h"

class Button;
class Static;

class TrialEndedTable : public Table {
public:
    TrialEndedTable(PlayerGUI* gui, std::int32_t buttonWidth, std::int32_t buttonHeight);
    ~TrialEndedTable() override;

    void onVisibilityChanged() override;
    void propagateZOrder() override;

    Button* upgradeButton() const { return upgradeButton_.get(); }
    Static* titleLabel() const { return titleLabel_.get(); }

private:
    std::int32_t buttonWidth_;
    std::int32_t buttonHeight_;
    std::int32_t rowSpacing_ = 20;
    std::shared_ptr<Static> titleLabel_;
    std::shared_ptr<Button> upgradeButton_;
    std::shared_ptr<Static> keepMachineText_;
    std::shared_ptr<Static> deleteTimeoutText_;
};
