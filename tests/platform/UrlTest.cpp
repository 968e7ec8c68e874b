#include "platform/Url.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <thread>

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
    testsupport::TempDir dir;
    const std::string script = dir.file("opener.sh");
    const std::string out = dir.file("opened");
    testsupport::writeFile(script, "#!/bin/sh\nprintf '%s' \"$1\" > \"" + out + ".part\" && mv \"" + out + ".part\" \"" +
                                       out + "\"\n");
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    ScopedEnv env("NIMBROSTA_URL_OPENER", script.c_str());

    const std::string url = "https://example.test/clients/new?authentication_token=a b&x=\"1\"";
    ASSERT_EQ(platform::openUrl(url), 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!std::filesystem::exists(out) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(testsupport::readFile(out), url);

    EXPECT_EQ(platform::openUrl("--help"), EINVAL);
    EXPECT_EQ(platform::openUrl(""), EINVAL);
    ScopedEnv missing("NIMBROSTA_URL_OPENER", "/nonexistent/opener");
    EXPECT_EQ(platform::openUrl("https://example.test/"), ENOENT);
}
