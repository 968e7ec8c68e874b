#pragma once
// The update engine: the run's state (errors, servers, files, working folders), the
// factories of the engine tasks and the pool of two workers that runs them. Results reach
// the screens only through the two parts' events.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "core/ThreadPool.h"
#include "updater/states/ErrorState.h"
#include "updater/states/UpdateState.h"

namespace updater {

// Retries and pauses of the network tasks. The defaults are the product's; tests shorten them.
struct UpdaterTimings {
    int tries = 3;             // attempts of every request
    int retryPauseMs = 500;    // after each failed attempt, the last one included
    int downloadTimeoutS = 900;
};

class UpdaterApi {
public:
    static constexpr unsigned kWorkers = 2;

    explicit UpdaterApi(UpdaterTimings timings = UpdaterTimings());
    // Stops the workers (see shutdown) before the parts go.
    ~UpdaterApi();

    UpdaterApi(const UpdaterApi&) = delete;
    UpdaterApi& operator=(const UpdaterApi&) = delete;

    std::shared_ptr<TaskBase> makeCheckServerSpeedTask(const std::string& url);
    std::shared_ptr<TaskBase> makeCheckVersionGetUpdateListTask(const std::string& product, const std::string& branch);
    std::shared_ptr<TaskBase> makeCheckWorkingFolderTask(const std::string& name, std::int32_t priority,
                                                         const std::string& folder, const std::string& marker);
    std::shared_ptr<TaskBase> makeErrorTask(const std::string& text);
    std::shared_ptr<TaskBase> makeSelectBestUpdateServer();
    std::shared_ptr<TaskBase> makeSuperDownloadFileTask(const std::string& url, const std::string& folder,
                                                        const std::string& filename, const std::string& md5,
                                                        bool mayBeModified);
    std::shared_ptr<TaskBase> makeUpdateServersTestTask();

    // One download task per needed file of the stored list, each failing into the
    // "Failed to update files..." error.
    void startDownloads(const std::string& folder);
    // Times every listed server; the join after the last one selects the fastest.
    void startServerTests();

    // Queues a task on the workers; nothing once the engine has shut down.
    void post(std::shared_ptr<TaskBase> task);

    // Asks the work under way to give up: no further tries, no further pauses, transfers
    // aborted at their next progress report.
    void stop();
    bool stopping() const { return stopping_.load(); }
    const std::atomic<bool>& cancelFlag() const { return stopping_; }
    // stop(), then joins the workers. False when they have not ended within timeoutMs; they
    // are then left running and the caller must end the process without waiting for them.
    bool shutdown(int timeoutMs);

    // Waits the retry pause before the next try; false (at once) when the engine stops.
    bool pauseBeforeRetry();

    const UpdaterTimings& timings() const { return timings_; }

    states::ErrorState errorState;
    states::UpdateState updateState;
    UpdaterApi* const self;

private:
    UpdaterTimings timings_;
    std::atomic<bool> stopping_{false};
    std::mutex poolMutex_;
    std::unique_ptr<ThreadPool> pool;
};

// The second base of every engine task: the engine it works on.
class UpdaterApiChild {
public:
    explicit UpdaterApiChild(UpdaterApi* api) : api(api) {}

protected:
    UpdaterApi* api;
};

}  // namespace updater
