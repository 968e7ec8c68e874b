#include "player/selectos/PlanTable.h"

#include <algorithm>
#include <cctype>

#include "core/FormatString.h"
#include "core/LanguageStore.h"
#include "gui/Button.h"
#include "gui/PlayerGUI.h"
#include "gui/Static.h"
#include "player-ui/IPlayerWindow.h"
#include "player-ui/PlayerCommandIds.h"
#include "webapi/ClientState.h"

namespace {
constexpr int kSelectButtonHeight = 50;
constexpr int kInfoTopPadding = 15;
constexpr int kDescriptionHeight = 60;
// Texts keep this far from the card's frame on the left and right.
constexpr int kCardTextInset = 12;
// The select button's frame (drawn round it, one unit out in its filled look) lines up with
// the card's instead of reaching past it towards the other column.
constexpr int kSelectFrameReach = Button::kFrameOutset + 1;

std::string text(const char* key) { return LanguageStore::instance().text(key); }
}  // namespace

PlanSubTable::PlanSubTable(IPlayerWindow* window, PlayerGUI* gui, const std::string& name, std::int32_t cost,
                           const std::string& description, std::int32_t descriptionHeight)
    : Table(gui, 1, 2), window_(window), descriptionHeight_(descriptionHeight) {
    selectButton_ = std::make_shared<Button>(gui, text("text_selectos_plan_table_select"), kCommandNone,
                                             gui->getFont("selectos-caption"));
    titleLabel_ = std::make_shared<Static>(gui, name, 0, gui->getFont("selectos-title"));
    gui->setEnabled(titleLabel_.get(), false);
    const int textWidth = columnWidth_ - 2 * kCardTextInset;
    titleLabel_->setSizeLimits(textWidth, 0, textWidth, 0);
    titleLabel_->invalidate();
    descriptionLabel_ = std::make_shared<Static>(gui, description, 2, gui->getFont("selectos-info"));
    gui->setEnabled(descriptionLabel_.get(), false);
    // A fixed height, so both columns line up whatever their texts.
    descriptionLabel_->setSizeLimits(0, descriptionHeight_, textWidth, descriptionHeight_);
    descriptionLabel_->invalidate();
    planName_ = name;
    std::transform(planName_.begin(), planName_.end(), planName_.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    setCost(cost);

    selectButton_->filledLook = 1;
    selectButton_->height = kSelectButtonHeight;
    selectButton_->width = columnWidth_ - 2 * kSelectFrameReach;
    selectButton_->setColor(gui->getColor("transparent"));
    selectButton_->setHoverColor(gui->getColor("white"));
    selectButton_->setHoverTextColor(gui->getColor("so-blue-hover"));

    infoBlock_ = std::make_shared<Table>(gui, 1, 3);
    infoBlock_->setCell(0, 0, titleLabel_.get());
    infoBlock_->setCell(0, 1, costLabel_.get());
    infoBlock_->setCell(0, 2, descriptionLabel_.get());
    infoBlock_->setAllCellsAlignment(AlignCentre, AlignCentre);
    // The insets keep the card as wide as the column.
    for (unsigned row = 0; row < 3; ++row)
        infoBlock_->setCellPadding(0, row, kCardTextInset, 0, kCardTextInset, 0);
    infoBlock_->setSpacing(0, infoSpacing_);

    setCell(0, 0, infoBlock_.get());
    setCell(0, 1, selectButton_.get());
    setAllCellsAlignment(AlignCentre, AlignCentre);
    setCellPadding(0, 0, 0, kInfoTopPadding, 0, 0);
    setSpacing(0, rowSpacing_);
    setPadding(0, topPadding_, 0, 0);
    infoBlock_->invalidate();
    invalidate();
}

PlanSubTable::~PlanSubTable() = default;

void PlanSubTable::setCost(std::int32_t cost) {
    PlayerGUI* gui = gui_;
    const char* key = cost > 1 ? "text_selectos_plan_table_costs" : "text_selectos_plan_table_cost";
    const std::string line = formatString(text(key), cost);
    if (!costLabel_) {
        costLabel_ = std::make_shared<Static>(gui, line, 0, gui->getFont("selectos-caption"));
        gui->setEnabled(costLabel_.get(), false);
    } else {
        costLabel_->setText(line);
        costLabel_->invalidate();
    }
}

bool PlanSubTable::arrange(AbstractGraphicsContext* context) {
    descriptionLabel_->height = descriptionHeight_;
    return Table::arrange(context);
}

void PlanSubTable::draw(AbstractGraphicsContext* context) {
    // The frame goes round the information block, not the select button.
    const Rect info = getCellRect(0, 0);
    gui_->drawBorder(context, info.x, info.y, info.width, info.height, borderWidth_, 0);
}

bool PlanSubTable::tick(double) {
    if (selectButton_->takeClicked()) {
        window_->clientState().setSelectedPlan(planName_);
        window_->postCommand(kCommandCreateAndStartMachine);
    }
    return true;
}

void PlanSubTable::onVisibilityChanged() {
    const bool v = visible != 0;
    for (Widget* w : {static_cast<Widget*>(titleLabel_.get()), static_cast<Widget*>(selectButton_.get()),
                      static_cast<Widget*>(costLabel_.get()), static_cast<Widget*>(descriptionLabel_.get()),
                      static_cast<Widget*>(infoBlock_.get())})
        gui_->setVisible(w, v);
}

void PlanSubTable::propagateZOrder() {
    for (Widget* w : {static_cast<Widget*>(titleLabel_.get()), static_cast<Widget*>(selectButton_.get()),
                      static_cast<Widget*>(costLabel_.get()), static_cast<Widget*>(descriptionLabel_.get()),
                      static_cast<Widget*>(infoBlock_.get())})
        w->z = z;
}

PlanTable::PlanTable(IPlayerWindow* window, PlayerGUI* gui) : Table(gui, 1, 3), window_(window) {
    titleLabel_ = std::make_shared<Static>(gui, text("text_selectos_plan_table_title"), 0, gui->getFont("selectos-title"));
    gui->setEnabled(titleLabel_.get(), false);
    textLabel_ = std::make_shared<Static>(gui, text("text_selectos_plan_table_text1"), 2, gui->getFont("selectos-info"));
    gui->setEnabled(textLabel_.get(), false);
    // As wide as the two columns below it.
    const int textWidth = 2 * PlanSubTable::kColumnWidth + columnSpacing_;
    textLabel_->setSizeLimits(0, 0, textWidth, 0);
    textLabel_->invalidate();
    highColumn_ = std::make_shared<PlanSubTable>(window, gui, "High", 1, text("text_selectos_plan_table_text2"),
                                                 kDescriptionHeight);
    ultraColumn_ = std::make_shared<PlanSubTable>(window, gui, "Ultra", 2, text("text_selectos_plan_table_text3"),
                                                  kDescriptionHeight);
    columnsBlock_ = std::make_shared<Table>(gui, 2, 1);
    columnsBlock_->setCell(0, 0, highColumn_.get());
    columnsBlock_->setCell(1, 0, ultraColumn_.get());
    columnsBlock_->setAllCellsAlignment(AlignCentre, AlignCentre);
    columnsBlock_->setSpacing(columnSpacing_, 0);

    setCell(0, 0, titleLabel_.get());
    setCell(0, 1, textLabel_.get());
    setCell(0, 2, columnsBlock_.get());
    setAllCellsAlignment(AlignCentre, AlignCentre);
    setSpacing(0, rowSpacing_);
    setPadding(sidePadding_, rowSpacing_, sidePadding_, rowSpacing_);
    horizontalAlign = 3;
    verticalAlign = 3;
    invalidate();
    gui->setVisible(this, false);
    z = kZOrder;
    propagateZOrder();
}

PlanTable::~PlanTable() = default;

void PlanTable::onVisibilityChanged() {
    const bool v = visible != 0;
    gui_->setVisible(titleLabel_.get(), v);
    gui_->setVisible(highColumn_.get(), v);
    gui_->setVisible(ultraColumn_.get(), v);
    gui_->setVisible(textLabel_.get(), v);
    gui_->setVisible(columnsBlock_.get(), v);
}

void PlanTable::propagateZOrder() {
    titleLabel_->z = z;
    textLabel_->z = z;
    columnsBlock_->z = z;
    highColumn_->z = z;
    ultraColumn_->z = z;
    highColumn_->propagateZOrder();
    ultraColumn_->propagateZOrder();
}
