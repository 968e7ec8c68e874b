// The update faces against the stand-in service over HTTPS: the server list, the version
// check's query and file records, downloads and their size limit, the timing probe.

#include <gtest/gtest.h>

#include "UpdaterTestSupport.h"
#include "updater/UpdaterAPIJson.h"

using updatertest::stub;

TEST(UpdaterAPIJson, ServerList) {
    StubService& s = stub();
    struct Case {
        const char* what;
        std::string reply;  // "" = the stand-in's own list
        bool ok;
        std::vector<std::string> servers;
        int status;
    };
    const Case cases[] = {
        {"two servers in order", R"({"status":1,"response":{"servers":["https://b.example","https://a.example"]}})", true,
         {"https://b.example", "https://a.example"}, 1},
        {"entries that are no text are skipped", R"({"status":1,"response":{"servers":[1,"https://a.example",null]}})",
         true, {"https://a.example"}, 1},
        {"an empty list is a list", R"({"status":1,"response":{"servers":[]}})", true, {}, 1},
        {"servers not an array", R"({"status":1,"response":{"servers":"x"}})", false, {}, -65},
        {"no response", R"({"status":1})", false, {}, -65},
        {"status 0", R"({"status":0,"response":{"servers":[]}})", false, {}, 0},
        {"not JSON", "<html>", false, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        s.reset();
        s.replyWith("/api/v1/update_servers_list.json", c.reply);
        UpdaterAPIJson json;
        std::vector<std::string> servers;
        EXPECT_EQ(json.requestGetUpdateServersList(servers), c.ok);
        EXPECT_EQ(servers, c.servers);
        EXPECT_EQ(json.status, c.status);
        const std::vector<LoggedRequest> log = s.log();
        ASSERT_EQ(log.size(), 1u);
        EXPECT_EQ(log[0].target, "/api/v1/update_servers_list.json") << "no query, no version hash";
    }
}

TEST(UpdaterAPIJson, VersionCheckQueryAndFileRecords) {
    StubService& s = stub();
    s.reset();
    s.replyWith("/updater/check_update.json",
                R"({"status":1,"response":{"update_required":false,"files":[
                    {"url":"https://h/f","filename":"lib/a.so","md5":"0123456789abcdef0123456789abcdef",
                     "may_be_modified":false,"may_be_removed":false,"should_be_removed":true},
                    {"filename":"b"},
                    "not an object",
                    {"filename":"c","may_be_modified":"no","url":7}]}})");
    UpdaterAPIJson json;
    bool required = true;
    std::vector<UpdateFileInfo> files;
    ASSERT_TRUE(json.requestCheckVersionGetUpdateList(s.baseUrl(), "player-win", "0.0.33-2-gc4ebe4b", "release",
                                                      required, files));
    EXPECT_FALSE(required);
    EXPECT_EQ(s.log().at(0).target,
              "/updater/check_update.json?product=player-win&version=0.0.33-2-gc4ebe4b&branch=release");
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0].url, "https://h/f");
    EXPECT_EQ(files[0].filename, "lib/a.so");
    EXPECT_EQ(files[0].md5, "0123456789abcdef0123456789abcdef");
    EXPECT_FALSE(files[0].may_be_modified);
    EXPECT_FALSE(files[0].may_be_removed);
    EXPECT_TRUE(files[0].should_be_removed);
    // Booleans left out (or of another type) read as true; texts as empty.
    for (int i : {1, 2}) {
        EXPECT_TRUE(files[i].may_be_modified) << i;
        EXPECT_TRUE(files[i].may_be_removed) << i;
        EXPECT_EQ(files[i].url, "") << i;
        EXPECT_EQ(files[i].md5, "") << i;
        EXPECT_FALSE(files[i].done);
        EXPECT_TRUE(files[i].needed);
    }

    struct Case {
        const char* what;
        std::string server;
        std::string branch;
        std::string reply;
        bool ok;
        std::string target;
    };
    const Case cases[] = {
        {"a trailing slash is kept", s.baseUrl() + "/", "devel", R"({"status":1,"response":{"files":[]}})", true,
         "//updater/check_update.json?product=player-win&version=0.0.33-2-gc4ebe4b&branch=devel"},
        {"files not an array", s.baseUrl(), "release", R"({"status":1,"response":{"files":{}}})", false, ""},
        {"no status", s.baseUrl(), "release", R"({"response":{"files":[]}})", false, ""},
        {"HTTP 404", s.baseUrl(), "release", "", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        s.reset();
        if (c.reply.empty()) s.replyWith("/updater/check_update.json", "{}", 404);
        else s.replyWith("/updater/check_update.json", c.reply);
        UpdaterAPIJson check;
        std::vector<UpdateFileInfo> none;
        EXPECT_EQ(check.requestCheckVersionGetUpdateList(c.server, "player-win", "0.0.33-2-gc4ebe4b", c.branch, required,
                                                         none),
                  c.ok);
        if (!c.target.empty()) {
            EXPECT_EQ(s.log().at(0).target, c.target);
        }
    }
}

TEST(UpdaterAPIJson, DownloadsAndTheirLimit) {
    StubService& s = stub();
    s.reset();
    const std::string big(300000, 'x');
    updatertest::serveUpdates(s, {{"a", "hello"}, {"b", ""}, {"c", big}});
    struct Case {
        std::string path;
        std::size_t limit;
        bool ok;
        std::string body;
    };
    const Case cases[] = {
        {"/files/0", UpdaterAPIJson::kMaxDownloadBytes, true, "hello"},
        {"/files/1", UpdaterAPIJson::kMaxDownloadBytes, true, ""},
        {"/files/2", UpdaterAPIJson::kMaxDownloadBytes, true, big},
        {"/files/2", 299999, false, ""},  // refused while it arrives
        {"/files/9", UpdaterAPIJson::kMaxDownloadBytes, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        UpdaterAPIJson json;
        std::vector<char> bytes{'o', 'l', 'd'};
        EXPECT_EQ(json.requestDownloadFile(s.baseUrl() + c.path, bytes, 10, c.limit), c.ok);
        EXPECT_EQ(std::string(bytes.begin(), bytes.end()), c.body);
    }

    // A transfer under way stops once the cancel flag is set.
    s.delay("/files/0", 5.0);
    std::atomic<bool> cancel{false};
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        cancel = true;
    });
    UpdaterAPIJson json(&cancel);
    std::vector<char> bytes;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(json.requestDownloadFile(s.baseUrl() + "/files/0", bytes));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
    canceller.join();
}

TEST(UpdaterAPIJson, MeasureServerAndTheDefaultServer) {
    StubService& s = stub();
    s.reset();
    updatertest::serveUpdates(s, {}, {"/mirror-a"});
    s.delay("/mirror-a", 0.15);
    UpdaterAPIJson json;
    std::int64_t ms = -1;
    EXPECT_TRUE(json.measureServer(s.baseUrl() + "/mirror-a", ms));
    EXPECT_GE(ms, 150);
    EXPECT_FALSE(json.measureServer(s.baseUrl() + "/mirror-b", ms)) << "404 is a failed probe";
    EXPECT_GE(ms, 0);

    testsupport::ScopedEnv unset("NIMBROSTA_UPDATE_URL", nullptr);
    EXPECT_EQ(getDefaultUpdateServer().compare(0, 8, "https://"), 0);
    testsupport::ScopedEnv set("NIMBROSTA_UPDATE_URL", "https://127.0.0.1:9/updates//");
    EXPECT_EQ(getDefaultUpdateServer(), "https://127.0.0.1:9/updates");
}
