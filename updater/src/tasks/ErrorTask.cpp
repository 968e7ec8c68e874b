#include "updater/tasks/ErrorTask.h"

namespace updater {
namespace tasks {

bool ErrorTask::run() {
    api->errorState.setError(text);
    return true;
}

}  // namespace tasks
}  // namespace updater
