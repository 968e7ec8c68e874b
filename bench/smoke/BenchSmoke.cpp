// Runs each program in the benchmark folder with a minimal time per benchmark and fails
// when one of them fails. Output goes to the console as usual.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/Process.h"

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : NIMBROSTA_BENCH_DIR;
    std::vector<std::string> programs;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        if (!entry.is_regular_file()) continue;
        const auto perms = entry.status().permissions();
        if ((perms & std::filesystem::perms::owner_exec) == std::filesystem::perms::none) continue;
        programs.push_back(entry.path().string());
    }
    std::sort(programs.begin(), programs.end());
    if (ec) std::fprintf(stderr, "cannot list %s: %s\n", folder.c_str(), ec.message().c_str());

    int failures = 0;
    for (const auto& program : programs) {
        std::printf("== %s\n", program.c_str());
        std::fflush(stdout);
        platform::ProcessHandle process;
        const int rc = platform::spawnProcess(program, {"--benchmark_min_time=0.01"}, process);
        if (rc != 0) {
            std::fprintf(stderr, "cannot start %s: error %d\n", program.c_str(), rc);
            ++failures;
            continue;
        }
        platform::waitForExit(process, -1);
        platform::releaseProcess(process);
        if (process.exitStatus != 0) {
            std::fprintf(stderr, "%s failed with status %d\n", program.c_str(), process.exitStatus);
            ++failures;
        }
    }
    std::printf("%zu benchmark programs, %d failed\n", programs.size(), failures);
    return failures == 0 ? 0 : 1;
}
