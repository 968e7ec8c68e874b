#include "player/selectos/SelectDCTable.h"

#include "core/LanguageStore.h"
#include "gui/Button.h"
#include "gui/List.h"
#include "gui/PlayerGUI.h"
#include "gui/Static.h"
#include "player-ui/CustomUICommandHandler.h"
#include "player-ui/IPlayerWindow.h"
#include "player-ui/PlayerCommandIds.h"
#include "player-ui/SOSPopupTable.h"
#include "player-ui/UniqueDialogBaseUITask.h"
#include "webapi/ClientState.h"

namespace {
constexpr int kTextWidth = 650;
constexpr int kPanelZ = -200;
constexpr int kTitleSpacing = 10;
constexpr int kChooserSpacing = 8;

std::string text(const char* key) { return LanguageStore::instance().text(key); }
}  // namespace

SelectDCTable::SelectDCTable(IPlayerWindow* window, PlayerGUI* gui, const std::vector<DatacenterInfo>& datacenters,
                             CustomUICommandHandler* commands, std::int32_t buttonWidth, std::int32_t buttonHeight)
    : Table(gui, 1, 3),
      window_(window),
      commands_(commands),
      buttonWidth_(buttonWidth),
      buttonHeight_(buttonHeight),
      datacenters_(datacenters) {
    popupList_ = std::make_shared<SOSPopupTable>(gui, text("text_selectos_dc_av_popup_title"), false);

    titleLabel_ = std::make_shared<Static>(gui, text("text_selectos_dc_caption"), 0, gui->getFont("selectos-title"));
    topText_ = std::make_shared<Static>(gui, text("text_selectos_dc_text_top"), 2, gui->getFont("selectos-caption"));
    topText_->setSizeLimits(0, 0, kTextWidth, 0);
    topText_->invalidate();
    gui->setEnabled(topText_.get(), false);
    bottomText_ = std::make_shared<Static>(gui, text("text_selectos_dc_text_bot"), 2, gui->getFont("selectos-info"));
    bottomText_->setSizeLimits(0, 0, kTextWidth, 0);
    bottomText_->invalidate();
    gui->setEnabled(bottomText_.get(), false);

    continueButton_ = std::make_shared<Button>(gui, text("text_continue"), kCommandConfirmDatacenter,
                                               gui->getFont("selectos-caption"));
    continueButton_->width = buttonWidth_;
    continueButton_->height = buttonHeight_;
    continueButton_->setColor(gui->getColor("transparent"));
    continueButton_->setHoverColor(gui->getColor("white"));
    continueButton_->setHoverTextColor(gui->getColor("so-blue-hover"));
    continueButton_->filledLook = 1;

    titleBlock_ = std::make_shared<Table>(gui, 1, 2);
    titleBlock_->setCell(0, 0, titleLabel_.get());
    titleBlock_->setCell(0, 1, topText_.get());
    titleBlock_->setAllCellsAlignment(AlignCentre, AlignCentre);
    titleBlock_->setSpacing(0, kTitleSpacing);

    chooserBlock_ = std::make_shared<Table>(gui, 1, 2);
    chooserBlock_->setCell(0, 0, popupList_.get());
    chooserBlock_->setCell(0, 1, continueButton_.get());
    chooserBlock_->setAllCellsAlignment(AlignCentre, AlignCentre);
    chooserBlock_->setSpacing(0, kChooserSpacing);

    popupList_->buildContent();
    popupList_->setFrameColour(gui->getColor("transparent"));
    popupList_->setListValue(listStyle_);
    popupList_->setListBackgroundColor(gui->getColor("white"));

    for (std::size_t i = 0; i < datacenters_.size(); ++i) {
        const int command =
            commands_->registerTask(std::make_shared<UniqueDialogBaseUITask>(this, static_cast<std::int32_t>(i)));
        auto entry = std::make_shared<Button>(gui, datacenters_[i].localizedName, command, gui->getFont("selectos-caption"));
        entry->width = buttonWidth_;
        entry->height = buttonHeight_;
        entry->setColor(gui->getColor("transparent"));
        entry->setFrameColor(gui->getColor("transparent"));
        entry->setTextColor(gui->getColor("so-blue-idle"));
        entry->filledLook = 1;
        gui->setEnabled(entry.get(), datacenters_[i].available);
        entry->z = kPanelZ;
        popupList_->addItem(entry.get(), false);
        entryButtons_.push_back(std::move(entry));
    }

    setCell(0, 0, titleBlock_.get());
    setCell(0, 1, chooserBlock_.get());
    setCell(0, 2, bottomText_.get());
    setAllCellsAlignment(AlignCentre, AlignCentre);
    setSpacing(0, rowSpacing_);
    setPadding(padding_, padding_, padding_, padding_);
    keepHiddenRows = 1;
    horizontalAlign = 3;
    verticalAlign = 3;
    invalidate();
    gui->setVisible(this, false);
    z = kPanelZ;
    propagateZOrder();
}

SelectDCTable::~SelectDCTable() = default;

void SelectDCTable::scroll(std::int32_t offset) { popupList_->scrollList(offset); }

void SelectDCTable::onIndexSelected(std::int32_t index) {
    popupList_->hideList();
    // An entry outside the list names no data centre: the choice stays as it was.
    if (index < 0 || static_cast<std::size_t>(index) >= datacenters_.size()) return;
    chosen_ = true;
    window_->clientState().setSelectedDatacenter(datacenters_[std::size_t(index)].name);
    popupList_->setSelectedText(datacenters_[std::size_t(index)].localizedName);
}

bool SelectDCTable::tick(double) {
    const bool listOpen = popupList_->isListVisible();
    continueButton_->ignoreMouse = listOpen ? 1 : 0;
    continueButton_->setFrameColor(gui_->getColor(listOpen ? "transparent" : "white"));
    const bool showBottom = visible && !listOpen;
    if ((bottomText_->visible != 0) != showBottom) gui_->setVisible(bottomText_.get(), showBottom);
    if (visible && continueButton_->takeClicked() && chosen_) {
        gui_->setVisible(this, false);
        return true;
    }
    return false;
}

void SelectDCTable::onVisibilityChanged() {
    const bool v = visible != 0;
    gui_->setVisible(titleBlock_.get(), v);
    gui_->setVisible(chooserBlock_.get(), v);
    gui_->setVisible(titleLabel_.get(), v);
    gui_->setVisible(topText_.get(), v);
    gui_->setVisible(bottomText_.get(), v);
    gui_->setVisible(continueButton_.get(), v);
    popupList_->setVisible(v);
}

void SelectDCTable::propagateZOrder() {
    for (Widget* w : {static_cast<Widget*>(titleLabel_.get()), static_cast<Widget*>(topText_.get()),
                      static_cast<Widget*>(bottomText_.get()), static_cast<Widget*>(continueButton_.get()),
                      static_cast<Widget*>(chooserBlock_.get()), static_cast<Widget*>(titleBlock_.get()),
                      static_cast<Widget*>(popupList_.get())})
        w->z = z;
    popupList_->propagateZOrder();
}
