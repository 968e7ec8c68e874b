#pragma once
// The account panel at the top right of the overlay menu: the storage in use and the price
// of storage in the left column, the balance and the next charge in the right one, between
// two plus pictures that open the account page (both send their own command). Texts are the
// language's formats filled with the account's numbers.

#include "gui/Color.h"
#include "gui/Table.h"

#include <cstdint>
#include <memory>
#include <string>

class ImageButton;
class MenuButton;
class Static;

class ControlCredits : public Table {
public:
    ControlCredits(PlayerGUI* gui, std::int32_t spacing);
    ~ControlCredits() override;

    void draw(AbstractGraphicsContext* context) override;
    bool arrange(AbstractGraphicsContext* context) override;

    void setMemory(const std::string& used, const std::string& total, const std::string& unit);
    void setCreditCost(const std::string& credits, const std::string& amount, const std::string& unit);
    void setCredits(const std::string& balance);
    void setCharge(const std::string& amount, const std::string& cents, const std::string& unit);

    std::int32_t plusWidth = 45;
    std::int32_t itemWidth = 130;
    std::shared_ptr<Table> memoryColumn;
    std::shared_ptr<Table> creditsColumn;
    std::shared_ptr<ImageButton> leftPlus;
    std::shared_ptr<ImageButton> rightPlus;
    std::shared_ptr<Static> creditCostText;
    std::shared_ptr<Static> chargeText;
    std::shared_ptr<MenuButton> creditsItem;
    std::shared_ptr<MenuButton> memoryItem;

private:
    Color valueFill_;
    Color white_;
};
