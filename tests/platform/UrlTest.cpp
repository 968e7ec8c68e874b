#include "platform/Url.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <future>
#include <thread>

#include "RecordingUrlOpener.h"
#include "TestSupport.h"

using testsupport::ScopedEnv;

TEST(Url, OpenerProgramAndOverride) {
    {
        ScopedEnv env("NIMBROSTA_URL_OPENER", nullptr);
        EXPECT_EQ(platform::urlOpenerProgram(), "xdg-open");
    }
    {
        ScopedEnv env("NIMBROSTA_URL_OPENER", "");
        EXPECT_EQ(platform::urlOpenerProgram(), "xdg-open");
    }
    ScopedEnv env("NIMBROSTA_URL_OPENER", "/opt/opener");
    EXPECT_EQ(platform::urlOpenerProgram(), "/opt/opener");
}

TEST(Url, OpenUrlHandsTheUrlToTheOpener) {
    testsupport::RecordingUrlOpener opener;
    const std::string url = "https://example.test/clients/new?authentication_token=a b&x=\"1\"";
    ASSERT_EQ(platform::openUrl(url), 0);
    EXPECT_EQ(opener.waitForUrl(), url);

    EXPECT_EQ(platform::openUrl("--help"), EINVAL);
    EXPECT_EQ(platform::openUrl(""), EINVAL);
    ScopedEnv missing("NIMBROSTA_URL_OPENER", "/nonexistent/opener");
    EXPECT_EQ(platform::openUrl("https://example.test/"), ENOENT);
}

TEST(Url, TheOpenersEndIsReportedWithItsStatus) {
    testsupport::TempDir dir;
    for (const int status : {0, 3}) {
        SCOPED_TRACE(status);
        const std::string script = dir.file("opener-" + std::to_string(status));
        testsupport::writeFile(script, "#!/bin/sh\nexit " + std::to_string(status) + "\n");
        std::filesystem::permissions(script, std::filesystem::perms::owner_all);
        ScopedEnv opener("NIMBROSTA_URL_OPENER", script.c_str());
        std::promise<int> ended;
        ASSERT_EQ(platform::openUrl("https://example.test/", [&](int exitStatus) { ended.set_value(exitStatus); }), 0);
        std::future<int> reported = ended.get_future();
        ASSERT_EQ(reported.wait_for(std::chrono::seconds(10)), std::future_status::ready);
        EXPECT_EQ(reported.get(), status);
    }
    // An opener that could not be started reports only through the result.
    ScopedEnv missing("NIMBROSTA_URL_OPENER", "/nonexistent/opener");
    bool called = false;
    EXPECT_EQ(platform::openUrl("https://example.test/", [&](int) { called = true; }), ENOENT);
    EXPECT_FALSE(called);
}
