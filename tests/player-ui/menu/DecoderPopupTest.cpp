// The decoder row: the list sorted by name whatever the order given, the decoder in use
// marked and named, unknown names ignored, a pick stored and reported, and the list placed
// under the row when opened.

#include "PlayerUiTestSupport.h"

#include "TestSupport.h"
#include "core/ConfigStore.h"
#include "gui/ImageButton.h"
#include "gui/Table.h"
#include "player-ui/PlayerCommandIds.h"
#include "player-ui/menu/DecoderPopup.h"
#include "player-ui/menu/RightMenuPopupButton.h"

#include <gtest/gtest.h>

using playeruitest::Bench;

namespace {

std::vector<std::string> listedNames(const DecoderPopup& popup) {
    std::vector<std::string> names;
    for (unsigned row = 0; row < popup.list->rows(); ++row)
        names.push_back(static_cast<MenuButton*>(popup.list->cell(0, row)->widget)->text());
    return names;
}

}  // namespace

TEST(DecoderPopup, ListsDecodersByNameAndMarksTheOneInUse) {
    Bench bench;
    DecoderPopup popup(bench.gui.get(), 220, 5);
    EXPECT_FALSE(popup.list);
    popup.toggleList();  // nothing to open yet
    popup.setCurrentDecoder("Software");
    EXPECT_TRUE(popup.currentDecoder.empty()) << "no entries yet";

    popup.setDecoders({"Software", "DXVA", "CUDA"});
    EXPECT_EQ(listedNames(popup), (std::vector<std::string>{"CUDA", "DXVA", "Software"}));
    EXPECT_FALSE(popup.isListVisible());
    popup.setDecoders({"VAAPI", "DXVA"});  // a repeat replaces its entry, nothing is dropped
    EXPECT_EQ(listedNames(popup), (std::vector<std::string>{"CUDA", "DXVA", "Software", "VAAPI"}));

    popup.setCurrentDecoder("DXVA");
    EXPECT_TRUE(popup.entries.at("DXVA")->active);
    EXPECT_EQ(popup.currentDecoder, "DXVA");
    const std::string named = popup.decoderItem->text();
    popup.setCurrentDecoder("VDPAU");
    EXPECT_EQ(popup.currentDecoder, "DXVA");
    EXPECT_EQ(popup.decoderItem->text(), named);
    popup.setCurrentDecoder("CUDA");
    EXPECT_FALSE(popup.entries.at("DXVA")->active);
    EXPECT_TRUE(popup.entries.at("CUDA")->active);
    EXPECT_EQ(popup.entries.at("CUDA")->activeDefaultColour.value(),
              bench.gui->getColor("player-button-active-decoder").value());
}

TEST(DecoderPopup, OpenedListSitsUnderTheRowAndAPickIsStored) {
    testsupport::TempDir dir;
    ConfigStore::instance().setPathAndLoad(dir.file("config.ini"));
    Bench bench(1280, 720);
    DecoderPopup popup(bench.gui.get(), 220, 5);
    popup.x = 600;
    popup.y = 300;
    popup.setDecoders({"Software", "DXVA"});
    bench.frame();
    bench.frame();
    EXPECT_EQ(popup.decoderItem->x, 600);
    EXPECT_EQ(popup.height, popup.decoderItem->height);
    EXPECT_EQ(popup.arrow->x, 600 + popup.decoderItem->width - popup.arrow->width - 10);

    popup.toggleList();
    for (int i = 0; i < 3; ++i)
        bench.frame();
    ASSERT_TRUE(popup.isListVisible());
    EXPECT_EQ(popup.list->x, 600);
    EXPECT_EQ(popup.list->y, 300 + popup.decoderItem->height + 5);
    EXPECT_EQ(popup.height, popup.decoderItem->height + 5 + popup.list->height);

    RightMenuPopupButton& dxva = *popup.entries.at("DXVA");
    bench.clickOn(dxva);
    EXPECT_TRUE(popup.takeChoice());
    EXPECT_FALSE(popup.takeChoice()) << "reading clears it";
    EXPECT_EQ(ConfigStore::instance().getString("Decoder.Last", ""), "DXVA");
    EXPECT_NE(testsupport::readFile(dir.file("config.ini")).find("Last=DXVA"), std::string::npos);

    // Hiding or showing the row closes the list.
    bench.gui->setVisible(&popup, false);
    bench.gui->setVisible(&popup, true);
    EXPECT_FALSE(popup.isListVisible());
    EXPECT_TRUE(popup.decoderItem->isVisible());
}
