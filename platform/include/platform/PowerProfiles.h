#pragma once
// The system's power profile, as power-profiles-daemon names it: "power-saver", "balanced"
// or "performance" (a vendor may add others). Read and set through the daemon's command-line
// client, powerprofilesctl, when it is installed; without it nothing can be read or set.
//
// Each call runs the client once and waits for it, at most a time-out, so a daemon that does
// not answer cannot hang the caller.

#include <memory>
#include <string>
#include <vector>

namespace platform {

class PowerProfiles {
public:
    virtual ~PowerProfiles() = default;
    // The active profile's name; false when it cannot be read.
    virtual bool activeProfile(std::string& name) = 0;
    // Makes the named profile active; false when that fails.
    virtual bool setActiveProfile(const std::string& name) = 0;
    // The program and arguments that make the named profile active, for a caller that must
    // run them where nothing may be allocated (a process being ended by a signal); empty
    // when there is no such command.
    virtual std::vector<std::string> setCommand(const std::string&) const { return {}; }
};

// The system's back end: powerprofilesctl when it is on PATH, else one that reads and sets
// nothing.
std::shared_ptr<PowerProfiles> systemPowerProfiles();

// A back end over the given client program (a name is looked for on PATH); each run is
// ended after timeoutMs. Used by systemPowerProfiles and by tests with a stand-in client.
std::shared_ptr<PowerProfiles> makePowerProfilesCtl(const std::string& program, int timeoutMs = 3000);

}  // namespace platform
