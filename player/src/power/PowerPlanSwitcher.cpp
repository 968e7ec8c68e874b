#include "player/PowerPlanSwitcher.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <ctime>
#include <mutex>
#include <vector>

#include "core/LogLine.h"
#include "platform/PowerProfiles.h"

namespace {

const char* const kProfiles[] = {"power-saver", "balanced", "performance"};

// The back end's command that puts the profile back, copied into static storage while the
// program runs normally: a process ended by a signal may no longer allocate.
class InterruptionCommand {
public:
    void prepare(const std::vector<std::string>& command) {
        armed_.store(false);
        if (command.empty() || command.size() > kMaxArguments)
            return;
        std::size_t used = 0;
        for (std::size_t i = 0; i < command.size(); ++i) {
            if (used + command[i].size() + 1 > sizeof(text_))
                return;
            std::memcpy(text_ + used, command[i].c_str(), command[i].size() + 1);
            argv_[i] = text_ + used;
            used += command[i].size() + 1;
        }
        argv_[command.size()] = nullptr;
        armed_.store(true);
    }
    void disarm() { armed_.store(false); }

    // Runs the command once (fork and exec, which a signal handler may do) and waits for it.
    bool run(int timeoutMs) {
        if (!armed_.exchange(false))
            return false;
        const pid_t child = _Fork();
        if (child == 0) {
            sigset_t none;
            sigemptyset(&none);
            sigprocmask(SIG_SETMASK, &none, nullptr);
            execve(argv_[0], argv_, environ);
            _exit(127);
        }
        if (child < 0)
            return false;
        const timespec pause{0, 10 * 1000 * 1000};
        for (int waited = 0;; waited += 10) {
            int status = 0;
            const pid_t done = waitpid(child, &status, WNOHANG);
            if (done == child)
                return WIFEXITED(status) && WEXITSTATUS(status) == 0;
            if (done < 0)
                return false;
            if (waited >= timeoutMs) {
                kill(child, SIGKILL);
                waitpid(child, &status, 0);
                return false;
            }
            nanosleep(&pause, nullptr);
        }
    }

private:
    static constexpr std::size_t kMaxArguments = 8;
    char text_[4096] = {};
    char* argv_[kMaxArguments + 1] = {};
    std::atomic<bool> armed_{false};
};

InterruptionCommand g_interruptionCommand;

// The profile to put back when the process exits: the one active before the first switch
// that has not been restored yet.
class ExitRestore {
public:
    ~ExitRestore() {
        std::lock_guard<std::mutex> guard(lock_);
        g_interruptionCommand.disarm();
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
        g_interruptionCommand.prepare(profiles->setCommand(profile));
    }
    void forget(const platform::PowerProfiles* profiles) {
        std::lock_guard<std::mutex> guard(lock_);
        if (profiles_.get() != profiles)
            return;
        profiles_.reset();
        profile_.clear();
        g_interruptionCommand.disarm();
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

bool PowerPlanSwitcher::restoreAfterInterruption(int timeoutMs) { return g_interruptionCommand.run(timeoutMs); }

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
    // The profile to go back to is the one before the first switch; a check made after it
    // finds the high-performance profile, which must not become the one restored. It is
    // remembered before the switch, so a crash that comes as the profile changes still
    // puts it back.
    const bool first = switchedFrom_.empty() && !lastActive_.empty() && lastActive_ != kProfiles[kHighPerformance];
    if (first)
        exitRestore().remember(profiles_, lastActive_);
    if (!profiles_->setActiveProfile(kProfiles[kHighPerformance])) {
        NIMBROSTA_LOG(40, "PowerPlanSwitcher::switchToHighPerformance") << "the power profile did not change";
        if (first)
            exitRestore().forget(profiles_.get());
        return false;
    }
    if (first)
        switchedFrom_ = lastActive_;
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
