#include "webapi/ApiRecordParsers.h"
#include "webapi/UserInfo.h"

#include <gtest/gtest.h>

namespace {
rapidjson::Document parse(const std::string& text) {
    rapidjson::Document doc;
    EXPECT_TRUE(parseJsonText(doc, text)) << text;
    return doc;
}
}  // namespace

TEST(DesktopInfo, ParserDefaultsAndRequiredMembers) {
    const auto doc = parse(R"({"desktops":[
        {"name":"a","state":"On"},
        {"name":"no-state"},
        {"state":"On"},
        {"name":5,"state":"On"},
        7,
        {"name":"full","state":"Off","os":"Windows","ip":"10.0.0.1","port":7000,"streamer_key":"k","plan":"High",
         "datacenter":"eu","password":"pw","default":false,"enabled":false}
    ]})");
    std::vector<DesktopInfo> list;
    ASSERT_TRUE(parseDesktops(doc, list));
    ASSERT_EQ(list.size(), 2u);
    const DesktopInfo& a = list[0];
    EXPECT_EQ(a.name, "a");
    EXPECT_EQ(a.port, 6666);
    EXPECT_TRUE(a.enabled);
    EXPECT_TRUE(a.isDefault);
    EXPECT_EQ(a.ip + a.os + a.streamerKey + a.plan + a.datacenter + a.password, "");
    const DesktopInfo& f = list[1];
    EXPECT_EQ(f.os, "Windows");
    EXPECT_EQ(f.ip, "10.0.0.1");
    EXPECT_EQ(f.port, 7000);
    EXPECT_EQ(f.streamerKey, "k");
    EXPECT_EQ(f.plan, "High");
    EXPECT_EQ(f.datacenter, "eu");
    EXPECT_EQ(f.password, "pw");
    EXPECT_FALSE(f.isDefault);
    EXPECT_FALSE(f.enabled);
}

TEST(DesktopInfo, PortRules) {
    const struct {
        const char* port;
        std::int32_t expected;
    } cases[] = {{"0", 6666},     {"null", 6666},     {nullptr, 6666}, {"7000.9", 7000},
                 {"\"7000\"", 6666}, {"-5", -5},     {"4294967296", 6666}, {"1e20", 6666}};
    for (const auto& c : cases) {
        const std::string member = c.port ? std::string(R"(,"port":)") + c.port : std::string();
        const auto doc = parse(R"({"desktops":[{"name":"a","state":"On")" + member + "}]}");
        std::vector<DesktopInfo> list;
        ASSERT_TRUE(parseDesktops(doc, list));
        EXPECT_EQ(list[0].port, c.expected) << (c.port ? c.port : "absent");
    }
}

TEST(DesktopInfo, ListsThatYieldNoMachineFail) {
    for (const char* text : {R"({"desktops":[]})", R"({"desktops":[{"state":"On"},3]})", R"({"desktops":{}})", R"({})",
                             R"({"desktops":"x"})", "[]"}) {
        std::vector<DesktopInfo> list;
        EXPECT_FALSE(parseDesktops(parse(text), list)) << text;
    }
}

TEST(DesktopInfo, StatePredicatesAndComparison) {
    DesktopInfo d;
    d.state = "Off";
    EXPECT_FALSE(d.isStopped());
    d.datacenter = "eu";
    EXPECT_TRUE(d.isStopped());
    d.state = "off";
    EXPECT_FALSE(d.isStopped());
    EXPECT_FALSE(d.isOn());
    d.state = "On";
    EXPECT_TRUE(d.isOn());
    d.state = "Empty";
    EXPECT_TRUE(d.isEmpty());

    const DesktopInfo base = d;
    auto changed = [&](auto mutate) {
        DesktopInfo other = base;
        mutate(other);
        return other != base;
    };
    EXPECT_FALSE(DesktopInfo(base) != base);
    EXPECT_TRUE(changed([](DesktopInfo& x) { x.name = "n"; }));
    EXPECT_TRUE(changed([](DesktopInfo& x) { x.state = "On"; }));
    EXPECT_TRUE(changed([](DesktopInfo& x) { x.ip = "i"; }));
    EXPECT_TRUE(changed([](DesktopInfo& x) { x.port = 1; }));
    EXPECT_TRUE(changed([](DesktopInfo& x) { x.streamerKey = "k"; }));
    EXPECT_TRUE(changed([](DesktopInfo& x) { x.plan = "p"; }));
    EXPECT_TRUE(changed([](DesktopInfo& x) { x.os = "o"; }));
    EXPECT_TRUE(changed([](DesktopInfo& x) { x.datacenter = "d"; }));
    EXPECT_TRUE(changed([](DesktopInfo& x) { x.password = "p"; }));
    EXPECT_TRUE(changed([](DesktopInfo& x) { x.enabled = true; }));
    EXPECT_TRUE(changed([](DesktopInfo& x) { x.isDefault = true; }));
}

TEST(PlanInfo, ParserRules) {
    const auto doc = parse(R"({"plans":[
        {"name":"ok","localized_name":"Ok","available":true,"cost":1.5},
        {"name":"no-available","localized_name":"x","cost":1},
        {"name":"string-available","localized_name":"x","available":"true","cost":1},
        {"name":"no-cost","localized_name":"x","available":true},
        {"name":"string-cost","localized_name":"x","available":false,"cost":"5","default":false},
        {"localized_name":"no-name","available":true,"cost":1}
    ]})");
    std::vector<PlanInfo> plans;
    ASSERT_TRUE(parsePlans(doc, plans));
    ASSERT_EQ(plans.size(), 2u);
    EXPECT_EQ(plans[0].name, "ok");
    EXPECT_EQ(plans[0].cost, 1.5);
    EXPECT_TRUE(plans[0].available);
    EXPECT_TRUE(plans[0].isDefault);
    EXPECT_EQ(plans[1].name, "string-cost");
    EXPECT_EQ(plans[1].cost, 0);
    EXPECT_FALSE(plans[1].available);
    EXPECT_FALSE(plans[1].isDefault);

    std::vector<PlanInfo> partial;
    EXPECT_FALSE(parsePlans(parse(R"({"plans":[{"name":"a","localized_name":"A","available":true,"cost":1},3]})"),
                            partial));
    EXPECT_EQ(partial.size(), 1u) << "entries before the bad element stay";
    std::vector<PlanInfo> none;
    EXPECT_FALSE(parsePlans(parse(R"({"plans":[]})"), none));
}

TEST(DatacenterInfo, ParserRules) {
    const auto doc = parse(R"({"datacenters":[
        {"name":"eu","localized_name":"Frankfurt","country":"DE"},
        {"name":"us","localized_name":"Virginia","country":"US","default":false,"available":false},
        {"name":"x","localized_name":"no country"},
        "eu"
    ]})");
    std::vector<DatacenterInfo> list;
    ASSERT_TRUE(parseDatacenters(doc, list));
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].localizedName, "Frankfurt");
    EXPECT_EQ(list[0].country, "DE");
    EXPECT_TRUE(list[0].isDefault);
    EXPECT_TRUE(list[0].available);
    EXPECT_FALSE(list[1].isDefault);
    EXPECT_FALSE(list[1].available);
    std::vector<DatacenterInfo> none;
    EXPECT_FALSE(parseDatacenters(parse(R"({"datacenters":[{"name":"x"}]})"), none));
}

TEST(VmStateInfo, ParserRules) {
    std::vector<VmStateInfo> list;
    ASSERT_TRUE(parseVmStates(parse(R"({"all_vm_states":[{"name":"On","localized_name":"Running"},{"name":"x"},1]})"),
                              list));
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].localizedName, "Running");
    std::vector<VmStateInfo> none;
    EXPECT_FALSE(parseVmStates(parse(R"({"all_vm_states":null})"), none));
}

TEST(MessageInfo, ParserRules) {
    const auto doc = parse(R"({"messages":[
        {"id":1,"title":"t","body":"b","actions":[{"url":"u","url_get":"g","url_post":"p","text":"x"},{"text":"only"},5]},
        {"id":2,"title":"t","body":"b","actions":[]},
        {"id":"5","title":"t","body":"b","actions":[]},
        {"id":5.5,"title":"t","body":"b","actions":[]},
        {"id":4294967296,"title":"t","body":"b","actions":[]},
        {"id":6,"title":"t","body":"b"},
        {"id":7,"title":"t","body":"b","actions":{}},
        {"id":8,"body":"b","actions":[]},
        "text"
    ]})");
    std::vector<MessageInfo> list;
    ASSERT_TRUE(parseMessages(doc, list));
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].id, 1);
    ASSERT_EQ(list[0].actions.size(), 3u);
    EXPECT_EQ(list[0].actions[0].url, "u");
    EXPECT_EQ(list[0].actions[0].urlGet, "g");
    EXPECT_EQ(list[0].actions[0].urlPost, "p");
    EXPECT_EQ(list[0].actions[0].text, "x");
    EXPECT_EQ(list[0].actions[1].text, "only");
    EXPECT_EQ(list[0].actions[1].url, "");
    EXPECT_EQ(list[0].actions[2].text, "") << "a non-object action gives four empty strings";
    EXPECT_EQ(list[1].id, 2);
    EXPECT_TRUE(list[1].actions.empty());

    std::vector<MessageInfo> other;
    EXPECT_TRUE(parseMessages(parse("{}"), other));
    EXPECT_TRUE(other.empty());
    EXPECT_FALSE(parseMessages(parse(R"({"messages":{}})"), other));
    EXPECT_TRUE(parseMessages(parse(R"({"messages":[]})"), other));
}

TEST(AccountBalance, ParserRules) {
    const struct {
        const char* json;
        bool ok;
        AccountBalance expected;
    } cases[] = {
        {R"({"account_balance":12.5,"next_credit":5,"timeout":30.9,"total_storage":50,"used_storage":12.25})", true,
         {12.5, 5, 50, 12.25, 30}},
        {R"({"account_balance":null})", true, {0, 0, -1, -1, 0}},
        // The storage pair is read only when "total_storage" is present.
        {R"({"account_balance":3,"used_storage":9})", true, {3, 0, -1, -1, 0}},
        {R"({"account_balance":3,"total_storage":"x","used_storage":true})", true, {3, 0, -1, -1, 0}},
        {R"({"account_balance":"10"})", false, {-1, 0, -1, -1, 0}},
        {R"({"account_balance":1,"timeout":"30"})", false, {1, 0, -1, -1, -1}},
        {R"({"account_balance":1,"timeout":1e12})", false, {1, 0, -1, -1, -1}},
        {R"({"account_balance":1,"next_credit":4294967296})", false, {1, -1, -1, -1, 0}},
        {R"({"next_credit":1})", false, {-1, -1, -1, -1, -1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json);
        AccountBalance balance{-1, -1, -1, -1, -1};
        EXPECT_EQ(parseAccountBalance(parse(c.json), balance), c.ok);
        EXPECT_EQ(balance.accountBalance, c.expected.accountBalance);
        EXPECT_EQ(balance.nextCredit, c.expected.nextCredit);
        EXPECT_EQ(balance.totalStorage, c.expected.totalStorage);
        EXPECT_EQ(balance.usedStorage, c.expected.usedStorage);
        EXPECT_EQ(balance.timeout, c.expected.timeout);
    }
    AccountBalance a, b;
    EXPECT_TRUE(a == b);
    b.usedStorage = 0.1;
    EXPECT_TRUE(a != b);
}

TEST(UserPlan, ParserAndComparison) {
    UserPlan plan{"old", 9};
    EXPECT_TRUE(parseUserPlan(parse(R"({"user_plan":"High","min_trial_remaining":45.5})"), plan));
    EXPECT_EQ(plan.userPlan, "High");
    EXPECT_EQ(plan.minTrialRemaining, 45);
    EXPECT_TRUE(parseUserPlan(parse("{}"), plan));
    EXPECT_EQ(plan.userPlan, "");
    EXPECT_EQ(plan.minTrialRemaining, 45) << "absent minutes keep the old value";
    EXPECT_FALSE((UserPlan{"a", 1} != UserPlan{"a", 2}));
    EXPECT_TRUE((UserPlan{"a", 1} != UserPlan{"b", 1}));
}

TEST(UserInfo, Comparison) {
    const UserInfo base{"e", "tt", "tu", true, "at"};
    EXPECT_FALSE(UserInfo(base) != base);
    for (int field = 0; field < 5; ++field) {
        UserInfo other = base;
        switch (field) {
            case 0: other.email = "x"; break;
            case 1: other.tarnholdToken = "x"; break;
            case 2: other.tarnholdUrl = "x"; break;
            case 3: other.active = false; break;
            case 4: other.accessToken = "x"; break;
        }
        EXPECT_TRUE(other != base) << field;
    }
}
