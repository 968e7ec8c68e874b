// Choosing the update server and asking it for the file list, against the stand-in: the
// fastest server wins, ties and failures fall to the byte-wise first URL, and a list that
// cannot be had (or is empty) goes on with the default server.

#include <gtest/gtest.h>

#include "UpdaterTestSupport.h"
#include "core/ThreadPool.h"
#include "updater/UpdaterApi.h"

using updater::UpdaterApi;
using updater::states::UpdateStateEvents;
using updatertest::EventLog;
using updatertest::stub;

namespace {
// A failure follow-up that only says it ran.
struct Flag : TaskBase {
    std::atomic<int> runs{0};
    Flag() : TaskBase(false) {}
    bool run() override {
        ++runs;
        return true;
    }
};
}  // namespace

TEST(SelectBestUpdateServer, SmallestTimeWinsTiesGoToTheFirstUrl) {
    struct Case {
        std::map<std::string, std::int64_t> times;
        std::string best;
    };
    const Case cases[] = {
        {{{"https://a", 120}, {"https://b", 80}}, "https://b"},
        {{{"https://b", 50}, {"https://a", 50}}, "https://a"},
        {{{"https://a", 9999}, {"https://b", 9998}}, "https://b"},
        {{{"https://b", 9999}, {"https://a", 9999}, {"https://c", 9999}}, "https://a"},
        {{{"https://z", 0}}, "https://z"},
    };
    for (const Case& c : cases) {
        UpdaterApi api(updatertest::fastTimings());
        for (const auto& t : c.times) api.updateState.setServerTime(t.first, t.second);
        EventLog<UpdateStateEvents> log;
        api.updateState.addListener(&log);
        EXPECT_TRUE(ThreadPool::execute(api.makeSelectBestUpdateServer().get()));
        EXPECT_EQ(api.updateState.getServer(), c.best);
        EXPECT_EQ(log.events(), std::vector<int>{updater::states::ServerSelected});
        api.updateState.removeListener(&log);
    }
}

TEST(UpdateServersTestTask, TimesEveryServerAndSelectsOnce) {
    StubService& s = stub();
    struct Case {
        const char* what;
        std::vector<std::string> servers;
        std::vector<std::pair<std::string, double>> delays;
        std::vector<std::string> failing;  // answer 404
        std::string selected;
    };
    const Case cases[] = {
        {"the faster of two", {"/mirror-a", "/mirror-b"}, {{"/mirror-a", 0.12}, {"/mirror-b", 0.0}}, {}, "/mirror-b"},
        {"a failing server keeps 9999 and loses", {"/mirror-a", "/mirror-b"}, {{"/mirror-b", 0.05}}, {"/mirror-a"},
         "/mirror-b"},
        {"all failing: the byte-wise first", {"/mirror-c", "/mirror-b"}, {}, {"/mirror-b", "/mirror-c"}, "/mirror-b"},
        {"eight servers on two workers: one selection",
         {"/m1", "/m2", "/m3", "/m4", "/m5", "/m6", "/m7", "/m8"}, {{"/m1", 0.1}}, {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        s.reset();
        updatertest::serveUpdates(s, {}, c.servers);
        for (const auto& d : c.delays) s.delay(d.first, d.second, -1);
        for (const std::string& f : c.failing) s.replyWith(f, "gone", 404, -1);
        UpdaterApi api(updatertest::fastTimings());
        EventLog<UpdateStateEvents> log;
        api.updateState.addListener(&log);
        auto fallback = std::make_shared<Flag>();
        std::shared_ptr<TaskBase> task = api.makeUpdateServersTestTask();
        task->addOnFailure(fallback);
        api.post(task);
        ASSERT_TRUE(log.waitFor(updater::states::ServerSelected));
        EXPECT_TRUE(api.shutdown(10000));
        EXPECT_EQ(log.count(updater::states::ServerSelected), 1);
        EXPECT_EQ(fallback->runs, 0);
        const auto times = api.updateState.getServerTimes();
        EXPECT_EQ(times.size(), c.servers.size());
        if (!c.selected.empty()) {
            EXPECT_EQ(api.updateState.getServer(), s.baseUrl() + c.selected);
        }
        for (const std::string& f : c.failing) {
            EXPECT_EQ(times.at(s.baseUrl() + f), 9999);
            EXPECT_EQ(updatertest::requestsTo(s, f), 3) << "three tries of " << f;
        }
        api.updateState.removeListener(&log);
    }
}

TEST(UpdateServersTestTask, NoUsableListGoesOnWithTheDefaultServer) {
    StubService& s = stub();
    struct Case {
        const char* what;
        std::string reply;
        int http;
        int requests;
    };
    const Case cases[] = {
        {"the list fails three times", "{}", 500, 3},
        // An empty list would leave nothing to start the version check.
        {"an empty list", R"({"status":1,"response":{"servers":[]}})", 200, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        s.reset();
        s.replyWith("/api/v1/update_servers_list.json", c.reply, c.http, -1);
        UpdaterApi api(updatertest::fastTimings());
        auto fallback = std::make_shared<Flag>();
        std::shared_ptr<TaskBase> task = api.makeUpdateServersTestTask();
        task->addOnFailure(fallback);
        EXPECT_FALSE(ThreadPool::execute(task.get()));
        EXPECT_EQ(fallback->runs, 1);
        EXPECT_EQ(api.updateState.getServer(), "");
        EXPECT_EQ(updatertest::requestsTo(s, "/api/v1/update_servers_list.json"), c.requests);
    }
}

TEST(CheckVersionGetUpdateListTask, AsksTheSelectedOrDefaultServerThreeTimes) {
    StubService& s = stub();
    s.reset();
    updatertest::serveUpdates(s, {{"a", "x"}}, {"/mirror-a"});
    {
        // No server selected: the default one (NIMBROSTA_UPDATE_URL, the stand-in's root).
        UpdaterApi api(updatertest::fastTimings());
        EventLog<UpdateStateEvents> log;
        api.updateState.addListener(&log);
        EXPECT_TRUE(ThreadPool::execute(api.makeCheckVersionGetUpdateListTask("player-win", "devel").get()));
        EXPECT_EQ(log.events(), (std::vector<int>{2, 1}));
        bool required = false;
        std::vector<UpdateFileInfo> files;
        api.updateState.getUpdateList(required, files);
        EXPECT_TRUE(required);
        ASSERT_EQ(files.size(), 1u);
        EXPECT_EQ(files[0].url, s.baseUrl() + "/files/0");
        EXPECT_EQ(s.log().at(0).target,
                  "/updater/check_update.json?product=player-win&version=0.0.33-2-gc4ebe4b&branch=devel");
        api.updateState.removeListener(&log);
    }
    s.reset();
    s.replyWith("/mirror-a/updater/check_update.json", R"({"status":0})", 200, -1);
    UpdaterApi api(updatertest::fastTimings());
    api.updateState.setServer(s.baseUrl() + "/mirror-a");
    EXPECT_FALSE(ThreadPool::execute(api.makeCheckVersionGetUpdateListTask("player-win", "release").get()));
    EXPECT_EQ(updatertest::requestsTo(s, "/mirror-a/updater/check_update.json"), 3);
}
