#pragma once
// The updater's main window: one screen at a time, switched on the render thread, with the
// update engine behind it. The run goes firewall check, working folder, server selection,
// file list, downloads, and ends by starting the launcher from the working folder.

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "shell/GLFWAppWindow.h"
#include "updater/UpdaterApi.h"

namespace updater {

class WindowStateBase;

// The executable the updater starts at the end, in the working folder.
extern const char* const kClientExecutableName;  // "NimbrostaClient"

class UpdaterWindow : public GLFWAppMainWindow {
public:
    // How long the end of the main loop waits for the engine's workers before the process
    // ends without them.
    static constexpr int kShutdownWaitMs = 3000;

    explicit UpdaterWindow(UpdaterTimings timings = UpdaterTimings());
    ~UpdaterWindow() override;

    // The updater has no window commands; the background buttons send 0.
    void Command(int) override {}
    // Render thread: switches in the pending screen and releases the screens it replaces.
    void onFrame() override;
    // Main thread: the loading screen, and the firewall check on the engine.
    void onCreate() override;
    // Main thread: releases the screens while the GUI still exists.
    void onDestroy() override;
    // Main thread, after the loop: stops the engine. When its workers do not end in time
    // the process ends here (exit code 0) rather than tearing down what they still use.
    void onRunEnd() override;

    // Stores the screen to be switched in at the next frame; one pending earlier is
    // released then too.
    void setNextState(std::shared_ptr<WindowStateBase> state);
    // Builds a screen and makes it pending, from any thread: under the window's GUI lock and
    // a PlayerGUILock. Nothing happens (false) once the window's GUI has gone.
    bool buildNextState(const std::function<std::shared_ptr<WindowStateBase>()>& build);

    std::shared_ptr<WindowStateBase> getCurrentState();
    UpdaterApi& getApi() { return api; }

    // Ends the process with the code: flushes the output and leaves without running static
    // destructors under threads that still run. Tests replace it.
    void exitProcess(int code);
    void setProcessExit(std::function<void(int)> exit);

private:
    UpdaterApi api;
    std::shared_ptr<WindowStateBase> currentState;
    std::shared_ptr<WindowStateBase> pendingState;
    // Guards pendingState and retired; never held while a screen is built or destroyed.
    std::mutex stateMutex;
    // Pending screens replaced before they were switched in. A screen may be replaced from
    // inside a tick of the GUI, where it must not be destroyed, so they go at the next frame.
    std::vector<std::shared_ptr<WindowStateBase>> retired;
    bool guiGone = false;  // under the window's GUI lock
    std::mutex exitMutex;
    std::function<void(int)> processExit;
};

// Uninstalls the crash reporter, flushes every output stream and ends the process at once.
[[noreturn]] void endProcess(int code);

}  // namespace updater
