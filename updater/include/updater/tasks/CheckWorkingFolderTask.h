#pragma once
// Tests one candidate working folder (installed? writable? readable?) and records the
// result in the engine.

#include <cstdint>
#include <string>

#include "core/TaskBase.h"
#include "updater/UpdaterApi.h"

namespace updater {
namespace tasks {

class CheckWorkingFolderTask : public TaskBase, public UpdaterApiChild {
public:
    CheckWorkingFolderTask(UpdaterApi* api, std::string name, std::int32_t priority, std::string folder,
                           std::string marker)
        : TaskBase(false),
          UpdaterApiChild(api),
          name(std::move(name)),
          priority(priority),
          folder(std::move(folder)),
          marker(std::move(marker)) {}

    bool run() override;
    // Writes and deletes "test_file.txt" in folder, and reads one byte of the first
    // non-empty file found there.
    static void testFolder(const std::string& folder, bool& readOk, bool& writeOk);

private:
    std::string name;
    std::int32_t priority;
    std::string folder;
    std::string marker;
};

}  // namespace tasks
}  // namespace updater
