#include "updater/UpdaterWindow.h"

#include <cstdio>
#include <unistd.h>

#include "core/LogLine.h"
#include "core/SystemHelpers.h"
#include "gui/PlayerGUI.h"
#include "updater/UpdaterScreens.h"
#include "updater/UpdaterWindowTasks.h"

namespace updater {

const char* const kClientExecutableName = "NimbrostaClient";

void endProcess(int code) {
    UninstallCrashReporting();
    std::fflush(nullptr);
    _exit(code);
}

UpdaterWindow::UpdaterWindow(UpdaterTimings timings) : api(timings), processExit(&endProcess) {}

UpdaterWindow::~UpdaterWindow() = default;

void UpdaterWindow::setNextState(std::shared_ptr<WindowStateBase> state) {
    std::lock_guard<std::mutex> lock(stateMutex);
    if (pendingState) retired.push_back(std::move(pendingState));
    pendingState = std::move(state);
}

bool UpdaterWindow::buildNextState(const std::function<std::shared_ptr<WindowStateBase>()>& build) {
    std::lock_guard<std::recursive_mutex> windowLock(guiLock());
    PlayerGUI* gui = getGUI();
    if (guiGone || !gui) return false;
    PlayerGUILock lock(gui);
    setNextState(build());
    return true;
}

std::shared_ptr<WindowStateBase> UpdaterWindow::getCurrentState() {
    std::lock_guard<std::recursive_mutex> windowLock(guiLock());
    return currentState;
}

void UpdaterWindow::onFrame() {
    std::shared_ptr<WindowStateBase> previous;
    std::vector<std::shared_ptr<WindowStateBase>> replaced;
    {
        std::lock_guard<std::mutex> lock(stateMutex);
        replaced.swap(retired);
        if (pendingState) {
            previous = std::move(currentState);
            currentState = std::move(pendingState);
        }
    }
    // Released here, outside the lock: their destructors wait for engine events running on them.
    previous.reset();
    replaced.clear();
}

void UpdaterWindow::onCreate() {
    buildNextState([this] { return std::make_shared<LoadingState>(this); });
    api.post(std::make_shared<CheckFirewallTask>(this));
}

void UpdaterWindow::onDestroy() {
    std::lock_guard<std::recursive_mutex> windowLock(guiLock());
    guiGone = true;
    std::shared_ptr<WindowStateBase> pending, current;
    std::vector<std::shared_ptr<WindowStateBase>> replaced;
    {
        std::lock_guard<std::mutex> lock(stateMutex);
        pending = std::move(pendingState);
        replaced.swap(retired);
    }
    current = std::move(currentState);
    pending.reset();
    replaced.clear();
    current.reset();
}

void UpdaterWindow::onRunEnd() {
    if (api.shutdown(kShutdownWaitMs)) return;
    exitProcess(0);
}

void UpdaterWindow::exitProcess(int code) {
    std::function<void(int)> exit;
    {
        std::lock_guard<std::mutex> lock(exitMutex);
        exit = processExit;
    }
    exit(code);
}

void UpdaterWindow::setProcessExit(std::function<void(int)> exit) {
    std::lock_guard<std::mutex> lock(exitMutex);
    processExit = std::move(exit);
}

}  // namespace updater
