#include "updater/tasks/ServerSelectionTasks.h"

#include <cstdint>
#include <map>
#include <vector>

#include "core/LogLine.h"
#include "updater/UpdaterAPIJson.h"

namespace updater {
namespace tasks {

bool UpdateServersTestTask::run() {
    std::vector<std::string> servers;
    bool received = false;
    for (int attempt = 0; attempt < api->timings().tries && !received; ++attempt) {
        UpdaterAPIJson json(&api->cancelFlag());
        received = json.requestGetUpdateServersList(servers);
        if (!received && !api->pauseBeforeRetry()) break;
    }
    if (!received) return false;
    // With no server to time, the join would never run and nothing would start the
    // version check: go on as after a failed list, with the default server.
    if (servers.empty()) {
        LogLine(40, "updater::tasks::UpdateServersTestTask::run", __LINE__).stream()
            << "the server list is empty, using the default update server";
        return false;
    }
    api->updateState.addServers(servers);
    api->startServerTests();
    return true;
}

bool CheckServerSpeedTask::run() {
    std::int64_t ms = states::UpdateState::kNotMeasured;
    for (int attempt = 0; attempt < api->timings().tries; ++attempt) {
        UpdaterAPIJson json(&api->cancelFlag());
        if (json.measureServer(url, ms)) {
            api->updateState.setServerTime(url, ms);
            return true;
        }
        if (!api->pauseBeforeRetry()) break;
    }
    return false;
}

bool SelectBestUpdateServer::run() {
    const std::map<std::string, std::int64_t> times = api->updateState.getServerTimes();
    if (times.empty()) return false;
    auto best = times.begin();
    for (auto it = times.begin(); it != times.end(); ++it)
        if (static_cast<std::uint64_t>(it->second) < static_cast<std::uint64_t>(best->second)) best = it;
    api->updateState.setServer(best->first);
    return true;
}

}  // namespace tasks
}  // namespace updater
