// Runs each program in the benchmark folder with a minimal time per benchmark and fails
// when one of them fails. Output goes to the console as usual.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "ToolCommandLine.h"
#include "platform/Process.h"

int main(int argc, char** argv) {
    ToolCommandLine cl("nimbrosta-bench-smoke", "[FOLDER]",
                       "Runs each benchmark program in FOLDER (default: " NIMBROSTA_BENCH_DIR ")\n"
                       "once with --benchmark_min_time=0.01 and fails when one of them fails.");
    cl.options().add_options()("folder", boost::program_options::value<std::string>()->default_value(NIMBROSTA_BENCH_DIR),
                               "folder of the benchmark programs (also the one positional argument)");
    cl.positional("folder", 1);
    if (const int status = cl.parse(argc, argv); status >= 0) return status;
    const std::string folder = cl.values()["folder"].as<std::string>();
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
