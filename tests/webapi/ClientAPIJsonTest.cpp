#include "StubService.h"

#include "webapi/ClientAPIJson.h"
#include "webapi/RequestParams.h"

#include "core/ConfigStore.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace {
const std::string kVh = "version_hash=PC-0.0.33-Kq9tWm3z";

class ClientAPIJsonFixture : public StubServiceTest {
protected:
    void SetUp() override {
        StubServiceTest::SetUp();
        ConfigStore::instance().setString("Debug.TestPlan", "", false);
    }
    const std::string& base() const { return stub->baseUrl(); }

    UserInfo signIn(const std::string& email = "user@example.com") {
        ::ClientAPIJson api;
        UserInfo user;
        EXPECT_TRUE(api.requestSignIn(email, "secret", user));
        return user;
    }
};

bool hasLogLine(const std::string& out, const char* letter, const std::string& function, const std::string& text) {
    std::size_t start = 0;
    while (start < out.size()) {
        std::size_t end = out.find('\n', start);
        if (end == std::string::npos) end = out.size();
        const std::string line = out.substr(start, end - start);
        if (line.rfind(std::string("[") + letter + "]", 0) == 0 && line.find(function) != std::string::npos &&
            line.size() >= text.size() && line.compare(line.size() - text.size(), text.size(), text) == 0)
            return true;
        start = end + 1;
    }
    return false;
}
}  // namespace

namespace fixtures {
using ClientAPIJson = ClientAPIJsonFixture;

TEST_F(ClientAPIJson, EveryEndpointSendsItsExactRequest) {
    const std::string t = "T k&";
    const std::string te = "T%20k%26";
    DesktopInfo desktop;
    desktop.name = "My PC&x";
    desktop.os = "Windows 10";
    desktop.plan = "High";
    desktop.datacenter = "eu-central";
    UserInfo user;
    user.accessToken = "a/b";
    std::int32_t eta = 0;
    std::vector<DesktopInfo> desktops;
    ClientInfo info;
    MessagesReply messages;
    std::string tip;
    SocialLoginInfo social;

    const struct {
        std::function<void(::ClientAPIJson&)> call;
        const char* method;
        std::string target;
    } cases[] = {
        {[&](::ClientAPIJson& a) { a.requestGetDesktops(base(), t, desktops); }, "POST",
         "/client/get_desktop.json?" + kVh + "&tarnhold_token=" + te},
        {[&](::ClientAPIJson& a) { a.requestGetDesktop(base(), t, desktop); }, "POST",
         "/client/get_desktop.json?" + kVh + "&tarnhold_token=" + te + "&vm_name=My%20PC%26x"},
        {[&](::ClientAPIJson& a) { a.requestCheckToken("c t", user); }, "GET",
         "/api/v1/check_token.json?" + kVh + "&token=c%20t"},
        {[&](::ClientAPIJson& a) { a.requestUserActive(user); }, "GET",
         "/api/v1/user_active.json?" + kVh + "&token=a%2Fb"},
        {[&](::ClientAPIJson& a) { a.requestCreateAndStartVM(base(), t, desktop, eta); }, "POST",
         "/client/start_desktop.json?" + kVh + "&tarnhold_token=" + te +
             "&vm_name=My%20PC%26x&vm_os=Windows%2010&plan=High&datacenter=eu-central"},
        {[&](::ClientAPIJson& a) { a.requestDestroyVM(base(), t, "n 1", eta); }, "POST",
         "/client/delete_desktop.json?" + kVh + "&tarnhold_token=" + te + "&vm_name=n%201"},
        {[&](::ClientAPIJson& a) { a.requestDismissMessage(base(), t, -42); }, "POST",
         "/client/dismiss_message.json?" + kVh + "&tarnhold_token=" + te + "&id=-42"},
        {[&](::ClientAPIJson& a) { a.requestGetClientInfo(base(), t, info); }, "POST",
         "/client/get_client_info.json?" + kVh + "&tarnhold_token=" + te},
        {[&](::ClientAPIJson& a) { a.requestGetMessages(base(), t, true, messages); }, "GET",
         "/client/get_messages.json?" + kVh + "&tarnhold_token=" + te + "&active=true"},
        {[&](::ClientAPIJson& a) { a.requestGetMessages(base(), t, false, messages); }, "GET",
         "/client/get_messages.json?" + kVh + "&tarnhold_token=" + te + "&active=false"},
        {[&](::ClientAPIJson& a) { a.requestGetTip(tip); }, "GET", "/api/v1/get_tip.json"},
        {[&](::ClientAPIJson& a) { a.requestSignIn("Jo@example.com", "p&w =", user); }, "POST",
         "/api/v1/sign_in.json?" + kVh + "&user[email]=Jo%40example.com&user[password]=p%26w%20%3D"},
        {[&](::ClientAPIJson& a) { a.requestSetTimeout(base(), t, 900); }, "POST",
         "/client/set_timeout.json?" + kVh + "&tarnhold_token=" + te + "&timeout=900"},
        {[&](::ClientAPIJson& a) { a.requestLoginMethod("google", social); }, "GET",
         "/api/v1/login_method.json?" + kVh + "&method=google&device_id=" + deviceId()},
        {[&](::ClientAPIJson& a) { a.requestStopVM(base(), t, "n", eta); }, "POST",
         "/client/stop_desktop.json?" + kVh + "&tarnhold_token=" + te + "&vm_name=n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target);
        stub->control("clear_log");
        ::ClientAPIJson api;
        c.call(api);
        const auto log = stub->log();
        ASSERT_EQ(log.size(), 1u);
        EXPECT_EQ(log[0].method, c.method);
        EXPECT_EQ(log[0].target, c.target);
        if (log[0].method == "POST") {
            EXPECT_EQ(log[0].contentLength, "0");
        }
    }
    EXPECT_EQ(deviceId().size(), 10u);
    EXPECT_EQ(deviceId().find_first_not_of("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"),
              std::string::npos);
}

TEST_F(ClientAPIJson, TestPlanSettingFollowsTheToken) {
    ConfigStore::instance().setString("Debug.TestPlan", "t p", false);
    ClientInfo info;
    MessagesReply messages;
    ::ClientAPIJson api;
    api.requestGetClientInfo(base(), "T", info);
    api.requestGetMessages(base(), "T", false, messages);
    const auto log = stub->log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].query, kVh + "&tarnhold_token=T&test_plan=t%20p");
    EXPECT_EQ(log[1].query, kVh + "&tarnhold_token=T&test_plan=t%20p&active=false");
}

// Sign-in, account snapshot and a machine's whole life against the stand-in.
TEST_F(ClientAPIJson, MachineLifeAgainstTheStandIn) {
    const UserInfo user = signIn();
    EXPECT_EQ(user.email, "user@example.com");
    EXPECT_EQ(user.tarnholdUrl, base());
    EXPECT_TRUE(user.active);
    EXPECT_FALSE(user.accessToken.empty());
    EXPECT_FALSE(user.tarnholdToken.empty());

    ::ClientAPIJson api;
    ClientInfo info;
    ASSERT_TRUE(api.requestGetClientInfo(user.tarnholdUrl, user.tarnholdToken, info));
    EXPECT_EQ(info.balance.accountBalance, 12.5);
    EXPECT_EQ(info.balance.timeout, 30);
    EXPECT_EQ(info.plans.size(), 3u);
    EXPECT_EQ(info.vmStates.size(), 7u);
    EXPECT_EQ(info.datacenters.size(), 2u);
    ASSERT_EQ(info.desktops.size(), 2u);
    EXPECT_TRUE(info.desktops[0].isStopped());
    EXPECT_TRUE(info.desktops[1].isEmpty());
    EXPECT_EQ(info.userPlan.userPlan, "Gamer");

    DesktopInfo slot = info.desktops[1];
    slot.os = "Linux";
    slot.plan = "Low";
    slot.datacenter = "us-east";
    std::int32_t eta = 0;
    ASSERT_TRUE(api.requestCreateAndStartVM(user.tarnholdUrl, user.tarnholdToken, slot, eta));
    EXPECT_EQ(eta, 0) << "the stand-in's eta is under a second";
    DesktopInfo polled;
    polled.name = slot.name;
    ASSERT_TRUE(api.requestGetDesktop(user.tarnholdUrl, user.tarnholdToken, polled));
    EXPECT_EQ(polled.state, "Creating");
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    ASSERT_TRUE(api.requestGetDesktop(user.tarnholdUrl, user.tarnholdToken, polled));
    EXPECT_TRUE(polled.isOn());
    EXPECT_EQ(polled.ip, "127.0.0.1");
    EXPECT_EQ(polled.port, 6666);
    EXPECT_EQ(polled.streamerKey, "stub-streamer-key");
    EXPECT_EQ(polled.os, "Linux");
    EXPECT_EQ(polled.datacenter, "us-east");

    ASSERT_TRUE(api.requestStopVM(user.tarnholdUrl, user.tarnholdToken, slot.name, eta));
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    std::vector<DesktopInfo> list;
    ASSERT_TRUE(api.requestGetDesktops(user.tarnholdUrl, user.tarnholdToken, list));
    EXPECT_TRUE(list[1].isStopped());
    ASSERT_TRUE(api.requestDestroyVM(user.tarnholdUrl, user.tarnholdToken, slot.name, eta));
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    list.clear();
    ASSERT_TRUE(api.requestGetDesktops(user.tarnholdUrl, user.tarnholdToken, list));
    EXPECT_TRUE(list[1].isEmpty());

    DesktopInfo unknown;
    unknown.name = "nope";
    EXPECT_FALSE(api.requestGetDesktop(user.tarnholdUrl, user.tarnholdToken, unknown));
    EXPECT_EQ(api.status, -66);
    EXPECT_EQ(api.error, "Error: unknown desktop");
}

TEST_F(ClientAPIJson, AccountRequestsAgainstTheStandIn) {
    ::ClientAPIJson api;
    UserInfo wrong;
    EXPECT_FALSE(api.requestSignIn("user@example.com", "nope", wrong));
    EXPECT_EQ(api.status, 0);
    EXPECT_EQ(api.error, "Invalid email or password.");
    EXPECT_TRUE(api.client.isOk());

    UserInfo fresh = signIn("new@example.com");
    EXPECT_FALSE(fresh.active);
    stub->control("activate", R"({"email":"new@example.com"})");
    UserInfo refreshed;
    refreshed.accessToken = fresh.accessToken;
    ASSERT_TRUE(api.requestUserActive(refreshed));
    EXPECT_TRUE(refreshed.active);
    EXPECT_EQ(refreshed.tarnholdToken, fresh.tarnholdToken);

    UserInfo checked;
    ASSERT_TRUE(api.requestCheckToken(fresh.accessToken, checked));
    EXPECT_EQ(checked.email, "new@example.com");

    SocialLoginInfo social;
    ASSERT_TRUE(api.requestLoginMethod("google", social));
    EXPECT_FALSE(social.customToken.empty());
    EXPECT_EQ(social.url.rfind(base() + "/social/google", 0), 0u);
    UserInfo pending;
    ASSERT_TRUE(api.requestCheckToken(social.customToken, pending));
    EXPECT_FALSE(pending != UserInfo()) << "an unconfirmed token leaves the record as passed";
    stub->control("confirm_social", R"({"custom_token":")" + social.customToken + R"("})");
    ASSERT_TRUE(api.requestCheckToken(social.customToken, pending));
    EXPECT_EQ(pending.email, "user@example.com");

    const UserInfo user = signIn();
    MessagesReply reply;
    ASSERT_TRUE(api.requestGetMessages(user.tarnholdUrl, user.tarnholdToken, true, reply));
    ASSERT_EQ(reply.messages.size(), 2u);
    EXPECT_EQ(reply.messages[1].actions[0].url, base() + "/clients/new");
    EXPECT_EQ(reply.balance.nextCredit, 5.0);
    ASSERT_TRUE(api.requestDismissMessage(user.tarnholdUrl, user.tarnholdToken, reply.messages[0].id));
    ASSERT_TRUE(api.requestSetTimeout(user.tarnholdUrl, user.tarnholdToken, 45));
    MessagesReply after;
    ASSERT_TRUE(api.requestGetMessages(user.tarnholdUrl, user.tarnholdToken, true, after));
    EXPECT_EQ(after.messages.size(), 1u);
    EXPECT_EQ(after.balance.timeout, 45);

    std::string tip;
    ASSERT_TRUE(api.requestGetTip(tip));
    EXPECT_FALSE(tip.empty());
}

// Every failure class reaches the caller as false with the reason kept beside it.
TEST_F(ClientAPIJson, FailureClasses) {
    enum Fault { Http500, Http404, Reset, Timeout, NotJson, Status0, StatusMinus2, NoStatus, NoResponse };
    const struct {
        Fault fault;
        const char* body;
        int http;
        bool transportOk;
        int status;
        const char* error;
        const char* message;
    } cases[] = {
        {Http500, R"({"status":1,"response":{"desktops":[{"name":"a","state":"On"}]}})", 500, false, 7, "keep", "keep"},
        {Http404, R"({"status":0,"error":"x"})", 404, false, 7, "keep", "keep"},
        {Reset, "", 0, false, 7, "keep", "keep"},
        {Timeout, "", 0, false, 7, "keep", "keep"},
        {NotJson, "<html>oops</html>", 200, true, 0, "Error: response is not JSON", "keep"},
        {Status0, R"({"status":0,"error":"Invalid token.","message":"m"})", 200, true, 0, "Invalid token.", "m"},
        {StatusMinus2, R"({"status":-2,"error":"Unknown desktop."})", 200, true, -2, "Unknown desktop.", ""},
        {NoStatus, R"({"response":{"desktops":[{"name":"a","state":"On"}]}})", 200, true, -66, "", "keep"},
        {NoResponse, R"({"status":1})", 200, true, -65, "Error: response have unknown format", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.fault));
        stub->control("clear_faults");
        if (c.fault == Reset) stub->resetConnection("/client/get_desktop.json");
        else if (c.fault == Timeout) stub->delay("/client/get_desktop.json", 2.0);
        else stub->replyWith("/client/get_desktop.json", c.body, c.http);
        ::ClientAPIJson api;
        api.client.setTimeoutSeconds(1);
        api.status = 7;
        api.error = "keep";
        api.message = "keep";
        std::vector<DesktopInfo> list;
        EXPECT_FALSE(api.requestGetDesktops(base(), "T", list));
        EXPECT_EQ(api.client.isOk(), c.transportOk);
        EXPECT_EQ(api.status, c.status);
        EXPECT_EQ(api.error, c.error);
        EXPECT_EQ(api.message, c.message);
        if (c.fault == Timeout) {
            EXPECT_EQ(api.client.getCurlResult(), 28);
        }
        if (c.fault == Http500) {
            EXPECT_EQ(api.client.getHttpCode(), 500);
        }
    }
}

// Reply rules of the payloads, endpoint by endpoint.
TEST_F(ClientAPIJson, PayloadRules) {
    struct Case {
        const char* path;
        std::string body;
        bool ok;
        int status;
        std::function<bool(::ClientAPIJson&)> call;
        std::function<void()> check;
    };
    std::int32_t eta = 0;
    UserInfo user;
    ClientInfo info;
    MessagesReply messages;
    std::string tip = "old";
    SocialLoginInfo social;
    std::vector<DesktopInfo> desktops;
    const std::string b = base();
    auto start = [&](::ClientAPIJson& a) { return a.requestCreateAndStartVM(b, "T", DesktopInfo(), eta); };
    auto stop = [&](::ClientAPIJson& a) { return a.requestStopVM(b, "T", "n", eta); };
    auto destroy = [&](::ClientAPIJson& a) { return a.requestDestroyVM(b, "T", "n", eta); };
    auto checkToken = [&](::ClientAPIJson& a) { return a.requestCheckToken("x", user); };
    auto signIn = [&](::ClientAPIJson& a) { return a.requestSignIn("e", "p", user); };
    auto active = [&](::ClientAPIJson& a) { return a.requestUserActive(user); };
    auto clientInfo = [&](::ClientAPIJson& a) { return a.requestGetClientInfo(b, "T", info); };
    auto getMessages = [&](::ClientAPIJson& a) { return a.requestGetMessages(b, "T", true, messages); };
    auto getTip = [&](::ClientAPIJson& a) { return a.requestGetTip(tip); };
    auto loginMethod = [&](::ClientAPIJson& a) { return a.requestLoginMethod("m", social); };
    auto getDesktops = [&](::ClientAPIJson& a) { return a.requestGetDesktops(b, "T", desktops); };
    auto dismiss = [&](::ClientAPIJson& a) { return a.requestDismissMessage(b, "T", 1); };
    auto etaIs = [&](int expected) { return [&eta, expected] { EXPECT_EQ(eta, expected); }; };
    const std::string fullInfo =
        R"("account_balance":1,"next_credit":2,"timeout":3,"plans":[{"name":"p","localized_name":"P","available":true,"cost":1}],)"
        R"("all_vm_states":[{"name":"On","localized_name":"On"}],"datacenters":[{"name":"d","localized_name":"D","country":"C"}])";

    const Case cases[] = {
        {"/client/start_desktop.json", R"({"status":1,"response":{}})", true, 1, start, etaIs(300)},
        {"/client/start_desktop.json", R"({"status":1,"response":{"eta":30.7}})", true, 1, start, etaIs(30)},
        {"/client/start_desktop.json", R"({"status":1,"response":{"eta":null}})", true, 1, start, etaIs(0)},
        {"/client/start_desktop.json", R"({"status":1,"response":{"eta":"5"}})", true, 1, start, etaIs(300)},
        {"/client/start_desktop.json", R"({"status":1})", false, -65, start, nullptr},
        {"/client/start_desktop.json", R"({"status":1,"response":5})", false, -65, start, nullptr},
        {"/client/start_desktop.json", R"({"status":2,"response":{"message":"busy"}})", true, 2, start, etaIs(300)},
        {"/client/stop_desktop.json", R"({"status":1,"eta":20})", true, 1, stop, etaIs(20)},
        {"/client/stop_desktop.json", R"({"status":1})", true, 1, stop, etaIs(300)},
        {"/client/stop_desktop.json", R"({"status":1,"response":{"eta":7}})", true, 1, stop, etaIs(7)},
        {"/client/delete_desktop.json", R"({"status":1,"response":5})", true, 1, destroy, etaIs(300)},
        {"/client/delete_desktop.json", R"({"status":1,"response":{"eta":12}})", true, 1, destroy, etaIs(12)},
        {"/client/delete_desktop.json", R"({"status":1})", true, 1, destroy, etaIs(300)},
        {"/client/dismiss_message.json", R"({"status":1})", true, 1, dismiss, nullptr},
        {"/client/dismiss_message.json", R"({"status":-2,"error":"no"})", false, -2, dismiss, nullptr},
        {"/api/v1/check_token.json", R"({"status":1,"response":{"token_status":0}})", true, 1, checkToken,
         [&] { EXPECT_FALSE(user != UserInfo()); }},
        {"/api/v1/check_token.json", R"({"status":1,"response":{"token_status":"1","email":"e"}})", true, 1,
         checkToken, [&] { EXPECT_FALSE(user != UserInfo()); }},
        {"/api/v1/check_token.json",
         R"({"status":1,"response":{"token_status":1,"tarnhold_url":"u","access_token":"a","email":"e","active":true}})",
         true, 1, checkToken, [&] { EXPECT_TRUE((user == UserInfo{"e", "", "u", true, "a"})); }},
        {"/api/v1/check_token.json", R"({"status":1})", false, -65, checkToken, nullptr},
        {"/api/v1/sign_in.json",
         R"({"status":1,"response":{"tarnhold_url":"u","access_token":"a","email":"e","active":false,"tarnhold_token":"t"}})",
         true, 1, signIn, [&] { EXPECT_TRUE((user == UserInfo{"e", "t", "u", false, "a"})); }},
        {"/api/v1/sign_in.json", R"({"status":1,"response":{"tarnhold_url":"u","access_token":"a","active":true}})",
         false, -65, signIn, [&] { EXPECT_EQ(user.accessToken, "a") << "written member by member"; }},
        {"/api/v1/sign_in.json", R"({"status":1,"response":{"tarnhold_url":"u","access_token":"a","email":"e"}})",
         false, -65, signIn, nullptr},
        {"/api/v1/sign_in.json", R"({"status":1,"response":[]})", false, -65, signIn, nullptr},
        {"/api/v1/user_active.json", R"({"status":1,"response":{}})", true, 1, active, [&] {
             EXPECT_TRUE(user.active);
             EXPECT_EQ(user.tarnholdToken, "");
         }},
        {"/api/v1/user_active.json", R"({"status":1,"response":{"active":false,"tarnhold_token":"t"}})", true, 1,
         active, [&] { EXPECT_FALSE(user.active); }},
        {"/api/v1/user_active.json", R"({"status":1,"response":"x"})", false, -65, active, nullptr},
        {"/client/get_client_info.json", R"({"status":1,"response":{)" + fullInfo +
                                          R"(,"desktops":[{"name":"a","state":"On"}],"user_plan":"u"}})",
         true, 1, clientInfo, [&] {
             EXPECT_EQ(info.desktops.size(), 1u);
             EXPECT_EQ(info.userPlan.userPlan, "u");
         }},
        {"/client/get_client_info.json", R"({"status":1,"response":{)" + fullInfo + R"(,"desktops":[]}})",
         false, -65, clientInfo, nullptr},
        {"/client/get_client_info.json",
         R"({"status":1,"response":{"account_balance":1,"desktops":[{"name":"a","state":"On"}]}})", false, -65,
         clientInfo, nullptr},
        {"/client/get_messages.json", R"({"status":1,"response":{"account_balance":1}})", true, 1, getMessages,
         [&] { EXPECT_TRUE(messages.messages.empty()); }},
        {"/client/get_messages.json", R"({"status":1,"response":{"account_balance":1,"messages":{}}})", false, -65,
         getMessages, nullptr},
        {"/client/get_messages.json", R"({"status":1,"response":{"messages":[]}})", false, -65, getMessages, nullptr},
        {"/api/v1/get_tip.json", R"({"status":1,"response":{"tip":5}})", true, 1, getTip,
         [&] { EXPECT_EQ(tip, ""); }},
        {"/api/v1/get_tip.json", R"({"status":1,"response":[1]})", true, 1, getTip, [&] { EXPECT_EQ(tip, ""); }},
        {"/api/v1/get_tip.json", R"({"status":1})", false, -65, getTip, nullptr},
        {"/api/v1/login_method.json", R"({"status":1,"response":{"custom_token":"c","url":"u"}})", true, 1,
         loginMethod, [&] { EXPECT_EQ(social.url + social.customToken, "uc"); }},
        {"/api/v1/login_method.json", R"({"status":1,"response":{"custom_token":"c"}})", false, -65, loginMethod,
         nullptr},
        // Hostile payloads fail cleanly.
        {"/client/get_desktop.json", R"({"status":1,"response":{"desktops":[1,"x",null,[],{"name":{}}]}})", false,
         -65, getDesktops, nullptr},
        {"/client/get_desktop.json", R"({"status":1,"response":{"desktops":null}})", false, -65, getDesktops,
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.path) + " " + c.body);
        stub->replyWith(c.path, c.body);
        user = UserInfo();
        info = ClientInfo();
        messages = MessagesReply();
        eta = -1;
        ::ClientAPIJson api;
        bool result = false;
        captureStdout([&] { result = c.call(api); });
        EXPECT_EQ(result, c.ok);
        EXPECT_EQ(api.status, c.status);
        if (c.check) c.check();
    }
}

TEST_F(ClientAPIJson, EtaWarningsAreLogged) {
    const struct {
        const char* path;
        const char* body;
        std::vector<std::string> warnings;
        std::string info;
    } cases[] = {
        {"/client/start_desktop.json", R"({"status":1,"response":{}})", {"no response/eta field"},
         "start_desktop eta is 300"},
        {"/client/stop_desktop.json", R"({"status":1,"eta":20})", {}, "stop_desktop eta is 20"},
        {"/client/stop_desktop.json", R"({"status":1})", {"no eta field", "no response field"},
         "stop_desktop eta is 300"},
        {"/client/stop_desktop.json", R"({"status":1,"response":{}})", {"no eta field", "no response/eta field"},
         "stop_desktop eta is 300"},
        {"/client/delete_desktop.json", R"({"status":1,"response":5})", {"no response/eta field"},
         "destroy_desktop eta is 300"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        stub->replyWith(c.path, c.body);
        ::ClientAPIJson api;
        std::int32_t eta = 0;
        const std::string path = c.path;
        const char* function = path.find("start") != std::string::npos ? "ClientAPIJson::requestCreateAndStartVM"
                               : path.find("stop") != std::string::npos ? "ClientAPIJson::requestStopVM"
                                                                        : "ClientAPIJson::requestDestroyVM";
        const std::string out = captureStdout([&] {
            if (path.find("start") != std::string::npos) api.requestCreateAndStartVM(base(), "T", DesktopInfo(), eta);
            else if (path.find("stop") != std::string::npos) api.requestStopVM(base(), "T", "n", eta);
            else api.requestDestroyVM(base(), "T", "n", eta);
        });
        std::size_t warningCount = 0;
        for (std::size_t at = 0; (at = out.find("[W]", at)) != std::string::npos; ++at) ++warningCount;
        EXPECT_EQ(warningCount, c.warnings.size()) << out;
        for (const std::string& w : c.warnings) EXPECT_TRUE(hasLogLine(out, "W", function, w)) << w << "\n" << out;
        EXPECT_TRUE(hasLogLine(out, "I", function, c.info)) << out;
    }
}

TEST_F(ClientAPIJson, SecretsNeverReachTheLog) {
    UserInfo user;
    const std::string out = captureStdout([&] {
        ::ClientAPIJson api;
        api.requestSignIn("user@example.com", "S3cret-pw", user);
        api.requestSignIn("user@example.com", "secret", user);
        api.requestUserActive(user);
        ClientInfo info;
        api.requestGetClientInfo(user.tarnholdUrl, user.tarnholdToken, info);
    });
    ASSERT_FALSE(user.accessToken.empty());
    ASSERT_FALSE(user.tarnholdToken.empty());
    EXPECT_EQ(out.find("S3cret-pw"), std::string::npos);
    EXPECT_EQ(out.find("secret"), std::string::npos);
    EXPECT_EQ(out.find(user.accessToken), std::string::npos);
    EXPECT_EQ(out.find(user.tarnholdToken), std::string::npos);
    EXPECT_NE(out.find("CURL Post " + base() + "/api/v1/sign_in.json"), std::string::npos);
}
}  // namespace fixtures
