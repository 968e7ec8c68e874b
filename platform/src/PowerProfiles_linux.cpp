#include "platform/PowerProfiles.h"

#include <algorithm>
#include <cstdlib>
#include <unistd.h>

#include "platform/Process.h"

namespace platform {

namespace {

// The program's full path: as it stands when it holds a "/", else the first executable of
// that name on PATH; "" when there is none.
std::string findProgram(const std::string& program) {
    if (program.empty())
        return "";
    if (program.find('/') != std::string::npos)
        return ::access(program.c_str(), X_OK) == 0 ? program : "";
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= folders.size()) {
        const std::size_t end = std::min(folders.find(':', start), folders.size());
        std::string folder = folders.substr(start, end - start);
        if (folder.empty())
            folder = ".";
        const std::string candidate = folder + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return "";
}

class PowerProfilesCtl : public PowerProfiles {
public:
    PowerProfilesCtl(std::string program, int timeoutMs) : program_(std::move(program)), timeoutMs_(timeoutMs) {}

    bool activeProfile(std::string& name) override {
        const std::string program = findProgram(program_);
        std::string output;
        if (program.empty() || !runProgramCaptured(program, {"get"}, timeoutMs_, output))
            return false;
        // One line: the profile's name.
        const std::size_t end = output.find_first_of("\r\n");
        std::string value = output.substr(0, end);
        while (!value.empty() && (value.back() == ' ' || value.back() == '\t'))
            value.pop_back();
        if (value.empty())
            return false;
        name = value;
        return true;
    }

    bool setActiveProfile(const std::string& name) override {
        const std::string program = findProgram(program_);
        std::string output;
        return !program.empty() && !name.empty() && runProgramCaptured(program, {"set", name}, timeoutMs_, output);
    }

    std::vector<std::string> setCommand(const std::string& name) const override {
        const std::string program = findProgram(program_);
        if (program.empty() || name.empty())
            return {};
        return {program, "set", name};
    }

private:
    std::string program_;
    int timeoutMs_;
};

class NoPowerProfiles : public PowerProfiles {
public:
    bool activeProfile(std::string&) override { return false; }
    bool setActiveProfile(const std::string&) override { return false; }
};

}  // namespace

std::shared_ptr<PowerProfiles> makePowerProfilesCtl(const std::string& program, int timeoutMs) {
    return std::make_shared<PowerProfilesCtl>(program, timeoutMs);
}

std::shared_ptr<PowerProfiles> systemPowerProfiles() {
    if (findProgram("powerprofilesctl").empty())
        return std::make_shared<NoPowerProfiles>();
    return makePowerProfilesCtl("powerprofilesctl");
}

}  // namespace platform
