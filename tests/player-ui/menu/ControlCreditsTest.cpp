// The account panel: its texts from the language's formats (a broken format shows raw,
// never crashes), the plus pictures and their commands, and its layout.

#include "PlayerUiTestSupport.h"

#include "gui/ImageButton.h"
#include "gui/Static.h"
#include "player-ui/PlayerCommandIds.h"
#include "player-ui/menu/ControlCredits.h"
#include "player-ui/menu/MenuButton.h"

#include <gtest/gtest.h>

using playeruitest::Bench;

TEST(ControlCredits, PlusPicturesSpanThePanelAndOpenTheAccountPage) {
    Bench bench(1280, 720);
    auto panel = std::make_shared<ControlCredits>(bench.gui.get(), 5);
    panel->horizontalAlign = 2;
    panel->verticalAlign = 1;
    panel->setMargins(0, 15, 15, 0);
    for (int i = 0; i < 4; ++i)
        bench.frame();
    EXPECT_EQ(panel->x + panel->width, 1280 - 15);
    EXPECT_EQ(panel->y, 15);
    EXPECT_EQ(panel->leftPlus->width, 45);
    EXPECT_EQ(panel->leftPlus->height, panel->height);
    EXPECT_EQ(panel->rightPlus->height, panel->height);
    EXPECT_LT(panel->leftPlus->x, panel->memoryItem->x);
    EXPECT_GT(panel->rightPlus->x, panel->creditsItem->x);
    EXPECT_FALSE(panel->memoryItem->isInteractive());
    EXPECT_FALSE(panel->creditsItem->pressShift);

    bench.clickOn(*panel->leftPlus);
    bench.clickOn(*panel->rightPlus);
    bench.clickOn(*panel->memoryItem);
    EXPECT_EQ(bench.handler.commands, (std::vector<int>{kCommandStorageAccountPage, kCommandCreditsAccountPage}));
}

TEST(ControlCredits, SettersFillTheLanguageFormats) {
    playeruitest::MenuLanguage language;
    Bench bench;
    ControlCredits panel(bench.gui.get(), 5);
    panel.setMemory("20", "50", "Gb");
    panel.setCreditCost("1", "10", "Gb");
    panel.setCredits("12");
    panel.setCharge("3", "00", "min");
    EXPECT_EQ(panel.memoryItem->text(), "20 of 50 Gb");
    EXPECT_EQ(panel.creditCostText->currentText(), "1 credit per 10 Gb");
    EXPECT_EQ(panel.creditsItem->text(), "12 credits");
    EXPECT_EQ(panel.chargeText->currentText(), "3.00 / min");

    // A translation with a conversion too many shows its raw text.
    language.set("menu_credits", "%s credits of %s");
    panel.setCredits("12");
    EXPECT_EQ(panel.creditsItem->text(), "%s credits of %s");
    // A figure longer than the item's width is shown whole, wrapped inside the item.
    panel.setMemory("123456789012", "123456789012", "Gb");
    EXPECT_EQ(panel.memoryItem->text(), "123456789012 of 123456789012 Gb");
}
