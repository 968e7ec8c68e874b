#pragma once
// The player's picture of the signed-in account: the user, the account snapshot (balance,
// plans, machine states, machines, data centres, user plan), the messages not yet dismissed,
// the tip of the day, the user's choices on the machine-selection screen, the machine
// operation in progress and the time of the user's last input.
//
// PlayerApi's worker writes it; the screens read it and write the user's choices from the
// UI threads. Every operation holds the recursive data lock for its whole run and getters
// return copies. Changes the screens react to are announced as ClientStateEvents while the
// lock is still held, on the thread that made the change: a listener may call the getters
// on that thread, and must not wait for another thread that needs the lock (the player's
// listeners only set flags that the next frame reads).

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "core/Listenable.h"
#include "webapi/ClientInfo.h"
#include "webapi/UserInfo.h"

enum ClientStateEvents {
    kUserPlanChanged = 0,        // setUserPlan: another plan name
    kClientInfoChanged = 1,      // setClientInfo (after kDesktopsChanged), setAccountBalance
    kDesktopsChanged = 2,        // setClientInfo, setDesktops: the machine list changed
    kMessagesChanged = 3,        // addMessages, removeMessage
    kVmOperationEtaChanged = 4,  // setVmOperationEta: a new estimate for the operation
    kTipChanged = 5,             // setTip, also with the same text
};

// The machine operation in progress (getVmOperationState). Tasks of PlayerApi move it from
// kVmIdle to 2..5 (from when they are queued) and 7, and to kVmFailed when they fail;
// setDesktops and setClientInfo end
// operations; the machine-selection screen also sets and clears it.
enum VmOperationState {
    kVmIdle = 0,
    kVmFailed = 1,          // the last operation failed; cleared by any setDesktops
    kVmCreating = 2,        // creating a machine in an empty slot; ends when it is on
    kVmStarting = 3,        // starting an existing machine; ends when it is on
    kVmDeleting = 4,        // ends when the slot is empty
    kVmStopping = 5,        // ends when the machine is stopped
    kVmStoppingOther = 6,   // nothing sets it; ends when the machine is stopped
    kVmFetchingAccount = 7  // the account snapshot is on its way; ended by setClientInfo
};

class ClientState : public Listenable<ClientStateEvents> {
public:
    using Clock = std::chrono::steady_clock;
    // The time source; tests replace it.
    using NowFunction = Clock::time_point (*)();

    // A user counts as active for this long after the last input.
    static constexpr int kActiveSeconds = 120;
    // The eta compareAndSetVmOperationState stores when it starts an operation.
    static constexpr std::int32_t kStartEta = 60;

    explicit ClientState(NowFunction now = &Clock::now);

    ClientState(const ClientState&) = delete;
    ClientState& operator=(const ClientState&) = delete;

    UserInfo getUser() const;
    // Stores all fields of the user; no event.
    void setUser(const UserInfo& user);

    ClientInfo getClientInfo() const;
    // Replaces the snapshot without comparing; ends kVmFetchingAccount; raises
    // kDesktopsChanged, then kClientInfoChanged.
    void setClientInfo(const ClientInfo& info);
    // Stores and raises kClientInfoChanged only when the balance differs.
    void setAccountBalance(const AccountBalance& balance);
    // Stores and raises kUserPlanChanged only when the plan name differs (minutes alone
    // are not stored).
    void setUserPlan(const UserPlan& plan);

    // Replaces the machine list when it changed (raising kDesktopsChanged) and ends the
    // operation in progress when the selected machine reached its goal.
    void setDesktops(const std::vector<DesktopInfo>& desktops);
    // The last machine named as the selection; a default DesktopInfo when there is none.
    DesktopInfo getSelectedDesktop() const;

    void setSelectedDesktop(const std::string& name);
    void setSelectedDatacenter(const std::string& name);
    void setSelectedPlan(const std::string& name);
    std::string getSelectedDatacenter() const;
    std::string getSelectedPlan() const;

    // The display name of the first data centre so named; "none" when there is none.
    std::string getDatacenterName(const std::string& name) const;
    // The display name of the first plan so named; "" when there is none.
    std::string getPlanName(const std::string& name) const;

    std::string getTip() const;
    // Stores the tip and raises kTipChanged, also when it is unchanged.
    void setTip(const std::string& tip);

    // Drops from the caller's list every message already handed out by getFirstMessage,
    // appends the others that are not stored yet, and raises kMessagesChanged when any was.
    void addMessages(std::vector<MessageInfo>& messages);
    // Copies the first message and remembers its id as handed out (a later addMessages
    // cannot add it again); the message stays until removeMessage. False when none.
    bool getFirstMessage(MessageInfo& out);
    // Forgets the id as handed out and removes the first message with it (raising
    // kMessagesChanged); false when there is none.
    bool removeMessage(std::int32_t id);
    // The number of stored messages.
    std::size_t messageCount() const;
    // Whether any message is stored; unlike getFirstMessage it marks nothing as handed out.
    bool hasMessages() const { return messageCount() != 0; }

    std::int32_t getVmOperationState() const;
    // Stores the value; no event.
    void setVmOperationState(std::int32_t state);
    // Stores value and sets the eta to kStartEta when the state is expected; no event.
    void compareAndSetVmOperationState(std::int32_t value, std::int32_t expected);
    std::int32_t getVmOperationEta() const;
    // Stores the eta and raises kVmOperationEtaChanged.
    void setVmOperationEta(std::int32_t eta);

    // The id of the next message the client makes itself (from MessageInfo::kFirstLocalId).
    std::int32_t takeLocalMessageId();

    // The user gave input now. Called for every input request sent to the machine, so it
    // takes no lock: the time is one atomic value.
    void touch();
    // Less than kActiveSeconds whole seconds since the last touch.
    bool isUserActive() const;

private:
    mutable std::recursive_mutex lock_;
    UserInfo user_;
    AccountBalance balance_;
    std::vector<PlanInfo> plans_;
    std::vector<VmStateInfo> vmStates_;
    std::vector<DesktopInfo> desktops_;
    std::vector<DatacenterInfo> datacenters_;
    std::vector<MessageInfo> messages_;
    UserPlan userPlan_;
    std::string tip_;
    std::set<std::int32_t> shownMessageIds_;
    std::string selectedDesktop_;
    std::string selectedDatacenter_;
    std::string selectedPlan_ = "High";
    std::int32_t vmOperationState_ = kVmIdle;
    std::int32_t vmOperationEta_ = 0;
    std::int32_t nextLocalMessageId_ = MessageInfo::kFirstLocalId;

    NowFunction now_;
    // Time of the last input, as ticks of Clock.
    std::atomic<Clock::rep> lastActivity_;
};
