// A small program that installs the crash handler as the client's start-up does and then
// crashes (or reports) in the way the test asks:
//
//   crashreport_test_child <sender folder> <report folder> <scenario> [arguments]
//
// Scenarios:
//   crash <type> [flags]   TriggerTestCrash(type); after type 8 a floating-point division by zero
//   unhooked-thread       a fault on a thread without thread hooks
//   continue              callbacks let two reports go on, then a fault ends the process
//   cancel                callbacks cancel reports, the process ends normally with 0
//   report <flags> <file> <key>  a crash on a hooked "Worker" thread of a process that added a
//                         file, properties and a registry key to its reports
//   idle                  installs and waits to be killed
//   pool-overflow         a stack overflow in a task on a thread pool's worker
//   end-request           ends with 0 when a SIGTERM or SIGINT from outside asks it to end
//                         (as the client's start-up arranges it); "self" sends itself SIGTERM
//   end-from-thread       the start-up's uninstall, run on a thread of its own
//   screen <flags> <video ms> <wait ms> <file>  asks for a screenshot (and, when video ms is
//                         not 0, a video of that duration at 10 pictures a second, 320 x 180),
//                         adds the file, waits, then crashes on a worker
//   full-disk             the report's dump can only go to a full device (/dev/full), then
//                         a crash
// Lines on standard output tell the test what happened.

#include <atomic>
#include <cfenv>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <pthread.h>
#include <string>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

#include "core/SystemHelpers.h"
#include "core/ThreadPool.h"
#include "crashreport/CrashHandlerApi.h"
#include "platform/EndRequest.h"
#include "platform/Thread.h"

namespace {

std::wstring g_senderFolder;
std::wstring g_reportFolder;

int install(std::uint32_t flags, const wchar_t* uploadUrl = nullptr) {
    CrashHandlerInstallInfo info;
    info.cb = kInstallInfoCb;
    info.applicationName = L"NimbrostaClient";
    info.applicationVersion = L"0.0.33-2-gc4ebe4b";
    info.senderFolder = g_senderFolder.c_str();
    info.reportFolder = g_reportFolder.c_str();
    info.uploadUrl = uploadUrl;
    info.flags = flags;
    info.minidumpType = 0x61944;
    const int result = InstallCrashHandlerW(&info);
    if (result != 0) {
        wchar_t text[256];
        GetCrashHandlerLastErrorW(text, 256);
        std::printf("install failed %d %s\n", result, wideToUtf8(text).c_str());
    }
    std::fflush(stdout);
    return result;
}

std::string lastError() {
    wchar_t text[256];
    GetCrashHandlerLastErrorW(text, 256);
    return wideToUtf8(text);
}

// Keeps operator new from being allowed more than the process has now plus a little, so
// that the allocation loop fails at once.
void limitAddressSpace() {
    std::ifstream statm("/proc/self/statm");
    unsigned long pages = 0;
    statm >> pages;
    const rlim_t bytes = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (512u << 20);
    const rlimit limit{bytes, bytes};
    setrlimit(RLIMIT_AS, &limit);
}

int continueCallback(ReportCallbackInfoW* info) {
    std::printf("stage %d %s\n", info->stage, wideToUtf8(info->reportFolder).c_str());
    std::fflush(stdout);
    if (info->stage == kCallbackStageBeforeSender) return kCallbackCallAgain;
    info->continueFlag = 1;
    return 1;
}

int cancelCallback(ReportCallbackInfoW* info) {
    std::printf("stage %d\n", info->stage);
    std::fflush(stdout);
    return 0;
}

int legacyCancel(void*) { return 0; }

__attribute__((noinline)) void crashInWorker() {
    volatile int* volatile address = nullptr;
    *address = 42;
}

class OverflowTask : public TaskBase {
public:
    OverflowTask() : TaskBase(false) {}
    bool run() override {
        std::printf("worker %ld\n", static_cast<long>(syscall(SYS_gettid)));
        std::fflush(stdout);
        return TriggerTestCrash(34) == 0;  // a stack overflow
    }
};

// Before the sender runs: the report folder's temporary dump leads to /dev/full, which
// refuses every write as a full disk does.
int fullDiskCallback(ReportCallbackInfoW* info) {
    if (info->stage != kCallbackStageBeforeSender) return kCallbackCallAgain;
    const std::string folder = wideToUtf8(info->reportFolder);
    std::filesystem::create_directories(folder);
    std::filesystem::create_symlink("/dev/full", folder + "/crashdump.bin.tmp");
    std::printf("folder %s\n", folder.c_str());
    std::fflush(stdout);
    return kCallbackCallAgain;
}

int reportScenario(std::uint32_t flags, const std::string& file, const std::string& key, const char* uploadUrl) {
    const std::wstring upload = uploadUrl ? utf8ToWide(uploadUrl) : std::wstring();
    if (install(flags, uploadUrl ? upload.c_str() : nullptr) != 0) return 3;
    AddCrashReportFileA(file.c_str(), nullptr, "the client's log", 0);
    AddCrashReportFileA("/no/such/file.txt", "absent.txt", nullptr, 0x2);
    AddCrashReportPropertyA("build", "42");
    AddCrashReportPropertyA("gpu", "llvmpipe");
    AddCrashReportRegKeyA(key.c_str(), "settings.reg", 0);
    std::thread worker([] {
        pthread_setname_np(pthread_self(), "Worker");
        InstallCrashHandlerForThreadDefault();
        std::printf("worker %ld\n", static_cast<long>(syscall(SYS_gettid)));
        std::fflush(stdout);
        crashInWorker();
    });
    worker.join();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    g_senderFolder = utf8ToWide(argv[1]);
    g_reportFolder = utf8ToWide(argv[2]);
    const std::string scenario = argv[3];

    if (scenario == "crash" && argc >= 5) {
        const int type = std::atoi(argv[4]);
        const std::uint32_t flags = argc >= 6 ? static_cast<std::uint32_t>(std::strtoul(argv[5], nullptr, 0)) : CR_INST_ALL_HOOKS;
        if (install(flags) != 0) return 3;
        if (type == 4) limitAddressSpace();
        const int result = TriggerTestCrash(type);
        std::printf("returned %d %s\n", result, lastError().c_str());
        std::fflush(stdout);
        if (type == 8) {
            volatile double zero = 0.0;
            volatile double quotient = 1.0 / zero;
            (void)quotient;
            std::printf("no trap\n");
        }
        return 0;
    }
    if (scenario == "unhooked-thread") {
        if (install(CR_INST_ALL_HOOKS) != 0) return 3;
        std::thread([] { crashInWorker(); }).join();
        return 0;
    }
    if (scenario == "continue") {
        if (install(CR_INST_ALL_HOOKS) != 0) return 3;
        SetCrashHandlerCallbackW(&continueCallback, nullptr);
        for (const int type : {10, 11}) {
            const int result = TriggerTestCrash(type);
            std::printf("continued %d %d %s\n", type, result, lastError().c_str());
            std::fflush(stdout);
        }
        // A fault of the running instruction is never continued, whatever the callback says.
        crashInWorker();
        std::printf("after the fault\n");
        return 0;
    }
    if (scenario == "cancel") {
        if (install(CR_INST_ALL_HOOKS) != 0) return 3;
        SetCrashHandlerCallbackW(&cancelCallback, nullptr);
        ReportExceptionInfo info;
        info.size = kExceptionInfoSize;
        info.manual = 1;
        const int generated = GenerateCrashReport(&info);
        std::printf("generate %d %s\n", generated, lastError().c_str());
        const int result = TriggerTestCrash(12);
        std::printf("raised %d %s\n", result, lastError().c_str());
        // A legacy callback that returns 0 cancels as well.
        UninstallCrashHandler();
        CrashHandlerInstallInfo info2;
        info2.cb = kInstallInfoCb;
        info2.applicationVersion = L"1";
        info2.senderFolder = g_senderFolder.c_str();
        info2.reportFolder = g_reportFolder.c_str();
        info2.legacyCallback = &legacyCancel;
        std::printf("reinstall %d\n", InstallCrashHandlerW(&info2));
        const int legacy = TriggerTestCrash(10);
        std::printf("legacy %d %s\n", legacy, lastError().c_str());
        std::printf("uninstall %d\n", UninstallCrashHandler());
        return 0;
    }
    if (scenario == "idle") {
        if (install(CR_INST_ALL_HOOKS) != 0) return 3;
        std::printf("installed\n");
        std::fflush(stdout);
        sleep(30);
        return 0;
    }
    if (scenario == "pool-overflow") {
        if (install(CR_INST_ALL_HOOKS) != 0) return 3;
        ThreadPool pool(1);
        pool.post(std::make_shared<OverflowTask>());
        sleep(30);
        return 0;
    }
    if (scenario == "end-request") {
        platform::catchEndRequests();
        if (install(CR_INST_ALL_HOOKS) != 0) return 3;
        static std::atomic<bool> requested{false};
        platform::setEndRequestHandler([] { requested.store(true); });
        std::printf("installed\n");
        std::fflush(stdout);
        if (argc >= 5 && std::string(argv[4]) == "self") kill(getpid(), SIGTERM);
        for (int i = 0; i < 3000 && !requested.load(); ++i) usleep(10 * 1000);
        std::printf("end requested %d\n", requested.load() ? 1 : 0);
        std::printf("uninstall %d\n", UninstallCrashHandler());
        return 0;
    }
    if (scenario == "end-from-thread") {
        useCrashHandler();
        if (!InstallCrashReporting(L"NimbrostaClient", L"0.0.33-2-gc4ebe4b", true, g_senderFolder.c_str())) return 3;
        std::printf("installed\n");
        int result = -1;
        std::thread([&result] { result = UninstallCrashReporting(); }).join();
        std::printf("uninstall %d\n", result);
        return 0;
    }
    if (scenario == "screen" && argc >= 8) {
        const std::uint32_t flags = static_cast<std::uint32_t>(std::strtoul(argv[4], nullptr, 0));
        if (install(flags) != 0) return 3;
        AddCrashReportFileA(argv[7], nullptr, nullptr, 0);
        std::printf("screenshot %d\n", AddCrashReportScreenshot(0));
        const int videoMs = std::atoi(argv[5]);
        if (videoMs > 0) {
            const std::int32_t size[2] = {320, 180};
            std::printf("video %d\n", AddCrashReportVideo(0, videoMs, 100, size, 0));
        }
        std::fflush(stdout);
        usleep(static_cast<useconds_t>(std::atoi(argv[6])) * 1000);
        std::thread([] { crashInWorker(); }).join();
        return 0;
    }
    if (scenario == "full-disk") {
        if (install(CR_INST_ALL_HOOKS | CR_INST_DONT_SEND_REPORT) != 0) return 3;
        SetCrashHandlerCallbackW(&fullDiskCallback, nullptr);
        crashInWorker();
        return 0;
    }
    if (scenario == "report" && argc >= 7) {
        const std::uint32_t flags = static_cast<std::uint32_t>(std::strtoul(argv[4], nullptr, 0));
        return reportScenario(flags, argv[5], argv[6], argc >= 8 ? argv[7] : nullptr);
    }
    return 2;
}
