#include "webapi/PlayerApiTasks.h"

#include <vector>

#include "core/LogLine.h"

#include "webapi/ClientAPIJson.h"
#include "webapi/PlayerApi.h"

namespace {
const std::int32_t kStatusError = -2;
const std::int32_t kStatusMessage = 2;
}  // namespace

void PlayerApiTaskBase::reportApiStatus(const ClientAPIJson& client) {
    const char* title = client.status == kStatusError ? "Error" : client.status == kStatusMessage ? "Message" : nullptr;
    if (!title) return;
    MessageInfo message;
    message.id = api->clientState.takeLocalMessageId();
    message.title = title;
    message.body = client.message.empty() ? client.error : client.message;
    if (message.body.empty() && client.status == kStatusError) message.body = failureText(client);
    MessageAction ok;
    ok.text = "Ok";
    message.actions.push_back(ok);
    std::vector<MessageInfo> list{message};
    api->clientState.addMessages(list);
}

std::string PlayerApiTaskBase::failureText(const ClientAPIJson& client) {
    if (!client.error.empty()) return client.error;
    if (!client.message.empty()) return client.message;
    const std::string transport = client.client.failureText();
    if (!transport.empty()) return transport;
    return "The service refused the request (status " + std::to_string(client.status) + ")";
}

int PlayerApiTaskBase::retryingAttempts() const { return api->timings().attempts; }

bool PlayerApiTaskBase::runRequest(const RequestOptions& options, const Request& request,
                                   const std::function<void()>& onSuccess) {
    ClientState& state = api->clientState;
    const UserInfo user = state.getUser();
    if (options.needsPlatform && user.tarnholdUrl.empty()) {
        // A host-less address would only fail, three times, and say nothing useful.
        LogLine(40, "PlayerApiTaskBase::runRequest", __LINE__).stream()
            << "not sent: no account platform is known";
        if (options.operationState != kNoOperation) state.compareAndSetVmOperationState(kVmFailed, options.operationState);
        return false;
    }
    ClientAPIJson client;
    api->configure(client);
    if (options.operationState != kNoOperation) state.compareAndSetVmOperationState(options.operationState, kVmIdle);

    bool ok = false;
    for (int attempt = 0; attempt < options.attempts && !ok; ++attempt) {
        ok = request(client, user);
        const bool answered = client.client.isOk();
        if (answered && options.reportStatus) reportApiStatus(client);
        // A service that answered and refused will refuse again; only a failed transport
        // is worth another attempt.
        if (answered || api->isShutDown()) break;
    }
    if (ok) {
        if (onSuccess) onSuccess();
        return true;
    }
    // Aborted because the player is closing: nobody is left to tell.
    if (api->isShutDown()) return false;
    if (options.operationState != kNoOperation) state.compareAndSetVmOperationState(kVmFailed, options.operationState);
    // A user's action that failed says why even when the reply had no text, or there was
    // no reply at all.
    if (options.reportFailure) api->onTaskUnhandledError(failureText(client), options.notify, options.userAction);
    return false;
}

bool PlayerApiTaskBase::runMachineOperation(std::int32_t state, const MachineRequest& request) {
    RequestOptions options;
    options.attempts = retryingAttempts();
    options.operationState = state;
    options.reportStatus = true;
    options.userAction = true;
    std::int32_t eta = 0;
    return runRequest(
        options, [&](ClientAPIJson& client, const UserInfo& user) { return request(client, user, eta); },
        [&] { api->clientState.setVmOperationEta(eta); });
}

std::int32_t CreateAndStartVMTask::machineOperation() const { return desktop.isEmpty() ? kVmCreating : kVmStarting; }

std::int32_t DeleteVMTask::machineOperation() const { return kVmDeleting; }

std::int32_t StopVMTask::machineOperation() const {
    return operationState > kVmFailed ? operationState : kNoOperation;
}

bool CreateAndStartVMTask::run() {
    return runMachineOperation(machineOperation(),
                               [&](ClientAPIJson& client, const UserInfo& user, std::int32_t& eta) {
                                   return client.requestCreateAndStartVM(user.tarnholdUrl, user.tarnholdToken,
                                                                         desktop, eta);
                               });
}

bool DeleteVMTask::run() {
    return runMachineOperation(kVmDeleting, [&](ClientAPIJson& client, const UserInfo& user, std::int32_t& eta) {
        return client.requestDestroyVM(user.tarnholdUrl, user.tarnholdToken, desktop.name, eta);
    });
}

bool StopVMTask::run() {
    return runMachineOperation(operationState, [&](ClientAPIJson& client, const UserInfo& user, std::int32_t& eta) {
        return client.requestStopVM(user.tarnholdUrl, user.tarnholdToken, desktop.name, eta);
    });
}

bool DismissMessageTask::run() {
    if (id >= MessageInfo::kFirstLocalId) {
        api->clientState.removeMessage(id);
        return true;
    }
    RequestOptions options;
    options.attempts = retryingAttempts();
    options.userAction = true;
    return runRequest(
        options,
        [&](ClientAPIJson& client, const UserInfo& user) {
            return client.requestDismissMessage(user.tarnholdUrl, user.tarnholdToken, id);
        },
        [&] { api->clientState.removeMessage(id); });
}

bool SetTimoutTask::run() {
    RequestOptions options;
    options.attempts = retryingAttempts();
    options.userAction = true;
    return runRequest(
        options,
        [&](ClientAPIJson& client, const UserInfo& user) {
            return client.requestSetTimeout(user.tarnholdUrl, user.tarnholdToken, timeout);
        },
        nullptr);
}

bool GetClientInfoTask::run() {
    RequestOptions options;
    options.attempts = retryingAttempts();
    options.operationState = kVmFetchingAccount;
    ClientInfo info;
    return runRequest(
        options,
        [&](ClientAPIJson& client, const UserInfo& user) {
            info = ClientInfo();
            return client.requestGetClientInfo(user.tarnholdUrl, user.tarnholdToken, info);
        },
        [&] { api->clientState.setClientInfo(info); });
}

bool GetMessagesTask::run() {
    RequestOptions options;
    options.attempts = retryingAttempts();
    options.notify = false;
    MessagesReply reply;
    const bool active = api->clientState.isUserActive();
    return runRequest(
        options,
        [&](ClientAPIJson& client, const UserInfo& user) {
            reply = MessagesReply();
            return client.requestGetMessages(user.tarnholdUrl, user.tarnholdToken, active, reply);
        },
        [&] {
            ClientState& state = api->clientState;
            state.setAccountBalance(reply.balance);
            state.setUserPlan(reply.userPlan);
            state.addMessages(reply.messages);
        });
}

bool GetTarnholdTokenTask::run() {
    RequestOptions options;
    options.attempts = retryingAttempts();
    options.needsPlatform = false;  // it asks the service for the platform
    UserInfo refreshed;
    return runRequest(
        options,
        [&](ClientAPIJson& client, const UserInfo& user) {
            refreshed = user;
            return client.requestUserActive(refreshed);
        },
        [&] { api->clientState.setUser(refreshed); });
}

bool GetTipTask::run() {
    RequestOptions options;
    options.reportFailure = false;
    options.needsPlatform = false;
    std::string tip;
    return runRequest(
        options, [&](ClientAPIJson& client, const UserInfo&) { return client.requestGetTip(tip); },
        [&] { api->clientState.setTip(tip); });
}

bool MonitorAllVmStatusTask::run() {
    RequestOptions options;
    options.notify = false;
    std::vector<DesktopInfo> desktops;
    return runRequest(
        options,
        [&](ClientAPIJson& client, const UserInfo& user) {
            desktops.clear();
            return client.requestGetDesktops(user.tarnholdUrl, user.tarnholdToken, desktops);
        },
        [&] { api->clientState.setDesktops(desktops); });
}
