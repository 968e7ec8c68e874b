#pragma once
// Moves the computer out of its power-saving profile while the player decodes a stream or
// measures decoders, and puts the previous profile back afterwards.
//
// The profiles come from the system's power-profile service (platform::PowerProfiles:
// power-profiles-daemon's "power-saver", "balanced" and "performance"); without it every
// operation does nothing and no switch is ever needed. A profile switched away from is put
// back by restore(), by the destructor, and at the latest when the process ends: normally
// (the window that owns the switcher is never destroyed), or by a signal or a crash through
// restoreAfterInterruption.
//
// Used on the render and main threads of the player, one call at a time.

#include <memory>
#include <string>

namespace platform {
class PowerProfiles;
}

class PowerPlanSwitcher {
public:
    // The classes of profile, in the order of the table of known profiles.
    enum Scheme : int { kPowerSaver = 0, kBalanced = 1, kHighPerformance = 2, kNotRecognised = 3 };

    // profiles: the back end (the system's by default).
    explicit PowerPlanSwitcher(std::shared_ptr<platform::PowerProfiles> profiles = nullptr);
    ~PowerPlanSwitcher();

    PowerPlanSwitcher(const PowerPlanSwitcher&) = delete;
    PowerPlanSwitcher& operator=(const PowerPlanSwitcher&) = delete;

    // Reads the active profile: true when it is the power saver. A profile that cannot be
    // read, or one of the system's own, changes nothing and answers as the last recognised.
    bool needsSwitch();
    // Makes the high-performance profile active; true on success.
    bool switchToHighPerformance();
    // Puts back the profile that was active before the first switch; without a switch, the
    // one found by the last recognising check. False when there is none or setting it failed.
    bool restore();

    // The class of the profile found by the last recognising check.
    int savedScheme() const { return savedScheme_; }
    // The service's name of a class ("power-saver", "balanced", "performance"), "" for none.
    static const char* profileName(int scheme);

    // For a process that a signal or a crash is ending: puts back the profile that a switch
    // of any switcher left behind, by running the back end's command prepared at the switch.
    // Allocates nothing and takes no lock (it runs in the crash reporter's hook); waits for
    // the command at most timeoutMs. True when the command ran and succeeded.
    static bool restoreAfterInterruption(int timeoutMs = 3000);

private:
    std::shared_ptr<platform::PowerProfiles> profiles_;
    int savedScheme_ = kNotRecognised;
    std::string lastActive_;    // the name read by the last successful check
    std::string switchedFrom_;  // the profile before the first switch not yet restored
};
