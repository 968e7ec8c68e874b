#pragma once
// Stands in for the browser: for its scope NIMBROSTA_URL_OPENER points at a small script
// that records the URL it is given, so tests can check what the program opened.

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "TestSupport.h"

namespace testsupport {

class RecordingUrlOpener {
public:
    RecordingUrlOpener()
        : script_(dir_.file("opener.sh")),
          opened_(dir_.file("opened")),
          env_("NIMBROSTA_URL_OPENER", writeScript(script_, opened_).c_str()) {}

    // The URL opened since the last forget(), waiting up to timeoutMs; "" when none came.
    std::string waitForUrl(int timeoutMs = 10000) const {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!std::filesystem::exists(opened_) && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return readFile(opened_);
    }
    bool opened() const { return std::filesystem::exists(opened_); }
    void forget() {
        std::error_code ignored;
        std::filesystem::remove(opened_, ignored);
    }

private:
    // The URL arrives whole or not at all: written aside, then renamed.
    static const std::string& writeScript(const std::string& script, const std::string& opened) {
        writeFile(script, "#!/bin/sh\nprintf '%s' \"$1\" > \"" + opened + ".part\" && mv \"" + opened + ".part\" \"" +
                              opened + "\"\n");
        std::filesystem::permissions(script, std::filesystem::perms::owner_all);
        return script;
    }

    TempDir dir_;
    std::string script_;
    std::string opened_;
    ScopedEnv env_;
};

}  // namespace testsupport
