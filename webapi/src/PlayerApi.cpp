#include "webapi/PlayerApi.h"

#include "core/LogLine.h"
#include "core/ThreadPool.h"
#include "webapi/ClientAPIJson.h"
#include "webapi/OpenURLTask.h"
#include "webapi/PlayerApiTasks.h"
#include "webapi/RequestParams.h"

PlayerApi::PlayerApi(const PlayerApiTimings& timings) : timings_(timings), pool_(std::make_unique<ThreadPool>(1)) {}

PlayerApi::~PlayerApi() {
    shutdown();
    std::lock_guard<std::mutex> guard(mutex_);
    lastError_.clear();
}

void PlayerApi::start(const std::string& accessToken) {
    LogLine(0, "PlayerApi::start", __LINE__).stream() << "access token of " << accessToken.size() << " characters";
    post(makeGetTipTask());
    UserInfo user;
    user.accessToken = accessToken;
    clientState.setUser(user);
    TaskPtr token = makeGetTarnholdTokenTask();
    token->addOnSuccess(makeGetClientInfoTask());
    post(token);
}

void PlayerApi::createAndStartVm(TaskPtr followUp) {
    DesktopInfo desktop = clientState.getSelectedDesktop();
    const std::string plan = clientState.getSelectedPlan();
    // The chosen plan wins over the machine's; without a choice the machine keeps its own.
    if (!plan.empty()) desktop.plan = plan;
    if (desktop.datacenter.empty()) desktop.datacenter = clientState.getSelectedDatacenter();
    TaskPtr task = makeCreateAndStartVMTask(desktop);
    task->addOnSuccess(std::move(followUp));
    post(task);
}

void PlayerApi::getClientInfo(TaskPtr followUp) {
    TaskPtr task = makeGetClientInfoTask();
    task->addOnSuccess(std::move(followUp));
    post(task);
}

TaskPtr PlayerApi::replacePoll(TaskPtr& slot, bool on, TaskPtr (PlayerApi::*make)()) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (slot) slot->cancel();
    slot.reset();
    if (!on || !pool_) return nullptr;
    slot = (this->*make)();
    slot->setRepeat(true);
    return slot;
}

void PlayerApi::monitorAllVmStatus(bool on) {
    if (TaskPtr task = replacePoll(monitorTask_, on, &PlayerApi::makeMonitorAllVmStatusTask))
        postPeriodic(task, timings_.machinePollPeriodMs);
}

void PlayerApi::getMessages(bool on, int periodMs) {
    if (TaskPtr task = replacePoll(messagesTask_, on, &PlayerApi::makeGetMessagesTask)) {
        postPeriodic(task, periodMs);
        post(task);
    }
}

void PlayerApi::setTimeout(std::int32_t value) { post(makeSetTimoutTask(value)); }

void PlayerApi::openAccountPage() {
    // The client is made here only for its escaping.
    HttpClient client;
    RequestParams params(client, false);
    params.add("authentication_token", clientState.getUser().accessToken, true);
    post(makeOpenUrlTask(getServiceBaseUrl() + "/clients/new" + params.toQueryString(), OpenURLTask::Browser));
}

void PlayerApi::openUrl(const std::string& url) { post(makeOpenUrlTask(url, OpenURLTask::Browser)); }

std::string PlayerApi::getLastError(bool clear) {
    std::lock_guard<std::mutex> guard(mutex_);
    std::string text = lastError_;
    if (clear) lastError_.clear();
    return text;
}

void PlayerApi::onEvent(InputAPIEvent::eInputAPIEvent) { clientState.touch(); }

void PlayerApi::onTaskUnhandledError(const std::string& text, bool notifyListeners, bool userAction) {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        // A poll or fetch that keeps failing the same way is told once. What the user asked
        // for is told every time: its failure is news even when a poll met the same fault.
        if (text == lastError_ && !userAction) return;
        lastError_ = text;
    }
    LogLine(50, "PlayerApi::onTaskUnhandledError", __LINE__).stream() << "Unhanded error: " << text;
    if (notifyListeners) notify(kPlayerApiTaskError);
}

void PlayerApi::post(TaskPtr task) {
    // A machine operation shows in the model from the moment it is asked for, not only once
    // the worker gets to it: the worker may be busy with a poll for a while, and the screens
    // must not offer the same operation again meanwhile.
    if (auto* request = dynamic_cast<PlayerApiTaskBase*>(task.get())) {
        const std::int32_t operation = request->machineOperation();
        if (operation != PlayerApiTaskBase::kNoOperation && !isShutDown())
            clientState.compareAndSetVmOperationState(operation, kVmIdle);
    }
    std::lock_guard<std::mutex> guard(mutex_);
    if (pool_) pool_->post(std::move(task));
}

namespace {
// Hands its task to the facade's worker when run. It goes through post rather than the
// pool's own wrap, so a click after shutdown drops the task instead of reaching a pool that
// is gone.
class PostToWorkerTask : public TaskBase {
public:
    PostToWorkerTask(PlayerApi* api, TaskPtr task) : TaskBase(false), api_(api), task_(std::move(task)) {}
    bool run() override {
        api_->post(task_);
        return true;
    }

private:
    PlayerApi* api_;
    TaskPtr task_;
};
}  // namespace

TaskPtr PlayerApi::wrap(TaskPtr task) { return std::make_shared<PostToWorkerTask>(this, std::move(task)); }

void PlayerApi::postDelayed(TaskPtr task, int delayMs) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (pool_) pool_->addDelayed(std::move(task), delayMs);
}

void PlayerApi::postPeriodic(TaskPtr task, int periodMs) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (pool_) pool_->addPeriodic(std::move(task), periodMs);
}

void PlayerApi::shutdown() {
    std::unique_ptr<ThreadPool> pool;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        stopping_.store(true);
        if (monitorTask_) monitorTask_->cancel();
        if (messagesTask_) messagesTask_->cancel();
        monitorTask_.reset();
        messagesTask_.reset();
        pool = std::move(pool_);
    }
    // Joined outside the lock: the task under way may still post (its posts are dropped).
    pool.reset();
}

TaskPtr PlayerApi::makeCreateAndStartVMTask(const DesktopInfo& desktop) {
    return std::make_shared<CreateAndStartVMTask>(this, desktop);
}

TaskPtr PlayerApi::makeDeleteVMTask(const DesktopInfo& desktop) {
    return std::make_shared<DeleteVMTask>(this, desktop);
}

TaskPtr PlayerApi::makeStopVMTask(const DesktopInfo& desktop, std::int32_t operationState) {
    return std::make_shared<StopVMTask>(this, desktop, operationState);
}

TaskPtr PlayerApi::makeDismissMessageTask(std::int32_t id) { return std::make_shared<DismissMessageTask>(this, id); }

TaskPtr PlayerApi::makeGetClientInfoTask() { return std::make_shared<GetClientInfoTask>(this); }

TaskPtr PlayerApi::makeGetMessagesTask() { return std::make_shared<GetMessagesTask>(this); }

TaskPtr PlayerApi::makeGetTarnholdTokenTask() { return std::make_shared<GetTarnholdTokenTask>(this); }

TaskPtr PlayerApi::makeGetTipTask() { return std::make_shared<GetTipTask>(this); }

TaskPtr PlayerApi::makeMonitorAllVmStatusTask() { return std::make_shared<MonitorAllVmStatusTask>(this); }

TaskPtr PlayerApi::makeSetTimoutTask(std::int32_t value) { return std::make_shared<SetTimoutTask>(this, value); }

TaskPtr PlayerApi::makeOpenUrlTask(const std::string& url, int mode) {
    return std::make_shared<OpenURLTask>(mode, url);
}

void PlayerApi::configure(ClientAPIJson& client) const {
    client.client.setTimeoutSeconds(timings_.requestTimeoutSeconds);
    client.client.setConnectTimeoutMilliseconds(timings_.connectTimeoutMs);
    client.client.setAbortFlag(&stopping_);
}
