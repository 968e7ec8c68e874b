#pragma once
// The player's only way to the web service. It holds the account model (clientState), runs
// every request as a task on its own worker thread, keeps the model current by polling the
// machine states and the messages, turns service replies that carry a status for the user
// into messages, reports tasks that failed for good as PlayerApiEvents, and marks the user
// active for every input request sent to the machine.
//
// Operations are called from the UI threads and only post tasks; they return at once.
// Tasks run one at a time in posting order; the polls run on the same worker, so a poll
// never overlaps another task. The task factories give the screens ready tasks to chain
// into button and dialog actions.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "core/InputAPIEvent.h"
#include "core/Listenable.h"
#include "core/TaskBase.h"
#include "webapi/ClientState.h"
#include "webapi/HttpClient.h"

class ClientAPIJson;
class ThreadPool;

enum PlayerApiEvents {
    kPlayerApiTaskError = 0,  // a task ended with an error; getLastError gives its text
};

// Time-outs, attempts and periods of the facade; tests shorten them.
struct PlayerApiTimings {
    // Total time of one request attempt.
    std::int32_t requestTimeoutSeconds = HttpClient::kDefaultTimeoutSeconds;
    // Time to connect, within the total.
    long connectTimeoutMs = HttpClient::kConnectTimeoutSeconds * 1000;
    // Attempts of the tasks that retry a failed transport, one right after the other.
    int attempts = 3;
    // Period of the machine-state poll; its first request comes one period after it starts.
    int machinePollPeriodMs = 10000;
};

class PlayerApi : public Listenable<PlayerApiEvents>, public IListenerBase<InputAPIEvent::eInputAPIEvent> {
public:
    // The period of message polling while a machine is streamed.
    static constexpr int kStreamMessagePeriodMs = 60000;

    explicit PlayerApi(const PlayerApiTimings& timings = PlayerApiTimings());
    // Stops like shutdown().
    ~PlayerApi() override;

    PlayerApi(const PlayerApi&) = delete;
    PlayerApi& operator=(const PlayerApi&) = delete;

    // Once, at the start of player mode: asks for the tip, stores a user that holds only the
    // access token, then exchanges the token for the platform token and fetches the account.
    void start(const std::string& accessToken);
    // Creates or starts the selected machine with the selected plan (and data centre, when
    // the machine has none); followUp runs on the worker after a success.
    void createAndStartVm(TaskPtr followUp);
    // Fetches the account snapshot; followUp runs on the worker after a success.
    void getClientInfo(TaskPtr followUp);
    // Machine-state polling every machinePollPeriodMs, off or on (again); turning it off or
    // on cancels the poll in place.
    void monitorAllVmStatus(bool on);
    // Message polling: at once and then every periodMs while on; again cancels the old poll.
    void getMessages(bool on, int periodMs);
    // Sends the idle time-out to the service unchanged.
    void setTimeout(std::int32_t value);
    // Opens the account page in the browser with the user's access token.
    void openAccountPage();
    // Opens the URL in the browser.
    void openUrl(const std::string& url);

    // The text of the last error a task reported; cleared afterwards when clear is true.
    std::string getLastError(bool clear);

    // An input request went to the machine: the user is active.
    void onEvent(InputAPIEvent::eInputAPIEvent event) override;

    // A task failed for good with text: logged and stored unless it equals the last error;
    // with notify, kPlayerApiTaskError is raised on the calling thread. A user's action
    // (userAction) is reported every time, even with the text of the last error.
    void onTaskUnhandledError(const std::string& text, bool notify, bool userAction = false);

    // ---- the worker ----
    // Queue a task, run it once after delayMs, or every periodMs while its repeat flag stays
    // set. After shutdown tasks are dropped. A machine operation (create, start, stop,
    // delete) that post queues is marked in the model's operation state at once, while
    // none is under way.
    void post(TaskPtr task);
    void postDelayed(TaskPtr task, int delayMs);
    void postPeriodic(TaskPtr task, int periodMs);
    // A task that, run on any thread, queues task on the worker (as post does) and succeeds
    // at once; task's follow-ups then run on the worker.
    TaskPtr wrap(TaskPtr task);

    // Cancels the polls, aborts a request under way (within about a second), stops the
    // worker and joins it. Later posts are dropped. The player calls it when its main loop
    // has ended, so no request outlives the process's clean-up of the web library.
    void shutdown();
    bool isShutDown() const { return stopping_.load(); }

    // ---- task factories ----
    TaskPtr makeCreateAndStartVMTask(const DesktopInfo& desktop);
    TaskPtr makeDeleteVMTask(const DesktopInfo& desktop);
    TaskPtr makeStopVMTask(const DesktopInfo& desktop, std::int32_t operationState);
    TaskPtr makeDismissMessageTask(std::int32_t id);
    TaskPtr makeGetClientInfoTask();
    TaskPtr makeGetMessagesTask();
    TaskPtr makeGetTarnholdTokenTask();
    TaskPtr makeGetTipTask();
    TaskPtr makeMonitorAllVmStatusTask();
    TaskPtr makeSetTimoutTask(std::int32_t value);
    // mode 0 opens the URL in the browser, 1 requests it with GET, 2 with POST.
    TaskPtr makeOpenUrlTask(const std::string& url, int mode);

    // Gives a web client of a task this facade's time-outs and abort flag.
    void configure(ClientAPIJson& client) const;
    const PlayerApiTimings& timings() const { return timings_; }

    // The account model; its events come mostly from the worker.
    ClientState clientState;

private:
    // Cancels the poll in slot; when on, a fresh one from make takes its place and is
    // returned (null when off or after shutdown).
    TaskPtr replacePoll(TaskPtr& slot, bool on, TaskPtr (PlayerApi::*make)());

    PlayerApiTimings timings_;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;  // guards the pool pointer, the two polls and lastError_
    std::unique_ptr<ThreadPool> pool_;
    TaskPtr monitorTask_;
    TaskPtr messagesTask_;
    std::string lastError_;
};
