#include "platform/Url.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
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
