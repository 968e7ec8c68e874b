// The firewall exception through the stand-in list: checking, adding, its result codes and
// log lines, failing steps, and the apartment set-up.

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "UpdaterTestSupport.h"
#include "core/Folders.h"
#include "platform/Firewall.h"
#include "updater/WindowsFirewallManager.h"

using namespace platform;
using testsupport::readFile;
using testsupport::writeFile;

namespace {
struct FirewallHome {
    testsupport::TempDir home;
    testsupport::ScopedEnv data{"XDG_DATA_HOME", home.path().c_str()};
    std::string list = home.file("Nimbrosta/firewall_authorized_apps.txt");
    ~FirewallHome() { setFirewallFaultHook(nullptr); }
};

std::string entry(bool enabled, const std::string& path) {
    return std::string(enabled ? "1" : "0") + "\tNimbrosta Client\t" + path + "\n";
}
}  // namespace

TEST(WindowsFirewallManager, CheckAndAddThroughTheStandInList) {
    const std::string exe = getModuleFilePath();
    struct Case {
        const char* what;
        std::string before;  // list content; "" = no list
        bool enabledBefore;
        std::string log;
        std::string after;
    };
    const Case cases[] = {
        {"not listed", "", false, "Adding firewall exception", entry(true, exe)},
        {"listed and enabled", entry(true, exe), true, "Firewall rule exists", entry(true, exe)},
        // Listed but disabled: the question is asked and the entry added again, enabled.
        {"listed but disabled, other lines kept", "1\tOther\t/opt/x\nnot a line\n" + entry(false, exe), false,
         "Adding firewall exception", "1\tOther\t/opt/x\nnot a line\n" + entry(true, exe)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FirewallHome h;
        if (!c.before.empty()) {
            std::filesystem::create_directories(h.home.file("Nimbrosta"));
            writeFile(h.list, c.before);
        }
        bool enabled = !c.enabledBefore;
        EXPECT_EQ(CheckFirewall(enabled), S_OK);
        EXPECT_EQ(enabled, c.enabledBefore);
        HRESULT hr = E_FAIL;
        const std::string log = testsupport::captureStdout([&] { hr = OpenFirewall(); });
        EXPECT_EQ(hr, S_OK);
        EXPECT_NE(log.find("WindowsFirewallManager::addApp"), std::string::npos) << log;
        EXPECT_NE(log.find("]: " + c.log + "\n"), std::string::npos) << log;
        EXPECT_EQ(readFile(h.list), c.after);
        EXPECT_EQ(CheckFirewall(enabled), S_OK);
        EXPECT_TRUE(enabled);
    }
}

TEST(WindowsFirewallManager, FailingStepsReturnTheirResultAndLogIt) {
    struct Case {
        const char* step;
        bool check;  // CheckFirewall, else OpenFirewall
        HRESULT result;
        std::vector<std::string> log;
    };
    const HRESULT denied = E_ACCESSDENIED;  // -2147024891
    const Case cases[] = {
        {"get_LocalPolicy", true, denied,
         {"WindowsFirewallManager::init", "get_LocalPolicy failed: -2147024891", "WindowsFirewallManager failed: -2147024891"}},
        {"get_AuthorizedApplications", true, denied,
         {"get_AuthorizedApplications failed: -2147024891", "isAppEnabled failed: -2147024891"}},
        // An entry that cannot be looked up is simply not listed.
        {"Item", true, S_OK, {}},
        {"put_Name", false, denied, {"put_Name failed: -2147024891", "WindowsFirewallAddApp failed: -2147024891"}},
        {"Add", false, denied, {"Add failed: -2147024891", "WindowsFirewallAddApp failed: -2147024891"}},
        {"SysAllocString", false, E_OUTOFMEMORY,
         {"SysAllocString failed: -2147024882", "WindowsFirewallAppIsEnabled failed: -2147024882"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.step);
        FirewallHome h;
        setFirewallFaultHook([&](const std::string& step) { return step == c.step ? denied : S_OK; });
        HRESULT hr = S_OK;
        bool enabled = true;
        const std::string log = testsupport::captureStdout([&] { hr = c.check ? CheckFirewall(enabled) : OpenFirewall(); });
        EXPECT_EQ(hr, c.result);
        EXPECT_FALSE(std::filesystem::exists(h.list));
        if (c.check) {
            EXPECT_FALSE(enabled);
        }
        for (const std::string& line : c.log) EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
        if (c.log.empty()) {
            EXPECT_EQ(log, "");
        }
    }

    // A list that cannot be written: the add fails with access denied.
    FirewallHome h;
    std::filesystem::create_directories(h.list);
    EXPECT_EQ(addFirewallApplication({true, "Nimbrosta Client", "/opt/nimbrosta/NimbrostaClient"}), E_ACCESSDENIED);
    EXPECT_EQ(addFirewallApplication({true, "Nimbrosta Client", "/opt/with\nbreak"}), E_INVALIDARG);
}

TEST(COMInitializer, ApartmentPerThreadAndChangedMode) {
    std::thread([] {
        {
            COMInitializer first;
            EXPECT_EQ(first.init(), S_OK);
            COMInitializer second;
            EXPECT_EQ(second.init(), S_FALSE);
        }
        // Both ended: a multithreaded set-up is possible again; while it lasts an apartment
        // one is refused silently, and nothing is ended for it.
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        HRESULT hr = S_OK;
        const std::string log = testsupport::captureStdout([&] {
            COMInitializer com;
            hr = com.init();
        });
        EXPECT_EQ(hr, RPC_E_CHANGED_MODE);
        EXPECT_EQ(log, "");
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE) << "still initialised";
        CoUninitialize();
        CoUninitialize();
    }).join();
}

TEST(FirewallList, AProcessStartedThroughPkexecKeepsTheListOfTheUserWhoAsked) {
    testsupport::ScopedEnv data("XDG_DATA_HOME", "/tmp/not-used");
    testsupport::ScopedEnv uid("PKEXEC_UID", "0");
    if (geteuid() == 0) {
        EXPECT_EQ(firewallListPath(), "/root/.local/share/Nimbrosta/firewall_authorized_apps.txt");
    }
    testsupport::ScopedEnv bad("PKEXEC_UID", "x1");
    EXPECT_EQ(firewallListPath(), "/tmp/not-used/Nimbrosta/firewall_authorized_apps.txt");
}
