// The power-profile back end over a stand-in powerprofilesctl: reading and setting the
// profile, and a client that is missing, fails, prints nothing or hangs.

#include "platform/PowerProfiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "TestSupport.h"

using testsupport::ScopedEnv;
using testsupport::TempDir;

namespace {

// A client that keeps the profile in a file beside it, as the daemon would.
std::string writeClient(const TempDir& dir, const std::string& body) {
    const std::string path = dir.file("powerprofilesctl");
    testsupport::writeFile(path, "#!/bin/sh\nhere=$(dirname \"$0\")\n" + body);
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    return path;
}

const char* const kWorkingClient =
    "case \"$1\" in\n"
    "  get) cat \"$here/state\" ;;\n"
    "  set) printf '%s\\n' \"$2\" > \"$here/state\"; printf 'set %s\\n' \"$2\" >> \"$here/log\" ;;\n"
    "  *) exit 2 ;;\n"
    "esac\n";

}  // namespace

TEST(PowerProfiles, ReadsAndSetsThroughTheClient) {
    TempDir dir;
    const std::string client = writeClient(dir, kWorkingClient);
    testsupport::writeFile(dir.file("state"), "balanced\n");
    auto profiles = platform::makePowerProfilesCtl(client);
    std::string active;
    ASSERT_TRUE(profiles->activeProfile(active));
    EXPECT_EQ(active, "balanced");
    EXPECT_TRUE(profiles->setActiveProfile("performance"));
    ASSERT_TRUE(profiles->activeProfile(active));
    EXPECT_EQ(active, "performance");
    EXPECT_EQ(testsupport::readFile(dir.file("log")), "set performance\n");

    // Found on PATH by its name, as the system's back end finds it.
    ScopedEnv path("PATH", (dir.path() + ":/usr/bin:/bin").c_str());
    auto system = platform::systemPowerProfiles();
    ASSERT_TRUE(system->activeProfile(active));
    EXPECT_EQ(active, "performance");
    // The command that sets a profile, with the client's full path, to be run later as it is.
    EXPECT_EQ(system->setCommand("balanced"), (std::vector<std::string>{client, "set", "balanced"}));
    EXPECT_TRUE(system->setCommand("").empty());
}

TEST(PowerProfiles, ClientThatCannotAnswerReadsAndSetsNothing) {
    struct Case {
        const char* what;
        const char* body;  // null: no client at all
    } cases[] = {
        {"missing", nullptr},
        {"fails", "echo 'no daemon' >&2\nexit 1\n"},
        {"prints nothing", "exit 0\n"},
        {"hangs", "exec sleep 30\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string client = c.body ? writeClient(dir, c.body) : dir.file("powerprofilesctl");
        auto profiles = platform::makePowerProfilesCtl(client, 300);
        const auto start = std::chrono::steady_clock::now();
        std::string active = "unchanged";
        EXPECT_FALSE(profiles->activeProfile(active));
        EXPECT_EQ(active, "unchanged");
        if (std::string(c.what) != "prints nothing") {
            EXPECT_FALSE(profiles->setActiveProfile("performance"));
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << "the time-out ends the client";
    }
    // No client on PATH: the system's back end does nothing.
    TempDir empty;
    ScopedEnv path("PATH", empty.path().c_str());
    std::string active;
    EXPECT_FALSE(platform::systemPowerProfiles()->activeProfile(active));
    EXPECT_FALSE(platform::systemPowerProfiles()->setActiveProfile("performance"));
    EXPECT_TRUE(platform::systemPowerProfiles()->setCommand("performance").empty());
}
