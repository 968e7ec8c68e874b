// The update engine's state: events and progress of the file list, the working-folder
// rules, and listener removal that waits for an event under way.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "UpdaterTestSupport.h"
#include "core/Folders.h"
#include "updater/states/ErrorState.h"
#include "updater/states/UpdateState.h"

using updater::states::ErrorState;
using updater::states::UpdateState;
using updater::states::UpdateStateEvents;
using updater::states::WorkingFolderInfo;
using updatertest::EventLog;

namespace {
UpdateFileInfo file(const std::string& name) {
    UpdateFileInfo f;
    f.filename = name;
    return f;
}
}  // namespace

TEST(UpdateState, EventsAndProgressOfTheFileList) {
    struct Step {
        std::string doneName;  // "" stores the list instead
        bool written;
        std::vector<int> events;
        int percent;
    };
    struct Case {
        const char* what;
        std::vector<std::string> names;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"an empty list is done at once", {}, {{"", false, {2, 1, 6}, 100}}},
        {"one of three", {"a", "b", "c"}, {{"", false, {2, 1}, 0}, {"b", false, {2}, 33}}},
        {"written files raise 5; the last one 6",
         {"a", "b"},
         {{"", false, {2, 1}, 0}, {"a", true, {2, 5}, 50}, {"b", true, {2, 5, 6}, 100}}},
        {"an unknown name: no 2, still 5 and a recount", {"a"}, {{"", false, {2, 1}, 0}, {"nope", true, {5}, 0}}},
        // A repeated name would otherwise never be done and the run would wait for ever.
        {"a repeated name is listed once", {"a", "a", "b"}, {{"", false, {2, 1}, 0}, {"a", false, {2}, 50},
                                                            {"b", false, {2, 6}, 100}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        UpdateState state;
        EventLog<UpdateStateEvents> log;
        state.addListener(&log);
        std::vector<UpdateFileInfo> list;
        for (const std::string& n : c.names) list.push_back(file(n));
        std::size_t seen = 0;
        for (const Step& step : c.steps) {
            if (step.doneName.empty()) state.setUpdateList(true, list);
            else state.setFileDone(step.doneName, step.written);
            const std::vector<int> all = log.events();
            EXPECT_EQ(std::vector<int>(all.begin() + long(seen), all.end()), step.events) << step.doneName;
            seen = all.size();
            EXPECT_EQ(state.getProgressPercent(), step.percent) << step.doneName;
        }
        state.removeListener(&log);
    }
}

TEST(UpdateState, WorkingFolderChoice) {
    struct Case {
        const char* what;
        WorkingFolderInfo portable, user;
        bool preferred;
        std::string name;
        std::vector<std::string> usable;
    };
    const WorkingFolderInfo fresh{"/app", true, true, false, 1};
    const WorkingFolderInfo missing{"/home/u/.local/share/Nimbrosta", false, false, false, 0};
    const WorkingFolderInfo usableUser{"/home/u/.local/share/Nimbrosta", true, true, false, 0};
    const WorkingFolderInfo installedUser{"/home/u/.local/share/Nimbrosta", true, true, true, 0};
    const WorkingFolderInfo installedReadOnly{"/app", false, false, true, 1};
    const Case cases[] = {
        {"first start: only Run Only", fresh, missing, false, "", {"portable"}},
        {"both usable: Install first", fresh, usableUser, false, "", {"user_install", "portable"}},
        {"portable installed wins even read-only", installedReadOnly, installedUser, true, "portable",
         {"user_install"}},
        {"only the per-user folder installed", fresh, installedUser, true, "user_install", {"user_install", "portable"}},
        {"nothing usable: no button", WorkingFolderInfo{"/app", true, false, false, 1}, missing, false, "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        UpdateState state;
        state.setWorkingFolderCandidate("portable", c.portable);
        state.setWorkingFolderCandidate("user_install", c.user);
        std::string name;
        EXPECT_EQ(state.getPreferredWorkingFolder(name), c.preferred);
        if (c.preferred) {
            EXPECT_EQ(name, c.name);
        }
        EXPECT_EQ(state.getUsableWorkingFolders(), c.usable);
    }

    UpdateState state;
    std::string selected;
    const std::string log = testsupport::captureStdout([&] { selected = state.getSelectedPath(); });
    EXPECT_EQ(selected, getExeFolder());
    EXPECT_NE(log.find("updater::states::UpdateState::getSelectedPath"), std::string::npos) << log;
    EXPECT_NE(log.find("]: no path selected!"), std::string::npos) << log;
    state.setWorkingFolderCandidate("user_install", installedUser);
    state.setWorkingFolder("user_install");
    EXPECT_EQ(state.getSelectedPath(), installedUser.path);
}

// A screen unregisters in its destructor: that must not return while a worker is still
// inside the screen's event handler.
TEST(ErrorState, RemovingAListenerWaitsForItsRunningEvent) {
    ErrorState state;
    struct SlowListener : IListenerBase<updater::states::ErrorStateEvents> {
        std::atomic<bool> inside{false};
        std::atomic<bool> finished{false};
        void onEvent(updater::states::ErrorStateEvents) override {
            inside = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            finished = true;
        }
    } listener;
    state.addListener(&listener);
    std::thread worker([&] { state.setError("Failed to check updates, are you connected to the Internet?"); });
    while (!listener.inside) std::this_thread::yield();
    state.removeListener(&listener);
    EXPECT_TRUE(listener.finished) << "removed while its event was still running";
    worker.join();
    EXPECT_EQ(state.getErrorText(), "Failed to check updates, are you connected to the Internet?");
    state.setError("again");  // no longer called
}
