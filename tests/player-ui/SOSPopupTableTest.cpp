// The data-centre chooser: its flat value button with the arrow inside, a window of four
// items that scrolls by half the wheel offset, and the colours its owner gives it.

#include "PlayerUiTestSupport.h"

#include "gui/Button.h"
#include "gui/ImageButton.h"
#include "gui/List.h"
#include "player-ui/SOSPopupTable.h"
#include "player-ui/UniqueDialogBaseUITask.h"

#include <gtest/gtest.h>

using playeruitest::Bench;

namespace {

struct Picks : IIndexSelectable {
    void onIndexSelected(std::int32_t index) override { seen.push_back(index); }
    std::vector<int> seen;
};

struct Chooser {
    explicit Chooser(Bench& bench) : chooser(bench.gui.get(), "Choose a data centre", false) {
        chooser.x = 40;
        chooser.y = 30;
        chooser.buildContent();
        chooser.setFrameColour(bench.gui->getColor("transparent"));
        chooser.setListValue(3);
        chooser.setListBackgroundColor(bench.gui->getColor("white"));
        for (int i = 0; i < 6; ++i) {
            auto item = std::make_shared<Button>(bench.gui.get(), "Centre " + std::to_string(i), 0);
            item->setCommandTask(std::make_shared<UniqueDialogBaseUITask>(&picks, i));
            item->width = 270;
            item->height = 40;
            chooser.addItem(item.get(), true);
            items.push_back(std::move(item));
        }
        chooser.setVisible(true);
    }
    std::vector<int> visibleItems() const {
        std::vector<int> out;
        for (std::size_t i = 0; i < items.size(); ++i)
            if (items[i]->isVisible())
                out.push_back(int(i));
        return out;
    }
    Picks picks;
    SOSPopupTable chooser;
    std::vector<std::shared_ptr<Button>> items;
};

}  // namespace

TEST(SOSPopupTable, FlatValueWithTheArrowInsideAndTheOwnersColours) {
    Bench bench;
    Chooser c(bench);
    bench.render();
    SOSPopupTable& s = c.chooser;
    EXPECT_EQ(s.width, 270);
    EXPECT_EQ(s.height, 55);
    EXPECT_EQ(s.valueButton->x, 40);
    EXPECT_EQ(s.valueButton->width, 270);
    EXPECT_EQ(s.valueButton->height, 55);
    EXPECT_EQ(s.valueButton->filledLook, 1);
    EXPECT_EQ(s.valueButton->contentOffsetX, 20);
    EXPECT_TRUE(s.arrowButton->isVisible());
    EXPECT_EQ(s.arrowButton->x, 40 + 270 - 18 - 10);
    EXPECT_EQ(s.arrowButton->y, 30 + 55 / 2 - 9 / 2);
    // The value button: a white fill with its text in "so-blue-hover".
    EXPECT_EQ(playeruitest::drawnBy(*s.valueButton, bench.ctx)[0].color, bench.gui->getColor("white").value());
    EXPECT_EQ(bench.ctx.textColor(), bench.gui->getColor("so-blue-hover").value());

    const List& list = *s.list;
    EXPECT_EQ(s.borderWidth, 3);
    EXPECT_EQ(list.padding, 3);
    EXPECT_EQ(list.visibleCount, 4);
    EXPECT_EQ(list.borderColor, bench.gui->getColor("transparent"));
    EXPECT_EQ(list.markerColor, bench.gui->getColor("so-blue-hover"));
    EXPECT_EQ(s.listColour, bench.gui->getColor("white"));
    // Styled items: the list colour, left-aligned text at the text inset.
    EXPECT_EQ(c.items[0]->centerContent, 0);
    EXPECT_EQ(c.items[0]->contentOffsetX, 20);
}

TEST(SOSPopupTable, OpensFourRowsScrollsByHalfTheWheelAndReportsThePick) {
    Bench bench;
    Chooser c(bench);
    SOSPopupTable& s = c.chooser;
    bench.frame();
    EXPECT_FALSE(s.isListVisible());
    bench.click(s.valueButton->x + 5, s.valueButton->y + 5);
    bench.frame();
    ASSERT_TRUE(s.isListVisible());
    EXPECT_EQ(c.visibleItems(), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(s.list->y, 30 + 55);
    EXPECT_EQ(c.items[0]->y, 30 + 55 + 3);

    struct Step {
        int wheel;
        std::vector<int> visible;
    };
    const Step steps[] = {
        {-2, {1, 2, 3, 4}},  // wheel down by 2: one row
        {-8, {2, 3, 4, 5}},  // four rows wanted, two left
        {3, {1, 2, 3, 4}},   // up by 3: one row (integer half)
        {40, {0, 1, 2, 3}},
    };
    for (const Step& step : steps) {
        s.scrollList(step.wheel);
        bench.frame();
        EXPECT_EQ(c.visibleItems(), step.visible) << step.wheel;
    }

    bench.click(c.items[2]->x + 5, c.items[2]->y + 5);
    EXPECT_EQ(c.picks.seen, (std::vector<int>{2}));
    // The owner closes the list and shows the pick.
    s.hideList();
    s.setSelectedText("Centre 2");
    bench.frame();
    EXPECT_FALSE(s.isListVisible());
    EXPECT_EQ(c.visibleItems(), std::vector<int>{});
    EXPECT_EQ(s.valueButton->text(), "Centre 2");
    bench.click(s.arrowButton->x + 2, s.arrowButton->y + 2);
    bench.frame();
    EXPECT_TRUE(s.isListVisible());
}
