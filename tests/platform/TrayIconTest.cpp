// The tray icon stand-in: what it logs, and texts cut to the record's fields.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/TrayIcon.h"

TEST(TrayIcon, TextsAreCutToTheFieldWithoutSplittingACharacter) {
    struct Case {
        std::string text;
        std::size_t units;
        std::string fitted;
    };
    const Case cases[] = {
        {"Nimbrosta", 127, "Nimbrosta"},
        {"abcdef", 3, "abc"},
        {"", 5, ""},
        // Two-byte and three-byte characters take one unit each.
        {"\xC3\xA4\xC3\xB6\xE2\x82\xAC", 2, "\xC3\xA4\xC3\xB6"},
        // A character beyond the basic plane takes two units and is not cut in half.
        {"a\xF0\x9F\x98\x80", 2, "a"},
        {"a\xF0\x9F\x98\x80", 3, "a\xF0\x9F\x98\x80"},
    };
    for (const Case& c : cases) EXPECT_EQ(platform::fitTrayText(c.text, c.units), c.fitted) << c.text;
}

TEST(TrayIcon, TheStandInLogsEveryOperationAndShowsNothing) {
    std::vector<std::string> lines;
    auto tray = platform::makeLoggingTrayIcon([&](const std::string& line) { lines.push_back(line); });
    EXPECT_FALSE(tray->isShown());
    EXPECT_FALSE(tray->enableMenuItem(140, true)) << "no menu yet";
    tray->createMenu();
    tray->insertMenuItem(0, platform::kMenuByPosition | platform::kMenuDefault, 130, "Show");
    tray->insertMenuItem(1, platform::kMenuSeparator | platform::kMenuByPosition, 150, "");
    EXPECT_TRUE(tray->enableMenuItem(130, false));
    EXPECT_EQ(tray->trackMenu(10, 20), 0);
    platform::TrayIconData data;
    data.id = 12345;
    data.flags = platform::kTrayFlagMessage | platform::kTrayFlagTip | platform::kTrayFlagInfo;
    data.callbackMessage = 1147;
    data.tip = "Tip";
    data.info = "Text";
    data.infoTitle = "Title";
    data.infoFlags = 1;
    data.timeout = 1000;
    tray->notify(platform::TrayAction::Modify, data);
    tray->notify(platform::TrayAction::Delete, data);
    tray->destroyMenu();
    const std::vector<std::string> expected = {
        "tray menu created",
        "tray menu item 0: id=130 flags=0x1400 \"Show\"",
        "tray menu item 1: id=150 flags=0xc00",
        "tray menu item id=130 disabled",
        "tray menu at 10,20: no notification area, nothing chosen",
        "tray icon modify id=12345 flags=0x15 message=1147 tip=\"Tip\" balloon=\"Title\": \"Text\" info-flags=1 "
        "timeout=1000",
        "tray icon delete id=12345 flags=0x15",
        "tray menu destroyed",
    };
    EXPECT_EQ(lines, expected);
}
