#pragma once
// The plan panel of the machine-selection screen: a title, a line of text and two columns,
// "High" and "Ultra", each with its cost, a description and a select button. Select stores
// the plan's lower-case name as the selection of the account model and posts
// kCommandCreateAndStartMachine.
//
// Threads: built and ticked on the render thread, clicked on the main thread, under the
// window's GUI lock.

#include <cstdint>
#include <memory>
#include <string>

#include "gui/Table.h"

class Button;
class IPlayerWindow;
class Static;

// One plan column with its frame.
class PlanSubTable : public Table {
public:
    static constexpr std::int32_t kColumnWidth = 250;

    PlanSubTable(IPlayerWindow* window, PlayerGUI* gui, const std::string& name, std::int32_t cost,
                 const std::string& description, std::int32_t descriptionHeight);
    ~PlanSubTable() override;

    void draw(AbstractGraphicsContext* context) override;
    bool arrange(AbstractGraphicsContext* context) override;
    void onVisibilityChanged() override;
    void propagateZOrder() override;
    bool tick(double seconds) override;

    void setCost(std::int32_t cost);

    const std::string& planName() const { return planName_; }
    Button* selectButton() const { return selectButton_.get(); }
    Static* titleLabel() const { return titleLabel_.get(); }
    Static* costLabel() const { return costLabel_.get(); }

private:
    IPlayerWindow* window_;
    std::string planName_;
    std::int32_t descriptionHeight_;
    std::int32_t borderWidth_ = 2;
    std::int32_t topPadding_ = 20;
    std::int32_t infoSpacing_ = 22;
    std::int32_t rowSpacing_ = 8;
    std::int32_t columnWidth_ = kColumnWidth;
    std::shared_ptr<Button> selectButton_;
    std::shared_ptr<Static> titleLabel_;
    std::shared_ptr<Table> infoBlock_;
    std::shared_ptr<Static> costLabel_;
    std::shared_ptr<Static> descriptionLabel_;
};

class PlanTable : public Table {
public:
    static constexpr int kZOrder = 1000;

    PlanTable(IPlayerWindow* window, PlayerGUI* gui);
    ~PlanTable() override;

    void draw(AbstractGraphicsContext*) override {}
    void onVisibilityChanged() override;
    void propagateZOrder() override;
    bool tick(double) override { return false; }

    PlanSubTable* highColumn() const { return highColumn_.get(); }
    PlanSubTable* ultraColumn() const { return ultraColumn_.get(); }

private:
    IPlayerWindow* window_;
    std::int32_t sidePadding_ = 50;
    std::int32_t rowSpacing_ = 30;
    std::int32_t columnSpacing_ = 8;
    std::shared_ptr<Static> titleLabel_;
    std::shared_ptr<Static> textLabel_;
    std::shared_ptr<Table> columnsBlock_;
    std::shared_ptr<PlanSubTable> highColumn_;
    std::shared_ptr<PlanSubTable> ultraColumn_;
};
