#include "updater/UpdaterApi.h"

#include <chrono>
#include <condition_variable>
#include <thread>

#include "core/LogLine.h"
#include "updater/tasks/CheckVersionGetUpdateListTask.h"
#include "updater/tasks/CheckWorkingFolderTask.h"
#include "updater/tasks/ErrorTask.h"
#include "updater/tasks/ServerSelectionTasks.h"
#include "updater/tasks/SuperDownloadFileTask.h"
#include "platform/Thread.h"

namespace updater {

namespace {
const char* const kFailedToUpdateFiles =
    "Failed to update files, please check folder permissions and internet connection";
// The slice in which a pause notices that the engine stops.
constexpr int kPauseSliceMs = 20;
}  // namespace

UpdaterApi::UpdaterApi(UpdaterTimings timings)
    : self(this), timings_(timings), pool(std::make_unique<ThreadPool>(kWorkers)) {}

UpdaterApi::~UpdaterApi() {
    stop();
    std::lock_guard<std::mutex> lock(poolMutex_);
    pool.reset();
}

std::shared_ptr<TaskBase> UpdaterApi::makeCheckServerSpeedTask(const std::string& url) {
    return std::make_shared<tasks::CheckServerSpeedTask>(self, url);
}

std::shared_ptr<TaskBase> UpdaterApi::makeCheckVersionGetUpdateListTask(const std::string& product,
                                                                        const std::string& branch) {
    return std::make_shared<tasks::CheckVersionGetUpdateListTask>(self, branch, product);
}

std::shared_ptr<TaskBase> UpdaterApi::makeCheckWorkingFolderTask(const std::string& name, std::int32_t priority,
                                                                 const std::string& folder, const std::string& marker) {
    return std::make_shared<tasks::CheckWorkingFolderTask>(self, name, priority, folder, marker);
}

std::shared_ptr<TaskBase> UpdaterApi::makeErrorTask(const std::string& text) {
    return std::make_shared<tasks::ErrorTask>(self, text);
}

std::shared_ptr<TaskBase> UpdaterApi::makeSelectBestUpdateServer() {
    return std::make_shared<tasks::SelectBestUpdateServer>(self);
}

std::shared_ptr<TaskBase> UpdaterApi::makeSuperDownloadFileTask(const std::string& url, const std::string& folder,
                                                                const std::string& filename, const std::string& md5,
                                                                bool mayBeModified) {
    return std::make_shared<tasks::SuperDownloadFileTask>(self, url, folder, filename, md5, mayBeModified);
}

std::shared_ptr<TaskBase> UpdaterApi::makeUpdateServersTestTask() {
    return std::make_shared<tasks::UpdateServersTestTask>(self);
}

void UpdaterApi::startDownloads(const std::string& folder) {
    bool required = false;
    std::vector<UpdateFileInfo> list;
    updateState.getUpdateList(required, list);
    for (const UpdateFileInfo& record : list) {
        if (!record.needed) continue;
        std::shared_ptr<TaskBase> task =
            makeSuperDownloadFileTask(record.url, folder, record.filename, record.md5, record.may_be_modified);
        task->addOnFailure(makeErrorTask(kFailedToUpdateFiles));
        post(task);
    }
}

void UpdaterApi::startServerTests() {
    const std::map<std::string, std::int64_t> times = updateState.getServerTimes();
    auto join = std::make_shared<CountedConditionTask>(static_cast<int>(times.size()));
    join->addOnSuccess(makeSelectBestUpdateServer());
    for (const auto& entry : times) {
        std::shared_ptr<TaskBase> test = makeCheckServerSpeedTask(entry.first);
        test->addOnBoth(join);
        post(test);
    }
}

void UpdaterApi::post(std::shared_ptr<TaskBase> task) {
    std::lock_guard<std::mutex> lock(poolMutex_);
    if (pool) pool->post(std::move(task));
}

void UpdaterApi::stop() { stopping_.store(true); }

bool UpdaterApi::shutdown(int timeoutMs) {
    stop();
    std::unique_ptr<ThreadPool> workers;
    {
        std::lock_guard<std::mutex> lock(poolMutex_);
        workers = std::move(pool);
    }
    if (!workers) return true;
    // Joined on a helper thread so that a worker stuck in a transfer cannot hold the caller.
    struct Join {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
    };
    auto join = std::make_shared<Join>();
    std::thread joiner = platform::startThread([join, pool = std::move(workers)]() mutable {
        pool.reset();
        std::lock_guard<std::mutex> lock(join->mutex);
        join->finished = true;
        join->done.notify_all();
    });
    std::unique_lock<std::mutex> lock(join->mutex);
    if (join->done.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return join->finished; })) {
        lock.unlock();
        joiner.join();
        return true;
    }
    LogLine(40, "updater::UpdaterApi::shutdown", __LINE__).stream() << "workers still busy after " << timeoutMs << " ms";
    joiner.detach();
    return false;
}

bool UpdaterApi::pauseBeforeRetry() {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timings_.retryPauseMs);
    while (!stopping()) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= end) return true;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            end - now, std::chrono::milliseconds(kPauseSliceMs)));
    }
    return false;
}

}  // namespace updater
