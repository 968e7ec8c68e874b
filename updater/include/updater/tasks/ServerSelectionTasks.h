#pragma once
// Picking the update server: the service lists the servers, each is timed, and the join
// after the last timing selects the fastest (ties go to the byte-wise smaller URL).

#include <string>

#include "core/TaskBase.h"
#include "updater/UpdaterApi.h"

namespace updater {
namespace tasks {

// Fetches the server list (tries with pauses) and starts the timings. Fails when the list
// cannot be had or is empty, so that its failure follow-up goes on with the default server.
class UpdateServersTestTask : public TaskBase, public UpdaterApiChild {
public:
    explicit UpdateServersTestTask(UpdaterApi* api) : TaskBase(false), UpdaterApiChild(api) {}
    bool run() override;
};

// Times one server; it keeps "not measured" when no try succeeds.
class CheckServerSpeedTask : public TaskBase, public UpdaterApiChild {
public:
    CheckServerSpeedTask(UpdaterApi* api, std::string url) : TaskBase(false), UpdaterApiChild(api), url(std::move(url)) {}
    bool run() override;

private:
    std::string url;
};

// Selects the server with the smallest time.
class SelectBestUpdateServer : public TaskBase, public UpdaterApiChild {
public:
    explicit SelectBestUpdateServer(UpdaterApi* api) : TaskBase(false), UpdaterApiChild(api) {}
    bool run() override;
};

}  // namespace tasks
}  // namespace updater
