#include "core/SystemHelpers.h"

#include <cstdio>
#include <mutex>
#include <thread>

#include "core/LogLine.h"
#include "platform/ThreadName.h"
#include "platform/Thread.h"

namespace {

void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Strict decoding; false on any invalid sequence.
bool decodeUtf8(const std::string& text, std::wstring& out) {
    out.clear();
    out.reserve(text.size());
    const std::size_t size = text.size();
    std::size_t i = 0;
    while (i < size) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        std::uint32_t cp;
        std::size_t extra;
        std::uint32_t minimum;
        if (c < 0x80) { cp = c; extra = 0; minimum = 0; }
        else if (c >= 0xC2 && c <= 0xDF) { cp = c & 0x1F; extra = 1; minimum = 0x80; }
        else if (c >= 0xE0 && c <= 0xEF) { cp = c & 0x0F; extra = 2; minimum = 0x800; }
        else if (c >= 0xF0 && c <= 0xF4) { cp = c & 0x07; extra = 3; minimum = 0x10000; }
        else return false;
        if (size - i - 1 < extra) return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            const unsigned char b = static_cast<unsigned char>(text[i + k]);
            if ((b & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (b & 0x3F);
        }
        if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        out.push_back(static_cast<wchar_t>(cp));
        i += extra + 1;
    }
    return true;
}

struct CrashReporterState {
    std::mutex mutex;
    CrashReporterBackend backend;
};

CrashReporterState& crashReporter() {
    static CrashReporterState s;
    return s;
}

}  // namespace

std::string wideToUtf8(std::wstring text) {
    std::string out;
    out.reserve(text.size());
    for (const wchar_t ch : text) appendUtf8(out, static_cast<std::uint32_t>(ch));
    return out;
}

std::string wideToAnsi(std::wstring text) { return wideToUtf8(std::move(text)); }

std::wstring utf8ToWide(std::string text) {
    std::wstring out;
    if (text.empty() || !decodeUtf8(text, out)) return std::wstring();
    return out;
}

std::wstring ansiToWide(std::string text) { return utf8ToWide(std::move(text)); }

void SetThreadName(const char* name) { platform::setCurrentThreadName(name); }

std::vector<std::wstring> ProcessLaunchInfo::getWideArguments() const {
    std::vector<std::wstring> out;
    out.reserve(arguments.size());
    for (const auto& a : arguments) out.push_back(utf8ToWide(a));
    return out;
}

void createHProcess(ProcessInformation* out, const ProcessLaunchInfo& info, bool elevate) {
    if (!out) return;
    if (!elevate) {
        ProcessInformation started;
        const int rc = platform::spawnProcess(info.path, info.arguments, started);
        LogLine(0, "createHProcess", __LINE__).stream() << "startup result" << (rc == 0 ? 1 : 0);
        if (rc != 0) {
            LogLine(50, "createHProcess", __LINE__).stream() << "startup error " << rc;
            return;
        }
        *out = started;
        return;
    }
    ProcessInformation helper;
    const int rc = platform::spawnElevated(info.path, info.arguments, helper);
    if (rc != 0) {
        LogLine(50, "createHProcess", __LINE__).stream() << "startup error " << rc;
        return;
    }
    // The elevation helper reports a refused or failed start through its exit status;
    // a watcher reaps it so that it leaves no zombie.
    platform::releaseProcess(helper);
    platform::startThread([helper]() mutable {
        platform::waitForExit(helper, -1);
        if (helper.exitStatus != 0)
            LogLine(50, "createHProcess", __LINE__).stream() << "startup error " << helper.exitStatus;
    }).detach();
}

const wchar_t* const kCrashReportUploadAddress = L"https://crash.nimbrosta.net/dump_win";

void setCrashReporterBackend(CrashReporterBackend backend) {
    CrashReporterState& s = crashReporter();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.backend = std::move(backend);
}

bool InstallCrashReporting(const wchar_t* applicationName, const wchar_t* version, bool flag,
                           const wchar_t* senderFolder) {
    CrashReporterInstallRecord record;
    record.applicationName = applicationName;
    record.applicationVersion = version;
    record.uploadAddress = kCrashReportUploadAddress;
    record.senderFolder = senderFolder;
    record.flags = flag ? kCrashFlagsDefault : (kCrashFlagsDefault | kCrashFlagsExtra);
    record.minidumpType = kCrashMinidumpType;

    CrashReporterBackend backend;
    {
        CrashReporterState& s = crashReporter();
        std::lock_guard<std::mutex> lock(s.mutex);
        backend = s.backend;
    }
    if (!backend.install) return true;
    if (backend.install(record) == 0) return true;
    const std::wstring message = backend.lastError ? backend.lastError() : std::wstring();
    std::printf("%s\n", wideToUtf8(message).c_str());
    return false;
}

int UninstallCrashReporting() {
    CrashReporterBackend backend;
    {
        CrashReporterState& s = crashReporter();
        std::lock_guard<std::mutex> lock(s.mutex);
        backend = s.backend;
    }
    return backend.uninstall ? backend.uninstall() : 0;
}

void DisableExceptionSwallowing() {}
