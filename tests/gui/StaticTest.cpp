// Labels and images on a recording context. Fonts: glyph advance 7, space 4, line 13 high
// with a line gap of 2.

#include "WidgetTestSupport.h"

#include "gui/Image.h"
#include "gui/Static.h"

#include <gtest/gtest.h>

using guitest::CountingTask;
using guitest::WidgetBench;

namespace {

// "Read the terms" with "terms" a link: blocks Read(0..28) the(32..53) terms(57..92).
RichText readTheTerms(GraphicsFont* font, const std::shared_ptr<PlayerGUITask>& task) {
    RichText text(RichTextLeft);
    text.addSpan(TextSpan("Read the ", font, Color(0xffffffffu)));
    text.addSpan(TextSpan("terms", font, Color(0xff0000ffu), TextSpan::kLink, task));
    return text;
}

// Fills of the white patch (solid rectangles) in the batch since index `from`.
int fillsSince(WidgetBench& bench, int fromVertex, std::uint32_t color) {
    int n = 0;
    const Vertex* v = bench.ctx.batchVertices();
    for (int i = fromVertex; i + 3 < bench.ctx.batchVertexCount(); i += 4) {
        if (v[i].color == color)
            ++n;
    }
    return n;
}

}  // namespace

TEST(Static, OneLineLabelTakesItsNaturalSizeAfterInvalidate) {
    WidgetBench bench;
    Static label(bench.gui.get(), "ab cd", 0, bench.font);
    EXPECT_EQ(label.width, 14 + 4 + 14);
    EXPECT_EQ(label.height, 13);
    EXPECT_FALSE(label.wraps());

    label.setText("ab cd efg");
    bench.render();
    EXPECT_EQ(label.width, 32);  // not yet: setText does not mark the layout
    label.invalidate();
    bench.render();
    EXPECT_EQ(label.width, 32 + 4 + 21);

    // The same text again changes nothing; a style change always rebuilds.
    label.setText("ab cd efg");
    EXPECT_EQ(label.richText().spans.size(), 1u);
    label.setTextWithStyle("x", 3, bench.font, Color(0xff00ff00u));
    EXPECT_EQ(label.richText().mode, RichTextRight);
    EXPECT_EQ(label.richText().spans[0].color, Color(0xff00ff00u));
    EXPECT_FALSE(label.wraps());  // wrapping stays as built
}

TEST(Static, WrappingLabelWithinLimits) {
    WidgetBench bench;
    Static shortText(bench.gui.get(), "hello", 1, bench.font);
    shortText.setSizeLimits(0, 0, 300, 0);
    shortText.invalidate();
    bench.render();
    EXPECT_EQ(shortText.width, 35);  // shrinks to the text
    EXPECT_EQ(shortText.height, 13);

    // 40 words of 5 letters: 35 + 4 each; 7 words make 269, 8 make 308 > 300.
    std::string longText;
    for (int i = 0; i < 40; ++i)
        longText += "abcde ";
    Static wrapped(bench.gui.get(), longText, 2, bench.font);
    wrapped.setSizeLimits(0, 0, 300, 0);
    wrapped.invalidate();
    bench.render();
    EXPECT_EQ(wrapped.width, 269);
    EXPECT_EQ(wrapped.height, 5 * 15 + 13);  // 6 lines

    // Without a maximum the label wraps in its own width and keeps it.
    Static fixed(bench.gui.get(), longText, 1, bench.font);
    fixed.width = 343;
    fixed.invalidate();
    bench.render();
    EXPECT_EQ(fixed.width, 343);
    EXPECT_EQ(fixed.height, 4 * 15 + 13);  // 8 words a line: 308 <= 343

    // Minimum limits are applied last, so they win.
    Static limited(bench.gui.get(), "abc", 0, bench.font);
    limited.setSizeLimits(50, 40, 30, 20);
    limited.invalidate();
    bench.render();
    EXPECT_EQ(limited.width, 50);
    EXPECT_EQ(limited.height, 40);
    limited.setSizeLimits(0, 0, 10, 5);
    limited.invalidate();
    bench.render();
    EXPECT_EQ(limited.width, 10);
    EXPECT_EQ(limited.height, 5);
}

TEST(Static, LinksInMixedTextRunOnClickOverTheLinkOnly) {
    WidgetBench bench;
    auto task = std::make_shared<CountingTask>();
    Static label(bench.gui.get(), readTheTerms(bench.font, task), false);
    label.x = 100;
    label.y = 100;
    bench.render();
    ASSERT_EQ(label.width, 92);

    bench.move(110, 105);  // over "Read"
    EXPECT_EQ(label.linkTask(), nullptr);
    bench.move(160, 105);  // over "terms"
    EXPECT_EQ(label.linkTask(), task);
    EXPECT_TRUE(label.blocks()[2].linkHovered);
    EXPECT_EQ(bench.ctx.cursorShape, -1);  // only a whole-label link changes the cursor

    // The hovered link is underlined in its colour.
    const int before = bench.ctx.batchVertexCount();
    label.draw(&bench.ctx);
    EXPECT_EQ(fillsSince(bench, before, 0xff0000ffu), 1 + 5);  // underline and five glyphs

    bench.press();
    EXPECT_TRUE(label.isPressed());
    bench.release();
    EXPECT_EQ(task->runs, 1);

    // Pressed on the link, released off it: nothing runs.
    bench.press();
    bench.move(110, 105);
    bench.release();
    EXPECT_EQ(task->runs, 1);
    // A press outside any link is not taken.
    bench.press();
    EXPECT_FALSE(bench.gui->isCaptured(&label));
    bench.release();
    EXPECT_EQ(task->runs, 1);
}

TEST(Static, WholeLabelLinkCursorKeysAndDisabledLook) {
    WidgetBench bench;
    auto task = std::make_shared<CountingTask>();
    Static link(bench.gui.get(), "help", 0, bench.font, Color(0xff00ff00u), Static::kWholeLabelLink, task);
    link.x = 10;
    link.y = 10;
    EXPECT_TRUE(link.isFocusable());
    bench.render();

    bench.move(15, 15);
    EXPECT_EQ(bench.ctx.cursorShape, 2);
    EXPECT_TRUE(link.isLinkHovered());
    bench.move(400, 400);
    EXPECT_EQ(bench.ctx.cursorShape, 0);
    EXPECT_FALSE(link.isLinkHovered());

    // Space on the focused label runs the first span's task.
    bench.gui->setFocus(&link, 0);
    EXPECT_TRUE(bench.key(guitest::kKeySpace, 1));
    EXPECT_TRUE(link.isPressed());
    EXPECT_EQ(bench.gui->focusShown(), 1);
    EXPECT_TRUE(bench.key(guitest::kKeySpace, 0));
    EXPECT_EQ(task->runs, 1);
    EXPECT_TRUE(bench.key(guitest::kKeyEnter, 0));
    EXPECT_EQ(task->runs, 2);
    EXPECT_FALSE(bench.key('A', 0));

    // Disabled: the link draws grey and keys do nothing.
    bench.gui->setEnabled(&link, false);
    bench.gui->setFocus(&link, 0);
    EXPECT_FALSE(bench.key(guitest::kKeySpace, 0));
    link.draw(&bench.ctx);
    EXPECT_EQ(bench.ctx.textColor(), 0xff7f7f7fu);
    // Plain text keeps its colour while disabled.
    Static plain(bench.gui.get(), "text", 0, bench.font, Color(0xff00ff00u));
    bench.gui->setEnabled(&plain, false);
    plain.draw(&bench.ctx);
    EXPECT_EQ(bench.ctx.textColor(), 0xff00ff00u);
}

TEST(Static, LabelWithoutSpansIsSafe) {
    WidgetBench bench;
    Static empty(bench.gui.get(), RichText(RichTextLeft), false);
    bench.render();
    EXPECT_EQ(empty.width, 0);
    EXPECT_EQ(empty.height, 0);
    EXPECT_TRUE(empty.blocks().empty());
    const int before = bench.ctx.batchVertexCount();
    empty.draw(&bench.ctx);
    EXPECT_EQ(bench.ctx.batchVertexCount(), before);

    // Any press focuses it; Space then has no link to run.
    bench.gui->setFocus(&empty, 1);
    EXPECT_TRUE(bench.key(guitest::kKeySpace, 1));
    EXPECT_TRUE(bench.key(guitest::kKeySpace, 0));

    // setText gives it a span in the default font.
    empty.setText("abc");
    empty.invalidate();
    bench.render();
    EXPECT_EQ(empty.width, 21);
    EXPECT_EQ(empty.richText().spans[0].font, bench.font);
}

TEST(Static, LinkTaskThatDestroysTheLabel) {
    WidgetBench bench;
    auto task = std::make_shared<CountingTask>();
    auto label = std::make_shared<Static>(bench.gui.get(), "bye", 0, bench.font, Color(), Static::kWholeLabelLink,
                                          task);
    task->action = [&label] { label.reset(); };
    bench.render();
    bench.click(5, 5);
    EXPECT_EQ(task->runs, 1);
    EXPECT_EQ(label, nullptr);
    EXPECT_EQ(bench.gui->captured(), nullptr);
    EXPECT_EQ(bench.gui->hovered(), nullptr);
}

TEST(Image, ClickTaskRotationAndModes) {
    WidgetBench bench;
    AbstractSurface* logo = bench.gui->getSurface("logo");
    ASSERT_NE(logo, nullptr);
    auto task = std::make_shared<CountingTask>();
    Image image(bench.gui.get(), logo, task);
    EXPECT_EQ(image.width, 180);
    EXPECT_EQ(image.height, 39);
    EXPECT_FALSE(image.isFocusable());
    bench.render();

    bench.move(10, 10);
    EXPECT_EQ(bench.ctx.cursorShape, 2);
    bench.press();
    EXPECT_TRUE(image.isPressed());
    bench.move(500, 300);  // out: a release here does not click
    EXPECT_FALSE(image.isPressed());
    bench.release();
    EXPECT_EQ(task->runs, 0);
    bench.click(10, 10);
    EXPECT_EQ(task->runs, 1);
    EXPECT_FALSE(bench.gui->onMouseButton(2, true));  // other buttons are not taken

    image.setScale(0.5f);
    EXPECT_EQ(image.width, 90);
    EXPECT_EQ(image.height, 19);

    // Turning: a tick past the interval turns to speed x time and asks for a redraw.
    image.setRotating(2.0f, 0.1f);
    EXPECT_EQ(image.width, 180);
    image.needsRedraw = 0;
    EXPECT_FALSE(image.tick(0.05));
    EXPECT_TRUE(image.tick(0.2));
    EXPECT_FLOAT_EQ(image.angle(), 0.4f);
    bench.ctx.clearRecords();
    const int before = bench.ctx.batchVertexCount();
    image.draw(&bench.ctx);
    const Vertex* v = bench.ctx.batchVertices() + before;
    EXPECT_NE(v[0].y, v[1].y);  // the top edge is no longer level

    // Full window: the surface covers the logical window.
    image.setFullWindow();
    const int full = bench.ctx.batchVertexCount();
    image.draw(&bench.ctx);
    v = bench.ctx.batchVertices() + full;
    EXPECT_EQ(v[0].x, 0.0f);
    EXPECT_EQ(v[2].x, 900.0f);
    EXPECT_EQ(v[2].y, 450.0f);

    // A still image refreshes only when it asked for a redraw.
    image.setStill();
    EXPECT_EQ(image.angle(), 0.0f);
    image.needsRedraw = 0;
    EXPECT_FALSE(image.tick(100.0));
}

TEST(Image, EmptyTaskCapturesButRunsNothing) {
    WidgetBench bench;
    Image image(bench.gui.get(), bench.gui->getSurface("logo"));
    bench.render();
    bench.move(10, 10);
    EXPECT_EQ(bench.ctx.cursorShape, -1);  // stays the arrow
    bench.press();
    EXPECT_TRUE(bench.gui->isCaptured(&image));
    bench.release();
    EXPECT_FALSE(bench.gui->isCaptured(&image));
    EXPECT_TRUE(bench.handler.commands.empty());

    Image none(bench.gui.get(), nullptr);
    EXPECT_EQ(none.width, 0);
    const int before = bench.ctx.batchVertexCount();
    none.draw(&bench.ctx);
    EXPECT_EQ(bench.ctx.batchVertexCount(), before);
}
