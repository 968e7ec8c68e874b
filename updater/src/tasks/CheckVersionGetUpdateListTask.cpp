#include "updater/tasks/CheckVersionGetUpdateListTask.h"

#include <vector>

#include "updater/UpdaterAPIJson.h"

namespace updater {
namespace tasks {

bool CheckVersionGetUpdateListTask::run() {
    std::string server = api->updateState.getServer();
    if (server.empty()) server = getDefaultUpdateServer();
    for (int attempt = 0; attempt < api->timings().tries; ++attempt) {
        UpdaterAPIJson json(&api->cancelFlag());
        bool required = false;
        std::vector<UpdateFileInfo> files;
        if (json.requestCheckVersionGetUpdateList(server, product, kProgramVersion, branch, required, files)) {
            api->updateState.setUpdateList(required, files);
            return true;
        }
        if (!api->pauseBeforeRetry()) break;
    }
    return false;
}

}  // namespace tasks
}  // namespace updater
