#include "webapi/ClientState.h"

#include <algorithm>

namespace {
using Guard = std::lock_guard<std::recursive_mutex>;

// Whether the selected machine reached the goal of the operation in progress.
bool operationReachedGoal(std::int32_t state, const DesktopInfo& desktop) {
    switch (state) {
        case kVmCreating:
        case kVmStarting: return desktop.isOn();
        case kVmDeleting: return desktop.isEmpty();
        case kVmStopping:
        case kVmStoppingOther: return desktop.isStopped();
        default: return false;
    }
}
}  // namespace

ClientState::ClientState(NowFunction now) : now_(now ? now : &Clock::now), lastActivity_(0) { touch(); }

UserInfo ClientState::getUser() const {
    Guard guard(lock_);
    return user_;
}

void ClientState::setUser(const UserInfo& user) {
    Guard guard(lock_);
    user_ = user;
}

ClientInfo ClientState::getClientInfo() const {
    Guard guard(lock_);
    ClientInfo info;
    info.balance = balance_;
    info.plans = plans_;
    info.vmStates = vmStates_;
    info.desktops = desktops_;
    info.datacenters = datacenters_;
    info.userPlan = userPlan_;
    return info;
}

void ClientState::setClientInfo(const ClientInfo& info) {
    Guard guard(lock_);
    balance_ = info.balance;
    plans_ = info.plans;
    vmStates_ = info.vmStates;
    desktops_ = info.desktops;
    datacenters_ = info.datacenters;
    userPlan_ = info.userPlan;
    if (vmOperationState_ == kVmFetchingAccount) vmOperationState_ = kVmIdle;
    notify(kDesktopsChanged);
    notify(kClientInfoChanged);
}

void ClientState::setAccountBalance(const AccountBalance& balance) {
    Guard guard(lock_);
    if (balance == balance_) return;
    balance_ = balance;
    notify(kClientInfoChanged);
}

void ClientState::setUserPlan(const UserPlan& plan) {
    Guard guard(lock_);
    if (plan == userPlan_) return;
    userPlan_ = plan;
    notify(kUserPlanChanged);
}

void ClientState::setDesktops(const std::vector<DesktopInfo>& desktops) {
    Guard guard(lock_);
    const bool sameCount = desktops.size() == desktops_.size();
    bool changed = !sameCount;
    for (std::size_t i = 0; sameCount && !changed && i < desktops.size(); ++i) changed = desktops[i] != desktops_[i];

    // The selected machine is looked for only when the count is unchanged.
    const DesktopInfo* selected = nullptr;
    if (sameCount) {
        for (const DesktopInfo& d : desktops)
            if (d.name == selectedDesktop_) selected = &d;
    }

    if (vmOperationState_ < kVmCreating || vmOperationState_ > kVmStoppingOther) {
        vmOperationState_ = kVmIdle;
    } else if (changed && selected && operationReachedGoal(vmOperationState_, *selected)) {
        vmOperationState_ = kVmIdle;
    }

    if (!changed) return;
    desktops_ = desktops;
    notify(kDesktopsChanged);
}

DesktopInfo ClientState::getSelectedDesktop() const {
    Guard guard(lock_);
    const DesktopInfo* selected = nullptr;
    for (const DesktopInfo& d : desktops_)
        if (d.name == selectedDesktop_) selected = &d;
    return selected ? *selected : DesktopInfo();
}

void ClientState::setSelectedDesktop(const std::string& name) {
    Guard guard(lock_);
    selectedDesktop_ = name;
}

void ClientState::setSelectedDatacenter(const std::string& name) {
    Guard guard(lock_);
    selectedDatacenter_ = name;
}

void ClientState::setSelectedPlan(const std::string& name) {
    Guard guard(lock_);
    selectedPlan_ = name;
}

std::string ClientState::getSelectedDatacenter() const {
    Guard guard(lock_);
    return selectedDatacenter_;
}

std::string ClientState::getSelectedPlan() const {
    Guard guard(lock_);
    return selectedPlan_;
}

std::string ClientState::getDatacenterName(const std::string& name) const {
    Guard guard(lock_);
    for (const DatacenterInfo& d : datacenters_)
        if (d.name == name) return d.localizedName;
    return "none";
}

std::string ClientState::getPlanName(const std::string& name) const {
    Guard guard(lock_);
    for (const PlanInfo& p : plans_)
        if (p.name == name) return p.localizedName;
    return std::string();
}

std::string ClientState::getTip() const {
    Guard guard(lock_);
    return tip_;
}

void ClientState::setTip(const std::string& tip) {
    Guard guard(lock_);
    tip_ = tip;
    notify(kTipChanged);
}

void ClientState::addMessages(std::vector<MessageInfo>& messages) {
    Guard guard(lock_);
    messages.erase(std::remove_if(messages.begin(), messages.end(),
                                  [&](const MessageInfo& m) { return shownMessageIds_.count(m.id) != 0; }),
                   messages.end());
    bool appended = false;
    for (const MessageInfo& m : messages) {
        const bool stored = std::any_of(messages_.begin(), messages_.end(),
                                        [&](const MessageInfo& s) { return s.id == m.id; });
        if (stored) continue;
        messages_.push_back(m);
        appended = true;
    }
    if (appended) notify(kMessagesChanged);
}

bool ClientState::getFirstMessage(MessageInfo& out) {
    Guard guard(lock_);
    if (messages_.empty()) return false;
    shownMessageIds_.insert(messages_.front().id);
    out = messages_.front();
    return true;
}

bool ClientState::removeMessage(std::int32_t id) {
    Guard guard(lock_);
    shownMessageIds_.erase(id);
    const auto it = std::find_if(messages_.begin(), messages_.end(), [&](const MessageInfo& m) { return m.id == id; });
    if (it == messages_.end()) return false;
    messages_.erase(it);
    notify(kMessagesChanged);
    return true;
}

std::size_t ClientState::messageCount() const {
    Guard guard(lock_);
    return messages_.size();
}

std::int32_t ClientState::getVmOperationState() const {
    Guard guard(lock_);
    return vmOperationState_;
}

void ClientState::setVmOperationState(std::int32_t state) {
    Guard guard(lock_);
    vmOperationState_ = state;
}

void ClientState::compareAndSetVmOperationState(std::int32_t value, std::int32_t expected) {
    Guard guard(lock_);
    if (vmOperationState_ != expected) return;
    vmOperationState_ = value;
    vmOperationEta_ = kStartEta;
}

std::int32_t ClientState::getVmOperationEta() const {
    Guard guard(lock_);
    return vmOperationEta_;
}

void ClientState::setVmOperationEta(std::int32_t eta) {
    Guard guard(lock_);
    vmOperationEta_ = eta;
    notify(kVmOperationEtaChanged);
}

std::int32_t ClientState::takeLocalMessageId() {
    Guard guard(lock_);
    return nextLocalMessageId_++;
}

void ClientState::touch() { lastActivity_.store(now_().time_since_epoch().count(), std::memory_order_relaxed); }

bool ClientState::isUserActive() const {
    const Clock::time_point last{Clock::duration(lastActivity_.load(std::memory_order_relaxed))};
    const auto idle = std::chrono::duration_cast<std::chrono::seconds>(now_() - last).count();
    return idle < kActiveSeconds;
}
