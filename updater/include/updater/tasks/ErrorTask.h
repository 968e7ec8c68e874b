#pragma once
// Sets the engine's error text. Added only as a failure follow-up, so it runs right after
// the task that failed, on its worker.

#include <string>

#include "core/TaskBase.h"
#include "updater/UpdaterApi.h"

namespace updater {
namespace tasks {

class ErrorTask : public TaskBase, public UpdaterApiChild {
public:
    ErrorTask(UpdaterApi* api, std::string text) : TaskBase(false), UpdaterApiChild(api), text(std::move(text)) {}
    bool run() override;

private:
    std::string text;
};

}  // namespace tasks
}  // namespace updater
