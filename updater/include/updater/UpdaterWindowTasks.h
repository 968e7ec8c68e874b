#pragma once
// The tasks of the updater window: they run on the engine's workers, or at once on the main
// thread when a button starts them, switch screens and start the engine's work.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "core/TaskBase.h"
#include "gui/GUITasks.h"

namespace updater {

class UpdaterWindow;

// Whether the firewall lists the program; asks the user when it does not.
class CheckFirewallTask : public TaskBase {
public:
    explicit CheckFirewallTask(UpdaterWindow* window) : TaskBase(false), window(window) {}
    bool run() override;

private:
    UpdaterWindow* window;
};

// Starts the executable again with raised rights and --firewall; never waits for it.
class StartAddFirewallRule : public TaskBase {
public:
    StartAddFirewallRule() : TaskBase(false) {}
    bool run() override;
};

// Tests the two candidate working folders, then chooses or asks.
class StartCheckWorkingFolderTask : public TaskBase {
public:
    explicit StartCheckWorkingFolderTask(UpdaterWindow* window) : TaskBase(false), window(window) {}
    bool run() override;

private:
    UpdaterWindow* window;
};

class SetSelectWorkingFolderStateTask : public TaskBase {
public:
    explicit SetSelectWorkingFolderStateTask(UpdaterWindow* window) : TaskBase(false), window(window) {}
    bool run() override;

private:
    UpdaterWindow* window;
};

// Takes the folder, shows the update screen and starts the server selection.
class SelectWorkingFolderTask : public TaskBase {
public:
    SelectWorkingFolderTask(UpdaterWindow* window, std::string folderName)
        : TaskBase(false), window(window), folderName(std::move(folderName)) {}
    bool run() override;

private:
    UpdaterWindow* window;
    std::string folderName;
};

// Asks the update server for the file list ("devel" beside the executable picks that branch).
class StartUpdateTask : public TaskBase {
public:
    explicit StartUpdateTask(UpdaterWindow* window) : TaskBase(false), window(window) {}
    bool run() override;

private:
    UpdaterWindow* window;
};

// Code 1: starts the launcher from the working folder, then ends the process with 1.
// Any other code ends the process with 0.
class ExitTask : public TaskBase {
public:
    ExitTask(std::int32_t exitCode, UpdaterWindow* window) : TaskBase(false), exitCode(exitCode), window(window) {}
    bool run() override;

private:
    std::int32_t exitCode;
    UpdaterWindow* window;
};

// A screen's button task: the first click of any of the screen's buttons runs its task
// (with its follow-ups) at once; later clicks do nothing, so a double click cannot start
// a second run of the update.
class ScreenAnswerTask : public PlayerGUITask {
public:
    ScreenAnswerTask(std::shared_ptr<std::atomic<bool>> answered, std::shared_ptr<TaskBase> task)
        : answered(std::move(answered)), task(std::move(task)) {}
    bool run() override;

private:
    std::shared_ptr<std::atomic<bool>> answered;
    std::shared_ptr<TaskBase> task;
};

}  // namespace updater
