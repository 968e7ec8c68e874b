// The file-backed registry: key paths, values with awkward characters, and the export.

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "platform/Registry.h"

using platform::RegistryRoot;

TEST(Registry, KeyPathsStayUnderTheRoot) {
    testsupport::TempDir root;
    testsupport::ScopedEnv where("NIMBROSTA_REGISTRY_ROOT", root.path().c_str());
    EXPECT_EQ(platform::registryRoot(), root.path());
    const struct {
        const char* subkey;
        std::string folder;  // empty: refused
    } cases[] = {
        {"Software\\Nimbrosta", root.path() + "/HKEY_CURRENT_USER/Software/Nimbrosta"},
        {"Software", root.path() + "/HKEY_CURRENT_USER/Software"},
        {"", ""},
        {"Software\\", ""},
        {"\\Software", ""},
        {"Software\\..\\..", ""},
        {"Software\\.", ""},
        {"a/b", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::registryKeyFolder(RegistryRoot::CurrentUser, c.subkey), c.folder) << c.subkey;
    EXPECT_EQ(platform::registryKeyFolder(RegistryRoot::LocalMachine, "A"), root.path() + "/HKEY_LOCAL_MACHINE/A");
}

TEST(Registry, ValuesRoundTripAndExport) {
    testsupport::TempDir root;
    testsupport::ScopedEnv where("NIMBROSTA_REGISTRY_ROOT", root.path().c_str());
    EXPECT_FALSE(platform::registryKeyExists(RegistryRoot::CurrentUser, "Software\\Nimbrosta"));
    const std::string awkward = "a \"quoted\" \\ value\nwith a line break and = sign";
    ASSERT_TRUE(platform::registrySetString(RegistryRoot::CurrentUser, "Software\\Nimbrosta", "Name=\"x\"", awkward));
    ASSERT_TRUE(platform::registrySetString(RegistryRoot::CurrentUser, "Software\\Nimbrosta", "Lang", "en"));
    ASSERT_TRUE(platform::registrySetString(RegistryRoot::CurrentUser, "Software\\Nimbrosta", "Lang", "de"));
    ASSERT_TRUE(platform::registrySetString(RegistryRoot::CurrentUser, "Software\\Nimbrosta\\B", "", "default"));
    ASSERT_TRUE(platform::registrySetString(RegistryRoot::CurrentUser, "Software\\Nimbrosta\\A", "k", "v"));
    EXPECT_FALSE(platform::registrySetString(RegistryRoot::CurrentUser, "Software\\..", "k", "v"));
    EXPECT_TRUE(platform::registryKeyExists(RegistryRoot::CurrentUser, "Software\\Nimbrosta"));
    EXPECT_FALSE(platform::registryKeyExists(RegistryRoot::LocalMachine, "Software\\Nimbrosta"));

    std::string value;
    EXPECT_TRUE(platform::registryGetString(RegistryRoot::CurrentUser, "Software\\Nimbrosta", "Name=\"x\"", value));
    EXPECT_EQ(value, awkward);
    EXPECT_TRUE(platform::registryGetString(RegistryRoot::CurrentUser, "Software\\Nimbrosta", "Lang", value));
    EXPECT_EQ(value, "de");
    EXPECT_FALSE(platform::registryGetString(RegistryRoot::CurrentUser, "Software\\Nimbrosta", "None", value));

    std::string text;
    ASSERT_TRUE(platform::exportRegistryKey(RegistryRoot::CurrentUser, "Software\\Nimbrosta", text));
    EXPECT_EQ(text,
              "[HKEY_CURRENT_USER\\Software\\Nimbrosta]\n"
              "\"Name=\\\"x\\\"\"=\"a \\\"quoted\\\" \\\\ value\\nwith a line break and = sign\"\n"
              "\"Lang\"=\"de\"\n\n"
              "[HKEY_CURRENT_USER\\Software\\Nimbrosta\\A]\n\"k\"=\"v\"\n\n"
              "[HKEY_CURRENT_USER\\Software\\Nimbrosta\\B]\n\"\"=\"default\"\n\n");
    EXPECT_FALSE(platform::exportRegistryKey(RegistryRoot::LocalMachine, "Software\\Nimbrosta", text));
}
