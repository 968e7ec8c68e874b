// Buttons on a recording context: states through press, move and release, keyboard
// activation, dragging with its 10-pixel threshold and snap zone, commands sent exactly once,
// check boxes, image buttons and table buttons.

#include "WidgetTestSupport.h"

#include "gui/Button.h"
#include "gui/CheckBox.h"
#include "gui/ImageButton.h"
#include "gui/Static.h"
#include "gui/TableButton.h"

#include <gtest/gtest.h>

using guitest::CountingTask;
using guitest::WidgetBench;
using guitest::kKeyEnter;
using guitest::kKeySpace;

namespace {

using Commands = std::vector<int>;

// A button at (100, 100), 106 x 34.
std::shared_ptr<Button> makeButton(WidgetBench& bench, int id) {
    auto b = std::make_shared<Button>(bench.gui.get(), "OK", id, bench.font);
    b->x = 100;
    b->y = 100;
    return b;
}

}  // namespace

TEST(Button, PressMoveAndReleaseDecideTheClick) {
    WidgetBench bench;
    auto button = makeButton(bench, 7);
    EXPECT_EQ(button->width, 106);
    EXPECT_EQ(button->height, 34);
    EXPECT_TRUE(button->isFocusable());
    bench.render();

    bench.move(110, 110);
    EXPECT_TRUE(button->isHighlighted());
    bench.press();
    EXPECT_TRUE(button->isDown());
    EXPECT_EQ(bench.gui->focused(), button.get());
    bench.move(50, 50);  // the pressed look follows the pointer out...
    EXPECT_FALSE(button->isDown());
    EXPECT_TRUE(bench.gui->isCaptured(button.get()));
    bench.move(120, 120);  // ...and back in
    EXPECT_TRUE(button->isDown());
    bench.move(50, 50);
    bench.release();  // released outside: no command
    EXPECT_TRUE(bench.handler.commands.empty());
    EXPECT_FALSE(button->takeClicked());
    EXPECT_FALSE(button->isHighlighted());

    bench.click(150, 110);
    EXPECT_EQ(bench.handler.commands, (Commands{7}));
    EXPECT_TRUE(button->takeClicked());
    EXPECT_FALSE(button->takeClicked());  // the latch clears when read

    // Right and middle presses are handled and change nothing.
    EXPECT_TRUE(bench.gui->onMouseButton(2, true));
    EXPECT_TRUE(bench.gui->onMouseButton(1, true));
    EXPECT_FALSE(button->isDown());
    EXPECT_FALSE(bench.gui->isCaptured(button.get()));
    EXPECT_TRUE(bench.gui->onMouseButton(2, false));
    EXPECT_EQ(bench.handler.commands.size(), 1u);

    // Losing the focus while pressed drops the pressed look and the capture.
    bench.press();
    button->onBlur();
    EXPECT_FALSE(button->isDown());
    EXPECT_FALSE(bench.gui->isCaptured(button.get()));
    bench.release();
    EXPECT_EQ(bench.handler.commands.size(), 1u);

    // A new task replaces the command.
    auto task = std::make_shared<CountingTask>();
    button->setCommandTask(task);
    bench.click(150, 110);
    EXPECT_EQ(task->runs, 1);
    EXPECT_EQ(bench.handler.commands.size(), 1u);
}

TEST(Button, SpaceAndEnterActivateTheFocusedButtonOnRelease) {
    WidgetBench bench;
    auto button = makeButton(bench, 3);
    Static other(bench.gui.get(), "x", 0, bench.font);
    bench.render();

    bench.gui->setFocus(button.get(), 0);
    EXPECT_TRUE(bench.key(kKeySpace, 1));
    EXPECT_TRUE(button->isDown());
    EXPECT_EQ(bench.gui->focusShown(), 1);
    EXPECT_TRUE(bench.key(kKeySpace, 2));  // repeat
    EXPECT_TRUE(bench.handler.commands.empty());
    EXPECT_TRUE(bench.key(kKeySpace, 0));
    EXPECT_FALSE(button->isDown());
    EXPECT_EQ(bench.handler.commands, (Commands{3}));
    EXPECT_FALSE(button->takeClicked());  // the keyboard leaves the latch alone

    // The release fires even when the press went to another widget.
    bench.gui->setFocus(&other, 0);
    bench.key(kKeyEnter, 1);
    bench.gui->setFocus(button.get(), 0);
    EXPECT_TRUE(bench.key(kKeyEnter, 0));
    EXPECT_EQ(bench.handler.commands, (Commands{3, 3}));

    EXPECT_FALSE(bench.key('A', 1));
    bench.gui->setEnabled(button.get(), false);
    bench.gui->setFocus(button.get(), 0);
    EXPECT_FALSE(bench.key(kKeySpace, 0));
    EXPECT_EQ(bench.handler.commands.size(), 2u);
}

TEST(Button, DraggingMovesPastTenPixelsAndSnaps) {
    WidgetBench bench;
    auto button = makeButton(bench, 9);
    button->draggable = 1;
    button->horizontalAlign = 3;
    bench.render();
    ASSERT_EQ(button->x, 397);  // centred by layout until dragged
    button->x = 100;

    // 10 pixels on both axes is not a drag: the button stays and clicks.
    bench.move(110, 110);
    bench.press();
    bench.move(120, 120);
    EXPECT_EQ(button->x, 100);
    EXPECT_EQ(button->y, 100);
    EXPECT_EQ(button->horizontalAlign, 0);
    bench.release();
    EXPECT_EQ(bench.handler.commands, (Commands{9}));

    // 11 pixels: it jumps and no longer clicks. (The drag origin kept the small move above.)
    button->setX(100);
    button->setY(100);
    bench.move(110, 110);
    bench.press();
    bench.move(121, 110);
    EXPECT_EQ(button->x, 111);
    EXPECT_EQ(button->y, 100);
    EXPECT_FALSE(button->isDown());
    // Small moves accumulate until they pass the threshold again.
    bench.move(126, 110);
    EXPECT_EQ(button->x, 111);
    bench.move(132, 110);
    EXPECT_EQ(button->x, 122);
    // Clamped into the window.
    bench.move(2000, 2000);
    EXPECT_EQ(button->x, 900 - 106);
    EXPECT_EQ(button->y, 450 - 34);
    bench.release();
    EXPECT_EQ(bench.handler.commands.size(), 1u);

    // Dropped wholly inside the snap zone, it centres on the snap point.
    button->setX(100);
    button->setY(100);
    button->snapEnabled = 1;
    button->snapZoneX = 300;
    button->snapZoneY = 50;
    button->snapZoneWidth = 200;
    button->snapZoneHeight = 200;
    button->snapX = 600;
    button->snapY = 400;
    bench.render();
    bench.move(110, 110);
    bench.press();
    bench.move(320, 110);  // new position (310, 100): inside the zone
    EXPECT_EQ(button->x, 600 - 53);
    EXPECT_EQ(button->y, 400 - 17);
    bench.release();

    // The keyboard click of a dragged button makes its position the drag origin.
    bench.gui->setFocus(button.get(), 0);
    bench.key(kKeySpace, 0);
    EXPECT_EQ(button->dragX, button->x);
    EXPECT_EQ(button->dragY, button->y);
}

TEST(Button, CommandThatDestroysTheButtonIsSentOnce) {
    WidgetBench bench;
    std::shared_ptr<Button> button = makeButton(bench, 5);
    auto check = std::make_shared<CheckBox>(bench.gui.get(), "opt", 6, bench.font);
    check->x = 300;
    check->y = 300;
    bench.handler.hook = [&](int id) {
        if (id == 5)
            button.reset();
        if (id == 6)
            check.reset();
    };
    bench.render();

    bench.click(110, 110);
    EXPECT_EQ(button, nullptr);
    EXPECT_EQ(bench.gui->hovered(), nullptr);
    EXPECT_EQ(bench.gui->captured(), nullptr);

    bench.move(302, 305);
    bench.gui->setFocus(check.get(), 0);
    EXPECT_TRUE(bench.key(kKeySpace, 0));
    EXPECT_EQ(check, nullptr);
    EXPECT_EQ(bench.gui->focused(), nullptr);
    EXPECT_EQ(bench.handler.commands, (Commands{5, 6}));
    bench.render();  // nothing left behind points at the destroyed widgets
}

TEST(Button, DrawsFrameTextAndDisabledGrey) {
    WidgetBench bench;
    auto button = makeButton(bench, 1);
    button->setColor(Color(0xff112233u));
    button->setHoverTextColor(Color(0xff00ff00u));
    bench.render();
    bench.ctx.clearRecords();
    const int before = bench.ctx.batchVertexCount();
    button->draw(&bench.ctx);
    const Vertex* v = bench.ctx.batchVertices() + before;
    // Nine frame cells tinted with the background, then two glyphs of "OK".
    EXPECT_EQ(bench.ctx.batchVertexCount() - before, (9 + 2) * 4);
    EXPECT_EQ(v[0].color, 0xff112233u);
    EXPECT_EQ(v[0].x, 95.0f);  // the frame grows by 5 on every side
    EXPECT_EQ(v[9 * 4].color, 0xffffffffu);
    // "OK" is 14 x 13, centred: x = 100 + (106 - 14) / 2, y = 100 + 17 - 6; plus the bearing.
    EXPECT_EQ(v[9 * 4].x, float(146 + 1));

    bench.move(110, 110);  // hovered: hover text colour
    button->draw(&bench.ctx);
    EXPECT_EQ(bench.ctx.textColor(), 0xff00ff00u);
    bench.gui->setEnabled(button.get(), false);
    button->draw(&bench.ctx);
    EXPECT_EQ(bench.ctx.textColor(), 0xff7f7f7fu);

    // Filled look with an icon: fill, frame, icon, text; the content is centred together.
    bench.gui->setEnabled(button.get(), true);
    button->filledLook = 1;
    button->setIcon(bench.gui->getSurface("images"), 0, 0, 20, 10, 1.0f, 6);
    const int filled = bench.ctx.batchVertexCount();
    button->draw(&bench.ctx);
    v = bench.ctx.batchVertices() + filled;
    EXPECT_EQ(bench.ctx.batchVertexCount() - filled, (1 + 9 + 1 + 2) * 4);
    EXPECT_EQ(v[0].x, 100.0f);  // the fill covers the button itself
    const Vertex* icon = v + 10 * 4;
    EXPECT_EQ(icon->x, float(100 + (106 - 20 - 6 - 14) / 2));
    EXPECT_EQ(icon->y, float(117 - 5 + 1));
}

TEST(CheckBox, TogglesThenSendsItsCommand) {
    WidgetBench bench;
    CheckBox box(bench.gui.get(), "Remember me", 42, bench.font, Color(0xffffffffu));
    EXPECT_EQ(box.width, 10 * 7 + 4 + 20);  // ten letters, a space, the box and its gap
    EXPECT_EQ(box.height, 17);
    box.x = 10;
    box.y = 10;
    // The command's handler reads the new state.
    std::vector<bool> seen;
    bench.handler.hook = [&](int) { seen.push_back(box.isChecked()); };
    bench.render();
    bench.click(12, 12);
    bench.gui->setFocus(&box, 0);
    bench.key(kKeySpace, 1);
    bench.key(kKeySpace, 0);
    bench.key(kKeyEnter, 0);
    EXPECT_EQ(seen, (std::vector<bool>{true, false, true}));
    EXPECT_EQ(bench.handler.commands, (Commands{42, 42, 42}));

    // setChecked sends nothing.
    box.setChecked(false);
    EXPECT_EQ(seen.size(), 3u);

    // On a form where Enter submits, Enter passes the box by: only Space toggles it.
    box.setEnterToggles(false);
    EXPECT_FALSE(bench.key(kKeyEnter, 1));
    EXPECT_FALSE(bench.key(kKeyEnter, 0));
    EXPECT_FALSE(box.isChecked());
    EXPECT_TRUE(bench.key(kKeySpace, 1));
    EXPECT_TRUE(bench.key(kKeySpace, 0));
    EXPECT_TRUE(box.isChecked());
    EXPECT_EQ(bench.handler.commands, (Commands{42, 42, 42, 42}));
    box.setChecked(false);

    // The glyph follows the checked and hovered states.
    struct Case {
        bool checked, hover;
        float sourceX;
    } cases[] = {{false, false, 125}, {false, true, 143}, {true, false, 161}, {true, true, 179}};
    AbstractSurface* controls = bench.gui->getSurface("controls");
    for (const Case& c : cases) {
        box.setChecked(c.checked);
        bench.move(c.hover ? 12 : 500, 12);
        const int before = bench.ctx.batchVertexCount();
        box.draw(&bench.ctx);
        const Vertex* v = bench.ctx.batchVertices() + before;
        EXPECT_FLOAT_EQ(v[0].u * float(controls->textureWidth()), c.sourceX) << c.checked << c.hover;
        EXPECT_EQ(v[0].y, float(10 + 8 - 8));
    }
    bench.gui->setEnabled(&box, false);
    box.draw(&bench.ctx);
    EXPECT_EQ(bench.ctx.textColor(), 0xff7f7f7fu);
}

TEST(ImageButton, StateImagesFallBack) {
    WidgetBench bench;
    AbstractSurface* s = bench.gui->getSurface("images");
    const Rect normal{0, 0, 40, 20}, hover{40, 0, 40, 20}, pressed{80, 0, 40, 20}, disabled{120, 0, 40, 20};
    const Rect missing{0, 0, -1, -1};
    struct Case {
        const char* name;
        Rect hover, pressed, disabled;
        bool highlighted, down, enabled;
        int expect;
    } cases[] = {
        {"normal", hover, pressed, disabled, false, false, true, ImageButton::Normal},
        {"hover", hover, pressed, disabled, true, false, true, ImageButton::Hover},
        {"pressed", hover, pressed, disabled, true, true, true, ImageButton::Pressed},
        {"pressed missing", hover, missing, disabled, false, true, true, ImageButton::Hover},
        {"pressed and hover missing", missing, missing, disabled, true, true, true, ImageButton::Normal},
        {"disabled", hover, pressed, disabled, true, true, false, ImageButton::Disabled},
        {"disabled missing", hover, pressed, missing, true, true, false, ImageButton::Normal},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ImageButton b(bench.gui.get(), 4, s, normal, c.hover, c.pressed, c.disabled);
        EXPECT_EQ(b.width, 40);
        b.highlighted = c.highlighted;
        b.down = c.down;
        b.enabled = c.enabled;
        EXPECT_EQ(b.currentState(), c.expect);
    }
    ImageButton noCommand(bench.gui.get(), 0, s, normal, hover, pressed, disabled);
    EXPECT_FALSE(noCommand.isFocusable());
}

TEST(ImageButton, BackgroundModesAlignmentAndBorder) {
    WidgetBench bench;
    AbstractSurface* s = bench.gui->getSurface("images");
    ImageButton b(bench.gui.get(), 4, s, Rect{0, 0, 20, 10}, Rect{0, 0, -1, -1}, Rect{0, 0, -1, -1},
                  Rect{0, 0, -1, -1});
    b.x = 100;
    b.y = 100;
    b.width = 60;
    b.height = 30;
    auto drawn = [&] {
        const int before = bench.ctx.batchVertexCount();
        b.draw(&bench.ctx);
        return std::vector<Vertex>(bench.ctx.batchVertices() + before,
                                   bench.ctx.batchVertices() + bench.ctx.batchVertexCount());
    };
    // Fill mode: the rectangle in the background colour, the image untinted over it.
    b.setBackground(ImageButton::BackgroundFill, Color(0xff0000ffu), Color(0xff00ff00u), Color(0xffff0000u));
    std::vector<Vertex> v = drawn();
    ASSERT_EQ(v.size(), 8u);
    EXPECT_EQ(v[0].color, 0xff0000ffu);
    EXPECT_EQ(v[4].color, 0xffffffffu);
    EXPECT_EQ(v[4].x, 100.0f);  // alignment 3 fills the widget
    EXPECT_EQ(v[6].x, 160.0f);
    b.highlighted = 1;
    EXPECT_EQ(drawn()[0].color, 0xff00ff00u);

    // Tint mode uses the disabled colour while disabled.
    b.setBackground(ImageButton::BackgroundTint, Color(0xff0000ffu), Color(0xff00ff00u), Color(0xffff0000u));
    b.enabled = 0;
    EXPECT_EQ(drawn()[0].color, 0xffff0000u);
    b.enabled = 1;
    b.highlighted = 0;

    // Alignments: centred and end at the source size; pressed shifts by a pixel.
    b.setBackground(ImageButton::BackgroundNone, Color(), Color(), Color());
    b.setImageAlignment(ImageButton::AlignCentre, ImageButton::AlignEnd);
    v = drawn();
    EXPECT_EQ(v[0].color, 0xffffffffu);
    EXPECT_EQ(v[0].x, 120.0f);
    EXPECT_EQ(v[0].y, 120.0f);
    b.down = 1;
    v = drawn();
    EXPECT_EQ(v[0].x, 121.0f);
    b.down = 0;
    b.centerImage = 1;
    b.setImageAlignment(ImageButton::AlignStart, ImageButton::AlignStart);
    EXPECT_EQ(drawn()[0].y, 110.0f);

    // A border adds four fills.
    b.borderThickness = 2;
    EXPECT_EQ(drawn().size(), 4u * 5);
}

namespace {

class RecordingTableButton : public TableButton {
public:
    RecordingTableButton(PlayerGUI* gui, std::vector<std::string>* log) : TableButton(gui, 2, 1), log_(log) {}
    void onHoverChanged(bool hovered) override { log_->push_back(hovered ? "hover" : "unhover"); }
    void onPressChanged(bool pressed) override { log_->push_back(pressed ? "press" : "unpress"); }

private:
    std::vector<std::string>* log_;
};

}  // namespace

TEST(TableButton, ReportsHoverAndPressAsOneButton) {
    WidgetBench bench;
    std::vector<std::string> log;
    RecordingTableButton row(bench.gui.get(), &log);
    Static left(bench.gui.get(), "abc", 0, bench.font);
    Static right(bench.gui.get(), "defg", 0, bench.font);
    left.ignoreMouse = right.ignoreMouse = 1;
    row.setCell(0, 0, &left);
    row.setCell(1, 0, &right);
    row.setSpacing(10, 0);
    row.x = 100;
    row.y = 100;
    row.focusable = 1;
    bench.render();
    ASSERT_EQ(row.width, 21 + 10 + 28);
    // Cells: (100..121, 100..113) and (131..159); edges inclusive, the gap is not a cell.
    EXPECT_TRUE(row.hitTest(121, 113));
    EXPECT_FALSE(row.hitTest(125, 105));
    EXPECT_TRUE(row.hitTest(159, 100));

    bench.move(105, 105);
    bench.press();
    bench.move(125, 105);  // into the gap: the press look goes
    bench.move(140, 105);
    bench.release();
    bench.move(600, 300);
    // Releasing the capture makes the GUI leave and enter the widget under the pointer again.
    EXPECT_EQ(log, (std::vector<std::string>{"hover", "press", "unpress", "press", "unhover", "hover", "unpress",
                                             "unhover"}));
    EXPECT_TRUE(bench.handler.commands.empty());  // the subclass acts, nothing is sent

    log.clear();
    bench.gui->setFocus(&row, 0);
    EXPECT_TRUE(bench.key(kKeyEnter, 1));
    EXPECT_TRUE(bench.key(kKeyEnter, 0));
    EXPECT_EQ(log, (std::vector<std::string>{"press", "unpress"}));

    // Without press reporting the pointer is still captured, but nothing is reported.
    log.clear();
    row.pressReporting = 0;
    row.hoverValue = 0;
    bench.move(105, 105);
    bench.press();
    EXPECT_TRUE(bench.gui->isCaptured(&row));
    row.setPressed(true);
    bench.release();
    EXPECT_EQ(log, (std::vector<std::string>{"unhover", "unhover", "unhover"}));  // hover value 0 on entering

    // A table of no rows is never hit.
    struct NoRows : TableButton {
        explicit NoRows(PlayerGUI* gui) : TableButton(gui, 3, 0) {}
        void onHoverChanged(bool) override {}
        void onPressChanged(bool) override {}
    } noRows(bench.gui.get());
    EXPECT_FALSE(noRows.hitTest(0, 0));
}
