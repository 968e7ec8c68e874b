// The message form and its base: the 31-high caption row, rows and buttons built from a
// description, buttons running their tasks once (also when the task ends the form), the
// drag that moves the form and keeps it where it was left, and the text provider.

#include "PlayerUiTestSupport.h"

#include "gui/Button.h"
#include "gui/Static.h"
#include "gui/Table.h"
#include "player-ui/PopupDialogForm.h"

#include <gtest/gtest.h>

using guitest::CountingTask;
using guitest::WidgetBench;
using playeruitest::MetricsTextService;

namespace {

using Commands = std::vector<int>;

DialogButtonDescription buttonOf(const std::string& text, std::shared_ptr<TaskBase> task, int width = 0) {
    DialogButtonDescription b;
    b.text = text;
    b.task = std::move(task);
    b.width = width;
    return b;
}

// A point inside the form that no control covers: the text row, left of the text.
Point freeSpotOf(const PopupDialogForm& form) {
    const Table& t = *form.contentTable;
    return Point{t.x + 3, form.textLabel->y + 2};
}

}  // namespace

TEST(PopupDialogFormBase, HeaderPaddingsMakeTheCaptionRowThirtyOneHigh) {
    struct Case {
        int ascent, descent;
        int top, bottom;
    };
    const Case cases[] = {
        {10, 3, 9, 9},    // line height 13
        {11, 3, 8, 9},    // 14: the odd unit goes below
        {12, 3, 8, 8},    // 15
        {24, 6, 0, 1},    // 30
        {25, 6, 0, 0},    // 31: the caption fills the band
    };
    for (const Case& c : cases) {
        guitest::FakeFontMetrics metrics;
        metrics.ascent = c.ascent;
        metrics.descent = c.descent;
        MetricsTextService service(metrics);
        guitest::RecordingGraphicsContext ctx(900, 450);
        ctx.setTextService(&service);
        guitest::BenchHandler handler;
        PlayerGUI gui(&handler, &ctx);
        gui.loadFontStyles(&ctx, "");
        DialogDescription d;
        d.caption = "Caption";
        d.text = "Body";
        {
            PopupDialogForm form(&gui, d);
            gui.render(&ctx);
            EXPECT_EQ(form.headerPadTop, c.top) << c.ascent + c.descent;
            EXPECT_EQ(form.headerPadBottom, c.bottom) << c.ascent + c.descent;
            EXPECT_EQ(form.contentTable->rowHeight(0), PopupDialogFormBase::kHeaderHeight) << c.ascent + c.descent;
        }
        ctx.flush();
    }
}

TEST(PopupDialogForm, BuildsRowsAndButtonsFromTheDescription) {
    WidgetBench bench(1280, 720);
    auto ok = std::make_shared<CountingTask>();
    DialogDescription d;
    d.caption = "Connection lost";
    d.text = std::string(300, 'w');  // one long word: the text is limited to 700 wide
    d.extraText = "Third line";
    d.buttons = {buttonOf("Yes", ok), buttonOf("A rather long label for a button", nullptr, 120),
                 buttonOf("No", std::make_shared<GUICommandTask>(9), 120)};
    d.buttons[0].hasColour = true;
    d.buttons[0].colour = Color(10, 20, 30, 255);
    PopupDialogForm form(bench.gui.get(), d);
    bench.render();

    const Table& t = *form.contentTable;
    EXPECT_TRUE(form.isModal());
    EXPECT_EQ(t.rows(), 4u);
    ASSERT_TRUE(form.extraLabel);
    ASSERT_TRUE(form.buttonTable);
    EXPECT_EQ(form.buttonTable->columns(), 3u);
    EXPECT_EQ(form.buttonTable->rows(), 1u);
    ASSERT_EQ(form.buttonList.size(), 3u);
    // A width that holds the text is kept; a text longer than its width widens its button
    // (the fake font: 7 per letter, 4 per space).
    EXPECT_EQ(form.buttonList[0]->width, Button::kDefaultWidth);
    EXPECT_EQ(form.buttonList[1]->width, 26 * 7 + 6 * 4 + 2 * PopupDialogForm::kButtonTextMargin);
    EXPECT_EQ(form.buttonList[2]->width, 120);
    // Neighbours are spaced so that their frames, which reach beyond their rectangles, keep
    // a gap between them.
    for (std::size_t i = 0; i + 1 < form.buttonList.size(); ++i) {
        const Button& a = *form.buttonList[i];
        const Button& b = *form.buttonList[i + 1];
        EXPECT_EQ((b.x - Button::kFrameOutset) - (a.x + a.width + Button::kFrameOutset),
                  PopupDialogForm::kButtonSpacing);
    }
    EXPECT_EQ(form.textLabel->width, PopupDialogForm::kTextMaxWidth);
    // Right-aligned button row, 10 in from the form's right edge.
    EXPECT_EQ(form.buttonTable->x + form.buttonTable->width, t.x + t.width - 10);
    // Opened centred; the first draw pinned the position.
    EXPECT_EQ(t.x, 1280 / 2 - t.width / 2);
    EXPECT_EQ(t.y, 720 / 2 - t.height / 2);
    EXPECT_EQ(t.horizontalAlign, 0);
    EXPECT_EQ(t.verticalAlign, 0);
    for (Widget* w : {static_cast<Widget*>(&form), static_cast<Widget*>(form.captionLabel.get()),
                      static_cast<Widget*>(form.textLabel.get()), static_cast<Widget*>(form.buttonList[2].get())})
        EXPECT_EQ(w->z, PopupDialogForm::kZOrder);
    // The labels take no input, so a press on them drags the form.
    EXPECT_FALSE(form.captionLabel->isEnabled());
    EXPECT_FALSE(form.textLabel->isEnabled());

    // A coloured button shows its colour normally and when hovered.
    Button& coloured = *form.buttonList[0];
    EXPECT_EQ(playeruitest::drawnBy(coloured, bench.ctx)[0].color, Color(10, 20, 30, 255).value());
    bench.move(coloured.x + 5, coloured.y + 5);
    EXPECT_TRUE(coloured.isHighlighted());
    EXPECT_EQ(playeruitest::drawnBy(coloured, bench.ctx)[0].color, Color(10, 20, 30, 255).value());

    // Without extra text and buttons: two rows and nothing else.
    DialogDescription plain;
    plain.caption = "Caption";
    PopupDialogForm bare(bench.gui.get(), plain);
    EXPECT_EQ(bare.contentTable->rows(), 2u);
    EXPECT_FALSE(bare.extraLabel);
    EXPECT_FALSE(bare.buttonTable);
}

TEST(PopupDialogForm, EachButtonRunsItsTaskOnceEvenWhenTheTaskEndsTheForm) {
    WidgetBench bench(1280, 720);
    auto counted = std::make_shared<CountingTask>();
    auto closing = std::make_shared<CountingTask>();
    DialogDescription d;
    d.caption = "Caption";
    d.text = "Text";
    d.buttons = {buttonOf("Count", counted), buttonOf("Send", std::make_shared<GUICommandTask>(9)),
                 buttonOf("Nothing", nullptr), buttonOf("Close", closing)};
    auto form = std::make_shared<PopupDialogForm>(bench.gui.get(), d);
    bench.render();
    auto clickButton = [&](std::size_t i) {
        Button& b = *form->buttonList[i];
        bench.click(b.x + b.width / 2, b.y + b.height / 2);
    };

    clickButton(0);
    clickButton(1);
    clickButton(2);
    EXPECT_EQ(counted->runs, 1);
    EXPECT_EQ(bench.handler.commands, (Commands{9}));

    // The close button's task releases the form inside the click (as the dialog manager's
    // close does); the click must unwind without touching it.
    closing->action = [&] { form.reset(); };
    clickButton(3);
    EXPECT_EQ(closing->runs, 1);
    EXPECT_FALSE(form);
    EXPECT_EQ(bench.gui->widgetCount(), 0u);
    bench.render();
    EXPECT_EQ(counted->runs, 1);
    EXPECT_EQ(bench.handler.commands, (Commands{9}));
}

namespace {

class CountingForm : public PopupDialogFormBase {
public:
    CountingForm(PlayerGUI* gui, Table* content) : PopupDialogFormBase(gui) {
        contentTable = std::shared_ptr<Table>(content, [](Table*) {});
    }
    void onMoved() override { ++moves; }
    int moves = 0;
};

// A bare form over a 200 x 80 content table at (100, 50).
struct BareForm {
    BareForm() : content(bench.gui.get(), 1, 1), form(bench.gui.get(), &content) {
        content.x = 100;
        content.y = 50;
        content.width = 200;
        content.height = 80;
    }
    WidgetBench bench;
    Table content;
    CountingForm form;
};

}  // namespace

TEST(PopupDialogFormBase, HitsItsContentWithRightAndBottomEdgesExcluded) {
    BareForm bare;
    struct Case {
        int x, y;
        bool hit;
    };
    const Case cases[] = {{100, 50, true}, {299, 129, true}, {300, 100, false}, {200, 130, false},
                          {99, 100, false}, {150, 49, false}};
    for (const Case& c : cases)
        EXPECT_EQ(bare.form.hitTest(c.x, c.y), c.hit) << c.x << "," << c.y;
}

TEST(PopupDialogFormBase, DragMovesTheFormWhichKeepsItsPlaceUntilRebuilt) {
    WidgetBench bench(1280, 720);
    DialogDescription d;
    d.caption = "Caption";
    d.text = "Some text to hold on to";
    d.buttons = {buttonOf("OK", nullptr)};
    auto form = std::make_shared<PopupDialogForm>(bench.gui.get(), d);
    bench.render();
    const Table& t = *form->contentTable;
    const Point centred{t.x, t.y};
    const Point grab = freeSpotOf(*form);

    // A right press does not drag.
    bench.move(grab.x, grab.y);
    bench.press(1);
    EXPECT_FALSE(bench.gui->isCaptured(form.get()));
    bench.release(1);

    bench.move(grab.x, grab.y);
    bench.press();
    EXPECT_TRUE(bench.gui->isCaptured(form.get()));
    bench.move(grab.x + 30, grab.y - 10);
    bench.move(grab.x + 50, grab.y + 5);
    bench.release();
    EXPECT_FALSE(bench.gui->isCaptured(form.get()));
    EXPECT_EQ(t.x, centred.x + 50);
    EXPECT_EQ(t.y, centred.y + 5);
    // Laid out again, the form and its children stay where the drag left them.
    for (int i = 0; i < 3; ++i)
        bench.render();
    EXPECT_EQ(t.x, centred.x + 50);
    EXPECT_EQ(t.y, centred.y + 5);
    EXPECT_EQ(form->buttonList[0]->x + form->buttonList[0]->width, t.x + t.width - 10);
    EXPECT_EQ(bench.handler.commands, Commands{});

    // The dialog manager rebuilds a form: the new one opens centred again.
    form = std::make_shared<PopupDialogForm>(bench.gui.get(), d);
    bench.render();
    EXPECT_EQ(form->contentTable->x, centred.x);
    EXPECT_EQ(form->contentTable->y, centred.y);
}

TEST(PopupDialogFormBase, EveryDragStepIsReported) {
    BareForm bare;
    WidgetBench& bench = bare.bench;
    bench.render();
    bench.move(150, 60);
    bench.press();
    bench.move(160, 70);
    bench.move(130, 40);
    bench.release();
    bench.move(300, 300);  // not captured any more: no step
    EXPECT_EQ(bare.form.moves, 2);
    EXPECT_EQ(bare.content.x, 80);
    EXPECT_EQ(bare.content.y, 30);
}

namespace {

// Counts down: "3", "2", "1" while changing, then "Done" for good.
class CountdownProvider : public DialogTextProvider {
public:
    bool getText(std::string& out) override {
        if (left > 0) {
            out = std::to_string(left--);
            return true;
        }
        out = "Done";
        return false;
    }
    int left = 3;
};

}  // namespace

TEST(PopupDialogForm, TextProviderReplacesTheTextAndShowsTheButtonsAtTheEnd) {
    WidgetBench bench;
    DialogDescription d;
    d.caption = "Caption";
    d.text = "Initial";
    d.buttons = {buttonOf("OK", nullptr)};
    d.textProvider = std::make_shared<CountdownProvider>();
    PopupDialogForm form(bench.gui.get(), d);
    EXPECT_FALSE(form.buttonTable->isVisible());
    EXPECT_FALSE(form.buttonList[0]->isVisible());

    const char* expected[] = {"3", "2", "1"};
    for (const char* text : expected) {
        form.tick(0.0);
        EXPECT_EQ(form.textLabel->currentText(), text);
        EXPECT_FALSE(form.buttonTable->isVisible());
    }
    form.tick(0.0);
    EXPECT_EQ(form.textLabel->currentText(), "Done");
    EXPECT_TRUE(form.buttonTable->isVisible());
    EXPECT_TRUE(form.buttonList[0]->isVisible());
}
