#include "standins/CrashHandler.h"

#include <algorithm>
#include <cwchar>
#include <mutex>
#include <string>

#include "core/SystemHelpers.h"

namespace {
std::mutex g_mutex;
bool g_installed = false;
thread_local std::wstring t_lastError = L"No error.";

int fail(int code, const wchar_t* message) {
    t_lastError = message;
    return code;
}
}  // namespace

int InstallCrashHandlerW(const CrashHandlerInstallInfo* info) {
    if (!info || info->size != CrashHandlerInstallInfo::kRecordSize || !info->applicationName)
        return fail(1, L"Invalid install record.");
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_installed) return fail(2, L"The crash handler is already installed.");
    g_installed = true;
    t_lastError = L"No error.";
    return 0;
}

int GetCrashHandlerLastErrorW(wchar_t* buffer, int size) {
    if (!buffer || size <= 0) return -1;
    const std::wstring& message = t_lastError;
    const std::size_t n = std::min<std::size_t>(message.size(), static_cast<std::size_t>(size) - 1);
    std::wmemcpy(buffer, message.data(), n);
    buffer[n] = L'\0';
    return static_cast<int>(message.size());
}

int UninstallCrashHandler() {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!g_installed) return fail(1, L"The crash handler is not installed.");
    g_installed = false;
    return 0;
}

void useCrashHandler() {
    CrashReporterBackend backend;
    backend.install = [](const CrashReporterInstallRecord& record) {
        CrashHandlerInstallInfo info;
        info.size = CrashHandlerInstallInfo::kRecordSize;
        info.applicationName = record.applicationName;
        info.applicationVersion = record.applicationVersion;
        info.uploadAddress = record.uploadAddress;
        info.senderFolder = record.senderFolder;
        info.flags = record.flags;
        info.minidumpType = record.minidumpType;
        return InstallCrashHandlerW(&info);
    };
    backend.lastError = [] {
        wchar_t buffer[256];
        return GetCrashHandlerLastErrorW(buffer, 256) < 0 ? std::wstring() : std::wstring(buffer);
    };
    backend.uninstall = [] { return UninstallCrashHandler(); };
    setCrashReporterBackend(std::move(backend));
}
