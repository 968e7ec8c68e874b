#include "core/Folders.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport.h"
#include "platform/DynamicLibrary.h"
#include "platform/Folders.h"

using testsupport::ScopedEnv;

TEST(Folders, RoamingAndLocalFoldersFollowXdgVariables) {
    struct Case {
        const char* dataHome;
        const char* stateHome;
        const char* home;
        std::string roaming;
        std::string local;
        std::string perUser;
    };
    const Case cases[] = {
        {"/tmp/x/", "/tmp/s//", "/home/u", "/tmp/x", "/tmp/s", "/tmp/x/Nimbrosta"},
        {nullptr, nullptr, "/home/u/", "/home/u/.local/share", "/home/u/.local/state", "/home/u/.local/share/Nimbrosta"},
        {"relative/path", nullptr, "/home/u", "/home/u/.local/share", "/home/u/.local/state",
         "/home/u/.local/share/Nimbrosta"},
        {"", "", "/root", "/root/.local/share", "/root/.local/state", "/root/.local/share/Nimbrosta"},
        {nullptr, nullptr, nullptr, "", "", "Nimbrosta"},
    };
    for (const auto& c : cases) {
        ScopedEnv data("XDG_DATA_HOME", c.dataHome);
        ScopedEnv state("XDG_STATE_HOME", c.stateHome);
        ScopedEnv home("HOME", c.home);
        EXPECT_EQ(getRoamingAppDataFolder(), c.roaming);
        EXPECT_EQ(getLocalAppDataFolder(), c.local);
        EXPECT_EQ(getPerUserFolder(), c.perUser);
    }
}

TEST(Folders, ExecutableFoldersAndLibFolder) {
    const std::string exe = getModuleFilePath();
    EXPECT_EQ(std::filesystem::path(exe).filename(), "core_tests");
    EXPECT_TRUE(std::filesystem::path(exe).is_absolute());
    EXPECT_EQ(getExeFolder(), std::filesystem::path(exe).parent_path().string());
    EXPECT_EQ(getLibFolder("/opt/n"), "/opt/n/lib");
    EXPECT_EQ(getLibFolder(), getExeFolder() + "/lib");
    // Set before main by the core library.
    EXPECT_EQ(platform::libraryFolder(), getLibFolder());
}

TEST(Folders, LongLinkTargetIsReadWhole) {
    testsupport::TempDir dir;
    const std::string target = "/" + std::string(300, 'a') + "/" + std::string(300, 'b') + "/exe";
    const std::string link = dir.file("link");
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    EXPECT_EQ(platform::readSymlink(link, 520), target);
    EXPECT_EQ(platform::readSymlink(link, 1), target);
    EXPECT_EQ(platform::readSymlink(dir.file("missing"), 520), "");
}

TEST(Folders, PathHelpers) {
    EXPECT_EQ(joinPath("", "config.ini"), "config.ini");
    EXPECT_EQ(joinPath("/a", "b"), "/a/b");
    EXPECT_EQ(joinPath("/a/", "b"), "/a/b");
    EXPECT_EQ(platform::parentFolder("/a/b/c"), "/a/b");
    EXPECT_EQ(platform::parentFolder("/c"), "/");
    EXPECT_EQ(platform::parentFolder("c"), "");
    EXPECT_EQ(platform::stripTrailingSeparators("/"), "/");
}
