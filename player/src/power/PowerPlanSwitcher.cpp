#include "player/PowerPlanSwitcher.h"

#include <mutex>

#include "core/LogLine.h"
#include "platform/PowerProfiles.h"

namespace {

const char* const kProfiles[] = {"power-saver", "balanced", "performance"};

// The profile to put back when the process exits: the one active before the first switch
// that has not been restored yet.
class ExitRestore {
public:
    ~ExitRestore() {
        std::lock_guard<std::mutex> guard(lock_);
        if (profiles_ && !profile_.empty()) {
            NIMBROSTA_LOG(0, "PowerPlanSwitcher") << "restoring the power profile " << profile_ << " at exit";
            profiles_->setActiveProfile(profile_);
        }
    }
    void remember(const std::shared_ptr<platform::PowerProfiles>& profiles, const std::string& profile) {
        std::lock_guard<std::mutex> guard(lock_);
        if (!profile_.empty())
            return;  // the first profile switched away from is the one to go back to
        profiles_ = profiles;
        profile_ = profile;
    }
    void forget(const platform::PowerProfiles* profiles) {
        std::lock_guard<std::mutex> guard(lock_);
        if (profiles_.get() != profiles)
            return;
        profiles_.reset();
        profile_.clear();
    }

private:
    std::mutex lock_;
    std::shared_ptr<platform::PowerProfiles> profiles_;
    std::string profile_;
};

ExitRestore& exitRestore() {
    static ExitRestore restore;
    return restore;
}

}  // namespace

const char* PowerPlanSwitcher::profileName(int scheme) {
    return scheme >= kPowerSaver && scheme <= kHighPerformance ? kProfiles[scheme] : "";
}

PowerPlanSwitcher::PowerPlanSwitcher(std::shared_ptr<platform::PowerProfiles> profiles)
    : profiles_(profiles ? std::move(profiles) : platform::systemPowerProfiles()) {
    exitRestore();  // made before this object, so it outlives any switcher made after it
}

PowerPlanSwitcher::~PowerPlanSwitcher() {
    if (!switchedFrom_.empty())
        restore();
}

bool PowerPlanSwitcher::needsSwitch() {
    std::string active;
    if (!profiles_->activeProfile(active))
        return savedScheme_ == kPowerSaver;
    lastActive_ = active;
    for (int scheme = kPowerSaver; scheme <= kHighPerformance; ++scheme) {
        if (active == kProfiles[scheme]) {
            savedScheme_ = scheme;
            return scheme == kPowerSaver;
        }
    }
    return savedScheme_ == kPowerSaver;
}

bool PowerPlanSwitcher::switchToHighPerformance() {
    if (!profiles_->setActiveProfile(kProfiles[kHighPerformance])) {
        NIMBROSTA_LOG(40, "PowerPlanSwitcher::switchToHighPerformance") << "the power profile did not change";
        return false;
    }
    // The profile to go back to is the one before the first switch; a check made after it
    // finds the high-performance profile, which must not become the one restored.
    if (switchedFrom_.empty() && !lastActive_.empty() && lastActive_ != kProfiles[kHighPerformance]) {
        switchedFrom_ = lastActive_;
        exitRestore().remember(profiles_, switchedFrom_);
    }
    return true;
}

bool PowerPlanSwitcher::restore() {
    const std::string target = !switchedFrom_.empty() ? switchedFrom_ : std::string(profileName(savedScheme_));
    if (target.empty() || !profiles_->setActiveProfile(target))
        return false;
    switchedFrom_.clear();
    exitRestore().forget(profiles_.get());
    return true;
}
