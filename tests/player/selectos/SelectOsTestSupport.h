#pragma once
// Fixtures of the machine-selection panel tests: the toolkit's recording bench, a player
// window stand-in that records the commands posted to it, a web facade signed in at the
// stand-in service, and language texts whose formats show their arguments.

#include <algorithm>
#include <atomic>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "PlayerUiTestSupport.h"
#include "StubService.h"
#include "core/LanguageStore.h"
#include "core/TaskBase.h"
#include "player-ui/CustomUICommandHandler.h"
#include "player-ui/IPlayerWindow.h"
#include "webapi/JsonReaders.h"
#include "webapi/PlayerApi.h"

namespace selectostest {

// The program's English texts (when given), then the texts the tests check, with the format
// arguments visible in the result.
inline void loadTestTexts(const std::string& programTexts = std::string()) {
    const std::string tested =
                           "text_selectos_main_dorvik_computer=%s machine\n"
                           "text_selectos_dorvik=balance %d\n"
                           "text_selectos_dorvik_charge=charge %d\n"
                           "text_selectos_memory=storage %d/%d\n"
                           "text_selectos_trial_ends_in=trial %d h %d min\n"
                           "text_selectos_plan_table_cost=%d credit\n"
                           "text_selectos_plan_table_costs=%d credits\n"
                           "text_select_os_tip=tip: %s\n"
                           "text_selectos_purchase=Purchase\n"
                           "text_selectos_upgrade_plan=Upgrade\n"
                           "text_selectos_pulling_acc=Pulling the account\n"
                           "text_select_os_loading=Loading\n"
                           "text_select_os_creating=Creating\n"
                           "text_select_os_starting=Starting\n"
                           "text_select_os_stopping=Stopping\n"
                           "text_select_os_deleted=Deleting\n"
                           "button_ok=OK\n";
    // One file (a key may appear once): the program's lines that the tests do not replace.
    std::string merged;
    std::istringstream program(programTexts.empty() ? std::string() : testsupport::readFile(programTexts));
    for (std::string line; std::getline(program, line);) {
        const std::string key = line.substr(0, line.find('=') + 1);
        if (key.size() > 1 && tested.find("\n" + key) == std::string::npos && tested.rfind(key, 0) != 0)
            merged += line + "\n";
    }
    testsupport::TempDir dir;
    const std::string path = dir.file("lang_test.ini");
    testsupport::writeFile(path, merged + tested);
    LanguageStore::instance().loadFile(path);
}

inline std::string text(const char* key) { return LanguageStore::instance().text(key); }

class FakeWindow : public IPlayerWindow {
public:
    explicit FakeWindow(PlayerGUI* gui, const PlayerApiTimings& timings = PlayerApiTimings())
        : api(timings), gui_(gui) {}
    ~FakeWindow() { api.shutdown(); }

    PlayerGUI* playerGUI() const override { return gui_; }
    ClientState& clientState() override { return api.clientState; }
    PlayerApi& playerApi() override { return api; }
    PopupDialogManager& popupManager() override { throw std::logic_error("no popup manager here"); }
    void sendCommand(int id) override { postCommand(id); }
    void postCommand(int id) override {
        std::lock_guard<std::mutex> lock(mutex_);
        posted_.push_back(id);
    }
    int allocateCommandId() override { return nextId_++; }
    std::recursive_mutex& guiMutex() const override { return guiMutex_; }
    GLFWAppWindow& appWindow() override { throw std::logic_error("no window here"); }

    std::vector<int> posted() {
        std::lock_guard<std::mutex> lock(mutex_);
        return posted_;
    }
    std::vector<int> takePosted() {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<int> out;
        out.swap(posted_);
        return out;
    }

    PlayerApi api;

private:
    PlayerGUI* gui_;
    std::mutex mutex_;
    std::vector<int> posted_;
    std::atomic<int> nextId_{1126};
    mutable std::recursive_mutex guiMutex_;
};

// The screen's side of registered tasks, run as a click on the id would.
class Commands : public CustomUICommandHandler {
public:
    explicit Commands(FakeWindow& window) : window_(window) {}
    int allocateCommandId() override { return window_.allocateCommandId(); }
    void setValue(int) override {}

private:
    FakeWindow& window_;
};

// A token of an account of the stand-in service: "access_token" or "tarnhold_token".
inline std::string tokenOf(StubService& stub, const char* email, const char* which) {
    rapidjson::Document doc;
    if (!parseJsonText(doc, stub.control("state"))) return std::string();
    const rapidjson::Value* account = findMember(doc, email);
    std::string token;
    if (account) readJsonString(*account, which, token);
    return token;
}
inline std::string accessTokenOf(StubService& stub, const char* email) { return tokenOf(stub, email, "access_token"); }

// A query as the client sends it, from the first parameter after the version hash.
inline std::string afterVersionHash(const std::string& query) {
    const std::size_t at = query.find('&');
    return query.rfind("version_hash=", 0) == 0 && at != std::string::npos ? query.substr(at) : "no version hash";
}

template <typename F>
bool waitFor(F done, int timeoutMs = 10000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// Signs the facade in as user@example.com and waits for the account snapshot.
inline bool signIn(StubService& stub, FakeWindow& window) {
    window.api.start(accessTokenOf(stub, "user@example.com"));
    return waitFor([&] { return !window.api.clientState.getClientInfo().desktops.empty(); });
}

// The requests the service got, as "path?query" targets, without the control endpoints.
inline std::vector<std::string> targets(StubService& stub) {
    std::vector<std::string> out;
    for (const LoggedRequest& r : stub.log()) out.push_back(r.target);
    return out;
}

}  // namespace selectostest
