// The choice form and its drop-down: hidden until shown, centred on every opening, yes and
// no with the pick rule, picking an item, the chooser's geometry and when its list opens
// and closes.

#include "PlayerUiTestSupport.h"

#include "core/LanguageStore.h"
#include "gui/Button.h"
#include "gui/ImageButton.h"
#include "gui/OldList.h"
#include "gui/Static.h"
#include "gui/Table.h"
#include "player-ui/PopupTable.h"
#include "player-ui/UniqueDialogBase.h"
#include "player-ui/UniqueDialogBaseUITask.h"

#include <gtest/gtest.h>

#include <map>

using playeruitest::MinutesDialog;

namespace {

using Commands = std::vector<int>;
constexpr int kYesCommand = MinutesDialog::kYesCommand;
constexpr int kCommandNone = 126;

// What reached the window apart from the no-op 126 of the chooser's value and arrow and of
// the no button.
Commands acted(const Commands& all) {
    Commands out;
    for (int id : all)
        if (id != kCommandNone)
            out.push_back(id);
    return out;
}

struct Bench : playeruitest::Bench {
    Bench() : playeruitest::Bench(1280, 720) {}
};

// The idle-timeout dialog's way: the minutes are the items' indices.
struct OpenDialog {
    OpenDialog()
        : dialog(bench.gui.get(), "How long may an idle machine keep running?", "Idle timeout",
                 {{-1, "None"}, {5, "5 minutes"}, {10, "10 minutes"}}) {
        dialog.setVisible(true);
        bench.frame();
    }
    Bench bench;
    MinutesDialog dialog;
};

}  // namespace

TEST(UniqueDialogBase, StartsHiddenAndEveryOpeningIsCentred) {
    Bench bench;
    MinutesDialog dialog(bench.gui.get(), "How long may an idle machine keep running?", "Idle timeout",
                         {{-1, "None"}, {5, "5 minutes"}, {10, "10 minutes"}});
    const Widget* parts[] = {&dialog, dialog.chooser.get(), dialog.captionLabel.get(), dialog.buttonRow.get(),
                             dialog.yesButton.get(), dialog.noButton.get(), dialog.chooser->valueButton.get(),
                             dialog.chooser->list.get(), dialog.items[0].get()};
    for (const Widget* part : parts) {
        EXPECT_FALSE(part->isVisible());
        EXPECT_EQ(part->z, 1000);
    }
    EXPECT_TRUE(dialog.isModal());
    EXPECT_EQ(dialog.yesButton->text(), LanguageStore::instance().text("text_selectos_btn_yes"));
    EXPECT_EQ(dialog.noButton->text(), LanguageStore::instance().text("text_selectos_btn_no"));

    dialog.setVisible(true);
    bench.frame();
    for (const Widget* part : parts)
        EXPECT_EQ(part->isVisible(), part != dialog.chooser->list.get() && part != dialog.items[0].get());
    const Table& t = *dialog.contentTable;
    EXPECT_EQ(t.x, 1280 / 2 - t.width / 2);
    EXPECT_EQ(t.y, 720 / 2 - t.height / 2);
    EXPECT_EQ(t.rowHeight(0), PopupDialogFormBase::kHeaderHeight);
    EXPECT_EQ(dialog.chooser->valueButton->text(), "Idle timeout");

    // Dragged away, hidden and shown again: back in the centre.
    bench.move(t.x + 2, t.y + 2);
    bench.press();
    bench.move(t.x + 102, t.y + 42);
    bench.release();
    bench.frame();
    EXPECT_EQ(t.x, 1280 / 2 - t.width / 2 + 100);
    dialog.setVisible(false);
    bench.frame();
    dialog.setVisible(true);
    bench.frame();
    EXPECT_EQ(t.x, 1280 / 2 - t.width / 2);
    EXPECT_EQ(t.y, 720 / 2 - t.height / 2);
}

TEST(UniqueDialogBase, YesClosesOnlyAfterAPickAndNoAlwaysCloses) {
    OpenDialog opened;
    Bench& bench = opened.bench;
    MinutesDialog& dialog = opened.dialog;

    // Yes before a pick: its command goes out, the form stays, and the click is used up.
    bench.clickOn(*dialog.yesButton);
    EXPECT_EQ(bench.handler.commands, (Commands{kYesCommand}));
    EXPECT_FALSE(dialog.tick(0.0));
    EXPECT_FALSE(dialog.yesButton->takeClicked());
    EXPECT_TRUE(dialog.isVisible());

    bench.clickOn(*dialog.noButton);
    EXPECT_TRUE(dialog.tick(0.0));
    for (const Widget* part : {static_cast<const Widget*>(&dialog), static_cast<const Widget*>(dialog.chooser.get()),
                               static_cast<const Widget*>(dialog.yesButton.get()),
                               static_cast<const Widget*>(dialog.noButton.get()),
                               static_cast<const Widget*>(dialog.captionLabel.get())})
        EXPECT_FALSE(part->isVisible());

    // Picked, then yes: the command and the form closes.
    dialog.setVisible(true);
    bench.frame();
    bench.clickOn(*dialog.chooser->valueButton);
    bench.frame();
    bench.clickOn(dialog.itemOf(5));
    bench.frame();
    bench.clickOn(*dialog.yesButton);
    EXPECT_EQ(acted(bench.handler.commands), (Commands{kYesCommand, kYesCommand}));
    bench.frame();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(dialog.chooser->list->isVisible());
}

TEST(UniqueDialogBase, APickShowsTheItemUntilTheFormOpensAgain) {
    OpenDialog opened;
    Bench& bench = opened.bench;
    MinutesDialog& dialog = opened.dialog;
    PopupTable& chooser = *dialog.chooser;

    bench.clickOn(*chooser.valueButton);
    bench.frame();
    ASSERT_TRUE(chooser.list->isVisible());
    bench.clickOn(dialog.itemOf(10));
    EXPECT_EQ(dialog.chosen, (std::vector<int>{10}));
    EXPECT_TRUE(dialog.valueChosen);
    EXPECT_FALSE(chooser.list->isVisible());
    for (const auto& item : dialog.items)
        EXPECT_FALSE(item->isVisible());
    EXPECT_EQ(chooser.valueButton->text(), "10 minutes");
    EXPECT_EQ(chooser.pendingValue, "10 minutes");
    // Nothing went to the window: the item reported through its task.
    EXPECT_EQ(acted(bench.handler.commands), Commands{});

    // Reopened later, the chooser first shows the committed value, not the pick...
    dialog.setVisible(false);
    dialog.setVisible(true);
    EXPECT_EQ(chooser.valueButton->text(), "Idle timeout");
    // ...until the owner commits one.
    dialog.setValueText("5 minutes");
    dialog.setVisible(true);
    EXPECT_EQ(chooser.valueButton->text(), "5 minutes");
    EXPECT_TRUE(dialog.valueChosen);
}

TEST(PopupTable, BuildsAFramedValueWithTheArrowAndTheListBelow) {
    OpenDialog opened;
    Bench& bench = opened.bench;
    MinutesDialog& dialog = opened.dialog;
    PopupTable& c = *dialog.chooser;
    const Button& value = *c.valueButton;
    const ImageButton& arrow = *c.arrowButton;

    EXPECT_EQ(arrow.width, 18);
    EXPECT_EQ(arrow.height, 9);
    EXPECT_EQ(c.width, 18 + 200 + 2 * (1 + 2));
    EXPECT_EQ(c.height, value.height + 2 * (1 + 2));
    EXPECT_EQ(value.x, c.x + 3);
    EXPECT_EQ(value.y, c.y + 3);
    EXPECT_EQ(value.width, 200);
    EXPECT_EQ(value.centerContent, 0);
    EXPECT_EQ(value.contentOffsetX, 10);
    EXPECT_EQ(arrow.x, c.x + 200);
    EXPECT_EQ(arrow.y, value.y + value.height / 2 - 9 / 2);

    bench.clickOn(arrow);
    bench.frame();
    const OldList& list = *c.list;
    ASSERT_TRUE(list.isVisible());
    EXPECT_EQ(list.x, c.x);
    EXPECT_EQ(list.y, c.y + c.height);
    EXPECT_EQ(list.width, c.width);
    EXPECT_EQ(list.padding, 2);
    // Items: inset by the text inset, sized to the list, left-aligned on the list colour.
    const Button& first = *dialog.items[0];
    EXPECT_TRUE(first.isVisible());
    EXPECT_EQ(first.x, c.x + 10);
    EXPECT_EQ(first.width, c.width - 2 * (10 + 2));
    EXPECT_EQ(first.centerContent, 0);
    EXPECT_EQ(playeruitest::drawnBy(const_cast<Button&>(first), bench.ctx)[0].color,
              bench.gui->getColor("modal-panel-body-na").value());

    // The frame: four bands of the border width in the frame colour.
    const std::vector<Vertex> frame = playeruitest::drawnBy(c, bench.ctx);
    ASSERT_EQ(frame.size(), 16u);
    EXPECT_EQ(frame[0].color, bench.gui->getColor("button-default").value());
    EXPECT_EQ(playeruitest::quadAt(frame, 0).height, 2);
}

TEST(PopupTable, ValueAndArrowToggleTheListAndAPressOnNothingClosesIt) {
    OpenDialog opened;
    Bench& bench = opened.bench;
    MinutesDialog& dialog = opened.dialog;
    Button elsewhere(bench.gui.get(), "Elsewhere", 0);
    elsewhere.x = 10;
    elsewhere.y = 600;
    bench.frame();
    PopupTable& c = *dialog.chooser;
    auto open = [&] { return c.list->isVisible() && dialog.items[2]->isVisible(); };

    struct Step {
        const char* what;
        std::function<void()> act;
        bool openAfter;
    };
    const Step steps[] = {
        {"value opens", [&] { bench.clickOn(*c.valueButton); }, true},
        {"value closes", [&] { bench.clickOn(*c.valueButton); }, false},
        {"arrow opens", [&] { bench.clickOn(*c.arrowButton); }, true},
        {"arrow closes", [&] { bench.clickOn(*c.arrowButton); }, false},
        {"arrow opens again", [&] { bench.clickOn(*c.arrowButton); }, true},
        {"a press on another widget leaves it open", [&] { bench.clickOn(elsewhere); }, true},
        {"a press on nothing closes it", [&] { bench.click(5, 5); }, false},
        {"value opens again", [&] { bench.clickOn(*c.valueButton); }, true},
        {"a drag of the form closes it",
         [&] {
             const Table& t = *dialog.contentTable;
             bench.move(t.x + 2, t.y + 2);
             bench.press();
             bench.move(t.x + 4, t.y + 2);
             bench.release();
         },
         false},
    };
    for (const Step& s : steps) {
        s.act();
        bench.frame();
        EXPECT_EQ(open(), s.openAfter) << s.what;
    }
    // Hiding the chooser takes an open list with it.
    bench.clickOn(*c.valueButton);
    bench.frame();
    ASSERT_TRUE(open());
    c.setVisible(false);
    EXPECT_FALSE(c.list->isVisible());
    EXPECT_FALSE(dialog.items[0]->isVisible());
}

TEST(PopupTable, DrawnArrowIsATriangleInAFilledSquare) {
    Bench bench;
    PopupTable c(bench.gui.get(), "Value", true);
    c.x = 100;
    c.y = 100;
    c.build();
    EXPECT_FALSE(c.arrowButton->isVisible());
    EXPECT_EQ(c.valueButton->width, 18 + 200);
    EXPECT_EQ(c.valueButton->height, Button::kDefaultHeight * 7 / 10);
    const int h = Button::kDefaultHeight * 7 / 10 + 6;
    EXPECT_EQ(c.height, h);
    c.setVisible(true);
    EXPECT_FALSE(c.arrowButton->isVisible());  // the drawn arrow replaces the picture

    const std::vector<Vertex> v = playeruitest::drawnBy(c, bench.ctx);
    ASSERT_EQ(v.size(), 4u * 5 + 3);  // frame, square, triangle
    const Rect square = playeruitest::quadAt(v, 16);
    EXPECT_EQ(square.x, 300);
    EXPECT_EQ(square.width, h);
    EXPECT_EQ(v[20].color, bench.gui->getColor("tutorial").value());
    EXPECT_EQ(v[20].x, 300.0f + 8);
    EXPECT_EQ(v[20].y, 100.0f + 5 * h / 12);
    EXPECT_EQ(v[22].y, 100.0f + 2 * h / 3);
}

TEST(UniqueDialogBaseUITask, ReportsItsIndexToTheTarget) {
    struct Recorder : IIndexSelectable {
        void onIndexSelected(std::int32_t index) override { seen.push_back(index); }
        std::vector<int> seen;
    } recorder;
    for (int index : {0, 7, -1})
        EXPECT_TRUE(UniqueDialogBaseUITask(&recorder, index).run());
    EXPECT_EQ(recorder.seen, (std::vector<int>{0, 7, -1}));
    EXPECT_FALSE(UniqueDialogBaseUITask(nullptr, 3).run());
}
