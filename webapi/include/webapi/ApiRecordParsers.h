#pragma once
// Readers of the records from a reply's "response" object. Each appends to or fills the
// output it is given (callers pass it fresh); none throws or logs. Elements that lack a
// required member are dropped.

#include "webapi/JsonReaders.h"

#include "webapi/ClientInfo.h"

#include <vector>

// "desktops": true when at least one machine was read.
bool parseDesktops(const rapidjson::Value& response, std::vector<DesktopInfo>& out);
// "datacenters": true when at least one was read.
bool parseDatacenters(const rapidjson::Value& response, std::vector<DatacenterInfo>& out);
// "plans": true when at least one was read; an element that is not an object fails it all.
bool parsePlans(const rapidjson::Value& response, std::vector<PlanInfo>& out);
// "all_vm_states": true when at least one was read.
bool parseVmStates(const rapidjson::Value& response, std::vector<VmStateInfo>& out);
// "messages": true when absent or an array.
bool parseMessages(const rapidjson::Value& response, std::vector<MessageInfo>& out);
// "account_balance", "next_credit", "timeout" (and the optional storage pair).
bool parseAccountBalance(const rapidjson::Value& response, AccountBalance& out);
// "user_plan", "min_trial_remaining"; always true.
bool parseUserPlan(const rapidjson::Value& response, UserPlan& out);
