// The power profile switch: when a switch is needed, which profile is put back and when
// (restore, destruction, process exit), over a back end that records what it is asked.

#include "player/PowerPlanSwitcher.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "platform/PowerProfiles.h"

namespace {

// A power-profile service in memory; "set" calls are recorded (and appended to a file when
// one is given, so that a child process can report them).
class FakeProfiles : public platform::PowerProfiles {
public:
    explicit FakeProfiles(std::string active, std::string logFile = "") : active(std::move(active)), logFile_(std::move(logFile)) {}
    bool activeProfile(std::string& name) override {
        if (!readable)
            return false;
        name = active;
        return true;
    }
    bool setActiveProfile(const std::string& name) override {
        sets.push_back(name);
        if (!logFile_.empty())
            std::ofstream(logFile_, std::ios::app) << name << "\n";
        if (!settable)
            return false;
        active = name;
        return true;
    }
    std::string active;
    bool readable = true;
    bool settable = true;
    std::vector<std::string> sets;

private:
    std::string logFile_;
};

using Strings = std::vector<std::string>;

}  // namespace

TEST(PowerPlanSwitcher, SwitchesOnlyFromThePowerSaverAndRestoresWhatWasThere) {
    struct Case {
        const char* what;
        Strings profiles;  // the active profile at each check, in turn ("?" unreadable)
        std::vector<bool> answers;
        bool restores;
        Strings sets;  // every profile set: the switches, then what restore set
    } cases[] = {
        {"power saver", {"power-saver"}, {true}, true, {"performance", "power-saver"}},
        {"checked again after the switch", {"power-saver", "performance"}, {true, false}, true,
         {"performance", "power-saver"}},
        {"balanced", {"balanced"}, {false}, true, {"balanced"}},
        {"performance", {"performance"}, {false}, true, {"performance"}},
        {"a vendor's own profile", {"vendor-quiet"}, {false}, false, {}},
        {"a vendor's profile after the saver", {"power-saver", "vendor-quiet"}, {true, true}, true,
         {"performance", "performance", "power-saver"}},
        {"no service", {"?", "?"}, {false, false}, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto profiles = std::make_shared<FakeProfiles>("");
        {
            PowerPlanSwitcher switcher(profiles);
            for (std::size_t i = 0; i < c.profiles.size(); ++i) {
                profiles->readable = c.profiles[i] != "?";
                profiles->active = c.profiles[i];
                const bool needed = switcher.needsSwitch();
                EXPECT_EQ(needed, c.answers[i]) << "check " << i;
                if (needed) {
                    EXPECT_TRUE(switcher.switchToHighPerformance());
                }
            }
            EXPECT_EQ(switcher.restore(), c.restores);
        }
        EXPECT_EQ(profiles->sets, c.sets) << "the destructor has nothing left to restore";
    }
}

TEST(PowerPlanSwitcher, FailedSwitchIsNotReportedAndLeavesNothingToRestore) {
    auto profiles = std::make_shared<FakeProfiles>("power-saver");
    profiles->settable = false;
    {
        PowerPlanSwitcher switcher(profiles);
        EXPECT_TRUE(switcher.needsSwitch());
        EXPECT_FALSE(switcher.switchToHighPerformance());
        EXPECT_EQ(switcher.savedScheme(), PowerPlanSwitcher::kPowerSaver);
    }
    EXPECT_EQ(profiles->sets, Strings{"performance"});
}

TEST(PowerPlanSwitcher, DestructionPutsTheProfileBack) {
    auto profiles = std::make_shared<FakeProfiles>("balanced");
    {
        PowerPlanSwitcher switcher(profiles);
        EXPECT_FALSE(switcher.needsSwitch());
        EXPECT_TRUE(switcher.switchToHighPerformance());  // asked directly
    }
    EXPECT_EQ(profiles->sets, (Strings{"performance", "balanced"}));
}

TEST(PowerPlanSwitcher, ProfileIsPutBackAtExitWhenTheOwnerLivesOn) {
    testsupport::TempDir dir;
    const std::string log = dir.file("sets");
    // The player's window owns the switcher and is never destroyed: the exit puts it back.
    EXPECT_EXIT(
        {
            auto profiles = std::make_shared<FakeProfiles>("power-saver", log);
            auto* switcher = new PowerPlanSwitcher(profiles);
            if (switcher->needsSwitch())
                switcher->switchToHighPerformance();
            std::exit(0);
        },
        testing::ExitedWithCode(0), "");
    EXPECT_EQ(testsupport::readFile(log), "performance\npower-saver\n");

    // Restored before the exit: nothing more at exit.
    testsupport::TempDir again;
    const std::string log2 = again.file("sets");
    EXPECT_EXIT(
        {
            auto profiles = std::make_shared<FakeProfiles>("power-saver", log2);
            auto* switcher = new PowerPlanSwitcher(profiles);
            switcher->needsSwitch();
            switcher->switchToHighPerformance();
            switcher->restore();
            std::exit(0);
        },
        testing::ExitedWithCode(0), "");
    EXPECT_EQ(testsupport::readFile(log2), "performance\npower-saver\n");
}
