#pragma once
// Asks the selected (or the default) update server for the file list of this build and
// stores it in the engine.

#include <string>

#include "core/TaskBase.h"
#include "updater/UpdaterApi.h"

namespace updater {
namespace tasks {

class CheckVersionGetUpdateListTask : public TaskBase, public UpdaterApiChild {
public:
    CheckVersionGetUpdateListTask(UpdaterApi* api, std::string branch, std::string product)
        : TaskBase(false), UpdaterApiChild(api), branch(std::move(branch)), product(std::move(product)) {}
    bool run() override;

private:
    std::string branch;
    std::string product;
};

}  // namespace tasks
}  // namespace updater
