// OpenURLTask in its three modes: the browser (the opener replaced by a script that
// records its argument), GET and POST against the stand-in service, and the three attempts
// when the host does not answer, after which it ends quietly.

#include "StubService.h"

#include "core/ThreadPool.h"
#include "webapi/OpenURLTask.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <sys/stat.h>
#include <thread>

#include "TestSupport.h"

#include "RecordingUrlOpener.h"

namespace {

std::size_t countLines(const std::string& text, const std::string& needle) {
    std::size_t n = 0;
    for (std::size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
    return n;
}

}  // namespace

TEST(OpenURLTask, EachModeOpensOrCallsTheUrl) {
    StubService stub(std::string(), 0.3);
    useStubService(stub);
    testsupport::RecordingUrlOpener opener;

    const std::string page = stub.baseUrl() + "/clients/new?authentication_token=a%20b";
    const std::string action = stub.baseUrl() + "/action/remind_later?id=2&x=y%20z";
    const struct {
        int mode;
        std::string url;
        const char* method;  // the request the service gets, or null for none
    } cases[] = {
        {OpenURLTask::Browser, page, nullptr},
        {OpenURLTask::Get, action, "GET"},
        {OpenURLTask::Post, action, "POST"},
        {7, action, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        stub.control("clear_log");
        opener.forget();
        EXPECT_TRUE(ThreadPool::execute(std::make_shared<OpenURLTask>(c.mode, c.url).get()));
        const auto log = stub.log();
        if (c.method) {
            ASSERT_EQ(log.size(), 1u);
            EXPECT_EQ(log[0].method, c.method);
            EXPECT_EQ(log[0].target, "/action/remind_later?id=2&x=y%20z");
        } else {
            EXPECT_TRUE(log.empty());
        }
        if (c.mode == OpenURLTask::Browser) {
            EXPECT_EQ(opener.waitForUrl(), page) << "the browser gets the URL exactly";
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            EXPECT_FALSE(opener.opened());
        }
    }

    // A service that fails answering gets exactly three attempts, then the task ends quietly.
    for (int mode : {OpenURLTask::Get, OpenURLTask::Post}) {
        stub.control("clear_log");
        stub.replyWith("/action/remind_later", "{}", 500, 5);
        EXPECT_TRUE(ThreadPool::execute(std::make_shared<OpenURLTask>(mode, action).get()));
        EXPECT_EQ(stub.log().size(), 3u);
        stub.control("clear_faults");
        stub.control("clear_log");
        stub.resetConnection("/action/remind_later", 5);
        EXPECT_TRUE(ThreadPool::execute(std::make_shared<OpenURLTask>(mode, action).get()));
        EXPECT_EQ(stub.log().size(), 3u);
        stub.control("clear_faults");
    }
}

TEST(OpenURLTask, TheBrowserGetsOnlyWebPages) {
    testsupport::RecordingUrlOpener opener;
    const struct {
        const char* url;
        bool opened;
    } cases[] = {
        {"https://example.com/clients/new", true},
        {"HTTP://example.com/", true},
        {"file:///etc/passwd", false},
        {"javascript:alert(1)", false},
        {"--help", false},
        {"steam://run/1", false},
        {"https:", false},
        {"https://", false},
        {"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        opener.forget();
        EXPECT_TRUE(ThreadPool::execute(std::make_shared<OpenURLTask>(OpenURLTask::Browser, c.url).get()));
        if (c.opened) {
            EXPECT_EQ(opener.waitForUrl(), c.url);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            EXPECT_FALSE(opener.opened());
        }
    }
}

TEST(OpenURLTask, APageThatDoesNotOpenIsLoggedWithTheReason) {
    testsupport::TempDir dir;
    const std::string noBrowser = dir.file("opener-without-browser");
    testsupport::writeFile(noBrowser, "#!/bin/sh\nexit 3\n");  // as xdg-open finding no browser
    chmod(noBrowser.c_str(), 0755);
    const struct {
        std::string opener;
        std::string reason;
    } cases[] = {
        {"/nonexistent/opener", "/nonexistent/opener could not be started: No such file or directory"},
        {noBrowser, noBrowser + " ended with status 3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.opener);
        testsupport::ScopedEnv opener("NIMBROSTA_URL_OPENER", c.opener.c_str());
        const std::string line = "]: the web page did not open: " + c.reason + "\n";
        const std::string out = captureStdout([&] {
            EXPECT_TRUE(ThreadPool::execute(
                std::make_shared<OpenURLTask>(OpenURLTask::Browser, "https://example.com/users/client").get()));
            // The opener's end is reported from a thread of its own.
            const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (std::chrono::steady_clock::now() < end) {
                std::fflush(stdout);
                if (testsupport::readFile("/proc/self/fd/1").find(line) != std::string::npos) break;
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });
        const std::size_t at = out.find(line);
        ASSERT_NE(at, std::string::npos) << out;
        EXPECT_EQ(out.rfind("[E][", at), out.rfind('\n', at) + 1) << "an error line: " << out;
    }
}

TEST(OpenURLTask, AnUnreachableHostGetsThreeAttemptsAndNothingElse) {
    // A port nobody listens on: every attempt fails at once.
    const std::string url = "https://127.0.0.1:9/action";
    for (int mode : {OpenURLTask::Get, OpenURLTask::Post}) {
        const std::string out = captureStdout(
            [&] { EXPECT_TRUE(ThreadPool::execute(std::make_shared<OpenURLTask>(mode, url).get())); });
        const std::string call = mode == OpenURLTask::Get ? "CURL Get https://127.0.0.1:9/action" :
                                                            "CURL Post https://127.0.0.1:9/action";
        EXPECT_EQ(countLines(out, " ms, " + call + "\n"), 3u) << out;
        EXPECT_EQ(out.find("[E]"), std::string::npos) << "it ends quietly: " << out;
    }
}
