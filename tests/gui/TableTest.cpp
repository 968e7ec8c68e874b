// Tables and lists on a recording context: measuring, arranging, visibility, scrolling and
// the hover marker and scroll thumb, including lists shorter than their window.

#include "WidgetTestSupport.h"

#include "gui/Button.h"
#include "gui/List.h"
#include "gui/OldList.h"
#include "gui/Table.h"

#include <gtest/gtest.h>

using guitest::RecordingWidget;
using guitest::WidgetBench;

namespace {

std::vector<std::unique_ptr<Button>> makeItems(WidgetBench& bench, int count, int height = 20) {
    std::vector<std::unique_ptr<Button>> items;
    for (int i = 0; i < count; ++i) {
        items.push_back(std::make_unique<Button>(bench.gui.get(), "item " + std::to_string(i), 100 + i, bench.font));
        items.back()->height = height;
        items.back()->width = 80;
    }
    return items;
}

// Fills drawn by one draw call, as (x, y, width, height) from the batched quads.
std::vector<Rect> fillsOf(WidgetBench& bench, Widget& w) {
    const int before = bench.ctx.batchVertexCount();
    w.draw(&bench.ctx);
    std::vector<Rect> out;
    const Vertex* v = bench.ctx.batchVertices();
    for (int i = before; i + 3 < bench.ctx.batchVertexCount(); i += 4)
        out.push_back(Rect{int(v[i].x), int(v[i].y), int(v[i + 2].x - v[i].x), int(v[i + 2].y - v[i].y)});
    return out;
}

}  // namespace

TEST(Table, MeasuresColumnsAndStretchesTheLastOne) {
    WidgetBench bench;
    RecordingWidget a(bench.gui.get(), nullptr, "a", 0, 0, 50, 20);
    RecordingWidget b(bench.gui.get(), nullptr, "b", 0, 0, 70, 30);
    Table table(bench.gui.get(), 2, 1);
    table.setCell(0, 0, &a);
    table.setCell(1, 0, &b);
    table.setSpacing(10, 0);
    table.setPadding(5, 5, 5, 5);
    table.setCellAlignment(1, 0, Table::AlignCentre, Table::AlignEnd);
    table.x = 100;
    table.y = 50;
    bench.render();
    EXPECT_EQ(table.width, 5 + 50 + 10 + 70 + 5);
    EXPECT_EQ(table.height, 5 + 30 + 5);
    EXPECT_EQ(a.x, 105);
    EXPECT_EQ(a.y, 55 + 5);  // vertically centred by default
    EXPECT_EQ(b.x, 165);
    EXPECT_EQ(b.y, 55);

    // Wider than needed: the last column takes the difference and a centred cell follows.
    table.width = 200;
    bench.render();
    EXPECT_EQ(table.columnWidth(1), 130);
    EXPECT_EQ(b.x, 165 + 65 - 35);
    Rect cell = table.getCellRect(1, 0);
    EXPECT_EQ(cell.x, 165);
    EXPECT_EQ(cell.y, 55);
    EXPECT_EQ(cell.width, 130);
    EXPECT_EQ(cell.height, 30);
    EXPECT_EQ(table.getCellRect(2, 0).x, -1);
    EXPECT_EQ(table.getCellRect(0, 1).height, -1);

    // Start and end alignment use the cell paddings.
    table.setCellPadding(0, 0, 3, 4, 0, 0);
    table.setCellAlignment(0, 0, Table::AlignStart, Table::AlignStart);
    table.setCellPadding(1, 0, 0, 0, 6, 2);
    table.setCellAlignment(1, 0, Table::AlignEnd, Table::AlignEnd);
    bench.render();
    EXPECT_EQ(a.x, 108);
    EXPECT_EQ(a.y, 59);
    EXPECT_EQ(table.columnWidth(0), 53);
    EXPECT_EQ(b.x, table.x + table.width - 5 - 70 - 6);
    EXPECT_EQ(b.y, 55 + 32 - 30 - 2);

    // Out-of-range setters are ignored; a table is never hit by the pointer.
    table.setCell(5, 5, &a);
    table.setCellAlignment(2, 0, 1, 1);
    EXPECT_FALSE(table.hitTest(table.x + 10, table.y + 10));
    EXPECT_FALSE(table.hitTest(table.x + 1, table.y + 1));
}

TEST(Table, HiddenCellsAndTheTablesOwnVisibility) {
    WidgetBench bench;
    RecordingWidget a(bench.gui.get(), nullptr, "a", 0, 0, 50, 20);
    RecordingWidget b(bench.gui.get(), nullptr, "b", 0, 0, 70, 30);
    RecordingWidget c(bench.gui.get(), nullptr, "c", 0, 0, 40, 10);
    Table table(bench.gui.get(), 2, 2);
    table.setCell(0, 0, &a);
    table.setCell(1, 0, &b);
    table.setCell(0, 1, &c);
    bench.render();
    EXPECT_EQ(table.width, 120);
    EXPECT_EQ(table.height, 40);

    bench.gui->setVisible(&b, false);
    table.updateLayout();
    EXPECT_EQ(table.width, 120);  // never shrinks below its width: the last column stretches
    EXPECT_EQ(table.columnWidth(1), 70);
    table.width = 0;
    table.updateLayout();
    EXPECT_EQ(table.width, 50);
    EXPECT_EQ(table.height, 30);  // row 0 is as high as a
    table.keepHiddenRows = 1;
    table.updateLayout();
    EXPECT_EQ(table.height, 40);  // hidden b counts for its row, not for its column
    EXPECT_EQ(table.width, 50);

    // Hiding the table hides every cell; showing it shows all, also b.
    bench.gui->setVisible(&table, false);
    EXPECT_FALSE(a.isVisible());
    EXPECT_FALSE(c.isVisible());
    bench.gui->setVisible(&table, true);
    EXPECT_TRUE(a.isVisible());
    EXPECT_TRUE(b.isVisible());
    EXPECT_TRUE(c.isVisible());
}

TEST(Table, EmptyGridsMeasureToTheirPaddings) {
    WidgetBench bench;
    for (auto size : {std::make_pair(0u, 0u), std::make_pair(0u, 3u), std::make_pair(2u, 0u)}) {
        Table table(bench.gui.get(), size.first, size.second);
        table.setPadding(1, 2, 3, 4);
        table.setSpacing(10, 10);
        table.width = 50;
        table.updateLayout();
        EXPECT_EQ(table.height, 6 + (size.second > 1 ? 10 * int(size.second - 1) : 0));
        if (size.first == 0) {
            EXPECT_EQ(table.width, 4);
        }
    }
    // A table of nothing is not set up: measuring waits for the first dirty measure.
    Table fresh(bench.gui.get(), 1, 1);
    EXPECT_TRUE(fresh.measure(&bench.ctx));
    fresh.invalidate();
    EXPECT_FALSE(fresh.measure(&bench.ctx));
    EXPECT_FALSE(fresh.measure(&bench.ctx));  // measured now, but it was dirty
    EXPECT_TRUE(fresh.measure(&bench.ctx));
}

TEST(List, ScrollsItsWindowAndMarksTheHoveredItem) {
    WidgetBench bench;
    List list(bench.gui.get());  // made first, so the items lie above it
    auto items = makeItems(bench, 6);
    EXPECT_FALSE(list.isVisible());
    for (auto& item : items)
        list.addItem(item.get());
    list.visibleCount = 4;
    list.x = 100;
    list.y = 50;
    list.setVisibleWithItems(true);
    list.tick(0);
    bench.render();
    EXPECT_EQ(items[0]->y, 52);
    EXPECT_EQ(items[3]->y, 52 + 60);
    EXPECT_EQ(items[0]->x, 100);
    EXPECT_FALSE(items[4]->isVisible());
    EXPECT_EQ(list.height, 4 * 20 + 4);
    EXPECT_EQ(list.width, 80);

    // 5 in steps of 2 scrolls by 2; further scrolling stops at the end.
    list.scrollAccumulator = 5;
    EXPECT_FALSE(list.tick(0));
    EXPECT_EQ(list.firstVisible, 2);
    EXPECT_EQ(list.scrollAccumulator, 0);
    list.scrollAccumulator = 10;
    list.tick(0);
    EXPECT_EQ(list.firstVisible, 2);
    EXPECT_FALSE(items[0]->isVisible());
    EXPECT_FALSE(items[1]->isVisible());
    EXPECT_TRUE(items[5]->isVisible());
    bench.render();
    EXPECT_EQ(items[2]->y, 52);
    list.scrollAccumulator = 1;  // less than a step: kept
    list.tick(0);
    EXPECT_EQ(list.firstVisible, 2);
    EXPECT_EQ(list.scrollAccumulator, 1);
    list.scrollAccumulator = -30;
    list.tick(0);
    EXPECT_EQ(list.firstVisible, 0);
    bench.render();

    // Background, border, marker at the hovered item and the thumb.
    list.setBackgroundColor(Color(0xff101010u));
    bench.move(110, 52 + 20 + 5);  // item 1
    ASSERT_EQ(bench.gui->hovered(), items[1].get());
    std::vector<Rect> fills = fillsOf(bench, list);
    ASSERT_EQ(fills.size(), 1u + 4 + 1 + 1);
    EXPECT_EQ(fills[0].width, 80);
    const Rect marker = fills[5];
    EXPECT_EQ(marker.x, 100 + 80 - 2 - 20);
    EXPECT_EQ(marker.height, 8);
    EXPECT_EQ(marker.y, 72 + 6);
    const Rect thumb = fills[6];
    EXPECT_EQ(thumb.height, 4 * 20 / 3);
    EXPECT_EQ(thumb.x, 100 + 80 - 10 - 2);
    EXPECT_EQ(thumb.width, 4);

    // Without a background only the marker and thumb are drawn.
    list.noBackground = 1;
    EXPECT_EQ(fillsOf(bench, list).size(), 2u);
}

TEST(List, DefaultShowsEverythingWithoutAThumb) {
    WidgetBench bench;
    auto items = makeItems(bench, 3);
    List list(bench.gui.get());
    for (auto& item : items)
        list.addItem(item.get());
    list.setVisibleWithItems(true);
    list.scrollAccumulator = 8;
    list.tick(0);
    EXPECT_EQ(list.firstVisible, 0);
    bench.render();
    EXPECT_EQ(list.height, 3 * 20 + 4);
    for (auto& item : items)
        EXPECT_TRUE(item->isVisible());
    EXPECT_EQ(fillsOf(bench, list).size(), 5u);  // background and border only

    // z order reaches the items.
    list.z = 7;
    list.propagateZOrder();
    EXPECT_EQ(items[2]->z, 7);
}

TEST(List, ShortAndEmptyListsStayInRange) {
    WidgetBench bench;
    // Fewer items than the window: never a negative first index, a thumb of the full window.
    auto items = makeItems(bench, 3);
    List shortList(bench.gui.get());
    for (auto& item : items)
        shortList.addItem(item.get());
    shortList.visibleCount = 4;
    shortList.setVisibleWithItems(true);
    shortList.scrollAccumulator = 4;
    shortList.tick(0);
    EXPECT_EQ(shortList.firstVisible, 0);
    shortList.scrollAccumulator = -4;
    shortList.tick(0);
    EXPECT_EQ(shortList.firstVisible, 0);
    bench.render();
    EXPECT_EQ(shortList.height, 3 * 20 + 4);
    std::vector<Rect> fills = fillsOf(bench, shortList);
    EXPECT_EQ(fills.back().height, 4 * 20);  // one thumb, the divisor held at 1

    // A visible count of one more than the items (the divisor would be 0).
    shortList.visibleCount = 5;
    fills = fillsOf(bench, shortList);
    EXPECT_EQ(fills.back().height, 5 * 20);

    // A scroll step of 0 does not divide.
    shortList.scrollStep = 0;
    shortList.scrollAccumulator = 3;
    shortList.tick(0);
    EXPECT_EQ(shortList.firstVisible, 0);

    // No items at all: an empty frame, nothing indexed.
    List empty(bench.gui.get());
    empty.visibleCount = 4;
    empty.x = 10;
    empty.y = 10;
    bench.gui->setVisible(&empty, true);
    empty.scrollAccumulator = 6;
    empty.tick(0);
    bench.render();
    EXPECT_EQ(empty.height, 4);
    EXPECT_EQ(empty.width, 0);
    EXPECT_EQ(fillsOf(bench, empty).size(), 5u);

    // A first index left past the end by its owner is clamped when arranged.
    shortList.visibleCount = 2;
    shortList.firstVisible = 9;
    bench.render();
    EXPECT_EQ(shortList.height, 4);
}

TEST(OldList, StacksItemsToItsWidthAndMarksTheHoveredOne) {
    WidgetBench bench;
    OldList list(bench.gui.get());
    auto items = makeItems(bench, 3, 30);
    EXPECT_FALSE(list.isVisible());
    for (auto& item : items)
        list.addItem(item.get());
    list.itemInsetX = 3;
    list.x = 200;
    list.y = 100;
    list.width = 150;
    list.setVisibleWithItems(true);
    bench.render();
    EXPECT_EQ(items[0]->x, 203);
    EXPECT_EQ(items[0]->y, 102);
    EXPECT_EQ(items[2]->y, 162);
    EXPECT_EQ(items[1]->width, 150 - 2 * (10 + 2));
    EXPECT_EQ(list.height, 90 + 4);

    bench.move(210, 140);
    std::vector<Rect> fills = fillsOf(bench, list);
    ASSERT_EQ(fills.size(), 6u);
    EXPECT_EQ(fills[5].x, 200 + 150 - 10 - 2);
    EXPECT_EQ(fills[5].height, 24);
    EXPECT_EQ(fills[5].y, 132 + 2);

    OldList empty(bench.gui.get());
    bench.gui->setVisible(&empty, true);
    bench.render();
    EXPECT_EQ(empty.height, 4);
}
