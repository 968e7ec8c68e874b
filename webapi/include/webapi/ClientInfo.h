#pragma once
// The two polling replies: the account snapshot and the message list.

#include "webapi/AccountBalance.h"
#include "webapi/DesktopInfo.h"
#include "webapi/MessageInfo.h"

#include <vector>

struct ClientInfo {
    AccountBalance balance;
    std::vector<PlanInfo> plans;
    std::vector<VmStateInfo> vmStates;
    std::vector<DesktopInfo> desktops;
    std::vector<DatacenterInfo> datacenters;
    UserPlan userPlan;
};

struct MessagesReply {
    std::vector<MessageInfo> messages;
    AccountBalance balance;
    UserPlan userPlan;
};
