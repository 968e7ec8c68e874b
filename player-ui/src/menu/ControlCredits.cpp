#include "player-ui/menu/ControlCredits.h"

#include "core/FormatString.h"
#include "core/LanguageStore.h"
#include "gui/AbstractGraphicsContext.h"
#include "gui/ImageButton.h"
#include "gui/PlayerGUI.h"
#include "gui/Static.h"
#include "player-ui/PlayerCommandIds.h"
#include "player-ui/menu/MenuButton.h"

namespace {

constexpr Rect kPlusPicture{52, 382, 32, 32};
constexpr Rect kMemoryPicture{169, 35, 32, 32};
constexpr Rect kCoinsPicture{1, 278, 32, 32};
constexpr Rect kNoPicture{-1, -1, -1, -1};
constexpr int kTourPage = 9;
constexpr int kTourKind = 2;

std::string text(const char* key) { return LanguageStore::instance().text(key); }

}  // namespace

ControlCredits::ControlCredits(PlayerGUI* gui, std::int32_t spacing)
    : Table(gui, 4, 1), valueFill_(gui->getColor("player-button-main-default")), white_(gui->getColor("white")) {
    AbstractSurface* images = gui->getSurface("images");
    const Color secondary = gui->getColor("player-button-secondary-default");
    memoryItem = std::make_shared<MenuButton>(gui, "none", kCommandNone, images, kMemoryPicture, secondary,
                                              secondary, itemWidth, gui->getHeaderFont());
    creditsItem = std::make_shared<MenuButton>(gui, "none", kCommandNone, images, kCoinsPicture, secondary,
                                               secondary, itemWidth, gui->getHeaderFont());
    for (MenuButton* item : {memoryItem.get(), creditsItem.get()}) {
        item->pressShift = false;
        item->setInteractive(false);
    }
    creditCostText = std::make_shared<Static>(gui, "none", 0, gui->getHeaderFont());
    chargeText = std::make_shared<Static>(gui, "none", 0, gui->getHeaderFont());
    gui->setEnabled(creditCostText.get(), false);
    gui->setEnabled(chargeText.get(), false);

    memoryColumn = std::make_shared<Table>(gui, 1, 2);
    memoryColumn->setCell(0, 0, memoryItem.get());
    memoryColumn->setCell(0, 1, creditCostText.get());
    creditsColumn = std::make_shared<Table>(gui, 1, 2);
    creditsColumn->setCell(0, 0, creditsItem.get());
    creditsColumn->setCell(0, 1, chargeText.get());
    for (Table* column : {memoryColumn.get(), creditsColumn.get()}) {
        column->setSpacing(0, spacing);
        column->setAllCellsAlignment(AlignCentre, AlignCentre);
    }

    leftPlus = std::make_shared<ImageButton>(gui, kCommandStorageAccountPage, images, kPlusPicture, kNoPicture,
                                             kNoPicture, kNoPicture);
    rightPlus = std::make_shared<ImageButton>(gui, kCommandCreditsAccountPage, images, kPlusPicture, kNoPicture,
                                              kNoPicture, kNoPicture);
    for (ImageButton* plus : {leftPlus.get(), rightPlus.get()}) {
        plus->setBackground(ImageButton::BackgroundFill, gui->getColor("player-button-green-default"),
                            gui->getColor("player-button-green-hover"), gui->getColor("player-button-green-default"));
        plus->width = plusWidth;
        plus->centerImage = 1;
        plus->setImageAlignment(ImageButton::AlignCentre, ImageButton::AlignCentre);
    }

    setCell(0, 0, leftPlus.get());
    setCell(1, 0, memoryColumn.get());
    setCell(2, 0, creditsColumn.get());
    setCell(3, 0, rightPlus.get());
    setSpacing(spacing, spacing);
    setAllCellsAlignment(AlignCentre, AlignCentre);
    gui->registerTutorialTarget(kTourPage, kTourKind, leftPlus.get());
}

ControlCredits::~ControlCredits() = default;

bool ControlCredits::arrange(AbstractGraphicsContext* context) {
    // The plus pictures span the panel's height.
    for (ImageButton* plus : {leftPlus.get(), rightPlus.get()}) {
        if (plus->height != height) {
            plus->height = height;
            plus->width = plusWidth;
        }
    }
    return Table::arrange(context);
}

void ControlCredits::setMemory(const std::string& used, const std::string& total, const std::string& unit) {
    memoryItem->setText(formatString(text("menu_memory_used"), used.c_str(), total.c_str(), unit.c_str()));
}

void ControlCredits::setCreditCost(const std::string& credits, const std::string& amount, const std::string& unit) {
    creditCostText->setText(formatString(text("menu_credit_cost"), credits.c_str(), amount.c_str(), unit.c_str()));
    creditCostText->invalidate();
}

void ControlCredits::setCredits(const std::string& balance) {
    creditsItem->setText(formatString(text("menu_credits"), balance.c_str()));
}

void ControlCredits::setCharge(const std::string& amount, const std::string& cents, const std::string& unit) {
    chargeText->setText(formatString(text("menu_charge"), amount.c_str(), cents.c_str(), unit.c_str()));
    chargeText->invalidate();
}

void ControlCredits::draw(AbstractGraphicsContext* context) {
    for (Table* column : {memoryColumn.get(), creditsColumn.get()}) {
        const Rect value = column->getCellRect(0, 1);
        MenuButton::drawBar(gui_, context, value, valueFill_, white_, true);
    }
    for (ImageButton* plus : {leftPlus.get(), rightPlus.get()}) {
        const int shift = plus->isDown() ? 1 : 0;
        context->setColor(white_.value());
        gui_->drawBorder(context, plus->x + shift, plus->y + shift, plus->width, plus->height, 1, 0);
    }
}
