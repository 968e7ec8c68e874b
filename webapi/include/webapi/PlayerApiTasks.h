#pragma once
// The tasks of the player's facade. Each runs on the facade's worker: it takes a copy of
// the user, makes a fresh web client, marks the machine operation it stands for (when it
// has one), makes its request (retrying at once while the transport failed, up to the
// facade's attempts, or once for the polls and the tip), writes the reply into the account
// model, and on failure marks the operation failed and reports the error text.
//
// Make them with the factories of PlayerApi (PlayerApi::makeStopVMTask and so on).

#include <cstdint>
#include <functional>
#include <string>

#include "core/TaskBase.h"
#include "webapi/DesktopInfo.h"

class ClientAPIJson;
class PlayerApi;
struct UserInfo;

// The back pointer every task of the facade holds.
struct PlayerApiChild {
    explicit PlayerApiChild(PlayerApi* owner) : api(owner) {}
    PlayerApi* api;
};

class PlayerApiTaskBase : public TaskBase, public PlayerApiChild {
public:
    explicit PlayerApiTaskBase(PlayerApi* owner, bool repeat = false) : TaskBase(repeat), PlayerApiChild(owner) {}

    // A reply with status -2 ("Error") or 2 ("Message") becomes a message of the client
    // itself, with one "Ok" action; any other status does nothing. An "Error" without any
    // text says what failed all the same (failureText).
    void reportApiStatus(const ClientAPIJson& client);

    // The machine operation (create, start, stop, delete) the task stands for, which the
    // facade marks in the model as soon as the task is queued; -1 for the other tasks.
    virtual std::int32_t machineOperation() const { return kNoOperation; }

    // Why a request failed, never empty: the service's error text, else its message, else
    // the transport's failure (no connection, a time-out, an HTTP status), else the status
    // the service refused it with.
    static std::string failureText(const ClientAPIJson& client);

    static constexpr std::int32_t kNoOperation = -1;

protected:

    struct RequestOptions {
        int attempts = 1;
        std::int32_t operationState = kNoOperation;  // the machine operation it stands for
        bool reportStatus = false;                   // messages for status -2 and 2
        bool reportFailure = true;                   // onTaskUnhandledError when it fails
        bool notify = true;                          // ... raising kPlayerApiTaskError
        bool needsPlatform = true;                   // sent to the user's platform address
        bool userAction = false;                     // ... every time, also with the last text
    };
    using Request = std::function<bool(ClientAPIJson& client, const UserInfo& user)>;

    // The common run: attempts, operation state, reports. onSuccess runs after a success.
    // A request for the user's platform is not sent while the platform is not known (no
    // account: a direct connection, or a token the service refused); it fails quietly.
    bool runRequest(const RequestOptions& options, const Request& request, const std::function<void()>& onSuccess);

    using MachineRequest = std::function<bool(ClientAPIJson& client, const UserInfo& user, std::int32_t& eta)>;
    // A start, stop or delete: shown as the machine operation state, retried, its status
    // turned into a message, and its eta stored in the model after a success.
    bool runMachineOperation(std::int32_t state, const MachineRequest& request);
    // The facade's attempts for the tasks that retry.
    int retryingAttempts() const;
};

class CreateAndStartVMTask : public PlayerApiTaskBase {
public:
    CreateAndStartVMTask(PlayerApi* owner, DesktopInfo machine)
        : PlayerApiTaskBase(owner), desktop(std::move(machine)) {}
    bool run() override;
    std::int32_t machineOperation() const override;
    DesktopInfo desktop;
};

class DeleteVMTask : public PlayerApiTaskBase {
public:
    DeleteVMTask(PlayerApi* owner, DesktopInfo machine) : PlayerApiTaskBase(owner), desktop(std::move(machine)) {}
    bool run() override;
    std::int32_t machineOperation() const override;
    DesktopInfo desktop;
};

class StopVMTask : public PlayerApiTaskBase {
public:
    // state: the machine operation the stop shows (kVmStopping from every caller).
    StopVMTask(PlayerApi* owner, DesktopInfo machine, std::int32_t state)
        : PlayerApiTaskBase(owner), desktop(std::move(machine)), operationState(state) {}
    bool run() override;
    // A stop with the idle state (the end of a session) shows no operation.
    std::int32_t machineOperation() const override;
    DesktopInfo desktop;
    std::int32_t operationState;
};

class DismissMessageTask : public PlayerApiTaskBase {
public:
    DismissMessageTask(PlayerApi* owner, std::int32_t messageId) : PlayerApiTaskBase(owner), id(messageId) {}
    // A message of the client itself is only removed from the model, without a request.
    bool run() override;
    std::int32_t id;
};

class SetTimoutTask : public PlayerApiTaskBase {
public:
    SetTimoutTask(PlayerApi* owner, std::int32_t value) : PlayerApiTaskBase(owner), timeout(value) {}
    bool run() override;
    std::int32_t timeout;
};

class GetClientInfoTask : public PlayerApiTaskBase {
public:
    explicit GetClientInfoTask(PlayerApi* owner) : PlayerApiTaskBase(owner) {}
    bool run() override;
};

class GetMessagesTask : public PlayerApiTaskBase {
public:
    explicit GetMessagesTask(PlayerApi* owner) : PlayerApiTaskBase(owner) {}
    bool run() override;
};

class GetTarnholdTokenTask : public PlayerApiTaskBase {
public:
    explicit GetTarnholdTokenTask(PlayerApi* owner) : PlayerApiTaskBase(owner) {}
    bool run() override;
};

class GetTipTask : public PlayerApiTaskBase {
public:
    explicit GetTipTask(PlayerApi* owner) : PlayerApiTaskBase(owner) {}
    bool run() override;
};

class MonitorAllVmStatusTask : public PlayerApiTaskBase {
public:
    explicit MonitorAllVmStatusTask(PlayerApi* owner) : PlayerApiTaskBase(owner, true) {}
    bool run() override;
};
