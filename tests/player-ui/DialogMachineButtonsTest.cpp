// Dialog buttons that act on the selected machine, against the stand-in web service: the
// request each one makes, whether the dialog closes and what is posted, after a success and
// after a refusal.

#include "DialogWindowBench.h"
#include "StubService.h"

#include "FnTask.h"
#include "player-ui/PlayerCommandIds.h"
#include "webapi/ClientAPIJson.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>

using playeruitest::DialogBench;
using Ids = std::vector<int>;

namespace {

PlayerApiTimings fastTimings() {
    PlayerApiTimings t;
    t.requestTimeoutSeconds = 2;
    t.connectTimeoutMs = 1000;
    return t;
}

std::vector<std::string> paths(const std::vector<LoggedRequest>& log) {
    std::vector<std::string> out;
    for (const LoggedRequest& r : log) out.push_back(r.path);
    return out;
}

// Waits until the facade's worker has run everything posted to it so far.
void drain(PlayerApi& api) {
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> ran = done->get_future();
    api.post(std::make_shared<testsupport::FnTask>([done] {
        done->set_value();
        return true;
    }));
    ASSERT_EQ(ran.wait_for(std::chrono::seconds(30)), std::future_status::ready);
}

class DialogMachineButtons : public StubServiceTest {
protected:
    // The stand-in's user signed in, with "Desktop 1" selected in the given state.
    void prepare(DialogBench& bench, const std::string& state) {
        ClientAPIJson client;
        UserInfo user;
        ASSERT_TRUE(client.requestSignIn("user@example.com", "secret", user));
        std::vector<DesktopInfo> desktops;
        ASSERT_TRUE(client.requestGetDesktops(user.tarnholdUrl, user.tarnholdToken, desktops));
        for (DesktopInfo& d : desktops)
            if (d.name == "Desktop 1") d.state = state;
        ClientState& s = bench.window.api.clientState;
        s.setUser(user);
        s.setDesktops(desktops);
        s.setSelectedDesktop("Desktop 1");
        stub->control("clear_log");
    }
    void click(DialogBench& bench, std::size_t button) {
        bench.frame();
        bench.clickOn(*bench.form().buttonList.at(button));
    }
};

}  // namespace

TEST_F(DialogMachineButtons, RefreshOfDialog27StopsOnlyARunningMachine) {
    struct Case {
        const char* state;
        bool failing;
        Ids queue;
        std::vector<std::string> requests;
    };
    const Case cases[] = {
        {"Off", false, {}, {}},  // stopped: closes without a request
        {"On", false, {}, {"/client/stop_desktop.json"}},
        {"On", true, {27}, {"/client/stop_desktop.json"}},  // refused: the dialog stays
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.state) + (c.failing ? " refused" : ""));
        stub->reset();
        DialogBench bench(fastTimings());
        prepare(bench, c.state);
        if (c.failing) stub->replyWith("/client/stop_desktop.json", R"({"status":-2,"error":"no"})");
        bench.send(kCommandRefreshResetMachine);
        click(bench, 1);
        EXPECT_EQ(bench.manager().queuedDialogs(), c.queue);
        EXPECT_EQ(paths(stub->log()), c.requests);
    }
}

TEST_F(DialogMachineButtons, ResetOfDialog27ClosesOnlyAfterTheDelete) {
    for (bool failing : {false, true}) {
        SCOPED_TRACE(failing);
        stub->reset();
        DialogBench bench(fastTimings());
        prepare(bench, "Off");
        if (failing) stub->replyWith("/client/delete_desktop.json", R"({"status":-2,"error":"no"})");
        bench.send(kCommandRefreshResetMachine);
        click(bench, 0);
        EXPECT_EQ(paths(stub->log()), std::vector<std::string>{"/client/delete_desktop.json"});
        EXPECT_EQ(bench.manager().queuedDialogs(), failing ? Ids{27} : Ids{});
    }
}

TEST_F(DialogMachineButtons, EndSessionStopsOnTheWorkerThenPosts) {
    struct Case {
        int command;
        bool failing;
        Ids posted;
    };
    const Case cases[] = {
        {kCommandLogOut, false, {kCommandExit}},
        {kCommandCloseSession, false, {kCommandBack}},
        {kCommandCloseSession, true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.command) + (c.failing ? " refused" : ""));
        stub->reset();
        DialogBench bench(fastTimings());
        prepare(bench, "On");
        if (c.failing) stub->replyWith("/client/stop_desktop.json", R"({"status":-2,"error":"no"})");
        bench.send(c.command);
        // A slow service must not hold the click.
        stub->delay("/client/stop_desktop.json", 0.5);
        const auto before = std::chrono::steady_clock::now();
        click(bench, 0);
        EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(400))
            << "the request runs on the worker";
        drain(bench.window.api);
        EXPECT_EQ(paths(stub->log()), std::vector<std::string>{"/client/stop_desktop.json"});
        EXPECT_EQ(bench.window.takePosted(), c.posted);
        EXPECT_EQ(bench.manager().queuedDialogs(), Ids{c.command == kCommandLogOut ? 28 : 29})
            << "the posted command, not the button, closes the dialog";
    }
}

TEST_F(DialogMachineButtons, EndSessionOfAMachineFromTheCommandLineOnlyLeavesIt) {
    // No account stands behind a direct connection: its one machine is not the service's.
    for (const int command : {kCommandLogOut, kCommandCloseSession}) {
        SCOPED_TRACE(command);
        stub->reset();
        DialogBench bench(fastTimings());
        bench.window.direct = true;
        ClientState& s = bench.window.api.clientState;
        DesktopInfo machine;
        machine.name = "Ubuntu";
        machine.state = "On";
        machine.ip = "127.0.0.1";
        machine.port = 5555;
        machine.streamerKey = "key";
        s.setDesktops({machine});
        s.setSelectedDesktop("Ubuntu");
        bench.send(command);
        for (std::size_t button : {0u, 1u}) {  // "End session", "Keep running"
            click(bench, button);
            drain(bench.window.api);
            EXPECT_EQ(bench.window.takePosted(), Ids{command == kCommandLogOut ? kCommandExit : kCommandBack});
        }
        EXPECT_TRUE(stub->log().empty()) << "nothing is asked of the web service";
    }
}

TEST_F(DialogMachineButtons, StreamPlanAndRestartLeaveTheStreamBeforeTheirRequest) {
    struct Case {
        int command;
        std::size_t button;
        bool failing;
        std::string path;
        Ids posted;
    };
    const Case cases[] = {
        {kCommandStreamPlan, 0, false, "/client/stop_desktop.json", {kCommandBack, kCommandPlansAfterStop}},
        {kCommandStreamPlan, 0, true, "/client/stop_desktop.json", {kCommandBack}},
        {kCommandRestartMachine, 0, false, "/client/delete_desktop.json", {kCommandBack}},
        {kCommandRestartMachine, 1, false, "/client/stop_desktop.json", {kCommandBack}},
        {kCommandRestartMachine, 1, true, "/client/stop_desktop.json", {kCommandBack}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.command) + "/" + std::to_string(c.button) + (c.failing ? " refused" : ""));
        stub->reset();
        DialogBench bench(fastTimings());
        prepare(bench, "On");
        if (c.failing) stub->replyWith(c.path, R"({"status":-2,"error":"no"})");
        bench.send(c.command);
        click(bench, c.button);
        EXPECT_EQ(paths(stub->log()), std::vector<std::string>{c.path});
        EXPECT_EQ(bench.window.runPosted(), c.posted);
        EXPECT_TRUE(bench.manager().queuedDialogs().empty()) << "86 closed the dialog";
    }
}
