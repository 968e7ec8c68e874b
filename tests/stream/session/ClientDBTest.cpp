// The shared-variables store: cookies, owners, pending requests and their answers.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core/Random.h"
#include "stream/session/ClientDB.h"

using InputClient::VariableEvent;

namespace {

class RecordingRemote : public IRemoteDB {
public:
    bool send(const VariableEvent& e) override {
        sent.push_back(e);
        return true;
    }
    void attach(ClientDB*) override {}
    void detach(ClientDB*) override {}
    std::vector<VariableEvent> sent;
};

class RecordingUser : public IVariableUser {
public:
    void onVariableChanged(const std::string& value, bool confirmed) override {
        calls.emplace_back(value, confirmed);
    }
    std::vector<std::pair<std::string, bool>> calls;
};

VariableEvent event(InputClient::VariableUpdateEventType type, const std::string& name, const std::string& value,
                    int newCookie, int oldCookie, int owner = 0) {
    VariableEvent e;
    e.set_event(type);
    e.mutable_name()->set_stringname(name);
    e.set_value(value);
    e.set_newcookie(newCookie);
    e.set_oldcookie(oldCookie);
    e.set_owner(owner);
    return e;
}

// A store whose first cookie is 500 and whose id is 5; the streamer's id is 7 and it has
// defined "Video.Bitrate" with value "V0" and cookie 100.
class ClientDBTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Draws: cookie = 20 * 25 + 0 = 500; the id is the first draw after re-seeding.
        auto draws = std::make_shared<std::vector<int>>(std::vector<int>{20, 25, 0, 5});
        auto next = std::make_shared<std::size_t>(0);
        setRandomSource([draws, next] { return (*draws)[(*next)++ % draws->size()]; });
        db = std::make_unique<ClientDB>(&remote);
        setRandomSource(nullptr);
        db->addListener("Video.Bitrate", &user);
        ASSERT_EQ(db->onServerEvent(event(InputClient::VARIABLE, "Video.Bitrate", "V0", 100, 0, 7)), 0);
        user.calls.clear();
    }
    RecordingRemote remote;
    RecordingUser user;
    std::unique_ptr<ClientDB> db;
};

struct Sent {
    int type;
    std::string value;
    int newCookie, oldCookie;
};

void expectSent(const std::vector<VariableEvent>& sent, const std::vector<Sent>& expected) {
    ASSERT_EQ(sent.size(), expected.size());
    for (std::size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(sent[i].event(), expected[i].type) << i;
        EXPECT_EQ(sent[i].value(), expected[i].value) << i;
        EXPECT_EQ(sent[i].newcookie(), expected[i].newCookie) << i;
        EXPECT_EQ(sent[i].oldcookie(), expected[i].oldCookie) << i;
    }
}

}  // namespace

TEST_F(ClientDBTest, RequestsAnsweredInOrderAreConfirmedOneByOne) {
    EXPECT_EQ(db->clientId(), 5);
    EXPECT_EQ(db->setValueClient("Video.Bitrate", "V1"), 0);
    EXPECT_EQ(db->setValueClient("Video.Bitrate", "V2"), 0);
    expectSent(remote.sent, {{InputClient::UPDATE_REQUEST, "V1", 500, 100}, {InputClient::UPDATE_REQUEST, "V2", 501, 500}});
    EXPECT_TRUE(user.calls.empty());  // own changes are heard of only when answered

    EXPECT_EQ(db->onServerEvent(event(InputClient::UPDATE_ACCEPTED, "Video.Bitrate", "V1", 500, 100)), 0);
    std::string value;
    db->getValue("Video.Bitrate", value);
    EXPECT_EQ(value, "V2");  // the second request is still outstanding
    EXPECT_EQ(db->onServerEvent(event(InputClient::UPDATE_ACCEPTED, "Video.Bitrate", "V2", 501, 500)), 0);
    EXPECT_EQ(user.calls, (std::vector<std::pair<std::string, bool>>{{"V1", false}, {"V2", true}}));
    EXPECT_EQ(db->pendingCount(), 0u);
}

TEST_F(ClientDBTest, OutOfOrderAnswerDropsTheChainAndTakesTheOwnersValue) {
    db->setValueClient("Video.Bitrate", "V1");
    db->setValueClient("Video.Bitrate", "V2");
    EXPECT_EQ(db->onServerEvent(event(InputClient::UPDATE_ACCEPTED, "Video.Bitrate", "V2", 501, 500)), 2);
    VariableRecord r;
    ASSERT_TRUE(db->record("Video.Bitrate", r));
    EXPECT_EQ(r.value, "V2");
    EXPECT_EQ(r.confirmedValue, "V2");
    EXPECT_TRUE(r.pendingUpdates.empty());
    EXPECT_EQ(db->pendingCount(), 0u);
    EXPECT_EQ(user.calls, (std::vector<std::pair<std::string, bool>>{{"V2", true}}));
    // The late answer to the first request now refers to nothing of ours.
    EXPECT_EQ(db->onServerEvent(event(InputClient::UPDATE_ACCEPTED, "Video.Bitrate", "V1", 500, 100)), 1);
}

TEST_F(ClientDBTest, DroppingOneChainKeepsAnotherVariablesPendingRequest) {
    // Fresh streamer-owned records have cookie 0, so first requests of two variables share
    // the pending key 0; the later one (B) holds the key.
    db->onServerEvent(event(InputClient::VARIABLE, "B", "b0", 0, 0, 7));
    db->onServerEvent(event(InputClient::VARIABLE, "C", "c0", 0, 0, 7));
    db->setValueClient("C", "c1");  // old 0, new 500
    db->setValueClient("C", "c2");  // old 500, new 501
    db->setValueClient("B", "b1");  // old 0, new 502: takes key 0
    // An out-of-order answer drops C's chain, but the entry under key 0 is B's and stays.
    EXPECT_EQ(db->onServerEvent(event(InputClient::UPDATE_ACCEPTED, "C", "c2", 501, 500)), 2);
    EXPECT_EQ(db->onServerEvent(event(InputClient::UPDATE_ACCEPTED, "B", "b1", 502, 0)), 0);
    VariableRecord b;
    db->record("B", b);
    EXPECT_TRUE(b.pendingUpdates.empty());
    EXPECT_EQ(b.confirmedValue, "b1");
    EXPECT_EQ(db->pendingCount(), 0u);
}

TEST_F(ClientDBTest, ServerEventsTable) {
    db->defineVariable("Mine", "m0", 5, db->clientId(), false, false, false);
    db->defineVariable("Local", "l0", 0, db->clientId(), true, false, false);
    remote.sent.clear();
    struct Case {
        VariableEvent e;
        int result;
        std::size_t sent;
    } cases[] = {
        {event(InputClient::UPDATE_REQUEST, "Mine", "x", 6, 4), -101, 1},       // stale: rejected
        {event(InputClient::UPDATE_REQUEST, "Video.Bitrate", "x", 6, 100), -100, 0},  // not ours
        {event(InputClient::UPDATE_REQUEST_FORCE, "Mine", "x", 6, 5), -103, 0},
        {event(InputClient::UNKNOWN_EVENT, "Mine", "x", 6, 5), -103, 0},
        {event(InputClient::UPDATE_ACCEPTED, "Local", "x", 6, 0), -105, 0},
        {event(InputClient::VARIABLE, "Mine", "hijack", 9, 0, 5), 0, 0},       // own id: ignored
        {event(InputClient::UPDATE_REQUEST, "Mine", "m1", 77, 5), 0, 1},       // accepted as owner
    };
    for (const auto& c : cases) {
        remote.sent.clear();
        EXPECT_EQ(db->onServerEvent(c.e), c.result) << c.e.ShortDebugString();
        EXPECT_EQ(remote.sent.size(), c.sent) << c.e.ShortDebugString();
    }
    expectSent(remote.sent, {{InputClient::UPDATE_ACCEPTED, "m1", 77, 5}});
    std::string value;
    db->getValue("Mine", value);
    EXPECT_EQ(value, "m1");
}

TEST_F(ClientDBTest, RejectTakesTheOwnersValue) {
    db->setValueClient("Video.Bitrate", "V1");
    EXPECT_EQ(db->onServerEvent(event(InputClient::UPDATE_REJECT, "Video.Bitrate", "V9", 300, 100)), 0);
    VariableRecord r;
    db->record("Video.Bitrate", r);
    EXPECT_EQ(r.value, "V9");
    EXPECT_EQ(r.confirmedValue, "V9");
    EXPECT_EQ(r.cookie, 300);
    EXPECT_EQ(db->pendingCount(), 0u);
    EXPECT_EQ(user.calls, (std::vector<std::pair<std::string, bool>>{{"V9", true}}));
}

TEST_F(ClientDBTest, ClientSideChangesTable) {
    db->defineVariable("Mine", "m0", 5, db->clientId(), false, false, false);
    db->defineVariable("Local", "l0", 0, db->clientId(), true, false, false);
    db->addListener("Subscribed", &user);  // creates an empty record owned by nobody
    VariableEvent ignore = event(InputClient::VARIABLE, "Loose", "z", 0, 0, 7);
    ignore.set_ignorecookies(true);
    db->onServerEvent(ignore);
    remote.sent.clear();

    struct Case {
        const char* name;
        const char* value;
        int result;
        std::vector<Sent> sent;
    } cases[] = {
        {"nope", "x", -104, {}},
        {"Video.Bitrate", "V0", 4, {}},  // unchanged
        {"Mine", "m1", 0, {{InputClient::UPDATE_ACCEPTED, "m1", 500, 5}}},  // owner: announced
        {"Local", "l1", 0, {}},                                            // never replicated (cookie 501)
        {"Subscribed", "", 4, {}},                                         // equals the empty value
        {"Subscribed", "s", 0, {{InputClient::UPDATE_REQUEST, "s", 502, 0}}},
        {"Loose", "z1", 0, {{InputClient::UPDATE_REQUEST, "z1", 0, 0}}},  // cookie 0, counter kept
    };
    for (const auto& c : cases) {
        remote.sent.clear();
        EXPECT_EQ(db->setValueClient(c.name, c.value), c.result) << c.name;
        expectSent(remote.sent, c.sent);
    }
    EXPECT_EQ(db->cookieCounter(), 503);
    std::string out = "untouched";
    EXPECT_EQ(db->getValue("nope", out), -104);
    EXPECT_EQ(out, "untouched");
}

TEST_F(ClientDBTest, CollectAllListsOwnReplicatedVariablesInNameOrder) {
    db->defineVariable("Zeta", "z", 3, db->clientId(), false, true, false);
    db->defineVariable("Alpha", "a", 2, db->clientId(), false, false, true);
    db->defineVariable("Local", "l", 1, db->clientId(), true, false, false);
    const auto events = db->collectAll();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events.front().name().stringname(), "Alpha");
    EXPECT_TRUE(events.front().ignorecookies());
    EXPECT_EQ(events.back().name().stringname(), "Zeta");
    EXPECT_TRUE(events.back().uselocalvalue());
    EXPECT_EQ(events.back().newcookie(), 3);
    EXPECT_EQ(events.back().owner(), 5);
    EXPECT_EQ(events.back().event(), InputClient::VARIABLE);
}
