#include "webapi/ApiRecordParsers.h"

namespace {
constexpr std::int32_t kDefaultStreamerPort = 6666;

// The array member `name` of `response`, or null.
const rapidjson::Value* findArray(const rapidjson::Value& response, const char* name) {
    const rapidjson::Value* value = findMember(response, name);
    return value && value->IsArray() ? value : nullptr;
}

bool isStringMember(const rapidjson::Value& obj, const char* name) {
    const rapidjson::Value* value = findMember(obj, name);
    return value && value->IsString();
}

// A balance number: floating-point unchanged, a 32-bit integer converted, null or absent 0;
// any other type leaves the field unchanged and is not taken.
bool takeBalanceNumber(const rapidjson::Value& response, const char* name, double& out) {
    const rapidjson::Value* value = findMember(response, name);
    if (!value) {
        out = 0;
        return true;
    }
    return readJsonDouble(*value, out);
}

bool takeBalanceInt(const rapidjson::Value& response, const char* name, std::int32_t& out) {
    const rapidjson::Value* value = findMember(response, name);
    if (!value) {
        out = 0;
        return true;
    }
    return readJsonInt(*value, out);
}
}  // namespace

bool parseDesktops(const rapidjson::Value& response, std::vector<DesktopInfo>& out) {
    const rapidjson::Value* list = findArray(response, "desktops");
    if (!list) return false;
    for (const rapidjson::Value& item : list->GetArray()) {
        DesktopInfo desktop;
        if (!readJsonString(item, "name", desktop.name) || !readJsonString(item, "state", desktop.state)) continue;
        readJsonString(item, "os", desktop.os);
        readJsonString(item, "ip", desktop.ip);
        readJsonInt(item, "port", desktop.port);
        readJsonString(item, "streamer_key", desktop.streamerKey);
        readJsonString(item, "plan", desktop.plan);
        readJsonString(item, "datacenter", desktop.datacenter);
        readJsonString(item, "password", desktop.password);
        readJsonBool(item, "default", desktop.isDefault);
        readJsonBool(item, "enabled", desktop.enabled);
        if (desktop.port == 0) desktop.port = kDefaultStreamerPort;
        out.push_back(std::move(desktop));
    }
    return !out.empty();
}

bool parseDatacenters(const rapidjson::Value& response, std::vector<DatacenterInfo>& out) {
    const rapidjson::Value* list = findArray(response, "datacenters");
    if (!list) return false;
    for (const rapidjson::Value& item : list->GetArray()) {
        DatacenterInfo dc;
        if (!readJsonString(item, "name", dc.name) || !readJsonString(item, "localized_name", dc.localizedName) ||
            !readJsonString(item, "country", dc.country))
            continue;
        readJsonBool(item, "default", dc.isDefault);
        readJsonBool(item, "available", dc.available);
        out.push_back(std::move(dc));
    }
    return !out.empty();
}

bool parsePlans(const rapidjson::Value& response, std::vector<PlanInfo>& out) {
    const rapidjson::Value* list = findArray(response, "plans");
    if (!list) return false;
    for (const rapidjson::Value& item : list->GetArray()) {
        if (!item.IsObject()) return false;
        PlanInfo plan;
        if (!readJsonString(item, "name", plan.name) || !readJsonString(item, "localized_name", plan.localizedName))
            continue;
        const rapidjson::Value* available = findMember(item, "available");
        if (!available || !available->IsBool()) continue;
        plan.available = available->GetBool();
        const rapidjson::Value* cost = findMember(item, "cost");
        if (!cost) continue;
        readJsonDouble(*cost, plan.cost);
        readJsonBool(item, "default", plan.isDefault);
        out.push_back(std::move(plan));
    }
    return !out.empty();
}

bool parseVmStates(const rapidjson::Value& response, std::vector<VmStateInfo>& out) {
    const rapidjson::Value* list = findArray(response, "all_vm_states");
    if (!list) return false;
    for (const rapidjson::Value& item : list->GetArray()) {
        VmStateInfo state;
        if (!readJsonString(item, "name", state.name) || !readJsonString(item, "localized_name", state.localizedName))
            continue;
        out.push_back(std::move(state));
    }
    return !out.empty();
}

bool parseMessages(const rapidjson::Value& response, std::vector<MessageInfo>& out) {
    const rapidjson::Value* list = findMember(response, "messages");
    if (!list) return true;
    if (!list->IsArray()) return false;
    for (const rapidjson::Value& item : list->GetArray()) {
        if (!isStringMember(item, "title") || !isStringMember(item, "body")) continue;
        const rapidjson::Value* id = findMember(item, "id");
        const rapidjson::Value* actions = findMember(item, "actions");
        if (!id || !actions || !id->IsInt() || !actions->IsArray()) continue;
        MessageInfo message;
        message.id = id->GetInt();
        readJsonString(item, "title", message.title);
        readJsonString(item, "body", message.body);
        for (const rapidjson::Value& entry : actions->GetArray()) {
            MessageAction action;
            readJsonString(entry, "url", action.url);
            readJsonString(entry, "url_get", action.urlGet);
            readJsonString(entry, "url_post", action.urlPost);
            readJsonString(entry, "text", action.text);
            message.actions.push_back(std::move(action));
        }
        out.push_back(std::move(message));
    }
    return true;
}

bool parseAccountBalance(const rapidjson::Value& response, AccountBalance& out) {
    if (!hasMember(response, "account_balance")) return false;
    if (hasMember(response, "total_storage")) {
        takeBalanceNumber(response, "total_storage", out.totalStorage);
        takeBalanceNumber(response, "used_storage", out.usedStorage);
    }
    const bool balance = takeBalanceNumber(response, "account_balance", out.accountBalance);
    const bool nextCredit = takeBalanceNumber(response, "next_credit", out.nextCredit);
    const bool timeout = takeBalanceInt(response, "timeout", out.timeout);
    return balance && nextCredit && timeout;
}

bool parseUserPlan(const rapidjson::Value& response, UserPlan& out) {
    readJsonString(response, "user_plan", out.userPlan);
    readJsonInt(response, "min_trial_remaining", out.minTrialRemaining);
    return true;
}
