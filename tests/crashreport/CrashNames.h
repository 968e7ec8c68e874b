#pragma once
// The shared names that crash handlers make in /dev/shm: crash descriptions (named by their
// crash id) and their events ("sem.CrashReportEvent_<crash id>[_2]").

#include <cstdint>
#include <dirent.h>
#include <fstream>
#include <string>
#include <sys/types.h>
#include <vector>

#include "crashreport/CrashDescription.h"

namespace crashtest {

// The /dev/shm entries of crash descriptions and their events.
inline std::vector<std::string> crashNames() {
    std::vector<std::string> names;
    if (DIR* d = opendir("/dev/shm")) {
        while (const dirent* e = readdir(d)) {
            const std::string n = e->d_name;
            const bool description = n.size() >= 36 && n.find_first_not_of("0123456789abcdef-", 0) >= 36 && n[8] == '-';
            if (description || n.rfind("sem.CrashReportEvent_", 0) == 0) names.push_back(n);
        }
        closedir(d);
    }
    return names;
}

// The crash ids of the descriptions in /dev/shm that the process made.
inline std::vector<std::string> descriptionsOfProcess(pid_t pid) {
    std::vector<std::string> ids;
    for (const std::string& name : crashNames()) {
        if (name.size() != 36) continue;
        std::string bytes(crashreport::kDescriptionHeaderSize, '\0');
        std::ifstream file("/dev/shm/" + name, std::ios::binary);
        if (!file.read(&bytes[0], static_cast<std::streamsize>(bytes.size()))) continue;
        const crashreport::CrashDescriptionReader d(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        if (bytes.size() == crashreport::kDescriptionHeaderSize && d.u32(crashreport::hdr::kProcessId) == static_cast<std::uint32_t>(pid))
            ids.push_back(name);
    }
    return ids;
}

}  // namespace crashtest
