#pragma once
// Small wrappers over system services that several subsystems share: text conversion
// between wide strings and UTF-8, thread names, starting processes and the installation
// of the crash reporter.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/Process.h"

// ---- Text conversion. UTF-8 is the narrow encoding; wide strings hold UTF-32. ----

// Wide text as UTF-8, never cut. A value that is no Unicode scalar becomes U+FFFD.
std::string wideToAnsi(std::wstring text);
std::string wideToUtf8(std::wstring text);

// UTF-8 text as wide text; an empty or invalid text (bad sequence, overlong form,
// surrogate, value above U+10FFFF) gives the empty string.
std::wstring ansiToWide(std::string text);
std::wstring utf8ToWide(std::string text);

// ---- Threads ----

// Names the calling thread ("Main Thread", "Render", ...); the system keeps 15 bytes.
void SetThreadName(const char* name);

// ---- Processes ----

// A started child: its pid and the pidfd that watches it.
using ProcessInformation = platform::ProcessHandle;

struct ProcessLaunchInfo {
    std::string path;                    // full path of the executable
    std::vector<std::string> arguments;  // UTF-8, passed exactly as they stand

    std::vector<std::wstring> getWideArguments() const;
};

// Starts info.path with info.arguments; nothing happens when out is null.
// Plain start: logs "startup result" with 1 or 0 and, on failure, "startup error " with
// the errno at level 50; out is filled only on success.
// Elevated start: goes through the elevation command (platform::setElevationCommand),
// out is not filled; a failure to start or a refused elevation is logged at level 50.
void createHProcess(ProcessInformation* out, const ProcessLaunchInfo& info, bool elevate);

// ---- Crash reporter ----

// What the program hands the crash reporter when it installs it.
struct CrashReporterInstallRecord {
    const wchar_t* applicationName = nullptr;
    const wchar_t* applicationVersion = nullptr;
    const wchar_t* uploadAddress = nullptr;
    const wchar_t* senderFolder = nullptr;
    std::uint32_t flags = 0;
    std::uint32_t minidumpType = 0;
};

// The crash reporter's entry points. Until one is registered, installing succeeds and
// does nothing.
struct CrashReporterBackend {
    std::function<int(const CrashReporterInstallRecord&)> install;  // 0 when installed
    std::function<std::wstring()> lastError;                        // text of the last failure
    std::function<int()> uninstall;                                 // 0 on success
};
void setCrashReporterBackend(CrashReporterBackend backend);

// Where crash reports are uploaded.
extern const wchar_t* const kCrashReportUploadAddress;

constexpr std::uint32_t kCrashFlagsDefault = 0x1FFF;
constexpr std::uint32_t kCrashFlagsExtra = 0x2000;
constexpr std::uint32_t kCrashMinidumpType = 0x61944;

// Fills the record (flags 0x1FFF when flag is true, 0x3FFF otherwise) and installs the
// crash reporter. On failure prints the reporter's error text and a newline on standard
// output and returns false.
bool InstallCrashReporting(const wchar_t* applicationName, const wchar_t* version, bool flag,
                           const wchar_t* senderFolder);

// The reporter's uninstall result (0 on success).
int UninstallCrashReporting();

// Nothing to do on this system: exceptions in window callbacks already reach the crash
// handlers.
void DisableExceptionSwallowing();
