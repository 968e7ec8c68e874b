#pragma once
// What the benchmark screen tests share: sample streams of a few units, and a stand-in
// power-profile service on PATH whose profile lives in a file.

#include <sys/stat.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace benchtest {

// A raw stream of n access units: a key frame with its parameter sets, then P pictures.
inline std::string sample(int units) {
    std::string s("\0\0\0\x01\x67\x64\x00\x28\0\0\0\x01\x68\xee\x3c\x80\0\0\x01\x65\x88\x84", 22);
    for (int i = 1; i < units; ++i)
        s += std::string("\0\0\x01\x41\x9a\x02", 6);
    return s;
}

// powerprofilesctl first on PATH for the scope (also for processes started meanwhile):
// "get" prints the profile, "set" replaces it and logs the name.
class FakePowerProfiles {
public:
    explicit FakePowerProfiles(const std::string& profile) {
        setProfile(profile);
        const std::string script = dir_.file("powerprofilesctl");
        testsupport::writeFile(script, "#!/bin/sh\ncase \"$1\" in\n get) cat '" + dir_.file("profile") +
                                           "';;\n set) echo \"$2\" > '" + dir_.file("profile") + "'; echo \"$2\" >> '" +
                                           dir_.file("sets") + "';;\nesac\n");
        ::chmod(script.c_str(), 0755);
    }
    void setProfile(const std::string& profile) { testsupport::writeFile(dir_.file("profile"), profile + "\n"); }
    std::string profile() const {
        std::string text = testsupport::readFile(dir_.file("profile"));
        text.erase(text.find_last_not_of('\n') + 1);
        return text;
    }
    // Every profile set, in order.
    std::vector<std::string> sets() const {
        std::vector<std::string> out;
        std::istringstream in(testsupport::readFile(dir_.file("sets")));
        for (std::string line; std::getline(in, line);)
            out.push_back(line);
        return out;
    }

private:
    static std::string pathWith(const std::string& folder) {
        const char* old = std::getenv("PATH");
        return folder + ":" + (old ? old : "/usr/bin:/bin");
    }
    testsupport::TempDir dir_;
    testsupport::ScopedEnv env_{"PATH", pathWith(dir_.path()).c_str()};
};

}  // namespace benchtest
