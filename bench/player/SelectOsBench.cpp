// The machine-selection screen's per-frame work with an account of 10 machines and 50 data
// centres: the frame of its panels (the loading panel reads the model's snapshot and tip, the
// information panel asks for the first message, the data-centre list and the access panel
// are laid out and drawn) on the recording context, and the model snapshot copy alone. The
// facade is never started: nothing goes to the network.

#include "AllocationCounter.h"
#include "gui/PlayerGUI.h"
#include "gui/TextServiceFreeType.h"
#include "gui/testing/RecordingGraphicsContext.h"
#include "player-ui/CustomUICommandHandler.h"
#include "player-ui/IPlayerWindow.h"
#include "player/selectos/InformationTable.h"
#include "player/selectos/LoadingTable.h"
#include "player/selectos/SelectDCTable.h"
#include "player/selectos/SingleVMAccessTable.h"
#include "webapi/PlayerApi.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

class BenchWindow : public IPlayerWindow, public CustomUICommandHandler {
public:
    explicit BenchWindow(PlayerGUI* gui) : gui_(gui) {}
    PlayerGUI* playerGUI() const override { return gui_; }
    ClientState& clientState() override { return api.clientState; }
    PlayerApi& playerApi() override { return api; }
    PopupDialogManager& popupManager() override { throw std::logic_error("none"); }
    void sendCommand(int) override {}
    void postCommand(int) override {}
    int allocateCommandId() override { return next_++; }
    void setValue(int) override {}
    std::recursive_mutex& guiMutex() const override { return mutex_; }
    GLFWAppWindow& appWindow() override { throw std::logic_error("none"); }

    PlayerApi api;

private:
    PlayerGUI* gui_;
    std::atomic<int> next_{1126};
    mutable std::recursive_mutex mutex_;
};

ClientInfo account() {
    ClientInfo info;
    info.userPlan = UserPlan{"Pay As You Go", 0};
    for (int i = 0; i < 10; ++i) {
        DesktopInfo d;
        d.name = i == 7 ? "Windows" : "Desktop " + std::to_string(i);
        d.state = i == 7 ? "Starting" : "Off";
        d.datacenter = "dc-3";
        d.enabled = true;
        info.desktops.push_back(d);
    }
    for (int i = 0; i < 50; ++i)
        info.datacenters.push_back(DatacenterInfo{"Data centre " + std::to_string(i), "dc-" + std::to_string(i), "XX",
                                                  i == 0, i % 5 != 0});
    return info;
}

struct Screen {
    Screen() : ctx(1280, 720), gui(nullptr, &ctx), window(&gui) {
        ctx.recordGeometry = false;
        ctx.setTextService(&service);
        gui.loadFontStyles(&ctx, "");
        const ClientInfo info = account();
        window.api.clientState.setClientInfo(info);
        window.api.clientState.setTip("Stop your machine when you are done to save credits.");
        information = std::make_shared<InformationTable>(&window);
        loading = std::make_shared<LoadingTable>(&window);
        access = std::make_shared<SingleVMAccessTable>(&window, &window, 270, 50);
        access->setDesktops(info.desktops, info.userPlan);
        access->setAccountInfo(12, 5, 7, 50, 0);
        datacentres = std::make_shared<SelectDCTable>(&window, &gui, info.datacenters, &window, 270, 50);
        gui.setVisible(datacentres.get(), true);
        gui.setVisible(loading.get(), true);
        for (int i = 0; i < 3; ++i) frame();
    }
    void frame() {
        gui.tick(0.016f);
        gui.render(&ctx);
        ctx.flush();
    }

    TextServiceFreeType service;
    guitest::RecordingGraphicsContext ctx;
    PlayerGUI gui;
    BenchWindow window;
    std::shared_ptr<InformationTable> information;
    std::shared_ptr<LoadingTable> loading;
    std::shared_ptr<SingleVMAccessTable> access;
    std::shared_ptr<SelectDCTable> datacentres;
};

void BM_SelectOsPanelsFrame(benchmark::State& state) {
    Screen screen;
    long allocations = 0;
    for (auto _ : state) {
        const auto before = static_cast<long>(allocationCount().load());
        screen.frame();
        allocations += static_cast<long>(allocationCount().load()) - before;
    }
    state.counters["widgets"] = double(screen.gui.widgetCount());
    state.counters["allocs/iter"] = benchmark::Counter(double(allocations) / double(state.iterations()));
}
BENCHMARK(BM_SelectOsPanelsFrame)->Unit(benchmark::kMicrosecond);

void BM_SelectOsModelCopy(benchmark::State& state) {
    ClientState model;
    model.setClientInfo(account());
    for (auto _ : state) {
        ClientInfo copy = model.getClientInfo();
        benchmark::DoNotOptimize(copy);
    }
}
BENCHMARK(BM_SelectOsModelCopy)->Unit(benchmark::kMicrosecond);

}  // namespace
