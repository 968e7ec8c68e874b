// The start-up's crash reporting goes to this crash handler.
//
// NIMBROSTA_CRASH_UPLOAD_URL, when set, replaces the upload address (tests point it at a
// stand-in server); unset, the start-up's address is used.

#include <cstdlib>
#include <string>

#include "core/SystemHelpers.h"
#include "crashreport/CrashHandlerApi.h"

void useCrashHandler() {
    CrashReporterBackend backend;
    backend.install = [](const CrashReporterInstallRecord& record) {
        CrashHandlerInstallInfo info;
        info.cb = kInstallInfoCb;
        info.applicationName = record.applicationName;
        info.applicationVersion = record.applicationVersion;
        const char* uploadOverride = std::getenv("NIMBROSTA_CRASH_UPLOAD_URL");
        const std::wstring upload = uploadOverride && *uploadOverride ? utf8ToWide(uploadOverride) : std::wstring();
        info.uploadUrl = upload.empty() ? record.uploadAddress : upload.c_str();
        info.senderFolder = record.senderFolder;
        info.flags = record.flags;
        info.minidumpType = record.minidumpType;
        return InstallCrashHandlerW(&info);
    };
    backend.lastError = [] {
        wchar_t buffer[256];
        return GetCrashHandlerLastErrorW(buffer, 256) < 0 ? std::wstring() : std::wstring(buffer);
    };
    backend.uninstall = [] {
        // The process may end from any of its threads: the updater ends from an engine
        // worker. Uninstalling needs thread hooks on the calling thread, so the thread
        // that ends the process takes them first (a thread that has them keeps them).
        InstallCrashHandlerForThreadDefault();
        return UninstallCrashHandler();
    };
    setCrashReporterBackend(std::move(backend));
}
