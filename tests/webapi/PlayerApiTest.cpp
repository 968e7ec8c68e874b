// The player's web facade against the stand-in service over HTTPS: the start, the retries
// and error reports of its tasks for every kind of service fault (every failed action says
// why, also without a reply), the plan and data centre
// of a start, the polls starting and stopping, local messages, the account page, and a
// shutdown that does not wait for a hanging request.

#include "StubService.h"

#include "webapi/ClientAPIJson.h"
#include "webapi/PlayerApi.h"

#include "FnTask.h"
#include "TestSupport.h"
#include "RecordingUrlOpener.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

bool waitUntil(const std::function<bool()>& done, int timeoutMs = 10000) {
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (Clock::now() >= end) return done();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

using testsupport::FnTask;

// Waits until every task posted to the facade so far has run (its worker runs tasks in
// posting order).
void drain(PlayerApi& api) {
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> ran = done->get_future();
    api.post(std::make_shared<FnTask>([done] {
        done->set_value();
        return true;
    }));
    ASSERT_EQ(ran.wait_for(std::chrono::seconds(60)), std::future_status::ready);
}

// Counts the facade's error events (they arrive on its worker).
class ErrorEvents : public IListenerBase<PlayerApiEvents> {
public:
    explicit ErrorEvents(PlayerApi& api) : api_(api) { api_.addListener(this); }
    ~ErrorEvents() override { api_.removeListener(this); }
    void onEvent(PlayerApiEvents event) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (event == kPlayerApiTaskError) texts_.push_back(api_.getLastError(false));
    }
    std::vector<std::string> texts() {
        std::lock_guard<std::mutex> lock(mutex_);
        return texts_;
    }

private:
    PlayerApi& api_;
    std::mutex mutex_;
    std::vector<std::string> texts_;
};

PlayerApiTimings fastTimings() {
    PlayerApiTimings t;
    t.requestTimeoutSeconds = 1;
    t.connectTimeoutMs = 1000;
    t.machinePollPeriodMs = 300;
    return t;
}

// A port of this machine on which nothing listens.
int closedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

std::size_t countPath(const std::vector<LoggedRequest>& log, const std::string& path) {
    std::size_t n = 0;
    for (const LoggedRequest& r : log) n += r.path == path ? 1 : 0;
    return n;
}

class PlayerApiFixture : public StubServiceTest {
protected:
    // The stand-in's user, signed in (platform token and URL filled in).
    UserInfo signedInUser() {
        ClientAPIJson client;
        UserInfo user;
        EXPECT_TRUE(client.requestSignIn("user@example.com", "secret", user));
        return user;
    }

    // A facade with the signed-in user, its machines and one of them selected.
    void prepare(PlayerApi& api, const std::string& selected = "Desktop 1") {
        api.clientState.setUser(signedInUser());
        ClientAPIJson client;
        std::vector<DesktopInfo> desktops;
        const UserInfo user = api.clientState.getUser();
        ASSERT_TRUE(client.requestGetDesktops(user.tarnholdUrl, user.tarnholdToken, desktops));
        api.clientState.setDesktops(desktops);
        api.clientState.setSelectedDesktop(selected);
        stub->control("clear_log");
    }
};

}  // namespace

namespace fixtures {
using PlayerApi = PlayerApiFixture;

TEST_F(PlayerApi, StartExchangesTheTokenAndFetchesTheAccount) {
    const UserInfo user = signedInUser();
    stub->control("clear_log");
    ::PlayerApi api(fastTimings());
    api.start(user.accessToken);
    ASSERT_TRUE(waitUntil([&] { return api.clientState.getClientInfo().desktops.size() == 2; }));
    drain(api);
    const UserInfo refreshed = api.clientState.getUser();
    EXPECT_EQ(refreshed.accessToken, user.accessToken);
    EXPECT_EQ(refreshed.tarnholdToken, user.tarnholdToken);
    EXPECT_EQ(refreshed.tarnholdUrl, stub->baseUrl());
    EXPECT_TRUE(refreshed.active);
    EXPECT_FALSE(api.clientState.getTip().empty());
    EXPECT_EQ(api.clientState.getVmOperationState(), kVmIdle);
    const auto log = stub->log();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].path, "/api/v1/get_tip.json");
    EXPECT_EQ(log[1].path, "/api/v1/user_active.json");
    EXPECT_EQ(log[2].path, "/client/get_client_info.json");
}

// Every kind of service fault on a machine start: how many attempts, what the user gets to
// see (a message in the model, an error event) and the operation state left behind.
TEST_F(PlayerApi, AStartRetriesOnlyFailedTransportsAndReportsWhatTheServiceSaid) {
    const std::string path = "/client/start_desktop.json";
    const struct {
        const char* what;
        std::function<void()> fault;
        std::size_t attempts;
        bool succeeds;
        const char* title;  // of the message left in the model, or null for none
        const char* body;
        std::vector<std::string> events;
        std::int32_t state;
    } cases[] = {
        {"status 2 with a message",
         [&] { stub->replyWith(path, R"({"status":2,"response":{"eta":30,"message":"m"}})"); }, 1, true, "Message", "m", {}, kVmStarting},
        {"status 2, the message outside the response",
         [&] { stub->replyWith(path, R"({"status":2,"message":"m","response":{"eta":30}})"); }, 1, true, "Message", "",
         {}, kVmStarting},
        {"refused with status -2", [&] { stub->replyWith(path, R"({"status":-2,"error":"e"})"); }, 1, false, "Error",
         "e", {"e"}, kVmFailed},
        {"refused with status 0", [&] { stub->replyWith(path, R"({"status":0,"error":"no credits"})"); }, 1, false,
         nullptr, nullptr, {"no credits"}, kVmFailed},
        {"refused without a text", [&] { stub->replyWith(path, R"({"status":-2})"); }, 1, false, "Error",
         "The service refused the request (status -2)", {"The service refused the request (status -2)"}, kVmFailed},
        {"HTTP 500", [&] { stub->replyWith(path, R"({"status":0,"error":"x"})", 500, 3); }, 3, false, nullptr, nullptr,
         {"The service answered with HTTP status 500"}, kVmFailed},
        {"connection reset", [&] { stub->resetConnection(path, 3); }, 3, false, nullptr, nullptr,
         {"Failure when receiving data from the peer"}, kVmFailed},
        {"time-out", [&] { stub->delay(path, 1.6, 3); }, 3, false, nullptr, nullptr, {"Timeout was reached"},
         kVmFailed},
        {"not JSON", [&] { stub->replyWith(path, "<html>busy</html>"); }, 1, false, nullptr, nullptr,
         {"Error: response is not JSON"}, kVmFailed},
        {"a fault, then a success", [&] { stub->resetConnection(path, 1); }, 2, true, nullptr, nullptr, {},
         kVmStarting},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        stub->reset();
        ::PlayerApi api(fastTimings());
        prepare(api);
        ErrorEvents events(api);
        c.fault();
        bool succeeded = false;
        api.createAndStartVm(std::make_shared<FnTask>([&] { return succeeded = true; }));
        drain(api);
        EXPECT_EQ(countPath(stub->log(), path), c.attempts);
        EXPECT_EQ(succeeded, c.succeeds);
        MessageInfo m;
        ASSERT_EQ(api.clientState.getFirstMessage(m), c.title != nullptr);
        if (c.title) {
            EXPECT_EQ(m.id, MessageInfo::kFirstLocalId);
            EXPECT_EQ(m.title, c.title);
            EXPECT_EQ(m.body, c.body);
            ASSERT_EQ(m.actions.size(), 1u);
            EXPECT_EQ(m.actions[0].text, "Ok");
            EXPECT_EQ(m.actions[0].url + m.actions[0].urlGet + m.actions[0].urlPost, "");
        }
        EXPECT_EQ(events.texts(), c.events);
        EXPECT_EQ(api.clientState.getVmOperationState(), c.state);
        if (c.succeeds && c.title) {
            EXPECT_EQ(api.clientState.getVmOperationEta(), 30);
        }
    }
}

// With the service gone, every action the user takes says so, also when a poll met the
// same fault first; a poll only logs, and a fetch in the background tells a repeated fault
// once.
TEST_F(PlayerApi, EveryFailedActionIsReportedAndPollFailuresRaiseNoEvent) {
    ::PlayerApi api(fastTimings());
    prepare(api);
    ErrorEvents events(api);
    stub->replyWith("/client/stop_desktop.json", R"({"status":-2,"error":"e"})", 200, 2);
    const DesktopInfo machine = api.clientState.getSelectedDesktop();
    api.post(api.makeStopVMTask(machine, kVmStopping));
    api.post(api.makeStopVMTask(machine, kVmStopping));
    drain(api);
    EXPECT_EQ(events.texts(), (std::vector<std::string>{"e", "e"}));
    EXPECT_EQ(api.clientState.messageCount(), 2u) << "each refusal also leaves its message";

    stub->replyWith("/client/get_desktop.json", R"({"status":0,"error":"poll failed"})", 200, 2);
    api.post(api.makeMonitorAllVmStatusTask());
    api.post(api.makeMonitorAllVmStatusTask());
    drain(api);
    EXPECT_EQ(api.getLastError(false), "poll failed");
    EXPECT_EQ(events.texts(), (std::vector<std::string>{"e", "e"})) << "a failed poll is only logged";

    // The service unreachable: a poll fails first, then the user starts the machine.
    UserInfo user = api.clientState.getUser();
    user.tarnholdUrl = "https://127.0.0.1:" + std::to_string(closedPort());
    api.clientState.setUser(user);
    api.post(api.makeMonitorAllVmStatusTask());
    drain(api);
    EXPECT_EQ(api.getLastError(false), "Couldn't connect to server");
    api.createAndStartVm(nullptr);
    drain(api);
    EXPECT_EQ(events.texts(), (std::vector<std::string>{"e", "e", "Couldn't connect to server"}));
    EXPECT_EQ(api.clientState.getVmOperationState(), kVmFailed);

    // The account fetched in the background is not the user's doing: the same failure twice
    // is told once.
    api.getClientInfo(nullptr);
    api.getClientInfo(nullptr);
    drain(api);
    EXPECT_EQ(events.texts(), (std::vector<std::string>{"e", "e", "Couldn't connect to server"}));
}

TEST_F(PlayerApi, WithoutAnAccountPlatformNothingIsSentOrReported) {
    // A direct connection (a machine of the command line) has no account: requests for the
    // platform would go to a host-less address and fail three times with a useless error.
    ::PlayerApi api(fastTimings());
    ErrorEvents events(api);
    DesktopInfo machine;
    machine.name = "Ubuntu";
    machine.state = "On";
    const std::string out = testsupport::captureStdout([&] {
        api.post(api.makeStopVMTask(machine, kVmStopping));
        api.post(api.makeMonitorAllVmStatusTask());
        api.post(api.makeGetMessagesTask());
        api.post(api.makeSetTimoutTask(30));
        drain(api);
    });
    EXPECT_TRUE(events.texts().empty());
    EXPECT_EQ(api.getLastError(false), "");
    EXPECT_EQ(api.clientState.getVmOperationState(), kVmFailed) << "the stop asked for ended at once";
    std::size_t notSent = 0;
    for (std::size_t at = out.find("[W]"); at != std::string::npos; at = out.find("[W]", at + 1))
        notSent += out.compare(out.find("]: ", at) + 3, 9, "not sent:") == 0 ? 1 : 0;
    EXPECT_EQ(notSent, 4u) << out;
}

TEST_F(PlayerApi, AStartSendsTheChosenPlanAndTheMachinesDataCentre) {
    const struct {
        std::string chosenPlan, machinePlan, chosenDatacenter, machineDatacenter;
        std::string plan, datacenter;
    } cases[] = {
        {"High", "Low", "", "eu", "High", "eu"},
        {"", "Low", "us", "", "Low", "us"},
        {"High", "", "us", "eu", "High", "eu"},
        {"Low", "Low", "us", "", "Low", "us"},
    };
    for (const auto& c : cases) {
        ::PlayerApi api(fastTimings());
        prepare(api);
        DesktopInfo machine;
        machine.name = "Desktop 2";
        machine.state = "Empty";
        machine.os = "Linux";
        machine.plan = c.machinePlan;
        machine.datacenter = c.machineDatacenter;
        api.clientState.setDesktops({machine});
        api.clientState.setSelectedDesktop("Desktop 2");
        api.clientState.setSelectedPlan(c.chosenPlan);
        api.clientState.setSelectedDatacenter(c.chosenDatacenter);
        api.createAndStartVm(nullptr);
        drain(api);
        const auto log = stub->log();
        ASSERT_EQ(log.size(), 1u);
        EXPECT_NE(log[0].query.find("&vm_name=Desktop%202&vm_os=Linux&plan=" + c.plan + "&datacenter=" + c.datacenter),
                  std::string::npos)
            << log[0].query;
        EXPECT_EQ(api.clientState.getVmOperationState(), kVmCreating) << "an empty slot is being created";
        stub->reset();
    }
}

TEST_F(PlayerApi, PollsStartAndStop) {
    ::PlayerApi api(fastTimings());
    prepare(api);
    const auto since = Clock::now();

    // Messages: one request at once, then one per period.
    api.getMessages(true, 200);
    ASSERT_TRUE(waitUntil([&] { return countPath(stub->log(), "/client/get_messages.json") >= 3; }));
    EXPECT_EQ(api.clientState.messageCount(), 2u);
    EXPECT_NE(stub->log()[0].query.find("&active=true"), std::string::npos) << "input just now: active";
    api.getMessages(false, 200);
    drain(api);
    const std::size_t messagePolls = countPath(stub->log(), "/client/get_messages.json");

    // Machines: the first request only after a whole period.
    api.monitorAllVmStatus(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(countPath(stub->log(), "/client/get_desktop.json"), 0u);
    ASSERT_TRUE(waitUntil([&] { return countPath(stub->log(), "/client/get_desktop.json") >= 2; }));
    api.monitorAllVmStatus(false);
    drain(api);
    const std::size_t machinePolls = countPath(stub->log(), "/client/get_desktop.json");

    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    EXPECT_EQ(countPath(stub->log(), "/client/get_messages.json"), messagePolls) << "stopped";
    EXPECT_EQ(countPath(stub->log(), "/client/get_desktop.json"), machinePolls) << "stopped";
    EXPECT_GE(Clock::now() - since, std::chrono::milliseconds(300));
}

TEST_F(PlayerApi, DismissingAMessage) {
    ::PlayerApi api(fastTimings());
    prepare(api);
    api.getMessages(true, 60000);
    drain(api);
    api.getMessages(false, 0);
    ASSERT_EQ(api.clientState.messageCount(), 2u);
    std::vector<MessageInfo> local(1);
    local[0].id = MessageInfo::kFirstLocalId + 1;
    api.clientState.addMessages(local);
    ASSERT_EQ(api.clientState.messageCount(), 3u);
    stub->control("clear_log");

    // The client's own message goes without a request; the service's with one.
    api.post(api.makeDismissMessageTask(MessageInfo::kFirstLocalId + 1));
    drain(api);
    EXPECT_EQ(api.clientState.messageCount(), 2u);
    EXPECT_TRUE(stub->log().empty());
    api.post(api.makeDismissMessageTask(1));
    drain(api);
    EXPECT_EQ(api.clientState.messageCount(), 1u);
    const auto log = stub->log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].path, "/client/dismiss_message.json");
    EXPECT_NE(log[0].query.find("&id=1"), std::string::npos);

    api.setTimeout(900);
    drain(api);
    EXPECT_NE(stub->log().back().query.find("&timeout=900"), std::string::npos);
}

TEST_F(PlayerApi, TheAccountPageOpensWithTheEscapedAccessToken) {
    testsupport::RecordingUrlOpener opener;
    ::PlayerApi api(fastTimings());
    UserInfo user;
    user.accessToken = "a b&c";
    api.clientState.setUser(user);
    api.openAccountPage();
    EXPECT_EQ(opener.waitForUrl(), stub->baseUrl() + "/clients/new?authentication_token=a%20b%26c");
}

TEST_F(PlayerApi, ShutdownDoesNotWaitForAHangingRequest) {
    PlayerApiTimings slow = fastTimings();
    slow.requestTimeoutSeconds = 20;
    ::PlayerApi api(slow);
    prepare(api);
    ErrorEvents events(api);
    stub->delay("/client/get_client_info.json", 15.0);
    api.getClientInfo(nullptr);
    ASSERT_TRUE(waitUntil([&] { return countPath(stub->log(), "/client/get_client_info.json") == 1; }));
    const auto start = Clock::now();
    api.shutdown();
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5)) << "the request under way is aborted";
    EXPECT_EQ(countPath(stub->log(), "/client/get_client_info.json"), 1u) << "no further attempt";
    EXPECT_TRUE(events.texts().empty());
    api.post(api.makeGetTipTask());
    api.monitorAllVmStatus(true);
    EXPECT_TRUE(api.isShutDown());
}

}  // namespace fixtures
