#pragma once
// The data-centre panel of the machine-selection screen: a title, a drop-down list of the
// service's data centres (unavailable ones disabled) and a continue button. A pick stores
// the data centre's name as the selection of the account model; continue carries
// kCommandConfirmDatacenter and, once a data centre was picked, hides the panel (the screen
// then shows the plans).
//
// Threads: built and ticked on the render thread, clicked on the main thread, under the
// window's GUI lock.

#include <cstdint>
#include <memory>
#include <vector>

#include "gui/Table.h"
#include "player-ui/IIndexSelectable.h"
#include "webapi/DesktopInfo.h"

class Button;
class CustomUICommandHandler;
class IPlayerWindow;
class SOSPopupTable;
class Static;

class SelectDCTable : public Table, public IIndexSelectable {
public:
    SelectDCTable(IPlayerWindow* window, PlayerGUI* gui, const std::vector<DatacenterInfo>& datacenters,
                  CustomUICommandHandler* commands, std::int32_t buttonWidth, std::int32_t buttonHeight);
    ~SelectDCTable() override;

    void draw(AbstractGraphicsContext*) override {}
    bool tick(double seconds) override;
    void onVisibilityChanged() override;
    void propagateZOrder() override;

    bool isChosen() const { return chosen_; }
    // Mouse-wheel offset for the list.
    void scroll(std::int32_t offset);
    // A list entry was clicked.
    void onIndexSelected(std::int32_t index) override;

    SOSPopupTable* popupList() const { return popupList_.get(); }
    Button* continueButton() const { return continueButton_.get(); }
    Static* bottomText() const { return bottomText_.get(); }
    const std::vector<std::shared_ptr<Button>>& entryButtons() const { return entryButtons_; }

private:
    IPlayerWindow* window_;
    CustomUICommandHandler* commands_;
    std::int32_t buttonWidth_;
    std::int32_t buttonHeight_;
    std::int32_t listStyle_ = 2;
    std::int32_t padding_ = 30;
    std::int32_t rowSpacing_ = 30;
    bool chosen_ = false;
    std::shared_ptr<Static> titleLabel_;
    std::shared_ptr<Static> topText_;
    std::shared_ptr<Static> bottomText_;
    std::shared_ptr<Button> continueButton_;
    std::shared_ptr<Table> chooserBlock_;
    std::shared_ptr<Table> titleBlock_;
    std::vector<std::shared_ptr<Button>> entryButtons_;
    std::vector<DatacenterInfo> datacenters_;
    std::shared_ptr<SOSPopupTable> popupList_;
};
