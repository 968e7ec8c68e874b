// A screen of standard widgets (labels, buttons, check boxes, a table of labels, a scrolled
// list) on the recording context: the cost of one rendered frame (three layout passes and
// the draw) and of a pointer move, with heap allocations counted per iteration. Once the
// texts are laid out, a frame should allocate nothing.

#include "AllocationCounter.h"
#include "gui/Button.h"
#include "gui/CheckBox.h"
#include "gui/List.h"
#include "gui/PlayerGUI.h"
#include "gui/Static.h"
#include "gui/Table.h"
#include "gui/TextServiceFreeType.h"
#include "gui/testing/RecordingGraphicsContext.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>



using guitest::RecordingGraphicsContext;

namespace {

struct Screen {
    Screen() : ctx(1280, 720), gui(nullptr, &ctx) {
        ctx.recordGeometry = false;
        ctx.setTextService(&service);
        gui.loadFontStyles(&ctx, "");
        GraphicsFont* font = gui.getDefaultFont();
        for (int i = 0; i < 100; ++i) {
            auto label = std::make_unique<Static>(&gui, "Label number " + std::to_string(i) + " of the screen",
                                                  i % 3 == 0 ? 1 : 0, font);
            label->x = (i % 5) * 250;
            label->y = (i / 5) * 30;
            label->width = 200;
            label->invalidate();
            widgets.push_back(std::move(label));
        }
        for (int i = 0; i < 60; ++i) {
            auto button = std::make_unique<Button>(&gui, "Button " + std::to_string(i), i + 1);
            button->x = (i % 10) * 120;
            button->y = 620 + (i / 10) * 4;
            widgets.push_back(std::move(button));
        }
        for (int i = 0; i < 20; ++i) {
            auto box = std::make_unique<CheckBox>(&gui, "Option " + std::to_string(i), 100 + i);
            box->x = (i % 10) * 120;
            box->y = 600;
            widgets.push_back(std::move(box));
        }
        table = std::make_unique<Table>(&gui, 4, 10);
        for (unsigned i = 0; i < 40; ++i) {
            auto cell = std::make_unique<Static>(&gui, "cell " + std::to_string(i), 0, font);
            table->setCell(i % 4, i / 4, cell.get());
            widgets.push_back(std::move(cell));
        }
        table->x = 900;
        table->y = 300;
        list = std::make_unique<List>(&gui);
        for (int i = 0; i < 10; ++i) {
            auto item = std::make_unique<Button>(&gui, "Item " + std::to_string(i), 200 + i);
            list->addItem(item.get());
            widgets.push_back(std::move(item));
        }
        list->visibleCount = 4;
        list->x = 700;
        list->y = 300;
        list->setVisibleWithItems(true);
        frame();  // lays the texts out and fills the glyph caches
    }
    void frame() {
        gui.tick(0.0f);
        gui.render(&ctx);
        ctx.flush();
        ctx.clearRecords();
    }

    TextServiceFreeType service;
    RecordingGraphicsContext ctx;
    PlayerGUI gui;
    std::vector<std::unique_ptr<Widget>> widgets;
    std::unique_ptr<Table> table;
    std::unique_ptr<List> list;
};

void BM_WidgetScreenFrame(benchmark::State& state) {
    Screen screen;
    long allocations = 0;
    for (auto _ : state) {
        const long before = static_cast<long>(allocationCount().load());
        screen.frame();
        allocations += static_cast<long>(allocationCount().load()) - before;
    }
    state.counters["widgets"] = double(screen.gui.widgetCount());
    state.counters["allocs/iter"] = benchmark::Counter(double(allocations) / double(state.iterations()));
}
BENCHMARK(BM_WidgetScreenFrame);

void BM_WidgetScreenPointerMove(benchmark::State& state) {
    Screen screen;
    long allocations = 0;
    int i = 0;
    for (auto _ : state) {
        const long before = static_cast<long>(allocationCount().load());
        screen.gui.onMouseMove((i * 37) % 1280, (i * 11) % 720);
        allocations += static_cast<long>(allocationCount().load()) - before;
        ++i;
    }
    state.counters["allocs/iter"] = benchmark::Counter(double(allocations) / double(state.iterations()));
}
BENCHMARK(BM_WidgetScreenPointerMove);

}  // namespace
