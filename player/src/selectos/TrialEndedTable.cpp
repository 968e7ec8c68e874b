#include "player/selectos/TrialEndedTable.h"

#include "core/LanguageStore.h"
#include "gui/Button.h"
#include "gui/PlayerGUI.h"
#include "gui/Static.h"
#include "player-ui/PlayerCommandIds.h"

namespace {
std::string text(const char* key) { return LanguageStore::instance().text(key); }
}  // namespace

TrialEndedTable::TrialEndedTable(PlayerGUI* gui, std::int32_t buttonWidth, std::int32_t buttonHeight)
    : Table(gui, 1, 4), buttonWidth_(buttonWidth), buttonHeight_(buttonHeight) {
    titleLabel_ = std::make_shared<Static>(gui, text("text_selectos_trial_ended_title"), 0, gui->getFont("selectos-title"));
    upgradeButton_ = std::make_shared<Button>(gui, text("text_selectos_upgrade_plan"), kCommandSelectionAccountPage,
                                              gui->getFont("selectos-caption"));
    upgradeButton_->width = buttonWidth_;
    upgradeButton_->height = buttonHeight_;
    upgradeButton_->setColor(gui->getColor("so-blue-idle"));
    upgradeButton_->setHoverColor(gui->getColor("so-blue-hover"));
    upgradeButton_->filledLook = 1;
    keepMachineText_ = std::make_shared<Static>(gui, text("text_selectos_trial_keep_vm"), 0, gui->getFont("selectos-info"));
    deleteTimeoutText_ =
        std::make_shared<Static>(gui, text("text_selectos_trial_delete_timeout"), 0, gui->getFont("selectos-info"));

    setCell(0, 0, titleLabel_.get());
    setCell(0, 1, upgradeButton_.get());
    setCell(0, 2, keepMachineText_.get());
    setCell(0, 3, deleteTimeoutText_.get());
    setAllCellsAlignment(AlignCentre, AlignCentre);
    setSpacing(0, rowSpacing_);
    horizontalAlign = 3;
    verticalAlign = 3;
    invalidate();
}

TrialEndedTable::~TrialEndedTable() = default;

void TrialEndedTable::onVisibilityChanged() {
    const bool v = visible != 0;
    for (Widget* w : {static_cast<Widget*>(titleLabel_.get()), static_cast<Widget*>(upgradeButton_.get()),
                      static_cast<Widget*>(keepMachineText_.get()), static_cast<Widget*>(deleteTimeoutText_.get())})
        gui_->setVisible(w, v);
}

void TrialEndedTable::propagateZOrder() {
    titleLabel_->z = z;
    upgradeButton_->z = z;
    keepMachineText_->z = z;
    deleteTimeoutText_->z = z;
}
