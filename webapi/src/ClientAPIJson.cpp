#include "webapi/ClientAPIJson.h"

#include "webapi/ApiRecordParsers.h"
#include "webapi/RequestParams.h"

#include "core/ConfigStore.h"
#include "core/LogLine.h"

#include <cstdlib>

namespace {
const char* const kServiceBaseUrl = "https://www.nimbrosta.com";

std::string makeRandomString(std::size_t length) {
    static const char alphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    std::string text;
    for (std::size_t i = 0; i < length; ++i) text += alphabet[std::rand() % 62];
    return text;
}

// Drawn while static data is initialised, like the rest of the program's fixed values.
const std::string gDeviceId = makeRandomString(10);

void addTestPlan(RequestParams& params) {
    const std::string testPlan = ConfigStore::instance().getString("Debug.TestPlan", "");
    if (!testPlan.empty()) params.add("test_plan", testPlan, true);
}

// Reads the record members the sign-in and token check share; false at the first one that
// is missing or of another type.
bool readSignedInUser(const rapidjson::Value& response, UserInfo& user) {
    if (!response.IsObject()) return false;
    if (!readJsonString(response, "tarnhold_url", user.tarnholdUrl)) return false;
    if (!readJsonString(response, "access_token", user.accessToken)) return false;
    if (!readJsonString(response, "email", user.email)) return false;
    if (!readJsonBool(response, "active", user.active)) return false;
    readJsonString(response, "tarnhold_token", user.tarnholdToken);
    return true;
}
}  // namespace

std::string getServiceBaseUrl() {
    const char* overridden = std::getenv("NIMBROSTA_SERVICE_URL");
    std::string url = overridden && *overridden ? overridden : kServiceBaseUrl;
    while (!url.empty() && url.back() == '/') url.pop_back();
    return url;
}

const std::string& deviceId() { return gDeviceId; }

template <typename ReadPayload>
bool ClientAPIJson::exchange(bool usePost, const std::string& url, ReadPayload readPayload) {
    if (!(usePost ? client.post(url, std::string()) : client.get(url))) return false;
    try {
        rapidjson::Document doc;
        if (!parseResponse(doc)) return false;
        return readPayload(static_cast<const rapidjson::Value&>(doc));
    } catch (const JsonAssertionError& e) {
        LogLine(50, "ClientAPIJson::exchange", __LINE__).stream() << e.what();
        return errorJsonFormatChanged();
    }
}

bool ClientAPIJson::requestGetDesktops(const std::string& platformUrl, const std::string& platformToken,
                                       std::vector<DesktopInfo>& desktops) {
    RequestParams params(client, true);
    params.add("tarnhold_token", platformToken, true);
    return exchange(true, platformUrl + "/client/get_desktop.json" + params.toQueryString(),
                    [&](const rapidjson::Value& doc) {
                        const rapidjson::Value* response = findMember(doc, "response");
                        if (!response || !response->IsObject() || !parseDesktops(*response, desktops))
                            return errorJsonFormatChanged();
                        return true;
                    });
}

bool ClientAPIJson::requestGetDesktop(const std::string& platformUrl, const std::string& platformToken,
                                      DesktopInfo& desktop) {
    RequestParams params(client, true);
    params.add("tarnhold_token", platformToken, true);
    params.add("vm_name", desktop.name, true);
    return exchange(true, platformUrl + "/client/get_desktop.json" + params.toQueryString(),
                    [&](const rapidjson::Value& doc) {
                        const rapidjson::Value* response = findMember(doc, "response");
                        std::vector<DesktopInfo> desktops;
                        if (!response || !response->IsObject() || !parseDesktops(*response, desktops))
                            return errorJsonFormatChanged();
                        for (const DesktopInfo& listed : desktops) {
                            if (listed.name == desktop.name) {
                                desktop = listed;
                                return true;
                            }
                        }
                        error = "Error: unknown desktop";
                        status = kStatusNoStatus;
                        return false;
                    });
}

bool ClientAPIJson::requestCheckToken(const std::string& token, UserInfo& user) {
    RequestParams params(client, true);
    params.add("token", token, true);
    return exchange(false, getServiceBaseUrl() + "/api/v1/check_token.json" + params.toQueryString(),
                    [&](const rapidjson::Value& doc) {
                        const rapidjson::Value* response = findMember(doc, "response");
                        if (!response) return errorJsonFormatChanged();
                        // Not yet confirmed: success with the record untouched.
                        const rapidjson::Value* tokenStatus = findMember(*response, "token_status");
                        if (tokenStatus && !isNumberOne(*tokenStatus)) return true;
                        if (!readSignedInUser(*response, user)) return errorJsonFormatChanged();
                        return true;
                    });
}

bool ClientAPIJson::requestUserActive(UserInfo& user) {
    RequestParams params(client, true);
    params.add("token", user.accessToken, true);
    return exchange(false, getServiceBaseUrl() + "/api/v1/user_active.json" + params.toQueryString(),
                    [&](const rapidjson::Value& doc) {
                        const rapidjson::Value* response = findMember(doc, "response");
                        if (!response || !response->IsObject()) return errorJsonFormatChanged();
                        readJsonBool(*response, "active", user.active);
                        readJsonString(*response, "tarnhold_token", user.tarnholdToken);
                        readJsonString(*response, "tarnhold_url", user.tarnholdUrl);
                        return true;
                    });
}

bool ClientAPIJson::requestCreateAndStartVM(const std::string& platformUrl, const std::string& platformToken,
                                            const DesktopInfo& desktop, std::int32_t& eta) {
    RequestParams params(client, true);
    params.add("tarnhold_token", platformToken, true);
    params.add("vm_name", desktop.name, true);
    params.add("vm_os", desktop.os, true);
    params.add("plan", desktop.plan, true);
    params.add("datacenter", desktop.datacenter, true);
    return exchange(true, platformUrl + "/client/start_desktop.json" + params.toQueryString(),
                    [&](const rapidjson::Value& doc) {
                        const rapidjson::Value* response = findMember(doc, "response");
                        if (!response) return errorJsonFormatChanged();
                        eta = kDefaultEta;
                        if (!readJsonEta(*response, "eta", eta))
                            LogLine(40, "ClientAPIJson::requestCreateAndStartVM", __LINE__).stream()
                                << "no response/eta field";
                        if (!response->IsObject()) return errorJsonFormatChanged();
                        LogLine(0, "ClientAPIJson::requestCreateAndStartVM", __LINE__).stream()
                            << "start_desktop eta is " << eta;
                        return true;
                    });
}

bool ClientAPIJson::requestDestroyVM(const std::string& platformUrl, const std::string& platformToken,
                                     const std::string& name, std::int32_t& eta) {
    RequestParams params(client, true);
    params.add("tarnhold_token", platformToken, true);
    params.add("vm_name", name, true);
    return exchange(true, platformUrl + "/client/delete_desktop.json" + params.toQueryString(),
                    [&](const rapidjson::Value& doc) {
                        eta = kDefaultEta;
                        const rapidjson::Value* response = findMember(doc, "response");
                        if (!response || !readJsonEta(*response, "eta", eta))
                            LogLine(40, "ClientAPIJson::requestDestroyVM", __LINE__).stream()
                                << "no response/eta field";
                        LogLine(0, "ClientAPIJson::requestDestroyVM", __LINE__).stream()
                            << "destroy_desktop eta is " << eta;
                        return true;
                    });
}

bool ClientAPIJson::requestDismissMessage(const std::string& platformUrl, const std::string& platformToken,
                                          std::int32_t id) {
    RequestParams params(client, true);
    params.add("tarnhold_token", platformToken, true);
    params.add("id", std::to_string(id), true);
    return exchange(true, platformUrl + "/client/dismiss_message.json" + params.toQueryString(),
                    [](const rapidjson::Value&) { return true; });
}

bool ClientAPIJson::requestGetClientInfo(const std::string& platformUrl, const std::string& platformToken,
                                         ClientInfo& info) {
    RequestParams params(client, true);
    params.add("tarnhold_token", platformToken, true);
    addTestPlan(params);
    return exchange(true, platformUrl + "/client/get_client_info.json" + params.toQueryString(),
                    [&](const rapidjson::Value& doc) {
                        const rapidjson::Value* response = findMember(doc, "response");
                        if (!response || !response->IsObject()) return errorJsonFormatChanged();
                        if (!parseAccountBalance(*response, info.balance) || !parsePlans(*response, info.plans) ||
                            !parseVmStates(*response, info.vmStates) ||
                            !parseDatacenters(*response, info.datacenters) ||
                            !parseDesktops(*response, info.desktops) || !parseUserPlan(*response, info.userPlan))
                            return errorJsonFormatChanged();
                        return true;
                    });
}

bool ClientAPIJson::requestGetMessages(const std::string& platformUrl, const std::string& platformToken, bool active,
                                       MessagesReply& reply) {
    RequestParams params(client, true);
    params.add("tarnhold_token", platformToken, true);
    addTestPlan(params);
    params.add("active", active ? "true" : "false", true);
    return exchange(false, platformUrl + "/client/get_messages.json" + params.toQueryString(),
                    [&](const rapidjson::Value& doc) {
                        const rapidjson::Value* response = findMember(doc, "response");
                        if (!response || !response->IsObject()) return errorJsonFormatChanged();
                        if (!parseAccountBalance(*response, reply.balance) ||
                            !parseMessages(*response, reply.messages) || !parseUserPlan(*response, reply.userPlan))
                            return errorJsonFormatChanged();
                        return true;
                    });
}

bool ClientAPIJson::requestGetTip(std::string& tip) {
    return exchange(false, getServiceBaseUrl() + "/api/v1/get_tip.json", [&](const rapidjson::Value& doc) {
        const rapidjson::Value* response = findMember(doc, "response");
        if (!response) return errorJsonFormatChanged();
        readJsonString(*response, "tip", tip);
        return true;
    });
}

bool ClientAPIJson::requestSignIn(const std::string& email, const std::string& password, UserInfo& user) {
    RequestParams params(client, true);
    params.add("user[email]", email, true);
    params.add("user[password]", password, true);
    return exchange(true, getServiceBaseUrl() + "/api/v1/sign_in.json" + params.toQueryString(),
                    [&](const rapidjson::Value& doc) {
                        const rapidjson::Value* response = findMember(doc, "response");
                        if (!response || !readSignedInUser(*response, user)) return errorJsonFormatChanged();
                        return true;
                    });
}

bool ClientAPIJson::requestSetTimeout(const std::string& platformUrl, const std::string& platformToken,
                                      std::int32_t timeout) {
    RequestParams params(client, true);
    params.add("tarnhold_token", platformToken, true);
    params.add("timeout", std::to_string(timeout), true);
    return exchange(true, platformUrl + "/client/set_timeout.json" + params.toQueryString(),
                    [](const rapidjson::Value&) { return true; });
}

bool ClientAPIJson::requestLoginMethod(const std::string& method, SocialLoginInfo& info) {
    RequestParams params(client, true);
    params.add("method", method, true);
    params.add("device_id", deviceId(), true);
    return exchange(false, getServiceBaseUrl() + "/api/v1/login_method.json" + params.toQueryString(),
                    [&](const rapidjson::Value& doc) {
                        const rapidjson::Value* response = findMember(doc, "response");
                        if (!response || !response->IsObject() ||
                            !readJsonString(*response, "custom_token", info.customToken) ||
                            !readJsonString(*response, "url", info.url))
                            return errorJsonFormatChanged();
                        return true;
                    });
}

bool ClientAPIJson::requestStopVM(const std::string& platformUrl, const std::string& platformToken,
                                  const std::string& name, std::int32_t& eta) {
    RequestParams params(client, true);
    params.add("tarnhold_token", platformToken, true);
    params.add("vm_name", name, true);
    return exchange(true, platformUrl + "/client/stop_desktop.json" + params.toQueryString(),
                    [&](const rapidjson::Value& doc) {
                        eta = kDefaultEta;
                        if (!readJsonEta(doc, "eta", eta)) {
                            LogLine(40, "ClientAPIJson::requestStopVM", __LINE__).stream() << "no eta field";
                            const rapidjson::Value* response = findMember(doc, "response");
                            if (!response) {
                                LogLine(40, "ClientAPIJson::requestStopVM", __LINE__).stream() << "no response field";
                            } else if (!readJsonEta(*response, "eta", eta)) {
                                LogLine(40, "ClientAPIJson::requestStopVM", __LINE__).stream()
                                    << "no response/eta field";
                            }
                        }
                        LogLine(0, "ClientAPIJson::requestStopVM", __LINE__).stream()
                            << "stop_desktop eta is " << eta;
                        return true;
                    });
}
