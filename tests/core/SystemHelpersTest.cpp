#include "core/SystemHelpers.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sys/syscall.h>
#include <thread>

#include "TestSupport.h"
#include "platform/Process.h"

using testsupport::captureStdout;
using testsupport::readFile;
using testsupport::TempDir;

namespace {
std::string commOfCurrentThread() {
    const long tid = ::syscall(SYS_gettid);
    std::string comm = readFile("/proc/self/task/" + std::to_string(tid) + "/comm");
    if (!comm.empty() && comm.back() == '\n') comm.pop_back();
    return comm;
}

// Splits NUL-terminated fields.
std::vector<std::string> splitNul(const std::string& bytes) {
    std::vector<std::string> out;
    std::string current;
    for (char c : bytes) {
        if (c == '\0') {
            out.push_back(current);
            current.clear();
        } else {
            current.push_back(c);
        }
    }
    return out;
}

bool waitForFile(const std::string& path, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
        if (std::filesystem::exists(path) && std::filesystem::file_size(path) > 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}
}  // namespace

TEST(SystemHelpers, TextConversions) {
    EXPECT_EQ(wideToAnsi(L"Pr\u00fcfung"), "Pr\xC3\xBC" "fung");
    EXPECT_EQ(wideToAnsi(L"\u4E2D\u6587 \U0001F600"), "\xE4\xB8\xAD\xE6\x96\x87 \xF0\x9F\x98\x80");
    EXPECT_EQ(wideToAnsi(std::wstring(1, static_cast<wchar_t>(0xD800))), "\xEF\xBF\xBD");
    EXPECT_EQ(wideToAnsi(L""), "");

    struct Case { std::string utf8; std::wstring wide; };
    const Case cases[] = {
        {"abc", L"abc"},
        {"Pr\xC3\xBC" "fung", L"Pr\u00fcfung"},
        {"\xF0\x9F\x98\x80", L"\U0001F600"},
        {"", L""},
        {"\xFF", L""},                 // invalid byte
        {"a\xC3", L""},                // cut short
        {"\xC0\x80", L""},             // overlong
        {"\xED\xA0\x80", L""},         // surrogate
        {"\xF4\x90\x80\x80", L""},     // above U+10FFFF
    };
    for (const auto& c : cases) {
        EXPECT_EQ(utf8ToWide(c.utf8), c.wide) << c.utf8;
        EXPECT_EQ(ansiToWide(c.utf8), c.wide) << c.utf8;
    }

    ProcessLaunchInfo info{"/bin/true", {"--access_token", "a b", "\xC3\xBC"}};
    EXPECT_EQ(info.getWideArguments(), (std::vector<std::wstring>{L"--access_token", L"a b", L"\u00fc"}));
}

TEST(SystemHelpers, SetThreadNameNamesTheCallingThread) {
    struct Case { const char* name; std::string expected; };
    const Case cases[] = {
        {"Render", "Render"},
        {"Main Thread", "Main Thread"},
        {"Video Client Thread", "Video Client Th"},
        {"Statistics \xC3\xBC\xC3\xBC\xC3\xBC", "Statistics \xC3\xBC\xC3\xBC"},  // no half character
    };
    for (const auto& c : cases) {
        std::string seen;
        std::thread([&] {
            SetThreadName(c.name);
            seen = commOfCurrentThread();
        }).join();
        EXPECT_EQ(seen, c.expected);
    }
}

TEST(SystemHelpers, CreateHProcessPassesArgumentsByteExact) {
    TempDir dir;
    const std::string outFile = dir.file("args");
    const std::vector<std::string> args = {"--access_token", "a b", "say \"hi\"", "ends\\", "", "\xC3\xBC", "$HOME"};
    ProcessLaunchInfo info;
    info.path = "/bin/sh";
    info.arguments = {"-c", "printf '%s\\0' \"$@\" > \"$0\"", outFile};
    info.arguments.insert(info.arguments.end(), args.begin(), args.end());

    ProcessInformation pi;
    const std::string log = captureStdout([&] { createHProcess(&pi, info, false); });
    EXPECT_NE(log.find("createHProcess"), std::string::npos);
    EXPECT_NE(log.find("]: startup result1\n"), std::string::npos) << log;
    ASSERT_GT(pi.pid, 0);
    ASSERT_TRUE(platform::waitForExit(pi, 10000));
    EXPECT_EQ(pi.exitStatus, 0);
    platform::releaseProcess(pi);
    EXPECT_EQ(splitNul(readFile(outFile)), args);
}

TEST(SystemHelpers, CreateHProcessLogsAFailedStartAndLeavesOutAlone) {
    ProcessInformation pi;
    pi.pid = 4242;
    const std::string log = captureStdout([&] {
        createHProcess(&pi, ProcessLaunchInfo{"/nonexistent/NimbrostaClient", {"--launcher"}}, false);
        createHProcess(nullptr, ProcessLaunchInfo{"/bin/true", {}}, false);  // does nothing
    });
    EXPECT_EQ(pi.pid, 4242);
    EXPECT_NE(log.find("[I]["), std::string::npos);
    EXPECT_NE(log.find("]: startup result0\n"), std::string::npos) << log;
    EXPECT_NE(log.find("[E]["), std::string::npos);
    EXPECT_NE(log.find("]: startup error 2\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("startup result1"), std::string::npos);
}

TEST(SystemHelpers, ElevatedStartGoesThroughTheElevationCommand) {
    TempDir dir;
    const std::string outFile = dir.file("elevated");
    const std::string before = platform::elevationCommand();
    EXPECT_EQ(before, "pkexec");
    platform::setElevationCommand("/usr/bin/env");
    ProcessInformation pi;
    createHProcess(&pi, ProcessLaunchInfo{"/bin/sh", {"-c", "printf '%s' \"$1\" > \"$0\"", outFile, "--firewall"}}, true);
    EXPECT_EQ(pi.pid, -1) << "an elevated start fills nothing";
    EXPECT_TRUE(waitForFile(outFile, 10000));
    EXPECT_EQ(readFile(outFile), "--firewall");
    platform::setElevationCommand(before);
}

TEST(SystemHelpers, CrashReportingStandInAndBackend) {
    EXPECT_TRUE(InstallCrashReporting(L"NimbrostaClient", L"0.0.33-2-gc4ebe4b", true, L"/opt/lib"));
    EXPECT_EQ(UninstallCrashReporting(), 0);

    CrashReporterInstallRecord seen;
    std::wstring name;
    CrashReporterBackend backend;
    backend.install = [&](const CrashReporterInstallRecord& r) {
        seen = r;
        name = r.applicationName;
        return 2;
    };
    backend.lastError = [] { return std::wstring(L"Can't install crash handler to the same process twice."); };
    backend.uninstall = [] { return 1; };
    setCrashReporterBackend(backend);
    bool ok = true;
    const std::string out = captureStdout([&] { ok = InstallCrashReporting(L"NimbrostaClient", L"v", false, L"/lib"); });
    EXPECT_FALSE(ok);
    EXPECT_EQ(out, "Can't install crash handler to the same process twice.\n");
    EXPECT_EQ(name, L"NimbrostaClient");
    EXPECT_EQ(seen.flags, 0x3FFFu);
    EXPECT_EQ(seen.minidumpType, 0x61944u);
    EXPECT_EQ(std::wstring(seen.uploadAddress).substr(std::wstring(seen.uploadAddress).size() - 9), L"/dump_win");
    EXPECT_EQ(UninstallCrashReporting(), 1);
    setCrashReporterBackend(CrashReporterBackend());
}
