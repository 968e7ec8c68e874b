#pragma once
// A stand-in player window for the dialog and tour tests: the recording bench's GUI, a real
// web facade and the popup dialog manager, wired as the player window wires them. Commands
// sent through the GUI (buttons, the grey-out overlay) reach the manager first and are
// recorded; posted commands wait until the test runs them as the main loop would.

#include "PlayerUiTestSupport.h"

#include <gtest/gtest.h>

#include "core/LanguageStore.h"
#include "gui/Static.h"
#include "player-ui/IPlayerWindow.h"
#include "player-ui/PopupDialogForm.h"
#include "player-ui/PopupDialogManager.h"
#include "webapi/PlayerApi.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>
#include <mutex>
#include <vector>

namespace playeruitest {

// Loads the given texts as the process's language, replacing whatever was loaded; every
// other key then reads as itself.
inline void loadLanguage(const std::map<std::string, std::string>& texts) {
    char path[] = "/tmp/nimbrosta-lang-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    {
        std::ofstream out(path);
        for (const auto& t : texts) out << t.first << "=" << t.second << "\n";
    }
    ASSERT_TRUE(LanguageStore::instance().loadFile(path));
    std::remove(path);
}

// What a label shows: the text of its spans.
inline std::string labelText(const Static& label) {
    std::string text;
    for (const TextSpan& span : label.richText().spans) text += span.text;
    return text;
}

class DialogWindow : public IPlayerWindow {
public:
    DialogWindow(PlayerGUI* gui, guitest::BenchHandler& handler, const PlayerApiTimings& timings)
        : api(timings), manager(this), gui_(gui), handler_(handler) {}

    PlayerGUI* playerGUI() const override { return gui_; }
    ClientState& clientState() override { return api.clientState; }
    PlayerApi& playerApi() override { return api; }
    PopupDialogManager& popupManager() override { return manager; }
    void sendCommand(int id) override { handler_.onCommand(id); }
    void postCommand(int id) override {
        std::lock_guard<std::mutex> lock(postedMutex_);
        posted_.push_back(id);
    }
    int allocateCommandId() override { return nextId_++; }
    std::recursive_mutex& guiMutex() const override { return guiMutex_; }
    GLFWAppWindow& appWindow() override { std::abort(); }
    bool isDirectConnection() const override { return direct; }

    // The commands posted so far, taken out of the queue without running them.
    std::vector<int> takePosted() {
        std::lock_guard<std::mutex> lock(postedMutex_);
        std::vector<int> out;
        out.swap(posted_);
        return out;
    }
    // Runs the posted commands, as the main loop would after the click; returns them.
    std::vector<int> runPosted() {
        const std::vector<int> ids = takePosted();
        for (int id : ids) sendCommand(id);
        return ids;
    }

    PlayerApi api;
    PopupDialogManager manager;
    bool direct = false;  // a machine of the command line

private:
    PlayerGUI* gui_;
    guitest::BenchHandler& handler_;
    std::mutex postedMutex_;
    std::vector<int> posted_;
    int nextId_ = 1126;
    mutable std::recursive_mutex guiMutex_;
};

// A 1280x720 window with the manager installed and its overlay made.
struct DialogBench : Bench {
    explicit DialogBench(const PlayerApiTimings& timings = PlayerApiTimings())
        : Bench(1280, 720), window(gui.get(), handler, timings) {
        handler.hook = [this](int id) { window.manager.onCommand(id); };
        window.manager.createGreyOutButton();
        gui->setPopupManager(&window.manager);
        render();
    }
    ~DialogBench() { gui->setPopupManager(nullptr); }

    PopupDialogManager& manager() { return window.manager; }
    void send(int id) { window.sendCommand(id); }
    PopupDialogForm& form() {
        PopupDialogForm* f = window.manager.currentForm();
        if (!f) throw std::runtime_error("no dialog on screen");
        return *f;
    }
    // The commands the GUI and the window dispatched since the last call.
    std::vector<int> takeSent() {
        std::vector<int> out;
        out.swap(handler.commands);
        return out;
    }

    DialogWindow window;
};

}  // namespace playeruitest
