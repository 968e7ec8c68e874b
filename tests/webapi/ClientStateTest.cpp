// The account model: which operations raise which events, how a new machine list ends the
// machine operation in progress, the message hand-out rules and the activity clock.

#include "webapi/ClientState.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

namespace {

std::atomic<std::int64_t> gFakeNowNs{0};
ClientState::Clock::time_point fakeNow() {
    return ClientState::Clock::time_point(std::chrono::nanoseconds(gFakeNowNs.load()));
}

// Records the events it hears; a getter inside the listener shows that the model may be
// read back from its own notification (the data lock is recursive).
class Recorder : public IListenerBase<ClientStateEvents> {
public:
    explicit Recorder(ClientState& state) : state_(state) { state_.addListener(this); }
    ~Recorder() override { state_.removeListener(this); }
    void onEvent(ClientStateEvents event) override {
        events.push_back(event);
        desktopsSeen = state_.getClientInfo().desktops.size();
    }
    std::vector<ClientStateEvents> take() {
        std::vector<ClientStateEvents> out;
        out.swap(events);
        return out;
    }
    std::vector<ClientStateEvents> events;
    std::size_t desktopsSeen = 0;

private:
    ClientState& state_;
};

DesktopInfo machine(const std::string& name, const std::string& state, const std::string& datacenter = "eu") {
    DesktopInfo d;
    d.name = name;
    d.state = state;
    d.datacenter = datacenter;
    return d;
}

MessageInfo message(std::int32_t id) {
    MessageInfo m;
    m.id = id;
    m.title = "t" + std::to_string(id);
    return m;
}

using Events = std::vector<ClientStateEvents>;

}  // namespace

TEST(ClientState, ANewMachineListEndsTheOperationWhenTheSelectedMachineReachedItsGoal) {
    const std::vector<DesktopInfo> offA{machine("A", "Off")};
    const std::vector<DesktopInfo> onA{machine("A", "On")};
    const struct {
        const char* what;
        std::int32_t before;
        std::vector<DesktopInfo> stored;
        std::string selected;
        std::vector<DesktopInfo> next;
        std::int32_t after;
        Events events;
    } cases[] = {
        {"equal list ends a failure", kVmFailed, offA, "A", offA, kVmIdle, {}},
        {"equal list ends the account fetch", kVmFetchingAccount, offA, "A", offA, kVmIdle, {}},
        {"equal list keeps a start", kVmStarting, offA, "A", offA, kVmStarting, {}},
        {"two empty lists", kVmIdle, {}, "A", {}, kVmIdle, {}},
        {"started machine is on", kVmStarting, offA, "A", onA, kVmIdle, {kDesktopsChanged}},
        {"created machine is on", kVmCreating, {machine("A", "Empty")}, "A", onA, kVmIdle, {kDesktopsChanged}},
        {"one more entry: no selected index", kVmStarting, offA, "A", {machine("A", "On"), machine("B", "Empty")},
         kVmStarting, {kDesktopsChanged}},
        {"still creating", kVmCreating, {machine("A", "Empty")}, "A", {machine("A", "Creating")}, kVmCreating,
         {kDesktopsChanged}},
        {"deleted slot is empty", kVmDeleting, onA, "A", {machine("A", "Empty")}, kVmIdle, {kDesktopsChanged}},
        {"stopped without a data centre is not stopped", kVmStopping, {machine("A", "On", "")}, "A",
         {machine("A", "Off", "")}, kVmStopping, {kDesktopsChanged}},
        {"stopped", kVmStopping, onA, "A", offA, kVmIdle, {kDesktopsChanged}},
        {"the other stop", kVmStoppingOther, onA, "A", offA, kVmIdle, {kDesktopsChanged}},
        {"another machine changed", kVmStarting, {machine("A", "Off"), machine("B", "Off")}, "B",
         {machine("A", "On"), machine("B", "Off")}, kVmStarting, {kDesktopsChanged}},
        {"no machine selected", kVmStarting, offA, "X", onA, kVmStarting, {kDesktopsChanged}},
        {"the last entry of the name counts", kVmStarting, {machine("A", "Off"), machine("A", "Off")}, "A",
         {machine("A", "Off"), machine("A", "On")}, kVmIdle, {kDesktopsChanged}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ClientState state;
        state.setDesktops(c.stored);
        state.setSelectedDesktop(c.selected);
        state.setVmOperationState(c.before);
        Recorder recorder(state);
        state.setDesktops(c.next);
        EXPECT_EQ(state.getVmOperationState(), c.after);
        EXPECT_EQ(recorder.take(), c.events);
        EXPECT_EQ(state.getClientInfo().desktops, c.next);
        if (!c.events.empty()) {
            EXPECT_EQ(recorder.desktopsSeen, c.next.size()) << "listeners see the new list";
        }
    }
}

TEST(ClientState, EachSetterRaisesItsEvents) {
    ClientState state;
    Recorder recorder(state);
    AccountBalance balance;
    balance.accountBalance = 12.5;
    UserPlan plan;
    plan.userPlan = "Trial";
    plan.minTrialRemaining = 30;
    ClientInfo info;
    info.desktops = {machine("A", "Off")};
    info.userPlan = plan;
    UserPlan sameNameOtherMinutes = plan;
    sameNameOtherMinutes.minTrialRemaining = 5;

    const struct {
        const char* what;
        std::function<void()> change;
        Events events;
    } cases[] = {
        {"snapshot: machines, then account", [&] { state.setClientInfo(info); },
         {kDesktopsChanged, kClientInfoChanged}},
        {"snapshot again, unchanged", [&] { state.setClientInfo(info); }, {kDesktopsChanged, kClientInfoChanged}},
        {"another balance", [&] { state.setAccountBalance(balance); }, {kClientInfoChanged}},
        {"the same balance", [&] { state.setAccountBalance(balance); }, {}},
        {"the same plan name", [&] { state.setUserPlan(sameNameOtherMinutes); }, {}},
        {"another plan", [&] { UserPlan p; p.userPlan = "High"; state.setUserPlan(p); }, {kUserPlanChanged}},
        {"a tip", [&] { state.setTip("x"); }, {kTipChanged}},
        {"the same tip", [&] { state.setTip("x"); }, {kTipChanged}},
        {"an eta", [&] { state.setVmOperationEta(30); }, {kVmOperationEtaChanged}},
        {"user and choices", [&] {
             state.setUser(UserInfo());
             state.setSelectedDesktop("A");
             state.setSelectedPlan("Low");
             state.setSelectedDatacenter("eu");
             state.setVmOperationState(3);
             state.compareAndSetVmOperationState(4, 3);
         }, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.change();
        EXPECT_EQ(recorder.take(), c.events);
    }
    EXPECT_EQ(state.getClientInfo().userPlan.minTrialRemaining, 0) << "minutes alone are not stored";
    EXPECT_EQ(state.getClientInfo().balance, balance);
    EXPECT_EQ(state.getTip(), "x");
}

TEST(ClientState, OperationStartAndDefaults) {
    ClientState state;
    EXPECT_EQ(state.getSelectedPlan(), "High");
    EXPECT_EQ(state.getSelectedDatacenter(), "");
    EXPECT_EQ(state.getSelectedDesktop(), DesktopInfo());
    EXPECT_EQ(state.getDatacenterName("eu"), "none");
    EXPECT_EQ(state.getPlanName("High"), "");

    ClientInfo info;
    DatacenterInfo dc;
    dc.name = "eu";
    dc.localizedName = "Frankfurt";
    PlanInfo planInfo;
    planInfo.name = "High";
    planInfo.localizedName = "Performance";
    info.datacenters = {dc};
    info.plans = {planInfo};
    info.desktops = {machine("A", "Off")};
    state.setVmOperationState(kVmFetchingAccount);
    state.setClientInfo(info);
    EXPECT_EQ(state.getVmOperationState(), kVmIdle) << "the snapshot ends its own fetch";
    EXPECT_EQ(state.getDatacenterName("eu"), "Frankfurt");
    EXPECT_EQ(state.getPlanName("High"), "Performance");
    state.setSelectedDesktop("A");
    EXPECT_EQ(state.getSelectedDesktop().state, "Off");

    // An operation starts only from the expected state, and then with a fresh estimate.
    state.setVmOperationState(kVmStarting);
    state.setVmOperationEta(7);
    state.compareAndSetVmOperationState(kVmDeleting, kVmIdle);
    EXPECT_EQ(state.getVmOperationState(), kVmStarting);
    EXPECT_EQ(state.getVmOperationEta(), 7);
    state.setVmOperationState(kVmIdle);
    state.compareAndSetVmOperationState(kVmDeleting, kVmIdle);
    EXPECT_EQ(state.getVmOperationState(), kVmDeleting);
    EXPECT_EQ(state.getVmOperationEta(), ClientState::kStartEta);

    EXPECT_EQ(state.takeLocalMessageId(), 10000000);
    EXPECT_EQ(state.takeLocalMessageId(), 10000001);
}

TEST(ClientState, AMessageHandedOutIsNotAddedAgainUntilItIsRemoved) {
    ClientState state;
    Recorder recorder(state);
    std::vector<MessageInfo> polled{message(7), message(8)};
    state.addMessages(polled);
    EXPECT_EQ(recorder.take(), Events{kMessagesChanged});
    EXPECT_EQ(state.messageCount(), 2u);

    MessageInfo first;
    ASSERT_TRUE(state.getFirstMessage(first));
    EXPECT_EQ(first.id, 7);
    EXPECT_EQ(state.messageCount(), 2u) << "handing out does not remove";

    // The service sends both again: 7 was handed out and is dropped from the caller's list,
    // 8 is stored already.
    std::vector<MessageInfo> again{message(7), message(8)};
    state.addMessages(again);
    EXPECT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0].id, 8);
    EXPECT_EQ(recorder.take(), Events{});
    EXPECT_EQ(state.messageCount(), 2u);

    EXPECT_TRUE(state.removeMessage(7));
    EXPECT_EQ(recorder.take(), Events{kMessagesChanged});
    EXPECT_FALSE(state.removeMessage(99));
    EXPECT_EQ(recorder.take(), Events{});

    std::vector<MessageInfo> later{message(7)};
    state.addMessages(later);
    EXPECT_EQ(recorder.take(), Events{kMessagesChanged}) << "removed, so it may come back";
    ASSERT_TRUE(state.getFirstMessage(first));
    EXPECT_EQ(first.id, 8);
    EXPECT_EQ(state.messageCount(), 2u);

    ClientState empty;
    EXPECT_FALSE(empty.getFirstMessage(first));
}

TEST(ClientState, TheUserIsActiveForLessThan120SecondsAfterTheLastInput) {
    gFakeNowNs = std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::hours(1)).count();
    ClientState state(&fakeNow);
    const std::int64_t start = gFakeNowNs;
    const struct {
        std::chrono::milliseconds since;
        bool active;
    } cases[] = {
        {std::chrono::milliseconds(0), true},
        {std::chrono::milliseconds(119000), true},
        {std::chrono::milliseconds(119999), true},
        {std::chrono::milliseconds(120000), false},
        {std::chrono::milliseconds(600000), false},
    };
    for (const auto& c : cases) {
        gFakeNowNs = start + std::chrono::duration_cast<std::chrono::nanoseconds>(c.since).count();
        EXPECT_EQ(state.isUserActive(), c.active) << c.since.count() << " ms after construction";
    }
    state.touch();
    EXPECT_TRUE(state.isUserActive()) << "input makes the user active again";
}
