#include "updater/UpdaterWindowTasks.h"

#include <sys/stat.h>

#include "core/Folders.h"
#include "core/LogLine.h"
#include "core/SystemHelpers.h"
#include "core/ThreadPool.h"
#include "updater/UpdaterAPIJson.h"
#include "updater/UpdaterScreens.h"
#include "updater/UpdaterWindow.h"
#include "updater/WindowsFirewallManager.h"

namespace updater {

namespace {
const char* const kFailedToCheckUpdates = "Failed to check updates, are you connected to the Internet?";
}  // namespace

bool CheckFirewallTask::run() {
    COMInitializer com;
    com.init();
    bool enabled = false;
    const HRESULT hr = CheckFirewall(enabled);
    // A firewall that cannot be asked counts as one that lets the program through.
    if (enabled || platform::FAILED(hr)) {
        window->getApi().post(std::make_shared<StartCheckWorkingFolderTask>(window));
    } else {
        window->buildNextState([this] { return std::make_shared<AddFirewallRuleState>(window); });
    }
    return true;
}

bool StartAddFirewallRule::run() {
    ProcessInformation process;
    createHProcess(&process, ProcessLaunchInfo{getModuleFilePath(), {"--firewall"}}, true);
    return true;
}

bool StartCheckWorkingFolderTask::run() {
    UpdaterApi& api = window->getApi();
    const std::string exeFolder = getExeFolder();
    // Without a roaming folder there is no per-user folder to test (it would otherwise be
    // a relative path).
    const std::string userFolder = getRoamingAppDataFolder().empty() ? std::string() : getPerUserFolder();
    auto head = std::make_shared<SuccessTask>();
    head->addOnSuccess(api.makeCheckWorkingFolderTask("portable", 1, exeFolder, getLibFolder(exeFolder)));
    head->addOnSuccess(api.makeCheckWorkingFolderTask(
        "user_install", 0, userFolder, userFolder.empty() ? std::string() : getLibFolder(userFolder)));
    head->addOnSuccess(std::make_shared<SetSelectWorkingFolderStateTask>(window));
    api.post(head);
    return true;
}

bool SetSelectWorkingFolderStateTask::run() {
    std::string name;
    if (window->getApi().updateState.getPreferredWorkingFolder(name)) {
        window->getApi().post(std::make_shared<SelectWorkingFolderTask>(window, name));
    } else {
        window->buildNextState([this] { return std::make_shared<SelectWorkingDirState>(window); });
    }
    return true;
}

bool SelectWorkingFolderTask::run() {
    UpdaterApi& api = window->getApi();
    api.updateState.setWorkingFolder(folderName);
    window->buildNextState([this] { return std::make_shared<UpdateWindowState>(window); });
    std::shared_ptr<TaskBase> serversTest = api.makeUpdateServersTestTask();
    serversTest->addOnFailure(std::make_shared<StartUpdateTask>(window));
    api.post(serversTest);
    return true;
}

bool StartUpdateTask::run() {
    struct stat st {};
    const bool devel = ::lstat(joinPath(getExeFolder(), "devel").c_str(), &st) == 0;
    UpdaterApi& api = window->getApi();
    std::shared_ptr<TaskBase> check = api.makeCheckVersionGetUpdateListTask(kUpdateProduct, devel ? "devel" : "release");
    check->addOnFailure(api.makeErrorTask(kFailedToCheckUpdates));
    api.post(check);
    return true;
}

bool ExitTask::run() {
    if (exitCode != 1) {
        window->exitProcess(0);
        return true;
    }
    ProcessInformation launcher;
    const std::string folder = window->getApi().updateState.getSelectedPath();
    createHProcess(&launcher, ProcessLaunchInfo{joinPath(folder, kClientExecutableName), {"--launcher"}}, false);
    window->exitProcess(1);
    return true;
}

bool ScreenAnswerTask::run() {
    if (answered->exchange(true)) return false;
    return ThreadPool::execute(task.get());
}

}  // namespace updater
