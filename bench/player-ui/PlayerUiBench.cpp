// Fifty overlay menu items (plain, record, image and switch items, two of the switches and
// the record items mirroring session variables) on the recording context: the cost of the
// per-frame tick alone and of a whole frame (tick, three layout passes, the draw), with
// heap allocations counted per iteration. Once laid out, neither should allocate.

#include "AllocationCounter.h"
#include "gui/PlayerGUI.h"
#include "gui/TextServiceFreeType.h"
#include "gui/testing/RecordingGraphicsContext.h"
#include "player-ui/menu/ImageMenuButton.h"
#include "player-ui/menu/MenuButton.h"
#include "player-ui/menu/RightMenuSwitchButton.h"
#include "player-ui/menu/RightMenuSynchronizedSwitchButton.h"
#include "player-ui/menu/SynchronizedMenuButton.h"
#include "stream/session/ClientDB.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

namespace {

class NoRemote : public IRemoteDB {
public:
    bool send(const InputClient::VariableEvent&) override { return true; }
    void attach(ClientDB*) override {}
    void detach(ClientDB*) override {}
};

struct Menu {
    Menu() : ctx(1280, 720), db(&remote), gui(nullptr, &ctx) {
        ctx.recordGeometry = false;
        ctx.setTextService(&service);
        gui.loadFontStyles(&ctx, "");
        AbstractSurface* images = gui.getSurface("images");
        const Color normal = gui.getColor("player-button-main-default");
        const Color hover = gui.getColor("player-button-main-hover");
        for (int i = 0; i < 30; ++i) {
            auto item = std::make_shared<MenuButton>(&gui, "Item " + std::to_string(i), 7, images,
                                                     Rect{52, 416, 32, 32}, normal, hover, 110);
            item->x = (i / 10) * 190;
            item->y = (i % 10) * 49;
            widgets.push_back(item);
        }
        for (int i = 0; i < 5; ++i) {
            auto item = std::make_shared<SynchronizedMenuButton>(
                std::make_shared<VariableUserBase<BoolVariable>>(&db, "Stream.RecordStream"), &gui, "Record",
                "Stop", 9, images, Rect{1, 346, 32, 32}, Rect{1, 312, 32, 32}, 110);
            item->x = 600;
            item->y = i * 49;
            widgets.push_back(item);
        }
        for (int i = 0; i < 5; ++i) {
            auto item = std::make_shared<ImageMenuButton>(&gui, 41, images, Rect{1, 35, 95, 39}, normal, hover, 195,
                                                          30);
            item->x = 800;
            item->y = i * 66;
            widgets.push_back(item);
        }
        for (int i = 0; i < 10; ++i) {
            std::shared_ptr<RightMenuSwitchButton> item;
            if (i < 2)
                item = std::make_shared<RightMenuSynchronizedSwitchButton>(
                    std::make_shared<VariableUserBase<BoolVariable>>(&db, "Input.EnableControllers"), &gui,
                    "Pass-through", "On", "Off", 126, 126, images, Rect{339, 35, 32, 32}, 220, 5);
            else
                item = std::make_shared<RightMenuSwitchButton>(&gui, "Resolution", "720p", "1080p", 28, 29, images,
                                                               Rect{407, 35, 32, 32}, 220, 5);
            item->x = 1000;
            item->y = i * 70;
            widgets.push_back(item);
        }
        frame();  // lays the texts out and fills the glyph caches
    }
    void frame() {
        gui.tick(0.016f);
        gui.render(&ctx);
        ctx.flush();
        ctx.clearRecords();
    }

    TextServiceFreeType service;
    guitest::RecordingGraphicsContext ctx;
    NoRemote remote;
    ClientDB db;
    PlayerGUI gui;
    std::vector<std::shared_ptr<Widget>> widgets;
};

void BM_MenuItemsTick(benchmark::State& state) {
    Menu menu;
    long allocations = 0;
    for (auto _ : state) {
        const long before = static_cast<long>(allocationCount().load());
        benchmark::DoNotOptimize(menu.gui.tick(0.016f));
        allocations += static_cast<long>(allocationCount().load()) - before;
    }
    state.counters["items"] = double(menu.widgets.size());
    state.counters["allocs/iter"] = benchmark::Counter(double(allocations) / double(state.iterations()));
}
BENCHMARK(BM_MenuItemsTick);

void BM_MenuItemsFrame(benchmark::State& state) {
    Menu menu;
    long allocations = 0;
    for (auto _ : state) {
        const long before = static_cast<long>(allocationCount().load());
        menu.frame();
        allocations += static_cast<long>(allocationCount().load()) - before;
    }
    state.counters["widgets"] = double(menu.gui.widgetCount());
    state.counters["allocs/iter"] = benchmark::Counter(double(allocations) / double(state.iterations()));
}
BENCHMARK(BM_MenuItemsFrame);

}  // namespace
