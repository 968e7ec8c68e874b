// The idle-timeout chooser: its options as window commands registered with the screen, the
// account's value shown (an unknown value as its number), and a pick that travels through
// its command to the screen and to the chooser.

#include "PlayerUiTestSupport.h"

#include "gui/Button.h"
#include "gui/Static.h"
#include "player-ui/CustomUICommandHandler.h"
#include "player-ui/PlayerCommandIds.h"
#include "player-ui/PopupTable.h"
#include "player-ui/menu/DialogTimeout.h"

#include <gtest/gtest.h>

using playeruitest::Bench;

using ScreenHandler = playeruitest::ScreenCommandHandler;

TEST(DialogTimeout, OptionsAreRegisteredCommandsAndAPickReachesTheScreen) {
    playeruitest::MenuLanguage language;
    Bench bench(1280, 720);
    ScreenHandler screen;
    bench.handler.hook = [&](int id) { screen.runRegisteredTask(id); };
    DialogTimeout dialog(bench.gui.get(), &screen, LanguageStore::instance().text("dialog_content_timeout"),
                         LanguageStore::instance().text("dialog_caption_timeout"), kCommandSendIdleTimeout);
    EXPECT_EQ(dialog.z, 1000);
    EXPECT_EQ(dialog.caption, "Stop the machine\nwhen idle for");
    EXPECT_EQ(dialog.value, "Idle time-out");
    ASSERT_EQ(dialog.items.size(), 8u);
    int expectedId = kFirstRunTimeCommandId;
    for (const auto& option : dialog.optionCommands)
        EXPECT_EQ(option.second, expectedId++) << option.first;
    EXPECT_EQ(dialog.items.front()->text(), "None");
    EXPECT_EQ(dialog.items.back()->text(), "60 minutes");

    struct Case {
        int minutes;
        const char* shown;
    };
    for (const Case& c : {Case{15, "15"}, Case{-1, "None"}, Case{30, "30 minutes"}, Case{0, "0"}}) {
        dialog.setValue(c.minutes);
        EXPECT_EQ(dialog.chooser->value, c.shown) << c.minutes;
    }
    std::string text = "x";
    dialog.valueText(text, 15);
    EXPECT_EQ(text, "");

    // Open the dialog and the list, pick "10 minutes" with the pointer.
    dialog.setVisible(true);
    for (int i = 0; i < 3; ++i)
        bench.frame();
    bench.clickOn(*dialog.chooser->valueButton);
    for (int i = 0; i < 3; ++i)
        bench.frame();
    Button& ten = *dialog.items.at(2);
    ASSERT_EQ(ten.text(), "10 minutes");
    ASSERT_TRUE(ten.isVisible());
    bench.clickOn(ten);
    EXPECT_EQ(screen.values, (std::vector<int>{10}));
    EXPECT_EQ(dialog.chooser->value, "10 minutes");
    EXPECT_EQ(dialog.chooser->valueButton->text(), "10 minutes");
    EXPECT_TRUE(dialog.valueChosen);

    bench.frame();
    bench.handler.commands.clear();
    bench.clickOn(*dialog.yesButton);
    EXPECT_EQ(bench.handler.commands, (std::vector<int>{kCommandSendIdleTimeout}));
    bench.frame();
    EXPECT_FALSE(dialog.yesButton->isVisible()) << "yes after a pick closes the dialog";
}
