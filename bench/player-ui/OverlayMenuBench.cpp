// The in-stream overlay menu as a frame sees it: the open menu with its settings page (slider,
// account panel, both columns, about 150 widgets) and the gamepad setup form fed a new
// gamepad state every frame, each as tick, three layout passes and the batched draw on the
// recording context, with heap allocations counted. And how often config.ini is written
// while the bitrate's plus picture is held: the screen stores "General.Quality" on every
// set-bitrate command, one per frame, but the file changes only once per 1 MiB/s.

#include "AllocationCounter.h"
#include "core/ConfigStore.h"
#include "gui/ImageButton.h"
#include "gui/PlayerGUI.h"
#include "gui/TextServiceFreeType.h"
#include "gui/testing/RecordingGraphicsContext.h"
#include "player-ui/CustomUICommandHandler.h"
#include "player-ui/IPlayerWindow.h"
#include "player-ui/menu/BitrateSlider.h"
#include "player-ui/menu/GamepadSetupForm.h"
#include "player-ui/menu/LeftMenu.h"
#include "player-ui/menu/MenuButton.h"
#include "player-ui/menu/Menu.h"
#include "player-ui/menu/RightMenu.h"
#include "player-ui/menu/Slider.h"
#include "stream/session/ClientDB.h"
#include "webapi/ClientState.h"

#include <benchmark/benchmark.h>

#include <sys/stat.h>

#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>

namespace {

constexpr int kSetBitrate = 22;
constexpr int kToggleSettingsPage = 12;

class NoRemote : public IRemoteDB {
public:
    bool send(const InputClient::VariableEvent&) override { return true; }
    void attach(ClientDB*) override {}
    void detach(ClientDB*) override {}
};

// The window, and the screen's reaction to the set-bitrate command.
class Window : public IPlayerWindow, public PlayerGUICommandHandler, public CustomUICommandHandler {
public:
    PlayerGUI* playerGUI() const override { return gui; }
    ClientState& clientState() override { return state; }
    PlayerApi& playerApi() override { std::abort(); }
    PopupDialogManager& popupManager() override { std::abort(); }
    void sendCommand(int id) override { onCommand(id); }
    void postCommand(int) override {}
    int allocateCommandId() override { return nextId++; }
    std::recursive_mutex& guiMutex() const override { return gui->mutex(); }
    GLFWAppWindow& appWindow() override { std::abort(); }
    void setValue(int) override {}

    void onCommand(int id) override {
        if (id == kSetBitrate && slider) {
            const int bitrate = slider->getBitrate();
            ConfigStore::instance().set("General.Quality", bitrate / 1048576, true);
            ++setBitrateCommands;
        }
    }
    void onCaptureStarted() override {}
    void onCaptureReleased() override {}

    PlayerGUI* gui = nullptr;
    ClientState state;
    BitrateSlider* slider = nullptr;
    int nextId = 1126;
    long setBitrateCommands = 0;
};

struct OverlayScreen {
    OverlayScreen() : ctx(1280, 720), db(&remote), gui(&window, &ctx) {
        ctx.recordGeometry = false;
        ctx.setTextService(&service);
        gui.loadFontStyles(&ctx, "");
        window.gui = &gui;
        char name[] = "/tmp/nimbrosta-bench-XXXXXX";
        folder = mkdtemp(name) ? name : "/tmp";
        ConfigStore::instance().setPathAndLoad(folder + "/config.ini");
        frame();
        menu = std::make_shared<Menu>(&window, std::make_shared<Menu::BoolUser>(&db, "Stream.RecordStream"),
                                      std::make_shared<Menu::BoolUser>(&db, "Input.EnableControllers"),
                                      std::make_shared<Menu::BoolUser>(&db, "Stream.AutoBitrate"),
                                      std::make_shared<Menu::Int32User>(&db, "Video.Bitrate"), &window);
        window.slider = menu->leftColumn->bitrateSlider.get();
        gui.setVisible(menu.get(), true);
        for (int i = 0; i < 3; ++i)
            frame();
    }
    ~OverlayScreen() {
        std::string cleanup = folder + "/config.ini";
        std::remove(cleanup.c_str());
        rmdir(folder.c_str());
    }
    void frame() {
        gui.tick(0.016f);
        gui.render(&ctx);
        ctx.flush();
        ctx.clearRecords();
    }
    void pressOn(const Widget& w) {
        gui.onMouseMove(w.x + w.width / 2, w.y + w.height / 2);
        gui.onMouseButton(0, true);
    }
    ino_t configInode() const {
        struct stat st {};
        const std::string path = folder + "/config.ini";
        return ::stat(path.c_str(), &st) == 0 ? st.st_ino : ino_t(0);
    }

    TextServiceFreeType service;
    guitest::RecordingGraphicsContext ctx;
    NoRemote remote;
    ClientDB db;
    Window window;
    PlayerGUI gui;
    std::string folder;
    std::shared_ptr<Menu> menu;
};

void BM_OverlayMenuOpenFrame(benchmark::State& state) {
    OverlayScreen screen;
    // The settings page open, as after a click on its item (which keeps the focus).
    screen.gui.onMouseMove(0, 0);
    screen.menu->rightColumn->toggleSettingsPage();
    screen.gui.setFocus(screen.menu->rightColumn->settingsItem.get(), 0);
    for (int i = 0; i < 3; ++i)
        screen.frame();
    long allocations = 0;
    for (auto _ : state) {
        const long before = static_cast<long>(allocationCount().load());
        screen.frame();
        allocations += static_cast<long>(allocationCount().load()) - before;
    }
    state.counters["widgets"] = double(screen.gui.widgetCount());
    state.counters["allocs/iter"] = benchmark::Counter(double(allocations) / double(state.iterations()));
}
BENCHMARK(BM_OverlayMenuOpenFrame)->Unit(benchmark::kMicrosecond);

void BM_GamepadFormFrame(benchmark::State& state) {
    OverlayScreen screen;
    screen.menu->showGamepadForm(true, nullptr);
    for (int i = 0; i < 3; ++i)
        screen.frame();
    GamepadState pad = GamepadState::neutral();
    long allocations = 0;
    unsigned n = 0;
    for (auto _ : state) {
        // A new state every frame: a button and the left stick move.
        pad.buttons = 1ull << (n % 18);
        pad.axes[0] = std::uint8_t(n);
        ++n;
        const long before = static_cast<long>(allocationCount().load());
        screen.menu->gamepadForm->inputDevice().setState(pad);
        screen.frame();
        allocations += static_cast<long>(allocationCount().load()) - before;
    }
    state.counters["allocs/iter"] = benchmark::Counter(double(allocations) / double(state.iterations()));
}
BENCHMARK(BM_GamepadFormFrame)->Unit(benchmark::kMicrosecond);

// Plus held for 400 frames from 0 (100 steps of 25 units = about 2.4 MiB/s per 100 frames):
// a set-bitrate command each frame, a config.ini write only when "General.Quality" changes.
void BM_BitratePlusHeld(benchmark::State& state) {
    OverlayScreen screen;
    long commands = 0, writes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        screen.window.slider->slider->value = 0;
        ConfigStore::instance().set("General.Quality", -1, true);
        screen.window.setBitrateCommands = 0;
        screen.pressOn(*screen.window.slider->plusPicture);
        ino_t inode = screen.configInode();
        state.ResumeTiming();
        for (int frame = 0; frame < 400; ++frame) {
            screen.frame();
            const ino_t now = screen.configInode();
            if (now != inode) {
                ++writes;
                inode = now;
            }
        }
        state.PauseTiming();
        screen.gui.onMouseButton(0, false);
        commands += screen.window.setBitrateCommands;
        state.ResumeTiming();
    }
    state.counters["commands/hold"] = double(commands) / double(state.iterations());
    state.counters["config writes/hold"] = double(writes) / double(state.iterations());
}
BENCHMARK(BM_BitratePlusHeld)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
